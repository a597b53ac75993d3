// Stops and starts the print spooler around the language monitor's backup,
// logging every step and following each wait to the wanted state.
#include "platform/handles.h"
#include "platform/last_error.h"
#include "ui/setup_dlg.h"

namespace {

// The waits poll at most 20 times a second and give up after a minute.
constexpr DWORD kPollPauseMs = 50;
constexpr DWORD kWaitLimitMs = 60000;

}  // namespace

bool CSetupDlg::WaitForSpooler(platform::ServiceHandle& query, DWORD target, LPCSTR progress) {
  DWORD started = m_platform.clock->GetTickCount();
  for (bool first = true;; first = false) {
    if (!first) m_platform.clock->Sleep(kPollPauseMs);
    SERVICE_STATUS status = {};
    DWORD state = target;
    if (m_platform.services->QueryServiceStatus(query.get(), &status)) {
      state = status.dwCurrentState;
    } else {
      // The query handle is closed here and the wait ends as if the state
      // had been reached.
      {
        platform::KeepLastError keep(*m_platform.error);
        query.reset();
      }
      ShowLastError();
    }
    WriteLogStr(progress);
    m_platform.debug->OutputDebugStringA(progress);
    if (state == target) return true;
    if (m_platform.clock->GetTickCount() - started >= kWaitLimitMs) return false;
  }
}

int CSetupDlg::ControlSpooler(int start) {
  platform::IServices& services = *m_platform.services;
  // A failure's error outlives the closing of the handles still open.
  platform::LastErrorOnExit failure(*m_platform.error);
  platform::ServiceHandle manager(
      services, services.OpenSCManagerA(nullptr, "ServicesActive", SC_MANAGER_ALL_ACCESS));
  if (!manager.valid()) {
    WriteLogStr("ERROR: UNABLE TO OPEN SERVICE MANAGER\n");
    return 1;
  }

  if (!start) {
    platform::ServiceHandle stop(services,
                                 services.OpenServiceA(manager.get(), "Spooler", SERVICE_STOP));
    if (!stop.valid()) {
      WriteLogStr("ERROR: COULDN'T OPEN SERVICE\n");
    } else {
      WriteLogStr("SERVICE_OPEN for stop\n");
      SERVICE_STATUS status = {};
      if (!services.ControlService(stop.get(), SERVICE_CONTROL_STOP, &status)) {
        WriteLogStr("ERROR: COULDN'T STOP SERVICE\n");
        stop.reset();
      } else {
        WriteLogStr("SERVICE_STOP\n");
        stop.reset();
        WriteLogStr("SERVICE_CLOSE\n");
        platform::ServiceHandle query(
            services, services.OpenServiceA(manager.get(), "Spooler", SERVICE_QUERY_STATUS));
        if (!query.valid()) {
          WriteLogStr("ERROR: COULDN'T OPEN SERVICE\n");
          return failure.Keep(0);
        }
        WriteLogStr("SERVICE_OPEN for query\n");
        if (!WaitForSpooler(query, SERVICE_STOPPED, "SPOOLER SERVICE not yet STOPPED\n")) {
          WriteLogStr("ERROR: SPOOLER SERVICE DID NOT STOP IN TIME\n");
          m_platform.error->SetLastError(ERROR_SERVICE_REQUEST_TIMEOUT);
          return failure.Keep(0);
        }
        WriteLogStr("SPOOLER SERVICE STOPPED\n");
        m_platform.debug->OutputDebugStringA("SPOOLER SERVICE STOPPED\n");
        query.reset();
      }
    }
  } else {
    platform::ServiceHandle begin(services,
                                  services.OpenServiceA(manager.get(), "Spooler", SERVICE_START));
    if (!begin.valid()) {
      WriteLogStr("ERROR: COULDN'T ACCESS SERVICE\n");
      return failure.Keep(0);
    }
    WriteLogStr("SERVICE_OPEN for start\n");
    if (!services.StartServiceA(begin.get(), 0, nullptr)) {
      WriteLogStr("ERROR: COULDN'T START SERVICE\n");
      ShowLastError();
      return failure.Keep(0);
    }
    WriteLogStr("SERVICE_START\n");
    begin.reset();
    WriteLogStr("SERVICE_CLOSE\n");
    platform::ServiceHandle query(
        services, services.OpenServiceA(manager.get(), "Spooler", SERVICE_QUERY_STATUS));
    if (!query.valid()) {
      WriteLogStr("ERROR: COULDN'T OPEN SERVICE\n");
      return failure.Keep(0);
    }
    WriteLogStr("SERVICE_OPEN for query\n");
    if (!WaitForSpooler(query, SERVICE_RUNNING, "SERVICE not yet STARTED\n")) {
      WriteLogStr("ERROR: SPOOLER SERVICE DID NOT START IN TIME\n");
      m_platform.error->SetLastError(ERROR_SERVICE_REQUEST_TIMEOUT);
      ShowLastError();
      return failure.Keep(0);
    }
    WriteLogStr("SPOOLER SERVICE STARTED\n");
    m_platform.debug->OutputDebugStringA("SPOOLER SERVICE STARTED\n");
    query.reset();
    WriteLogStr("SERVICE_CLOSE\n");
  }

  manager.reset();
  WriteLogStr("SERVICE_CLOSE handle\n");
  return 1;
}

DWORD CSetupDlg::SettledSpoolerState() {
  platform::IServices& services = *m_platform.services;
  platform::ServiceHandle manager(
      services, services.OpenSCManagerA(nullptr, "ServicesActive", SC_MANAGER_ALL_ACCESS));
  if (!manager.valid()) return 0;
  platform::ServiceHandle query(
      services, services.OpenServiceA(manager.get(), "Spooler", SERVICE_QUERY_STATUS));
  if (!query.valid()) return 0;
  DWORD started = m_platform.clock->GetTickCount();
  for (;;) {
    SERVICE_STATUS status = {};
    if (!services.QueryServiceStatus(query.get(), &status)) return 0;
    if (status.dwCurrentState != SERVICE_STOP_PENDING ||
        m_platform.clock->GetTickCount() - started >= kWaitLimitMs)
      return status.dwCurrentState;
    m_platform.clock->Sleep(kPollPauseMs);
  }
}
