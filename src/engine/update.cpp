// The Update procedure: spooler stop, language monitor backup and removal,
// spooler start and the forced Plug and Play driver update.
#include "ui/setup_dlg.h"

// Not built yet: does nothing.
void CSetupDlg::OnUpdate() {}
