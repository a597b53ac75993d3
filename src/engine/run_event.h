// The one event that a run which changed the machine, or tried to, leaves in
// the Application event log, where the fleet's collectors read it.
#pragma once
#include <string>
#include <vector>

#include "platform/platform.h"

#define QVR_EVENT_SOURCE "QVR Driver Setup"
// Below HKEY_LOCAL_MACHINE.
#define QVR_EVENT_SOURCE_KEY \
  "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" QVR_EVENT_SOURCE
// A message file that Windows ships in system32, outside the package
// folder: each of its IDs 1 to 1000 has the text "%1".
#define QVR_EVENT_MESSAGE_FILE "%SystemRoot%\\System32\\EventCreate.exe"

// One stable ID per outcome.
enum RunEventId : DWORD {
  kEventDone = 100,
  kEventRestartNeeded = 101,
  kEventFailed = 102,
  kEventRecovered = 103,
};

// What a run did, as its event tells it.
struct RunFacts {
  std::string procedure;     // "Update", "Install" or "Finish Interrupted Update"
  bool unattended = false;   // started with a printer name
  std::string printer, inf;  // as the command line gave them
  std::string model, driverVer;
  DWORD exitStatus = 1;  // what the run ends with, or would when scripted
  std::string outcome;   // the driver update's or the copy's outcome, as logged
  std::string restored;  // whether a monitor was restored
  std::string log;       // the log's full path; empty without one
};

struct RunEvent {
  WORD type = EVENTLOG_ERROR_TYPE;
  DWORD id = kEventFailed;
  // The text, then each field on its own, in the text's order.
  std::vector<std::string> strings;
};

RunEvent DescribeRun(const RunFacts& facts);

// Registers the source the first time and writes the event; false, with
// the failure's code as the thread's last error, when it was not written.
bool WriteRunEvent(const platform::Platform& platform, const RunEvent& event);
