// The seam between the program and the operating system. Each facility is
// one interface, shaped like the Win32 calls it stands for: same names,
// arguments, results and last-error behaviour. The Windows build forwards
// each call to the real API; the native build runs against a simulated
// machine.
#pragma once
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

// Every facility the program uses. A machine (real or simulated) that
// implements all the interfaces is handed over whole with Of().
struct Platform {
  IFiles* files = nullptr;
  IMessages* messages = nullptr;
  IThreadError* error = nullptr;
  IDebugOutput* debug = nullptr;

  template <class Machine>
  static Platform Of(Machine& m) {
    Platform p;
    p.files = &m;
    p.messages = &m;
    p.error = &m;
    p.debug = &m;
    return p;
  }
};

}  // namespace platform
