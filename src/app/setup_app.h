// The application object: reads the command line, finds an INF when none is
// named, and runs the main dialog once.
#pragma once
#include "framework/afx.h"
#include "platform/platform.h"

class CSetupApp : public CWinApp {
 public:
  explicit CSetupApp(const platform::Platform& platform) : m_platform(platform) {}

  BOOL InitInstance() override;
  // The first "*.inf" of the current directory, without its directory, or
  // empty text after the failure has been shown.
  CString FindInfFile();
  // Under WOW64, runs the 64-bit program from the same folder in this one's
  // place and takes its exit code. FALSE when there is nothing to hand over.
  BOOL HandOverTo64Bit();

 private:
  platform::Platform m_platform;

  DECLARE_MESSAGE_MAP()
};
