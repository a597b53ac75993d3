#include "platform/win32/win32_platform.h"

#include <errno.h>
#include <process.h>

#include <string>

#include "platform/handles.h"
#include "platform/win32/crt_code_page.h"
#include "platform/win32/windows_sdk.h"

namespace platform {
namespace {

BOOL ReleaseLibrary(HMODULE module) { return ::FreeLibrary(module); }

// A library loaded from system32 only, never from the program's folder or
// the current directory, which other users may be able to write.
using ModuleHandle = Owned<HMODULE, &ReleaseLibrary>;

ModuleHandle LoadSystemLibrary(LPCSTR name) {
  HMODULE module = ::LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER) {
    // A system that lacks the search flags: the full path of system32.
    char path[kPathBytes] = {};
    UINT length = ::GetSystemDirectoryA(path, kPathBytes);
    std::string full = std::string(path, length) + "\\" + name;
    if (length != 0 && length < kPathBytes) module = ::LoadLibraryA(full.c_str());
  }
  return ModuleHandle(module);
}

// The export `name` of module as a function of type Fn, or null.
template <class Fn>
Fn Export(const ModuleHandle& module, LPCSTR name) {
  if (!module.valid()) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module.get(), name)));
}

class Win32Machine final : public IFiles,
                           public IMessages,
                           public IThreadError,
                           public IDebugOutput,
                           public IMemory,
                           public IRegistry,
                           public IPrinters,
                           public ISetupApi,
                           public IServices,
                           public IClock,
                           public IProcesses,
                           public IDevices,
                           public ISync,
                           public IWindows,
                           public ISystemVersion,
                           public IEventLog,
                           public IWideText,
                           public ISecurity,
                           public CrtCodePage {
 public:
  DWORD GetCurrentDirectoryA(DWORD n, LPSTR buffer) override {
    return ::GetCurrentDirectoryA(n, buffer);
  }
  HANDLE FindFirstFileA(LPCSTR name, WIN32_FIND_DATAA* data) override {
    return ::FindFirstFileA(name, data);
  }
  BOOL FindClose(HANDLE h) override { return ::FindClose(h); }
  HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                     DWORD disposition, DWORD flags, HANDLE templateFile) override {
    return ::CreateFileA(name, access, share, security, disposition, flags, templateFile);
  }
  BOOL WriteFile(HANDLE h, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED ov) override {
    return ::WriteFile(h, data, size, written, ov);
  }
  BOOL SetEndOfFile(HANDLE h) override { return ::SetEndOfFile(h); }
  BOOL CloseHandle(HANDLE h) override { return ::CloseHandle(h); }
  BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES security) override {
    return ::CreateDirectoryA(path, security);
  }
  BOOL CopyFileA(LPCSTR from, LPCSTR to, BOOL failIfExists) override {
    return ::CopyFileA(from, to, failIfExists);
  }
  BOOL DeleteFileA(LPCSTR path) override { return ::DeleteFileA(path); }
  UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) override {
    return ::GetWindowsDirectoryA(buffer, size);
  }
  BOOL GetFileInformationByHandle(HANDLE h, LPBY_HANDLE_FILE_INFORMATION info) override {
    return ::GetFileInformationByHandle(h, info);
  }
  BOOL ReadFile(HANDLE h, LPVOID data, DWORD size, LPDWORD read, LPOVERLAPPED ov) override {
    return ::ReadFile(h, data, size, read, ov);
  }
  BOOL FlushFileBuffers(HANDLE h) override { return ::FlushFileBuffers(h); }
  BOOL MoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) override {
    return ::MoveFileExA(from, to, flags);
  }
  DWORD GetFinalPathNameByHandleA(HANDLE h, LPSTR path, DWORD size, DWORD flags) override {
    return ::GetFinalPathNameByHandleA(h, path, size, flags);
  }
  HRESULT SHGetFolderPathA(HWND hwnd, int csidl, HANDLE token, DWORD flags, LPSTR path) override {
    return ::SHGetFolderPathA(hwnd, csidl, token, flags, path);
  }

  BOOL ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR text, DWORD revision,
                                                            PSECURITY_DESCRIPTOR* sd,
                                                            PULONG size) override {
    return ::ConvertStringSecurityDescriptorToSecurityDescriptorA(text, revision, sd, size);
  }
  BOOL ConvertSecurityDescriptorToStringSecurityDescriptorA(PSECURITY_DESCRIPTOR sd, DWORD revision,
                                                            SECURITY_INFORMATION info, LPSTR* text,
                                                            PULONG length) override {
    return ::ConvertSecurityDescriptorToStringSecurityDescriptorA(sd, revision, info, text, length);
  }
  DWORD GetSecurityInfo(HANDLE h, SE_OBJECT_TYPE type, SECURITY_INFORMATION info, PSID* owner,
                        PSID* group, PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* sd) override {
    return ::GetSecurityInfo(h, type, info, owner, group, dacl, sacl, sd);
  }

  DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD id, DWORD language, LPSTR buffer,
                       DWORD size, void* arguments) override {
    return ::FormatMessageA(flags, source, id, language, buffer, size,
                            static_cast<va_list*>(arguments));
  }
  HLOCAL LocalFree(HLOCAL memory) override { return ::LocalFree(memory); }

  DWORD GetLastError() override { return ::GetLastError(); }
  void SetLastError(DWORD code) override { ::SetLastError(code); }

  void OutputDebugStringA(LPCSTR text) override { ::OutputDebugStringA(text); }

  HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) override { return ::GlobalAlloc(flags, bytes); }
  HGLOBAL GlobalFree(HGLOBAL memory) override { return ::GlobalFree(memory); }

  LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM sam, PHKEY result) override {
    return ::RegOpenKeyExA(key, subKey, options, sam, result);
  }
  LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                        LPDWORD size) override {
    return ::RegQueryValueExA(key, name, reserved, type, data, size);
  }
  LONG RegCloseKey(HKEY key) override { return ::RegCloseKey(key); }
  LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options,
                       REGSAM sam, LPSECURITY_ATTRIBUTES security, PHKEY result,
                       LPDWORD disposition) override {
    return ::RegCreateKeyExA(key, subKey, reserved, keyClass, options, sam, security, result,
                             disposition);
  }
  LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                      DWORD size) override {
    return ::RegSetValueExA(key, name, reserved, type, data, size);
  }
  LONG RegFlushKey(HKEY key) override { return ::RegFlushKey(key); }
  LONG RegDeleteKeyExA(HKEY key, LPCSTR subKey, REGSAM sam, DWORD reserved) override {
    return ::RegDeleteKeyExA(key, subKey, sam, reserved);
  }

  HANDLE RegisterEventSourceA(LPCSTR server, LPCSTR source) override {
    return ::RegisterEventSourceA(server, source);
  }
  BOOL ReportEventA(HANDLE source, WORD type, WORD category, DWORD id, PSID user, WORD count,
                    DWORD dataSize, LPCSTR* strings, LPVOID data) override {
    return ::ReportEventA(source, type, category, id, user, count, dataSize, strings, data);
  }
  BOOL DeregisterEventSource(HANDLE source) override { return ::DeregisterEventSource(source); }

  DWORD GetCurrentDirectoryW(DWORD n, LPWSTR buffer) override {
    return ::GetCurrentDirectoryW(n, buffer);
  }
  LPCWSTR GetCommandLineW() override { return ::GetCommandLineW(); }
  LPCSTR GetCommandLineA() override { return ::GetCommandLineA(); }
  int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR text, int bytes, LPWSTR wide,
                          int room) override {
    return ::MultiByteToWideChar(codePage, flags, text, bytes, wide, room);
  }

  BOOL EnumPrintersA(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD size,
                     LPDWORD needed, LPDWORD returned) override {
    // Loaded on first use and kept for the process's lifetime.
    using Fn = BOOL(WINAPI*)(DWORD, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
    if (!m_winspool.valid()) m_winspool = LoadSystemLibrary("winspool.drv");
    auto fn = Export<Fn>(m_winspool, "EnumPrintersA");
    if (fn == nullptr) return FALSE;
    return fn(flags, name, level, buffer, size, needed, returned);
  }

  HINF SetupOpenInfFileA(LPCSTR name, LPCSTR infClass, DWORD style, UINT* errorLine) override {
    return ::SetupOpenInfFileA(name, infClass, style, errorLine);
  }
  void SetupCloseInfFile(HINF inf) override { ::SetupCloseInfFile(inf); }
  BOOL SetupFindFirstLineA(HINF inf, LPCSTR section, LPCSTR key, INFCONTEXT* context) override {
    return ::SetupFindFirstLineA(inf, section, key, context);
  }
  BOOL SetupFindNextLine(const INFCONTEXT* in, INFCONTEXT* out) override {
    return ::SetupFindNextLine(const_cast<INFCONTEXT*>(in), out);
  }
  BOOL SetupGetLineTextA(const INFCONTEXT* context, HINF inf, LPCSTR section, LPCSTR key,
                         LPSTR buffer, DWORD size, DWORD* required) override {
    return ::SetupGetLineTextA(const_cast<INFCONTEXT*>(context), inf, section, key, buffer, size,
                               required);
  }
  LONG SetupGetLineCountA(HINF inf, LPCSTR section) override {
    return ::SetupGetLineCountA(inf, section);
  }
  BOOL SetupGetMultiSzFieldA(const INFCONTEXT* context, DWORD field, LPSTR buffer, DWORD size,
                             LPDWORD required) override {
    return ::SetupGetMultiSzFieldA(const_cast<INFCONTEXT*>(context), field, buffer, size, required);
  }
  BOOL SetupDiGetActualSectionToInstallA(HINF inf, LPCSTR section, LPSTR buffer, DWORD size,
                                         LPDWORD required, LPSTR* extension) override {
    return ::SetupDiGetActualSectionToInstallA(inf, section, buffer, size, required, extension);
  }

  SC_HANDLE OpenSCManagerA(LPCSTR machine, LPCSTR database, DWORD access) override {
    return ::OpenSCManagerA(machine, database, access);
  }
  SC_HANDLE OpenServiceA(SC_HANDLE manager, LPCSTR name, DWORD access) override {
    return ::OpenServiceA(manager, name, access);
  }
  BOOL ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) override {
    return ::ControlService(service, control, status);
  }
  BOOL StartServiceA(SC_HANDLE service, DWORD count, LPCSTR* args) override {
    return ::StartServiceA(service, count, args);
  }
  BOOL QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) override {
    return ::QueryServiceStatus(service, status);
  }
  BOOL CloseServiceHandle(SC_HANDLE handle) override { return ::CloseServiceHandle(handle); }

  void Sleep(DWORD milliseconds) override { ::Sleep(milliseconds); }
  DWORD GetTickCount() override { return ::GetTickCount(); }

  std::intptr_t SpawnV(int mode, const char* name, const char* const* argv) override {
    return ::_spawnv(mode, name, argv);
  }
  int GetErrno() override { return errno; }
  BOOL IsWow64Process(BOOL* wow64) override {
    // Looked up at run time: older systems lack the export.
    using Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    if (fn == nullptr) {
      *wow64 = FALSE;
      return TRUE;
    }
    return fn(::GetCurrentProcess(), wow64);
  }
  BOOL IsWow64Process2(USHORT* processMachine, USHORT* nativeMachine) override {
    // Looked up at run time: it came with Windows 10 version 1709.
    using Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "IsWow64Process2")));
    if (fn == nullptr) return FALSE;  // GetProcAddress left ERROR_PROC_NOT_FOUND
    return fn(::GetCurrentProcess(), processMachine, nativeMachine);
  }

  DWORD GetModuleFileNameA(HMODULE module, LPSTR name, DWORD size) override {
    return ::GetModuleFileNameA(module, name, size);
  }
  DWORD GetFileAttributesA(LPCSTR name) override { return ::GetFileAttributesA(name); }
  BOOL GetBinaryTypeA(LPCSTR name, LPDWORD type) override { return ::GetBinaryTypeA(name, type); }
  BOOL CreateProcessA(LPCSTR app, LPSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,
                      LPSECURITY_ATTRIBUTES threadSecurity, BOOL inherit, DWORD flags,
                      LPVOID environment, LPCSTR directory, STARTUPINFOA* startup,
                      PROCESS_INFORMATION* info) override {
    return ::CreateProcessA(app, commandLine, processSecurity, threadSecurity, inherit, flags,
                            environment, directory, startup, info);
  }
  DWORD WaitForSingleObject(HANDLE h, DWORD ms) override { return ::WaitForSingleObject(h, ms); }
  BOOL GetExitCodeProcess(HANDLE h, LPDWORD code) override { return ::GetExitCodeProcess(h, code); }
  BOOL CloseProcessHandle(HANDLE h) override { return ::CloseHandle(h); }

  BOOL UpdateDriverForPlugAndPlayDevicesA(HWND parent, LPCSTR hardwareId, LPCSTR infPath,
                                          DWORD flags, PBOOL reboot) override {
    using Fn = BOOL(WINAPI*)(HWND, LPCSTR, LPCSTR, DWORD, PBOOL);
    ModuleHandle newdev = LoadSystemLibrary("newdev.dll");
    auto fn = Export<Fn>(newdev, "UpdateDriverForPlugAndPlayDevicesA");
    if (fn == nullptr) return FALSE;
    BOOL result = fn(parent, hardwareId, infPath, flags, reboot);
    // The caller reads the update's error, not the unload's.
    DWORD error = ::GetLastError();
    newdev.reset();
    ::SetLastError(error);
    return result;
  }
  BOOL SetupCopyOEMInfA(LPCSTR source, LPCSTR media, DWORD mediaType, DWORD style, LPSTR dest,
                        DWORD destSize, LPDWORD required, LPSTR* component) override {
    return ::SetupCopyOEMInfA(source, media, mediaType, style, dest, destSize, required, component);
  }

  BOOL GetVersionExA(LPOSVERSIONINFOA info) override { return ::GetVersionExA(info); }
  LANGID GetUserDefaultUILanguage() override { return ::GetUserDefaultUILanguage(); }

  // CloseHandle and WaitForSingleObject serve ISync as they serve IFiles
  // and IProcesses.
  HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES security, BOOL initialOwner, LPCSTR name) override {
    return ::CreateMutexA(security, initialOwner, name);
  }
  BOOL ReleaseMutex(HANDLE mutex) override { return ::ReleaseMutex(mutex); }

  HWND FindWindowA(LPCSTR className, LPCSTR windowName) override {
    return ::FindWindowA(className, windowName);
  }
  BOOL IsWindowVisible(HWND window) override { return ::IsWindowVisible(window); }
  BOOL IsIconic(HWND window) override { return ::IsIconic(window); }
  BOOL ShowWindow(HWND window, int show) override { return ::ShowWindow(window, show); }
  BOOL SetForegroundWindow(HWND window) override { return ::SetForegroundWindow(window); }

 private:
  ModuleHandle m_winspool;
};

}  // namespace

Platform RealPlatform() {
  static Win32Machine machine;
  Platform platform = Platform::Of(machine);
  // The C runtime's multibyte functions know single- and double-byte code
  // pages only. Under UTF-8 (the manifest's activeCodePage) the texts are
  // stepped and upper-cased by the program's own rules instead.
  static const TableCodePage utf8(CP_UTF8);
  if (::GetACP() == CP_UTF8) platform.codePage = &utf8;
  return platform;
}

}  // namespace platform
