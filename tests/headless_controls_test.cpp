// The headless list box must answer as the real control does, because the
// dialog's decisions rest on these answers.
#include <gtest/gtest.h>

#include "sim_run.h"

namespace {

TEST(HeadlessListBox, FindStringIsACaseBlindPrefixSearchThatStartsAfterTheIndexAndWraps) {
  SimRun run;
  run.WithDialog([&](CSetupDlg& dlg) {
    CListBox& list = dlg.m_lbModels;
    for (const char* s : {"QVR 3417", "QVR 5474", "qvr 3417 Front", "3417"}) list.AddString(s);
    struct {
      int start;
      const char* text;
      int found;
    } rows[] = {
        {0, "QVR 3417", 2},   // item 0 matches too, but the search starts after it
        {-1, "QVR 3417", 0},  // -1 searches from the top
        {2, "QVR 3417", 0},   // wraps round past the end
        {3, "qvr 34", 0},     {0, "3417", 3},  {0, "QVR 3417 Front ", LB_ERR},
        {0, "Front", LB_ERR}, {9, "QVR 5", 1},  // a start past the end searches all
    };
    for (const auto& row : rows)
      EXPECT_EQ(list.FindString(row.start, row.text), row.found) << row.start << " " << row.text;
  });
}

TEST(HeadlessListBox, SelectionFollowsTheListStyle) {
  SimRun run;
  run.WithDialog([&](CSetupDlg& dlg) {
    dlg.m_lbModels.AddString("a");
    EXPECT_EQ(dlg.m_lbModels.SetCurSel(0), 0);
    EXPECT_EQ(dlg.m_lbModels.SetCurSel(5), LB_ERR);
    EXPECT_EQ(dlg.m_lbModels.GetCurSel(), 0);
    EXPECT_EQ(dlg.m_lbModels.SetCurSel(-1), LB_ERR);
    EXPECT_EQ(dlg.m_lbModels.GetCurSel(), LB_ERR);
    // The installed-printer list allows no selection.
    dlg.m_lbMonitors.AddString("m.dll");
    EXPECT_EQ(dlg.m_lbMonitors.SetCurSel(0), LB_ERR);
    CString text;
    dlg.m_lbMonitors.GetText(3, text);
    EXPECT_EQ(text.str(), "");
    EXPECT_EQ(dlg.m_lbMonitors.GetTextLen(3), LB_ERR);
  });
}

}  // namespace
