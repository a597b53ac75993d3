// The Install procedure: copies the INF into the system's INF store.
#include "ui/setup_dlg.h"

// Not built yet: does nothing.
void CSetupDlg::OnInstall() {}
