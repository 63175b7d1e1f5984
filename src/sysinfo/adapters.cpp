#include "sysinfo/sysinfo.h"

void dump_tcpip_interfaces(FILE *report)
{
    (void)report;
}

void dump_netbt_adapters(FILE *report)
{
    (void)report;
}

int query_card_mac(unsigned char dest[6], const char *adapter_name)
{
    (void)dest;
    (void)adapter_name;
    return 0;
}
