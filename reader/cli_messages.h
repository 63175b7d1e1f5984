// The command line's messages: a reason on standard error and exit code 2.
#pragma once

#include <cstdio>
#include <string>

#include "codepage.h"

namespace telinv_read {

inline int fail(const std::string &message)
{
    std::fprintf(stderr, "telinv-read: %s\n", message.c_str());
    return 2;
}

inline int usage_error(const std::string &message)
{
    std::fprintf(stderr, "telinv-read: %s\n(telinv-read --help shows how to call it)\n", message.c_str());
    return 2;
}

// A file name as text for messages and output: UTF-8, whatever bytes it holds.
inline std::string shown(const std::string &name)
{
    return Codepage::find(Codepage::utf8_page)->decode(name);
}

} // namespace telinv_read
