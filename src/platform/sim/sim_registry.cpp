#include "platform/sim/sim_registry.h"

#include "platform/sim/sim_machine.h"

namespace sim {

// Placeholder until the registry is simulated: no key exists.
LONG SimRegistry::RegOpenKeyExA(HKEY, LPCSTR, DWORD, REGSAM, PHKEY) { return ERROR_FILE_NOT_FOUND; }
LONG SimRegistry::RegQueryValueExA(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD) {
  return ERROR_INVALID_HANDLE;
}
LONG SimRegistry::RegCloseKey(HKEY) { return ERROR_INVALID_HANDLE; }

}  // namespace sim
