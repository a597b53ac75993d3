// The language monitor's backup. The backup folder lies in the package's
// folder, which other users may be able to write: the backup never goes
// through a link into some other place.
#include "platform/file_links.h"
#include "platform/handles.h"
#include "platform/last_error.h"
#include "ui/setup_dlg.h"

bool CSetupDlg::BackUpMonitor(const std::string& backupDirectory,
                              const std::string& installedMonitor, LPCSTR monitor) {
  platform::IFiles& files = *m_platform.files;
  platform::IThreadError& error = *m_platform.error;

  LogText("Create Backup Directory\n");
  if (!files.CreateDirectoryA(backupDirectory.c_str(), nullptr) &&
      error.GetLastError() != ERROR_ALREADY_EXISTS) {
    ShowLastError();
    return false;
  }
  // The folder stays open, without delete sharing, until the copy is done:
  // meanwhile it can be neither removed nor swapped for a link. The looks
  // leave the last error as the folder's creation left it.
  const DWORD created = error.GetLastError();
  platform::FileHandle folder(
      files, platform::OpenNameItself(files, backupDirectory.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE));
  if (!folder.valid()) {
    ShowLastError();
    return false;
  }
  if (platform::KindOfHeldName(m_platform, folder.get(), backupDirectory.c_str()) !=
      platform::OpenedKind::Folder) {
    // A junction or a symbolic link to some other folder.
    error.SetLastError(ERROR_CANT_ACCESS_FILE);
    ShowLastError();
    return false;
  }
  error.SetLastError(created);

  LogText("Copy Language Monitor to Backup Directory\n");
  const std::string backupFile = backupDirectory + "\\" + monitor;
  // Only an earlier backup that is a file of its own is overwritten. Where
  // there is none, or its name was a link that is now removed, the copy
  // makes a new file and fails rather than write into whatever took the
  // name meanwhile.
  bool exists = false;
  bool ownFile = false;
  {
    platform::KeepLastError keep(error);
    platform::FileHandle existing(
        files, platform::OpenNameItself(files, backupFile.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
    exists = existing.valid();
    ownFile = exists && platform::KindOfOpened(files, existing.get()) == platform::OpenedKind::File;
  }
  // Removing the name leaves a link's target and a file's other names with
  // their bytes.
  if (exists && !ownFile && !files.DeleteFileA(backupFile.c_str())) {
    ShowLastError();
    return false;
  }
  const BOOL failIfExists = ownFile ? FALSE : TRUE;
  if (!files.CopyFileA(installedMonitor.c_str(), backupFile.c_str(), failIfExists)) {
    ShowLastError();
    return false;
  }
  return true;
}
