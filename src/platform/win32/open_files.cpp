// The files that this process holds open (for the stand-in tools of the tests).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "platform/platform_internal.h"

typedef DWORD(WINAPI *final_path_fn)(HANDLE, LPWSTR, DWORD, DWORD);

int plat_open_file_names(plat_open_file_fn each, void *user)
{
    // Windows Vista and later name the file behind a handle.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FARPROC proc = kernel ? GetProcAddress(kernel, "GetFinalPathNameByHandleW") : nullptr;
    if (!proc)
        return 0;
    final_path_fn final_path;
    std::memcpy(&final_path, &proc, sizeof final_path);
    int found = 0;
    // Handle values are multiples of four; a fresh process holds a few hundred at most.
    for (uintptr_t value = 4; value < 0x4000; value += 4) {
        HANDLE h = reinterpret_cast<HANDLE>(value);
        if (GetFileType(h) != FILE_TYPE_DISK)
            continue;
        wchar_t wide[1024];
        DWORD n = final_path(h, wide, sizeof wide / sizeof wide[0], 0);
        if (n == 0 || n >= sizeof wide / sizeof wide[0])
            continue;
        char path[3 * 1024];
        if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, path, sizeof path, nullptr, nullptr) <= 0)
            continue;
        each(path, user);
        found++;
    }
    return found;
}
