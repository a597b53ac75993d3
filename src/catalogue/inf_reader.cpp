// Reads the package's INF: driver version, manufacturer, models and the
// language monitor of each model.
#include "ui/setup_dlg.h"

// Not built yet: reads nothing and reports failure.
BOOL CSetupDlg::ReadInf(CString /*infFile*/, CListBox* /*pModelList*/) { return FALSE; }
