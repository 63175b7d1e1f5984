#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "install/install_internal.h"
#include "test_host.h"
#include "test_support.h"

namespace {

const char kestra_key[] = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\KESTRA]\n";
const char test_key[] = "SOFTWARE\\TelinvTest\\Values";

std::string located(location_kind kind, const char *name)
{
    char dest[LOCATE_PATH_SIZE];
    std::memset(dest, 'x', sizeof dest);
    locate_file(kind, dest, name);
    return dest;
}

} // namespace

TEST(RegReadValue, TypeRulesAndCapacity)
{
    test_host host;
    host.registry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\TelinvTest\\Values]\n"
                  "\"Sz\"=\"abc\"\n"
                  "\"Expand\"=hex(2):25,00,54,00,4d,00,50,00,25,00,00,00\n"
                  "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
                  "\"Dword\"=dword:0000002a\n"
                  "\"Binary\"=hex:01,02,03\n");
    char buf[64];
    EXPECT_EQ(reg_read_value(PLAT_HKEY_LOCAL_MACHINE, test_key, "Sz", PLAT_REG_SZ, buf, sizeof buf), 4);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(reg_read_value(PLAT_HKEY_LOCAL_MACHINE, test_key, "Expand", PLAT_REG_SZ, buf, sizeof buf), 6);
    EXPECT_STREQ(buf, "%TMP%"); // unexpanded
    EXPECT_EQ(reg_read_value(PLAT_HKEY_LOCAL_MACHINE, test_key, "Multi", PLAT_REG_SZ, buf, sizeof buf), 5);
    EXPECT_STREQ(buf, "a"); // the first string
    EXPECT_EQ(reg_read_value(PLAT_HKEY_LOCAL_MACHINE, test_key, "Sz", PLAT_REG_EXPAND_SZ, buf, sizeof buf), -1);
    EXPECT_EQ(reg_read_value(PLAT_HKEY_LOCAL_MACHINE, test_key, "Binary", PLAT_REG_SZ, buf, sizeof buf), -1);

    uint32_t dword = 0;
    EXPECT_EQ(reg_read_value(PLAT_HKEY_LOCAL_MACHINE, test_key, "Dword", PLAT_REG_DWORD, &dword, 4), 4);
    EXPECT_EQ(dword, 42u);
    EXPECT_EQ(reg_read_value(PLAT_HKEY_LOCAL_MACHINE, test_key, "Dword", PLAT_REG_SZ, buf, sizeof buf), -1);

    EXPECT_EQ(reg_read_value(PLAT_HKEY_LOCAL_MACHINE, test_key, "Sz", PLAT_REG_SZ, buf, 4), 4); // exactly fits
    EXPECT_EQ(reg_read_value(PLAT_HKEY_LOCAL_MACHINE, test_key, "Sz", PLAT_REG_SZ, buf, 3), -1); // too small
    EXPECT_EQ(reg_read_value(PLAT_HKEY_LOCAL_MACHINE, test_key, "Missing", PLAT_REG_SZ, buf, sizeof buf), -1);
    EXPECT_EQ(reg_read_value(PLAT_HKEY_LOCAL_MACHINE, "SOFTWARE\\TelinvTest\\None", "Sz", PLAT_REG_SZ, buf, sizeof buf), -1);
}

TEST(Identity, DefaultsAndStoredValues)
{
    {
        test_host host;
        host.registry("[-HKEY_LOCAL_MACHINE\\SOFTWARE\\KESTRA]\n");
        EXPECT_STREQ(product_key_path(), "SOFTWARE\\MIRDEN\\MIRDEN.KESTRA\\AllVersions");
        EXPECT_STREQ(product_subkey("pbxmail"), "SOFTWARE\\MIRDEN\\pbxmail");
    }
    {
        test_host host;
        host.registry(std::string(kestra_key) + "\"Company\"=dword:00000001\n\"Product\"=\"Suite\"\n");
        EXPECT_STREQ(company_name(), "MIRDEN");
        EXPECT_STREQ(product_name(), "Suite");
    }
    {
        test_host host;
        // REG_EXPAND_SZ "%Firm%" is taken as stored.
        host.registry(std::string(kestra_key) + "\"Company\"=hex(2):25,00,46,00,69,00,72,00,6d,00,25,00,00,00\n");
        EXPECT_STREQ(product_subkey("pbxmail"), "SOFTWARE\\%Firm%\\pbxmail");
    }
    {
        test_host host;
        // 64 characters and the terminator do not fit the 64-byte buffer: the default.
        host.registry(std::string(kestra_key) + "\"Company\"=\"" + std::string(64, 'c') + "\"\n");
        EXPECT_STREQ(company_name(), "MIRDEN");
    }
    {
        test_host host;
        host.registry(std::string(kestra_key) + "\"Company\"=\"" + std::string(63, 'c') + "\"\n" +
                      "\"Product\"=\"" + std::string(63, 'p') + "\"\n");
        EXPECT_EQ(std::string(company_name()), std::string(63, 'c'));
        EXPECT_EQ(std::string(product_name()), std::string(63, 'p'));
        // The 148 characters of the key path are cut at 127, never overrun.
        EXPECT_EQ(std::string(product_key_path()),
                  ("SOFTWARE\\" + std::string(63, 'c') + "\\" + std::string(63, 'p') + "\\AllVersions").substr(0, 127));
    }
}

TEST(Locator, InstallationDirectoryWinsEvenWhenMissing)
{
    test_host host;
    host.registry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\MIRDEN\\MIRDEN.KESTRA\\AllVersions]\n"
                  "\"InstallationDirectory\"=\"C:\\\\nowhere\\\\pbx\"\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion]\n"
                  "\"ProgramFilesDir\"=\"C:\\\\TelinvTestPF\"\n");
    host.directory("C:\\TelinvTestPF\\MIRDEN\\KESTRA");
    EXPECT_STREQ(install_dir(), "C:\\nowhere\\pbx");
    EXPECT_EQ(located(LOC_INSTALL_DIR, "pbxserv.exe"), "C:\\nowhere\\pbx\\pbxserv.exe");
    EXPECT_EQ(located(LOC_INSTALL_DIR, "snmp\\pbxsnmp.dll"), "C:\\nowhere\\pbx\\snmp\\pbxsnmp.dll");
}

TEST(Locator, ProgramFilesFallbackInItsOrder)
{
    test_host host;
    host.registry("[-HKEY_LOCAL_MACHINE\\SOFTWARE\\MIRDEN]\n"
                  "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion]\n"
                  "\"ProgramFilesDir\"=\"C:\\\\TelinvTestPF\"\n");
    EXPECT_STREQ(install_dir(), "");
    EXPECT_STREQ(fallback_install_dir(), "");
    EXPECT_EQ(located(LOC_INSTALL_DIR, "pbxserv.exe"), "\\pbxserv.exe");

    host.directory("C:\\TelinvTestPF\\MIRDEN\\KESTRA");
    EXPECT_EQ(located(LOC_INSTALL_DIR, "pbxserv.exe"), "C:\\TelinvTestPF\\MIRDEN\\KESTRA\\pbxserv.exe");
    host.directory("C:\\TelinvTestPF\\corvana\\corvana.Quendal");
    EXPECT_EQ(located(LOC_INSTALL_DIR, "pbxserv.exe"), "C:\\TelinvTestPF\\corvana\\corvana.Quendal\\pbxserv.exe");
    EXPECT_STREQ(install_dir(), ""); // the fallback is never cached as the installation
}

TEST(Locator, SystemDirectoryKinds)
{
    test_host host;
    std::string sys = system_dir();
    ASSERT_FALSE(sys.empty());
    EXPECT_EQ(located(LOC_SYSTEM_DIR, "pbxtsp.tsp"), sys + "\\pbxtsp.tsp");
    EXPECT_EQ(located(LOC_DRIVERS, "isdnctl.sys"), sys + "\\drivers\\isdnctl.sys");
    EXPECT_EQ(located(LOC_ISDN_DRIVERS, "isdnbri.sys"), sys + "\\drivers\\isdn\\isdnbri.sys");
    EXPECT_EQ(located(LOC_ISDN_BIN, "isdncfg.exe"), sys + "\\drivers\\isdn\\bin\\isdncfg.exe");
    EXPECT_EQ(located(LOC_GSM, ""), sys + "\\drivers\\isdn\\gsm");
    // A name that does not fit is cut at the buffer.
    EXPECT_EQ(located(LOC_SYSTEM_DIR, std::string(2000, 'n').c_str()).size(), LOCATE_PATH_SIZE - 1u);
}

TEST(Enumeration, ResultsAndWalks)
{
    test_host host;
    const std::string base = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\TelinvTest\\Walk";
    host.registry("[-HKEY_LOCAL_MACHINE\\SOFTWARE\\TelinvTest]\n" + base + "\\Empty]\n" + base +
                  "\\List\\a]\n\"Name\"=\"first\"\n" + base + "\\List\\b]\n" + base +
                  "\\List\\b\\c]\n\"Name\"=\"below\"\n" + base + "\\List\\" + std::string(128, 'L') + "]\n" + base +
                  "\\List\\z]\n\"Name\"=\"never reached\"\n" + base + "\\Deep\\p1\\one\\two]\n\"Name\"=\"two down\"\n" +
                  base + "\\Deep\\p2\\one\\two\\three]\n\"Name\"=\"three down\"\n" + base +
                  "\\Deep\\p3\\first]\n" + base + "\\Deep\\p3\\second]\n\"Name\"=\"in a second child\"\n");
    char dest[256];
    const char *list = "SOFTWARE\\TelinvTest\\Walk\\List";
    EXPECT_EQ(reg_subkey_value("SOFTWARE\\TelinvTest\\Walk\\Empty", 0, "Name", dest, sizeof dest), REG_NO_SUBKEY);
    EXPECT_EQ(reg_subkey_value("SOFTWARE\\TelinvTest\\Missing", 0, "Name", dest, sizeof dest), REG_NO_SUBKEY);
    EXPECT_EQ(reg_subkey_value(list, 0, "Name", dest, sizeof dest), REG_VALUE_READ);
    EXPECT_STREQ(dest, "first");
    EXPECT_EQ(reg_subkey_value(list, 1, "Name", dest, sizeof dest), REG_SUBKEY_ONLY);
    EXPECT_STREQ(dest, "SOFTWARE\\TelinvTest\\Walk\\List\\b");
    // A subkey name of 128 characters ends the walk at its position.
    EXPECT_EQ(reg_subkey_value(list, 2, "Name", dest, sizeof dest), REG_NO_SUBKEY);

    EXPECT_EQ(reg_nested_value(list, 1, "Name", dest, sizeof dest), REG_VALUE_READ);
    EXPECT_STREQ(dest, "below");
    const char *deep = "SOFTWARE\\TelinvTest\\Walk\\Deep";
    EXPECT_EQ(reg_nested_value(deep, 0, "Name", dest, sizeof dest), REG_VALUE_READ);
    EXPECT_STREQ(dest, "two down");
    EXPECT_EQ(reg_nested_value(deep, 1, "Name", dest, sizeof dest), REG_SUBKEY_ONLY); // three levels is too deep
    EXPECT_EQ(reg_nested_value(deep, 2, "Name", dest, sizeof dest), REG_SUBKEY_ONLY); // only first children count
    EXPECT_EQ(reg_nested_value(deep, 3, "Name", dest, sizeof dest), REG_NO_SUBKEY);
}
