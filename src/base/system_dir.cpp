// The Windows system directory.
#include "base/system_dir.h"

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
