// The language monitor's copies before the Update removes it: the trusted
// copy below %ProgramData%, which alone is ever put back, and the copy in
// `bak` beside the package, for people to see. The package's folder may be
// writable by other users: the `bak` copy never writes outside `bak`.
#include "engine/trusted_copy.h"
#include "platform/ansi_code_page.h"
#include "platform/file_links.h"
#include "platform/handles.h"
#include "platform/last_error.h"
#include "ui/setup_dlg.h"

namespace {

// The final path of an open file or folder; empty when it can't be read.
std::string FinalPath(platform::IFiles& files, HANDLE h) {
  char path[kPathBytes + 8] = {};
  DWORD length = files.GetFinalPathNameByHandleA(h, path, sizeof path, FILE_NAME_NORMALIZED);
  return length != 0 && length < sizeof path ? std::string(path, length) : std::string();
}

// Writes bytes to a new file `name` in the folder held open, opened without
// following a link that took the name meanwhile, and only when it lies in
// that folder. An earlier backup's name goes first, which leaves a link's
// target and a file's other names with their bytes.
bool WriteBackupFile(const platform::Platform& platform, HANDLE folder, const std::string& path,
                     LPCSTR name, const std::string& bytes) {
  platform::IFiles& files = *platform.files;
  if (platform.processes->GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
      !files.DeleteFileA(path.c_str()))
    return false;
  platform::FileHandle out(files,
                           files.CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                             FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!out.valid()) return false;
  const std::string where = FinalPath(files, folder);
  if (where.empty() || FinalPath(files, out.get()) != where + "\\" + name) {
    platform.error->SetLastError(ERROR_CANT_ACCESS_FILE);
    return false;
  }
  DWORD written = 0;
  return files.WriteFile(out.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                         nullptr) &&
         written == bytes.size();
}

}  // namespace

CSetupDlg::MonitorBytes CSetupDlg::ReadInstalledMonitor(const std::string& installedMonitor) {
  platform::IFiles& files = *m_platform.files;
  platform::KeepLastError keep(*m_platform.error);
  MonitorBytes monitor;
  platform::FileHandle in(
      files, files.CreateFileA(installedMonitor.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  monitor.read = in.valid() && ReadWholeFile(files, *m_platform.error, in.get(), monitor.bytes);
  if (!monitor.read) monitor.error = m_platform.error->GetLastError();
  return monitor;
}

void CSetupDlg::BackUpMonitor(const std::string& backupDirectory, const MonitorBytes& monitor,
                              LPCSTR name) {
  platform::IFiles& files = *m_platform.files;
  platform::IThreadError& error = *m_platform.error;

  LogText("Create Backup Directory\n");
  if (!files.CreateDirectoryA(backupDirectory.c_str(), nullptr) &&
      error.GetLastError() != ERROR_ALREADY_EXISTS) {
    ShowLastError();
    return;
  }
  // The folder stays open, without delete sharing, until the copy is done:
  // meanwhile it can be neither removed nor swapped for a link. The looks
  // leave the last error as the folder's creation left it.
  const DWORD created = error.GetLastError();
  platform::FileHandle folder(files,
                              platform::OpenNameItself(files, backupDirectory.c_str(),
                                                       FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                                       FILE_SHARE_READ | FILE_SHARE_WRITE));
  if (!folder.valid()) {
    ShowLastError();
    return;
  }
  if (platform::KindOfHeldName(m_platform, folder.get(), backupDirectory.c_str()) !=
      platform::OpenedKind::Folder) {
    // A junction or a symbolic link to some other folder.
    error.SetLastError(ERROR_CANT_ACCESS_FILE);
    ShowLastError();
    return;
  }
  error.SetLastError(created);

  LogText("Copy Language Monitor to Backup Directory\n");
  if (!monitor.read) {
    error.SetLastError(monitor.error);
    ShowLastError();
    return;
  }
  // The copy leaves the last error as it was, unless it fails.
  if (!WriteBackupFile(m_platform, folder.get(), backupDirectory + "\\" + name, name,
                       monitor.bytes)) {
    ShowLastError();
    return;
  }
  error.SetLastError(created);
}
