// The trusted copy of the language monitor. The spooler loads what lies in
// system32 as SYSTEM, so what the program puts back there comes from a
// folder that only SYSTEM and Administrators can change, below
// %ProgramData%, and only when its size and SHA-256 are those that the
// journal recorded when the monitor was taken away. The package folder is
// never read back: its `bak` copy is for people to look at.
#pragma once
#include <optional>
#include <string>

#include "platform/platform.h"

// The folder below %ProgramData%, and its security descriptor: SYSTEM and
// Administrators own it and have full control, inherited by what lies in
// it; it inherits nothing, and nobody else has any right.
#define QVR_TRUSTED_FOLDER "QVR\\Driver Setup\\Backup"
#define QVR_TRUSTED_FOLDER_SDDL "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"
// Each folder of that path that the program made: its identity and the
// descriptor that the system read back for it then, by the folder's path.
#define QVR_TRUSTED_FOLDERS_KEY "SOFTWARE\\QVR\\Driver Setup\\Trusted Folders"

// <ProgramData>\QVR\Driver Setup\Backup\<monitor>; nothing, with a last
// error, when %ProgramData% can't be found or the path would not fit.
std::optional<std::string> TrustedCopyPath(platform::IFiles& files, platform::IThreadError& error,
                                           const std::string& monitor);

// Whether a security descriptor, as SDDL text with owner and DACL, is owned
// by SYSTEM or Administrators and lets nobody else write, delete or change
// permissions or ownership, in the object or in what it inherits to.
bool OnlyAdministratorsCanChange(const std::string& sddl);

// The whole content of an open file, at most 64 MiB; false with the last
// error of the failed read.
bool ReadWholeFile(platform::IFiles& files, platform::IThreadError& error, HANDLE file,
                   std::string& bytes);

// Writes bytes under a temporary name beside path, flushes them to disk and
// moves them to path with write-through, over an existing file only when
// `replace` says so. Without replace, a file at path makes it fail with
// ERROR_ALREADY_EXISTS. On failure the temporary name is removed and the
// failed call's error is the last error.
bool WriteFileInPlace(platform::IFiles& files, platform::IThreadError& error,
                      const std::string& path, const std::string& bytes, bool replace);

enum class TrustedCopy { Made, Failed, UnsafeFolder };

// Makes the folders of `path` below %ProgramData% where they are missing,
// with that security descriptor, and writes bytes to `path`. A folder that
// is a link, or that was there already and is neither changeable by
// SYSTEM and Administrators alone nor still the one that the program made,
// makes it UnsafeFolder. Failed: the
// last error says why.
TrustedCopy MakeTrustedCopy(const platform::Platform& platform, const std::string& path,
                            const std::string& bytes);
