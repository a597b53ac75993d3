// Where the package and the installed files lie, read once per run: the
// folder the program was started in, the INF in it, the backup folder
// "bak" beside it, and the Windows directory with the installed monitors.
#pragma once
#include <optional>
#include <string>

#include "platform/platform.h"

struct PackagePaths {
  std::string folder;     // empty when the current directory could not be read
  DWORD folderError = 0;  // the last error of that failed read
  std::string inf;
  std::string backup;
  std::string windows;  // empty when the Windows directory could not be read

  static PackagePaths Read(platform::IFiles& files, platform::IThreadError& error,
                           const std::string& infFile);

  bool HasFolder() const { return !folder.empty(); }
  std::string InFolder(const std::string& name) const { return folder + "\\" + name; }
  std::string BackupFile(const std::string& monitor) const { return backup + "\\" + monitor; }
  // <windows>\system32\<monitor>; nothing when that path would not fit in
  // kPathBytes.
  std::optional<std::string> InstalledMonitor(const std::string& monitor) const;
};
