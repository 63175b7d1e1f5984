// Where the suite is installed, and the full paths of the files the report looks at.
#include "install/install_internal.h"

#include <cstdio>
#include <cstring>

#include "base/system_dir.h"
#include "base/text_copy.h"

enum { INSTALL_DIR_SIZE = 260, PROGRAM_FILES_SIZE = 4096, SYSTEM_DIR_SIZE = 520 };

static char install_dir_cache[INSTALL_DIR_SIZE];

const char *install_dir(void)
{
    if (install_dir_cache[0] != '\0')
        return install_dir_cache;
    reg_read_text(product_key_path(), "InstallationDirectory", install_dir_cache, sizeof install_dir_cache);
    return install_dir_cache;
}

const char *fallback_install_dir(void)
{
    static char path[PLAT_MAX_PATH];
    char program_files[PROGRAM_FILES_SIZE];
    static const char *const candidates[] = {"\\corvana\\corvana.Quendal", "\\MIRDEN\\KESTRA"};

    reg_read_text("Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir", program_files,
                  sizeof program_files);
    for (const char *candidate : candidates) {
        // A candidate that would not fit MAX_PATH is not tried: a cut path could name
        // some other directory.
        int len = std::snprintf(path, sizeof path, "%s%s", program_files, candidate);
        if (len > 0 && len < PLAT_MAX_PATH && plat_path_exists(path))
            return path;
    }
    path[0] = '\0';
    return path;
}

void locate_file(location_kind kind, char *dest, const char *name)
{
    dest[0] = '\0';
    const char *separator = "\\";
    if (kind == LOC_INSTALL_DIR) {
        const char *dir = install_dir();
        text_append(dest, LOCATE_PATH_SIZE, dir[0] != '\0' ? dir : fallback_install_dir());
    } else {
        char system[SYSTEM_DIR_SIZE];
        system_dir(system, sizeof system);
        text_append(dest, LOCATE_PATH_SIZE, system);
        switch (kind) {
        case LOC_DRIVERS:
            separator = "\\drivers\\";
            break;
        case LOC_ISDN_DRIVERS:
            separator = "\\drivers\\isdn\\";
            break;
        case LOC_ISDN_BIN:
            separator = "\\drivers\\isdn\\bin\\";
            break;
        case LOC_GSM:
            separator = "\\drivers\\isdn\\gsm";
            break;
        default:
            break;
        }
    }
    text_append(dest, LOCATE_PATH_SIZE, separator);
    text_append(dest, LOCATE_PATH_SIZE, name);
}

void install_reset_cache(void)
{
    install_dir_cache[0] = '\0';
    install_reset_identity();
}
