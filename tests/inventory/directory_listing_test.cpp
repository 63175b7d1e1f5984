#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "inventory/inventory_internal.h"
#include "platform/platform.h"
#include "test_host.h"
#include "test_support.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {

const std::string list_dir = "C:\\TelinvList";

std::string left(const std::string &text, size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string right(const std::string &text, size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string heading(const std::string &dir)
{
    return left(dir, 59) + " " + left("Date", 10) + " Bytes\n";
}

std::string listing(const std::string &dir)
{
    return report_of([&](FILE *r) { list_directory(r, dir.c_str()); });
}

// What the directory search says of one file.
bool find_entry(const std::string &path, plat_find_data *out)
{
    plat_find search = plat_find_first(path.c_str(), out);
    if (!search)
        return false;
    plat_find_close(search);
    return true;
}

// The date and time text of a file's last change, converted as the listing converts it.
std::string local_time_text(const std::string &path)
{
    plat_find_data fd;
    plat_system_time t;
    if (!find_entry(path, &fd) || !plat_file_time_to_local(fd.last_write_time, &t))
        return "<no time>";
    char text[64];
    std::snprintf(text, sizeof text, "%02d-%02d-%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute,
                  t.second);
    return text;
}

std::string file_line(const std::string &dir, const std::string &name, const std::string &size)
{
    return left(name, 44) + " " + local_time_text(dir + "\\" + name) + " " + right(size, 11) + "\n";
}

#ifdef _WIN32
// Runs a program of the system directory and waits for it.
void run_system_tool(const std::string &exe, const std::string &arguments)
{
    char sys[520];
    uint32_t n = plat_system_directory(sys, sizeof sys - 1);
    ASSERT_TRUE(n > 0 && n < sizeof sys);
    std::string app = std::string(sys) + "\\" + exe;
    std::string line = "\"" + app + "\" " + arguments;
    std::vector<char> cmd(line.begin(), line.end());
    cmd.push_back('\0');
    plat_process p = plat_start_process(app.c_str(), cmd.data(), nullptr);
    ASSERT_NE(p, nullptr) << app;
    plat_wait_process(p, 60000);
    plat_close_process(p);
}
#endif

} // namespace

TEST(DirectoryListing, EmptyPathMissingDirectoryAndOnlySubDirectories)
{
    scratch_dir dir;
    test_host host;
    EXPECT_EQ(listing(""), "");
    EXPECT_EQ(listing(list_dir + "\\missing"), heading(list_dir + "\\missing"));
    host.directory(list_dir + "\\only\\one");
    host.directory(list_dir + "\\only\\two");
    EXPECT_EQ(listing(list_dir + "\\only"), heading(list_dir + "\\only"));
    // A trailing backslash is kept as given; the search still finds the directory.
    host.file(list_dir + "\\only\\two\\f.txt", "x");
    EXPECT_EQ(listing(list_dir + "\\only\\two\\"),
              heading(list_dir + "\\only\\two\\") + file_line(list_dir + "\\only\\two", "f.txt", "1"));
}

TEST(DirectoryListing, FilesInSearchOrderWithTimeAndSize)
{
    scratch_dir dir;
    test_host host;
    const std::string long_name = std::string(50, 'L') + ".log";
    host.file(list_dir + "\\files\\b.cfg", "line\r\n");
    host.file(list_dir + "\\files\\A.txt", "abc");
    host.file(list_dir + "\\files\\" + long_name, "");
    host.directory(list_dir + "\\files\\sub");
    const std::string d = list_dir + "\\files";
    std::string expected = heading(d) + file_line(d, "A.txt", "3") + file_line(d, "b.cfg", "6") +
                           long_name + " " + local_time_text(d + "\\" + long_name) + " " + right("0", 11) + "\n";
    std::string text = listing(d);
    EXPECT_EQ(text, expected);
    // The heading's "Bytes" and the sizes end in the 76th column.
    EXPECT_EQ(heading(d).size(), 77u);
    EXPECT_EQ(text.find('\n', heading(d).size()) - heading(d).size(), 76u);
}

TEST(DirectoryListing, HiddenFilesAreListed)
{
    scratch_dir dir;
    test_host host;
    const std::string d = list_dir + "\\hidden";
    // A name that begins with "." is hidden on the host layer and, by default, under Wine.
    host.file(d + "\\.secret", "12345");
    host.file(d + "\\plain.txt", "ab");
    plat_find_data fd;
    ASSERT_TRUE(find_entry(d + "\\.secret", &fd));
    ASSERT_TRUE(fd.attributes & PLAT_FILE_ATTRIBUTE_HIDDEN) << "the test file is not hidden";
    EXPECT_EQ(listing(d), heading(d) + file_line(d, ".secret", "5") + file_line(d, "plain.txt", "2"));
}

TEST(DirectoryListing, SystemFilesAreListed)
{
#ifndef _WIN32
    GTEST_SKIP() << "the host layer has no system attribute to give a file";
#else
    scratch_dir dir;
    test_host host;
    const std::string d = list_dir + "\\system";
    host.file(d + "\\boot.ini", "[boot]\r\n");
    run_system_tool("attrib.exe", "+s +h \"" + d + "\\boot.ini\"");
    plat_find_data fd;
    ASSERT_TRUE(find_entry(d + "\\boot.ini", &fd));
    if (!(fd.attributes & PLAT_FILE_ATTRIBUTE_SYSTEM))
        GTEST_SKIP() << "attrib.exe could not mark the file as a system file (Wine keeps only the hidden mark)";
    EXPECT_EQ(listing(d), heading(d) + file_line(d, "boot.ini", "8"));
#endif
}

TEST(DirectoryListing, SizesOf2GiBAndMoreAreShownWhole)
{
    scratch_dir dir;
    test_host host;
    const std::string d = list_dir + "\\big";
    struct size_case {
        const char *name;
        unsigned long long size;
        const char *text;
    };
    std::vector<size_case> cases = {
        {"a-max31.dat", 2147483647ull, "2147483647"},
        {"b-2gib.dat", 2147483648ull, "2147483648"},
        {"c-4gib5.dat", 4294967301ull, "4294967301"},
    };
#ifndef _WIN32
    // Wider than the column (115 GiB); Wine's files stop short of that size.
    cases.push_back({"d-twelve.dat", 123456789012ull, "123456789012"});
#endif
    std::string expected = heading(d);
    for (auto &c : cases) {
        std::string path = d + "\\" + c.name;
        host.file(path, "");
        std::error_code ec;
        std::filesystem::resize_file(host.native(path), c.size, ec); // sparse: no disk space
        ASSERT_FALSE(ec) << c.name << ": " << ec.message();
        expected += file_line(d, c.name, c.text);
    }
    std::string text = listing(d);
    EXPECT_EQ(text, expected);
    EXPECT_NE(text.find(" 2147483647\n"), std::string::npos);
#ifndef _WIN32
    EXPECT_NE(text.find(" 123456789012\n"), std::string::npos);
#endif
    for (auto &c : cases) {
        std::error_code ec;
        std::filesystem::resize_file(host.native(d + "\\" + c.name), 0, ec);
    }
}

// The host layer takes the time zone from TZ; a file changed in summer and listed now
// shows its UTC time moved by the offset in force now, not by the offset of its date.
TEST(DirectoryListing, LocalTimeUsesTheOffsetInForceNow)
{
#ifdef _WIN32
    GTEST_SKIP() << "Wine takes its time zone from the machine when it starts; a test can't set it";
#else
    scratch_dir dir;
    test_host host;
    const std::string d = list_dir + "\\times";
    host.file(d + "\\summer.txt", "s");
    host.file(d + "\\winter.txt", "w");
    const char *old_tz = std::getenv("TZ");
    std::string saved = old_tz ? old_tz : "";
    // Central European time: +1 in winter, +2 from the end of March to the end of October.
    set_env("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    tzset();
    // 7 July 2025 21:30:05 UTC and 7 January 2026 09:05:01 UTC.
    struct timespec summer[2] = {{1751923805, 0}, {1751923805, 0}};
    struct timespec winter[2] = {{1767776701, 0}, {1767776701, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, host.native(d + "\\summer.txt").c_str(), summer, 0), 0);
    ASSERT_EQ(utimensat(AT_FDCWD, host.native(d + "\\winter.txt").c_str(), winter, 0), 0);
    time_t now = time(nullptr);
    struct tm local_now;
    localtime_r(&now, &local_now);
    bool dst_now = local_now.tm_gmtoff == 7200;
    std::string text = listing(d);
    set_env("TZ", old_tz ? saved.c_str() : nullptr);
    tzset();
    std::string summer_time = dst_now ? "07-07-2025 23:30:05" : "07-07-2025 22:30:05";
    std::string winter_time = dst_now ? "07-01-2026 11:05:01" : "07-01-2026 10:05:01";
    EXPECT_EQ(text, heading(d) + left("summer.txt", 44) + " " + summer_time + " " + right("1", 11) + "\n" +
                        left("winter.txt", 44) + " " + winter_time + " " + right("1", 11) + "\n");
#endif
}
