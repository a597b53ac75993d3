#include "engine/update_journal.h"

#include <vector>

#include "platform/handles.h"

namespace {

constexpr REGSAM kView = KEY_WOW64_64KEY;
constexpr char kStepStopped[] = "Spooler stopped";
constexpr char kStepRemoved[] = "Monitor removed";

LONG SetText(platform::IRegistry& registry, HKEY key, LPCSTR name, const std::string& text) {
  return registry.RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>(text.size() + 1));
}

// A REG_SZ value of a path of at most MAX_PATH characters.
std::optional<std::string> GetText(platform::IRegistry& registry, HKEY key, LPCSTR name) {
  std::vector<char> text(kPathBytes + 1, '\0');
  DWORD type = REG_NONE;
  DWORD size = kPathBytes;
  if (registry.RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(text.data()),
                                &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return std::nullopt;
  return std::string(text.data());
}

LPCSTR StepText(UpdateStep step) {
  return step == UpdateStep::MonitorRemoved ? kStepRemoved : kStepStopped;
}

}  // namespace

bool UpdateJournal::Failed(LONG code) {
  if (code == ERROR_SUCCESS) return false;
  m_error.SetLastError(static_cast<DWORD>(code));
  return true;
}

bool UpdateJournal::Record(const PendingUpdate& pending) {
  platform::RegistryKey key(m_registry);
  if (Failed(m_registry.RegCreateKeyExA(HKEY_LOCAL_MACHINE, QVR_JOURNAL_KEY, 0, nullptr,
                                        REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE | kView,
                                        nullptr, key.put(), nullptr)))
    return false;
  // The step comes last: a journal cut off before it names no step, and
  // the machine is not broken yet.
  return !Failed(SetText(m_registry, key.get(), "Monitor", pending.monitor)) &&
         !Failed(SetText(m_registry, key.get(), "Installed Monitor", pending.installedMonitor)) &&
         !Failed(SetText(m_registry, key.get(), "Backup", pending.backupFile)) &&
         !Failed(SetText(m_registry, key.get(), "Step", StepText(pending.step))) &&
         !Failed(m_registry.RegFlushKey(key.get()));
}

bool UpdateJournal::RecordMonitorRemoved(DWORD backupSize, const std::string& backupSha256) {
  platform::RegistryKey key(m_registry);
  return !Failed(m_registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, QVR_JOURNAL_KEY, 0,
                                          KEY_SET_VALUE | kView, key.put())) &&
         !Failed(m_registry.RegSetValueExA(key.get(), "Backup Size", 0, REG_DWORD,
                                           reinterpret_cast<const BYTE*>(&backupSize),
                                           sizeof backupSize)) &&
         !Failed(SetText(m_registry, key.get(), "Backup SHA-256", backupSha256)) &&
         !Failed(SetText(m_registry, key.get(), "Step", kStepRemoved)) &&
         !Failed(m_registry.RegFlushKey(key.get()));
}

std::optional<PendingUpdate> UpdateJournal::Read() {
  platform::RegistryKey key(m_registry);
  if (m_registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, QVR_JOURNAL_KEY, 0, KEY_READ | kView,
                               key.put()) != ERROR_SUCCESS)
    return std::nullopt;
  PendingUpdate pending;
  pending.monitor = GetText(m_registry, key.get(), "Monitor").value_or("");
  pending.installedMonitor = GetText(m_registry, key.get(), "Installed Monitor").value_or("");
  pending.backupFile = GetText(m_registry, key.get(), "Backup").value_or("");
  DWORD type = REG_NONE;
  DWORD size = sizeof pending.backupSize;
  if (m_registry.RegQueryValueExA(key.get(), "Backup Size", nullptr, &type,
                                  reinterpret_cast<LPBYTE>(&pending.backupSize),
                                  &size) != ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof pending.backupSize)
    pending.backupSize = 0;
  pending.backupSha256 = GetText(m_registry, key.get(), "Backup SHA-256").value_or("");
  // Anything but the later step leaves the monitor where it was.
  pending.step = GetText(m_registry, key.get(), "Step") == kStepRemoved
                     ? UpdateStep::MonitorRemoved
                     : UpdateStep::SpoolerStopped;
  return pending;
}

bool UpdateJournal::Remove() {
  // In the view it was written in: a 32-bit program on 64-bit Windows
  // would otherwise look for it in the 32-bit view. A journal that was just
  // read or written and can't be found now is not taken as removed.
  platform::RegistryKey parent(m_registry);
  return !Failed(m_registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, QVR_JOURNAL_PARENT, 0,
                                          KEY_READ | KEY_WRITE | kView, parent.put())) &&
         !Failed(m_registry.RegDeleteKeyExA(parent.get(), "Pending Update", kView, 0)) &&
         !Failed(m_registry.RegFlushKey(parent.get()));
}
