// What a name in a folder that other users may write really is. The checks
// look at an open handle, never at the name again, so nothing can swap the
// name between the check and the use.
#pragma once
#include "platform/platform.h"

namespace platform {

enum class OpenedKind {
  Unknown,  // the handle's information can't be read: trust nothing
  File,     // a file with this one name
  Folder,   // a folder of its own
  Link,     // a reparse point (symbolic link, junction), or a file with more
            // than one hard link: writing to it writes somewhere else too
};

// Opens the name itself, without following a reparse point, files and
// folders alike; access as CreateFileA takes it. OPEN_EXISTING.
HANDLE OpenNameItself(IFiles& files, LPCSTR path, DWORD access, DWORD share);

// What the open handle h stands for, from its attributes and link count.
OpenedKind KindOfOpened(IFiles& files, HANDLE h);

// The same for the handle `held` of the name path, opened by
// OpenNameItself without FILE_SHARE_DELETE: while it is open the name can be
// neither removed nor renamed, so the name's own attributes tell of the
// object held too. They count as well, because Wine shows a linked folder
// as a reparse point by its name only, not through a handle.
OpenedKind KindOfHeldName(const Platform& platform, HANDLE held, LPCSTR path);

}  // namespace platform
