// The fixtures of the end-to-end tests: the real qvrsetup.exe started in a
// scratch folder of its own (SetupProgram), or in the package folder of a
// machine with printers installed (InstalledPrinters), and what the tests
// read back: files, the log, the spooler, the INF store, a device.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <sddl.h>
#include <setupapi.h>
#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "resource.h"
#include "window_driver.h"

namespace setup_e2e {

using e2e::ChildProcess;

inline constexpr char kMainCaption[] = "QVR Driver Setup";
inline constexpr char kErrorCaption[] = "Error";
inline constexpr char kLogFile[] = "QVR_Download.txt";
// An unattended run that has nothing to do ends at once; this leaves room
// for a slow machine.
inline constexpr DWORD kEndsAloneMs = 10000;

// A small printer driver package INF: two models, each with its own
// language monitor.
inline constexpr char kPrinterInf[] =
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

inline const std::vector<std::string> kModels = {"QVR 3417", "QVR 5100 Pro"};
inline const std::vector<std::string> kMonitors = {"qvrlm.dll", "qvrlmpro.dll"};

inline std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

inline std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string text(path, length);
  return text.substr(0, text.find_last_of("\\/") + 1);
}

// Makes `path` hold `content` and nothing else.
inline bool WriteWholeFile(const std::string& path, const std::string& content) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok =
      ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  ::CloseHandle(file);
  return ok && written == content.size();
}

// Empties `folder` (files only; the tests make no subfolders) or creates it.
inline bool MakeEmptyFolder(const std::string& folder) {
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
inline std::vector<std::string> ShownBesidesWineFlash(const std::vector<std::string>& shown) {
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
    ASSERT_TRUE(WriteWholeFile(path, content)) << path << ": error " << ::GetLastError();
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

  // Command lines that name a printer which no installed printer's name
  // begins with, and whose INF can't be read: a tab that makes the INF name
  // "setup.inf<TAB>Office", an INF that isn't there, an INF without models.
  // Each run ends by itself with 0, shows no window and writes no log.
  void ExpectNamedPrinterRunsEndAlone() {
    ASSERT_NO_FATAL_FAILURE(
        WriteFile("broken.inf", "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Printer\r\n"));
    for (const char* arguments : {"setup.inf\tOffice Laser", "gone.inf \"Nobody Here\" SILENT",
                                  "broken.inf \"Office Laser\" SILENT"}) {
      ChildProcess child;
      std::string error;
      ASSERT_TRUE(child.Start(m_exe, arguments, m_folder, &error)) << error;
      DWORD exitCode = 1;
      std::vector<std::string> shown;
      ASSERT_TRUE(child.WaitForExitWatchingWindows(kEndsAloneMs, &exitCode, &shown))
          << arguments << ": still running after " << kEndsAloneMs << " ms; "
          << e2e::DescribeWindows(child.Id());
      EXPECT_EQ(exitCode, 0u) << arguments;
      EXPECT_EQ(ShownBesidesWineFlash(shown), std::vector<std::string>{}) << arguments;
      EXPECT_FALSE(FileExists(kLogFile)) << arguments;
      std::printf("%s: exit status %lu, no log\n", arguments, static_cast<unsigned long>(exitCode));
    }
  }

  std::string m_exe;
  std::string m_folder;
  ChildProcess m_child;
};

// ---------------------------------------------------------------------------
// A machine with printers installed: the printers and driver records of
// tests/wine/data/printers.reg, which wine_prefix.sh imports into the case's
// prefix. For an update the spooler runs (net start spooler), the installed
// printer's language monitor lies in system32, and a Plug and Play device
// with the model's hardware ID is plugged in.

// A printer driver package INF with three models. The model lines keep
// this program's layout: install section, hardware ID, model name.
inline constexpr char kPackageInf[] =
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

inline const std::vector<std::string> kPackageModels = {"QVR 3417", "QVR 5100 Pro", "QVR 6491"};
inline const std::vector<std::string> kPackageMonitors = {"qvrmon.dll", "qvrmonpro.dll",
                                                          "qvrmon.dll"};
inline constexpr int kUpdateModel = 0;   // "QVR 3417": a printer "QVR 3417 Front" is installed
inline constexpr int kInstallModel = 1;  // "QVR 5100 Pro": no printer's name holds it

// The printers of data/printers.reg, in no particular order, and the driver
// version the survey must find for each: only "QVR 3417 Front" has a
// complete record under its own name.
inline const std::vector<std::pair<std::string, std::string>> kInstalledPrinters = {
    {"Halvern LX 520", ""}, {"Office Colour", ""}, {"QVR 3417 Front", "1.2.3.4"}};

// The hardware IDs of the plugged-in QVR 3417: the port's ID, as the INF
// names it, and the bare one that the program passes to the driver update.
inline const std::vector<std::string> kDeviceHardwareIds = {"LPTENUM\\Kalbrix_ABQVR34170B7C",
                                                            "Kalbrix_ABQVR34170B7C"};

inline constexpr char kMonitor[] = "qvrmon.dll";
// Two different contents tell which copy of the monitor went where.
inline constexpr char kInstalledMonitorContent[] = "the QVR language monitor installed in system32";
inline constexpr char kPackagedMonitorContent[] = "the QVR language monitor of the driver package";
inline constexpr char kSideTool[] = "KillLogoTestingWarnings.exe";
inline constexpr char kSideToolRecord[] = "side_tool_record.txt";  // written by fake_side_tool.cpp

// A 32-bit setup on 64-bit Windows refuses Update by design.
inline constexpr char kRefusedUnderWow64[] = "the 32-bit setup does not update on 64-bit Windows";

inline constexpr char kUpdateOffered[] = "Press the Update button to start the installation.";
inline constexpr char kInstallOffered[] = "Press the Install button to start the installation.";
inline constexpr char kNotPluggedIn[] =
    "The value specified for HardwareId does not match any device on the system. That is, the "
    "device is not plugged in.";

// With FILE_SHARE_WRITE in `share`, also a file that a run still writes.
inline std::optional<std::string> ReadWholeFile(const std::string& path,
                                                DWORD share = FILE_SHARE_READ) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
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

inline bool PathExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The file at `path` once something has written and closed it; nothing
// when none appears within `timeoutMs`.
inline std::optional<std::string> AwaitFile(const std::string& path,
                                            DWORD timeoutMs = e2e::kWaitMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (std::optional<std::string> content = ReadWholeFile(path)) return content;
    if (::GetTickCount() - start > timeoutMs) return std::nullopt;
    ::Sleep(20);
  }
}

inline std::string WindowsDirectory() {
  char directory[MAX_PATH] = {};
  UINT length = ::GetWindowsDirectoryA(directory, MAX_PATH);
  return std::string(directory, length < MAX_PATH ? length : 0);
}

// %ProgramData%, and the folder of the program's trusted copies in it.
inline std::string ProgramData() {
  const std::string folder = Environment("ProgramData");
  return folder.empty() ? "C:\\ProgramData" : folder;
}
inline std::string TrustedFolder() { return ProgramData() + "\\QVR\\Driver Setup\\Backup"; }
inline constexpr char kInstalledMonitorSha256[] =
    "fe5b6ef2eff0ccc64dec426d0fb0cd65fe45d32f9cc2cd2d205cd1684ea3b852";
// Where the program looks for an installed language monitor.
inline std::string InstalledMonitorPath() { return WindowsDirectory() + "\\system32\\" + kMonitor; }

// The trusted folder's security descriptor as GetFileSecurity reads it back,
// in SDDL; empty when there is none.
inline std::string TrustedFolderSddl() {
  char buffer[4096] = {};
  DWORD needed = 0;
  const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  LPSTR text = nullptr;
  if (!::GetFileSecurityA(TrustedFolder().c_str(), what, buffer, sizeof buffer, &needed) ||
      !::ConvertSecurityDescriptorToStringSecurityDescriptorA(buffer, SDDL_REVISION_1, what, &text,
                                                              nullptr))
    return "";
  std::string sddl = text;
  ::LocalFree(text);
  return sddl;
}

// The names of the local printers, in the spooler's order.
inline std::vector<std::string> LocalPrinters() {
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
inline DWORD SpoolerState() {
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
inline std::vector<std::string> InfStore() {
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

inline bool RunningUnderWow64() {
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
  // The lines of a spooler stop, and of a start, with each wait as long as
  // it lasts.
  LogPattern& SpoolerStopped() {
    return Line("SERVICE_OPEN for stop")
        .Line("SERVICE_STOP")
        .Line("SERVICE_CLOSE")
        .Line("SERVICE_OPEN for query")
        .Repeated("SPOOLER SERVICE not yet STOPPED")
        .Line("SPOOLER SERVICE STOPPED")
        .Line("SERVICE_CLOSE handle");
  }
  LogPattern& SpoolerStarted() {
    return Line("SERVICE_OPEN for start")
        .Line("SERVICE_START")
        .Line("SERVICE_CLOSE")
        .Line("SERVICE_OPEN for query")
        .Repeated("SERVICE not yet STARTED")
        .Line("SPOOLER SERVICE STARTED")
        .Line("SERVICE_CLOSE")
        .Line("SERVICE_CLOSE handle");
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
        .SpoolerStopped()
        .Line("Create Backup Directory")
        .Line("Copy Language Monitor to Backup Directory")
        .Line("Delete Language Monitor")
        .Line("Start Spooler")
        .SpoolerStarted()
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

}  // namespace setup_e2e
