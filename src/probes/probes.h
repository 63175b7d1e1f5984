// Tool probes: wmic, getmac and ipconfig run hidden into capture files, and the texts
// taken from their output.
#ifndef TELINV_PROBES_H
#define TELINV_PROBES_H

enum { PROBE_RESULT_SIZE = 256 };

// The text of the last probe; every probe empties it first.
extern char probe_result[PROBE_RESULT_SIZE];

// Starts the tools of the sysinfo section's probes at once, each with its capture file
// and its own time limit counted from its own start, so that a full report waits only
// for the slowest of them: the MAC address tool always, the three wmic queries where
// identifiers is not 0. Each probe below then takes its started tool's answer (waiting
// for it within its limit) instead of running the tool itself; the answers are those
// of the tools run one after another. end_probes ends whatever was started and not
// taken, and deletes its capture; every run that calls start_probes calls it too.
void start_probes(int identifiers);
void end_probes(void);

// The probes of the sysinfo section; each returns probe_result, empty on failure. Where
// wmic gives no value, the three identifiers come from the system itself (the computer's
// name, the first volume, the processor's CPUID), in the form wmic's value would have.
const char *probe_computer_name(void);
const char *probe_volume_id(void);
const char *probe_processor_id(void);
const char *probe_mac_addresses(void);

#endif
