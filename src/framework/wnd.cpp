// The backend-independent part of the framework: message routing, the
// control wrappers, data exchange and the dialog life cycle.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "framework/afx.h"
#include "framework/backend.h"

// ---------------------------------------------------------------- message maps
const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, AfxSig_end, nullptr, nullptr}};
  static const AFX_MSGMAP map = {nullptr, &entries[0]};
  return &map;
}

const AFX_MSGMAP_ENTRY* CCmdTarget::FindEntry(UINT message, UINT code, UINT id) const {
  for (const AFX_MSGMAP* map = GetMessageMap(); map != nullptr;
       map = map->pfnGetBaseMap != nullptr ? map->pfnGetBaseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e) {
      if (e->nMessage != message) continue;
      if (message == WM_COMMAND && (e->nCode != code || e->nID != id)) continue;
      return e;
    }
  }
  return nullptr;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM /*lParam*/, LRESULT* result) {
  const AFX_MSGMAP_ENTRY* entry = message == WM_COMMAND
                                      ? FindEntry(message, HIWORD(wParam), LOWORD(wParam))
                                      : FindEntry(message, 0, 0);
  if (entry == nullptr) return FALSE;
  m_bDefault = false;
  *result = 0;
  if (entry->nSig == AfxSig_hv) {
    *result = reinterpret_cast<LRESULT>((this->*(entry->pfnHcursor))());
  } else {
    (this->*(entry->pfn))();
  }
  return m_bDefault ? FALSE : TRUE;
}

// ---------------------------------------------------------------- CWnd
LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return backend::SendMessage(m_hWnd, message, wParam, lParam);
}

void CWnd::SetWindowText(LPCSTR text) {
  backend::SendMessage(m_hWnd, WM_SETTEXT, 0,
                       reinterpret_cast<LPARAM>(text != nullptr ? text : ""));
}

void CWnd::GetWindowText(CString& text) const {
  int len = static_cast<int>(backend::SendMessage(m_hWnd, WM_GETTEXTLENGTH, 0, 0));
  if (len <= 0) {
    text.Empty();
    return;
  }
  LPSTR buffer = text.GetBuffer(len + 1);
  backend::SendMessage(m_hWnd, WM_GETTEXT, static_cast<WPARAM>(len + 1),
                       reinterpret_cast<LPARAM>(buffer));
  text.ReleaseBuffer();
}

BOOL CWnd::EnableWindow(BOOL bEnable) { return backend::EnableWindow(m_hWnd, bEnable); }
BOOL CWnd::IsWindowEnabled() const { return backend::IsWindowEnabled(m_hWnd); }
void CWnd::SetFocus() { backend::SetFocus(m_hWnd); }
BOOL CWnd::IsIconic() const { return backend::IsIconic(m_hWnd); }
void CWnd::GetClientRect(RECT* rect) const { backend::GetClientRect(m_hWnd, rect); }
HWND CWnd::GetDlgItemHwnd(int id) const { return backend::GetDlgItem(m_hWnd, id); }

int CWnd::MessageBox(LPCSTR text, LPCSTR caption, UINT type) {
  return backend::MessageBox(m_hWnd, text, caption, type);
}

void CWnd::SetWindowTextUtf8(LPCSTR text) {
  backend::SetWindowTextUtf8(m_hWnd, text != nullptr ? text : "");
}

int CWnd::MessageBoxUtf8(LPCSTR text, LPCSTR caption, UINT type) {
  return backend::MessageBoxUtf8(m_hWnd, text, caption, type);
}

void CWnd::ForEachChild(const std::function<void(CWnd& child)>& visit) const {
  for (HWND hwnd : backend::ChildWindows(m_hWnd)) {
    CWnd child;
    child.m_hWnd = hwnd;
    visit(child);
  }
}

std::string AfxAnsiToUtf8(const std::string& text) { return backend::AnsiToUtf8(text); }

// ---------------------------------------------------------------- CListBox
int CListBox::AddString(LPCSTR item) {
  return static_cast<int>(SendMessage(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item)));
}
int CListBox::AddStringUtf8(LPCSTR item) { return backend::AddStringUtf8(m_hWnd, item); }
int CListBox::FindString(int startAfter, LPCSTR prefix) const {
  return static_cast<int>(SendMessage(LB_FINDSTRING, static_cast<WPARAM>(startAfter),
                                      reinterpret_cast<LPARAM>(prefix)));
}
int CListBox::SetCurSel(int index) {
  return static_cast<int>(SendMessage(LB_SETCURSEL, static_cast<WPARAM>(index), 0));
}
int CListBox::GetCurSel() const { return static_cast<int>(SendMessage(LB_GETCURSEL, 0, 0)); }
int CListBox::GetCount() const { return static_cast<int>(SendMessage(LB_GETCOUNT, 0, 0)); }
int CListBox::GetTextLen(int index) const {
  return static_cast<int>(SendMessage(LB_GETTEXTLEN, static_cast<WPARAM>(index), 0));
}
int CListBox::GetText(int index, LPSTR buffer) const {
  return static_cast<int>(
      SendMessage(LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer)));
}
void CListBox::GetText(int index, CString& text) const {
  int len = GetTextLen(index);
  if (len == LB_ERR) {
    text.Empty();
    return;
  }
  LPSTR buffer = text.GetBuffer(len + 1);
  if (GetText(index, buffer) == LB_ERR) buffer[0] = '\0';
  text.ReleaseBuffer();
}

// ---------------------------------------------------------------- painting
CPaintDC::CPaintDC(CWnd* wnd) : m_wnd(wnd) {
  static_assert(sizeof(m_paint) >= 72, "room for the backend's paint record");
  m_hDC = backend::BeginPaint(wnd->m_hWnd, m_paint);
}
CPaintDC::~CPaintDC() { backend::EndPaint(m_wnd->m_hWnd, m_paint); }
BOOL CPaintDC::DrawIcon(int x, int y, HICON icon) { return backend::DrawIcon(m_hDC, x, y, icon); }
int CWnd::GetSystemMetrics(int index) { return backend::GetSystemMetrics(index); }

// ---------------------------------------------------------------- data exchange
void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  if (control.m_hWnd == nullptr) control.m_hWnd = pDX->m_pDlgWnd->GetDlgItemHwnd(id);
}

void DDX_Text(CDataExchange* pDX, int id, CString& value) {
  CWnd item;
  item.m_hWnd = pDX->m_pDlgWnd->GetDlgItemHwnd(id);
  if (pDX->m_bSaveAndValidate)
    item.GetWindowText(value);
  else
    item.SetWindowText(value);
}

void DDX_Text(CDataExchange* pDX, int id, DWORD& value) {
  CWnd item;
  item.m_hWnd = pDX->m_pDlgWnd->GetDlgItemHwnd(id);
  if (!pDX->m_bSaveAndValidate) {
    CString text;
    text.Format("%u", static_cast<unsigned>(value));
    item.SetWindowText(text);
    return;
  }
  CString text;
  item.GetWindowText(text);
  const char* p = text;
  while (*p == ' ') ++p;
  char* end = nullptr;
  unsigned long long parsed = std::strtoull(p, &end, 10);
  while (end != nullptr && *end == ' ') ++end;
  if (*p < '0' || *p > '9' || end == nullptr || *end != '\0' || parsed > 0xFFFFFFFFull) {
    pDX->m_pDlgWnd->MessageBox("Please enter a positive integer.", nullptr, MB_OK);
    pDX->m_bFailed = true;
    return;
  }
  value = static_cast<DWORD>(parsed);
}

// ---------------------------------------------------------------- CDialog
BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

INT_PTR CDialog::DoModal() {
  m_bEnded = false;
  m_nResult = 0;
  HWND parent = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
  INT_PTR result = backend::RunModal(*this, parent);
  m_hWnd = nullptr;
  return result;
}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  DoDataExchange(&dx);
  return dx.m_bFailed ? FALSE : TRUE;
}

void CDialog::DoDataExchange(CDataExchange* /*pDX*/) {}

void CDialog::EndDialog(int result) {
  m_bEnded = true;
  m_nResult = result;
  backend::EndDialog(m_hWnd, result);
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE)) return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

// ---------------------------------------------------------------- CWinApp
namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp(LPCSTR /*appName*/) { g_app = this; }
CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}
HICON CWinApp::LoadIcon(UINT resourceId) const {
  return backend::LoadIcon(m_hInstance, resourceId);
}
CWinApp* AfxGetApp() { return g_app; }
