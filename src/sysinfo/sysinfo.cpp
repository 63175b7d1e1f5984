// The sysinfo section: Windows version, first processor, physical memory, network
// adapters, computer name, MAC addresses and identifiers from the tool probes,
// installed updates, service pack, hotfixes and installed programs.
#include "sysinfo/sysinfo.h"

#include <cstring>

#include "install/install.h"
#include "platform/platform.h"
#include "probes/probes.h"
#include "report/report.h"

enum { VALUE_SIZE = 4096 };

static const char processor_key[] = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
static const char current_version_key[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
static const char hotfix_key[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix";
static const char updates_key[] = "SOFTWARE\\Microsoft\\Updates";
static const char uninstall_key[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The one value buffer of the section; every string read replaces its content.
static char value[VALUE_SIZE];

// Reads a string value into the value buffer: 1 when it holds text.
static int read_string(const char *key, const char *name)
{
    std::memset(value, 0, sizeof value);
    if (reg_read_value(PLAT_HKEY_LOCAL_MACHINE, key, name, PLAT_REG_SZ, value, sizeof value) <= 0)
        return 0;
    value[sizeof value - 1] = '\0'; // a text stored without terminator loses its last character
    return 1;
}

static void write_string_line(FILE *report, const char *label, const char *key, const char *name)
{
    if (read_string(key, name))
        std::fprintf(report, "%-18s %s\n", label, value);
}

// An unsigned 64-bit number in decimal, without relying on the C runtime's 64-bit
// conversions (the system's own runtime of older Windows has none).
void format_u64(uint64_t number, char out[U64_DIGITS_SIZE])
{
    char digits[U64_DIGITS_SIZE];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + number % 10u);
        number /= 10u;
    } while (number != 0);
    for (int i = 0; i < n; i++)
        out[i] = digits[n - 1 - i];
    out[n] = '\0';
}

static void write_memory_line(FILE *report)
{
    char figure[U64_DIGITS_SIZE];
    format_u64(plat_total_physical_memory() / 1024000u, figure);
    std::fprintf(report, "%-18s %sMb\n", "PhysicalMemory:", figure);
}

static void write_updates(FILE *report)
{
    uint32_t position = 0;
    for (;; position++) {
        int r = reg_nested_value(updates_key, position, "Description", value, sizeof value);
        if (r == 0)
            break;
        if (r == 2)
            std::fprintf(report, "%-18s %s\n", "Updates:", value);
    }
    if (position > 0)
        std::fputs("\n", report);
}

static void write_hotfixes(FILE *report)
{
    int written = 0;
    for (uint32_t position = 0;; position++) {
        char name[SUBKEY_NAME_SIZE];
        if (!reg_subkey_name(hotfix_key, position, name))
            break;
        std::fprintf(report, "%-18s %s\n", "Hotfix:", name);
        written = 1;
    }
    if (written)
        std::fputs("\n", report);
}

static void write_installed_programs(FILE *report)
{
    for (uint32_t position = 0;; position++) {
        int r = reg_subkey_value(uninstall_key, position, "DisplayName", value, sizeof value);
        if (r == 0)
            break;
        if (r == 2)
            std::fprintf(report, "%-18s %s\n", "Installed:", value);
    }
}

void dump_sysinfo(FILE *report)
{
    std::fprintf(report, "%-18s %d.%d\n", "WindowsVersion:", static_cast<int>(os_version_major),
                 static_cast<int>(os_version_minor));

    write_string_line(report, "Processor:", processor_key, "ProcessorNameString");
    write_string_line(report, "VendorId:", processor_key, "VendorIdentifier");
    uint32_t mhz = 0;
    if (reg_read_value(PLAT_HKEY_LOCAL_MACHINE, processor_key, "~MHz", PLAT_REG_DWORD, &mhz, sizeof mhz) != -1)
        std::fprintf(report, "%-18s %d\n", "MHz:", static_cast<int>(mhz));
    write_string_line(report, "Identifier:", processor_key, "Identifier");

    write_memory_line(report);

    if (os_version_major >= 5)
        dump_tcpip_interfaces(report);
    else if (os_version_major == 4)
        dump_netbt_adapters(report);

    const char *computer = plat_getenv("COMPUTERNAME");
    if (computer)
        std::fprintf(report, "%-18s %s\n", "Computername ", computer);

    std::fputs("MacAddresses\n", report);
    std::fprintf(report, "%s\n", probe_mac_addresses());

    if (os_version_major > 5) {
        // The probes share one result buffer: each text is written before the next runs.
        std::fprintf(report, "%s\n", probe_computer_name());
        std::fprintf(report, "%s\n", probe_volume_id());
        std::fprintf(report, "%s\n", probe_processor_id());
    }
    std::fputs("\n", report);

    if (os_version_major >= 5) {
        write_updates(report);
    } else if (os_version_major == 4) {
        if (read_string(current_version_key, "CSDVersion"))
            std::fprintf(report, "%-18s %s\n\n", "ServicePack:", value);
    }
    if (os_version_major >= 4)
        write_hotfixes(report);

    write_installed_programs(report);
}
