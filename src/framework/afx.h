// A small stand-in for the dialog framework: strings, the application
// object, modal dialogs from templates, the control wrappers, dialog data
// exchange and message maps. Two backends implement the window side: real
// Win32 windows, and headless in-memory controls for the native tests.
#pragma once
#include <functional>
#include <string>

#include "platform/win_types.h"

// ---------------------------------------------------------------- CString
class CString {
 public:
  CString() = default;
  CString(LPCSTR s) : m_s(s != nullptr ? s : "") {}  // NOLINT: implicit like the original
  CString(LPCSTR s, int n) : m_s(s, static_cast<size_t>(n < 0 ? 0 : n)) {}
  CString(const std::string& s) : m_s(s) {}  // NOLINT

  int GetLength() const { return static_cast<int>(m_s.size()); }
  BOOL IsEmpty() const { return m_s.empty() ? TRUE : FALSE; }
  void Empty() { m_s.clear(); }
  operator LPCSTR() const { return m_s.c_str(); }  // NOLINT
  const std::string& str() const { return m_s; }

  CString& operator=(LPCSTR s) {
    m_s = (s != nullptr ? s : "");
    return *this;
  }
  CString& operator+=(const CString& s) {
    m_s += s.m_s;
    return *this;
  }
  CString& operator+=(LPCSTR s) {
    m_s += (s != nullptr ? s : "");
    return *this;
  }
  friend CString operator+(const CString& a, const CString& b) { return CString(a.m_s + b.m_s); }
  friend CString operator+(const CString& a, LPCSTR b) { return CString(a.m_s + (b ? b : "")); }
  friend CString operator+(LPCSTR a, const CString& b) { return CString((a ? a : "") + b.m_s); }
  friend bool operator==(const CString& a, const CString& b) { return a.m_s == b.m_s; }
  friend bool operator==(const CString& a, LPCSTR b) { return a.m_s == (b ? b : ""); }

  // Leftmost occurrence of sub at start or later, exact bytes; -1 if none.
  int Find(LPCSTR sub, int start = 0) const;
  void Format(LPCSTR fmt, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  // Room for at least minLength characters and a terminator.
  LPSTR GetBuffer(int minLength);
  // Takes the text up to its first zero (newLength -1) or newLength chars.
  void ReleaseBuffer(int newLength = -1);

 private:
  std::string m_s;
};

class CCmdTarget;
class CWnd;
class CDialog;

// ---------------------------------------------------------------- message maps
typedef void (CCmdTarget::*AFX_PMSG)();
typedef HCURSOR (CCmdTarget::*AFX_PMSG_HCURSOR)();

enum AfxSig { AfxSig_end = 0, AfxSig_vv, AfxSig_hv };

struct AFX_MSGMAP_ENTRY {
  UINT nMessage;
  UINT nCode;
  UINT nID;
  int nSig;
  AFX_PMSG pfn;                 // AfxSig_vv handlers
  AFX_PMSG_HCURSOR pfnHcursor;  // AfxSig_hv handlers
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* (*pfnGetBaseMap)();
  const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                       \
 protected:                                         \
  static const AFX_MSGMAP* GetThisMessageMap();     \
  const AFX_MSGMAP* GetMessageMap() const override; \
                                                    \
 private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                      \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
    using ThisClass [[maybe_unused]] = theClass;                                    \
    using TheBaseClass = baseClass;                                                 \
    static const AFX_MSGMAP_ENTRY entries[] = {
#define END_MESSAGE_MAP()                                                               \
  { 0, 0, 0, AfxSig_end, nullptr, nullptr }                                             \
  }                                                                                     \
  ;                                                                                     \
  static const AFX_MSGMAP messageMap = {&TheBaseClass::GetThisMessageMap, &entries[0]}; \
  return &messageMap;                                                                   \
  }

#define ON_COMMAND(id, memberFxn) \
  {WM_COMMAND, 0, static_cast<UINT>(id), AfxSig_vv, static_cast<AFX_PMSG>(memberFxn), nullptr},
#define ON_BN_CLICKED(id, memberFxn)                                                           \
  {WM_COMMAND, BN_CLICKED, static_cast<UINT>(id), AfxSig_vv, static_cast<AFX_PMSG>(memberFxn), \
   nullptr},
#define ON_LBN_SELCHANGE(id, memberFxn)                                                           \
  {WM_COMMAND, LBN_SELCHANGE, static_cast<UINT>(id), AfxSig_vv, static_cast<AFX_PMSG>(memberFxn), \
   nullptr},
#define ON_WM_PAINT() \
  {WM_PAINT, 0, 0, AfxSig_vv, static_cast<AFX_PMSG>(&ThisClass::OnPaint), nullptr},
#define ON_WM_QUERYDRAGICON()    \
  {WM_QUERYDRAGICON, 0,       0, \
   AfxSig_hv,        nullptr, static_cast<AFX_PMSG_HCURSOR>(&ThisClass::OnQueryDragIcon)},

class CCmdTarget {
 public:
  virtual ~CCmdTarget() = default;

 protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const { return GetThisMessageMap(); }
  // Finds the first entry for a message (and, for WM_COMMAND, code and ID),
  // searching this class's map first and then its bases'.
  const AFX_MSGMAP_ENTRY* FindEntry(UINT message, UINT code, UINT id) const;
};

// ---------------------------------------------------------------- windows
#define ID_HELP 0xE146

class CWnd : public CCmdTarget {
 public:
  HWND m_hWnd = nullptr;

  HWND GetSafeHwnd() const { return m_hWnd; }
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  void SetWindowText(LPCSTR text);
  void GetWindowText(CString& text) const;
  BOOL EnableWindow(BOOL bEnable = TRUE);
  BOOL IsWindowEnabled() const;
  void SetFocus();
  BOOL IsIconic() const;
  void GetClientRect(RECT* rect) const;
  HWND GetDlgItemHwnd(int id) const;
  int MessageBox(LPCSTR text, LPCSTR caption = nullptr, UINT type = MB_OK);
  static int GetSystemMetrics(int index);
  // The operator's texts are UTF-8, and are shown as such whatever the
  // process's code page.
  void SetWindowTextUtf8(LPCSTR text);
  int MessageBoxUtf8(LPCSTR text, LPCSTR caption, UINT type = MB_OK);
  // Calls visit for each child window, in Z order.
  void ForEachChild(const std::function<void(CWnd& child)>& visit) const;

  // Routes one window message through the message map. Returns TRUE when a
  // handler took it; *result then holds the handler's answer.
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

 protected:
  // Called by a handler that leaves the message to the default processing.
  void Default() { m_bDefault = true; }

 private:
  bool m_bDefault = false;
};

class CButton : public CWnd {};
class CStatic : public CWnd {
 public:
  HICON SetIcon(HICON icon) {
    return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(icon), 0));
  }
  HICON GetIcon() const { return reinterpret_cast<HICON>(SendMessage(STM_GETICON, 0, 0)); }
};

class CListBox : public CWnd {
 public:
  int AddString(LPCSTR item);
  int AddStringUtf8(LPCSTR item);
  int FindString(int startAfter, LPCSTR prefix) const;
  int SetCurSel(int index);
  int GetCurSel() const;
  int GetCount() const;
  int GetTextLen(int index) const;
  int GetText(int index, LPSTR buffer) const;
  void GetText(int index, CString& text) const;
};

// A paint context for the duration of one WM_PAINT.
class CPaintDC {
 public:
  explicit CPaintDC(CWnd* wnd);
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  ~CPaintDC();
  HDC GetSafeHdc() const { return m_hDC; }
  BOOL DrawIcon(int x, int y, HICON icon);

 private:
  CWnd* m_wnd;
  HDC m_hDC = nullptr;
  alignas(8) unsigned char m_paint[128] = {};  // the backend's paint record
};

// ---------------------------------------------------------------- data exchange
class CDataExchange {
 public:
  CDataExchange(CWnd* dlg, BOOL save) : m_pDlgWnd(dlg), m_bSaveAndValidate(save) {}
  CWnd* m_pDlgWnd;
  BOOL m_bSaveAndValidate;
  bool m_bFailed = false;
};

void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
void DDX_Text(CDataExchange* pDX, int id, CString& value);
void DDX_Text(CDataExchange* pDX, int id, DWORD& value);

// ---------------------------------------------------------------- dialogs
class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr)
      : m_nIDTemplate(templateId), m_pParentWnd(parent) {}
  ~CDialog() override = default;

  UINT GetTemplateId() const { return m_nIDTemplate; }
  // Runs the dialog modally from its template; returns the EndDialog code,
  // or -1 when the dialog could not be created.
  virtual INT_PTR DoModal();
  virtual BOOL OnInitDialog();
  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
  void EndDialog(int result);
  bool HasEnded() const { return m_bEnded; }

  virtual void OnOK();
  virtual void OnCancel();

 protected:
  virtual void DoDataExchange(CDataExchange* pDX);
  // Default processing for WM_PAINT.
  void OnPaint() { Default(); }

 private:
  friend struct DialogBackend;
  UINT m_nIDTemplate;
  CWnd* m_pParentWnd;
  bool m_bEnded = false;
  int m_nResult = 0;
  DECLARE_MESSAGE_MAP()
};

// ---------------------------------------------------------------- application
class CWinApp : public CCmdTarget {
 public:
  explicit CWinApp(LPCSTR appName = nullptr);
  ~CWinApp() override;

  LPSTR m_lpCmdLine = nullptr;
  CWnd* m_pMainWnd = nullptr;
  HINSTANCE m_hInstance = nullptr;

  virtual BOOL InitInstance() { return TRUE; }
  HICON LoadIcon(UINT resourceId) const;
  void OnHelp() {}
  void AfxEnableControlContainer() {}
  BOOL Enable3dControlsStatic() { return TRUE; }
  // Exit code that the process ends with once InitInstance has returned.
  int m_nExitCode = 0;
};

CWinApp* AfxGetApp();

// A text in the process's ANSI code page, in UTF-8.
std::string AfxAnsiToUtf8(const std::string& text);
