// Drives a running qvrsetup.exe from another process: starts it, finds its
// top-level windows and reads and presses their controls. Works the same on
// Windows and under Wine. Every wait is bounded; nothing here can hang a test
// run on a program that stopped responding.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

// The longest any single wait in the suite may take.
constexpr DWORD kWaitMs = 20000;

// A started program. Whatever state a test leaves it in, the destructor ends
// it, so a failed assertion never leaves a dialog waiting for input.
class ChildProcess {
 public:
  ChildProcess() = default;
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  // Starts `exe` in `directory`. `arguments` is the text the program gets
  // after its own name; empty means none at all.
  bool Start(const std::string& exe, const std::string& arguments, const std::string& directory,
             std::string* error);

  bool Started() const { return m_info.hProcess != nullptr; }
  DWORD Id() const { return m_info.dwProcessId; }
  bool Running() const;

  // True and the exit code when the process ended within `timeoutMs`.
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode);

  // Like WaitForExit, and meanwhile notes the caption of every visible
  // top-level window the process shows (once each, in order of appearance).
  bool WaitForExitWatchingWindows(DWORD timeoutMs, DWORD* exitCode,
                                  std::vector<std::string>* shownCaptions);

  void Terminate();

 private:
  PROCESS_INFORMATION m_info{};
};

// Visible top-level windows of process `pid`; with a caption, only those
// whose title is exactly that text.
std::vector<HWND> VisibleWindows(DWORD pid, const char* caption = nullptr);

// Waits until `child` shows a visible top-level window titled `caption`
// that answers messages (its dialog initialisation is over). Null when the
// time runs out or the process ends first.
HWND WaitForWindow(const ChildProcess& child, const char* caption, DWORD timeoutMs = kWaitMs);

// Waits until `window` no longer exists.
bool WaitUntilGone(HWND window, DWORD timeoutMs = kWaitMs);

// One line naming the process's visible windows, for failure messages.
std::string DescribeWindows(DWORD pid);

// What WindowText gives for a window that doesn't answer (or is going).
constexpr char kNoAnswer[] = "<no answer>";

// Window text of `window`, or of control `id` of `dialog`, in UTF-8.
std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int id);

// All items of list box `id` of `dialog`, in list order.
std::vector<std::string> ListItems(HWND dialog, int id);

// Selects item `index` of list box `id` the way a click does: the list
// changes its selection and the dialog gets WM_COMMAND/LBN_SELCHANGE
// (posted, as with PressButton).
bool SelectListItem(HWND dialog, int id, int index);

// Waits until control `id` of `dialog` shows `text`; for the effects of a
// posted command.
bool WaitForControlText(HWND dialog, int id, const std::string& text, DWORD timeoutMs = kWaitMs);

// Selected index of list box `id` (LB_ERR when nothing is selected).
LRESULT ListSelection(HWND dialog, int id);

bool ControlEnabled(HWND dialog, int id);

// Icon shown by static icon control `id` (STM_GETICON).
HICON StaticIcon(HWND dialog, int id);

// Presses button `id` of `dialog` the way a click does: the dialog gets
// WM_COMMAND/BN_CLICKED from the button. Posted, so a handler that opens a
// modal window of its own does not block the caller.
bool PressButton(HWND dialog, int id);

// Answers every message box that process `pid` shows besides `dialog` with
// OK, as a user who reads it does, and appends "caption: text" of each to
// `texts`. Returns how many it answered.
int AnswerMessageBoxes(DWORD pid, HWND dialog, std::vector<std::string>* texts);

// Waits until a procedure that a posted click started in `dialog` is over:
// control `id` shows `text`, no message box is open, and the dialog takes
// messages again (so the handler has returned). Message boxes that come up
// meanwhile are answered with OK and recorded as by AnswerMessageBoxes.
bool WaitForProcedureEnd(DWORD pid, HWND dialog, int id, const std::string& text,
                         std::vector<std::string>* boxTexts, DWORD timeoutMs = kWaitMs);

// The pixels of an icon (colour picture, then mask, 32 bits each), for
// telling icons apart by what they show rather than by handle. Empty when
// this process cannot read the icon.
std::optional<std::vector<DWORD>> IconPixels(HICON icon);

// Icon `resourceId` of the executable `path`, loaded at the size LoadIcon
// uses. The caller destroys it.
HICON LoadIconFromFile(const std::string& path, int resourceId);

// How a control's caption fits it: the text drawn with DT_CALCRECT in the
// dialog's font ("MS Shell Dlg", 8 points at `dpi`), on one line or, for a
// static text, wrapped at the control's width, against its client
// rectangle. baseUnit is the font's average character width, by which the
// dialog sizes its controls (4 dialog units to one).
struct CaptionFit {
  int id;
  std::string text;
  LONG width, height;              // the text's
  LONG clientWidth, clientHeight;  // the control's
  LONG baseUnit;
  bool Fits() const { return width <= clientWidth && height <= clientHeight; }
};
// Each caption of the dialog's controls, in Z order; list boxes and icons
// have none.
std::vector<CaptionFit> MeasureCaptions(HWND dialog, int dpi);

// UTF-16 text in UTF-8.
std::string Utf8(const std::wstring& wide);

// True when running on Wine rather than Windows.
bool RunningUnderWine();

}  // namespace e2e
