#include <gtest/gtest.h>

#include "sim_run.h"

namespace {

std::vector<std::string> FileCalls(const sim::SimMachine& m) {
  std::vector<std::string> out;
  for (const auto& c : m.calls)
    if (c == "CreateFileA" || c == "SetEndOfFile" || c == "WriteFile" || c == "CloseHandle")
      out.push_back(c);
  return out;
}

TEST(ProgressLog, CreatesTheFileAsSpecifiedAndWritesTextsInOrderExactly) {
  SimRun run;
  run.WithDialog([&](CSetupDlg& dlg) {
    dlg.CreateLogFile();
    dlg.WriteLog("Stop Spooler\n");
    dlg.WriteLog("no line feed");
    dlg.WriteLog("");
    dlg.WriteLogStr(CString("C:\\pkg"));
    dlg.WriteLog("\r\n");
    dlg.CloseLogFile();
  });
  // A look at the name, which finds nothing, then a new file.
  ASSERT_EQ(run.machine.createFileCalls.size(), 2u);
  const auto& c = run.machine.createFileCalls[1];
  EXPECT_EQ(c.name, "C:\\pkg\\QVR_Download.txt");
  EXPECT_EQ(c.access, GENERIC_READ | GENERIC_WRITE);
  EXPECT_EQ(c.share, static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE));
  EXPECT_EQ(c.disposition, static_cast<DWORD>(CREATE_NEW));
  EXPECT_EQ(c.flags, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN |
                                        FILE_FLAG_OPEN_REPARSE_POINT));
  EXPECT_FALSE(c.security);
  EXPECT_FALSE(c.templateFile);
  EXPECT_EQ(run.Log(), "Stop Spooler\nno line feedC:\\pkg\r\n");
  std::vector<std::string> expected = {"CreateFileA", "CreateFileA"};
  for (int i = 0; i < 5; ++i) expected.insert(expected.end(), {"SetEndOfFile", "WriteFile"});
  expected.push_back("CloseHandle");
  EXPECT_EQ(FileCalls(run.machine), expected);
  EXPECT_EQ(run.machine.OpenHandles(), 0);
}

TEST(ProgressLog, WritesWithoutAnOpenLogDoNothing) {
  SimRun run;
  run.WithDialog([&](CSetupDlg& dlg) {
    EXPECT_EQ(dlg.WriteLog("text"), 0);
    dlg.WriteLogStr("text");
  });
  EXPECT_TRUE(FileCalls(run.machine).empty());
}

TEST(ProgressLog, ALogThatCannotBeCreatedIsNeverWrittenOrClosed) {
  SimRun run;
  run.machine.SetReadOnlyDirectory("C:\\pkg");
  run.WithDialog([&](CSetupDlg& dlg) {
    dlg.CreateLogFile();
    EXPECT_EQ(g_hLogFile, INVALID_HANDLE_VALUE);
    EXPECT_EQ(dlg.WriteLog("lost"), 0);
    dlg.WriteLogStr("lost");
    dlg.CloseLogFile();
  });
  EXPECT_EQ(FileCalls(run.machine), (std::vector<std::string>{"CreateFileA", "CreateFileA"}));
  EXPECT_EQ(run.machine.badHandleUses, 0);
  EXPECT_EQ(run.Log(), "<none>");
}

TEST(ProgressLog, InteractiveRunLeavesAnEarlierLogAlone) {
  SimRun run;
  run.machine.PutFile("C:\\pkg\\QVR_Download.txt", "earlier run\n");
  run.Start("setup.inf");
  EXPECT_TRUE(run.machine.createFileCalls.empty());
  EXPECT_EQ(run.Log(), "earlier run\n");
}

TEST(ProgressLog, UnattendedRunReplacesTheEarlierLog) {
  SimRun run;
  run.machine.PutFile("C:\\pkg\\QVR_Download.txt", "earlier run\n");
  // Without printers the list holds only its placeholder entry, which the
  // command-line name matches; the run is unattended and chooses Install.
  run.Start("setup.inf \"No Printer\" SILENT");
  run.machine.PutFile("C:\\pkg\\setup.inf", "");
  ASSERT_EQ(run.LogOpens(), 1u);
  EXPECT_EQ(run.Log().find("earlier run"), std::string::npos);
  EXPECT_EQ(run.machine.OpenHandles(), 0);
  EXPECT_EQ(g_hLogFile, nullptr);
}

}  // namespace
