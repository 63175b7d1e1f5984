// Version resources of files on Windows (GetFileVersionInfoSizeA, GetFileVersionInfoA,
// VerQueryValueA).
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/platform.h"

uint32_t plat_file_version_info_size(const char *path)
{
    DWORD handle = 0;
    return GetFileVersionInfoSizeA(path, &handle);
}

int plat_file_version_info(const char *path, uint32_t size, void *block)
{
    return GetFileVersionInfoA(path, 0, size, block) ? 1 : 0;
}

int plat_ver_query_value(void *block, const char *sub_block, void **value, uint32_t *len)
{
    UINT n = 0;
    LPVOID v = nullptr;
    if (!VerQueryValueA(block, sub_block, &v, &n))
        return 0;
    *value = v;
    *len = n;
    return 1;
}
