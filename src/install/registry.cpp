// The one registry read of the program, and the suite's identity values and key paths.
#include "install/install.h"

#include <cstdio>
#include <cstring>

enum { IDENTITY_SIZE = 64, KEY_PATH_SIZE = 128 };

static const char identity_key[] = "SOFTWARE\\KESTRA";

static bool is_string_kind(uint32_t type)
{
    return type == PLAT_REG_SZ || type == PLAT_REG_EXPAND_SZ || type == PLAT_REG_MULTI_SZ;
}

// The access mask for a view: the view flag only where a view other than the own is asked.
static uint32_t view_access(uint32_t access, reg_view view)
{
    return view == REG_VIEW_64 ? access | PLAT_KEY_WOW64_64KEY : access;
}

int reg_read_value(plat_root root, const char *sub_key, const char *value_name, uint32_t wanted_type, void *dest,
                   uint32_t capacity, reg_view view)
{
    plat_key key = nullptr;
    if (plat_reg_open(root, sub_key, view_access(PLAT_KEY_QUERY_VALUE, view), &key) != PLAT_ERROR_SUCCESS)
        return -1;
    uint32_t type = PLAT_REG_NONE;
    uint32_t size = capacity;
    long rc = plat_reg_query(key, value_name, &type, dest, &size);
    plat_reg_close(key);
    if (rc != PLAT_ERROR_SUCCESS)
        return -1;
    bool fits = wanted_type == PLAT_REG_SZ ? is_string_kind(type) : type == wanted_type;
    if (!fits)
        return -1;
    return static_cast<int>(size);
}

// Reads a string value of the identity key into buf (IDENTITY_SIZE bytes), or puts in the
// default. A text that fills the whole buffer without a terminator loses its last
// character to the terminator.
static const char *identity_value(char *buf, const char *value_name, const char *fallback)
{
    if (buf[0] != '\0')
        return buf;
    plat_key key = nullptr;
    bool found = false;
    if (plat_reg_open(PLAT_HKEY_LOCAL_MACHINE, identity_key, PLAT_KEY_QUERY_VALUE, &key) == PLAT_ERROR_SUCCESS) {
        uint32_t type = PLAT_REG_NONE;
        uint32_t size = IDENTITY_SIZE;
        long rc = plat_reg_query(key, value_name, &type, buf, &size);
        plat_reg_close(key);
        if (rc == PLAT_ERROR_SUCCESS && is_string_kind(type)) {
            buf[size < IDENTITY_SIZE ? size : IDENTITY_SIZE - 1] = '\0';
            found = true;
        }
    }
    if (!found)
        std::memcpy(buf, fallback, std::strlen(fallback) + 1);
    return buf;
}

static char company_buffer[IDENTITY_SIZE];
static char product_buffer[IDENTITY_SIZE];

const char *company_name(void)
{
    return identity_value(company_buffer, "Company", "MIRDEN");
}

const char *product_name(void)
{
    return identity_value(product_buffer, "Product", "MIRDEN.KESTRA");
}

void install_reset_identity(void)
{
    company_buffer[0] = '\0';
    product_buffer[0] = '\0';
}

// A path that would exceed its buffer is cut there (snprintf terminates it).
const char *product_key_path(void)
{
    static char path[KEY_PATH_SIZE];
    const char *company = company_name();
    if (std::snprintf(path, sizeof path, "SOFTWARE\\%s\\%s\\AllVersions", company, product_name()) < 0)
        path[0] = '\0';
    return path;
}

const char *product_subkey(const char *name)
{
    static char path[KEY_PATH_SIZE];
    if (std::snprintf(path, sizeof path, "SOFTWARE\\%s\\%s", company_name(), name) < 0)
        path[0] = '\0';
    return path;
}

// ---------------------------------------------------------------------------------------
// Registry walks

enum { SUBKEY_PATH_SIZE = 512 };

// Copies text into dest of size bytes, cut and terminated.
static void copy_cut(char *dest, uint32_t size, const char *text)
{
    if (size == 0)
        return;
    size_t n = std::strlen(text);
    if (n > size - 1)
        n = size - 1;
    std::memcpy(dest, text, n);
    dest[n] = '\0';
}

int reg_subkey_name(const char *key_path, uint32_t position, char *name, reg_view view)
{
    plat_key key = nullptr;
    if (plat_reg_open(PLAT_HKEY_LOCAL_MACHINE, key_path, view_access(PLAT_KEY_READ, view), &key) != PLAT_ERROR_SUCCESS)
        return 0;
    long rc = plat_reg_enum_key(key, position, name, SUBKEY_NAME_SIZE);
    plat_reg_close(key);
    if (rc != PLAT_ERROR_SUCCESS)
        return 0;
    name[SUBKEY_NAME_SIZE - 1] = '\0';
    return 1;
}

int reg_subkey_value(const char *key_path, uint32_t position, const char *value_name, char *dest, uint32_t size,
                     reg_view view)
{
    char name[SUBKEY_NAME_SIZE];
    if (!reg_subkey_name(key_path, position, name, view))
        return 0;

    char path[SUBKEY_PATH_SIZE];
    std::snprintf(path, sizeof path, "%s\\%s", key_path, name);
    if (size > 0) {
        dest[0] = '\0';
        int n = reg_read_value(PLAT_HKEY_LOCAL_MACHINE, path, value_name, PLAT_REG_SZ, dest, size, view);
        if (n > 0) {
            // The text ends at its stored count; one that fills the destination without a
            // terminator loses its last character.
            dest[static_cast<uint32_t>(n) < size ? n : size - 1] = '\0';
            return 2;
        }
    }
    copy_cut(dest, size, path);
    return 1;
}

int reg_nested_value(const char *key_path, uint32_t position, const char *value_name, char *dest, uint32_t size,
                     reg_view view)
{
    int r = reg_subkey_value(key_path, position, value_name, dest, size, view);
    if (r != 1)
        return r;
    // Down the chain of first children, two levels at most.
    for (int level = 0; level < 2; level++) {
        char path[SUBKEY_PATH_SIZE];
        copy_cut(path, sizeof path, dest);
        r = reg_subkey_value(path, 0, value_name, dest, size, view);
        if (r == 2)
            return 2;
        if (r == 0)
            return 1;
    }
    return 1;
}
