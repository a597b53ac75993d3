#include "app/setup_app.h"

#include "app/command_line.h"
#include "engine/exit_status.h"
#include "platform/handles.h"
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
  CommandLineValues values;
  if (!argumentText.IsEmpty()) values = SplitCommandLine(argumentText, *m_platform.codePage);

  // Before anything is read or written, and after the hand-over, so that a
  // 32-bit program that hands over does not hold the mutex its child needs.
  platform::MutexHandle runLock(*m_platform.sync,
                                m_platform.sync->CreateMutexA(nullptr, FALSE, QVR_RUN_MUTEX));
  platform::MutexOwnership taken(*m_platform.sync);
  if (!TakeRunLock(runLock, taken)) {
    // A script is told to try again later; an operator sees the run that is
    // already open.
    if (!values.printerName.IsEmpty() || values.namesNoPrinter)
      m_nExitCode = static_cast<int>(kExitAnotherRun);
    else
      ShowRunningSetup();
    return FALSE;
  }

  // An Update that an earlier run left unfinished comes first, whatever
  // this run was started for.
  CSetupDlg dlg(m_platform);
  dlg.FinishInterruptedUpdate();

  if (values.namesNoPrinter) {
    dlg.m_strInfFile = values.infFile;
    dlg.m_bSilent = values.silent;
    dlg.EndWithoutPrinter();
  } else if (!argumentText.IsEmpty()) {
    m_pMainWnd = &dlg;
    dlg.m_strInfFile = values.infFile;
    dlg.m_strPrinterName = values.printerName;
    dlg.m_bSilent = values.silent;
    dlg.DoModal();
  } else if (dlg.EndAfterFailedRecovery()) {
    // Reported; nothing else is touched until a later run finishes it.
  } else {
    CString infFile = FindInfFile();
    if (infFile.IsEmpty()) {
      CErrorDlg error;
      m_pMainWnd = &error;
      error.m_strMessage = "No INF file found!";
      error.DoModal();
    } else {
      m_pMainWnd = &dlg;
      dlg.m_strInfFile = infFile;
      dlg.m_strPrinterName = "";
      dlg.m_bSilent = FALSE;
      dlg.DoModal();
    }
  }
  // A run that opened no dialog leaves the recovery's event here.
  dlg.LeaveRecoveryEvent();
  m_nExitCode = static_cast<int>(dlg.m_dwExitCode);
  m_pMainWnd = nullptr;
  return FALSE;
}
