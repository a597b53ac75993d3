// On 64-bit Windows the 32-bit program hands its run over to the 64-bit one
// beside it, which alone can update a Plug and Play driver there. Not on
// ARM64 Windows: there the 64-bit program runs emulated as well, and Windows
// 10 on ARM can't start it at all.
#include <string>

#include "app/setup_app.h"
#include "engine/exit_status.h"
#include "platform/handles.h"
#include "platform/machine_kind.h"

#define QVR_64BIT_PROGRAM "qvrsetup64.exe"

BOOL CSetupApp::HandOverTo64Bit() {
  platform::IProcesses& processes = *m_platform.processes;
  platform::MachineKind machine = platform::GetMachineKind(processes, m_platform.x64Program);
  if (!machine.wow64 || machine.Arm64()) return FALSE;

  char self[kPathBytes] = {};
  DWORD length = processes.GetModuleFileNameA(nullptr, self, kPathBytes);
  if (length == 0 || length >= kPathBytes) return FALSE;
  std::string program(self, length);
  size_t slash = program.find_last_of('\\');
  if (slash == std::string::npos) return FALSE;
  program = program.substr(0, slash + 1) + QVR_64BIT_PROGRAM;
  DWORD attributes = processes.GetFileAttributesA(program.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return FALSE;
  // Only a real 64-bit program takes over: a 32-bit one under that name
  // (this very program, say) would hand over again, without end.
  DWORD binaryType = 0;
  if (!processes.GetBinaryTypeA(program.c_str(), &binaryType) || binaryType != SCS_64BIT_BINARY)
    return FALSE;

  // The child's start-up cuts its quoted name and the blank after it, so it
  // sees the same argument text byte for byte, in the same current directory.
  std::string commandLine = "\"" + program + "\"";
  if (m_lpCmdLine != nullptr && *m_lpCmdLine != '\0') commandLine += std::string(" ") + m_lpCmdLine;
  STARTUPINFOA startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!processes.CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                nullptr, nullptr, &startup, &info))
    return FALSE;
  platform::ProcessHandle process(processes, info.hProcess);
  platform::ProcessHandle thread(processes, info.hThread);
  // The child's status goes on unchanged; only a child that can't be
  // followed counts as failed.
  DWORD exitCode = kExitFailed;
  if (processes.WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
      !processes.GetExitCodeProcess(process.get(), &exitCode))
    exitCode = kExitFailed;
  m_nExitCode = static_cast<int>(exitCode);
  return TRUE;
}
