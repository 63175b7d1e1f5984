#include "codepage.h"

#include <algorithm>

namespace telinv_read {

namespace {

// Appends the UTF-8 form of a code point of the Basic Multilingual Plane.
std::size_t put_utf8(char32_t c, char *out)
{
    if (c < 0x80) {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<char>(0xC0 | (c >> 6));
        out[1] = static_cast<char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (c >> 12));
        out[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (c >> 18));
    out[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (c & 0x3F));
    return 4;
}

const char replacement_utf8[] = "\xEF\xBF\xBD";

} // namespace

Codepage::Codepage(int page, const char16_t *high) : page_(page), high_(high)
{
    if (!high_)
        return;
    for (std::size_t i = 0; i < 128; i++)
        utf8_len_[i] = static_cast<std::uint8_t>(put_utf8(high_[i], utf8_[i].data()));
}

std::optional<Codepage> Codepage::find(int page)
{
    if (page == utf8_page)
        return Codepage(page, nullptr);
    for (std::size_t i = 0; i < single_byte_table_count; i++)
        if (single_byte_tables[i].page == page)
            return Codepage(page, single_byte_tables[i].high);
    return std::nullopt;
}

std::string Codepage::supported_list()
{
    std::string list;
    for (std::size_t i = 0; i < single_byte_table_count; i++)
        list += std::to_string(single_byte_tables[i].page) + ", ";
    return list + std::to_string(utf8_page);
}

std::size_t Codepage::utf8_sequence(std::string_view bytes, std::size_t i)
{
    // RFC 3629: no overlong forms, no surrogates, nothing above U+10FFFF.
    const std::size_t n = bytes.size();
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
    auto cont = [&](std::size_t k) { return k < n && (at(k) & 0xC0) == 0x80; };
    unsigned char b = at(i);
    if (b >= 0xC2 && b <= 0xDF)
        return cont(i + 1) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        if (!cont(i + 1) || !cont(i + 2))
            return 0;
        unsigned char b1 = at(i + 1);
        if ((b == 0xE0 && b1 < 0xA0) || (b == 0xED && b1 > 0x9F))
            return 0;
        return 3;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        if (!cont(i + 1) || !cont(i + 2) || !cont(i + 3))
            return 0;
        unsigned char b1 = at(i + 1);
        if ((b == 0xF0 && b1 < 0x90) || (b == 0xF4 && b1 > 0x8F))
            return 0;
        return 4;
    }
    return 0;
}

void Codepage::decode(std::string_view bytes, std::string &out) const
{
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        // Runs of ASCII are copied as they are.
        std::size_t start = i;
        while (i < n && static_cast<unsigned char>(bytes[i]) < 0x80)
            i++;
        out.append(bytes.data() + start, i - start);
        if (i == n)
            break;
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (high_) {
            out.append(utf8_[b - 0x80].data(), utf8_len_[b - 0x80]);
            i++;
            continue;
        }
        std::size_t len = utf8_sequence(bytes, i);
        if (len == 0) {
            out.append(replacement_utf8, 3);
            i++;
        } else {
            out.append(bytes.data() + i, len);
            i += len;
        }
    }
}

std::string Codepage::decode(std::string_view bytes) const
{
    std::string out;
    out.reserve(bytes.size());
    decode(bytes, out);
    return out;
}

bool Codepage::encode(std::string_view utf8, std::string &out, const std::string_view *replaced,
                      std::size_t replaced_count, std::size_t *next) const
{
    const std::size_t n = utf8.size();
    for (std::size_t i = 0; i < n;) {
        unsigned char b = static_cast<unsigned char>(utf8[i]);
        if (b < 0x80) {
            out += static_cast<char>(b);
            i++;
            continue;
        }
        std::size_t len = utf8_sequence(utf8, i);
        if (len == 0)
            return false;
        if (utf8.substr(i, len) == std::string_view(replacement_utf8, 3)) {
            if (*next >= replaced_count)
                return false;
            out += replaced[(*next)++];
            i += len;
            continue;
        }
        if (!high_) {
            out.append(utf8.data() + i, len);
            i += len;
            continue;
        }
        bool found = false;
        for (std::size_t k = 0; k < 128 && !found; k++) {
            if (high_[k] != 0xFFFD && utf8_len_[k] == len &&
                std::equal(utf8_[k].begin(), utf8_[k].begin() + len, utf8.begin() + i)) {
                out += static_cast<char>(0x80 + k);
                found = true;
            }
        }
        if (!found)
            return false;
        i += len;
    }
    return true;
}

} // namespace telinv_read
