// The sysinfo section: Windows version, first processor, physical memory, network
// adapters, computer name, MAC addresses and identifiers from the tool probes,
// installed updates, service pack, hotfixes and installed programs.
#include "sysinfo/sysinfo.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "collect/ring_list.h"

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

// ---------------------------------------------------------------------------------------
// The system's lists: installed updates, hotfixes and installed programs, one subkey of a
// key per entry.
//
// A 32-bit program on 64-bit Windows is shown the 32-bit view of these keys, while 64-bit
// software, and most of what a 64-bit Windows Server has installed, is registered in the
// 64-bit view. So under WOW64 each list is walked in the program's own view first, then
// in the 64-bit view, where a subkey whose name the first walk gave is left out.

// Writes the line of the list's entry at a position, if it has one. 0 when there is no
// subkey at the position (the walk ends there); else 1, with *wrote 1 when a line was
// written.
typedef int (*list_entry_fn)(FILE *report, uint32_t position, reg_view view, int *wrote);

struct system_list {
    const char *key_path;
    list_entry_fn entry;
};

// What the walks of a list reached: subkeys, and lines written.
struct list_count {
    uint32_t positions;
    uint32_t lines;
};

// A subkey name that the walk in the program's own view gave.
struct seen_name {
    ring_node links;
    char name[SUBKEY_NAME_SIZE];
};

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

static int seen_name_match(ring_node *element, intptr_t name)
{
    return same_name(reinterpret_cast<seen_name *>(element)->name, reinterpret_cast<const char *>(name)) ? 0 : 1;
}

// Remembers a name; without memory for it the name is not remembered, and its entry may
// show a second time from the 64-bit view.
static void remember_name(ring_node *seen, const char *name)
{
    seen_name *entry = static_cast<seen_name *>(std::calloc(1, sizeof(seen_name)));
    if (!entry)
        return;
    std::snprintf(entry->name, sizeof entry->name, "%s", name);
    ring_insert_before(seen, &entry->links);
}

static void forget_names(ring_node *seen)
{
    while (ring_node *node = ring_pop_first(seen))
        std::free(reinterpret_cast<seen_name *>(node));
}

// One walk of a list in one view. With seen: in the own view each subkey's name is
// remembered there; in the 64-bit view a subkey whose name is there is passed over.
static void walk_list(FILE *report, const system_list &list, reg_view view, ring_node *seen, list_count *count)
{
    for (uint32_t position = 0;; position++) {
        char name[SUBKEY_NAME_SIZE];
        if (seen) {
            if (!reg_subkey_name(list.key_path, position, name, view))
                break;
            if (view == REG_VIEW_64 && ring_find(seen, seen_name_match, reinterpret_cast<intptr_t>(name))) {
                count->positions++;
                continue;
            }
        }
        int wrote = 0;
        if (!list.entry(report, position, view, &wrote))
            break;
        count->positions++;
        count->lines += static_cast<uint32_t>(wrote);
        if (seen && view == REG_VIEW_OWN)
            remember_name(seen, name);
    }
}

// Writes a list's lines from the program's own view and, under WOW64, the 64-bit view.
static list_count write_list(FILE *report, const system_list &list)
{
    list_count count = {0, 0};
    if (!plat_is_wow64()) {
        walk_list(report, list, REG_VIEW_OWN, nullptr, &count);
        return count;
    }
    ring_node seen;
    ring_init(&seen);
    walk_list(report, list, REG_VIEW_OWN, &seen, &count);
    walk_list(report, list, REG_VIEW_64, &seen, &count);
    forget_names(&seen);
    return count;
}

// A product's first description down its chain of first children.
static int update_entry(FILE *report, uint32_t position, reg_view view, int *wrote)
{
    int r = reg_nested_value(updates_key, position, "Description", value, sizeof value, view);
    if (r == 2) {
        std::fprintf(report, "%-18s %s\n", "Updates:", value);
        *wrote = 1;
    }
    return r != 0;
}

static int hotfix_entry(FILE *report, uint32_t position, reg_view view, int *wrote)
{
    char name[SUBKEY_NAME_SIZE];
    if (!reg_subkey_name(hotfix_key, position, name, view))
        return 0;
    std::fprintf(report, "%-18s %s\n", "Hotfix:", name);
    *wrote = 1;
    return 1;
}

// An uninstall entry without a display name writes nothing; the list goes on.
static int installed_entry(FILE *report, uint32_t position, reg_view view, int *wrote)
{
    int r = reg_subkey_value(uninstall_key, position, "DisplayName", value, sizeof value, view);
    if (r == 2) {
        std::fprintf(report, "%-18s %s\n", "Installed:", value);
        *wrote = 1;
    }
    return r != 0;
}

static const system_list updates_list = {updates_key, update_entry};
static const system_list hotfix_list = {hotfix_key, hotfix_entry};
static const system_list installed_list = {uninstall_key, installed_entry};

// The updates end with an empty line once a walk has reached a product, also when no
// description was found.
static void write_updates(FILE *report)
{
    if (write_list(report, updates_list).positions > 0)
        std::fputs("\n", report);
}

static void write_hotfixes(FILE *report)
{
    if (write_list(report, hotfix_list).lines > 0)
        std::fputs("\n", report);
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

    write_list(report, installed_list);
}
