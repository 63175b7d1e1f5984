// What the tests reach of the file inventory besides inventory.h: the file lists, one
// inventory line, the file size.
#ifndef TELINV_INVENTORY_INTERNAL_H
#define TELINV_INVENTORY_INTERNAL_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "install/install.h"
#include "inventory/inventory.h"

// The file's size in bytes, 0 when it can't be opened for reading.
int32_t file_size(const char *path);

// One inventory line: path, version or "Not Found", size.
void print_inventory_line(FILE *report, location_kind kind, const char *name);

// The five inventory groups, each ending with a null name.
extern const char *const install_files[];
extern const char *const system_files[];
extern const char *const driver_files[];
extern const char *const isdn_driver_files[];
extern const char *const isdn_bin_files[];

#endif
