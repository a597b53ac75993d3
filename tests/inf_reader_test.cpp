#include <gtest/gtest.h>

#include <algorithm>

#include "sim_run.h"

namespace {

const std::string kVersion =
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "Class=Printer\r\n"
    "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\n"
    "Provider=%QVR%\r\n"
    "DriverVer=05/14/2024,2.3.0.1\r\n";

const std::string kThreeModels =
    kVersion +
    "[Manufacturer]\r\n"
    "%QVR%=QVR\r\n"
    "[QVR]\r\n"
    "\"QVR 3417\" = QVR3417, LPTENUM\\Kalbrix_ABQVR34170B7C, %M3417%\r\n"
    "\"QVR 5474\" = QVR5474, LPTENUM\\Kalbrix_ABQVR5474E85A, QVR 5474\r\n"
    "\"QVR 6491\" = QVR6491, LPTENUM\\KALBRIX_ABQVR6491B06D, \"QVR 6491\"\r\n"
    "[QVR3417]\r\nDataSection=DATA1\r\n"
    "[QVR5474]\r\nDataSection=DATA2\r\n"
    "[QVR6491]\r\nDataSection=DATA1\r\n"
    "[DATA1]\r\nLanguageMonitor=\"QVR Monitor,qvrmon.dll\"\r\n"
    "[DATA2]\r\nLanguageMonitor=%MON2%\r\n"
    "[Strings]\r\n"
    "QVR=\"QVR\"\r\n"
    "M3417=\"QVR 3417\"\r\n"
    "MON2=\"QVR Monitor 2,qvrmon2.dll\"\r\n";

// The reader's results, taken from a dialog whose lists were emptied first.
struct Read {
  BOOL result = FALSE;
  std::vector<std::string> models, monitors;
  int selection = LB_ERR;
  std::string caption, driverVer;
  std::vector<headless::MessageBoxRecord> boxes;
  std::string log;
  std::vector<std::string> calls;  // the seam calls of the read, in order
};

Read ReadInf(const std::string& inf, BOOL unattended = FALSE,
             const std::function<void(sim::SimMachine&)>& faults = nullptr,
             bool x64Program = false) {
  SimRun run;
  run.machine.x64Program = x64Program;
  run.machine.PutFile("C:\\pkg\\setup.inf", inf);
  Read read;
  run.WithDialog([&](CSetupDlg& dlg) {
    dlg.m_lbModels.SendMessage(LB_RESETCONTENT);
    dlg.m_lbMonitors.SendMessage(LB_RESETCONTENT);
    dlg.m_grpInstallation.SetWindowText("before");
    dlg.m_strDriverVer = "";
    dlg.m_bUnattended = unattended;
    if (unattended) dlg.CreateLogFile();
    if (faults) faults(run.machine);
    run.machine.calls.clear();
    read.result = dlg.ReadInf("setup.inf", &dlg.m_lbModels);
    read.calls = run.machine.calls;
    dlg.CloseLogFile();
    read.selection = dlg.m_lbModels.GetCurSel();
    read.driverVer = dlg.m_strDriverVer.str();
    CString caption;
    dlg.m_grpInstallation.GetWindowText(caption);
    read.caption = caption.str();
  });
  read.models = headless::LastControl(IDC_MODELS).items;
  read.monitors = headless::LastControl(IDC_MONITORS).items;
  read.boxes = run.session.messageBoxes;
  read.log = run.Log();
  EXPECT_EQ(run.machine.setup.OpenInfs(), 0);
  return read;
}

using Strings = std::vector<std::string>;

TEST(InfReader, ThreeModelsWithTheirMonitorsInFileOrder) {
  Read r = ReadInf(kThreeModels);
  EXPECT_TRUE(r.result);
  EXPECT_EQ(r.models, (Strings{"QVR 3417", "QVR 5474", "QVR 6491"}));
  EXPECT_EQ(r.monitors, (Strings{"qvrmon.dll", "qvrmon2.dll", "qvrmon.dll"}));
  EXPECT_EQ(r.selection, 0);
  EXPECT_EQ(r.caption, "QVR Driver Installation");
  EXPECT_EQ(r.driverVer, "05/14/2024,2.3.0.1");
  EXPECT_TRUE(r.boxes.empty());
}

TEST(InfReader, MonitorIsTheTextAfterTheFirstComma) {
  struct {
    const char* value;
    const char* monitor;
  } rows[] = {
      {"\"QVR Monitor,qvrmon.dll\"", "qvrmon.dll"},
      {"QVR Monitor, qvrmon.dll", "qvrmon.dll"},       // fields are trimmed, then joined
      {"\"QVR Monitor, qvrmon.dll\"", " qvrmon.dll"},  // inside quotes the blank stays
      {"QVR Monitor,qvrmon.dll,extra", "qvrmon.dll,extra"},
      {"qvrmon.dll", "qvrmon.dll"},
  };
  for (const auto& row : rows) {
    std::string inf = kThreeModels;
    inf.replace(inf.find("\"QVR Monitor,qvrmon.dll\""), 24, row.value);
    Read r = ReadInf(inf);
    EXPECT_EQ(r.monitors.at(0), row.monitor) << row.value;
  }
}

std::string WithModels(const std::string& models, const std::string& extra = "") {
  return kVersion + "[Manufacturer]\r\nQVR\r\n[QVR]\r\n" + models +
         "[S1]\r\nDataSection=D1\r\n[D1]\r\nLanguageMonitor=M,one.dll\r\n"
         "[S2]\r\nDataSection=D2\r\n[D2]\r\nLanguageMonitor=M,two.dll\r\n" +
         extra;
}

TEST(InfReader, ModelLinesOfEveryLength) {
  Read r =
      ReadInf(WithModels("a = S1\r\n"                   // install section only
                         "b = S2, HWID\r\n"             // no model name: an empty entry
                         "c = S1, HWID, Three\r\n"      //
                         "d = S2, HWID, Four, 4th\r\n"  // strings after the model name are ignored
                         "e = S1, HWID, Five, S2, x\r\n"));
  EXPECT_TRUE(r.result);
  EXPECT_EQ(r.models, (Strings{"", "", "Three", "Four", "Five"}));
  EXPECT_EQ(r.monitors, (Strings{"one.dll", "two.dll", "one.dll", "two.dll", "one.dll"}));
  EXPECT_TRUE(r.boxes.empty());  // no spurious lookups of later strings
}

// The monitor comes from the data section, else from the install section
// itself; a model with neither is reported and gets an empty entry, never
// the monitor of the model before it.
TEST(InfReader, MonitorFromTheDataSectionElseTheInstallSectionElseNone) {
  Read r =
      ReadInf(WithModels("first = NoSuchSection, H, First\r\n"
                         "ok = S1, H, Ok\r\n"
                         "nodata = S3, H, NoData\r\n"
                         "nomonitor = S4, H, NoMonitor\r\n"
                         "own = S5, H, Own\r\n"
                         "both = S6, H, Both\r\n"
                         "datamissing = S7, H, DataMissing\r\n",
                         "[S3]\r\nOther=1\r\n[S4]\r\nDataSection=D4\r\n[D4]\r\nOther=1\r\n"
                         "[S5]\r\nLanguageMonitor=\"Own,own.dll\"\r\n"
                         "[S6]\r\nDataSection=D1\r\nLanguageMonitor=\"Own,own.dll\"\r\n"
                         "[S7]\r\nDataSection=D4\r\nLanguageMonitor=\"Own,own7.dll\"\r\n"));
  EXPECT_TRUE(r.result);
  EXPECT_EQ(r.models,
            (Strings{"First", "Ok", "NoData", "NoMonitor", "Own", "Both", "DataMissing"}));
  EXPECT_EQ(r.monitors, (Strings{"", "one.dll", "", "", "own.dll", "one.dll", "own7.dll"}));
  ASSERT_EQ(r.boxes.size(), 3u);
  for (const auto& box : r.boxes) EXPECT_EQ(box.caption, "Last Error");
}

TEST(InfReader, MissingDriverVerAndMissingModelsSectionStillRead) {
  std::string noVer = kThreeModels;
  noVer.erase(noVer.find("DriverVer"), std::string("DriverVer=05/14/2024,2.3.0.1\r\n").size());
  Read r = ReadInf(noVer);
  EXPECT_TRUE(r.result);
  EXPECT_EQ(r.driverVer, "");
  EXPECT_EQ(r.models.size(), 3u);

  Read missing = ReadInf(kVersion + "[Manufacturer]\r\nNobody\r\n");
  EXPECT_TRUE(missing.result);
  EXPECT_TRUE(missing.models.empty());
  EXPECT_TRUE(missing.monitors.empty());
  EXPECT_EQ(missing.caption, "Nobody Driver Installation");
  EXPECT_TRUE(missing.boxes.empty());
}

struct FailureRow {
  const char* name;
  std::string inf;
  const char* passCall;  // calls of this name that succeed before the failing one
  int passes;
  const char* text;
  const char* caption;
  Strings modelsLeft;
  const char* captionLeft;
  friend void PrintTo(const FailureRow& row, std::ostream* os) { *os << row.name; }
};

class InfReaderFailures : public ::testing::TestWithParam<FailureRow> {};

TEST_P(InfReaderFailures, ReportThenFalse) {
  const FailureRow& row = GetParam();
  auto faults = [&](sim::SimMachine& m) {
    if (row.passCall == nullptr) return;
    m.PassNext(row.passCall, row.passes);
    m.FailNext(row.passCall, ERROR_ACCESS_DENIED);
  };
  Read r = ReadInf(row.inf, FALSE, faults);
  EXPECT_FALSE(r.result);
  ASSERT_EQ(r.boxes.size(), 2u);
  EXPECT_EQ(r.boxes[0].caption, "Last Error");
  EXPECT_EQ(r.boxes[1].text, row.text);
  EXPECT_EQ(r.boxes[1].caption, row.caption);
  EXPECT_EQ(r.boxes[1].type, static_cast<UINT>(MB_OK));
  EXPECT_EQ(r.models, row.modelsLeft);
  EXPECT_EQ(r.monitors.size(), row.modelsLeft.size());
  EXPECT_EQ(r.caption, row.captionLeft);
  EXPECT_EQ(r.selection, LB_ERR);

  // Unattended, only the system's text reaches the log, and no box shows.
  Read quiet = ReadInf(row.inf, TRUE, faults);
  EXPECT_FALSE(quiet.result);
  EXPECT_TRUE(quiet.boxes.empty());
  EXPECT_FALSE(quiet.log.empty());
  EXPECT_EQ(quiet.log.find(row.text), std::string::npos);
}

const std::string kOtherClass = [] {
  std::string s = kThreeModels;
  s.replace(s.find("Class=Printer"), 13, "Class=Net");
  return s;
}();

INSTANTIATE_TEST_SUITE_P(
    Rows, InfReaderFailures,
    ::testing::Values(
        FailureRow{
            "Missing", "", "SetupOpenInfFileA", 0, "setup.inf", "Error Reading INF!", {}, "before"},
        FailureRow{
            "OtherClass", kOtherClass, nullptr, 0, "setup.inf", "Error Reading INF!", {}, "before"},
        FailureRow{"NoManufacturer",
                   kVersion,
                   nullptr,
                   0,
                   "Error Reading Manufacturer!",
                   "Reading INF",
                   {},
                   "before"},
        FailureRow{"ManufacturerUnreadable",
                   kThreeModels,
                   "SetupGetLineTextA",
                   2,
                   "Error Reading Manufacturer!",
                   "Reading INF",
                   {},
                   "before"},
        FailureRow{"FirstModelLineNotFound",
                   kThreeModels,
                   "SetupFindFirstLineA",
                   1,
                   "Error Reading Model!",
                   "Reading INF",
                   {},
                   "QVR Driver Installation"},
        FailureRow{"SecondModelFieldsUnreadable",
                   kThreeModels,
                   "SetupGetMultiSzFieldA",
                   3,
                   "Error Reading Model field!",
                   "Reading INF",
                   {"QVR 3417"},
                   "QVR Driver Installation"}),
    RowName);

TEST(InfReader, DialogAfterInitialisationWithThreeModelsAndThreePrinters) {
  SimRun run;
  run.machine.PutFile("C:\\pkg\\setup.inf", kThreeModels);
  run.machine.printers.AddPrinter("Halvern LX 520");
  run.machine.printers.AddPrinter("QVR 3417 Front");
  run.machine.printers.AddPrinter("Fax");
  run.machine.registry.SetValue(
      "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\"
      "Version-3\\QVR 3417 Front",
      "DriverVersion", REG_BINARY, {4, 0, 3, 0, 2, 0, 1, 0});
  run.machine.registry.SetString(
      "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\"
      "Version-3\\QVR 3417 Front",
      "DriverDate", "05/14/2024");
  run.Start("setup.inf");
  using headless::LastControl;
  EXPECT_EQ(LastControl(IDC_INSTALLED).items, (Strings{"Halvern LX 520", "QVR 3417 Front", "Fax"}));
  EXPECT_EQ(LastControl(IDC_DRIVER_VERSIONS).items, (Strings{"", "1.2.3.4", ""}));
  EXPECT_EQ(LastControl(IDC_MODELS).items, (Strings{"QVR 3417", "QVR 5474", "QVR 6491"}));
  EXPECT_EQ(LastControl(IDC_MONITORS).items, (Strings{"qvrmon.dll", "qvrmon2.dll", "qvrmon.dll"}));
  EXPECT_EQ(LastControl(IDC_MODELS).curSel, -1);
  EXPECT_EQ(LastControl(IDC_GRP_INSTALLATION).text, "QVR Driver Installation");
  EXPECT_EQ(LastControl(IDC_DRIVERVER).text, "05/14/2024,2.3.0.1");
  EXPECT_EQ(LastControl(IDC_STATUS).text, "Select the printer you want to install.");
  EXPECT_FALSE(LastControl(IDC_INSTALL).enabled);
  EXPECT_FALSE(LastControl(IDC_UPDATE).enabled);
  EXPECT_EQ(headless::IconResource(LastControl(IDC_STATE_ICON).icon),
            static_cast<UINT>(IDI_STATE_SELECT));
  EXPECT_TRUE(run.session.messageBoxes.empty());
}

// A package for both kinds of Windows: each models section lists its own
// models, and the install sections are decorated in turn. The x86 model
// keeps its monitor in its install section, the amd64 one in a data
// section.
const std::string kDecorated =
    kVersion +
    "[Manufacturer]\r\n"
    "%QVR%=QVR,NTx86,NTamd64\r\n"
    "[QVR]\r\n"
    "\"QVR 9000\" = QVR9000, LPTENUM\\QVR9000, QVR 9000\r\n"
    "[QVR.NTx86]\r\n"
    "\"QVR 3417\" = QVR3417, LPTENUM\\Kalbrix_ABQVR34170B7C, QVR 3417\r\n"
    "\"QVR 5474\" = QVR5474, LPTENUM\\Kalbrix_ABQVR5474E85A, QVR 5474\r\n"
    "[QVR.NTamd64]\r\n"
    "\"QVR 3417\" = QVR3417, LPTENUM\\Kalbrix_ABQVR34170B7C, QVR 3417\r\n"
    "\"QVR 6491\" = QVR6491, LPTENUM\\KALBRIX_ABQVR6491B06D, QVR 6491\r\n"
    "[QVR3417]\r\nDataSection=WRONG\r\n"
    "[QVR3417.NTx86]\r\nLanguageMonitor=\"QVR Monitor,qvrmon.dll\"\r\n"
    "[QVR3417.NTamd64]\r\nDataSection=DATA64\r\n"
    "[QVR5474.NT]\r\nLanguageMonitor=\"QVR Monitor,qvrmon5.dll\"\r\n"
    "[QVR6491]\r\nDataSection=DATA64_6491\r\n"
    "[DATA64]\r\nLanguageMonitor=\"QVR Monitor,qvrmon64.dll\"\r\n"
    "[DATA64_6491]\r\nLanguageMonitor=\"QVR Monitor,qvrmon6491.dll\"\r\n"
    "[WRONG]\r\nLanguageMonitor=\"QVR Monitor,wrong.dll\"\r\n"
    "[Strings]\r\nQVR=\"QVR\"\r\n";

TEST(InfReader, DecoratedInfInEachBuild) {
  Read x86 = ReadInf(kDecorated);
  EXPECT_TRUE(x86.result);
  EXPECT_EQ(x86.caption, "QVR Driver Installation");
  EXPECT_EQ(x86.models, (Strings{"QVR 3417", "QVR 5474"}));
  EXPECT_EQ(x86.monitors, (Strings{"qvrmon.dll", "qvrmon5.dll"}));
  EXPECT_EQ(x86.selection, 0);
  EXPECT_TRUE(x86.boxes.empty());

  Read amd64 = ReadInf(kDecorated, FALSE, nullptr, true);
  EXPECT_TRUE(amd64.result);
  EXPECT_EQ(amd64.caption, "QVR Driver Installation");
  EXPECT_EQ(amd64.models, (Strings{"QVR 3417", "QVR 6491"}));
  EXPECT_EQ(amd64.monitors, (Strings{"qvrmon64.dll", "qvrmon6491.dll"}));
  EXPECT_TRUE(amd64.boxes.empty());
}

TEST(InfReader, DecoratedInfWithoutASectionForThePlatform) {
  std::string x86Only = kDecorated;
  x86Only.replace(x86Only.find(",NTamd64"), 8, "");
  // The 64-bit build has no models section: empty lists, as for a missing
  // section. The 32-bit build falls back to the undecorated one.
  Read amd64 = ReadInf(x86Only, FALSE, nullptr, true);
  EXPECT_TRUE(amd64.result);
  EXPECT_EQ(amd64.caption, "QVR Driver Installation");
  EXPECT_TRUE(amd64.models.empty());
  EXPECT_TRUE(amd64.boxes.empty());

  std::string amd64Only = kDecorated;
  amd64Only.replace(amd64Only.find(",NTx86"), 6, "");
  Read x86 = ReadInf(amd64Only);
  EXPECT_EQ(x86.models, (Strings{"QVR 9000"}));
  EXPECT_EQ(x86.monitors, (Strings{""}));
  EXPECT_EQ(x86.boxes.size(), 1u);  // the missing monitor
}

TEST(InfReader, DecorationsFollowTheSystemVersion) {
  std::string inf = kVersion +
                    "[Manufacturer]\r\nQVR=QVR,NTx86,NTx86.6.2,NTx86.6.1\r\n"
                    "[QVR.NTx86]\r\na = S, H, Any\r\n"
                    "[QVR.NTx86.6.2]\r\na = S, H, Eight\r\n"
                    "[QVR.NTx86.6.1]\r\na = S, H, Seven\r\n"
                    "[S]\r\nLanguageMonitor=M,m.dll\r\n";
  auto windows7 = [](sim::SimMachine& m) {
    m.systemVersion = {6, 1, 7601, "Service Pack 1", 1, 0, 0, VER_NT_WORKSTATION};
  };
  EXPECT_EQ(ReadInf(inf, FALSE, windows7).models, (Strings{"Seven"}));
  auto windows8 = [](sim::SimMachine& m) { m.systemVersion = {6, 2, 9200}; };
  EXPECT_EQ(ReadInf(inf, FALSE, windows8).models, (Strings{"Eight"}));
  // A system that tells nothing meets only the decoration without version.
  auto silent = [](sim::SimMachine& m) { m.FailNext("GetVersionExA", ERROR_INVALID_PARAMETER); };
  EXPECT_EQ(ReadInf(inf, FALSE, silent).models, (Strings{"Any"}));
}

// Hundreds of models share a few install sections: each section is looked
// up once per read, and a failed one is still reported for every model.
TEST(InfReader, SharedInstallSectionLookedUpOnce) {
  std::string models;
  for (int i = 0; i < 30; ++i)
    models += "m" + std::to_string(i) + " = " +
              (i % 3 == 0   ? "S1"
               : i % 3 == 1 ? "s2"
                            : "S9") +
              ", H, M" + std::to_string(i) + "\r\n";
  Read r = ReadInf(WithModels(models));
  ASSERT_EQ(r.monitors.size(), 30u);
  EXPECT_EQ(r.monitors[0], "one.dll");
  EXPECT_EQ(r.monitors[1], "two.dll");  // section names ignore case
  EXPECT_EQ(r.monitors[2], "");
  EXPECT_EQ(r.monitors[27], "one.dll");
  EXPECT_EQ(r.boxes.size(), 10u);  // one report for each model of S9
  auto count = [&](const std::string& call) {
    return std::count(r.calls.begin(), r.calls.end(), call);
  };
  EXPECT_EQ(count("SetupDiGetActualSectionToInstallA"), 3);
  // DriverVer and the Manufacturer line; then two lookups for each section:
  // S1 and S2 DataSection and LanguageMonitor, S9 DataSection and its own.
  EXPECT_EQ(count("SetupGetLineTextA"), 3 + 2 * 3);
}

// An undecorated INF makes the calls it always made, in the same order,
// and asks only for each install section's platform variant besides.
TEST(InfReader, UndecoratedInfCallsInTheirOrder) {
  Read r = ReadInf(kThreeModels);
  const Strings kPerModel = {"SetupGetMultiSzFieldA", "SetupGetMultiSzFieldA",
                             "SetupDiGetActualSectionToInstallA", "SetupGetLineTextA",
                             "SetupGetLineTextA"};
  // The package folder was read before, when the dialog opened.
  Strings expected = {"SetupOpenInfFileA",  "SetupGetLineTextA", "SetupFindFirstLineA",
                      "SetupGetLineTextA",  "SetupGetLineTextA", "SetupGetLineCountA",
                      "SetupFindFirstLineA"};
  for (int i = 0; i < 3; ++i) {
    if (i > 0) expected.push_back("SetupFindNextLine");
    expected.insert(expected.end(), kPerModel.begin(), kPerModel.end());
  }
  expected.push_back("SetupCloseInfFile");
  Strings calls;
  for (const std::string& call : r.calls)
    if (call != "FormatMessageA" && call != "LocalFree") calls.push_back(call);
  EXPECT_EQ(calls, expected);
}

// A name too long for the platform variant is looked up as written.
TEST(InfReader, LongInstallSectionNameIsLookedUpAsWritten) {
  Read r = ReadInf(WithModels("a = " + std::string(300, 'I') + ", H, Long\r\n"));
  EXPECT_EQ(r.models, (Strings{"Long"}));
  EXPECT_EQ(r.monitors, (Strings{""}));
  EXPECT_EQ(std::count(r.calls.begin(), r.calls.end(), "SetupDiGetActualSectionToInstallA"), 0);
}

// A model without a monitor gets an empty entry; the Update of that model
// then stops before the spooler and leaves every file where it was.
TEST(InfReader, ModelWithoutMonitorIsNotUpdated) {
  SimRun run;
  run.machine.PutFile("C:\\pkg\\setup.inf", WithModels("\"QVR 5474\" = S1, H, QVR 5474\r\n"
                                                       "\"QVR 3417\" = S8, H, QVR 3417\r\n",
                                                       "[S8]\r\nDataSection=D8\r\n"));
  run.machine.PutFile("C:\\windows\\system32\\one.dll", "the other model's monitor");
  run.machine.printers.AddPrinter("QVR 3417 Front");
  run.machine.devices.AddDevice("Kalbrix_ABQVR34170B7C");
  run.Start("setup.inf \"QVR 3417\"");
  EXPECT_EQ(headless::LastControl(IDC_MONITORS).items, (Strings{"one.dll", ""}));
  std::string log = run.Log();
  EXPECT_NE(log.find("Kalbrix_ABQVR34170B7C\nCan't get Monitor resource text!\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("Stop Spooler"), std::string::npos);
  EXPECT_EQ(run.machine.services.spooler().stops, 0);
  EXPECT_EQ(run.machine.FileContent("C:\\windows\\system32\\one.dll"),
            std::string("the other model's monitor"));
  EXPECT_FALSE(run.machine.Exists("C:\\pkg\\bak"));
}

}  // namespace
