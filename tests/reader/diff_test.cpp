// What changed between two reports: the line diff (its hunks must turn the old text into
// the new one, in diff -u's form, within bounded time) and the typed changes by section.
#include <chrono>
#include <random>

#include <gtest/gtest.h>

#include "report_diff.h"
#include "report_text.h"

using namespace telinv_read;
using namespace report_text;

namespace {

using Lines = std::vector<std::string_view>;

// Applies the hunks to a; the result must be b. Also checks each hunk's numbers.
std::vector<std::string> patched(const Lines &a, const LineDiff &d)
{
    std::vector<std::string> out;
    std::size_t pa = 0;
    for (const Hunk &h : d.hunks) {
        std::size_t start = h.old_count == 0 ? h.old_start : h.old_start - 1;
        EXPECT_LE(pa, start);
        while (pa < start && pa < a.size())
            out.emplace_back(a[pa++]);
        EXPECT_EQ(h.new_count == 0 ? h.new_start : h.new_start - 1, out.size());
        std::size_t olds = 0, news = 0;
        for (const auto &[mark, text] : h.lines) {
            if (mark != '+') {
                EXPECT_LT(pa, a.size());
                if (pa < a.size()) {
                    EXPECT_EQ(a[pa], text);
                }
                pa++;
                olds++;
            }
            if (mark != '-') {
                out.emplace_back(text);
                news++;
            }
        }
        EXPECT_EQ(olds, h.old_count);
        EXPECT_EQ(news, h.new_count);
    }
    while (pa < a.size())
        out.emplace_back(a[pa++]);
    return out;
}

std::vector<std::string> numbered(std::size_t n, const char *prefix = "line ")
{
    std::vector<std::string> v;
    for (std::size_t i = 1; i <= n; i++)
        v.push_back(prefix + std::to_string(i));
    return v;
}

Lines views(const std::vector<std::string> &v) { return Lines(v.begin(), v.end()); }

void expect_patch(const std::vector<std::string> &a, const std::vector<std::string> &b, const LineDiff &d)
{
    EXPECT_EQ(patched(views(a), d), b);
}

} // namespace

TEST(ReaderLineDiff, HunksAsDiffUHasThem)
{
    auto a = numbered(10), b = a;
    b[4] = "changed";
    LineDiff d = diff_lines(views(a), views(b), 3);
    ASSERT_EQ(d.hunks.size(), 1u);
    EXPECT_EQ(d.hunks[0].old_start, 2u);
    EXPECT_EQ(d.hunks[0].old_count, 7u);
    EXPECT_EQ(d.hunks[0].lines[3], std::make_pair('-', std::string_view("line 5")));
    EXPECT_EQ(d.hunks[0].lines[4], std::make_pair('+', std::string_view("changed")));
    // Into an empty text, out of it; changes far apart and near each other.
    LineDiff in = diff_lines({}, views(a), 3);
    EXPECT_EQ(in.hunks[0].old_start, 0u);
    EXPECT_EQ(in.hunks[0].new_count, 10u);
    auto far = numbered(40), near = numbered(40);
    far[2] = far[30] = "x";
    near[2] = near[8] = "x";
    EXPECT_EQ(diff_lines(views(numbered(40)), views(far), 3).hunks.size(), 2u);
    EXPECT_EQ(diff_lines(views(numbered(40)), views(near), 3).hunks.size(), 1u);
    EXPECT_TRUE(diff_lines(views(a), views(a), 3).hunks.empty());
}

TEST(ReaderLineDiff, RandomEditsPatchBack)
{
    std::mt19937 rng(16);
    for (int round = 0; round < 300; round++) {
        std::vector<std::string> a;
        std::size_t n = rng() % 60;
        for (std::size_t i = 0; i < n; i++)
            a.push_back("w" + std::to_string(rng() % 8)); // many repeated lines
        std::vector<std::string> b = a;
        for (int e = static_cast<int>(rng() % 6); e > 0; e--) {
            std::size_t at = b.empty() ? 0 : rng() % b.size();
            switch (rng() % 3) {
            case 0: b.insert(b.begin() + static_cast<long>(at), "n" + std::to_string(rng() % 4)); break;
            case 1: if (!b.empty()) b.erase(b.begin() + static_cast<long>(at)); break;
            default: if (!b.empty()) b[at] = "c" + std::to_string(rng() % 4);
            }
        }
        expect_patch(a, b, diff_lines(views(a), views(b), static_cast<int>(rng() % 4)));
    }
}

TEST(ReaderLineDiff, LargeTextsStayWithinBoundedTime)
{
    // A configuration of 200,000 lines with a few changes: found line by line.
    auto a = numbered(200000), b = a;
    b[10] = "changed";
    b.erase(b.begin() + 100000);
    b.insert(b.begin() + 150000, "inserted");
    std::swap(b[180000], b[180001]);
    auto t0 = std::chrono::steady_clock::now();
    LineDiff d = diff_lines(views(a), views(b), 3);
    EXPECT_FALSE(d.coarse);
    EXPECT_EQ(d.hunks.size(), 4u);
    expect_patch(a, b, d);
    // Two large texts with nothing in common, and one line repeated against another:
    // shown removed and added whole, not searched for minutes.
    auto c = numbered(60000, "other "), x = std::vector<std::string>(50000, "x"), y = std::vector<std::string>(50000, "y");
    LineDiff dc = diff_lines(views(a), views(c), 3);
    EXPECT_TRUE(dc.coarse);
    expect_patch(a, c, dc);
    x[25000] = "mid";
    LineDiff dx = diff_lines(views(x), views(y), 3);
    expect_patch(x, y, dx);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(60));
}

namespace {

// Each hunk's numbers and its changed lines ("-text", "+text").
std::string hunks_of(const LineDiff &d)
{
    std::string out;
    for (const Hunk &h : d.hunks) {
        out += "@@ -" + std::to_string(h.old_start) + "," + std::to_string(h.old_count) + " +" +
               std::to_string(h.new_start) + "," + std::to_string(h.new_count) + " @@";
        for (const auto &[mark, text] : h.lines)
            if (mark != ' ')
                out += std::string(" ") + mark + std::string(text);
        out += "\n";
    }
    return out;
}

std::vector<std::string> joined(std::initializer_list<std::vector<std::string>> parts)
{
    std::vector<std::string> v;
    for (const auto &p : parts)
        v.insert(v.end(), p.begin(), p.end());
    return v;
}

} // namespace

TEST(ReaderLineDiff, LinesOnceInEachTextAnchorALargeDiff)
{
    // Too large for one search: the lines that occur once in each text, in the order both
    // keep, are taken as common. Not a line twice in the old text ("dup") or twice in the
    // new one ("twice in b"); a block moved down crosses the lines it passes.
    auto a = numbered(3000), b = a;
    b[0] = "first";
    b[2999] = "last";
    a[99] = a[1999] = b[99] = "dup";
    b[1999] = "other";
    a[1499] = b[1499] = b[2899] = "twice in b";
    std::vector<std::string> block(b.begin() + 499, b.begin() + 509);
    b.erase(b.begin() + 499, b.begin() + 509);
    b.insert(b.begin() + 2490, block.begin(), block.end());
    LineDiff d = diff_lines(views(a), views(b), 1);
    EXPECT_FALSE(d.coarse);
    std::string moved_out, moved_in;
    for (int i = 500; i < 510; i++) {
        moved_out += " -line " + std::to_string(i);
        moved_in += " +line " + std::to_string(i);
    }
    EXPECT_EQ(hunks_of(d), "@@ -1,2 +1,2 @@ -line 1 +first\n"
                           "@@ -499,12 +499,2 @@" + moved_out + "\n"
                           "@@ -1999,3 +1989,3 @@ -dup +other\n"
                           "@@ -2500,2 +2490,12 @@" + moved_in + "\n"
                           "@@ -2899,3 +2899,3 @@ -line 2900 +twice in b\n"
                           "@@ -2999,2 +2999,2 @@ -line 3000 +last\n");
    expect_patch(a, b, d);
    // Few lines once in each, between long runs of one repeated line: each anchor counts.
    std::vector<std::string> run(800, "=");
    auto c = joined({run, {"u1", "x", "u2", "u3"}, run, {"x", "u4"}, run});
    auto e = joined({run, {"u3", "x", "u1", "u2"}, run, {"u4"}, run, {"x"}});
    LineDiff de = diff_lines(views(c), views(e), 1);
    EXPECT_EQ(hunks_of(de), "@@ -800,6 +800,6 @@ +u3 +x -x -u3\n"
                            "@@ -1604,3 +1604,2 @@ -x\n"
                            "@@ -2406,1 +2405,2 @@ +x\n");
    expect_patch(c, e, de);
}

namespace {

std::string replaced(std::string text, const std::string &from, const std::string &to)
{
    std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return text.replace(at, from.size(), to);
}

Json diff(const std::string &a, const std::string &b, bool all = false)
{
    Report ra = parse(a), rb = parse(b);
    DiffOptions o;
    o.all = all;
    return diff_reports(ra, rb, *Codepage::find(1252), o);
}

std::vector<std::string> summary(const Json &d)
{
    std::vector<std::string> s;
    for (const Json &c : d["changes"]) {
        std::string what = c["kind"].get<std::string>() + " " + c["type"].get<std::string>();
        for (const char *k : {"change", "name", "path", "value", "list"})
            if (c.contains(k))
                what += " " + c[k].get<std::string>();
        s.push_back(what);
    }
    return s;
}

} // namespace

TEST(ReaderReportDiff, TheSameHostUnchanged)
{
    std::string a = join(full_report());
    Json d = diff(a, a, true);
    EXPECT_FALSE(d["changed"].get<bool>());
    EXPECT_EQ(diff_text(d), "");
    // Another time and another error log only count with --all.
    std::string b = replaced(replaced(a, "09:05:01 2026", "10:00:00 2026"), "call 10203", "call 10204");
    EXPECT_FALSE(diff(a, b)["changed"].get<bool>());
    EXPECT_EQ(summary(diff(a, b, true)),
              (std::vector<std::string>{"header fact time", "error-log lines"}));
}

TEST(ReaderReportDiff, ChangesBySection)
{
    std::string a = join(full_report());
    std::string b = replaced(a, inventory_line("C:\\Program Files\\MIRDEN\\KESTRA\\pbxserv.exe", "6.2.1.0", 1024),
                             inventory_line("C:\\Program Files\\MIRDEN\\KESTRA\\pbxserv.exe", "6.2.2.0", 1088));
    b = replaced(b, inventory_line("C:\\Program Files\\MIRDEN\\KESTRA\\pbxfax.exe", nullptr, 0),
                 inventory_line("C:\\Program Files\\MIRDEN\\KESTRA\\pbxfax.exe", "6.2.2.0", 7));
    b = replaced(b, inventory_line("C:\\windows\\system32\\drivers\\g3.sys", "3.4.2.0", 2048),
                 inventory_line("C:\\windows\\system32\\drivers\\g3.sys", nullptr, 0));
    b = replaced(b, listing_line("CFG.TCL", 107), listing_line("CFG.TCL", 108) + "\r\n" + listing_line("NEW.TXT", 1));
    b = replaced(b, "VoipGlobal = { \"voip\" };", "VoipGlobal = { \"voip2\" };");
    b = replaced(b, label("Hotfix:", "KB936929"), label("Hotfix:", "KB936929") + "\r\n" + label("Hotfix:", "KB5000001"));
    b = replaced(b, label("PhysicalMemory:", "4194Mb"), label("PhysicalMemory:", "8388Mb"));
    b = replaced(b, adapter(1, "IPAdresse", "10.0.0.1"), adapter(1, "IPAdresse", "10.0.0.2"));
    b = replaced(b, label("SMTP-Server:", "smtp.example"), label("SMTP-Server:", "mail.example"));
    b = replaced(b, banner("log\\err%Y%m%d.log"), banner("log\\error%Y%m%d.log")); // matched by its kind
    Json d = diff(a, b);
    EXPECT_TRUE(d["changed"].get<bool>());
    EXPECT_EQ(summary(d), (std::vector<std::string>{
                              "inventory file changed C:\\Program Files\\MIRDEN\\KESTRA\\pbxserv.exe",
                              "inventory file appeared C:\\Program Files\\MIRDEN\\KESTRA\\pbxfax.exe",
                              "inventory file missing C:\\windows\\system32\\drivers\\g3.sys",
                              "pbxcfg lines",
                              "voip-files entry changed CFG.TCL",
                              "voip-files entry added NEW.TXT",
                              "email fact smtp_server",
                              "sysinfo fact memory",
                              "sysinfo fact adapter 1 ip_address",
                              "sysinfo item added KB5000001 hotfixes",
                          }));
    for (const std::string &c : summary(diff(a, b, true)))
        EXPECT_EQ(c.find("section"), std::string::npos) << c;
    std::string text = diff_text(d);
    EXPECT_NE(text.find("  changed   C:\\Program Files\\MIRDEN\\KESTRA\\pbxserv.exe: 6.2.1.0, 1024 bytes -> 6.2.2.0, 1088 bytes\n"), std::string::npos) << text;
    EXPECT_NE(text.find("-VoipGlobal = { \"voip\" };\n+VoipGlobal = { \"voip2\" };\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  + Hotfix: KB5000001\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  PhysicalMemory: 4194Mb -> 8388Mb\n"), std::string::npos) << text;
}

TEST(ReaderReportDiff, SectionsOnlyInOneReport)
{
    std::string a = join(full_report());
    std::string b = replaced(a, banner("actcfg"), banner("day.cfg") + "\r\nMon = 1\r\n" + banner("actcfg"));
    EXPECT_EQ(summary(diff(a, b)), (std::vector<std::string>{"time-cfg section added", "time-cfg lines"}));
    EXPECT_EQ(summary(diff(b, a)), (std::vector<std::string>{"time-cfg section removed", "time-cfg lines"}));
}

TEST(ReaderReportDiff, ListingEntriesByName)
{
    auto report = [](std::vector<std::string> entries) {
        std::vector<std::string> lines = {"telinv.exe(1) at x", banner("voip-files"), listing_heading("C:\\inst\\voip")};
        lines.insert(lines.end(), entries.begin(), entries.end());
        return join(lines);
    };
    const std::string a = report({listing_line("A.CFG", 1), listing_line("B.CFG", 2), listing_line("B.CFG", 3)});
    // The same names in the same order: each entry against the one at its place.
    EXPECT_EQ(summary(diff(a, report({listing_line("A.CFG", 1), listing_line("B.CFG", 2), listing_line("B.CFG", 4)}))),
              (std::vector<std::string>{"voip-files entry changed B.CFG"}));
    EXPECT_FALSE(diff(a, a)["changed"].get<bool>());
    // Another order is no change; a name's entries are matched in their order; what is
    // left over is removed (by name) or added (in the new order).
    EXPECT_FALSE(diff(a, report({listing_line("B.CFG", 2), listing_line("A.CFG", 1), listing_line("B.CFG", 3)}))["changed"].get<bool>());
    EXPECT_EQ(summary(diff(a, report({listing_line("B.CFG", 3), listing_line("A.CFG", 1), listing_line("B.CFG", 2)}))),
              (std::vector<std::string>{"voip-files entry changed B.CFG", "voip-files entry changed B.CFG"}));
    EXPECT_EQ(summary(diff(a, report({listing_line("C.CFG", 1), listing_line("B.CFG", 2), listing_line("A.CFG", 1)}))),
              (std::vector<std::string>{"voip-files entry removed B.CFG", "voip-files entry added C.CFG"}));
}

TEST(ReaderReportDiff, AListingOnlyInOneReport)
{
    // A listing's section in one report only: its entries come as removed or added.
    std::string a = join(full_report());
    std::string b = replaced(a, banner("kamailio") + "\r\n" + listing_heading("c:\\cygwin\\kamailio") + "\r\n" +
                                    listing_line("kamailio.core", 3221225472LL) + "\r\n",
                             "");
    EXPECT_EQ(summary(diff(a, b)), (std::vector<std::string>{"kamailio section removed",
                                                             "kamailio entry removed kamailio.core"}));
    EXPECT_EQ(summary(diff(b, a)), (std::vector<std::string>{"kamailio section added",
                                                             "kamailio entry added kamailio.core"}));
}
