// The progress log of unattended runs: "QVR_Download.txt" in the package
// folder, holding the texts written in order with nothing added.
#pragma once
#include <string>

#include "platform/platform.h"

// The open log, or NULL when there is none (then every write does nothing).
extern HANDLE g_hLogFile;

#define QVR_LOG_FILE_NAME "QVR_Download.txt"

// Opens a fresh, empty log at path and returns its handle, or INVALID_HANDLE_VALUE
// when there can be none. A log name that is a link (a reparse point, or a
// file with another hard link) is never opened for writing: the name is
// removed, never what it points to, and a new file is made in its place.
HANDLE CreateProgressLog(platform::IFiles& files, const std::string& path);
// Closes the log in g_hLogFile, if one is open, and sets it to NULL.
void CloseProgressLog(platform::IFiles& files);
// Appends length bytes of text to the open log; 0 when no log is open.
BOOL WriteProgressLog(platform::IFiles& files, LPCSTR text, DWORD length);
