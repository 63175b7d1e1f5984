#include "install/install.h"

int reg_read_value(plat_root root, const char *sub_key, const char *value_name, uint32_t wanted_type,
                   void *dest, uint32_t capacity)
{
    (void)root;
    (void)sub_key;
    (void)value_name;
    (void)wanted_type;
    (void)dest;
    (void)capacity;
    return -1;
}

const char *company_name(void)
{
    return "MIRDEN";
}

const char *product_name(void)
{
    return "MIRDEN.KESTRA";
}

const char *product_key_path(void)
{
    return "";
}

const char *product_subkey(const char *name)
{
    (void)name;
    return "";
}

const char *install_dir(void)
{
    return "";
}

const char *fallback_install_dir(void)
{
    return "";
}

void locate_file(int kind, char *dest, const char *name)
{
    (void)kind;
    (void)name;
    dest[0] = '\0';
}

int reg_subkey_value(const char *key_path, uint32_t position, const char *value_name, char *dest, uint32_t size)
{
    (void)key_path;
    (void)position;
    (void)value_name;
    (void)size;
    dest[0] = '\0';
    return 0;
}

int reg_nested_value(const char *key_path, uint32_t position, const char *value_name, char *dest, uint32_t size)
{
    return reg_subkey_value(key_path, position, value_name, dest, size);
}

void install_reset_cache(void)
{
}
