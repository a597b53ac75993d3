// End-to-end cases of a deployment to many machines: command lines that
// must never wait on a window, one run at a time, and a failed driver
// update that leaves the printer as it was. The driver update's answer
// comes from the newdev.dll stand-in (newdev_double.cpp), which the case's
// prefix loads instead of Wine's own (wine_prefix.sh run ... --newdev).
#include <cstdio>
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

TEST_F(Deployment, NamedPrinterNotInstalledNeverBlocks) {
  ASSERT_NO_FATAL_FAILURE(ExpectNamedPrinterRunsEndAlone());
}

// An operator has the dialog open when the agent starts the unattended
// update: the agent's run ends at once with 1618 and touches nothing. Once
// the operator has closed the dialog, the same run goes ahead.
TEST_F(Deployment, ScriptedRunBesideAnOpenDialogEndsWith1618AndLaterGoesAhead) {
  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  ASSERT_NO_FATAL_FAILURE(PrepareMachine());
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

  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();

  ASSERT_NO_FATAL_FAILURE(RunUnattended(kScripted, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  ExpectLog(UpdateLogUpToDriverUpdate(false).Text("Driver update completed."));
  ExpectMonitorBackedUpAndSpoolerRunning();
  Show("the same run after the dialog closed", exitCode, ReadWholeFile(Path(kLogFile)));
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

  DWORD exitCode = 0;
  ASSERT_NO_FATAL_FAILURE(RunUnattended(kScripted, &exitCode));
  ::SetEnvironmentVariableA("QVR_NEWDEV_RECORD", nullptr);
  EXPECT_EQ(exitCode, row.exitCode);
  // The stand-in was asked, once, what the real one would be asked.
  EXPECT_EQ(ReadWholeFile(record), "Kalbrix_ABQVR34170B7C|" + Path("setup.inf") + "|1\r\n");

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
  Show(row.name, exitCode, ReadWholeFile(Path(kLogFile)));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DriverUpdateOutcome,
    ::testing::Values(
        OutcomeRow{"DriverUpdateNeedsRestart", "restart",
                   "Driver update completed.\nA restart is required to complete the driver "
                   "update.\n",
                   3010, false},
        OutcomeRow{"DriverUpdateInfMissing", "2",
                   "The path specified for FullInfPath does not exist.", 1, true},
        OutcomeRow{"DriverUpdateBadFlags", "1004",
                   "The value specified for InstallFlags is invalid.", 1, true},
        OutcomeRow{"DriverUpdateNotPluggedIn", "0xE000020B", kNotPluggedIn, 1, true},
        OutcomeRow{"DriverUpdateNotBetter", "0",
                   "The routine found a match for the HardwareId value, but the specified driver "
                   "was not better than the current driver and the caller did not specify the "
                   "INSTALLFLAG_FORCE flag.",
                   0, false},
        OutcomeRow{"DriverUpdateOtherError", "5", nullptr, 1, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Interactively the outcome and then the restore are told in boxes.
TEST_F(Deployment, InteractiveFailedUpdateRestoresTheMonitor) {
  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  ASSERT_NO_FATAL_FAILURE(PrepareMachine());
  NewdevAnswer answer("0xE000020B");
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
}

}  // namespace
