// The "version" section: each file of the suite's five lists with its version and size,
// then the listing of the GSM driver directory.
#include "inventory/inventory_internal.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/system_dir.h"
#include "install/install.h"
#include "platform/platform.h"

enum { GSM_DIR_SIZE = 512, NATIVE_PATH_SIZE = LOCATE_PATH_SIZE + 16 };

int32_t file_size(const char *path)
{
    FILE *f = plat_fopen_text(path, "r");
    if (!f)
        return 0;
    std::fseek(f, 0, SEEK_END);
    long end = std::ftell(f);
    std::fclose(f);
    // A signed 32-bit byte count: a file of 2 GiB or more shows its low 32 bits, as the
    // Windows C runtime's ftell gives them.
    return static_cast<int32_t>(static_cast<uint32_t>(end));
}

void print_inventory_line(FILE *report, location_kind kind, const char *name)
{
    char path[LOCATE_PATH_SIZE];
    locate_file(kind, path, name);
    char native[NATIVE_PATH_SIZE];
    const char *read_path = native_file_path(path, native, sizeof native);
    const char *version = file_version(read_path);
    // The version text lives in file_version's buffer: printed before any further lookup.
    std::fprintf(report, "%-55s %-10s %9d\n", path, version ? version : "Not Found",
                 static_cast<int>(file_size(read_path)));
}

static void print_group(FILE *report, location_kind kind, const char *const *names)
{
    for (const char *const *name = names; *name; name++)
        print_inventory_line(report, kind, *name);
    std::fputs("\n", report);
}

void write_version_section(FILE *report)
{
    // The heading's version column is 14 wide, so that "Bytes" ends where the sizes end.
    std::fprintf(report, "%-55s %-14s %s\n", "Path\\Filename", "Version", "Bytes");
    print_group(report, LOC_INSTALL_DIR, install_files);
    print_group(report, LOC_SYSTEM_DIR, system_files);
    print_group(report, LOC_DRIVERS, driver_files);
    print_group(report, LOC_ISDN_DRIVERS, isdn_driver_files);
    print_group(report, LOC_ISDN_BIN, isdn_bin_files);

    char located[LOCATE_PATH_SIZE];
    locate_file(LOC_GSM, located, "");
    // The directory's path is composed in a 512-character buffer: a longer one is cut.
    char gsm_dir[GSM_DIR_SIZE];
    size_t n = std::strlen(located);
    if (n > sizeof gsm_dir - 1)
        n = sizeof gsm_dir - 1;
    std::memcpy(gsm_dir, located, n);
    gsm_dir[n] = '\0';
    list_directory(report, gsm_dir);
}
