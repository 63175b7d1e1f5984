#include "report_summary.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "text.h"

namespace telinv_read {

std::string line_kind(std::string_view line)
{
    // A word of hexadecimal digits with a digit in it (an identifier, a dump) is masked
    // whole; in other words the runs of digits.
    auto alnum = [](char c) { return is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    auto hex = [](char c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); };
    std::string kind;
    kind.reserve(line.size());
    for (std::size_t i = 0; i < line.size();) {
        if (!alnum(line[i])) {
            kind += line[i++];
            continue;
        }
        std::size_t end = i;
        bool all_hex = true, digit = false;
        while (end < line.size() && alnum(line[end])) {
            all_hex = all_hex && hex(line[end]);
            digit = digit || is_digit(line[end]);
            end++;
        }
        if (all_hex && digit) {
            kind += '#';
        } else {
            for (std::size_t k = i; k < end;) {
                if (is_digit(line[k])) {
                    kind += '#';
                    while (k < end && is_digit(line[k]))
                        k++;
                } else {
                    kind += line[k++];
                }
            }
        }
        i = end;
    }
    return kind;
}

std::vector<std::pair<std::string, std::size_t>> line_kinds(const std::vector<std::string_view> &lines)
{
    std::vector<std::pair<std::string, std::size_t>> kinds;
    std::unordered_map<std::string, std::size_t> index;
    for (std::string_view l : lines) {
        std::string k = line_kind(l);
        auto it = index.find(k);
        if (it == index.end()) {
            index.emplace(k, kinds.size());
            kinds.emplace_back(std::move(k), 1);
        } else {
            kinds[it->second].second++;
        }
    }
    std::stable_sort(kinds.begin(), kinds.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
    return kinds;
}

std::string release_of(const Report &r, const std::vector<const InventoryEntry *> &entries)
{
    std::vector<std::pair<std::string_view, std::size_t>> counts;
    for (const InventoryEntry *e : entries) {
        if (!e->version)
            continue;
        std::string_view v = r.text(*e->version);
        auto it = std::find_if(counts.begin(), counts.end(), [&](const auto &c) { return c.first == v; });
        if (it == counts.end())
            counts.emplace_back(v, 1);
        else
            it->second++;
    }
    std::string_view best;
    std::size_t most = 0;
    for (const auto &c : counts)
        if (c.second > most) {
            best = c.first;
            most = c.second;
        }
    return std::string(best);
}

namespace {

const std::size_t shown_kinds = 10;
const std::size_t width = 100;

std::string padded(std::string s, std::size_t n)
{
    if (s.size() < n)
        s.resize(n, ' ');
    return s + " ";
}

} // namespace

std::string summary_text(const Report &r, const Codepage &cp)
{
    std::string out;
    auto dec = [&](Span s) { return cp.decode(r.text(s)); };
    auto fact = [&](SysFact f) {
        const auto &v = r.sysinfo.facts[f];
        return v ? cp.decode(trim(r.text(*v))) : std::string("(not in the report)");
    };
    std::string kind = r.short_report ? "short report" : "full report";
    if (r.truncated)
        kind += ", cut off";
    out += padded("Report", 14) + r.file + " (" + kind + ")\n";
    out += padded("Written by", 14) + (r.header.tool ? dec(*r.header.tool) : std::string("?")) + " " +
           (r.header.version ? dec(*r.header.version) : std::string("(no version)")) + ", " +
           (r.header.time ? dec(*r.header.time) : std::string("(no time)")) + "\n";
    if (r.sysinfo.present) {
        std::string computer = r.sysinfo.facts[fact_computer_name] ? fact(fact_computer_name)
                                                                   : fact(fact_computername_variable);
        out += padded("Computer", 14) + computer + "\n";
        std::string windows = fact(fact_windows_version);
        if (r.sysinfo.facts[fact_service_pack])
            windows += ", " + fact(fact_service_pack);
        out += padded("Windows", 14) + windows + "\n";
        out += padded("Processor", 14) + fact(fact_processor) + "\n";
        out += padded("Memory", 14) + fact(fact_memory) + "\n";
    }

    if (!r.inventory.empty()) {
        // The suite's own files (installation and system directory) and its drivers and
        // ISDN programs carry releases of their own.
        struct Family {
            const char *name;
            const char *what;
            int first_group, last_group;
        };
        const Family families[] = {{"Suite release", "files of the suite", 1, 2},
                                   {"Driver release", "drivers and ISDN programs", 3, 5}};
        for (const Family &f : families) {
            std::vector<const InventoryEntry *> entries;
            for (const InventoryEntry &e : r.inventory)
                if (e.group >= f.first_group && e.group <= f.last_group)
                    entries.push_back(&e);
            if (entries.empty())
                continue;
            std::string release = release_of(r, entries);
            std::size_t carry = 0;
            std::vector<const InventoryEntry *> other;
            for (const InventoryEntry *e : entries) {
                if (e->version && r.text(*e->version) == release)
                    carry++;
                else if (e->version)
                    other.push_back(e);
            }
            out += "\n" + padded(f.name, 14) +
                   (release.empty() ? std::string("(no file has a version)") : cp.decode(release)) + ": " +
                   std::to_string(carry) + " of " + std::to_string(entries.size()) + " " + f.what + "\n";
            for (const InventoryEntry *e : other)
                out += "  " + padded(dec(*e->version), 14) + dec(e->path) + "\n";
        }
        // Not Found, by directory.
        std::vector<std::pair<std::string, std::vector<std::string>>> missing;
        std::size_t missing_count = 0;
        for (const InventoryEntry &e : r.inventory) {
            if (e.version)
                continue;
            std::string path = dec(e.path);
            std::size_t cut = path.rfind('\\');
            std::string dir = cut == std::string::npos ? "" : path.substr(0, cut + 1);
            std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
            if (e.bytes != 0)
                name += " (" + std::to_string(e.bytes) + " bytes, no version)";
            if (missing.empty() || missing.back().first != dir)
                missing.emplace_back(dir, std::vector<std::string>());
            missing.back().second.push_back(name);
            missing_count++;
        }
        if (missing_count > 0) {
            out += "Not Found (" + std::to_string(missing_count) + "):\n";
            for (const auto &[dir, names] : missing) {
                std::string line = "  " + dir + " ";
                std::size_t on_line = 0;
                for (const std::string &n : names) {
                    if (on_line > 0 && line.size() + 1 + n.size() > width) {
                        out += line + "\n";
                        line = "    ";
                        on_line = 0;
                    }
                    line += " " + n;
                    on_line++;
                }
                out += line + "\n";
            }
        }
    }

    out += "\nErrors (" + std::to_string(r.errors.size()) + ")";
    out += r.errors.empty() ? "\n" : ":\n";
    for (const ErrorLine &e : r.errors) {
        const Section &s = r.sections[e.section];
        out += "  " + padded(dec(s.name), 14) + cp.decode(r.line(e.line)) + "\n";
    }

    for (const LogExcerpt &log : r.logs) {
        const Section &s = r.sections[log.section];
        std::string title = s.kind == SectionKind::error_log ? "Error log" : "SIP server error log";
        std::string name = dec(s.name);
        out += "\n" + title + (name.empty() ? "" : " " + name) + ": ";
        if (log.status == LogExcerpt::Status::not_found) {
            out += "not found (" + dec(*log.path) + ")\n";
            continue;
        }
        if (log.status == LogExcerpt::Status::empty || log.line_count == 0) {
            out += "empty\n";
            continue;
        }
        std::vector<std::string_view> lines;
        for (std::size_t i = 0; i < log.line_count; i++)
            lines.push_back(r.line(s.first_line + i));
        auto kinds = line_kinds(lines);
        out += std::to_string(lines.size()) + " lines, " + std::to_string(kinds.size()) +
               (kinds.size() == 1 ? " kind\n" : " kinds\n");
        for (std::size_t k = 0; k < kinds.size() && k < shown_kinds; k++) {
            std::string count = std::to_string(kinds[k].second);
            std::string text = cp.decode(kinds[k].first);
            if (text.size() > width) { // at a character's first byte
                std::size_t cut = width;
                while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
                    cut--;
                text = text.substr(0, cut) + "...";
            }
            out += std::string(count.size() < 7 ? 7 - count.size() : 0, ' ') + count + "  " + text + "\n";
        }
        if (kinds.size() > shown_kinds) {
            std::size_t rest = 0;
            for (std::size_t k = shown_kinds; k < kinds.size(); k++)
                rest += kinds[k].second;
            out += "         and " + std::to_string(kinds.size() - shown_kinds) + " more kinds (" +
                   std::to_string(rest) + " lines)\n";
        }
    }
    return out;
}

} // namespace telinv_read
