// The simulated service control manager, with its one service that matters:
// the print spooler, whose stop and start take a chosen number of status
// queries or a chosen stretch of simulated time, or never finish.
#pragma once
#include <map>
#include <string>

#include "platform/platform.h"

namespace sim {

class SimMachine;

class SimServices : public platform::IServices {
 public:
  explicit SimServices(SimMachine& machine) : m_machine(machine) {}

  struct Service {
    DWORD state = SERVICE_RUNNING;
    // How long a stop or start stays pending: a number of status queries
    // (-1: for ever) and, besides, a stretch of simulated time in ms.
    int pendingQueries = 1;
    DWORD pendingMillis = 0;
    // Access rights that OpenServiceA refuses with ERROR_ACCESS_DENIED.
    DWORD deniedAccess = 0;
    int stops = 0, starts = 0, queries = 0;
  };
  Service& spooler() { return m_services["SPOOLER"]; }
  int OpenHandles() const { return static_cast<int>(m_handles.size()); }
  int badHandleUses = 0;
  // The program's process ended: its handles are closed.
  void CloseAll() { m_handles.clear(); }

  SC_HANDLE OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName,
                           DWORD dwDesiredAccess) override;
  SC_HANDLE OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName,
                         DWORD dwDesiredAccess) override;
  BOOL ControlService(SC_HANDLE hService, DWORD dwControl,
                      LPSERVICE_STATUS lpServiceStatus) override;
  BOOL StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs,
                     LPCSTR* lpServiceArgVectors) override;
  BOOL QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) override;
  BOOL CloseServiceHandle(SC_HANDLE hSCObject) override;

 private:
  struct Handle {
    std::string service;  // empty for the manager
    DWORD access = 0;
  };
  struct Pending {
    DWORD target = 0;
    int queriesLeft = 0;
    DWORD until = 0;
  };
  Handle* Lookup(SC_HANDLE h, bool manager);
  void Begin(const std::string& name, DWORD pendingState, DWORD target);
  void Fill(const Service& s, LPSERVICE_STATUS status) const;

  SimMachine& m_machine;
  std::map<std::string, Service> m_services{{"SPOOLER", Service{}}};
  std::map<std::string, Pending> m_pending;
  std::map<std::uintptr_t, Handle> m_handles;
  std::uintptr_t m_next = 0x5000;
};

}  // namespace sim
