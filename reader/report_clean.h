// Cleaned copies of reports, for reports that leave the customer's site: what identifies
// the site or its people replaced consistently through a map that runs share (clean_map.h),
// secrets masked, and the copy still a report that every command reads as it reads the
// original (the same lines and line ends, sections, banners, inventory entries with
// their versions and sizes, listings with their dates and sizes, columns).
//
// A value is replaced where the report shows it as what it is: the computer name and the
// volume and processor identifiers of the sysinfo section, the mail section's servers and
// users, e-mail and SIP addresses, IPv4, IPv6 and MAC addresses, user names in profile
// paths (\Users\NAME\, \Documents and Settings\NAME\, \Profiles\NAME\), host names under a
// known domain, telephone numbers in the configuration copies and log lines. Host names,
// domains, identifiers and profile users, once known, are also replaced as whole words
// (any ASCII case) wherever else they stand; the mail section's user names are not, as
// they are often words of the suite's own (a mail user "pbx" leaves pbxserv.exe alone).
// Keywords are replaced wherever they stand in a value, in any ASCII case.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "clean_map.h"
#include "codepage.h"
#include "file_io.h"
#include "report.h"

namespace telinv_read {

// What every secret becomes.
extern const char clean_secret_mask[];

struct CleanOptions {
    std::vector<std::string> keywords; // UTF-8, replaced in any ASCII case
    std::vector<std::string> domains;  // UTF-8: they and the names under them are replaced
    std::array<bool, clean_kind_count> keep{}; // kinds left as they are
};

// Whether --keep takes a kind (keywords are only those given).
bool clean_kind_keepable(CleanKind kind);

struct CleanCounts {
    std::array<std::size_t, clean_kind_count> replaced{}; // replacements made, by kind
    std::size_t secrets = 0;                              // secrets masked
};

// Cleans reports one after another with one map.
class Cleaner {
public:
    Cleaner(CleanMap &map, const Codepage &cp, const CleanOptions &options);
    ~Cleaner();
    Cleaner(const Cleaner &) = delete;
    Cleaner &operator=(const Cleaner &) = delete;

    // Takes in what a report makes known (its computer name, domains, hosts, users),
    // which replaces words wherever they stand: learning every report of a run first
    // replaces them alike in all of them. Cleaning a report learns it too.
    void learn(const Report &r);
    // Writes the cleaned copy of the report.
    CleanCounts clean(const Report &r, Output &out);
    CleanCounts clean(const Report &r, std::string &out);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace telinv_read
