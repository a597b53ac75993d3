// End-to-end tests: the real qvrsetup.exe reads a package INF of the shape
// that packages for both kinds of Windows have. Its Manufacturer line names
// models sections for x86 and for amd64, each for Windows 10, for Windows
// 11 (build 22000 on) and for older systems, which list different models;
// the install sections are decorated in turn. Each build lists its own
// platform's models for the Windows it runs on, with their monitors, and
// updates the model from them.
//
// Environment and machine as for e2e_test.cpp: QVR_EXE and QVR_WORKDIR, and
// for the update the printers of data/printers.reg and the running spooler.
// QVR_WINDOWS names the Windows that the machine was made to be (7, 10 or
// 11); without it the cases take the system's own.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "resource.h"
#include "window_driver.h"

namespace {

// The x86 model QVR 3417 keeps its monitor in its install section, the
// amd64 one in a data section; the other models the other way round. The
// undecorated section is for no platform of these tests.
constexpr char kDecoratedInf[] =
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "Class=Printer\r\n"
    "ClassGUID={4D36E979-E325-11CE-BFC1-08002BE10318}\r\n"
    "Provider=%QVR%\r\n"
    "DriverVer=07/01/2025,2.0.0.1\r\n"
    "\r\n"
    "[Manufacturer]\r\n"
    "%QVR%=QVR,NTx86,NTamd64,NTx86.10.0,NTamd64.10.0,NTx86.10.0...22000,NTamd64.10.0...22000\r\n"
    "\r\n"
    "[QVR]\r\n"
    "\"QVR 9000\" = QVR9000, LPTENUM\\QVR9000, QVR 9000\r\n"
    "\r\n"
    "[QVR.NTx86]\r\n"
    "\"QVR 3417\" = QVR3417, LPTENUM\\Kalbrix_ABQVR34170B7C, QVR 3417\r\n"
    "\"QVR 5474\" = QVR5474, LPTENUM\\Kalbrix_ABQVR5474E85A, QVR 5474\r\n"
    "[QVR.NTx86.10.0]\r\n"
    "\"QVR 3417\" = QVR3417, LPTENUM\\Kalbrix_ABQVR34170B7C, QVR 3417\r\n"
    "\"QVR 5486\" = QVR5486, LPTENUM\\Kalbrix_ABQVR54867C3B, QVR 5486\r\n"
    "[QVR.NTx86.10.0...22000]\r\n"
    "\"QVR 3417\" = QVR3417, LPTENUM\\Kalbrix_ABQVR34170B7C, QVR 3417\r\n"
    "\"QVR 5495\" = QVR5495, LPTENUM\\Kalbrix_ABQVR54953F94, QVR 5495\r\n"
    "\r\n"
    "[QVR.NTamd64]\r\n"
    "\"QVR 3417\" = QVR3417, LPTENUM\\Kalbrix_ABQVR34170B7C, QVR 3417\r\n"
    "\"QVR 6491\" = QVR6491, LPTENUM\\KALBRIX_ABQVR6491B06D, QVR 6491\r\n"
    "[QVR.NTamd64.10.0]\r\n"
    "\"QVR 3417\" = QVR3417, LPTENUM\\Kalbrix_ABQVR34170B7C, QVR 3417\r\n"
    "\"QVR 4437\" = QVR4437, LPTENUM\\Kalbrix_AB_QVR_4437C4D8, QVR 4437\r\n"
    "[QVR.NTamd64.10.0...22000]\r\n"
    "\"QVR 3417\" = QVR3417, LPTENUM\\Kalbrix_ABQVR34170B7C, QVR 3417\r\n"
    "\"QVR 3426\" = QVR3426, LPTENUM\\Kalbrix_ABQVR3426A3F1, QVR 3426\r\n"
    "\r\n"
    "[QVR9000]\r\nLanguageMonitor=\"QVR Monitor,qvrmon9000.dll\"\r\n"
    "[QVR3417]\r\nDataSection=QVR3417_OLD\r\n"
    "[QVR3417.NTx86]\r\nLanguageMonitor=\"QVR Monitor,qvrmon.dll\"\r\n"
    "[QVR3417.NTamd64]\r\nDataSection=QVR3417_DATA64\r\n"
    "[QVR5474.NTx86]\r\nDataSection=QVR5474_DATA\r\n"
    "[QVR5486.NTx86]\r\nLanguageMonitor=\"QVR Monitor,qvrmon5486.dll\"\r\n"
    "[QVR5495.NT]\r\nLanguageMonitor=\"QVR Monitor,qvrmon5495.dll\"\r\n"
    "[QVR6491.NTamd64]\r\nLanguageMonitor=\"QVR Monitor,qvrmon6491x64.dll\"\r\n"
    "[QVR4437.NTamd64]\r\nLanguageMonitor=\"QVR Monitor,qvrmon4437x64.dll\"\r\n"
    "[QVR3426]\r\nLanguageMonitor=\"QVR Monitor,qvrmon3426.dll\"\r\n"
    "[QVR3417_OLD]\r\nLanguageMonitor=\"QVR Monitor,qvrmonold.dll\"\r\n"
    "[QVR3417_DATA64]\r\nLanguageMonitor=\"QVR Monitor,qvrmon64.dll\"\r\n"
    "[QVR5474_DATA]\r\nLanguageMonitor=\"QVR Monitor,qvrmon5474.dll\"\r\n"
    "\r\n"
    "[Strings]\r\n"
    "QVR=\"QVR\"\r\n";

// The monitor of the QVR 3417 that this build updates, and the other model
// that it lists beside it, with that model's monitor, on each Windows.
#if defined(_WIN64)
constexpr char kMonitor[] = "qvrmon64.dll";
struct OtherModel {
  const char* model;
  const char* monitor;
} const kOtherModel[] = {
    {"QVR 6491", "qvrmon6491x64.dll"},  // Windows 7
    {"QVR 4437", "qvrmon4437x64.dll"},  // Windows 10
    {"QVR 3426", "qvrmon3426.dll"},     // Windows 11
};
#else
constexpr char kMonitor[] = "qvrmon.dll";
struct OtherModel {
  const char* model;
  const char* monitor;
} const kOtherModel[] = {
    {"QVR 5474", "qvrmon5474.dll"},
    {"QVR 5486", "qvrmon5486.dll"},
    {"QVR 5495", "qvrmon5495.dll"},
};
#endif

// The Windows that the system is, as RtlGetVersion tells it to every
// program whatever its manifest: 7, 10, 11, or 0 for another.
int SystemRelease() {
  using Fn = LONG(WINAPI*)(OSVERSIONINFOW*);
  auto fn = reinterpret_cast<Fn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (fn == nullptr || fn(&version) != 0) return 0;
  if (version.dwMajorVersion == 6 && version.dwMinorVersion == 1) return 7;
  if (version.dwMajorVersion == 10) return version.dwBuildNumber >= 22000 ? 11 : 10;
  return 0;
}

// The Windows the machine was made to be, else the system's own.
int ExpectedRelease() {
  const char* named = std::getenv("QVR_WINDOWS");
  return named != nullptr ? std::atoi(named) : SystemRelease();
}

const OtherModel& OtherModelHere() {
  int release = ExpectedRelease();
  return kOtherModel[release == 11 ? 2 : release == 10 ? 1 : 0];
}

constexpr char kInstalledMonitorContent[] = "the language monitor installed in system32";

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::optional<std::string> ReadFileAt(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool WriteFileAt(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  return static_cast<bool>(out.flush());
}

std::string System32() {
  char directory[MAX_PATH] = {};
  UINT length = ::GetWindowsDirectoryA(directory, MAX_PATH);
  return std::string(directory, length < MAX_PATH ? length : 0) + "\\system32";
}

class DecoratedPackage : public ::testing::Test {
 protected:
  void SetUp() override {
    m_exe = Environment("QVR_EXE");
    if (m_exe.empty()) {
      char path[MAX_PATH] = {};
      std::string self(path, ::GetModuleFileNameA(nullptr, path, MAX_PATH));
      m_exe = self.substr(0, self.find_last_of("\\/") + 1) + "qvrsetup.exe";
    }
    std::string root = Environment("QVR_WORKDIR");
    if (root.empty()) {
      char temp[MAX_PATH] = {};
      root = std::string(temp, ::GetTempPathA(MAX_PATH, temp)) + "qvr_e2e";
      ::CreateDirectoryA(root.c_str(), nullptr);
    }
    m_folder = root + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    ASSERT_TRUE(::CreateDirectoryA(m_folder.c_str(), nullptr)) << m_folder << " (must be new)";
    ASSERT_TRUE(WriteFileAt(Path("setup.inf"), kDecoratedInf));
  }

  std::string Path(const std::string& name) const { return m_folder + "\\" + name; }

  void Start(const std::string& arguments) {
    std::string error;
    ASSERT_TRUE(m_child.Start(m_exe, arguments, m_folder, &error)) << error;
  }

  std::string m_exe;
  std::string m_folder;
  e2e::ChildProcess m_child;
};

TEST_F(DecoratedPackage, DecoratedInfListsThisBuildsModels) {
  // A machine made to be one Windows that tells its programs another would
  // test the wrong sections.
  ASSERT_EQ(SystemRelease(), ExpectedRelease()) << "the Windows the machine tells";
  ASSERT_NO_FATAL_FAILURE(Start("setup.inf"));
  HWND dialog = e2e::WaitForWindow(m_child, "QVR Driver Setup");
  ASSERT_NE(dialog, nullptr) << e2e::DescribeWindows(m_child.Id());

  EXPECT_EQ(e2e::ControlText(dialog, IDC_GRP_INSTALLATION), "QVR Driver Installation");
  EXPECT_EQ(e2e::ControlText(dialog, IDC_DRIVERVER), "07/01/2025,2.0.0.1");
  const OtherModel& other = OtherModelHere();
  EXPECT_EQ(e2e::ListItems(dialog, IDC_MODELS),
            (std::vector<std::string>{"QVR 3417", other.model}));
  EXPECT_EQ(e2e::ListItems(dialog, IDC_MONITORS),
            (std::vector<std::string>{kMonitor, other.monitor}));

  ASSERT_TRUE(e2e::PressButton(dialog, IDOK));
  DWORD exitCode = 1;
  ASSERT_TRUE(m_child.WaitForExit(e2e::kWaitMs, &exitCode)) << e2e::DescribeWindows(m_child.Id());
  EXPECT_EQ(exitCode, 0u);
}

// An installation script updates the installed QVR 3417 from the package:
// the model and its monitor come from this platform's sections.
TEST_F(DecoratedPackage, UnattendedUpdateFromDecoratedInf) {
  BOOL wow64 = FALSE;
  if (::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64)
    GTEST_SKIP() << "the 32-bit setup does not update on 64-bit Windows";
  const std::string installed = System32() + "\\" + kMonitor;
  ASSERT_TRUE(WriteFileAt(installed, kInstalledMonitorContent)) << installed;

  ASSERT_NO_FATAL_FAILURE(Start("setup.inf \"QVR 3417\""));
  DWORD exitCode = 1;
  ASSERT_TRUE(m_child.WaitForExit(e2e::kWaitMs, &exitCode)) << e2e::DescribeWindows(m_child.Id());

  std::optional<std::string> log = ReadFileAt(Path("QVR_Download.txt"));
  ASSERT_TRUE(log.has_value()) << "no log: the run was not unattended";
  const std::string head = m_folder + "\n" + Path("setup.inf") + "\nKalbrix_ABQVR34170B7C\n" +
                           kMonitor + "\n" + Path(kMonitor) + "\n" + Path("bak") + "\n" +
                           installed + "\nStop Spooler\n";
  EXPECT_EQ(log->substr(0, head.size()), head) << *log;
  EXPECT_NE(log->find("Copy Language Monitor to Backup Directory\nDelete Language Monitor\n"),
            std::string::npos)
      << *log;
  EXPECT_EQ(ReadFileAt(Path(std::string("bak\\") + kMonitor)),
            std::string(kInstalledMonitorContent));
  EXPECT_FALSE(ReadFileAt(installed).has_value()) << installed << " is still there";
  if (e2e::RunningUnderWine()) {
    // Wine's driver update succeeds without the device (see e2e_test.cpp).
    EXPECT_EQ(exitCode, 0u) << *log;
  }
}

}  // namespace
