#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "engine/update_journal.h"
#include "engine_run.h"

namespace {

constexpr char kNobody[] = "setup.inf \"Nobody Here\" SILENT";
constexpr char kInstalled[] = "C:\\windows\\system32\\qvrmon.dll";
constexpr char kBackup[] = "C:\\pkg\\bak\\qvrmon.dll";

// Runs start-up once more on the same machine, as the next process would.
int RunAgain(ScriptedRun& run, const char* arguments) {
  std::string text = arguments;
  CSetupApp next(run.machine.platform());
  next.m_lpCmdLine = text.data();
  next.InitInstance();
  return next.m_nExitCode;
}

// ---------------------------------------------------------------- killed runs

// A script's Update killed at one platform call after another: whatever it
// left, the next run, with the same command or one that matches no
// printer, leaves the spooler running, the original monitor or the new
// driver's in system32, the backup where it was, and no journal.
struct KillCase {
  const char* name;
  bool driverTakes;  // the new driver installs, and brings its own monitor
  const char* next;  // the next run's command line
  friend void PrintTo(const KillCase& row, std::ostream* os) { *os << row.name; }
};

class KilledUpdate : public ::testing::TestWithParam<KillCase> {
 protected:
  static void Prepare(ScriptedRun& run, bool driverTakes) {
    if (!driverTakes) {
      run.machine.devices.Unplug("Kalbrix_ABQVR34170B7C");
      return;
    }
    sim::SimMachine& machine = run.machine;
    machine.devices.duringUpdate = [&machine] {
      // The driver's files land only if the update's own call is not cut off.
      if (machine.freezeAtCall == 0 || machine.calls.size() + 1 < machine.freezeAtCall)
        machine.PutFile(kInstalled, "monitor v3");
    };
  }
};

TEST_P(KilledUpdate, NextRunFinishesItFromEveryKillPoint) {
  const KillCase& c = GetParam();
  size_t calls = 0;
  {
    ScriptedRun whole;
    Prepare(whole, c.driverTakes);
    whole.Start(kScripted);
    calls = whole.machine.calls.size();
  }
  ASSERT_GT(calls, 40u);
  std::printf("%s: %zu kill points\n", c.name, calls);
  bool sameCommand = std::string(c.next) == kScripted;
  for (size_t n = 1; n <= calls; ++n) {
    ScriptedRun run;
    Prepare(run, c.driverTakes);
    run.machine.freezeAtCall = n;
    run.Start(kScripted);
    SCOPED_TRACE("killed at call " + std::to_string(n) + ", " + run.machine.calls[n - 1]);
    run.machine.EndProcess();
    bool pending = run.machine.registry.HasKey(QVR_JOURNAL_KEY);
    std::optional<std::string> backup = run.machine.FileContent(kBackup);
    std::string log = run.Log();

    int exitCode = RunAgain(run, c.next);

    EXPECT_EQ(run.machine.services.spooler().state, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_FALSE(run.machine.registry.HasKey(QVR_JOURNAL_KEY));
    std::string monitor = run.machine.FileContent(kInstalled).value_or("<none>");
    EXPECT_TRUE(monitor == "monitor v1" || (c.driverTakes && monitor == "monitor v3")) << monitor;
    if (sameCommand) {
      EXPECT_EQ(exitCode, c.driverTakes ? 0 : 1);
      EXPECT_EQ(run.Log().rfind("Finish Interrupted Update\n", 0) == 0, pending) << run.Log();
    } else {
      EXPECT_EQ(exitCode, 0);
      EXPECT_EQ(run.machine.FileContent(kBackup), backup);
      EXPECT_EQ(run.Log(), log);
    }
    EXPECT_EQ(run.machine.OpenHandles(), 0);
    EXPECT_EQ(run.machine.registry.OpenKeys(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, KilledUpdate,
                         ::testing::Values(KillCase{"DriverTakesSameCommand", true, kScripted},
                                           KillCase{"DriverTakesNobody", true, kNobody},
                                           KillCase{"DriverFailsSameCommand", false, kScripted},
                                           KillCase{"DriverFailsNobody", false, kNobody}),
                         RowName);

// ---------------------------------------------------------------- broken ends

// An Update that ends with the machine broken keeps its journal at the step
// reached and fails; the next run, for no printer, finishes it.
struct BrokenEndCase {
  const char* name;
  std::function<void(ScriptedRun&)> machine;
  const char* step;  // the journal's step, kept
  friend void PrintTo(const BrokenEndCase& row, std::ostream* os) { *os << row.name; }
};

class BrokenEnd : public ::testing::TestWithParam<BrokenEndCase> {};

TEST_P(BrokenEnd, KeepsTheJournalForTheNextRun) {
  const BrokenEndCase& c = GetParam();
  ScriptedRun run;
  c.machine(run);
  run.Start(kScripted);
  EXPECT_EQ(run.ExitCode(), 1);
  EXPECT_EQ(run.machine.registry.StringValue(QVR_JOURNAL_KEY, "Step"), c.step);
  EXPECT_TRUE(run.Log().ends_with("\nThe next run of the setup finishes this Update.\n"));

  run.machine.services.spooler().deniedAccess = 0;
  run.machine.services.spooler().pendingMillis = 0;
  EXPECT_EQ(RunAgain(run, kNobody), 0);
  EXPECT_FALSE(run.machine.registry.HasKey(QVR_JOURNAL_KEY));
  ASSERT_FALSE(run.machine.registry.deleteCalls.empty());
  EXPECT_EQ(run.machine.registry.deleteCalls.back().view, static_cast<REGSAM>(KEY_WOW64_64KEY));
  EXPECT_EQ(run.machine.services.spooler().state, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_TRUE(run.machine.Exists(kInstalled));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenEnd,
    ::testing::Values(
        // The trusted copy held open without sharing, as a virus scanner
        // may, when the restore opens it.
        BrokenEndCase{"MonitorNotRestored",
                      [](ScriptedRun& r) {
                        r.machine.devices.Unplug("Kalbrix_ABQVR34170B7C");
                        r.machine.beforeEachCall = [&r](const std::string& call) {
                          if (call == "UpdateDriverForPlugAndPlayDevicesA")
                            r.machine.FailNext("CreateFileA", ERROR_SHARING_VIOLATION);
                        };
                      },
                      "Monitor removed"},
        BrokenEndCase{"SpoolerStaysStopped",
                      [](ScriptedRun& r) {
                        r.machine.devices.Unplug("Kalbrix_ABQVR34170B7C");
                        r.machine.FailNext("StartServiceA", ERROR_ACCESS_DENIED, 3);
                      },
                      "Monitor removed"},
        // Still stopping after every wait of the run; stopped by the next.
        BrokenEndCase{"SpoolerStillStopping",
                      [](ScriptedRun& r) { r.machine.services.spooler().pendingMillis = 200000; },
                      "Spooler stopped"},
        // The driver took, with its own monitor, but the spooler's state
        // can't be read.
        BrokenEndCase{"SpoolerStateUnreadable",
                      [](ScriptedRun& r) {
                        r.machine.devices.duringUpdate = [&r] {
                          r.machine.PutFile(kInstalled, "monitor v3");
                          r.machine.services.spooler().deniedAccess = SERVICE_QUERY_STATUS;
                        };
                      },
                      "Monitor removed"},
        // A journal just written that can't be found is not taken as removed.
        BrokenEndCase{
            "JournalNotFound",
            [](ScriptedRun& r) { r.machine.FailNext("RegDeleteKeyExA", ERROR_FILE_NOT_FOUND); },
            "Monitor removed"}),
    RowName);

// ---------------------------------------------------------------- left journals

// A journal as a killed run leaves it, and the next run's command line.
enum class Backup { File, Link, Missing, Altered };
struct JournalCase {
  const char* name;
  const char* step;
  bool monitorInPlace;
  Backup backup;
  bool spoolerStopped;
  bool startRefused;
  const char* command;
  // What the run ends with: its exit status, whether the journal stays,
  // the monitor in system32, how often the spooler was stopped, and the
  // start of its log (none when the run writes no log).
  int exitCode;
  bool journalKept;
  const char* monitor;
  int stops;
  std::string log;
  friend void PrintTo(const JournalCase& row, std::ostream* os) { *os << row.name; }
};

class LeftJournal : public ::testing::TestWithParam<JournalCase> {};

TEST_P(LeftJournal, IsFinishedFirstOrKeptWithExitStatus1) {
  const JournalCase& c = GetParam();
  ScriptedRun run;
  run.machine.registry.SetString(QVR_JOURNAL_KEY, "Monitor", "qvrmon.dll");
  run.machine.registry.SetString(QVR_JOURNAL_KEY, "Installed Monitor", kInstalled);
  run.machine.registry.SetString(QVR_JOURNAL_KEY, "Step", c.step);
  run.machine.PutFile("C:\\elsewhere.dll", "someone else's");
  LeaveTrustedCopy(run.machine, c.backup == Backup::File      ? "monitor v1"
                                : c.backup == Backup::Altered ? "monitor v9"
                                                              : nullptr);
  if (c.backup == Backup::Link) run.machine.MakeSymbolicLink(kTrustedCopy, "C:\\elsewhere.dll");
  if (!c.monitorInPlace) std::filesystem::remove(run.machine.HostPath(kInstalled));
  if (c.spoolerStopped) run.machine.services.spooler().state = SERVICE_STOPPED;
  if (c.startRefused) run.machine.FailNext("StartServiceA", ERROR_ACCESS_DENIED, 2);
  run.machine.others.AbandonMutex("Global\\QVRSetupRun");

  run.Start(c.command);

  EXPECT_EQ(run.ExitCode(), c.exitCode);
  EXPECT_EQ(run.machine.registry.HasKey(QVR_JOURNAL_KEY), c.journalKept);
  EXPECT_EQ(run.machine.FileContent(kInstalled).value_or("<none>"), c.monitor);
  EXPECT_EQ(run.machine.FileContent("C:\\elsewhere.dll"), "someone else's");
  EXPECT_EQ(run.machine.services.spooler().stops, c.stops);
  std::string log = run.Log();
  EXPECT_EQ(log.substr(0, c.log.size()), c.log);
  if (c.exitCode == 1) {
    // Nothing else is touched: no Update and no Install follow.
    EXPECT_TRUE(run.machine.devices.updateCalls.empty());
    EXPECT_TRUE(run.machine.devices.copyCalls.empty());
  }
  if (std::string(c.command) == "setup.inf" && c.exitCode == 1) {
    ASSERT_EQ(run.session.messageBoxes.size(), 1u);
    EXPECT_EQ(
        run.session.messageBoxes[0].text.rfind(
            "The interrupted Update could not be finished!\n\nFinish Interrupted Update\n", 0),
        0u);
  }
}

const std::string kRestoreLines =
    "Finish Interrupted Update\n"
    "Restore Language Monitor from Backup Directory\n";
const std::string kRestored = kRestoreLines + "Language Monitor restored\n";
// Not restored, after the system's text for why.
std::string NotRestored(const char* why, const std::string& spooler = "") {
  return kRestoreLines + why + "Language Monitor not restored\n" + spooler +
         "Interrupted Update not finished\n";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LeftJournal,
    ::testing::Values(
        // Killed in the pause: the monitor is there, the spooler stopped.
        // The script's Update follows.
        JournalCase{"KilledInThePause", "Spooler stopped", true, Backup::File, true, false,
                    kScripted, 0, false, "<none>", 1,
                    "Finish Interrupted Update\nStart Spooler\n" + StartLines() +
                        "Interrupted Update finished\nC:\\pkg\n"},
        // Killed in the driver update: the spooler runs, and is started
        // again so that it loads the monitor put back.
        JournalCase{"KilledInTheDriverUpdate", "Monitor removed", false, Backup::File, false, false,
                    kScripted, 0, false, "<none>", 2,
                    kRestored + "Stop Spooler\n" + StopLines() + "Start Spooler\n" + StartLines() +
                        "Interrupted Update finished\nC:\\pkg\n"},
        // The new driver's monitor is there: nothing goes over it.
        JournalCase{"NewMonitorInPlace", "Monitor removed", true, Backup::Missing, false, false,
                    kNobody, 0, false, "monitor v1", 0, "<none>"},
        // A machine restarted after the kill: the spooler runs again, the
        // monitor is still missing.
        JournalCase{"RestartedMachineNobody", "Monitor removed", false, Backup::File, false, false,
                    kNobody, 0, false, "monitor v1", 1, "<none>"},
        JournalCase{"RestartedMachineDialog", "Monitor removed", false, Backup::File, false, false,
                    "setup.inf", 0, false, "monitor v1", 1, "<none>"},
        // Recoveries that fail keep the journal for the next run.
        JournalCase{"BackupGone", "Monitor removed", false, Backup::Missing, true, false, kScripted,
                    1, true, "<none>", 0,
                    NotRestored("The system cannot find the path specified.\r\n",
                                "Start Spooler\n" + StartLines())},
        JournalCase{"BackupAltered", "Monitor removed", false, Backup::Altered, false, false,
                    kScripted, 1, true, "<none>", 0, NotRestored("The data is invalid.\r\n")},
        JournalCase{"BackupIsALink", "Monitor removed", false, Backup::Link, false, false,
                    kScripted, 1, true, "<none>", 0,
                    NotRestored("The file cannot be accessed by the system.\r\n")},
        JournalCase{"SpoolerWontStart", "Spooler stopped", true, Backup::File, true, true,
                    kScripted, 1, true, "monitor v1", 0,
                    "Finish Interrupted Update\nStart Spooler\n"},
        JournalCase{"FailedRecoveryDialog", "Monitor removed", false, Backup::Missing, false, false,
                    "setup.inf", 1, true, "<none>", 0, "<none>"},
        JournalCase{"FailedRecoveryNobody", "Monitor removed", false, Backup::Missing, false, false,
                    kNobody, 1, true, "<none>", 0, "<none>"}),
    RowName);

}  // namespace
