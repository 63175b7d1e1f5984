// The fleet page's model: the hosts of many reports, each with its current report's facts
// and summary and its history (what changed from report to report), the version matrix of
// the suite's files across the hosts, and the files that could not be read. The model is
// made of plain UTF-8 texts and numbers, apart from any output form: fleet_html.h writes
// it as a page.
//
// A report is reduced to what the page shows as soon as it is read; no report is kept
// whole beyond the two of one host that a history step compares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codepage.h"
#include "report.h"
#include "report_diff.h"
#include "report_summary.h"

namespace telinv_read {

// ---- pieces of the model that stand on their own --------------------------------------

// Versions compared as numbers, part by part ("6.2.10.0" is newer than "6.2.9.1"): the
// parts between dots, each by its leading digits as a number (a part without digits
// before any number), then by the rest of the part as text ("1a" after "1", "1" after
// "1-" no: the rest compares as bytes, an empty rest first); a version with more parts
// after equal ones is the newer ("1.2.0" after "1.2"). Returns <0, 0 or >0. Texts that
// differ can still compare equal ("01" and "1").
int compare_versions(std::string_view a, std::string_view b);

// Names in the order a person expects: runs of digits as numbers ("pbx-2" before
// "pbx-10"), letters without regard to case; names equal so are ordered by their bytes.
bool natural_less(std::string_view a, std::string_view b);

// Whether a folder's name is the time of a run, as the collecting playbook names the
// folder of each run's report (2026-12-09T113156Z): it begins with a date (yyyy-mm-dd or
// yyyymmdd) and holds nothing but digits and the characters - _ . : T Z.
bool is_run_stamp(std::string_view name);

// The host a report's path names, for a report whose sysinfo gives no computer name: a
// report named otherwise than telinv.txt by its own name less the extension
// (reports/pbx-1.txt: pbx-1); telinv.txt by its folder, where a folder that is a run's time
// stamp stands for the folder above it (reports/pbx-1/2026-12-09T113156Z/telinv.txt: pbx-1).
std::string host_from_path(const std::string &utf8_path);

// Seconds since 1970 of a local time in ISO 8601 ("2026-12-09T11:31:56"), or none.
std::optional<std::int64_t> seconds_of_iso(std::string_view iso);

// An age for a person: "12 min", "5 h", "3 d" (less than a minute: "0 min").
std::string age_text(std::int64_t seconds);

// ---- the model ------------------------------------------------------------------------

// How a version matrix cell stands against the fleet's most common version of its file.
enum class Mark {
    common,     // the fleet's version, or the file has no fleet version
    older,      // compared as numbers, part by part
    newer,
    other,      // another text that compares equal ("01" against "1")
    not_found,  // listed as Not Found
    not_listed, // the host's report does not list the file
};

struct InventoryItem {
    std::string path;
    std::optional<std::string> version; // none: Not Found
    int group = 0;
};

// One line of the fleet table.
struct FleetRow {
    std::string time;     // the current report's time, ISO 8601 where it could be read
    std::optional<std::int64_t> age; // seconds behind the newest report of the page
    std::string windows;  // version, and service pack where the report has one
    std::string suite_release;
    std::string driver_release;
    std::size_t other_versions = 0; // matrix cells marked older, newer or other
    std::size_t not_found = 0;
    std::size_t errors = 0;
    std::string top_log_kind;       // the error log's most frequent kind of line
    std::size_t top_log_count = 0;
};

// A report of a host, for its history.
struct HostReport {
    std::string file; // as found, UTF-8
    std::string link; // a relative URL from the page's folder to the file
    std::string time; // as the header writes it
};

// What changed from an earlier report to the next one, as diff finds it without --all,
// cut to a page's share.
struct HistoryStep {
    std::vector<DiffGroup> groups;
    std::size_t lines_left_out = 0; // lines of the changes that the page leaves out
    std::string trouble;            // why the changes could not be found (a file gone since)
};

struct Host {
    std::string name;
    std::vector<HostReport> reports;  // newest first; reports[0] is the current one
    std::vector<HistoryStep> history; // history[i]: from reports[i + 1] to reports[i]
    Summary summary;                  // the current report's
    FleetRow row;
};

struct MatrixCell {
    std::string version; // empty for Not Found or not listed
    Mark mark = Mark::common;
};

struct MatrixRow {
    std::string path;
    int group = 0;
    std::string common;       // the fleet's most common version of the file, or empty
    bool differs = false;     // a cell is marked older, newer or other, or Not Found where others have a version
    std::vector<MatrixCell> cells; // one per host, in the hosts' order
};

struct Failure {
    std::string file;
    std::string reason;
};

struct FleetPage {
    std::string title;
    std::string newest_time;   // ISO 8601 of the newest report, or empty
    std::size_t report_count = 0; // reports read
    std::vector<Host> hosts;   // in natural order of their names
    std::vector<MatrixRow> matrix;
    std::vector<Failure> failures;
};

// The fleet's most common version of a file among the cells that have one; a tie goes to
// the newer version. Empty when no cell has a version.
std::string common_version(const std::vector<MatrixCell> &cells);

// The matrix of the hosts' inventories (one list per host, in the hosts' order): a row
// per path in the order in which the paths first appear, by their group; each cell marked
// against the row's common version.
std::vector<MatrixRow> version_matrix(const std::vector<std::vector<InventoryItem>> &hosts);

// ---- making it --------------------------------------------------------------------------

struct FleetOptions {
    std::string title = "telinv fleet";
    std::string page_dir;                 // the folder the page is written to (empty: the current one)
    unsigned threads = 0;                 // 0: as many as the machine has cores
    std::size_t max_step_lines = 400;     // lines of one history step
    std::size_t max_line_bytes = 1000;    // bytes of one line of a history step
};

// The reports that command-line arguments name: a file as it is, a folder searched for
// files named telinv.txt (in any case) at any depth, in sorted order, each folder once
// (links are followed, loops are not). A path that can't be searched is a failure.
std::vector<std::string> find_reports(const std::vector<std::string> &paths, std::vector<Failure> &failures);

// Reads the reports (independent of each other, so on several threads where the
// machine has them) and makes the page's model. A file that can't be read as a report is
// a failure, listed with its reason after those given.
FleetPage build_fleet(const std::vector<std::string> &files, std::vector<Failure> failures, const Codepage &cp,
                      const FleetOptions &options);

} // namespace telinv_read
