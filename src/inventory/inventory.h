// The file inventory: version resources, file sizes, directory listings.
#ifndef TELINV_INVENTORY_H
#define TELINV_INVENTORY_H

#include <cstdint>
#include <cstdio>

enum { VERSION_TEXT_SIZE = 128 };

// The "FileVersion" text of the file's version resource (first translation), in a
// static buffer valid until the next successful call; null when there is none.
const char *file_version(const char *path);

// The file's size in bytes, 0 when it can't be opened for reading.
int32_t file_size(const char *path);

// One inventory line: path, version or "Not Found", size.
void print_inventory_line(FILE *report, int kind, const char *name);

// The body of the "version" section.
void write_version_section(FILE *report);

// A heading and one line per file of the directory; nothing for an empty path.
void list_directory(FILE *report, const char *dir);

// The five inventory groups, each ending with a null name.
extern const char *const install_files[];
extern const char *const system_files[];
extern const char *const driver_files[];
extern const char *const isdn_driver_files[];
extern const char *const isdn_bin_files[];

#endif
