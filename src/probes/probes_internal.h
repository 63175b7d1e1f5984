// What the tests, the fuzzers and telinv_quick reach of the tool probes besides
// probes.h: the runner and its time limit, the steps of the probes, the parsing of the
// tools' output, and the debug trace.
#ifndef TELINV_PROBES_INTERNAL_H
#define TELINV_PROBES_INTERNAL_H

#include <cstddef>
#include <cstdint>

#include "collect/ring_list.h"
#include "platform/platform.h"
#include "probes/probes.h"

// How long a tool may run before it is ended.
enum : uint32_t { TOOL_TIME_LIMIT_MS = 120000u };

// The limit the probes give run_tool: TOOL_TIME_LIMIT_MS; tests shorten it.
extern uint32_t tool_time_limit_ms;

// Results of run_tool.
enum { TOOL_NOT_STARTED = 0, TOOL_ENDED = 1, TOOL_ENDED_BY_LIMIT = -1 };

// Starts a tool by its full path (never searched for) with its window hidden and waits
// for it, at most limit_ms. With a capture handle the tool's standard output is that
// handle. TOOL_ENDED when it was started and has ended; TOOL_NOT_STARTED when it could
// not be started; TOOL_ENDED_BY_LIMIT when it was still running at the limit (or could
// not be waited for) and has been terminated.
int run_tool(const char *application, char *command_line, plat_handle capture, uint32_t limit_ms);

// Size of the command line and capture file name buffers of one probe.
enum { PROBE_COMMAND_SIZE = 512, PROBE_FILE_NAME_SIZE = 512, PROBE_TEMP_DIR_SIZE = 256 };

// Runs "wmic.exe /OUTPUT:"<capture file>" <query>" and reads the first value row into
// probe_result: 1 when it is not empty.
int wmic_query(const char *query);
// Reads wmic's output file (UTF-16LE with a byte-order mark), keeps the allowed
// characters of the line at wanted_line (0 is the heading), at most capacity of them,
// and deletes the file: 1 when the output is not empty.
int read_wmic_value(const char *file_name, char *output, int capacity, int wanted_line);
// How much of wmic's output file counts.
enum { WMIC_READ_MAX = 4095 };
// The decoding of read_wmic_value over the bytes read: output holds capacity + 1
// characters. Returns the number of characters kept.
int decode_wmic_text(const unsigned char *bytes, uint32_t count, char *output, int capacity, int wanted_line);

// Keeps the characters of text that wmic's value row keeps (ASCII letters and digits,
// '-', '.', '_'), at most capacity of them, in output (capacity + 1 characters): the
// system's own answers take wmic's form so. Returns the number kept.
int keep_wmic_characters(const char *text, char *output, int capacity);
// wmic's ProcessorId from CPUID leaf 1: EDX, then EAX, eight upper-case hexadecimal
// digits each, into output (size characters): its length, 0 when it does not fit.
int format_processor_id(uint32_t eax, uint32_t edx, char *output, size_t size);

// getmac -NH into a capture, find_mac2 over it: 1 when addresses were found. (The name
// is the one its debug trace carries, "mkwmic: add '...'", though it runs getmac.)
int mkwmic(void);
// ipconfig.exe -all into a capture, find_mac over it: 1 when an address was found.
int ipconfig_mac(void);

// ---------------------------------------------------------------------------------------
// MAC address extraction.

// How much of a capture counts, and the length of an address as "%02X-...-%02X" writes it.
enum { MAC_READ_MAX = 4095, MAC_ENTRY_CHARS = 17 };

struct mac_entry {
    ring_node links;
    char text[32];
};

// Splits text into lines (a new split with text, the next line with null); a line
// ends at its first CR or LF. Null when the text is used up.
char *next_line(char *text);

// The first address after a ": " in an ipconfig listing, as "%02X-%02X-...": 1 when found.
int find_mac(plat_handle capture, char *output, int size);
// The first 17 characters of each non-empty getmac line after the first, sorted, each
// with a line feed, cut to size - 1 characters: 1 when there was at least one.
int find_mac2(plat_handle capture, char *output, int size);
// The parsing of find_mac and find_mac2 over a terminated, writable text (the text is
// split in place).
int find_mac_text(char *text, char *output, int size);
int find_mac2_text(char *text, char *output, int size);
// Adds a copy of text (at most 31 characters) to the MAC list, in order.
void mac_add(ring_node *head, const char *text);

// Formats a trace (wvsprintfA rules, at most 1023 characters) and hands it to the
// debug output; returns the number of characters formatted.
int debug_trace(const char *format, ...);
// Also receives every trace text when set (tests listen through it); null in the program.
extern void (*debug_trace_listener)(const char *text);

#endif
