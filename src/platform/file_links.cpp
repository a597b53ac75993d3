#include "platform/file_links.h"

namespace platform {

HANDLE OpenNameItself(IFiles& files, LPCSTR path, DWORD access, DWORD share) {
  return files.CreateFileA(path, access, share, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

OpenedKind KindOfOpened(IFiles& files, HANDLE h) {
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!files.GetFileInformationByHandle(h, &info)) return OpenedKind::Unknown;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return OpenedKind::Link;
  // A folder can't have a second hard link; its count means nothing here.
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return OpenedKind::Folder;
  return info.nNumberOfLinks == 1 ? OpenedKind::File : OpenedKind::Link;
}

OpenedKind KindOfHeldName(const Platform& platform, HANDLE held, LPCSTR path) {
  OpenedKind kind = KindOfOpened(*platform.files, held);
  if (kind == OpenedKind::Unknown || kind == OpenedKind::Link) return kind;
  DWORD attributes = platform.processes->GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return OpenedKind::Unknown;
  return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? OpenedKind::Link : kind;
}

}  // namespace platform
