// A simulated Windows machine for the native tests: as much of one as the
// program touches, coherent across calls, with fault injection.
#pragma once
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_devices.h"
#include "platform/sim/sim_event_log.h"
#include "platform/sim/sim_other_processes.h"
#include "platform/sim/sim_printers.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_services.h"
#include "platform/sim/sim_setup_api.h"

namespace sim {

class SimMachine : public platform::IFiles,
                   public platform::IMessages,
                   public platform::IThreadError,
                   public platform::IDebugOutput,
                   public platform::IMemory,
                   public platform::IClock,
                   public platform::IProcesses,
                   public platform::ISystemVersion,
                   public platform::IWideText,
                   public platform::ISecurity {
 public:
  SimMachine();
  ~SimMachine() override;
  SimMachine(const SimMachine&) = delete;
  SimMachine& operator=(const SimMachine&) = delete;

  platform::Platform platform();

  // The ANSI code page of the machine's texts.
  TableCodePage codePage{1252};
  // The command line, and what the machine keeps in UTF-16: unless a test
  // sets what the code page lost, the ANSI texts widened byte for byte (as
  // code page 1252 converts them, but for 0x80-0x9F).
  std::string commandLine = "qvrsetup.exe";
  std::optional<std::u16string> wideCommandLine, wideCurrentDirectory;

  // The parts of the machine that have state of their own.
  SimRegistry registry{*this};
  SimPrinters printers{*this};
  SimSetupApi setup{*this};
  SimServices services{*this};
  SimDevices devices{*this};
  SimOtherProcesses others{*this};
  SimEventLog eventLog{*this};

  // ---- the file tree: drive-letter paths, kept in a temporary folder
  void MakeDirectory(const std::string& path);
  void PutFile(const std::string& path, const std::string& content);
  std::optional<std::string> FileContent(const std::string& path) const;
  bool Exists(const std::string& path) const;
  void SetCurrentDirectory(const std::string& path) { m_currentDirectory = path; }
  const std::string& CurrentDirectory() const { return m_currentDirectory; }
  // A symbolic link at path to target (a file or a folder): a reparse point,
  // as a junction or a symbolic link is on Windows.
  void MakeSymbolicLink(const std::string& path, const std::string& target);
  // A second name for an existing file: both names count two links.
  void MakeHardLink(const std::string& path, const std::string& existing);
  // Creating files in this directory fails with ERROR_ACCESS_DENIED.
  void SetReadOnlyDirectory(const std::string& path);
  std::filesystem::path HostPath(const std::string& path) const;

  // ---- faults: the next `times` calls of `call` fail with `error`
  void FailNext(const std::string& call, DWORD error, int times = 1);
  // Lets the next `times` calls of `call` succeed before queued faults apply.
  void PassNext(const std::string& call, int times);
  // From now on every successful call of `call` leaves `error` as the last
  // error, as Windows allows of a successful call.
  void SucceedWithError(const std::string& call, DWORD error);

  // ---- a run killed halfway: from the n-th seam call on (counted in
  // `calls`, from 1) nothing the program does changes the machine, and
  // every call fails with ERROR_PROCESS_ABORTED. EndProcess then ends the
  // program's process as Windows would: its handles are closed, and a mutex
  // it owned is abandoned.
  size_t freezeAtCall = 0;  // 0: never
  bool Frozen() const { return freezeAtCall != 0 && calls.size() >= freezeAtCall; }
  void EndProcess();

  // ---- observations
  std::vector<std::string> calls;             // every seam call, by name, in order
  std::vector<std::string> debugOutput;       // OutputDebugStringA texts
  std::map<DWORD, std::string> messageTexts;  // what FormatMessageA knows
  int OpenHandles() const { return static_cast<int>(m_handles.size()); }
  int OpenAllocations() const { return static_cast<int>(m_allocations.size()); }
  int badHandleUses = 0;  // calls made with a handle that is not open
  struct CreateFileCall {
    std::string name;
    DWORD access, share, disposition, flags;
    bool security, templateFile;
  };
  std::vector<CreateFileCall> createFileCalls;
  std::vector<std::string> findPatterns;
  std::vector<DWORD> sleeps;  // every pause, in ms
  struct Started {
    std::string program;
    std::vector<std::string> argv;
  };
  std::vector<Started> started;  // processes started
  BOOL wow64 = FALSE;            // a 32-bit process on 64-bit Windows
  // The machine's own architecture (IMAGE_FILE_MACHINE_*). Left at 0 it
  // follows from `wow64` and `x64Program`: AMD64 for either, else I386. Set,
  // it decides WOW64 itself: the 32-bit program runs under WOW64 wherever
  // the machine is not an I386 one.
  USHORT nativeMachine = 0;
  // A system before Windows 10 version 1709 has no IsWow64Process2.
  bool hasIsWow64Process2 = true;
  std::string modulePath = "C:\\pkg\\qvrsetup.exe";  // the running program
  // Processes created and waited for: their command lines, and the exit
  // code that each program ends with.
  struct Created {
    std::string application, commandLine;
    bool currentDirectoryGiven;
  };
  std::vector<Created> created;
  std::map<std::string, DWORD> exitCodes;  // by upper-case program path
  // What GetBinaryTypeA says of a program, by upper-case path; an existing
  // file not listed here is not a program (ERROR_BAD_EXE_FORMAT).
  std::map<std::string, DWORD> binaryTypes;
  // The program runs as its 64-bit build: the Setup API picks the amd64
  // sections for it.
  bool x64Program = false;
  // What GetVersionExA tells: by default Wine's answer in a prefix set to
  // Windows 10, to a program whose manifest names Windows 10 (a workstation,
  // no service pack, no suite).
  struct Version {
    DWORD major = 10, minor = 0, build = 18362;
    std::string servicePack = "";
    WORD servicePackMajor = 0, servicePackMinor = 0;
    WORD suiteMask = 0;
    BYTE productType = VER_NT_WORKSTATION;
  } systemVersion;
  // The user's UI language: English (United States) unless a test says.
  LANGID uiLanguage = 0x0409;
  void SetWindowsDirectory(const std::string& path) { m_windowsDirectory = path; }
  // Deleting this file fails while the spooler runs, which holds it loaded.
  void SetHeldBySpooler(const std::string& path);
  // Folders' security descriptors as SDDL text, by upper-case path. A
  // folder not listed has the default below; a security descriptor given
  // to CreateDirectoryA is kept here.
  std::map<std::string, std::string> securityOf;
  std::string defaultSecurity = "O:BAD:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;FR;;;BU)";
  // Where not empty, the descriptor that every object reads back, whatever
  // it was given: a system that keeps none and makes one up, as Wine does.
  std::string madeUpSecurity;
  // Another program writes the file, as the sharing of the handles open on
  // it allows: false when they don't.
  bool OtherProgramWrites(const std::string& path, const std::string& content);
  // Runs as every seam call begins, with its name.
  std::function<void(const std::string& call)> beforeEachCall;

  // ---- IFiles
  DWORD GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) override;
  HANDLE FindFirstFileA(LPCSTR lpFileName, WIN32_FIND_DATAA* lpFindFileData) override;
  BOOL FindClose(HANDLE hFindFile) override;
  HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                     LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                     DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) override;
  BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                 LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) override;
  BOOL SetEndOfFile(HANDLE hFile) override;
  BOOL CloseHandle(HANDLE hObject) override;
  BOOL CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES lpSecurityAttributes) override;
  BOOL CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) override;
  BOOL DeleteFileA(LPCSTR lpFileName) override;
  UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) override;
  BOOL GetFileInformationByHandle(HANDLE hFile,
                                  LPBY_HANDLE_FILE_INFORMATION lpFileInformation) override;
  BOOL ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) override;
  BOOL FlushFileBuffers(HANDLE hFile) override;
  BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) override;
  DWORD GetFinalPathNameByHandleA(HANDLE hFile, LPSTR lpszFilePath, DWORD cchFilePath,
                                  DWORD dwFlags) override;
  HRESULT SHGetFolderPathA(HWND hwnd, int csidl, HANDLE hToken, DWORD dwFlags,
                           LPSTR pszPath) override;

  // ---- ISecurity: a security descriptor is its SDDL text in a LocalAlloc block
  BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR text, DWORD revision,
                                                            PSECURITY_DESCRIPTOR* sd,
                                                            PULONG size) override;
  BOOL ConvertSecurityDescriptorToStringSecurityDescriptorA(PSECURITY_DESCRIPTOR sd, DWORD revision,
                                                            SECURITY_INFORMATION info, LPSTR* text,
                                                            PULONG length) override;
  DWORD GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE type, SECURITY_INFORMATION info, PSID* owner,
                        PSID* group, PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* sd) override;

  // ---- IMessages
  DWORD FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId, DWORD dwLanguageId,
                       LPSTR lpBuffer, DWORD nSize, void* Arguments) override;
  HLOCAL LocalFree(HLOCAL hMem) override;

  // ---- IThreadError
  DWORD GetLastError() override { return m_lastError; }
  void SetLastError(DWORD dwErrCode) override { m_lastError = dwErrCode; }

  // ---- IDebugOutput
  void OutputDebugStringA(LPCSTR lpOutputString) override;

  // ---- IMemory
  HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes) override;
  HGLOBAL GlobalFree(HGLOBAL hMem) override;

  // ---- IClock: simulated time, advanced only by pauses
  void Sleep(DWORD dwMilliseconds) override;
  DWORD GetTickCount() override { return m_now; }

  // ---- IProcesses
  std::intptr_t SpawnV(int mode, const char* cmdName, const char* const* argv) override;
  int GetErrno() override { return m_errno; }
  BOOL IsWow64Process(BOOL* wow64Out) override;
  BOOL IsWow64Process2(USHORT* pProcessMachine, USHORT* pNativeMachine) override;
  DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) override;
  DWORD GetFileAttributesA(LPCSTR lpFileName) override;
  BOOL GetBinaryTypeA(LPCSTR lpApplicationName, LPDWORD lpBinaryType) override;
  BOOL CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                      LPSECURITY_ATTRIBUTES lpProcessAttributes,
                      LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                      DWORD dwCreationFlags, LPVOID lpEnvironment, LPCSTR lpCurrentDirectory,
                      STARTUPINFOA* lpStartupInfo,
                      PROCESS_INFORMATION* lpProcessInformation) override;
  DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) override;
  BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) override;
  BOOL CloseProcessHandle(HANDLE hObject) override;

  // ---- ISystemVersion
  BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) override;
  LANGID GetUserDefaultUILanguage() override { return uiLanguage; }

  // ---- IWideText (code page 1252 only)
  DWORD GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer) override;
  LPCWSTR GetCommandLineW() override;
  LPCSTR GetCommandLineA() override { return commandLine.c_str(); }
  int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                          LPWSTR lpWideCharStr, int cchWideChar) override;

  // Records a seam call by name and, when a fault is queued for it, sets the
  // last error and returns true: the call then fails.
  bool Enter(const std::string& call);

 private:
  enum class Kind { File, Find, Process };
  struct OpenHandle {
    OpenHandle(Kind k = Kind::File, int f = -1, DWORD e = 0) : kind(k), fd(f), exitCode(e) {}
    Kind kind;
    int fd = -1;
    DWORD exitCode = 0;
    DWORD access = 0, share = 0;  // of a file handle, for the sharing rules
    std::string name;             // its upper-case absolute path
  };
  // Whether an open for access and share conflicts with a handle open on
  // the same file. A handle without data access (attributes only) takes
  // no part.
  bool SharingBlocks(const std::filesystem::path& host, DWORD access, DWORD share) const;
  LPSTR LocalCopy(const std::string& text);

  HANDLE NewHandle(OpenHandle h);
  bool RunsUnderWow64() const;
  USHORT NativeMachine() const;
  OpenHandle* Lookup(HANDLE h, Kind kind);
  std::string Absolute(const std::string& path) const;

  std::filesystem::path m_root;
  std::string m_currentDirectory = "C:\\";
  std::set<std::string> m_readOnlyDirectories;  // upper-cased absolute paths
  static constexpr DWORD kPass = 0xFFFFFFFFu;   // a queued call that succeeds
  std::map<std::string, std::vector<DWORD>> m_faults;
  std::map<std::string, DWORD> m_successErrors;
  std::map<std::uintptr_t, OpenHandle> m_handles;
  std::uintptr_t m_nextHandle = 0x100;
  std::set<void*> m_allocations;
  DWORD m_lastError = 0;
  DWORD m_now = 1000000;
  int m_errno = 0;
  std::string m_windowsDirectory = "C:\\windows";
  std::set<std::string> m_heldBySpooler;  // upper-cased absolute paths
  std::u16string m_wideCommandLine;
};

}  // namespace sim
