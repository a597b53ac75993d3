// The run's event in the Application log: whole runs from the command line,
// each row a machine and what its run leaves in the log.
#include "engine/run_event.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "engine/update_journal.h"
#include "engine_run.h"

namespace {

constexpr char kScripted[] = "setup.inf \"QVR 3417\" SILENT";
constexpr char kLog[] = "C:\\pkg\\QVR_Download.txt";

// A machine where the Update of the QVR 3417 goes through, and a printer of
// another make, which an Install names.
struct EventRun : EngineRun {
  EventRun() {
    machine.PutFile("C:\\pkg\\setup.inf",
                    "[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\n"
                    "DriverVer=03/11/2024,1.2.3.5\n[Manufacturer]\nQVR\n"
                    "[QVR]\nm = S, H, \"QVR 3417\"\n[S]\nDataSection=D\n"
                    "[D]\nLanguageMonitor=\"QVR Monitor,qvrmon.dll\"\n");
    machine.printers.AddPrinter("QVR 3417 Front");
    machine.printers.AddPrinter("Halvern LX 520");
  }

  // An earlier Update, killed after it removed the monitor from system32.
  void LeaveInterruptedUpdate(bool backup) {
    machine.registry.SetString(QVR_JOURNAL_KEY, "Monitor", "qvrmon.dll");
    machine.registry.SetString(QVR_JOURNAL_KEY, "Installed Monitor",
                               "C:\\windows\\system32\\qvrmon.dll");
    LeaveTrustedCopy(machine, backup ? "monitor v1" : nullptr);
    machine.registry.SetString(QVR_JOURNAL_KEY, "Step", "Monitor removed");
    std::filesystem::remove(machine.HostPath("C:\\windows\\system32\\qvrmon.dll"));
  }

  // The run; "" for an operator who selects the model and presses Update.
  void Go(const char* arguments) {
    if (*arguments == '\0') {
      session.user = [](CDialog& dialog) {
        headless::Select(dialog, IDC_MODELS, 0);
        headless::Click(dialog, IDC_UPDATE);
        headless::Click(dialog, IDOK);
      };
      Start("setup.inf");
    } else {
      Start(arguments);
    }
  }
};

struct ExpectedEvent {
  WORD type;
  DWORD id;
  // Version, procedure, run, printer, INF, model, DriverVer, exit status,
  // outcome, monitor restored, log.
  std::vector<std::string> fields;
};

struct EventRow {
  const char* name;
  const char* arguments;
  std::function<void(EventRun&)> machine;  // what differs from a machine the Update goes through
  std::vector<ExpectedEvent> events;
  // A call on the event's way that fails with ERROR_ACCESS_DENIED: the run
  // is the same as without it, but for the log's last line.
  const char* failing = nullptr;
  friend void PrintTo(const EventRow& row, std::ostream* os) { *os << row.name; }
};

class RunEventTable : public ::testing::TestWithParam<EventRow> {};

TEST_P(RunEventTable, OutcomeGivesTypeIdAndFields) {
  const EventRow& row = GetParam();
  EventRun baseline;
  if (row.machine) row.machine(baseline);
  baseline.Go(row.arguments);

  EventRun run;
  if (row.machine) row.machine(run);
  if (row.failing != nullptr) run.machine.FailNext(row.failing, ERROR_ACCESS_DENIED);
  run.Go(row.arguments);

  const auto& events = run.machine.eventLog.events;
  ASSERT_EQ(events.size(), row.events.size());
  for (size_t i = 0; i < events.size(); ++i) {
    SCOPED_TRACE("event " + std::to_string(i));
    const ExpectedEvent& expected = row.events[i];
    EXPECT_EQ(events[i].source, "QVR Driver Setup");
    EXPECT_EQ(events[i].type, expected.type);
    EXPECT_EQ(events[i].id, expected.id);
    ASSERT_EQ(events[i].strings.size(), expected.fields.size() + 1);
    EXPECT_EQ(std::vector<std::string>(events[i].strings.begin() + 1, events[i].strings.end()),
              expected.fields);
    // The text names each field in the same order, one line each.
    const std::string& text = events[i].strings[0];
    size_t at = text.find("\r\n");
    for (const std::string& field : expected.fields) {
      at = text.find(": " + field + "\r\n", at);
      EXPECT_NE(at, std::string::npos) << field << " in\n" << text;
    }
  }
  EXPECT_EQ(run.machine.eventLog.OpenSources(), 0);
  EXPECT_EQ(run.machine.registry.OpenKeys(), 0);

  // Nothing else depends on the event.
  EXPECT_EQ(run.app.m_nExitCode, baseline.app.m_nExitCode);
  EXPECT_EQ(run.session.messageBoxes.size(), baseline.session.messageBoxes.size());
  std::string log = baseline.Log();
  if (row.failing != nullptr && log != "<none>") {
    // The line begins a line of its own.
    if (!log.empty() && log.back() != '\n') log += "\n";
    log += "Can't write the event to the Application log!\n";
  }
  EXPECT_EQ(run.Log(), log);
}

const std::string kVersion = QVR_VERSION;
const std::vector<std::string> kUpdateDone = {kVersion,
                                              "Update",
                                              "unattended",
                                              "QVR 3417",
                                              "setup.inf",
                                              "QVR 3417",
                                              "03/11/2024,1.2.3.5",
                                              "0",
                                              "Driver update completed.",
                                              "not needed",
                                              kLog};
const std::string kNotPluggedIn =
    "The value specified for HardwareId does not match any device on the system. That is, the "
    "device is not plugged in.";

std::vector<std::string> With(std::vector<std::string> fields, size_t at, std::string value) {
  fields[at] = std::move(value);
  return fields;
}

std::vector<std::string> Recovery(const char* printer, const char* status, const char* outcome,
                                  const char* restored, const std::string& log) {
  return {kVersion,     "Finish Interrupted Update",
          "unattended", printer,
          "setup.inf",  "",
          "",           status,
          outcome,      restored,
          log};
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, RunEventTable,
    ::testing::Values(
        EventRow{"UpdateDone", kScripted, nullptr, {{EVENTLOG_INFORMATION_TYPE, 100, kUpdateDone}}},
        EventRow{"UpdateNeedsRestart",
                 kScripted,
                 [](EventRun& r) {
                   r.machine.devices.AddDevice("Kalbrix_ABQVR34170B7C").needsRestart = true;
                 },
                 {{EVENTLOG_INFORMATION_TYPE, 101,
                   With(With(kUpdateDone, 7, "3010"), 8,
                        "Driver update completed. A restart is required to complete the driver "
                        "update.")}}},
        EventRow{"UpdateFailsAndTheMonitorIsRestored",
                 kScripted,
                 [](EventRun& r) { r.machine.devices.Unplug("Kalbrix_ABQVR34170B7C"); },
                 {{EVENTLOG_ERROR_TYPE, 102,
                   With(With(With(kUpdateDone, 7, "1"), 8, kNotPluggedIn), 9, "yes")}}},
        // No log, no backup: the monitor stays, and the event tells why.
        EventRow{"UpdateFromAReadOnlyFolder",
                 kScripted,
                 [](EventRun& r) { r.machine.SetReadOnlyDirectory("C:\\pkg"); },
                 {{EVENTLOG_INFORMATION_TYPE, 100,
                   With(kUpdateDone, 10, "not written: Access is denied.")}}},
        EventRow{"UpdateRefusedBeforeItStarts",
                 kScripted,
                 [](EventRun& r) { r.machine.wow64 = TRUE; },
                 {{EVENTLOG_ERROR_TYPE, 102,
                   With(With(kUpdateDone, 7, "1"), 8,
                        "The 32-bit setup can't update drivers on 64-bit Windows!")}}},
        EventRow{"InstallFails",
                 "setup.inf Halvern",
                 [](EventRun& r) { r.machine.FailNext("SetupCopyOEMInfA", ERROR_ACCESS_DENIED); },
                 {{EVENTLOG_ERROR_TYPE,
                   102,
                   {kVersion, "Install", "unattended", "Halvern", "setup.inf", "",
                    "03/11/2024,1.2.3.5", "1", "Access is denied.", "not needed", kLog}}}},
        // The recovery comes first, whatever the run was started for; a run
        // that matches no printer leaves the recovery's event alone.
        EventRow{"RecoveredThenUpdated",
                 kScripted,
                 [](EventRun& r) { r.LeaveInterruptedUpdate(true); },
                 {{EVENTLOG_WARNING_TYPE, 103,
                   Recovery("QVR 3417", "0", "Interrupted Update finished", "yes", kLog)},
                  {EVENTLOG_INFORMATION_TYPE, 100, kUpdateDone}}},
        EventRow{"RecoveredInARunThatMatchesNothing",
                 "setup.inf Nobody",
                 [](EventRun& r) { r.LeaveInterruptedUpdate(true); },
                 {{EVENTLOG_WARNING_TYPE, 103,
                   Recovery("Nobody", "0", "Interrupted Update finished", "yes", "none")}}},
        EventRow{"RecoveryFails",
                 kScripted,
                 [](EventRun& r) { r.LeaveInterruptedUpdate(false); },
                 {{EVENTLOG_ERROR_TYPE, 102,
                   Recovery("QVR 3417", "1", "Interrupted Update not finished", "no", kLog)}}},
        // Failures on the event's way.
        EventRow{"SourceNotRegistered", "setup.inf Halvern", nullptr, {}, "RegCreateKeyExA"},
        EventRow{"EventNotWritten", kScripted, nullptr, {}, "ReportEventA"},
        EventRow{"InteractiveSourceNotOpened", "", nullptr, {}, "RegisterEventSourceA"}),
    RowName);

}  // namespace
