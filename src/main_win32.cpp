// The one application object of the Windows program, on the real machine.
#include "app/setup_app.h"
#include "platform/win32/crt_code_page.h"
#include "platform/win32/win32_platform.h"

namespace {
CrtCodePage g_codePage;
}

CSetupApp theApp(platform::RealPlatform(), g_codePage);
