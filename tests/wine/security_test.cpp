// End-to-end cases for a package folder that other users can write: DLLs,
// links and names planted there must not lead the program astray.
//
// Run by tests/wine/wine_prefix.sh like the other cases (see CMakeLists.txt):
// the package lies in C:\pkg, the machine has the printers of
// data/printers.reg, and the planted-DLL cases run with Wine's native-first
// overrides for the planted names, which is the search order that Windows
// itself uses for a DLL outside the KnownDLLs list.
#include <string>
#include <vector>

#include "setup_program.h"

namespace {

using namespace setup_e2e;

constexpr char kInstalledMonitor[] = "the language monitor installed in system32";
constexpr char kOtherBytes[] = "another user's file, which must keep these bytes";

// The names of the planted DLLs: what the program, the DLLs it loads and
// the dialog's controls would look for beside the program. version.dll is
// left out: Wine's own system DLLs load it before the program starts, which
// Windows does not do, so a planted one would load under Wine whatever the
// program does.
const std::vector<std::string> kPlantedDlls = {"winspool.drv", "newdev.dll", "uxtheme.dll",
                                               "compstui.dll", "dwmapi.dll", "cfgmgr32.dll",
                                               "devobj.dll"};

// The package INF, with `monitor` as the language monitor file of both models.
std::string PackageInf(const std::string& monitor) {
  return "[Version]\r\n"
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
         "\r\n"
         "[QVR3417]\r\n"
         "DataSection=QVRDATA\r\n"
         "\r\n"
         "[QVR5100]\r\n"
         "DataSection=QVRDATA\r\n"
         "\r\n"
         "[QVRDATA]\r\n"
         "LanguageMonitor=\"QVR Monitor," +
         monitor + "\"\r\n";
}

DWORD LinkCount(const std::string& path) {
  HANDLE file = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, 7, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION info{};
  DWORD links = ::GetFileInformationByHandle(file, &info) ? info.nNumberOfLinks : 0;
  ::CloseHandle(file);
  return links;
}

// The package folder, C:\pkg under Wine, with the INF and the installed
// printer's monitor in system32; the program runs from there.
class UntrustedPackage : public ::testing::Test {
 protected:
  void SetUp() override {
    m_exe = Environment("QVR_EXE");
    if (m_exe.empty()) m_exe = ProgramFolder() + "qvrsetup.exe";
    m_folder = Environment("QVR_WORKDIR");
    ASSERT_FALSE(m_folder.empty()) << "set QVR_WORKDIR to the package folder";
    ASSERT_TRUE(::CreateDirectoryA(m_folder.c_str(), nullptr) ||
                ::GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(WriteWholeFile(Path("setup.inf"), PackageInf(kMonitor)));
  }

  std::string Path(const std::string& name) const { return m_folder + "\\" + name; }

  void PrepareUpdate() {
    ASSERT_TRUE(WriteWholeFile(InstalledMonitorPath(), kInstalledMonitor));
    // Once: an earlier run's tool may still be running.
    const std::string tool = ProgramFolder() + "KillLogoTestingWarnings.exe";
    if (!PathExists(Path("KillLogoTestingWarnings.exe"))) {
      ASSERT_TRUE(::CopyFileA(tool.c_str(), Path("KillLogoTestingWarnings.exe").c_str(), FALSE))
          << tool << ": error " << ::GetLastError();
    }
  }

  // Starts the program from the package folder and waits for it to end by
  // itself; its exit code.
  DWORD RunToEnd(const std::string& arguments, const std::string& exe = "",
                 e2e::ChildProcess* child = nullptr) {
    if (child == nullptr) child = &m_child;
    std::string error;
    EXPECT_TRUE(child->Start(exe.empty() ? m_exe : exe, arguments, m_folder, &error)) << error;
    DWORD exitCode = 0xFFFFFFFFu;
    EXPECT_TRUE(child->WaitForExit(e2e::kWaitMs, &exitCode))
        << "still running; " << e2e::DescribeWindows(child->Id());
    return exitCode;
  }

  std::string Log() const { return ReadWholeFile(Path(kLogFile)).value_or("<no log>"); }

  std::string m_exe;
  std::string m_folder;
  e2e::ChildProcess m_child;
};

// ---------------------------------------------------------------- DLLs

class PlantedDlls : public UntrustedPackage {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(UntrustedPackage::SetUp());
    const std::string marker = ProgramFolder() + "marker.dll";
    for (const std::string& name : kPlantedDlls)
      ASSERT_TRUE(::CopyFileA(marker.c_str(), Path(name).c_str(), FALSE))
          << marker << " to " << name << ": error " << ::GetLastError();
    // The program runs from the package folder, as it ships: the planted
    // DLLs lie in its own folder and in the current directory.
    ASSERT_TRUE(::CopyFileA(m_exe.c_str(), Path("qvrsetup.exe").c_str(), FALSE));
    m_exe = Path("qvrsetup.exe");
  }

  // The planted DLLs that were loaded.
  std::vector<std::string> Loaded() const {
    std::vector<std::string> loaded;
    for (const std::string& name : kPlantedDlls)
      if (PathExists(Path(name + ".marker"))) loaded.push_back(name);
    return loaded;
  }
};

// The marker works: a DLL loaded from the package folder leaves it.
TEST_F(PlantedDlls, PlantedDllLeavesItsMarkerWhenLoaded) {
  HMODULE planted = ::LoadLibraryA(Path("devobj.dll").c_str());
  ASSERT_NE(planted, nullptr) << "error " << ::GetLastError();
  ::FreeLibrary(planted);
  EXPECT_EQ(Loaded(), std::vector<std::string>{"devobj.dll"});
}

// `log` with each wait's progress line once, however long the wait took.
std::string WithoutRepeatedProgress(std::string log) {
  for (const std::string line : {"SPOOLER SERVICE not yet STOPPED\n", "SERVICE not yet STARTED\n"})
    for (size_t at; (at = log.find(line + line)) != std::string::npos;) log.erase(at, line.size());
  return log;
}

// The run ends as the same run ends without the planted DLLs.
TEST_F(PlantedDlls, PlantedDllsNotLoadedByUnattendedUpdate) {
  ASSERT_NO_FATAL_FAILURE(PrepareUpdate());
  DWORD exitCode = RunToEnd("setup.inf \"QVR 3417\" SILENT");
  EXPECT_EQ(Loaded(), std::vector<std::string>{});
  const std::string log = Log();
  EXPECT_NE(log.find("Delete Language Monitor\n"), std::string::npos) << log;

  for (const std::string& name : kPlantedDlls) ::DeleteFileA(Path(name).c_str());
  ::DeleteFileA(Path(std::string("bak\\") + kMonitor).c_str());
  ASSERT_NO_FATAL_FAILURE(PrepareUpdate());
  e2e::ChildProcess second;
  EXPECT_EQ(RunToEnd("setup.inf \"QVR 3417\" SILENT", "", &second), exitCode);
  EXPECT_EQ(WithoutRepeatedProgress(Log()), WithoutRepeatedProgress(log));
}

TEST_F(PlantedDlls, PlantedDllsNotLoadedByUnattendedInstall) {
  // "Halvern LX 520" is installed, but no model of the INF begins it. A
  // completed Install writes nothing to the log.
  DWORD exitCode = RunToEnd("setup.inf \"Halvern\"");
  EXPECT_EQ(Loaded(), std::vector<std::string>{});
  EXPECT_EQ(Log(), "");
  EXPECT_EQ(exitCode, 0u);
}

TEST_F(PlantedDlls, PlantedDllsNotLoadedByInteractiveRun) {
  std::string error;
  ASSERT_TRUE(m_child.Start(m_exe, "setup.inf", m_folder, &error)) << error;
  HWND dialog = e2e::WaitForWindow(m_child, kMainCaption);
  ASSERT_NE(dialog, nullptr) << e2e::DescribeWindows(m_child.Id());
  EXPECT_EQ(e2e::ListItems(dialog, IDC_MODELS).size(), 2u);
  ASSERT_TRUE(e2e::PressButton(dialog, IDOK));
  DWORD exitCode = 1;
  ASSERT_TRUE(m_child.WaitForExit(e2e::kWaitMs, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(Loaded(), std::vector<std::string>{});
}

// ---------------------------------------------------------------- links

TEST_F(UntrustedPackage, LogHardLinkedToAnotherFileLeavesItsBytes) {
  ASSERT_NO_FATAL_FAILURE(PrepareUpdate());
  const std::string other = "C:\\other_user.txt";
  ASSERT_TRUE(WriteWholeFile(other, kOtherBytes));
  ASSERT_TRUE(::CreateHardLinkA(Path(kLogFile).c_str(), other.c_str(), nullptr))
      << "error " << ::GetLastError();
  ASSERT_EQ(LinkCount(other), 2u);
  RunToEnd("setup.inf \"QVR 3417\" SILENT");
  EXPECT_EQ(ReadWholeFile(other), std::string(kOtherBytes));
  EXPECT_EQ(LinkCount(other), 1u);
  EXPECT_EQ(Log().rfind(m_folder + "\n", 0), 0u) << Log();  // a log of its own
}

// wine_prefix.sh makes C:\pkg\bak a Unix symbolic link to C:\elsewhere,
// which Wine shows as a reparse point.
TEST_F(UntrustedPackage, BackupFolderLinkedElsewhereIsNotUsed) {
  ASSERT_NO_FATAL_FAILURE(PrepareUpdate());
  ASSERT_NE(::GetFileAttributesA(Path("bak").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u)
      << "C:\\pkg\\bak is no link (wine_prefix.sh run ... --symlink pkg/bak elsewhere)";
  RunToEnd("setup.inf \"QVR 3417\" SILENT");
  EXPECT_FALSE(PathExists(std::string("C:\\elsewhere\\") + kMonitor));
  // The trusted copy alone decides: the monitor goes all the same.
  EXPECT_FALSE(PathExists(InstalledMonitorPath()));
  EXPECT_NE(Log().find("\nDelete Language Monitor\nStart Spooler\n"), std::string::npos) << Log();
}

TEST_F(UntrustedPackage, BackupFileHardLinkedToAnotherFileLeavesItsBytes) {
  ASSERT_NO_FATAL_FAILURE(PrepareUpdate());
  const std::string other = "C:\\other_user.dll";
  ASSERT_TRUE(WriteWholeFile(other, kOtherBytes));
  ASSERT_TRUE(::CreateDirectoryA(Path("bak").c_str(), nullptr));
  const std::string backup = Path(std::string("bak\\") + kMonitor);
  ASSERT_TRUE(::CreateHardLinkA(backup.c_str(), other.c_str(), nullptr))
      << "error " << ::GetLastError();
  RunToEnd("setup.inf \"QVR 3417\" SILENT");
  EXPECT_EQ(ReadWholeFile(other), std::string(kOtherBytes));
  EXPECT_EQ(ReadWholeFile(backup), std::string(kInstalledMonitor));
  EXPECT_EQ(LinkCount(backup), 1u);
  EXPECT_FALSE(PathExists(InstalledMonitorPath()));  // backed up, so removed
}

// ---------------------------------------------------------------- names

TEST_F(UntrustedPackage, DeviceNameMonitorIsRefusedAndNothingTouched) {
  ASSERT_NO_FATAL_FAILURE(PrepareUpdate());
  ASSERT_TRUE(WriteWholeFile(Path("setup.inf"), PackageInf("com1.dll")));
  DWORD exitCode = RunToEnd("setup.inf \"QVR 3417\" SILENT");
  EXPECT_EQ(Log(), m_folder + "\n" + Path("setup.inf") +
                       "\nKalbrix_ABQVR34170B7C\nCan't get Monitor resource text!\n");
  EXPECT_FALSE(PathExists(Path("bak")));
  EXPECT_EQ(ReadWholeFile(InstalledMonitorPath()), std::string(kInstalledMonitor));
  EXPECT_EQ(exitCode, 1u);
}

// ---------------------------------------------------------------- hand-over

// On 64-bit Windows, a 32-bit program shipped under the 64-bit one's name
// beside it would be started by itself, again and again. QVR_EXE is the
// 32-bit program here (CMakeLists.txt).
TEST_F(UntrustedPackage, ThirtyTwoBitProgramAs64BitNameEndsAlone) {
  const std::string self = Path("qvrsetup.exe");
  ASSERT_TRUE(::CopyFileA(m_exe.c_str(), self.c_str(), FALSE));
  ASSERT_TRUE(::CopyFileA(m_exe.c_str(), Path("qvrsetup64.exe").c_str(), FALSE));
  // A printer that matches nothing: the run has nothing to do and ends.
  DWORD exitCode = RunToEnd("setup.inf \"Nothing\" SILENT", self);
  EXPECT_EQ(exitCode, 0u);
  EXPECT_FALSE(PathExists(Path(kLogFile)));
}

}  // namespace
