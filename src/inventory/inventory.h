// The file inventory: version resources, the "version" section, directory listings.
#ifndef TELINV_INVENTORY_H
#define TELINV_INVENTORY_H

#include <cstdio>

enum { VERSION_TEXT_SIZE = 128 };

// The "FileVersion" text of the file's version resource (first translation), in a
// static buffer valid until the next successful call; null when there is none.
const char *file_version(const char *path);

// The body of the "version" section.
void write_version_section(FILE *report);

// A heading and one line per file of the directory; nothing for an empty path.
void list_directory(FILE *report, const char *dir);

#endif
