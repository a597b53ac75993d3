#include <gtest/gtest.h>

#include "engine/trusted_copy.h"
#include "engine/update_journal.h"
#include "engine_run.h"

namespace {

const std::string kBackupAndRestart =
    "Create Backup Directory\n"
    "Copy Language Monitor to Backup Directory\n"
    "Delete Language Monitor\n"
    "Start Spooler\n";

std::string CompletedLog(const std::string& backupText) {
  return kUpdateHead + StopLines() + kBackupAndRestart + StartLines() +
         "Language Monitor backup: " + backupText + "Update Driver\nDriver update completed.";
}

void ExpectButtonsDisabled() {
  EXPECT_FALSE(headless::LastControl(IDC_INSTALL).enabled);
  EXPECT_FALSE(headless::LastControl(IDC_UPDATE).enabled);
}

TEST(Update, UnattendedRunBacksUpRemovesRestartsStartsTheToolAndUpdates) {
  EngineRun run;
  run.Update();
  EXPECT_EQ(run.Log(), CompletedLog("The operation completed successfully.\r\n"));
  EXPECT_EQ(run.machine.FileContent("C:\\pkg\\bak\\qvrmon.dll"), "monitor v1");
  EXPECT_FALSE(run.machine.Exists("C:\\windows\\system32\\qvrmon.dll"));
  EXPECT_EQ(run.machine.services.spooler().state, static_cast<DWORD>(SERVICE_RUNNING));
  ASSERT_EQ(run.machine.started.size(), 1u);
  EXPECT_EQ(run.machine.started[0].program, "C:\\pkg\\KillLogoTestingWarnings.exe");
  EXPECT_EQ(run.machine.started[0].argv, std::vector<std::string>{"//NOLOGO"});
  ASSERT_EQ(run.machine.devices.updateCalls.size(), 1u);
  const auto& call = run.machine.devices.updateCalls[0];
  EXPECT_EQ(call.hardwareId, "Kalbrix_ABQVR34170B7C");
  EXPECT_EQ(call.infPath, "C:\\pkg\\setup.inf");
  EXPECT_EQ(call.flags, static_cast<DWORD>(INSTALLFLAG_FORCE));
  EXPECT_NE(call.parent, nullptr);
  EXPECT_TRUE(call.rebootFlagGiven);  // an unattended run never leaves a restart prompt
  EXPECT_EQ(run.machine.devices.restartPrompts, 0);
  EXPECT_EQ(run.machine.sleeps, std::vector<DWORD>{3000});
  EXPECT_EQ(run.status, "Driver update completed.");
  EXPECT_EQ(run.Icon(), static_cast<UINT>(IDI_STATE_DONE));
  EXPECT_EQ(run.exitCode, 0u);
  ExpectButtonsDisabled();
  EXPECT_TRUE(run.session.messageBoxes.empty());
  EXPECT_EQ(run.machine.OpenHandles(), 0);
  EXPECT_EQ(run.machine.OpenAllocations(), 0);
  EXPECT_EQ(run.machine.services.OpenHandles(), 0);
}

TEST(Update, SecondRunFindsTheBackupFolderAndOverwritesTheBackup) {
  EngineRun run;
  run.machine.PutFile("C:\\pkg\\bak\\qvrmon.dll", "older backup");
  run.Update();
  // The folder's existence is the last error the status line reports.
  EXPECT_EQ(run.Log(), CompletedLog("Cannot create a file when that file already exists.\r\n"));
  EXPECT_EQ(run.machine.FileContent("C:\\pkg\\bak\\qvrmon.dll"), "monitor v1");
}

TEST(Update, InteractiveRunWritesNoLogAndKeepsTheRestartQuestionWithThePlatform) {
  EngineRun run;
  run.machine.PutFile("C:\\pkg\\QVR_Download.txt", "kept");
  run.Update("QVR 3417", "qvrmon.dll", FALSE, FALSE);
  EXPECT_EQ(run.Log(), "kept");
  EXPECT_FALSE(run.machine.devices.updateCalls.at(0).rebootFlagGiven);
  EXPECT_EQ(run.machine.devices.updateCalls.at(0).flags, static_cast<DWORD>(INSTALLFLAG_FORCE));
  EXPECT_TRUE(run.machine.started.empty());  // no SILENT, no tool
  EXPECT_TRUE(run.session.messageBoxes.empty());
  EXPECT_EQ(run.status, "Driver update completed.");
}

struct EarlyStop {
  const char* name;
  const char* model;
  const char* monitor;
  const char* log;                    // the whole log
  UINT icon;                          // 0: the icon stays as it was
  const char* failingCall = nullptr;  // fails with ERROR_ACCESS_DENIED
  friend void PrintTo(const EarlyStop& row, std::ostream* os) { *os << row.name; }
};

class UpdateStopsEarly : public ::testing::TestWithParam<EarlyStop> {};

TEST_P(UpdateStopsEarly, BeforeTheSpoolerIsTouched) {
  const EarlyStop& c = GetParam();
  EngineRun run;
  if (c.failingCall != nullptr) run.machine.FailNext(c.failingCall, ERROR_ACCESS_DENIED);
  run.Update(c.model, c.monitor);
  EXPECT_EQ(run.Log(), c.log);
  EXPECT_FALSE(run.machine.registry.HasKey(QVR_JOURNAL_KEY));
  if (c.icon == 0) {
    EXPECT_TRUE(run.IconUnchanged());
  } else {
    EXPECT_EQ(run.Icon(), c.icon);
  }
  EXPECT_EQ(run.machine.services.spooler().stops, 0);
  EXPECT_TRUE(run.machine.Exists("C:\\windows\\system32\\qvrmon.dll"));
  EXPECT_FALSE(run.machine.Exists("C:\\pkg\\bak"));
  EXPECT_TRUE(run.machine.devices.updateCalls.empty());
  EXPECT_EQ(run.exitCode, 1u);
  ExpectButtonsDisabled();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UpdateStopsEarly,
    ::testing::Values(EarlyStop{"NoGroupDigit", "QVR Presenter", "qvrmon.dll",
                                "C:\\pkg\nC:\\pkg\\setup.inf\nCan't get HW ID resource text!\n", 0},
                      EarlyStop{"EmptyMonitorEntry", "QVR 3417", "",
                                "C:\\pkg\nC:\\pkg\\setup.inf\nKalbrix_ABQVR34170B7C\n"
                                "Can't get Monitor resource text!\n",
                                IDI_STATE_ERROR},
                      // A monitor name must be a bare file name: nothing outside system32
                      // and the backup folder may be copied or deleted.
                      EarlyStop{"MonitorNameWithBackslash", "QVR 3417", "..\\win.ini",
                                "C:\\pkg\nC:\\pkg\\setup.inf\nKalbrix_ABQVR34170B7C\n"
                                "Can't get Monitor resource text!\n",
                                IDI_STATE_ERROR},
                      EarlyStop{"MonitorNameWithSlash", "QVR 3417", "drivers/x.dll",
                                "C:\\pkg\nC:\\pkg\\setup.inf\nKalbrix_ABQVR34170B7C\n"
                                "Can't get Monitor resource text!\n",
                                IDI_STATE_ERROR},
                      EarlyStop{"MonitorNameWithDrive", "QVR 3417", "D:x.dll",
                                "C:\\pkg\nC:\\pkg\\setup.inf\nKalbrix_ABQVR34170B7C\n"
                                "Can't get Monitor resource text!\n",
                                IDI_STATE_ERROR},
                      EarlyStop{"MonitorNameDotDot", "QVR 3417", "..",
                                "C:\\pkg\nC:\\pkg\\setup.inf\nKalbrix_ABQVR34170B7C\n"
                                "Can't get Monitor resource text!\n",
                                IDI_STATE_ERROR},
                      // Nothing breaks the machine before the Update is recorded.
                      EarlyStop{
                          "JournalNotWritten", "QVR 3417", "qvrmon.dll",
                          "C:\\pkg\nC:\\pkg\\setup.inf\nKalbrix_ABQVR34170B7C\nqvrmon.dll\n"
                          "C:\\pkg\\qvrmon.dll\nC:\\pkg\\bak\nC:\\windows\\system32\\qvrmon.dll\n"
                          "Access is denied.\r\nCan't record the pending Update!\n",
                          IDI_STATE_ERROR, "RegSetValueExA"}),
    RowName);

TEST(Update, NoModelGroupDigitStopsBeforeTheStatusLineChanges) {
  EngineRun run;
  run.Update("QVR Presenter", "qvrmon.dll", FALSE, FALSE);
  ASSERT_EQ(run.session.messageBoxes.size(), 1u);
  EXPECT_EQ(run.session.messageBoxes[0].text, "Can't get HW ID resource text!");
  EXPECT_EQ(run.session.messageBoxes[0].caption, "");
  EXPECT_EQ(run.status, "");
}

TEST(Update, UnreadableWindowsDirectoryStopsBeforeTheSpooler) {
  EngineRun run;
  run.machine.FailNext("GetWindowsDirectoryA", ERROR_ACCESS_DENIED);  // read as the dialog opens
  run.Update();
  EXPECT_TRUE(run.Log().ends_with("C:\\pkg\\bak\nCan't get pSystemDirectory name!\n"));
  EXPECT_EQ(run.machine.services.spooler().stops, 0);
  EXPECT_EQ(run.status, "Updating the driver files.");
}

// Only the trusted copy decides whether the monitor goes: a `bak` that
// can't be made is reported and changes nothing else, and a trusted folder
// that was there already counts only if nobody but SYSTEM and
// Administrators can change it.
struct CopyRow {
  const char* name;
  const char* security;  // of a trusted folder that is there already, or a link for it
  const char* lines;     // the log's lines, from the backup on
  bool monitorKept;
  friend void PrintTo(const CopyRow& row, std::ostream* os) { *os << row.name; }
};

class MonitorCopies : public ::testing::TestWithParam<CopyRow> {};

TEST_P(MonitorCopies, OnlyTheTrustedCopyLetsTheMonitorGo) {
  const CopyRow& row = GetParam();
  EngineRun run;
  const std::string folder = "C:\\ProgramData\\QVR\\Driver Setup\\Backup";
  if (row.security == nullptr) {
    run.machine.FailNext("CreateDirectoryA", ERROR_ACCESS_DENIED);
  } else if (std::string(row.security) == "link") {
    run.machine.MakeDirectory("C:\\elsewhere");
    run.machine.MakeSymbolicLink(folder, "C:\\elsewhere");
  } else {
    run.machine.MakeDirectory(folder);
    run.machine.securityOf["C:\\PROGRAMDATA\\QVR\\DRIVER SETUP\\BACKUP"] = row.security;
  }
  run.Update();
  EXPECT_NE(run.Log().find(row.lines), std::string::npos) << run.Log();
  EXPECT_EQ(run.machine.FileContent("C:\\windows\\system32\\qvrmon.dll").has_value(),
            row.monitorKept);
  EXPECT_EQ(run.machine.sleeps.empty(), row.monitorKept);
  EXPECT_FALSE(run.machine.Exists("C:\\elsewhere\\qvrmon.dll"));
}

const char kNotSafe[] =
    "Copy Language Monitor to Backup Directory\n"
    "Language Monitor not deleted: the backup folder is not safe\nStart Spooler\n";

INSTANTIATE_TEST_SUITE_P(
    Table, MonitorCopies,
    ::testing::Values(
        CopyRow{"BakNotMade", nullptr,
                "Create Backup Directory\nAccess is denied.\r\nDelete Language Monitor\n", false},
        CopyRow{"FolderOfAnotherOwner",
                "O:S-1-5-21-7-7-7-1001G:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", kNotSafe, true},
        CopyRow{"FolderThatUsersCanWrite",
                "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)", kNotSafe, true},
        CopyRow{"FolderThatIsALink", "link", kNotSafe, true},
        CopyRow{"FolderOfAdministrators",
                "O:BAG:SYD:PAI(D;OICI;WD;;;BU)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;BU)",
                "Delete Language Monitor\n", false}),
    RowName);

// Where the system makes up every descriptor, the trusted folders that an
// earlier Update made still count, by the note that it left; a folder
// that somebody else made does not.
TEST(Update, OwnTrustedFoldersCountWhereTheSystemMakesUpTheirSecurity) {
  EngineRun run;
  run.machine.madeUpSecurity =
      "O:S-1-5-21-0-0-0-1000D:(A;OICI;FA;;;SY)(A;OICI;FA;;;S-1-5-21-0-0-0-1000)";
  for (const char* monitor : {"qvrmon.dll", "qvrmon2.dll"}) {
    run.machine.PutFile(std::string("C:\\windows\\system32\\") + monitor, "monitor v1");
    run.Update("QVR 3417", monitor);
    EXPECT_FALSE(run.machine.Exists(std::string("C:\\windows\\system32\\") + monitor)) << run.Log();
  }
  run.machine.registry.RegDeleteKeyExA(HKEY_LOCAL_MACHINE, QVR_TRUSTED_FOLDERS_KEY, KEY_WOW64_64KEY,
                                       0);
  run.machine.PutFile("C:\\windows\\system32\\qvrmon.dll", "monitor v1");
  run.Update();
  EXPECT_NE(run.Log().find(kNotSafe), std::string::npos) << run.Log();
}

// Neither a failed backup nor a journal that can't name the backup lets the
// monitor go.
TEST(Update, FailedCopyKeepsTheMonitorInstalled) {
  for (bool journal : {false, true}) {
    SCOPED_TRACE(journal ? "the journal's step not written" : "the copy fails");
    EngineRun run;
    if (journal) {
      // The journal itself, and the notes of the three trusted folders.
      run.machine.PassNext("RegSetValueExA", 7);
      run.machine.FailNext("RegSetValueExA", ERROR_ACCESS_DENIED);
    } else {
      run.machine.FailNext("MoveFileExA", 112);  // ERROR_DISK_FULL, the trusted copy
      run.machine.messageTexts[112] = "There is not enough space on the disk.\r\n";
    }
    run.Update();
    EXPECT_NE(run.Log().find(journal ? "Copy Language Monitor to Backup Directory\n"
                                       "Access is denied.\r\n"
                                       "Language Monitor not deleted: not recorded\nStart Spooler\n"
                                     : "Copy Language Monitor to Backup Directory\n"
                                       "There is not enough space on the disk.\r\n"
                                       "Language Monitor not deleted: no backup\nStart Spooler\n"),
              std::string::npos)
        << run.Log();
    EXPECT_EQ(run.machine.FileContent("C:\\windows\\system32\\qvrmon.dll"), "monitor v1");
    EXPECT_EQ(run.machine.services.spooler().state, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_FALSE(run.machine.registry.HasKey(QVR_JOURNAL_KEY));
  }
}

TEST(Update, MonitorMissingInSystem32IsReportedAndTheRunGoesOn) {
  EngineRun run;
  std::filesystem::remove(run.machine.HostPath("C:\\windows\\system32\\qvrmon.dll"));
  run.Update();
  EXPECT_NE(run.Log().find("Copy Language Monitor to Backup Directory\n"
                           "The system cannot find the file specified.\r\n"
                           "Language Monitor not deleted: no backup\nStart Spooler\n"),
            std::string::npos);
  EXPECT_TRUE(run.Log().ends_with("Update Driver\nDriver update completed."));
  EXPECT_EQ(run.Icon(), static_cast<UINT>(IDI_STATE_DONE));
}

TEST(Update, FailedDeletionIsReportedWithTheRedCrossThatTheCheckMarkReplaces) {
  EngineRun run;
  run.machine.FailNext("DeleteFileA", ERROR_ACCESS_DENIED);
  run.Update();
  EXPECT_NE(run.Log().find("Delete Language Monitor\nAccess is denied.\r\nStart Spooler\n"),
            std::string::npos);
  EXPECT_EQ(run.Icon(), static_cast<UINT>(IDI_STATE_DONE));
  EXPECT_EQ(run.machine.FileContent("C:\\pkg\\bak\\qvrmon.dll"), "monitor v1");
}

TEST(Update, SpoolerThatCannotBeStoppedSkipsBackupDeletionAndRestartButStillUpdates) {
  EngineRun run;
  run.machine.services.spooler().deniedAccess = SERVICE_QUERY_STATUS;
  run.Update();
  EXPECT_EQ(run.Log(), kUpdateHead +
                           "SERVICE_OPEN for stop\nSERVICE_STOP\nSERVICE_CLOSE\n"
                           "ERROR: COULDN'T OPEN SERVICE\n"
                           "Access is denied.\r\n"
                           "Update Driver\nDriver update completed.\n"
                           "The next run of the setup finishes this Update.\n");
  EXPECT_EQ(run.machine.FileContent("C:\\windows\\system32\\qvrmon.dll"), "monitor v1");
  EXPECT_EQ(run.machine.started.size(), 1u);
}

TEST(Update, SpoolerThatNeverStopsIsLeftAfterAMinuteAndNothingIsDeleted) {
  EngineRun run;
  run.machine.services.spooler().pendingQueries = -1;
  run.Update();
  std::string log = run.Log();
  EXPECT_NE(log.find("ERROR: SPOOLER SERVICE DID NOT STOP IN TIME\n"
                     "The service did not respond to the start or control request in a timely "
                     "fashion.\r\nUpdate Driver\n"),
            std::string::npos);
  EXPECT_EQ(log.find("Create Backup Directory"), std::string::npos);
  EXPECT_EQ(run.machine.FileContent("C:\\windows\\system32\\qvrmon.dll"), "monitor v1");
  EXPECT_EQ(run.machine.services.OpenHandles(), 0);
}

TEST(Update, RefusedStartGivesTwoReportsAndTheCheckMark) {
  EngineRun run;
  run.machine.FailNext("StartServiceA", ERROR_ACCESS_DENIED);
  run.Update("QVR 3417", "qvrmon.dll", FALSE, FALSE);
  ASSERT_EQ(run.session.messageBoxes.size(), 2u);
  for (const auto& box : run.session.messageBoxes) {
    EXPECT_EQ(box.caption, "Last Error");
    EXPECT_EQ(box.text, "Access is denied.\r\n");
  }
  EXPECT_EQ(run.Icon(), static_cast<UINT>(IDI_STATE_DONE));
}

TEST(Update, SideTool) {
  EngineRun missing;
  std::filesystem::remove(missing.machine.HostPath("C:\\pkg\\KillLogoTestingWarnings.exe"));
  missing.Update();
  EXPECT_NE(missing.Log().find("Error runing script: errno = 2\nUpdate Driver\n"),
            std::string::npos);
  EXPECT_EQ(missing.machine.debugOutput.back(), "Error runing script: errno = 2\n");
  EXPECT_EQ(missing.exitCode, 0u);

  // SILENT without a printer name: interactive, but the tool still starts.
  EngineRun interactive;
  interactive.Update("QVR 3417", "qvrmon.dll", FALSE, TRUE);
  EXPECT_EQ(interactive.machine.started.size(), 1u);
}

// What a failed driver update adds: the monitor put back from the backup,
// and the spooler restarted so that it loads it.
const std::string kRestoreLines = "Restore Language Monitor from Backup Directory\nStop Spooler\n" +
                                  StopLines() + "Start Spooler\n" + StartLines() +
                                  "Language Monitor restored\n";

struct Outcome {
  const char* name;
  DWORD error;  // 0xFFFFFFFF: the update succeeds
  bool restart;
  const char* logEnd;
  UINT icon;
  DWORD exitCode;
  bool restores;  // the monitor goes back to system32
  // Without SILENT the installer may show nothing: no tool answers it.
  BOOL silent = TRUE;
  friend void PrintTo(const Outcome& row, std::ostream* os) { *os << row.name; }
};

class DriverUpdateOutcome : public ::testing::TestWithParam<Outcome> {};

TEST_P(DriverUpdateOutcome, ReportIconAndExitStatus) {
  const Outcome& c = GetParam();
  EngineRun run;
  auto& device = *run.machine.devices.FindDevice("Kalbrix_ABQVR34170B7C");
  device.needsRestart = c.restart;
  if (c.error != 0xFFFFFFFFu) run.machine.FailNext("UpdateDriverForPlugAndPlayDevicesA", c.error);
  run.Update("QVR 3417", "qvrmon.dll", TRUE, c.silent);
  EXPECT_EQ(run.machine.devices.updateCalls.at(0).flags,
            c.silent ? 1u : static_cast<DWORD>(INSTALLFLAG_FORCE | INSTALLFLAG_NONINTERACTIVE));
  // The outcome text ends no line; what follows it begins a new one.
  const std::string lineEnd = std::string(c.logEnd).ends_with("\n") ? "" : "\n";
  EXPECT_TRUE(run.Log().ends_with(std::string("Update Driver\n") + c.logEnd +
                                  (c.restores ? lineEnd + kRestoreLines : "")))
      << run.Log();
  EXPECT_EQ(run.Icon(), c.icon);
  EXPECT_EQ(run.exitCode, c.exitCode);
  // The backup stays in any case; only a failed update brings the monitor back.
  EXPECT_EQ(run.machine.FileContent("C:\\pkg\\bak\\qvrmon.dll"), "monitor v1");
  EXPECT_EQ(run.machine.FileContent("C:\\windows\\system32\\qvrmon.dll"),
            c.restores ? std::optional<std::string>("monitor v1") : std::nullopt);
  EXPECT_EQ(run.machine.services.spooler().state, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(run.machine.services.spooler().starts, c.restores ? 2 : 1);
  // A failed update leaves the status line as the backup step set it.
  const char* expectedStatus =
      c.error == 0xFFFFFFFFu ? "Driver update completed." : "Language Monitor backup: ";
  EXPECT_EQ(run.status.rfind(expectedStatus, 0), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DriverUpdateOutcome,
    ::testing::Values(
        Outcome{"Completed", 0xFFFFFFFFu, false, "Driver update completed.", IDI_STATE_DONE, 0,
                false},
        Outcome{"CompletedNeedsRestart", 0xFFFFFFFFu, true,
                "Driver update completed.\nA restart is required to complete the driver update.\n",
                IDI_STATE_DONE, 3010, false},
        Outcome{"InfMissing", ERROR_FILE_NOT_FOUND, false,
                "The path specified for FullInfPath does not exist.", IDI_STATE_ERROR, 1, true},
        Outcome{"BadFlags", ERROR_INVALID_FLAGS, false,
                "The value specified for InstallFlags is invalid.", IDI_STATE_ERROR, 1, true},
        Outcome{"NotPluggedIn", ERROR_NO_SUCH_DEVINST, false,
                "The value specified for HardwareId does not match any device on the system. "
                "That is, the device is not plugged in.",
                IDI_STATE_ERROR, 1, true},
        Outcome{"NotBetter", 0, false,
                "The routine found a match for the HardwareId value, but the specified driver "
                "was not better than the current driver and the caller did not specify the "
                "INSTALLFLAG_FORCE flag.",
                IDI_STATE_DONE, 0, true, FALSE},
        Outcome{"OtherError", ERROR_ACCESS_DENIED, false, "Access is denied.\r\n", IDI_STATE_DONE,
                1, true}),
    RowName);

TEST(Update, PrinterNotConnected) {
  EngineRun run;
  run.machine.devices.Unplug("Kalbrix_ABQVR34170B7C");
  run.Update();
  EXPECT_TRUE(run.Log().ends_with("That is, the device is not plugged in.\n" + kRestoreLines));
  EXPECT_EQ(run.Icon(), static_cast<UINT>(IDI_STATE_ERROR));
  EXPECT_EQ(run.status, "Language Monitor backup: The operation completed successfully.\r\n");
}

TEST(Update, Wow64RefusesBeforeTouchingAnything) {
  EngineRun run;
  run.machine.wow64 = TRUE;
  run.Update();
  EXPECT_EQ(run.Log(), "The 32-bit setup can't update drivers on 64-bit Windows!\n");
  EXPECT_EQ(run.Icon(), static_cast<UINT>(IDI_STATE_ERROR));
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(run.machine.services.spooler().stops, 0);
  EXPECT_TRUE(run.machine.started.empty());
  EXPECT_TRUE(run.machine.devices.updateCalls.empty());
  EXPECT_EQ(run.machine.FileContent("C:\\windows\\system32\\qvrmon.dll"), "monitor v1");
  ExpectButtonsDisabled();
}

TEST(Install, CopiesTheInfIntoTheStoreAndShowsWhereTheDriverFilesLie) {
  EngineRun run;
  run.Install();
  ASSERT_EQ(run.machine.devices.copyCalls.size(), 1u);
  const auto& call = run.machine.devices.copyCalls[0];
  EXPECT_EQ(call.source, "C:\\pkg\\setup.inf");
  EXPECT_EQ(call.media, "C:\\pkg");
  EXPECT_EQ(call.mediaType, static_cast<DWORD>(SPOST_PATH));
  EXPECT_EQ(call.style, 0x20000u);
  EXPECT_EQ(call.destinationSize, kPathBytes);
  EXPECT_TRUE(call.destination && call.requiredSize && call.component);
  EXPECT_EQ(run.machine.devices.storedInfs.size(), 1u);
  EXPECT_EQ(run.Log(), "");  // success writes nothing
  EXPECT_EQ(run.status, "Operation completed.");
  EXPECT_EQ(headless::LastControl(IDC_RESULT).text,
            "The INF file was copied and the driver files are  stored in the following "
            "directory: C:\\pkg");
  EXPECT_EQ(run.Icon(), static_cast<UINT>(IDI_STATE_DONE));
  EXPECT_EQ(run.exitCode, 0u);
  ExpectButtonsDisabled();
}

TEST(Install, RejectedInfIsReportedOnceAndLeavesTheStatusLine) {
  EngineRun run;
  run.machine.FailNext("SetupCopyOEMInfA", ERROR_ACCESS_DENIED);
  run.Install(FALSE);
  ASSERT_EQ(run.session.messageBoxes.size(), 1u);
  EXPECT_EQ(run.session.messageBoxes[0].caption, "Last Error");
  EXPECT_EQ(run.status, "Copying the INF file.");
  EXPECT_EQ(headless::LastControl(IDC_RESULT).text, "");
  EXPECT_TRUE(run.IconUnchanged());
  ExpectButtonsDisabled();
}

TEST(Install, UnattendedFailuresGoToTheLogAndFailTheRun) {
  EngineRun copy;
  copy.machine.FailNext("SetupCopyOEMInfA", ERROR_ACCESS_DENIED);
  copy.Install();
  EXPECT_EQ(copy.Log(), "Access is denied.\r\n");
  EXPECT_EQ(copy.exitCode, 1u);

  EngineRun directory;
  directory.machine.FailNext("GetCurrentDirectoryA", ERROR_ACCESS_DENIED);  // as the dialog opens
  directory.Run("QVR 9", "", TRUE, FALSE, [&](CSetupDlg& dlg) {
    dlg.m_btnInstall.EnableWindow(TRUE);
    dlg.OnInstall();
  });
  EXPECT_EQ(directory.Log(), "Can't get current directory!");
  EXPECT_EQ(directory.Icon(), static_cast<UINT>(IDI_STATE_ERROR));
  EXPECT_EQ(directory.exitCode, 1u);
  EXPECT_TRUE(headless::LastControl(IDC_INSTALL).enabled);  // the user may try again
}

}  // namespace

namespace {

// A failed driver update puts the monitor back, but never over one that is
// there again by now, and a copy-back that fails is reported while the
// spooler still restarts.
TEST(Update, FailedUpdateLeavesANewerMonitorInSystem32) {
  EngineRun run;
  run.machine.FailNext("UpdateDriverForPlugAndPlayDevicesA", ERROR_NO_SUCH_DEVINST);
  run.machine.devices.duringUpdate = [&] {
    run.machine.PutFile("C:\\windows\\system32\\qvrmon.dll", "monitor v3");
  };
  run.Update();
  EXPECT_TRUE(run.Log().ends_with(
      "That is, the device is not plugged in.\nRestore Language Monitor from Backup Directory\n"
      "Stop Spooler\n" +
      StopLines() + "Start Spooler\n" + StartLines() + "Language Monitor already in place\n"));
  EXPECT_EQ(run.machine.FileContent("C:\\windows\\system32\\qvrmon.dll"), "monitor v3");
  EXPECT_EQ(run.exitCode, 1u);
}

TEST(Update, FailedCopyBackIsReportedAndTheSpoolerStillRestarts) {
  EngineRun run;
  run.machine.FailNext("UpdateDriverForPlugAndPlayDevicesA", ERROR_NO_SUCH_DEVINST);
  run.machine.PassNext("MoveFileExA", 1);  // the trusted copy
  run.machine.FailNext("MoveFileExA", 112);
  run.machine.messageTexts[112] = "There is not enough space on the disk.\r\n";
  run.Update();
  EXPECT_TRUE(run.Log().ends_with(
      "Restore Language Monitor from Backup Directory\nThere is not enough space on the disk.\r\n"
      "Stop Spooler\n" +
      StopLines() + "Start Spooler\n" + StartLines() +
      "Language Monitor not restored\nThe next run of the setup finishes this Update.\n"));
  EXPECT_EQ(run.machine.services.spooler().starts, 2);
  EXPECT_EQ(run.machine.services.spooler().state, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(run.machine.FileContent("C:\\pkg\\bak\\qvrmon.dll"), "monitor v1");
  EXPECT_EQ(run.exitCode, 1u);
}

// Interactively the restore is told in a box of its own, after the outcome.
TEST(Update, InteractiveRestoreIsReportedInABox) {
  EngineRun run;
  run.machine.devices.Unplug("Kalbrix_ABQVR34170B7C");
  run.Update("QVR 3417", "qvrmon.dll", FALSE, FALSE);
  ASSERT_EQ(run.session.messageBoxes.size(), 2u);
  EXPECT_NE(run.session.messageBoxes[0].text.find("not plugged in"), std::string::npos);
  EXPECT_EQ(run.session.messageBoxes[1].text, "Language Monitor restored");
  EXPECT_EQ(run.machine.FileContent("C:\\windows\\system32\\qvrmon.dll"), "monitor v1");
}

// Only a monitor that this run deleted is put back.
TEST(Update, MonitorThatWasNotDeletedIsNotRestored) {
  EngineRun run;
  run.machine.FailNext("DeleteFileA", ERROR_ACCESS_DENIED);
  run.machine.FailNext("UpdateDriverForPlugAndPlayDevicesA", ERROR_NO_SUCH_DEVINST);
  run.Update();
  EXPECT_EQ(run.Log().find("Restore Language Monitor"), std::string::npos);
  EXPECT_EQ(run.machine.services.spooler().starts, 1);
}

// No run leaves the spooler stopped: a stop that gives up after a minute
// but ends later, and a start that fails, are followed by a start at the
// end of the run.
TEST(Update, StopThatEndsAfterTheWaitGaveUpIsFollowedByAStart) {
  EngineRun run;
  run.machine.services.spooler().pendingMillis = 70000;
  // Stopping took long; starting doesn't.
  run.machine.devices.duringUpdate = [&] { run.machine.services.spooler().pendingMillis = 0; };
  run.Update();
  EXPECT_TRUE(run.Log().ends_with("Update Driver\nDriver update completed.\nStart Spooler\n" +
                                  StartLines()))
      << run.Log();
  EXPECT_NE(run.Log().find("ERROR: SPOOLER SERVICE DID NOT STOP IN TIME\n"), std::string::npos);
  EXPECT_EQ(run.machine.services.spooler().state, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(run.machine.FileContent("C:\\windows\\system32\\qvrmon.dll"), "monitor v1");
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.machine.services.OpenHandles(), 0);
}

TEST(Update, RefusedStartIsTriedAgainAtTheEnd) {
  EngineRun run;
  run.machine.FailNext("StartServiceA", ERROR_ACCESS_DENIED);
  run.Update();
  EXPECT_TRUE(run.Log().ends_with("Driver update completed.\nStart Spooler\n" + StartLines()));
  EXPECT_EQ(run.machine.services.spooler().state, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(run.exitCode, 0u);
}

// A spooler that won't start again fails the run: no printer would print.
TEST(Update, SpoolerThatStaysStoppedFailsTheRun) {
  EngineRun run;
  run.machine.FailNext("StartServiceA", ERROR_ACCESS_DENIED, 2);
  run.Update();
  EXPECT_TRUE(run.Log().ends_with(
      "Driver update completed.\nStart Spooler\nSERVICE_OPEN for start\n"
      "ERROR: COULDN'T START SERVICE\nAccess is denied.\r\nAccess is denied.\r\n"
      "The next run of the setup finishes this Update.\n"));
  EXPECT_EQ(run.machine.services.spooler().state, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(run.Icon(), static_cast<UINT>(IDI_STATE_ERROR));
  EXPECT_EQ(run.exitCode, 1u);
}

}  // namespace
