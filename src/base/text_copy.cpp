// Bounded text copies.
#include "base/text_copy.h"

#include <cstring>

void text_copy(char *dest, size_t size, const char *text)
{
    if (size == 0)
        return;
    dest[0] = '\0';
    text_append(dest, size, text);
}

void text_append(char *dest, size_t size, const char *text)
{
    size_t used = std::strlen(dest);
    if (used + 1 >= size)
        return;
    size_t n = std::strlen(text);
    if (n > size - 1 - used)
        n = size - 1 - used;
    std::memcpy(dest + used, text, n);
    dest[used + n] = '\0';
}

uint32_t text_copy_whole(char *dest, size_t size, const char *text)
{
    if (size == 0)
        return 0;
    dest[0] = '\0';
    size_t len = std::strlen(text);
    if (len == 0 || len >= size)
        return 0;
    std::memcpy(dest, text, len + 1);
    return static_cast<uint32_t>(len);
}
