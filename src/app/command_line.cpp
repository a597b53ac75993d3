#include "app/command_line.h"

#include <string>
#include <string_view>

namespace {

// Leftmost occurrence of what that begins at position from or later, on a
// character boundary of the code page (never on a trail byte); -1 if none.
int Search(const std::string& text, std::string_view what, int from, const AnsiCodePage& codePage) {
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    if (static_cast<int>(i) >= from && text.compare(i, what.size(), what) == 0) {
      return static_cast<int>(i);
    }
    i += codePage.IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  }
  return -1;
}

// count characters from start; a negative start or count is read as 0, a
// start past the end gives empty text, and the end of the text stops the count.
CString Substring(const std::string& text, int start, int count) {
  const size_t n = text.size();
  const size_t s = start < 0 ? 0 : static_cast<size_t>(start);
  if (s >= n || count <= 0) return CString();
  return CString(text.substr(s, static_cast<size_t>(count)));
}

}  // namespace

CommandLineValues SplitCommandLine(const CString& argumentText, const AnsiCodePage& codePage) {
  CommandLineValues values;
  std::string work = argumentText.str();

  // b1 is the character that ends the INF: the blank after it, or the closing
  // quote of a quoted INF. A quoted INF's quotes are not looked at again.
  int b1;
  int quoteFrom = 0;
  const int closing = work[0] == '"' ? Search(work, "\"", 1, codePage) : -1;
  if (closing > 1) {
    values.infFile = Substring(work, 1, closing - 1);
    b1 = closing;
    quoteFrom = closing + 1;
  } else {
    b1 = Search(work, " ", 0, codePage);
    if (b1 < 0) {
      values.infFile = CString(work);
      return values;
    }
    values.infFile = Substring(work, 0, b1);
  }

  // A run of blanks after the INF counts as one; nothing but blanks names
  // nothing.
  size_t next = static_cast<size_t>(b1) + 1;
  while (next < work.size() && work[next] == ' ') ++next;
  if (next == work.size()) return values;
  work.erase(static_cast<size_t>(b1) + 1, next - static_cast<size_t>(b1) - 1);
  const int n = static_cast<int>(work.size());

  const int q1 = Search(work, "\"", quoteFrom, codePage);
  int b2;
  if (q1 < 0) {
    // INF PRINTER [rest]
    b2 = Search(work, " ", b1 + 1, codePage);
    if (b2 < 0) {
      values.printerName = Substring(work, b1 + 1, n - b1 - 1);
      return values;
    }
    values.printerName = Substring(work, b1 + 1, b2 - b1 - 1);
  } else {
    // INF "PRINTER" [rest]. The character after b1 and the one before the
    // blank that ends the name are taken to be the quotes. Without a closing
    // quote the name ends where it begins, at b1.
    const int q2 = Search(work, "\"", q1 + 1, codePage);
    b2 = q2 < 0 ? b1 : Search(work, " ", q2 + 1, codePage);
    if (b2 < 0) {
      values.printerName = Substring(work, b1 + 2, n - b1 - 3);
      values.namesNoPrinter = values.printerName.IsEmpty();
      return values;
    }
    values.printerName = Substring(work, b1 + 2, b2 - b1 - 3);
    values.namesNoPrinter = values.printerName.IsEmpty();
  }

  // The INF and the printer name are taken; only the rest is read for SILENT.
  codePage.MakeUpper(work);
  values.silent = Search(work, "SILENT", b2, codePage) >= 0 ? TRUE : FALSE;
  return values;
}
