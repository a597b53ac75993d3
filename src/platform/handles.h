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

}  // namespace platform
