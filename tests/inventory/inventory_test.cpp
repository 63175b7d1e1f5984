#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "install/install_internal.h"
#include "inventory/inventory_internal.h"
#include "test_host.h"
#include "test_support.h"
#include "tools/pe_writer.h"

namespace {

const char install_root[] = "C:\\TelinvInv\\pbx";

std::string left(const std::string &text, size_t width)
{
    return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

std::string right(const std::string &text, size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

// An inventory line as the section writes it: path, version, size.
std::string inventory_line(const std::string &path, const std::string &version, long long size)
{
    return left(path, 55) + " " + left(version, 10) + " " + right(std::to_string(size), 9) + "\n";
}

std::vector<std::string> lines_of(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::string pe_bytes(const std::string &version, bool with_resource = true)
{
    pe_options options;
    options.file_version = version;
    options.no_resource = !with_resource;
    std::vector<unsigned char> image = pe_image(options);
    return std::string(image.begin(), image.end());
}

void install_at(test_host &host, const std::string &dir)
{
    std::string escaped;
    for (char c : dir) {
        if (c == '\\')
            escaped += '\\';
        escaped += c;
    }
    host.registry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\KESTRA]\n"
                  "\"Company\"=\"MIRDEN\"\n\"Product\"=\"MIRDEN.KESTRA\"\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\MIRDEN\\MIRDEN.KESTRA\\AllVersions]\n"
                  "\"InstallationDirectory\"=\"" +
                  escaped + "\"\n");
}

size_t count(const char *const *names)
{
    size_t n = 0;
    while (names[n])
        n++;
    return n;
}

} // namespace

TEST(FileLists, CountsAndPlaces)
{
    EXPECT_EQ(count(install_files), 29u);
    EXPECT_EQ(count(system_files), 2u);
    EXPECT_EQ(count(driver_files), 7u);
    EXPECT_EQ(count(isdn_driver_files), 4u);
    EXPECT_EQ(count(isdn_bin_files), 10u);
    EXPECT_STREQ(install_files[0], "pbxserv.exe");
    EXPECT_STREQ(install_files[28], "snmp\\pbxsnmp.dll");
    EXPECT_STREQ(isdn_bin_files[9], "isdnapi.dll");
}

TEST(FileSize, DiskBytesOfTextAndProgramFiles)
{
    scratch_dir dir;
    test_host host;
    // CR LF pairs and a Ctrl-Z count as the bytes they are on the disk.
    host.file("C:\\TelinvInv\\text.cfg", "a\r\nb\r\n\x1a tail");
    host.file("C:\\TelinvInv\\empty.cfg", "");
    std::string pe = pe_bytes("1.0.0.0");
    host.file("C:\\TelinvInv\\prog.exe", pe);
    host.directory("C:\\TelinvInv\\sub");
    EXPECT_EQ(file_size("C:\\TelinvInv\\text.cfg"), 12);
    EXPECT_EQ(file_size("C:\\TelinvInv\\empty.cfg"), 0);
    EXPECT_EQ(file_size("C:\\TelinvInv\\prog.exe"), static_cast<int32_t>(pe.size()));
    EXPECT_EQ(file_size("C:\\TelinvInv\\missing.exe"), 0);
    EXPECT_EQ(file_size("C:\\TelinvInv\\sub"), 0);
}

// The inventory's sizes are signed 32-bit counts; only the directory listing shows sizes
// of 2 GiB and more whole.
TEST(FileSize, SizesPast2GiBAreTheirLow32BitsSigned)
{
    scratch_dir dir;
    test_host host;
    const std::string path = "C:\\TelinvInv\\big.dat";
    host.file(path, "");
    std::error_code ec;
    std::filesystem::resize_file(host.native(path), 2147483648ull, ec);
    ASSERT_FALSE(ec) << ec.message();
    EXPECT_EQ(file_size(path.c_str()), INT32_MIN);
    std::filesystem::resize_file(host.native(path), 4294967301ull, ec);
    ASSERT_FALSE(ec) << ec.message();
    EXPECT_EQ(file_size(path.c_str()), 5);
}

TEST(InventoryLine, FoundWithoutResourceAndMissing)
{
    scratch_dir dir;
    test_host host;
    install_at(host, install_root);
    std::string with = pe_bytes("5.2.1.0");
    std::string without = pe_bytes("", false);
    host.file(std::string(install_root) + "\\pbxserv.exe", with);
    host.file(std::string(install_root) + "\\snmp\\pbxsnmp.dll", without);
    host.file(std::string(install_root) + "\\pbxzero.exe", "");

    std::string base = std::string(install_root) + "\\";
    EXPECT_EQ(report_of([](FILE *r) { print_inventory_line(r, LOC_INSTALL_DIR, "pbxserv.exe"); }),
              inventory_line(base + "pbxserv.exe", "5.2.1.0", static_cast<long long>(with.size())));
    EXPECT_EQ(report_of([](FILE *r) { print_inventory_line(r, LOC_INSTALL_DIR, "snmp\\pbxsnmp.dll"); }),
              inventory_line(base + "snmp\\pbxsnmp.dll", "Not Found", static_cast<long long>(without.size())));
    EXPECT_EQ(report_of([](FILE *r) { print_inventory_line(r, LOC_INSTALL_DIR, "pbxcfg.exe"); }),
              inventory_line(base + "pbxcfg.exe", "Not Found", 0));
    // An empty file looks like a missing one.
    EXPECT_EQ(report_of([](FILE *r) { print_inventory_line(r, LOC_INSTALL_DIR, "pbxzero.exe"); }),
              inventory_line(base + "pbxzero.exe", "Not Found", 0));

    // Exact columns: the path in 55, a blank, the version in 10, a blank, the size in 9.
    std::string line = report_of([](FILE *r) { print_inventory_line(r, LOC_INSTALL_DIR, "pbxcfg.exe"); });
    ASSERT_EQ(line.size(), 77u);
    EXPECT_EQ(line.substr(55, 12), " Not Found  ");
    EXPECT_EQ(line.substr(66), "         0\n");
}

TEST(InventoryLine, LongPathAndLongVersionPushTheColumns)
{
    scratch_dir dir;
    test_host host;
    const std::string long_dir = "C:\\TelinvInv\\" + std::string(60, 'd');
    install_at(host, long_dir);
    std::string pe = pe_bytes("10.20.30.40 (build 5678)");
    host.file(long_dir + "\\pbxserv.exe", pe);
    std::string line = report_of([](FILE *r) { print_inventory_line(r, LOC_INSTALL_DIR, "pbxserv.exe"); });
    EXPECT_EQ(line, long_dir + "\\pbxserv.exe 10.20.30.40 (build 5678) " + right(std::to_string(pe.size()), 9) + "\n");
}

TEST(VersionSection, HeadingGroupsAndGsmListing)
{
    scratch_dir dir;
    test_host host;
    install_at(host, install_root);
    const std::string sys = system_dir();
    ASSERT_FALSE(sys.empty());
    std::string tsp = pe_bytes("3.1.0.7");
    host.file(sys + "\\pbxtsp.tsp", tsp);
    host.file(sys + "\\drivers\\isdn\\bin\\isdnapi.dll", pe_bytes("2.0"));
    host.file(sys + "\\drivers\\isdn\\gsm\\gsmload.cfg", "port=1\r\n");

    std::string text = report_of(write_version_section);
    std::vector<std::string> lines = lines_of(text);
    // Heading, 52 lines in 5 groups each closed by an empty line, the GSM heading, one file.
    ASSERT_EQ(lines.size(), 1u + 52u + 5u + 2u) << text;
    EXPECT_EQ(lines[0], left("Path\\Filename", 55) + " " + left("Version", 14) + " Bytes");
    EXPECT_EQ(lines[0].size(), 76u);

    struct group {
        const char *const *names;
        std::string dir;
    } groups[] = {
        {install_files, std::string(install_root) + "\\"},
        {system_files, sys + "\\"},
        {driver_files, sys + "\\drivers\\"},
        {isdn_driver_files, sys + "\\drivers\\isdn\\"},
        {isdn_bin_files, sys + "\\drivers\\isdn\\bin\\"},
    };
    size_t at = 1;
    for (const group &g : groups) {
        for (const char *const *name = g.names; *name; name++, at++) {
            EXPECT_EQ(lines[at].substr(0, 56), left(g.dir + *name, 55) + " ") << at;
            EXPECT_EQ(lines[at].size(), 76u) << lines[at]; // sizes end in the 76th column
        }
        EXPECT_EQ(lines[at], "") << at;
        at++;
    }
    EXPECT_EQ(lines[31] + "\n", inventory_line(sys + "\\pbxtsp.tsp", "3.1.0.7", static_cast<long long>(tsp.size())));
    EXPECT_EQ(lines[56].substr(56, 10), left("2.0", 10));
    EXPECT_EQ(lines[58], left(sys + "\\drivers\\isdn\\gsm", 59) + " " + left("Date", 10) + " Bytes");
    EXPECT_EQ(lines[59].substr(0, 45), left("gsmload.cfg", 44) + " ");
    EXPECT_EQ(lines[59].substr(65), right("8", 11));
}

TEST(VersionSection, Wow64ReadsTheNativeSystemDirectory)
{
    scratch_dir dir;
    test_host host;
    if (!host.play_wow64())
        GTEST_SKIP() << "a 64-bit program is no 32-bit program on 64-bit Windows";
    install_at(host, install_root);
    // The files really installed stand in the native system32; SysWOW64, which a 32-bit
    // program is shown for it, has other files or none.
    std::string driver = pe_bytes("3.4.2.0");
    host.file("C:\\windows\\system32\\drivers\\isdnctl.sys", driver);
    host.file("C:\\windows\\SysWOW64\\pbxtsp.tsp", pe_bytes("9.9.9.9"));
    host.file("C:\\windows\\SysWOW64\\drivers\\isdnbus.sys", pe_bytes("9.9.9.9"));
    host.file("C:\\windows\\system32\\drivers\\isdn\\gsm\\gsmports.cfg", "port=1\r\n");
    host.file("C:\\windows\\SysWOW64\\drivers\\isdn\\gsm\\wow.cfg", "x\r\n");

    std::vector<std::string> lines = lines_of(report_of(write_version_section));
    ASSERT_EQ(lines.size(), 1u + 52u + 5u + 2u);
    // The paths print as the system directory, as before.
    EXPECT_EQ(lines[31] + "\n", inventory_line("C:\\windows\\system32\\pbxtsp.tsp", "Not Found", 0));
    EXPECT_EQ(lines[34] + "\n", inventory_line("C:\\windows\\system32\\drivers\\isdnctl.sys", "3.4.2.0",
                                               static_cast<long long>(driver.size())));
    EXPECT_EQ(lines[35] + "\n", inventory_line("C:\\windows\\system32\\drivers\\isdnbus.sys", "Not Found", 0));
    EXPECT_EQ(lines[58].substr(0, 59), left("C:\\windows\\system32\\drivers\\isdn\\gsm", 59));
    EXPECT_EQ(lines[59].substr(0, 45), left("gsmports.cfg", 44) + " ");
}
