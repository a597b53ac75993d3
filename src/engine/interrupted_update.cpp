// Finishes an Update that an earlier run left: a run killed by a deployment
// tool or in Task Manager, or a machine that lost power or restarted. Every
// run does this first, whatever its command line, so that no printer stays
// without its language monitor and no spooler stays stopped.
#include <cctype>

#include "engine/exit_status.h"
#include "engine/update_journal.h"
#include "ui/setup_dlg.h"

namespace {

// A 32-bit program on 64-bit Windows sees SysWOW64 under the name system32;
// the journal names the real one, which it reaches as Sysnative.
std::string AsSeenByThisProcess(platform::IProcesses& processes, bool x64Program,
                                const std::string& path) {
  BOOL wow64 = FALSE;
  if (x64Program || !processes.IsWow64Process(&wow64) || !wow64) return path;
  const std::string folder = "\\system32\\";
  std::string upper = path;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  size_t at = upper.find("\\SYSTEM32\\");
  if (at == std::string::npos) return path;
  return path.substr(0, at) + "\\Sysnative\\" + path.substr(at + folder.size());
}

}  // namespace

CSetupDlg::Recovery CSetupDlg::FinishInterruptedUpdate() {
  UpdateJournal journal(*m_platform.registry, *m_platform.error);
  std::optional<PendingUpdate> pending = journal.Read();
  if (!pending) return m_recovery = Recovery::NothingPending;

  // Whether this run has a log, and who it reports to, is known only once
  // the printers are read, which needs the spooler: the texts wait.
  BOOL unattended = m_bUnattended;
  m_bUnattended = TRUE;
  m_bHoldLog = true;
  LogText("Finish Interrupted Update\n");

  bool failed = false;
  Restored restored = Restored::InPlace;
  const std::string installed =
      AsSeenByThisProcess(*m_platform.processes, m_platform.x64Program, pending->installedMonitor);
  if (pending->step == UpdateStep::MonitorRemoved &&
      m_platform.processes->GetFileAttributesA(installed.c_str()) == INVALID_FILE_ATTRIBUTES) {
    restored = CopyBackupBack(*pending, installed);
    ReportRestored(restored);
    m_strRecoveryRestored = RestoredText(restored);
    failed = restored == Restored::No;
  }

  // A stopped spooler is started; one that kept running while the monitor
  // came back is started again, so that it loads the monitor.
  DWORD state = SettledSpoolerState();
  if (state == SERVICE_STOPPED || restored == Restored::Yes) {
    if (state != SERVICE_STOPPED) {
      LogText("Stop Spooler\n");
      if (!ControlSpooler(0)) {
        ShowLastError();
        failed = true;
      }
    }
    LogText("Start Spooler\n");
    if (!ControlSpooler(1)) {
      ShowLastError();
      failed = true;
    }
  } else if (state == 0) {
    // The spooler's state can't be read: the next run looks again.
    ShowLastError();
    failed = true;
  }

  failed = !CloseJournal(!failed &&
                         MachineWhole(pending->step == UpdateStep::MonitorRemoved, installed));
  LogText(failed ? "Interrupted Update not finished\n" : "Interrupted Update finished\n");
  if (failed) LogText(kNextRunFinishes);
  m_bHoldLog = false;
  m_bUnattended = unattended;
  return m_recovery = failed ? Recovery::Failed : Recovery::Finished;
}

bool CSetupDlg::EndAfterFailedRecovery() {
  if (m_recovery != Recovery::Failed) return false;
  // The unattended run's log holds the recovery's texts already.
  if (!m_bUnattended) {
    std::string text = "The interrupted Update could not be finished!\n\n" + m_strHeldLog;
    Report(text.c_str(), nullptr);
  }
  m_dwExitCode = kExitFailed;
  return true;
}

bool CSetupDlg::MachineWhole(bool monitorTaken, const std::string& installedMonitor) {
  if (monitorTaken &&
      m_platform.processes->GetFileAttributesA(installedMonitor.c_str()) == INVALID_FILE_ATTRIBUTES)
    return false;
  return SettledSpoolerState() == SERVICE_RUNNING;
}

bool CSetupDlg::CloseJournal(bool whole) {
  if (!whole) return false;
  if (UpdateJournal(*m_platform.registry, *m_platform.error).Remove()) return true;
  ShowLastError();
  return false;
}
