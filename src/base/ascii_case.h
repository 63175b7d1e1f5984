// ASCII letters without regard to case, as Windows compares the names of registry keys,
// network services and system directories. Other bytes compare as they are.
#ifndef TELINV_BASE_ASCII_CASE_H
#define TELINV_BASE_ASCII_CASE_H

#include <cstddef>

// The upper-case form of an ASCII letter; every other byte unchanged.
char ascii_upper(char c);

// 1 when the two texts are equal without regard to ASCII case, else 0.
int ascii_equal_folded(const char *a, const char *b);

// 1 when the first n characters of the two texts are equal without regard to ASCII case
// (a terminator in either ends the comparison: both must end there), else 0.
int ascii_prefix_folded(const char *text, const char *prefix, size_t n);

#endif
