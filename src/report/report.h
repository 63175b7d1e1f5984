// The report driver: command line, report file, section order, banners, header line.
#ifndef TELINV_REPORT_H
#define TELINV_REPORT_H

#include <cstdint>
#include <cstdio>
#include <ctime>

// The Windows version recorded once at start; the sysinfo section reads it.
extern uint32_t os_version_major;
extern uint32_t os_version_minor;

// Exit codes of a run: a full or a short report written; the report file could not be
// created; it could not be written whole (a full disk: what could be written stays).
enum { EXIT_FULL_REPORT = 0, EXIT_SHORT_REPORT = 1, EXIT_NO_REPORT_FILE = -4, EXIT_REPORT_NOT_WRITTEN = -5 };

// The whole run: records the version, writes telinv.txt in the current directory,
// returns the exit code. main() only calls this.
int telinv_main(int argc, char **argv);

// One section banner: 37 hyphens, the name, 37 hyphens, cut to 78 characters.
void print_banner(FILE *report, const char *name);

#endif
