// The report reader: lines and line ends, the header, banners and sections, the typed
// views of every layout, and what it does with text that is no report.
#include <gtest/gtest.h>

#include <cstdio>

#include "file_io.h"
#include "report.h"
#include "report_text.h"

using namespace telinv_read;
using namespace report_text;

namespace {

std::string text(const Report &r, const std::optional<Span> &s) { return s ? std::string(r.text(*s)) : "<none>"; }

std::vector<std::string> names(const Report &r)
{
    std::vector<std::string> n;
    for (const Section &s : r.sections)
        n.push_back(std::string(r.text(s.name)) + "/" + kind_name(s.kind));
    return n;
}

} // namespace

TEST(ReaderLines, CrLfAndLfGiveOneModelAndTheSameBytesBack)
{
    for (const char *end : {"\r\n", "\n"}) {
        std::string bytes = join(full_report(), end);
        Report r = parse(bytes);
        EXPECT_EQ(r.line_end, std::string(end) == "\n" ? LineEnd::lf : LineEnd::crlf);
        EXPECT_FALSE(r.truncated);
        EXPECT_EQ(r.rebuild(), bytes);
        EXPECT_EQ(r.sections.size(), 15u) << end;
        EXPECT_EQ(r.inventory.size(), 7u);
        EXPECT_EQ(r.listings.size(), 3u);
        EXPECT_TRUE(r.email.present);
        EXPECT_EQ(r.errors.size(), 2u);
    }
}

TEST(ReaderLines, OtherLineEndsStayInsideTheLines)
{
    // telinv writes CR LF; a copied file's lone CR, or a bare LF from an editor, is text.
    std::string crlf = "telinv.exe(1) at x\r\n" + banner("pbxcards") + "\r\na\rb\r\nc\nd\r\n";
    Report r = parse(crlf);
    ASSERT_EQ(r.lines.size(), 2u);
    EXPECT_EQ(r.line(0), "a\rb");
    EXPECT_EQ(r.line(1), "c\nd");
    EXPECT_EQ(r.rebuild(), crlf);
    std::string lf = "telinv.exe(1) at x\n" + banner("pbxcards") + "\nline\r\n\r\n";
    Report l = parse(lf);
    EXPECT_EQ(l.line_end, LineEnd::lf);
    EXPECT_EQ(l.line(0), "line\r");
    EXPECT_EQ(l.rebuild(), lf);
}

TEST(ReaderLines, AReportCutOffInsideALineSaysSo)
{
    std::string whole = join(full_report());
    // Cut inside a line, between CR and LF, inside a banner and inside the header.
    for (std::size_t cut : {whole.size() - 30, whole.find("\r\n", 500) + 1, whole.find("-- email") + 5, std::size_t(14)}) {
        std::string part = whole.substr(0, cut);
        Report r = parse(part);
        EXPECT_TRUE(r.truncated) << cut;
        EXPECT_EQ(r.rebuild(), part) << cut;
    }
    Report at_line_end = parse(whole.substr(0, whole.find("\r\n", 500) + 2));
    EXPECT_FALSE(at_line_end.truncated);
    Report header_only = parse(whole.substr(0, 14));
    EXPECT_EQ(text(header_only, header_only.header.tool), "telinv.exe");
    EXPECT_TRUE(header_only.sections.empty());
}

TEST(ReaderHeader, ToolVersionAndTime)
{
    struct Case {
        const char *line, *tool, *version, *iso;
    } cases[] = {
        {"telinv.exe(1.2.3.4) at Sat Mar 07 09:05:01 2026", "telinv.exe", "1.2.3.4", "2026-03-07T09:05:01"},
        {"telinv.exe((null)) at Sat Mar 07 09:05:01 2026", "telinv.exe", "<none>", "2026-03-07T09:05:01"},
        {"telinv (2).exe(10.0 (WinBuild.1)) at Sat Mar  7 09:05:01 2026", "telinv (2).exe", "10.0 (WinBuild.1)", "2026-03-07T09:05:01"},
        {"C:/tools/telinv(1, 2, 3, 4) at Wed Dec 31 23:59:60 1999", "C:/tools/telinv", "1, 2, 3, 4", "1999-12-31T23:59:60"},
        {"telinv.exe(1) at Someday", "telinv.exe", "1", ""},
        {"\xEF\xBB\xBFtelinv.exe(1) at Sat Mar 07 09:05:01 2026", "telinv.exe", "1", "2026-03-07T09:05:01"},
    };
    for (const Case &c : cases) {
        Report r = parse(std::string(c.line) + "\r\n");
        EXPECT_EQ(text(r, r.header.tool), c.tool) << c.line;
        EXPECT_EQ(text(r, r.header.version), c.version) << c.line;
        EXPECT_EQ(r.header.iso_time, c.iso) << c.line;
    }
}

TEST(ReaderSections, BannersOfEveryLengthAndTheirKinds)
{
    std::string long_name(45, 'x');
    Report r = parse(join({"telinv.exe(1) at x", banner("pbxcfg"), "a", banner("a b.cfg"), banner("actcfg"),
                           banner("voip-files"), banner("VFILES.TXT"), banner("pbxboot"), banner("sysinfo"),
                           banner(""), banner("kamailio-err.txt"), banner("x"), banner(long_name)}));
    EXPECT_EQ(names(r), (std::vector<std::string>{"pbxcfg/pbxcfg", "a b.cfg/time-cfg", "actcfg/actcfg",
                                                  "voip-files/voip-files", "VFILES.TXT/voip-file", "pbxboot/pbxboot",
                                                  "sysinfo/sysinfo", "/error-log", "kamailio-err.txt/sip-error-log",
                                                  "x/other", long_name.substr(0, 40) + "/other"}));
    EXPECT_EQ(r.text(r.sections[7].banner).size(), 76u);
    EXPECT_EQ(r.text(r.sections[9].banner).size(), 77u);
    // One hyphen more or less, or a line that goes on after the banner, is text.
    Report t = parse(join({"telinv.exe(1) at x", banner("netcfg"), banner("pbx") + "-", "-" + banner("pbx").substr(1, 76)}));
    EXPECT_EQ(t.sections.size(), 1u);
    EXPECT_EQ(t.lines.size(), 2u);
}

TEST(ReaderSections, ABannerAtTheEndOfAVerbatimCopyStartsItsSection)
{
    // The configuration file, pbxcards.log and the error log are copied as they are: a
    // last line without line end has the next banner behind it.
    std::string bytes = "telinv.exe(1) at x\r\n" + banner("pbxcfg") + "\r\nExt = 1;" + banner("night.cfg") +
                        "\r\nMon = 1\r\n" + banner("pbxcards") + "\r\nCard 0" + banner("email") + "\r\n" +
                        banner("sysinfo") + "\r\n" + banner("log") + "\r\nlast" + banner("kamailio-err.txt") +
                        "\r\nx\r\n" + banner("netcfg") + "\r\nnet" + banner("actcfg") + "\r\n";
    Report r = parse(bytes);
    EXPECT_EQ(names(r), (std::vector<std::string>{"pbxcfg/pbxcfg", "night.cfg/time-cfg", "pbxcards/pbxcards",
                                                  "email/email", "sysinfo/sysinfo", "log/error-log",
                                                  "kamailio-err.txt/sip-error-log", "netcfg/netcfg"}));
    EXPECT_TRUE(r.sections[1].joined);
    EXPECT_TRUE(r.sections[3].joined);
    EXPECT_FALSE(r.sections[4].joined);
    EXPECT_TRUE(r.sections[6].joined);
    EXPECT_EQ(r.line(r.sections[0].first_line), "Ext = 1;");
    // netcfg is a filtered copy: every line ends; a banner-like tail there is text.
    EXPECT_EQ(r.line(r.lines.size() - 1), "net" + banner("actcfg"));
    EXPECT_EQ(r.rebuild(), bytes);
}

TEST(ReaderSections, TextThatIsNoPartOfTheLayoutStaysInTheLines)
{
    std::string bytes = join({"telinv.exe(1) at x", "before any banner", banner("version"),
                              "Path\\Filename", "this is no inventory line", banner("sysinfo"), "what is this?",
                              label("Hotfix:", "KB1"), banner("custom"), "kept"});
    Report r = parse(bytes);
    EXPECT_EQ(r.sections[0].kind, SectionKind::preamble);
    EXPECT_FALSE(r.sections[0].has_banner);
    EXPECT_EQ(r.lines.size(), 6u);
    EXPECT_TRUE(r.inventory.empty());
    EXPECT_EQ(r.sysinfo.hotfixes.size(), 1u);
    EXPECT_EQ(r.sections.back().kind, SectionKind::error_log); // whatever banner follows sysinfo
    EXPECT_EQ(r.rebuild(), bytes);
}

TEST(ReaderSections, ShortReport)
{
    Report r = parse(join({"telinv.exe(1) at x", banner("pbxcfg"), "TimeCfg = { \"t.cfg\", \"\" };", banner("t.cfg"),
                           "Mon = 1", banner("actcfg"), "Action = 1", ""}));
    EXPECT_TRUE(r.short_report);
    EXPECT_EQ(names(r), (std::vector<std::string>{"pbxcfg/pbxcfg", "t.cfg/time-cfg", "actcfg/actcfg"}));
    EXPECT_EQ(r.content_count(2), 1u); // the report's last empty line is no content
    EXPECT_FALSE(parse(join(full_report())).short_report);
}

TEST(ReaderInventory, ColumnsReadFromTheRight)
{
    std::string long_path = "D:\\Programs\\corvana\\corvana.Quendal\\some folder\\pbx serv.exe"; // 61 characters
    std::string blank_at_55 = std::string("C:\\") + std::string(51, 'p') + " x\\pbxserv.exe";
    Report r = parse(join({"telinv.exe(1) at x", banner("version"), format("%-55s %-14s %s", "Path\\Filename", "Version", "Bytes"),
                           inventory_line("C:\\Program Files\\MIRDEN\\KESTRA\\pbxserv.exe", "6.2.1.0", 1024),
                           inventory_line("C:\\Program Files\\MIRDEN\\KESTRA\\pbxlog.exe", nullptr, 1024),
                           inventory_line("C:\\Program Files\\MIRDEN\\KESTRA\\pbxcodec.dll", "6.2.10.1234", 5),
                           inventory_line(long_path, "1, 2, 3, 4", 3221225472LL), "",
                           inventory_line(blank_at_55, "3.4.2.0", -1073741824), "",
                           inventory_line("C:\\x.sys", "1, 0, 19041, 1", 7), "", "", "",
                           inventory_line("C:\\sixth.sys", "1", 1)}));
    ASSERT_EQ(r.inventory.size(), 6u);
    const char *want[][3] = {{"C:\\Program Files\\MIRDEN\\KESTRA\\pbxserv.exe", "6.2.1.0", "1024"},
                             {"C:\\Program Files\\MIRDEN\\KESTRA\\pbxlog.exe", "<none>", "1024"},
                             {"C:\\Program Files\\MIRDEN\\KESTRA\\pbxcodec.dll", "6.2.10.1234", "5"},
                             {long_path.c_str(), "1, 2, 3, 4", "3221225472"},
                             {blank_at_55.c_str(), "3.4.2.0", "-1073741824"},
                             {"C:\\x.sys", "1, 0, 19041, 1", "7"}};
    for (std::size_t i = 0; i < 6; i++) {
        EXPECT_EQ(r.text(r.inventory[i].path), want[i][0]) << i;
        EXPECT_EQ(text(r, r.inventory[i].version), want[i][1]) << i;
        EXPECT_EQ(std::to_string(r.inventory[i].bytes), want[i][2]) << i;
    }
    EXPECT_EQ(r.inventory[3].group, 1);
    EXPECT_EQ(r.inventory[4].group, 2);
    EXPECT_EQ(r.inventory[5].group, 3); // a line after a sixth group is no inventory line
}

TEST(ReaderListings, NamesDatesAndSizes)
{
    std::string long_name = "a file name with blanks that is longer than 44.txt";
    Report r = parse(join({"telinv.exe(1) at x", banner("kamailio"), listing_heading("c:\\cygwin\\kamailio"),
                           listing_line("kamailio.core", 3221225472LL), listing_line(long_name, -2),
                           listing_line("x", 0), banner("voip-files"), banner("pbxboot")}));
    ASSERT_EQ(r.listings.size(), 1u);
    const Listing &l = r.listings[0];
    EXPECT_EQ(r.text(l.directory), "c:\\cygwin\\kamailio");
    ASSERT_EQ(l.entries.size(), 3u);
    EXPECT_EQ(r.text(l.entries[0].name), "kamailio.core");
    EXPECT_EQ(r.text(l.entries[0].date), "07-03-2025 09:05:01");
    EXPECT_EQ(iso_of_listing_date(r.text(l.entries[0].date)), "2025-03-07T09:05:01");
    EXPECT_EQ(iso_of_listing_date("00-13-2025 09:05:01"), "");
    EXPECT_EQ(l.entries[0].bytes, 3221225472LL);
    EXPECT_EQ(r.text(l.entries[1].name), long_name);
    EXPECT_EQ(l.entries[1].bytes, -2);
}

TEST(ReaderSysinfo, EachWindowsMajorVersionsLayout)
{
    for (int major : {4, 5, 6}) {
        Report r = parse(join(full_report(major)));
        const Sysinfo &si = r.sysinfo;
        ASSERT_TRUE(si.present);
        EXPECT_EQ(si.windows_major, major);
        EXPECT_EQ(text(r, si.facts[fact_processor]), "  Intel(R) Xeon(R) CPU");
        EXPECT_EQ(text(r, si.facts[fact_memory]), "4194Mb");
        EXPECT_EQ(text(r, si.facts[fact_computername_variable]), "PBX-ENV");
        ASSERT_EQ(si.adapters.size(), 1u);
        EXPECT_EQ(si.hotfixes.size(), 1u);
        EXPECT_EQ(si.installed.size(), 1u);
        if (major == 4) {
            EXPECT_EQ(si.adapters[0].number, 2);
            EXPECT_FALSE(si.adapters[0].values[adapter_dns]);
            EXPECT_EQ(text(r, si.facts[fact_service_pack]), "Service Pack 6");
            EXPECT_TRUE(si.updates.empty());
        } else {
            EXPECT_EQ(text(r, si.adapters[0].values[adapter_mac]), "00-0C-29-3A-4B-5C");
            EXPECT_EQ(text(r, si.facts[fact_service_pack]), "Service Pack 3"); // from the update's name
        }
        if (major == 6) {
            EXPECT_EQ(si.mac_addresses.size(), 2u);
            EXPECT_EQ(text(r, si.facts[fact_computer_name]), "PBX-WMIC");
            EXPECT_EQ(text(r, si.facts[fact_processor_id]), "BFEBFBFF000306A9");
        } else {
            EXPECT_EQ(si.mac_addresses.size(), 1u);
            EXPECT_FALSE(si.facts[fact_computer_name]);
        }
    }
}

TEST(ReaderSysinfo, MacListCutAt254CharactersHasNoEmptyLine)
{
    // getmac's list is cut after 254 characters: fifteen entries of 18 give fourteen whole
    // and two characters of the fifteenth, and the identifiers follow at once.
    std::vector<std::string> lines = {"telinv.exe(1) at x", banner("sysinfo"), label("WindowsVersion:", "10.0"), "MacAddresses"};
    for (int i = 0; i < 14; i++)
        lines.push_back(format("00-1B-21-3A-4B-%02d", i));
    lines.push_back("00");
    lines.insert(lines.end(), {"PBX", "Volume1", "CPU1", "", label("Installed:", "x")});
    Report r = parse(join(lines));
    EXPECT_EQ(r.sysinfo.mac_addresses.size(), 15u);
    EXPECT_EQ(text(r, r.sysinfo.facts[fact_computer_name]), "PBX");
    EXPECT_EQ(text(r, r.sysinfo.facts[fact_processor_id]), "CPU1");
    // An empty list, and empty identifiers.
    Report e = parse(join({"telinv.exe(1) at x", banner("sysinfo"), label("WindowsVersion:", "6.1"), "MacAddresses", "",
                           "", "", "", ""}));
    EXPECT_TRUE(e.sysinfo.mac_addresses.empty());
    EXPECT_FALSE(e.sysinfo.facts[fact_computer_name]);
}

TEST(ReaderMessages, ErrorLinesAndLogStates)
{
    Report r = parse(join({"telinv.exe(1) at x", banner("netcfg"), "Error: can't open file 'C:\\etc\\pbxnet.cfg'",
                           banner("pbxcfg"), "Error: can't open dbfile 'C:\\i\\db.cfg'", banner("actcfg"),
                           "Error: pbx not found", banner("pbxboot"), "boot", "Error: pbx not found",
                           banner("pbxcards"), "Error: can't open actfile 'C:\\i\\pbxcards.log'", banner("email"),
                           banner("sysinfo"), banner(""), "'\\error.log' not found", banner("kamailio-err.txt"), "Empty",
                           banner("x"), "Error: something else"}));
    ASSERT_EQ(r.errors.size(), 4u); // a message line is its section's first line, in telinv's words
    EXPECT_EQ(r.line(r.errors[1].line), "Error: can't open dbfile 'C:\\i\\db.cfg'");
    EXPECT_EQ(r.sections[r.errors[3].section].kind, SectionKind::pbxcards);
    ASSERT_EQ(r.logs.size(), 2u);
    EXPECT_EQ(r.logs[0].status, LogExcerpt::Status::not_found);
    EXPECT_EQ(text(r, r.logs[0].path), "\\error.log");
    EXPECT_EQ(r.logs[1].status, LogExcerpt::Status::empty);
    Report n = parse(join({"telinv.exe(1) at x", banner("sysinfo"), banner("log"), "a", "b", banner("kamailio-err.txt"),
                           "c:\\cygwin\\kamailio\\kamailio-err.txt not found", ""}));
    EXPECT_EQ(n.logs[0].status, LogExcerpt::Status::lines);
    EXPECT_EQ(n.logs[0].line_count, 2u);
    EXPECT_EQ(n.logs[1].status, LogExcerpt::Status::not_found);
}

TEST(ReaderEmail, FieldsAndAnEmptySection)
{
    Report r = parse(join(full_report()));
    EXPECT_EQ(text(r, r.email.values[email_poll_time]), "300");
    EXPECT_EQ(text(r, r.email.values[email_smtp_server]), "smtp.example");
    Report empty = parse(join({"telinv.exe(1) at x", banner("email"), banner("sysinfo")}));
    EXPECT_FALSE(empty.email.present);
}

TEST(ReaderBadInput, NoReportIsAClearError)
{
    const std::string cases[] = {"", "\xFF\xFE" "t\0e\0", "PK\x03\x04 binary", "just a line\r\nand another\r\n",
                                 "(1) at x\r\n"};
    for (const std::string &c : cases)
        EXPECT_THROW(parse(c), ReportError) << c;
    // Bytes that no code page has, NUL bytes and control characters are a report's text.
    std::string odd = std::string("telinv.exe(1) at x\r\n") + banner("pbxcards") + "\r\n" +
                      std::string("\x81\0\x1a\xff", 4) + "\r\n";
    Report r = parse(odd);
    EXPECT_EQ(r.line(0).size(), 4u);
    EXPECT_EQ(r.rebuild(), odd);
}

TEST(ReaderBadInput, BoundsOnSizeAndLines)
{
    std::string many(max_report_lines + 1, '\n');
    many.insert(0, "telinv.exe(1) at x");
    EXPECT_THROW(parse(many), ReportError);
}

namespace {

// A file in the test's temporary directory, removed at the end.
struct TempFile {
    std::string path;
    TempFile(const std::string &name, const std::string &bytes) : path(::testing::TempDir() + name)
    {
        std::FILE *f = std::fopen(path.c_str(), "wb");
        if (f) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    ~TempFile() { std::remove(path.c_str()); }
};

std::string error_of(const std::string &path, std::size_t limit)
{
    try {
        read_report_bytes(path, limit);
    } catch (const ReportError &e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(ReaderFiles, AFileGivesTheModelOfItsBytes)
{
    const std::string bytes = join(full_report());
    TempFile f("reader-files-report.txt", bytes);
    Report r = read_report(f.path);
    Report p = parse(bytes);
    EXPECT_EQ(r.bytes.view(), bytes);
    EXPECT_EQ(r.rebuild(), bytes);
    EXPECT_EQ(r.lines.size(), p.lines.size());
    EXPECT_EQ(r.inventory.size(), p.inventory.size());
    // A copy holds the bytes when the report it was made from is gone; so does a move.
    Report copy;
    {
        Report gone = read_report(f.path);
        copy = gone;
        Report moved = std::move(gone);
        EXPECT_EQ(moved.rebuild(), bytes);
    }
    EXPECT_EQ(copy.rebuild(), bytes);
    EXPECT_EQ(copy.line(0), r.line(0));
}

TEST(ReaderFiles, BoundsAndFailuresAreClearErrors)
{
    TempFile f("reader-files-bounds.txt", std::string(4096, 'x'));
    ReportBytes at_limit = read_report_bytes(f.path, 4096);
    EXPECT_EQ(at_limit.view(), std::string(4096, 'x'));
#ifndef _WIN32
    EXPECT_TRUE(at_limit.borrowed()); // mapped, not copied
    EXPECT_FALSE(parse(join(full_report())).bytes.borrowed());
#endif
    EXPECT_EQ(error_of(f.path, 4095).rfind("larger than", 0), 0u);
    EXPECT_EQ(read_file_bytes(f.path, 4096).size(), 4096u);
    EXPECT_THROW(read_file_bytes(f.path, 4095), ReportError);
    TempFile empty("reader-files-empty.txt", "");
    EXPECT_TRUE(read_report_bytes(empty.path, 10).empty());
    EXPECT_FALSE(read_report_bytes(empty.path, 10).borrowed());
    EXPECT_THROW(read_report(empty.path), ReportError);
    EXPECT_EQ(error_of(::testing::TempDir() + "reader-files-none.txt", 10).rfind("can't open it: ", 0), 0u);
#ifndef _WIN32
    // What has no size to ask for is read in pieces, up to the bound.
    EXPECT_EQ(error_of("/dev/zero", 100000).rfind("larger than", 0), 0u);
    EXPECT_TRUE(read_report_bytes("/dev/null", 10).empty());
    EXPECT_FALSE(read_report_bytes("/dev/null", 10).borrowed());
    EXPECT_EQ(error_of(::testing::TempDir(), 10).rfind("can't read it: ", 0), 0u);
#endif
}
