// One screen for a person: the host, the suite's release and the files that differ from
// it, the error lines, and the log excerpts grouped into kinds of line. The summary is a
// model of its own (what the screen shows, as UTF-8 texts), which the text form and the
// fleet page are made from.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codepage.h"
#include "report.h"

namespace telinv_read {

// The release of a family of files (the suite's own files, or its drivers and ISDN
// programs): the version most of them carry, and the files at another one.
struct SummaryRelease {
    std::string name;    // "Suite release", "Driver release"
    std::string what;    // "files of the suite", "drivers and ISDN programs"
    bool drivers = false; // the drivers and ISDN programs
    std::string release; // empty when no file of the family has a version
    std::size_t carry = 0; // files at the release
    std::size_t total = 0; // files of the family
    std::vector<std::pair<std::string, std::string>> others; // version, path
};

// The files listed as Not Found in one directory, in the report's order.
struct SummaryMissing {
    std::string directory;          // with its final backslash; empty for a bare name
    std::vector<std::string> names; // "pbxlog.exe (1024 bytes, no version)" for one with a size
};

struct SummaryError {
    std::string section; // the banner's name
    std::string text;    // the "Error: ..." line
};

// One log excerpt by kinds of line.
struct SummaryLog {
    enum class Status { lines, empty, not_found };
    bool error_log = true;  // the error log's excerpt; else the SIP server's error file
    std::string title;      // "Error log", "SIP server error log"
    std::string name;       // the banner's name
    Status status = Status::lines;
    std::string missing_path;        // the file that was not found
    std::size_t line_count = 0;
    std::size_t kind_count = 0;      // all kinds, also those not shown
    std::vector<std::pair<std::string, std::size_t>> kinds; // the most frequent, cut to a screen's width
    std::size_t rest_lines = 0;      // lines of the kinds not shown
};

struct Summary {
    std::string file;
    std::string report_kind; // "full report", "short report", with ", cut off"
    std::string tool;        // "?" when the header names none
    std::string version;     // "(no version)" when the header shows none
    std::string time;        // "(no time)" when the header shows none
    bool has_sysinfo = false;
    std::string computer, windows, processor, memory; // "(not in the report)" for a missing fact
    std::vector<SummaryRelease> releases; // none for a report without inventory
    std::vector<SummaryMissing> missing;
    std::size_t missing_count = 0;
    std::vector<SummaryError> errors;
    std::vector<SummaryLog> logs;
};

// How many kinds of a log the summary shows, and the width a kind is cut to.
constexpr std::size_t summary_shown_kinds = 10;
constexpr std::size_t summary_width = 100;

Summary summarize(const Report &r, const Codepage &cp);
std::string summary_text(const Summary &s);
std::string summary_text(const Report &r, const Codepage &cp);

// A log line's kind: the line with every run of digits masked as "#", so that lines that
// differ only in numbers (times, call numbers, addresses) are one kind.
std::string line_kind(std::string_view line);

// The kinds of the lines, each with its count, the most frequent first (ties in the order
// in which the kinds first appear).
std::vector<std::pair<std::string, std::size_t>> line_kinds(const std::vector<std::string_view> &lines);

// The version that most of the entries carry (ties: the one listed first), or empty.
std::string release_of(const Report &r, const std::vector<const InventoryEntry *> &entries);

// A UTF-8 text cut to at most `width` bytes at a character's first byte, with "..."
// where it was cut.
std::string cut_text(std::string text, std::size_t width);

} // namespace telinv_read
