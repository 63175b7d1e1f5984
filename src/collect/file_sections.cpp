#include "collect/collect.h"

void copy_file_section(FILE *report, const char *path)
{
    (void)report;
    (void)path;
}

void copy_file_tail(FILE *report, FILE *file)
{
    (void)report;
    (void)file;
}

void dump_netcfg(FILE *report)
{
    (void)report;
}

void dump_actcfg(FILE *report)
{
    (void)report;
}

void dump_pbxboot(FILE *report)
{
    (void)report;
}

void dump_pbxcards(FILE *report)
{
    (void)report;
}

void dump_voip_files(FILE *report)
{
    (void)report;
}

void dump_kamailio_err(FILE *report)
{
    (void)report;
}
