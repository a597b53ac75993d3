// The real machine: every seam call forwards to the Win32 API unchanged.
#pragma once
#include "platform/platform.h"

namespace platform {

Platform RealPlatform();

}  // namespace platform
