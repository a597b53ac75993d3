// The package folder may be writable by other users: links, device names and
// double-byte names planted there, and the error a report tells.
#include <gtest/gtest.h>

#include "engine/plain_file_name.h"
#include "engine_run.h"

namespace {

// ---------------------------------------------------------------- links

TEST(UntrustedFolder, LogHardLinkedToAnotherFileLeavesThatFileAlone) {
  EngineRun run;
  run.machine.PutFile("C:\\other\\victim.txt", "victim's bytes");
  run.machine.MakeHardLink("C:\\pkg\\QVR_Download.txt", "C:\\other\\victim.txt");
  run.Update();
  EXPECT_EQ(run.machine.FileContent("C:\\other\\victim.txt"), "victim's bytes");
  EXPECT_EQ(run.Log().rfind(kUpdateHead, 0), 0u);  // a fresh log of its own
  EXPECT_FALSE(std::filesystem::equivalent(run.machine.HostPath("C:\\pkg\\QVR_Download.txt"),
                                           run.machine.HostPath("C:\\other\\victim.txt")));
  EXPECT_EQ(run.machine.OpenHandles(), 0);
}

TEST(UntrustedFolder, LogThatIsASymbolicLinkIsReplacedAndItsTargetKept) {
  EngineRun run;
  run.machine.PutFile("C:\\other\\victim.txt", "victim's bytes");
  run.machine.MakeSymbolicLink("C:\\pkg\\QVR_Download.txt", "C:\\other\\victim.txt");
  run.Update();
  EXPECT_EQ(run.machine.FileContent("C:\\other\\victim.txt"), "victim's bytes");
  EXPECT_FALSE(std::filesystem::is_symlink(run.machine.HostPath("C:\\pkg\\QVR_Download.txt")));
  EXPECT_EQ(run.Log().rfind(kUpdateHead, 0), 0u);
}

TEST(UntrustedFolder, LogLinkThatCannotBeRemovedMeansNoLog) {
  EngineRun run;
  run.machine.PutFile("C:\\other\\victim.txt", "victim's bytes");
  run.machine.MakeHardLink("C:\\pkg\\QVR_Download.txt", "C:\\other\\victim.txt");
  run.machine.FailNext("DeleteFileA", ERROR_ACCESS_DENIED);
  run.Update();
  EXPECT_EQ(run.machine.FileContent("C:\\other\\victim.txt"), "victim's bytes");
  EXPECT_EQ(run.LogOpens(), 0u);                          // never opened for writing
  EXPECT_EQ(run.machine.devices.updateCalls.size(), 1u);  // the run went on
}

TEST(UntrustedFolder, BackupFolderThatIsALinkIsNotUsedAndTheMonitorStays) {
  EngineRun run;
  run.machine.MakeDirectory("C:\\elsewhere");
  run.machine.MakeSymbolicLink("C:\\pkg\\bak", "C:\\elsewhere");
  run.Update();
  EXPECT_FALSE(run.machine.Exists("C:\\elsewhere\\qvrmon.dll"));
  EXPECT_EQ(run.machine.FileContent("C:\\windows\\system32\\qvrmon.dll"), "monitor v1");
  EXPECT_NE(run.Log().find("Create Backup Directory\n"
                           "The file cannot be accessed by the system.\r\n"
                           "Language Monitor not deleted: no backup\n"
                           "Start Spooler\n"),
            std::string::npos);
  EXPECT_EQ(run.machine.services.spooler().state, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(run.machine.OpenHandles(), 0);
}

struct BackupLink {
  const char* name;
  bool symbolic;  // else a hard link
  friend void PrintTo(const BackupLink& row, std::ostream* os) { *os << row.name; }
};

class BackupFileLink : public ::testing::TestWithParam<BackupLink> {};

TEST_P(BackupFileLink, IsRemovedAndTheCopyWritesAFileOfItsOwn) {
  EngineRun run;
  run.machine.PutFile("C:\\other\\victim.dll", "victim's bytes");
  run.machine.MakeDirectory("C:\\pkg\\bak");
  if (GetParam().symbolic)
    run.machine.MakeSymbolicLink("C:\\pkg\\bak\\qvrmon.dll", "C:\\other\\victim.dll");
  else
    run.machine.MakeHardLink("C:\\pkg\\bak\\qvrmon.dll", "C:\\other\\victim.dll");
  run.Update();
  EXPECT_EQ(run.machine.FileContent("C:\\other\\victim.dll"), "victim's bytes");
  EXPECT_EQ(run.machine.FileContent("C:\\pkg\\bak\\qvrmon.dll"), "monitor v1");
  EXPECT_FALSE(std::filesystem::is_symlink(run.machine.HostPath("C:\\pkg\\bak\\qvrmon.dll")));
  EXPECT_FALSE(run.machine.Exists("C:\\windows\\system32\\qvrmon.dll"));
}

INSTANTIATE_TEST_SUITE_P(Kinds, BackupFileLink,
                         ::testing::Values(BackupLink{"HardLink", false},
                                           BackupLink{"SymbolicLink", true}),
                         RowName);

TEST(UntrustedFolder, EarlierBackupIsKeptWhenTheMonitorIsGone) {
  EngineRun run;
  run.machine.PutFile("C:\\pkg\\bak\\qvrmon.dll", "monitor v0");
  std::filesystem::remove(run.machine.HostPath("C:\\windows\\system32\\qvrmon.dll"));
  run.Update();
  EXPECT_EQ(run.machine.FileContent("C:\\pkg\\bak\\qvrmon.dll"), "monitor v0");
}

// A backup swapped for a link while the driver update runs never reaches
// system32: the printer is left without its monitor rather than with
// another user's file.
TEST_P(BackupFileLink, SwappedInDuringTheUpdateIsNotRestored) {
  EngineRun run;
  run.machine.PutFile("C:\\other\\planted.dll", "planted");
  run.machine.FailNext("UpdateDriverForPlugAndPlayDevicesA", ERROR_NO_SUCH_DEVINST);
  run.machine.devices.duringUpdate = [&] {
    std::filesystem::remove(run.machine.HostPath("C:\\pkg\\bak\\qvrmon.dll"));
    if (GetParam().symbolic)
      run.machine.MakeSymbolicLink("C:\\pkg\\bak\\qvrmon.dll", "C:\\other\\planted.dll");
    else
      run.machine.MakeHardLink("C:\\pkg\\bak\\qvrmon.dll", "C:\\other\\planted.dll");
  };
  run.Update();
  EXPECT_FALSE(run.machine.Exists("C:\\windows\\system32\\qvrmon.dll"));
  EXPECT_TRUE(run.Log().ends_with(
      "Language Monitor not restored\nThe next run of the setup finishes this Update.\n"));
  EXPECT_EQ(run.machine.services.spooler().state, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(run.machine.OpenHandles(), 0);
}

// ---------------------------------------------------------------- names

struct NameRow {
  const char* name;
  const char* monitor;
  unsigned codePage;
  bool plain;
  friend void PrintTo(const NameRow& row, std::ostream* os) { *os << row.name; }
};

class MonitorName : public ::testing::TestWithParam<NameRow> {};

TEST_P(MonitorName, PlainFileNamesOnly) {
  const NameRow& row = GetParam();
  EXPECT_EQ(IsPlainFileName(row.monitor, TableCodePage(row.codePage)), row.plain);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MonitorName,
    ::testing::Values(
        NameRow{"Plain", "qvrmon.dll", 1252, true}, NameRow{"Empty", "", 1252, false},
        NameRow{"Backslash", "..\\qvrmon.dll", 1252, false},
        NameRow{"Slash", "sub/qvrmon.dll", 1252, false},
        NameRow{"Colon", "qvrmon.dll:stream", 1252, false}, NameRow{"Dot", ".", 1252, false},
        NameRow{"DotDot", "..", 1252, false}, NameRow{"DotsAndBlanks", ". . .", 1252, false},
        NameRow{"Nul", "NUL", 1252, false}, NameRow{"NulLowerCase", "nul", 1252, false},
        NameRow{"ConWithExtension", "Con.dll", 1252, false},
        NameRow{"Com1WithExtension", "com1.dll", 1252, false}, NameRow{"Com9", "COM9", 1252, false},
        NameRow{"Lpt2", "LPT2", 1252, false}, NameRow{"PrnTrailingDots", "PRN...", 1252, false},
        NameRow{"AuxTrailingBlanks", "AUX  ", 1252, false},
        NameRow{"NulBlankBeforeExtension", "NUL .dll", 1252, false},
        NameRow{"Com0IsAFile", "COM0", 1252, true},
        NameRow{"Com10IsAFile", "COM10.dll", 1252, true},
        NameRow{"DeviceInsideAName", "nulmon.dll", 1252, true},
        NameRow{"ConsoleIsAFile", "console.dll", 1252, true},
        // 0x95 0x5C is one character in code page 932; its
        // second byte is no backslash.
        NameRow{"DoubleByteTrailBackslash", "\x95\x5Cmon.dll", 932, true},
        NameRow{"SameBytesSingleByte", "\x95\x5Cmon.dll", 1252, false},
        NameRow{"DoubleByteThenBackslash", "\x95\x5C\\mon.dll", 932, false},
        NameRow{"LoneLeadByteAtTheEnd", "mon.dll\x95", 932, true}),
    RowName);

class DeviceMonitor : public ::testing::TestWithParam<NameRow> {};

TEST_P(DeviceMonitor, IsRefusedBeforeTheSpoolerIsTouched) {
  EngineRun run;
  run.Update("QVR 3417", GetParam().monitor);
  EXPECT_EQ(
      run.Log(),
      "C:\\pkg\nC:\\pkg\\setup.inf\nKalbrix_ABQVR34170B7C\nCan't get Monitor resource text!\n");
  EXPECT_EQ(run.Icon(), static_cast<UINT>(IDI_STATE_ERROR));
  EXPECT_EQ(run.machine.services.spooler().stops, 0);
}

INSTANTIATE_TEST_SUITE_P(Names, DeviceMonitor,
                         ::testing::Values(NameRow{"Nul", "NUL", 1252, false},
                                           NameRow{"Com1", "com1.dll", 1252, false},
                                           NameRow{"Lpt2", "LPT2", 1252, false}),
                         RowName);

TEST(UntrustedFolder, DoubleByteMonitorNameWithTrailByte5CIsBackedUp) {
  EngineRun run;
  run.machine.codePage = TableCodePage(932);
  const std::string name = "\x95\x5Cmon.dll";  // 表mon.dll
  run.machine.PutFile("C:\\windows\\system32\\" + name, "monitor v1");
  run.Update("QVR 3417", name.c_str());
  EXPECT_EQ(run.machine.services.spooler().stops, 1);
  EXPECT_NE(run.Log().find("Copy Language Monitor to Backup Directory\n"), std::string::npos);
}

// ---------------------------------------------------------------- errors

// Closing handles succeeds and yet changes the last error, as Windows may:
// the report still tells the error of the call that failed.
TEST(FailingCallsError, SurvivesTheClosingOfTheServiceHandles) {
  EngineRun run;
  run.machine.SucceedWithError("CloseServiceHandle", ERROR_SUCCESS);
  run.machine.services.spooler().deniedAccess = SERVICE_QUERY_STATUS;
  run.Update();
  EXPECT_NE(run.Log().find("ERROR: COULDN'T OPEN SERVICE\nAccess is denied.\r\n"),
            std::string::npos);
}

TEST(FailingCallsError, SurvivesTheClosingOfTheQueryHandleInTheWait) {
  EngineRun run;
  run.machine.SucceedWithError("CloseServiceHandle", ERROR_SUCCESS);
  run.machine.FailNext("QueryServiceStatus", ERROR_ACCESS_DENIED);
  run.Update();
  EXPECT_NE(run.Log().find("SERVICE_OPEN for query\nAccess is denied.\r\n"), std::string::npos);
}

TEST(FailingCallsError, RefusedStartIsReportedTwiceWithItsOwnError) {
  EngineRun run;
  run.machine.SucceedWithError("CloseServiceHandle", ERROR_SUCCESS);
  run.machine.SucceedWithError("WriteFile", ERROR_SUCCESS);
  run.machine.FailNext("StartServiceA", ERROR_ACCESS_DENIED);
  run.Update();
  EXPECT_NE(run.Log().find("ERROR: COULDN'T START SERVICE\nAccess is denied.\r\n"
                           "Access is denied.\r\n"),
            std::string::npos);
}

TEST(FailingCallsError, ServiceManagerOpenedForStartButNotTheService) {
  EngineRun run;
  run.machine.SucceedWithError("CloseServiceHandle", ERROR_SUCCESS);
  run.machine.services.spooler().deniedAccess = SERVICE_START;
  run.Update();
  EXPECT_NE(run.Log().find("ERROR: COULDN'T ACCESS SERVICE\nAccess is denied.\r\n"),
            std::string::npos);
}

}  // namespace
