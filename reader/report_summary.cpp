#include "report_summary.h"

#include <algorithm>
#include <map>
#include <unordered_map>

#include "text.h"

namespace telinv_read {

namespace {

// Letters and digits, and among them the hexadecimal digits.
struct CharClasses {
    bool alnum[256] = {};
    bool hex[256] = {};
    CharClasses()
    {
        for (int c = 0; c < 256; c++) {
            alnum[c] = is_digit(static_cast<char>(c)) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            hex[c] = is_digit(static_cast<char>(c)) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        }
    }
};
const CharClasses char_classes;

// line_kind into a buffer of the caller's, so that a log's lines cost no allocation each.
void line_kind_into(std::string_view line, std::string &kind)
{
    // A word of hexadecimal digits with a digit in it (an identifier, a dump) is masked
    // whole; in other words the runs of digits.
    const bool *alnum = char_classes.alnum, *hex = char_classes.hex;
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(line[i]); };
    kind.clear();
    for (std::size_t i = 0; i < line.size();) {
        if (!alnum[at(i)]) {
            std::size_t end = i + 1;
            while (end < line.size() && !alnum[at(end)])
                end++;
            kind.append(line.data() + i, end - i);
            i = end;
            continue;
        }
        std::size_t end = i;
        bool all_hex = true, digit = false;
        while (end < line.size() && alnum[at(end)]) {
            all_hex = all_hex && hex[at(end)];
            digit = digit || is_digit(line[end]);
            end++;
        }
        if (all_hex && digit) {
            kind += '#';
        } else if (!digit) {
            kind.append(line.data() + i, end - i);
        } else {
            for (std::size_t k = i; k < end;) {
                std::size_t run = k;
                if (is_digit(line[k])) {
                    kind += '#';
                    while (k < end && is_digit(line[k]))
                        k++;
                } else {
                    while (k < end && !is_digit(line[k]))
                        k++;
                    kind.append(line.data() + run, k - run);
                }
            }
        }
        i = end;
    }
}

} // namespace

std::string line_kind(std::string_view line)
{
    std::string kind;
    kind.reserve(line.size());
    line_kind_into(line, kind);
    return kind;
}

std::vector<std::pair<std::string, std::size_t>> line_kinds(const std::vector<std::string_view> &lines)
{
    std::vector<std::pair<std::string, std::size_t>> kinds;
    std::unordered_map<std::string, std::size_t> index;
    std::string k;
    for (std::string_view l : lines) {
        line_kind_into(l, k);
        auto it = index.find(k);
        if (it == index.end()) {
            index.emplace(k, kinds.size());
            kinds.emplace_back(k, 1);
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

std::string cut_text(std::string text, std::size_t width)
{
    if (text.size() <= width)
        return text;
    std::size_t cut = width; // at a character's first byte
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        cut--;
    return text.substr(0, cut) + "...";
}

Summary summarize(const Report &r, const Codepage &cp)
{
    Summary sum;
    auto dec = [&](Span s) { return cp.decode(r.text(s)); };
    auto fact = [&](SysFact f) {
        const auto &v = r.sysinfo.facts[f];
        return v ? cp.decode(trim(r.text(*v))) : std::string("(not in the report)");
    };
    sum.file = r.file;
    sum.report_kind = r.short_report ? "short report" : "full report";
    if (r.truncated)
        sum.report_kind += ", cut off";
    sum.tool = r.header.tool ? dec(*r.header.tool) : std::string("?");
    sum.version = r.header.version ? dec(*r.header.version) : std::string("(no version)");
    sum.time = r.header.time ? dec(*r.header.time) : std::string("(no time)");
    sum.has_sysinfo = r.sysinfo.present;
    if (r.sysinfo.present) {
        sum.computer = r.sysinfo.facts[fact_computer_name] ? fact(fact_computer_name) : fact(fact_computername_variable);
        sum.windows = fact(fact_windows_version);
        if (r.sysinfo.facts[fact_service_pack])
            sum.windows += ", " + fact(fact_service_pack);
        sum.processor = fact(fact_processor);
        sum.memory = fact(fact_memory);
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
            SummaryRelease rel;
            rel.name = f.name;
            rel.what = f.what;
            rel.drivers = f.first_group > 1;
            std::string release = release_of(r, entries);
            rel.release = cp.decode(release);
            rel.total = entries.size();
            for (const InventoryEntry *e : entries) {
                if (e->version && r.text(*e->version) == release)
                    rel.carry++;
                else if (e->version)
                    rel.others.emplace_back(dec(*e->version), dec(e->path));
            }
            sum.releases.push_back(std::move(rel));
        }
        // Not Found, by directory.
        for (const InventoryEntry &e : r.inventory) {
            if (e.version)
                continue;
            std::string path = dec(e.path);
            std::size_t cut = path.rfind('\\');
            std::string dir = cut == std::string::npos ? "" : path.substr(0, cut + 1);
            std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
            if (e.bytes != 0)
                name += " (" + std::to_string(e.bytes) + " bytes, no version)";
            if (sum.missing.empty() || sum.missing.back().directory != dir)
                sum.missing.push_back(SummaryMissing{dir, {}});
            sum.missing.back().names.push_back(std::move(name));
            sum.missing_count++;
        }
    }

    for (const ErrorLine &e : r.errors)
        sum.errors.push_back(SummaryError{dec(r.sections[e.section].name), cp.decode(r.line(e.line))});

    for (const LogExcerpt &log : r.logs) {
        const Section &s = r.sections[log.section];
        SummaryLog l;
        l.error_log = s.kind == SectionKind::error_log;
        l.title = l.error_log ? "Error log" : "SIP server error log";
        l.name = dec(s.name);
        if (log.status == LogExcerpt::Status::not_found) {
            l.status = SummaryLog::Status::not_found;
            l.missing_path = dec(*log.path);
        } else if (log.status == LogExcerpt::Status::empty || log.line_count == 0) {
            l.status = SummaryLog::Status::empty;
        } else {
            std::vector<std::string_view> lines;
            for (std::size_t i = 0; i < log.line_count; i++)
                lines.push_back(r.line(s.first_line + i));
            auto kinds = line_kinds(lines);
            l.line_count = lines.size();
            l.kind_count = kinds.size();
            for (std::size_t k = 0; k < kinds.size(); k++) {
                if (k < summary_shown_kinds)
                    l.kinds.emplace_back(cut_text(cp.decode(kinds[k].first), summary_width), kinds[k].second);
                else
                    l.rest_lines += kinds[k].second;
            }
        }
        sum.logs.push_back(std::move(l));
    }
    return sum;
}

namespace {

std::string padded(std::string s, std::size_t n)
{
    if (s.size() < n)
        s.resize(n, ' ');
    return s + " ";
}

} // namespace

std::string summary_text(const Summary &sum)
{
    std::string out;
    out += padded("Report", 14) + sum.file + " (" + sum.report_kind + ")\n";
    out += padded("Written by", 14) + sum.tool + " " + sum.version + ", " + sum.time + "\n";
    if (sum.has_sysinfo) {
        out += padded("Computer", 14) + sum.computer + "\n";
        out += padded("Windows", 14) + sum.windows + "\n";
        out += padded("Processor", 14) + sum.processor + "\n";
        out += padded("Memory", 14) + sum.memory + "\n";
    }
    for (const SummaryRelease &rel : sum.releases) {
        out += "\n" + padded(rel.name, 14) + (rel.release.empty() ? std::string("(no file has a version)") : rel.release) +
               ": " + std::to_string(rel.carry) + " of " + std::to_string(rel.total) + " " + rel.what + "\n";
        for (const auto &[version, path] : rel.others)
            out += "  " + padded(version, 14) + path + "\n";
    }
    if (sum.missing_count > 0) {
        out += "Not Found (" + std::to_string(sum.missing_count) + "):\n";
        for (const SummaryMissing &m : sum.missing) {
            std::string line = "  " + m.directory + " ";
            std::size_t on_line = 0;
            for (const std::string &n : m.names) {
                if (on_line > 0 && line.size() + 1 + n.size() > summary_width) {
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

    out += "\nErrors (" + std::to_string(sum.errors.size()) + ")";
    out += sum.errors.empty() ? "\n" : ":\n";
    for (const SummaryError &e : sum.errors)
        out += "  " + padded(e.section, 14) + e.text + "\n";

    for (const SummaryLog &log : sum.logs) {
        out += "\n" + log.title + (log.name.empty() ? "" : " " + log.name) + ": ";
        if (log.status == SummaryLog::Status::not_found) {
            out += "not found (" + log.missing_path + ")\n";
            continue;
        }
        if (log.status == SummaryLog::Status::empty) {
            out += "empty\n";
            continue;
        }
        out += std::to_string(log.line_count) + " lines, " + std::to_string(log.kind_count) +
               (log.kind_count == 1 ? " kind\n" : " kinds\n");
        for (const auto &[text, n] : log.kinds) {
            std::string count = std::to_string(n);
            out += std::string(count.size() < 7 ? 7 - count.size() : 0, ' ') + count + "  " + text + "\n";
        }
        if (log.kind_count > log.kinds.size())
            out += "         and " + std::to_string(log.kind_count - log.kinds.size()) + " more kinds (" +
                   std::to_string(log.rest_lines) + " lines)\n";
    }
    return out;
}

std::string summary_text(const Report &r, const Codepage &cp) { return summary_text(summarize(r, cp)); }

} // namespace telinv_read
