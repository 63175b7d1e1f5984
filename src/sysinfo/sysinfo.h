// System information: Windows version, processor, memory, adapters, identifiers,
// updates, hotfixes, installed programs; and the mail settings.
#ifndef TELINV_SYSINFO_H
#define TELINV_SYSINFO_H

#include <cstdio>

// The body of the "sysinfo" section.
void dump_sysinfo(FILE *report);

// Starts the system tools whose answers dump_sysinfo prints (getmac or ipconfig, and on
// Windows Vista and later the three wmic queries), so that they run while the sections
// before it are written and the section waits only for the slowest; end_sysinfo_tools
// ends any of them not taken and deletes their captures. A run that starts them ends
// them, on every path.
void start_sysinfo_tools(void);
void end_sysinfo_tools(void);

// The body of the "email" section: the mail component's settings, or nothing when
// neither mail server is set.
void dump_email(FILE *report);

#endif
