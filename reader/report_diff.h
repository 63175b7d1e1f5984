// What changed between two reports of one host, grouped by section: inventory files,
// listing entries, system and mail facts, updates, hotfixes and installed programs, and
// the other sections as unified line diffs. The result is a JSON value
// (telinv-diff.schema.json), which the text form is made from.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "codepage.h"
#include "report.h"
#include "report_json.h"

namespace telinv_read {

struct DiffOptions {
    bool all = false; // also the header's time and the two log excerpts
    int context = 3;  // lines of context in a line diff's hunks
};

Json diff_reports(const Report &old_report, const Report &new_report, const Codepage &cp,
                  const DiffOptions &options);

// The changes for a person, as text; empty when nothing changed.
std::string diff_text(const Json &diff);

// The same lines, by the section (or listing) they stand under: each heading
// ("== pbxcfg") with its lines, in the order of the changes.
struct DiffGroup {
    std::string heading;
    std::vector<std::string> lines;
};
std::vector<DiffGroup> diff_groups(const Json &diff);

// One hunk of a line diff: where it starts in each text (from 1), its line counts, and
// its lines, each beginning with ' ', '-' or '+'.
struct Hunk {
    std::size_t old_start = 0, old_count = 0, new_start = 0, new_count = 0;
    std::vector<std::pair<char, std::string_view>> lines;
};

struct LineDiff {
    std::vector<Hunk> hunks;
    bool coarse = false; // a part too unlike for a minimal diff is shown removed and added whole
};

// The line diff of two texts (as lines); bounded in time and memory whatever the input:
// lines are compared by hash, common ends are cut off, lines that occur once on each side
// split the rest into pieces, and a piece too large for dtl's O(ND) search within its
// budget is shown as removed and added.
LineDiff diff_lines(const std::vector<std::string_view> &a, const std::vector<std::string_view> &b,
                    int context);

} // namespace telinv_read
