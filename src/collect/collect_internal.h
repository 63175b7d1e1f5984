// What the tests and the fuzzers reach of the collection besides collect.h: the copies
// and the halves of the tail, the pieces of the configuration dump, the time pattern.
#ifndef TELINV_COLLECT_INTERNAL_H
#define TELINV_COLLECT_INTERNAL_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>

#include "collect/collect.h"
#include "collect/ring_list.h"

// Buffers of the copies. A line longer than its buffer holds is read as several
// pieces, each handled as a line of its own.
enum {
    COLLECT_PATH_SIZE = 776,
    SECTION_LINE_SIZE = 2048, // copy_file_section
    CARDS_LINE_SIZE = 4096,   // dump_pbxcards
    CONFIG_LINE_SIZE = 4096,  // dump_pbxcfg
    TAIL_LINE_SIZE = 1024,    // copy_file_tail: pieces of at most 1023 characters
    TAIL_PIECES = 500,        // how many pieces a tail holds
    TAIL_BLOCK_SIZE = 65536   // the blocks in which a tail is read from the end
};

// Copies a file without its blank and comment lines.
void copy_file_section(FILE *report, const char *path);
// Writes the last 500 lines of an open file, or "Empty\n".
void copy_file_tail(FILE *report, FILE *file);

// The last 500 lines of the file at path; when it can't be opened, the line of
// not_found_format (a format with one "%s", the path) instead.
void copy_log_tail(FILE *report, const char *path, const char *not_found_format);

// The two halves of copy_file_tail.
// The definition: counts the pieces, rewinds, skips all but the last 500, writes those.
void copy_file_tail_forward(FILE *report, FILE *file);
// The same output found from the end of the file, reading back in blocks of block_size
// bytes (at most TAIL_BLOCK_SIZE). Returns 1 when it wrote the tail; 0 when it wrote
// nothing and the forward passes must do it (not a disk file, a Ctrl-Z among the bytes
// it read, a read failure). *examined_from is the first byte offset it read.
int copy_file_tail_backward(FILE *report, FILE *file, uint32_t block_size, int64_t *examined_from);

// One TimeCfg entry of the configuration file.
struct time_cfg_entry {
    ring_node links;
    char *cfg_file;
    char *cfg_prefix; // null when the entry names no prefix
};

extern ring_node time_cfg_list;

// The pieces of the pbxcfg section, apart so that they can be driven without a registry.
// The configuration file's name from db.cfg's CfgName line (a pointer into line), or
// null when the line gives no name.
char *cfg_name_token(char *line);
// One line of the configuration file: written verbatim, then its TimeCfg, VoipGlobal
// or error-log entry taken. install is the installation directory. The line is changed.
void pbxcfg_line(FILE *report, char *line, const char *install);
// Frees an entry and its texts.
void free_time_cfg_entry(time_cfg_entry *entry);

enum { LOG_NAME_SIZE = 1024 };

// Expands a time pattern as the C library's strftime does in the C locale, for the
// local time tm whose offset from UTC is utc_offset_minutes (offset_known 0: none).
// Returns the length of the name in out (size characters), or -1 when the pattern has
// a conversion that strftime does not document or the name does not fit; out is then
// the empty text.
int expand_time_pattern(char *out, size_t size, const char *pattern, const struct tm *tm,
                        int utc_offset_minutes, int offset_known);

// The next token of *cursor as the C library's strtok finds it: delimiters in front
// are skipped, the token ends at the next delimiter, which is overwritten with the
// terminator; *cursor moves behind it. Null when only delimiters are left.
char *split_token(char **cursor, const char *delimiters);

#endif
