// Keeps the thread's last error across cleanup: a report after the cleanup
// then tells the error of the call that failed, whatever the cleanup's
// calls did to it.
#pragma once
#include "platform/platform.h"

namespace platform {

class KeepLastError {
 public:
  explicit KeepLastError(IThreadError& error) : m_error(error), m_code(error.GetLastError()) {}
  KeepLastError(const KeepLastError&) = delete;
  KeepLastError& operator=(const KeepLastError&) = delete;
  ~KeepLastError() { m_error.SetLastError(m_code); }

 private:
  IThreadError& m_error;
  DWORD m_code;
};

// For a function that returns a failure while owners still hold handles:
// declared before the owners, it outlives them, and the error noted by
// Keep() is set again once they have closed their handles.
class LastErrorOnExit {
 public:
  explicit LastErrorOnExit(IThreadError& error) : m_error(error) {}
  LastErrorOnExit(const LastErrorOnExit&) = delete;
  LastErrorOnExit& operator=(const LastErrorOnExit&) = delete;
  ~LastErrorOnExit() {
    if (m_kept) m_error.SetLastError(m_code);
  }
  // Notes the thread's last error now and gives back result.
  template <class T>
  T Keep(T result) {
    m_code = m_error.GetLastError();
    m_kept = true;
    return result;
  }

 private:
  IThreadError& m_error;
  DWORD m_code = 0;
  bool m_kept = false;
};

}  // namespace platform
