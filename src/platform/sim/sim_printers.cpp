#include "platform/sim/sim_printers.h"

#include "platform/sim/sim_machine.h"

namespace sim {

// Placeholder until printers are simulated: there are none.
BOOL SimPrinters::EnumPrintersA(DWORD, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD pcbNeeded,
                                LPDWORD pcReturned) {
  *pcbNeeded = 0;
  *pcReturned = 0;
  return TRUE;
}

}  // namespace sim
