// Fuzzes both MAC extractors over any captured text: neither overruns its output, and
// each gives what its rules say: find_mac one address in the "%02X-..." form or nothing,
// find_mac2 the sorted first-17-character entries of the lines after the first, cut at
// the output's size less one.
#include "probes/probes_internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// The text as an extractor reads it: at most 4095 bytes, up to the first NUL.
static std::string capture_text(const uint8_t *data, size_t size)
{
    size_t n = std::min(size, static_cast<size_t>(MAC_READ_MAX));
    std::string text(reinterpret_cast<const char *>(data), n);
    return text.substr(0, text.find('\0'));
}

// The entries that find_mac2 should collect, in order.
static std::string expected_list(const std::string &text)
{
    std::vector<std::string> entries;
    size_t start = 0;
    bool first = true;
    for (;;) {
        size_t lf = text.find('\n', start);
        std::string line = text.substr(start, lf == std::string::npos ? std::string::npos : lf - start);
        line = line.substr(0, line.find('\r'));
        if (!first && !line.empty())
            entries.push_back(line.size() >= MAC_ENTRY_CHARS ? line.substr(0, MAC_ENTRY_CHARS) + "\n" : line);
        first = false;
        if (lf == std::string::npos)
            break;
        start = lf + 1;
    }
    std::stable_sort(entries.begin(), entries.end(), [](const std::string &a, const std::string &b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
        });
    });
    std::string joined;
    for (const std::string &e : entries)
        joined += e;
    return joined;
}

static bool is_address(const char *s)
{
    for (int group = 0; group < 6; group++) {
        int digits = 0;
        while ((*s >= '0' && *s <= '9') || (*s >= 'A' && *s <= 'F')) {
            s++;
            digits++;
        }
        if (digits < 2)
            return false;
        if (group < 5 && *s++ != '-')
            return false;
    }
    return *s == '\0';
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text = capture_text(data, size);

    std::vector<char> buf(text.begin(), text.end());
    buf.push_back('\0');
    char out[PROBE_RESULT_SIZE + 1];
    std::memset(out, 'x', sizeof out);
    out[PROBE_RESULT_SIZE] = '\0';
    int r = find_mac_text(buf.data(), out, PROBE_RESULT_SIZE - 1);
    size_t len = std::strlen(out);
    if (len > PROBE_RESULT_SIZE - 2 || (r == 1) != (len > 0) || (r == 1 && !is_address(out)))
        std::abort();

    std::string expected = expected_list(text);
    buf.assign(text.begin(), text.end());
    buf.push_back('\0');
    std::memset(out, 'x', sizeof out);
    out[PROBE_RESULT_SIZE] = '\0';
    r = find_mac2_text(buf.data(), out, PROBE_RESULT_SIZE - 1);
    if (std::string(out) != expected.substr(0, PROBE_RESULT_SIZE - 2))
        std::abort();
    if ((r == 1) != !expected.empty())
        std::abort();
    return 0;
}
