#include "platform/sim/sim_setup_api.h"

#include "platform/sim/sim_machine.h"

namespace sim {

// Placeholder until the INF parser is simulated: no INF opens.
HINF SimSetupApi::SetupOpenInfFileA(LPCSTR, LPCSTR, DWORD, UINT*) {
  m_machine.SetLastError(ERROR_FILE_NOT_FOUND);
  return INVALID_HANDLE_VALUE;
}
void SimSetupApi::SetupCloseInfFile(HINF) {}
BOOL SimSetupApi::SetupFindFirstLineA(HINF, LPCSTR, LPCSTR, INFCONTEXT*) { return FALSE; }
BOOL SimSetupApi::SetupFindNextLine(const INFCONTEXT*, INFCONTEXT*) { return FALSE; }
BOOL SimSetupApi::SetupGetLineTextA(const INFCONTEXT*, HINF, LPCSTR, LPCSTR, LPSTR, DWORD, DWORD*) {
  return FALSE;
}
LONG SimSetupApi::SetupGetLineCountA(HINF, LPCSTR) { return -1; }
BOOL SimSetupApi::SetupGetMultiSzFieldA(const INFCONTEXT*, DWORD, LPSTR, DWORD, LPDWORD) {
  return FALSE;
}

}  // namespace sim
