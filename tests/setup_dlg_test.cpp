#include <gtest/gtest.h>

#include "sim_run.h"

namespace {

using headless::IconResource;
using headless::LastControl;

TEST(SetupDialog, OpensInteractivelyWithoutPrintersOfferingInstall) {
  SimRun run;
  BOOL unattended = TRUE;
  int selection = 0;
  run.session.user = [&](CDialog& d) {
    auto& dlg = static_cast<CSetupDlg&>(d);
    unattended = dlg.m_bUnattended;
    selection = dlg.m_lbModels.GetCurSel();
    EXPECT_EQ(headless::FromHwnd(dlg.m_hWnd)->bigIcon, headless::IconHandle(IDR_MAINFRAME));
    EXPECT_EQ(headless::FromHwnd(dlg.m_hWnd)->smallIcon, headless::IconHandle(IDR_MAINFRAME));
    EXPECT_EQ(dlg.m_strStatus.str(), "Select the printer you want to install.");
    headless::Click(dlg, IDOK);
  };
  run.Start("setup.inf");
  ASSERT_EQ(run.session.dialogs.size(), 1u);
  EXPECT_EQ(run.session.dialogs[0].caption, "QVR Driver Setup");
  EXPECT_EQ(run.session.lastDialog->endResult, IDOK);
  EXPECT_FALSE(unattended);
  EXPECT_EQ(selection, LB_ERR);
  EXPECT_EQ(LastControl(IDC_INSTALLED).items, std::vector<std::string>{"No Printer available!"});
  EXPECT_TRUE(LastControl(IDC_DRIVER_VERSIONS).items.empty());
  EXPECT_TRUE(LastControl(IDC_INSTALL).enabled);
  EXPECT_FALSE(LastControl(IDC_UPDATE).enabled);
  EXPECT_EQ(IconResource(LastControl(IDC_STATE_ICON).icon), static_cast<UINT>(IDI_STATE_ERROR));
  // The INF could not be read, so the texts were never pushed to the screen.
  EXPECT_EQ(LastControl(IDC_STATUS).text, "");
  EXPECT_EQ(LastControl(IDC_RESULT).text, "");
  EXPECT_EQ(LastControl(IDC_DRIVERVER).text, "");
  EXPECT_EQ(LastControl(IDC_GRP_INSTALLATION).text, "Driver Installation");
  // The reader told the user why, in two boxes.
  ASSERT_EQ(run.session.messageBoxes.size(), 2u);
  EXPECT_EQ(run.session.messageBoxes[0].caption, "Last Error");
  EXPECT_EQ(run.session.messageBoxes[1].text, "setup.inf");
  EXPECT_EQ(run.session.messageBoxes[1].caption, "Error Reading INF!");
}

TEST(SetupDialog, PrinterNameMatchingNoInstalledPrinterClosesAtOnceWithoutALog) {
  SimRun run;
  run.Start("setup.inf Nothing SILENT");
  EXPECT_TRUE(run.session.dialogs.empty());  // never waited for the user
  EXPECT_EQ(run.session.lastDialog->endResult, IDOK);
  EXPECT_TRUE(run.machine.createFileCalls.empty());
}

TEST(SetupDialog, UnattendedRunIsDecidedBeforeTheReaderSoItsFailuresReachTheLogNotABox) {
  SimRun run;
  run.Start("missing.inf \"No Printer available!\"");
  EXPECT_TRUE(run.session.messageBoxes.empty());
  // The reader's report, then the Install that the run went on to.
  EXPECT_EQ(run.Log(),
            "The system cannot find the file specified.\r\n"
            "The system cannot find the file specified.\r\n");
}

TEST(SetupDialog, InstalledPrinterNameMakesTheRunUnattendedAndLogged) {
  SimRun run;
  run.Start("setup.inf no");  // the find rule ignores case
  EXPECT_TRUE(run.session.dialogs.empty());
  EXPECT_EQ(run.session.lastDialog->endResult, IDOK);
  EXPECT_EQ(run.LogOpens(), 1u);
  EXPECT_EQ(run.machine.OpenHandles(), 0);
}

TEST(SetupDialog, EscapeAndCloseBoxCancel) {
  SimRun run;
  run.session.user = [&](CDialog& d) {
    LRESULT r = 0;
    d.OnWndMsg(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0, &r);
  };
  run.Start("setup.inf");
  EXPECT_EQ(run.session.lastDialog->endResult, IDCANCEL);
}

struct SelectionCase {
  const char* name;
  std::vector<std::string> installed;
  const char* model;
  bool install, update;
  const char* status;
  const char* lastCompared;  // the selection handler reuses the printer name member
  friend void PrintTo(const SelectionCase& row, std::ostream* os) { *os << row.name; }
};

class ModelSelection : public ::testing::TestWithParam<SelectionCase> {};

TEST_P(ModelSelection, OffersUpdateOnlyWhenAnInstalledNameContainsTheModel) {
  const SelectionCase& c = GetParam();
  SimRun run;
  CString lastCompared;
  run.WithDialog([&](CSetupDlg& dlg) {
    dlg.m_lbInstalled.SendMessage(LB_RESETCONTENT);
    for (const auto& name : c.installed) dlg.m_lbInstalled.AddString(name.c_str());
    dlg.m_lbModels.AddString("QVR 5474");
    dlg.m_lbModels.AddString(c.model);
    dlg.m_btnInstall.EnableWindow(FALSE);
    dlg.m_strStatus = "before";
    dlg.UpdateData(FALSE);
    headless::Select(dlg, IDC_MODELS, 1);
    lastCompared = dlg.m_strPrinterName;
  });
  EXPECT_EQ(LastControl(IDC_INSTALL).enabled, c.install);
  EXPECT_EQ(LastControl(IDC_UPDATE).enabled, c.update);
  EXPECT_EQ(LastControl(IDC_STATUS).text, c.status);
  EXPECT_EQ(IconResource(LastControl(IDC_STATE_ICON).icon), static_cast<UINT>(IDI_STATE_PRESS));
  EXPECT_EQ(lastCompared.str(), c.lastCompared);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ModelSelection,
    ::testing::Values(
        SelectionCase{"NameInTheMiddle",
                      {"Halvern 1", "Front QVR 3417 on COM1"},
                      "QVR 3417",
                      false,
                      true,
                      "Press the Update button to start the installation.",
                      "Front QVR 3417 on COM1"},
        SelectionCase{"CaseMatters",
                      {"qvr 3417"},
                      "QVR 3417",
                      true,
                      false,
                      "Press the Install button to start the installation.",
                      "qvr 3417"},
        SelectionCase{"FirstMatchStopsTheLoop",
                      {"QVR 3417 A", "Other"},
                      "QVR 3417",
                      false,
                      true,
                      "Press the Update button to start the installation.",
                      "QVR 3417 A"},
        SelectionCase{"PlaceholderIsComparedLikeAName",
                      {"No Printer available!"},
                      "QVR 3417",
                      true,
                      false,
                      "Press the Install button to start the installation.",
                      "No Printer available!"},
        SelectionCase{"EmptyListChangesOnlyTheIcon", {}, "QVR 3417", false, false, "before", ""}),
    RowName);

TEST(SetupDialog, MinimisedDialogDrawsItsIconInTheMiddle) {
  SimRun run;
  run.session.iconic = true;
  HCURSOR dragIcon = nullptr;
  run.WithDialog([&](CSetupDlg& dlg) {
    LRESULT r = 0;
    EXPECT_TRUE(dlg.OnWndMsg(WM_PAINT, 0, 0, &r));
    EXPECT_TRUE(dlg.OnWndMsg(WM_QUERYDRAGICON, 0, 0, &r));
    dragIcon = reinterpret_cast<HCURSOR>(r);
  });
  ASSERT_EQ(run.session.drawnIcons.size(), 1u);
  // 326 x 222 dialog units are 489 x 360 pixels here; the icon is 32 x 32.
  EXPECT_EQ(run.session.drawnIcons[0].x, (489 - 32 + 1) / 2);
  EXPECT_EQ(run.session.drawnIcons[0].y, (360 - 32 + 1) / 2);
  EXPECT_EQ(run.session.drawnIcons[0].icon, headless::IconHandle(IDR_MAINFRAME));
  EXPECT_EQ(run.session.iconEraseMessages, 1);
  EXPECT_EQ(dragIcon, headless::IconHandle(IDR_MAINFRAME));
}

TEST(SetupDialog, NormalPaintIsLeftToTheDefault) {
  SimRun run;
  run.WithDialog([&](CSetupDlg& dlg) {
    LRESULT r = 0;
    EXPECT_FALSE(dlg.OnWndMsg(WM_PAINT, 0, 0, &r));
  });
  EXPECT_TRUE(run.session.drawnIcons.empty());
}

}  // namespace

namespace {

std::string ModelsInf(const std::vector<std::string>& models) {
  std::string inf =
      "[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\n[Manufacturer]\nQVR\n[QVR]\n";
  for (const auto& m : models) inf += "m = S, H, \"" + m + "\"\n";
  return inf + "[S]\nDataSection=D\n[D]\nLanguageMonitor=\"QVR Monitor,qvrmon.dll\"\n";
}

struct Decision {
  const char* name;
  std::vector<std::string> models;
  std::vector<std::string> printers;
  const char* arguments;
  int selected;     // the model the command line selected
  bool unattended;  // a log was made
  bool updateRan;   // Update rather than Install
  friend void PrintTo(const Decision& row, std::ostream* os) { *os << row.name; }
};

class UnattendedDecision : public ::testing::TestWithParam<Decision> {};

TEST_P(UnattendedDecision, FindRuleDecidesRunAndModel) {
  const Decision& d = GetParam();
  SimRun run;
  run.machine.PutFile("C:\\pkg\\setup.inf", ModelsInf(d.models));
  for (const auto& p : d.printers) run.machine.printers.AddPrinter(p);
  run.Start(d.arguments);
  EXPECT_TRUE(run.session.dialogs.empty());  // never waits for the user
  EXPECT_EQ(headless::LastControl(IDC_MODELS).curSel, d.selected);
  EXPECT_EQ(run.LogOpens(), d.unattended ? 1u : 0u);
  EXPECT_EQ(run.machine.services.spooler().stops, d.updateRan ? 1 : 0);
  EXPECT_EQ(run.machine.devices.copyCalls.size(), d.unattended && !d.updateRan ? 1u : 0u);
  EXPECT_TRUE(run.session.messageBoxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnattendedDecision,
    ::testing::Values(
        // Prefix matches without regard to case: QVR 3417 does not begin with 3417.
        Decision{"PrefixNotSubstring",
                 {"QVR 3417", "3417"},
                 {"3417 Front"},
                 "setup.inf 3417",
                 1,
                 true,
                 true},
        // UTF-8 names match byte for byte, ASCII letters in either case.
        Decision{"Utf8NamesMatch",
                 {"QVR 3417 Étiquettes", "QVR 3417 営業部 ラベル"},
                 {"QVR 3417 営業部 Front"},
                 "setup.inf \"qvr 3417 営業部\" SILENT",
                 1,
                 true,
                 true},
        // Items 0 and 2 begin with the name: the search starts after item 0.
        Decision{"WrapRoundPrefersTheLaterItem",
                 {"QVR 3417", "QVR 5474", "qvr 3417 Presenter"},
                 {"QVR 3417 Front"},
                 "setup.inf \"QVR 3417\" SILENT",
                 2,
                 true,
                 true},
        Decision{"PrinterButNoModelInstalls",
                 {"QVR 5474"},
                 {"Halvern LX 520"},
                 "setup.inf halvern",
                 -1,
                 true,
                 false},
        Decision{"NoInstalledPrinterMatchesRunsNothing",
                 {"QVR 3417"},
                 {"Halvern LX 520"},
                 "setup.inf \"QVR 3417\" SILENT",
                 0,
                 false,
                 false}),
    RowName);

}  // namespace

namespace {

// A command line that names a printer this machine doesn't have ends the
// run at once with 0. Whatever goes wrong on the way (an INF name that a
// tab made wrong, a missing or broken INF, no printer at all) is told to
// nobody: no box, which a script would wait on for ever, and no log.
struct NobodyToTell {
  const char* name;
  const char* arguments;
  const char* inf;  // setup.inf; nullptr: none
  std::vector<std::string> printers;
  friend void PrintTo(const NobodyToTell& row, std::ostream* os) { *os << row.name; }
};

class NamedPrinterNotInstalled : public ::testing::TestWithParam<NobodyToTell> {};

TEST_P(NamedPrinterNotInstalled, EndsAtOnceWithoutAWordAndWithZero) {
  const NobodyToTell& c = GetParam();
  SimRun run;
  if (c.inf != nullptr) run.machine.PutFile("C:\\pkg\\setup.inf", c.inf);
  for (const auto& p : c.printers) run.machine.printers.AddPrinter(p);
  run.Start(c.arguments);
  EXPECT_TRUE(run.session.messageBoxes.empty());
  EXPECT_TRUE(run.session.dialogs.empty());
  EXPECT_EQ(run.session.lastDialog->endResult, IDOK);
  EXPECT_TRUE(run.machine.createFileCalls.empty());
  EXPECT_EQ(run.app.m_nExitCode, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NamedPrinterNotInstalled,
    ::testing::Values(
        NobodyToTell{"TabMakesTheInfName",
                     "setup.inf\tOffice Laser",
                     "[Version]\n",
                     {"Halvern LX 520", "Office Colour"}},
        NobodyToTell{"MissingInf", "gone.inf \"Nobody Here\" SILENT", nullptr, {"Halvern LX 520"}},
        NobodyToTell{"BrokenInf",
                     "setup.inf Nobody",
                     "[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\n",
                     {"Halvern LX 520"}},
        NobodyToTell{"NoPrinterListed", "gone.inf \"Nobody Here\" SILENT", nullptr, {}}),
    RowName);

}  // namespace
