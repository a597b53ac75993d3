// The main setup dialog. It owns every piece of setup state; the catalogue
// readers and the two procedures are its member functions, defined in the
// subsystem folders they belong to.
#pragma once
#include <string>

#include "catalogue/models_section.h"
#include "framework/afx.h"
#include "platform/platform.h"

namespace platform {
class ServiceHandle;
}
#include "resource.h"

class CSetupDlg : public CDialog {
 public:
  explicit CSetupDlg(const platform::Platform& platform, CWnd* pParent = nullptr);

  enum { IDD = IDD_QVRSETUP_DIALOG };

  CString m_strInfFile;
  CString m_strPrinterName;
  BOOL m_bUnattended = FALSE;
  BOOL m_bSilent = FALSE;
  CListBox m_lbMonitors;
  CStatic m_stcStateIcon;
  CListBox m_lbDriverVersions;
  CButton m_grpInstallation;
  CButton m_btnUpdate;
  CButton m_btnInstall;
  CListBox m_lbInstalled;
  CListBox m_lbModels;
  CString m_strDriverVer;
  CString m_strStatus;
  CString m_strResult;
  HICON m_hIcon = nullptr;
  HICON m_hIconSelect = nullptr;
  HICON m_hIconPress = nullptr;
  HICON m_hIconDone = nullptr;
  HICON m_hIconError = nullptr;
  // What an unattended run tells its script: 0 done, 1 failed, 3010 done
  // but a restart is needed. Interactive runs leave it at 0.
  DWORD m_dwExitCode = 0;

  // Progress log (log/progress_log.cpp).
  void CreateLogFile();
  void CloseLogFile();
  BOOL WriteLog(LPCSTR text);
  void WriteLogStr(CString text);

  // Reports (ui/report.cpp). ShowLastError reports the thread's last system
  // error; Report shows a fixed text in a box, or in an unattended run writes
  // logText to the log (nothing when logText is null).
  void ShowLastError();
  void Report(LPCSTR boxText, LPCSTR logText, LPCSTR caption = "");

  // The model's hardware ID (engine/hardware_id.cpp). With no buffer it
  // stores the ID's length in *pSize and returns 0; with a buffer it copies
  // the ID and returns its length. A name without an ID gives 0 and leaves
  // *pSize alone.
  static int GetHardwareId(LPCSTR modelName, LPSTR buffer, DWORD* pSize);

  // Stops (0) or starts (any other value) the spooler and waits for it
  // (engine/spooler_control.cpp). 1 lets the caller go on, 0 is a failure.
  int ControlSpooler(int start);
  // The selected model's language monitor file, by the size-then-fill
  // protocol: 0 and the length in *pSize when the buffer is too small.
  int GetMonitorName(LPSTR buffer, DWORD* pSize);

  // Driver catalogue (catalogue/).
  BOOL ListInstalledPrinters(CListBox* pPrinterList);
  CString GetDriverVersion(LPCSTR printerName);
  BOOL ReadInf(CString infFile, CListBox* pModelList);
  struct MonitorLookup {
    bool found = false;
    std::string monitor;  // the file name; empty when not found
    DWORD error = 0;      // the last error of the failed lookup
  };
  MonitorLookup LookUpMonitor(HINF inf, const std::string& installSection);
  TargetPlatform GetTargetPlatform();

  void OnOK() override;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnSelchangeModels();
  void OnSelchangeInstalled();

 public:
  // The procedures (engine/).
  void OnUpdate();
  void OnInstall();

 protected:
  // Writes a text (a path: and a line feed) to the log of an unattended run.
  void LogText(LPCSTR text);
  void LogPath(LPCSTR path);
  bool WaitForSpooler(platform::ServiceHandle& query, DWORD target, LPCSTR progress);

  platform::Platform m_platform;

  DECLARE_MESSAGE_MAP()
};
