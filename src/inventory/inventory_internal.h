// What the tests reach of the file inventory besides inventory.h: the file lists, one
// inventory line, the file size, and the path through which a file is read.
#ifndef TELINV_INVENTORY_INTERNAL_H
#define TELINV_INVENTORY_INTERNAL_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "install/install.h"
#include "inventory/inventory.h"

// The path through which the inventory reads a file. A 32-bit program on 64-bit Windows
// is shown SysWOW64 where it asks for the system directory; the inventory wants the files
// really installed there, so a path under the system directory is read through the
// native system directory (plat_native_system_directory). Every other path, and every
// path where the program sees the native system directory anyway, is read as it is.
// Returns path itself, or out (size characters) holding the path to read; a path that
// would not fit out is read as it is. Reports print the path as given.
const char *native_file_path(const char *path, char *out, size_t size);

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
