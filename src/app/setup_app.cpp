#include "app/setup_app.h"

#include "app/command_line.h"
#include "ui/error_dlg.h"
#include "ui/setup_dlg.h"

BEGIN_MESSAGE_MAP(CSetupApp, CWinApp)
ON_COMMAND(ID_HELP, &CWinApp::OnHelp)
END_MESSAGE_MAP()

BOOL CSetupApp::InitInstance() {
  if (HandOverTo64Bit()) return FALSE;

  AfxEnableControlContainer();
  Enable3dControlsStatic();

  CString argumentText = m_lpCmdLine != nullptr ? m_lpCmdLine : "";
  if (!argumentText.IsEmpty()) {
    CSetupDlg dlg(m_platform);
    m_pMainWnd = &dlg;
    CommandLineValues values = SplitCommandLine(argumentText, *m_platform.codePage);
    dlg.m_strInfFile = values.infFile;
    dlg.m_strPrinterName = values.printerName;
    dlg.m_bSilent = values.silent;
    dlg.DoModal();
    m_nExitCode = static_cast<int>(dlg.m_dwExitCode);
  } else {
    CString infFile = FindInfFile();
    if (infFile.IsEmpty()) {
      CErrorDlg error;
      m_pMainWnd = &error;
      error.m_strMessage = "No INF file found!";
      error.DoModal();
    } else {
      CSetupDlg dlg(m_platform);
      m_pMainWnd = &dlg;
      dlg.m_strInfFile = infFile;
      dlg.m_strPrinterName = "";
      dlg.m_bSilent = FALSE;
      dlg.DoModal();
    }
  }
  m_pMainWnd = nullptr;
  return FALSE;
}
