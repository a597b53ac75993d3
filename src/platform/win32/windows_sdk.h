// The one place that includes the Windows SDK headers.
#pragma once
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
//
#include <aclapi.h>
#include <commctrl.h>
#include <newdev.h>
#include <sddl.h>
#include <setupapi.h>
#include <shlobj.h>
#include <winspool.h>
