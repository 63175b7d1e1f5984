// Where the suite is installed, and the full paths of the files the report looks at.
#include "install/install.h"

#include <cstdio>
#include <cstring>

enum { INSTALL_DIR_SIZE = 260, PROGRAM_FILES_SIZE = 4096, SYSTEM_DIR_SIZE = 520 };

static char install_dir_cache[INSTALL_DIR_SIZE];

const char *install_dir(void)
{
    if (install_dir_cache[0] != '\0')
        return install_dir_cache;
    int n = reg_read_value(PLAT_HKEY_LOCAL_MACHINE, product_key_path(), "InstallationDirectory", PLAT_REG_SZ,
                           install_dir_cache, sizeof install_dir_cache);
    if (n < 0)
        install_dir_cache[0] = '\0';
    else
        install_dir_cache[n < INSTALL_DIR_SIZE ? n : INSTALL_DIR_SIZE - 1] = '\0';
    return install_dir_cache;
}

const char *fallback_install_dir(void)
{
    static char path[PLAT_MAX_PATH];
    static char program_files[PROGRAM_FILES_SIZE];
    static const char *const candidates[] = {"\\corvana\\corvana.Quendal", "\\MIRDEN\\KESTRA"};

    std::memset(program_files, 0, sizeof program_files);
    int n = reg_read_value(PLAT_HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                           PLAT_REG_SZ, program_files, sizeof program_files);
    if (n < 0)
        program_files[0] = '\0';
    else
        program_files[n < PROGRAM_FILES_SIZE ? n : PROGRAM_FILES_SIZE - 1] = '\0';
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

// Appends text to dest (LOCATE_PATH_SIZE characters) as far as it fits.
static void append_cut(char *dest, const char *text)
{
    size_t used = std::strlen(dest);
    size_t room = LOCATE_PATH_SIZE - 1 - used;
    size_t n = std::strlen(text);
    if (n > room)
        n = room;
    std::memcpy(dest + used, text, n);
    dest[used + n] = '\0';
}

void locate_file(int kind, char *dest, const char *name)
{
    dest[0] = '\0';
    const char *separator = "\\";
    if (kind == LOC_INSTALL_DIR) {
        const char *dir = install_dir();
        append_cut(dest, dir[0] != '\0' ? dir : fallback_install_dir());
    } else {
        char system_dir[SYSTEM_DIR_SIZE];
        uint32_t n = plat_system_directory(system_dir, SYSTEM_DIR_SIZE - 1);
        if (n == 0 || n >= SYSTEM_DIR_SIZE - 1)
            system_dir[0] = '\0';
        append_cut(dest, system_dir);
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
    append_cut(dest, separator);
    append_cut(dest, name);
}

void install_reset_cache(void)
{
    install_dir_cache[0] = '\0';
    install_reset_identity();
}
