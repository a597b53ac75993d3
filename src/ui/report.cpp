// The report rule: in an unattended run reports go to the progress log,
// otherwise to message boxes owned by the main dialog.
#include <cstring>
#include <string>

#include "log/progress_log.h"
#include "platform/handles.h"
#include "platform/last_error.h"
#include "ui/setup_dlg.h"

void CSetupDlg::CreateLogFile() {
  m_strLogNotWritten.clear();
  m_platform.error->SetLastError(ERROR_SUCCESS);
  g_hLogFile = CreateProgressLog(*m_platform.files, m_paths.Log());
  if (platform::FileHandle::IsValid(g_hLogFile)) return;
  // A name that holds no file of its own fails without a system error.
  DWORD code = m_platform.error->GetLastError();
  if (code == ERROR_SUCCESS) code = ERROR_CANT_ACCESS_FILE;
  platform::LocalText text(*m_platform.messages);
  std::string why = "error " + std::to_string(code);
  if (m_platform.messages->FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                              FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                          reinterpret_cast<LPSTR>(text.put()), 0, nullptr) != 0 &&
      text.get() != nullptr)
    why = text.get();
  while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == ' '))
    why.pop_back();
  m_strLogNotWritten = "not written: " + why;
}

void CSetupDlg::CloseLogFile() { CloseProgressLog(*m_platform.files); }

// The writers keep the last error: a failure logged before it is reported
// is still the failure reported.
BOOL CSetupDlg::WriteLog(LPCSTR text) {
  if (m_bHoldLog) {
    m_strHeldLog += text;
    return TRUE;
  }
  platform::KeepLastError keep(*m_platform.error);
  DWORD length = static_cast<DWORD>(std::strlen(text));
  if (length != 0) m_bLogLineOpen = text[length - 1] != '\n';
  return WriteProgressLog(*m_platform.files, text, length);
}

void CSetupDlg::WriteLogStr(CString text) {
  if (m_bHoldLog) {
    m_strHeldLog += text.str();
    return;
  }
  platform::KeepLastError keep(*m_platform.error);
  if (!text.IsEmpty()) m_bLogLineOpen = text.str().back() != '\n';
  WriteProgressLog(*m_platform.files, text, static_cast<DWORD>(text.GetLength()));
}

void CSetupDlg::ShowLastError() {
  if (m_bNoReports) return;
  // The report leaves the error as it found it, for a second report of the
  // same failure further up.
  platform::KeepLastError keep(*m_platform.error);
  DWORD code = m_platform.error->GetLastError();
  platform::LocalText text(*m_platform.messages);
  DWORD length = m_platform.messages->FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(text.put()),
      0, nullptr);
  if (length == 0 || text.get() == nullptr) return;
  m_strLastReport = text.get();
  if (m_bUnattended)
    WriteLog(text.get());
  else
    MessageBoxUtf8(AfxAnsiToUtf8(text.get()).c_str(), ShownText("Last Error", m_language).c_str(),
                   MB_OK);
}

void CSetupDlg::Report(LPCSTR boxText, LPCSTR logText, LPCSTR caption, bool boxTextIsName) {
  if (m_bNoReports) return;
  m_strLastReport = boxText;
  if (m_bUnattended) {
    if (logText != nullptr) WriteLog(logText);
  } else {
    std::string shown = boxTextIsName ? AfxAnsiToUtf8(boxText) : ShownText(boxText, m_language);
    MessageBoxUtf8(shown.c_str(), ShownText(caption, m_language).c_str(), MB_OK);
  }
}
