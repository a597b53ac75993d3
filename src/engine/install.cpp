// The Install procedure: copies the INF into the system's INF store, so that
// Plug and Play or the Add Printer wizard can install from the package.
#include <string>

#include "engine/exit_status.h"
#include "ui/setup_dlg.h"

void CSetupDlg::OnInstall() {
  bool copied = CopyInfToStore();
  DWORD status = copied ? kExitDone : kExitFailed;
  if (m_bUnattended) m_dwExitCode = status;
  LeaveRunEvent(
      FactsOfRun("Install", status, copied ? m_strStatus.str() : m_strLastReport, "not needed"));
}

bool CSetupDlg::CopyInfToStore() {
  // ARM64 Windows installs only drivers built for it; an INF without them
  // would lie in the store unused.
  if (m_machine.Arm64() && !m_bArm64Models) {
    Report("The package has no drivers for ARM64 Windows!",
           "The package has no drivers for ARM64 Windows!\n");
    m_stcStateIcon.SetIcon(m_hIconError);
    return false;
  }
  if (!m_paths.HasFolder()) {
    Report("Can't get current directory!", "Can't get current directory!");
    m_stcStateIcon.SetIcon(m_hIconError);
    return false;
  }

  m_strStatus = "Copying the INF file.";
  UpdateData(FALSE);

  char destination[kPathBytes] = {};
  DWORD required = 0;
  LPSTR component = nullptr;
  bool copied =
      m_platform.devices->SetupCopyOEMInfA(m_paths.inf.c_str(), m_paths.folder.c_str(), SPOST_PATH,
                                           SP_COPY_SOURCE_SIS_MASTER, destination, kPathBytes,
                                           &required, &component) != FALSE;
  if (copied) {
    m_strResult.Format("%s %s",
                       "The INF file was copied and the driver files are  stored in the "
                       "following directory:",
                       m_paths.folder.c_str());
    m_strStatus = "Operation completed.";
    m_stcStateIcon.SetIcon(m_hIconDone);
  } else {
    ShowLastError();
  }

  m_btnInstall.EnableWindow(FALSE);
  m_btnUpdate.EnableWindow(FALSE);
  UpdateData(FALSE);
  return copied;
}
