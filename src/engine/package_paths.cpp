#include "engine/package_paths.h"

#include "log/progress_log.h"

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A drive letter with its colon and a separator, or two separators.
bool IsFullPath(const std::string& path) {
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return true;
  const char drive = static_cast<char>(path.empty() ? 0 : path[0] | 0x20);
  return path.size() >= 3 && drive >= 'a' && drive <= 'z' && path[1] == ':' && IsSeparator(path[2]);
}

// The folder part of a full path: up to its last separator, which a
// drive's root keeps ("C:\"). Steps by whole characters, so that the
// second byte of a double-byte character is never taken for a backslash.
std::string FolderOf(const std::string& path, const AnsiCodePage& codePage) {
  size_t last = 0;
  for (size_t i = 0; i < path.size();
       i += codePage.IsLeadByte(static_cast<unsigned char>(path[i])) ? 2 : 1)
    if (IsSeparator(path[i])) last = i;
  return path.substr(0, last == 2 && path[1] == ':' ? 3 : last);
}

}  // namespace

PackagePaths PackagePaths::Read(platform::IFiles& files, platform::IThreadError& error,
                                const AnsiCodePage& codePage, const std::string& infFile) {
  PackagePaths paths;
  if (IsFullPath(infFile)) {
    std::string folder = FolderOf(infFile, codePage);
    if (folder.size() >= MAX_PATH) {
      paths.folderError = ERROR_FILENAME_EXCED_RANGE;
    } else {
      paths.folder = folder;
    }
  } else {
    char directory[MAX_PATH] = {};
    DWORD length = files.GetCurrentDirectoryA(MAX_PATH, directory);
    if (length == 0 || length >= MAX_PATH) {
      paths.folderError = error.GetLastError();
    } else {
      paths.folder = directory;
    }
  }
  if (paths.HasFolder()) {
    paths.inf = paths.InfPath(infFile);
    paths.backup = paths.InFolder("bak");
  }
  char windows[MAX_PATH] = {};
  UINT windowsLength = files.GetWindowsDirectoryA(windows, MAX_PATH);
  if (windowsLength != 0 && windowsLength < MAX_PATH) paths.windows = windows;
  return paths;
}

std::string PackagePaths::InfPath(const std::string& infFile) const {
  return IsFullPath(infFile) ? infFile : InFolder(infFile);
}

std::string PackagePaths::Log() const {
  return HasFolder() ? InFolder(QVR_LOG_FILE_NAME) : QVR_LOG_FILE_NAME;
}

std::optional<std::string> PackagePaths::InstalledMonitor(const std::string& monitor) const {
  // "\system32\" and the terminator take 11 characters.
  if (monitor.size() + windows.size() + 11 > MAX_PATH) return std::nullopt;
  return windows + "\\system32\\" + monitor;
}
