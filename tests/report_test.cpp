#include <gtest/gtest.h>

#include "sim_run.h"

namespace {

struct ReportCase {
  const char* name;
  BOOL unattended;
  DWORD lastError;
  const char* boxText;     // the "Last Error" box expected, or null
  const char* loggedText;  // what the log holds afterwards
  friend void PrintTo(const ReportCase& row, std::ostream* os) { *os << row.name; }
};

class ShowLastErrorTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ShowLastErrorTest, GoesToBoxOrLogByTheRunKind) {
  const ReportCase& c = GetParam();
  SimRun run;
  HWND owner = nullptr;
  run.WithDialog([&](CSetupDlg& dlg) {
    owner = dlg.m_hWnd;
    dlg.m_bUnattended = c.unattended;
    dlg.CreateLogFile();
    run.machine.SetLastError(c.lastError);
    dlg.ShowLastError();
    dlg.CloseLogFile();
  });
  if (c.boxText == nullptr) {
    EXPECT_TRUE(run.session.messageBoxes.empty());
  } else {
    ASSERT_EQ(run.session.messageBoxes.size(), 1u);
    const auto& box = run.session.messageBoxes[0];
    EXPECT_EQ(box.text, c.boxText);
    EXPECT_EQ(box.caption, "Last Error");
    EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(box.owner, owner);
  }
  EXPECT_EQ(run.Log(), c.loggedText);
  EXPECT_EQ(run.machine.OpenAllocations(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShowLastErrorTest,
    ::testing::Values(ReportCase{"InteractiveAccessDenied", FALSE, ERROR_ACCESS_DENIED,
                                 "Access is denied.\r\n", ""},
                      ReportCase{"UnattendedAccessDenied", TRUE, ERROR_ACCESS_DENIED, nullptr,
                                 "Access is denied.\r\n"},
                      ReportCase{"SuccessIsReportedToo", FALSE, 0,
                                 "The operation completed successfully.\r\n", ""},
                      ReportCase{"CodeWithoutTextIsSilent", FALSE, 0xDEAD, nullptr, ""},
                      ReportCase{"CodeWithoutTextLogsNothing", TRUE, 0xDEAD, nullptr, ""}),
    RowName);

TEST(ReportRule, FixedTextsGoToABoxWithTheirCaptionOrToTheLogInTheirLogForm) {
  SimRun run;
  run.WithDialog([&](CSetupDlg& dlg) {
    dlg.CreateLogFile();
    dlg.m_bUnattended = FALSE;
    dlg.Report("Can't get INF file!", "Can't get INF file!\n");
    dlg.Report("Error Reading Model!", nullptr, "Reading INF");
    dlg.m_bUnattended = TRUE;
    dlg.Report("Can't get HW ID!", "Can't get HW ID!\n");
    dlg.Report("Error Reading Model!", nullptr, "Reading INF");
    dlg.CloseLogFile();
  });
  ASSERT_EQ(run.session.messageBoxes.size(), 2u);
  EXPECT_EQ(run.session.messageBoxes[0].text, "Can't get INF file!");
  EXPECT_EQ(run.session.messageBoxes[0].caption, "");
  EXPECT_EQ(run.session.messageBoxes[1].caption, "Reading INF");
  EXPECT_EQ(run.Log(), "Can't get HW ID!\n");
}

}  // namespace
