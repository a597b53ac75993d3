// Lists the local printers and the driver version recorded for each.
#include "ui/setup_dlg.h"

// Not built yet: lists no printer.
BOOL CSetupDlg::ListInstalledPrinters(CListBox* /*pPrinterList*/) { return FALSE; }

// Not built yet: knows no version.
CString CSetupDlg::GetDriverVersion(LPCSTR /*printerName*/) { return CString(); }
