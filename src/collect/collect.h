// Configuration and log collection: the file sections, the configuration dump, the
// error log.
#ifndef TELINV_COLLECT_H
#define TELINV_COLLECT_H

#include <cstdio>

enum { VOIP_DIR_SIZE = 776, ERROR_LOG_PATTERN_SIZE = 772 };

// Set by the pbxcfg section, read by the voip-files and error-log sections.
extern char voip_dir[VOIP_DIR_SIZE];
extern char error_log_pattern[ERROR_LOG_PATTERN_SIZE];

// The bodies of the file sections.
void dump_netcfg(FILE *report);
void dump_actcfg(FILE *report);
void dump_pbxboot(FILE *report);
void dump_pbxcards(FILE *report);
void dump_voip_files(FILE *report);
void dump_kamailio_err(FILE *report);

// The pbxcfg section: the configuration file, then the files of its TimeCfg entries.
// Fills voip_dir and error_log_pattern.
void dump_pbxcfg(FILE *report);
void dump_time_cfg_files(FILE *report);

// The error-log section: the last 500 lines of the log that error_log_pattern names.
void dump_error_log(FILE *report);

#endif
