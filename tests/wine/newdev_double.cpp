// A stand-in for newdev.dll in the Wine prefixes of the end-to-end tests.
// Wine's UpdateDriverForPlugAndPlayDevicesA succeeds whether or not a
// device matches; this one answers as the test asks, in the environment
// variable QVR_NEWDEV_RESULT of the process that calls it:
//   unset, or "ok"   success
//   "restart"        success, and Windows needs a restart
//   a number         failure with that last error (decimal, or hex with 0x)
// QVR_NEWDEV_DELAY_MS makes it take that long first, as a real driver
// installation can. When QVR_NEWDEV_RECORD names a file, each call appends a line to it:
// the hardware ID, the INF path and the flags, separated by "|".
// wine_prefix.sh --newdev puts it into the prefix's system32, and
// WINEDLLOVERRIDES newdev=n makes Wine load it instead of its own.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Variable(const char* name) {
  char value[512] = {};
  DWORD length = ::GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

void Record(LPCSTR hardwareId, LPCSTR infPath, DWORD flags) {
  std::string path = Variable("QVR_NEWDEV_RECORD");
  if (path.empty()) return;
  HANDLE file = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char line[1200];
  int length = std::snprintf(line, sizeof line, "%s|%s|%lu\r\n", hardwareId ? hardwareId : "",
                             infPath ? infPath : "", static_cast<unsigned long>(flags));
  DWORD written = 0;
  if (length > 0 && static_cast<size_t>(length) < sizeof line)
    ::WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
  ::CloseHandle(file);
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI
    UpdateDriverForPlugAndPlayDevicesA(HWND /*parent*/, LPCSTR hardwareId, LPCSTR infPath,
                                       DWORD flags, PBOOL rebootRequired) {
  Record(hardwareId, infPath, flags);
  std::string delay = Variable("QVR_NEWDEV_DELAY_MS");
  if (!delay.empty()) ::Sleep(static_cast<DWORD>(std::strtoul(delay.c_str(), nullptr, 10)));
  if (rebootRequired != nullptr) *rebootRequired = FALSE;
  std::string result = Variable("QVR_NEWDEV_RESULT");
  if (result.empty() || result == "ok") return TRUE;
  if (result == "restart") {
    if (rebootRequired != nullptr) *rebootRequired = TRUE;
    return TRUE;
  }
  ::SetLastError(static_cast<DWORD>(std::strtoul(result.c_str(), nullptr, 0)));
  return FALSE;
}
