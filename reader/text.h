// Small helpers on byte texts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace telinv_read {

inline bool starts_with(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

inline bool ends_with(std::string_view s, std::string_view suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Whether every byte is below 0x80: text that reads the same in every code page.
inline bool is_ascii(std::string_view s)
{
    unsigned char any = 0;
    for (char c : s)
        any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

inline std::string_view trim_right(std::string_view s)
{
    std::size_t n = s.size();
    while (n > 0 && s[n - 1] == ' ')
        n--;
    return s.substr(0, n);
}

inline std::string_view trim(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        i++;
    s = s.substr(i);
    std::size_t n = s.size();
    while (n > 0 && (s[n - 1] == ' ' || s[n - 1] == '\t'))
        n--;
    return s.substr(0, n);
}

// ASCII case folding: report names and keys compare without regard to ASCII case,
// whatever the code page does with the other bytes.
inline char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
inline char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string ascii_lower(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        c = ascii_lower(c);
    return out;
}

inline std::string ascii_upper(std::string_view s)
{
    std::string out(s);
    for (char &c : out)
        c = ascii_upper(c);
    return out;
}

inline bool ascii_iequals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); i++)
        if (ascii_lower(a[i]) != ascii_lower(b[i]))
            return false;
    return true;
}

} // namespace telinv_read
