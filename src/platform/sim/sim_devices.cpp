#include "platform/sim/sim_devices.h"

#include <strings.h>

#include <cstring>

#include "platform/sim/sim_machine.h"

namespace sim {

SimDevices::Device* SimDevices::FindDevice(const std::string& hardwareId) {
  // Hardware IDs compare without regard to case.
  for (auto& [id, device] : m_devices)
    if (strcasecmp(id.c_str(), hardwareId.c_str()) == 0) return &device;
  return nullptr;
}

BOOL SimDevices::UpdateDriverForPlugAndPlayDevicesA(HWND parent, LPCSTR hardwareId, LPCSTR infPath,
                                                    DWORD flags, PBOOL reboot) {
  updateCalls.push_back({parent, hardwareId != nullptr ? hardwareId : "",
                         infPath != nullptr ? infPath : "", flags, reboot != nullptr});
  if (duringUpdate) duringUpdate();
  if (m_machine.Enter("UpdateDriverForPlugAndPlayDevicesA")) return FALSE;
  if (reboot != nullptr) *reboot = FALSE;
  if (flags & ~0x7u) {
    m_machine.SetLastError(ERROR_INVALID_FLAGS);
    return FALSE;
  }
  if (infPath == nullptr || !m_machine.FileContent(infPath).has_value()) {
    m_machine.SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  Device* device = hardwareId != nullptr ? FindDevice(hardwareId) : nullptr;
  if (device == nullptr) {
    m_machine.SetLastError(ERROR_NO_SUCH_DEVINST);
    return FALSE;
  }
  bool forced = (flags & INSTALLFLAG_FORCE) != 0;
  if (device->outcome == Outcome::Fails || (device->outcome == Outcome::NotBetter && !forced)) {
    m_machine.SetLastError(device->outcome == Outcome::Fails ? device->error : 0);
    return FALSE;
  }
  device->installedInf = infPath;
  if (device->needsRestart && reboot != nullptr) *reboot = TRUE;
  m_machine.SetLastError(0);
  // Without a place to report it, the platform would ask the user to restart.
  if (device->needsRestart && reboot == nullptr) ++restartPrompts;
  return TRUE;
}

BOOL SimDevices::SetupCopyOEMInfA(LPCSTR source, LPCSTR media, DWORD mediaType, DWORD style,
                                  LPSTR destination, DWORD destinationSize, LPDWORD requiredSize,
                                  LPSTR* component) {
  copyCalls.push_back({source != nullptr ? source : "", media != nullptr ? media : "", mediaType,
                       style, destinationSize, destination != nullptr, requiredSize != nullptr,
                       component != nullptr});
  if (m_machine.Enter("SetupCopyOEMInfA")) return FALSE;
  std::optional<std::string> content =
      source != nullptr ? m_machine.FileContent(source) : std::nullopt;
  if (!content) {
    m_machine.SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  // The store takes only what opens as an INF.
  UINT errorLine = 0;
  HINF inf = m_machine.setup.SetupOpenInfFileA(source, nullptr, INF_STYLE_WIN4, &errorLine);
  if (inf == INVALID_HANDLE_VALUE) return FALSE;
  m_machine.setup.SetupCloseInfFile(inf);

  std::string name;
  for (size_t i = 0; i < storedInfs.size() && name.empty(); ++i)
    if (m_machine.FileContent("C:\\windows\\inf\\" + storedInfs[i]) == content)
      name = storedInfs[i];
  if (name.empty()) {
    name = "oem" + std::to_string(storedInfs.size()) + ".inf";
    m_machine.PutFile("C:\\windows\\inf\\" + name, *content);
    storedInfs.push_back(name);
  }
  std::string full = "C:\\windows\\inf\\" + name;
  if (requiredSize != nullptr) *requiredSize = static_cast<DWORD>(full.size() + 1);
  if (destination != nullptr) {
    if (destinationSize <= full.size()) {
      m_machine.SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    std::memcpy(destination, full.c_str(), full.size() + 1);
    if (component != nullptr) *component = destination + full.size() - name.size();
  }
  m_machine.SetLastError(0);
  return TRUE;
}

}  // namespace sim
