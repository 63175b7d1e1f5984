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

// The registry reads of the sections, all under HKEY_LOCAL_MACHINE, through
// reg_read_value. A string value (any string kind) into text, a buffer of size bytes,
// ended where the registry's byte count ends (a text that fills the buffer without a
// terminator loses its last character): the byte count, or -1 with text empty.
int reg_read_text(const char *key_path, const char *value_name, char *text, uint32_t size,
                  reg_view view = REG_VIEW_OWN);
// A REG_DWORD value: 1 with *number set, or 0 with *number 0.
int reg_read_dword(const char *key_path, const char *value_name, uint32_t *number);

// SOFTWARE\<Company>\<name>, the key of one of the suite's components, in a static buffer
// valid until the next call; Company is the suite's identity value, or its default.
const char *product_subkey(const char *name);

// The installation directory (cached once found); empty when the suite is not installed.
const char *install_dir(void);

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
void locate_file(location_kind kind, char *dest, const char *name);

enum { SUBKEY_NAME_SIZE = 128 };

// The name of the subkey at a position of a key (opened with KEY_READ and closed again)
// into name (SUBKEY_NAME_SIZE characters): 1, or 0 when the key can't be opened, there
// is no subkey at the position, or its name does not fit.
int reg_subkey_name(const char *key_path, uint32_t position, char *name, reg_view view = REG_VIEW_OWN);

// The results of the walks below.
enum reg_walk_result {
    REG_NO_SUBKEY = 0,   // no subkey at the position (or its name does not fit): the walk ends
    REG_SUBKEY_ONLY = 1, // the subkey without a readable value; dest holds the subkey's path
    REG_VALUE_READ = 2   // the value is in dest
};

// One string value of the subkey at a position of a key.
reg_walk_result reg_subkey_value(const char *key_path, uint32_t position, const char *value_name, char *dest,
                                 uint32_t size, reg_view view = REG_VIEW_OWN);
// The same, also looking two levels down the chain of first children.
reg_walk_result reg_nested_value(const char *key_path, uint32_t position, const char *value_name, char *dest,
                                 uint32_t size, reg_view view = REG_VIEW_OWN);

#endif
