#include "platform/sim/sim_printers.h"

#include <cstring>
#include <vector>

#include "platform/sim/sim_machine.h"

namespace sim {
namespace {

constexpr DWORD kErrorInvalidLevel = 124;
constexpr DWORD kErrorInvalidUserBuffer = 1784;
constexpr DWORD kPrinterAttributeLocal = 0x00000040;

const std::string kEmpty;
const std::string kPrintProcessor = "winprint";
const std::string kDatatype = "RAW";

// The strings of one level-2 record, each with the field that points to it,
// in the order they are laid out in the buffer.
struct StringField {
  LPSTR PRINTER_INFO_2A::*field;
  const std::string* text;
};

std::vector<StringField> StringsOf(const SimPrinters::Printer& p) {
  return {{&PRINTER_INFO_2A::pPrinterName, &p.name},
          {&PRINTER_INFO_2A::pShareName, &kEmpty},
          {&PRINTER_INFO_2A::pPortName, &p.portName},
          {&PRINTER_INFO_2A::pDriverName, &p.driverName},
          {&PRINTER_INFO_2A::pComment, &p.comment},
          {&PRINTER_INFO_2A::pLocation, &p.location},
          {&PRINTER_INFO_2A::pSepFile, &kEmpty},
          {&PRINTER_INFO_2A::pPrintProcessor, &kPrintProcessor},
          {&PRINTER_INFO_2A::pDatatype, &kDatatype}};
}

}  // namespace

void SimPrinters::AddPrinter(const std::string& name, const std::string& driverName,
                             const std::string& portName) {
  m_printers.push_back({name, driverName, portName, "", ""});
}

BOOL SimPrinters::EnumPrintersA(DWORD Flags, LPSTR /*Name*/, DWORD Level, LPBYTE pPrinterEnum,
                                DWORD cbBuf, LPDWORD pcbNeeded, LPDWORD pcReturned) {
  BOOL result = Enumerate(Flags, Level, pPrinterEnum, cbBuf, pcbNeeded, pcReturned);
  if (afterEachCall) afterEachCall();
  return result;
}

BOOL SimPrinters::Enumerate(DWORD Flags, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                            LPDWORD pcbNeeded, LPDWORD pcReturned) {
  if (pcbNeeded != nullptr) *pcbNeeded = 0;
  if (pcReturned != nullptr) *pcReturned = 0;
  if (m_machine.Enter("EnumPrintersA")) return FALSE;
  if (Level != 2) {
    m_machine.SetLastError(kErrorInvalidLevel);
    return FALSE;
  }
  if (pcbNeeded == nullptr || pcReturned == nullptr) {
    m_machine.SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Without PRINTER_ENUM_LOCAL nothing this machine has is asked for.
  const bool local = (Flags & PRINTER_ENUM_LOCAL) != 0;
  if (!local || m_printers.empty()) {
    // Observed under Wine for a machine without printers: success, no error
    // set, and no bytes needed.
    return TRUE;
  }

  DWORD needed = 0;
  for (const Printer& p : m_printers) {
    needed += sizeof(PRINTER_INFO_2A);
    for (const StringField& s : StringsOf(p)) needed += static_cast<DWORD>(s.text->size() + 1);
  }
  *pcbNeeded = needed;
  if (pPrinterEnum == nullptr && cbBuf != 0) {
    m_machine.SetLastError(kErrorInvalidUserBuffer);
    return FALSE;
  }
  if (pPrinterEnum == nullptr || cbBuf < needed) {
    m_machine.SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }

  std::memset(pPrinterEnum, 0, needed);
  auto* records = reinterpret_cast<PRINTER_INFO_2A*>(pPrinterEnum);
  char* strings = reinterpret_cast<char*>(records + m_printers.size());
  for (size_t i = 0; i < m_printers.size(); ++i) {
    PRINTER_INFO_2A& r = records[i];
    for (const StringField& s : StringsOf(m_printers[i])) {
      std::memcpy(strings, s.text->c_str(), s.text->size() + 1);
      r.*s.field = strings;
      strings += s.text->size() + 1;
    }
    // pServerName stays null: local printers name no server.
    r.Attributes = kPrinterAttributeLocal;
    r.Priority = 1;
  }
  *pcReturned = static_cast<DWORD>(m_printers.size());
  return TRUE;
}

}  // namespace sim
