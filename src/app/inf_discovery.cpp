// Finds the INF to work on when the program is started without arguments.
#include "app/setup_app.h"
#include "platform/handles.h"
#include "ui/error_dlg.h"

namespace {

void ShowError(LPCSTR message, DWORD code, OperatorLanguage language) {
  CErrorDlg error;
  error.m_language = language;
  error.m_strMessage = message;
  error.m_dwErrorCode = code;
  error.DoModal();
}

}  // namespace

CString CSetupApp::FindInfFile() {
  char directory[kPathBytes] = {};
  DWORD length = m_platform.files->GetCurrentDirectoryA(kPathBytes, directory);
  // A directory that does not fit the buffer is as unreadable as a failure.
  if (length == 0 || length >= kPathBytes) {
    ShowError("Can't get current directory!", 0, OperatorLanguageNow());
    return CString();
  }

  CString pattern = CString(directory) + "\\*.inf";
  WIN32_FIND_DATAA entry = {};
  platform::FindHandle search(*m_platform.files, m_platform.files->FindFirstFileA(pattern, &entry));
  if (!search.valid()) {
    ShowError("Error enumerating INF files!", m_platform.error->GetLastError(),
              OperatorLanguageNow());
    return CString();
  }
  search.reset();
  return CString(entry.cFileName);
}
