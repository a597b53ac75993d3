// The seam between the program and the operating system. Each facility is
// one interface, shaped like the Win32 calls it stands for: same names,
// arguments, results and last-error behaviour. The Windows build forwards
// each call to the real API; the native build runs against a simulated
// machine.
#pragma once
#include <cstdint>
#include <type_traits>

#include "platform/ansi_code_page.h"
#include "platform/win_types.h"

namespace platform {

// Current directory, directory search and plain file handles.
class IFiles {
 public:
  virtual ~IFiles() = default;
  virtual DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) = 0;
  virtual HANDLE FindFirstFileA(LPCSTR lpFileName, WIN32_FIND_DATAA* lpFindFileData) = 0;
  virtual BOOL FindClose(HANDLE hFindFile) = 0;
  virtual HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                             LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                             DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                             HANDLE hTemplateFile) = 0;
  virtual BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                         LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) = 0;
  virtual BOOL SetEndOfFile(HANDLE hFile) = 0;
  virtual BOOL CloseHandle(HANDLE hObject) = 0;
  virtual BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) = 0;
  virtual BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) = 0;
  virtual BOOL DeleteFileA(LPCSTR lpFileName) = 0;
  virtual UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) = 0;
  virtual BOOL GetFileInformationByHandle(HANDLE hFile,
                                          LPBY_HANDLE_FILE_INFORMATION lpFileInformation) = 0;
  virtual BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                        LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) = 0;
  virtual BOOL FlushFileBuffers(HANDLE hFile) = 0;
  virtual BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) = 0;
  virtual DWORD GetFinalPathNameByHandleA(HANDLE hFile, LPSTR lpszFilePath, DWORD cchFilePath,
                                          DWORD dwFlags) = 0;
  // The shell's folder paths (shell32); only CSIDL_COMMON_APPDATA is used.
  virtual HRESULT SHGetFolderPathA(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags,
                                   LPSTR pszPath) = 0;
};

// Security descriptors of files and folders. What the conversions and
// GetSecurityInfo return is released with IMessages::LocalFree.
class ISecurity {
 public:
  virtual ~ISecurity() = default;
  virtual BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(
      LPCSTR StringSecurityDescriptor, DWORD StringSDRevision,
      PSECURITY_DESCRIPTOR* SecurityDescriptor, PULONG SecurityDescriptorSize) = 0;
  virtual BOOL ConvertSecurityDescriptorToStringSecurityDescriptorA(
      PSECURITY_DESCRIPTOR SecurityDescriptor, DWORD RequestedStringSDRevision,
      SECURITY_INFORMATION SecurityInformation, LPSTR* StringSecurityDescriptor,
      PULONG StringSecurityDescriptorLen) = 0;
  // Returns the error code, as the real function does.
  virtual DWORD GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE ObjectType,
                                SECURITY_INFORMATION SecurityInfo, PSID* ppsidOwner,
                                PSID* ppsidGroup, PACL* ppDacl, PACL* ppSacl,
                                PSECURITY_DESCRIPTOR* ppSecurityDescriptor) = 0;
};

// System message texts.
class IMessages {
 public:
  virtual ~IMessages() = default;
  virtual DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId,
                               DWORD dwLanguageId, LPSTR lpBuffer, DWORD nSize,
                               void* Arguments) = 0;
  virtual HLOCAL LocalFree(HLOCAL hMem) = 0;
};

// The calling thread's last error.
class IThreadError {
 public:
  virtual ~IThreadError() = default;
  virtual DWORD GetLastError() = 0;
  virtual void SetLastError(DWORD dwErrCode) = 0;
};

// Debugger output.
class IDebugOutput {
 public:
  virtual ~IDebugOutput() = default;
  virtual void OutputDebugStringA(LPCSTR lpOutputString) = 0;
};

// Global memory blocks.
class IMemory {
 public:
  virtual ~IMemory() = default;
  virtual HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes) = 0;
  virtual HGLOBAL GlobalFree(HGLOBAL hMem) = 0;
};

// The registry.
class IRegistry {
 public:
  virtual ~IRegistry() = default;
  virtual LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                             PHKEY phkResult) = 0;
  virtual LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) = 0;
  virtual LONG RegCloseKey(HKEY hKey) = 0;
  virtual LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass,
                               DWORD dwOptions, REGSAM samDesired,
                               LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                               LPDWORD lpdwDisposition) = 0;
  virtual LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) = 0;
  // Writes the key's changes to the disk before it returns.
  virtual LONG RegFlushKey(HKEY hKey) = 0;
  // Deletes a sub-key that has no sub-keys of its own, with its values, in
  // the registry view that samDesired names (KEY_WOW64_64KEY or _32KEY).
  virtual LONG RegDeleteKeyExA(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, DWORD Reserved) = 0;
};

// What the system keeps in UTF-16: the current directory and the command
// line, beside the command line in the ANSI code page that the C runtime
// gave the program, and the system's conversion from that code page.
class IWideText {
 public:
  virtual ~IWideText() = default;
  virtual DWORD GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer) = 0;
  virtual LPCWSTR GetCommandLineW() = 0;
  virtual LPCSTR GetCommandLineA() = 0;
  virtual int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr,
                                  int cbMultiByte, LPWSTR lpWideCharStr, int cchWideChar) = 0;
};

// The event log: a source's handle, and the events written through it.
class IEventLog {
 public:
  virtual ~IEventLog() = default;
  virtual HANDLE RegisterEventSourceA(LPCSTR lpUNCServerName, LPCSTR lpSourceName) = 0;
  virtual BOOL ReportEventA(HANDLE hEventLog, WORD wType, WORD wCategory, DWORD dwEventID,
                            PSID lpUserSid, WORD wNumStrings, DWORD dwDataSize, LPCSTR* lpStrings,
                            LPVOID lpRawData) = 0;
  virtual BOOL DeregisterEventSource(HANDLE hEventLog) = 0;
};

// The print spooler's printer enumeration.
class IPrinters {
 public:
  virtual ~IPrinters() = default;
  virtual BOOL EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                             LPDWORD pcbNeeded, LPDWORD pcReturned) = 0;
};

// The Setup API's INF parser.
class ISetupApi {
 public:
  virtual ~ISetupApi() = default;
  virtual HINF SetupOpenInfFileA(LPCSTR FileName, LPCSTR InfClass, DWORD InfStyle,
                                 UINT* ErrorLine) = 0;
  virtual void SetupCloseInfFile(HINF InfHandle) = 0;
  virtual BOOL SetupFindFirstLineA(HINF InfHandle, LPCSTR Section, LPCSTR Key,
                                   INFCONTEXT* Context) = 0;
  virtual BOOL SetupFindNextLine(const INFCONTEXT* ContextIn, INFCONTEXT* ContextOut) = 0;
  virtual BOOL SetupGetLineTextA(const INFCONTEXT* Context, HINF InfHandle, LPCSTR Section,
                                 LPCSTR Key, LPSTR ReturnBuffer, DWORD ReturnBufferSize,
                                 DWORD* RequiredSize) = 0;
  virtual LONG SetupGetLineCountA(HINF InfHandle, LPCSTR Section) = 0;
  virtual BOOL SetupGetMultiSzFieldA(const INFCONTEXT* Context, DWORD FieldIndex,
                                     LPSTR ReturnBuffer, DWORD ReturnBufferSize,
                                     LPDWORD RequiredSize) = 0;
  // The install section to use on this platform: the name with the
  // platform's extension where the INF has such a section.
  virtual BOOL SetupDiGetActualSectionToInstallA(HINF InfHandle, LPCSTR InfSectionName,
                                                 LPSTR InfSectionWithExt,
                                                 DWORD InfSectionWithExtSize, LPDWORD RequiredSize,
                                                 LPSTR* Extension) = 0;
};

// The system's version. Takes an OSVERSIONINFOA, or an OSVERSIONINFOEXA
// whose size says so. And the user's UI language, which the operator's
// texts are shown in.
class ISystemVersion {
 public:
  virtual ~ISystemVersion() = default;
  virtual BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) = 0;
  virtual LANGID GetUserDefaultUILanguage() = 0;
};

// The service control manager.
class IServices {
 public:
  virtual ~IServices() = default;
  virtual SC_HANDLE OpenSCManagerA(LPCSTR lpMachineName, LPCSTR lpDatabaseName,
                                   DWORD dwDesiredAccess) = 0;
  virtual SC_HANDLE OpenServiceA(SC_HANDLE hSCManager, LPCSTR lpServiceName,
                                 DWORD dwDesiredAccess) = 0;
  virtual BOOL ControlService(SC_HANDLE hService, DWORD dwControl,
                              LPSERVICE_STATUS lpServiceStatus) = 0;
  virtual BOOL StartServiceA(SC_HANDLE hService, DWORD dwNumServiceArgs,
                             LPCSTR* lpServiceArgVectors) = 0;
  virtual BOOL QueryServiceStatus(SC_HANDLE hService, LPSERVICE_STATUS lpServiceStatus) = 0;
  virtual BOOL CloseServiceHandle(SC_HANDLE hSCObject) = 0;
};

// Time: pauses and a millisecond clock.
class IClock {
 public:
  virtual ~IClock() = default;
  virtual void Sleep(DWORD dwMilliseconds) = 0;
  virtual DWORD GetTickCount() = 0;
};

// Processes: the C runtime's spawn, and the WOW64 question.
class IProcesses {
 public:
  virtual ~IProcesses() = default;
  // As the runtime's _spawnv: -1 on failure with the runtime's errno set.
  virtual std::intptr_t SpawnV(int mode, const char* cmdName, const char* const* argv) = 0;
  virtual int GetErrno() = 0;
  // IsWow64Process for the current process.
  virtual BOOL IsWow64Process(BOOL* wow64) = 0;
  // IsWow64Process2 for the current process. Systems before Windows 10
  // version 1709 lack it: there it fails with ERROR_PROC_NOT_FOUND.
  virtual BOOL IsWow64Process2(USHORT* pProcessMachine, USHORT* pNativeMachine) = 0;
  virtual DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) = 0;
  virtual DWORD GetFileAttributesA(LPCSTR lpFileName) = 0;
  virtual BOOL GetBinaryTypeA(LPCSTR lpApplicationName, LPDWORD lpBinaryType) = 0;
  virtual BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                              LPSECURITY_ATTRIBUTES lpProcessAttributes,
                              LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                              DWORD dwCreationFlags, LPVOID lpEnvironment,
                              LPCSTR lpCurrentDirectory, STARTUPINFOA* lpStartupInfo,
                              PROCESS_INFORMATION* lpProcessInformation) = 0;
  virtual DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) = 0;
  virtual BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) = 0;
  // Closes a process or thread handle.
  virtual BOOL CloseProcessHandle(HANDLE hObject) = 0;
};

// Plug and Play driver update (newdev.dll) and the INF store copy.
class IDevices {
 public:
  virtual ~IDevices() = default;
  virtual BOOL UpdateDriverForPlugAndPlayDevicesA(HWND hwndParent, LPCSTR HardwareId,
                                                  LPCSTR FullInfPath, DWORD InstallFlags,
                                                  PBOOL bRebootRequired) = 0;
  virtual BOOL SetupCopyOEMInfA(LPCSTR SourceInfFileName, LPCSTR OEMSourceMediaLocation,
                                DWORD OEMSourceMediaType, DWORD CopyStyle,
                                LPSTR DestinationInfFileName, DWORD DestinationInfFileNameSize,
                                LPDWORD RequiredSize, LPSTR* DestinationInfFileNameComponent) = 0;
};

// Named mutexes, by which one run of the program sees another.
class ISync {
 public:
  virtual ~ISync() = default;
  virtual HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner,
                              LPCSTR lpName) = 0;
  virtual DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) = 0;
  virtual BOOL ReleaseMutex(HANDLE hMutex) = 0;
  virtual BOOL CloseHandle(HANDLE hObject) = 0;
};

// Other programs' top-level windows.
class IWindows {
 public:
  virtual ~IWindows() = default;
  virtual HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) = 0;
  virtual BOOL IsWindowVisible(HWND hWnd) = 0;
  virtual BOOL IsIconic(HWND hWnd) = 0;
  virtual BOOL ShowWindow(HWND hWnd, int nCmdShow) = 0;
  virtual BOOL SetForegroundWindow(HWND hWnd) = 0;
};

// Every facility the program uses. A machine (real or simulated) that
// implements all the interfaces is handed over whole with Of().
struct Platform {
  IFiles* files = nullptr;
  IMessages* messages = nullptr;
  IThreadError* error = nullptr;
  IDebugOutput* debug = nullptr;
  IMemory* memory = nullptr;
  IRegistry* registry = nullptr;
  IPrinters* printers = nullptr;
  ISetupApi* setup = nullptr;
  IServices* services = nullptr;
  IClock* clock = nullptr;
  IProcesses* processes = nullptr;
  IDevices* devices = nullptr;
  ISync* sync = nullptr;
  IWindows* windows = nullptr;
  IEventLog* eventLog = nullptr;
  IWideText* wideText = nullptr;
  // The ANSI code page that every text of the program is in.
  const AnsiCodePage* codePage = nullptr;
  ISystemVersion* version = nullptr;
  ISecurity* security = nullptr;
  // The program's own build: the 64-bit one, or the 32-bit one. A simulated
  // machine says which one it runs.
#if defined(_WIN64)
  bool x64Program = true;
#else
  bool x64Program = false;
#endif

  // Takes every facility that the machine object implements.
  template <class Machine>
  static Platform Of(Machine& m) {
    Platform p;
    Take(p.files, m);
    Take(p.messages, m);
    Take(p.error, m);
    Take(p.debug, m);
    Take(p.memory, m);
    Take(p.registry, m);
    Take(p.printers, m);
    Take(p.setup, m);
    Take(p.services, m);
    Take(p.clock, m);
    Take(p.processes, m);
    Take(p.devices, m);
    Take(p.sync, m);
    Take(p.windows, m);
    Take(p.eventLog, m);
    Take(p.wideText, m);
    Take(p.codePage, m);
    Take(p.version, m);
    Take(p.security, m);
    if constexpr (requires { m.x64Program; }) p.x64Program = m.x64Program;
    return p;
  }

 private:
  template <class Facility, class Machine>
  static void Take(Facility*& slot, Machine& m) {
    if constexpr (std::is_base_of_v<Facility, Machine>) slot = &m;
  }
};

}  // namespace platform
