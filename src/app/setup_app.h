// The application object: reads the command line, finds an INF when none is
// named, and runs the main dialog once.
#pragma once
#include "app/ansi_code_page.h"
#include "framework/afx.h"
#include "platform/platform.h"

namespace platform {
class MutexHandle;
}

// The machine-wide mutex that one run of the program holds.
#define QVR_RUN_MUTEX "Global\\QVRSetupRun"
// The main dialog's caption, by which a second start finds it.
#define QVR_DIALOG_CAPTION "QVR Driver Setup"

class CSetupApp : public CWinApp {
 public:
  CSetupApp(const platform::Platform& platform, const AnsiCodePage& codePage)
      : m_platform(platform), m_codePage(codePage) {}

  BOOL InitInstance() override;
  // The first "*.inf" of the current directory, without its directory, or
  // empty text after the failure has been shown.
  CString FindInfFile();
  // Under WOW64, runs the 64-bit program from the same folder in this one's
  // place and takes its exit code. FALSE when there is nothing to hand over.
  BOOL HandOverTo64Bit();
  // One run at a time (app/run_lock.cpp). TakeRunLock takes the mutex that
  // `lock` holds, false when another run has it; ShowRunningSetup brings
  // that run's dialog to the front.
  bool TakeRunLock(platform::MutexHandle& lock);
  void ShowRunningSetup();

 private:
  platform::Platform m_platform;
  const AnsiCodePage& m_codePage;

  DECLARE_MESSAGE_MAP()
};
