// Decimal digits of 64-bit numbers, written here rather than with the C library's 64-bit
// conversions, which the C runtime of older Windows does not know.
#ifndef TELINV_BASE_DECIMAL_H
#define TELINV_BASE_DECIMAL_H

#include <cstdint>

// The digits of the largest 64-bit number and a terminator.
enum { U64_DIGITS_SIZE = 21 };

// The decimal digits of number into out; returns their count (1 to 20).
int format_u64(uint64_t number, char out[U64_DIGITS_SIZE]);

#endif
