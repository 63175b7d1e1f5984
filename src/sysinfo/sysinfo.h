// System information: Windows version, processor, memory, adapters, identifiers,
// updates, hotfixes, installed programs; and the mail settings.
#ifndef TELINV_SYSINFO_H
#define TELINV_SYSINFO_H

#include <cstdint>
#include <cstdio>

void dump_sysinfo(FILE *report);

void dump_tcpip_interfaces(FILE *report);
void dump_netbt_adapters(FILE *report);
// The current MAC address of the network card whose service is the adapter's name:
// 1 and six bytes in dest, or 0.
int query_card_mac(unsigned char dest[6], const char *adapter_name);

void dump_email(FILE *report);

#endif
