#include "engine/trusted_copy.h"

#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/file_links.h"
#include "platform/handles.h"
#include "platform/last_error.h"

namespace {

constexpr char kTemporary[] = ".qvrnew";
constexpr DWORD kMaxFile = 64u << 20;

// SYSTEM and Administrators, by alias or by number.
bool IsAdministrative(const std::string& sid) {
  return sid == "SY" || sid == "BA" || sid == "S-1-5-18" || sid == "S-1-5-32-544";
}

// The access mask of an ACE's rights field; nothing for a right unknown
// here, which then counts as one that changes the folder.
std::optional<DWORD> RightsMask(const std::string& rights) {
  if (rights.rfind("0x", 0) == 0 || rights.rfind("0X", 0) == 0)
    return static_cast<DWORD>(std::strtoul(rights.c_str() + 2, nullptr, 16));
  static const struct {
    char name[3];
    DWORD mask;
  } kRights[] = {{"GA", 0x10000000}, {"GR", 0x80000000}, {"GW", 0x40000000}, {"GX", 0x20000000},
                 {"RC", 0x20000},    {"SD", 0x10000},    {"WD", 0x40000},    {"WO", 0x80000},
                 {"FA", 0x1F01FF},   {"FR", 0x120089},   {"FW", 0x120116},   {"FX", 0x1200A0},
                 {"CC", 0x1},        {"DC", 0x2},        {"LC", 0x4},        {"SW", 0x8},
                 {"RP", 0x10},       {"WP", 0x20},       {"DT", 0x40},       {"LO", 0x80},
                 {"CR", 0x100}};
  DWORD mask = 0;
  for (size_t at = 0; at < rights.size(); at += 2) {
    bool known = false;
    for (const auto& right : kRights)
      if (rights.compare(at, 2, right.name) == 0) {
        mask |= right.mask;
        known = true;
      }
    if (!known) return std::nullopt;
  }
  return mask;
}

// Generic all and write, write DAC and owner, delete; of a file or folder:
// write data or add a file, append or add a folder, write extended
// attributes, delete a child, write attributes.
constexpr DWORD kChanging =
    0x10000000 | 0x40000000 | 0x40000 | 0x80000 | 0x10000 | 0x2 | 0x4 | 0x10 | 0x40 | 0x100;

// The SDDL component that begins with tag ("O:", "D:"), up to the next one.
std::optional<std::string> Component(const std::string& sddl, const char* tag) {
  size_t at = 0;
  int depth = 0;
  for (size_t i = 0; i + 1 < sddl.size(); ++i) {
    if (sddl[i] == '(') ++depth;
    if (sddl[i] == ')') --depth;
    if (depth == 0 && sddl[i + 1] == ':' && (i == 0 || sddl[i - 1] != '-')) {
      if (at != 0) return sddl.substr(at, i - at);
      if (sddl.compare(i, 2, tag) == 0) at = i + 2;
    }
  }
  if (at != 0) return sddl.substr(at);
  return std::nullopt;
}

}  // namespace

std::optional<std::string> TrustedCopyPath(platform::IFiles& files, platform::IThreadError& error,
                                           const std::string& monitor) {
  char folder[MAX_PATH] = {};
  if (files.SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder) !=
      S_OK) {
    error.SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  std::string path = std::string(folder) + "\\" QVR_TRUSTED_FOLDER "\\" + monitor;
  // Room for the temporary name's suffix too.
  if (path.size() + sizeof kTemporary > MAX_PATH) {
    error.SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return std::nullopt;
  }
  return path;
}

bool OnlyAdministratorsCanChange(const std::string& sddl) {
  std::optional<std::string> owner = Component(sddl, "O:");
  std::optional<std::string> dacl = Component(sddl, "D:");
  if (!owner || !IsAdministrative(*owner) || !dacl) return false;
  size_t open = dacl->find('(');
  // No DACL at all lets everyone do everything.
  if (dacl->substr(0, open).find("NO_ACCESS_CONTROL") != std::string::npos) return false;
  while (open != std::string::npos) {
    size_t close = dacl->find(')', open);
    if (close == std::string::npos) return false;
    std::vector<std::string> fields;
    std::string ace = dacl->substr(open + 1, close - open - 1);
    for (size_t start = 0;;) {
      size_t semicolon = ace.find(';', start);
      fields.push_back(ace.substr(start, semicolon - start));
      if (semicolon == std::string::npos) break;
      start = semicolon + 1;
    }
    if (fields.size() < 6) return false;
    // Denials take nothing away from the check; every kind of allowing
    // ACE counts, inherit-only ones too, as they apply to the files in it.
    bool allows = fields[0] == "A" || fields[0] == "OA" || fields[0] == "XA" || fields[0] == "ZA";
    std::optional<DWORD> mask = RightsMask(fields[2]);
    if (allows && !IsAdministrative(fields[5]) && (!mask || (*mask & kChanging) != 0)) return false;
    open = dacl->find('(', close);
  }
  return true;
}

bool ReadWholeFile(platform::IFiles& files, platform::IThreadError& error, HANDLE file,
                   std::string& bytes) {
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!files.GetFileInformationByHandle(file, &info)) return false;
  if (info.nFileSizeHigh != 0 || info.nFileSizeLow > kMaxFile) {
    error.SetLastError(ERROR_FILE_INVALID);
    return false;
  }
  // One byte more than the size: a file that grew is read to its end.
  bytes.assign(info.nFileSizeLow + 1, '\0');
  DWORD total = 0;
  for (DWORD read = 1; read != 0 && total < bytes.size(); total += read)
    if (!files.ReadFile(file, bytes.data() + total, static_cast<DWORD>(bytes.size()) - total, &read,
                        nullptr))
      return false;
  if (total != info.nFileSizeLow) {
    error.SetLastError(ERROR_FILE_INVALID);
    return false;
  }
  bytes.resize(total);
  return true;
}

bool WriteFileInPlace(platform::IFiles& files, platform::IThreadError& error,
                      const std::string& path, const std::string& bytes, bool replace) {
  const std::string temporary = path + kTemporary;
  bool written = false;
  {
    platform::FileHandle out(
        files, files.CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) return false;
    DWORD total = 0;
    for (DWORD done = 0; total < bytes.size(); total += done)
      if (!files.WriteFile(out.get(), bytes.data() + total,
                           static_cast<DWORD>(bytes.size()) - total, &done, nullptr) ||
          done == 0)
        break;
    written = total == bytes.size() && files.FlushFileBuffers(out.get());
  }
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (written && files.MoveFileExA(temporary.c_str(), path.c_str(), flags)) return true;
  platform::KeepLastError keep(error);
  files.DeleteFileA(temporary.c_str());
  return false;
}

namespace {

// The folder's identity (volume and file index) and its security
// descriptor as SDDL text, as the system reads them back through `folder`.
std::optional<std::pair<std::string, std::string>> Describe(const platform::Platform& platform,
                                                            HANDLE folder) {
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!platform.files->GetFileInformationByHandle(folder, &info)) return std::nullopt;
  platform::LocalBlock found(*platform.messages);
  DWORD code = platform.security->GetSecurityInfo(
      folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
      nullptr, nullptr, nullptr, found.put());
  if (code != ERROR_SUCCESS) {
    platform.error->SetLastError(code);
    return std::nullopt;
  }
  platform::LocalBlock text(*platform.messages);
  if (!platform.security->ConvertSecurityDescriptorToStringSecurityDescriptorA(
          found.get(), SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
          reinterpret_cast<LPSTR*>(text.put()), nullptr))
    return std::nullopt;
  const std::string identity = std::to_string(info.dwVolumeSerialNumber) + ":" +
                               std::to_string(info.nFileIndexHigh) + ":" +
                               std::to_string(info.nFileIndexLow);
  return std::make_pair(identity, std::string(static_cast<LPCSTR>(text.get())));
}

// A folder that this program made is noted, in a key that only
// administrators can write, with its identity and the descriptor that the
// system gave back for it then. Where the system keeps the descriptor as it
// was set, that is the protected one and the note adds nothing; where it
// makes one up from elsewhere (Wine does, from the Unix owner), the note is
// what tells the program's own folder from one that somebody else made.
void NoteMadeFolder(platform::IRegistry& registry, const std::string& folder,
                    const std::string& note) {
  platform::RegistryKey key(registry);
  if (registry.RegCreateKeyExA(HKEY_LOCAL_MACHINE, QVR_TRUSTED_FOLDERS_KEY, 0, nullptr,
                               REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr,
                               key.put(), nullptr) == ERROR_SUCCESS &&
      registry.RegSetValueExA(key.get(), folder.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(note.c_str()),
                              static_cast<DWORD>(note.size() + 1)) == ERROR_SUCCESS)
    registry.RegFlushKey(key.get());
}

bool IsNotedAs(platform::IRegistry& registry, const std::string& folder, const std::string& note) {
  platform::RegistryKey key(registry);
  if (registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, QVR_TRUSTED_FOLDERS_KEY, 0,
                             KEY_READ | KEY_WOW64_64KEY, key.put()) != ERROR_SUCCESS)
    return false;
  std::vector<char> text(note.size() + 2, '\0');
  DWORD type = REG_NONE;
  DWORD size = static_cast<DWORD>(text.size());
  return registry.RegQueryValueExA(key.get(), folder.c_str(), nullptr, &type,
                                   reinterpret_cast<LPBYTE>(text.data()), &size) == ERROR_SUCCESS &&
         type == REG_SZ && size == note.size() + 1 && note == text.data();
}

// Opens a folder of the trusted path and holds it, without delete sharing,
// so that it stays in place until the copy is in it. A folder that this
// run created has the security descriptor that it was given; one that was
// there already counts only as it is now: owned and changeable by SYSTEM
// and Administrators alone, or still the one that this program made.
TrustedCopy HoldFolder(const platform::Platform& platform, const std::string& folder, bool created,
                       std::vector<platform::FileHandle>& held) {
  platform::IFiles& files = *platform.files;
  held.emplace_back(
      files, platform::OpenNameItself(files, folder.c_str(),
                                      FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE));
  if (!held.back().valid()) return TrustedCopy::Failed;
  if (platform::KindOfHeldName(platform, held.back().get(), folder.c_str()) !=
      platform::OpenedKind::Folder)
    return TrustedCopy::UnsafeFolder;
  const auto found = Describe(platform, held.back().get());
  const std::string note = found ? found->first + " " + found->second : std::string();
  if (created) {
    if (found) NoteMadeFolder(*platform.registry, folder, note);
    return TrustedCopy::Made;
  }
  if (!found) return TrustedCopy::Failed;
  return OnlyAdministratorsCanChange(found->second) || IsNotedAs(*platform.registry, folder, note)
             ? TrustedCopy::Made
             : TrustedCopy::UnsafeFolder;
}

}  // namespace

TrustedCopy MakeTrustedCopy(const platform::Platform& platform, const std::string& path,
                            const std::string& bytes) {
  platform::IFiles& files = *platform.files;
  platform::IThreadError& error = *platform.error;
  platform::LocalBlock wanted(*platform.messages);
  if (!platform.security->ConvertStringSecurityDescriptorToSecurityDescriptorA(
          QVR_TRUSTED_FOLDER_SDDL, SDDL_REVISION_1, wanted.put(), nullptr))
    return TrustedCopy::Failed;
  SECURITY_ATTRIBUTES security = {static_cast<DWORD>(sizeof(SECURITY_ATTRIBUTES)), wanted.get(),
                                  FALSE};
  // Each of QVR, Driver Setup and Backup below %ProgramData%: one that
  // others can change could have the next one swapped.
  const std::string folder = path.substr(0, path.find_last_of('\\'));
  std::vector<platform::FileHandle> held;
  held.reserve(3);
  for (size_t at = folder.size() - std::strlen(QVR_TRUSTED_FOLDER); at != std::string::npos;) {
    at = folder.find('\\', at + 1);
    const std::string level = folder.substr(0, at);
    bool created = files.CreateDirectoryA(level.c_str(), &security) != FALSE;
    if (!created && error.GetLastError() != ERROR_ALREADY_EXISTS) return TrustedCopy::Failed;
    TrustedCopy kept = HoldFolder(platform, level, created, held);
    if (kept != TrustedCopy::Made) return kept;
  }
  return WriteFileInPlace(files, error, path, bytes, true) ? TrustedCopy::Made
                                                           : TrustedCopy::Failed;
}
