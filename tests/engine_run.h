// A machine with a package, an installed monitor, the spooler and the
// printer's device, and the main dialog set up for one model: what the
// procedures run against.
#pragma once
#include <string>

#include "engine/sha256.h"
#include "engine/update_journal.h"
#include "sim_run.h"

struct EngineRun : SimRun {
  DWORD exitCode = 0;
  std::string status;
  HICON stateIcon = nullptr;
  HICON iconBefore = nullptr;

  EngineRun() {
    machine.PutFile("C:\\pkg\\setup.inf", "[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\n");
    machine.PutFile("C:\\pkg\\qvrmon.dll", "monitor v2");
    machine.PutFile("C:\\pkg\\KillLogoTestingWarnings.exe", "tool");
    machine.PutFile("C:\\windows\\system32\\qvrmon.dll", "monitor v1");
    machine.SetHeldBySpooler("C:\\windows\\system32\\qvrmon.dll");
    machine.devices.AddDevice("Kalbrix_ABQVR34170B7C");
  }

  // Runs one procedure in the dialog, with the log open when unattended.
  template <class Fn>
  void Run(const char* model, const char* monitor, BOOL unattended, BOOL silent, Fn procedure) {
    WithDialog([&](CSetupDlg& dlg) {
      dlg.m_lbModels.AddString(model);
      dlg.m_lbMonitors.AddString(monitor);
      dlg.m_lbModels.SetCurSel(0);
      dlg.m_bUnattended = unattended;
      dlg.m_bSilent = silent;
      if (unattended) dlg.CreateLogFile();
      machine.SetLastError(0);
      iconBefore = dlg.m_stcStateIcon.GetIcon();
      procedure(dlg);
      dlg.CloseLogFile();
      exitCode = dlg.m_dwExitCode;
      status = dlg.m_strStatus.str();
      stateIcon = dlg.m_stcStateIcon.GetIcon();
    });
  }
  void Update(const char* model = "QVR 3417", const char* monitor = "qvrmon.dll",
              BOOL unattended = TRUE, BOOL silent = TRUE) {
    Run(model, monitor, unattended, silent, [](CSetupDlg& dlg) { dlg.OnUpdate(); });
  }
  void Install(BOOL unattended = TRUE) {
    Run("QVR 9", "", unattended, FALSE, [](CSetupDlg& dlg) { dlg.OnInstall(); });
  }
  UINT Icon() const { return headless::IconResource(stateIcon); }
  bool IconUnchanged() const { return stateIcon == iconBefore; }
};

inline constexpr char kTrustedCopy[] = "C:\\ProgramData\\QVR\\Driver Setup\\Backup\\qvrmon.dll";

// The journal's record of a trusted copy of "monitor v1", and the copy
// itself with content, unless that is null.
inline void LeaveTrustedCopy(sim::SimMachine& machine, const char* content) {
  machine.registry.SetString(QVR_JOURNAL_KEY, "Backup", kTrustedCopy);
  machine.registry.SetValue(QVR_JOURNAL_KEY, "Backup Size", REG_DWORD, {10, 0, 0, 0});
  machine.registry.SetString(QVR_JOURNAL_KEY, "Backup SHA-256", Sha256Hex("monitor v1", 10));
  if (content != nullptr) machine.PutFile(kTrustedCopy, content);
}

// The command line of a script's Update of the QVR 3417.
inline constexpr char kScripted[] = "setup.inf \"QVR 3417\" SILENT";

// A machine where a script's Update of the QVR 3417 can run.
struct ScriptedRun : EngineRun {
  ScriptedRun() {
    machine.PutFile("C:\\pkg\\setup.inf",
                    "[Version]\nSignature=\"$Windows NT$\"\nClass=Printer\n[Manufacturer]\nQVR\n"
                    "[QVR]\nm = S, H, \"QVR 3417\"\n[S]\nDataSection=D\n"
                    "[D]\nLanguageMonitor=\"QVR Monitor,qvrmon.dll\"\n");
    machine.printers.AddPrinter("QVR 3417 Front");
  }
  int ExitCode() const { return app.m_nExitCode; }
};

// The log lines of a spooler stop or start whose wait saw `pending` pending
// states before the wanted one (the simulated spooler's default is none).
inline std::string StopLines(int pending = 0) {
  std::string s = "SERVICE_OPEN for stop\nSERVICE_STOP\nSERVICE_CLOSE\nSERVICE_OPEN for query\n";
  for (int i = 0; i <= pending; ++i) s += "SPOOLER SERVICE not yet STOPPED\n";
  return s + "SPOOLER SERVICE STOPPED\nSERVICE_CLOSE handle\n";
}
inline std::string StartLines(int pending = 0) {
  std::string s = "SERVICE_OPEN for start\nSERVICE_START\nSERVICE_CLOSE\nSERVICE_OPEN for query\n";
  for (int i = 0; i <= pending; ++i) s += "SERVICE not yet STARTED\n";
  return s + "SPOOLER SERVICE STARTED\nSERVICE_CLOSE\nSERVICE_CLOSE handle\n";
}
inline const std::string kUpdateHead =
    "C:\\pkg\n"
    "C:\\pkg\\setup.inf\n"
    "Kalbrix_ABQVR34170B7C\n"
    "qvrmon.dll\n"
    "C:\\pkg\\qvrmon.dll\n"
    "C:\\pkg\\bak\n"
    "C:\\windows\\system32\\qvrmon.dll\n"
    "Stop Spooler\n";
