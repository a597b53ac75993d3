#include "platform/sim/sim_event_log.h"

#include "platform/sim/sim_machine.h"

namespace sim {

HANDLE SimEventLog::RegisterEventSourceA(LPCSTR server, LPCSTR source) {
  if (m_machine.Enter("RegisterEventSourceA")) return nullptr;
  if (server != nullptr || source == nullptr) {
    m_machine.SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::uintptr_t id = m_next;
  m_next += 4;
  m_open[id] = source;
  return reinterpret_cast<HANDLE>(id);
}

BOOL SimEventLog::ReportEventA(HANDLE handle, WORD type, WORD category, DWORD id, PSID user,
                               WORD count, DWORD dataSize, LPCSTR* strings, LPVOID data) {
  if (m_machine.Enter("ReportEventA")) return FALSE;
  auto open = m_open.find(reinterpret_cast<std::uintptr_t>(handle));
  if (open == m_open.end()) {
    ++m_machine.badHandleUses;
    m_machine.SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if ((count != 0 && strings == nullptr) || (dataSize != 0 && data == nullptr) || user != nullptr) {
    m_machine.SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  Event event{open->second, type, category, id, {}};
  for (WORD i = 0; i < count; ++i) event.strings.push_back(strings[i] != nullptr ? strings[i] : "");
  events.push_back(event);
  return TRUE;
}

BOOL SimEventLog::DeregisterEventSource(HANDLE handle) {
  m_machine.Enter("DeregisterEventSource");
  if (m_open.erase(reinterpret_cast<std::uintptr_t>(handle)) == 0) {
    ++m_machine.badHandleUses;
    m_machine.SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

}  // namespace sim
