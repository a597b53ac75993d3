// Lists the local printers and the driver version recorded for each.
#include <cstdio>

#include "catalogue/driver_environment.h"
#include "platform/handles.h"
#include "ui/setup_dlg.h"

namespace {

// The key of an installed version-3 driver; the environment and then the
// driver's name go into it.
constexpr char kDriverKeyFormat[] =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\%s\\Drivers\\Version-3\\%s";

constexpr DWORD kPrinterInfoLevel = 2;

}  // namespace

BOOL CSetupDlg::ListInstalledPrinters(CListBox* pPrinterList) {
  platform::IPrinters& spooler = *m_platform.printers;
  platform::IMemory& memory = *m_platform.memory;

  // A machine without printers may answer the size query without failing
  // and without asking for bytes; both mean there is nothing to list.
  m_platform.error->SetLastError(0);
  DWORD needed = 0;
  DWORD returned = 0;
  spooler.EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, kPrinterInfoLevel, nullptr, 0, &needed,
                        &returned);
  if (m_platform.error->GetLastError() != ERROR_INSUFFICIENT_BUFFER) return FALSE;
  if (needed == 0) return FALSE;

  platform::GlobalBuffer buffer(memory, memory.GlobalAlloc(GPTR, needed));
  if (!buffer.valid()) return FALSE;
  if (!spooler.EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, kPrinterInfoLevel,
                             static_cast<LPBYTE>(buffer.get()), needed, &needed, &returned))
    return FALSE;

  const auto* printers =
      reinterpret_cast<const PRINTER_INFO_2A*>(static_cast<LPBYTE>(buffer.get()));
  for (DWORD i = 0; i < returned; ++i) {
    pPrinterList->AddString(printers[i].pPrinterName);
    m_lbDriverVersions.AddString(GetDriverVersion(printers[i].pPrinterName));
  }
  pPrinterList->SetFocus();
  pPrinterList->SetCurSel(0);
  return TRUE;
}

// The driver record is looked up under the printer's own name: a printer
// keeps its driver's name unless the user renames it.
CString CSetupDlg::GetDriverVersion(LPCSTR printerName) {
  CString version;

  char keyPath[1024];
  int length =
      std::snprintf(keyPath, sizeof(keyPath), kDriverKeyFormat,
                    DriverEnvironment(m_platform.x64Program, m_machine.Arm64()), printerName);
  if (length < 0 || static_cast<size_t>(length) >= sizeof(keyPath)) return version;

  platform::IRegistry& registry = *m_platform.registry;
  HKEY opened = nullptr;
  if (registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &opened) != ERROR_SUCCESS)
    return version;
  platform::RegistryKey key(registry, opened);

  // The date is not shown, but a record without one is not taken as a driver.
  DWORD dateSize = 0;
  if (registry.RegQueryValueExA(key.get(), "DriverDate", nullptr, nullptr, nullptr, &dateSize) !=
      ERROR_SUCCESS)
    return version;
  platform::GlobalBuffer date(*m_platform.memory, m_platform.memory->GlobalAlloc(GPTR, dateSize));
  if (!date.valid()) return version;
  if (registry.RegQueryValueExA(key.get(), "DriverDate", nullptr, nullptr,
                                static_cast<LPBYTE>(date.get()), &dateSize) != ERROR_SUCCESS)
    return version;

  // A 64-bit number of four 16-bit words, least significant first. A value
  // shorter than that leaves the words it doesn't reach at zero.
  BYTE raw[16] = {};
  DWORD rawSize = sizeof(raw);
  if (registry.RegQueryValueExA(key.get(), "DriverVersion", nullptr, nullptr, raw, &rawSize) !=
      ERROR_SUCCESS)
    return version;
  auto word = [&](int i) { return static_cast<unsigned>(raw[2 * i] | (raw[2 * i + 1] << 8)); };

  char text[100];
  std::snprintf(text, sizeof(text), "%u.%u.%u.%u", word(3), word(2), word(1), word(0));
  version = text;
  return version;
}
