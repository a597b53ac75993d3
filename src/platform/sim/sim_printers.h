// The simulated local printers, enumerated as the print spooler does.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace sim {

class SimMachine;

class SimPrinters : public platform::IPrinters {
 public:
  explicit SimPrinters(SimMachine& machine) : m_machine(machine) {}

  struct Printer {
    std::string name;
    std::string driverName;
    std::string portName;
    std::string comment;
    std::string location;
  };

  // ---- the machine's contents, in the order the spooler returns them
  void AddPrinter(const std::string& name, const std::string& driverName = "Generic / Text Only",
                  const std::string& portName = "LPT1:");
  const std::vector<Printer>& Printers() const { return m_printers; }

  // Runs at the end of every EnumPrintersA call, so a test can change the
  // machine between a caller's size query and its fill, as another process
  // might.
  std::function<void()> afterEachCall;

  // ---- IPrinters: local printers at level 2. Records come first in the
  // buffer, the strings they point to after them.
  BOOL EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                     LPDWORD pcbNeeded, LPDWORD pcReturned) override;

 private:
  BOOL Enumerate(DWORD Flags, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf, LPDWORD pcbNeeded,
                 LPDWORD pcReturned);

  SimMachine& m_machine;
  std::vector<Printer> m_printers;
};

}  // namespace sim
