// End-to-end cases of a deployment to many machines: command lines that
// must never wait on a window, one run at a time, and a failed driver
// update that leaves the printer as it was. The driver update's answer
// comes from the newdev.dll stand-in (newdev_double.cpp), which the case's
// prefix loads instead of Wine's own (wine_prefix.sh run ... --newdev).
#include <cctype>
#include <cstdio>
#include <functional>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "setup_program.h"

namespace {

using namespace setup_e2e;

constexpr char kScripted[] = "setup.inf \"QVR 3417\" SILENT";
// An unattended run that another run holds off ends at once; this leaves
// room for a slow machine.
constexpr DWORD kHeldOffMs = 5000;

// The end of `log` for the case's output: from the driver update on, or
// the last lines.
std::string Tail(const std::string& log) {
  size_t start = log.rfind("Update Driver\n");
  if (start == std::string::npos)
    start = log.size() > 200 ? log.find('\n', log.size() - 200) + 1 : 0;
  return LogPattern::Visible(log.substr(start));
}

void Show(const char* what, DWORD exitCode, const std::optional<std::string>& log) {
  std::printf("%s: exit status %lu; log tail:\n%s\n", what, static_cast<unsigned long>(exitCode),
              log ? Tail(*log).c_str() : "(no log)");
}

// The answer that the newdev.dll stand-in gives every caller started from
// here on; removed when the case ends.
class NewdevAnswer {
 public:
  explicit NewdevAnswer(const std::string& answer) {
    ::SetEnvironmentVariableA("QVR_NEWDEV_RESULT", answer.c_str());
  }
  NewdevAnswer(const NewdevAnswer&) = delete;
  NewdevAnswer& operator=(const NewdevAnswer&) = delete;
  ~NewdevAnswer() { ::SetEnvironmentVariableA("QVR_NEWDEV_RESULT", nullptr); }
};

// An event as Wine's ReportEventW traces it: its fixme line gives the type
// and the ID, and an eventlog line each string.
struct TracedEvent {
  WORD type = 0;
  DWORD id = 0;
  std::vector<std::string> strings;
};

// The events that the programs started while it lives write, read from the
// case's Wine debug output (wine_prefix.sh run ... --wine-trace). Windows
// writes them to its Application log instead, which these cases don't read.
class EventTrace {
 public:
  EventTrace() : m_file(Environment("QVR_WINE_TRACE")) {
    char previous[256] = {};
    m_hadDebug = ::GetEnvironmentVariableA("WINEDEBUG", previous, sizeof previous) != 0;
    m_previous = previous;
    ::SetEnvironmentVariableA("WINEDEBUG", "+eventlog,fixme+advapi");
    m_start = Read().size();
  }
  EventTrace(const EventTrace&) = delete;
  EventTrace& operator=(const EventTrace&) = delete;
  ~EventTrace() {
    ::SetEnvironmentVariableA("WINEDEBUG", m_hadDebug ? m_previous.c_str() : nullptr);
  }

  // False, with the reason, where the events can't be read.
  bool Readable() const {
    if (!m_file.empty()) return true;
    if (e2e::RunningUnderWine())
      ADD_FAILURE() << "no QVR_WINE_TRACE (wine_prefix.sh run ... --wine-trace)";
    else
      std::printf("the events went to the Application log, which this case doesn't read\n");
    return false;
  }

  // The events written since the trace began, in order.
  std::vector<TracedEvent> Events() const {
    static const std::regex call(
        "fixme:advapi:ReportEventW \\(([0-9A-Fa-f]+),0x([0-9A-Fa-f]+),"
        "0x([0-9A-Fa-f]+),0x([0-9A-Fa-f]+),");
    static const std::regex text(
        "(?:trace|warn|err):eventlog:ReportEventW L\"(.*)\"(\\.\\.\\.)?\r?$");
    std::vector<TracedEvent> events;
    const std::string trace = Read().substr(m_start);
    size_t at = 0;
    while (at < trace.size()) {
      size_t end = trace.find('\n', at);
      if (end == std::string::npos) end = trace.size();
      const std::string line = trace.substr(at, end - at);
      at = end + 1;
      std::smatch m;
      if (std::regex_search(line, m, call)) {
        TracedEvent event;
        event.type = static_cast<WORD>(std::stoul(m[2], nullptr, 16));
        event.id = static_cast<DWORD>(std::stoul(m[4], nullptr, 16));
        events.push_back(event);
      } else if (std::regex_search(line, m, text) && !events.empty()) {
        events.back().strings.push_back(Unescaped(m[1]) + (m[2].matched ? "..." : ""));
      }
    }
    return events;
  }

 private:
  std::string Read() const { return m_file.empty() ? "" : ReadWholeFile(m_file).value_or(""); }

  // A string as Wine's debugstr_w wrote it, back as it was, in UTF-8: a
  // character beyond ASCII stands as a backslash and four hex digits.
  static std::string Unescaped(const std::string& traced) {
    std::string text;
    for (size_t i = 0; i < traced.size(); ++i) {
      char c = traced[i];
      if (c == '\\' && i + 4 < traced.size() &&
          std::isxdigit(static_cast<unsigned char>(traced[i + 1]))) {
        wchar_t unit = static_cast<wchar_t>(std::stoul(traced.substr(i + 1, 4), nullptr, 16));
        char bytes[8] = {};
        text.append(bytes, ::WideCharToMultiByte(CP_UTF8, 0, &unit, 1, bytes, sizeof bytes, nullptr,
                                                 nullptr));
        i += 4;
        continue;
      }
      if (c == '\\' && i + 1 < traced.size()) {
        c = traced[++i];
        c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
      }
      text += c;
    }
    return text;
  }

  std::string m_file;
  std::string m_previous;
  bool m_hadDebug = false;
  size_t m_start = 0;
};

// The fields of an Update of the QVR 3417 from the package folder, after
// the text: version, procedure, run, printer, INF, model, DriverVer, exit
// status, outcome, monitor restored, log.
std::vector<std::string> UpdateFields(const std::string& run, const std::string& printer,
                                      DWORD status, const std::string& outcome,
                                      const std::string& restored, const std::string& log) {
  return {QVR_VERSION,
          "Update",
          run,
          printer,
          "setup.inf",
          "QVR 3417",
          "03/11/2024,1.2.3.5",
          std::to_string(status),
          outcome,
          restored,
          log};
}

// One event of this type and ID with these fields (an empty expected
// outcome: any text); shown for the case's output.
void ExpectOneEvent(const std::vector<TracedEvent>& events, WORD type, DWORD id,
                    const std::vector<std::string>& fields) {
  ASSERT_EQ(events.size(), 1u);
  const TracedEvent& event = events[0];
  std::printf("event %lu, type %u, as Wine traced its text:\n%s\n",
              static_cast<unsigned long>(event.id), event.type,
              LogPattern::Visible(event.strings.empty() ? "" : event.strings[0]).c_str());
  EXPECT_EQ(event.type, type);
  EXPECT_EQ(event.id, id);
  ASSERT_EQ(event.strings.size(), fields.size() + 1);
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].empty() && i == 8)
      EXPECT_NE(event.strings[i + 1], "") << "field " << i;
    else
      EXPECT_EQ(event.strings[i + 1], fields[i]) << "field " << i;
  }
}

// On a machine without printers: the survey lists none.
TEST_F(SetupProgram, NamedPrinterWithoutPrintersNeverBlocks) {
  ASSERT_NO_FATAL_FAILURE(WriteFile("setup.inf", kPrinterInf));
  ASSERT_NO_FATAL_FAILURE(ExpectNamedPrinterRunsEndAlone());
}

class Deployment : public InstalledPrinters {
 protected:
  // The spooler, the installed monitor, the side tool and the device.
  void PrepareMachine() {
    ASSERT_NO_FATAL_FAILURE(PrepareUpdate(true));
    ASSERT_NO_FATAL_FAILURE(PlugInPrinter());
  }

  // Nothing of the machine changed: the monitor still in system32, no
  // backup, the spooler running.
  void ExpectMachineUntouched() {
    EXPECT_EQ(ReadWholeFile(InstalledMonitorPath()), std::string(kInstalledMonitorContent));
    EXPECT_FALSE(PathExists(Path("bak")));
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
  }

  // The journal of an Update killed after it took the monitor from system32,
  // in the 64-bit view, where the program keeps it; the trusted copy below
  // ProgramData, and the copy in "bak" for people to see.
  void PlantRemovedMonitorJournal() {
    ::CreateDirectoryA(Path("bak").c_str(), nullptr);
    ASSERT_NO_FATAL_FAILURE(WriteFile("bak\\qvrmon.dll", kInstalledMonitorContent));
    for (const std::string& folder :
         {ProgramData() + "\\QVR", ProgramData() + "\\QVR\\Driver Setup", TrustedFolder()})
      ::CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(WriteWholeFile(TrustedFolder() + "\\" + kMonitor, kInstalledMonitorContent));
    ASSERT_TRUE(::DeleteFileA(InstalledMonitorPath().c_str()));
    // In the 64-bit view, where the program keeps it.
    HKEY journal = nullptr;
    ASSERT_EQ(
        ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\QVR\\Driver Setup\\Pending Update", 0,
                          nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY, nullptr, &journal, nullptr),
        ERROR_SUCCESS);
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"Monitor", kMonitor},
             {"Installed Monitor", InstalledMonitorPath()},
             {"Backup", TrustedFolder() + "\\" + kMonitor},
             {"Backup SHA-256", kInstalledMonitorSha256},
             {"Step", "Monitor removed"}})
      EXPECT_EQ(::RegSetValueExA(journal, name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>(value.size() + 1)),
                ERROR_SUCCESS);
    const DWORD monitorSize = sizeof kInstalledMonitorContent - 1;
    EXPECT_EQ(::RegSetValueExA(journal, "Backup Size", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&monitorSize), sizeof monitorSize),
              ERROR_SUCCESS);
    ::RegCloseKey(journal);
  }

  // Starts `arguments` as a second process beside m_child and waits for it.
  DWORD RunBeside(const std::string& arguments, DWORD timeoutMs, DWORD* elapsedMs,
                  std::vector<std::string>* shown) {
    ChildProcess second;
    std::string error;
    const DWORD start = ::GetTickCount();
    EXPECT_TRUE(second.Start(m_exe, arguments, m_folder, &error)) << error;
    DWORD exitCode = 0xFFFFFFFFu;
    EXPECT_TRUE(second.WaitForExitWatchingWindows(timeoutMs, &exitCode, shown))
        << "the second run is still running after " << timeoutMs << " ms";
    *elapsedMs = ::GetTickCount() - start;
    return exitCode;
  }
};

// Nothing to do, and nothing written to the Application log either.
TEST_F(Deployment, NamedPrinterNotInstalledNeverBlocks) {
  EventTrace trace;
  ASSERT_NO_FATAL_FAILURE(ExpectNamedPrinterRunsEndAlone());
  if (trace.Readable()) {
    EXPECT_EQ(trace.Events().size(), 0u);
  }
}

// An operator has the dialog open when the agent starts the unattended
// update: the agent's run ends at once with 1618 and touches nothing. Once
// the operator has closed the dialog, the same run goes ahead.
TEST_F(Deployment, ScriptedRunBesideAnOpenDialogEndsWith1618AndLaterGoesAhead) {
  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  ASSERT_NO_FATAL_FAILURE(PrepareMachine());
  EventTrace trace;
  const std::string earlierLog = "the log of an earlier run\n";
  ASSERT_NO_FATAL_FAILURE(WriteFile(kLogFile, earlierLog));
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));
  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);

  DWORD elapsed = 0;
  std::vector<std::string> shown;
  DWORD exitCode = RunBeside(kScripted, kHeldOffMs, &elapsed, &shown);
  std::printf("the second run ended with %lu after %lu ms\n", static_cast<unsigned long>(exitCode),
              static_cast<unsigned long>(elapsed));
  EXPECT_EQ(exitCode, 1618u);
  EXPECT_EQ(shown, std::vector<std::string>{});
  EXPECT_EQ(ReadWholeFile(Path(kLogFile)), earlierLog);
  ExpectMachineUntouched();
  Show("second run beside the dialog", exitCode, ReadWholeFile(Path(kLogFile)));
  EXPECT_EQ(e2e::VisibleWindows(m_child.Id(), kMainCaption).size(), 1u);
  const bool events = trace.Readable();
  if (events) {
    EXPECT_EQ(trace.Events().size(), 0u) << "the run that ended with 1618";
  }

  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();

  ASSERT_NO_FATAL_FAILURE(RunUnattended(kScripted, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  ExpectLog(UpdateLogUpToDriverUpdate(false).Text("Driver update completed."));
  ExpectMonitorBackedUpAndSpoolerRunning();
  Show("the same run after the dialog closed", exitCode, ReadWholeFile(Path(kLogFile)));
  if (events)
    ExpectOneEvent(trace.Events(), EVENTLOG_INFORMATION_TYPE, 100,
                   UpdateFields("unattended", "QVR 3417", 0, "Driver update completed.",
                                "not needed", Path(kLogFile)));
}

// An operator who starts the program again gets the open dialog in front,
// and no second one.
TEST_F(Deployment, SecondInteractiveStartBringsTheOpenDialogToTheFront) {
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));
  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);
  // Another window in front first: one of this program's own.
  HWND other = ::CreateWindowExA(0, "STATIC", "another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(other, nullptr);
  ::SetForegroundWindow(other);
  EXPECT_EQ(::GetForegroundWindow(), other);

  for (const char* arguments : {"setup.inf", ""}) {
    SCOPED_TRACE(std::string("arguments: \"") + arguments + "\"");
    ::SetForegroundWindow(other);
    DWORD elapsed = 0;
    std::vector<std::string> shown;
    DWORD exitCode = RunBeside(arguments, kHeldOffMs, &elapsed, &shown);
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(shown, std::vector<std::string>{});
    // The dialog's thread takes the activation in its own time.
    for (DWORD start = ::GetTickCount();
         ::GetForegroundWindow() != dialog && ::GetTickCount() - start < kHeldOffMs;)
      ::Sleep(20);
    EXPECT_EQ(::GetForegroundWindow(), dialog);
    std::printf("second interactive start (%s): exit status %lu after %lu ms\n",
                *arguments ? arguments : "no arguments", static_cast<unsigned long>(exitCode),
                static_cast<unsigned long>(elapsed));
  }
  ::DestroyWindow(other);
  EXPECT_EQ(e2e::VisibleWindows(m_child.Id(), kMainCaption).size(), 1u);
  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();
  EXPECT_FALSE(FileExists(kLogFile));
}

// The journal's step, defined with the killed runs below.
std::optional<std::string> JournalStep();

// Each row of the driver update's outcome table, as the stand-in answers.
// A row that ends with the red cross, and any other code, puts the monitor
// back from the backup and restarts the spooler, so that the printer prints
// as before; the backup stays, and the run fails.
struct OutcomeRow {
  const char* name;
  const char* answer;  // QVR_NEWDEV_RESULT
  const char* report;  // nullptr: the system's text for the code
  DWORD exitCode;
  bool restores;
  WORD eventType;
  DWORD eventId;
  // Without SILENT the installer is told to show nothing (flags 5).
  bool silent = true;
  friend void PrintTo(const OutcomeRow& row, std::ostream* os) { *os << row.name; }
};

class DriverUpdateOutcome : public Deployment, public ::testing::WithParamInterface<OutcomeRow> {};

TEST_P(DriverUpdateOutcome, UnattendedUpdate) {
  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  const OutcomeRow& row = GetParam();
  ASSERT_NO_FATAL_FAILURE(PrepareMachine());
  NewdevAnswer answer(row.answer);
  const std::string record = Path("newdev_calls.txt");
  ::SetEnvironmentVariableA("QVR_NEWDEV_RECORD", record.c_str());
  EventTrace trace;

  DWORD exitCode = 0;
  ASSERT_NO_FATAL_FAILURE(
      RunUnattended(row.silent ? kScripted : "setup.inf \"QVR 3417\"", &exitCode));
  ::SetEnvironmentVariableA("QVR_NEWDEV_RECORD", nullptr);
  EXPECT_EQ(exitCode, row.exitCode);
  // The stand-in was asked, once, what the real one would be asked.
  EXPECT_EQ(ReadWholeFile(record),
            "Kalbrix_ABQVR34170B7C|" + Path("setup.inf") + (row.silent ? "|1\r\n" : "|5\r\n"));

  LogPattern expected = UpdateLogUpToDriverUpdate(false);
  if (row.report != nullptr)
    expected.Text(row.report);
  else
    expected.SystemText();
  if (row.restores) {
    // The outcome text ends no line; the system's own text does.
    if (row.report != nullptr) expected.Text("\n");
    expected.Line("Restore Language Monitor from Backup Directory")
        .Line("Stop Spooler")
        .SpoolerStopped()
        .Line("Start Spooler")
        .SpoolerStarted()
        .Line("Language Monitor restored");
  }
  ExpectLog(expected);
  EXPECT_EQ(ReadWholeFile(Path("bak\\qvrmon.dll")), std::string(kInstalledMonitorContent));
  if (row.restores)
    EXPECT_EQ(ReadWholeFile(InstalledMonitorPath()), std::string(kInstalledMonitorContent));
  else
    EXPECT_FALSE(PathExists(InstalledMonitorPath()));
  EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(JournalStep(), std::nullopt);
  Show(row.name, exitCode, ReadWholeFile(Path(kLogFile)));

  // The event gives the outcome on one line.
  std::string outcome = row.report != nullptr ? row.report : "";
  for (char& c : outcome)
    if (c == '\n') c = ' ';
  while (!outcome.empty() && outcome.back() == ' ') outcome.pop_back();
  if (trace.Readable())
    ExpectOneEvent(trace.Events(), row.eventType, row.eventId,
                   UpdateFields("unattended", "QVR 3417", row.exitCode, outcome,
                                row.restores ? "yes" : "not needed", Path(kLogFile)));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DriverUpdateOutcome,
    ::testing::Values(
        OutcomeRow{"DriverUpdateNeedsRestart", "restart",
                   "Driver update completed.\nA restart is required to complete the driver "
                   "update.\n",
                   3010, false, EVENTLOG_INFORMATION_TYPE, 101},
        OutcomeRow{"DriverUpdateInfMissing", "2",
                   "The path specified for FullInfPath does not exist.", 1, true,
                   EVENTLOG_ERROR_TYPE, 102},
        OutcomeRow{"DriverUpdateBadFlags", "1004",
                   "The value specified for InstallFlags is invalid.", 1, true, EVENTLOG_ERROR_TYPE,
                   102},
        OutcomeRow{"DriverUpdateNotPluggedIn", "0xE000020B", kNotPluggedIn, 1, true,
                   EVENTLOG_ERROR_TYPE, 102},
        OutcomeRow{"DriverUpdateNotBetter", "0",
                   "The routine found a match for the HardwareId value, but the specified driver "
                   "was not better than the current driver and the caller did not specify the "
                   "INSTALLFLAG_FORCE flag.",
                   0, true, EVENTLOG_INFORMATION_TYPE, 100, false},
        OutcomeRow{"DriverUpdateOtherError", "5", nullptr, 1, true, EVENTLOG_ERROR_TYPE, 102}),
    [](const auto& info) { return std::string(info.param.name); });

// Interactively the outcome and then the restore are told in boxes.
TEST_F(Deployment, InteractiveFailedUpdateRestoresTheMonitor) {
  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  ASSERT_NO_FATAL_FAILURE(PrepareMachine());
  NewdevAnswer answer("0xE000020B");
  EventTrace trace;
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));
  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);
  ASSERT_NO_FATAL_FAILURE(SelectModel(dialog, kUpdateModel, kUpdateOffered));

  ASSERT_TRUE(e2e::PressButton(dialog, IDC_UPDATE));
  std::vector<std::string> boxes;
  for (DWORD start = ::GetTickCount(); boxes.size() < 2 && ::GetTickCount() - start < e2e::kWaitMs;
       ::Sleep(50))
    e2e::AnswerMessageBoxes(m_child.Id(), dialog, &boxes);
  EXPECT_EQ(boxes, (std::vector<std::string>{std::string(": ") + kNotPluggedIn,
                                             ": Language Monitor restored"}));
  // The status line keeps the backup's text, which the system words.
  const std::string status = e2e::ControlText(dialog, IDC_STATUS);
  EXPECT_EQ(status.rfind("Language Monitor backup: ", 0), 0u) << status;
  ASSERT_TRUE(e2e::WaitForProcedureEnd(m_child.Id(), dialog, IDC_STATUS, status, &boxes));
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_UPDATE));
  EXPECT_EQ(ReadWholeFile(InstalledMonitorPath()), std::string(kInstalledMonitorContent));
  EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();
  EXPECT_FALSE(FileExists(kLogFile));
  // The operator's Update leaves its event too, with the status a script
  // would have had.
  if (trace.Readable())
    ExpectOneEvent(trace.Events(), EVENTLOG_ERROR_TYPE, 102,
                   UpdateFields("interactive", "", 1, kNotPluggedIn, "yes", "none"));
}

// An earlier Update was killed after it took the monitor from system32: the
// next run, here an Install, first puts the monitor back from the backup,
// and each leaves its event, under a source registered with a message file
// outside the package folder.
TEST_F(Deployment, InterruptedUpdateFinishedAndInstalledEachLeaveOneEvent) {
  ASSERT_NO_FATAL_FAILURE(PrepareUpdate(false));
  ASSERT_NO_FATAL_FAILURE(PlantRemovedMonitorJournal());
  EventTrace trace;

  DWORD exitCode = 1;
  ASSERT_NO_FATAL_FAILURE(RunUnattended("setup.inf \"Halvern\"", &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(ReadWholeFile(InstalledMonitorPath()), std::string(kInstalledMonitorContent));
  EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
  Show("recovery, then Install", exitCode, ReadWholeFile(Path(kLogFile)));

  if (trace.Readable()) {
    std::vector<TracedEvent> events = trace.Events();
    ASSERT_EQ(events.size(), 2u);
    ExpectOneEvent({events[0]}, EVENTLOG_WARNING_TYPE, 103,
                   {QVR_VERSION, "Finish Interrupted Update", "unattended", "Halvern", "setup.inf",
                    "", "", "0", "Interrupted Update finished", "yes", Path(kLogFile)});
    ExpectOneEvent(
        {events[1]}, EVENTLOG_INFORMATION_TYPE, 100,
        {QVR_VERSION, "Install", "unattended", "Halvern", "setup.inf", "", "03/11/2024,1.2.3.5",
         "0", "Operation completed.", "not needed", Path(kLogFile)});
  }

  const char source[] =
      "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\QVR Driver Setup";
  char file[MAX_PATH] = {};
  DWORD type = 0;
  DWORD size = sizeof file - 1;
  EXPECT_EQ(::RegGetValueA(HKEY_LOCAL_MACHINE, source, "EventMessageFile",
                           RRF_RT_ANY | RRF_NOEXPAND, &type, file, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_STREQ(file, "%SystemRoot%\\System32\\EventCreate.exe");
  DWORD types = 0;
  size = sizeof types;
  EXPECT_EQ(::RegGetValueA(HKEY_LOCAL_MACHINE, source, "TypesSupported", RRF_RT_REG_DWORD, nullptr,
                           &types, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(types, 7u);
  // Wine ships no EventCreate.exe; Windows does, and its IDs 1 to 1000 read
  // "%1", the event's text.
  char expanded[MAX_PATH] = {};
  ::ExpandEnvironmentStringsA(file, expanded, MAX_PATH);
  if (!e2e::RunningUnderWine()) {
    EXPECT_TRUE(PathExists(expanded)) << expanded;
  }
}

// Command lines as deployment tools write them. Lines that name no printer
// end at once with 1, a log line and a failed run's event, and touch
// nothing; then a quoted INF, two blanks, and the INF's full path from
// system32, where a remote shell starts: each updates from the package.
TEST_F(Deployment, CommandLinesAsDeploymentToolsWriteThem) {
  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  ASSERT_NO_FATAL_FAILURE(PrepareMachine());
  EventTrace trace;
  const bool events = trace.Readable();
  auto run = [&](const std::string& arguments, const std::string& folder) {
    ChildProcess child;
    std::string error;
    EXPECT_TRUE(child.Start(m_exe, arguments, folder, &error)) << error;
    DWORD exitCode = 0xFFFFFFFFu;
    std::vector<std::string> shown;
    EXPECT_TRUE(child.WaitForExitWatchingWindows(e2e::kWaitMs, &exitCode, &shown));
    EXPECT_EQ(ShownBesidesWineFlash(shown), std::vector<std::string>{});
    std::printf("started in %s: ", folder.c_str());
    Show(arguments.c_str(), exitCode, ReadWholeFile(Path(kLogFile)));
    return exitCode;
  };
  size_t left = 0;
  for (const char* line :
       {"setup.inf \"QVR 3417", "setup.inf \"\" SILENT", "\"\" \"QVR 3417\" SILENT"}) {
    SCOPED_TRACE(line);
    EXPECT_EQ(run(line, m_folder), 1u);
    EXPECT_EQ(ReadWholeFile(Path(kLogFile)), std::string("The command line names no printer!\n"));
    ExpectMachineUntouched();
    if (events) {
      std::vector<TracedEvent> all = trace.Events();
      ASSERT_EQ(all.size(), ++left);
      EXPECT_EQ(all.back().type, EVENTLOG_ERROR_TYPE);
      EXPECT_EQ(all.back().id, 102u);
      EXPECT_EQ(all.back().strings.back(), Path(kLogFile));
    }
  }

  char system[MAX_PATH] = {};
  ::GetSystemDirectoryA(system, MAX_PATH);
  const std::string record = Path("newdev_calls.txt");
  ::SetEnvironmentVariableA("QVR_NEWDEV_RECORD", record.c_str());
  for (const auto& [arguments, folder] : std::vector<std::pair<std::string, std::string>>{
           {"\"setup.inf\" \"QVR 3417\" SILENT", m_folder},
           {"setup.inf  \"QVR 3417\" SILENT", m_folder},
           {Path("setup.inf") + " \"QVR 3417\" SILENT", system},
           {"\"" + Path("setup.inf") + "\" \"QVR 3417\" SILENT", system}}) {
    SCOPED_TRACE(arguments);
    for (const char* earlier : {"bak\\qvrmon.dll", kLogFile, kSideToolRecord, "newdev_calls.txt"})
      ::DeleteFileA(Path(earlier).c_str());
    ::RemoveDirectoryA(Path("bak").c_str());
    ASSERT_NO_FATAL_FAILURE(WriteFileAt(InstalledMonitorPath(), kInstalledMonitorContent));
    EXPECT_EQ(run(arguments, folder), 0u);
    ExpectLog(UpdateLogUpToDriverUpdate(false).Text("Driver update completed."));
    ExpectMonitorBackedUpAndSpoolerRunning();
    EXPECT_EQ(ReadWholeFile(record), "Kalbrix_ABQVR34170B7C|" + Path("setup.inf") + "|1\r\n");
    EXPECT_EQ(AwaitFile(Path(kSideToolRecord)), std::string("//NOLOGO"));
  }
  ::SetEnvironmentVariableA("QVR_NEWDEV_RECORD", nullptr);
  EXPECT_FALSE(PathExists(std::string(system) + "\\" + kLogFile));
  EXPECT_FALSE(PathExists(std::string(system) + "\\bak"));
}

// ---------------------------------------------------------------------------
// Runs killed halfway, as a deployment tool's timeout (TerminateProcess) or
// Task Manager ends them, and the next run, which finishes their work.

constexpr char kNobody[] = "setup.inf \"Nobody Here\" SILENT";
constexpr char kJournalKey[] = "SOFTWARE\\QVR\\Driver Setup\\Pending Update";
// Long enough for the case to kill the run while the driver update lasts.
constexpr char kSlowDriverUpdateMs[] = "30000";

// The step that the journal of an interrupted Update names; nothing when
// there is no journal.
std::optional<std::string> JournalStep() {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kJournalKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
      ERROR_SUCCESS)
    return std::nullopt;
  char step[64] = {};
  DWORD size = sizeof step - 1;
  LONG read =
      ::RegQueryValueExA(key, "Step", nullptr, nullptr, reinterpret_cast<BYTE*>(step), &size);
  ::RegCloseKey(key);
  return read == ERROR_SUCCESS ? std::string(step) : std::string("(no step)");
}

// Ends process `pid` at once with `taskkill /F`, as an operator would.
bool ForceKill(DWORD pid) {
  ChildProcess taskkill;
  std::string error;
  char system[MAX_PATH] = {};
  ::GetSystemDirectoryA(system, MAX_PATH);
  if (!taskkill.Start(std::string(system) + "\\taskkill.exe", "/F /PID " + std::to_string(pid),
                      system, &error))
    return false;
  DWORD exitCode = 1;
  return taskkill.WaitForExit(e2e::kWaitMs, &exitCode) && exitCode == 0;
}

enum class KillPoint { Pause, DriverUpdate };

class KilledRuns : public Deployment {
 protected:
  // Starts the script's Update and kills it at `point`: in the pause
  // between the backup and the monitor's removal, when the spooler is
  // stopped, or while the driver update runs, when the monitor is gone.
  void KillUpdateAt(KillPoint point) {
    ::DeleteFileA(Path("bak\\qvrmon.dll").c_str());
    ::DeleteFileA(Path(kLogFile).c_str());
    ASSERT_NO_FATAL_FAILURE(WriteFileAt(InstalledMonitorPath(), kInstalledMonitorContent));
    ::SetEnvironmentVariableA("QVR_NEWDEV_DELAY_MS", kSlowDriverUpdateMs);
    ChildProcess run;
    std::string error;
    ASSERT_TRUE(run.Start(m_exe, kScripted, m_folder, &error)) << error;
    const char* mark = point == KillPoint::Pause ? "Copy Language Monitor to Backup Directory\n"
                                                 : "Update Driver\n";
    bool reached = false;
    for (DWORD start = ::GetTickCount(); !reached && ::GetTickCount() - start < e2e::kWaitMs;
         ::Sleep(20)) {
      std::string log =
          ReadWholeFile(Path(kLogFile), FILE_SHARE_READ | FILE_SHARE_WRITE).value_or("");
      reached = log.find(mark) != std::string::npos &&
                (point == KillPoint::DriverUpdate || PathExists(Path("bak\\qvrmon.dll")));
    }
    ::SetEnvironmentVariableA("QVR_NEWDEV_DELAY_MS", nullptr);
    ASSERT_TRUE(reached) << "the run never reached " << LogPattern::Visible(mark);
    ASSERT_TRUE(ForceKill(run.Id()));
    DWORD exitCode = 0;
    ASSERT_TRUE(run.WaitForExit(e2e::kWaitMs, &exitCode));

    // What the kill left: a machine that doesn't print, or a printer
    // without its monitor, and the journal that says which.
    EXPECT_EQ(ReadWholeFile(Path("bak\\qvrmon.dll")), std::string(kInstalledMonitorContent));
    if (point == KillPoint::Pause) {
      EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_STOPPED));
      EXPECT_EQ(ReadWholeFile(InstalledMonitorPath()), std::string(kInstalledMonitorContent));
      EXPECT_EQ(JournalStep(), "Spooler stopped");
    } else {
      EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
      EXPECT_FALSE(PathExists(InstalledMonitorPath()));
      EXPECT_EQ(JournalStep(), "Monitor removed");
    }
    std::printf("killed (exit status %lu): spooler %s, monitor %s, journal \"%s\"\n",
                static_cast<unsigned long>(exitCode),
                SpoolerState() == SERVICE_RUNNING ? "running" : "stopped",
                PathExists(InstalledMonitorPath()) ? "in system32" : "gone",
                JournalStep().value_or("none").c_str());
  }

  // The printer as before the Update: its monitor back in system32, the
  // spooler running, the backup where it was, no journal.
  void ExpectMachineFinished(const char* after) {
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING)) << after;
    EXPECT_EQ(ReadWholeFile(InstalledMonitorPath()), std::string(kInstalledMonitorContent))
        << after;
    EXPECT_EQ(ReadWholeFile(Path("bak\\qvrmon.dll")), std::string(kInstalledMonitorContent))
        << after;
    EXPECT_EQ(JournalStep(), std::nullopt) << after;
  }

  // The state a run left, for the case's output.
  static void ShowMachine(const char* after, DWORD exitCode) {
    std::printf("%s: exit status %lu, monitor %s, journal \"%s\", spooler %s\n", after,
                static_cast<unsigned long>(exitCode),
                PathExists(InstalledMonitorPath()) ? "in system32" : "gone",
                JournalStep().value_or("none").c_str(),
                SpoolerState() == SERVICE_RUNNING ? "running" : "not running");
  }

  // Runs the script's Update, whose driver update fails after 3 s, calls
  // `act` from the moment the driver update has begun until it returns
  // true, and gives the run's exit status.
  DWORD ActDuringAFailingDriverUpdate(const std::function<bool()>& act) {
    ::SetEnvironmentVariableA("QVR_NEWDEV_DELAY_MS", "3000");
    Start(kScripted);
    bool acted = false;
    for (DWORD start = ::GetTickCount(); !acted && ::GetTickCount() - start < e2e::kWaitMs;
         ::Sleep(20))
      acted = ReadWholeFile(Path(kLogFile), FILE_SHARE_READ | FILE_SHARE_WRITE)
                  .value_or("")
                  .ends_with("Update Driver\n") &&
              act();
    ::SetEnvironmentVariableA("QVR_NEWDEV_DELAY_MS", nullptr);
    EXPECT_TRUE(acted) << "the run never reached its driver update";
    DWORD exitCode = 0;
    EXPECT_TRUE(m_child.WaitForExit(e2e::kWaitMs, &exitCode));
    return exitCode;
  }
};

// The 32-bit program without the 64-bit one beside it, which on 64-bit
// Windows sees the registry's 32-bit view, finishes an interrupted Update
// and removes its journal from the 64-bit view, where it was written.
TEST_F(KilledRuns, ThirtyTwoBitProgramAloneRemovesTheJournal) {
  ASSERT_NO_FATAL_FAILURE(PrepareUpdate(false));
  ASSERT_NO_FATAL_FAILURE(PlantRemovedMonitorJournal());
  DWORD exitCode = 1;
  ASSERT_NO_FATAL_FAILURE(RunUnattended(kNobody, &exitCode));
  ShowMachine("the 32-bit program's run for no printer", exitCode);
  EXPECT_EQ(exitCode, 0u);
  ExpectMachineFinished("the run for no printer");
}

struct KillRow {
  const char* name;
  KillPoint point;
  friend void PrintTo(const KillRow& row, std::ostream* os) { *os << row.name; }
};

class KilledUpdate : public KilledRuns, public ::testing::WithParamInterface<KillRow> {};

// Whatever the next run was started for, it finishes the killed one's work
// first: the same script again, a script for a printer the machine doesn't
// have, and an operator who opens the dialog and ends it.
TEST_P(KilledUpdate, NextRunFinishesIt) {
  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  ASSERT_NO_FATAL_FAILURE(PrepareMachine());
  NewdevAnswer answer("0xE000020B");  // not plugged in: the update fails
  for (const char* next : {kScripted, kNobody, "setup.inf"}) {
    SCOPED_TRACE(next);
    ASSERT_NO_FATAL_FAILURE(KillUpdateAt(GetParam().point));
    const std::optional<std::string> killedLog = ReadWholeFile(Path(kLogFile));
    DWORD exitCode = 0;
    if (std::string(next) == "setup.inf") {
      ASSERT_NO_FATAL_FAILURE(Start(next));
      HWND dialog = AwaitWindow(kMainCaption);
      ASSERT_NE(dialog, nullptr);
      ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
      ExpectEndsWithCodeZero();
    } else {
      ASSERT_NO_FATAL_FAILURE(RunUnattended(next, &exitCode));
    }
    const std::optional<std::string> log = ReadWholeFile(Path(kLogFile));
    if (std::string(next) == kScripted) {
      // The recovery's lines come first; the script's own Update follows,
      // fails as the driver answers, and puts the monitor back itself.
      EXPECT_EQ(exitCode, 1u);
      ASSERT_TRUE(log.has_value());
      EXPECT_EQ(log->rfind("Finish Interrupted Update\n", 0), 0u) << LogPattern::Visible(*log);
      EXPECT_NE(log->find("Interrupted Update finished\n" + m_folder + "\n"), std::string::npos)
          << LogPattern::Visible(*log);
    } else {
      // No log of its own: the killed run's stays as it was.
      EXPECT_EQ(exitCode, 0u);
      EXPECT_EQ(log, killedLog);
    }
    ExpectMachineFinished(next);
    Show(next, exitCode, log);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, KilledUpdate,
                         ::testing::Values(KillRow{"KilledInThePause", KillPoint::Pause},
                                           KillRow{"KilledInTheDriverUpdate",
                                                   KillPoint::DriverUpdate}),
                         [](const auto& info) { return std::string(info.param.name); });

// Only the trusted copy goes back into system32, never the `bak` copy
// beside the package: not when another program writes over that during a
// failing update, nor after a kill, nor when the package folder is laid
// down again after a kill, as deployment tools do before a retry. And the
// trusted folder is SYSTEM's and Administrators' alone. A trusted copy
// that another program (a virus scanner) holds open without sharing can't
// go back: the journal stays, and the next run, for a printer the machine
// doesn't have, puts the monitor back.
TEST_F(KilledRuns, BackupInBakIsNeverPutBack) {
  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  ASSERT_NO_FATAL_FAILURE(PrepareMachine());
  NewdevAnswer answer("0xE000020B");
  const std::string bak = Path("bak\\qvrmon.dll");
  {
    SCOPED_TRACE("written over during the driver update");
    EXPECT_EQ(
        ActDuringAFailingDriverUpdate([&] { return WriteWholeFile(bak, "someone else's bytes"); }),
        1u);
    EXPECT_EQ(ReadWholeFile(InstalledMonitorPath()), std::string(kInstalledMonitorContent));
    // The trusted folder as the program made it, where Wine keeps that.
    const std::string sddl = TrustedFolderSddl();
    std::printf("the trusted folder's security descriptor: %s\n", sddl.c_str());
    if (!e2e::RunningUnderWine() || sddl.rfind("O:BA", 0) == 0) {
      EXPECT_TRUE(sddl == "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)" ||
                  sddl == "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)")
          << sddl;
    }
  }
  {
    SCOPED_TRACE("the trusted copy held open");
    HANDLE held = INVALID_HANDLE_VALUE;
    DWORD exitCode = ActDuringAFailingDriverUpdate([&] {
      held = ::CreateFileA((TrustedFolder() + "\\" + kMonitor).c_str(), GENERIC_READ, 0, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      return held != INVALID_HANDLE_VALUE;
    });
    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
    ShowMachine("the failed Update", exitCode);
    EXPECT_EQ(exitCode, 1u);
    const std::string log = ReadWholeFile(Path(kLogFile)).value_or("");
    EXPECT_TRUE(
        log.ends_with("Language Monitor not restored\n"
                      "The next run of the setup finishes this Update.\n"))
        << LogPattern::Visible(log);
    EXPECT_FALSE(PathExists(InstalledMonitorPath()));
    EXPECT_EQ(JournalStep(), "Monitor removed");
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
    ASSERT_NO_FATAL_FAILURE(RunUnattended(kNobody, &exitCode));
    ShowMachine("the run for no printer", exitCode);
    EXPECT_EQ(exitCode, 0u);
    ExpectMachineFinished("the run for no printer");
  }
  for (bool laidDownAgain : {false, true}) {
    SCOPED_TRACE(laidDownAgain ? "package laid down again after a kill" : "written after a kill");
    ASSERT_NO_FATAL_FAILURE(KillUpdateAt(KillPoint::DriverUpdate));
    if (laidDownAgain) {
      for (const char* name : {"bak\\qvrmon.dll", kLogFile, "setup.inf", kMonitor})
        ::DeleteFileA(Path(name).c_str());
      ASSERT_TRUE(::RemoveDirectoryA(Path("bak").c_str()));
      ASSERT_NO_FATAL_FAILURE(WriteFile("setup.inf", kPackageInf));
      ASSERT_NO_FATAL_FAILURE(WriteFile(kMonitor, kPackagedMonitorContent));
    } else {
      ASSERT_TRUE(WriteWholeFile(bak, "someone else's bytes"));
    }
    DWORD exitCode = 1;
    ASSERT_NO_FATAL_FAILURE(RunUnattended(kNobody, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(ReadWholeFile(InstalledMonitorPath()), std::string(kInstalledMonitorContent));
    EXPECT_EQ(JournalStep(), std::nullopt);
  }
}

// A kill, and then the machine restarts (wine_prefix.sh --then): every
// process ends, the journal is kept on disk.
TEST_F(KilledRuns, KilledBeforeARestart) {
  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  ASSERT_NO_FATAL_FAILURE(PrepareMachine());
  NewdevAnswer answer("0xE000020B");
  ASSERT_NO_FATAL_FAILURE(KillUpdateAt(KillPoint::DriverUpdate));
}

// After the restart, a run that has nothing to do finishes it.
class AfterRestart : public SetupProgram {
 protected:
  // The package folder of the killed run; its files go, "bak" stays.
  std::string FolderFor(const std::string& root, const std::string&) const override { return root; }
};

TEST_F(AfterRestart, MachineRestartedAfterAKill) {
  EXPECT_EQ(JournalStep(), "Monitor removed");
  EXPECT_FALSE(PathExists(InstalledMonitorPath()));
  ChildProcess run;
  std::string error;
  ASSERT_TRUE(run.Start(m_exe, kNobody, m_folder, &error)) << error;
  DWORD exitCode = 1;
  ASSERT_TRUE(run.WaitForExit(kEndsAloneMs, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_FALSE(FileExists(kLogFile));
  EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(ReadWholeFile(InstalledMonitorPath()), std::string(kInstalledMonitorContent));
  EXPECT_EQ(JournalStep(), std::nullopt);
  std::printf("after the restart: exit status %lu, spooler %s, monitor %s\n",
              static_cast<unsigned long>(exitCode),
              SpoolerState() == SERVICE_RUNNING ? "running" : "stopped",
              PathExists(InstalledMonitorPath()) ? "in system32" : "gone");
}

// Names in any language, on one machine, this program's code page being
// UTF-8 as the test program's own is (e2e.manifest): fullwidth quotation
// marks, which are letters; an Install from a Chinese folder for a printer
// named in Japanese; an Update from a Cyrillic folder; a UTF-16 INF with
// French and Japanese model names.
class AnyLanguage : public Deployment {
 protected:
  std::string FolderFor(const std::string& root, const std::string&) const override {
    return root + "\\Драйверы";
  }

  // A printer named in Japanese, with a driver record under its name.
  static void AddPrinter(const std::string& name) {
    const std::string print = "SYSTEM\\CurrentControlSet\\Control\\Print\\";
    for (const auto& [value, text] : {std::pair<LPCSTR, std::string>{"Name", name},
                                      {"Printer Driver", name},
                                      {"Port", "LPT3:"},
                                      {"Print Processor", "winprint"},
                                      {"Datatype", "RAW"}})
      ASSERT_EQ(::RegSetKeyValueA(HKEY_LOCAL_MACHINE, (print + "Printers\\" + name).c_str(), value,
                                  REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1)),
                0);
    const std::string driver = print + "Environments\\" +
                               (sizeof(void*) == 8 ? "Windows x64" : "Windows NT x86") +
                               "\\Drivers\\Version-3\\" + name;
    const BYTE date[8] = {0x00, 0x80, 0x3e, 0xd5, 0xde, 0xb1, 0xda, 0x01};
    const BYTE version[8] = {9, 0, 0, 0, 1, 0, 3, 0};
    ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, driver.c_str(), "DriverDate", REG_BINARY, date, 8);
    ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, driver.c_str(), "DriverVersion", REG_BINARY, version, 8);
  }

  // The first line of the log, or "(no log)".
  static std::string FirstLogLine(const std::string& folder) {
    std::string log = ReadWholeFile(folder + "\\" + kLogFile).value_or("(no log)");
    return log.substr(0, log.find('\n'));
  }

  // Field i of the one event since `trace` began.
  static std::string EventField(const EventTrace& trace, size_t i) {
    std::vector<TracedEvent> events = trace.Events();
    EXPECT_EQ(events.size(), 1u);
    return events.size() == 1 && events[0].strings.size() > i ? events[0].strings[i] : "";
  }
};

TEST_F(AnyLanguage, NamesInAnyLanguage) {
  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  ASSERT_NO_FATAL_FAILURE(PrepareMachine());
  const std::string japanese = "QVR 3417 営業部";
  ASSERT_NO_FATAL_FAILURE(AddPrinter(japanese));

  // "＂QVR" names no printer: the run ends at once and touches nothing.
  DWORD exitCode = 1;
  ASSERT_NO_FATAL_FAILURE(RunUnattended("setup.inf ＂QVR 3417＂ SILENT", &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(FirstLogLine(m_folder), "(no log)");
  ASSERT_NO_FATAL_FAILURE(ExpectMachineUntouched());

  {
    const std::string chinese = m_folder.substr(0, m_folder.rfind('\\')) + "\\驱动程序";
    ASSERT_TRUE(MakeEmptyFolder(chinese));
    ASSERT_NO_FATAL_FAILURE(WriteFileAt(chinese + "\\setup.inf", kPackageInf));
    const std::vector<std::string> before = InfStore();
    EventTrace trace;
    std::string error;
    ASSERT_TRUE(m_child.Start(m_exe, "setup.inf \"" + japanese + "\" SILENT", chinese, &error))
        << error;
    ASSERT_TRUE(m_child.WaitForExit(e2e::kWaitMs, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(FirstLogLine(chinese), "");  // a done Install logs nothing
    ExpectPackageInfAddedToStore(before);
    if (trace.Readable()) {
      EXPECT_EQ(EventField(trace, 2), "Install");
      EXPECT_EQ(EventField(trace, 4), japanese);
      EXPECT_EQ(EventField(trace, 11), chinese + "\\" + kLogFile);
    }
  }

  {
    EventTrace trace;
    ASSERT_NO_FATAL_FAILURE(RunUnattended(kScripted, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(FirstLogLine(m_folder), m_folder);
    ExpectMonitorBackedUpAndSpoolerRunning();
    if (trace.Readable()) {
      EXPECT_EQ(EventField(trace, 11), Path(kLogFile));
    }
  }

  // A UTF-16 INF: its model names as they are, and the Japanese printer
  // with its driver version.
  std::wstring inf =
      L"\xfeff[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n"
      L"[Manufacturer]\r\nQVR=QVR\r\n[QVR]\r\n"
      L"a = QVR5200, LPTENUM\\QVR5200, QVR 5200 \u00c9tiquettes\r\n"
      L"b = QVR6100, LPTENUM\\QVR6100, QVR 6100 \u30e9\u30d9\u30eb\r\n";
  ASSERT_NO_FATAL_FAILURE(WriteFile(
      "labels.inf", std::string(reinterpret_cast<const char*>(inf.data()), inf.size() * 2)));
  ASSERT_NO_FATAL_FAILURE(Start("labels.inf"));
  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(e2e::ListItems(dialog, IDC_MODELS),
            (std::vector<std::string>{"QVR 5200 Étiquettes", "QVR 6100 ラベル"}));
  std::vector<std::string> printers = e2e::ListItems(dialog, IDC_INSTALLED);
  std::vector<std::string> versions = e2e::ListItems(dialog, IDC_DRIVER_VERSIONS);
  auto at = std::find(printers.begin(), printers.end(), japanese);
  ASSERT_NE(at, printers.end());
  ASSERT_EQ(versions.size(), printers.size());
  EXPECT_EQ(versions[static_cast<size_t>(at - printers.begin())], "3.1.0.9");
  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();
}

}  // namespace
