// System information: Windows version, processor, memory, adapters, identifiers,
// updates, hotfixes, installed programs; and the mail settings.
#ifndef TELINV_SYSINFO_H
#define TELINV_SYSINFO_H

#include <cstdint>
#include <cstdio>

void dump_sysinfo(FILE *report);

// An unsigned 64-bit number in decimal digits (at most 20 and the terminator).
enum { U64_DIGITS_SIZE = 21 };
void format_u64(uint64_t number, char out[U64_DIGITS_SIZE]);

void dump_tcpip_interfaces(FILE *report);
void dump_netbt_adapters(FILE *report);
// The current MAC address of the network card whose service is the adapter's name:
// 1 and six bytes in dest, or 0.
int query_card_mac(unsigned char dest[6], const char *adapter_name);
// The position in the NetworkCards list of the card whose "ServiceName" equals the
// adapter's name (compared without regard to ASCII case), its service name in service
// (size characters); -1 when no card serves the adapter.
int find_card(const char *adapter_name, char *service, uint32_t size);

void dump_email(FILE *report);

#endif
