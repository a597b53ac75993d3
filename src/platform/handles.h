// Owners for the handles the program opens: each releases its handle through
// the same seam that produced it, on every path out of the scope.
#pragma once
#include <utility>

#include "platform/platform.h"

namespace platform {

// The facility whose member Release gives a handle back; void for a plain
// function.
template <class Fn>
struct ReleaseOf;
template <class R, class Facility, class Arg>
struct ReleaseOf<R (Facility::*)(Arg)> {
  using FacilityType = Facility;
};
template <class R, class Arg>
struct ReleaseOf<R (*)(Arg)> {
  using FacilityType = void;
};

// Whether INVALID_HANDLE_VALUE means "no handle" as NULL does (file, search
// and INF handles), or is a handle like any other.
enum class Empty { Null, NullOrInvalid };

// A move-only owner of one handle of type H, released with Release (a
// member of the facility that produced it, or a plain function) when the
// owner is reset, moved onto or leaves its scope. An empty owner releases
// nothing.
template <class H, auto Release, Empty kEmpty = Empty::Null>
class Owned {
  using Facility = typename ReleaseOf<decltype(Release)>::FacilityType;
  struct NoFacility {};
  using FacilityRef = std::conditional_t<std::is_void_v<Facility>, NoFacility, Facility*>;

 public:
  template <class F = Facility, std::enable_if_t<!std::is_void_v<F>, int> = 0>
  explicit Owned(F& facility, H h = H{}) : m_facility(&facility), m_h(h) {}
  template <class F = Facility, std::enable_if_t<std::is_void_v<F>, int> = 0>
  explicit Owned(H h = H{}) : m_h(h) {}
  Owned(Owned&& other) noexcept : m_facility(other.m_facility), m_h(other.release()) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      reset();
      m_facility = other.m_facility;
      m_h = other.release();
    }
    return *this;
  }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() { reset(); }

  static bool IsValid(H h) {
    if (h == H{}) return false;
    if constexpr (kEmpty == Empty::NullOrInvalid) return h != INVALID_HANDLE_VALUE;
    return true;
  }
  bool valid() const { return IsValid(m_h); }
  H get() const { return m_h; }
  // Releases the handle held, if any, and holds h instead.
  void reset(H h = H{}) {
    if (valid()) {
      if constexpr (std::is_void_v<Facility>)
        Release(m_h);
      else
        (m_facility->*Release)(m_h);
    }
    m_h = h;
  }
  // Gives the handle up without releasing it.
  H release() { return std::exchange(m_h, H{}); }
  // Empties the owner and gives the place where a call stores a new handle.
  H* put() {
    reset();
    return &m_h;
  }

 private:
  [[no_unique_address]] FacilityRef m_facility{};
  H m_h;
};

// A file handle from CreateFileA.
using FileHandle = Owned<HANDLE, &IFiles::CloseHandle, Empty::NullOrInvalid>;
// A directory search handle from FindFirstFileA.
using FindHandle = Owned<HANDLE, &IFiles::FindClose, Empty::NullOrInvalid>;
// A text that FormatMessageA allocated (FORMAT_MESSAGE_ALLOCATE_BUFFER
// stores its address through put()).
using LocalText = Owned<LPSTR, &IMessages::LocalFree>;
// A block that the system allocated with LocalAlloc: a security descriptor
// or its text.
using LocalBlock = Owned<HLOCAL, &IMessages::LocalFree>;
// An INF opened with SetupOpenInfFileA.
using InfHandle = Owned<HINF, &ISetupApi::SetupCloseInfFile, Empty::NullOrInvalid>;
// A registry key opened with RegOpenKeyExA.
using RegistryKey = Owned<HKEY, &IRegistry::RegCloseKey>;
// A fixed memory block from GlobalAlloc; a fixed block's handle is its address.
using GlobalBuffer = Owned<HGLOBAL, &IMemory::GlobalFree>;
// A service or service manager handle.
using ServiceHandle = Owned<SC_HANDLE, &IServices::CloseServiceHandle>;
// A process or thread handle.
using ProcessHandle = Owned<HANDLE, &IProcesses::CloseProcessHandle>;

// An event source from RegisterEventSourceA.
using EventSourceHandle = Owned<HANDLE, &IEventLog::DeregisterEventSource>;

// A named mutex from CreateMutexA.
using MutexHandle = Owned<HANDLE, &ISync::CloseHandle>;
// A mutex that a wait took: given back before its handle is closed, so the
// owner is declared after the MutexHandle that it takes from.
using MutexOwnership = Owned<HANDLE, &ISync::ReleaseMutex>;

}  // namespace platform
