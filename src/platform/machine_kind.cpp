#include "platform/machine_kind.h"

namespace platform {

MachineKind GetMachineKind(IProcesses& processes, bool x64Program) {
  MachineKind kind;
  USHORT processMachine = IMAGE_FILE_MACHINE_UNKNOWN;
  USHORT nativeMachine = IMAGE_FILE_MACHINE_UNKNOWN;
  if (processes.IsWow64Process2(&processMachine, &nativeMachine) &&
      nativeMachine != IMAGE_FILE_MACHINE_UNKNOWN) {
    kind.native = nativeMachine;
    kind.wow64 = processMachine != IMAGE_FILE_MACHINE_UNKNOWN;
    return kind;
  }
  BOOL wow64 = FALSE;
  kind.wow64 = processes.IsWow64Process(&wow64) && wow64;
  kind.native = kind.wow64 || x64Program ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
  return kind;
}

}  // namespace platform
