#include "collect/collect.h"

char voip_dir[VOIP_DIR_SIZE];
char error_log_pattern[ERROR_LOG_PATTERN_SIZE];
ring_node time_cfg_list;

void dump_pbxcfg(FILE *report)
{
    (void)report;
}

void dump_time_cfg_files(FILE *report)
{
    (void)report;
}
