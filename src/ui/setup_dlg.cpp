#include "ui/setup_dlg.h"

#include <optional>

#include "engine/exit_status.h"
#include "log/progress_log.h"

BEGIN_MESSAGE_MAP(CSetupDlg, CDialog)
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_BN_CLICKED(IDC_INSTALL, &CSetupDlg::OnInstall)
ON_BN_CLICKED(IDC_UPDATE, &CSetupDlg::OnUpdate)
ON_LBN_SELCHANGE(IDC_MODELS, &CSetupDlg::OnSelchangeModels)
ON_LBN_SELCHANGE(IDC_INSTALLED, &CSetupDlg::OnSelchangeInstalled)
END_MESSAGE_MAP()

namespace {

// Keeps the progress log open for the length of an unattended run.
class LogSession {
 public:
  explicit LogSession(CSetupDlg& dialog) : m_dialog(dialog) {
    g_hLogFile = nullptr;
    m_dialog.CreateLogFile();
  }
  LogSession(const LogSession&) = delete;
  LogSession& operator=(const LogSession&) = delete;
  ~LogSession() { m_dialog.CloseLogFile(); }

 private:
  CSetupDlg& m_dialog;
};

}  // namespace

CSetupDlg::CSetupDlg(const platform::Platform& platform, CWnd* pParent)
    : CDialog(IDD, pParent), m_platform(platform) {
  m_hIcon = AfxGetApp()->LoadIcon(IDR_MAINFRAME);
}

void CSetupDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_MONITORS, m_lbMonitors);
  DDX_Control(pDX, IDC_STATE_ICON, m_stcStateIcon);
  DDX_Control(pDX, IDC_DRIVER_VERSIONS, m_lbDriverVersions);
  DDX_Control(pDX, IDC_GRP_INSTALLATION, m_grpInstallation);
  DDX_Control(pDX, IDC_UPDATE, m_btnUpdate);
  DDX_Control(pDX, IDC_INSTALL, m_btnInstall);
  DDX_Control(pDX, IDC_INSTALLED, m_lbInstalled);
  DDX_Control(pDX, IDC_MODELS, m_lbModels);
  DDX_Text(pDX, IDC_DRIVERVER, m_strDriverVer);
  DDX_Text(pDX, IDC_STATUS, m_strStatus);
  DDX_Text(pDX, IDC_RESULT, m_strResult);
}

BOOL CSetupDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  m_hIconSelect = AfxGetApp()->LoadIcon(IDI_STATE_SELECT);
  m_hIconPress = AfxGetApp()->LoadIcon(IDI_STATE_PRESS);
  m_hIconDone = AfxGetApp()->LoadIcon(IDI_STATE_DONE);
  m_hIconError = AfxGetApp()->LoadIcon(IDI_STATE_ERROR);

  m_strNamedPrinter = m_strPrinterName;
  m_paths = PackagePaths::Read(*m_platform.files, *m_platform.error, *m_platform.codePage,
                               m_strInfFile.str());
  m_machine = platform::GetMachineKind(*m_platform.processes, m_platform.x64Program);

  if (!ListInstalledPrinters(&m_lbInstalled)) {
    m_lbInstalled.AddString("No Printer available!");
    m_btnInstall.EnableWindow(TRUE);
    m_stcStateIcon.SetIcon(m_hIconError);
  }

  // The run is unattended when the command line names a printer that is
  // installed. That is settled before the INF is read, so that the reader's
  // reports already go to the log and no message box holds up a script. A
  // named printer that isn't installed ends the run at once, and the
  // reader's reports are dropped: a script would wait on them for ever.
  std::optional<LogSession> log;
  if (!m_strPrinterName.IsEmpty()) {
    if (m_lbInstalled.FindString(0, m_strPrinterName) != LB_ERR) {
      m_bUnattended = TRUE;
      log.emplace(*this);
      // An interrupted Update that this run finished, or failed to, comes
      // first in the log.
      if (!m_strHeldLog.empty()) WriteLog(m_strHeldLog.c_str());
    } else {
      m_bNoReports = TRUE;
    }
  }
  LeaveRecoveryEvent();
  if (EndAfterFailedRecovery()) {
    log.reset();
    OnOK();
    return TRUE;
  }

  m_strStatus = "Select the printer you want to install.";

  if (ReadInf(m_strInfFile, &m_lbModels)) UpdateData(FALSE);

  if (m_strPrinterName.IsEmpty()) {
    m_lbModels.SetCurSel(-1);
    m_bUnattended = FALSE;
    return TRUE;
  }

  int modelMatch = m_lbModels.FindString(0, m_strPrinterName);
  m_lbModels.SetCurSel(modelMatch);

  if (m_bUnattended) {
    if (modelMatch != LB_ERR)
      OnUpdate();
    else
      OnInstall();
  }
  log.reset();

  OnOK();
  return TRUE;
}

void CSetupDlg::EndWithoutPrinter() {
  static const char kNoPrinter[] = "The command line names no printer!";
  m_bUnattended = TRUE;
  m_paths = PackagePaths::Read(*m_platform.files, *m_platform.error, *m_platform.codePage,
                               m_strInfFile.str());
  LogSession log(*this);
  if (!m_strHeldLog.empty()) WriteLog(m_strHeldLog.c_str());
  LeaveRecoveryEvent();
  Report(kNoPrinter, "The command line names no printer!\n");
  m_dwExitCode = kExitFailed;
  LeaveRunEvent(FactsOfRun("None", kExitFailed, kNoPrinter, "not needed"));
}

void CSetupDlg::OnSelchangeModels() {
  UpdateData(TRUE);
  CString model;
  m_lbModels.GetText(m_lbModels.GetCurSel(), model);
  for (int i = 0; i < m_lbInstalled.GetCount(); ++i) {
    m_lbInstalled.GetText(i, m_strPrinterName);
    if (m_strPrinterName.Find(model) != -1) {
      m_btnInstall.EnableWindow(FALSE);
      m_btnUpdate.EnableWindow(TRUE);
      m_strStatus = "Press the Update button to start the installation.";
      break;
    }
    m_btnInstall.EnableWindow(TRUE);
    m_btnUpdate.EnableWindow(FALSE);
    m_strStatus = "Press the Install button to start the installation.";
  }
  m_stcStateIcon.SetIcon(m_hIconPress);
  UpdateData(FALSE);
}

void CSetupDlg::OnSelchangeInstalled() {}

void CSetupDlg::OnOK() { CDialog::OnOK(); }

void CSetupDlg::OnPaint() {
  if (!IsIconic()) {
    CDialog::OnPaint();
    return;
  }
  CPaintDC dc(this);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
  int cxIcon = GetSystemMetrics(SM_CXICON);
  int cyIcon = GetSystemMetrics(SM_CYICON);
  RECT rect;
  GetClientRect(&rect);
  int x = (rect.right - rect.left - cxIcon + 1) / 2;
  int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
  dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CSetupDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }
