#include "platform/win32/win32_platform.h"

#include "platform/win32/windows_sdk.h"

namespace platform {
namespace {

class Win32Machine final : public IFiles,
                           public IMessages,
                           public IThreadError,
                           public IDebugOutput {
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

  DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD id, DWORD language, LPSTR buffer,
                       DWORD size, void* arguments) override {
    return ::FormatMessageA(flags, source, id, language, buffer, size,
                            static_cast<va_list*>(arguments));
  }
  HLOCAL LocalFree(HLOCAL memory) override { return ::LocalFree(memory); }

  DWORD GetLastError() override { return ::GetLastError(); }
  void SetLastError(DWORD code) override { ::SetLastError(code); }

  void OutputDebugStringA(LPCSTR text) override { ::OutputDebugStringA(text); }
};

}  // namespace

Platform RealPlatform() {
  static Win32Machine machine;
  return Platform::Of(machine);
}

}  // namespace platform
