// The dialog templates as the headless backend builds them: the same
// controls, IDs, texts, positions and styles as res/qvrsetup.rc. A test
// compares the two.
#pragma once
#include <vector>

#include "platform/win_types.h"

namespace headless {

struct ControlTemplate {
  int id;                 // -1 for IDC_STATIC
  const char* className;  // "Button", "Edit", "Static", "ListBox"
  const char* text;
  int x, y, cx, cy;  // dialog units
  DWORD style;       // complete style, WS_CHILD | WS_VISIBLE included
  int iconResource;  // icon shown by an SS_ICON static, else 0
};

struct DialogTemplate {
  UINT id;
  const char* caption;
  int cx, cy;
  DWORD style;  // DS_SETFONT included
  DWORD exStyle;
  const char* fontName;
  int pointSize;
  std::vector<ControlTemplate> controls;  // template order
};

const std::vector<DialogTemplate>& DialogTemplates();
const DialogTemplate* FindDialogTemplate(UINT id);

}  // namespace headless
