// Splitting the argument text into the INF file, the printer name and the
// SILENT flag.
#pragma once
#include "framework/afx.h"
#include "platform/ansi_code_page.h"
#include "platform/win_types.h"

struct CommandLineValues {
  CString infFile;
  CString printerName;
  BOOL silent = FALSE;
  // Text other than blanks follows the INF, but no printer name can be read
  // from it: an empty name, or a quote that isn't closed.
  bool namesNoPrinter = false;
};

// argumentText is the command line after the program's name, not empty. Only
// the blank separates words and the double quote is the only quoting
// character:
//   INF                              the INF alone
//   INF PRINTER [... SILENT ...]     a one-word printer name
//   INF "PRINTER" [... SILENT ...]   a printer name with blanks in it
// The INF may stand in double quotes ("C:\My Package\setup.inf"); a run of
// blanks after it counts as one. SILENT counts in any case and inside longer
// words, but only after the blank that ends the printer name; the INF and the
// printer name keep their case.
// Searches step by whole characters of codePage. The text may be of any
// length. Makes no platform call.
CommandLineValues SplitCommandLine(const CString& argumentText, const AnsiCodePage& codePage);
