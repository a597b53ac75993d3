// Fuzzes the command-line splitting under both code pages: it must never read
// or write out of bounds, and its results must be pieces of the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/command_line.h"
#include "platform/ansi_code_page.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const TableCodePage kSingleByte(1252);
  static const TableCodePage kDoubleByte(932);
  std::string text(reinterpret_cast<const char*>(data), size);
  // The argument text never holds a zero and never begins with a blank.
  std::string argument;
  for (char c : text)
    if (c != '\0') argument += c;
  if (argument.empty() || static_cast<unsigned char>(argument[0]) <= 0x20) return 0;
  for (const AnsiCodePage* page : {&kSingleByte, &kDoubleByte}) {
    CommandLineValues v = SplitCommandLine(CString(argument), *page);
    // A quoted INF comes without its opening quote.
    const size_t inf = argument.find(v.infFile.str());
    if (inf != 0 && !(inf == 1 && argument[0] == '"')) __builtin_trap();
    if (!v.printerName.IsEmpty() && argument.find(v.printerName.str()) == std::string::npos)
      __builtin_trap();
  }
  return 0;
}
