// End-to-end tests: the real qvrsetup.exe, started as a user or an
// installation script starts it, observed through its windows.
//
// Environment:
//   QVR_EXE      path of qvrsetup.exe (default: next to this program)
//   QVR_WORKDIR  scratch folder; each test works in a fresh subfolder named
//                after it (default: %TEMP%\qvr_e2e)
// Under Wine, tests/wine/wine_prefix.sh sets both and gives every test a
// prefix of its own. On Windows, copy both programs into one folder and run
// this one.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>
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
    m_folder = root + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(MakeEmptyFolder(m_folder)) << m_folder << ": error " << ::GetLastError();
  }

  void WriteFile(const char* name, const std::string& content) {
    HANDLE file = ::CreateFileA(Path(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << Path(name);
    DWORD written = 0;
    ASSERT_TRUE(
        ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
    ::CloseHandle(file);
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
  EXPECT_EQ(shown, std::vector<std::string>{});
  EXPECT_FALSE(FileExists(kLogFile));
}

}  // namespace
