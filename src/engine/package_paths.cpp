#include "engine/package_paths.h"

PackagePaths PackagePaths::Read(platform::IFiles& files, platform::IThreadError& error,
                                const std::string& infFile) {
  PackagePaths paths;
  char directory[MAX_PATH] = {};
  DWORD length = files.GetCurrentDirectoryA(MAX_PATH, directory);
  if (length == 0 || length >= MAX_PATH) {
    paths.folderError = error.GetLastError();
  } else {
    paths.folder = directory;
    paths.inf = paths.InFolder(infFile);
    paths.backup = paths.InFolder("bak");
  }
  char windows[MAX_PATH] = {};
  UINT windowsLength = files.GetWindowsDirectoryA(windows, MAX_PATH);
  if (windowsLength != 0 && windowsLength < MAX_PATH) paths.windows = windows;
  return paths;
}

std::optional<std::string> PackagePaths::InstalledMonitor(const std::string& monitor) const {
  // "\system32\" and the terminator take 11 characters.
  if (monitor.size() + windows.size() + 11 > MAX_PATH) return std::nullopt;
  return windows + "\\system32\\" + monitor;
}
