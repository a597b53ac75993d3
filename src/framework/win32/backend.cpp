// The framework on real Win32 windows: dialogs from the resource templates,
// controls driven by their own window messages.
#include "framework/backend.h"

#include "platform/win32/windows_sdk.h"

namespace {

std::wstring Wide(const std::string& text, UINT codePage) {
  int length =
      ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
  if (length > 0)
    ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                          length);
  return wide;
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<CDialog*>(lParam);
    SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    dialog->m_hWnd = hwnd;
    return dialog->OnInitDialog();
  }
  auto* dialog = reinterpret_cast<CDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
  if (dialog == nullptr) return FALSE;
  LRESULT result = 0;
  if (!dialog->OnWndMsg(message, wParam, lParam, &result)) return FALSE;
  if (message == WM_QUERYDRAGICON) return static_cast<INT_PTR>(result);
  SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
  return TRUE;
}

}  // namespace

namespace backend {

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return ::SendMessageA(hwnd, message, wParam, lParam);
}
BOOL EnableWindow(HWND hwnd, BOOL enable) { return ::EnableWindow(hwnd, enable); }
BOOL IsWindowEnabled(HWND hwnd) { return ::IsWindowEnabled(hwnd); }
void SetFocus(HWND hwnd) { ::SetFocus(hwnd); }
BOOL IsIconic(HWND hwnd) { return ::IsIconic(hwnd); }
void GetClientRect(HWND hwnd, RECT* rect) { ::GetClientRect(hwnd, rect); }
HWND GetDlgItem(HWND dialog, int id) { return ::GetDlgItem(dialog, id); }
int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return ::MessageBoxA(owner, text, caption, type);
}

void SetWindowTextUtf8(HWND hwnd, LPCSTR text) {
  ::SetWindowTextW(hwnd, Wide(text, CP_UTF8).c_str());
}
int MessageBoxUtf8(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  std::wstring wideCaption = caption != nullptr ? Wide(caption, CP_UTF8) : std::wstring();
  return ::MessageBoxW(owner, Wide(text, CP_UTF8).c_str(),
                       caption != nullptr ? wideCaption.c_str() : nullptr, type);
}
int AddStringUtf8(HWND listBox, LPCSTR item) {
  return static_cast<int>(::SendMessageW(listBox, LB_ADDSTRING, 0,
                                         reinterpret_cast<LPARAM>(Wide(item, CP_UTF8).c_str())));
}
std::string AnsiToUtf8(const std::string& text) {
  std::wstring wide = Wide(text, CP_ACP);
  int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                     nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length > 0 ? length : 0), '\0');
  if (length > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(),
                          length, nullptr, nullptr);
  return utf8;
}
std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT))
    children.push_back(child);
  return children;
}

INT_PTR RunModal(CDialog& dialog, HWND parent) {
  return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialog.GetTemplateId()),
                           parent, DialogProc, reinterpret_cast<LPARAM>(&dialog));
}
void EndDialog(HWND dialog, int result) { ::EndDialog(dialog, result); }

HICON LoadIcon(HINSTANCE instance, UINT resourceId) {
  return ::LoadIconA(instance != nullptr ? instance : ::GetModuleHandleA(nullptr),
                     MAKEINTRESOURCEA(resourceId));
}
HDC BeginPaint(HWND hwnd, void* paintRecord) {
  return ::BeginPaint(hwnd, static_cast<PAINTSTRUCT*>(paintRecord));
}
void EndPaint(HWND hwnd, void* paintRecord) {
  ::EndPaint(hwnd, static_cast<PAINTSTRUCT*>(paintRecord));
}
BOOL DrawIcon(HDC hdc, int x, int y, HICON icon) { return ::DrawIcon(hdc, x, y, icon); }
int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

}  // namespace backend
