// The Update procedure: spooler stop, language monitor backup and removal,
// spooler start, the side tool, and the forced Plug and Play driver update.
#include <cstring>
#include <string>
#include <vector>

#include "engine/plain_file_name.h"
#include "platform/handles.h"
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

void CSetupDlg::OnUpdate() {
  platform::IFiles& files = *m_platform.files;
  platform::IThreadError& error = *m_platform.error;
  if (m_bUnattended) m_dwExitCode = 1;  // until the driver update says otherwise

  UpdateData(TRUE);

  // A 32-bit process on 64-bit Windows sees a redirected system32 and cannot
  // update a Plug and Play driver: refuse before touching anything.
  BOOL wow64 = FALSE;
  if (m_platform.processes->IsWow64Process(&wow64) && wow64) {
    Report("The 32-bit setup can't update drivers on 64-bit Windows!",
           "The 32-bit setup can't update drivers on 64-bit Windows!\n");
    m_stcStateIcon.SetIcon(m_hIconError);
    m_btnInstall.EnableWindow(FALSE);
    m_btnUpdate.EnableWindow(FALSE);
    UpdateData(FALSE);
    return;
  }

  [&] {
    char directoryBuffer[MAX_PATH] = {};
    DWORD length = files.GetCurrentDirectoryA(MAX_PATH, directoryBuffer);
    if (length == 0 || length >= MAX_PATH) {
      Report("Can't get current directory!", "Can't get current directory!\n");
      return;
    }
    const std::string directory = directoryBuffer;
    LogPath(directory.c_str());

    const std::string infPath = directory + "\\" + m_strInfFile.str();
    LogPath(infPath.c_str());

    CString model;
    m_lbModels.GetText(m_lbModels.GetCurSel(), model);

    DWORD idLength = 0;
    GetHardwareId(model, nullptr, &idLength);
    if (idLength == 0) {
      Report("Can't get HW ID resource text!", "Can't get HW ID resource text!\n");
      return;
    }
    std::vector<char> hardwareId(idLength * 2, '\0');
    int filled = GetHardwareId(model, hardwareId.data(), &idLength);
    LogPath(hardwareId.data());
    if (filled == 0) {
      Report("Can't get HW ID resource text!", "Can't get HW ID resource text!\n");
      return;
    }

    m_strStatus = "Updating the driver files.";
    UpdateData(FALSE);

    DWORD monitorLength = 0;
    GetMonitorName(nullptr, &monitorLength);
    bool haveMonitor = monitorLength != 0;
    std::vector<char> monitor(monitorLength + 1, '\0');
    if (haveMonitor) {
      haveMonitor = GetMonitorName(monitor.data(), &monitorLength) != 0;
      LogPath(monitor.data());
    }
    if (!haveMonitor) {
      Report("Can't get Monitor resource text!", "Can't get Monitor resource text!\n");
      m_stcStateIcon.SetIcon(m_hIconError);
      return;
    }

    LogPath((directory + "\\" + monitor.data()).c_str());
    const std::string backupDirectory = directory + "\\bak";
    LogPath(backupDirectory.c_str());

    char windows[MAX_PATH] = {};
    UINT windowsLength = files.GetWindowsDirectoryA(windows, MAX_PATH);
    if (windowsLength == 0 || windowsLength >= MAX_PATH) {
      Report("Can't get pSystemDirectory name!", "Can't get pSystemDirectory name!\n");
      return;
    }
    std::string installedMonitor = windows;
    if (std::strlen(monitor.data()) + windowsLength + 11 <= MAX_PATH) {
      installedMonitor += "\\system32\\";
      installedMonitor += monitor.data();
      LogPath(installedMonitor.c_str());
    }

    LogText("Stop Spooler\n");
    if (!ControlSpooler(0)) {
      ShowLastError();
      m_stcStateIcon.SetIcon(m_hIconError);
    } else {
      bool backedUp = BackUpMonitor(backupDirectory, installedMonitor, monitor.data());

      // Without a backup the installed monitor stays where it is.
      if (backedUp) {
        m_platform.clock->Sleep(3000);
        LogText("Delete Language Monitor\n");
        if (!files.DeleteFileA(installedMonitor.c_str())) {
          ShowLastError();
          m_stcStateIcon.SetIcon(m_hIconError);
        }
      } else {
        LogText("Language Monitor not deleted: no backup\n");
      }

      LogText("Start Spooler\n");
      if (!ControlSpooler(1)) {
        ShowLastError();
        m_stcStateIcon.SetIcon(m_hIconError);
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

    if (m_bSilent) {
      const std::string tool = directory + "\\KillLogoTestingWarnings.exe";
      const char* const argv[] = {"//NOLOGO", nullptr};
      std::intptr_t started = m_platform.processes->SpawnV(1, tool.c_str(), argv);
      if (started == -1) {
        CString message;
        message.Format("Error runing script: errno = %d\n", m_platform.processes->GetErrno());
        WriteLog(message);
        m_platform.debug->OutputDebugStringA(message);
      } else {
        // The tool runs on by itself; its handle is not needed.
        platform::ProcessHandle process(*m_platform.processes, reinterpret_cast<HANDLE>(started));
      }
    }

    LogText("Update Driver\n");
    // An unattended run takes the restart question itself, so that the
    // platform never waits on a prompt that nobody answers.
    BOOL restart = FALSE;
    if (m_platform.devices->UpdateDriverForPlugAndPlayDevicesA(
            m_hWnd, hardwareId.data(), infPath.c_str(), INSTALLFLAG_FORCE,
            m_bUnattended ? &restart : nullptr)) {
      m_strStatus = "Driver update completed.";
      m_stcStateIcon.SetIcon(m_hIconDone);
      LogText(m_strStatus);
      if (restart) LogText("\nA restart is required to complete the driver update.\n");
      if (m_bUnattended) m_dwExitCode = restart ? ERROR_SUCCESS_REBOOT_REQUIRED : 0;
      UpdateData(FALSE);
      return;
    }
    LPCSTR outcome = nullptr;
    HICON icon = m_hIconError;
    switch (error.GetLastError()) {
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
        if (m_bUnattended) m_dwExitCode = 0;
        break;
      default:
        ShowLastError();
        UpdateData(FALSE);
        return;
    }
    Report(outcome, outcome);
    m_stcStateIcon.SetIcon(icon);
    UpdateData(FALSE);
  }();

  m_btnInstall.EnableWindow(FALSE);
  m_btnUpdate.EnableWindow(FALSE);
  UpdateData(FALSE);
}
