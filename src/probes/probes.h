// Tool probes: wmic, getmac and ipconfig run hidden into capture files, and the texts
// taken from their output.
#ifndef TELINV_PROBES_H
#define TELINV_PROBES_H

#include <cstdint>

#include "collect/ring_list.h"
#include "platform/platform.h"

enum { PROBE_RESULT_SIZE = 256 };

// The text of the last probe; every probe empties it first.
extern char probe_result[PROBE_RESULT_SIZE];

// How long a tool may run before it is ended.
enum : uint32_t { TOOL_TIME_LIMIT_MS = 120000u };

// Starts a tool by its full path and waits for it, at most limit_ms: 1 when it was
// started and has ended, 0 when it could not be started or had to be ended.
int run_tool(const char *application, char *command_line, plat_handle capture, uint32_t limit_ms);

int wmic_query(const char *query);
int read_wmic_value(const char *file_name, char *output, int capacity, int wanted_line);
int mkwmic(void);
int ipconfig_mac(void);

const char *probe_computer_name(void);
const char *probe_volume_id(void);
const char *probe_processor_id(void);
const char *probe_mac_addresses(void);

// MAC address extraction.
struct mac_entry {
    ring_node links;
    char text[32];
};

char *next_line(char *text);
int find_mac(plat_handle capture, char *output, int size);
int find_mac2(plat_handle capture, char *output, int size);
void mac_add(ring_node *head, const char *text);
int debug_trace(const char *format, ...);

#endif
