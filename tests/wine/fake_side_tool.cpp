// Stands in for the package's KillLogoTestingWarnings.exe in the end-to-end
// tests: writes the command line it was started with, byte for byte, into
// side_tool_record.txt in its own folder, and exits with 0. A test reads the
// file to learn that the tool ran and what it was given.
#include <windows.h>

#include <cstring>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH] = {};
  DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  std::string record(path, length);
  record = record.substr(0, record.find_last_of("\\/") + 1) + "side_tool_record.txt";

  // The whole command line, not the runtime's argv: what the starter passed
  // is the point, including a first word that is no program name.
  const char* commandLine = ::GetCommandLineA();
  HANDLE file = ::CreateFileA(record.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const DWORD size = static_cast<DWORD>(std::strlen(commandLine));
  BOOL ok = ::WriteFile(file, commandLine, size, &written, nullptr) && written == size;
  ::CloseHandle(file);
  return ok ? 0 : 1;
}
