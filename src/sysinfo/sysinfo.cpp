// The sysinfo section: Windows version, first processor, physical memory, network
// adapters, computer name, MAC addresses and identifiers from the tool probes,
// installed updates, service pack, hotfixes and installed programs.
#include "sysinfo/sysinfo_internal.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/ascii_case.h"
#include "base/decimal.h"
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

// A string value's line: written only when the value holds text. A value larger than
// its buffer, empty, or of another type leaves the line out.
static void write_string_line(FILE *report, const char *label, const char *key, const char *name)
{
    char value[VALUE_SIZE];
    if (reg_read_text(key, name, value, sizeof value) > 0)
        std::fprintf(report, "%-18s %s\n", label, value);
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

// A list: its key, its line's label, and where an entry's text stands: the value of that
// name in the entry's subkey (down its chain of first children, two levels at most, when
// nested), or, without a value name, the subkey's name itself.
struct system_list {
    const char *key_path;
    const char *label;
    const char *value_name;
    bool nested;
};

// Writes the line of the list's entry at a position, if it has one. 0 when there is no
// subkey at the position (the walk ends there); else 1, with *wrote 1 when a line was
// written. An entry whose value can't be read writes nothing; the list goes on.
static int write_entry(FILE *report, const system_list &list, uint32_t position, reg_view view, int *wrote)
{
    char text[VALUE_SIZE];
    if (!list.value_name) {
        if (!reg_subkey_name(list.key_path, position, text, view))
            return 0;
    } else {
        reg_walk_result r = list.nested
                                ? reg_nested_value(list.key_path, position, list.value_name, text, sizeof text, view)
                                : reg_subkey_value(list.key_path, position, list.value_name, text, sizeof text, view);
        if (r != REG_VALUE_READ)
            return r != REG_NO_SUBKEY;
    }
    std::fprintf(report, "%-18s %s\n", list.label, text);
    *wrote = 1;
    return 1;
}

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

static int seen_name_match(ring_node *element, intptr_t name)
{
    const char *remembered = reinterpret_cast<seen_name *>(element)->name;
    return ascii_equal_folded(remembered, reinterpret_cast<const char *>(name)) ? 0 : 1;
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
        if (!write_entry(report, list, position, view, &wrote))
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

// A product's first description; a hotfix's name; a program's display name.
static const system_list updates_list = {updates_key, "Updates:", "Description", true};
static const system_list hotfix_list = {hotfix_key, "Hotfix:", nullptr, false};
static const system_list installed_list = {uninstall_key, "Installed:", "DisplayName", false};

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

// The computer name, volume and processor identifiers come from wmic on Windows Vista
// and later.
static bool identifier_lines(void)
{
    return os_version_major > 5;
}

void start_sysinfo_tools(void)
{
    start_probes(identifier_lines() ? 1 : 0);
}

void end_sysinfo_tools(void)
{
    end_probes();
}

void dump_sysinfo(FILE *report)
{
    std::fprintf(report, "%-18s %d.%d\n", "WindowsVersion:", static_cast<int>(os_version_major),
                 static_cast<int>(os_version_minor));

    write_string_line(report, "Processor:", processor_key, "ProcessorNameString");
    write_string_line(report, "VendorId:", processor_key, "VendorIdentifier");
    uint32_t mhz = 0;
    if (reg_read_dword(processor_key, "~MHz", &mhz))
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

    if (identifier_lines()) {
        // The probes share one result buffer: each text is written before the next runs.
        std::fprintf(report, "%s\n", probe_computer_name());
        std::fprintf(report, "%s\n", probe_volume_id());
        std::fprintf(report, "%s\n", probe_processor_id());
    }
    std::fputs("\n", report);

    if (os_version_major >= 5) {
        write_updates(report);
    } else if (os_version_major == 4) {
        char service_pack[VALUE_SIZE];
        if (reg_read_text(current_version_key, "CSDVersion", service_pack, sizeof service_pack) > 0)
            std::fprintf(report, "%-18s %s\n\n", "ServicePack:", service_pack);
    }
    if (os_version_major >= 4)
        write_hotfixes(report);

    write_list(report, installed_list);
}
