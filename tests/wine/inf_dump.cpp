#include "inf_dump.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

namespace infdump {
namespace {

// Stands in the last error before each call and in each size before a
// call can report it, so that a value the call left alone shows as such.
constexpr DWORD kUntouched = 0xFEEDFACEu;
// More than any INF of the corpus needs; a size beyond it is not allocated.
constexpr DWORD kLargestBuffer = 1u << 20;

std::string Hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
  return text;
}

std::string Size(DWORD value) { return value == kUntouched ? "untouched" : std::to_string(value); }

std::uint32_t Fnv1a(std::string_view text) {
  std::uint32_t hash = 2166136261u;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

std::string Escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\' || c == '|') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7F) {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02X", byte);
      out += code;
    } else {
      out += c;
    }
  }
  return out;
}

// A string as the dump shows it; a long one by its ends, length and hash.
std::string Quote(std::string_view text) {
  std::string out = "\"";
  if (text.size() <= 80) {
    out.append(Escape(text)).append("\"");
    return out;
  }
  char tail[48];
  std::snprintf(tail, sizeof tail, "\" (%u chars, fnv %08X)", static_cast<unsigned>(text.size()),
                static_cast<unsigned>(Fnv1a(text)));
  out.append(Escape(text.substr(0, 32))).append("\"...\"");
  out.append(Escape(text.substr(text.size() - 16))).append(tail);
  return out;
}

class Dump {
 public:
  Dump(platform::ISetupApi& setup, platform::IThreadError& error, const TargetPlatform& target)
      : m_setup(setup), m_error(error), m_platform(target) {}

  std::string out;

  void Line(const std::string& text) {
    out += text;
    out += '\n';
  }
  void BeforeCall() { m_error.SetLastError(kUntouched); }
  std::string Failed() { return "FAIL error=" + Hex(m_error.GetLastError()); }

  // A text read into `buffer`: what came back, or the failure.
  std::string Text(BOOL ok, const char* buffer, DWORD required) {
    std::string size = " required=" + Size(required);
    if (!ok) return Failed() + size;
    return "ok " + Quote(buffer) + size;
  }

  // SetupGetLineTextA by section and key into a buffer of `size`.
  std::string TextOf(HINF inf, const char* section, const char* key, DWORD size) {
    std::vector<char> buffer(size + 1, '\0');
    DWORD required = kUntouched;
    BeforeCall();
    BOOL ok = m_setup.SetupGetLineTextA(nullptr, inf, section, key, size ? buffer.data() : nullptr,
                                        size, &required);
    if (ok && size == 0) return "ok required=" + Size(required);
    return Text(ok, buffer.data(), required);
  }

  void Walk(HINF inf) {
    // The reader reads DriverVer straight into its 255-character field.
    Line("DriverVer: " + TextOf(inf, "Version", "DriverVer", 255));

    BeforeCall();
    if (!m_setup.SetupFindFirstLineA(inf, "Manufacturer", nullptr, &m_manufacturer)) {
      Line("Manufacturer first line: " + Failed());
      return;
    }
    m_haveManufacturer = true;
    Line("Manufacturer first line: ok");
    DWORD size = kUntouched;
    BeforeCall();
    BOOL ok =
        m_setup.SetupGetLineTextA(&m_manufacturer, nullptr, nullptr, nullptr, nullptr, 0, &size);
    Line("Manufacturer size: " + std::string(ok ? "ok" : Failed()) + " required=" + Size(size));
    if (size == kUntouched || size == 0 || size > kLargestBuffer) return;
    std::vector<char> name(size, '\0');
    DWORD filled = kUntouched;
    BeforeCall();
    ok = m_setup.SetupGetLineTextA(&m_manufacturer, nullptr, nullptr, nullptr, name.data(), size,
                                   &filled);
    Line("Manufacturer text: " + Text(ok, name.data(), filled));
    if (!ok) return;

    BeforeCall();
    LONG count = m_setup.SetupGetLineCountA(inf, name.data());
    Line("count " + Quote(name.data()) + ": " + std::to_string(count) +
         (count < 0 ? " " + Failed() : ""));
    if (count > 0) Models(inf, name.data(), count, "");
    if (std::string_view(name.data()).find(',') != std::string_view::npos)
      DecoratedModels(inf, Fields(m_manufacturer, "Manufacturer "));
  }

  // A Manufacturer line of several fields: the base name and each of its
  // decorated models sections, and the one the reader takes.
  void DecoratedModels(HINF inf, const std::vector<std::string>& fields) {
    if (fields.size() < 2) return;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      std::string section = i == 0 ? fields[0] : fields[0] + "." + fields[i];
      BeforeCall();
      LONG count = m_setup.SetupGetLineCountA(inf, section.c_str());
      Line("decorated count " + Quote(section) + ": " + std::to_string(count) +
           (count < 0 ? " " + Failed() : ""));
      if (count > 0) Models(inf, section.c_str(), count, "[" + section + "] ");
    }
    std::optional<std::string> chosen = ChooseModelsSection(fields, m_platform);
    Line(std::string("models section for ") + m_platform.architecture + " " +
         std::to_string(m_platform.major) + "." + std::to_string(m_platform.minor) + "." +
         std::to_string(m_platform.build) + ": " + (chosen ? Quote(*chosen) : "none"));
  }

  void Models(HINF inf, const char* section, LONG count, const std::string& prefix) {
    INFCONTEXT line = {};
    BeforeCall();
    if (!m_setup.SetupFindFirstLineA(inf, section, nullptr, &line)) {
      Line(prefix + "first model line: " + Failed());
      return;
    }
    for (LONG i = 1;; ++i) {
      ModelLine(inf, line, prefix + std::to_string(i));
      BeforeCall();
      BOOL next = m_setup.SetupFindNextLine(&line, &line);
      std::string head = prefix + "next after line " + std::to_string(i) + ": ";
      if (!next) {
        Line(head + Failed());
        break;
      }
      if (i >= count) {
        Line(head + "ok, beyond the line count");
        break;
      }
    }
  }

  // Reads a list of strings from field 1 of `line`, size first, then fill.
  std::vector<std::string> Fields(const INFCONTEXT& line, const std::string& head) {
    DWORD size = kUntouched;
    BeforeCall();
    BOOL ok = m_setup.SetupGetMultiSzFieldA(&line, 1, nullptr, 0, &size);
    if (!ok || size == kUntouched || size == 0 || size > kLargestBuffer) {
      Line(head + "fields size: " + std::string(ok ? "ok" : Failed()) + " required=" + Size(size));
      return {};
    }
    std::vector<char> list(size, '\x7F');
    DWORD filled = kUntouched;
    BeforeCall();
    if (!m_setup.SetupGetMultiSzFieldA(&line, 1, list.data(), size, &filled)) {
      Line(head + "fields: " + Failed() + " required=" + Size(filled));
      return {};
    }
    std::vector<std::string> strings;
    std::string shown;
    std::size_t at = 0;
    while (at < size && list[at] != '\0') {
      std::string_view rest(list.data() + at, size - at);
      std::string text(rest.substr(0, rest.find('\0')));
      if (!shown.empty()) shown += '|';
      shown += Quote(text);
      strings.push_back(text);
      at += text.size() + 1;
    }
    std::string layout = at == size - 1 ? "" : " (not ended by an empty string at its end)";
    Line(head + "fields required=" + Size(size) + " filled=" + Size(filled) + " [" + shown + "]" +
         layout);
    return strings;
  }

  void ModelLine(HINF inf, const INFCONTEXT& line, const std::string& number) {
    std::string head = "line " + number + ": ";
    std::vector<std::string> strings = Fields(line, head);
    std::string install = ActualSection(inf, strings.empty() ? "" : strings.front(), head);
    // The reader's lookups use 260-character buffers.
    std::vector<char> data(260, '\0');
    DWORD required = kUntouched;
    BeforeCall();
    BOOL ok = m_setup.SetupGetLineTextA(nullptr, inf, install.c_str(), "DataSection", data.data(),
                                        260, &required);
    Line(head + "DataSection in " + Quote(install) + ": " + Text(ok, data.data(), required));
    if (ok)
      Line(head + "LanguageMonitor in " + Quote(data.data()) + ": " +
           TextOf(inf, data.data(), "LanguageMonitor", 260));
    Line(head + "own LanguageMonitor of " + Quote(install) + ": " +
         TextOf(inf, install.c_str(), "LanguageMonitor", 260));
  }

  // The install section for this platform: its size, a buffer one too
  // small, then the name; `install` itself when that fails.
  std::string ActualSection(HINF inf, const std::string& install, const std::string& head) {
    // As the reader: Wine overruns its buffer for longer names.
    if (install.size() > MAX_PATH - sizeof(".NTamd64")) {
      Line(head + "actual section of " + Quote(install) + ": not asked");
      return install;
    }
    DWORD size = kUntouched;
    BeforeCall();
    BOOL ok =
        m_setup.SetupDiGetActualSectionToInstallA(inf, install.c_str(), nullptr, 0, &size, nullptr);
    std::string shown = head + "actual section of " + Quote(install) + ": ";
    if (!ok || size == kUntouched || size == 0 || size > kLargestBuffer) {
      Line(shown + "size " + std::string(ok ? "ok" : Failed()) + " required=" + Size(size));
      return install;
    }
    if (size > 1) {
      std::vector<char> small(size - 1, '\0');
      DWORD required = kUntouched;
      BeforeCall();
      ok = m_setup.SetupDiGetActualSectionToInstallA(inf, install.c_str(), small.data(), size - 1,
                                                     &required, nullptr);
      Line(shown + "in " + std::to_string(size - 1) + " " + std::string(ok ? "ok" : Failed()) +
           " required=" + Size(required));
    }
    std::vector<char> name(size, '\x7F');
    DWORD required = kUntouched;
    char* extension = nullptr;
    BeforeCall();
    ok = m_setup.SetupDiGetActualSectionToInstallA(inf, install.c_str(), name.data(), size,
                                                   &required, &extension);
    if (!ok) {
      Line(shown + Failed() + " required=" + Size(required));
      return install;
    }
    std::string at = extension == nullptr ? "none" : std::to_string(extension - name.data());
    Line(shown + "ok " + Quote(name.data()) + " required=" + Size(required) + " extension at " +
         at);
    return name.data();
  }

  void Probes(HINF inf) {
    const char* none = "No Such Section";
    BeforeCall();
    LONG count = m_setup.SetupGetLineCountA(inf, none);
    Line("probe count " + Quote(none) + ": " + std::to_string(count) +
         (count < 0 ? " " + Failed() : ""));
    INFCONTEXT context = {};
    BeforeCall();
    BOOL ok = m_setup.SetupFindFirstLineA(inf, none, nullptr, &context);
    Line("probe first line of " + Quote(none) + ": " + (ok ? "ok" : Failed()));
    Line("probe text of " + Quote(none) + " DriverVer: " + TextOf(inf, none, "DriverVer", 260));

    // Size, then a buffer one too small, then one just large enough; names
    // in another case than the file's.
    std::string query = TextOf(inf, "version", "SIGNATURE", 0);
    Line("probe signature size: " + query);
    DWORD size = kUntouched;
    BeforeCall();
    m_setup.SetupGetLineTextA(nullptr, inf, "version", "SIGNATURE", nullptr, 0, &size);
    if (size != kUntouched && size > 0 && size < kLargestBuffer) {
      Line("probe signature in " + std::to_string(size - 1) + ": " +
           TextOf(inf, "version", "SIGNATURE", size - 1));
      Line("probe signature in " + std::to_string(size) + ": " +
           TextOf(inf, "version", "SIGNATURE", size));
    }

    BeforeCall();
    count = m_setup.SetupGetLineCountA(inf, "Version");
    Line("probe count \"Version\": " + std::to_string(count) + (count < 0 ? " " + Failed() : ""));
    BeforeCall();
    if (m_setup.SetupFindFirstLineA(inf, "Version", nullptr, &context)) {
      int lines = 1;
      BeforeCall();
      while (m_setup.SetupFindNextLine(&context, &context)) {
        ++lines;
        BeforeCall();
      }
      Line("probe lines of \"Version\" by next: " + std::to_string(lines) + ", then " + Failed());
    }
    BeforeCall();
    count = m_setup.SetupGetLineCountA(inf, "Manufacturer");
    Line("probe count \"Manufacturer\": " + std::to_string(count) +
         (count < 0 ? " " + Failed() : ""));
    if (m_haveManufacturer) ManufacturerProbes();
  }

  void ManufacturerProbes() {
    char buffer[8] = {};
    DWORD required = kUntouched;
    BeforeCall();
    BOOL ok = m_setup.SetupGetMultiSzFieldA(&m_manufacturer, 99, buffer, sizeof buffer, &required);
    Line("probe manufacturer fields from 99: " + std::string(ok ? "ok" : Failed()) +
         " required=" + Size(required));
    DWORD size = kUntouched;
    BeforeCall();
    m_setup.SetupGetMultiSzFieldA(&m_manufacturer, 1, nullptr, 0, &size);
    if (size == kUntouched || size == 0 || size > kLargestBuffer) return;
    std::vector<char> list(size, '\0');
    required = kUntouched;
    BeforeCall();
    ok = m_setup.SetupGetMultiSzFieldA(&m_manufacturer, 1, list.data(), size - 1, &required);
    Line("probe manufacturer fields in " + std::to_string(size - 1) + ": " +
         std::string(ok ? "ok" : Failed()) + " required=" + Size(required));
  }

 private:
  platform::ISetupApi& m_setup;
  platform::IThreadError& m_error;
  TargetPlatform m_platform;
  INFCONTEXT m_manufacturer = {};
  bool m_haveManufacturer = false;
};

}  // namespace

std::string DumpInf(platform::ISetupApi& setup, platform::IThreadError& error,
                    const TargetPlatform& target, const std::string& path, const char* infClass) {
  Dump dump(setup, error, target);
  std::string named = infClass != nullptr ? Quote(infClass) : "NULL";
  UINT errorLine = 0;
  dump.BeforeCall();
  HINF inf = setup.SetupOpenInfFileA(path.c_str(), infClass, INF_STYLE_WIN4, &errorLine);
  if (inf == INVALID_HANDLE_VALUE) {
    dump.Line("open class " + named + ": " + dump.Failed() + " line=" + std::to_string(errorLine));
    if (infClass == nullptr) return dump.out;
    errorLine = 0;
    dump.BeforeCall();
    inf = setup.SetupOpenInfFileA(path.c_str(), nullptr, INF_STYLE_WIN4, &errorLine);
    if (inf == INVALID_HANDLE_VALUE) {
      dump.Line("open class NULL: " + dump.Failed() + " line=" + std::to_string(errorLine));
      return dump.out;
    }
    dump.Line("open class NULL: ok");
  } else {
    dump.Line("open class " + named + ": ok");
  }
  dump.Walk(inf);
  dump.Probes(inf);
  setup.SetupCloseInfFile(inf);
  return dump.out;
}

std::string DumpSystemVersion(platform::ISystemVersion& system, platform::IThreadError& error,
                              bool x64Program, TargetPlatform* target) {
  std::string out;
  OSVERSIONINFOEXA ex = {};
  ex.dwOSVersionInfoSize = sizeof ex;
  error.SetLastError(kUntouched);
  if (system.GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex))) {
    out += "version: " + std::to_string(ex.dwMajorVersion) + "." +
           std::to_string(ex.dwMinorVersion) + "." + std::to_string(ex.dwBuildNumber) +
           " platform " + std::to_string(ex.dwPlatformId) + " " + Quote(ex.szCSDVersion) +
           " service pack " + std::to_string(ex.wServicePackMajor) + "." +
           std::to_string(ex.wServicePackMinor) + " suite " + Hex(ex.wSuiteMask) + " product " +
           std::to_string(ex.wProductType) + "\n";
    *target = {x64Program ? "amd64" : "x86",
               ex.dwMajorVersion,
               ex.dwMinorVersion,
               ex.dwBuildNumber,
               ex.wProductType,
               ex.wSuiteMask};
  } else {
    out += "version: FAIL error=" + Hex(error.GetLastError()) + "\n";
    *target = {x64Program ? "amd64" : "x86"};
  }
  OSVERSIONINFOA plain = {};
  for (DWORD size : {DWORD{sizeof plain}, DWORD{sizeof plain - 1}}) {
    plain = {};
    plain.dwOSVersionInfoSize = size;
    error.SetLastError(kUntouched);
    BOOL ok = system.GetVersionExA(&plain);
    out += "version in " + std::to_string(size) + ": " +
           (ok ? "ok " + std::to_string(plain.dwMajorVersion) + "." +
                     std::to_string(plain.dwMinorVersion)
               : "FAIL error=" + Hex(error.GetLastError())) +
           "\n";
  }
  return out;
}

std::string DumpMessageTexts(platform::IMessages& messages, platform::IThreadError& error) {
  std::string out;
  for (DWORD code : {DWORD{ERROR_FILE_NOT_FOUND}, DWORD{ERROR_EXPECTED_SECTION_NAME},
                     DWORD{ERROR_BAD_SECTION_NAME_LINE}, DWORD{ERROR_SECTION_NAME_TOO_LONG},
                     DWORD{ERROR_WRONG_INF_STYLE}, DWORD{ERROR_SECTION_NOT_FOUND},
                     DWORD{ERROR_LINE_NOT_FOUND}, DWORD{ERROR_CLASS_MISMATCH}}) {
    char* text = nullptr;
    error.SetLastError(kUntouched);
    DWORD length = messages.FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0,
        nullptr);
    out += "message " + Hex(code) + ": ";
    if (length == 0 || text == nullptr)
      out += "none, error=" + Hex(error.GetLastError());
    else
      out += Quote(std::string_view(text, length));
    out += '\n';
    if (text != nullptr) messages.LocalFree(text);
  }
  return out;
}

}  // namespace infdump
