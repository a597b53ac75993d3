#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_run.h"

namespace {

struct HandOverCase {
  const char* name;
  BOOL wow64;
  bool present;      // qvrsetup64.exe beside the program
  DWORD binaryType;  // what that file is
  const char* arguments;
  bool handsOver;
  friend void PrintTo(const HandOverCase& row, std::ostream* os) { *os << row.name; }
};

class HandOver : public ::testing::TestWithParam<HandOverCase> {};

TEST_P(HandOver, OnlyUnderWow64AndOnlyWhenThe64BitProgramIsThere) {
  const HandOverCase& c = GetParam();
  SimRun run;
  run.machine.wow64 = c.wow64;
  run.machine.modulePath = "C:\\pkg\\qvrsetup.exe";
  if (c.present) run.machine.PutFile("C:\\pkg\\qvrsetup64.exe", "MZ");
  run.machine.binaryTypes["C:\\PKG\\QVRSETUP64.EXE"] = c.binaryType;
  run.machine.exitCodes["C:\\PKG\\QVRSETUP64.EXE"] = 3010;
  run.Start(c.arguments);
  if (c.handsOver) {
    ASSERT_EQ(run.machine.created.size(), 1u);
    EXPECT_EQ(run.machine.created[0].application, "C:\\pkg\\qvrsetup64.exe");
    std::string expected = "\"C:\\pkg\\qvrsetup64.exe\"";
    if (*c.arguments != '\0') expected += std::string(" ") + c.arguments;
    EXPECT_EQ(run.machine.created[0].commandLine, expected);
    EXPECT_FALSE(run.machine.created[0].currentDirectoryGiven);  // inherits this one's
    EXPECT_EQ(run.app.m_nExitCode, 3010);
    EXPECT_TRUE(run.session.dialogs.empty());
    EXPECT_EQ(run.session.lastDialog, nullptr);  // no window of its own
    EXPECT_EQ(run.machine.OpenHandles(), 0);
  } else {
    EXPECT_TRUE(run.machine.created.empty());
    EXPECT_NE(run.session.lastDialog, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HandOver,
    ::testing::Values(
        HandOverCase{"Wow64WithProgram", TRUE, true, SCS_64BIT_BINARY,
                     "setup.inf \"QVR 3417\" SILENT", true},
        HandOverCase{"ArgumentTextKeptByteForByte", TRUE, true, SCS_64BIT_BINARY,
                     "setup.inf  \"My  Model\"SILENT\t\"x", true},
        HandOverCase{"NoArguments", TRUE, true, SCS_64BIT_BINARY, "", true},
        HandOverCase{"Wow64WithoutProgram", TRUE, false, SCS_64BIT_BINARY, "setup.inf", false},
        HandOverCase{"Native32Bit", FALSE, true, SCS_64BIT_BINARY, "setup.inf", false},
        // A 32-bit program under the 64-bit one's name would start itself
        // again and again.
        HandOverCase{"ThirtyTwoBitProgramUnderThe64BitName", TRUE, true, SCS_32BIT_BINARY,
                     "setup.inf", false},
        HandOverCase{"NoProgramUnderThe64BitName", TRUE, true, 0xFFFFFFFFu, "setup.inf", false}),
    RowName);

TEST(HandOver, ProgramThatCannotStartLeavesTheRunToThisOne) {
  SimRun run;
  run.machine.wow64 = TRUE;
  run.machine.PutFile("C:\\pkg\\qvrsetup64.exe", "MZ");
  run.machine.binaryTypes["C:\\PKG\\QVRSETUP64.EXE"] = SCS_64BIT_BINARY;
  run.machine.FailNext("CreateProcessA", ERROR_ACCESS_DENIED);
  run.Start("setup.inf");
  EXPECT_NE(run.session.lastDialog, nullptr);
}

// ---------------------------------------------------------------- machines

// Which program does the run on each kind of machine, and what it finds
// there. The package lists QVR 3417 for x86 and amd64, and for arm64 where
// the row says so; each platform's install section names its own monitor,
// and the installed printer has a driver record under every environment.
// A 64-bit program on an x86 machine can't run, so there is no such row.
struct MachineCase {
  const char* name;
  USHORT native;
  bool x64Program;
  bool arm64Inf;  // the INF has an NTarm64 models section
  bool handsOver;
  const char* environment;  // the driver records listed
  const char* monitor;      // the models section's, or null when none is read
  const char* updateLog;    // `setup.inf "QVR 3417" SILENT`: how the log begins
  DWORD updateExit;
  const char* installLog;  // `setup.inf "Halvern LX 520"`: the whole log
  DWORD installExit;
  bool hasIsWow64Process2 = true;
  friend void PrintTo(const MachineCase& row, std::ostream* os) { *os << row.name; }
};

constexpr char kDrivers[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\";
constexpr char kUpdated[] = "C:\\pkg\nC:\\pkg\\setup.inf\nKalbrix_ABQVR34170B7C\n";
constexpr char kArm64Update[] = "The setup can't update drivers on ARM64 Windows!\n";
constexpr char kArm64Install[] = "The package has no drivers for ARM64 Windows!\n";

std::string MachineInf(bool arm64) {
  std::string inf =
      "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n"
      "[Manufacturer]\r\n%QVR%=QVR,NTx86,NTamd64";
  inf += arm64 ? ",NTarm64\r\n" : "\r\n";
  for (const char* platform : {"NTx86", "NTamd64", "NTarm64"}) {
    if (!arm64 && std::string(platform) == "NTarm64") continue;
    inf += std::string("[QVR.") + platform + "]\r\n";
    inf += "\"QVR 3417\" = QVR3417, LPTENUM\\Kalbrix_ABQVR34170B7C, QVR 3417\r\n";
    inf += std::string("[QVR3417.") + platform + "]\r\n";
    inf += std::string("LanguageMonitor=\"QVR Monitor,mon_") + platform + ".dll\"\r\n";
  }
  return inf + "[Strings]\r\nQVR=\"QVR\"\r\n";
}

struct MachineRun : SimRun {
  explicit MachineRun(const MachineCase& c) : SimRun(c.x64Program) {
    machine.nativeMachine = c.native;
    machine.hasIsWow64Process2 = c.hasIsWow64Process2;
    machine.PutFile("C:\\pkg\\qvrsetup64.exe", "MZ");
    machine.binaryTypes["C:\\PKG\\QVRSETUP64.EXE"] = SCS_64BIT_BINARY;
    machine.exitCodes["C:\\PKG\\QVRSETUP64.EXE"] = 3010;
    machine.PutFile("C:\\pkg\\setup.inf", MachineInf(c.arm64Inf));
    for (const char* platform : {"NTx86", "NTamd64", "NTarm64"})
      machine.PutFile(std::string("C:\\windows\\system32\\mon_") + platform + ".dll", "v1");
    machine.devices.AddDevice("Kalbrix_ABQVR34170B7C");
    machine.printers.AddPrinter("QVR 3417 Front");
    machine.printers.AddPrinter("Halvern LX 520");
    BYTE build = 1;
    for (const char* environment : {"Windows NT x86", "Windows x64", "Windows ARM64"}) {
      std::string key =
          std::string(kDrivers) + environment + "\\Drivers\\Version-3\\QVR 3417 Front";
      machine.registry.SetString(key, "DriverDate", "07/01/2025");
      machine.registry.SetBinary(key, "DriverVersion", {build++, 0, 0, 0, 0, 0, 2, 0});
    }
  }
};

std::string VersionFrom(const char* environment) {
  if (std::string(environment) == "Windows NT x86") return "2.0.0.1";
  if (std::string(environment) == "Windows x64") return "2.0.0.2";
  return "2.0.0.3";
}

class Machines : public ::testing::TestWithParam<MachineCase> {};

TEST_P(Machines, EachMachineAndBuildListUpdateAndInstallAsWindowsThere) {
  const MachineCase& c = GetParam();
  {
    SCOPED_TRACE("interactive");
    MachineRun run(c);
    run.session.user = [](CDialog& dialog) { headless::Click(dialog, IDOK); };
    run.Start("setup.inf");
    EXPECT_EQ(run.machine.created.size(), c.handsOver ? 1u : 0u);
    if (!c.handsOver) {
      using headless::LastControl;
      EXPECT_EQ(LastControl(IDC_DRIVER_VERSIONS).items,
                (std::vector<std::string>{VersionFrom(c.environment), ""}));
      std::vector<std::string> monitors;
      if (c.monitor != nullptr) monitors.push_back(c.monitor);
      EXPECT_EQ(LastControl(IDC_MONITORS).items, monitors);
    }
  }
  {
    SCOPED_TRACE("update");
    MachineRun run(c);
    run.Start("setup.inf \"QVR 3417\" SILENT");
    EXPECT_EQ(run.app.m_nExitCode, static_cast<int>(c.handsOver ? 3010 : c.updateExit));
    if (!c.handsOver) {
      EXPECT_TRUE(run.Log().starts_with(c.updateLog)) << run.Log();
      bool updated = c.updateExit == 0;
      EXPECT_EQ(run.machine.services.spooler().stops, updated ? 1 : 0);
      EXPECT_EQ(run.machine.devices.updateCalls.size(), updated ? 1u : 0u);
    }
  }
  {
    SCOPED_TRACE("install");
    MachineRun run(c);
    run.Start("setup.inf \"Halvern LX 520\"");
    EXPECT_EQ(run.app.m_nExitCode, static_cast<int>(c.handsOver ? 3010 : c.installExit));
    if (!c.handsOver) {
      EXPECT_EQ(run.Log(), c.installLog);
      EXPECT_EQ(run.machine.devices.copyCalls.size(), c.installExit == 0 ? 1u : 0u);
    }
  }
}

constexpr USHORT kX86 = IMAGE_FILE_MACHINE_I386;
constexpr USHORT kAmd64 = IMAGE_FILE_MACHINE_AMD64;
constexpr USHORT kArm64 = IMAGE_FILE_MACHINE_ARM64;

INSTANTIATE_TEST_SUITE_P(
    Table, Machines,
    ::testing::Values(
        // name, machine, 64-bit program, NTarm64 in the INF, hands over,
        // environment, monitor, update log and status, install log and status
        MachineCase{"X86_32Bit", kX86, false, false, false, "Windows NT x86", "mon_NTx86.dll",
                    kUpdated, 0, "", 0},
        MachineCase{"X86_32Bit_Arm64Inf", kX86, false, true, false, "Windows NT x86",
                    "mon_NTx86.dll", kUpdated, 0, "", 0},
        MachineCase{"X64_32Bit", kAmd64, false, false, true, "", nullptr, "", 0, "", 0},
        MachineCase{"X64_32Bit_Arm64Inf", kAmd64, false, true, true, "", nullptr, "", 0, "", 0},
        MachineCase{"X64_64Bit", kAmd64, true, false, false, "Windows x64", "mon_NTamd64.dll",
                    kUpdated, 0, "", 0},
        MachineCase{"X64_64Bit_Arm64Inf", kAmd64, true, true, false, "Windows x64",
                    "mon_NTamd64.dll", kUpdated, 0, "", 0},
        // Without models for ARM64 the named model is not there, so the
        // update's command line goes to Install as well.
        MachineCase{"Arm64_32Bit", kArm64, false, false, false, "Windows ARM64", nullptr,
                    kArm64Install, 1, kArm64Install, 1},
        MachineCase{"Arm64_32Bit_Arm64Inf", kArm64, false, true, false, "Windows ARM64",
                    "mon_NTarm64.dll", kArm64Update, 1, "", 0},
        MachineCase{"Arm64_64Bit", kArm64, true, false, false, "Windows ARM64", nullptr,
                    kArm64Install, 1, kArm64Install, 1},
        MachineCase{"Arm64_64Bit_Arm64Inf", kArm64, true, true, false, "Windows ARM64",
                    "mon_NTarm64.dll", kArm64Update, 1, "", 0},
        // Before IsWow64Process2, WOW64 alone tells the machine.
        MachineCase{"X64_32Bit_OldSystem", kAmd64, false, false, true, "", nullptr, "", 0, "", 0,
                    false},
        MachineCase{"X64_64Bit_OldSystem", kAmd64, true, false, false, "Windows x64",
                    "mon_NTamd64.dll", kUpdated, 0, "", 0, false}),
    RowName);

}  // namespace
