#include <gtest/gtest.h>

#include "sim_run.h"

namespace {

struct HandOverCase {
  const char* name;
  BOOL wow64;
  bool present;  // qvrsetup64.exe beside the program
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

}  // namespace
