#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/update_journal.h"
#include "sim_run.h"

namespace {

using headless::IconResource;
using headless::LastControl;
using Bytes = std::vector<BYTE>;
using Items = std::vector<std::string>;

const std::string kDrivers =
    "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows NT x86\\Drivers\\Version-3\\";
const Bytes kVersion1234 = {0x04, 0x00, 0x03, 0x00, 0x02, 0x00, 0x01, 0x00};

void AddDriverRecord(sim::SimMachine& machine, const std::string& driver,
                     const Bytes& version = kVersion1234) {
  machine.registry.SetString(kDrivers + driver, "DriverDate", "06/21/2006");
  machine.registry.SetBinary(kDrivers + driver, "DriverVersion", version);
}

// Every key the survey opened is closed and every buffer it took is freed.
void ExpectNothingLeftOpen(sim::SimMachine& machine) {
  EXPECT_EQ(machine.registry.OpenKeys(), 0);
  EXPECT_EQ(machine.OpenAllocations(), 0);
  EXPECT_EQ(machine.badHandleUses, 0);
}

// Starts the program without a printer name, so the dialog stays open after
// its initialisation, and closes it again.
void RunDialog(SimRun& run) {
  run.session.user = [](CDialog& dialog) { headless::Click(dialog, IDOK); };
  run.Start("setup.inf");
}

TEST(PrinterSurvey, MachineWithoutPrintersShowsThePlaceholder) {
  SimRun run;
  RunDialog(run);
  EXPECT_EQ(LastControl(IDC_INSTALLED).items, Items{"No Printer available!"});
  EXPECT_TRUE(LastControl(IDC_DRIVER_VERSIONS).items.empty());
  EXPECT_TRUE(LastControl(IDC_INSTALL).enabled);
  EXPECT_EQ(IconResource(LastControl(IDC_STATE_ICON).icon), static_cast<UINT>(IDI_STATE_ERROR));
  ExpectNothingLeftOpen(run.machine);
}

TEST(PrinterSurvey, ThreePrintersOneWithADriverRecord) {
  SimRun run;
  run.machine.printers.AddPrinter("Office Laser", "Office Laser");
  run.machine.printers.AddPrinter("QVR 3417", "QVR 3417", "USB001");
  run.machine.printers.AddPrinter("Label Writer", "Label Writer");
  AddDriverRecord(run.machine, "QVR 3417");
  RunDialog(run);
  EXPECT_EQ(LastControl(IDC_INSTALLED).items, (Items{"Office Laser", "QVR 3417", "Label Writer"}));
  EXPECT_EQ(LastControl(IDC_DRIVER_VERSIONS).items, (Items{"", "1.2.3.4", ""}));
  EXPECT_TRUE(LastControl(IDC_INSTALLED).focused);
  // Printers were found: the template's state stays.
  EXPECT_FALSE(LastControl(IDC_INSTALL).enabled);
  EXPECT_EQ(IconResource(LastControl(IDC_STATE_ICON).icon), static_cast<UINT>(IDI_STATE_SELECT));
  ExpectNothingLeftOpen(run.machine);
}

// The dialog's installed-printer list takes no selection, so what the
// survey asked for is seen on a list that does.
TEST(PrinterSurvey, AppendsToTheGivenListFocusesItAndSelectsTheFirstEntry) {
  SimRun run;
  run.machine.printers.AddPrinter("A");
  run.machine.printers.AddPrinter("B");
  BOOL listed = FALSE;
  run.WithDialog([&](CSetupDlg& dlg) {
    headless::Window& list = headless::Control(dlg, IDC_INSTALLED);
    list.style &= ~static_cast<DWORD>(LBS_NOSEL);
    dlg.m_lbInstalled.SendMessage(LB_RESETCONTENT);
    dlg.m_lbDriverVersions.SendMessage(LB_RESETCONTENT);
    dlg.m_lbInstalled.AddString("kept");
    dlg.m_lbDriverVersions.AddString("kept");
    dlg.m_lbModels.SetFocus();
    listed = dlg.ListInstalledPrinters(&dlg.m_lbInstalled);
    EXPECT_TRUE(list.focused);
    EXPECT_EQ(dlg.m_lbInstalled.GetCurSel(), 0);
  });
  EXPECT_TRUE(listed);
  EXPECT_EQ(LastControl(IDC_INSTALLED).items, (Items{"kept", "A", "B"}));
  EXPECT_EQ(LastControl(IDC_DRIVER_VERSIONS).items, (Items{"kept", "", ""}));
  ExpectNothingLeftOpen(run.machine);
}

// ---------------------------------------------------------------- enumeration failures

constexpr DWORD kRpcServerUnavailable = 1722;  // the spooler is not running

struct EnumerationFailure {
  const char* name;
  bool printers;
  const char* failingCall;  // fails once, from the start; may be null
  DWORD error;
  // Done to the machine after the survey's size query.
  std::function<void(sim::SimMachine&)> betweenCalls;
  int enumerations;  // EnumPrintersA calls the survey makes
  friend void PrintTo(const EnumerationFailure& row, std::ostream* os) { *os << row.name; }
};

class EnumerationFails : public ::testing::TestWithParam<EnumerationFailure> {};

TEST_P(EnumerationFails, ListsNoPrinter) {
  const EnumerationFailure& c = GetParam();
  SimRun run;
  if (c.printers) {
    run.machine.printers.AddPrinter("QVR 3417");
    AddDriverRecord(run.machine, "QVR 3417");
  }
  if (c.failingCall != nullptr) run.machine.FailNext(c.failingCall, c.error);
  int enumerations = 0;
  run.machine.printers.afterEachCall = [&] {
    if (++enumerations == 1 && c.betweenCalls) c.betweenCalls(run.machine);
  };
  RunDialog(run);
  EXPECT_EQ(enumerations, c.enumerations);
  EXPECT_EQ(LastControl(IDC_INSTALLED).items, Items{"No Printer available!"});
  EXPECT_TRUE(LastControl(IDC_DRIVER_VERSIONS).items.empty());
  // No driver record is read; the run looks for an interrupted Update only.
  ASSERT_EQ(run.machine.registry.openCalls.size(), 1u);
  EXPECT_EQ(run.machine.registry.openCalls[0].path, QVR_JOURNAL_KEY);
  ExpectNothingLeftOpen(run.machine);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EnumerationFails,
    ::testing::Values(
        // The answer observed under Wine: no failure and no bytes needed.
        EnumerationFailure{"NoPrinters", false, nullptr, 0, nullptr, 1},
        EnumerationFailure{"SizeQueryFailsOtherwise", true, "EnumPrintersA", kRpcServerUnavailable,
                           nullptr, 1},
        // Asked for a buffer, but for none of any size.
        EnumerationFailure{"SizeQueryNeedsNoBytes", false, "EnumPrintersA",
                           ERROR_INSUFFICIENT_BUFFER, nullptr, 1},
        EnumerationFailure{"BufferNotAllocated", true, "GlobalAlloc", ERROR_NOT_ENOUGH_MEMORY,
                           nullptr, 1},
        EnumerationFailure{
            "SecondEnumerationFails", true, nullptr, 0,
            [](sim::SimMachine& m) { m.FailNext("EnumPrintersA", kRpcServerUnavailable); }, 2},
        // The buffer no longer holds every record.
        EnumerationFailure{"PrinterAddedBetweenTheCalls", true, nullptr, 0,
                           [](sim::SimMachine& m) { m.printers.AddPrinter("Newcomer"); }, 2}),
    RowName);

// ---------------------------------------------------------------- driver records

struct RecordCase {
  const char* name;
  std::string printer, driver;  // the printer's name and its driver's
  std::string recordKey;        // where the record lies
  std::optional<Bytes> date, version;
  std::string expected;
  friend void PrintTo(const RecordCase& row, std::ostream* os) { *os << row.name; }
};

class DriverRecord : public ::testing::TestWithParam<RecordCase> {};

TEST_P(DriverRecord, GivesTheVersionEntry) {
  const RecordCase& c = GetParam();
  SimRun run;
  run.machine.printers.AddPrinter(c.printer, c.driver);
  if (c.date) run.machine.registry.SetBinary(c.recordKey, "DriverDate", *c.date);
  if (c.version) run.machine.registry.SetBinary(c.recordKey, "DriverVersion", *c.version);
  RunDialog(run);
  EXPECT_EQ(LastControl(IDC_INSTALLED).items, Items{c.printer});
  EXPECT_EQ(LastControl(IDC_DRIVER_VERSIONS).items, Items{c.expected});
  ExpectNothingLeftOpen(run.machine);
}

const Bytes kDate = {'0', '6', '/', '2', '1', '/', '2', '0', '0', '6', 0};

INSTANTIATE_TEST_SUITE_P(
    Lookup, DriverRecord,
    ::testing::Values(
        RecordCase{"NamedLikeThePrinter", "QVR 3417", "QVR 3417", kDrivers + "QVR 3417", kDate,
                   kVersion1234, "1.2.3.4"},
        // The record goes by the driver's name, the survey by the printer's.
        RecordCase{"RenamedPrinter", "Front Desk", "QVR 3417", kDrivers + "QVR 3417", kDate,
                   kVersion1234, ""},
        RecordCase{"OnlyA64BitRecord", "QVR 3417", "QVR 3417",
                   "SYSTEM\\CurrentControlSet\\Control\\Print\\Environments\\Windows x64\\Drivers\\"
                   "Version-3\\QVR 3417",
                   kDate, kVersion1234, ""},
        RecordCase{"NoDriverDate", "QVR 3417", "QVR 3417", kDrivers + "QVR 3417", std::nullopt,
                   kVersion1234, ""},
        RecordCase{"NoDriverVersion", "QVR 3417", "QVR 3417", kDrivers + "QVR 3417", kDate,
                   std::nullopt, ""},
        // The date is read whole, whatever its length.
        RecordCase{"LongDriverDate", "QVR 3417", "QVR 3417", kDrivers + "QVR 3417", Bytes(300, 'x'),
                   kVersion1234, "1.2.3.4"}),
    RowName);

INSTANTIATE_TEST_SUITE_P(
    Decoding, DriverRecord,
    ::testing::Values(
        RecordCase{"Words", "P", "P", kDrivers + "P", kDate,
                   Bytes{0x04, 0x00, 0x03, 0x00, 0x02, 0x00, 0x01, 0x00}, "1.2.3.4"},
        RecordCase{"WordsAreUnsigned", "P", "P", kDrivers + "P", kDate,
                   Bytes{0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x00}, "10.0.0.65535"},
        RecordCase{"HighBytesCount", "P", "P", kDrivers + "P", kDate,
                   Bytes{0x34, 0x12, 0x00, 0x01, 0x00, 0x80, 0xFF, 0x7F}, "32767.32768.256.4660"},
        RecordCase{"ShortValueMissingBytesAreZero", "P", "P", kDrivers + "P", kDate,
                   Bytes{0x05, 0x00, 0x06, 0x00}, "0.0.6.5"},
        // Sixteen bytes fit the buffer; only the first eight are the version.
        RecordCase{"SixteenBytes", "P", "P", kDrivers + "P", kDate,
                   Bytes{0x04, 0x00, 0x03, 0x00, 0x02, 0x00, 0x01, 0x00, 9, 9, 9, 9, 9, 9, 9, 9},
                   "1.2.3.4"},
        RecordCase{"LongerThanSixteenBytes", "P", "P", kDrivers + "P", kDate,
                   Bytes{0x04, 0x00, 0x03, 0x00, 0x02, 0x00, 0x01, 0x00, 9, 9, 9, 9, 9, 9, 9, 9, 9},
                   ""}),
    RowName);

// ---------------------------------------------------------------- registry failures

// A printer whose record can't be read keeps its row; the next one is read.
TEST(PrinterSurvey, UnreadableRecordLeavesOnlyItsOwnEntryEmpty) {
  SimRun run;
  run.machine.printers.AddPrinter("QVR 3417");
  run.machine.printers.AddPrinter("QVR 5474");
  AddDriverRecord(run.machine, "QVR 3417");
  AddDriverRecord(run.machine, "QVR 5474", {0, 0, 0, 0, 0, 0, 2, 0});
  run.machine.PassNext("RegOpenKeyExA", 1);  // the look for an interrupted Update
  run.machine.FailNext("RegOpenKeyExA", ERROR_ACCESS_DENIED);
  RunDialog(run);
  EXPECT_EQ(LastControl(IDC_INSTALLED).items, (Items{"QVR 3417", "QVR 5474"}));
  EXPECT_EQ(LastControl(IDC_DRIVER_VERSIONS).items, (Items{"", "2.0.0.0"}));
  ExpectNothingLeftOpen(run.machine);
}

// Each step that fails after the key is open still closes it and frees the
// date's buffer.
TEST(PrinterSurvey, FailuresInsideTheRecordReleaseEverything) {
  struct Step {
    const char* call;
    DWORD error;
  };
  for (Step step : {Step{"RegQueryValueExA", ERROR_ACCESS_DENIED},
                    Step{"GlobalAlloc", ERROR_NOT_ENOUGH_MEMORY}}) {
    SCOPED_TRACE(step.call);
    SimRun run;
    AddDriverRecord(run.machine, "QVR 3417");
    CString version = "unset";
    run.WithDialog([&](CSetupDlg& dlg) {
      run.machine.FailNext(step.call, step.error);
      version = dlg.GetDriverVersion("QVR 3417");
    });
    EXPECT_EQ(version.str(), "");
    ExpectNothingLeftOpen(run.machine);
  }
}

// The date must be readable, not only present: here it grows between the
// query for its size and the read.
TEST(PrinterSurvey, DriverDateThatCantBeReadGivesNoVersion) {
  SimRun run;
  run.machine.printers.AddPrinter("QVR 3417");
  AddDriverRecord(run.machine, "QVR 3417");
  int queries = 0;
  run.machine.registry.afterEachCall = [&](const char* call) {
    if (std::string(call) == "RegQueryValueExA" && ++queries == 1)
      run.machine.registry.SetString(kDrivers + "QVR 3417", "DriverDate", "06/21/2006 (updated)");
  };
  RunDialog(run);
  EXPECT_EQ(LastControl(IDC_DRIVER_VERSIONS).items, Items{""});
  ExpectNothingLeftOpen(run.machine);
}

TEST(PrinterSurvey, NameTooLongForTheKeyPathHasNoVersion) {
  SimRun run;
  std::string name(1100, 'Q');
  AddDriverRecord(run.machine, name);
  CString version = "unset";
  run.WithDialog([&](CSetupDlg& dlg) {
    run.machine.registry.openCalls.clear();
    version = dlg.GetDriverVersion(name.c_str());
  });
  EXPECT_EQ(version.str(), "");
  EXPECT_TRUE(run.machine.registry.openCalls.empty());  // not a shortened key either
  ExpectNothingLeftOpen(run.machine);
}

}  // namespace

#include "catalogue/driver_environment.h"

TEST(DriverEnvironment, EachBuildReadsItsOwnDriverRecords) {
  EXPECT_STREQ(DriverEnvironment(false), "Windows NT x86");
  EXPECT_STREQ(DriverEnvironment(true), "Windows x64");
  EXPECT_FALSE(kX64Program);  // the native tests stand in for the 32-bit program
}
