// The one place that includes <windows.h>, with the same settings for every file of the Win32 layer.
// Every call names its ANSI ("...A") form explicitly, so UNICODE must stay undefined.
#pragma once

#if defined(UNICODE) || defined(_UNICODE)
#error "The Win32 layer calls the ANSI functions; build it without UNICODE."
#endif

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef STRICT
#define STRICT
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
