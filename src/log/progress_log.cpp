// The log writers of the main dialog. Each text goes to the file at once,
// unbuffered, so a script reading the log sees every step as it happens.
#include "log/progress_log.h"

#include <cstring>

#include "platform/handles.h"
#include "ui/setup_dlg.h"

HANDLE g_hLogFile = nullptr;

void CSetupDlg::CreateLogFile() {
  // CREATE_ALWAYS empties a log left by an earlier run.
  g_hLogFile = m_platform.files->CreateFileA(
      QVR_LOG_FILE_NAME, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

void CSetupDlg::CloseLogFile() {
  // A log that could not be created has nothing to close.
  if (platform::FileHandle::IsValid(g_hLogFile)) m_platform.files->CloseHandle(g_hLogFile);
  g_hLogFile = nullptr;
}

BOOL CSetupDlg::WriteLog(LPCSTR text) {
  if (!platform::FileHandle::IsValid(g_hLogFile)) return 0;
  DWORD written = 0;
  m_platform.files->SetEndOfFile(g_hLogFile);
  return m_platform.files->WriteFile(g_hLogFile, text, static_cast<DWORD>(std::strlen(text)),
                                     &written, nullptr);
}

void CSetupDlg::WriteLogStr(CString text) {
  if (!platform::FileHandle::IsValid(g_hLogFile)) return;
  DWORD written = 0;
  m_platform.files->SetEndOfFile(g_hLogFile);
  m_platform.files->WriteFile(g_hLogFile, static_cast<LPCSTR>(text),
                              static_cast<DWORD>(text.GetLength()), &written, nullptr);
}
