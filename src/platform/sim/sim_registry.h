// The simulated registry: the HKEY_LOCAL_MACHINE hive, keys by path, values
// with their type and raw bytes. Names of keys and values ignore case.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace sim {

class SimMachine;

class SimRegistry : public platform::IRegistry {
 public:
  explicit SimRegistry(SimMachine& machine) : m_machine(machine) {}

  // ---- the machine's contents; paths are below HKEY_LOCAL_MACHINE, such as
  // "SYSTEM\\CurrentControlSet". Setting a value creates its key and the
  // keys above it; setting a value again replaces it.
  void CreateKey(const std::string& path);
  void SetValue(const std::string& path, const std::string& name, DWORD type,
                const std::vector<BYTE>& bytes);
  void SetBinary(const std::string& path, const std::string& name, const std::vector<BYTE>& bytes);
  // A REG_SZ value: the text and its terminating zero.
  void SetString(const std::string& path, const std::string& name, const std::string& text);
  bool HasKey(const std::string& path) const;
  // A REG_SZ value's text, without its terminator; nothing when the value
  // is missing or of another type.
  std::optional<std::string> StringValue(const std::string& path, const std::string& name) const;

  // ---- observations
  struct OpenCall {
    std::string path;  // the sub-key as the caller named it
    DWORD options;
    REGSAM access;
  };
  std::vector<OpenCall> openCalls;  // RegCreateKeyExA's too
  struct DeleteCall {
    std::string path;  // the sub-key as the caller named it
    REGSAM view;
  };
  std::vector<DeleteCall> deleteCalls;
  int flushes = 0;  // RegFlushKey calls that succeeded
  // Keys opened and not yet closed.
  int OpenKeys() const { return static_cast<int>(m_open.size()); }

  // Runs at the end of every registry call with the call's name, so a test
  // can change a value between a caller's size query and its read, as
  // another process might.
  std::function<void(const char* call)> afterEachCall;

  // ---- IRegistry. Like the real functions these return the error code and
  // leave the thread's last error alone.
  LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired,
                     PHKEY phkResult) override;
  LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                        LPBYTE lpData, LPDWORD lpcbData) override;
  LONG RegCloseKey(HKEY hKey) override;
  LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                       REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                       PHKEY phkResult, LPDWORD lpdwDisposition) override;
  LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType,
                      const BYTE* lpData, DWORD cbData) override;
  LONG RegFlushKey(HKEY hKey) override;
  LONG RegDeleteKeyExA(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, DWORD Reserved) override;

  // The program's process ended: the keys it had open are closed.
  void CloseAll() { m_open.clear(); }

 private:
  struct Value {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
  };
  struct Key {
    std::map<std::string, Value> values;  // by upper-cased name
  };

  // Tells afterEachCall when a call returns.
  class CallScope {
   public:
    CallScope(SimRegistry& registry, const char* call) : m_registry(registry), m_call(call) {}
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;
    ~CallScope() {
      if (m_registry.afterEachCall) m_registry.afterEachCall(m_call);
    }

   private:
    SimRegistry& m_registry;
    const char* m_call;
  };

  // Records the call; returns the queued fault's code, or ERROR_SUCCESS.
  LONG Fault(const char* call);
  // The upper-cased path of an open key or of the hive's root; false for a
  // handle that is neither.
  bool PathOf(HKEY hKey, std::string* path) const;
  // The same, as a registry call's result: ERROR_INVALID_HANDLE, counted
  // as a bad handle use, for a handle that is neither.
  LONG KeyPath(HKEY hKey, std::string* path);
  // A new handle on the key at path.
  HKEY OpenHandleOn(const std::string& path);

  SimMachine& m_machine;
  std::map<std::string, Key> m_keys;  // by upper-cased path; "" is the root
  std::map<std::uintptr_t, std::string> m_open;
  std::uintptr_t m_nextKey = 0x2000;
};

}  // namespace sim
