// Internals of the Win32 layer that its files share: plat_handle as the Win32 HANDLE,
// and the 8-bit spelling of a wide path that the ANSI code page may not spell.
#ifndef TELINV_PLATFORM_WIN32_H
#define TELINV_PLATFORM_WIN32_H

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>

#include "platform/platform.h"

// A plat_handle is the HANDLE itself; INVALID_HANDLE_VALUE is the null plat_handle.
plat_handle to_plat(HANDLE h);
HANDLE to_win(plat_handle h);

// An existing file's wide path in the ANSI file functions' code page, else in its short
// 8.3 form (files.cpp says how it answers).
uint32_t spelled_path(const wchar_t *wide, char *buf, uint32_t cap);

#endif
