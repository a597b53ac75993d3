// The Install procedure: copies the INF into the system's INF store, so that
// Plug and Play or the Add Printer wizard can install from the package.
#include <string>

#include "ui/setup_dlg.h"

void CSetupDlg::OnInstall() {
  if (m_bUnattended) m_dwExitCode = 1;  // until the copy succeeds

  char directory[MAX_PATH] = {};
  DWORD length = m_platform.files->GetCurrentDirectoryA(MAX_PATH, directory);
  if (length == 0 || length >= MAX_PATH) {
    Report("Can't get current directory!", "Can't get current directory!");
    m_stcStateIcon.SetIcon(m_hIconError);
    return;
  }
  const std::string media = directory;
  const std::string source = media + "\\" + m_strInfFile.str();

  m_strStatus = "Copying the INF file.";
  UpdateData(FALSE);

  char destination[MAX_PATH] = {};
  DWORD required = 0;
  LPSTR component = nullptr;
  if (m_platform.devices->SetupCopyOEMInfA(source.c_str(), media.c_str(), SPOST_PATH,
                                           SP_COPY_SOURCE_SIS_MASTER, destination, MAX_PATH,
                                           &required, &component)) {
    m_strResult.Format("%s %s",
                       "The INF file was copied and the driver files are  stored in the "
                       "following directory:",
                       directory);
    m_strStatus = "Operation completed.";
    m_stcStateIcon.SetIcon(m_hIconDone);
    if (m_bUnattended) m_dwExitCode = 0;
  } else {
    ShowLastError();
  }

  m_btnInstall.EnableWindow(FALSE);
  m_btnUpdate.EnableWindow(FALSE);
  UpdateData(FALSE);
}
