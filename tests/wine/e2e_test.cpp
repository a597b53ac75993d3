// End-to-end tests: the real qvrsetup.exe, started as a user or an
// installation script starts it, observed through its windows.
//
// Environment:
//   QVR_EXE      path of qvrsetup.exe (default: next to this program)
//   QVR_WORKDIR  scratch folder; each test works in a fresh subfolder named
//                after it (default: %TEMP%\qvr_e2e), but for the tests with
//                installed printers, which unpack their package into the
//                scratch folder itself
// Under Wine, tests/wine/wine_prefix.sh sets both and gives every test a
// prefix of its own, with the printers, the running spooler and the side
// tool that the test needs (see CMakeLists.txt). On Windows, copy
// qvrsetup.exe, this program and KillLogoTestingWarnings.exe into one folder
// and run this one; the tests with installed printers then need the
// printers of data/printers.reg installed and change the machine (system32,
// the INF store, a device).
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <setupapi.h>
#include <winspool.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "resource.h"
#include "window_driver.h"

namespace {

using e2e::ChildProcess;

constexpr char kMainCaption[] = "QVR Driver Setup";
constexpr char kErrorCaption[] = "Error";
constexpr char kLogFile[] = "QVR_Download.txt";
// An unattended run that has nothing to do ends at once; this leaves room
// for a slow machine.
constexpr DWORD kEndsAloneMs = 10000;

// A small printer driver package INF: two models, each with its own
// language monitor.
constexpr char kPrinterInf[] =
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "Class=Printer\r\n"
    "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\n"
    "Provider=QVR\r\n"
    "DriverVer=05/14/2024,2.3.0.1\r\n"
    "\r\n"
    "[Manufacturer]\r\n"
    "QVR=QVR\r\n"
    "\r\n"
    "[QVR]\r\n"
    "\"QVR 3417\" = QVR3417, USBPRINT\\QVR3417, QVR 3417\r\n"
    "\"QVR 5100 Pro\" = QVR5100, USBPRINT\\QVR5100, QVR 5100 Pro\r\n"
    "\r\n"
    "[QVR3417]\r\n"
    "DataSection=QVR3417_DATA\r\n"
    "\r\n"
    "[QVR3417_DATA]\r\n"
    "LanguageMonitor=\"QVR Monitor\",qvrlm.dll\r\n"
    "\r\n"
    "[QVR5100]\r\n"
    "DataSection=QVR5100_DATA\r\n"
    "\r\n"
    "[QVR5100_DATA]\r\n"
    "LanguageMonitor=\"QVR Pro Monitor\",qvrlmpro.dll\r\n";

const std::vector<std::string> kModels = {"QVR 3417", "QVR 5100 Pro"};
const std::vector<std::string> kMonitors = {"qvrlm.dll", "qvrlmpro.dll"};

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string text(path, length);
  return text.substr(0, text.find_last_of("\\/") + 1);
}

// Empties `folder` (files only; the tests make no subfolders) or creates it.
bool MakeEmptyFolder(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        ::DeleteFileA((folder + "\\" + entry.cFileName).c_str());
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
  }
  return ::CreateDirectoryA(folder.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

// Of the windows that a run which ends during the main dialog's
// initialisation showed, those that Windows shows too. Windows destroys a
// dialog that ends in its WM_INITDIALOG before showing it. Wine's
// DialogBox shows a WS_VISIBLE template after WM_INITDIALOG all the same
// and destroys it right after, so a watcher may catch it for a moment,
// with its caption or, already going, without an answer. Any other window
// (a message box) counts under Wine too.
std::vector<std::string> ShownBesidesWineFlash(const std::vector<std::string>& shown) {
  if (!e2e::RunningUnderWine()) return shown;
  std::vector<std::string> others;
  for (const std::string& caption : shown)
    if (caption != kMainCaption && caption != e2e::kNoAnswer) others.push_back(caption);
  return others;
}

class SetupProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    m_exe = Environment("QVR_EXE");
    if (m_exe.empty()) m_exe = ProgramFolder() + "qvrsetup.exe";
    ASSERT_NE(::GetFileAttributesA(m_exe.c_str()), INVALID_FILE_ATTRIBUTES)
        << "qvrsetup.exe not found at " << m_exe << " (set QVR_EXE)";

    std::string root = Environment("QVR_WORKDIR");
    if (root.empty()) {
      char temp[MAX_PATH] = {};
      ::GetTempPathA(MAX_PATH, temp);
      root = std::string(temp) + "qvr_e2e";
    }
    ASSERT_TRUE(::CreateDirectoryA(root.c_str(), nullptr) ||
                ::GetLastError() == ERROR_ALREADY_EXISTS)
        << root << ": error " << ::GetLastError();
    m_folder = FolderFor(root, ::testing::UnitTest::GetInstance()->current_test_info()->name());
    ASSERT_TRUE(MakeEmptyFolder(m_folder)) << m_folder << ": error " << ::GetLastError();
  }

  // The folder a test works in, under the scratch root: one of its own.
  virtual std::string FolderFor(const std::string& root, const std::string& testName) const {
    return root + "\\" + testName;
  }

  void WriteFile(const char* name, const std::string& content) {
    ASSERT_NO_FATAL_FAILURE(WriteFileAt(Path(name), content));
  }

  static void WriteFileAt(const std::string& path, const std::string& content) {
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path << ": error " << ::GetLastError();
    DWORD written = 0;
    BOOL ok =
        ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
    ASSERT_TRUE(ok && written == content.size()) << path;
  }

  bool FileExists(const char* name) {
    return ::GetFileAttributesA(Path(name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  std::string Path(const char* name) const { return m_folder + "\\" + name; }

  void Start(const std::string& arguments) {
    std::string error;
    ASSERT_TRUE(m_child.Start(m_exe, arguments, m_folder, &error)) << error;
  }

  // The one visible window titled `caption`, once it takes input.
  HWND AwaitWindow(const char* caption) {
    HWND window = e2e::WaitForWindow(m_child, caption);
    EXPECT_NE(window, nullptr) << "no \"" << caption << "\" window within " << e2e::kWaitMs
                               << " ms; " << e2e::DescribeWindows(m_child.Id());
    return window;
  }

  // Presses `id` and waits for `window` to close.
  void Dismiss(HWND window, int id) {
    ASSERT_TRUE(e2e::PressButton(window, id));
    ASSERT_TRUE(e2e::WaitUntilGone(window)) << "still open after pressing " << id;
  }

  void ExpectEndsWithCodeZero() {
    DWORD exitCode = 0;
    ASSERT_TRUE(m_child.WaitForExit(e2e::kWaitMs, &exitCode))
        << "still running; " << e2e::DescribeWindows(m_child.Id());
    EXPECT_EQ(exitCode, 0u);
  }

  std::string m_exe;
  std::string m_folder;
  ChildProcess m_child;
};

// Without arguments and without an INF the program explains twice, one
// dialog after the other, and ends. The main dialog never opens.
TEST_F(SetupProgram, NoArgumentsWithoutInf) {
  ASSERT_NO_FATAL_FAILURE(Start(""));

  HWND search = AwaitWindow(kErrorCaption);
  ASSERT_NE(search, nullptr);
  EXPECT_EQ(e2e::ControlText(search, IDC_ERROR_MESSAGE), "Error enumerating INF files!");
  EXPECT_EQ(e2e::ControlText(search, IDC_ERROR_CODE), "2");  // ERROR_FILE_NOT_FOUND
  EXPECT_EQ(e2e::VisibleWindows(m_child.Id()).size(), 1u) << e2e::DescribeWindows(m_child.Id());
  ASSERT_NO_FATAL_FAILURE(Dismiss(search, IDOK));

  HWND none = AwaitWindow(kErrorCaption);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(e2e::ControlText(none, IDC_ERROR_MESSAGE), "No INF file found!");
  EXPECT_EQ(e2e::ControlText(none, IDC_ERROR_CODE), "0");
  EXPECT_EQ(e2e::VisibleWindows(m_child.Id()).size(), 1u) << e2e::DescribeWindows(m_child.Id());
  ASSERT_NO_FATAL_FAILURE(Dismiss(none, IDOK));

  ExpectEndsWithCodeZero();
}

// Discovery takes an INF from the current folder, whatever the case of its
// extension, and the main dialog opens on it without any error dialog.
TEST_F(SetupProgram, InfDiscoveryFindsInfWithoutArguments) {
  ASSERT_NO_FATAL_FAILURE(WriteFile("QVR Printer.INF", kPrinterInf));
  ASSERT_NO_FATAL_FAILURE(Start(""));

  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(e2e::VisibleWindows(m_child.Id()).size(), 1u) << e2e::DescribeWindows(m_child.Id());
  // The models show that the reader got the name that discovery found.
  EXPECT_EQ(e2e::ListItems(dialog, IDC_MODELS), kModels);
  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));

  ExpectEndsWithCodeZero();
}

// An INF and no printer name: an interactive run. The dialog shows what the
// INF offers and, with no printer installed, offers Install, shows the red
// cross and waits for the user. End closes it, and an interactive run leaves
// no progress log behind.
TEST_F(SetupProgram, InfWithoutPrinterShowsMainDialog) {
  ASSERT_NO_FATAL_FAILURE(WriteFile("setup.inf", kPrinterInf));
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));

  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(e2e::VisibleWindows(m_child.Id()).size(), 1u) << e2e::DescribeWindows(m_child.Id());

  EXPECT_EQ(e2e::ListItems(dialog, IDC_INSTALLED),
            std::vector<std::string>{"No Printer available!"});
  EXPECT_EQ(e2e::ListItems(dialog, IDC_DRIVER_VERSIONS), std::vector<std::string>{});
  EXPECT_EQ(e2e::ListItems(dialog, IDC_MODELS), kModels);
  EXPECT_EQ(e2e::ListItems(dialog, IDC_MONITORS), kMonitors);
  // The reader selects the first model; an interactive run clears that.
  EXPECT_EQ(e2e::ListSelection(dialog, IDC_MODELS), LB_ERR);

  EXPECT_TRUE(e2e::ControlEnabled(dialog, IDC_INSTALL));
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_UPDATE));
  EXPECT_TRUE(e2e::ControlEnabled(dialog, IDOK));

  EXPECT_EQ(e2e::ControlText(dialog, IDC_DRIVERVER), "05/14/2024,2.3.0.1");
  EXPECT_EQ(e2e::ControlText(dialog, IDC_STATUS), "Select the printer you want to install.");
  EXPECT_EQ(e2e::ControlText(dialog, IDC_RESULT), "");  // not the template's "Static"
  EXPECT_EQ(e2e::ControlText(dialog, IDC_GRP_INSTALLATION), "QVR Driver Installation");

  HICON shown = e2e::StaticIcon(dialog, IDC_STATE_ICON);
  ASSERT_NE(shown, nullptr);
  std::optional<std::vector<DWORD>> shownPixels = e2e::IconPixels(shown);
  if (e2e::RunningUnderWine()) {
    // Wine keeps an icon's pictures in the process that loaded it: for a
    // handle from another process GetIconInfo fails, where Windows shares
    // icons between all processes of a session. So under Wine the test
    // cannot see which picture the control shows. If this starts to fail,
    // Wine shares icons now and the comparison below can run here too.
    EXPECT_FALSE(shownPixels.has_value()) << "Wine read another process's icon";
  } else {
    HICON cross = e2e::LoadIconFromFile(m_exe, IDI_STATE_ERROR);
    HICON arrow = e2e::LoadIconFromFile(m_exe, IDI_STATE_SELECT);
    ASSERT_NE(cross, nullptr);
    ASSERT_NE(arrow, nullptr);
    ASSERT_TRUE(shownPixels.has_value());
    EXPECT_EQ(shownPixels, e2e::IconPixels(cross)) << "the state icon is not the red cross";
    EXPECT_NE(shownPixels, e2e::IconPixels(arrow)) << "the state icon kept its template picture";
    ::DestroyIcon(cross);
    ::DestroyIcon(arrow);
  }

  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();
  EXPECT_FALSE(FileExists(kLogFile));
}

// Picking a model that no installed printer's name contains offers Install.
// "No Printer available!" is compared like a printer name and contains
// neither model.
TEST_F(SetupProgram, SelectingModelWithoutPrinterOffersInstall) {
  ASSERT_NO_FATAL_FAILURE(WriteFile("setup.inf", kPrinterInf));
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));
  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);

  ASSERT_TRUE(e2e::SelectListItem(dialog, IDC_MODELS, 1));
  ASSERT_TRUE(e2e::WaitForControlText(dialog, IDC_STATUS,
                                      "Press the Install button to start the installation."))
      << "status: \"" << e2e::ControlText(dialog, IDC_STATUS) << "\"";
  EXPECT_TRUE(e2e::ControlEnabled(dialog, IDC_INSTALL));
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_UPDATE));
  EXPECT_EQ(e2e::ListSelection(dialog, IDC_MODELS), 1);
  EXPECT_EQ(e2e::ListItems(dialog, IDC_INSTALLED),
            std::vector<std::string>{"No Printer available!"});

  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();
}

// A printer name that begins no installed printer's name: nothing to do.
// The dialog closes inside its own initialisation, so the program ends by
// itself without ever showing a window, and it writes no progress log.
TEST_F(SetupProgram, PrinterMatchingNothingEndsAlone) {
  ASSERT_NO_FATAL_FAILURE(WriteFile("setup.inf", kPrinterInf));
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf \"Nothing\" SILENT"));

  DWORD exitCode = 0;
  std::vector<std::string> shown;
  ASSERT_TRUE(m_child.WaitForExitWatchingWindows(kEndsAloneMs, &exitCode, &shown))
      << "still running after " << kEndsAloneMs << " ms; " << e2e::DescribeWindows(m_child.Id());
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(ShownBesidesWineFlash(shown), std::vector<std::string>{});
  EXPECT_FALSE(FileExists(kLogFile));
}

// ---------------------------------------------------------------------------
// A machine with printers installed: the printers and driver records of
// tests/wine/data/printers.reg, which wine_prefix.sh imports into the case's
// prefix. For an update the spooler runs (net start spooler), the installed
// printer's language monitor lies in system32, and a Plug and Play device
// with the model's hardware ID is plugged in.

// A printer driver package INF with three models. The model lines keep
// this program's layout: install section, hardware ID, model name.
constexpr char kPackageInf[] =
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "Class=Printer\r\n"
    "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\n"
    "Provider=QVR\r\n"
    "DriverVer=03/11/2024,1.2.3.5\r\n"
    "\r\n"
    "[Manufacturer]\r\n"
    "QVR=QVR\r\n"
    "\r\n"
    "[QVR]\r\n"
    "\"QVR 3417\" = QVR3417, LPTENUM\\Kalbrix_ABQVR34170B7C, QVR 3417\r\n"
    "\"QVR 5100 Pro\" = QVR5100, LPTENUM\\Kalbrix_ABQVR54022D6F, QVR 5100 Pro\r\n"
    "\"QVR 6491\" = QVR6491, LPTENUM\\KALBRIX_ABQVR6491B06D, QVR 6491\r\n"
    "\r\n"
    "[QVR3417]\r\n"
    "DataSection=QVRDATA\r\n"
    "\r\n"
    "[QVR5100]\r\n"
    "DataSection=QVRPRODATA\r\n"
    "\r\n"
    "[QVR6491]\r\n"
    "DataSection=QVRDATA\r\n"
    "\r\n"
    "[QVRDATA]\r\n"
    "LanguageMonitor=\"QVR Monitor,qvrmon.dll\"\r\n"
    "\r\n"
    "[QVRPRODATA]\r\n"
    "LanguageMonitor=\"QVR Pro Monitor,qvrmonpro.dll\"\r\n";

const std::vector<std::string> kPackageModels = {"QVR 3417", "QVR 5100 Pro", "QVR 6491"};
const std::vector<std::string> kPackageMonitors = {"qvrmon.dll", "qvrmonpro.dll", "qvrmon.dll"};
constexpr int kUpdateModel = 0;   // "QVR 3417": a printer "QVR 3417 Front" is installed
constexpr int kInstallModel = 1;  // "QVR 5100 Pro": no printer's name holds it

// The printers of data/printers.reg, in no particular order, and the driver
// version the survey must find for each: only "QVR 3417 Front" has a
// complete record under its own name.
const std::vector<std::pair<std::string, std::string>> kInstalledPrinters = {
    {"HP LaserJet", ""}, {"Office Colour", ""}, {"QVR 3417 Front", "1.2.3.4"}};

// The hardware IDs of the plugged-in QVR 3417: the port's ID, as the INF
// names it, and the bare one that the program passes to the driver update.
const std::vector<std::string> kDeviceHardwareIds = {"LPTENUM\\Kalbrix_ABQVR34170B7C",
                                                     "Kalbrix_ABQVR34170B7C"};

constexpr char kMonitor[] = "qvrmon.dll";
// Two different contents tell which copy of the monitor went where.
constexpr char kInstalledMonitorContent[] = "the QVR language monitor installed in system32";
constexpr char kPackagedMonitorContent[] = "the QVR language monitor of the driver package";
constexpr char kSideTool[] = "KillLogoTestingWarnings.exe";
constexpr char kSideToolRecord[] = "side_tool_record.txt";  // written by fake_side_tool.cpp

// A 32-bit setup on 64-bit Windows refuses Update by design.
constexpr char kRefusedUnderWow64[] = "the 32-bit setup does not update on 64-bit Windows";

constexpr char kUpdateOffered[] = "Press the Update button to start the installation.";
constexpr char kInstallOffered[] = "Press the Install button to start the installation.";
constexpr char kNotPluggedIn[] =
    "The value specified for HardwareId does not match any device on the system. That is, the "
    "device is not plugged in.";

std::optional<std::string> ReadWholeFile(const std::string& path) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string content;
  char chunk[4096];
  DWORD read = 0;
  while (::ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
    content.append(chunk, read);
  ::CloseHandle(file);
  return content;
}

bool PathExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The file at `path` once something has written and closed it; nothing
// when none appears within `timeoutMs`.
std::optional<std::string> AwaitFile(const std::string& path, DWORD timeoutMs = e2e::kWaitMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (std::optional<std::string> content = ReadWholeFile(path)) return content;
    if (::GetTickCount() - start > timeoutMs) return std::nullopt;
    ::Sleep(20);
  }
}

std::string WindowsDirectory() {
  char directory[MAX_PATH] = {};
  UINT length = ::GetWindowsDirectoryA(directory, MAX_PATH);
  return std::string(directory, length < MAX_PATH ? length : 0);
}

// Where the program looks for an installed language monitor.
std::string InstalledMonitorPath() { return WindowsDirectory() + "\\system32\\" + kMonitor; }

// The names of the local printers, in the spooler's order.
std::vector<std::string> LocalPrinters() {
  DWORD needed = 0;
  DWORD returned = 0;
  ::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
  if (needed == 0) return {};
  std::vector<BYTE> buffer(needed);
  if (!::EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &returned))
    return {};
  std::vector<std::string> names;
  const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
  for (DWORD i = 0; i < returned; ++i) names.push_back(printers[i].pPrinterName);
  return names;
}

// The state of the print spooler service, or 0 when it can't be asked.
DWORD SpoolerState() {
  SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return 0;
  DWORD state = 0;
  if (SC_HANDLE spooler = ::OpenServiceA(manager, "Spooler", SERVICE_QUERY_STATUS)) {
    SERVICE_STATUS status{};
    if (::QueryServiceStatus(spooler, &status)) state = status.dwCurrentState;
    ::CloseServiceHandle(spooler);
  }
  ::CloseServiceHandle(manager);
  return state;
}

// The INF files of the system's INF store.
std::vector<std::string> InfStore() {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry;
  HANDLE search = ::FindFirstFileA((WindowsDirectory() + "\\inf\\*.inf").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(entry.cFileName);
  } while (::FindNextFileA(search, &entry));
  ::FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

bool RunningUnderWow64() {
  BOOL wow64 = FALSE;
  return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
}

// A root-enumerated device of the Printer class, registered the way a
// device installer registers a device that it creates, so that it stands
// for a plugged-in printer. Removed again when the object ends.
class RootPrinterDevice {
 public:
  RootPrinterDevice() = default;
  RootPrinterDevice(const RootPrinterDevice&) = delete;
  RootPrinterDevice& operator=(const RootPrinterDevice&) = delete;
  ~RootPrinterDevice() {
    if (m_set == INVALID_HANDLE_VALUE) return;
    if (m_registered) ::SetupDiCallClassInstaller(DIF_REMOVE, m_set, &m_device);
    ::SetupDiDestroyDeviceInfoList(m_set);
  }

  bool Create(const std::vector<std::string>& hardwareIds, std::string* error) {
    m_set = ::SetupDiCreateDeviceInfoList(&kPrinterClass, nullptr);
    if (m_set == INVALID_HANDLE_VALUE) return Failed("SetupDiCreateDeviceInfoList", error);
    if (!::SetupDiCreateDeviceInfoA(m_set, "PRINTER", &kPrinterClass, nullptr, nullptr,
                                    DICD_GENERATE_ID, &m_device))
      return Failed("SetupDiCreateDeviceInfoA", error);
    std::string ids;
    for (const std::string& id : hardwareIds) ids += id + '\0';
    ids += '\0';
    if (!::SetupDiSetDeviceRegistryPropertyA(m_set, &m_device, SPDRP_HARDWAREID,
                                             reinterpret_cast<const BYTE*>(ids.data()),
                                             static_cast<DWORD>(ids.size())))
      return Failed("SetupDiSetDeviceRegistryPropertyA(SPDRP_HARDWAREID)", error);
    if (!::SetupDiCallClassInstaller(DIF_REGISTERDEVICE, m_set, &m_device))
      return Failed("DIF_REGISTERDEVICE", error);
    m_registered = true;
    char id[256] = {};
    if (!::SetupDiGetDeviceInstanceIdA(m_set, &m_device, id, sizeof id, nullptr))
      return Failed("SetupDiGetDeviceInstanceIdA", error);
    m_instanceId = id;
    return true;
  }

  // What a driver installation left on the device, read afresh: its
  // description, and the INF section its driver key names ("" for none).
  std::string Description() const { return Property(SPDRP_DEVICEDESC); }
  std::string DriverInfSection() const {
    std::string section;
    HDEVINFO set = ::SetupDiCreateDeviceInfoList(nullptr, nullptr);
    SP_DEVINFO_DATA device = DeviceInfoData();
    if (::SetupDiOpenDeviceInfoA(set, m_instanceId.c_str(), nullptr, 0, &device)) {
      HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_READ);
      if (key != INVALID_HANDLE_VALUE) {
        char value[256] = {};
        DWORD size = sizeof value - 1;
        if (::RegQueryValueExA(key, "InfSection", nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                               &size) == ERROR_SUCCESS)
          section = value;
        ::RegCloseKey(key);
      }
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return section;
  }

 private:
  static constexpr GUID kPrinterClass = {
      0x4D36E979, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

  static SP_DEVINFO_DATA DeviceInfoData() {
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    return data;
  }

  static bool Failed(const char* step, std::string* error) {
    *error = std::string(step) + " failed with error " + std::to_string(::GetLastError());
    return false;
  }

  std::string Property(DWORD property) const {
    std::string text;
    HDEVINFO set = ::SetupDiCreateDeviceInfoList(nullptr, nullptr);
    SP_DEVINFO_DATA device = DeviceInfoData();
    char value[512] = {};
    if (::SetupDiOpenDeviceInfoA(set, m_instanceId.c_str(), nullptr, 0, &device) &&
        ::SetupDiGetDeviceRegistryPropertyA(set, &device, property, nullptr,
                                            reinterpret_cast<BYTE*>(value), sizeof value - 1,
                                            nullptr))
      text = value;
    ::SetupDiDestroyDeviceInfoList(set);
    return text;
  }

  HDEVINFO m_set = INVALID_HANDLE_VALUE;
  SP_DEVINFO_DATA m_device = DeviceInfoData();
  bool m_registered = false;
  std::string m_instanceId;
};

// What a progress log must hold: fixed texts in order, lines that repeat
// for as long as a wait lasts, and texts that the system words.
class LogPattern {
 public:
  LogPattern& Text(const std::string& text) {
    for (char c : text) {
      if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) m_regex += '\\';
      m_regex += c;
    }
    m_shown += Visible(text);
    return *this;
  }
  LogPattern& Line(const std::string& line) { return Text(line + "\n"); }
  // The line at least once.
  LogPattern& Repeated(const std::string& line) {
    m_regex += "(?:";
    Text(line + "\n");
    m_regex += ")+";
    m_shown += "  (once or more)\n";
    return *this;
  }
  // A text of the system's, not empty, worded as the system likes.
  LogPattern& SystemText() {
    m_regex += "[\\s\\S]+?";
    m_shown += "<system text>";
    return *this;
  }

  bool Matches(const std::string& log) const { return std::regex_match(log, std::regex(m_regex)); }
  const std::string& Shown() const { return m_shown; }

  // `text` with its line ends and carriage returns made visible.
  static std::string Visible(const std::string& text) {
    std::string shown;
    for (char c : text) {
      if (c == '\n')
        shown += "\\n\n";
      else if (c == '\r')
        shown += "\\r";
      else
        shown += c;
    }
    return shown;
  }

 private:
  std::string m_regex;
  std::string m_shown;
};

class InstalledPrinters : public SetupProgram {
 protected:
  // The package lies in the scratch root itself, C:\pkg under Wine, where
  // an installation script would have unpacked it.
  std::string FolderFor(const std::string& root, const std::string&) const override { return root; }

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(SetupProgram::SetUp());
    std::vector<std::string> printers = LocalPrinters();
    std::sort(printers.begin(), printers.end());
    std::vector<std::string> expected;
    for (const auto& printer : kInstalledPrinters) expected.push_back(printer.first);
    ASSERT_EQ(printers, expected)
        << "the machine lacks the printers of tests/wine/data/printers.reg "
           "(wine_prefix.sh run ... --registry printers.reg)";
    // A backup of an earlier run in the same folder must not count.
    ::DeleteFileA(Path("bak\\qvrmon.dll").c_str());
    ::RemoveDirectoryA(Path("bak").c_str());
    ASSERT_FALSE(PathExists(Path("bak"))) << "an earlier run left " << Path("bak");
    ASSERT_NO_FATAL_FAILURE(WriteFile("setup.inf", kPackageInf));
    ASSERT_NO_FATAL_FAILURE(WriteFile(kMonitor, kPackagedMonitorContent));
  }

  // What Update needs beyond the printers: the running spooler, the
  // installed monitor in system32 and, with `sideTool`, the tool in the
  // package.
  void PrepareUpdate(bool sideTool) {
    ASSERT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING))
        << "the spooler must run before the case (wine_prefix.sh run ... --spooler)";
    ASSERT_NO_FATAL_FAILURE(WriteFileAt(InstalledMonitorPath(), kInstalledMonitorContent));
    if (sideTool) {
      const std::string built = ProgramFolder() + kSideTool;
      ASSERT_TRUE(::CopyFileA(built.c_str(), Path(kSideTool).c_str(), FALSE))
          << built << " (wine_prefix.sh run ... --program " << kSideTool << "): error "
          << ::GetLastError();
    }
  }

  void PlugInPrinter() {
    std::string error;
    ASSERT_TRUE(m_device.Create(kDeviceHardwareIds, &error)) << error;
  }

  // An unattended run ends by itself in time, and so leaves no window: a
  // message box would wait for an answer that nobody gives. It shows no
  // window on the way either (but for Wine's flash of the dialog).
  void RunUnattended(const std::string& arguments, DWORD* exitCode) {
    ASSERT_NO_FATAL_FAILURE(Start(arguments));
    std::vector<std::string> shown;
    ASSERT_TRUE(m_child.WaitForExitWatchingWindows(e2e::kWaitMs, exitCode, &shown))
        << "still running after " << e2e::kWaitMs << " ms; " << e2e::DescribeWindows(m_child.Id());
    EXPECT_EQ(ShownBesidesWineFlash(shown), std::vector<std::string>{})
        << "an unattended run showed windows";
  }

  // The log of an Update of the QVR 3417 from the package folder, up to and
  // with "Update Driver\n", with every step done and none failed.
  LogPattern UpdateLogUpToDriverUpdate(bool sideToolMissing) const {
    LogPattern log;
    log.Line(m_folder)
        .Line(Path("setup.inf"))
        .Line("Kalbrix_ABQVR34170B7C")
        .Line(kMonitor)
        .Line(Path(kMonitor))
        .Line(Path("bak"))
        .Line(InstalledMonitorPath())
        .Line("Stop Spooler")
        .Line("SERVICE_OPEN for stop")
        .Line("SERVICE_STOP")
        .Line("SERVICE_CLOSE")
        .Line("SERVICE_OPEN for query")
        .Repeated("SPOOLER SERVICE not yet STOPPED")
        .Line("SPOOLER SERVICE STOPPED")
        .Line("SERVICE_CLOSE handle")
        .Line("Create Backup Directory")
        .Line("Copy Language Monitor to Backup Directory")
        .Line("Delete Language Monitor")
        .Line("Start Spooler")
        .Line("SERVICE_OPEN for start")
        .Line("SERVICE_START")
        .Line("SERVICE_CLOSE")
        .Line("SERVICE_OPEN for query")
        .Repeated("SERVICE not yet STARTED")
        .Line("SPOOLER SERVICE STARTED")
        .Line("SERVICE_CLOSE")
        .Line("SERVICE_CLOSE handle")
        .Text("Language Monitor backup: ")
        .SystemText();
    // The runtime's errno for a missing program file.
    if (sideToolMissing) log.Line("Error runing script: errno = 2");
    log.Line("Update Driver");
    return log;
  }

  void ExpectLog(const LogPattern& expected) {
    std::optional<std::string> log = ReadWholeFile(Path(kLogFile));
    ASSERT_TRUE(log.has_value()) << "no " << kLogFile;
    EXPECT_TRUE(expected.Matches(*log)) << "the log holds:\n"
                                        << LogPattern::Visible(*log) << "\nand should hold:\n"
                                        << expected.Shown();
  }

  // After a completed update: the installed monitor lies in "bak" of the
  // package folder and no longer in system32, the package's own copy is
  // untouched, and the spooler runs again.
  void ExpectMonitorBackedUpAndSpoolerRunning() {
    EXPECT_EQ(ReadWholeFile(Path("bak\\qvrmon.dll")), std::string(kInstalledMonitorContent));
    EXPECT_FALSE(PathExists(InstalledMonitorPath())) << InstalledMonitorPath() << " is still there";
    EXPECT_EQ(ReadWholeFile(Path(kMonitor)), std::string(kPackagedMonitorContent));
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
  }

  // The driver of the package's QVR 3417 model is now the device's.
  void ExpectDeviceDriverFromPackage() {
    EXPECT_EQ(m_device.DriverInfSection(), "QVR3417");
    EXPECT_EQ(m_device.Description(), "QVR 3417");
  }

  // The one INF that came into the INF store since `before`, by name; it
  // must hold the package INF.
  void ExpectPackageInfAddedToStore(const std::vector<std::string>& before) {
    std::vector<std::string> added;
    for (const std::string& name : InfStore())
      if (!std::binary_search(before.begin(), before.end(), name)) added.push_back(name);
    ASSERT_EQ(added.size(), 1u) << "INFs added to the store: " << added.size();
    EXPECT_EQ(ReadWholeFile(WindowsDirectory() + "\\inf\\" + added[0]), std::string(kPackageInf));
    if (e2e::RunningUnderWine()) {
      // Wine's SetupCopyOEMInf keeps the INF's own name when the store has
      // no file of that name yet; Windows always names the copy oem<n>.inf.
      EXPECT_EQ(added[0], "setup.inf");
    } else {
      EXPECT_TRUE(std::regex_match(added[0], std::regex("oem[0-9]+\\.inf", std::regex::icase)))
          << added[0];
    }
  }

  // Selects model `index` and waits until the dialog has taken it in.
  void SelectModel(HWND dialog, int index, const char* offer) {
    ASSERT_TRUE(e2e::SelectListItem(dialog, IDC_MODELS, index));
    std::vector<std::string> boxes;
    ASSERT_TRUE(e2e::WaitForProcedureEnd(m_child.Id(), dialog, IDC_STATUS, offer, &boxes))
        << "status: \"" << e2e::ControlText(dialog, IDC_STATUS) << "\"";
    EXPECT_EQ(boxes, std::vector<std::string>{});
  }

  RootPrinterDevice m_device;
};

// Every local printer is listed in the spooler's order, with the version of
// the driver recorded under the printer's own name; records under the
// driver's name, of the 64-bit environment or without a date don't count.
// The INF's side is shown as without printers, and with printers installed
// neither button is offered before a model is chosen.
TEST_F(InstalledPrinters, InstalledPrintersListedWithDriverVersions) {
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));
  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);

  const std::vector<std::string> order = LocalPrinters();
  std::vector<std::string> versions;
  for (const std::string& name : order)
    for (const auto& printer : kInstalledPrinters)
      if (printer.first == name) versions.push_back(printer.second);
  EXPECT_EQ(e2e::ListItems(dialog, IDC_INSTALLED), order);
  EXPECT_EQ(e2e::ListItems(dialog, IDC_DRIVER_VERSIONS), versions);
  EXPECT_EQ(e2e::ListSelection(dialog, IDC_INSTALLED), 0);

  EXPECT_EQ(e2e::ControlText(dialog, IDC_GRP_INSTALLATION), "QVR Driver Installation");
  EXPECT_EQ(e2e::ControlText(dialog, IDC_DRIVERVER), "03/11/2024,1.2.3.5");
  EXPECT_EQ(e2e::ListItems(dialog, IDC_MODELS), kPackageModels);
  EXPECT_EQ(e2e::ListItems(dialog, IDC_MONITORS), kPackageMonitors);
  EXPECT_EQ(e2e::ListSelection(dialog, IDC_MODELS), LB_ERR);
  EXPECT_EQ(e2e::ControlText(dialog, IDC_STATUS), "Select the printer you want to install.");
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_INSTALL));
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_UPDATE));

  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();
  EXPECT_FALSE(FileExists(kLogFile));
}

// A model whose name occurs in an installed printer's name offers Update,
// any other Install; each choice replaces the one before.
TEST_F(InstalledPrinters, SelectingModelOffersUpdateOrInstall) {
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));
  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);

  struct Choice {
    int model;
    bool update;
  };
  // Alternating, so that every choice changes the status line.
  for (Choice choice : {Choice{0, true}, Choice{1, false}, Choice{0, true}, Choice{2, false}}) {
    SCOPED_TRACE("model " + kPackageModels[choice.model]);
    ASSERT_NO_FATAL_FAILURE(
        SelectModel(dialog, choice.model, choice.update ? kUpdateOffered : kInstallOffered));
    EXPECT_EQ(e2e::ControlEnabled(dialog, IDC_UPDATE), choice.update);
    EXPECT_EQ(e2e::ControlEnabled(dialog, IDC_INSTALL), !choice.update);
  }
  // The printers stay as they were listed.
  EXPECT_EQ(e2e::ListItems(dialog, IDC_INSTALLED), LocalPrinters());

  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();
}

// The unattended update that an installation script runs: every step in
// the log, the monitor backed up and removed, the spooler running again,
// the side tool started with //NOLOGO, the device's driver taken from the
// package, and exit status 0 for the script.
TEST_F(InstalledPrinters, UnattendedUpdate) {
  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  ASSERT_NO_FATAL_FAILURE(PrepareUpdate(true));
  ASSERT_NO_FATAL_FAILURE(PlugInPrinter());

  DWORD exitCode = 0;
  ASSERT_NO_FATAL_FAILURE(RunUnattended("setup.inf \"QVR 3417\" SILENT", &exitCode));
  EXPECT_EQ(exitCode, 0u);

  ExpectLog(UpdateLogUpToDriverUpdate(false).Text("Driver update completed."));
  ExpectMonitorBackedUpAndSpoolerRunning();
  ExpectDeviceDriverFromPackage();
  // The tool's command line is exactly the one argument, which stands
  // where a program name usually does.
  EXPECT_EQ(AwaitFile(Path(kSideToolRecord)), std::string("//NOLOGO"));
}

// An update for a printer that is not plugged in, with SILENT but no side
// tool in the package: the missing tool is logged with the runtime's
// errno and the update goes on. On Windows the driver update then finds no
// device, reports so and the run fails.
TEST_F(InstalledPrinters, UnattendedUpdateWithoutDeviceOrTool) {
  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  ASSERT_NO_FATAL_FAILURE(PrepareUpdate(false));

  DWORD exitCode = 0;
  ASSERT_NO_FATAL_FAILURE(RunUnattended("setup.inf \"QVR 3417\" SILENT", &exitCode));

  LogPattern expected = UpdateLogUpToDriverUpdate(true);
  if (e2e::RunningUnderWine()) {
    // Wine's UpdateDriverForPlugAndPlayDevices looks for a device with the
    // ID, installs on none and still reports success, where Windows fails
    // with ERROR_NO_SUCH_DEVINST. Should this start to fail, Wine now
    // answers as Windows does and the other branch holds for both.
    EXPECT_EQ(exitCode, 0u);
    expected.Text("Driver update completed.");
  } else {
    EXPECT_EQ(exitCode, 1u);
    expected.Text(kNotPluggedIn);
  }
  ExpectLog(expected);
  ExpectMonitorBackedUpAndSpoolerRunning();
}

// A printer name that begins an installed printer's name ("HP LaserJet")
// but no model name: an unattended Install. The INF goes into the INF
// store, the log is created and stays empty, and the script gets 0.
TEST_F(InstalledPrinters, UnattendedInstall) {
  const std::vector<std::string> before = InfStore();

  DWORD exitCode = 0;
  ASSERT_NO_FATAL_FAILURE(RunUnattended("setup.inf \"HP\"", &exitCode));
  EXPECT_EQ(exitCode, 0u);

  ExpectPackageInfAddedToStore(before);
  EXPECT_EQ(ReadWholeFile(Path(kLogFile)), std::string());
}

// The user picks the installed printer's model and presses Update. The
// dialog reports only in its status line: no message box on the way, and
// afterwards only End is left. An interactive run writes no log.
TEST_F(InstalledPrinters, InteractiveUpdate) {
  if (RunningUnderWow64()) GTEST_SKIP() << kRefusedUnderWow64;
  ASSERT_NO_FATAL_FAILURE(PrepareUpdate(false));
  ASSERT_NO_FATAL_FAILURE(PlugInPrinter());
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));
  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);
  ASSERT_NO_FATAL_FAILURE(SelectModel(dialog, kUpdateModel, kUpdateOffered));

  ASSERT_TRUE(e2e::PressButton(dialog, IDC_UPDATE));
  std::vector<std::string> boxes;
  ASSERT_TRUE(e2e::WaitForProcedureEnd(m_child.Id(), dialog, IDC_STATUS, "Driver update completed.",
                                       &boxes))
      << "status: \"" << e2e::ControlText(dialog, IDC_STATUS) << "\"";
  EXPECT_EQ(boxes, std::vector<std::string>{});
  EXPECT_EQ(e2e::ControlText(dialog, IDC_RESULT), "");
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_INSTALL));
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_UPDATE));
  EXPECT_TRUE(e2e::ControlEnabled(dialog, IDOK));
  ExpectMonitorBackedUpAndSpoolerRunning();
  ExpectDeviceDriverFromPackage();

  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();
  EXPECT_FALSE(FileExists(kLogFile));
}

// The user picks a model that no installed printer has and presses
// Install: the INF goes into the store and the result line tells where
// the driver files stay.
TEST_F(InstalledPrinters, InteractiveInstall) {
  const std::vector<std::string> before = InfStore();
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));
  HWND dialog = AwaitWindow(kMainCaption);
  ASSERT_NE(dialog, nullptr);
  ASSERT_NO_FATAL_FAILURE(SelectModel(dialog, kInstallModel, kInstallOffered));

  ASSERT_TRUE(e2e::PressButton(dialog, IDC_INSTALL));
  std::vector<std::string> boxes;
  ASSERT_TRUE(
      e2e::WaitForProcedureEnd(m_child.Id(), dialog, IDC_STATUS, "Operation completed.", &boxes))
      << "status: \"" << e2e::ControlText(dialog, IDC_STATUS) << "\"";
  EXPECT_EQ(boxes, std::vector<std::string>{});
  // Two blanks after "are", as scripts expect them.
  EXPECT_EQ(e2e::ControlText(dialog, IDC_RESULT),
            "The INF file was copied and the driver files are  stored in the following "
            "directory: " +
                m_folder);
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_INSTALL));
  EXPECT_FALSE(e2e::ControlEnabled(dialog, IDC_UPDATE));
  ExpectPackageInfAddedToStore(before);

  ASSERT_NO_FATAL_FAILURE(Dismiss(dialog, IDOK));
  ExpectEndsWithCodeZero();
  EXPECT_FALSE(FileExists(kLogFile));
}

}  // namespace
