// System information: Windows version, processor, memory, adapters, identifiers,
// updates, hotfixes, installed programs; and the mail settings.
#ifndef TELINV_SYSINFO_H
#define TELINV_SYSINFO_H

#include <cstdio>

// The body of the "sysinfo" section.
void dump_sysinfo(FILE *report);

// The body of the "email" section: the mail component's settings, or nothing when
// neither mail server is set.
void dump_email(FILE *report);

#endif
