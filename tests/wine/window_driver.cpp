#include "window_driver.h"

#include <algorithm>

namespace e2e {

std::string Utf8(const std::wstring& wide) {
  int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                   0, nullptr, nullptr);
  std::string text(static_cast<size_t>(size > 0 ? size : 0), '\0');
  if (size > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                          nullptr, nullptr);
  return text;
}

namespace {

constexpr DWORD kPollMs = 20;
// A single message to the program; far longer than any answer takes.
constexpr UINT kMessageMs = 5000;

bool SendTimed(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result) {
  return ::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageMs,
                               result) != 0;
}

struct EnumState {
  DWORD pid;
  const char* caption;
  std::vector<HWND>* windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  auto* state = reinterpret_cast<EnumState*>(param);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(window, &owner);
  if (owner != state->pid || !::IsWindowVisible(window)) return TRUE;
  if (state->caption != nullptr && WindowText(window) != state->caption) return TRUE;
  state->windows->push_back(window);
  return TRUE;
}

std::optional<std::vector<DWORD>> BitmapPixels(HDC dc, HBITMAP bitmap) {
  BITMAP info{};
  if (::GetObjectA(bitmap, sizeof info, &info) == 0) return std::nullopt;
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = info.bmWidth;
  format.bmiHeader.biHeight = -info.bmHeight;  // top-down
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  std::vector<DWORD> pixels(static_cast<size_t>(info.bmWidth) * info.bmHeight);
  if (::GetDIBits(dc, bitmap, 0, info.bmHeight, pixels.data(), &format, DIB_RGB_COLORS) !=
      info.bmHeight)
    return std::nullopt;
  return pixels;
}

// UTF-16 text in the ANSI code page, as an ANSI program sees it.
std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  int size = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                   0, nullptr, nullptr);
  std::string text(size, '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                        nullptr, nullptr);
  return text;
}

}  // namespace

ChildProcess::~ChildProcess() {
  if (!Started()) return;
  if (Running()) Terminate();
  ::CloseHandle(m_info.hThread);
  ::CloseHandle(m_info.hProcess);
}

bool ChildProcess::Start(const std::string& exe, const std::string& arguments,
                         const std::string& directory, std::string* error) {
  // A process started before by this object is no longer followed.
  if (Started()) {
    ::CloseHandle(m_info.hThread);
    ::CloseHandle(m_info.hProcess);
    m_info = {};
  }
  std::string commandLine = "\"" + exe + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (!::CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory.c_str(), &startup, &m_info)) {
    *error = "CreateProcessA(" + commandLine + ") in " + directory + " failed with error " +
             std::to_string(::GetLastError());
    m_info = {};
    return false;
  }
  return true;
}

bool ChildProcess::Running() const {
  return Started() && ::WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT;
}

bool ChildProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
  if (!Started() || ::WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0)
    return false;
  return ::GetExitCodeProcess(m_info.hProcess, exitCode) != 0;
}

bool ChildProcess::WaitForExitWatchingWindows(DWORD timeoutMs, DWORD* exitCode,
                                              std::vector<std::string>* shownCaptions) {
  if (!Started()) return false;
  std::vector<HWND> seen;
  const DWORD start = ::GetTickCount();
  for (;;) {
    for (HWND window : VisibleWindows(m_info.dwProcessId)) {
      if (std::find(seen.begin(), seen.end(), window) != seen.end()) continue;
      seen.push_back(window);
      shownCaptions->push_back(WindowText(window));
    }
    if (::WaitForSingleObject(m_info.hProcess, kPollMs) == WAIT_OBJECT_0) break;
    if (::GetTickCount() - start > timeoutMs) return false;
  }
  return ::GetExitCodeProcess(m_info.hProcess, exitCode) != 0;
}

void ChildProcess::Terminate() {
  ::TerminateProcess(m_info.hProcess, 0xDEAD);
  ::WaitForSingleObject(m_info.hProcess, kWaitMs);
}

std::vector<HWND> VisibleWindows(DWORD pid, const char* caption) {
  std::vector<HWND> windows;
  EnumState state{pid, caption, &windows};
  ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
  return windows;
}

HWND WaitForWindow(const ChildProcess& child, const char* caption, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    for (HWND window : VisibleWindows(child.Id(), caption)) {
      // A dialog answers only once its modal loop runs, that is after its
      // initialisation has filled the controls.
      DWORD_PTR ignored = 0;
      if (SendTimed(window, WM_NULL, 0, 0, &ignored)) return window;
    }
    if (!child.Running() || ::GetTickCount() - start > timeoutMs) return nullptr;
    ::Sleep(kPollMs);
  }
}

bool WaitUntilGone(HWND window, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  while (::IsWindow(window)) {
    if (::GetTickCount() - start > timeoutMs) return false;
    ::Sleep(kPollMs);
  }
  return true;
}

std::string DescribeWindows(DWORD pid) {
  std::string text = "visible windows of process " + std::to_string(pid) + ":";
  std::vector<HWND> windows = VisibleWindows(pid);
  if (windows.empty()) text += " none";
  for (HWND window : windows) text += " \"" + WindowText(window) + "\"";
  return text;
}

std::string WindowText(HWND window) {
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageMs, &length))
    return kNoAnswer;
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kMessageMs, &copied))
    return kNoAnswer;
  text.resize(copied);
  return Utf8(text);
}

std::string ControlText(HWND dialog, int id) {
  HWND control = ::GetDlgItem(dialog, id);
  if (control == nullptr) return "<no control " + std::to_string(id) + ">";
  return WindowText(control);
}

std::vector<std::string> ListItems(HWND dialog, int id) {
  std::vector<std::string> items;
  HWND list = ::GetDlgItem(dialog, id);
  DWORD_PTR count = 0;
  if (list == nullptr || !SendTimed(list, LB_GETCOUNT, 0, 0, &count) ||
      static_cast<LRESULT>(count) == LB_ERR)
    return {"<no list " + std::to_string(id) + ">"};
  // The items are read as UTF-16 and turned back into the ANSI text the
  // program stored. Wine (8.0) garbles LB_GETTEXT sent as ANSI to a list
  // box of another process; the UTF-16 message arrives intact, on Windows
  // as well.
  for (DWORD_PTR i = 0; i < count; ++i) {
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, kMessageMs, &length) ||
        static_cast<LRESULT>(length) == LB_ERR)
      return {"<unreadable item " + std::to_string(i) + ">"};
    std::wstring wide(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide.data()),
                               SMTO_ABORTIFHUNG, kMessageMs, &copied) ||
        static_cast<LRESULT>(copied) == LB_ERR)
      return {"<unreadable item " + std::to_string(i) + ">"};
    wide.resize(copied);
    items.push_back(Narrow(wide));
  }
  return items;
}

bool SelectListItem(HWND dialog, int id, int index) {
  HWND list = ::GetDlgItem(dialog, id);
  DWORD_PTR selected = static_cast<DWORD_PTR>(LB_ERR);
  if (list == nullptr || !SendTimed(list, LB_SETCURSEL, index, 0, &selected) ||
      static_cast<LRESULT>(selected) != index)
    return false;
  return ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(list));
}

bool WaitForControlText(HWND dialog, int id, const std::string& text, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  while (ControlText(dialog, id) != text) {
    if (::GetTickCount() - start > timeoutMs) return false;
    ::Sleep(kPollMs);
  }
  return true;
}

LRESULT ListSelection(HWND dialog, int id) {
  DWORD_PTR selection = static_cast<DWORD_PTR>(LB_ERR);
  SendTimed(::GetDlgItem(dialog, id), LB_GETCURSEL, 0, 0, &selection);
  return static_cast<LRESULT>(selection);
}

bool ControlEnabled(HWND dialog, int id) { return ::IsWindowEnabled(::GetDlgItem(dialog, id)); }

HICON StaticIcon(HWND dialog, int id) {
  DWORD_PTR icon = 0;
  SendTimed(::GetDlgItem(dialog, id), STM_GETICON, 0, 0, &icon);
  return reinterpret_cast<HICON>(icon);
}

bool PressButton(HWND dialog, int id) {
  HWND button = ::GetDlgItem(dialog, id);
  return button != nullptr && ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                             reinterpret_cast<LPARAM>(button));
}

namespace {

BOOL CALLBACK CollectStaticText(HWND child, LPARAM param) {
  char className[16] = {};
  ::GetClassNameA(child, className, sizeof className);
  if (::lstrcmpiA(className, "Static") != 0) return TRUE;
  std::string text = WindowText(child);
  if (text.empty()) return TRUE;  // the icon, which is a static too
  auto* texts = reinterpret_cast<std::string*>(param);
  if (!texts->empty()) *texts += " ";
  *texts += text;
  return TRUE;
}

// The message text of a message box: its text static. Windows gives that
// static the ID 0xFFFF and Wine another one, so it is found by its class.
std::string MessageBoxText(HWND box) {
  std::string text;
  ::EnumChildWindows(box, CollectStaticText, reinterpret_cast<LPARAM>(&text));
  return text;
}

}  // namespace

int AnswerMessageBoxes(DWORD pid, HWND dialog, std::vector<std::string>* texts) {
  int answered = 0;
  for (HWND box : VisibleWindows(pid)) {
    if (box == dialog) continue;
    texts->push_back(WindowText(box) + ": " + MessageBoxText(box));
    // An OK-only box ends on IDOK; one without that button still closes.
    if (::GetDlgItem(box, IDOK) != nullptr)
      PressButton(box, IDOK);
    else
      ::PostMessageA(box, WM_CLOSE, 0, 0);
    WaitUntilGone(box);
    ++answered;
  }
  return answered;
}

bool WaitForProcedureEnd(DWORD pid, HWND dialog, int id, const std::string& text,
                         std::vector<std::string>* boxTexts, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    int answered = AnswerMessageBoxes(pid, dialog, boxTexts);
    // A dialog that answers WM_NULL is back in its message loop. While a
    // box is open the box's loop answers for it, hence no box may be open.
    DWORD_PTR ignored = 0;
    if (answered == 0 && ControlText(dialog, id) == text &&
        SendTimed(dialog, WM_NULL, 0, 0, &ignored) && VisibleWindows(pid).size() == 1)
      return true;
    if (::GetTickCount() - start > timeoutMs) return false;
    ::Sleep(kPollMs);
  }
}

std::optional<std::vector<DWORD>> IconPixels(HICON icon) {
  ICONINFO info{};
  if (icon == nullptr || !::GetIconInfo(icon, &info)) return std::nullopt;
  HDC dc = ::CreateCompatibleDC(nullptr);
  std::optional<std::vector<DWORD>> pixels;
  if (info.hbmColor != nullptr) pixels = BitmapPixels(dc, info.hbmColor);
  std::optional<std::vector<DWORD>> mask = BitmapPixels(dc, info.hbmMask);
  ::DeleteDC(dc);
  if (info.hbmColor != nullptr) ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  if (!mask) return std::nullopt;
  if (!pixels) pixels.emplace();
  pixels->insert(pixels->end(), mask->begin(), mask->end());
  return pixels;
}

HICON LoadIconFromFile(const std::string& path, int resourceId) {
  HMODULE module = ::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) return nullptr;
  auto icon = static_cast<HICON>(
      ::LoadImageA(module, MAKEINTRESOURCEA(resourceId), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
  ::FreeLibrary(module);
  return icon;
}

bool RunningUnderWine() {
  HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::vector<CaptionFit> MeasureCaptions(HWND dialog, int dpi) {
  // Client rectangles as the dialog has them, not scaled for this process.
  using SetAwareness = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
  auto setAwareness = reinterpret_cast<SetAwareness>(reinterpret_cast<void (*)()>(
      ::GetProcAddress(::GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
  if (setAwareness != nullptr) setAwareness(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
  // The dialog's font, as the dialog makes it from its template.
  HFONT font = ::CreateFontW(-::MulDiv(8, dpi, 72), 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, 0, 0, PROOF_QUALITY, FF_DONTCARE, L"MS Shell Dlg");
  HDC dc = ::CreateCompatibleDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font);
  SIZE letters{};
  ::GetTextExtentPoint32W(dc, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52,
                          &letters);
  std::vector<CaptionFit> fits;
  for (HWND control = ::GetWindow(dialog, GW_CHILD); control != nullptr;
       control = ::GetWindow(control, GW_HWNDNEXT)) {
    wchar_t className[32] = {};
    ::GetClassNameW(control, className, 32);
    LONG style = ::GetWindowLongW(control, GWL_STYLE);
    std::wstring kind = className;
    std::wstring text(512, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(control, text.data(), 512)));
    if (text.empty() || kind == L"ListBox" || (kind == L"Static" && (style & SS_ICON) == SS_ICON))
      continue;
    RECT client{};
    ::GetClientRect(control, &client);
    // Static texts wrap; buttons, group boxes and edits keep one line.
    bool wraps = _wcsicmp(className, L"Static") == 0;
    RECT drawn{0, 0, client.right, 0};
    ::DrawTextW(dc, text.c_str(), -1, &drawn,
                DT_CALCRECT | DT_NOPREFIX | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
    fits.push_back({::GetDlgCtrlID(control), Utf8(text), drawn.right, drawn.bottom, client.right,
                    client.bottom, (letters.cx + 26) / 52});
  }
  ::SelectObject(dc, old);
  ::DeleteDC(dc);
  ::DeleteObject(font);
  return fits;
}

}  // namespace e2e
