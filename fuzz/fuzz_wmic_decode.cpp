// Fuzzes the decoding of wmic's output file over any bytes: the kept text never exceeds
// the capacity, holds only allowed characters, and is exactly the allowed low bytes of
// the wanted line of the first 4095 bytes.
#include "probes/probes_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

static bool allowed(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '.' ||
           c == '_';
}

static std::string expected(const uint8_t *data, uint32_t count, int capacity, int wanted_line)
{
    std::string kept;
    int line = 0;
    for (uint32_t offset = 2; offset < count; offset += 2) {
        if (data[offset] == '\n')
            line++;
        if (line == wanted_line && allowed(data[offset]) && static_cast<int>(kept.size()) < capacity)
            kept += static_cast<char>(data[offset]);
    }
    return kept;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    uint32_t count = static_cast<uint32_t>(std::min(size, static_cast<size_t>(WMIC_READ_MAX)));
    for (int wanted_line = 0; wanted_line <= 2; wanted_line++) {
        for (int capacity : {PROBE_RESULT_SIZE - 1, 3, 0}) {
            char out[PROBE_RESULT_SIZE + 1];
            std::memset(out, 'x', sizeof out);
            int kept = decode_wmic_text(data, count, out, capacity, wanted_line);
            if (kept < 0 || kept > capacity || out[kept] != '\0' || static_cast<int>(std::strlen(out)) != kept)
                std::abort();
            if (out[kept + 1] != 'x')
                std::abort(); // nothing written past the terminator
            if (std::string(out) != expected(data, count, capacity, wanted_line))
                std::abort();
        }
    }
    return 0;
}
