// The one registry read of the program, and the suite's identity values and key paths.
#include "install/install_internal.h"

#include <cstdio>
#include <cstring>

#include "base/text_copy.h"

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

int reg_read_text(const char *key_path, const char *value_name, char *text, uint32_t size, reg_view view)
{
    if (size == 0)
        return -1;
    int n = reg_read_value(PLAT_HKEY_LOCAL_MACHINE, key_path, value_name, PLAT_REG_SZ, text, size, view);
    if (n < 0)
        text[0] = '\0';
    else
        text[static_cast<uint32_t>(n) < size ? static_cast<uint32_t>(n) : size - 1] = '\0';
    return n;
}

int reg_read_dword(const char *key_path, const char *value_name, uint32_t *number)
{
    *number = 0;
    if (reg_read_value(PLAT_HKEY_LOCAL_MACHINE, key_path, value_name, PLAT_REG_DWORD, number, sizeof *number) != -1)
        return 1;
    *number = 0; // whatever a failed query left there does not count
    return 0;
}

// Reads a string value of the identity key into buf (IDENTITY_SIZE bytes), or puts in the
// default. A text that fills the whole buffer without a terminator loses its last
// character to the terminator.
static const char *identity_value(char *buf, const char *value_name, const char *fallback)
{
    if (buf[0] != '\0')
        return buf;
    if (reg_read_text(identity_key, value_name, buf, IDENTITY_SIZE) < 0)
        text_copy(buf, IDENTITY_SIZE, fallback);
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

reg_walk_result reg_subkey_value(const char *key_path, uint32_t position, const char *value_name, char *dest,
                                 uint32_t size, reg_view view)
{
    char name[SUBKEY_NAME_SIZE];
    if (!reg_subkey_name(key_path, position, name, view))
        return REG_NO_SUBKEY;

    char path[SUBKEY_PATH_SIZE];
    std::snprintf(path, sizeof path, "%s\\%s", key_path, name);
    if (reg_read_text(path, value_name, dest, size, view) > 0)
        return REG_VALUE_READ;
    text_copy(dest, size, path);
    return REG_SUBKEY_ONLY;
}

reg_walk_result reg_nested_value(const char *key_path, uint32_t position, const char *value_name, char *dest,
                                 uint32_t size, reg_view view)
{
    reg_walk_result r = reg_subkey_value(key_path, position, value_name, dest, size, view);
    if (r != REG_SUBKEY_ONLY)
        return r;
    // Down the chain of first children, two levels at most.
    for (int level = 0; level < 2; level++) {
        char path[SUBKEY_PATH_SIZE];
        text_copy(path, sizeof path, dest);
        r = reg_subkey_value(path, 0, value_name, dest, size, view);
        if (r == REG_VALUE_READ)
            return REG_VALUE_READ;
        if (r == REG_NO_SUBKEY)
            return REG_SUBKEY_ONLY; // a missing child ends the chain, not the caller's walk
    }
    return REG_SUBKEY_ONLY;
}
