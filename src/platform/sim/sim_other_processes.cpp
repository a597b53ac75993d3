#include "platform/sim/sim_other_processes.h"

#include "platform/sim/sim_machine.h"

namespace sim {

bool SimOtherProcesses::OwnedByProgram(const std::string& name) const {
  auto it = m_owners.find(name);
  return it != m_owners.end() && it->second == Owner::Program;
}

void SimOtherProcesses::EndProgram() {
  m_handles.clear();
  for (auto& [name, owner] : m_owners)
    if (owner == Owner::Program) owner = Owner::Gone;
}

HWND SimOtherProcesses::AddWindow(const Window& window) {
  m_windows.push_back(window);
  return reinterpret_cast<HWND>(kFirstWindow + m_windows.size() - 1);
}

const std::string* SimOtherProcesses::NameOf(HANDLE h) {
  auto it = m_handles.find(reinterpret_cast<std::uintptr_t>(h));
  if (it != m_handles.end()) return &it->second;
  m_machine.SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

HANDLE SimOtherProcesses::CreateMutexA(LPSECURITY_ATTRIBUTES /*security*/, BOOL initialOwner,
                                       LPCSTR name) {
  if (m_machine.Enter("CreateMutexA")) return nullptr;
  std::string key = name != nullptr ? name : "";
  mutexNames.push_back(key);
  auto [it, created] = m_owners.try_emplace(key, Owner::None);
  if (created && initialOwner) it->second = Owner::Program;
  m_machine.SetLastError(created ? 0 : ERROR_ALREADY_EXISTS);
  std::uintptr_t id = m_next += 4;
  m_handles[id] = key;
  return reinterpret_cast<HANDLE>(id);
}

DWORD SimOtherProcesses::WaitForSingleObject(HANDLE h, DWORD /*milliseconds*/) {
  if (m_machine.Enter("WaitForSingleObject(mutex)")) return WAIT_FAILED;
  const std::string* name = NameOf(h);
  if (name == nullptr) return WAIT_FAILED;
  Owner& owner = m_owners[*name];
  switch (owner) {
    case Owner::Other:
      return WAIT_TIMEOUT;  // the other process never lets go here
    case Owner::Gone:
      owner = Owner::Program;
      return WAIT_ABANDONED;
    default:
      owner = Owner::Program;
      return WAIT_OBJECT_0;
  }
}

BOOL SimOtherProcesses::ReleaseMutex(HANDLE h) {
  if (m_machine.Enter("ReleaseMutex") && m_machine.Frozen()) return FALSE;
  const std::string* name = NameOf(h);
  if (name == nullptr) return FALSE;
  Owner& owner = m_owners[*name];
  if (owner != Owner::Program) {
    m_machine.SetLastError(288);  // ERROR_NOT_OWNER
    return FALSE;
  }
  owner = Owner::None;
  return TRUE;
}

BOOL SimOtherProcesses::CloseHandle(HANDLE h) {
  m_machine.Enter("CloseHandle(mutex)");
  if (m_handles.erase(reinterpret_cast<std::uintptr_t>(h)) == 0) {
    m_machine.SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

SimOtherProcesses::Window* SimOtherProcesses::Find(HWND h) {
  size_t index = Index(h);
  if (h == nullptr || index >= m_windows.size()) {
    m_machine.SetLastError(1400);  // ERROR_INVALID_WINDOW_HANDLE
    return nullptr;
  }
  return &m_windows[index];
}

HWND SimOtherProcesses::FindWindowA(LPCSTR className, LPCSTR windowName) {
  m_machine.Enter("FindWindowA");
  for (size_t i = 0; i < m_windows.size(); ++i) {
    const Window& w = m_windows[i];
    if ((className == nullptr || w.className == className) &&
        (windowName == nullptr || w.title == windowName))
      return reinterpret_cast<HWND>(kFirstWindow + i);
  }
  m_machine.SetLastError(0);
  return nullptr;
}

BOOL SimOtherProcesses::IsWindowVisible(HWND h) {
  Window* w = Find(h);
  return w != nullptr && w->visible;
}

BOOL SimOtherProcesses::IsIconic(HWND h) {
  Window* w = Find(h);
  return w != nullptr && w->iconic;
}

BOOL SimOtherProcesses::ShowWindow(HWND h, int show) {
  Window* w = Find(h);
  if (w == nullptr) return FALSE;
  BOOL wasVisible = w->visible;
  if (show == SW_RESTORE) {
    w->iconic = false;
    w->visible = true;
  }
  return wasVisible;
}

BOOL SimOtherProcesses::SetForegroundWindow(HWND h) {
  m_machine.Enter("SetForegroundWindow");
  if (Find(h) == nullptr) return FALSE;
  foreground = h;
  return TRUE;
}

}  // namespace sim
