#include "platform/sim/sim_machine.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace sim {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\' || c == '/') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

// Wildcard match as the directory search does it: '*' and '?', no case.
bool WildcardMatch(const char* mask, const char* name) {
  if (*mask == '\0') return *name == '\0';
  if (*mask == '*')
    return WildcardMatch(mask + 1, name) || (*name != '\0' && WildcardMatch(mask, name + 1));
  if (*name == '\0') return false;
  if (*mask != '?' && std::toupper(static_cast<unsigned char>(*mask)) !=
                          std::toupper(static_cast<unsigned char>(*name)))
    return false;
  return WildcardMatch(mask + 1, name + 1);
}

}  // namespace

SimMachine::SimMachine() {
  char pattern[] = "/tmp/qvrsim-XXXXXX";
  const char* made = ::mkdtemp(pattern);
  m_root = made != nullptr ? fs::path(made) : fs::temp_directory_path() / "qvrsim";
  fs::create_directories(m_root / "c");
  MakeDirectory("C:\\windows\\system32");
  MakeDirectory("C:\\ProgramData");
  messageTexts = {
      {0, "The operation completed successfully.\r\n"},
      {2, "The system cannot find the file specified.\r\n"},
      {3, "The system cannot find the path specified.\r\n"},
      {5, "Access is denied.\r\n"},
      {6, "The handle is invalid.\r\n"},
      {13, "The data is invalid.\r\n"},
      {32, "The process cannot access the file because it is being used by another process.\r\n"},
      {8, "Not enough memory resources are available to process this command.\r\n"},
      {87, "The parameter is incorrect.\r\n"},
      {122, "The data area passed to a system call is too small.\r\n"},
      {183, "Cannot create a file when that file already exists.\r\n"},
      {1053,
       "The service did not respond to the start or control request in a timely fashion.\r\n"},
      {1056, "An instance of the service is already running.\r\n"},
      {1062, "The service has not been started.\r\n"},
      {1920, "The file cannot be accessed by the system.\r\n"},
      {1006,
       "The volume for a file has been externally altered so that the opened file is no longer "
       "valid.\r\n"},
      {ERROR_EXPECTED_SECTION_NAME,
       "A non-empty line was encountered in the INF before the start of a section.\r\n"},
      {ERROR_BAD_SECTION_NAME_LINE,
       "A section name marker in the INF is not complete, or does not exist on a line by "
       "itself.\r\n"},
      {ERROR_SECTION_NAME_TOO_LONG,
       "An INF section was encountered whose name exceeds the maximum section name length.\r\n"},
      {ERROR_GENERAL_SYNTAX, "The syntax of the INF is invalid.\r\n"},
      {ERROR_WRONG_INF_STYLE, "The style of the INF is different than what was requested.\r\n"},
      {ERROR_SECTION_NOT_FOUND, "The required section was not found in the INF.\r\n"},
      {ERROR_LINE_NOT_FOUND, "The required line was not found in the INF.\r\n"},
      {ERROR_CLASS_MISMATCH,
       "The INF or the device information set or element does not match the specified install "
       "class.\r\n"},
  };
}

void SimMachine::EndProcess() {
  freezeAtCall = 0;
  for (auto& [id, h] : m_handles)
    if (h.fd >= 0) ::close(h.fd);
  m_handles.clear();
  registry.CloseAll();
  services.CloseAll();
  eventLog.CloseAll();
  others.EndProgram();
}

SimMachine::~SimMachine() {
  for (auto& [id, h] : m_handles)
    if (h.fd >= 0) ::close(h.fd);
  for (void* p : m_allocations) std::free(p);
  std::error_code ec;
  fs::remove_all(m_root, ec);
}

platform::Platform SimMachine::platform() {
  platform::Platform p = platform::Platform::Of(*this);
  p.registry = &registry;
  p.printers = &printers;
  p.setup = &setup;
  p.services = &services;
  p.devices = &devices;
  p.sync = &others;
  p.windows = &others;
  p.eventLog = &eventLog;
  p.codePage = &codePage;
  return p;
}

// ---------------------------------------------------------------- plumbing
bool SimMachine::Enter(const std::string& call) {
  if (beforeEachCall) beforeEachCall(call);
  calls.push_back(call);
  if (Frozen()) {
    m_lastError = 1067;  // ERROR_PROCESS_ABORTED
    return true;
  }
  auto it = m_faults.find(call);
  if (it == m_faults.end() || it->second.empty()) {
    auto success = m_successErrors.find(call);
    if (success != m_successErrors.end()) m_lastError = success->second;
    return false;
  }
  DWORD fault = it->second.front();
  it->second.erase(it->second.begin());
  if (fault == kPass) return false;
  m_lastError = fault;
  return true;
}

void SimMachine::SucceedWithError(const std::string& call, DWORD error) {
  m_successErrors[call] = error;
}

void SimMachine::PassNext(const std::string& call, int times) { FailNext(call, kPass, times); }

void SimMachine::FailNext(const std::string& call, DWORD error, int times) {
  for (int i = 0; i < times; ++i) m_faults[call].push_back(error);
}

HANDLE SimMachine::NewHandle(OpenHandle h) {
  std::uintptr_t id = m_nextHandle;
  m_nextHandle += 4;
  m_handles[id] = h;
  return reinterpret_cast<HANDLE>(id);
}

SimMachine::OpenHandle* SimMachine::Lookup(HANDLE h, Kind kind) {
  auto it = m_handles.find(reinterpret_cast<std::uintptr_t>(h));
  if (it == m_handles.end() || it->second.kind != kind) {
    ++badHandleUses;
    m_lastError = ERROR_INVALID_HANDLE;
    return nullptr;
  }
  return &it->second;
}

// ---------------------------------------------------------------- paths
std::string SimMachine::Absolute(const std::string& path) const {
  std::string drive;
  std::string rest;
  if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
    drive = path.substr(0, 2);
    rest = path.substr(2);
  } else if (!path.empty() && (path[0] == '\\' || path[0] == '/')) {
    drive = m_currentDirectory.substr(0, 2);
    rest = path;
  } else {
    drive = m_currentDirectory.substr(0, 2);
    rest = m_currentDirectory.substr(2) + "\\" + path;
  }
  std::vector<std::string> out;
  for (const std::string& part : Components(rest)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!out.empty()) out.pop_back();
      continue;
    }
    out.push_back(part);
  }
  std::string result = Upper(drive.substr(0, 1)) + ":";
  for (const std::string& part : out) result += "\\" + part;
  if (out.empty()) result += "\\";
  return result;
}

fs::path SimMachine::HostPath(const std::string& path) const {
  std::string absolute = Absolute(path);
  fs::path host =
      m_root /
      std::string(1, static_cast<char>(std::tolower(static_cast<unsigned char>(absolute[0]))));
  for (const std::string& part : Components(absolute.substr(2))) {
    fs::path next = host / part;
    std::error_code ec;
    if (!fs::exists(next, ec) && fs::is_directory(host, ec)) {
      for (const auto& entry : fs::directory_iterator(host, ec)) {
        if (strcasecmp(entry.path().filename().c_str(), part.c_str()) == 0) {
          next = entry.path();
          break;
        }
      }
    }
    host = next;
  }
  return host;
}

void SimMachine::MakeDirectory(const std::string& path) { fs::create_directories(HostPath(path)); }

void SimMachine::PutFile(const std::string& path, const std::string& content) {
  fs::path host = HostPath(path);
  fs::create_directories(host.parent_path());
  std::ofstream(host, std::ios::binary | std::ios::trunc) << content;
}

std::optional<std::string> SimMachine::FileContent(const std::string& path) const {
  fs::path host = HostPath(path);
  std::error_code ec;
  if (!fs::is_regular_file(host, ec)) return std::nullopt;
  std::ifstream in(host, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool SimMachine::Exists(const std::string& path) const {
  std::error_code ec;
  return fs::exists(HostPath(path), ec);
}

void SimMachine::MakeSymbolicLink(const std::string& path, const std::string& target) {
  fs::path host = HostPath(path);
  fs::create_directories(host.parent_path());
  fs::create_symlink(HostPath(target), host);
}

void SimMachine::MakeHardLink(const std::string& path, const std::string& existing) {
  fs::path host = HostPath(path);
  fs::create_directories(host.parent_path());
  fs::create_hard_link(HostPath(existing), host);
}

void SimMachine::SetReadOnlyDirectory(const std::string& path) {
  m_readOnlyDirectories.insert(Upper(Absolute(path)));
}

// ---------------------------------------------------------------- IFiles
DWORD SimMachine::GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  if (Enter("GetCurrentDirectoryA")) return 0;
  DWORD length = static_cast<DWORD>(m_currentDirectory.size());
  if (lpBuffer == nullptr || nBufferLength <= length) return length + 1;
  std::memcpy(lpBuffer, m_currentDirectory.c_str(), length + 1);
  return length;
}

namespace {
std::u16string Widened(std::string_view text) {
  std::u16string wide;
  for (char c : text) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  return wide;
}
}  // namespace

DWORD SimMachine::GetCurrentDirectoryW(DWORD nBufferLength, LPWSTR lpBuffer) {
  const std::u16string folder = wideCurrentDirectory.value_or(Widened(m_currentDirectory));
  DWORD length = static_cast<DWORD>(folder.size());
  if (lpBuffer == nullptr || nBufferLength <= length) return length + 1;
  std::copy(folder.c_str(), folder.c_str() + length + 1, lpBuffer);
  return length;
}

LPCWSTR SimMachine::GetCommandLineW() {
  m_wideCommandLine = wideCommandLine.value_or(Widened(commandLine));
  return m_wideCommandLine.c_str();
}

int SimMachine::MultiByteToWideChar(UINT, DWORD, LPCSTR text, int bytes, LPWSTR wide, int) {
  const std::u16string widened = Widened(std::string_view(text, static_cast<size_t>(bytes)));
  if (wide != nullptr) std::copy(widened.begin(), widened.end(), wide);
  return static_cast<int>(widened.size());
}

HANDLE SimMachine::FindFirstFileA(LPCSTR lpFileName, WIN32_FIND_DATAA* lpFindFileData) {
  findPatterns.emplace_back(lpFileName);
  if (Enter("FindFirstFileA")) return INVALID_HANDLE_VALUE;
  std::string pattern = lpFileName;
  size_t slash = pattern.find_last_of("\\/");
  std::string directory = slash == std::string::npos ? "." : pattern.substr(0, slash + 1);
  std::string mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  fs::path host = HostPath(directory);
  std::error_code ec;
  if (!fs::is_directory(host, ec)) {
    m_lastError = ERROR_PATH_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  // The search yields names in one fixed order: by their upper-case form.
  std::vector<fs::directory_entry> matches;
  for (const auto& entry : fs::directory_iterator(host, ec))
    if (WildcardMatch(mask.c_str(), entry.path().filename().c_str())) matches.push_back(entry);
  if (matches.empty()) {
    m_lastError = ERROR_FILE_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  std::sort(matches.begin(), matches.end(), [](const auto& a, const auto& b) {
    return Upper(a.path().filename().string()) < Upper(b.path().filename().string());
  });
  const fs::directory_entry& first = matches.front();
  std::memset(lpFindFileData, 0, sizeof(*lpFindFileData));
  lpFindFileData->dwFileAttributes =
      first.is_directory(ec) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  std::string name = first.path().filename().string();
  std::strncpy(lpFindFileData->cFileName, name.c_str(), MAX_PATH - 1);
  return NewHandle({Kind::Find, -1});
}

BOOL SimMachine::FindClose(HANDLE hFindFile) {
  if (Enter("FindClose")) return FALSE;
  if (Lookup(hFindFile, Kind::Find) == nullptr) return FALSE;
  m_handles.erase(reinterpret_cast<std::uintptr_t>(hFindFile));
  return TRUE;
}

HANDLE SimMachine::CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                               LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                               DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                               HANDLE hTemplateFile) {
  createFileCalls.push_back({lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition,
                             dwFlagsAndAttributes, lpSecurityAttributes != nullptr,
                             hTemplateFile != nullptr});
  if (Enter("CreateFileA")) return INVALID_HANDLE_VALUE;
  std::string absolute = Absolute(lpFileName);
  std::string parent = absolute.substr(0, absolute.find_last_of('\\'));
  if (parent.size() == 2) parent += "\\";
  fs::path host = HostPath(absolute);
  std::error_code ec;
  // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself; otherwise the link is
  // followed to its target.
  const bool linkItself = (dwFlagsAndAttributes & FILE_FLAG_OPEN_REPARSE_POINT) != 0;
  auto opened = [&](int fd) {
    OpenHandle h(Kind::File, fd);
    h.access = dwDesiredAccess, h.share = dwShareMode, h.name = Upper(absolute);
    return NewHandle(h);
  };
  const bool isLink = fs::is_symlink(host, ec);
  bool existed = linkItself ? fs::exists(fs::symlink_status(host, ec)) : fs::exists(host, ec);
  if (!fs::is_directory(HostPath(parent), ec)) {
    m_lastError = ERROR_PATH_NOT_FOUND;
    return INVALID_HANDLE_VALUE;
  }
  if (linkItself && isLink) {
    if (dwCreationDisposition != OPEN_EXISTING && dwCreationDisposition != OPEN_ALWAYS) {
      m_lastError = dwCreationDisposition == CREATE_NEW ? 80 : ERROR_ACCESS_DENIED;
      return INVALID_HANDLE_VALUE;
    }
    int fd = ::open(host.c_str(), O_PATH | O_NOFOLLOW);
    if (fd < 0) {
      m_lastError = ERROR_ACCESS_DENIED;
      return INVALID_HANDLE_VALUE;
    }
    m_lastError = dwCreationDisposition == OPEN_ALWAYS ? ERROR_ALREADY_EXISTS : 0;
    return opened(fd);
  }
  if (fs::is_directory(host, ec)) {
    // Only backup semantics open a folder, and only to look at it.
    int fd = (dwFlagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) &&
                     dwCreationDisposition == OPEN_EXISTING
                 ? ::open(host.c_str(), O_RDONLY | O_DIRECTORY)
                 : -1;
    if (fd < 0) {
      m_lastError = ERROR_ACCESS_DENIED;
      return INVALID_HANDLE_VALUE;
    }
    m_lastError = 0;
    return opened(fd);
  }
  if (existed && SharingBlocks(host, dwDesiredAccess, dwShareMode)) {
    m_lastError = ERROR_SHARING_VIOLATION;
    return INVALID_HANDLE_VALUE;
  }
  bool writes = (dwDesiredAccess & GENERIC_WRITE) != 0;
  if ((writes || !existed) && m_readOnlyDirectories.count(Upper(parent)) != 0) {
    m_lastError = ERROR_ACCESS_DENIED;
    return INVALID_HANDLE_VALUE;
  }
  int flags = writes ? O_RDWR : O_RDONLY;
  switch (dwCreationDisposition) {
    case CREATE_ALWAYS:
      flags |= O_CREAT | O_TRUNC;
      break;
    case CREATE_NEW:
      if (existed) {
        m_lastError = 80;  // ERROR_FILE_EXISTS
        return INVALID_HANDLE_VALUE;
      }
      flags |= O_CREAT;
      break;
    case OPEN_ALWAYS:
      flags |= O_CREAT;
      break;
    default:  // OPEN_EXISTING
      if (!existed) {
        m_lastError = ERROR_FILE_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
      }
  }
  if (linkItself) flags |= O_NOFOLLOW;
  int fd = ::open(host.c_str(), flags, 0644);
  if (fd < 0) {
    m_lastError = ERROR_ACCESS_DENIED;
    return INVALID_HANDLE_VALUE;
  }
  // CREATE_ALWAYS and OPEN_ALWAYS succeed on an existing file and say so.
  bool says =
      existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS);
  m_lastError = says ? ERROR_ALREADY_EXISTS : 0;
  return opened(fd);
}

BOOL SimMachine::WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                           LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED /*lpOverlapped*/) {
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
  // A kill that lands in this call leaves the first half of its bytes.
  OpenHandle* killed = freezeAtCall == calls.size() + 1 ? Lookup(hFile, Kind::File) : nullptr;
  if (killed != nullptr && ::write(killed->fd, lpBuffer, nNumberOfBytesToWrite / 2) < 0)
    return FALSE;
  if (Enter("WriteFile")) return FALSE;
  OpenHandle* h = Lookup(hFile, Kind::File);
  if (h == nullptr) return FALSE;
  ssize_t n = ::write(h->fd, lpBuffer, nNumberOfBytesToWrite);
  if (n < 0) {
    m_lastError = ERROR_ACCESS_DENIED;
    return FALSE;
  }
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = static_cast<DWORD>(n);
  return TRUE;
}

BOOL SimMachine::SetEndOfFile(HANDLE hFile) {
  if (Enter("SetEndOfFile")) return FALSE;
  OpenHandle* h = Lookup(hFile, Kind::File);
  if (h == nullptr) return FALSE;
  off_t at = ::lseek(h->fd, 0, SEEK_CUR);
  return ::ftruncate(h->fd, at) == 0 ? TRUE : FALSE;
}

BOOL SimMachine::CloseHandle(HANDLE hObject) {
  if (Enter("CloseHandle")) return FALSE;
  OpenHandle* h = Lookup(hObject, Kind::File);
  if (h == nullptr) return FALSE;
  ::close(h->fd);
  m_handles.erase(reinterpret_cast<std::uintptr_t>(hObject));
  return TRUE;
}

BOOL SimMachine::CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES security) {
  if (Enter("CreateDirectoryA")) return FALSE;
  std::string absolute = Absolute(lpPathName);
  std::string parent = absolute.substr(0, absolute.find_last_of('\\'));
  if (parent.size() == 2) parent += "\\";
  std::error_code ec;
  fs::path host = HostPath(absolute);
  if (fs::exists(host, ec)) {
    m_lastError = ERROR_ALREADY_EXISTS;
    return FALSE;
  }
  if (!fs::is_directory(HostPath(parent), ec)) {
    m_lastError = ERROR_PATH_NOT_FOUND;
    return FALSE;
  }
  if (m_readOnlyDirectories.count(Upper(parent)) != 0) {
    m_lastError = ERROR_ACCESS_DENIED;
    return FALSE;
  }
  fs::create_directory(host, ec);
  if (security != nullptr && security->lpSecurityDescriptor != nullptr)
    securityOf[Upper(absolute)] = static_cast<LPCSTR>(security->lpSecurityDescriptor);
  return TRUE;
}

BOOL SimMachine::CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, BOOL bFailIfExists) {
  if (Enter("CopyFileA")) return FALSE;
  std::error_code ec;
  fs::path from = HostPath(lpExistingFileName);
  if (!fs::exists(from, ec)) {
    m_lastError = ERROR_FILE_NOT_FOUND;
    return FALSE;
  }
  std::string target = Absolute(lpNewFileName);
  std::string parent = target.substr(0, target.find_last_of('\\'));
  if (parent.size() == 2) parent += "\\";
  fs::path to = HostPath(target);
  if (fs::is_directory(from, ec) || fs::is_directory(to, ec) ||
      m_readOnlyDirectories.count(Upper(parent)) != 0) {
    m_lastError = ERROR_ACCESS_DENIED;
    return FALSE;
  }
  if (!fs::is_directory(HostPath(parent), ec)) {
    m_lastError = ERROR_PATH_NOT_FOUND;
    return FALSE;
  }
  if (bFailIfExists && fs::exists(fs::symlink_status(to, ec))) {
    m_lastError = 80;  // ERROR_FILE_EXISTS
    return FALSE;
  }
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  return ec ? FALSE : TRUE;
}

void SimMachine::SetHeldBySpooler(const std::string& path) {
  m_heldBySpooler.insert(Upper(Absolute(path)));
}

BOOL SimMachine::DeleteFileA(LPCSTR lpFileName) {
  if (Enter("DeleteFileA")) return FALSE;
  std::error_code ec;
  std::string absolute = Absolute(lpFileName);
  fs::path host = HostPath(absolute);
  // The name itself goes: a link, never its target. A link to a folder is
  // a folder's name, which DeleteFileA does not remove.
  if (!fs::exists(fs::symlink_status(host, ec))) {
    m_lastError = ERROR_FILE_NOT_FOUND;
    return FALSE;
  }
  if (fs::is_directory(host, ec)) {
    m_lastError = ERROR_ACCESS_DENIED;
    return FALSE;
  }
  if (m_heldBySpooler.count(Upper(absolute)) != 0 && services.spooler().state != SERVICE_STOPPED) {
    m_lastError = ERROR_ACCESS_DENIED;
    return FALSE;
  }
  if (SharingBlocks(host, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) {
    m_lastError = ERROR_SHARING_VIOLATION;
    return FALSE;
  }
  fs::remove(host, ec);
  return TRUE;
}

UINT SimMachine::GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  if (Enter("GetWindowsDirectoryA")) return 0;
  UINT length = static_cast<UINT>(m_windowsDirectory.size());
  if (lpBuffer == nullptr || uSize <= length) return length + 1;
  std::memcpy(lpBuffer, m_windowsDirectory.c_str(), length + 1);
  return length;
}

BOOL SimMachine::GetFileInformationByHandle(HANDLE hFile,
                                            LPBY_HANDLE_FILE_INFORMATION lpFileInformation) {
  if (Enter("GetFileInformationByHandle")) return FALSE;
  OpenHandle* h = Lookup(hFile, Kind::File);
  if (h == nullptr) return FALSE;
  struct stat st = {};
  if (::fstat(h->fd, &st) != 0) {
    m_lastError = ERROR_ACCESS_DENIED;
    return FALSE;
  }
  *lpFileInformation = BY_HANDLE_FILE_INFORMATION{};
  DWORD attributes = 0;
  if (S_ISLNK(st.st_mode)) attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  lpFileInformation->dwFileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
  // A folder counts one link, as on NTFS.
  lpFileInformation->nNumberOfLinks = S_ISDIR(st.st_mode) ? 1 : static_cast<DWORD>(st.st_nlink);
  lpFileInformation->nFileSizeLow = static_cast<DWORD>(st.st_size);
  lpFileInformation->nFileIndexLow = static_cast<DWORD>(st.st_ino);
  return TRUE;
}

BOOL SimMachine::ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                          LPDWORD lpNumberOfBytesRead, LPOVERLAPPED /*lpOverlapped*/) {
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
  if (Enter("ReadFile")) return FALSE;
  OpenHandle* h = Lookup(hFile, Kind::File);
  if (h == nullptr) return FALSE;
  ssize_t n = (h->access & GENERIC_READ) ? ::read(h->fd, lpBuffer, nNumberOfBytesToRead) : -1;
  if (n < 0) {
    m_lastError = ERROR_ACCESS_DENIED;
    return FALSE;
  }
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = static_cast<DWORD>(n);
  return TRUE;
}

BOOL SimMachine::FlushFileBuffers(HANDLE hFile) {
  if (Enter("FlushFileBuffers")) return FALSE;
  OpenHandle* h = Lookup(hFile, Kind::File);
  if (h == nullptr) return FALSE;
  if ((h->access & GENERIC_WRITE) == 0) m_lastError = ERROR_ACCESS_DENIED;
  return (h->access & GENERIC_WRITE) != 0;
}

BOOL SimMachine::MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
  if (Enter("MoveFileExA")) return FALSE;
  std::error_code ec;
  fs::path from = HostPath(lpExistingFileName), to = HostPath(lpNewFileName);
  const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  bool exists = fs::exists(fs::symlink_status(to, ec));
  if (!fs::exists(fs::symlink_status(from, ec))) {
    m_lastError = ERROR_FILE_NOT_FOUND;
  } else if (exists && !(dwFlags & MOVEFILE_REPLACE_EXISTING)) {
    m_lastError = ERROR_ALREADY_EXISTS;
  } else if (SharingBlocks(from, DELETE, all) || (exists && SharingBlocks(to, DELETE, all))) {
    m_lastError = ERROR_SHARING_VIOLATION;
  } else {
    fs::rename(from, to, ec);
    if (!ec) return TRUE;
    m_lastError = ERROR_ACCESS_DENIED;
  }
  return FALSE;
}

DWORD SimMachine::GetFinalPathNameByHandleA(HANDLE hFile, LPSTR lpszFilePath, DWORD cchFilePath,
                                            DWORD /*dwFlags*/) {
  if (Enter("GetFinalPathNameByHandleA")) return 0;
  OpenHandle* h = Lookup(hFile, Kind::File);
  if (h == nullptr) return 0;
  std::error_code ec;
  std::string host = fs::read_symlink("/proc/self/fd/" + std::to_string(h->fd), ec).string();
  std::string path = "\\\\?\\C:";
  for (char c : host.substr(m_root.string().size() + 2)) path += c == '/' ? '\\' : c;
  if (cchFilePath <= path.size()) return static_cast<DWORD>(path.size() + 1);
  std::memcpy(lpszFilePath, path.c_str(), path.size() + 1);
  return static_cast<DWORD>(path.size());
}

HRESULT SimMachine::SHGetFolderPathA(HWND, int csidl, HANDLE, DWORD, LPSTR pszPath) {
  if (Enter("SHGetFolderPathA") || csidl != CSIDL_COMMON_APPDATA) return -1;
  std::strcpy(pszPath, "C:\\ProgramData");
  return S_OK;
}

bool SimMachine::SharingBlocks(const fs::path& host, DWORD access, DWORD share) const {
  const DWORD reads = GENERIC_READ | 0x1 | 0x20, writes = GENERIC_WRITE | 0x2 | 0x4;
  auto conflict = [&](DWORD a, DWORD otherShare) {
    return ((a & reads) && !(otherShare & FILE_SHARE_READ)) ||
           ((a & writes) && !(otherShare & FILE_SHARE_WRITE)) ||
           ((a & DELETE) && !(otherShare & FILE_SHARE_DELETE));
  };
  struct stat target = {}, st = {};
  if (::stat(host.c_str(), &target) != 0 || !(access & (reads | writes | DELETE))) return false;
  for (const auto& [id, h] : m_handles)
    if (h.kind == Kind::File && (h.access & (reads | writes | DELETE)) && ::fstat(h.fd, &st) == 0 &&
        st.st_ino == target.st_ino && (conflict(access, h.share) || conflict(h.access, share)))
      return true;
  return false;
}

bool SimMachine::OtherProgramWrites(const std::string& path, const std::string& content) {
  if (SharingBlocks(HostPath(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE))
    return false;
  PutFile(path, content);
  return true;
}

// ---------------------------------------------------------------- ISecurity
LPSTR SimMachine::LocalCopy(const std::string& text) {
  auto* memory = static_cast<char*>(std::calloc(text.size() + 1, 1));
  std::memcpy(memory, text.c_str(), text.size());
  m_allocations.insert(memory);
  return memory;
}

BOOL SimMachine::ConvertStringSecurityDescriptorToSecurityDescriptorA(LPCSTR text, DWORD,
                                                                      PSECURITY_DESCRIPTOR* sd,
                                                                      PULONG) {
  if (Enter("ConvertStringSecurityDescriptorToSecurityDescriptorA")) return FALSE;
  *sd = LocalCopy(text);
  return TRUE;
}

BOOL SimMachine::ConvertSecurityDescriptorToStringSecurityDescriptorA(PSECURITY_DESCRIPTOR sd,
                                                                      DWORD, SECURITY_INFORMATION,
                                                                      LPSTR* text, PULONG) {
  if (Enter("ConvertSecurityDescriptorToStringSecurityDescriptorA")) return FALSE;
  *text = LocalCopy(static_cast<LPCSTR>(sd));
  return TRUE;
}

DWORD SimMachine::GetSecurityInfo(HANDLE handle, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*,
                                  PACL*, PACL*, PSECURITY_DESCRIPTOR* sd) {
  if (Enter("GetSecurityInfo")) return m_lastError;
  OpenHandle* h = Lookup(handle, Kind::File);
  if (h == nullptr) return ERROR_INVALID_HANDLE;
  if ((h->access & READ_CONTROL) == 0) return ERROR_ACCESS_DENIED;
  auto it = securityOf.find(h->name);
  *sd = LocalCopy(!madeUpSecurity.empty()  ? madeUpSecurity
                  : it != securityOf.end() ? it->second
                                           : defaultSecurity);
  return ERROR_SUCCESS;
}

// ---------------------------------------------------------------- IClock
void SimMachine::Sleep(DWORD dwMilliseconds) {
  calls.emplace_back("Sleep");
  sleeps.push_back(dwMilliseconds);
  m_now += dwMilliseconds;
}

// ---------------------------------------------------------------- IProcesses
std::intptr_t SimMachine::SpawnV(int /*mode*/, const char* cmdName, const char* const* argv) {
  if (Enter("SpawnV")) {
    m_errno = static_cast<int>(m_lastError);
    return -1;
  }
  std::error_code ec;
  if (cmdName == nullptr || !fs::is_regular_file(HostPath(cmdName), ec)) {
    m_errno = 2;  // ENOENT
    return -1;
  }
  Started s{cmdName, {}};
  for (const char* const* a = argv; a != nullptr && *a != nullptr; ++a) s.argv.emplace_back(*a);
  started.push_back(std::move(s));
  // The no-wait spawn gives the new process's handle, for the caller to close.
  return reinterpret_cast<std::intptr_t>(NewHandle({Kind::Process, -1, 0}));
}

DWORD SimMachine::GetModuleFileNameA(HMODULE /*hModule*/, LPSTR lpFilename, DWORD nSize) {
  if (Enter("GetModuleFileNameA") || nSize == 0) return 0;
  size_t n = std::min<size_t>(modulePath.size(), nSize - 1);
  std::memcpy(lpFilename, modulePath.data(), n);
  lpFilename[n] = '\0';
  if (n < modulePath.size()) m_lastError = ERROR_INSUFFICIENT_BUFFER;
  return static_cast<DWORD>(n);
}

DWORD SimMachine::GetFileAttributesA(LPCSTR lpFileName) {
  if (Enter("GetFileAttributesA")) return INVALID_FILE_ATTRIBUTES;
  std::error_code ec;
  fs::path host = HostPath(lpFileName);
  if (!fs::exists(fs::symlink_status(host, ec))) {
    m_lastError = ERROR_FILE_NOT_FOUND;
    return INVALID_FILE_ATTRIBUTES;
  }
  DWORD attributes = fs::is_directory(host, ec) ? FILE_ATTRIBUTE_DIRECTORY : 0;
  if (fs::is_symlink(host, ec)) attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
  return attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
}

BOOL SimMachine::GetBinaryTypeA(LPCSTR lpApplicationName, LPDWORD lpBinaryType) {
  if (Enter("GetBinaryTypeA")) return FALSE;
  std::error_code ec;
  if (!fs::is_regular_file(HostPath(lpApplicationName), ec)) {
    m_lastError = ERROR_FILE_NOT_FOUND;
    return FALSE;
  }
  auto type = binaryTypes.find(Upper(Absolute(lpApplicationName)));
  if (type == binaryTypes.end()) {
    m_lastError = ERROR_BAD_EXE_FORMAT;
    return FALSE;
  }
  *lpBinaryType = type->second;
  return TRUE;
}

BOOL SimMachine::CreateProcessA(LPCSTR lpApplicationName, LPSTR lpCommandLine,
                                LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                                LPCSTR lpCurrentDirectory, STARTUPINFOA*,
                                PROCESS_INFORMATION* lpProcessInformation) {
  if (Enter("CreateProcessA")) return FALSE;
  std::string application = lpApplicationName != nullptr ? lpApplicationName : "";
  std::error_code ec;
  if (!fs::is_regular_file(HostPath(application), ec)) {
    m_lastError = ERROR_FILE_NOT_FOUND;
    return FALSE;
  }
  created.push_back(
      {application, lpCommandLine != nullptr ? lpCommandLine : "", lpCurrentDirectory != nullptr});
  auto code = exitCodes.find(Upper(Absolute(application)));
  DWORD exitCode = code != exitCodes.end() ? code->second : 0;
  *lpProcessInformation = PROCESS_INFORMATION{};
  lpProcessInformation->hProcess = NewHandle({Kind::Process, -1, exitCode});
  lpProcessInformation->hThread = NewHandle({Kind::Process, -1, exitCode});
  return TRUE;
}

DWORD SimMachine::WaitForSingleObject(HANDLE hHandle, DWORD /*dwMilliseconds*/) {
  if (Enter("WaitForSingleObject")) return WAIT_FAILED;
  return Lookup(hHandle, Kind::Process) != nullptr ? WAIT_OBJECT_0 : WAIT_FAILED;
}

BOOL SimMachine::GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
  if (Enter("GetExitCodeProcess")) return FALSE;
  OpenHandle* h = Lookup(hProcess, Kind::Process);
  if (h == nullptr) return FALSE;
  *lpExitCode = h->exitCode;
  return TRUE;
}

BOOL SimMachine::CloseProcessHandle(HANDLE hObject) {
  calls.emplace_back("CloseProcessHandle");
  if (Lookup(hObject, Kind::Process) == nullptr) return FALSE;
  m_handles.erase(reinterpret_cast<std::uintptr_t>(hObject));
  return TRUE;
}

bool SimMachine::RunsUnderWow64() const {
  if (nativeMachine == 0) return wow64 != FALSE;
  return !x64Program && nativeMachine != IMAGE_FILE_MACHINE_I386;
}

USHORT SimMachine::NativeMachine() const {
  if (nativeMachine != 0) return nativeMachine;
  return wow64 || x64Program ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386;
}

BOOL SimMachine::IsWow64Process(BOOL* wow64Out) {
  if (Enter("IsWow64Process")) return FALSE;
  *wow64Out = RunsUnderWow64() ? TRUE : FALSE;
  return TRUE;
}

// The 64-bit program emulated on ARM64 is no WOW64 process: it gets
// IMAGE_FILE_MACHINE_UNKNOWN, as a native one does.
BOOL SimMachine::IsWow64Process2(USHORT* pProcessMachine, USHORT* pNativeMachine) {
  if (!hasIsWow64Process2) {
    calls.emplace_back("IsWow64Process2");
    m_lastError = ERROR_PROC_NOT_FOUND;
    return FALSE;
  }
  if (Enter("IsWow64Process2")) return FALSE;
  *pProcessMachine = RunsUnderWow64() ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_UNKNOWN;
  *pNativeMachine = NativeMachine();
  return TRUE;
}

// ---------------------------------------------------------------- ISystemVersion
BOOL SimMachine::GetVersionExA(LPOSVERSIONINFOA info) {
  if (Enter("GetVersionExA")) return FALSE;
  DWORD size = info->dwOSVersionInfoSize;
  if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  info->dwMajorVersion = systemVersion.major;
  info->dwMinorVersion = systemVersion.minor;
  info->dwBuildNumber = systemVersion.build;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
  systemVersion.servicePack.copy(info->szCSDVersion, sizeof info->szCSDVersion - 1);
  if (size == sizeof(OSVERSIONINFOEXA)) {
    auto* ex = reinterpret_cast<OSVERSIONINFOEXA*>(info);
    ex->wServicePackMajor = systemVersion.servicePackMajor;
    ex->wServicePackMinor = systemVersion.servicePackMinor;
    ex->wSuiteMask = systemVersion.suiteMask;
    ex->wProductType = systemVersion.productType;
    ex->wReserved = 0;
  }
  return TRUE;
}

// ---------------------------------------------------------------- IMessages
DWORD SimMachine::FormatMessageA(DWORD dwFlags, LPCVOID /*lpSource*/, DWORD dwMessageId,
                                 DWORD /*dwLanguageId*/, LPSTR lpBuffer, DWORD nSize,
                                 void* /*Arguments*/) {
  if (Enter("FormatMessageA")) return 0;
  auto it = messageTexts.find(dwMessageId);
  if ((dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || it == messageTexts.end()) {
    m_lastError = ERROR_MR_MID_NOT_FOUND;
    return 0;
  }
  const std::string& text = it->second;
  if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    size_t room = std::max<size_t>(text.size() + 1, nSize);
    auto* memory = static_cast<char*>(std::calloc(room, 1));
    std::memcpy(memory, text.c_str(), text.size() + 1);
    m_allocations.insert(memory);
    *reinterpret_cast<LPSTR*>(lpBuffer) = memory;
  } else {
    if (nSize <= text.size()) {
      m_lastError = ERROR_INSUFFICIENT_BUFFER;
      return 0;
    }
    std::memcpy(lpBuffer, text.c_str(), text.size() + 1);
  }
  return static_cast<DWORD>(text.size());
}

HLOCAL SimMachine::LocalFree(HLOCAL hMem) {
  calls.emplace_back("LocalFree");
  if (hMem == nullptr) return nullptr;
  if (m_allocations.erase(hMem) == 0) {
    ++badHandleUses;
    m_lastError = ERROR_INVALID_HANDLE;
    return hMem;
  }
  std::free(hMem);
  return nullptr;
}

// ---------------------------------------------------------------- IDebugOutput
void SimMachine::OutputDebugStringA(LPCSTR lpOutputString) {
  calls.emplace_back("OutputDebugStringA");
  debugOutput.emplace_back(lpOutputString != nullptr ? lpOutputString : "");
}

// ---------------------------------------------------------------- IMemory
HGLOBAL SimMachine::GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
  if (Enter("GlobalAlloc")) return nullptr;
  void* memory = (uFlags & GMEM_ZEROINIT) ? std::calloc(dwBytes ? dwBytes : 1, 1)
                                          : std::malloc(dwBytes ? dwBytes : 1);
  m_allocations.insert(memory);
  return memory;
}

HGLOBAL SimMachine::GlobalFree(HGLOBAL hMem) {
  calls.emplace_back("GlobalFree");
  if (hMem == nullptr || m_allocations.erase(hMem) == 0) {
    ++badHandleUses;
    m_lastError = ERROR_INVALID_HANDLE;
    return hMem;
  }
  std::free(hMem);
  return nullptr;
}

}  // namespace sim
