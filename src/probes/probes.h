// Tool probes: wmic, getmac and ipconfig run hidden into capture files, and the texts
// taken from their output.
#ifndef TELINV_PROBES_H
#define TELINV_PROBES_H

enum { PROBE_RESULT_SIZE = 256 };

// The text of the last probe; every probe empties it first.
extern char probe_result[PROBE_RESULT_SIZE];

// The probes of the sysinfo section; each returns probe_result, empty on failure. Where
// wmic gives no value, the three identifiers come from the system itself (the computer's
// name, the first volume, the processor's CPUID), in the form wmic's value would have.
const char *probe_computer_name(void);
const char *probe_volume_id(void);
const char *probe_processor_id(void);
const char *probe_mac_addresses(void);

#endif
