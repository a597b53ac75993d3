// Which models section a decorated [Manufacturer] line names on the platform
// that the program runs on.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"

// The platform a models section is chosen for: the program's architecture
// ("x86" or "amd64") and what the system tells of itself. A system that
// could not tell is version 0.0, build 0, product type 0.
struct TargetPlatform {
  const char* architecture = "x86";
  DWORD major = 0;
  DWORD minor = 0;
  DWORD build = 0;
  DWORD productType = 0;
  DWORD suiteMask = 0;
};

// `fields` are the Manufacturer line's fields from field 1 on: the base name
// of the models section, then its TargetOSVersion decorations, each
// NT[architecture][.major[.minor[.productType[.suiteMask[.buildNumber]]]]],
// case ignored, any part left empty. A decoration qualifies when each part
// it gives is met: the architecture is the program's, the version and build
// are at most the system's, the product type is the system's, the suite
// mask's bits are all the system's. Of those that qualify, the highest
// version (then build) wins, then one that names the architecture, then one
// that gives more of product type and suite mask, then the first. The
// section is "<base>.<decoration>". With none qualifying, an x86 program
// reads the undecorated base name and any other has no models section.
//
// With kRequired only decorations that name the architecture count, and
// nothing is read in their place: the section that holds drivers built for
// this architecture, if the INF names one.
enum class ArchitectureNamed { kOptional, kRequired };
std::optional<std::string> ChooseModelsSection(
    const std::vector<std::string>& fields, const TargetPlatform& platform,
    ArchitectureNamed architecture = ArchitectureNamed::kOptional);
