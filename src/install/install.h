// Registry access, the suite's identity, the installation locator and registry walks.
#ifndef TELINV_INSTALL_H
#define TELINV_INSTALL_H

#include <cstdint>

#include "platform/platform.h"

// The registry view a read or a walk sees. REG_VIEW_OWN is the program's own: for the
// shipped 32-bit program on 64-bit Windows the 32-bit view. REG_VIEW_64 asks for the
// 64-bit view; give it only where plat_is_wow64 says so.
enum reg_view { REG_VIEW_OWN = 0, REG_VIEW_64 = 1 };

// Reads one value: the stored byte count, or -1 on any failure (key or value missing,
// value larger than the capacity, type not fitting). Wanted type PLAT_REG_SZ accepts
// every string kind; any other wanted type must equal the stored type.
int reg_read_value(plat_root root, const char *sub_key, const char *value_name, uint32_t wanted_type, void *dest,
                   uint32_t capacity, reg_view view = REG_VIEW_OWN);

// The suite's identity: "Company" and "Product" of HKLM\SOFTWARE\KESTRA, or the defaults.
const char *company_name(void);
const char *product_name(void);

// SOFTWARE\<Company>\<Product>\AllVersions, in a static buffer.
const char *product_key_path(void);
// SOFTWARE\<Company>\<name>, in a static buffer.
const char *product_subkey(const char *name);

// The installation directory (cached once found); empty when the suite is not installed.
const char *install_dir(void);
// An existing directory under Program Files where the suite may live, or "".
const char *fallback_install_dir(void);

// Where locate_file looks.
enum location_kind {
    LOC_INSTALL_DIR = 1,
    LOC_SYSTEM_DIR = 2,
    LOC_DRIVERS = 3,
    LOC_ISDN_DRIVERS = 4,
    LOC_ISDN_BIN = 5,
    LOC_GSM = 7
};

enum { LOCATE_PATH_SIZE = 776 };

// The full path of name for a location kind, into dest (LOCATE_PATH_SIZE characters).
void locate_file(int kind, char *dest, const char *name);

enum { SUBKEY_NAME_SIZE = 128 };

// The name of the subkey at a position of a key (opened with KEY_READ and closed again)
// into name (SUBKEY_NAME_SIZE characters): 1, or 0 when the key can't be opened, there
// is no subkey at the position, or its name does not fit.
int reg_subkey_name(const char *key_path, uint32_t position, char *name, reg_view view = REG_VIEW_OWN);

// One string value of the subkey at a position of a key: 0 no such subkey, 1 the subkey
// without a readable value (dest then holds the subkey's path), 2 the value is in dest.
int reg_subkey_value(const char *key_path, uint32_t position, const char *value_name, char *dest, uint32_t size,
                     reg_view view = REG_VIEW_OWN);
// The same, also looking two levels down the chain of first children.
int reg_nested_value(const char *key_path, uint32_t position, const char *value_name, char *dest, uint32_t size,
                     reg_view view = REG_VIEW_OWN);

// Forget the cached identity and installation directory (for tests that change the host).
void install_reset_cache(void);
void install_reset_identity(void);

#endif
