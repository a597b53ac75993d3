// Where the package and the installed files lie, read once per run: the
// package folder, the INF in it, the backup folder "bak" and the progress log
// beside it, and the Windows directory with the installed monitors.
#pragma once
#include <optional>
#include <string>

#include "platform/ansi_code_page.h"
#include "platform/platform.h"

struct PackagePaths {
  std::string folder;     // empty when the package folder could not be read
  DWORD folderError = 0;  // the last error of that failed read
  std::string inf;
  std::string backup;
  std::string windows;  // empty when the Windows directory could not be read

  // An INF given with a full path (a drive letter, or a UNC path) lies in
  // the package folder; any other INF name is taken in the current
  // directory, which is then the package folder. The current directory
  // itself is left as it is.
  static PackagePaths Read(platform::IFiles& files, platform::IThreadError& error,
                           const AnsiCodePage& codePage, const std::string& infFile);

  bool HasFolder() const { return !folder.empty(); }
  std::string InFolder(const std::string& name) const { return folder + "\\" + name; }
  // The INF as given when it has a full path, otherwise in the folder.
  std::string InfPath(const std::string& infFile) const;
  std::string BackupFile(const std::string& monitor) const { return backup + "\\" + monitor; }
  // The progress log in the package folder; without one, the log's bare name.
  std::string Log() const;
  // <windows>\system32\<monitor>; nothing when that path would not fit in
  // MAX_PATH.
  std::optional<std::string> InstalledMonitor(const std::string& monitor) const;
};
