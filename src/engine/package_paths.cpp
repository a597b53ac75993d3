#include "engine/package_paths.h"

PackagePaths PackagePaths::Read(platform::IFiles& files, platform::IThreadError& error,
                                const std::string& infFile) {
  PackagePaths paths;
  char directory[kPathBytes] = {};
  DWORD length = files.GetCurrentDirectoryA(kPathBytes, directory);
  if (length == 0 || length >= kPathBytes) {
    paths.folderError = error.GetLastError();
  } else {
    paths.folder = directory;
    paths.inf = paths.InFolder(infFile);
    paths.backup = paths.InFolder("bak");
  }
  char windows[kPathBytes] = {};
  UINT windowsLength = files.GetWindowsDirectoryA(windows, kPathBytes);
  if (windowsLength != 0 && windowsLength < kPathBytes) paths.windows = windows;
  return paths;
}

std::optional<std::string> PackagePaths::InstalledMonitor(const std::string& monitor) const {
  // "\system32\" and the terminator take 11 characters.
  if (monitor.size() + windows.size() + 11 > kPathBytes) return std::nullopt;
  return windows + "\\system32\\" + monitor;
}
