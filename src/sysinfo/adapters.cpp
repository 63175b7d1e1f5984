// Network adapter lines of the sysinfo section: the TCP/IP interface keys (Windows 2000
// and later) or the NetBT adapter list (Windows NT 4), and the MAC address asked of the
// network card driver that serves each adapter.
#include "sysinfo/sysinfo_internal.h"

#include <cstdio>
#include <cstring>

#include "base/ascii_case.h"
#include "install/install.h"
#include "platform/platform.h"

enum {
    ADAPTER_TEXT_SIZE = 1024,
    ADAPTER_KEY_SIZE = 512,
    SERVICE_NAME_SIZE = 512,
    DEVICE_PATH_SIZE = 512,
    NDIS_QUERY_SIZE = 256
};

static const char interfaces_key[] = "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces";
static const char netbt_adapters_key[] = "SYSTEM\\CurrentControlSet\\Services\\NetBT\\Adapters";
static const char services_key[] = "SYSTEM\\CurrentControlSet\\Services";
static const char network_cards_key[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";

static const uint32_t ioctl_ndis_query_global_stats = 0x00170002u;
static const uint32_t oid_802_3_current_address = 0x01010102u;

static void write_line(FILE *report, uint32_t position, const char *label, const char *text)
{
    std::fprintf(report, "%d. %-15s %s\n", static_cast<int>(position + 1), label, text);
}

// The adapter's last line; without an address from its card the value stays empty.
static void write_mac_line(FILE *report, uint32_t position, const char *adapter_name)
{
    unsigned char mac[6];
    if (query_card_mac(mac, adapter_name))
        std::fprintf(report, "%d. %-15s %02X-%02X-%02X-%02X-%02X-%02X\n", static_cast<int>(position + 1), "MAC",
                     mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    else
        write_line(report, position, "MAC", "");
}

int find_card(const char *adapter_name, char *service, uint32_t size)
{
    for (uint32_t position = 0;; position++) {
        int r = reg_subkey_value(network_cards_key, position, "ServiceName", service, size);
        if (r == REG_NO_SUBKEY)
            break;
        if (r == REG_VALUE_READ && ascii_equal_folded(service, adapter_name))
            return static_cast<int>(position);
    }
    if (size > 0)
        service[0] = '\0';
    return -1;
}

int query_card_mac(unsigned char dest[6], const char *adapter_name)
{
    char service[SERVICE_NAME_SIZE];
    if (find_card(adapter_name, service, sizeof service) < 0)
        return 0;
    char device[DEVICE_PATH_SIZE];
    int n = std::snprintf(device, sizeof device, "\\\\.\\%s", service);
    if (n < 0 || static_cast<size_t>(n) >= sizeof device)
        return 0; // a cut name would name another device
    plat_handle h = plat_open_device(device);
    if (!h)
        return 0;
    unsigned char oid[4] = {
        static_cast<unsigned char>(oid_802_3_current_address & 0xFFu),
        static_cast<unsigned char>((oid_802_3_current_address >> 8) & 0xFFu),
        static_cast<unsigned char>((oid_802_3_current_address >> 16) & 0xFFu),
        static_cast<unsigned char>((oid_802_3_current_address >> 24) & 0xFFu),
    };
    unsigned char answer[NDIS_QUERY_SIZE];
    uint32_t returned = 0;
    int ok = plat_device_io_control(h, ioctl_ndis_query_global_stats, oid, sizeof oid, answer, sizeof answer,
                                    &returned);
    plat_close_handle(h);
    if (!ok || returned != 6)
        return 0;
    std::memcpy(dest, answer, 6);
    return 1;
}

// The lines of one adapter: its number (position + 1), its name (the subkey's), the key
// that holds its TCP/IP parameters, and whether DHCP is on.
typedef void (*adapter_writer)(FILE *report, uint32_t position, const char *name, const char *key, bool dhcp);

// Walks the adapters of a list key by position until there is no further subkey. Each
// adapter's parameters stand in the key "<base>\<name><suffix>"; an adapter whose key path
// does not fit, or whose DHCP flag can't be read, is passed over, its position counted.
static void walk_adapters(FILE *report, const char *list_key, const char *base, const char *suffix,
                          adapter_writer write)
{
    char name[SUBKEY_NAME_SIZE];
    for (uint32_t position = 0; reg_subkey_name(list_key, position, name); position++) {
        char key[ADAPTER_KEY_SIZE];
        int n = std::snprintf(key, sizeof key, "%s\\%s%s", base, name, suffix);
        if (n < 0 || static_cast<size_t>(n) >= sizeof key)
            continue;
        uint32_t dhcp = 0;
        if (!reg_read_dword(key, "EnableDHCP", &dhcp))
            continue;
        write(report, position, name, key, dhcp != 0);
    }
}

// Windows 2000 and later: the DHCP or the fixed values, as the flag says. An interface
// without an address, or with 0.0.0.0, writes nothing.
static void write_interface(FILE *report, uint32_t position, const char *name, const char *key, bool dhcp)
{
    // Every buffer starts empty for each adapter; of a multi-string the first string shows.
    char address[ADAPTER_TEXT_SIZE];
    char name_server[ADAPTER_TEXT_SIZE];
    char mask[ADAPTER_TEXT_SIZE];
    char gateway[ADAPTER_TEXT_SIZE];
    if (reg_read_text(key, dhcp ? "DhcpIpAddress" : "IpAddress", address, sizeof address) <= 0)
        return;
    reg_read_text(key, dhcp ? "DhcpNameServer" : "NameServer", name_server, sizeof name_server);
    reg_read_text(key, dhcp ? "DhcpSubnetMask" : "SubnetMask", mask, sizeof mask);
    reg_read_text(key, dhcp ? "DhcpDefaultGateway" : "DefaultGateway", gateway, sizeof gateway);
    if (std::strcmp(address, "0.0.0.0") == 0)
        return;
    write_line(report, position, "DHCP:", dhcp ? "Ja" : "Nein");
    write_line(report, position, "IPAdresse", address);
    write_line(report, position, "Dns", name_server);
    write_line(report, position, "SubnetMask", mask);
    write_line(report, position, "Gateway", gateway);
    write_mac_line(report, position, name);
}

// Windows NT 4: judged by the fixed address whatever the flag; a value without data
// passes, with an empty address.
static void write_netbt_adapter(FILE *report, uint32_t position, const char *name, const char *key, bool dhcp)
{
    char address[ADAPTER_TEXT_SIZE];
    if (reg_read_text(key, "IpAddress", address, sizeof address) == -1)
        return;
    if (std::strcmp(address, "0.0.0.0") == 0)
        return;
    write_line(report, position, "DHCP:", dhcp ? "Ja" : "Nein");
    write_line(report, position, "IPAdresse", address);
    write_mac_line(report, position, name);
}

void dump_tcpip_interfaces(FILE *report)
{
    walk_adapters(report, interfaces_key, interfaces_key, "", write_interface);
}

void dump_netbt_adapters(FILE *report)
{
    walk_adapters(report, netbt_adapters_key, services_key, "\\Parameters\\Tcpip", write_netbt_adapter);
}
