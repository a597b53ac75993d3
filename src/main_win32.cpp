// The one application object of the Windows program, on the real machine.
#include "app/setup_app.h"
#include "platform/win32/win32_platform.h"

CSetupApp theApp(platform::RealPlatform());
