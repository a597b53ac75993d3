// What the program runs on: the machine's own architecture, and whether
// this process runs under WOW64. On ARM64 Windows both builds run emulated:
// the 32-bit one under WOW64 as x86, the 64-bit one as x64.
#pragma once
#include "platform/platform.h"

namespace platform {

struct MachineKind {
  USHORT native = IMAGE_FILE_MACHINE_UNKNOWN;  // IMAGE_FILE_MACHINE_*
  bool wow64 = false;                          // the 32-bit program on 64-bit Windows

  bool Arm64() const { return native == IMAGE_FILE_MACHINE_ARM64; }
};

// Asks IsWow64Process2, and where the system lacks it (before Windows 10
// version 1709, which came before ARM64 Windows) IsWow64Process: WOW64 then
// means an AMD64 machine, and no WOW64 one of the program's own build. A
// machine that can't be asked counts as one of the program's own build.
MachineKind GetMachineKind(IProcesses& processes, bool x64Program);

}  // namespace platform
