// Fuzzes the simulated INF parser with the reader on top: any bytes as the
// package's INF, read by the main dialog. Nothing may crash, leak or leave an
// INF open, and the two lists must stay the same length.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/headless/headless.h"
#include "platform/sim/sim_machine.h"
#include "ui/setup_dlg.h"

namespace {

struct Reader {
  sim::SimMachine machine;
  headless::Session session;
  CWinApp app;
  Reader() {
    machine.MakeDirectory("C:\\pkg");
    machine.SetCurrentDirectory("C:\\pkg");
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Reader* reader = new Reader();
  reader->machine.PutFile("C:\\pkg\\setup.inf",
                          std::string(reinterpret_cast<const char*>(data), size));
  reader->session.messageBoxes.clear();
  reader->session.dialogs.clear();
  CSetupDlg dialog(reader->machine.platform());
  dialog.m_strInfFile = "setup.inf";
  reader->session.user = [](CDialog& d) {
    auto& dlg = static_cast<CSetupDlg&>(d);
    if (dlg.m_lbModels.GetCount() != dlg.m_lbMonitors.GetCount()) __builtin_trap();
  };
  dialog.DoModal();
  if (reader->machine.setup.OpenInfs() != 0 || reader->machine.OpenHandles() != 0 ||
      reader->machine.OpenAllocations() != 0)
    __builtin_trap();
  return 0;
}
