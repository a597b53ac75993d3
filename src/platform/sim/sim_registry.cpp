#include "platform/sim/sim_registry.h"

#include <cctype>
#include <cstring>

#include "platform/sim/sim_machine.h"

namespace sim {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// The form a test names a key in: no backslash at either end, case ignored.
std::string KeyName(const std::string& path) {
  size_t first = path.find_first_not_of('\\');
  if (first == std::string::npos) return "";
  size_t last = path.find_last_not_of('\\');
  return Upper(path.substr(first, last - first + 1));
}

}  // namespace

// ---------------------------------------------------------------- contents
void SimRegistry::CreateKey(const std::string& path) {
  std::string name = KeyName(path);
  m_keys[""];
  for (size_t at = name.find('\\'); at != std::string::npos; at = name.find('\\', at + 1))
    m_keys[name.substr(0, at)];
  m_keys[name];
}

void SimRegistry::SetValue(const std::string& path, const std::string& name, DWORD type,
                           const std::vector<BYTE>& bytes) {
  CreateKey(path);
  m_keys[KeyName(path)].values[Upper(name)] = Value{type, bytes};
}

void SimRegistry::SetBinary(const std::string& path, const std::string& name,
                            const std::vector<BYTE>& bytes) {
  SetValue(path, name, REG_BINARY, bytes);
}

void SimRegistry::SetString(const std::string& path, const std::string& name,
                            const std::string& text) {
  std::vector<BYTE> bytes(text.begin(), text.end());
  bytes.push_back(0);
  SetValue(path, name, REG_SZ, bytes);
}

bool SimRegistry::HasKey(const std::string& path) const { return m_keys.count(KeyName(path)) != 0; }

std::optional<std::string> SimRegistry::StringValue(const std::string& path,
                                                    const std::string& name) const {
  auto key = m_keys.find(KeyName(path));
  if (key == m_keys.end()) return std::nullopt;
  auto value = key->second.values.find(Upper(name));
  if (value == key->second.values.end() || value->second.type != REG_SZ) return std::nullopt;
  const std::vector<BYTE>& bytes = value->second.bytes;
  std::string text(bytes.begin(), bytes.end());
  return text.substr(0, text.find('\0'));
}

// ---------------------------------------------------------------- plumbing
LONG SimRegistry::Fault(const char* call) {
  // A queued fault arrives as the machine's last error; the registry hands
  // it back as its result instead and puts the last error back as it was.
  DWORD before = m_machine.GetLastError();
  if (!m_machine.Enter(call)) return ERROR_SUCCESS;
  LONG code = static_cast<LONG>(m_machine.GetLastError());
  m_machine.SetLastError(before);
  return code;
}

LONG SimRegistry::KeyPath(HKEY hKey, std::string* path) {
  if (PathOf(hKey, path)) return ERROR_SUCCESS;
  ++m_machine.badHandleUses;
  return ERROR_INVALID_HANDLE;
}

bool SimRegistry::PathOf(HKEY hKey, std::string* path) const {
  if (hKey == HKEY_LOCAL_MACHINE) {
    path->clear();
    return true;
  }
  auto it = m_open.find(reinterpret_cast<std::uintptr_t>(hKey));
  if (it == m_open.end()) return false;
  *path = it->second;
  return true;
}

// ---------------------------------------------------------------- IRegistry
LONG SimRegistry::RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                                PHKEY phkResult) {
  CallScope scope(*this, "RegOpenKeyExA");
  openCalls.push_back({lpSubKey != nullptr ? lpSubKey : "", ulOptions, samDesired});
  if (LONG code = Fault("RegOpenKeyExA")) return code;
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  std::string parent;
  if (LONG code = KeyPath(hKey, &parent)) return code;
  std::string sub = lpSubKey != nullptr ? Upper(lpSubKey) : "";
  // The root itself, asked for by an empty name, comes back as the same handle.
  if (sub.empty() && hKey == HKEY_LOCAL_MACHINE) {
    *phkResult = hKey;
    return ERROR_SUCCESS;
  }
  std::string path = parent.empty() ? sub : sub.empty() ? parent : parent + "\\" + sub;
  if (m_keys.count(path) == 0) return ERROR_FILE_NOT_FOUND;
  *phkResult = OpenHandleOn(path);
  return ERROR_SUCCESS;
}

HKEY SimRegistry::OpenHandleOn(const std::string& path) {
  std::uintptr_t id = m_nextKey;
  m_nextKey += 4;
  m_open[id] = path;
  return reinterpret_cast<HKEY>(id);
}

LONG SimRegistry::RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  CallScope scope(*this, "RegQueryValueExA");
  if (LONG code = Fault("RegQueryValueExA")) return code;
  std::string path;
  if (LONG code = KeyPath(hKey, &path)) return code;
  if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr))
    return ERROR_INVALID_PARAMETER;
  auto key = m_keys.find(path);
  if (key == m_keys.end()) return ERROR_FILE_NOT_FOUND;
  auto value = key->second.values.find(Upper(lpValueName != nullptr ? lpValueName : ""));
  if (value == key->second.values.end()) return ERROR_FILE_NOT_FOUND;

  const std::vector<BYTE>& bytes = value->second.bytes;
  DWORD size = static_cast<DWORD>(bytes.size());
  if (lpType != nullptr) *lpType = value->second.type;
  if (lpData == nullptr) {
    if (lpcbData != nullptr) *lpcbData = size;
    return ERROR_SUCCESS;
  }
  // Too small a buffer gets the size needed; what it holds is undefined, and
  // here it is left as it was.
  if (*lpcbData < size) {
    *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  if (size != 0) std::memcpy(lpData, bytes.data(), size);
  *lpcbData = size;
  return ERROR_SUCCESS;
}

LONG SimRegistry::RegCloseKey(HKEY hKey) {
  CallScope scope(*this, "RegCloseKey");
  if (LONG code = Fault("RegCloseKey")) return code;
  if (hKey == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
  if (m_open.erase(reinterpret_cast<std::uintptr_t>(hKey)) == 0) {
    ++m_machine.badHandleUses;
    return ERROR_INVALID_HANDLE;
  }
  return ERROR_SUCCESS;
}

LONG SimRegistry::RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR /*lpClass*/,
                                  DWORD dwOptions, REGSAM samDesired,
                                  LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, PHKEY phkResult,
                                  LPDWORD lpdwDisposition) {
  CallScope scope(*this, "RegCreateKeyExA");
  openCalls.push_back({lpSubKey != nullptr ? lpSubKey : "", dwOptions, samDesired});
  if (LONG code = Fault("RegCreateKeyExA")) return code;
  if (phkResult == nullptr || Reserved != 0) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  std::string parent;
  if (LONG code = KeyPath(hKey, &parent)) return code;
  std::string sub = KeyName(lpSubKey != nullptr ? lpSubKey : "");
  std::string path = parent.empty() ? sub : sub.empty() ? parent : parent + "\\" + sub;
  bool existed = m_keys.count(path) != 0;
  CreateKey(path);
  if (lpdwDisposition != nullptr)
    *lpdwDisposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
  *phkResult = OpenHandleOn(path);
  return ERROR_SUCCESS;
}

LONG SimRegistry::RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                                 const BYTE* lpData, DWORD cbData) {
  CallScope scope(*this, "RegSetValueExA");
  if (LONG code = Fault("RegSetValueExA")) return code;
  std::string path;
  if (LONG code = KeyPath(hKey, &path)) return code;
  if (Reserved != 0 || (lpData == nullptr && cbData != 0)) return ERROR_INVALID_PARAMETER;
  std::vector<BYTE> bytes(lpData, lpData + cbData);
  m_keys[path].values[Upper(lpValueName != nullptr ? lpValueName : "")] = Value{dwType, bytes};
  return ERROR_SUCCESS;
}

LONG SimRegistry::RegFlushKey(HKEY hKey) {
  CallScope scope(*this, "RegFlushKey");
  if (LONG code = Fault("RegFlushKey")) return code;
  std::string path;
  if (LONG code = KeyPath(hKey, &path)) return code;
  ++flushes;
  return ERROR_SUCCESS;
}

LONG SimRegistry::RegDeleteKeyExA(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, DWORD Reserved) {
  CallScope scope(*this, "RegDeleteKeyExA");
  deleteCalls.push_back({lpSubKey != nullptr ? lpSubKey : "", samDesired});
  if (LONG code = Fault("RegDeleteKeyExA")) return code;
  if (Reserved != 0) return ERROR_INVALID_PARAMETER;
  std::string parent;
  if (LONG code = KeyPath(hKey, &parent)) return code;
  std::string sub = KeyName(lpSubKey != nullptr ? lpSubKey : "");
  if (sub.empty()) return ERROR_INVALID_PARAMETER;
  std::string path = parent.empty() ? sub : parent + "\\" + sub;
  if (m_keys.count(path) == 0) return ERROR_FILE_NOT_FOUND;
  // A key with sub-keys of its own is not deleted.
  auto below = m_keys.lower_bound(path + "\\");
  if (below != m_keys.end() && below->first.rfind(path + "\\", 0) == 0) return ERROR_ACCESS_DENIED;
  m_keys.erase(path);
  return ERROR_SUCCESS;
}

}  // namespace sim
