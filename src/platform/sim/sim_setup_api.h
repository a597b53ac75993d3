// The simulated Setup API INF parser.
#pragma once
#include "platform/platform.h"

namespace sim {

class SimMachine;

class SimSetupApi : public platform::ISetupApi {
 public:
  explicit SimSetupApi(SimMachine& machine) : m_machine(machine) {}

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

 private:
  SimMachine& m_machine;
};

}  // namespace sim
