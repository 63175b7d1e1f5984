#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/platform.h"
#include "report/report_internal.h"
#include "test_host.h"
#include "test_support.h"

// The Windows builds carry the version resource; the host program is a Linux file.
#ifndef TELINV_EXPECTED_VERSION
#define TELINV_EXPECTED_VERSION "(null)"
#endif

namespace {

const std::string hyphens(37, '-');

std::string banner_of(const std::string &name)
{
    return report_of([&](FILE *r) { print_banner(r, name.c_str()); });
}

std::vector<std::string> split_lines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool is_banner(const std::string &line)
{
    return line.compare(0, 38, hyphens + " ") == 0;
}

// Runs the whole program in a scratch directory of an empty simulated host.
struct run_result {
    int exit_code;
    std::string report; // with LF line ends
    bool crlf;
};

run_result run_telinv(std::vector<const char *> args)
{
    std::vector<char *> argv;
    for (const char *a : args)
        argv.push_back(const_cast<char *>(a));
    argv.push_back(nullptr);
    run_result r;
    r.exit_code = telinv_main(static_cast<int>(args.size()), argv.data());
    std::string raw = read_file("telinv.txt");
    r.crlf = raw.find("\r\n") != std::string::npos && lf_lines(raw).find('\r') == std::string::npos;
    r.report = lf_lines(raw);
    return r;
}

} // namespace

TEST(Banner, NamesOfEveryLength)
{
    EXPECT_EQ(banner_of(""), hyphens + "  " + hyphens + "\n");
    EXPECT_EQ(banner_of("x").size(), 77u + 1);
    EXPECT_EQ(banner_of("version"), hyphens + " version " + std::string(32, '-') + "\n");
    for (size_t len = 2; len <= 39; len++) {
        std::string name(len, 'n');
        std::string line = banner_of(name);
        EXPECT_EQ(line, hyphens + " " + name + " " + std::string(39 - len, '-') + "\n") << len;
        EXPECT_EQ(line.size(), 79u);
    }
    std::string forty(40, 'f');
    EXPECT_EQ(banner_of(forty), hyphens + " " + forty + "\n");
    std::string long_name = std::string(40, 'a') + "bcdef";
    EXPECT_EQ(banner_of(long_name), hyphens + " " + std::string(40, 'a') + "\n");
    std::string very_long(5000, 'v');
    EXPECT_EQ(banner_of(very_long), hyphens + " " + std::string(40, 'v') + "\n");
}

TEST(Banner, PercentIsPlainText)
{
    EXPECT_EQ(banner_of("log\\err%Y%m%d%s.txt"),
              hyphens + " log\\err%Y%m%d%s.txt " + std::string(39 - 19, '-') + "\n");
}

TEST(Header, LayoutAndBaseName)
{
    struct tm t;
    std::memset(&t, 0, sizeof t);
    t.tm_year = 2026 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 7;
    t.tm_wday = 6;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 1;
    std::string line = report_of([&](FILE *r) { write_header_line(r, "telinv.exe", "1.2.3.4", &t); });
    EXPECT_EQ(line, "telinv.exe(1.2.3.4) at Sat Mar 07 09:05:01 2026\n");
    line = report_of([&](FILE *r) { write_header_line(r, "telinv", nullptr, &t); });
    EXPECT_EQ(line, "telinv((null)) at Sat Mar 07 09:05:01 2026\n");

    EXPECT_STREQ(base_name("C:\\tools\\telinv.exe"), "telinv.exe");
    EXPECT_STREQ(base_name("telinv"), "telinv");
    EXPECT_STREQ(base_name("telinv.exe"), "telinv.exe");
    EXPECT_STREQ(base_name("C:/tools/telinv.exe"), "C:/tools/telinv.exe");
    EXPECT_STREQ(base_name("dir\\"), "");
}

TEST(Header, VersionComesFromTheProgramsOwnFile)
{
    // Invoked as a bare name, as typed at a prompt: the name is shown as given and the
    // version is that of the running file (on the host build a Linux file, which has none).
    scratch_dir dir;
    test_host_with_z_drive();
    run_result r = run_telinv({"telinv", "-s"});
    std::string first = r.report.substr(0, r.report.find('\n'));
    EXPECT_EQ(first.rfind(std::string("telinv(") + TELINV_EXPECTED_VERSION + ") at ", 0), 0u) << first;
    // asctime's layout: 24 characters of time after " at ".
    EXPECT_EQ(first.size() - first.find(" at ") - 4, 24u) << first;
}

TEST(Driver, ShortReport)
{
    scratch_dir dir;
    test_host_with_z_drive();
    for (auto args : {std::vector<const char *>{"telinv", "-s"}, std::vector<const char *>{"telinv", "-s", "more", "args"}}) {
        run_result r = run_telinv(args);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_TRUE(r.crlf);
        std::vector<std::string> lines = split_lines(r.report);
        ASSERT_GE(lines.size(), 4u);
        EXPECT_EQ(lines[1], banner_of("pbxcfg").substr(0, 78));
        std::vector<std::string> banners;
        for (const std::string &l : lines)
            if (is_banner(l))
                banners.push_back(l);
        ASSERT_EQ(banners.size(), 2u);
        EXPECT_EQ(banners[1], banner_of("actcfg").substr(0, 78));
        EXPECT_EQ(lines.back(), "");
        EXPECT_EQ(r.report.substr(r.report.size() - 2), "\n\n");
    }
}

TEST(Driver, FullReportForEveryOtherFirstArgument)
{
    scratch_dir dir;
    test_host_with_z_drive();
    const std::vector<std::string> expected = {"version", "netcfg", "pbxcfg", "actcfg", "kamailio", "voip-files",
                                               "pbxboot", "pbxcards", "email", "sysinfo", "", "kamailio-err.txt"};
    for (const char *first : {"", "-S", "/s", "-sx", "s", "--s"}) {
        std::vector<const char *> args = {"telinv"};
        if (*first) {
            args.push_back(first);
            args.push_back("-s"); // further arguments never count
        }
        run_result r = run_telinv(args);
        EXPECT_EQ(r.exit_code, 0) << first;
        std::vector<std::string> banners;
        for (const std::string &l : split_lines(r.report))
            if (is_banner(l))
                banners.push_back(l);
        ASSERT_EQ(banners.size(), expected.size()) << first;
        for (size_t i = 0; i < expected.size(); i++)
            EXPECT_EQ(banners[i] + "\n", banner_of(expected[i])) << i;
        EXPECT_EQ(r.report.substr(r.report.size() - 2), "\n\n");
    }
}

TEST(Driver, ExistingReportIsReplaced)
{
    scratch_dir dir;
    test_host_with_z_drive();
    write_file("telinv.txt", std::string(100000, 'x'));
    run_result r = run_telinv({"telinv", "-s"});
    EXPECT_EQ(r.report.find('x' + std::string(50, 'x')), std::string::npos);
    EXPECT_LT(r.report.size(), 100000u);
}

TEST(Driver, ReportFileThatCannotBeCreated)
{
    scratch_dir dir;
    test_host_with_z_drive();
    std::filesystem::create_directory("telinv.txt");
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    int rc = telinv_main(1, const_cast<char **>(std::vector<const char *>{"telinv", nullptr}.data()));
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, -4);
    EXPECT_EQ(lf_lines(out), "Error: can't open file 'telinv.txt'\n");
    EXPECT_TRUE(std::filesystem::is_directory("telinv.txt"));
    EXPECT_TRUE(std::filesystem::is_empty("telinv.txt"));
}

namespace {

// Makes a directory of the simulated host the current one while it lives.
struct current_directory {
    explicit current_directory(const std::string &native) : previous(std::filesystem::current_path())
    {
        std::filesystem::create_directories(native);
        std::filesystem::current_path(native);
    }
    ~current_directory() { std::filesystem::current_path(previous); }
    std::filesystem::path previous;
};

} // namespace

TEST(Driver, ReportUnderTheSystemDirectoryLandsWhereTheUserStands)
{
    test_host host;
    if (!host.play_wow64())
        GTEST_SKIP() << "a 64-bit program is no 32-bit program on 64-bit Windows (the shipped file's "
                        "Wine runs check it)";
    const std::string system32 = host.native("C:\\windows\\system32");
    const std::string syswow64 = host.native("C:\\windows\\SysWOW64");
    {
        // An elevated prompt starts in the system directory. A relative name there is
        // redirected into SysWOW64, as Windows does for a 32-bit program ...
        current_directory cwd(system32);
        char dir[PLAT_MAX_PATH];
        ASSERT_GT(plat_current_directory(dir, sizeof dir), 0u);
        EXPECT_STREQ(dir, "C:\\windows\\system32");
        FILE *f = plat_fopen_text("probe.txt", "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        EXPECT_TRUE(std::filesystem::exists(syswow64 + "/probe.txt"));
        // ... but the report lands in the directory the user stands in.
        run_result r = run_telinv({"telinv", "-s"});
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_TRUE(std::filesystem::exists(system32 + "/telinv.txt"));
        EXPECT_FALSE(std::filesystem::exists(syswow64 + "/telinv.txt"));
        // A directory below it too.
        current_directory below(system32 + "/drivers");
        EXPECT_EQ(run_telinv({"telinv", "-s"}).exit_code, 1);
        EXPECT_TRUE(std::filesystem::exists(system32 + "/drivers/telinv.txt"));
        EXPECT_FALSE(std::filesystem::exists(syswow64 + "/drivers/telinv.txt"));
    }
    {
        // Anywhere else the report is created by its name, where the user stands.
        current_directory cwd(host.native("C:\\windows\\system32x"));
        EXPECT_EQ(run_telinv({"telinv", "-s"}).exit_code, 1);
        EXPECT_TRUE(std::filesystem::exists(host.native("C:\\windows\\system32x") + "/telinv.txt"));
    }
    {
        // SysWOW64 itself is where such a user stands: the report stays there.
        current_directory cwd(syswow64);
        std::filesystem::remove(syswow64 + "/telinv.txt");
        EXPECT_EQ(run_telinv({"telinv", "-s"}).exit_code, 1);
        EXPECT_TRUE(std::filesystem::exists(syswow64 + "/telinv.txt"));
    }
}

TEST(Driver, ReportThatCannotBeCreatedUnderTheSystemDirectory)
{
    test_host host;
    if (!host.play_wow64())
        GTEST_SKIP() << "a 64-bit program is no 32-bit program on 64-bit Windows";
    const std::string system32 = host.native("C:\\windows\\system32");
    current_directory cwd(system32);
    std::filesystem::create_directory(system32 + "/telinv.txt");
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    int rc = telinv_main(1, const_cast<char **>(std::vector<const char *>{"telinv", nullptr}.data()));
    std::fflush(stdout);
    EXPECT_EQ(rc, -4);
    EXPECT_EQ(lf_lines(testing::internal::GetCapturedStdout()), "Error: can't open file 'telinv.txt'\n");
}
