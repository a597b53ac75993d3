// The application object: reads the command line, finds an INF when none is
// named, and runs the main dialog once.
#pragma once
#include "framework/afx.h"
#include "platform/handles.h"
#include "platform/platform.h"
#include "ui/operator_texts.h"

// The machine-wide mutex that one run of the program holds.
#define QVR_RUN_MUTEX "Global\\QVRSetupRun"
// The main dialog's caption, by which a second start finds it.
#define QVR_DIALOG_CAPTION "QVR Driver Setup"

class CSetupApp : public CWinApp {
 public:
  explicit CSetupApp(const platform::Platform& platform) : m_platform(platform) {}

  BOOL InitInstance() override;
  // The first "*.inf" of the current directory, without its directory, or
  // empty text after the failure has been shown.
  CString FindInfFile();
  // Under WOW64 on an AMD64 machine, runs the 64-bit program from the same
  // folder in this one's place and takes its exit code. FALSE when there is
  // nothing to hand over.
  BOOL HandOverTo64Bit();
  // One run at a time (app/run_lock.cpp). TakeRunLock takes the mutex that
  // `lock` holds into `taken`, false when another run has it;
  // ShowRunningSetup brings that run's dialog to the front.
  bool TakeRunLock(const platform::MutexHandle& lock, platform::MutexOwnership& taken);
  void ShowRunningSetup();
  // Names that the system's ANSI code page could not hold (app/readable_names.cpp).
  // UnreadableName is the refusal's text for the current folder or the
  // command line, or null when both came through whole; RefuseUnreadableNames
  // reports it (a box, or the log, else the event), sets exit status 1 and
  // returns TRUE, or returns FALSE when there is nothing to refuse.
  LPCSTR UnreadableName();
  BOOL RefuseUnreadableNames();
  // The language of the user's UI, which the error dialog speaks.
  OperatorLanguage OperatorLanguageNow();

 private:
  platform::Platform m_platform;

  DECLARE_MESSAGE_MAP()
};
