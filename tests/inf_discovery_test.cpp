#include <gtest/gtest.h>

#include "sim_run.h"

namespace {

std::vector<std::pair<std::string, std::string>> ErrorDialogs(const headless::Session& session) {
  std::vector<std::pair<std::string, std::string>> shown;
  for (const auto& d : session.dialogs) {
    if (d.templateId == IDD_ERROR)
      shown.emplace_back(d.Text(IDC_ERROR_MESSAGE), d.Text(IDC_ERROR_CODE));
  }
  return shown;
}

using Shown = std::vector<std::pair<std::string, std::string>>;

TEST(InfDiscovery, FolderWithoutInfShowsBothErrorsInOrderAndNoMainDialog) {
  SimRun run;
  run.machine.PutFile("C:\\pkg\\readme.txt", "x");
  run.Start("");
  EXPECT_EQ(ErrorDialogs(run.session),
            (Shown{{"Error enumerating INF files!", "2"}, {"No INF file found!", "0"}}));
  EXPECT_EQ(run.session.dialogs.size(), 2u);
  EXPECT_EQ(run.machine.OpenHandles(), 0);
}

TEST(InfDiscovery, UnreadableCurrentDirectory) {
  SimRun run;
  run.machine.FailNext("GetCurrentDirectoryA", ERROR_ACCESS_DENIED);
  run.Start("");
  EXPECT_EQ(ErrorDialogs(run.session),
            (Shown{{"Can't get current directory!", "0"}, {"No INF file found!", "0"}}));
  EXPECT_TRUE(run.machine.findPatterns.empty());
}

TEST(InfDiscovery, CurrentDirectoryTooLongForItsBufferCountsAsUnreadable) {
  SimRun run;
  std::string deep = "C:";
  for (int level = 0; level < 4; ++level) deep += "\\" + std::string(250, 'd');
  run.machine.MakeDirectory(deep);
  run.machine.SetCurrentDirectory(deep);
  run.Start("");
  EXPECT_EQ(ErrorDialogs(run.session),
            (Shown{{"Can't get current directory!", "0"}, {"No INF file found!", "0"}}));
}

TEST(InfDiscovery, SearchErrorCodeIsTheSearchsOwn) {
  SimRun run;
  run.machine.PutFile("C:\\pkg\\a.inf", "x");
  run.machine.FailNext("FindFirstFileA", ERROR_ACCESS_DENIED);
  run.Start("");
  EXPECT_EQ(ErrorDialogs(run.session),
            (Shown{{"Error enumerating INF files!", "5"}, {"No INF file found!", "0"}}));
}

TEST(InfDiscovery, FirstInfOfTheSearchOpensTheMainDialogWithItsBareName) {
  SimRun run;
  run.machine.PutFile("C:\\pkg\\b.inf", "x");
  run.machine.PutFile("C:\\pkg\\A.INF", "x");
  CString found;
  run.session.user = [&](CDialog& d) { found = static_cast<CSetupDlg&>(d).m_strInfFile; };
  run.Start("");
  EXPECT_EQ(run.machine.findPatterns, std::vector<std::string>{"C:\\pkg\\*.inf"});
  ASSERT_EQ(run.session.dialogs.size(), 1u);
  EXPECT_EQ(run.session.dialogs[0].templateId, static_cast<UINT>(IDD_QVRSETUP_DIALOG));
  EXPECT_EQ(found.str(), "A.INF");
  EXPECT_EQ(run.machine.OpenHandles(), 0);
}

TEST(InfDiscovery, DirectoryNamedLikeAnInfIsTakenToo) {
  SimRun run;
  run.machine.MakeDirectory("C:\\pkg\\drivers.inf");
  CString found;
  run.session.user = [&](CDialog& d) { found = static_cast<CSetupDlg&>(d).m_strInfFile; };
  run.Start("");
  EXPECT_EQ(found.str(), "drivers.inf");
}

TEST(InfDiscovery, DriveRootGetsThePatternBehindItsBackslash) {
  SimRun run;
  run.machine.SetCurrentDirectory("C:\\");
  run.machine.PutFile("C:\\root.inf", "x");
  run.Start("");
  EXPECT_EQ(run.machine.findPatterns, std::vector<std::string>{"C:\\\\*.inf"});
}

TEST(InfDiscovery, NamedInfIsNotLookedForEvenWhenMissing) {
  SimRun run;
  run.Start("missing.inf");
  EXPECT_TRUE(run.machine.findPatterns.empty());
  ASSERT_EQ(run.session.dialogs.size(), 1u);
  EXPECT_EQ(run.session.dialogs[0].templateId, static_cast<UINT>(IDD_QVRSETUP_DIALOG));
}

}  // namespace
