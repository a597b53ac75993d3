// A DLL that tells when it is loaded: DllMain leaves "<own name>.marker"
// beside it. The security cases plant it under the names of system DLLs in
// the package folder, to see whether the program loads any of them.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char path[MAX_PATH] = {};
  DWORD length = ::GetModuleFileNameA(instance, path, MAX_PATH - 8);
  if (length == 0 || length >= MAX_PATH - 8) return TRUE;
  lstrcatA(path, ".marker");
  HANDLE marker =
      ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) ::CloseHandle(marker);
  return TRUE;
}
