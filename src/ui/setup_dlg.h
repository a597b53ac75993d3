// The main setup dialog. It owns every piece of setup state; the catalogue
// readers and the two procedures are its member functions, defined in the
// subsystem folders they belong to.
#pragma once
#include <string>

#include "catalogue/models_section.h"
#include "engine/package_paths.h"
#include "engine/run_event.h"
#include "framework/afx.h"
#include "platform/handles.h"
#include "platform/machine_kind.h"
#include "platform/platform.h"
#include "resource.h"
#include "ui/operator_texts.h"

struct PendingUpdate;

class CSetupDlg : public CDialog {
 public:
  explicit CSetupDlg(const platform::Platform& platform, CWnd* pParent = nullptr);

  enum { IDD = IDD_QVRSETUP_DIALOG };

  CString m_strInfFile;
  CString m_strPrinterName;
  BOOL m_bUnattended = FALSE;
  BOOL m_bSilent = FALSE;
  // A command line that names a printer the machine doesn't have: the run
  // has nothing to do and nobody to tell, so every report is dropped.
  BOOL m_bNoReports = FALSE;
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
  // What an unattended run tells its script (engine/exit_status.h).
  // Interactive runs leave it at 0.
  DWORD m_dwExitCode = 0;
  // The package's paths, read when the dialog opens.
  PackagePaths m_paths;
  // The machine the program runs on, asked when the dialog opens.
  platform::MachineKind m_machine;
  // The INF has a models section for ARM64 Windows, which names that
  // architecture (only looked for on ARM64 Windows).
  BOOL m_bArm64Models = FALSE;

  // An Update that an earlier run left unfinished, finished from its journal
  // before anything else is read (engine/interrupted_update.cpp). Its log
  // lines are held until the run knows whether it has a log; a failure
  // ends the run with exit status 1.
  enum class Recovery { NothingPending, Finished, Failed };
  Recovery FinishInterruptedUpdate();
  Recovery m_recovery = Recovery::NothingPending;
  std::string m_strHeldLog;
  // Tells a failed recovery by the report rule; true when it failed.
  bool EndAfterFailedRecovery();
  // A command line with text after the INF from which no printer name can be
  // read: a script started it, so the run opens no dialog. It ends with 1,
  // with the reason in the log in the package folder and in its event.
  void EndWithoutPrinter();
  // Whether the recovery put a monitor back, as its event tells it.
  std::string m_strRecoveryRestored = "not needed";
  // The journal goes only when the machine is whole: the monitor in
  // system32 (or never taken from it: monitorTaken false) and the spooler
  // running, as a status query says. true when it was removed; otherwise
  // it stays for the next run, a removal that failed reported.
  bool MachineWhole(bool monitorTaken, const std::string& installedMonitor);
  bool CloseJournal(bool whole);
  // The line of a run that leaves its journal.
  static constexpr char kNextRunFinishes[] = "The next run of the setup finishes this Update.\n";

  // The run's event in the Application log (engine/run_event.cpp). A run
  // leaves one for each Update or Install, and one for a recovery, once it
  // knows whether it has a log; an event that can't be written is logged.
  RunFacts FactsOfRun(LPCSTR procedure, DWORD exitStatus, const std::string& outcome,
                      const std::string& restored);
  void LeaveRunEvent(const RunFacts& facts);
  void LeaveRecoveryEvent();
  // The printer that the command line named: the selection handler reuses
  // m_strPrinterName.
  CString m_strNamedPrinter;
  // The text of the last report, in a box or in the log.
  std::string m_strLastReport;
  // Why an unattended run has no log: "not written: " and the system's
  // text; empty while the log is open, or was never asked for.
  std::string m_strLogNotWritten;

  // Progress log writers (ui/report.cpp, over log/progress_log.cpp).
  void CreateLogFile();
  void CloseLogFile();
  BOOL WriteLog(LPCSTR text);
  void WriteLogStr(CString text);

  // Reports (ui/report.cpp). ShowLastError reports the thread's last system
  // error; Report shows a fixed text in a box, or in an unattended run writes
  // logText to the log (nothing when logText is null). The box shows boxText
  // and the caption in the operator's language, the log gets the English; a
  // box text that is a name is shown as it is.
  void ShowLastError();
  void Report(LPCSTR boxText, LPCSTR logText, LPCSTR caption = "", bool boxTextIsName = false);
  // The language the operator reads the dialog and the boxes in.
  OperatorLanguage m_language = OperatorLanguage::English;
  // The English of what the status and result lines show.
  CString m_strStatusOnScreen;
  CString m_strResultOnScreen;
  void ExchangeShownText(CDataExchange* pDX, int id, CString& value, CString& onScreen);

  // The model's hardware ID (engine/hardware_id.cpp). With no buffer it
  // stores the ID's length in *pSize and returns 0; with a buffer it copies
  // the ID and returns its length. A name without an ID gives 0 and leaves
  // *pSize alone.
  static int GetHardwareId(LPCSTR modelName, LPSTR buffer, DWORD* pSize);

  // Stops (0) or starts (any other value) the spooler and waits for it
  // (engine/spooler_control.cpp). 1 lets the caller go on, 0 is a failure.
  int ControlSpooler(int start);
  // The spooler's state once a stop that is still under way has ended (the
  // wait is bounded as ControlSpooler's are); 0 when it can't be read.
  // Writes nothing.
  DWORD SettledSpoolerState();
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
  // The installed monitor's bytes, read before it goes, or the error of the
  // read (engine/monitor_backup.cpp). The last error stays as it was.
  struct MonitorBytes {
    bool read = false;
    DWORD error = 0;
    std::string bytes;
  };
  MonitorBytes ReadInstalledMonitor(const std::string& installedMonitor);
  // Copies them into the backup folder `bak`, for people to see; a failure
  // is reported and changes nothing else.
  void BackUpMonitor(const std::string& backupDirectory, const MonitorBytes& monitor, LPCSTR name);

  // The steps of OnUpdate (engine/update.cpp). A step that returns false
  // has reported why, and the run goes no further.
  struct UpdateRun;
  bool RefuseUnderEmulation();
  bool FindPackagePaths();
  bool ResolveHardwareId(UpdateRun& run);
  bool ResolveMonitor(UpdateRun& run);
  void SwapMonitorOut(UpdateRun& run);
  void StartSideTool();
  // True when the driver took; a driver that needed nothing is not taken
  // as installed.
  bool UpdateDriver(UpdateRun& run);
  bool RecordPendingUpdate(UpdateRun& run);
  // The backup copied back into system32, never over a monitor that is
  // there: restored, a monitor already in place, or not restored (reported).
  enum class Restored { Yes, InPlace, No };
  static LPCSTR RestoredText(Restored restored);
  Restored CopyBackupBack(const PendingUpdate& pending, const std::string& installedMonitor);
  void ReportRestored(Restored restored);
  void RestoreMonitor(UpdateRun& run);
  void StartStoppedSpooler(UpdateRun& run);
  // The body of OnInstall (engine/install.cpp): true when the INF was copied.
  bool CopyInfToStore();

  platform::Platform m_platform;
  // While set, the log's texts are held in m_strHeldLog.
  bool m_bHoldLog = false;
  // The last text written to the log ended no line.
  bool m_bLogLineOpen = false;
  bool m_bRecoveryEventLeft = false;

  DECLARE_MESSAGE_MAP()
};
