#include "inventory/inventory.h"

int32_t file_size(const char *path)
{
    (void)path;
    return 0;
}

void print_inventory_line(FILE *report, int kind, const char *name)
{
    (void)report;
    (void)kind;
    (void)name;
}

void write_version_section(FILE *report)
{
    (void)report;
}
