// One screen for a person: the host, the suite's release and the files that differ from
// it, the error lines, and the log excerpts grouped into kinds of line.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codepage.h"
#include "report.h"

namespace telinv_read {

std::string summary_text(const Report &r, const Codepage &cp);

// A log line's kind: the line with every run of digits masked as "#", so that lines that
// differ only in numbers (times, call numbers, addresses) are one kind.
std::string line_kind(std::string_view line);

// The kinds of the lines, each with its count, the most frequent first (ties in the order
// in which the kinds first appear).
std::vector<std::pair<std::string, std::size_t>> line_kinds(const std::vector<std::string_view> &lines);

// The version that most of the entries carry (ties: the one listed first), or empty.
std::string release_of(const Report &r, const std::vector<const InventoryEntry *> &entries);

} // namespace telinv_read
