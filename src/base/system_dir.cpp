// The Windows system directory, and the path through which a file there is reached as it is.
#include "base/system_dir.h"

#include <cstdio>

#include "base/ascii_case.h"
#include "platform/platform.h"

uint32_t system_dir(char *dest, size_t size)
{
    if (size < 2)
        return 0;
    dest[0] = '\0';
    uint32_t limit = size - 1 > 0xFFFFFFFEu ? 0xFFFFFFFEu : static_cast<uint32_t>(size - 1);
    uint32_t n = plat_system_directory(dest, limit);
    if (n == 0 || n >= limit) {
        dest[0] = '\0';
        return 0;
    }
    return n;
}

const char *native_file_path(const char *path, char *out, size_t size)
{
    char native_dir[PLAT_MAX_PATH];
    if (plat_native_system_directory(native_dir, sizeof native_dir) == 0)
        return path;
    char system[PLAT_MAX_PATH];
    uint32_t len = system_dir(system, sizeof system);
    // Windows compares names without regard to case; the separator after the directory
    // keeps "system32x" from counting as the system directory.
    if (len == 0 || !ascii_prefix_folded(path, system, len) || (path[len] != '\\' && path[len] != '\0'))
        return path;
    int n = std::snprintf(out, size, "%s%s", native_dir, path + len);
    if (n < 0 || static_cast<size_t>(n) >= size)
        return path;
    return out;
}
