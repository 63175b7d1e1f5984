#include "fleet.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "parallel.h"
#include "text.h"

namespace fs = std::filesystem;

namespace telinv_read {

// ---- pieces -------------------------------------------------------------------------------

namespace {

// Two runs of digits as numbers, of any length: leading zeros do not count.
int compare_numbers(std::string_view a, std::string_view b)
{
    while (a.size() > 1 && a[0] == '0')
        a.remove_prefix(1);
    while (b.size() > 1 && b[0] == '0')
        b.remove_prefix(1);
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    int c = a.compare(b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

std::size_t digits_at(std::string_view s, std::size_t i)
{
    std::size_t n = 0;
    while (i + n < s.size() && is_digit(s[i + n]))
        n++;
    return n;
}

// A version's parts: split at dots and commas ("6, 2, 1, 0" is 6.2.1.0), blanks before a
// part left out.
std::vector<std::string_view> version_parts(std::string_view v)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= v.size(); i++) {
        if (i == v.size() || v[i] == '.' || v[i] == ',') {
            std::string_view p = v.substr(start, i - start);
            while (!p.empty() && p[0] == ' ')
                p.remove_prefix(1);
            parts.push_back(p);
            start = i + 1;
        }
    }
    return parts;
}

int compare_parts(std::string_view a, std::string_view b)
{
    std::size_t da = digits_at(a, 0), db = digits_at(b, 0);
    if ((da == 0) != (db == 0))
        return da == 0 ? -1 : 1;
    if (da > 0) {
        int c = compare_numbers(a.substr(0, da), b.substr(0, db));
        if (c != 0)
            return c;
    }
    int c = a.substr(da).compare(b.substr(db));
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

} // namespace

int compare_versions(std::string_view a, std::string_view b)
{
    std::vector<std::string_view> pa = version_parts(a), pb = version_parts(b);
    for (std::size_t i = 0; i < pa.size() && i < pb.size(); i++)
        if (int c = compare_parts(pa[i], pb[i]))
            return c;
    return pa.size() == pb.size() ? 0 : pa.size() < pb.size() ? -1 : 1;
}

bool natural_less(std::string_view a, std::string_view b)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        std::size_t da = digits_at(a, i), db = digits_at(b, j);
        if (da > 0 && db > 0) {
            if (int c = compare_numbers(a.substr(i, da), b.substr(j, db)))
                return c < 0;
            i += da;
            j += db;
            continue;
        }
        char ca = ascii_upper(a[i]), cb = ascii_upper(b[j]);
        if (ca != cb)
            return static_cast<unsigned char>(ca) < static_cast<unsigned char>(cb);
        i++;
        j++;
    }
    if ((i < a.size()) != (j < b.size()))
        return j < b.size();
    return a < b;
}

bool is_run_stamp(std::string_view name)
{
    auto digits = [&](std::size_t at, std::size_t n) { return digits_at(name, at) >= n; };
    bool dated = (digits(0, 4) && name.size() >= 10 && name[4] == '-' && digits(5, 2) && name[7] == '-' &&
                  digits(8, 2)) ||
                 digits(0, 8);
    if (!dated)
        return false;
    for (char c : name)
        if (!is_digit(c) && c != '-' && c != '_' && c != '.' && c != ':' && c != 'T' && c != 'Z')
            return false;
    return true;
}

std::string host_from_path(const std::string &utf8_path)
{
    fs::path p = fs::u8path(utf8_path);
    std::string name = p.filename().u8string();
    if (ascii_upper(name) != "TELINV.TXT") {
        std::string stem = p.stem().u8string();
        return stem.empty() ? name : stem;
    }
    std::error_code ec;
    fs::path whole = fs::absolute(p, ec);
    if (ec)
        whole = p;
    whole = whole.lexically_normal();
    for (fs::path dir = whole.parent_path(); !dir.empty(); dir = dir.parent_path()) {
        std::string folder = dir.filename().u8string();
        if (folder.empty())
            break; // the root
        if (!is_run_stamp(folder))
            return folder;
        if (dir == dir.parent_path())
            break;
    }
    return name;
}

std::optional<std::int64_t> seconds_of_iso(std::string_view iso)
{
    // yyyy-mm-ddThh:mm:ss
    if (iso.size() != 19 || iso[4] != '-' || iso[7] != '-' || iso[10] != 'T' || iso[13] != ':' || iso[16] != ':')
        return std::nullopt;
    auto num = [&](std::size_t at, std::size_t n) -> std::optional<int> {
        if (digits_at(iso, at) < n)
            return std::nullopt;
        int v = 0;
        for (std::size_t k = 0; k < n; k++)
            v = v * 10 + (iso[at + k] - '0');
        return v;
    };
    auto y = num(0, 4), m = num(5, 2), d = num(8, 2), hh = num(11, 2), mm = num(14, 2), ss = num(17, 2);
    if (!y || !m || !d || !hh || !mm || !ss || *m < 1 || *m > 12 || *d < 1 || *d > 31 || *hh > 23 || *mm > 59 ||
        *ss > 60)
        return std::nullopt;
    // Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
    std::int64_t year = *y - (*m <= 2 ? 1 : 0);
    std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    std::int64_t yoe = year - era * 400;
    std::int64_t doy = (153 * (*m + (*m > 2 ? -3 : 9)) + 2) / 5 + *d - 1;
    std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    std::int64_t days = era * 146097 + doe - 719468;
    return days * 86400 + *hh * 3600 + *mm * 60 + *ss;
}

std::string age_text(std::int64_t seconds)
{
    if (seconds < 0)
        seconds = 0;
    if (seconds < 3600)
        return std::to_string(seconds / 60) + " min";
    if (seconds < 2 * 86400)
        return std::to_string(seconds / 3600) + " h";
    return std::to_string(seconds / 86400) + " d";
}

// ---- finding the reports ---------------------------------------------------------------

namespace {

class ReportFinder {
public:
    explicit ReportFinder(std::vector<Failure> &failures) : failures_(failures) {}

    void add(const std::string &arg)
    {
        fs::path p = fs::u8path(arg);
        std::error_code ec;
        if (!fs::is_directory(p, ec)) {
            file(p, arg);
            return;
        }
        std::size_t before = files_.size(), failed = failures_.size(), folders = folders_.size();
        walk(p, arg);
        if (files_.size() == before && failures_.size() == failed && folders_.size() > folders)
            failures_.push_back(Failure{arg, "no telinv.txt in it"});
    }
    std::vector<std::string> take() { return std::move(files_); }

private:
    // Each file once, also when two arguments or two links reach it: by its real path,
    // which a walk knows without asking the system where no link stands on the way.
    void file(const fs::path &p, const std::string &shown, const fs::path *real = nullptr)
    {
        std::string key;
        std::error_code ec;
        if (real) {
            key = real->u8string();
        } else {
            fs::path r = fs::canonical(p, ec);
            key = ec ? "\n" + shown : r.u8string();
        }
        if (seen_.insert(key).second)
            files_.push_back(shown);
    }

    void walk(const fs::path &dir, const std::string &shown, fs::path real = fs::path())
    {
        std::error_code ec;
        if (real.empty())
            real = fs::canonical(dir, ec);
        if (ec) {
            failures_.push_back(Failure{shown, "can't search it: " + ec.message()});
            return;
        }
        if (!folders_.insert(real.u8string()).second)
            return; // reached before: a link back up, or an argument inside another
        struct Entry {
            std::string name;
            bool folder, link;
            bool operator<(const Entry &o) const { return name < o.name; }
        };
        std::vector<Entry> entries;
        fs::directory_iterator it(dir, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            std::error_code kind;
            bool folder = it->is_directory(kind);
            bool link = it->is_symlink(kind);
            entries.push_back(Entry{it->path().filename().u8string(), folder, link});
        }
        if (ec) {
            failures_.push_back(Failure{shown, "can't search it: " + ec.message()});
            return;
        }
        std::sort(entries.begin(), entries.end());
        std::string prefix = shown;
        if (!prefix.empty() && prefix.back() != '/' && prefix.back() != '\\')
            prefix += fs::path::preferred_separator == '\\' ? '\\' : '/';
        for (const Entry &e : entries) {
            fs::path name = fs::u8path(e.name);
            fs::path real_entry = e.link ? fs::path() : real / name; // a link: found out where it leads
            if (e.folder)
                walk(dir / name, prefix + e.name, real_entry);
            else if (ascii_upper(e.name) == "TELINV.TXT")
                file(dir / name, prefix + e.name, e.link ? nullptr : &real_entry);
        }
    }

    std::vector<Failure> &failures_;
    std::vector<std::string> files_;
    std::set<std::string> seen_, folders_;
};

} // namespace

std::vector<std::string> find_reports(const std::vector<std::string> &paths, std::vector<Failure> &failures)
{
    ReportFinder finder(failures);
    for (const std::string &p : paths)
        finder.add(p);
    return finder.take();
}

// ---- reading them ----------------------------------------------------------------------

namespace {

// What the page keeps of one report.
struct Digest {
    std::string path; // as given, to read it again
    std::string file; // the same as UTF-8 text
    std::string link;
    std::string name; // its host
    std::string key;  // the host's name for grouping: without case
    std::string time;
    std::string iso_time;
    bool read = false;
    std::string reason; // why it could not be read
    // What only the host's current report needs: made for the newest report of its host
    // in its block (see read_block), so always for the current one.
    Summary summary;
    std::vector<InventoryItem> versions;
    std::string windows;
    // The changes from the report read before it, where that was an earlier one of its host.
    std::optional<std::size_t> step_from;
    HistoryStep step;
};

// A host's reports in the order of their header times; one without a time first, ties
// by name.
bool earlier(const Digest &a, const Digest &b)
{
    if (a.iso_time.empty() != b.iso_time.empty())
        return a.iso_time.empty();
    if (a.iso_time != b.iso_time)
        return a.iso_time < b.iso_time;
    return a.file < b.file;
}

std::string utf8_name(const std::string &name) { return Codepage::find(Codepage::utf8_page)->decode(name); }

// A relative URL from the page's folder to the file: every byte but letters, digits,
// "-._~" and the separators percent-encoded, so that no part of a name is read as a
// scheme, a query or a fragment. Where no relative path leads there (another drive), a
// file: URL.
std::string link_to(const std::string &file, const fs::path &page_dir)
{
    std::error_code ec;
    fs::path target = fs::absolute(fs::u8path(file), ec);
    if (ec)
        target = fs::u8path(file);
    target = target.lexically_normal();
    fs::path rel = target.lexically_relative(page_dir);
    bool absolute = rel.empty();
    std::string text = absolute ? target.generic_u8string() : rel.generic_u8string();
    static const char hex[] = "0123456789ABCDEF";
    std::string url = absolute ? (text.size() > 0 && text[0] == '/' ? "file://" : "file:///") : "";
    for (std::size_t i = 0; i < text.size(); i++) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || is_digit(static_cast<char>(c)) || c == '-' ||
                    c == '.' || c == '_' || c == '~' || c == '/' || (absolute && c == ':' && i == 1);
        if (keep) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

HistoryStep make_step(const Json &diff, const FleetOptions &options)
{
    HistoryStep step;
    std::size_t kept = 0;
    for (DiffGroup &g : diff_groups(diff)) {
        if (kept >= options.max_step_lines) {
            step.lines_left_out += g.lines.size();
            continue;
        }
        std::size_t room = options.max_step_lines - kept;
        if (g.lines.size() > room) {
            step.lines_left_out += g.lines.size() - room;
            g.lines.resize(room);
        }
        for (std::string &l : g.lines)
            l = cut_text(std::move(l), options.max_line_bytes);
        kept += g.lines.size();
        g.heading = cut_text(std::move(g.heading), options.max_line_bytes);
        step.groups.push_back(std::move(g));
    }
    return step;
}

std::string fact_of(const Report &r, const Codepage &cp, SysFact f)
{
    const auto &v = r.sysinfo.facts[f];
    return v ? cp.decode(trim(r.text(*v))) : std::string();
}

// What every report gives: its host and its time.
void identify(const Report &r, const Codepage &cp, Digest &d)
{
    d.read = true;
    d.time = r.header.time ? cp.decode(r.text(*r.header.time)) : std::string();
    d.iso_time = r.header.iso_time;
    d.name = fact_of(r, cp, fact_computer_name);
    if (d.name.empty())
        d.name = fact_of(r, cp, fact_computername_variable);
    if (d.name.empty())
        d.name = host_from_path(d.file);
    d.key = ascii_upper(d.name);
}

// What the host's current report gives besides.
void detail(const Report &r, const Codepage &cp, Digest &d)
{
    auto fact = [&](SysFact f) { return fact_of(r, cp, f); };
    d.summary = summarize(r, cp);
    d.windows = fact(fact_windows_version);
    std::string sp = fact(fact_service_pack);
    if (!sp.empty())
        d.windows += (d.windows.empty() ? "" : ", ") + sp;
    d.versions.reserve(r.inventory.size());
    for (const InventoryEntry &e : r.inventory)
        d.versions.push_back(InventoryItem{cp.decode(r.text(e.path)),
                                           e.version ? std::optional<std::string>(cp.decode(r.text(*e.version)))
                                                     : std::nullopt,
                                           e.group});
}

class FleetBuilder {
public:
    FleetBuilder(const Codepage &cp, const FleetOptions &options) : cp_(cp), options_(options) {}

    FleetPage build(const std::vector<std::string> &files, std::vector<Failure> failures)
    {
        std::error_code ec;
        page_dir_ = fs::absolute(fs::u8path(options_.page_dir.empty() ? "." : options_.page_dir), ec).lexically_normal();
        digests_.resize(files.size());
        for (std::size_t i = 0; i < files.size(); i++) {
            digests_[i].path = files[i];
            digests_[i].file = utf8_name(files[i]);
            digests_[i].link = link_to(files[i], page_dir_);
        }
        read_all();
        FleetPage page;
        page.title = options_.title;
        page.failures = std::move(failures);
        for (Digest &d : digests_)
            if (!d.read)
                page.failures.push_back(Failure{d.file, d.reason});
        std::vector<std::vector<std::size_t>> chains = group();
        histories(chains);
        assemble(page, chains);
        return page;
    }

private:
    // Reads consecutive files as blocks: files of one host's folder stand next to each other
    // in the order found, usually oldest first, so most history steps are found while the
    // earlier report is still in memory. A block's reports are read on one thread.
    void read_all()
    {
        const std::size_t max_block = 8;
        std::vector<std::pair<std::size_t, std::size_t>> blocks;
        std::string block_host;
        for (std::size_t i = 0; i < digests_.size(); i++) {
            std::string host = ascii_upper(host_from_path(digests_[i].file));
            if (blocks.empty() || host != block_host || blocks.back().second - blocks.back().first >= max_block)
                blocks.emplace_back(i, i);
            blocks.back().second = i + 1;
            block_host = std::move(host);
        }
        parallel_for(blocks.size(), options_.threads, [&](std::size_t b) { read_block(blocks[b].first, blocks[b].second); });
    }

    // The newest report of a host read so far in the block stays in memory: the next one of
    // the host, where it is newer, is compared with it; only where the block turns to
    // another host (or ends) is it the newest of its host here, and detailed. A report
    // older than one of its host read before is never its host's current one.
    void read_block(std::size_t first, std::size_t last)
    {
        std::optional<Report> newest;
        std::size_t newest_index = 0;
        auto settle = [&] {
            if (newest)
                detail(*newest, cp_, digests_[newest_index]);
            newest.reset();
        };
        for (std::size_t i = first; i < last; i++) {
            Digest &d = digests_[i];
            Report r;
            try {
                r = read_report(d.path);
            } catch (const ReportError &e) {
                d.reason = e.what();
                continue;
            }
            r.file = d.file;
            identify(r, cp_, d);
            if (newest && digests_[newest_index].key == d.key) {
                if (earlier(digests_[newest_index], d)) {
                    d.step = make_step(diff_reports(*newest, r, cp_, DiffOptions()), options_);
                    d.step_from = newest_index;
                    newest = std::move(r);
                    newest_index = i;
                }
                continue;
            }
            settle();
            newest = std::move(r);
            newest_index = i;
        }
        settle();
    }

    // The reports by host, each host's in time order; the hosts in order of their names.
    std::vector<std::vector<std::size_t>> group()
    {
        std::unordered_map<std::string, std::size_t> index;
        std::vector<std::vector<std::size_t>> chains;
        for (std::size_t i = 0; i < digests_.size(); i++) {
            if (!digests_[i].read)
                continue;
            auto it = index.emplace(digests_[i].key, chains.size()).first;
            if (it->second == chains.size())
                chains.emplace_back();
            chains[it->second].push_back(i);
        }
        for (auto &c : chains)
            std::stable_sort(c.begin(), c.end(), [&](std::size_t a, std::size_t b) { return earlier(digests_[a], digests_[b]); });
        std::sort(chains.begin(), chains.end(), [&](const auto &a, const auto &b) {
            const Digest &x = digests_[a.back()], &y = digests_[b.back()];
            if (natural_less(x.name, y.name))
                return true;
            if (natural_less(y.name, x.name))
                return false;
            return x.key < y.key;
        });
        return chains;
    }

    // The history steps that reading in blocks did not find: the two reports read again.
    void histories(const std::vector<std::vector<std::size_t>> &chains)
    {
        std::vector<std::size_t> wanting;
        for (std::size_t h = 0; h < chains.size(); h++) {
            const auto &c = chains[h];
            for (std::size_t k = 1; k < c.size(); k++)
                if (digests_[c[k]].step_from != c[k - 1]) {
                    wanting.push_back(h);
                    break;
                }
        }
        parallel_for(wanting.size(), options_.threads, [&](std::size_t w) {
            const auto &c = chains[wanting[w]];
            std::optional<Report> older;
            std::size_t older_index = SIZE_MAX;
            for (std::size_t k = 1; k < c.size(); k++) {
                Digest &d = digests_[c[k]];
                if (d.step_from == c[k - 1])
                    continue;
                d.step = HistoryStep();
                d.step_from = c[k - 1];
                try {
                    if (older_index != c[k - 1]) {
                        older = read_report(digests_[c[k - 1]].path);
                        older->file = digests_[c[k - 1]].file;
                        older_index = c[k - 1];
                    }
                    Report newer = read_report(d.path);
                    newer.file = d.file;
                    d.step = make_step(diff_reports(*older, newer, cp_, DiffOptions()), options_);
                    older = std::move(newer);
                    older_index = c[k];
                } catch (const ReportError &e) {
                    d.step.trouble = std::string("the reports could not be read again: ") + e.what();
                    older.reset();
                    older_index = SIZE_MAX;
                }
            }
        });
    }

    void assemble(FleetPage &page, const std::vector<std::vector<std::size_t>> &chains)
    {
        std::vector<std::vector<InventoryItem>> versions;
        for (const auto &c : chains) {
            Digest &current = digests_[c.back()];
            Host h;
            h.name = current.name;
            for (std::size_t k = c.size(); k-- > 0;) {
                Digest &d = digests_[c[k]];
                h.reports.push_back(HostReport{d.file, d.link, d.time});
                if (k > 0)
                    h.history.push_back(std::move(d.step));
            }
            h.row.time = !current.iso_time.empty() ? current.iso_time : current.time;
            h.row.windows = current.windows;
            for (const SummaryRelease &rel : current.summary.releases)
                (rel.drivers ? h.row.driver_release : h.row.suite_release) = rel.release;
            h.row.not_found = current.summary.missing_count;
            h.row.errors = current.summary.errors.size();
            for (const SummaryLog &log : current.summary.logs)
                if (log.error_log && !log.kinds.empty()) {
                    h.row.top_log_kind = log.kinds[0].first;
                    h.row.top_log_count = log.kinds[0].second;
                    break;
                }
            h.summary = std::move(current.summary);
            versions.push_back(std::move(current.versions));
            if (current.iso_time > page.newest_time)
                page.newest_time = current.iso_time;
            page.hosts.push_back(std::move(h));
        }
        for (const Digest &d : digests_)
            page.report_count += d.read;
        if (auto newest = seconds_of_iso(page.newest_time))
            for (std::size_t i = 0; i < chains.size(); i++)
                if (auto t = seconds_of_iso(digests_[chains[i].back()].iso_time))
                    page.hosts[i].row.age = *newest - *t;
        page.matrix = version_matrix(versions);
        for (const MatrixRow &row : page.matrix)
            for (std::size_t i = 0; i < row.cells.size(); i++) {
                Mark m = row.cells[i].mark;
                page.hosts[i].row.other_versions += m == Mark::older || m == Mark::newer || m == Mark::other;
            }
    }

    const Codepage &cp_;
    const FleetOptions &options_;
    fs::path page_dir_;
    std::vector<Digest> digests_;
};

} // namespace

std::vector<MatrixRow> version_matrix(const std::vector<std::vector<InventoryItem>> &hosts)
{
    // The files in the order in which they first appear, by their group.
    std::vector<MatrixRow> rows;
    std::unordered_map<std::string, std::size_t> row_of;
    for (const auto &items : hosts)
        for (const InventoryItem &item : items)
            if (row_of.emplace(item.path, rows.size()).second) {
                MatrixRow row;
                row.path = item.path;
                row.group = item.group;
                row.cells.resize(hosts.size(), MatrixCell{std::string(), Mark::not_listed});
                rows.push_back(std::move(row));
            }
    for (std::size_t h = 0; h < hosts.size(); h++) {
        std::vector<bool> done(rows.size(), false);
        for (const InventoryItem &item : hosts[h]) {
            std::size_t r = row_of[item.path];
            if (done[r])
                continue; // a path listed twice: its first line counts
            done[r] = true;
            MatrixCell &cell = rows[r].cells[h];
            cell.mark = item.version ? Mark::common : Mark::not_found;
            cell.version = item.version.value_or(std::string());
        }
    }
    for (MatrixRow &row : rows) {
        row.common = common_version(row.cells);
        for (MatrixCell &cell : row.cells) {
            if (cell.mark != Mark::common || row.common.empty() || cell.version == row.common)
                continue;
            int c = compare_versions(cell.version, row.common);
            cell.mark = c < 0 ? Mark::older : c > 0 ? Mark::newer : Mark::other;
            row.differs = true;
        }
        // Not Found where another host has the file; a report that does not list a
        // file at all (another layout) is no difference of that file.
        for (const MatrixCell &cell : row.cells)
            row.differs = row.differs || (cell.mark == Mark::not_found && !row.common.empty());
    }
    std::stable_sort(rows.begin(), rows.end(), [](const MatrixRow &a, const MatrixRow &b) { return a.group < b.group; });
    return rows;
}

std::string common_version(const std::vector<MatrixCell> &cells)
{
    std::map<std::string, std::size_t> counts;
    for (const MatrixCell &cell : cells)
        if (cell.mark != Mark::not_found && cell.mark != Mark::not_listed)
            counts[cell.version]++;
    const std::string *best = nullptr;
    std::size_t most = 0;
    for (const auto &[version, n] : counts) // a tie goes to the newer version
        if (n > most || (n == most && compare_versions(version, *best) > 0)) {
            best = &version;
            most = n;
        }
    return best ? *best : std::string();
}

FleetPage build_fleet(const std::vector<std::string> &files, std::vector<Failure> failures, const Codepage &cp,
                      const FleetOptions &options)
{
    return FleetBuilder(cp, options).build(files, std::move(failures));
}

} // namespace telinv_read
