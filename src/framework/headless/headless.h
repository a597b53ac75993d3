// The headless window system that the native tests run the dialogs in.
// Windows live in memory and follow the rules of the real controls; message
// boxes are recorded and answered with OK; a test scripts the user.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/afx.h"

namespace headless {

struct Window {
  int id = 0;
  std::string className;  // "#32770" for a dialog
  std::string text;
  DWORD style = 0;
  bool enabled = true;
  bool focused = false;
  std::vector<std::string> items;  // list boxes
  int curSel = -1;                 // list boxes
  HICON icon = nullptr;            // SS_ICON statics
  HICON bigIcon = nullptr;         // dialogs
  HICON smallIcon = nullptr;       // dialogs
  Window* parent = nullptr;
  std::vector<std::unique_ptr<Window>> children;
  int cx = 0, cy = 0;  // client size in pixels
  bool ended = false;
  int endResult = 0;

  HWND hwnd() { return reinterpret_cast<HWND>(this); }
  Window* Child(int childId);
};

struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;  // "(null)" when the caller passed none
  UINT type;
};

// A dialog as it stood right after its initialisation: template, caption
// and the text of every control.
struct DialogRecord {
  UINT templateId;
  std::string caption;
  std::vector<std::pair<int, std::string>> texts;
  std::string Text(int id) const;
};

// One test's window system. While it exists it is the current one.
class Session {
 public:
  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Called for each modal dialog once its initialisation has run and the
  // dialog has not ended itself. When it returns and the dialog is still
  // open, the dialog is cancelled (as the close box would).
  std::function<void(CDialog&)> user;

  std::vector<MessageBoxRecord> messageBoxes;
  std::vector<DialogRecord> dialogs;
  // The window tree of the most recently ended dialog, kept for inspection.
  std::unique_ptr<Window> lastDialog;
  // Minimised dialogs paint their icon themselves.
  bool iconic = false;
  struct DrawnIcon {
    int x, y;
    HICON icon;
  };
  std::vector<DrawnIcon> drawnIcons;
  int iconEraseMessages = 0;

  static Session& Current();
};

Window* FromHwnd(HWND hwnd);
// The control with this ID of a running dialog, or of the last one ended.
Window& Control(CDialog& dialog, int id);
Window& LastControl(int id);
// The user clicks a button: nothing happens when it is disabled.
void Click(CDialog& dialog, int id);
// The user selects an item of a list box, which then notifies its dialog.
void Select(CDialog& dialog, int id, int index);

// Icons are handles that name their resource.
HICON IconHandle(UINT resourceId);
UINT IconResource(HICON icon);

}  // namespace headless
