// The simulated event log: the events that the program wrote, by source.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace sim {

class SimMachine;

class SimEventLog : public platform::IEventLog {
 public:
  explicit SimEventLog(SimMachine& machine) : m_machine(machine) {}

  struct Event {
    std::string source;
    WORD type, category;
    DWORD id;
    std::vector<std::string> strings;
  };
  std::vector<Event> events;  // in the order written
  // Sources registered and not yet deregistered.
  int OpenSources() const { return static_cast<int>(m_open.size()); }

  HANDLE RegisterEventSourceA(LPCSTR lpUNCServerName, LPCSTR lpSourceName) override;
  BOOL ReportEventA(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID, PSID lpUserSid,
                    WORD wNumStrings, DWORD dwDataSize, LPCSTR* lpStrings,
                    LPVOID lpRawData) override;
  BOOL DeregisterEventSource(HANDLE hEventLog) override;

  // The program's process ended: its sources are closed.
  void CloseAll() { m_open.clear(); }

 private:
  SimMachine& m_machine;
  std::map<std::uintptr_t, std::string> m_open;  // handle -> source
  std::uintptr_t m_next = 0x3000;
};

}  // namespace sim
