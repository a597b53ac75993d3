#include "engine/run_event.h"

#include "engine/exit_status.h"
#include "log/progress_log.h"
#include "platform/handles.h"
#include "platform/last_error.h"
#include "ui/setup_dlg.h"

#ifndef QVR_VERSION
#define QVR_VERSION "unknown"
#endif

namespace {

// A text as one line: its line ends dropped, those inside it made blanks.
std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) {
    if (c == '\r') continue;
    line += c == '\n' ? ' ' : c;
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

bool Failed(platform::IThreadError& error, LONG code) {
  if (code == ERROR_SUCCESS) return false;
  error.SetLastError(static_cast<DWORD>(code));
  return true;
}

// The source's key with its message file, unless an earlier run made it.
bool RegisterSource(platform::IRegistry& registry, platform::IThreadError& error) {
  platform::RegistryKey key(registry);
  if (Failed(error, registry.RegCreateKeyExA(HKEY_LOCAL_MACHINE, QVR_EVENT_SOURCE_KEY, 0, nullptr,
                                             REG_OPTION_NON_VOLATILE, KEY_READ | KEY_SET_VALUE,
                                             nullptr, key.put(), nullptr)))
    return false;
  if (registry.RegQueryValueExA(key.get(), "EventMessageFile", nullptr, nullptr, nullptr,
                                nullptr) == ERROR_SUCCESS)
    return true;
  static const char file[] = QVR_EVENT_MESSAGE_FILE;
  const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  return !Failed(error,
                 registry.RegSetValueExA(key.get(), "TypesSupported", 0, REG_DWORD,
                                         reinterpret_cast<const BYTE*>(&types), sizeof types)) &&
         !Failed(error, registry.RegSetValueExA(key.get(), "EventMessageFile", 0, REG_EXPAND_SZ,
                                                reinterpret_cast<const BYTE*>(file), sizeof file));
}

}  // namespace

RunEvent DescribeRun(const RunFacts& facts) {
  RunEvent event;
  const bool recovery = facts.procedure != "Update" && facts.procedure != "Install";
  LPCSTR result = "failed";
  if (facts.exitStatus == 0 && recovery) {
    event = {EVENTLOG_WARNING_TYPE, kEventRecovered, {}};
  } else if (facts.exitStatus == 0) {
    event = {EVENTLOG_INFORMATION_TYPE, kEventDone, {}};
    result = "completed";
  } else if (facts.exitStatus == 3010) {
    event = {EVENTLOG_INFORMATION_TYPE, kEventRestartNeeded, {}};
    result = "completed; Windows needs a restart";
  }
  const std::pair<LPCSTR, std::string> fields[] = {
      {"Version", QVR_VERSION},
      {"Procedure", facts.procedure},
      {"Run", facts.unattended ? "unattended" : "interactive"},
      {"Printer", facts.printer},
      {"INF", facts.inf},
      {"Model", facts.model},
      {"DriverVer", facts.driverVer},
      {"Exit status", std::to_string(facts.exitStatus)},
      {"Outcome", OneLine(facts.outcome)},
      {"Monitor restored", facts.restored},
      {"Log", facts.log.empty() ? "none" : facts.log},
  };
  // A recovery's outcome says what it did, and so does that of a run that
  // chose no procedure; a recovery's procedure is the log's name for it.
  std::string headline = recovery ? OneLine(facts.outcome) : facts.procedure + " " + result;
  if (headline.empty() || (headline.back() != '.' && headline.back() != '!')) headline += ".";
  std::string text = "QVR Driver Setup: " + headline + "\r\n";
  event.strings.push_back("");
  for (const auto& [label, value] : fields) {
    text += std::string(label) + ": " + value + "\r\n";
    event.strings.push_back(value);
  }
  event.strings[0] = text;
  return event;
}

bool WriteRunEvent(const platform::Platform& platform, const RunEvent& event) {
  if (!RegisterSource(*platform.registry, *platform.error)) return false;
  platform::EventSourceHandle source(
      *platform.eventLog, platform.eventLog->RegisterEventSourceA(nullptr, QVR_EVENT_SOURCE));
  if (!source.valid()) return false;
  std::vector<LPCSTR> strings;
  for (const std::string& s : event.strings) strings.push_back(s.c_str());
  return platform.eventLog->ReportEventA(source.get(), event.type, 0, event.id, nullptr,
                                         static_cast<WORD>(strings.size()), 0, strings.data(),
                                         nullptr) != FALSE;
}

RunFacts CSetupDlg::FactsOfRun(LPCSTR procedure, DWORD exitStatus, const std::string& outcome,
                               const std::string& restored) {
  RunFacts facts;
  facts.procedure = procedure;
  facts.unattended = !m_strNamedPrinter.IsEmpty() || m_bUnattended;
  facts.printer = m_strNamedPrinter.str();
  facts.inf = m_strInfFile.str();
  int model = m_lbModels.GetCurSel();
  if (model != LB_ERR) {
    CString name;
    m_lbModels.GetText(model, name);
    facts.model = name.str();
  }
  facts.driverVer = m_strDriverVer.str();
  facts.exitStatus = exitStatus;
  facts.outcome = outcome;
  facts.restored = restored;
  if (m_bUnattended && platform::FileHandle::IsValid(g_hLogFile) && m_paths.HasFolder())
    facts.log = m_paths.Log();
  else if (m_bUnattended)
    facts.log = m_strLogNotWritten;
  return facts;
}

void CSetupDlg::LeaveRunEvent(const RunFacts& facts) {
  platform::KeepLastError keep(*m_platform.error);
  if (WriteRunEvent(m_platform, DescribeRun(facts))) return;
  if (m_bLogLineOpen) LogText("\n");
  LogText("Can't write the event to the Application log!\n");
}

void CSetupDlg::LeaveRecoveryEvent() {
  if (m_recovery == Recovery::NothingPending || m_bRecoveryEventLeft) return;
  m_bRecoveryEventLeft = true;
  const bool failed = m_recovery == Recovery::Failed;
  LeaveRunEvent(
      FactsOfRun("Finish Interrupted Update", failed ? kExitFailed : kExitDone,
                 failed ? "Interrupted Update not finished" : "Interrupted Update finished",
                 m_strRecoveryRestored));
}
