#include <gtest/gtest.h>

#include "engine_run.h"

namespace {

struct SpoolerRun : EngineRun {
  int result = -1;
  void Control(int start) {
    Run("QVR 3417", "qvrmon.dll", TRUE, FALSE,
        [&](CSetupDlg& dlg) { result = dlg.ControlSpooler(start); });
  }
};

TEST(ControlSpooler, StopAndStartLogEveryStepAndCloseEveryHandle) {
  SpoolerRun run;
  run.machine.services.spooler().pendingQueries = 3;
  run.Control(0);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.machine.services.spooler().state, static_cast<DWORD>(SERVICE_STOPPED));
  run.Control(1);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.Log(), StartLines(2));  // the second run's log replaced the first
  EXPECT_EQ(run.machine.services.spooler().state, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(run.machine.services.OpenHandles(), 0);
  EXPECT_EQ(run.machine.services.badHandleUses, 0);
  // The debugger sees the progress and the final state, also without a log.
  EXPECT_EQ(run.machine.debugOutput.back(), "SPOOLER SERVICE STARTED\n");
}

TEST(ControlSpooler, TargetSeenAtOnceGivesOneProgressLine) {
  SpoolerRun run;
  run.machine.services.spooler().pendingQueries = 0;
  run.Control(0);
  EXPECT_EQ(run.Log(), StopLines(0));
  EXPECT_TRUE(run.machine.sleeps.empty());
}

struct FailureRow {
  const char* name;
  int start;
  const char* faultCall;  // the one call that fails with ERROR_ACCESS_DENIED
  DWORD deniedAccess;     // rights that opening the spooler refuses
  DWORD state;            // the spooler's state before the call
  const char* log;        // whole log; "<stop>" or "<start>" stand for the usual lines
  int result;
  friend void PrintTo(const FailureRow& row, std::ostream* os) { *os << row.name; }
};

class ControlSpoolerFailures : public ::testing::TestWithParam<FailureRow> {};

TEST_P(ControlSpoolerFailures, LogAndResult) {
  const FailureRow& row = GetParam();
  SpoolerRun run;
  run.machine.services.spooler().state = row.state;
  run.machine.services.spooler().deniedAccess = row.deniedAccess;
  if (row.faultCall != nullptr) run.machine.FailNext(row.faultCall, ERROR_ACCESS_DENIED);
  run.Control(row.start);
  EXPECT_EQ(run.Log(), row.log);
  EXPECT_EQ(run.result, row.result);
  EXPECT_EQ(run.machine.services.OpenHandles(), 0);
  EXPECT_EQ(run.machine.services.badHandleUses, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ControlSpoolerFailures,
    ::testing::Values(
        FailureRow{"NoManager", 0, "OpenSCManagerA", 0, SERVICE_RUNNING,
                   "ERROR: UNABLE TO OPEN SERVICE MANAGER\n", 1},
        FailureRow{"StopNotOpened", 0, nullptr, SERVICE_STOP, SERVICE_RUNNING,
                   "ERROR: COULDN'T OPEN SERVICE\nSERVICE_CLOSE handle\n", 1},
        FailureRow{"StopRefusedWhenStopped", 0, nullptr, 0, SERVICE_STOPPED,
                   "SERVICE_OPEN for stop\nERROR: COULDN'T STOP SERVICE\nSERVICE_CLOSE handle\n",
                   1},
        FailureRow{"StopQueryNotOpened", 0, nullptr, SERVICE_QUERY_STATUS, SERVICE_RUNNING,
                   "SERVICE_OPEN for stop\nSERVICE_STOP\nSERVICE_CLOSE\n"
                   "ERROR: COULDN'T OPEN SERVICE\n",
                   0},
        FailureRow{"StartNotOpened", 1, nullptr, SERVICE_START, SERVICE_STOPPED,
                   "ERROR: COULDN'T ACCESS SERVICE\n", 0},
        FailureRow{"StartRefusedWhenRunning", 1, nullptr, 0, SERVICE_RUNNING,
                   "SERVICE_OPEN for start\nERROR: COULDN'T START SERVICE\n"
                   "An instance of the service is already running.\r\n",
                   0},
        FailureRow{"StartQueryNotOpened", 1, nullptr, SERVICE_QUERY_STATUS, SERVICE_STOPPED,
                   "SERVICE_OPEN for start\nSERVICE_START\nSERVICE_CLOSE\n"
                   "ERROR: COULDN'T OPEN SERVICE\n",
                   0},
        FailureRow{"StopQueryFails", 0, "QueryServiceStatus", 0, SERVICE_RUNNING,
                   "SERVICE_OPEN for stop\nSERVICE_STOP\nSERVICE_CLOSE\nSERVICE_OPEN for query\n"
                   "Access is denied.\r\nSPOOLER SERVICE not yet STOPPED\n"
                   "SPOOLER SERVICE STOPPED\nSERVICE_CLOSE handle\n",
                   1},
        FailureRow{"StartQueryFails", 1, "QueryServiceStatus", 0, SERVICE_STOPPED,
                   "SERVICE_OPEN for start\nSERVICE_START\nSERVICE_CLOSE\nSERVICE_OPEN for query\n"
                   "Access is denied.\r\nSERVICE not yet STARTED\n"
                   "SPOOLER SERVICE STARTED\nSERVICE_CLOSE\nSERVICE_CLOSE handle\n",
                   1}),
    RowName);

TEST(ControlSpooler, WaitsArePacedAndGiveUpAfterAMinute) {
  SpoolerRun run;
  run.machine.services.spooler().pendingQueries = -1;  // never stops
  run.Control(0);
  EXPECT_EQ(run.result, 0);
  std::string log = run.Log();
  EXPECT_NE(log.find("SERVICE_OPEN for query\nSPOOLER SERVICE not yet STOPPED\n"),
            std::string::npos);
  EXPECT_TRUE(
      log.ends_with("SPOOLER SERVICE not yet STOPPED\n"
                    "ERROR: SPOOLER SERVICE DID NOT STOP IN TIME\n"));
  EXPECT_EQ(log.find("SPOOLER SERVICE STOPPED\n"), std::string::npos);
  int queries = run.machine.services.spooler().queries;
  EXPECT_GE(queries, 1150);  // 20 a second for 60 s
  EXPECT_LE(queries, 1202);
  for (DWORD pause : run.machine.sleeps) EXPECT_EQ(pause, 50u);
  EXPECT_EQ(run.machine.services.OpenHandles(), 0);

  SpoolerRun start;
  start.machine.services.spooler().state = SERVICE_STOPPED;
  start.machine.services.spooler().pendingQueries = -1;
  start.Control(1);
  EXPECT_EQ(start.result, 0);
  EXPECT_TRUE(start.Log().ends_with(
      "SERVICE not yet STARTED\nERROR: SPOOLER SERVICE DID NOT START IN TIME\n"
      "The service did not respond to the start or control request in a timely fashion.\r\n"));
}

TEST(ControlSpooler, InteractiveRunWritesNoLogButTheDebuggerStillHearsIt) {
  SpoolerRun run;
  run.Run("QVR 3417", "qvrmon.dll", FALSE, FALSE,
          [&](CSetupDlg& dlg) { run.result = dlg.ControlSpooler(0); });
  EXPECT_EQ(run.Log(), "<none>");
  EXPECT_EQ(run.machine.debugOutput, (std::vector<std::string>{"SPOOLER SERVICE not yet STOPPED\n",
                                                               "SPOOLER SERVICE STOPPED\n"}));
}

}  // namespace

namespace {

TEST(ControlSpooler, StopTakingTwoSecondsUsesAtMost45Queries) {
  SpoolerRun run;
  run.machine.services.spooler().pendingQueries = 0;
  run.machine.services.spooler().pendingMillis = 2000;
  run.Control(0);
  EXPECT_EQ(run.result, 1);
  EXPECT_LE(run.machine.services.spooler().queries, 45);
  EXPECT_GE(run.machine.services.spooler().queries, 40);
}

}  // namespace
