// Registry text of a simulated host for the sysinfo tests.
#ifndef TELINV_TEST_SYSINFO_FIXTURE_H
#define TELINV_TEST_SYSINFO_FIXTURE_H

#include <string>
#include <vector>

// A hex(7) value of the registry text (UTF-16LE, as a Version 5.00 file stores it).
inline std::string multi_string(const std::vector<std::string> &texts)
{
    std::string bytes;
    for (const std::string &t : texts) {
        bytes += t;
        bytes += '\0';
    }
    bytes += '\0';
    std::string out = "hex(7):";
    const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < bytes.size(); i++) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (i)
            out += ',';
        out += digits[c >> 4];
        out += digits[c & 15];
        out += ",00";
    }
    return out;
}

inline std::string key(const std::string &path)
{
    return "[HKEY_LOCAL_MACHINE\\" + path + "]\n";
}

// "%-18s %s\n"
inline std::string row(const std::string &label, const std::string &value)
{
    std::string padded = label;
    if (padded.size() < 18)
        padded.resize(18, ' ');
    return padded + " " + value + "\n";
}

// "%d. %-15s %s\n"
inline std::string adapter_row(int number, const std::string &label, const std::string &value)
{
    std::string padded = label;
    if (padded.size() < 15)
        padded.resize(15, ' ');
    return std::to_string(number) + ". " + padded + " " + value + "\n";
}

#endif
