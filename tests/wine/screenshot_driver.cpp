// Drives qvrsetup.exe through the moments that the README shows, and at
// each one asks the script around it (tools/screenshots.sh) for a picture:
//
//   screenshot_driver.exe QVRSETUP_EXE PACKAGE_FOLDER EMPTY_FOLDER [SNAP_FOLDER]
//   screenshot_driver.exe --language NAME QVRSETUP_EXE PACKAGE_FOLDER [SNAP_FOLDER]
//
// For every picture it brings the window to the front and prints one line
//
//   SNAP <name> <left> <top> <width> <height>
//
// with the window's place on the screen in pixels, then waits until the
// script has taken the picture and made the file <SNAP_FOLDER>\<name>.done
// (default folder C:\snaps). The moments:
//   01-main-dialog    the main dialog just opened on PACKAGE_FOLDER\setup.inf
//   02-model-selected the model "QVR 3417" chosen, Update offered
//   03-update-done    the Update over, with the check mark
//   04-no-inf-error   the first "Error" dialog of a start without arguments
//                     in EMPTY_FOLDER, which holds no INF
// With --language, one picture NAME: the main dialog with "QVR 3417" chosen,
// in the language the driver and the program run in.
// Every wait is bounded; when one runs out the program says which and ends
// with status 1, and the started qvrsetup.exe is ended with it.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "resource.h"
#include "window_driver.h"

namespace {

constexpr char kMainCaption[] = "QVR Driver Setup";
constexpr char kErrorCaption[] = "Error";
constexpr char kSnapModel[] = "QVR 3417";
constexpr char kUpdateOffered[] = "Press the Update button to start the installation.";
constexpr char kUpdateDone[] = "Driver update completed.";
// The Update stops and restarts the spooler; under Wine that can take a
// while, so the procedure gets longer than a single step.
constexpr DWORD kProcedureMs = 60000;
// How long the script may take for one picture.
constexpr DWORD kSnapMs = 20000;

std::string g_snapFolder = "C:\\snaps";

void Fail(const std::string& what) {
  std::fprintf(stderr, "screenshot_driver: %s\n", what.c_str());
  std::fflush(stderr);
}

bool FileExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Lets `window` finish drawing: it has answered a message, so its queue is
// worked off, and the screen has had a moment to show the result.
void Settle(HWND window) {
  DWORD_PTR ignored = 0;
  ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
  ::Sleep(700);
}

// Puts `window` on top and makes it the foreground window. The foreground
// first goes to the desktop and then to the window: on an X server without
// a window manager Wine makes the first window of a program the foreground
// window but draws its caption inactive (grey), and only a real change of
// the foreground draws it active.
void BringToFront(HWND window) {
  ::ShowWindow(window, SW_SHOWNORMAL);
  ::SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  for (int attempt = 0; attempt < 3; ++attempt) {
    ::SetForegroundWindow(::GetDesktopWindow());
    Settle(window);
    ::SetForegroundWindow(window);
    Settle(window);
    if (::GetForegroundWindow() == window) return;
  }
  Fail("could not bring the window to the foreground");
}

// Asks for the picture `name` of `window` and waits until it is taken.
bool Snap(HWND window, const char* name) {
  BringToFront(window);
  RECT rect{};
  if (!::GetWindowRect(window, &rect)) {
    Fail(std::string("no window to snap for ") + name);
    return false;
  }
  const std::string done = g_snapFolder + "\\" + name + ".done";
  ::DeleteFileA(done.c_str());
  std::printf("SNAP %s %ld %ld %ld %ld\n", name, rect.left, rect.top, rect.right - rect.left,
              rect.bottom - rect.top);
  std::fflush(stdout);
  const DWORD start = ::GetTickCount();
  while (!FileExists(done)) {
    if (::GetTickCount() - start > kSnapMs) {
      Fail(std::string("no ") + done + " within " + std::to_string(kSnapMs) + " ms");
      return false;
    }
    ::Sleep(50);
  }
  return true;
}

bool Await(const e2e::ChildProcess& child, const char* caption, HWND* window) {
  *window = e2e::WaitForWindow(child, caption);
  if (*window == nullptr)
    Fail(std::string("no \"") + caption + "\" window; " + e2e::DescribeWindows(child.Id()));
  return *window != nullptr;
}

bool Dismiss(HWND window, int id) {
  if (e2e::PressButton(window, id) && e2e::WaitUntilGone(window)) return true;
  Fail("the window stayed open after pressing button " + std::to_string(id));
  return false;
}

bool EndsAlone(e2e::ChildProcess& child) {
  DWORD exitCode = 0;
  if (child.WaitForExit(e2e::kWaitMs, &exitCode)) return true;
  Fail("qvrsetup.exe still running; " + e2e::DescribeWindows(child.Id()));
  return false;
}

void Report(const std::vector<std::string>& boxes) {
  for (const std::string& box : boxes)
    std::fprintf(stderr, "  answered with OK: %s\n", box.c_str());
  std::fflush(stderr);
}

// After a posted click: waits until the procedure has shown `status` and
// is over. When the status never comes, waits at least until the
// procedure has ended (no message box, the dialog answering, the status
// unchanged for a second), so the picture still shows its outcome.
bool AwaitProcedure(DWORD pid, HWND dialog, const char* status, DWORD timeoutMs) {
  std::vector<std::string> boxes;
  bool reached = e2e::WaitForProcedureEnd(pid, dialog, IDC_STATUS, status, &boxes, timeoutMs);
  Report(boxes);
  if (reached) return true;
  Fail(std::string("status \"") + e2e::ControlText(dialog, IDC_STATUS) + "\" instead of \"" +
       status + "\"; taking the picture once the procedure is over");
  const DWORD start = ::GetTickCount();
  std::string last;
  DWORD stableSince = ::GetTickCount();
  for (;;) {
    boxes.clear();
    int answered = e2e::AnswerMessageBoxes(pid, dialog, &boxes);
    Report(boxes);
    std::string now = e2e::ControlText(dialog, IDC_STATUS);
    if (answered != 0 || now != last) {
      last = now;
      stableSince = ::GetTickCount();
    }
    DWORD_PTR ignored = 0;
    if (::GetTickCount() - stableSince > 1000 && e2e::VisibleWindows(pid).size() == 1 &&
        ::SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored))
      return true;
    if (::GetTickCount() - start > e2e::kWaitMs) {
      Fail("the procedure did not end; " + e2e::DescribeWindows(pid));
      return false;
    }
    ::Sleep(50);
  }
}

int IndexOf(const std::vector<std::string>& items, const std::string& item) {
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i] == item) return static_cast<int>(i);
  return -1;
}

// Starts the program on the package's INF and waits for its main dialog.
bool OpenMainDialog(e2e::ChildProcess& child, const std::string& exe, const std::string& package,
                    HWND* dialog) {
  std::string error;
  if (!child.Start(exe, "setup.inf", package, &error)) {
    Fail(error);
    return false;
  }
  return Await(child, kMainCaption, dialog);
}

// Selects the model that the pictures show.
bool SelectSnapModel(HWND dialog) {
  const int model = IndexOf(e2e::ListItems(dialog, IDC_MODELS), kSnapModel);
  if (model >= 0 && e2e::SelectListItem(dialog, IDC_MODELS, model)) return true;
  Fail(std::string("could not choose \"") + kSnapModel + "\"");
  return false;
}

// Pictures 01 to 03: the main dialog on the package's INF.
bool MainDialog(const std::string& exe, const std::string& package) {
  e2e::ChildProcess child;
  HWND dialog = nullptr;
  if (!OpenMainDialog(child, exe, package, &dialog) || !Snap(dialog, "01-main-dialog"))
    return false;
  if (!SelectSnapModel(dialog) || !AwaitProcedure(child.Id(), dialog, kUpdateOffered, e2e::kWaitMs))
    return false;
  if (!e2e::ControlEnabled(dialog, IDC_UPDATE)) {
    Fail("Update is not offered for the model");
    return false;
  }
  if (!Snap(dialog, "02-model-selected")) return false;

  if (!e2e::PressButton(dialog, IDC_UPDATE) ||
      !AwaitProcedure(child.Id(), dialog, kUpdateDone, kProcedureMs))
    return false;
  if (!Snap(dialog, "03-update-done")) return false;

  return Dismiss(dialog, IDOK) && EndsAlone(child);
}

// The main dialog in the operator's language, Update offered.
bool InLanguage(const std::string& exe, const std::string& package, const char* name) {
  e2e::ChildProcess child;
  HWND dialog = nullptr;
  if (!OpenMainDialog(child, exe, package, &dialog) || !SelectSnapModel(dialog)) return false;
  const DWORD start = ::GetTickCount();
  while (!e2e::ControlEnabled(dialog, IDC_UPDATE)) {
    if (::GetTickCount() - start > e2e::kWaitMs) {
      Fail("Update is not offered for the model");
      return false;
    }
    ::Sleep(50);
  }
  ::Sleep(500);
  return Snap(dialog, name) && Dismiss(dialog, IDOK) && EndsAlone(child);
}

// Picture 04: a start without arguments in a folder without an INF.
bool NoInfError(const std::string& exe, const std::string& empty) {
  e2e::ChildProcess child;
  std::string error;
  if (!child.Start(exe, "", empty, &error)) {
    Fail(error);
    return false;
  }
  HWND first = nullptr;
  if (!Await(child, kErrorCaption, &first)) return false;
  if (!Snap(first, "04-no-inf-error")) return false;
  if (!Dismiss(first, IDOK)) return false;
  HWND second = nullptr;
  if (!Await(child, kErrorCaption, &second) || !Dismiss(second, IDOK)) return false;
  return EndsAlone(child);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 5 && std::string(argv[1]) == "--language") {
    if (argc == 6) g_snapFolder = argv[5];
    if (!InLanguage(argv[3], argv[4], argv[2])) return 1;
    std::printf("DONE\n");
    std::fflush(stdout);
    return 0;
  }
  if (argc < 4 || argc > 5) {
    std::fprintf(stderr,
                 "usage: screenshot_driver.exe QVRSETUP_EXE PACKAGE_FOLDER EMPTY_FOLDER "
                 "[SNAP_FOLDER]\n");
    return 2;
  }
  const std::string exe = argv[1];
  const std::string package = argv[2];
  const std::string empty = argv[3];
  if (argc == 5) g_snapFolder = argv[4];
  if (!FileExists(exe) || !FileExists(package + "\\setup.inf") || !FileExists(empty)) {
    Fail("needs " + exe + ", " + package + "\\setup.inf and the folder " + empty);
    return 2;
  }
  if (!MainDialog(exe, package)) return 1;
  if (!NoInfError(exe, empty)) return 1;
  std::printf("DONE\n");
  std::fflush(stdout);
  return 0;
}
