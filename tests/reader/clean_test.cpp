// telinv-read clean: what is replaced and what is left alone, the layout that stays, the
// map and its file format.
#include <gtest/gtest.h>

#include "clean_map.h"
#include "clean_shape.h"
#include "report_clean.h"
#include "report_text.h"
#include "text.h"

using namespace telinv_read;
using namespace report_text;

namespace {

const Codepage cp1252 = *Codepage::find(1252);

struct Cleaned {
    std::string text;
    CleanCounts counts;
};

// Cleans a report's text with a map; the copy must read as the report does.
Cleaned clean(const std::string &bytes, CleanMap &map, const CleanOptions &options = {})
{
    Report r = parse(bytes);
    Cleaned c;
    Cleaner cleaner(map, cp1252, options);
    c.counts = cleaner.clean(r, c.text);
    Report again = parse(c.text);
    EXPECT_EQ(shape_difference(r, again), "") << c.text;
    return c;
}

Cleaned clean(const std::string &bytes, const CleanOptions &options = {})
{
    CleanMap map;
    return clean(bytes, map, options);
}

bool has(const std::string &text, const std::string &what) { return text.find(what) != std::string::npos; }

bool has_any_case(const std::string &text, const std::string &what)
{
    auto lower = [](std::string s) {
        for (char &c : s)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        return s;
    };
    return lower(text).find(lower(what)) != std::string::npos;
}

// A report of the given sections' lines after the header.
std::string report(const std::vector<std::string> &lines)
{
    std::vector<std::string> all = {"telinv.exe(1.2.3.4) at Sat Mar 07 09:05:01 2026"};
    all.insert(all.end(), lines.begin(), lines.end());
    return join(all);
}

std::string map_json(const CleanMap &map)
{
    return written_text([&](Output &out) { map.write(out); });
}

std::string section_line(const std::string &text, const std::string &banner_name, std::size_t k)
{
    Report r = parse(text);
    for (const Section &s : r.sections)
        if (r.text(s.name) == banner_name)
            return std::string(r.line(s.first_line + k));
    return "<no section>";
}

} // namespace

TEST(CleanNames, TheComputerNameIsReplacedAsAWordInAnyCaseAndNowhereInsideOtherWords)
{
    std::vector<std::string> lines = sysinfo_lines(6);
    for (std::string &l : lines)
        if (l == "PBX-WMIC")
            l = "ZEBRA-HQ";
    lines.insert(lines.begin(), {banner("pbxcfg"), "# backup of zebra-hq to \\\\ZEBRA-HQ\\share, log zebra-hq.log",
                                 "Peer = { \"ZEBRA-HQ2\", \"zebra-hq-old\", \"xZEBRA-HQ\" };"});
    Cleaned c = clean(report(lines));
    EXPECT_EQ(section_line(c.text, "pbxcfg", 0), "# backup of host0 to \\\\host0\\share, log host0.log");
    EXPECT_EQ(section_line(c.text, "pbxcfg", 1), "Peer = { \"ZEBRA-HQ2\", \"zebra-hq-old\", \"xZEBRA-HQ\" };");
    EXPECT_TRUE(has(c.text, "\r\nhost0\r\n"));
    EXPECT_FALSE(has(c.text, "PBX-ENV")); // the COMPUTERNAME variable's value
    EXPECT_EQ(c.counts.replaced[static_cast<int>(CleanKind::host)], 5u);
}

TEST(CleanNames, MailUsersAndServersAreReplacedWhereTheyStandNotAsWordsOfTheSuite)
{
    std::string bytes = report({banner("version"), inventory_line("C:\\Program Files\\MIRDEN\\KESTRA\\pbxserv.exe", "6.2.1.0", 1024), "",
                                banner("pbxcfg"), "System = { \"Sample PBX\", \"HQ\" };", "Mail = { \"pbx.cfg\" };",
                                banner("actcfg"), "Action = { \"ALARM\", \"mail pbx@sample-pbx.example, copy to pbx\" };",
                                banner("email"), label("MyEMail:", "pbx@sample-pbx.example"), label("Pop3-Server:", "pop.sample-pbx.example"),
                                label("Pop3-User:", "pbx"), label("SMTP-Server:", "MAILGW"), label("SMTP-User:", "CORP\\pbx")});
    Cleaned c = clean(bytes);
    for (const char *kept : {"pbxserv.exe", "Sample PBX", "\"pbx.cfg\"", "copy to pbx\""})
        EXPECT_TRUE(has(c.text, kept)) << kept;
    EXPECT_TRUE(has(c.text, "mail user0@domain0.example,"));
    EXPECT_TRUE(has(c.text, label("MyEMail:", "user0@domain0.example")));
    EXPECT_TRUE(has(c.text, label("Pop3-Server:", "host2.domain0.example")));
    EXPECT_TRUE(has(c.text, label("Pop3-User:", "user0")));
    EXPECT_TRUE(has(c.text, label("SMTP-Server:", "host0")));
    EXPECT_TRUE(has(c.text, label("SMTP-User:", "host1\\user0")));
}

TEST(CleanNames, DomainsOfAddressesAndGivenOnesTakeTheirHostsAlong)
{
    CleanOptions o;
    o.domains = {"corp.test"};
    std::string bytes = report({banner("pbxcfg"), "Stun = { \"stun.zebra.co.uk\" };", "Dns = { \"ns1.Corp.Test\", \"corp.test.\" };",
                                "Other = { \"stun.example.org\", \"zebra.co\" };", banner("actcfg"),
                                "Action = { \"ALARM\", \"mail ops@mail.zebra.co.uk\" };"});
    Cleaned c = clean(bytes, o);
    // corp.test is given; zebra.co.uk is the registrable part of the address's domain.
    EXPECT_EQ(section_line(c.text, "pbxcfg", 0), "Stun = { \"host0.domain1.example\" };");
    EXPECT_EQ(section_line(c.text, "pbxcfg", 1), "Dns = { \"host1.domain0.example\", \"domain0.example.\" };");
    EXPECT_EQ(section_line(c.text, "pbxcfg", 2), "Other = { \"stun.example.org\", \"zebra.co\" };");
    EXPECT_EQ(section_line(c.text, "actcfg", 0), "Action = { \"ALARM\", \"mail user0@host2.domain1.example\" };");
}

TEST(CleanUsers, ProfilePathsGiveTheirUsersWhichAreThenWordsEverywhere)
{
    std::string bytes = report({banner("pbxcfg"), "Backup = { \"C:\\Users\\j.kowalski\\Documents\" };",
                                "Old = { \"C:\\Documents and Settings\\Anna Nowak\\Local Settings\\Temp\\x\" };",
                                "Nt = { \"C:\\WINNT\\profiles\\KOWAL~1\\desktop\", \"D:/users/mlee\" };",
                                "Own = { \"C:\\Users\\Public\\x\", \"C:\\Users\\Default\", \"C:\\Users\\Administrator\\y\" };",
                                "# J.Kowalski set this up; ask j.kowalskiX or anna", banner("log"), "logon of mlee failed"});
    Cleaned c = clean(bytes);
    EXPECT_EQ(section_line(c.text, "pbxcfg", 0), "Backup = { \"C:\\Users\\user0\\Documents\" };");
    EXPECT_EQ(section_line(c.text, "pbxcfg", 1), "Old = { \"C:\\Documents and Settings\\user1\\Local Settings\\Temp\\x\" };");
    EXPECT_EQ(section_line(c.text, "pbxcfg", 2), "Nt = { \"C:\\WINNT\\profiles\\user2\\desktop\", \"D:/users/user3\" };");
    EXPECT_EQ(section_line(c.text, "pbxcfg", 3), "Own = { \"C:\\Users\\Public\\x\", \"C:\\Users\\Default\", \"C:\\Users\\Administrator\\y\" };");
    EXPECT_EQ(section_line(c.text, "pbxcfg", 4), "# user0 set this up; ask j.kowalskiX or anna");
    EXPECT_EQ(section_line(c.text, "log", 0), "logon of user3 failed");
}

TEST(CleanAddresses, IPv4NetworksKeepTheirHostPartsAndWhatSharesANetworkStillDoes)
{
    std::string bytes = report({banner("version"), inventory_line("C:\\KESTRA\\pbxcfg.exe", "6.2.1.0", 1024), "",
                                banner("netcfg"), "Lan = { \"192.168.10.20\", \"255.255.255.0\" };",
                                "Gw = { \"192.168.10.1\", \"192.168.11.1\" };", "Voip = { \"10.7.5.17\", \"10.7.0.1\", \"10.8.0.1\" };",
                                "Branch = { \"172.20.1.1\", \"100.70.1.1\" };",
                                "Public = { \"80.1.2.3\", \"80.1.2.4\", \"81.1.1.1\" };",
                                "Kept = { \"0.0.0.0\", \"127.0.0.1\", \"224.0.0.5\", \"255.255.255.255\", \"255.255.240.0\" };",
                                "# written by pbxcfg 6.2.1.0, firmware 1.2.3.4, build 9.9.9.9, 6.2.1.0",
                                "Sip = { \"192.168.10.20:5060\", \"1.2.3.4.5\", \"192.168.10.256\" };"});
    Cleaned c = clean(bytes);
    EXPECT_EQ(section_line(c.text, "netcfg", 0), "Lan = { \"192.168.0.20\", \"255.255.255.0\" };");
    EXPECT_EQ(section_line(c.text, "netcfg", 1), "Gw = { \"192.168.0.1\", \"192.168.1.1\" };");
    EXPECT_EQ(section_line(c.text, "netcfg", 2), "Voip = { \"10.0.0.17\", \"10.0.1.1\", \"10.1.0.1\" };");
    EXPECT_EQ(section_line(c.text, "netcfg", 3), "Branch = { \"172.16.0.1\", \"100.64.0.1\" };");
    EXPECT_EQ(section_line(c.text, "netcfg", 4), "Public = { \"192.0.2.3\", \"192.0.2.4\", \"198.51.100.1\" };");
    EXPECT_EQ(section_line(c.text, "netcfg", 5), "Kept = { \"0.0.0.0\", \"127.0.0.1\", \"224.0.0.5\", \"255.255.255.255\", \"255.255.240.0\" };");
    EXPECT_EQ(section_line(c.text, "netcfg", 6), "# written by pbxcfg 6.2.1.0, firmware 1.2.3.4, build 9.9.9.9, 6.2.1.0");
    EXPECT_EQ(section_line(c.text, "netcfg", 7), "Sip = { \"192.168.0.20:5060\", \"1.2.3.4.5\", \"192.168.10.256\" };");
}

TEST(CleanAddresses, IPv6SitesGoToTheDocumentationPrefixAndMacBasedInterfacesFollowTheMac)
{
    std::string bytes = report({banner("netcfg"), "A = { \"2a01:4f8:10:2::17\", \"2a01:4f8:10:3::1\", \"[2a01:4f8:99::5]:5060\" };",
                                "B = { \"fd12:3456:789a:1:21b:21ff:fe3a:4b01\", \"00-1B-21-3A-4B-01\" };",
                                "C = { \"::1\", \"::\", \"fe80::21b:21ff:fe3a:4b01%11\", \"ff02::1:2\", \"::ffff:192.168.1.9\" };",
                                "D = { \"2A01:4F8:10:2::17\", \"10:04:00\", \"a::b\", \"std::string\" };",
                                "E = { \"::c0a8:10a\", \"::192.168.1.10\" };"});
    Cleaned c = clean(bytes);
    EXPECT_EQ(section_line(c.text, "netcfg", 0), "A = { \"2001:db8:0:2::17\", \"2001:db8:0:3::1\", \"[2001:db8:1::5]:5060\" };");
    EXPECT_EQ(section_line(c.text, "netcfg", 1), "B = { \"2001:db8:2:1:21b:21ff:fe00:1\", \"00-1B-21-00-00-01\" };");
    EXPECT_EQ(section_line(c.text, "netcfg", 2),
              "C = { \"::1\", \"::\", \"fe80::21b:21ff:fe00:1%11\", \"ff02::1:2\", \"::ffff:192.168.0.9\" };");
    EXPECT_EQ(section_line(c.text, "netcfg", 3), "D = { \"2001:DB8:0:2::17\", \"10:04:00\", \"a::b\", \"std::string\" };");
    // Written with dots, the last 32 bits of a zero prefix are an IPv4 address; else not.
    EXPECT_EQ(section_line(c.text, "netcfg", 4), "E = { \"2001:db8:3::c0a8:10a\", \"::192.168.0.10\" };");
}

TEST(CleanAddresses, MacAddressesKeepTheirVendorTheirFormAndTheirCase)
{
    std::vector<std::string> lines = sysinfo_lines(6);
    lines.insert(lines.begin(), {banner("pbxcards"), "nic 00:1b:21:3a:4b:02 and 001B.213A.4B01, 01-00-5E-00-00-01,",
                                 "FF-FF-FF-FF-FF-FF 00-00-00-00-00-00 00-1B-21-3A-4B-0 00-1B-21-3A-4B-011"});
    Cleaned c = clean(report(lines));
    EXPECT_EQ(section_line(c.text, "pbxcards", 0), "nic 00:1b:21:00:00:01 and 001B.2100.0002, 01-00-5E-00-00-01,");
    EXPECT_EQ(section_line(c.text, "pbxcards", 1), "FF-FF-FF-FF-FF-FF 00-00-00-00-00-00 00-1B-21-3A-4B-0 00-1B-21-3A-4B-011");
    // The list of the sysinfo section and the adapter's line give the same replacements.
    EXPECT_TRUE(has(c.text, "\r\n00-1B-21-00-00-02\r\n00-1B-21-00-00-01\r\n"));
    EXPECT_TRUE(has(c.text, adapter(1, "MAC", "00-0C-29-00-00-01")));
}

TEST(CleanAddresses, AMacListCutInsideAnAddressHasTheCardPartOfItsRestMasked)
{
    std::vector<std::string> lines = sysinfo_lines(6);
    auto mac = std::find(lines.begin(), lines.end(), "00-1B-21-3A-4B-02");
    *mac = "00-1B-21-3A-4";
    Cleaned c = clean(report(lines));
    EXPECT_TRUE(has(c.text, "\r\n00-1B-21-00-00-01\r\n00-1B-21-00-0\r\n\r\n"));
}

TEST(CleanAddresses, IdentifiersAreNumberedInTheirOwnFormAndOnesWithoutLettersOrDigitsStay)
{
    std::vector<std::string> lines = sysinfo_lines(6);
    Cleaned c = clean(report(lines));
    EXPECT_TRUE(has(c.text, "\r\nVolume00000000-0001\r\n0000000000000002\r\n")) << c.text;
    // Nothing to number: such an identifier is kept, and cleaning ends.
    for (std::string &l : lines)
        if (l == "Volume4d36e967-e325")
            l = "Volume-{}";
        else if (l == "BFEBFBFF000306A9")
            l = "]";
    c = clean(report(lines));
    EXPECT_TRUE(has(c.text, "\r\nVolume-{}\r\n]\r\n")) << c.text;
}

TEST(CleanPhones, ConfigurationValuesThatAreNumbersDigitForDigitUnlessTheyCountSomething)
{
    std::string bytes = report({banner("pbxcfg"), "Ext = { \"200\", \"Reception\" };", "Forward = { \"200\", \"+49 (30) 123-4567\" };",
                                "Country = { \"49\" };", "AreaCode = { \"030\" };", "SipPort = { \"5060\" };", "Timeout = { \"3000\" };",
                                "Holiday = { \"2025-12-24\", \"24.12.2025\" };", "Mon-Fri = { \"07:30\", \"18:00\" };",
                                "Fax = { \"0301-23/45\" };",
                                banner("actcfg"), "Action = { \"TRUNKDOWN\", \"sms +491701234567 or 0170 1234567\" };",
                                banner("voip-files"), banner("GLOBALS.TCL"), "set operator 0301234567", "set sip_port 5060", "set rtp_ports {10000 10999}",
                                "Dial=+4930555", "stun.example.org 3478"});
    Cleaned c = clean(bytes);
    EXPECT_EQ(section_line(c.text, "pbxcfg", 0), "Ext = { \"500\", \"Reception\" };");
    EXPECT_EQ(section_line(c.text, "pbxcfg", 1), "Forward = { \"500\", \"+50 (00) 000-0000\" };");
    for (std::size_t k = 2; k < 8; k++)
        EXPECT_EQ(section_line(c.text, "pbxcfg", k), section_line(bytes, "pbxcfg", k));
    // Two kinds of separator: no date but a number.
    EXPECT_EQ(section_line(c.text, "pbxcfg", 8), "Fax = { \"5000-00/00\" };");
    EXPECT_EQ(section_line(c.text, "actcfg", 0), "Action = { \"TRUNKDOWN\", \"sms +500000000000 or 0170 1234567\" };");
    EXPECT_EQ(section_line(c.text, "GLOBALS.TCL", 0), "set operator 5000000000");
    for (std::size_t k = 1; k < 3; k++)
        EXPECT_EQ(section_line(c.text, "GLOBALS.TCL", k), section_line(bytes, "GLOBALS.TCL", k));
    EXPECT_EQ(section_line(c.text, "GLOBALS.TCL", 3), "Dial=+5000000");
    EXPECT_EQ(section_line(c.text, "GLOBALS.TCL", 4), "stun.example.org 3478");
}

TEST(CleanPhones, LogLinesCallsAndCallersButNotTimesSizesOrCauses)
{
    std::string bytes = report({banner("pbxcfg"), "Ext = { \"201\" };", banner("sysinfo"), banner("log\\err%Y%m%d.log"),
                                "09:04:34 ERROR pbxserv: call 10202 to 201: no free B-channel on ISDN1",
                                "09:05:48 ERROR pbxsip: REGISTER from 201 rejected (401 Unauthorized)",
                                "000123 ERROR pbxcards: layer 2 down (cause 15) after 300 s, to 2000 retries",
                                "09:06:00 ERROR pbxserv: call from sip:10202@192.168.1.5 to 12 dropped",
                                banner("kamailio-err.txt"), " 1(2817) ERROR: bad contact in REGISTER from sip:201@10.1.1.1 (#121)"});
    Cleaned c = clean(bytes);
    EXPECT_EQ(section_line(c.text, "pbxcfg", 0), "Ext = { \"500\" };");
    EXPECT_EQ(section_line(c.text, "log\\err%Y%m%d.log", 0), "09:04:34 ERROR pbxserv: call 50000 to 500: no free B-channel on ISDN1");
    EXPECT_EQ(section_line(c.text, "log\\err%Y%m%d.log", 1), "09:05:48 ERROR pbxsip: REGISTER from 500 rejected (401 Unauthorized)");
    EXPECT_EQ(section_line(c.text, "log\\err%Y%m%d.log", 2), section_line(bytes, "log\\err%Y%m%d.log", 2));
    EXPECT_EQ(section_line(c.text, "log\\err%Y%m%d.log", 3), "09:06:00 ERROR pbxserv: call from sip:50000@192.168.0.5 to 12 dropped");
    EXPECT_EQ(section_line(c.text, "kamailio-err.txt", 0), " 1(2817) ERROR: bad contact in REGISTER from sip:500@10.0.0.1 (#121)");
}

TEST(CleanSecrets, EntriesThatNameASecretAreMaskedAndNeverEnterTheMap)
{
    CleanMap map;
    std::string bytes = report({banner("pbxcfg"), "AdminPassword = { \"Zebr4!\", \"x\" };", "SipSecret = { \"s3cr3t\" };",
                                "PINCode = { \"1234\" };", "ApiKey = key-123;", "PingInterval = { \"30\" };", "Keyboard = { \"de\" };",
                                "Secret = { \"\" };", banner("voip-files"), banner("CFG.TCL"), "set sip_password hunter2", "auth_pin: 0000",
                                banner("USER.TXT"), "200 geheim", "alice  pass word  ", banner("email"),
                                label("Pop3-Password:", "mailpw")});
    Cleaned c = clean(bytes, map);
    EXPECT_EQ(section_line(c.text, "pbxcfg", 0), "AdminPassword = { \"********\", \"********\" };");
    EXPECT_EQ(section_line(c.text, "pbxcfg", 1), "SipSecret = { \"********\" };");
    EXPECT_EQ(section_line(c.text, "pbxcfg", 2), "PINCode = { \"********\" };");
    EXPECT_EQ(section_line(c.text, "pbxcfg", 3), "ApiKey = ********;");
    EXPECT_EQ(section_line(c.text, "pbxcfg", 4), "PingInterval = { \"30\" };");
    EXPECT_EQ(section_line(c.text, "pbxcfg", 5), "Keyboard = { \"de\" };");
    EXPECT_EQ(section_line(c.text, "pbxcfg", 6), "Secret = { \"\" };");
    EXPECT_EQ(section_line(c.text, "CFG.TCL", 0), "set sip_password ********");
    EXPECT_EQ(section_line(c.text, "CFG.TCL", 1), "auth_pin: ********");
    EXPECT_EQ(section_line(c.text, "USER.TXT", 0), "500 ********");
    EXPECT_EQ(section_line(c.text, "USER.TXT", 1), "user0  ********  ");
    EXPECT_EQ(section_line(c.text, "email", 0), label("Pop3-Password:", "********"));
    EXPECT_EQ(c.counts.secrets, 10u);
    const std::string json = map_json(map);
    for (const char *secret : {"Zebr4", "s3cr3t", "1234", "key-123", "hunter2", "0000", "geheim", "pass word", "mailpw"})
        EXPECT_FALSE(has(json, secret)) << secret;
}

TEST(CleanKeywords, KeywordsInAnyCaseInsideWordsWhereverAValueStands)
{
    CleanOptions o;
    o.keywords = {"Zebra", "zebra corp"};
    std::vector<std::string> lines = {banner("version"), inventory_line("C:\\ZEBRA\\pbxserv.exe", "6.2.1.0", 1024), "",
                                      listing_heading("C:\\Zebra\\voip"), listing_line("zebraphones.csv", 12), banner("pbxcfg"),
                                      "System = { \"ZEBRA CORP\", \"Zebrastreet 1\" };"};
    for (const std::string &l : sysinfo_lines(6))
        lines.push_back(l == label("Installed:", "KESTRA PBX Suite") ? label("Installed:", "Zebra Phonebook") : l);
    std::string bytes = report(lines);
    bytes.replace(0, 10, "telinv-zebra.exe");
    CleanMap map;
    Cleaned c = clean(bytes, map, o);
    EXPECT_FALSE(has_any_case(c.text, "zebra")) << c.text;
    EXPECT_TRUE(has(c.text, "telinv-keyword0.exe(1.2.3.4) at "));
    EXPECT_TRUE(has(c.text, "System = { \"keyword1\", \"keyword0street 1\" };"));
    EXPECT_TRUE(has(c.text, label("Installed:", "keyword0 Phonebook")));
    // The map keeps the keywords: a later run replaces them without being told.
    CleanMap later = CleanMap::parse(map_json(map));
    EXPECT_EQ(clean(bytes, later).text, c.text);
}

TEST(CleanKeywords, AnAdaptersDhcpFlagIsTelinvsOwnWordAndStaysButOtherTextThereIsCleaned)
{
    CleanOptions o;
    o.keywords = {"ein", "j"};
    std::vector<std::string> lines = sysinfo_lines(6);
    lines.insert(lines.begin() + 13, adapter(2, "DHCP:", "Ja"));
    lines.insert(lines.begin() + 14, adapter(3, "DHCP:", "from sip:201@172.20.33.21"));
    Cleaned c = clean(report(lines), o);
    EXPECT_TRUE(has(c.text, adapter(1, "DHCP:", "Nein") + "\r\n")) << c.text;
    EXPECT_TRUE(has(c.text, adapter(2, "DHCP:", "Ja") + "\r\n")) << c.text;
    EXPECT_FALSE(has(c.text, "172.20.33.21")) << c.text;
    EXPECT_FALSE(has(c.text, "sip:201@")) << c.text;
}

TEST(CleanLayout, InventoryAndListingColumnsStayWhereTheyWere)
{
    CleanOptions o;
    o.keywords = {"k", "longname"};
    std::string p55 = "C:\\longname\\" + std::string(43 - 8, 'x') + ".sys";
    std::vector<std::string> lines = {banner("version"), format("%-55s %-14s %s", "Path\\Filename", "Version", "Bytes"),
                                      inventory_line("C:\\k\\pbxserv.exe", "6.2.1.0", 1024), inventory_line(p55, "6.2.10.1234", 7),
                                      inventory_line("C:\\k\\pbxfax.exe", nullptr, 0), "",
                                      listing_heading("C:\\k\\gsm"), listing_line("k.sys", 1024),
                                      listing_line("longname" + std::string(40, 'y'), 3221225472LL)};
    Cleaned c = clean(report(lines), o);
    Report r = parse(c.text);
    ASSERT_EQ(r.inventory.size(), 3u);
    EXPECT_EQ(r.line(r.inventory[0].line), inventory_line("C:\\keyword0\\pbxserv.exe", "6.2.1.0", 1024));
    EXPECT_EQ(r.text(r.inventory[1].path), "C:\\keyword1\\" + std::string(35, 'x') + ".sys");
    EXPECT_EQ(r.text(*r.inventory[1].version), "6.2.10.1234");
    EXPECT_EQ(r.line(r.inventory[2].line), inventory_line("C:\\keyword0\\pbxfax.exe", nullptr, 0));
    ASSERT_EQ(r.listings.size(), 1u);
    EXPECT_EQ(r.line(r.listings[0].heading_line), listing_heading("C:\\keyword0\\gsm"));
    EXPECT_EQ(r.line(r.listings[0].entries[0].line), listing_line("keyword0.sys", 1024));
    EXPECT_EQ(r.text(r.listings[0].entries[1].name), "keyword1" + std::string(40, 'y'));
    EXPECT_EQ(r.listings[0].entries[1].bytes, 3221225472LL);
}

TEST(CleanLayout, AnInventoryLineTelinvDidNotWriteKeepsItsVersionAndSizeWhenItsPathChangesLength)
{
    // Words with blanks between the path and the version: wherever a longer cleaned path
    // would move them into the version's column, the path is masked instead.
    for (int blanks = 1; blanks <= 12; blanks++) {
        std::string odd = "\\ops@corp.test a b" + std::string(static_cast<std::size_t>(blanks), ' ') + "Found          0";
        std::vector<std::string> lines = {banner("version"), odd, inventory_line("C:\\KESTRA\\pbxserv.exe", "6.2.1.0", 1024)};
        const std::string bytes = report(lines);
        Cleaned c = clean(bytes);
        EXPECT_FALSE(has_any_case(c.text, "ops@")) << c.text;
        EXPECT_FALSE(has_any_case(c.text, "corp.test")) << c.text;
        Report was = parse(bytes), r = parse(c.text);
        ASSERT_EQ(r.inventory.size(), 2u) << c.text;
        EXPECT_EQ(r.text(*r.inventory[0].version), was.text(*was.inventory[0].version)) << c.text;
    }
}

TEST(CleanLayout, BannersLineEndsCutReportsAndJoinedBanners)
{
    CleanOptions o;
    o.keywords = {"zebra"};
    const std::string long_name = "C:\\Users\\kowalski\\AppData\\Local\\zebracorp-logs\\err.log";
    for (const char *end : {"\r\n", "\n"}) {
        std::string bytes = join({"telinv.exe(1) at x", banner("pbxcfg"), "TimeCfg = { \"zebra.cfg\", \"\" };"}, end) +
                            "Last = { \"zebra\" };" + banner("zebra.cfg") + end + "Mon = 1" + end + banner("sysinfo") + end +
                            banner(long_name) + end + "09:00 zebra down";
        Cleaned c = clean(bytes, o);
        Report r = parse(c.text);
        EXPECT_TRUE(r.truncated);
        EXPECT_EQ(r.line_end, std::string(end) == "\n" ? LineEnd::lf : LineEnd::crlf);
        EXPECT_EQ(r.text(r.sections[1].name), "keyword0.cfg");
        EXPECT_TRUE(r.sections[1].joined);
        EXPECT_EQ(r.line(r.sections[0].first_line + 1), "Last = { \"keyword0\" };");
        // The error log's banner shows the first 40 characters of its name, here a user
        // name's beginning: cut or not, it is replaced.
        EXPECT_EQ(r.text(r.sections[3].name), "C:\\Users\\user0\\AppData\\Local\\keyword0cor");
        EXPECT_FALSE(has_any_case(c.text, "kowal"));
        EXPECT_TRUE(telinv_read::ends_with(c.text, std::string(end) + "09:00 keyword0 down"));
    }
}

TEST(CleanLayout, ALineThatWouldReadAsABannerAfterCleaningStaysALine)
{
    CleanOptions o;
    o.keywords = {"zebracorp"};
    // 80 characters, no banner; 78 once cleaned, which would be one.
    std::string line = std::string(37, '-') + " zebracorpzebracorp " + std::string(23, '-');
    Cleaned c = clean(report({banner("pbxcfg"), line, "x"}), o);
    Report r = parse(c.text);
    EXPECT_EQ(r.sections.size(), 1u);
    EXPECT_EQ(r.line(0), std::string(37, '-') + " keyword0keyword0 " + std::string(23, '-') + " ");
}

TEST(CleanMap, ASecondRunWithTheMapGivesTheSameBytesAndNewValuesNewReplacements)
{
    std::string first = join(full_report());
    CleanMap map;
    Cleaned a = clean(first, map);
    const std::string json = map_json(map);
    CleanMap loaded = CleanMap::parse(json);
    EXPECT_EQ(loaded.entries(), map.entries());
    EXPECT_EQ(loaded.loaded(), map.entries());
    EXPECT_EQ(clean(first, loaded).text, a.text);
    EXPECT_EQ(map_json(loaded), json);
    // Another host: what it shares keeps its replacement; what is new gets a new one.
    std::string other = first;
    other.replace(other.find("00-1B-21-3A-4B-02"), 17, "00-1B-21-3A-4B-03");
    other.replace(other.find("192.168.10.20"), 13, "192.168.77.20");
    Cleaned b = clean(other, loaded);
    EXPECT_TRUE(has(b.text, "00-1B-21-00-00-01\r\n00-1B-21-00-00-03"));
    EXPECT_TRUE(has(b.text, "192.168.1.20"));
    EXPECT_GT(loaded.entries(), loaded.loaded());
}

TEST(CleanLayout, AnInventoryLineOfHyphensStaysAnEntryWhateverLengthItsPathGets)
{
    CleanOptions o;
    o.keywords = {"e", "zebracorpxx"};
    const std::string hyphens(37, '-');
    // 76 characters once cleaned, but no banner of that length: nothing is added.
    const std::string grows = hyphens + " netcfg ------t Found          0";
    // 78 characters once cleaned, which any line of 37 hyphens and a blank is as a banner.
    const std::string shrinks = inventory_line(hyphens + " zebracorpxxabcdfghijkl", "6.2.1.0", 1024);
    ASSERT_EQ(shrinks.size(), 81u);
    const std::string bytes = report({banner("version"), grows, shrinks, ""});
    Cleaned c = clean(bytes, o);
    Report was = parse(bytes), r = parse(c.text);
    ASSERT_EQ(r.inventory.size(), 2u) << c.text;
    EXPECT_EQ(r.line(r.inventory[0].line).size(), 76u) << c.text;
    EXPECT_EQ(r.text(*r.inventory[1].version), "6.2.1.0") << c.text;
    EXPECT_FALSE(has_any_case(c.text, "zebracorp")) << c.text;
}

TEST(CleanMap, BannersCutInsideANameComeOutAlikeInALaterRunWithTheMap)
{
    // Two names cut at 40 characters: inside a mail server's name that the mail section
    // shows later, and inside hyphens before it. A later run knows that server from the map
    // before the banners; the first learnt it after them: both must write the same copy.
    const std::string head = "C:\\trace\\routed via ";
    std::string cut = head + std::string(38 - head.size(), ' ') + "mx1.zebracorp-pbx.test.log";
    std::string hyphens = head + std::string(30 - head.size(), ' ') + "-----------mx1.zebracorp-pbx.test";
    std::vector<std::string> lines = {banner("pbxcfg"), "Mode = { \"1\" };", banner(cut), "started", banner(hyphens),
                                      "started", banner("email"), label("MyEMail:", "ops@zebracorp-pbx.test"),
                                      label("SMTP-Server:", "mx1.zebracorp-pbx.test"),
                                      label("Pop3-Server:", "-----------mx1.zebracorp-pbx.test")};
    const std::string bytes = report(lines);
    CleanMap map;
    Cleaned first = clean(bytes, map);
    CleanMap later = CleanMap::parse(map_json(map));
    EXPECT_EQ(clean(bytes, later).text, first.text);
    EXPECT_EQ(later.entries(), later.loaded());
    // A name known before the first line, the computer's, is replaced where the cut
    // leaves only its start.
    std::string own = head + std::string(34 - head.size(), ' ') + "PBX-ENV.log";
    Cleaned c = clean(report({banner(own), "started", sysinfo_lines(6)[0], label("Computername ", "PBX-ENV")}));
    EXPECT_TRUE(has(c.text, head + std::string(34 - head.size(), ' ') + "host0 \r\n")) << c.text;
    EXPECT_FALSE(has_any_case(c.text, "PBX-E")) << c.text;
}

TEST(CleanMap, AMapThatDoesNotReadIsAnError)
{
    const char *bad[] = {
        "", "{", "[]", "{\"version\": 2}", "{\"host\": {}}", "{\"version\": 1, \"hosts\": {}}",
        "{\"version\": 1, \"host\": {\"a\": \"b c\"}}", "{\"version\": 1, \"host\": {\"a\": \"x\", \"A\": \"y\"}}",
        "{\"version\": 1, \"host\": {\"a\": 5}}", "{\"version\": 1, \"phone\": {\"123\": \"12\"}}",
        "{\"version\": 1, \"phone\": {\"12a\": \"123\"}}", "{\"version\": 1, \"mac\": {\"00-11-22-33-44\": \"00-11-22-33-44-55\"}}",
        "{\"version\": 1, \"ipv4\": {\"10.1.2.3\": \"10.0.0.0/24\"}}", "{\"version\": 1, \"ipv6\": {\"2001:db8::/64\": \"2001:db8::/48\"}}",
        "{\"version\": 1, \"id\": {\"AB-12\": \"AB_12\"}}", "{\"version\": 1, \"host\": {\"a\": \"b\"}} x",
        "{\"version\": 1, \"host\": {\"\\u00ff\": \"\\u00ff\"}}", "{\"version\": 1, \"host\": {\"a\": \"b\"}, \"host\": {}}"};
    for (const char *text : bad)
        EXPECT_THROW(CleanMap::parse(text), MapError) << text;
    CleanMap ok = CleanMap::parse("{\"about\": \"x\", \"version\": 1, \"ipv4\": {\"10.1.2.0/24\": \"10.9.9.0/24\"},"
                                  " \"mac\": {\"00:11:22:33:44:55\": \"001122000009\"}}");
    EXPECT_EQ(ok.ipv4_network((10u << 16) | (1u << 8) | 2u), (10u << 16) | (9u << 8) | 9u);
    EXPECT_EQ(ok.ipv4_network((10u << 16) | (1u << 8) | 3u), (10u << 16) | (9u << 8) | 0u); // the same /16
    EXPECT_EQ(ok.mac("001122334456", "00-11-22-33-44-56"), "00-11-22-00-00-0A");
}

TEST(CleanKeep, EachKindThatIsKeptStays)
{
    std::vector<std::string> lines = sysinfo_lines(6);
    lines.insert(lines.begin(), {banner("pbxcfg"), "A = { \"2a01:4f8::1\", \"+491701234567\", \"C:\\Users\\jdoe\\x\" };",
                                 "B = { \"ops@zebra.example\", \"PBX-WMIC.zebra.example\" };"});
    const std::string bytes = report(lines);
    const std::string original_values[] = {"PBX-WMIC", "zebra.example", "jdoe", "10.0.0.1", "2a01:4f8::1", "00-1B-21-3A-4B-01",
                                           "BFEBFBFF000306A9", "491701234567"};
    for (std::size_t k = 0; k < 8; k++) {
        CleanOptions o;
        o.keep[k] = true;
        Cleaned c = clean(bytes, o);
        for (std::size_t v = 0; v < 8; v++)
            EXPECT_EQ(has(c.text, original_values[v]), v == k) << clean_kind_name(static_cast<CleanKind>(k)) << " " << original_values[v];
    }
}
