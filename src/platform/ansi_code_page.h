// The ANSI code page that command-line text is read in. Splitting the command
// line steps through the text by whole characters and upper-cases it by the
// code page's rules; this interface is all it needs to know about the code page.
#pragma once
#include <array>
#include <string>

#include "platform/win_types.h"

// Room for a path or a name of MAX_PATH characters in the ANSI code page:
// in UTF-8 a character of the basic plane takes up to three bytes (one of
// a Cyrillic name two, one of a Chinese name three), and a character
// beyond it, two UTF-16 units, four.
constexpr DWORD kPathBytes = 3 * MAX_PATH;

class AnsiCodePage {
 public:
  virtual ~AnsiCodePage() = default;

  // TRUE when c is the first byte of a double-byte character.
  virtual bool IsLeadByte(unsigned char c) const = 0;
  // Converts text to upper case in place, character by character: a
  // double-byte character is converted as a whole (or left alone), never its
  // trail byte on its own. The length of the text does not change.
  virtual void MakeUpper(std::string& text) const = 0;
};

// A code page from a built-in table, the same on every platform. 932 is the
// double-byte Japanese code page (lead bytes 0x81-0x9F and 0xE0-0xFC); every
// other number is taken as a code page without lead bytes: a single-byte one
// such as 1252, or 65001, UTF-8, where every byte of a character of two to
// four bytes is 0x80 or above, so that no blank, quote or ASCII letter lies
// inside one, and stepping byte by byte never finds one there. Upper-casing
// changes the ASCII letters a-z only, as the C runtime's default locale does,
// and leaves double-byte and UTF-8 characters as they are.
class TableCodePage : public AnsiCodePage {
 public:
  explicit TableCodePage(unsigned int codePage);

  bool IsLeadByte(unsigned char c) const override { return m_lead[c]; }
  void MakeUpper(std::string& text) const override;

 private:
  std::array<bool, 256> m_lead{};
};
