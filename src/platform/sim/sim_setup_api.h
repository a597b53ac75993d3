// The simulated Setup API: INF files of the machine's file tree, read by our
// own parser (inf_parser.h) and answered with the Setup API's results, last
// errors and buffer protocol.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/sim/inf_parser.h"

namespace sim {

class SimMachine;

class SimSetupApi : public platform::ISetupApi {
 public:
  explicit SimSetupApi(SimMachine& machine) : m_machine(machine) {}

  // INF handles opened and not yet closed.
  int OpenInfs() const { return static_cast<int>(m_infs.size()); }

  HINF SetupOpenInfFileA(LPCSTR FileName, LPCSTR InfClass, DWORD InfStyle,
                         UINT* ErrorLine) override;
  void SetupCloseInfFile(HINF InfHandle) override;
  BOOL SetupFindFirstLineA(HINF InfHandle, LPCSTR Section, LPCSTR Key,
                           INFCONTEXT* Context) override;
  BOOL SetupFindNextLine(const INFCONTEXT* ContextIn, INFCONTEXT* ContextOut) override;
  BOOL SetupGetLineTextA(const INFCONTEXT* Context, HINF InfHandle, LPCSTR Section, LPCSTR Key,
                         LPSTR ReturnBuffer, DWORD ReturnBufferSize, DWORD* RequiredSize) override;
  LONG SetupGetLineCountA(HINF InfHandle, LPCSTR Section) override;
  BOOL SetupGetMultiSzFieldA(const INFCONTEXT* Context, DWORD FieldIndex, LPSTR ReturnBuffer,
                             DWORD ReturnBufferSize, LPDWORD RequiredSize) override;
  BOOL SetupDiGetActualSectionToInstallA(HINF InfHandle, LPCSTR InfSectionName,
                                         LPSTR InfSectionWithExt, DWORD InfSectionWithExtSize,
                                         LPDWORD RequiredSize, LPSTR* Extension) override;

 private:
  const inf::File* Lookup(HINF handle);
  const inf::Line* LineAt(const INFCONTEXT* context);
  bool FindFirst(HINF handle, LPCSTR section, LPCSTR key, INFCONTEXT& context);
  bool ReadFile(const std::string& name, std::string& bytes);
  BOOL Deliver(const std::string& text, LPSTR buffer, DWORD size, DWORD* required);

  SimMachine& m_machine;
  std::map<std::uintptr_t, std::unique_ptr<inf::File>> m_infs;
  std::uintptr_t m_nextHandle = 0x7100;
};

}  // namespace sim
