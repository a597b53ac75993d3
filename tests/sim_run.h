// A simulated machine with the headless window system and the application
// object on top: one program run as a test sees it.
#pragma once
#include <ostream>
#include <string>

#include "app/setup_app.h"
#include "framework/headless/headless.h"
#include "log/progress_log.h"
#include "platform/sim/sim_machine.h"
#include "ui/setup_dlg.h"

// Table rows carry a `name`. It names their test cases, and each row type's
// PrintTo prints it, so that listings and messages show the row's name.
inline constexpr auto RowName = [](const auto& info) { return std::string(info.param.name); };

struct SimRun {
  sim::SimMachine machine;
  headless::Session session;
  CSetupApp app;
  std::string argumentText;

  // The program that runs: the 32-bit build, or with x64Program the 64-bit
  // one. The application object takes the machine's facilities as they are
  // when it is made.
  explicit SimRun(bool x64Program = false) : app(ProgramOn(machine, x64Program)) {
    machine.MakeDirectory("C:\\pkg");
    machine.SetCurrentDirectory("C:\\pkg");
    g_hLogFile = nullptr;
  }

  static platform::Platform ProgramOn(sim::SimMachine& m, bool x64Program) {
    m.x64Program = x64Program;
    return m.platform();
  }

  // Runs start-up with this argument text, as the process would.
  void Start(const std::string& arguments) {
    argumentText = arguments;
    app.m_lpCmdLine = argumentText.data();
    app.InitInstance();
  }

  // How often the log was opened for writing.
  size_t LogOpens() const {
    size_t n = 0;
    for (const auto& c : machine.createFileCalls)
      if (c.name == "C:\\pkg\\" QVR_LOG_FILE_NAME && (c.access & GENERIC_WRITE)) ++n;
    return n;
  }

  std::string Log() { return machine.FileContent("C:\\pkg\\QVR_Download.txt").value_or("<none>"); }

  // Runs fn inside an open main dialog that no command line drove.
  template <class Fn>
  void WithDialog(Fn fn) {
    session.user = [&](CDialog& dialog) {
      session.messageBoxes.clear();  // whatever the INF reader said
      fn(static_cast<CSetupDlg&>(dialog));
    };
    CSetupDlg dialog(machine.platform());
    dialog.m_strInfFile = "setup.inf";
    dialog.DoModal();
    session.user = nullptr;
  }
};
