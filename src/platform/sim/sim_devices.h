// The simulated Plug and Play devices, found by hardware ID, and the INF
// store that SetupCopyOEMInfA copies into.
#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace sim {

class SimMachine;

class SimDevices : public platform::IDevices {
 public:
  explicit SimDevices(SimMachine& machine) : m_machine(machine) {}

  enum class Outcome { Installs, NotBetter, Fails };
  struct Device {
    Outcome outcome = Outcome::Installs;
    DWORD error = 0;  // the last error of Outcome::Fails
    bool needsRestart = false;
    std::string installedInf;  // what the last successful update used
  };
  Device& AddDevice(const std::string& hardwareId) { return m_devices[hardwareId]; }
  Device* FindDevice(const std::string& hardwareId);
  void Unplug(const std::string& hardwareId) { m_devices.erase(hardwareId); }

  struct UpdateCall {
    HWND parent;
    std::string hardwareId, infPath;
    DWORD flags;
    bool rebootFlagGiven;
  };
  std::vector<UpdateCall> updateCalls;
  struct CopyCall {
    std::string source, media;
    DWORD mediaType, style, destinationSize;
    bool destination, requiredSize, component;
  };
  std::vector<CopyCall> copyCalls;
  // Names in the INF store (C:\windows\inf) of the INFs copied there.
  std::vector<std::string> storedInfs;
  // Restarts the platform would have asked the user for.
  int restartPrompts = 0;
  // What else happens on the machine while a driver update runs.
  std::function<void()> duringUpdate;

  BOOL UpdateDriverForPlugAndPlayDevicesA(HWND hwndParent, LPCSTR HardwareId, LPCSTR FullInfPath,
                                          DWORD InstallFlags, PBOOL bRebootRequired) override;
  BOOL SetupCopyOEMInfA(LPCSTR SourceInfFileName, LPCSTR OEMSourceMediaLocation,
                        DWORD OEMSourceMediaType, DWORD CopyStyle, LPSTR DestinationInfFileName,
                        DWORD DestinationInfFileNameSize, LPDWORD RequiredSize,
                        LPSTR* DestinationInfFileNameComponent) override;

 private:
  SimMachine& m_machine;
  std::map<std::string, Device> m_devices;
};

}  // namespace sim
