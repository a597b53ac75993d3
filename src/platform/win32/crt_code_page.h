// The system's ANSI code page as the C runtime's multibyte functions see it.
// The runtime sets its multibyte code page to the ANSI code page at start-up.
#pragma once
#include <string>

#include "platform/ansi_code_page.h"

class CrtCodePage : public AnsiCodePage {
 public:
  bool IsLeadByte(unsigned char c) const override;
  void MakeUpper(std::string& text) const override;
};
