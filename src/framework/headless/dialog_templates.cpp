// The headless copies of the dialog templates in res/qvrsetup.rc. Styles are
// the complete window styles, with the WS_CHILD | WS_VISIBLE that windres
// adds to every CONTROL statement.
#include "framework/headless/dialog_templates.h"

#include "resource.h"

namespace headless {
namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

// List boxes never sort: the paired lists are matched by index.
constexpr DWORD kModelList =
    kChild | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kInfoList =
    kChild | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_NOSEL | WS_BORDER | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kPrinterList = kInfoList | WS_HSCROLL;
constexpr DWORD kReadOnlyEdit = kChild | ES_READONLY | ES_AUTOHSCROLL | WS_TABSTOP;

std::vector<DialogTemplate> BuildTemplates() {
  DialogTemplate setup{
      IDD_QVRSETUP_DIALOG,
      "QVR Driver Setup",
      326,
      222,
      DS_SHELLFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
      WS_EX_APPWINDOW,
      "MS Shell Dlg",
      8,
      {
          {IDOK, "Button", "End", 266, 184, 50, 14, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
          {IDC_INSTALL, "Button", "Install", 266, 68, 50, 14,
           kChild | BS_DEFPUSHBUTTON | WS_TABSTOP | WS_DISABLED, 0},
          {IDC_UPDATE, "Button", "Update", 266, 86, 50, 14,
           kChild | BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED, 0},
          {IDC_GRP_INSTALLATION, "Button", "Driver Installation", 7, 7, 312, 114,
           kChild | BS_GROUPBOX, 0},
          {IDC_STATIC, "Button", "Currently Installed Printer", 7, 126, 234, 58,
           kChild | BS_GROUPBOX, 0},
          {IDC_MODELS, "ListBox", "", 14, 58, 115, 52, kModelList, 0},
          {IDC_INSTALLED, "ListBox", "", 14, 139, 114, 40, kPrinterList, 0},
          {IDC_DRIVERVER, "Edit", "", 15, 17, 198, 12, kReadOnlyEdit | ES_LEFT, 0},
          {IDC_DRIVER_VERSIONS, "ListBox", "", 137, 139, 100, 40, kPrinterList, 0},
          {IDC_STATUS, "Static", "Static", 215, 17, 98, 27, kChild | SS_CENTER | WS_GROUP, 0},
          {IDC_RESULT, "Static", "Static", 7, 190, 233, 25, kChild | SS_LEFT | WS_GROUP, 0},
          {IDC_STATE_ICON, "Static", "", 239, 53, 21, 20, kChild | SS_ICON, IDI_STATE_SELECT},
          {IDC_STATIC, "Button", "Printer to install", 7, 45, 232, 73, kChild | BS_GROUPBOX, 0},
          {IDC_MONITORS, "ListBox", "", 137, 58, 94, 52, kInfoList, 0},
      },
  };

  DialogTemplate error{
      IDD_ERROR,
      "Error",
      240,
      66,
      DS_SHELLFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU,
      0,
      "MS Shell Dlg",
      8,
      {
          {IDOK, "Button", "OK", 95, 45, 50, 14, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
          {IDC_ERROR_MESSAGE, "Edit", "", 7, 7, 226, 15, kReadOnlyEdit | ES_CENTER, 0},
          {IDC_ERROR_CODE, "Edit", "", 70, 25, 65, 12, kReadOnlyEdit | ES_LEFT, 0},
          {IDC_STATIC, "Static", "Error Code:", 7, 25, 60, 13, kChild | SS_LEFT | WS_GROUP, 0},
      },
  };

  return {setup, error};
}

}  // namespace

const std::vector<DialogTemplate>& DialogTemplates() {
  static const std::vector<DialogTemplate> templates = BuildTemplates();
  return templates;
}

const DialogTemplate* FindDialogTemplate(UINT id) {
  for (const DialogTemplate& dialog : DialogTemplates()) {
    if (dialog.id == id) return &dialog;
  }
  return nullptr;
}

}  // namespace headless
