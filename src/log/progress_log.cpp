// Each text goes to the file at once, unbuffered, so a script reading the
// log sees every step as it happens.
#include "log/progress_log.h"

#include "platform/file_links.h"
#include "platform/handles.h"

HANDLE g_hLogFile = nullptr;

namespace {

constexpr DWORD kAccess = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kFlags =
    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN | FILE_FLAG_OPEN_REPARSE_POINT;

// The log opened with disposition, if what was opened is a file of its own.
platform::FileHandle OpenOwnFile(platform::IFiles& files, const std::string& path,
                                 DWORD disposition) {
  platform::FileHandle log(files, files.CreateFileA(path.c_str(), kAccess, kShare, nullptr,
                                                    disposition, kFlags, nullptr));
  if (log.valid() && platform::KindOfOpened(files, log.get()) != platform::OpenedKind::File)
    log.reset();
  return log;
}

}  // namespace

HANDLE CreateProgressLog(platform::IFiles& files, const std::string& path) {
  // Look at what the name is before anything opens it for writing.
  platform::OpenedKind kind = platform::OpenedKind::Unknown;
  {
    platform::FileHandle existing(
        files, platform::OpenNameItself(files, path.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE));
    // Nothing there: a new file, which fails rather than open whatever
    // took the name meanwhile.
    if (!existing.valid()) return OpenOwnFile(files, path, CREATE_NEW).release();
    kind = platform::KindOfOpened(files, existing.get());
  }
  if (kind == platform::OpenedKind::File) {
    // An earlier run's log is emptied, as long as the name still holds a
    // file of its own once it is open.
    platform::FileHandle log = OpenOwnFile(files, path, OPEN_EXISTING);
    if (log.valid()) {
      if (!files.SetEndOfFile(log.get())) log.reset();
      return log.valid() ? log.release() : INVALID_HANDLE_VALUE;
    }
  } else if (kind == platform::OpenedKind::Folder) {
    return INVALID_HANDLE_VALUE;
  }
  // A link, or a name that changed under us: remove the name (a link goes,
  // its target keeps its bytes) and make a new file.
  if (!files.DeleteFileA(path.c_str())) return INVALID_HANDLE_VALUE;
  return OpenOwnFile(files, path, CREATE_NEW).release();
}

void CloseProgressLog(platform::IFiles& files) {
  // A log that could not be created has nothing to close.
  if (platform::FileHandle::IsValid(g_hLogFile)) files.CloseHandle(g_hLogFile);
  g_hLogFile = nullptr;
}

BOOL WriteProgressLog(platform::IFiles& files, LPCSTR text, DWORD length) {
  if (!platform::FileHandle::IsValid(g_hLogFile)) return 0;
  DWORD written = 0;
  files.SetEndOfFile(g_hLogFile);
  return files.WriteFile(g_hLogFile, text, length, &written, nullptr);
}
