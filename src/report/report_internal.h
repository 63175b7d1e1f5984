// What the tests reach of the report driver besides report.h: the header line.
#ifndef TELINV_REPORT_INTERNAL_H
#define TELINV_REPORT_INTERNAL_H

#include <cstdio>
#include <ctime>

#include "report/report.h"

// The header line: the base name of the invocation name, the version of the program's
// own file, and the local time.
void print_header(FILE *report, const char *invocation_name);

// The header line from its parts; version null gives "(null)".
void write_header_line(FILE *report, const char *tool_name, const char *version, const struct tm *local);

// The part of path after its last backslash (a pointer into path).
const char *base_name(const char *path);

#endif
