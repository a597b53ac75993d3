// Owners for the handles the program opens: each releases its handle through
// the same seam that produced it, on every path out of the scope.
#pragma once
#include "platform/platform.h"

namespace platform {

// A file handle from CreateFileA. NULL and INVALID_HANDLE_VALUE both mean
// "no file": nothing is closed for them.
class FileHandle {
 public:
  FileHandle(IFiles& files, HANDLE h) : m_files(files), m_h(h) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Close(); }
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  bool valid() const { return IsValid(m_h); }
  HANDLE get() const { return m_h; }
  void Close() {
    if (valid()) m_files.CloseHandle(m_h);
    m_h = nullptr;
  }

 private:
  IFiles& m_files;
  HANDLE m_h;
};

// A directory search handle from FindFirstFileA.
class FindHandle {
 public:
  FindHandle(IFiles& files, HANDLE h) : m_files(files), m_h(h) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() { Close(); }
  bool valid() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
  void Close() {
    if (valid()) m_files.FindClose(m_h);
    m_h = INVALID_HANDLE_VALUE;
  }

 private:
  IFiles& m_files;
  HANDLE m_h;
};

// A text that FormatMessageA allocated; released with LocalFree.
class LocalText {
 public:
  explicit LocalText(IMessages& messages) : m_messages(messages) {}
  LocalText(const LocalText&) = delete;
  LocalText& operator=(const LocalText&) = delete;
  ~LocalText() {
    if (m_text != nullptr) m_messages.LocalFree(m_text);
  }
  // Where FormatMessageA with FORMAT_MESSAGE_ALLOCATE_BUFFER stores the text.
  LPSTR receiver() { return reinterpret_cast<LPSTR>(&m_text); }
  LPCSTR get() const { return m_text; }

 private:
  IMessages& m_messages;
  LPSTR m_text = nullptr;
};

// An INF opened with SetupOpenInfFileA.
class InfHandle {
 public:
  InfHandle(ISetupApi& setup, HINF h) : m_setup(setup), m_h(h) {}
  InfHandle(const InfHandle&) = delete;
  InfHandle& operator=(const InfHandle&) = delete;
  ~InfHandle() {
    if (valid()) m_setup.SetupCloseInfFile(m_h);
  }
  bool valid() const { return m_h != INVALID_HANDLE_VALUE && m_h != nullptr; }
  HINF get() const { return m_h; }

 private:
  ISetupApi& m_setup;
  HINF m_h;
};

// A registry key opened with RegOpenKeyExA; closed with RegCloseKey. Only a
// key that was opened successfully is held.
class RegistryKey {
 public:
  explicit RegistryKey(IRegistry& registry) : m_registry(registry) {}
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() { Close(); }
  LONG Open(HKEY parent, LPCSTR subKey, DWORD options, REGSAM access) {
    Close();
    HKEY key = nullptr;
    LONG result = m_registry.RegOpenKeyExA(parent, subKey, options, access, &key);
    if (result == ERROR_SUCCESS) m_key = key;
    return result;
  }
  bool valid() const { return m_key != nullptr; }
  HKEY get() const { return m_key; }
  void Close() {
    if (valid()) m_registry.RegCloseKey(m_key);
    m_key = nullptr;
  }

 private:
  IRegistry& m_registry;
  HKEY m_key = nullptr;
};

// A fixed memory block from GlobalAlloc; released with GlobalFree.
class GlobalBuffer {
 public:
  GlobalBuffer(IMemory& memory, HGLOBAL h) : m_memory(memory), m_h(h) {}
  GlobalBuffer(const GlobalBuffer&) = delete;
  GlobalBuffer& operator=(const GlobalBuffer&) = delete;
  ~GlobalBuffer() {
    if (valid()) m_memory.GlobalFree(m_h);
  }
  bool valid() const { return m_h != nullptr; }
  // A fixed block's handle is its address.
  LPBYTE bytes() const { return static_cast<LPBYTE>(m_h); }

 private:
  IMemory& m_memory;
  HGLOBAL m_h;
};

// A service or service manager handle.
class ServiceHandle {
 public:
  ServiceHandle(IServices& services, SC_HANDLE h) : m_services(services), m_h(h) {}
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  ~ServiceHandle() { Close(); }
  bool valid() const { return m_h != nullptr; }
  SC_HANDLE get() const { return m_h; }
  void Close() {
    if (m_h != nullptr) m_services.CloseServiceHandle(m_h);
    m_h = nullptr;
  }
  // For a handle that counts as closed without a call.
  void Forget() { m_h = nullptr; }

 private:
  IServices& m_services;
  SC_HANDLE m_h;
};

// A process or thread handle from CreateProcessA.
class ProcessHandle {
 public:
  ProcessHandle(IProcesses& processes, HANDLE h) : m_processes(processes), m_h(h) {}
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;
  ~ProcessHandle() {
    if (m_h != nullptr) m_processes.CloseProcessHandle(m_h);
  }
  HANDLE get() const { return m_h; }

 private:
  IProcesses& m_processes;
  HANDLE m_h;
};

// A named mutex from CreateMutexA. Once taken (Taken), it is released
// before it is closed.
class MutexHandle {
 public:
  MutexHandle(ISync& sync, HANDLE h) : m_sync(sync), m_h(h) {}
  MutexHandle(const MutexHandle&) = delete;
  MutexHandle& operator=(const MutexHandle&) = delete;
  ~MutexHandle() {
    if (m_h == nullptr) return;
    if (m_owned) m_sync.ReleaseMutex(m_h);
    m_sync.CloseHandle(m_h);
  }
  bool valid() const { return m_h != nullptr; }
  HANDLE get() const { return m_h; }
  void Taken() { m_owned = true; }

 private:
  ISync& m_sync;
  HANDLE m_h;
  bool m_owned = false;
};

}  // namespace platform
