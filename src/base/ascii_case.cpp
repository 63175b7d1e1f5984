// ASCII case folding.
#include "base/ascii_case.h"

char ascii_upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

int ascii_prefix_folded(const char *text, const char *prefix, size_t n)
{
    for (size_t i = 0; i < n; i++) {
        if (ascii_upper(text[i]) != ascii_upper(prefix[i]))
            return 0;
        if (text[i] == '\0')
            return 1;
    }
    return 1;
}

int ascii_equal_folded(const char *a, const char *b)
{
    for (;; a++, b++) {
        if (ascii_upper(*a) != ascii_upper(*b))
            return 0;
        if (*a == '\0')
            return 1;
    }
}
