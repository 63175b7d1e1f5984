// The fleet page: its model (versions as numbers, host names and folders, the matrix's
// marks, grouping and ordering, the figures of the fleet rows, histories, failures), the
// search of folders, the threads, and the escaping of the HTML writer.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

#include <gtest/gtest.h>

#include "fleet.h"
#include "fleet_html.h"
#include "parallel.h"
#include "report_text.h"

using namespace telinv_read;
using namespace report_text;
namespace fs = std::filesystem;

namespace {

int sign(int c) { return c < 0 ? -1 : c > 0 ? 1 : 0; }

std::string replaced(std::string text, const std::string &from, const std::string &to)
{
    std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// The test report of report_text.h for a computer, at a time ("Sat Mar 07 09:05:01 2026").
std::string report_of(const std::string &computer, const std::string &time)
{
    std::string r = replaced(join(full_report()), "PBX-WMIC\r\n", computer + "\r\n");
    return replaced(r, "Sat Mar 07 09:05:01 2026", time);
}

// A folder of its own for a test, removed at its end.
class Folder {
public:
    Folder()
    {
        static int n = 0;
        path_ = fs::path(testing::TempDir()) / ("telinv-fleet-" + std::to_string(n++) + "-" +
                                                 std::to_string(std::random_device()()));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~Folder()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string put(const std::string &name, const std::string &text) const
    {
        fs::path p = path_ / fs::u8path(name);
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
        return p.u8string();
    }
    std::string path() const { return path_.u8string(); }

private:
    fs::path path_;
};

FleetPage fleet_of(const std::vector<std::string> &files, unsigned threads = 0, std::size_t max_step_lines = 400)
{
    FleetOptions options;
    options.threads = threads;
    options.max_step_lines = max_step_lines;
    return build_fleet(files, {}, *Codepage::find(1252), options);
}

std::vector<std::string> names(const FleetPage &page)
{
    std::vector<std::string> n;
    for (const Host &h : page.hosts)
        n.push_back(h.name);
    return n;
}

const Host &host(const FleetPage &page, const std::string &name)
{
    for (const Host &h : page.hosts)
        if (h.name == name)
            return h;
    throw std::runtime_error("no host " + name);
}

std::string lines_of(const HistoryStep &step)
{
    std::string s;
    for (const DiffGroup &g : step.groups) {
        s += g.heading + "\n";
        for (const std::string &l : g.lines)
            s += l + "\n";
    }
    return s;
}

} // namespace

TEST(FleetVersions, ComparedAsNumbersPartByPart)
{
    EXPECT_GT(compare_versions("1.10", "1.9"), 0);
    EXPECT_LT(compare_versions("6.2.0.9", "6.2.0.14"), 0);
    EXPECT_GT(compare_versions("6.2.10.1234", "6.2.9.9999"), 0);
    EXPECT_EQ(compare_versions("6.2.1.0", "6.2.1.0"), 0);
    EXPECT_EQ(compare_versions("01.2", "1.2"), 0);      // another text, the same numbers
    EXPECT_EQ(compare_versions("6, 2, 1, 0", "6.2.1.0"), 0); // a resource's comma form
    EXPECT_LT(compare_versions("1.2", "1.2.0"), 0);     // more parts after equal ones: newer
    EXPECT_GT(compare_versions("123456789012345678901234567890", "9"), 0); // no overflow
    EXPECT_LT(compare_versions("", "0"), 0);
    // A part that is not a number: by its leading digits, then by the rest as text; a
    // part without digits before any number.
    EXPECT_GT(compare_versions("6.2.1a", "6.2.1"), 0);
    EXPECT_LT(compare_versions("6.2.1a", "6.2.2"), 0);
    EXPECT_LT(compare_versions("6.2.beta", "6.2.0"), 0);
    EXPECT_LT(compare_versions("6.2.alpha", "6.2.beta"), 0);
    EXPECT_GT(compare_versions("6.1.7601.17514 (win7sp1_rtm.101119-1850)", "6.1.7601.17514"), 0);

    // An order: every pair of a shuffled list compares as the list stands, both ways.
    std::vector<std::string> order = {"", "0", "0.9", "1", "1.0", "1.0.0", "1.2", "1.2.beta", "1.2.0", "1.2.1",
                                      "1.2.1a", "1.2.1b", "1.2.9", "1.2.10", "1.10", "2", "10.0"};
    for (std::size_t i = 0; i < order.size(); i++)
        for (std::size_t j = 0; j < order.size(); j++)
            EXPECT_EQ(sign(compare_versions(order[i], order[j])), i < j ? -1 : i > j ? 1 : 0)
                << order[i] << " against " << order[j];
}

TEST(FleetVersions, TheFleetsMostCommonVersion)
{
    auto cell = [](const char *v) { return MatrixCell{v, Mark::common}; };
    const MatrixCell nf{"", Mark::not_found}, nl{"", Mark::not_listed};
    EXPECT_EQ(common_version({cell("6.2.1.0"), cell("6.2.2.0"), cell("6.2.1.0")}), "6.2.1.0");
    // A tie goes to the newer version, as numbers: 6.2.10 over 6.2.9.
    EXPECT_EQ(common_version({cell("6.2.9"), cell("6.2.10"), cell("6.2.9"), cell("6.2.10")}), "6.2.10");
    EXPECT_EQ(common_version({cell("6.2.10"), cell("6.2.9")}), "6.2.10");
    // Not Found and not listed are no version, however many.
    EXPECT_EQ(common_version({nf, nf, nf, cell("3.4.1.7"), nl, nl}), "3.4.1.7");
    EXPECT_EQ(common_version({nf, nl}), "");
    EXPECT_EQ(common_version({}), "");
}

TEST(FleetVersions, TheMatrixMarksCellsAgainstTheFleet)
{
    auto item = [](const char *path, std::optional<std::string> v, int group = 1) {
        return InventoryItem{path, std::move(v), group};
    };
    std::vector<std::vector<InventoryItem>> hosts = {
        {item("a.exe", "6.2.1.0"), item("b.exe", "1.9"), item("drv.sys", "3.4", 3), item("gone.exe", std::nullopt)},
        {item("drv.sys", "3.4", 3), item("a.exe", "6.2.0.14"), item("b.exe", "1.10"), item("gone.exe", std::nullopt),
         item("a.exe", "9.9")},
        {item("a.exe", "6.2.1.0"), item("b.exe", "1.10"), item("new.exe", "1.0")},
        {item("a.exe", "06.2.1.0"), item("b.exe", std::nullopt), item("drv.sys", "3.4", 3)},
    };
    std::vector<MatrixRow> m = version_matrix(hosts);
    std::vector<std::string> paths;
    for (const MatrixRow &r : m)
        paths.push_back(r.path);
    // In the order of first appearance, by group.
    EXPECT_EQ(paths, (std::vector<std::string>{"a.exe", "b.exe", "gone.exe", "new.exe", "drv.sys"}));
    const MatrixRow &a = m[0], &b = m[1], &gone = m[2], &added = m[3], &drv = m[4];
    EXPECT_EQ(a.common, "6.2.1.0");
    EXPECT_EQ(a.cells[0].mark, Mark::common);
    EXPECT_EQ(a.cells[1].mark, Mark::older); // its first line counts, not the 9.9 listed again
    EXPECT_EQ(a.cells[1].version, "6.2.0.14");
    EXPECT_EQ(a.cells[3].mark, Mark::other); // the same numbers, another text
    EXPECT_TRUE(a.differs);
    EXPECT_EQ(b.common, "1.10");
    EXPECT_EQ(b.cells[0].mark, Mark::older);
    EXPECT_EQ(b.cells[3].mark, Mark::not_found);
    EXPECT_EQ(b.cells[3].version, "");
    // Not Found everywhere it is listed: nothing differs; a file one host alone lists
    // differs from nobody.
    EXPECT_EQ(gone.cells[0].mark, Mark::not_found);
    EXPECT_EQ(gone.cells[2].mark, Mark::not_listed);
    EXPECT_FALSE(gone.differs);
    EXPECT_FALSE(added.differs);
    EXPECT_EQ(added.cells[2].mark, Mark::common);
    EXPECT_FALSE(drv.differs);
    EXPECT_EQ(drv.cells[2].mark, Mark::not_listed);
    // Not Found where others have the file differs.
    std::vector<MatrixRow> m2 = version_matrix({{item("x", "1")}, {item("x", std::nullopt)}});
    EXPECT_TRUE(m2[0].differs);
    EXPECT_EQ(m2[0].cells[1].mark, Mark::not_found);
}

TEST(FleetHosts, NamesInNaturalOrder)
{
    EXPECT_TRUE(natural_less("pbx-2", "pbx-10"));
    EXPECT_FALSE(natural_less("pbx-10", "pbx-2"));
    EXPECT_TRUE(natural_less("pbx-a", "PBX-B"));
    EXPECT_TRUE(natural_less("PBX-B", "pbx-c"));
    EXPECT_TRUE(natural_less("pbx", "pbx-1"));
    EXPECT_TRUE(natural_less("pbx-007", "pbx-8"));
    // Equal without case and numbers' zeros: by bytes, so that the order is total.
    EXPECT_TRUE(natural_less("PBX", "pbx"));
    EXPECT_FALSE(natural_less("pbx", "PBX"));
    EXPECT_TRUE(natural_less("pbx-01", "pbx-1"));
    EXPECT_FALSE(natural_less("pbx-1", "pbx-1"));
}

TEST(FleetHosts, RunStampsAndTheHostOfAPath)
{
    for (const char *stamp : {"2026-12-09T113156Z", "20261209T113156Z", "2026-12-09", "2026-12-09_11-31-56",
                              "2026-12-09T11:31:56", "20261209"})
        EXPECT_TRUE(is_run_stamp(stamp)) << stamp;
    for (const char *name : {"pbx-1", "2026", "2026-1-9", "2026-12-9", "run-2026-12-09", "2026-12-09 backup",
                             "20261209x", "2026-12-09T113156+0100", "", "2026_12_09"})
        EXPECT_FALSE(is_run_stamp(name)) << name;

    EXPECT_EQ(host_from_path("reports/pbx-1/2026-12-09T113156Z/telinv.txt"), "pbx-1");
    EXPECT_EQ(host_from_path("reports/pbx-1/telinv.txt"), "pbx-1");
    EXPECT_EQ(host_from_path("reports/pbx-1/2026-12-09/20261209T1131Z/TELINV.TXT"), "pbx-1");
    EXPECT_EQ(host_from_path("reports/pbx-1.txt"), "pbx-1");   // the loops' layout: a file per host
    EXPECT_EQ(host_from_path("reports/pbx-1"), "pbx-1");
    // A bare name: the current folder's.
    EXPECT_EQ(host_from_path("telinv.txt"), fs::current_path().filename().u8string());
}

TEST(FleetHosts, TimesAndAges)
{
    EXPECT_EQ(seconds_of_iso("1970-01-01T00:00:00"), 0);
    EXPECT_EQ(seconds_of_iso("2000-03-01T00:00:00"), 951868800);
    EXPECT_EQ(seconds_of_iso("2026-12-09T11:31:56"), 1796815916);
    EXPECT_EQ(*seconds_of_iso("2024-03-01T00:00:00") - *seconds_of_iso("2024-02-28T00:00:00"), 2 * 86400); // leap day
    for (const char *bad : {"", "2026-13-01T00:00:00", "2026-12-09 11:31:56", "2026-12-09T24:00:00", "2026-12-09T11:31",
                            "2026-12-0xT11:31:56"})
        EXPECT_FALSE(seconds_of_iso(bad)) << bad;
    EXPECT_EQ(age_text(-5), "0 min");
    EXPECT_EQ(age_text(59), "0 min");
    EXPECT_EQ(age_text(3599), "59 min");
    EXPECT_EQ(age_text(3600), "1 h");
    EXPECT_EQ(age_text(2 * 86400 - 1), "47 h");
    EXPECT_EQ(age_text(2 * 86400), "2 d");
}

TEST(FleetModel, HostsReportsAndTheirFigures)
{
    Folder dir;
    // PBX-1 three times (its computer name once in other case), PBX-2 once with an older
    // pbxserv.exe, a short report without a computer name in a run's folder, a file that
    // is no report.
    std::string base = report_of("PBX-1", "Sat Mar 07 09:05:01 2026");
    const std::string pbxserv = "C:\\Program Files\\MIRDEN\\KESTRA\\pbxserv.exe";
    std::vector<std::string> files = {
        dir.put("r/pbx-1/2026-03-07T090501Z/telinv.txt", base),
        dir.put("r/pbx-1/2026-03-09T090000Z/telinv.txt",
                replaced(report_of("pbx-1", "Mon Mar 09 09:00:00 2026"), "Lan = { \"192.168.10.20\"", "Lan = { \"192.168.10.21\"")),
        dir.put("r/pbx-1/2026-03-08T090000Z/telinv.txt", report_of("PBX-1", "Sun Mar 08 09:00:00 2026")),
        dir.put("r/pbx-10/telinv.txt",
                replaced(report_of("pbx-10", "Mon Mar 09 10:00:00 2026"), inventory_line(pbxserv, "6.2.1.0", 1024),
                         inventory_line(pbxserv, "6.2.0.9", 1024))),
        dir.put("r/pbx-2/telinv.txt", report_of("PBX-2", "Fri Mar 06 10:00:00 2026")),
        dir.put("r/branch/2026-03-01T000000Z/telinv.txt",
                "telinv.exe(1.2.3.4) at Sun Mar 01 00:00:00 2026\r\n" + banner("pbxcfg") + "\r\nx\r\n"),
        dir.put("r/broken/telinv.txt", "PK\x03\x04"),
    };
    FleetPage page = fleet_of(files);
    EXPECT_EQ(names(page), (std::vector<std::string>{"branch", "pbx-1", "PBX-2", "pbx-10"}));
    EXPECT_EQ(page.report_count, 6u);
    ASSERT_EQ(page.failures.size(), 1u);
    EXPECT_EQ(page.failures[0].file, files[6]);
    EXPECT_NE(page.failures[0].reason.find("not a telinv report"), std::string::npos);
    EXPECT_EQ(page.newest_time, "2026-03-09T10:00:00");

    // A host's reports newest first, by header time whatever the folders' order; its name
    // as the current report gives it.
    const Host &one = host(page, "pbx-1");
    ASSERT_EQ(one.reports.size(), 3u);
    EXPECT_EQ(one.reports[0].file, files[1]);
    EXPECT_EQ(one.reports[1].file, files[2]);
    EXPECT_EQ(one.reports[2].file, files[0]);
    EXPECT_EQ(one.reports[0].time, "Mon Mar 09 09:00:00 2026");
    ASSERT_EQ(one.history.size(), 2u);
    EXPECT_NE(lines_of(one.history[0]).find("== netcfg\n"), std::string::npos) << lines_of(one.history[0]);
    EXPECT_NE(lines_of(one.history[0]).find("+Lan = { \"192.168.10.21\""), std::string::npos);
    EXPECT_TRUE(one.history[1].groups.empty()); // only the time changed: no change without --all
    EXPECT_EQ(one.history[1].lines_left_out, 0u);

    // The figures of a fleet row.
    EXPECT_EQ(one.row.time, "2026-03-09T09:00:00");
    EXPECT_EQ(one.row.age, 3600);
    EXPECT_EQ(one.row.windows, "6.1, Service Pack 3");
    EXPECT_EQ(one.row.suite_release, "6.2.1.0");
    EXPECT_EQ(one.row.driver_release, "3.4.2.0");
    EXPECT_EQ(one.row.not_found, 1u);
    EXPECT_EQ(one.row.errors, 2u);
    EXPECT_EQ(one.row.top_log_kind, "#:#:# ERROR pbxserv: call # to #: no free B-channel on ISDN#");
    EXPECT_EQ(one.row.top_log_count, 2u);
    EXPECT_EQ(one.row.other_versions, 0u);
    EXPECT_EQ(one.summary.computer, "pbx-1");
    const Host &ten = host(page, "pbx-10");
    EXPECT_EQ(ten.row.other_versions, 1u);
    EXPECT_EQ(ten.row.age, 0);
    EXPECT_EQ(host(page, "PBX-2").row.age, 3 * 86400 - 0);
    const Host &branch = host(page, "branch");
    EXPECT_EQ(branch.row.windows, "");
    EXPECT_FALSE(branch.summary.has_sysinfo);
    EXPECT_EQ(branch.row.top_log_count, 0u);

    // The matrix's columns are the hosts in their order.
    ASSERT_FALSE(page.matrix.empty());
    EXPECT_EQ(page.matrix[0].path, "C:\\Program Files\\MIRDEN\\KESTRA\\pbxserv.exe");
    EXPECT_EQ(page.matrix[0].cells.size(), 4u);
    EXPECT_EQ(page.matrix[0].cells[0].mark, Mark::not_listed);
    EXPECT_EQ(page.matrix[0].cells[3].mark, Mark::older);
}

TEST(FleetModel, TheSameModelOnOneThreadOrManyAndInAnyFileOrder)
{
    Folder dir;
    std::vector<std::string> files;
    const char *times[] = {"Sun Mar 01 09:00:00 2026", "Mon Mar 02 09:00:00 2026", "Tue Mar 03 09:00:00 2026",
                           "Wed Mar 04 09:00:00 2026", "Thu Mar 05 09:00:00 2026"};
    for (int h = 0; h < 12; h++)
        for (int k = 0; k < 5; k++) {
            std::string text = report_of("PBX-" + std::to_string(h), times[k]);
            if (k >= 3) // the configuration changes in the fourth report and the fifth
                text = replaced(text, "# configuration", "# configuration " + std::string(k == 3 ? "A" : "B"));
            files.push_back(dir.put("f/pbx-" + std::to_string(h) + "/run" + std::to_string(k) + "/telinv.txt", text));
        }
    auto flat = [](const FleetPage &p) {
        std::string s;
        for (const Host &h : p.hosts) {
            s += h.name + ":";
            for (const HostReport &r : h.reports)
                s += r.file + "|";
            for (const HistoryStep &st : h.history)
                s += "[" + lines_of(st) + st.trouble + "]";
            s += h.summary.time + std::to_string(h.row.other_versions) + "\n";
        }
        return s;
    };
    std::string one = flat(fleet_of(files, 1));
    EXPECT_EQ(flat(fleet_of(files, 4)), one);
    // Newest first in the folders' order (each step found with both reports in hand),
    // and shuffled (most steps found by reading the two reports again).
    std::vector<std::string> reversed(files.rbegin(), files.rend()), shuffled = files;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    EXPECT_EQ(flat(fleet_of(reversed, 2)), one);
    EXPECT_EQ(flat(fleet_of(shuffled, 3)), one);
    FleetPage page = fleet_of(files, 2);
    ASSERT_EQ(page.hosts.size(), 12u);
    EXPECT_EQ(page.hosts[11].name, "PBX-11");
    const Host &h = page.hosts[0];
    ASSERT_EQ(h.history.size(), 4u);
    EXPECT_NE(lines_of(h.history[0]).find("-# configuration A\n+# configuration B\n"), std::string::npos)
        << lines_of(h.history[0]);
    EXPECT_NE(lines_of(h.history[1]).find("-# configuration\n+# configuration A\n"), std::string::npos);
    EXPECT_TRUE(h.history[2].groups.empty());
    EXPECT_TRUE(h.history[3].groups.empty());
}

TEST(FleetModel, AStepIsCutToThePagesShare)
{
    Folder dir;
    std::string old_text = report_of("PBX-1", "Sun Mar 01 09:00:00 2026");
    std::string many = std::string(3000, 'x') + "\r\n"; // a line cut to 1000 bytes
    for (int i = 0; i < 50; i++)
        many += "Ext = { \"" + std::to_string(300 + i) + "\" };\r\n";
    std::string new_text = replaced(report_of("PBX-1", "Mon Mar 02 09:00:00 2026"), "# configuration\r\n", many);
    std::vector<std::string> files = {dir.put("a/telinv.txt", old_text), dir.put("b/telinv.txt", new_text)};
    FleetPage page = fleet_of(files, 1, 20);
    ASSERT_EQ(page.hosts.size(), 1u);
    const HistoryStep &step = page.hosts[0].history.at(0);
    std::size_t kept = 0;
    for (const DiffGroup &g : step.groups)
        for (const std::string &l : g.lines) {
            kept++;
            EXPECT_LE(l.size(), 1003u);
        }
    EXPECT_EQ(kept, 20u);
    EXPECT_GT(step.lines_left_out, 30u);
    FleetPage whole = fleet_of(files, 1, 1000);
    std::size_t all = 0;
    for (const DiffGroup &g : whole.hosts[0].history.at(0).groups)
        all += g.lines.size();
    EXPECT_EQ(whole.hosts[0].history[0].lines_left_out, 0u);
    EXPECT_EQ(kept + step.lines_left_out, all);
}

TEST(FleetModel, FailuresGivenFirstThenThoseOfReading)
{
    Folder dir;
    std::vector<std::string> files = {dir.put("x/pbx/b/telinv.txt", report_of("PBX", "Mon Mar 02 09:00:00 2026")),
                                      dir.put("y/pbx/a/telinv.txt", report_of("PBX", "Sun Mar 01 09:00:00 2026"))};
    FleetOptions options;
    FleetPage page = build_fleet(files, {{"given.txt", "can't open it"}}, *Codepage::find(1252), options);
    ASSERT_EQ(page.failures.size(), 1u);
    EXPECT_EQ(page.failures[0].file, "given.txt"); // those given first
    ASSERT_EQ(page.hosts.size(), 1u);
    EXPECT_TRUE(page.hosts[0].history.at(0).trouble.empty());
    fs::remove(fs::u8path(files[1]));
    std::vector<Failure> none;
    FleetPage gone = build_fleet(files, none, *Codepage::find(1252), options);
    ASSERT_EQ(gone.failures.size(), 1u);
    EXPECT_EQ(gone.failures[0].file, files[1]);
    EXPECT_NE(gone.failures[0].reason.find("can't open it"), std::string::npos);
    EXPECT_EQ(gone.hosts.at(0).reports.size(), 1u);
    EXPECT_TRUE(gone.hosts[0].history.empty());
}

TEST(FleetFiles, FoldersAreSearchedForReports)
{
    Folder dir;
    dir.put("r/b/telinv.txt", "x");
    dir.put("r/a/2026-03-02/TELINV.TXT", "x");
    dir.put("r/a/2026-03-01/telinv.txt", "x");
    dir.put("r/a/2026-03-01/telinv.txt.bak", "x");
    dir.put("r/a/notes.txt", "x");
    dir.put("r/c/deep/er/telinv.txt", "x");
    dir.put("empty/readme.txt", "x");
    std::string r = dir.path() + "/r";
    std::vector<Failure> failures;
    std::vector<std::string> found = find_reports({r, r + "/b/telinv.txt", dir.path() + "/empty", dir.path() + "/none.txt"}, failures);
    std::string sep(1, static_cast<char>(fs::path::preferred_separator));
    EXPECT_EQ(found, (std::vector<std::string>{r + sep + "a" + sep + "2026-03-01" + sep + "telinv.txt",
                                               r + sep + "a" + sep + "2026-03-02" + sep + "TELINV.TXT",
                                               r + sep + "b" + sep + "telinv.txt",
                                               r + sep + "c" + sep + "deep" + sep + "er" + sep + "telinv.txt",
                                               dir.path() + "/none.txt"}));
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].file, dir.path() + "/empty");
    EXPECT_EQ(failures[0].reason, "no telinv.txt in it");
    // A folder given twice, or inside another given: each report once, no failure.
    failures.clear();
    EXPECT_EQ(find_reports({r, r + "/c"}, failures).size(), 4u);
    EXPECT_TRUE(failures.empty());
#ifndef _WIN32
    // A link back up is not followed round; a link to another folder is.
    fs::create_directory_symlink(fs::u8path(r), fs::u8path(r + "/c/deep/loop"));
    dir.put("elsewhere/telinv.txt", "x");
    fs::create_directory_symlink(fs::u8path(dir.path() + "/elsewhere"), fs::u8path(r + "/d"));
    failures.clear();
    found = find_reports({r}, failures);
    EXPECT_EQ(found.size(), 5u);
    EXPECT_EQ(found.back(), r + "/d/telinv.txt");
    EXPECT_TRUE(failures.empty());
#endif
}

TEST(FleetThreads, EachPieceOnceAndTheFirstErrorThrownAgain)
{
    for (unsigned threads : {0u, 1u, 2u, 7u}) {
        std::vector<std::atomic<int>> done(1000);
        parallel_for(done.size(), threads, [&](std::size_t i) { done[i]++; });
        for (const auto &d : done)
            ASSERT_EQ(d.load(), 1) << threads;
        EXPECT_THROW(parallel_for(100, threads,
                                  [](std::size_t i) {
                                      if (i == 40)
                                          throw ReportError("piece 40");
                                  }),
                     ReportError);
    }
    parallel_for(0, 4, [](std::size_t) { FAIL(); });
}

TEST(FleetHtml, EscapedForWhereATextStands)
{
    std::string text, attr;
    const std::string hostile = "<img src=x onerror=\"a()\">&amp; 'x' </script>";
    append_html_text(text, hostile);
    EXPECT_EQ(text, "&lt;img src=x onerror=\"a()\"&gt;&amp;amp; 'x' &lt;/script&gt;");
    append_html_attribute(attr, hostile);
    EXPECT_EQ(attr, "&lt;img src=x onerror=&quot;a()&quot;&gt;&amp;amp; &#39;x&#39; &lt;/script&gt;");
    // Controls as visible signs, tab and line feed kept, other characters as they are.
    std::string controls;
    append_html_text(controls, std::string("a\0b\tc\nd\re\x1b\x7f", 11) + "\xC3\xA4\xE2\x80\xA8");
    EXPECT_EQ(controls, "a\xE2\x90\x80" "b\tc\nd\xE2\x90\x8D" "e\xE2\x90\x9B\xE2\x90\xA1\xC3\xA4\xE2\x80\xA8");
    std::string a2;
    append_html_attribute(a2, std::string("\0\"", 2));
    EXPECT_EQ(a2, "\xE2\x90\x80&quot;");
}

TEST(FleetHtml, AHostsLogsSayWhetherTheyWereFoundAndWhatTheyHold)
{
    Folder f;
    FleetPage page = fleet_of({f.put("a/telinv.txt", report_of("PBX-A", "Sat Mar 07 09:05:01 2026"))});
    const std::string html = written_text([&](Output &out) { write_fleet_html(out, page); });
    for (const char *piece : {"Error log <span class=\"mono\">log\\err%Y%m%d.log</span>: 3 lines, 2 kinds</h4>",
                              "SIP server error log <span class=\"mono\">kamailio-err.txt</span>: not found (<span "
                              "class=\"mono\">c:\\cygwin\\kamailio\\kamailio-err.txt</span>)</h4>"})
        EXPECT_NE(html.find(piece), std::string::npos) << piece;
}

TEST(FleetHtml, PolicyByHashesOfOurOwnStyleAndScript)
{
    // SHA-256 of "" and of "abc" in a policy's base64.
    EXPECT_EQ(csp_hash_source("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"),
              "'sha256-47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU='");
    EXPECT_EQ(csp_hash_source("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"),
              "'sha256-ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0='");
    std::string policy = fleet_page_policy();
    EXPECT_EQ(policy.rfind("default-src 'none'; ", 0), 0u) << policy;
    EXPECT_NE(policy.find("script-src " + csp_hash_source(fleet_page_js_sha256)), std::string::npos);
    EXPECT_NE(policy.find("style-src " + csp_hash_source(fleet_page_css_sha256)), std::string::npos);
    EXPECT_EQ(std::string(fleet_page_js_sha256).size(), 64u);
    // Neither can end its own element early.
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return s;
    };
    EXPECT_EQ(lower(fleet_page_js).find("</script"), std::string::npos);
    EXPECT_EQ(lower(fleet_page_css).find("</style"), std::string::npos);
}
