// Process entry of the Windows build: hands the argument text to the one
// application object, runs its start-up and ends with its exit code.

#include "framework/afx.h"
#include "platform/win32/windows_sdk.h"

namespace {

// The common controls, loaded only now that the search is set: as a static
// import the library would start before the program's first line, and with
// it whatever it loads (the theme library, for one) from the program's own
// folder. The manifest binds the name to the version in WinSxS. The library
// stays loaded for the process's lifetime.
void InitCommonControlsFromSystem() {
  HMODULE library = ::LoadLibraryExA("comctl32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  // A system without the search flags loads by name; the manifest still
  // binds the name.
  if (library == nullptr) library = ::LoadLibraryA("comctl32.dll");
  if (library == nullptr) return;
  using Fn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  auto init = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(::GetProcAddress(library, "InitCommonControlsEx")));
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  if (init != nullptr) init(&controls);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR argumentText, int /*show*/) {
  // Every library loaded from now on, and every library those load, comes
  // from system32: never from the program's folder or the current directory,
  // where other users may have put a DLL of the same name.
  // (Looked up, not imported: a Windows 7 without the update that brought
  // it would refuse to start the program. There only the current directory
  // leaves the search.)
  using SetDirectories = BOOL(WINAPI*)(DWORD);
  auto setDirectories = reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDirectories != nullptr)
    setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  else
    ::SetDllDirectoryA("");
  // The C runtime's start-up has already cut the program's own name and the
  // blanks and control characters after it from argumentText.
  InitCommonControlsFromSystem();
  CWinApp* app = AfxGetApp();
  if (app == nullptr) return 1;
  app->m_hInstance = instance;
  app->m_lpCmdLine = argumentText;
  app->InitInstance();
  return app->m_nExitCode;
}
