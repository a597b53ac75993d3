// The INF dump: what a Setup API answers to the calls the INF reader makes,
// written as text, so that the real Setup API (inf_dump.exe under Wine or on
// Windows) and the simulated one (the native qvr_inf_dump) can be compared
// line by line. One source for both; only the platform differs.
#pragma once
#include <string>

#include "catalogue/models_section.h"
#include "platform/platform.h"

namespace infdump {

// Opens `path` with class `infClass` (nullptr for none) and INF_STYLE_WIN4
// and goes through it as the reader does, plus a few probes of edge
// behaviour. When the open fails it tries again without a class, so that a
// class check that one side makes and the other doesn't costs one line of
// difference, not the whole dump.
// The models section that the reader takes of a decorated Manufacturer
// line is shown for `target`.
std::string DumpInf(platform::ISetupApi& setup, platform::IThreadError& error,
                    const TargetPlatform& target, const std::string& path, const char* infClass);

// What GetVersionExA tells, and the platform that the reader reads a
// decorated Manufacturer line for, in `target`.
std::string DumpSystemVersion(platform::ISystemVersion& system, platform::IThreadError& error,
                              bool x64Program, TargetPlatform* target);

// The system texts of the Setup API errors that the reader can report.
std::string DumpMessageTexts(platform::IMessages& messages, platform::IThreadError& error);

}  // namespace infdump
