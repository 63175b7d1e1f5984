// Decimal digits of 64-bit numbers.
#include "base/decimal.h"

int format_u64(uint64_t number, char out[U64_DIGITS_SIZE])
{
    char digits[U64_DIGITS_SIZE];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + static_cast<int>(number % 10u));
        number /= 10u;
    } while (number != 0);
    for (int i = 0; i < n; i++)
        out[i] = digits[n - 1 - i];
    out[n] = '\0';
    return n;
}
