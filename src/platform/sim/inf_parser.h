// The INF parser under the simulated Setup API: turns the bytes of an INF
// file into sections of lines of fields, read the way the Setup API reads
// them. The Setup API calls themselves live in sim_setup_api.cpp.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/win_types.h"

namespace sim::inf {

// The Setup API's limits, in characters without the terminator.
inline constexpr std::size_t kMaxSectionName = 255;
inline constexpr std::size_t kMaxStringValue = 511;  // a [Strings] value
inline constexpr std::size_t kMaxField = 4095;       // any field, substitutions included

struct Line {
  bool hasKey = false;
  std::string key;                  // field 0
  std::vector<std::string> fields;  // field 1 onwards; never empty
};

struct Section {
  std::string name;  // as first written
  std::vector<Line> lines;
};

class File {
 public:
  // Sections in the order they first appear; sections of the same name are
  // one section, their lines in file order.
  std::vector<Section> sections;

  // Index of the section of this name (case ignored), or -1.
  int IndexOf(std::string_view name) const;
  const Section* Find(std::string_view name) const;
  // The first line of `section` whose key is `key` (case ignored).
  static const Line* FindLine(const Section& section, std::string_view key);

  // The index of the section of this name, added if there is none.
  int Add(std::string_view name);

 private:
  std::unordered_map<std::string, int> m_index;  // folded name -> index
};

struct ParseResult {
  DWORD error = ERROR_SUCCESS;  // a syntax error, or ERROR_SUCCESS
  UINT errorLine = 0;           // the 1-based line of the syntax error
  File file;
};

// Reads an INF: ANSI bytes, or UTF-16LE or UTF-8 text after its byte-order
// mark, which is converted to the ANSI code page (1252). `%key%` tokens are
// replaced from [Strings] in every section but [Strings] itself.
ParseResult Parse(std::string_view bytes);

// Names and keys compare without case, as the Setup API compares them on
// ANSI text (code page 1252).
std::string Fold(std::string_view text);
bool SameName(std::string_view a, std::string_view b);

}  // namespace sim::inf
