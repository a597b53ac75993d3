#include "platform/sim/sim_setup_api.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>

#include "platform/sim/sim_machine.h"

namespace fs = std::filesystem;

namespace sim {
namespace {

// Install classes by GUID, for an INF that names its class only by GUID.
// Windows looks them up under the Class key of the registry; these are the
// ones a printer package meets.
constexpr struct {
  const char* guid;
  const char* name;
} kClassGuids[] = {
    {"{4D36E979-E325-11CE-BFC1-08002BE10318}", "Printer"},
    {"{1ED2BBF9-11F0-4084-B21F-AD83A8E6DCDC}", "PrintQueue"},
};

// The value of `key` in [Version] (its first field), or nullptr.
const std::string* VersionValue(const inf::File& file, std::string_view section,
                                std::string_view key) {
  const inf::Section* found = file.Find(section);
  if (found == nullptr) return nullptr;
  const inf::Line* line = inf::File::FindLine(*found, key);
  return line != nullptr ? &line->fields.front() : nullptr;
}

bool IsWindows4Style(const inf::File& file) {
  const std::string* signature = VersionValue(file, "Version", "Signature");
  if (signature == nullptr) return false;
  for (const char* known : {"$Windows NT$", "$Chicago$", "$Windows 95$"})
    if (inf::SameName(*signature, known)) return true;
  return false;
}

// The INF's install class: [Version] Class, else the class its ClassGUID
// names; an old-style INF gives it as [Identification] OptionType.
std::string InstallClass(const inf::File& file, bool windows4) {
  if (!windows4) {
    const std::string* optionType = VersionValue(file, "Identification", "OptionType");
    return optionType != nullptr ? *optionType : "";
  }
  if (const std::string* name = VersionValue(file, "Version", "Class")) return *name;
  if (const std::string* guid = VersionValue(file, "Version", "ClassGUID"))
    for (const auto& known : kClassGuids)
      if (inf::SameName(*guid, known.guid)) return known.name;
  return "";
}

DWORD CheckStyleAndClass(const inf::File& file, LPCSTR infClass, DWORD style) {
  bool windows4 = IsWindows4Style(file);
  if ((style & (windows4 ? INF_STYLE_WIN4 : INF_STYLE_OLDNT)) == 0) return ERROR_WRONG_INF_STYLE;
  if (infClass == nullptr) return ERROR_SUCCESS;
  return inf::SameName(InstallClass(file, windows4), infClass) ? ERROR_SUCCESS
                                                               : ERROR_CLASS_MISMATCH;
}

std::string JoinedFields(const inf::Line& line) {
  std::string text;
  for (const std::string& field : line.fields) {
    if (&field != &line.fields.front()) text += ',';
    text += field;
  }
  return text;
}

}  // namespace

// ---------------------------------------------------------------- plumbing
const inf::File* SimSetupApi::Lookup(HINF handle) {
  auto found = m_infs.find(reinterpret_cast<std::uintptr_t>(handle));
  if (found == m_infs.end()) {
    ++m_machine.badHandleUses;
    m_machine.SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return found->second.get();
}

const inf::Line* SimSetupApi::LineAt(const INFCONTEXT* context) {
  if (context == nullptr) {
    m_machine.SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const inf::File* file = Lookup(context->Inf);
  if (file == nullptr) return nullptr;
  if (context->Section >= file->sections.size() ||
      context->Line >= file->sections[context->Section].lines.size()) {
    m_machine.SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return &file->sections[context->Section].lines[context->Line];
}

bool SimSetupApi::FindFirst(HINF handle, LPCSTR section, LPCSTR key, INFCONTEXT& context) {
  const inf::File* file = Lookup(handle);
  if (file == nullptr) return false;
  // A missing section and a missing line are the same error here.
  int index = section != nullptr ? file->IndexOf(section) : -1;
  if (index >= 0) {
    const inf::Section& found = file->sections[index];
    const inf::Line* line = nullptr;
    if (key == nullptr)
      line = found.lines.empty() ? nullptr : &found.lines.front();
    else
      line = inf::File::FindLine(found, key);
    if (line != nullptr) {
      context.Inf = handle;
      context.CurrentInf = handle;
      context.Section = static_cast<UINT>(index);
      context.Line = static_cast<UINT>(line - found.lines.data());
      m_machine.SetLastError(ERROR_SUCCESS);
      return true;
    }
  }
  m_machine.SetLastError(ERROR_LINE_NOT_FOUND);
  return false;
}

// Reads an INF named as SetupOpenInfFileA takes it: a name without a path is
// looked for in the Windows INF folder, then in System32.
bool SimSetupApi::ReadFile(const std::string& name, std::string& bytes) {
  std::string path = name;
  if (name.find_first_of("\\/") == std::string::npos) {
    char windows[MAX_PATH] = {};
    UINT length = m_machine.GetWindowsDirectoryA(windows, MAX_PATH);
    path.clear();
    for (const char* folder : {"\\inf\\", "\\system32\\"}) {
      std::string candidate = std::string(windows, length) + folder + name;
      std::error_code ec;
      if (length > 0 && length < MAX_PATH &&
          fs::is_regular_file(m_machine.HostPath(candidate), ec)) {
        path = candidate;
        break;
      }
    }
    if (path.empty()) {
      m_machine.SetLastError(ERROR_FILE_NOT_FOUND);
      return false;
    }
  }
  fs::path host = m_machine.HostPath(path);
  std::error_code ec;
  if (fs::is_directory(host, ec)) {
    m_machine.SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (!fs::is_regular_file(host, ec)) {
    bool folder = fs::is_directory(host.parent_path(), ec);
    m_machine.SetLastError(folder ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND);
    return false;
  }
  std::ifstream in(host, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  bytes = content.str();
  return true;
}

// The size-then-fill protocol: `data` (terminators included) goes to the
// buffer if it fits; the size it needs is reported either way.
BOOL SimSetupApi::Deliver(const std::string& data, LPSTR buffer, DWORD size, DWORD* required) {
  auto needed = static_cast<DWORD>(data.size());
  if (required != nullptr) *required = needed;
  if (buffer == nullptr) return TRUE;
  if (size < needed) {
    m_machine.SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(buffer, data.data(), needed);
  return TRUE;
}

// ---------------------------------------------------------------- ISetupApi
HINF SimSetupApi::SetupOpenInfFileA(LPCSTR FileName, LPCSTR InfClass, DWORD InfStyle,
                                    UINT* ErrorLine) {
  if (m_machine.Enter("SetupOpenInfFileA")) return INVALID_HANDLE_VALUE;
  std::string bytes;
  if (FileName == nullptr) {
    m_machine.SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (!ReadFile(FileName, bytes)) return INVALID_HANDLE_VALUE;
  if (bytes.empty()) {
    m_machine.SetLastError(ERROR_FILE_INVALID);  // an empty file cannot be mapped
    return INVALID_HANDLE_VALUE;
  }
  inf::ParseResult parsed = inf::Parse(bytes);
  DWORD error = parsed.error;
  if (error == ERROR_SUCCESS) error = CheckStyleAndClass(parsed.file, InfClass, InfStyle);
  if (error != ERROR_SUCCESS) {
    if (ErrorLine != nullptr) *ErrorLine = parsed.errorLine;
    m_machine.SetLastError(error);
    return INVALID_HANDLE_VALUE;
  }
  std::uintptr_t id = m_nextHandle;
  m_nextHandle += 4;
  m_infs[id] = std::make_unique<inf::File>(std::move(parsed.file));
  m_machine.SetLastError(ERROR_SUCCESS);
  return reinterpret_cast<HINF>(id);
}

void SimSetupApi::SetupCloseInfFile(HINF InfHandle) {
  m_machine.Enter("SetupCloseInfFile");  // it has no result to fail with
  if (Lookup(InfHandle) != nullptr) m_infs.erase(reinterpret_cast<std::uintptr_t>(InfHandle));
}

BOOL SimSetupApi::SetupFindFirstLineA(HINF InfHandle, LPCSTR Section, LPCSTR Key,
                                      INFCONTEXT* Context) {
  if (m_machine.Enter("SetupFindFirstLineA")) return FALSE;
  INFCONTEXT found = {};
  if (!FindFirst(InfHandle, Section, Key, found)) return FALSE;
  *Context = found;
  return TRUE;
}

BOOL SimSetupApi::SetupFindNextLine(const INFCONTEXT* ContextIn, INFCONTEXT* ContextOut) {
  if (m_machine.Enter("SetupFindNextLine")) return FALSE;
  if (LineAt(ContextIn) == nullptr) return FALSE;
  const inf::Section& section =
      m_infs.at(reinterpret_cast<std::uintptr_t>(ContextIn->Inf))->sections[ContextIn->Section];
  if (ContextIn->Line + 1 >= section.lines.size()) {
    m_machine.SetLastError(ERROR_LINE_NOT_FOUND);
    return FALSE;
  }
  INFCONTEXT next = *ContextIn;
  ++next.Line;
  *ContextOut = next;
  m_machine.SetLastError(ERROR_SUCCESS);
  return TRUE;
}

BOOL SimSetupApi::SetupGetLineTextA(const INFCONTEXT* Context, HINF InfHandle, LPCSTR Section,
                                    LPCSTR Key, LPSTR ReturnBuffer, DWORD ReturnBufferSize,
                                    DWORD* RequiredSize) {
  if (m_machine.Enter("SetupGetLineTextA")) return FALSE;
  INFCONTEXT found = {};
  if (Context == nullptr) {
    if (!FindFirst(InfHandle, Section, Key, found)) return FALSE;
    Context = &found;
  }
  const inf::Line* line = LineAt(Context);
  if (line == nullptr) return FALSE;
  std::string text = JoinedFields(*line);
  text += '\0';
  return Deliver(text, ReturnBuffer, ReturnBufferSize, RequiredSize);
}

LONG SimSetupApi::SetupGetLineCountA(HINF InfHandle, LPCSTR Section) {
  if (m_machine.Enter("SetupGetLineCountA")) return -1;
  const inf::File* file = Lookup(InfHandle);
  if (file == nullptr) return -1;
  const inf::Section* found = Section != nullptr ? file->Find(Section) : nullptr;
  if (found == nullptr) {
    m_machine.SetLastError(ERROR_SECTION_NOT_FOUND);
    return -1;
  }
  m_machine.SetLastError(ERROR_SUCCESS);
  return static_cast<LONG>(found->lines.size());
}

BOOL SimSetupApi::SetupGetMultiSzFieldA(const INFCONTEXT* Context, DWORD FieldIndex,
                                        LPSTR ReturnBuffer, DWORD ReturnBufferSize,
                                        LPDWORD RequiredSize) {
  if (m_machine.Enter("SetupGetMultiSzFieldA")) return FALSE;
  const inf::Line* line = LineAt(Context);
  if (line == nullptr) return FALSE;
  if (FieldIndex == 0 || FieldIndex > line->fields.size()) {
    m_machine.SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The strings run to the end of the line or to the first empty field,
  // which a list of zero-terminated strings cannot hold.
  std::string list;
  for (std::size_t i = FieldIndex - 1; i < line->fields.size() && !line->fields[i].empty(); ++i) {
    list += line->fields[i];
    list += '\0';
  }
  list += '\0';
  return Deliver(list, ReturnBuffer, ReturnBufferSize, RequiredSize);
}

// The platform's own extension, else ".NT", else the name as given. As
// Wine does: a section counts when it exists, even empty; the last error
// tells whether an extension was found; the name is composed in a buffer of
// 256 characters; a buffer too small gets the name's first characters.
BOOL SimSetupApi::SetupDiGetActualSectionToInstallA(HINF InfHandle, LPCSTR InfSectionName,
                                                    LPSTR InfSectionWithExt,
                                                    DWORD InfSectionWithExtSize,
                                                    LPDWORD RequiredSize, LPSTR* Extension) {
  if (m_machine.Enter("SetupDiGetActualSectionToInstallA")) return FALSE;
  const inf::File* file = Lookup(InfHandle);
  if (file == nullptr) return FALSE;
  if (InfSectionName == nullptr) {
    m_machine.SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string name = InfSectionName;
  std::string actual = name;
  bool extended = false;
  for (const char* extension : {m_machine.x64Program ? ".NTamd64" : ".NTx86", ".NT"}) {
    if (file->Find(name + extension) != nullptr) {
      actual = name + extension;
      extended = true;
      break;
    }
  }
  m_machine.SetLastError(extended ? ERROR_SUCCESS : ERROR_SECTION_NOT_FOUND);
  constexpr std::size_t kLineLength = 256;
  if (actual.size() + 1 > kLineLength) {
    m_machine.SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  auto needed = static_cast<DWORD>(actual.size() + 1);
  if (RequiredSize != nullptr) *RequiredSize = needed;
  if (Extension != nullptr)
    *Extension =
        InfSectionWithExt != nullptr && extended ? InfSectionWithExt + name.size() : nullptr;
  if (InfSectionWithExt == nullptr || InfSectionWithExtSize == 0) return TRUE;
  if (InfSectionWithExtSize < needed) {
    std::memcpy(InfSectionWithExt, actual.data(), InfSectionWithExtSize);
    m_machine.SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(InfSectionWithExt, actual.c_str(), needed);
  return TRUE;
}

}  // namespace sim
