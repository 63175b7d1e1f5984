#include <gtest/gtest.h>

#include <string>

#include "install/install.h"
#include "sysinfo/sysinfo_internal.h"
#include "sysinfo_fixture.h"
#include "test_host.h"
#include "test_support.h"

namespace {

const std::string interfaces = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\";
const std::string services = "SYSTEM\\CurrentControlSet\\Services\\";
const std::string cards = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards\\";

std::string guid(int n)
{
    return "{" + std::string(8, static_cast<char>('0' + n)) + "-0000-0000-0000-00000000000" + std::to_string(n) + "}";
}

std::string six_rows(int n, const char *dhcp, const std::string &ip, const std::string &dns, const std::string &mask,
                     const std::string &gateway)
{
    return adapter_row(n, "DHCP:", dhcp) + adapter_row(n, "IPAdresse", ip) + adapter_row(n, "Dns", dns) +
           adapter_row(n, "SubnetMask", mask) + adapter_row(n, "Gateway", gateway) + adapter_row(n, "MAC", "");
}

#define SIMULATED_ONLY()                                                                                               \
    if (!test_host::simulated())                                                                                       \
    GTEST_SKIP() << "under Wine the adapter and network card keys are Wine's own"

} // namespace

TEST(TcpipInterfaces, ListedPassedOverAndNumbered)
{
    SIMULATED_ONLY();
    test_host host;
    host.registry(
        // 1: static with several addresses: the first of each.
        key(interfaces + guid(1)) + "\"EnableDHCP\"=dword:00000000\n\"IpAddress\"=" +
        multi_string({"192.168.10.20", "192.168.10.21"}) + "\n\"SubnetMask\"=" +
        multi_string({"255.255.255.0", "255.255.0.0"}) + "\n\"DefaultGateway\"=" + multi_string({"192.168.10.1"}) +
        "\n\"NameServer\"=\"192.168.10.2\"\n" +
        // 2: DHCP on without a DHCP address: passed over, its number stays taken.
        key(interfaces + guid(2)) + "\"EnableDHCP\"=dword:00000001\n\"IpAddress\"=\"1.1.1.1\"\n" +
        // 3: no address yet.
        key(interfaces + guid(3)) + "\"EnableDHCP\"=dword:00000000\n\"IpAddress\"=\"0.0.0.0\"\n" +
        // 4: a flag of 2 is on; no name server: an empty Dns line after one that had it.
        key(interfaces + guid(4)) + "\"EnableDHCP\"=dword:00000002\n\"DhcpIpAddress\"=\"10.0.5.17\"\n" +
        "\"DhcpSubnetMask\"=\"255.255.0.0\"\n\"DhcpDefaultGateway\"=" + multi_string({"10.0.0.1"}) +
        "\n\"NameServer\"=\"9.9.9.9\"\n" +
        // 5: no flag; 6: an address without data; 7: the flag of the wrong type.
        key(interfaces + guid(5)) + "\"IpAddress\"=\"5.5.5.5\"\n" + key(interfaces + guid(6)) +
        "\"EnableDHCP\"=dword:00000000\n\"IpAddress\"=hex(1):\n" + key(interfaces + guid(7)) +
        "\"EnableDHCP\"=\"0\"\n\"IpAddress\"=\"7.7.7.7\"\n" +
        // 8: listed, with only its address.
        key(interfaces + guid(8)) + "\"EnableDHCP\"=dword:00000000\n\"IpAddress\"=\"8.8.8.8\"\n");
    EXPECT_EQ(report_of(dump_tcpip_interfaces),
              six_rows(1, "Nein", "192.168.10.20", "192.168.10.2", "255.255.255.0", "192.168.10.1") +
                  six_rows(4, "Ja", "10.0.5.17", "", "255.255.0.0", "10.0.0.1") +
                  six_rows(8, "Nein", "8.8.8.8", "", "", ""));
    // The exact form of a line without a value: the label padded, a blank, nothing.
    EXPECT_NE(report_of(dump_tcpip_interfaces).find("\n8. MAC             \n"), std::string::npos);
}

TEST(NetbtAdapters, JudgedByTheFixedAddress)
{
    SIMULATED_ONLY();
    test_host host;
    host.registry(key(services + "NetBT\\Adapters\\E100B1") + key(services + "NetBT\\Adapters\\E100B2") +
                  key(services + "NetBT\\Adapters\\E100B3") + key(services + "NetBT\\Adapters\\E100B4") +
                  key(services + "E100B1\\Parameters\\Tcpip") + "\"EnableDHCP\"=dword:00000001\n" +
                  "\"IpAddress\"=\"192.168.1.5\"\n\"DhcpIpAddress\"=\"10.1.1.1\"\n" +
                  key(services + "E100B2\\Parameters\\Tcpip") + "\"EnableDHCP\"=dword:00000000\n" +
                  "\"IpAddress\"=hex(1):\n" + key(services + "E100B3\\Parameters\\Tcpip") +
                  "\"EnableDHCP\"=dword:00000001\n\"IpAddress\"=\"0.0.0.0\"\n" +
                  key(services + "E100B4\\Parameters\\Tcpip") + "\"EnableDHCP\"=dword:00000000\n");
    EXPECT_EQ(report_of(dump_netbt_adapters),
              adapter_row(1, "DHCP:", "Ja") + adapter_row(1, "IPAdresse", "192.168.1.5") + adapter_row(1, "MAC", "") +
                  adapter_row(2, "DHCP:", "Nein") + adapter_row(2, "IPAdresse", "") + adapter_row(2, "MAC", ""));
}

TEST(NetworkCards, PairedWithTheAdapterByServiceName)
{
    SIMULATED_ONLY();
    test_host host;
    // The cards in another order than the interfaces, one without a service name.
    host.registry(key(cards + "1") + "\"Description\"=\"no service\"\n" + key(cards + "2") + "\"ServiceName\"=\"" +
                  guid(4) + "\"\n" + key(cards + "7") + "\"ServiceName\"=\"" + guid(1) + "\"\n");
    char service[512];
    EXPECT_EQ(find_card(guid(1).c_str(), service, sizeof service), 2);
    EXPECT_EQ(std::string(service), guid(1));
    EXPECT_EQ(find_card(guid(4).c_str(), service, sizeof service), 1);
    // An adapter without a card of its name gets none, whatever stands at its position.
    EXPECT_EQ(find_card(guid(2).c_str(), service, sizeof service), -1);
    EXPECT_STREQ(service, "");
    unsigned char mac[6];
    EXPECT_EQ(query_card_mac(mac, guid(2).c_str()), 0);
    // The simulated host has no card drivers: a card found still gives no address.
    EXPECT_EQ(query_card_mac(mac, guid(1).c_str()), 0);
}

TEST(NetworkCards, ServiceNamesCompareWithoutRegardToCase)
{
    // On the host build two cards of this test; under Wine, Wine's own cards (it keeps
    // their key volatile, so a test can't add any), whose service names hold letters too.
    test_host host;
    if (test_host::simulated())
        host.registry(key(cards + "9901") + "\"ServiceName\"=\"{AB12CD34-EF56-7890-ABCD-EF1234567890}\"\n" +
                      key(cards + "9902") + "\"ServiceName\"=\"E1G60I32\"\n");
    const std::string list = cards.substr(0, cards.size() - 1);
    int with_letters = 0;
    for (uint32_t position = 0;; position++) {
        char stored[512];
        reg_walk_result r = reg_subkey_value(list.c_str(), position, "ServiceName", stored, sizeof stored);
        if (r == REG_NO_SUBKEY)
            break;
        std::string lower = stored;
        for (char &c : lower)
            c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (r != REG_VALUE_READ || lower == stored)
            continue;
        with_letters++;
        // The interface's subkey names the service in another case than the card does.
        char service[512];
        EXPECT_EQ(find_card(lower.c_str(), service, sizeof service), static_cast<int>(position)) << stored;
        EXPECT_STREQ(service, stored);
        // Case is all that may differ.
        EXPECT_EQ(find_card((lower + "x").c_str(), service, sizeof service), -1) << stored;
    }
    EXPECT_GT(with_letters, 0) << "no card's service name holds a letter";
}
