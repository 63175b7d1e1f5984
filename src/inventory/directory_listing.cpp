// Directory listings: a heading with the directory's path, then one line per file with
// its name, local date and time of the last change, and its size.
#include "inventory/inventory_internal.h"

#include <cstdint>
#include <cstdio>

#include "base/decimal.h"
#include "base/system_dir.h"
#include "platform/platform.h"

enum { SEARCH_PATTERN_SIZE = 1024 };

static void print_entry(FILE *report, const plat_find_data *entry)
{
    plat_system_time local;
    if (!plat_file_time_to_local(entry->last_write_time, &local)) {
        local.year = 1601;
        local.month = 1;
        local.day = 1;
        local.hour = local.minute = local.second = 0;
    }
    // The whole size, also past 2 GiB, right-aligned in the same 11 characters.
    char size_text[U64_DIGITS_SIZE];
    format_u64((static_cast<uint64_t>(entry->size_high) << 32) | entry->size_low, size_text);
    std::fprintf(report, "%-44s %.2d-%.2d-%d %.2d:%.2d:%.2d %11s\n", entry->name, local.day, local.month, local.year,
                 local.hour, local.minute, local.second, size_text);
}

void list_directory(FILE *report, const char *dir)
{
    if (!dir || dir[0] == '\0')
        return;
    std::fprintf(report, "%-59s %-10s %s\n", dir, "Date", "Bytes");

    // A pattern that does not fit its buffer is not searched: a cut path could name some
    // other directory.
    char pattern[SEARCH_PATTERN_SIZE];
    int len = std::snprintf(pattern, sizeof pattern, "%s\\*", dir);
    if (len < 0 || len >= SEARCH_PATTERN_SIZE)
        return;
    char native[SEARCH_PATTERN_SIZE + 16];
    plat_find_data entry;
    plat_find search = plat_find_first(native_file_path(pattern, native, sizeof native), &entry);
    if (!search)
        return;
    do {
        // Sub directories (and "." and "..") are left out; every kind of file is listed.
        if (entry.attributes & PLAT_FILE_ATTRIBUTE_DIRECTORY)
            continue;
        print_entry(report, &entry);
    } while (plat_find_next(search, &entry));
    plat_find_close(search);
}
