// The report rule: in an unattended run reports go to the progress log,
// otherwise to message boxes owned by the main dialog.
#include "platform/handles.h"
#include "ui/setup_dlg.h"

void CSetupDlg::ShowLastError() {
  DWORD code = m_platform.error->GetLastError();
  platform::LocalText text(*m_platform.messages);
  DWORD length = m_platform.messages->FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(text.put()),
      0, nullptr);
  if (length == 0 || text.get() == nullptr) return;
  if (m_bUnattended)
    WriteLog(text.get());
  else
    MessageBox(text.get(), "Last Error", MB_OK);
}

void CSetupDlg::Report(LPCSTR boxText, LPCSTR logText, LPCSTR caption) {
  if (m_bUnattended) {
    if (logText != nullptr) WriteLog(logText);
  } else {
    MessageBox(boxText, caption, MB_OK);
  }
}
