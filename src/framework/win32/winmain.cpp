// Process entry of the Windows build: hands the argument text to the one
// application object, runs its start-up and ends with its exit code.

#include "framework/afx.h"
#include "platform/win32/windows_sdk.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR argumentText, int /*show*/) {
  // Every library loaded from now on, and every library those load, comes
  // from system32: never from the program's folder or the current directory,
  // where other users may have put a DLL of the same name.
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // The C runtime's start-up has already cut the program's own name and the
  // blanks and control characters after it from argumentText.
  ::InitCommonControls();
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return 1;
  app->m_hInstance = instance;
  app->m_lpCmdLine = argumentText;
  app->InitInstance();
  return app->m_nExitCode;
}
