#include "platform/sim/inf_parser.h"

#include <array>
#include <cstdint>

namespace sim::inf {
namespace {

// Code page 1252 between 0x80 and 0x9F; the five unassigned bytes stand for
// the control characters of the same value, as Windows maps them.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// One UTF-16 unit in code page 1252; what the code page lacks becomes '?'
// (no best-fit mapping).
char ToAnsi(char32_t unit) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<char>(unit);
  for (std::size_t i = 0; i < kCp1252High.size(); ++i)
    if (kCp1252High[i] == unit) return static_cast<char>(0x80 + i);
  return '?';
}

void AppendAnsi(std::string& out, char32_t codePoint) {
  if (codePoint >= 0x10000) {
    out += "??";  // a surrogate pair: two units, neither in the code page
    return;
  }
  out += ToAnsi(codePoint);
}

std::string FromUtf16(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    auto unit = static_cast<char32_t>(static_cast<unsigned char>(bytes[i]) |
                                      (static_cast<unsigned char>(bytes[i + 1]) << 8));
    out += ToAnsi(unit);
  }
  return out;
}

std::string FromUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    auto lead = static_cast<unsigned char>(bytes[i]);
    int extra = lead < 0x80           ? 0
                : (lead >> 5) == 0x6  ? 1
                : (lead >> 4) == 0xE  ? 2
                : (lead >> 3) == 0x1E ? 3
                                      : -1;
    char32_t codePoint = extra == 0   ? lead
                         : extra == 1 ? lead & 0x1F
                         : extra == 2 ? lead & 0x0F
                                      : lead & 0x07;
    bool valid = extra >= 0 && i + extra < bytes.size();
    for (int k = 1; valid && k <= extra; ++k) {
      auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) valid = false;
      codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (!valid) {
      out += '?';
      ++i;
      continue;
    }
    AppendAnsi(out, codePoint);
    i += extra + 1;
  }
  return out;
}

// The file's text in the ANSI code page, up to its end-of-file mark.
std::string AnsiText(std::string_view bytes) {
  std::string text;
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
    text = FromUtf16(bytes.substr(2));
  else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF")
    text = FromUtf8(bytes.substr(3));
  else
    text = std::string(bytes);
  std::size_t end = text.find_first_of(std::string_view("\x1A\0", 2));
  if (end != std::string::npos) text.resize(end);
  return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::size_t SkipBlanks(std::string_view line, std::size_t at) {
  while (at < line.size() && IsBlank(line[at])) ++at;
  return at;
}

// The physical lines of the text, numbered from 1.
class Lines {
 public:
  explicit Lines(std::string_view text) : m_text(text) {}
  bool Next(std::string_view& line) {
    if (m_done) return false;
    std::size_t end = m_text.find('\n', m_at);
    if (end == std::string_view::npos) {
      line = m_text.substr(m_at);
      m_done = true;
    } else {
      line = m_text.substr(m_at, end - m_at);
      m_at = end + 1;
    }
    ++m_number;
    return true;
  }
  UINT Number() const { return m_number; }

 private:
  std::string_view m_text;
  std::size_t m_at = 0;
  UINT m_number = 0;
  bool m_done = false;
};

// A backslash at `at` continues the line when nothing but blanks or a
// comment follows it.
bool ContinuesLine(std::string_view line, std::size_t at) {
  std::size_t next = SkipBlanks(line, at + 1);
  return next == line.size() || line[next] == ';';
}

void Append(std::string& field, std::string_view text) {
  if (field.size() < kMaxField) field.append(text.substr(0, kMaxField - field.size()));
}

// One entry: the key, if any, and its fields. The entry starts at `at` on
// `line`; a continued entry takes further lines from `lines`.
Line ReadEntry(std::string_view line, std::size_t at, Lines& lines) {
  std::vector<std::string> fields(1);
  std::string pending;   // blanks that count only if more of the field follows
  bool started = false;  // the current field has content (quoted or not)
  bool equals = false;
  std::string key;
  auto newField = [&] {
    fields.emplace_back();
    pending.clear();
    started = false;
  };
  while (at < line.size()) {
    char c = line[at];
    if (c == '"') {
      Append(fields.back(), pending);
      pending.clear();
      started = true;
      ++at;
      while (at < line.size()) {  // an unterminated quote ends with the line
        if (line[at] == '"') {
          if (at + 1 < line.size() && line[at + 1] == '"') {
            Append(fields.back(), "\"");
            at += 2;
            continue;
          }
          ++at;
          break;
        }
        Append(fields.back(), line.substr(at, 1));
        ++at;
      }
    } else if (c == ',') {
      newField();
      ++at;
    } else if (c == '=' && !equals && fields.size() == 1) {
      equals = true;
      key = std::move(fields.back());
      fields.back().clear();
      pending.clear();
      started = false;
      ++at;
    } else if (c == ';') {
      break;
    } else if (c == '\\' && ContinuesLine(line, at)) {
      pending.clear();
      if (!lines.Next(line)) break;
      at = SkipBlanks(line, 0);
    } else if (IsBlank(c)) {
      if (started) pending += c;
      ++at;
    } else {
      Append(fields.back(), pending);
      pending.clear();
      Append(fields.back(), line.substr(at, 1));
      started = true;
      ++at;
    }
  }
  Line entry;
  if (equals) {
    entry.hasKey = true;
    entry.key = std::move(key);
  } else if (fields.size() == 1) {
    entry.hasKey = true;  // a lone value is its own key
    entry.key = fields.front();
  }
  entry.fields = std::move(fields);
  return entry;
}

using Strings = std::unordered_map<std::string, std::string>;

// Replaces `%key%` with its [Strings] value and `%%` with '%'; an unknown
// key and an unpaired '%' stay as written.
std::string Substitute(const std::string& text, const Strings& strings) {
  if (text.find('%') == std::string::npos) return text;
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t open = text.find('%', at);
    if (open == std::string::npos) {
      out.append(text, at, std::string::npos);
      break;
    }
    out.append(text, at, open - at);
    std::size_t close = text.find('%', open + 1);
    if (close == std::string::npos) {
      out.append(text, open, std::string::npos);
      break;
    }
    if (close == open + 1) {
      out += '%';
    } else {
      auto found = strings.find(Fold(std::string_view(text).substr(open + 1, close - open - 1)));
      if (found != strings.end())
        out += found->second;
      else
        out.append(text, open, close - open + 1);
    }
    at = close + 1;
  }
  if (out.size() > kMaxField) out.resize(kMaxField);
  return out;
}

void SubstituteStrings(File& file) {
  int stringsIndex = file.IndexOf("Strings");
  Strings strings;
  if (stringsIndex >= 0) {
    for (const Line& line : file.sections[stringsIndex].lines)
      if (line.hasKey)  // the first definition of a key counts
        strings.try_emplace(Fold(line.key), line.fields.front().substr(0, kMaxStringValue));
  }
  for (int i = 0; i < static_cast<int>(file.sections.size()); ++i) {
    if (i == stringsIndex) continue;
    for (Line& line : file.sections[i].lines) {
      line.key = Substitute(line.key, strings);
      for (std::string& field : line.fields) field = Substitute(field, strings);
    }
  }
}

}  // namespace

std::string Fold(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    auto b = static_cast<unsigned char>(c);
    if ((b >= 'a' && b <= 'z') || (b >= 0xE0 && b <= 0xFE && b != 0xF7))
      b -= 0x20;
    else if (b == 0x9A || b == 0x9C || b == 0x9E)
      b -= 0x10;
    else if (b == 0xFF)
      b = 0x9F;
    c = static_cast<char>(b);
  }
  return out;
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && Fold(a) == Fold(b);
}

int File::IndexOf(std::string_view name) const {
  auto found = m_index.find(Fold(name));
  return found == m_index.end() ? -1 : found->second;
}

const Section* File::Find(std::string_view name) const {
  int index = IndexOf(name);
  return index < 0 ? nullptr : &sections[index];
}

const Line* File::FindLine(const Section& section, std::string_view key) {
  std::string folded = Fold(key);
  for (const Line& line : section.lines)
    if (line.hasKey && line.key.size() == folded.size() && Fold(line.key) == folded) return &line;
  return nullptr;
}

int File::Add(std::string_view name) {
  auto [it, added] = m_index.try_emplace(Fold(name), static_cast<int>(sections.size()));
  if (added) sections.push_back(Section{std::string(name), {}});
  return it->second;
}

ParseResult Parse(std::string_view bytes) {
  ParseResult result;
  std::string text = AnsiText(bytes);
  Lines lines(text);
  int current = -1;
  auto fail = [&](DWORD error) {
    result.error = error;
    result.errorLine = lines.Number();
    result.file = File();
    return std::move(result);
  };
  std::string_view line;
  while (lines.Next(line)) {
    std::size_t at = SkipBlanks(line, 0);
    if (at == line.size() || line[at] == ';') continue;
    if (line[at] == '[') {
      // The name runs to the first ']'; the rest of the line is ignored.
      std::size_t close = line.find(']', at + 1);
      if (close == std::string_view::npos) return fail(ERROR_BAD_SECTION_NAME_LINE);
      std::string_view name = line.substr(at + 1, close - at - 1);
      if (name.size() > kMaxSectionName) return fail(ERROR_SECTION_NAME_TOO_LONG);
      current = result.file.Add(name);
      continue;
    }
    if (current < 0) return fail(ERROR_EXPECTED_SECTION_NAME);
    Line entry = ReadEntry(line, at, lines);
    result.file.sections[current].lines.push_back(std::move(entry));
  }
  SubstituteStrings(result.file);
  return result;
}

}  // namespace sim::inf
