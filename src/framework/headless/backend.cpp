// The framework on in-memory windows. Controls follow the rules of the real
// ones as far as the program depends on them.
#include "framework/backend.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

#include "framework/headless/dialog_templates.h"
#include "framework/headless/headless.h"

namespace headless {
namespace {

Session* g_session = nullptr;

bool IsListBox(const Window& w) { return w.className == "ListBox"; }

bool StartsWithNoCase(const std::string& item, const char* prefix) {
  size_t n = std::strlen(prefix);
  if (item.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(item[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

LRESULT CopyOut(const std::string& text, LPSTR buffer, size_t room) {
  if (room == 0) return 0;
  size_t n = std::min(text.size(), room - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<LRESULT>(n);
}

LRESULT ListBoxMessage(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
  int count = static_cast<int>(w.items.size());
  int index = static_cast<int>(static_cast<std::intptr_t>(wParam));
  switch (message) {
    case LB_ADDSTRING: {
      std::string item = reinterpret_cast<LPCSTR>(lParam);
      if (w.style & LBS_SORT) {
        auto at = std::find_if(w.items.begin(), w.items.end(), [&](const std::string& s) {
          return strcasecmp(s.c_str(), item.c_str()) > 0;
        });
        auto pos = at - w.items.begin();
        w.items.insert(at, item);
        return pos;
      }
      w.items.push_back(item);
      return count;
    }
    case LB_RESETCONTENT:
      w.items.clear();
      w.curSel = -1;
      return 0;
    case LB_GETCOUNT:
      return count;
    case LB_GETTEXTLEN:
      if (index < 0 || index >= count) return LB_ERR;
      return static_cast<LRESULT>(w.items[static_cast<size_t>(index)].size());
    case LB_GETTEXT: {
      if (index < 0 || index >= count) return LB_ERR;
      const std::string& item = w.items[static_cast<size_t>(index)];
      std::memcpy(reinterpret_cast<LPSTR>(lParam), item.c_str(), item.size() + 1);
      return static_cast<LRESULT>(item.size());
    }
    case LB_SETCURSEL:
      // -1 clears the selection and still answers LB_ERR, as the real control does.
      if (index == -1) {
        w.curSel = -1;
        return LB_ERR;
      }
      if (index < 0 || index >= count || (w.style & LBS_NOSEL)) return LB_ERR;
      w.curSel = index;
      return index;
    case LB_GETCURSEL:
      return w.curSel >= 0 && w.curSel < count ? w.curSel : LB_ERR;
    case LB_FINDSTRING: {
      // Prefix match without regard to case, starting after the given item
      // and wrapping round to end with it.
      LPCSTR prefix = reinterpret_cast<LPCSTR>(lParam);
      if (prefix == nullptr || count == 0) return LB_ERR;
      int start = (index < -1 || index >= count) ? -1 : index;
      for (int k = 1; k <= count; ++k) {
        int i = (start + k) % count;
        if (StartsWithNoCase(w.items[static_cast<size_t>(i)], prefix)) return i;
      }
      return LB_ERR;
    }
    default:
      return 0;
  }
}

}  // namespace

Window* Window::Child(int childId) {
  for (auto& c : children)
    if (c->id == childId) return c.get();
  return nullptr;
}

std::string DialogRecord::Text(int id) const {
  for (const auto& [controlId, text] : texts)
    if (controlId == id) return text;
  throw std::out_of_range("no control " + std::to_string(id));
}

Session::Session() { g_session = this; }
Session::~Session() {
  if (g_session == this) g_session = nullptr;
}
Session& Session::Current() {
  if (g_session == nullptr) throw std::logic_error("no headless session");
  return *g_session;
}

Window* FromHwnd(HWND hwnd) { return reinterpret_cast<Window*>(hwnd); }

Window& LastControl(int id) {
  Session& s = Session::Current();
  Window* c = s.lastDialog ? s.lastDialog->Child(id) : nullptr;
  if (c == nullptr) throw std::out_of_range("no control " + std::to_string(id));
  return *c;
}

Window& Control(CDialog& dialog, int id) {
  if (dialog.m_hWnd == nullptr) return LastControl(id);
  Window* c = FromHwnd(dialog.m_hWnd)->Child(id);
  if (c == nullptr) throw std::out_of_range("no control " + std::to_string(id));
  return *c;
}

void Click(CDialog& dialog, int id) {
  Window& button = Control(dialog, id);
  if (!button.enabled || dialog.HasEnded()) return;
  LRESULT result = 0;
  dialog.OnWndMsg(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button.hwnd()),
                  &result);
}

void Select(CDialog& dialog, int id, int index) {
  Window& list = Control(dialog, id);
  if (!list.enabled || dialog.HasEnded() || (list.style & LBS_NOSEL)) return;
  if (index < 0 || index >= static_cast<int>(list.items.size())) return;
  list.curSel = index;
  if (!(list.style & LBS_NOTIFY)) return;
  LRESULT result = 0;
  dialog.OnWndMsg(WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list.hwnd()),
                  &result);
}

HICON IconHandle(UINT resourceId) {
  return reinterpret_cast<HICON>(static_cast<std::uintptr_t>(0x10000u + resourceId));
}
UINT IconResource(HICON icon) {
  auto v = reinterpret_cast<std::uintptr_t>(icon);
  return v > 0x10000u ? static_cast<UINT>(v - 0x10000u) : 0;
}

}  // namespace headless

using headless::FromHwnd;
using headless::Session;
using headless::Window;

namespace backend {

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = FromHwnd(hwnd);
  if (w == nullptr) return 0;
  switch (message) {
    case WM_SETTEXT:
      w->text = reinterpret_cast<LPCSTR>(lParam);
      return TRUE;
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_GETTEXT:
      return headless::CopyOut(w->text, reinterpret_cast<LPSTR>(lParam), wParam);
    case WM_SETICON: {
      HICON& slot = wParam == ICON_BIG ? w->bigIcon : w->smallIcon;
      HICON previous = slot;
      slot = reinterpret_cast<HICON>(lParam);
      return reinterpret_cast<LRESULT>(previous);
    }
    case WM_GETICON:
      return reinterpret_cast<LRESULT>(wParam == ICON_BIG ? w->bigIcon : w->smallIcon);
    case STM_SETICON: {
      HICON previous = w->icon;
      w->icon = reinterpret_cast<HICON>(wParam);
      return reinterpret_cast<LRESULT>(previous);
    }
    case STM_GETICON:
      return reinterpret_cast<LRESULT>(w->icon);
    case WM_ICONERASEBKGND:
      ++Session::Current().iconEraseMessages;
      return 0;
    default:
      return headless::IsListBox(*w) ? headless::ListBoxMessage(*w, message, wParam, lParam) : 0;
  }
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  Window* w = FromHwnd(hwnd);
  if (w == nullptr) return FALSE;
  BOOL wasDisabled = w->enabled ? FALSE : TRUE;
  w->enabled = enable != FALSE;
  return wasDisabled;
}
BOOL IsWindowEnabled(HWND hwnd) {
  Window* w = FromHwnd(hwnd);
  return w != nullptr && w->enabled ? TRUE : FALSE;
}
void SetFocus(HWND hwnd) {
  Window* w = FromHwnd(hwnd);
  if (w == nullptr) return;
  if (w->parent != nullptr)
    for (auto& sibling : w->parent->children) sibling->focused = false;
  w->focused = true;
}
BOOL IsIconic(HWND /*hwnd*/) { return Session::Current().iconic ? TRUE : FALSE; }
void GetClientRect(HWND hwnd, RECT* rect) {
  Window* w = FromHwnd(hwnd);
  *rect = RECT{0, 0, w != nullptr ? w->cx : 0, w != nullptr ? w->cy : 0};
}
HWND GetDlgItem(HWND dialog, int id) {
  Window* w = FromHwnd(dialog);
  Window* c = w != nullptr ? w->Child(id) : nullptr;
  return c != nullptr ? c->hwnd() : nullptr;
}

int MessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  Session::Current().messageBoxes.push_back(
      {owner, text != nullptr ? text : "", caption != nullptr ? caption : "(null)", type});
  return IDOK;
}

// The headless windows keep their texts in UTF-8 and the simulated machine's
// names are taken as UTF-8 already.
void SetWindowTextUtf8(HWND hwnd, LPCSTR text) {
  SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
}
int MessageBoxUtf8(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  return MessageBox(owner, text, caption, type);
}
int AddStringUtf8(HWND listBox, LPCSTR item) {
  return static_cast<int>(SendMessage(listBox, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item)));
}
std::string AnsiToUtf8(const std::string& text) { return text; }
std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> children;
  if (Window* w = FromHwnd(parent))
    for (auto& c : w->children) children.push_back(c->hwnd());
  return children;
}

INT_PTR RunModal(CDialog& dialog, HWND parent) {
  const headless::DialogTemplate* t = headless::FindDialogTemplate(dialog.GetTemplateId());
  if (t == nullptr) return -1;
  auto window = std::make_unique<Window>();
  window->className = "#32770";
  window->text = t->caption;
  window->style = t->style;
  window->parent = FromHwnd(parent);
  // Dialog units of an 8-point dialog font: 6 x 13 pixels per 4 x 8 units.
  window->cx = t->cx * 6 / 4;
  window->cy = t->cy * 13 / 8;
  for (const headless::ControlTemplate& c : t->controls) {
    auto child = std::make_unique<Window>();
    child->id = c.id;
    child->className = c.className;
    child->text = c.text;
    child->style = c.style;
    child->enabled = (c.style & WS_DISABLED) == 0;
    child->parent = window.get();
    if (c.iconResource != 0) child->icon = headless::IconHandle(static_cast<UINT>(c.iconResource));
    window->children.push_back(std::move(child));
  }
  Session& session = Session::Current();
  dialog.m_hWnd = window->hwnd();
  dialog.OnInitDialog();
  if (!window->ended) {
    headless::DialogRecord record{t->id, window->text, {}};
    for (auto& c : window->children) record.texts.emplace_back(c->id, c->text);
    session.dialogs.push_back(std::move(record));
    if (session.user) session.user(dialog);
    if (!window->ended) dialog.OnCancel();
  }
  INT_PTR result = window->endResult;
  dialog.m_hWnd = nullptr;
  session.lastDialog = std::move(window);
  return result;
}

void EndDialog(HWND dialog, int result) {
  Window* w = FromHwnd(dialog);
  if (w == nullptr || w->ended) return;
  w->ended = true;
  w->endResult = result;
}

HICON LoadIcon(HINSTANCE /*instance*/, UINT resourceId) { return headless::IconHandle(resourceId); }
HDC BeginPaint(HWND hwnd, void* /*paintRecord*/) { return reinterpret_cast<HDC>(hwnd); }
void EndPaint(HWND /*hwnd*/, void* /*paintRecord*/) {}
BOOL DrawIcon(HDC /*hdc*/, int x, int y, HICON icon) {
  Session::Current().drawnIcons.push_back({x, y, icon});
  return TRUE;
}
int GetSystemMetrics(int index) { return index == SM_CXICON || index == SM_CYICON ? 32 : 0; }

}  // namespace backend
