// Configuration and log collection: file copies, the configuration dump, the error log.
#ifndef TELINV_COLLECT_H
#define TELINV_COLLECT_H

#include <cstdio>

#include "collect/ring_list.h"

enum { VOIP_DIR_SIZE = 776, ERROR_LOG_PATTERN_SIZE = 772 };

// Set by the pbxcfg section, read by the voip-files and error-log sections.
extern char voip_dir[VOIP_DIR_SIZE];
extern char error_log_pattern[ERROR_LOG_PATTERN_SIZE];

// Copies a file without its blank and comment lines.
void copy_file_section(FILE *report, const char *path);
// Writes the last 500 lines of an open file, or "Empty\n".
void copy_file_tail(FILE *report, FILE *file);

void dump_netcfg(FILE *report);
void dump_actcfg(FILE *report);
void dump_pbxboot(FILE *report);
void dump_pbxcards(FILE *report);
void dump_voip_files(FILE *report);
void dump_kamailio_err(FILE *report);

// One TimeCfg entry of the configuration file.
struct time_cfg_entry {
    ring_node links;
    char *cfg_file;
    char *cfg_prefix; // null when the entry names no prefix
};

extern ring_node time_cfg_list;

void dump_pbxcfg(FILE *report);
void dump_time_cfg_files(FILE *report);

void dump_error_log(FILE *report);

#endif
