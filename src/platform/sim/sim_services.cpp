#include "platform/sim/sim_services.h"

#include <cctype>

#include "platform/sim/sim_machine.h"

namespace sim {
namespace {

std::string Upper(const char* s) {
  std::string out = s != nullptr ? s : "";
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

SimServices::Handle* SimServices::Lookup(SC_HANDLE h, bool manager) {
  auto it = m_handles.find(reinterpret_cast<std::uintptr_t>(h));
  if (it == m_handles.end() || it->second.service.empty() != manager) {
    ++badHandleUses;
    m_machine.SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return &it->second;
}

SC_HANDLE SimServices::OpenSCManagerA(LPCSTR /*machine*/, LPCSTR /*database*/, DWORD access) {
  if (m_machine.Enter("OpenSCManagerA")) return nullptr;
  std::uintptr_t id = m_next += 4;
  m_handles[id] = {"", access};
  return reinterpret_cast<SC_HANDLE>(id);
}

SC_HANDLE SimServices::OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access) {
  if (m_machine.Enter("OpenServiceA")) return nullptr;
  if (Lookup(manager, true) == nullptr) return nullptr;
  auto it = m_services.find(Upper(name));
  if (it == m_services.end()) {
    m_machine.SetLastError(ERROR_SERVICE_DOES_NOT_EXIST);
    return nullptr;
  }
  if (access & it->second.deniedAccess) {
    m_machine.SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  std::uintptr_t id = m_next += 4;
  m_handles[id] = {it->first, access};
  return reinterpret_cast<SC_HANDLE>(id);
}

void SimServices::Begin(const std::string& name, DWORD pendingState, DWORD target) {
  Service& s = m_services[name];
  Pending& p = m_pending[name];
  p = {target, s.pendingQueries, m_machine.GetTickCount() + s.pendingMillis};
  s.state = (s.pendingQueries == 0 && s.pendingMillis == 0) ? target : pendingState;
}

void SimServices::Fill(const Service& s, LPSERVICE_STATUS status) const {
  *status = SERVICE_STATUS{};
  status->dwServiceType = 0x110;
  status->dwCurrentState = s.state;
}

BOOL SimServices::ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
  if (m_machine.Enter("ControlService")) return FALSE;
  Handle* h = Lookup(service, false);
  if (h == nullptr) return FALSE;
  if (control != SERVICE_CONTROL_STOP || !(h->access & SERVICE_STOP)) {
    m_machine.SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  Service& s = m_services[h->service];
  if (s.state != SERVICE_RUNNING) {
    m_machine.SetLastError(ERROR_SERVICE_NOT_ACTIVE);
    return FALSE;
  }
  ++s.stops;
  Begin(h->service, SERVICE_STOP_PENDING, SERVICE_STOPPED);
  Fill(s, status);
  return TRUE;
}

BOOL SimServices::StartServiceA(SC_HANDLE service, DWORD /*count*/, LPCSTR* /*args*/) {
  if (m_machine.Enter("StartServiceA")) return FALSE;
  Handle* h = Lookup(service, false);
  if (h == nullptr) return FALSE;
  if (!(h->access & SERVICE_START)) {
    m_machine.SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  Service& s = m_services[h->service];
  if (s.state != SERVICE_STOPPED) {
    m_machine.SetLastError(ERROR_SERVICE_ALREADY_RUNNING);
    return FALSE;
  }
  ++s.starts;
  Begin(h->service, SERVICE_START_PENDING, SERVICE_RUNNING);
  return TRUE;
}

BOOL SimServices::QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) {
  if (m_machine.Enter("QueryServiceStatus")) return FALSE;
  Handle* h = Lookup(service, false);
  if (h == nullptr) return FALSE;
  if (!(h->access & SERVICE_QUERY_STATUS)) {
    m_machine.SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  Service& s = m_services[h->service];
  ++s.queries;
  if (s.state == SERVICE_STOP_PENDING || s.state == SERVICE_START_PENDING) {
    Pending& p = m_pending[h->service];
    if (p.queriesLeft > 0) --p.queriesLeft;
    bool queriesDone = p.queriesLeft == 0;
    bool timeDone = static_cast<std::int32_t>(m_machine.GetTickCount() - p.until) >= 0;
    if (queriesDone && timeDone) s.state = p.target;
  }
  Fill(s, status);
  return TRUE;
}

BOOL SimServices::CloseServiceHandle(SC_HANDLE handle) {
  m_machine.Enter("CloseServiceHandle");
  if (m_handles.erase(reinterpret_cast<std::uintptr_t>(handle)) == 0) {
    ++badHandleUses;
    m_machine.SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

}  // namespace sim
