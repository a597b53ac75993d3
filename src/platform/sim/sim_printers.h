// The simulated local printers.
#pragma once
#include "platform/platform.h"

namespace sim {

class SimMachine;

class SimPrinters : public platform::IPrinters {
 public:
  explicit SimPrinters(SimMachine& machine) : m_machine(machine) {}

  BOOL EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                     LPDWORD pcbNeeded, LPDWORD pcReturned) override;

 private:
  SimMachine& m_machine;
};

}  // namespace sim
