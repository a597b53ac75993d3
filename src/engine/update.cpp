// The Update procedure: spooler stop, language monitor backup and removal,
// spooler start, the side tool, and the forced Plug and Play driver update.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/exit_status.h"
#include "engine/plain_file_name.h"
#include "engine/sha256.h"
#include "engine/trusted_copy.h"
#include "engine/update_journal.h"
#include "platform/file_links.h"
#include "platform/handles.h"
#include "platform/last_error.h"
#include "ui/setup_dlg.h"

int CSetupDlg::GetMonitorName(LPSTR buffer, DWORD* pSize) {
  int index = m_lbModels.GetCurSel();
  if (index == LB_ERR || m_lbMonitors.GetTextLen(index) == LB_ERR) return 0;
  CString name;
  m_lbMonitors.GetText(index, name);
  // The name is used in system32 and in the backup folder.
  if (!IsPlainFileName(name.str(), *m_platform.codePage)) return 0;
  DWORD length = static_cast<DWORD>(name.GetLength());
  if (length > *pSize) {
    *pSize = length;
    return 0;
  }
  std::memcpy(buffer, static_cast<LPCSTR>(name), length + 1);
  return static_cast<int>(length);
}

void CSetupDlg::LogText(LPCSTR text) {
  if (m_bUnattended) WriteLog(text);
}

void CSetupDlg::LogPath(LPCSTR path) {
  LogText(path);
  LogText("\n");
}

// What the steps of one Update share.
struct CSetupDlg::UpdateRun {
  std::string hardwareId;
  std::string monitor;           // the model's language monitor file
  std::string installedMonitor;  // where it lies in system32
  std::string trustedCopy;       // its trusted copy's path; empty when there is none
  DWORD trustedCopyError = 0;    // why there is none
  DWORD copySize = 0;            // the copy's size and hash, as the journal has them
  std::string copySha256;
  DWORD exitStatus = kExitFailed;  // until the driver update says otherwise
  bool monitorDeleted = false;     // this run took the installed monitor away
  bool spoolerInDoubt = false;     // a stop or start failed: it may be left stopped
  bool lineOpen = false;           // the log's last text has no line feed
  std::string outcome;             // the driver update's, or the report that ended the run
  std::string restored = "not needed";
};

void CSetupDlg::OnUpdate() {
  UpdateRun run;
  UpdateData(TRUE);
  if (RefuseUnderEmulation() && FindPackagePaths() && ResolveHardwareId(run) &&
      ResolveMonitor(run) && RecordPendingUpdate(run)) {
    SwapMonitorOut(run);
    StartSideTool();
    // A failed update must not leave the printer without its monitor.
    const bool took = UpdateDriver(run);
    if (!took && run.monitorDeleted) RestoreMonitor(run);
    if (run.spoolerInDoubt) StartStoppedSpooler(run);
    // A driver that took brought its own monitor. A machine left broken
    // keeps the journal, and the run fails.
    if (!CloseJournal(MachineWhole(run.monitorDeleted && !took, run.installedMonitor))) {
      if (m_bLogLineOpen) LogText("\n");
      LogText(kNextRunFinishes);
      run.exitStatus = kExitFailed;
    }
  } else {
    run.outcome = m_strLastReport;
  }
  if (m_bUnattended) m_dwExitCode = run.exitStatus;
  LeaveRunEvent(FactsOfRun("Update", run.exitStatus, run.outcome, run.restored));
  m_btnInstall.EnableWindow(FALSE);
  m_btnUpdate.EnableWindow(FALSE);
  UpdateData(FALSE);
}

bool CSetupDlg::RefuseUnderEmulation() {
  // An emulated process cannot update a Plug and Play driver: on ARM64
  // Windows neither build can, and a 32-bit process on 64-bit Windows sees a
  // redirected system32 besides. Refuse before touching anything.
  if (m_machine.Arm64()) {
    Report("The setup can't update drivers on ARM64 Windows!",
           "The setup can't update drivers on ARM64 Windows!\n");
  } else if (m_machine.wow64) {
    Report("The 32-bit setup can't update drivers on 64-bit Windows!",
           "The 32-bit setup can't update drivers on 64-bit Windows!\n");
  } else {
    return true;
  }
  m_stcStateIcon.SetIcon(m_hIconError);
  return false;
}

bool CSetupDlg::FindPackagePaths() {
  if (!m_paths.HasFolder()) {
    Report("Can't get current directory!", "Can't get current directory!\n");
    return false;
  }
  LogPath(m_paths.folder.c_str());
  LogPath(m_paths.inf.c_str());
  return true;
}

bool CSetupDlg::ResolveHardwareId(UpdateRun& run) {
  CString model;
  m_lbModels.GetText(m_lbModels.GetCurSel(), model);
  DWORD length = 0;
  GetHardwareId(model, nullptr, &length);
  if (length == 0) {
    Report("Can't get HW ID resource text!", "Can't get HW ID resource text!\n");
    return false;
  }
  std::vector<char> id(length * 2, '\0');
  int filled = GetHardwareId(model, id.data(), &length);
  run.hardwareId = id.data();
  LogPath(run.hardwareId.c_str());
  if (filled == 0) {
    Report("Can't get HW ID resource text!", "Can't get HW ID resource text!\n");
    return false;
  }
  m_strStatus = "Updating the driver files.";
  UpdateData(FALSE);
  return true;
}

bool CSetupDlg::ResolveMonitor(UpdateRun& run) {
  DWORD length = 0;
  GetMonitorName(nullptr, &length);
  bool haveMonitor = length != 0;
  std::vector<char> monitor(length + 1, '\0');
  if (haveMonitor) {
    haveMonitor = GetMonitorName(monitor.data(), &length) != 0;
    LogPath(monitor.data());
  }
  if (!haveMonitor) {
    Report("Can't get Monitor resource text!", "Can't get Monitor resource text!\n");
    m_stcStateIcon.SetIcon(m_hIconError);
    return false;
  }
  run.monitor = monitor.data();

  LogPath(m_paths.InFolder(run.monitor).c_str());
  LogPath(m_paths.backup.c_str());
  if (m_paths.windows.empty()) {
    Report("Can't get pSystemDirectory name!", "Can't get pSystemDirectory name!\n");
    return false;
  }
  // A path that does not fit leaves the bare Windows directory, on which
  // the copy and the deletion then fail with a report.
  std::optional<std::string> installed = m_paths.InstalledMonitor(run.monitor);
  run.installedMonitor = installed.value_or(m_paths.windows);
  if (installed) LogPath(run.installedMonitor.c_str());
  return true;
}

bool CSetupDlg::RecordPendingUpdate(UpdateRun& run) {
  // Recorded before the spooler stops, so that a run killed from here on
  // is finished by the next one.
  {
    platform::KeepLastError keep(*m_platform.error);
    std::optional<std::string> copy =
        TrustedCopyPath(*m_platform.files, *m_platform.error, run.monitor);
    run.trustedCopy = copy.value_or("");
    run.trustedCopyError = m_platform.error->GetLastError();
  }
  UpdateJournal journal(*m_platform.registry, *m_platform.error);
  if (journal.Record(
          {run.monitor, run.installedMonitor, run.trustedCopy, 0, "", UpdateStep::SpoolerStopped}))
    return true;
  {
    platform::KeepLastError keep(*m_platform.error);
    journal.Remove();
  }
  ShowLastError();
  Report("Can't record the pending Update!", "Can't record the pending Update!\n");
  m_stcStateIcon.SetIcon(m_hIconError);
  return false;
}

void CSetupDlg::SwapMonitorOut(UpdateRun& run) {
  platform::IFiles& files = *m_platform.files;
  platform::IThreadError& error = *m_platform.error;

  LogText("Stop Spooler\n");
  if (!ControlSpooler(0)) {
    ShowLastError();
    m_stcStateIcon.SetIcon(m_hIconError);
    run.spoolerInDoubt = true;
    return;
  }

  MonitorBytes monitor = ReadInstalledMonitor(run.installedMonitor);
  BackUpMonitor(m_paths.backup, monitor, run.monitor.c_str());
  // Only the trusted copy ever goes back, so without it the installed
  // monitor stays where it is; nor is it removed before the journal names
  // the copy with its size and hash. The `bak` copy plays no part here.
  TrustedCopy copy = TrustedCopy::Failed;
  if (monitor.read) {
    const DWORD before = error.GetLastError();
    error.SetLastError(run.trustedCopyError);
    copy = run.trustedCopy.empty() ? TrustedCopy::Failed
                                   : MakeTrustedCopy(m_platform, run.trustedCopy, monitor.bytes);
    if (copy == TrustedCopy::Failed) ShowLastError();
    if (copy != TrustedCopy::Failed) error.SetLastError(before);
  }
  if (copy == TrustedCopy::Made) {
    m_platform.clock->Sleep(3000);
    run.copySize = static_cast<DWORD>(monitor.bytes.size());
    run.copySha256 = Sha256Hex(monitor.bytes.data(), monitor.bytes.size());
    if (!UpdateJournal(*m_platform.registry, error)
             .RecordMonitorRemoved(run.copySize, run.copySha256)) {
      ShowLastError();
      LogText("Language Monitor not deleted: not recorded\n");
    } else {
      LogText("Delete Language Monitor\n");
      if (files.DeleteFileA(run.installedMonitor.c_str())) {
        run.monitorDeleted = true;
      } else {
        ShowLastError();
        m_stcStateIcon.SetIcon(m_hIconError);
      }
    }
  } else if (copy == TrustedCopy::UnsafeFolder) {
    LogText("Language Monitor not deleted: the backup folder is not safe\n");
  } else {
    LogText("Language Monitor not deleted: no backup\n");
  }

  LogText("Start Spooler\n");
  if (!ControlSpooler(1)) {
    ShowLastError();
    m_stcStateIcon.SetIcon(m_hIconError);
    run.spoolerInDoubt = true;
  }
  m_stcStateIcon.SetIcon(m_hIconDone);

  platform::LocalText text(*m_platform.messages);
  if (m_platform.messages->FormatMessageA(
          FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
              FORMAT_MESSAGE_FROM_SYSTEM,
          nullptr, error.GetLastError(), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
          reinterpret_cast<LPSTR>(text.put()), 0, nullptr) != 0 &&
      text.get() != nullptr) {
    m_strStatus = CString("Language Monitor backup: ") + text.get();
    LogText(m_strStatus);
  }
}

void CSetupDlg::StartSideTool() {
  if (!m_bSilent) return;
  const std::string tool = m_paths.InFolder("KillLogoTestingWarnings.exe");
  const char* const argv[] = {"//NOLOGO", nullptr};
  std::intptr_t started = m_platform.processes->SpawnV(1, tool.c_str(), argv);
  if (started != -1) {
    // The tool runs on by itself; its handle is not needed.
    platform::ProcessHandle process(*m_platform.processes, reinterpret_cast<HANDLE>(started));
    return;
  }
  CString message;
  message.Format("Error runing script: errno = %d\n", m_platform.processes->GetErrno());
  WriteLog(message);
  m_platform.debug->OutputDebugStringA(message);
}

bool CSetupDlg::UpdateDriver(UpdateRun& run) {
  LogText("Update Driver\n");
  // An unattended run takes the restart question itself, so that the
  // platform never waits on a prompt that nobody answers; without the side
  // tool, which answers the installer's warnings, any other prompt makes
  // the call fail instead.
  BOOL restart = FALSE;
  DWORD flags = INSTALLFLAG_FORCE;
  if (m_bUnattended && !m_bSilent) flags |= INSTALLFLAG_NONINTERACTIVE;
  if (m_platform.devices->UpdateDriverForPlugAndPlayDevicesA(m_hWnd, run.hardwareId.c_str(),
                                                             m_paths.inf.c_str(), flags,
                                                             m_bUnattended ? &restart : nullptr)) {
    m_strStatus = "Driver update completed.";
    m_stcStateIcon.SetIcon(m_hIconDone);
    LogText(m_strStatus);
    run.lineOpen = !restart;
    run.outcome = m_strStatus.str();
    if (restart) {
      LogText("\nA restart is required to complete the driver update.\n");
      run.outcome += "\nA restart is required to complete the driver update.";
    }
    run.exitStatus = restart ? kExitRestartNeeded : kExitDone;
    UpdateData(FALSE);
    return true;
  }
  LPCSTR outcome = nullptr;
  HICON icon = m_hIconError;
  switch (m_platform.error->GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
      outcome = "The path specified for FullInfPath does not exist.";
      break;
    case ERROR_INVALID_FLAGS:
      outcome = "The value specified for InstallFlags is invalid.";
      break;
    case ERROR_NO_SUCH_DEVINST:
      outcome =
          "The value specified for HardwareId does not match any device on the system. That "
          "is, the device is not plugged in.";
      break;
    case 0:
      outcome =
          "The routine found a match for the HardwareId value, but the specified driver was "
          "not better than the current driver and the caller did not specify the "
          "INSTALLFLAG_FORCE flag.";
      icon = m_hIconDone;
      run.exitStatus = kExitDone;
      break;
    default:
      ShowLastError();
      run.outcome = m_strLastReport;
      UpdateData(FALSE);
      return false;
  }
  Report(outcome, outcome);
  run.outcome = outcome;
  run.lineOpen = true;
  m_stcStateIcon.SetIcon(icon);
  UpdateData(FALSE);
  return false;
}

CSetupDlg::Restored CSetupDlg::CopyBackupBack(const PendingUpdate& pending,
                                              const std::string& installedMonitor) {
  LogText("Restore Language Monitor from Backup Directory\n");
  // Only the trusted copy goes back into system32, and only the bytes that
  // the journal recorded, read through a handle that nobody can write,
  // swap or remove meanwhile. Where it can't be opened, the open's own
  // error is reported.
  platform::IFiles& files = *m_platform.files;
  platform::IThreadError& error = *m_platform.error;
  platform::FileHandle copy(files, platform::OpenNameItself(files, pending.backupFile.c_str(),
                                                            GENERIC_READ, FILE_SHARE_READ));
  bool restored = false;
  std::string bytes;
  if (copy.valid() && platform::KindOfOpened(files, copy.get()) != platform::OpenedKind::File) {
    error.SetLastError(ERROR_CANT_ACCESS_FILE);
  } else if (copy.valid() && ReadWholeFile(files, error, copy.get(), bytes)) {
    if (bytes.size() != pending.backupSize ||
        Sha256Hex(bytes.data(), bytes.size()) != pending.backupSha256) {
      error.SetLastError(ERROR_INVALID_DATA);
    } else {
      // A monitor that is back in system32 by now came with the new driver
      // or from someone else, and is newer than the copy: it stays.
      restored = WriteFileInPlace(files, error, installedMonitor, bytes, false);
    }
  }
  if (restored) return Restored::Yes;
  DWORD code = error.GetLastError();
  if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) return Restored::InPlace;
  ShowLastError();
  return Restored::No;
}

LPCSTR CSetupDlg::RestoredText(Restored restored) {
  if (restored == Restored::Yes) return "yes";
  return restored == Restored::InPlace ? "already in place" : "no";
}

void CSetupDlg::ReportRestored(Restored restored) {
  if (restored == Restored::Yes)
    Report("Language Monitor restored", "Language Monitor restored\n");
  else if (restored == Restored::InPlace)
    Report("Language Monitor already in place", "Language Monitor already in place\n");
  else
    Report("Language Monitor not restored", "Language Monitor not restored\n");
}

void CSetupDlg::RestoreMonitor(UpdateRun& run) {
  // The driver update's outcome has no line feed of its own.
  if (run.lineOpen) LogText("\n");
  run.lineOpen = false;
  PendingUpdate copy{run.monitor,  run.installedMonitor, run.trustedCopy,
                     run.copySize, run.copySha256,       UpdateStep::MonitorRemoved};
  Restored restored = CopyBackupBack(copy, run.installedMonitor);

  // The spooler loads its monitors when it starts.
  LogText("Stop Spooler\n");
  if (!ControlSpooler(0)) {
    ShowLastError();
    run.spoolerInDoubt = true;
  } else {
    LogText("Start Spooler\n");
    if (!ControlSpooler(1)) {
      ShowLastError();
      run.spoolerInDoubt = true;
    }
  }
  ReportRestored(restored);
  run.restored = RestoredText(restored);
}

void CSetupDlg::StartStoppedSpooler(UpdateRun& run) {
  // A stop that timed out may still end after the run went on, and a failed
  // start leaves the spooler stopped: then no printer on the machine prints.
  if (SettledSpoolerState() != SERVICE_STOPPED) return;
  if (run.lineOpen) LogText("\n");
  run.lineOpen = false;
  LogText("Start Spooler\n");
  if (ControlSpooler(1)) return;
  ShowLastError();
  m_stcStateIcon.SetIcon(m_hIconError);
  run.exitStatus = kExitFailed;
}
