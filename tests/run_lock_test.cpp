#include <gtest/gtest.h>

#include "engine_run.h"

namespace {

constexpr char kRunMutex[] = "Global\\QVRSetupRun";

// Another run is in progress: a script's run ends at once, before it has
// read or written anything, and tells the script to try again later.
TEST(RunLock, ScriptedRunBesideAnotherEndsWith1618AndTouchesNothing) {
  for (DWORD refusal : {0u, static_cast<DWORD>(ERROR_ACCESS_DENIED)}) {
    SCOPED_TRACE(refusal == 0 ? "the other run owns the mutex" : "the mutex can't be opened");
    ScriptedRun run;
    run.machine.PutFile("C:\\pkg\\QVR_Download.txt", "the other run's log");
    if (refusal == 0)
      run.machine.others.OwnMutex(kRunMutex);
    else
      run.machine.FailNext("CreateMutexA", refusal);
    run.Start(kScripted);
    EXPECT_EQ(run.ExitCode(), 1618);
    std::vector<std::string> expected = {"IsWow64Process2", "CreateMutexA"};
    if (refusal == 0) {
      expected.push_back("WaitForSingleObject(mutex)");
      expected.push_back("CloseHandle(mutex)");
    }
    EXPECT_EQ(run.machine.calls, expected);
    EXPECT_EQ(run.session.lastDialog, nullptr);
    EXPECT_EQ(run.Log(), "the other run's log");
    EXPECT_EQ(run.machine.services.spooler().stops, 0);
    EXPECT_EQ(run.machine.others.OpenHandles(), 0);
  }
}

// An operator who starts the program again gets the open dialog in front,
// restored if it was minimised, and no second one.
TEST(RunLock, SecondInteractiveStartBringsTheOpenDialogToTheFront) {
  for (const char* arguments : {"", "setup.inf", "setup.inf   "}) {
    SCOPED_TRACE(std::string("arguments: ") + arguments);
    ScriptedRun run;
    run.machine.others.OwnMutex(kRunMutex);
    run.machine.others.AddWindow({"#32770", "Error", true, false});
    HWND open = run.machine.others.AddWindow({"#32770", "QVR Driver Setup", true, true});
    run.Start(arguments);
    EXPECT_EQ(run.ExitCode(), 0);
    EXPECT_EQ(run.machine.others.foreground, open);
    EXPECT_FALSE(run.machine.others.WindowOf(open).iconic);
    EXPECT_EQ(run.session.lastDialog, nullptr);
    EXPECT_EQ(std::count(run.machine.calls.begin(), run.machine.calls.end(), "FindFirstFileA"), 0);
  }
}

// The other run's dialog may not exist (it shows its error dialog) or not
// be shown (an unattended run's dialog never is): nothing to bring forward.
TEST(RunLock, SecondInteractiveStartWithoutAShownDialogJustEnds) {
  ScriptedRun run;
  run.machine.others.OwnMutex(kRunMutex);
  run.machine.others.AddWindow({"#32770", "QVR Driver Setup", false, false});
  run.Start("setup.inf");
  EXPECT_EQ(run.ExitCode(), 0);
  EXPECT_EQ(run.machine.others.foreground, nullptr);
  EXPECT_EQ(run.session.lastDialog, nullptr);
}

// The mutex is held for the whole run, taken before the first file or
// registry access, and released at the end; a crashed run's mutex is
// taken over.
TEST(RunLock, HeldFromBeforeTheFirstReadUntilTheRunEnds) {
  for (bool abandoned : {false, true}) {
    SCOPED_TRACE(abandoned ? "taken over from a crashed run" : "free");
    ScriptedRun run;
    if (abandoned) run.machine.others.AbandonMutex(kRunMutex);
    bool heldDuringUpdate = false;
    run.machine.devices.duringUpdate = [&] {
      heldDuringUpdate = run.machine.others.OwnedByProgram(kRunMutex);
    };
    run.Start(kScripted);
    EXPECT_EQ(run.ExitCode(), 0);
    EXPECT_TRUE(heldDuringUpdate);
    EXPECT_EQ(run.machine.others.mutexNames, std::vector<std::string>{kRunMutex});
    ASSERT_GE(run.machine.calls.size(), 3u);
    EXPECT_EQ(run.machine.calls[1], "CreateMutexA");
    EXPECT_EQ(run.machine.calls[2], "WaitForSingleObject(mutex)");
    EXPECT_FALSE(run.machine.others.OwnedByProgram(kRunMutex));
    EXPECT_EQ(run.machine.others.OpenHandles(), 0);
    EXPECT_EQ(run.machine.devices.updateCalls.size(), 1u);
  }
}

// The 32-bit program that hands over holds no mutex, so that the 64-bit
// one can take it, and passes its status on unchanged.
TEST(RunLock, HandOverLeavesTheMutexToThe64BitProgram) {
  for (DWORD childStatus : {0u, 1u, 1618u, 3010u}) {
    SimRun run;
    run.machine.wow64 = TRUE;
    run.machine.PutFile("C:\\pkg\\qvrsetup64.exe", "MZ");
    run.machine.exitCodes["C:\\PKG\\QVRSETUP64.EXE"] = childStatus;
    run.machine.binaryTypes["C:\\PKG\\QVRSETUP64.EXE"] = SCS_64BIT_BINARY;
    run.Start(kScripted);
    EXPECT_EQ(run.app.m_nExitCode, static_cast<int>(childStatus));
    EXPECT_TRUE(run.machine.others.mutexNames.empty());
  }
}

}  // namespace
