#include "catalogue/models_section.h"

#include <array>
#include <cctype>
#include <charconv>
#include <string_view>
#include <tuple>

namespace {

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// A number as INFs write them: decimal, or hexadecimal after "0x".
std::optional<DWORD> Number(std::string_view text) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  DWORD value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

struct Decoration {
  std::string_view architecture;
  // major, minor, product type, suite mask, build number; unset when empty
  std::array<std::optional<DWORD>, 5> parts;
};
enum { kMajor, kMinor, kProductType, kSuiteMask, kBuild };

// Nothing for a text that is no TargetOSVersion decoration.
std::optional<Decoration> Parse(std::string_view text) {
  if (text.size() < 2 || !SameText(text.substr(0, 2), "NT")) return std::nullopt;
  text.remove_prefix(2);
  Decoration decoration;
  std::size_t dot = text.find('.');
  decoration.architecture = text.substr(0, dot);
  std::size_t part = 0;
  while (dot != std::string_view::npos) {
    if (part == decoration.parts.size()) return std::nullopt;
    text.remove_prefix(dot + 1);
    dot = text.find('.');
    std::string_view field = text.substr(0, dot);
    if (!field.empty()) {
      decoration.parts[part] = Number(field);
      if (!decoration.parts[part]) return std::nullopt;
    }
    ++part;
  }
  return decoration;
}

bool Qualifies(const Decoration& d, const TargetPlatform& platform) {
  if (!d.architecture.empty() && !SameText(d.architecture, platform.architecture)) return false;
  auto given = [&](int part) { return d.parts[part].value_or(0); };
  if (std::make_tuple(given(kMajor), given(kMinor), given(kBuild)) >
      std::make_tuple(platform.major, platform.minor, platform.build))
    return false;
  if (d.parts[kProductType] && *d.parts[kProductType] != platform.productType) return false;
  if (d.parts[kSuiteMask] && (platform.suiteMask & *d.parts[kSuiteMask]) != *d.parts[kSuiteMask])
    return false;
  return true;
}

// Larger is better.
auto Rank(const Decoration& d) {
  auto given = [&](int part) { return d.parts[part].value_or(0); };
  int specific = (d.parts[kProductType] ? 1 : 0) + (d.parts[kSuiteMask] ? 1 : 0);
  return std::make_tuple(given(kMajor), given(kMinor), given(kBuild), !d.architecture.empty(),
                         specific);
}

}  // namespace

std::optional<std::string> ChooseModelsSection(const std::vector<std::string>& fields,
                                               const TargetPlatform& platform,
                                               ArchitectureNamed architecture) {
  bool named = architecture == ArchitectureNamed::kRequired;
  if (fields.empty()) return std::nullopt;
  const std::string& base = fields.front();
  const std::string* best = nullptr;
  decltype(Rank(Decoration{})) bestRank{};
  for (std::size_t i = 1; i < fields.size(); ++i) {
    std::optional<Decoration> decoration = Parse(fields[i]);
    if (!decoration || !Qualifies(*decoration, platform)) continue;
    if (named && decoration->architecture.empty()) continue;
    auto rank = Rank(*decoration);
    if (best == nullptr || rank > bestRank) {
      best = &fields[i];
      bestRank = rank;
    }
  }
  if (best != nullptr) return base + "." + *best;
  if (!named && SameText(platform.architecture, "x86")) return base;
  return std::nullopt;
}
