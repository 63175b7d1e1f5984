// The text of a report is in the ANSI code page of the host that wrote it. This is the
// reading of such bytes as Unicode (UTF-8 out) and the way back, for the single-byte
// Windows code pages and for UTF-8 (65001), without the platform's conversion functions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text.h"

namespace telinv_read {

// One single-byte code page: the code points of the bytes 0x80 to 0xFF (0xFFFD where the
// code page has no character for the byte). Bytes below 0x80 are ASCII.
struct SingleByteTable {
    int page;
    const char16_t *high;
};

extern const SingleByteTable single_byte_tables[];
extern const std::size_t single_byte_table_count;

class Codepage {
public:
    static constexpr int utf8_page = 65001;
    static constexpr int default_page = 1252;

    // The code page of that number, or none when it is not one this program reads.
    static std::optional<Codepage> find(int page);
    // "437, 850, ..., 1258, 65001", for messages.
    static std::string supported_list();

    int page() const { return page_; }
    bool is_utf8() const { return high_ == nullptr; }

    // Appends the UTF-8 text of the bytes to out. A byte the code page has no character
    // for becomes U+FFFD; in UTF-8, so does each byte that is no part of a valid sequence.
    void decode(std::string_view bytes, std::string &out) const;
    std::string decode(std::string_view bytes) const;

    // Calls f(bytes) for each U+FFFD that decode gives, in order, with the bytes of the
    // input it stands for: one undefined or invalid byte, or the three bytes of a U+FFFD
    // that a UTF-8 text itself holds. With these the text can be encoded back exactly.
    template <class F> void for_each_replaced(std::string_view bytes, F &&f) const;

    // The way back: appends the bytes of a UTF-8 text (as decode gives it) to out. Each
    // U+FFFD takes the next of the replaced byte runs, starting at *next. Returns false
    // when a character has no byte in this code page, the text is no valid UTF-8, or the
    // replaced runs are used up.
    bool encode(std::string_view utf8, std::string &out, const std::string_view *replaced,
                std::size_t replaced_count, std::size_t *next) const;

private:
    Codepage(int page, const char16_t *high);
    // Length of the valid UTF-8 sequence at bytes[i], or 0 when bytes[i] starts none.
    static std::size_t utf8_sequence(std::string_view bytes, std::size_t i);

    int page_;
    const char16_t *high_; // nullptr for UTF-8
    std::array<std::array<char, 4>, 128> utf8_{};
    std::array<std::uint8_t, 128> utf8_len_{};
};

template <class F> void Codepage::for_each_replaced(std::string_view bytes, F &&f) const
{
    const std::size_t n = bytes.size();
    if (is_ascii(bytes))
        return;
    if (!is_utf8()) {
        for (std::size_t i = 0; i < n; i++) {
            unsigned char b = static_cast<unsigned char>(bytes[i]);
            if (b >= 0x80 && high_[b - 0x80] == 0xFFFD)
                f(bytes.substr(i, 1));
        }
        return;
    }
    for (std::size_t i = 0; i < n;) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            i++;
            continue;
        }
        std::size_t len = utf8_sequence(bytes, i);
        if (len == 0) {
            f(bytes.substr(i, 1));
            i++;
            continue;
        }
        if (len == 3 && b == 0xEF && static_cast<unsigned char>(bytes[i + 1]) == 0xBF &&
            static_cast<unsigned char>(bytes[i + 2]) == 0xBD)
            f(bytes.substr(i, 3));
        i += len;
    }
}

} // namespace telinv_read
