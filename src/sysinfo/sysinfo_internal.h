// What the tests reach of the system information besides sysinfo.h: the network adapter
// lines and the pairing of an adapter with its network card.
#ifndef TELINV_SYSINFO_INTERNAL_H
#define TELINV_SYSINFO_INTERNAL_H

#include <cstdint>
#include <cstdio>

#include "sysinfo/sysinfo.h"

// The adapter lines of the TCP/IP interface keys (Windows 2000 and later) and of the
// NetBT adapter list (Windows NT 4).
void dump_tcpip_interfaces(FILE *report);
void dump_netbt_adapters(FILE *report);

// The current MAC address of the network card whose service is the adapter's name:
// 1 and six bytes in dest, or 0.
int query_card_mac(unsigned char dest[6], const char *adapter_name);

// The position in the NetworkCards list of the card whose "ServiceName" equals the
// adapter's name (compared without regard to ASCII case), its service name in service
// (size characters); -1 when no card serves the adapter.
int find_card(const char *adapter_name, char *service, uint32_t size);

#endif
