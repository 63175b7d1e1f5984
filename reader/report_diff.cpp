#include "report_diff.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <unordered_map>

#include <dtl/dtl.hpp>

#include "text.h"

namespace telinv_read {

namespace {

// ---- line diff -------------------------------------------------------------------

enum class Op : char { common = ' ', del = '-', add = '+' };

// A line as dtl compares it: by hash first, then by its bytes.
struct HashedLine {
    std::size_t hash = 0;
    std::string_view text;
    bool operator==(const HashedLine &other) const { return hash == other.hash && text == other.text; }
};

// dtl's search costs about (N + M) times the number of deletions; a piece is given to it
// when (N + M) * min(N, M) stays within the piece budget, and all pieces together within
// the total budget. Beyond, the piece is shown removed and added whole.
constexpr double piece_budget = 5e7;
constexpr double total_budget = 4e8;

// The lines of a side are any Lines with size() and operator[] giving the line's text: a
// vector of texts, or a section's lines in its report.
template <class Lines> class LineDiffer {
    using Pair = std::pair<std::uint32_t, std::uint32_t>; // a line's position in a, in b
    using Pairs = std::vector<Pair>;

public:
    LineDiffer(const Lines &a, const Lines &b) : a_(a), b_(b) {}

    // The edit script: what each step does.
    std::vector<Op> run()
    {
        ops_.reserve(std::max(a_.size(), b_.size()) + 16);
        piece(0, a_.size(), 0, b_.size(), true);
        return std::move(ops_);
    }
    bool coarse() const { return coarse_; }

private:
    void emit(Op op, std::size_t n)
    {
        if (n == 1)
            ops_.push_back(op);
        else if (n != 0)
            ops_.insert(ops_.end(), n, op);
    }

    // A line of a's hash: from those of the piece split by its unique lines, or made now.
    std::size_t hash_a(std::size_t i) const { return i - ha0_ < ha_.size() ? ha_[i - ha0_] : hash_(a_[i]); }

    void piece(std::size_t a0, std::size_t a1, std::size_t b0, std::size_t b1, bool split)
    {
        // Common lines at both ends.
        std::size_t head = 0;
        while (a0 + head < a1 && b0 + head < b1 && a_[a0 + head] == b_[b0 + head])
            head++;
        emit(Op::common, head);
        a0 += head;
        b0 += head;
        std::size_t tail = 0;
        while (a1 - tail > a0 && b1 - tail > b0 && a_[a1 - tail - 1] == b_[b1 - tail - 1])
            tail++;
        a1 -= tail;
        b1 -= tail;
        const std::size_t na = a1 - a0, nb = b1 - b0;
        if (na == 0 || nb == 0) {
            emit(Op::del, na);
            emit(Op::add, nb);
        } else {
            double cost = double(na + nb) * double(std::min(na, nb));
            if (cost <= piece_budget / 50 || (!split && cost <= piece_budget && spent_ + cost <= total_budget)) {
                spent_ += cost;
                search(a0, a1, b0, b1);
            } else if (split) {
                by_unique_lines(a0, a1, b0, b1);
            } else {
                coarse_ = true;
                emit(Op::del, na);
                emit(Op::add, nb);
            }
        }
        emit(Op::common, tail);
    }

    // The lines whose hash occurs once in each side's piece (and whose texts are equal),
    // in an order both sides share (the longest increasing run of their positions), are
    // taken as common; the pieces between them are compared on their own. Hashes are
    // counted in a table of a's hashes, open addressing.
    void by_unique_lines(std::size_t a0, std::size_t a1, std::size_t b0, std::size_t b1)
    {
        const std::size_t na = a1 - a0, nb = b1 - b0;
        ha0_ = a0;
        ha_.resize(na);
        for (std::size_t i = 0; i < na; i++)
            ha_[i] = hash_(a_[a0 + i]);
        // Room reserved for the most there can be: what is not used is never touched.
        Pairs pairs;
        pairs.reserve(na);
        {
            // Per hash of a: its first line in a's piece and its line in b's piece (each
            // from 1, 0 for none), with `many` set where there are more.
            constexpr std::uint32_t many = 0x80000000u;
            std::size_t mask = 15; // the table's size less one: a power of two above 1.5 na
            while (mask < na + na / 2)
                mask = mask * 2 + 1;
            std::vector<std::uint32_t> in_a(mask + 1, 0), in_b(mask + 1, 0);
            auto slot = [&](std::size_t hash) {
                std::size_t at = hash & mask;
                while (in_a[at] != 0 && ha_[(in_a[at] & ~many) - 1] != hash)
                    at = (at + 1) & mask;
                return at;
            };
            for (std::size_t i = 0; i < na; i++) {
                std::uint32_t &x = in_a[slot(ha_[i])];
                x = x == 0 ? static_cast<std::uint32_t>(i + 1) : x | many;
            }
            for (std::size_t j = 0; j < nb; j++) {
                std::size_t at = slot(hash_(b_[b0 + j]));
                if (in_a[at] != 0)
                    in_b[at] = in_b[at] == 0 ? static_cast<std::uint32_t>(j + 1) : in_b[at] | many;
            }
            for (std::size_t i = 0; i < na; i++) {
                std::size_t at = slot(ha_[i]);
                if (in_a[at] != i + 1 || in_b[at] == 0 || (in_b[at] & many))
                    continue;
                std::size_t j = in_b[at] - 1;
                if (a_[a0 + i] == b_[b0 + j])
                    pairs.emplace_back(static_cast<std::uint32_t>(a0 + i), static_cast<std::uint32_t>(b0 + j));
            }
        }
        // The anchors: the longest run of pairs in b's order too; all of them where they
        // come in that order, as they mostly do.
        auto b_order = [](const Pair &x, const Pair &y) { return x.second < y.second; };
        if (!std::is_sorted(pairs.begin(), pairs.end(), b_order))
            longest_run(pairs);
        std::size_t ia = a0, ib = b0;
        for (auto [pa, pb] : pairs) {
            piece(ia, pa, ib, pb, false);
            emit(Op::common, 1);
            ia = pa + std::size_t(1);
            ib = pb + std::size_t(1);
        }
        piece(ia, a1, ib, b1, false);
    }

    // Keeps of the pairs (in a's order) the longest run whose b positions increase: the
    // longest increasing subsequence, by patience sorting.
    static void longest_run(Pairs &pairs)
    {
        constexpr std::uint32_t none = UINT32_MAX;
        std::vector<std::uint32_t> tails, tail_index, previous(pairs.size(), none);
        for (std::size_t k = 0; k < pairs.size(); k++) {
            auto it = std::lower_bound(tails.begin(), tails.end(), pairs[k].second);
            std::size_t at = static_cast<std::size_t>(it - tails.begin());
            if (at > 0)
                previous[k] = tail_index[at - 1];
            if (it == tails.end()) {
                tails.push_back(pairs[k].second);
                tail_index.push_back(static_cast<std::uint32_t>(k));
            } else {
                *it = pairs[k].second;
                tail_index[at] = static_cast<std::uint32_t>(k);
            }
        }
        // The run's pairs, from its last back to its first, then moved to the front of
        // pairs in order: the m-th of the run stands at m or later, so no pair is
        // overwritten before it is moved.
        std::vector<std::uint32_t> run(tails.size());
        std::uint32_t k = tail_index.empty() ? none : tail_index.back();
        for (std::size_t m = run.size(); m-- > 0; k = previous[k])
            run[m] = k;
        for (std::size_t m = 0; m < run.size(); m++)
            pairs[m] = pairs[run[m]];
        pairs.resize(run.size());
    }

    void search(std::size_t a0, std::size_t a1, std::size_t b0, std::size_t b1)
    {
        std::vector<HashedLine> a, b;
        a.reserve(a1 - a0);
        b.reserve(b1 - b0);
        for (std::size_t i = a0; i < a1; i++)
            a.push_back(HashedLine{hash_a(i), a_[i]});
        for (std::size_t j = b0; j < b1; j++)
            b.push_back(HashedLine{hash_(b_[j]), b_[j]});
        dtl::Diff<HashedLine, std::vector<HashedLine>> d(a, b);
        d.compose();
        for (const auto &step : d.getSes().getSequence()) {
            switch (step.second.type) {
            case dtl::SES_COMMON: ops_.push_back(Op::common); break;
            case dtl::SES_DELETE: ops_.push_back(Op::del); break;
            case dtl::SES_ADD: ops_.push_back(Op::add); break;
            default: break;
            }
        }
    }

    const Lines &a_, &b_;
    std::hash<std::string_view> hash_;
    std::vector<std::size_t> ha_; // hashes of a's lines from ha0_ on
    std::size_t ha0_ = 0;
    std::vector<Op> ops_;
    double spent_ = 0;
    bool coarse_ = false;
};

// A section's lines in its report, for the line diff.
struct SectionLines {
    const Report *r = nullptr;
    std::size_t first = 0, count = 0;
    std::size_t size() const { return count; }
    std::string_view operator[](std::size_t i) const { return r->line(first + i); }
};

template <class Lines> LineDiff diff_lines_of(const Lines &a, const Lines &b, int context)
{
    LineDiffer<Lines> differ(a, b);
    std::vector<Op> ops = differ.run();
    LineDiff result;
    result.coarse = differ.coarse();

    // In each run of changes the removed lines come first, as diff -u shows them.
    for (std::size_t k = 0; k < ops.size();) {
        if (ops[k] == Op::common) {
            k++;
            continue;
        }
        std::size_t end = k, dels = 0;
        for (; end < ops.size() && ops[end] != Op::common; end++)
            dels += ops[end] == Op::del;
        std::fill(ops.begin() + static_cast<std::ptrdiff_t>(k), ops.begin() + static_cast<std::ptrdiff_t>(k + dels), Op::del);
        std::fill(ops.begin() + static_cast<std::ptrdiff_t>(k + dels), ops.begin() + static_cast<std::ptrdiff_t>(end), Op::add);
        k = end;
    }

    // Hunks: each change with `context` common lines around it; changes closer than twice
    // that share a hunk.
    const std::size_t ctx = static_cast<std::size_t>(std::max(0, context));
    const std::size_t n = ops.size();
    std::size_t k = 0, ia = 0, ib = 0, commons_before = 0;
    auto step = [&](std::size_t at, std::size_t &pa, std::size_t &pb) {
        pa += ops[at] != Op::add;
        pb += ops[at] != Op::del;
    };
    while (k < n) {
        while (k < n && ops[k] == Op::common) {
            k++, ia++, ib++;
            commons_before++;
        }
        if (k == n)
            break;
        std::size_t back = std::min(ctx, commons_before);
        std::size_t start = k - back, sa = ia - back, sb = ib - back;
        std::size_t end = k, ea = ia, eb = ib;
        for (;;) {
            while (end < n && ops[end] != Op::common)
                step(end++, ea, eb);
            std::size_t run = 0;
            while (end + run < n && ops[end + run] == Op::common)
                run++;
            if (end + run < n && run <= 2 * ctx) {
                end += run, ea += run, eb += run;
                continue;
            }
            std::size_t take = std::min(run, ctx);
            end += take, ea += take, eb += take;
            break;
        }
        Hunk h;
        h.old_start = sa + 1;
        h.new_start = sb + 1;
        h.old_count = ea - sa;
        h.new_count = eb - sb;
        std::size_t pa = sa, pb = sb;
        for (std::size_t m = start; m < end; m++) {
            h.lines.emplace_back(static_cast<char>(ops[m]), ops[m] == Op::add ? b[pb] : a[pa]);
            step(m, pa, pb);
        }
        // As diff -u has it: an empty side starts at the line before.
        if (h.old_count == 0)
            h.old_start--;
        if (h.new_count == 0)
            h.new_start--;
        result.hunks.push_back(std::move(h));
        k = end, ia = ea, ib = eb;
        commons_before = 0;
    }
    return result;
}

} // namespace

LineDiff diff_lines(const std::vector<std::string_view> &a, const std::vector<std::string_view> &b, int context)
{
    return diff_lines_of(a, b, context);
}

namespace {

// ---- report diff -------------------------------------------------------------------

struct Side {
    const Report &r;
    std::vector<std::string> keys; // per section: what it is matched by
};

// Sections are matched by kind and name, the n-th of a kind and name with the n-th; the
// error log's excerpt by its kind alone (its banner is the configured pattern).
std::vector<std::string> section_keys(const Report &r)
{
    std::vector<std::string> keys;
    std::map<std::string, int> seen;
    for (const Section &s : r.sections) {
        std::string key = kind_name(s.kind);
        if (s.kind != SectionKind::error_log && s.has_banner) {
            key += '\n';
            key += r.text(s.name);
        }
        int n = seen[key]++;
        key += '\n' + std::to_string(n);
        keys.push_back(std::move(key));
    }
    return keys;
}

bool is_log(SectionKind k) { return k == SectionKind::error_log || k == SectionKind::sip_error_log; }

bool has_lines_diff(SectionKind k)
{
    switch (k) {
    case SectionKind::inventory:
    case SectionKind::kamailio:
    case SectionKind::voip_files:
    case SectionKind::email:
    case SectionKind::sysinfo:
        return false;
    default:
        return true;
    }
}

class Differ {
public:
    Differ(const Report &o, const Report &n, const Codepage &cp, const DiffOptions &opt)
        : old_(o), new_(n), cp_(cp), opt_(opt), changes_(Json::array())
    {
    }

    Json run();

private:
    std::string dec(const Report &r, Span s) const { return cp_.decode(r.text(s)); }
    Json dec(const Report &r, const std::optional<Span> &s) const { return text_json(r, cp_, s); }

    Json change(const Report &r, std::size_t section, const char *type)
    {
        Json c;
        const Section &s = r.sections[section];
        c["section"] = s.has_banner ? Json(dec(r, s.name)) : Json(nullptr);
        c["kind"] = kind_name(s.kind);
        c["type"] = type;
        return c;
    }
    void fact(const Report &r, std::size_t section, const std::string &name, const std::string &label,
              Json old_value, Json new_value)
    {
        if (old_value == new_value)
            return;
        Json c = change(r, section, "fact");
        c["name"] = name;
        c["label"] = label;
        c["old"] = std::move(old_value);
        c["new"] = std::move(new_value);
        changes_.push_back(std::move(c));
    }
    void items(const Report &r, std::size_t section, const char *list, const char *label,
               const std::vector<Span> *old_items, const std::vector<Span> *new_items);

    void header();
    void section_pair(const std::optional<std::size_t> &o, const std::optional<std::size_t> &n);
    void lines(const std::optional<std::size_t> &o, const std::optional<std::size_t> &n);
    void inventory(const std::optional<std::size_t> &o, const std::optional<std::size_t> &n);
    void listings(const std::optional<std::size_t> &o, const std::optional<std::size_t> &n);
    void email(const std::optional<std::size_t> &o, const std::optional<std::size_t> &n);
    void sysinfo(const std::optional<std::size_t> &o, const std::optional<std::size_t> &n);

    const Report &old_, &new_;
    const Codepage &cp_;
    const DiffOptions &opt_;
    Json changes_;
};

Json side_json(const Report &r, const Codepage &cp)
{
    Json j;
    j["file"] = r.file;
    j["header"] = cp.decode(r.text(r.header_line));
    j["time"] = text_json(r, cp, r.header.time);
    return j;
}

Json Differ::run()
{
    header();
    std::vector<std::string> ko = section_keys(old_), kn = section_keys(new_);
    std::unordered_map<std::string, std::size_t> old_index;
    for (std::size_t i = 0; i < ko.size(); i++)
        old_index[ko[i]] = i;
    std::vector<bool> old_done(ko.size(), false);
    std::size_t next_old = 0;
    auto flush_old = [&](std::size_t until) {
        for (; next_old < until; next_old++)
            if (!old_done[next_old]) {
                old_done[next_old] = true;
                section_pair(next_old, std::nullopt);
            }
    };
    for (std::size_t j = 0; j < kn.size(); j++) {
        auto it = old_index.find(kn[j]);
        if (it == old_index.end() || old_done[it->second]) {
            section_pair(std::nullopt, j);
            continue;
        }
        flush_old(it->second);
        old_done[it->second] = true;
        section_pair(it->second, j);
    }
    flush_old(ko.size());

    Json d;
    d["old"] = side_json(old_, cp_);
    d["new"] = side_json(new_, cp_);
    d["all"] = opt_.all;
    d["changed"] = !changes_.empty();
    d["changes"] = std::move(changes_);
    return d;
}

void Differ::header()
{
    auto facts = [&](const char *name, const std::optional<Span> &o, const std::optional<Span> &n) {
        Json ov = dec(old_, o), nv = dec(new_, n);
        if (ov == nv)
            return;
        Json c;
        c["section"] = nullptr;
        c["kind"] = "header";
        c["type"] = "fact";
        c["name"] = name;
        c["label"] = name;
        c["old"] = std::move(ov);
        c["new"] = std::move(nv);
        changes_.push_back(std::move(c));
    };
    facts("tool", old_.header.tool, new_.header.tool);
    facts("version", old_.header.version, new_.header.version);
    if (opt_.all)
        facts("time", old_.header.time, new_.header.time);
}

void Differ::section_pair(const std::optional<std::size_t> &o, const std::optional<std::size_t> &n)
{
    const Report &r = n ? new_ : old_;
    const Section &s = r.sections[n ? *n : *o];
    if (is_log(s.kind) && !opt_.all)
        return;
    if (!o || !n) {
        Json c = change(r, n ? *n : *o, "section");
        c["change"] = n ? "added" : "removed";
        changes_.push_back(std::move(c));
    }
    switch (s.kind) {
    case SectionKind::inventory:
        inventory(o, n);
        listings(o, n);
        return;
    case SectionKind::kamailio:
    case SectionKind::voip_files:
        listings(o, n);
        return;
    case SectionKind::email:
        email(o, n);
        return;
    case SectionKind::sysinfo:
        sysinfo(o, n);
        return;
    default:
        break;
    }
    if (has_lines_diff(s.kind))
        lines(o, n);
}

// The section's lines less the empty line that ends a whole report; none for no section.
SectionLines content_lines(const Report &r, const std::optional<std::size_t> &section)
{
    SectionLines lines;
    lines.r = &r;
    if (section) {
        lines.first = r.sections[*section].first_line;
        lines.count = r.content_count(*section);
    }
    return lines;
}

bool same_lines(const SectionLines &a, const SectionLines &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); i++)
        if (a[i] != b[i])
            return false;
    return true;
}

void Differ::lines(const std::optional<std::size_t> &o, const std::optional<std::size_t> &n)
{
    SectionLines a = content_lines(old_, o), b = content_lines(new_, n);
    if (same_lines(a, b))
        return;
    LineDiff d = diff_lines_of(a, b, opt_.context);
    if (d.hunks.empty())
        return;
    const Report &r = n ? new_ : old_;
    Json c = change(r, n ? *n : *o, "lines");
    Json hunks = Json::array();
    for (const Hunk &h : d.hunks) {
        Json hj;
        hj["old_start"] = h.old_start;
        hj["old_lines"] = h.old_count;
        hj["new_start"] = h.new_start;
        hj["new_lines"] = h.new_count;
        Json ls = Json::array();
        for (const auto &[mark, text] : h.lines) {
            std::string line(1, mark);
            cp_.decode(text, line);
            ls.push_back(std::move(line));
        }
        hj["lines"] = std::move(ls);
        hunks.push_back(std::move(hj));
    }
    c["coarse"] = d.coarse;
    c["hunks"] = std::move(hunks);
    changes_.push_back(std::move(c));
}

// The entries of a section, by a key, each key's entries in order of their occurrence.
template <class Entry, class Key>
std::map<std::string_view, std::vector<const Entry *>> by_key(const std::vector<const Entry *> &entries, Key key)
{
    std::map<std::string_view, std::vector<const Entry *>> m;
    for (const Entry *e : entries)
        m[key(*e)].push_back(e);
    return m;
}

bool in_section(const Report &r, std::size_t section, std::size_t line)
{
    const Section &s = r.sections[section];
    return line >= s.first_line && line < s.first_line + s.line_count;
}

void Differ::inventory(const std::optional<std::size_t> &o, const std::optional<std::size_t> &n)
{
    auto entries = [](const Report &r, const std::optional<std::size_t> &sec) {
        std::vector<const InventoryEntry *> v;
        if (sec)
            for (const InventoryEntry &e : r.inventory)
                if (in_section(r, *sec, e.line))
                    v.push_back(&e);
        return v;
    };
    std::vector<const InventoryEntry *> eo = entries(old_, o), en = entries(new_, n);
    auto mo = by_key<InventoryEntry>(eo, [&](const InventoryEntry &e) { return old_.text(e.path); });
    auto mn = by_key<InventoryEntry>(en, [&](const InventoryEntry &e) { return new_.text(e.path); });
    auto file_json = [&](const Report &r, const InventoryEntry *e) {
        if (!e)
            return Json(nullptr);
        Json j;
        j["version"] = dec(r, e->version);
        j["bytes"] = e->bytes;
        return j;
    };
    // A file is there when it has a version or a size ("Not Found" with 0 bytes: missing).
    auto present = [](const InventoryEntry *e) { return e && (e->version || e->bytes != 0); };
    auto report = [&](const InventoryEntry *a, const InventoryEntry *b) {
        bool same = a && b && ((a->version && b->version) ? old_.text(*a->version) == new_.text(*b->version)
                                                          : !a->version && !b->version) &&
                    a->bytes == b->bytes;
        if (same || (!present(a) && !present(b)))
            return;
        const char *kind = present(a) && present(b) ? "changed" : present(b) ? "appeared" : "missing";
        Json c = change(b ? new_ : old_, b ? *n : *o, "file");
        c["path"] = b ? dec(new_, b->path) : dec(old_, a->path);
        c["group"] = b ? b->group : a->group;
        c["change"] = kind;
        c["old"] = file_json(old_, a);
        c["new"] = file_json(new_, b);
        changes_.push_back(std::move(c));
    };
    // In the new report's order, then what only the old one has.
    std::map<std::string_view, std::size_t> used;
    for (const InventoryEntry *b : en) {
        std::string_view key = new_.text(b->path);
        std::size_t k = used[key]++;
        auto it = mo.find(key);
        report(it != mo.end() && k < it->second.size() ? it->second[k] : nullptr, b);
    }
    for (const InventoryEntry *a : eo) {
        std::string_view key = old_.text(a->path);
        auto it = mn.find(key);
        std::size_t have = it == mn.end() ? 0 : it->second.size();
        std::size_t k = 0;
        for (const InventoryEntry *x : mo[key]) {
            if (x == a)
                break;
            k++;
        }
        if (k >= have)
            report(a, nullptr);
    }
}

void Differ::listings(const std::optional<std::size_t> &o, const std::optional<std::size_t> &n)
{
    auto of = [](const Report &r, const std::optional<std::size_t> &sec) {
        std::vector<const Listing *> v;
        if (sec)
            for (const Listing &l : r.listings)
                if (l.section == *sec)
                    v.push_back(&l);
        return v;
    };
    std::vector<const Listing *> lo = of(old_, o), ln = of(new_, n);
    auto entry_json = [&](const Report &r, const ListingEntry *e) {
        if (!e)
            return Json(nullptr);
        Json j;
        j["date"] = dec(r, e->date);
        j["bytes"] = e->bytes;
        return j;
    };
    auto compare = [&](const Listing *a, const Listing *b) {
        auto emit = [&](const ListingEntry *x, const ListingEntry *y) {
            if (x && y && old_.text(x->date) == new_.text(y->date) && x->bytes == y->bytes)
                return;
            Json c = change(y ? new_ : old_, y ? *n : *o, "entry");
            c["directory"] = b ? dec(new_, b->directory) : dec(old_, a->directory);
            c["name"] = y ? dec(new_, y->name) : dec(old_, x->name);
            c["change"] = x && y ? "changed" : y ? "added" : "removed";
            c["old"] = entry_json(old_, x);
            c["new"] = entry_json(new_, y);
            changes_.push_back(std::move(c));
        };
        // Mostly the two listings have the same names in the same order: then each entry
        // is compared with the one at its place.
        if (a && b && a->entries.size() == b->entries.size() &&
            std::equal(a->entries.begin(), a->entries.end(), b->entries.begin(),
                       [&](const ListingEntry &x, const ListingEntry &y) { return old_.text(x.name) == new_.text(y.name); })) {
            for (std::size_t i = 0; i < a->entries.size(); i++)
                emit(&a->entries[i], &b->entries[i]);
            return;
        }
        std::vector<const ListingEntry *> ea, eb;
        if (a)
            for (const ListingEntry &e : a->entries)
                ea.push_back(&e);
        if (b)
            for (const ListingEntry &e : b->entries)
                eb.push_back(&e);
        auto ma = by_key<ListingEntry>(ea, [&](const ListingEntry &e) { return old_.text(e.name); });
        auto mb = by_key<ListingEntry>(eb, [&](const ListingEntry &e) { return new_.text(e.name); });
        for (auto &[name, list] : ma) {
            auto it = mb.find(name);
            for (std::size_t k = 0; k < list.size(); k++)
                if (it == mb.end() || k >= it->second.size())
                    emit(list[k], nullptr);
        }
        for (const ListingEntry *y : eb) {
            std::string_view name = new_.text(y->name);
            const auto &same_name = mb[name];
            std::size_t k = static_cast<std::size_t>(std::find(same_name.begin(), same_name.end(), y) - same_name.begin());
            auto it = ma.find(name);
            emit(it != ma.end() && k < it->second.size() ? it->second[k] : nullptr, y);
        }
    };
    // Listings are matched by their directory.
    std::vector<bool> used(lo.size(), false);
    for (const Listing *b : ln) {
        const Listing *match = nullptr;
        for (std::size_t i = 0; i < lo.size() && !match; i++)
            if (!used[i] && old_.text(lo[i]->directory) == new_.text(b->directory)) {
                used[i] = true;
                match = lo[i];
            }
        compare(match, b);
    }
    for (std::size_t i = 0; i < lo.size(); i++)
        if (!used[i])
            compare(lo[i], nullptr);
}

void Differ::email(const std::optional<std::size_t> &o, const std::optional<std::size_t> &n)
{
    const Report &r = n ? new_ : old_;
    std::size_t section = n ? *n : *o;
    for (std::size_t f = 0; f < email_field_count; f++) {
        Json ov = o ? dec(old_, old_.email.values[f]) : Json(nullptr);
        Json nv = n ? dec(new_, new_.email.values[f]) : Json(nullptr);
        fact(r, section, email_fields[f].name, email_fields[f].label, std::move(ov), std::move(nv));
    }
}

void Differ::items(const Report &r, std::size_t section, const char *list, const char *label,
                   const std::vector<Span> *old_items, const std::vector<Span> *new_items)
{
    // As multisets: each value as often as it stands in the list.
    std::map<std::string_view, long> count;
    if (old_items)
        for (Span s : *old_items)
            count[old_.text(s)]--;
    if (new_items)
        for (Span s : *new_items)
            count[new_.text(s)]++;
    auto emit = [&](std::string_view value, const char *what) {
        Json c = change(r, section, "item");
        c["list"] = list;
        c["label"] = label;
        c["change"] = what;
        c["value"] = cp_.decode(value);
        changes_.push_back(std::move(c));
    };
    if (old_items)
        for (Span s : *old_items) {
            long &c = count[old_.text(s)];
            if (c < 0) {
                emit(old_.text(s), "removed");
                c++;
            }
        }
    if (new_items)
        for (Span s : *new_items) {
            long &c = count[new_.text(s)];
            if (c > 0) {
                emit(new_.text(s), "added");
                c--;
            }
        }
}

void Differ::sysinfo(const std::optional<std::size_t> &o, const std::optional<std::size_t> &n)
{
    const Report &r = n ? new_ : old_;
    std::size_t section = n ? *n : *o;
    const Sysinfo *so = o ? &old_.sysinfo : nullptr, *sn = n ? &new_.sysinfo : nullptr;
    for (std::size_t f = 0; f < sys_fact_count; f++) {
        Json ov = so ? dec(old_, so->facts[f]) : Json(nullptr);
        Json nv = sn ? dec(new_, sn->facts[f]) : Json(nullptr);
        fact(r, section, sys_facts[f].name, sys_facts[f].label, std::move(ov), std::move(nv));
    }
    // Adapters by their number.
    std::map<std::int64_t, std::pair<const Adapter *, const Adapter *>> adapters;
    if (so)
        for (const Adapter &a : so->adapters)
            if (!adapters[a.number].first)
                adapters[a.number].first = &a;
    if (sn)
        for (const Adapter &a : sn->adapters)
            if (!adapters[a.number].second)
                adapters[a.number].second = &a;
    for (const auto &[number, pair] : adapters) {
        for (std::size_t f = 0; f < adapter_field_count; f++) {
            Json ov = pair.first ? dec(old_, pair.first->values[f]) : Json(nullptr);
            Json nv = pair.second ? dec(new_, pair.second->values[f]) : Json(nullptr);
            std::string num = std::to_string(number);
            fact(r, section, "adapter " + num + " " + adapter_fields[f].name,
                 num + ". " + adapter_fields[f].label, std::move(ov), std::move(nv));
        }
    }
    items(r, section, "mac_addresses", "MacAddresses", so ? &so->mac_addresses : nullptr, sn ? &sn->mac_addresses : nullptr);
    items(r, section, "updates", "Updates:", so ? &so->updates : nullptr, sn ? &sn->updates : nullptr);
    items(r, section, "hotfixes", "Hotfix:", so ? &so->hotfixes : nullptr, sn ? &sn->hotfixes : nullptr);
    items(r, section, "installed", "Installed:", so ? &so->installed : nullptr, sn ? &sn->installed : nullptr);
}

// ---- text form ---------------------------------------------------------------------

std::string value_text(const Json &v)
{
    if (v.is_null())
        return "(none)";
    if (v.is_string())
        return v.get<std::string>();
    return dump(v);
}

std::string file_text(const Json &v)
{
    if (v.is_null())
        return "(not listed)";
    std::string version = v["version"].is_null() ? "Not Found" : v["version"].get<std::string>();
    return version + ", " + std::to_string(v["bytes"].get<std::int64_t>()) + " bytes";
}

std::string entry_text(const Json &v)
{
    if (v.is_null())
        return "";
    return v["date"].get<std::string>() + ", " + std::to_string(v["bytes"].get<std::int64_t>()) + " bytes";
}

} // namespace

Json diff_reports(const Report &old_report, const Report &new_report, const Codepage &cp, const DiffOptions &options)
{
    return Differ(old_report, new_report, cp, options).run();
}

std::vector<DiffGroup> diff_groups(const Json &diff)
{
    std::vector<DiffGroup> groups;
    for (const Json &c : diff["changes"]) {
        std::string kind = c["kind"].get<std::string>();
        std::string section = c["section"].is_null() ? kind : c["section"].get<std::string>();
        std::string type = c["type"].get<std::string>();
        std::string heading = "== " + section;
        if (type == "entry")
            heading += ": " + c["directory"].get<std::string>();
        if (groups.empty() || groups.back().heading != heading)
            groups.push_back(DiffGroup{heading, {}});
        std::vector<std::string> &out = groups.back().lines;
        if (type == "section") {
            out.push_back(c["change"] == "added" ? "  only in the new report" : "  only in the old report");
        } else if (type == "fact") {
            out.push_back("  " + c["label"].get<std::string>() + " " + value_text(c["old"]) + " -> " +
                          value_text(c["new"]));
        } else if (type == "item") {
            out.push_back(std::string("  ") + (c["change"] == "added" ? "+ " : "- ") + c["label"].get<std::string>() +
                          " " + c["value"].get<std::string>());
        } else if (type == "file") {
            std::string what = c["change"].get<std::string>();
            what.resize(9, ' ');
            out.push_back("  " + what + " " + c["path"].get<std::string>() + ": " + file_text(c["old"]) + " -> " +
                          file_text(c["new"]));
        } else if (type == "entry") {
            std::string what = c["change"].get<std::string>();
            std::string line = "  " + what + std::string(what.size() < 9 ? 9 - what.size() : 0, ' ') + " " +
                               c["name"].get<std::string>() + ": ";
            if (what == "changed")
                line += entry_text(c["old"]) + " -> " + entry_text(c["new"]);
            else
                line += entry_text(what == "added" ? c["new"] : c["old"]);
            out.push_back(std::move(line));
        } else if (type == "lines") {
            if (c["coarse"].get<bool>())
                out.push_back("  (too unlike for a line-by-line comparison: shown removed and added whole)");
            for (const Json &h : c["hunks"]) {
                out.push_back("@@ -" + std::to_string(h["old_start"].get<std::size_t>()) + "," +
                              std::to_string(h["old_lines"].get<std::size_t>()) + " +" +
                              std::to_string(h["new_start"].get<std::size_t>()) + "," +
                              std::to_string(h["new_lines"].get<std::size_t>()) + " @@");
                for (const Json &l : h["lines"])
                    out.push_back(l.get<std::string>());
            }
        }
    }
    return groups;
}

std::string diff_text(const Json &diff)
{
    if (diff["changes"].empty())
        return "";
    std::string out;
    out += "--- " + diff["old"]["file"].get<std::string>() + "\t" + value_text(diff["old"]["time"]) + "\n";
    out += "+++ " + diff["new"]["file"].get<std::string>() + "\t" + value_text(diff["new"]["time"]) + "\n";
    for (const DiffGroup &g : diff_groups(diff)) {
        out += g.heading + "\n";
        for (const std::string &l : g.lines)
            out += l + "\n";
    }
    return out;
}

} // namespace telinv_read
