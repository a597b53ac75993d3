// Whether a name from the INF may be used as a file name in system32 and in
// the backup folder: a name of a file there, and nothing else.
#pragma once
#include <string>

#include "platform/ansi_code_page.h"

// FALSE for an empty name, a name with a path part (a backslash, slash or
// colon, looked for at whole characters of codePage, never in the second
// byte of a double-byte character), a name that is only dots and blanks, and
// a DOS device name (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, in any case,
// with or without an extension, with trailing dots or blanks).
bool IsPlainFileName(const std::string& name, const AnsiCodePage& codePage);
