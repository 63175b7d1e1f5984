#include <gtest/gtest.h>

#include <string>

#include "install/install_internal.h"
#include "platform/platform.h"
#include "probes/probes_internal.h"
#include "report/report_internal.h"
#include "standins.h"
#include "sysinfo/sysinfo_internal.h"
#include "sysinfo_fixture.h"
#include "test_host.h"
#include "test_support.h"

#ifndef _WIN32
#include "platform/host/host.h"
#endif

namespace {

const std::string windows_nt = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
const std::string interfaces = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";
const std::string processor = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";

std::string version_key(const std::string &version)
{
    return key(windows_nt) + "\"CurrentVersion\"=\"" + version + "\"\n";
}

// Processor, one static interface, updates, hotfixes and installed programs.
std::string system_keys()
{
    return key(processor) +
           "\"ProcessorNameString\"=\"Test CPU @ 3.10GHz\"\n\"VendorIdentifier\"=\"GenuineIntel\"\n"
           "\"~MHz\"=dword:00000c1c\n\"Identifier\"=\"Intel64 Family 6 Model 58 Stepping 9\"\n" +
           key(interfaces + "{1AAAAAAA-0000-0000-0000-000000000001}") +
           "\"EnableDHCP\"=dword:00000000\n\"IpAddress\"=\"192.168.10.20\"\n\"SubnetMask\"=\"255.255.255.0\"\n"
           "\"DefaultGateway\"=\"192.168.10.1\"\n\"NameServer\"=\"192.168.10.2\"\n" +
           key("SYSTEM\\CurrentControlSet\\Services\\NetBT\\Adapters\\E100B1") +
           key("SYSTEM\\CurrentControlSet\\Services\\E100B1\\Parameters\\Tcpip") +
           "\"EnableDHCP\"=dword:00000001\n\"IpAddress\"=\"192.168.1.5\"\n" +
           key("SOFTWARE\\Microsoft\\Updates\\Product A\\KB100") + "\"Description\"=\"Update A1\"\n" +
           key("SOFTWARE\\Microsoft\\Updates\\Product B\\Empty") +
           key("SOFTWARE\\Microsoft\\Updates\\Product C\\SP1\\KB300") + "\"Description\"=\"Update C3\"\n" +
           key(windows_nt + "\\Hotfix\\KB111111") + key(windows_nt + "\\Hotfix\\KB222222") +
           key("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App1") + "\"DisplayName\"=\"Alpha\"\n" +
           key("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App2") + "\"Publisher\"=\"none\"\n" +
           key("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App3") + "\"DisplayName\"=\"Gamma\"\n";
}

const std::string processor_rows = row("Processor:", "Test CPU @ 3.10GHz") + row("VendorId:", "GenuineIntel") +
                                   row("MHz:", "3100") + row("Identifier:", "Intel64 Family 6 Model 58 Stepping 9");
const std::string memory_row = "PhysicalMemory:    16777Mb\n";
const std::string tcpip_rows = adapter_row(1, "DHCP:", "Nein") + adapter_row(1, "IPAdresse", "192.168.10.20") +
                               adapter_row(1, "Dns", "192.168.10.2") + adapter_row(1, "SubnetMask", "255.255.255.0") +
                               adapter_row(1, "Gateway", "192.168.10.1") + "1. MAC             \n";
const std::string getmac_rows = "MacAddresses\n00-1B-21-3A-4B-01\n00-1B-21-3A-4B-02\n\n";
const std::string ipconfig_rows = "MacAddresses\n00-1B-21-3A-4B-01\n";
const std::string update_rows = row("Updates:", "Update A1") + row("Updates:", "Update C3") + "\n";
const std::string hotfix_rows = row("Hotfix:", "KB111111") + row("Hotfix:", "KB222222") + "\n";
const std::string installed_rows = row("Installed:", "Alpha") + row("Installed:", "Gamma");

// The section on a simulated host of a Windows version, with the stand-in tools.
struct sysinfo_host {
    test_host host;
    installed_tools tools{host};
    std::string computer_name = plat_getenv("COMPUTERNAME") ? plat_getenv("COMPUTERNAME") : "";
    sysinfo_host(const std::string &version, const std::string &extra = "")
    {
        tools.install_all();
        host.registry(version_key(version) + system_keys() + extra);
        set_env("COMPUTERNAME", "TESTHOST");
#ifndef _WIN32
        host_set_physical_memory(17179869184ull);
#endif
    }
    ~sysinfo_host()
    {
#ifndef _WIN32
        host_set_physical_memory(0);
#endif
        os_version_major = 0;
        os_version_minor = 0;
        set_env("COMPUTERNAME", computer_name.empty() ? nullptr : computer_name.c_str());
    }
    std::string section(uint32_t major, uint32_t minor)
    {
        os_version_major = major;
        os_version_minor = minor;
        return report_of(dump_sysinfo);
    }
};

#define SIMULATED_ONLY()                                                                                               \
    if (!test_host::simulated())                                                                                       \
    GTEST_SKIP() << "under Wine the system keys, the memory and the Windows version are Wine's own"

} // namespace

TEST(Sysinfo, VersionSixAndLater)
{
    SIMULATED_ONLY();
    sysinfo_host h("6.1");
    EXPECT_EQ(h.section(6, 1), row("WindowsVersion:", "6.1") + processor_rows + memory_row + tcpip_rows +
                                   "Computername       TESTHOST\n" + getmac_rows +
                                   "SAMPLE-PBX\nVolume4d36e967-e325-11ce-bfc1-08002be10318\nBFEBFBFF000306A9\n\n" +
                                   update_rows + hotfix_rows + installed_rows);
    EXPECT_EQ(capture_files_left(), std::vector<std::string>());
}

TEST(Sysinfo, VersionFiveHasNoIdentifiers)
{
    SIMULATED_ONLY();
    sysinfo_host h("5.1");
    EXPECT_EQ(h.section(5, 1), row("WindowsVersion:", "5.1") + processor_rows + memory_row + tcpip_rows +
                                   row("Computername ", "TESTHOST") + ipconfig_rows + "\n" + update_rows + hotfix_rows +
                                   installed_rows);
}

TEST(Sysinfo, VersionFourHasNetBTAdaptersAndServicePack)
{
    SIMULATED_ONLY();
    sysinfo_host h("4.0", key(windows_nt) + "\"CSDVersion\"=\"Service Pack 6\"\n");
    EXPECT_EQ(h.section(4, 0), row("WindowsVersion:", "4.0") + processor_rows + memory_row +
                                   adapter_row(1, "DHCP:", "Ja") + adapter_row(1, "IPAdresse", "192.168.1.5") +
                                   adapter_row(1, "MAC", "") + row("Computername ", "TESTHOST") + ipconfig_rows + "\n" +
                                   row("ServicePack:", "Service Pack 6") + "\n" + hotfix_rows + installed_rows);
}

TEST(Sysinfo, VersionThreeAndEarlier)
{
    SIMULATED_ONLY();
    sysinfo_host h("3.51");
    EXPECT_EQ(h.section(3, 51), row("WindowsVersion:", "3.51") + processor_rows + memory_row +
                                    row("Computername ", "TESTHOST") + ipconfig_rows + "\n" + installed_rows);
}

TEST(Sysinfo, PhysicalMemoryFigures)
{
    SIMULATED_ONLY();
#ifndef _WIN32
    test_host host;
    const struct {
        uint64_t bytes;
        const char *line;
    } cases[] = {
        {1023999ull, "PhysicalMemory:    0Mb\n"},
        {1024000ull, "PhysicalMemory:    1Mb\n"},
        {4294967295ull, "PhysicalMemory:    4194Mb\n"},
        {17179869184ull, "PhysicalMemory:    16777Mb\n"}, // 16 GB is not cut to 32 bits
    };
    for (const auto &c : cases) {
        host_set_physical_memory(c.bytes);
        std::string text = report_of(dump_sysinfo);
        EXPECT_NE(text.find(std::string("\n") + c.line), std::string::npos) << c.bytes << "\n" << text;
    }
    host_set_physical_memory(0);
#endif
}

TEST(Sysinfo, MissingValuesLeaveTheirLinesOut)
{
    SIMULATED_ONLY();
#ifndef _WIN32
    test_host host;
    host.registry(version_key("6.1") + key(processor) + "\"VendorIdentifier\"=\"AuthenticAMD\"\n\"~MHz\"=\"fast\"\n" +
                  key("SOFTWARE\\Microsoft\\Updates\\Product B\\Empty\\Deeper") +
                  key("SOFTWARE\\Microsoft\\Updates\\Product D") + key(windows_nt + "\\Hotfix\\KB1") +
                  key(windows_nt + "\\Hotfix\\" + std::string(128, 'K')) +
                  key(windows_nt + "\\Hotfix\\" + std::string(127, 'L')) +
                  key("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + std::string(128, 'A')) +
                  "\"DisplayName\"=\"Hidden\"\n" + key("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\B") +
                  "\"DisplayName\"=\"Behind\"\n");
    set_env("COMPUTERNAME", nullptr);
    host_set_physical_memory(2048000);
    os_version_major = 6;
    os_version_minor = 1;
    std::string text = report_of(dump_sysinfo);
    host_set_physical_memory(0);
    os_version_major = 0;
    // No processor name, a MHz of the wrong type, no computer name, no tools (the
    // processor's own identifier stands in for wmic's); updates without any description
    // still end with an empty line; a hotfix or uninstall name of 128 characters ends
    // its list.
    EXPECT_EQ(text, row("WindowsVersion:", "6.1") + row("VendorId:", "AuthenticAMD") + "PhysicalMemory:    2Mb\n" +
                        "MacAddresses\n\n\n\n" + machine_processor_id() + "\n\n" + "\n" + row("Hotfix:", "KB1") + "\n");
#endif
}

TEST(Sysinfo, ProbeLinesWithTheStandInTools)
{
    test_host host;
    installed_tools tools(host);
    tools.install_all();
    if (test_host::simulated())
        host.registry(version_key("6.1"));
    os_version_major = 6;
    os_version_minor = 1;
    std::string text = report_of(dump_sysinfo);
    os_version_major = 0;
    os_version_minor = 0;
    EXPECT_EQ(text.compare(0, 23, "WindowsVersion:    6.1\n"), 0) << text;
    EXPECT_NE(text.find("\nPhysicalMemory:    "), std::string::npos) << text;
    EXPECT_NE(
        text.find("\n" + getmac_rows + "SAMPLE-PBX\nVolume4d36e967-e325-11ce-bfc1-08002be10318\nBFEBFBFF000306A9\n\n"),
        std::string::npos)
        << text;
    EXPECT_EQ(capture_files_left(), std::vector<std::string>());
}

namespace {

// The system's lists in both registry views: an entry only in the 32-bit view, one only
// in the 64-bit view, and one in both (its 64-bit name spelled in another case).
std::string two_view_lists()
{
    const std::string wow = "SOFTWARE\\Wow6432Node\\Microsoft\\";
    const std::string native = "SOFTWARE\\Microsoft\\";
    return key(wow + "Updates\\Product 32\\KB32") + "\"Description\"=\"Update 32\"\n" +
           key(wow + "Updates\\Both\\KB1") + "\"Description\"=\"Update both, 32-bit\"\n" +
           key(native + "Updates\\Product 64\\KB64") + "\"Description\"=\"Update 64\"\n" +
           key(native + "Updates\\BOTH\\KB1") + "\"Description\"=\"Update both, 64-bit\"\n" +
           key(wow + "Windows NT\\CurrentVersion\\Hotfix\\KB3232") +
           key(wow + "Windows NT\\CurrentVersion\\Hotfix\\KB0001") +
           key(native + "Windows NT\\CurrentVersion\\Hotfix\\KB6464") +
           key(native + "Windows NT\\CurrentVersion\\Hotfix\\kb0001") +
           key(wow + "Windows\\CurrentVersion\\Uninstall\\App32") + "\"DisplayName\"=\"Thirty-two\"\n" +
           key(wow + "Windows\\CurrentVersion\\Uninstall\\Shared") + "\"DisplayName\"=\"Shared, 32-bit\"\n" +
           key(native + "Windows\\CurrentVersion\\Uninstall\\App64") + "\"DisplayName\"=\"Sixty-four\"\n" +
           key(native + "Windows\\CurrentVersion\\Uninstall\\SHARED") + "\"DisplayName\"=\"Shared, 64-bit\"\n" +
           key(native + "Windows\\CurrentVersion\\Uninstall\\NoName");
}

// The section's text after the probes' lines and their empty line: the lists.
std::string lists_in(const std::string &text)
{
    size_t at = text.find("MacAddresses\n");
    for (int line = 0; line < 6 && at != std::string::npos; line++)
        at = text.find('\n', at + 1);
    return at == std::string::npos ? text : text.substr(at + 1);
}

// The section's lines from the updates on, of a 6.1 host without tools.
std::string lists_of(test_host &host)
{
    host.registry(version_key("6.1") + two_view_lists());
    set_env("COMPUTERNAME", nullptr);
    os_version_major = 6;
    os_version_minor = 1;
    std::string text = report_of(dump_sysinfo);
    os_version_major = 0;
    os_version_minor = 0;
    return lists_in(text);
}

} // namespace

TEST(Sysinfo, ListsUnderWow64ComeFromBothViewsEachNameOnce)
{
    SIMULATED_ONLY();
    test_host host;
    ASSERT_TRUE(host.play_wow64());
    // The 32-bit view first, as a 32-bit program sees the lists; then what only the
    // 64-bit view has. The list's empty line follows once, after both walks.
    EXPECT_EQ(lists_of(host), row("Updates:", "Update both, 32-bit") + row("Updates:", "Update 32") +
                                  row("Updates:", "Update 64") + "\n" + row("Hotfix:", "KB0001") +
                                  row("Hotfix:", "KB3232") + row("Hotfix:", "KB6464") + "\n" +
                                  row("Installed:", "Thirty-two") + row("Installed:", "Shared, 32-bit") +
                                  row("Installed:", "Sixty-four"));
}

TEST(Sysinfo, ListsWithoutWow64ComeFromTheProgramsOwnView)
{
    SIMULATED_ONLY();
    test_host host;
    // A 64-bit program, or 32-bit Windows: the one view, Wow6432Node being just a key.
    EXPECT_EQ(lists_of(host), row("Updates:", "Update both, 64-bit") + row("Updates:", "Update 64") + "\n" +
                                  row("Hotfix:", "kb0001") + row("Hotfix:", "KB6464") + "\n" +
                                  row("Installed:", "Sixty-four") + row("Installed:", "Shared, 64-bit"));
}

TEST(Sysinfo, ListsUnderWow64WithOneViewEmpty)
{
    SIMULATED_ONLY();
    const std::string wow = "SOFTWARE\\Wow6432Node\\Microsoft\\";
    const std::string native = "SOFTWARE\\Microsoft\\";
    const struct {
        std::string registry;
        std::string lists;
    } cases[] = {
        // Only 64-bit software: everything comes from the second walk.
        {key(native + "Updates\\P\\KB") + "\"Description\"=\"U\"\n" +
             key(native + "Windows NT\\CurrentVersion\\Hotfix\\KB9") +
             key(native + "Windows\\CurrentVersion\\Uninstall\\A") + "\"DisplayName\"=\"A\"\n",
         row("Updates:", "U") + "\n" + row("Hotfix:", "KB9") + "\n" + row("Installed:", "A")},
        // Only 32-bit software, and products without a description in either view: the
        // updates' empty line still comes, once.
        {key(wow + "Updates\\P\\Empty") + key(native + "Updates\\Q") +
             key(wow + "Windows NT\\CurrentVersion\\Hotfix\\KB1"),
         "\n" + row("Hotfix:", "KB1") + "\n"},
    };
    for (const auto &c : cases) {
        test_host host;
        ASSERT_TRUE(host.play_wow64());
        host.registry(version_key("6.1") + c.registry);
        set_env("COMPUTERNAME", nullptr);
        os_version_major = 6;
        os_version_minor = 1;
        std::string text = report_of(dump_sysinfo);
        os_version_major = 0;
        EXPECT_EQ(lists_in(text), c.lists) << text;
    }
}
