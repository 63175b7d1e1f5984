// The report's bytes made again from telinv-read's JSON, by the rule its schema states:
// the header line, then each section's banner and lines, each followed by the report's
// line end (none after a line that a banner was joined to, none after the last line of
// a cut-off report), encoded into the code page with the replaced bytes put back.
// Shared by the reader's tests and its fuzz target.
#ifndef TELINV_TESTS_READER_JSON_REBUILD_H
#define TELINV_TESTS_READER_JSON_REBUILD_H

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codepage.h"
#include "report_json.h"

namespace telinv_read {

// False when a text does not encode or a replaced byte run is left over.
inline bool rebuild_from_json(const Json &j, const Codepage &cp, std::string *out)
{
    std::vector<std::string> replaced;
    for (const Json &h : j["replaced"]) {
        std::string hex = h.get<std::string>(), bytes;
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        replaced.push_back(bytes);
    }
    std::vector<std::string_view> views(replaced.begin(), replaced.end());
    std::vector<std::pair<std::string, bool>> pieces = {{j["header"]["line"].get<std::string>(), false}};
    for (const Json &s : j["sections"]) {
        if (!s["banner"].is_null()) {
            if (s["joined"].get<bool>())
                pieces.back().second = true;
            pieces.emplace_back(s["banner"].get<std::string>(), false);
        }
        for (const Json &l : s["lines"])
            pieces.emplace_back(l.get<std::string>(), false);
    }
    const std::string end = j["line_end"] == "CRLF" ? "\r\n" : "\n";
    out->clear();
    std::size_t next = 0;
    for (std::size_t i = 0; i < pieces.size(); i++) {
        if (!cp.encode(pieces[i].first, *out, views.data(), views.size(), &next))
            return false;
        if (!(i + 1 == pieces.size() && j["truncated"].get<bool>()) && !pieces[i].second)
            *out += end;
    }
    return next == views.size();
}

} // namespace telinv_read

#endif
