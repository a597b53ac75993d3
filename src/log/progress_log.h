// The progress log of unattended runs: "QVR_Download.txt" in the current
// directory, holding the texts written in order with nothing added.
#pragma once
#include "platform/win_types.h"

// The open log, or NULL when there is none (then every write does nothing).
extern HANDLE g_hLogFile;

#define QVR_LOG_FILE_NAME "QVR_Download.txt"
