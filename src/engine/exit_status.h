// The exit status that a run hands to the script or deployment tool that
// started it. Such tools read 0 and 3010 as success, 1618 as "try again
// later" and anything else as a failure.
#pragma once
#include "platform/win_types.h"

enum ExitStatus : DWORD {
  kExitDone = 0,
  kExitFailed = 1,
  // Another run of the program holds the machine (ERROR_INSTALL_ALREADY_RUNNING).
  kExitAnotherRun = 1618,
  // Done, but Windows needs a restart (ERROR_SUCCESS_REBOOT_REQUIRED).
  kExitRestartNeeded = 3010,
};
