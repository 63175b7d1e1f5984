// Network adapter lines of the sysinfo section: the TCP/IP interface keys (Windows 2000
// and later) or the NetBT adapter list (Windows NT 4), and the MAC address asked of the
// network card driver that serves each adapter.
#include "sysinfo/sysinfo.h"

#include <cstdio>
#include <cstring>

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

// The name of the subkey at a position of a list key, copied into name
// (ADAPTER_TEXT_SIZE characters): 0 at the end of the list.
static int list_subkey(const char *list_key, uint32_t position, char *name)
{
    char subkey[SUBKEY_NAME_SIZE];
    if (!reg_subkey_name(list_key, position, subkey))
        return 0;
    std::snprintf(name, ADAPTER_TEXT_SIZE, "%s", subkey);
    return 1;
}

// Reads a string value into text (ADAPTER_TEXT_SIZE characters, cleared first); the
// registry's byte count, or -1. Of a multi-string the first string shows.
static int read_text(const char *key, const char *name, char *text)
{
    std::memset(text, 0, ADAPTER_TEXT_SIZE);
    int n = reg_read_value(PLAT_HKEY_LOCAL_MACHINE, key, name, PLAT_REG_SZ, text, ADAPTER_TEXT_SIZE);
    if (n == -1)
        text[0] = '\0'; // whatever a failed read left there does not count
    text[ADAPTER_TEXT_SIZE - 1] = '\0';
    return n;
}

static int read_dhcp_flag(const char *key, uint32_t *flag)
{
    *flag = 0;
    return reg_read_value(PLAT_HKEY_LOCAL_MACHINE, key, "EnableDHCP", PLAT_REG_DWORD, flag, sizeof *flag) != -1;
}

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

static bool same_name(const char *a, const char *b)
{
    for (;; a++, b++) {
        char x = (*a >= 'a' && *a <= 'z') ? static_cast<char>(*a - 32) : *a;
        char y = (*b >= 'a' && *b <= 'z') ? static_cast<char>(*b - 32) : *b;
        if (x != y)
            return false;
        if (x == '\0')
            return true;
    }
}

int find_card(const char *adapter_name, char *service, uint32_t size)
{
    for (uint32_t position = 0;; position++) {
        int r = reg_subkey_value(network_cards_key, position, "ServiceName", service, size);
        if (r == 0)
            break;
        if (r == 2 && same_name(service, adapter_name))
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

void dump_tcpip_interfaces(FILE *report)
{
    static char name[ADAPTER_TEXT_SIZE];
    static char address[ADAPTER_TEXT_SIZE];
    static char name_server[ADAPTER_TEXT_SIZE];
    static char mask[ADAPTER_TEXT_SIZE];
    static char gateway[ADAPTER_TEXT_SIZE];
    for (uint32_t position = 0; list_subkey(interfaces_key, position, name); position++) {
        char key[ADAPTER_KEY_SIZE];
        int n = std::snprintf(key, sizeof key, "%s\\%s", interfaces_key, name);
        if (n < 0 || static_cast<size_t>(n) >= sizeof key)
            continue;
        uint32_t dhcp = 0;
        if (!read_dhcp_flag(key, &dhcp))
            continue;
        bool on = dhcp != 0;
        // Every buffer starts empty for each adapter.
        if (read_text(key, on ? "DhcpIpAddress" : "IpAddress", address) <= 0)
            continue;
        read_text(key, on ? "DhcpNameServer" : "NameServer", name_server);
        read_text(key, on ? "DhcpSubnetMask" : "SubnetMask", mask);
        read_text(key, on ? "DhcpDefaultGateway" : "DefaultGateway", gateway);
        if (std::strcmp(address, "0.0.0.0") == 0)
            continue;
        write_line(report, position, "DHCP:", on ? "Ja" : "Nein");
        write_line(report, position, "IPAdresse", address);
        write_line(report, position, "Dns", name_server);
        write_line(report, position, "SubnetMask", mask);
        write_line(report, position, "Gateway", gateway);
        write_mac_line(report, position, name);
    }
}

void dump_netbt_adapters(FILE *report)
{
    static char name[ADAPTER_TEXT_SIZE];
    static char address[ADAPTER_TEXT_SIZE];
    for (uint32_t position = 0; list_subkey(netbt_adapters_key, position, name); position++) {
        char key[ADAPTER_KEY_SIZE];
        int n = std::snprintf(key, sizeof key, "%s\\%s\\Parameters\\Tcpip", services_key, name);
        if (n < 0 || static_cast<size_t>(n) >= sizeof key)
            continue;
        uint32_t dhcp = 0;
        if (!read_dhcp_flag(key, &dhcp))
            continue;
        // Judged by its fixed address whatever the flag; a value without data passes.
        if (read_text(key, "IpAddress", address) == -1)
            continue;
        if (std::strcmp(address, "0.0.0.0") == 0)
            continue;
        write_line(report, position, "DHCP:", dhcp != 0 ? "Ja" : "Nein");
        write_line(report, position, "IPAdresse", address);
        write_mac_line(report, position, name);
    }
}
