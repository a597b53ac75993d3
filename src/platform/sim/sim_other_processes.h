// Other processes of the simulated machine, as far as a run of the program
// sees them: the named mutexes they own, or owned when they crashed, and
// their top-level windows.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace sim {

class SimMachine;

class SimOtherProcesses : public platform::ISync, public platform::IWindows {
 public:
  explicit SimOtherProcesses(SimMachine& machine) : m_machine(machine) {}

  // Another process owns the mutex `name` and keeps it.
  void OwnMutex(const std::string& name) { m_owners[name] = Owner::Other; }
  // The process that owned `name` ended without releasing it.
  void AbandonMutex(const std::string& name) { m_owners[name] = Owner::Gone; }
  // Whether the program owns `name` now, and how many handles it holds.
  bool OwnedByProgram(const std::string& name) const;
  int OpenHandles() const { return static_cast<int>(m_handles.size()); }
  // The program's process ended: its handles are closed, and the mutexes it
  // owned are abandoned.
  void EndProgram();
  std::vector<std::string> mutexNames;  // every name CreateMutexA was given

  struct Window {
    std::string className, title;
    bool visible = true;
    bool iconic = false;
  };
  HWND AddWindow(const Window& window);
  const Window& WindowOf(HWND h) const { return m_windows.at(Index(h)); }
  HWND foreground = nullptr;

  // ---- ISync
  HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner,
                      LPCSTR lpName) override;
  DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) override;
  BOOL ReleaseMutex(HANDLE hMutex) override;
  BOOL CloseHandle(HANDLE hObject) override;

  // ---- IWindows
  HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) override;
  BOOL IsWindowVisible(HWND hWnd) override;
  BOOL IsIconic(HWND hWnd) override;
  BOOL ShowWindow(HWND hWnd, int nCmdShow) override;
  BOOL SetForegroundWindow(HWND hWnd) override;

 private:
  enum class Owner { None, Program, Other, Gone };
  const std::string* NameOf(HANDLE h);
  static size_t Index(HWND h) { return reinterpret_cast<std::uintptr_t>(h) - kFirstWindow; }
  Window* Find(HWND h);

  static constexpr std::uintptr_t kFirstWindow = 0x9000;
  SimMachine& m_machine;
  std::map<std::string, Owner> m_owners;
  std::map<std::uintptr_t, std::string> m_handles;  // open mutex handles, by name
  std::uintptr_t m_next = 0x7000;
  std::vector<Window> m_windows;
};

}  // namespace sim
