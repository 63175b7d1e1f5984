// The tool runner: wmic, getmac and ipconfig started hidden by their full path in the
// system directory, their output captured in a temporary file that is read back and
// deleted again, and the probes of the sysinfo section built on them.
#include "probes/probes_internal.h"

#include "base/cpu_id.h"
#include "base/system_dir.h"

#include <cstdio>
#include <cstring>

char probe_result[PROBE_RESULT_SIZE];

uint32_t tool_time_limit_ms = TOOL_TIME_LIMIT_MS;

// Waits for a started tool until limit_ms after its start, ends it if it still runs
// then, and closes it.
static int finish_tool(plat_process child, uint32_t started_ms, uint32_t limit_ms)
{
    if (!child)
        return TOOL_NOT_STARTED;
    // Unsigned arithmetic: right across the wrap of the millisecond counter.
    uint32_t elapsed = plat_milliseconds() - started_ms;
    uint32_t left = elapsed >= limit_ms ? 0 : limit_ms - elapsed;
    int result = TOOL_ENDED;
    if (plat_wait_process(child, left) != PLAT_WAIT_ENDED) {
        // Still running (or not to be waited for): end it, so that nothing writes into
        // the capture after it has been read.
        plat_terminate_process(child);
        result = TOOL_ENDED_BY_LIMIT;
    }
    plat_close_process(child);
    return result;
}

int run_tool(const char *application, char *command_line, plat_handle capture, uint32_t limit_ms)
{
    uint32_t started = plat_milliseconds();
    return finish_tool(plat_start_process(application, command_line, capture), started, limit_ms);
}

// The full path of a tool below the system directory; 0 when it does not fit.
static int tool_path(const char *relative, char *dest, size_t size)
{
    char dir[PLAT_MAX_PATH];
    if (system_dir(dir, sizeof dir) == 0)
        return 0;
    int len = std::snprintf(dest, size, "%s\\%s", dir, relative);
    return len > 0 && static_cast<size_t>(len) < size ? 1 : 0;
}

// A new, empty capture file in the temporary directory; 0 when none can be made.
static int make_capture_file(char *name)
{
    char dir[PROBE_TEMP_DIR_SIZE];
    name[0] = '\0';
    uint32_t n = plat_temp_path(dir, sizeof dir);
    if (n == 0 || n >= sizeof dir)
        return 0;
    if (plat_temp_file_name(dir, "pbx", 0, name) == 0) {
        name[0] = '\0';
        return 0;
    }
    return 1;
}

// Keeps the allowed characters of a value row: ASCII letters and digits, '-', '.', '_'.
static bool wmic_char_allowed(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' ||
           c == '.' || c == '_';
}

int decode_wmic_text(const unsigned char *bytes, uint32_t count, char *output, int capacity, int wanted_line)
{
    // 16-bit units behind the byte-order mark; only the low byte of each counts.
    int line = wanted_line;
    int remaining = capacity;
    int kept = 0;
    for (uint32_t offset = 2; offset < count; offset += 2) {
        unsigned char c = bytes[offset];
        if (c == '\n')
            line--;
        if (line < 0)
            break; // past the wanted line nothing more is kept
        if (line == 0 && remaining > 0 && wmic_char_allowed(c)) {
            output[kept++] = static_cast<char>(c);
            remaining--;
        }
    }
    output[kept] = '\0';
    return kept;
}

int read_wmic_value(const char *file_name, char *output, int capacity, int wanted_line)
{
    output[0] = '\0';
    plat_handle file = plat_create_file(file_name, PLAT_GENERIC_READ, 0, PLAT_OPEN_EXISTING);
    if (!file) {
        plat_delete_file(file_name);
        return 0;
    }
    unsigned char bytes[WMIC_READ_MAX + 1];
    uint32_t got = 0;
    int read_ok = plat_read_file(file, bytes, WMIC_READ_MAX, &got);
    plat_close_handle(file);
    plat_delete_file(file_name);
    if (!read_ok)
        return 0;
    decode_wmic_text(bytes, got, output, capacity, wanted_line);
    return output[0] != '\0' ? 1 : 0;
}

// ---------------------------------------------------------------------------------------
// Tool runs: a tool started with its capture file, and later taken: waited for (within
// its limit from its own start), its output read, its capture deleted.

typedef int (*mac_extractor)(plat_handle capture, char *output, int size);

// A tool whose standard output goes into a capture that the program holds open.
struct capture_tool {
    const char *path;    // below the system directory
    const char *command; // its command line, as written
    mac_extractor extract;
};

// One tool run: begun (its capture made, the tool started) and not yet taken.
struct tool_run {
    bool begun;
    plat_process process;     // null when the tool could not be started
    plat_handle capture;      // a capture tool's standard output; null for wmic
    const capture_tool *tool; // null for wmic
    uint32_t started_ms;      // plat_milliseconds when it was started
    char file_name[PROBE_FILE_NAME_SIZE]; // the capture file, "" once gone
};

// The probes of the sysinfo section, each with a run of its own.
enum { PROBE_TOOL_MAC, PROBE_TOOL_COMPUTER_NAME, PROBE_TOOL_VOLUME, PROBE_TOOL_PROCESSOR, PROBE_TOOL_COUNT };

static const capture_tool getmac_tool = {"getmac.exe", "getmac -NH", find_mac2};
static const capture_tool ipconfig_tool = {"ipconfig.exe", "ipconfig.exe -all", find_mac};

static void begin_tool_run(tool_run *run, const capture_tool *tool, const char *wmic_query_text)
{
    run->begun = true;
    run->process = nullptr;
    run->capture = nullptr;
    run->tool = tool;
    run->started_ms = 0;
    run->file_name[0] = '\0';
    char application[PROBE_COMMAND_SIZE];
    if (!tool_path(tool ? tool->path : "wbem\\wmic.exe", application, sizeof application))
        return;
    if (!make_capture_file(run->file_name))
        return;
    char command_line[PROBE_COMMAND_SIZE];
    if (tool) {
        // Shared for deleting too: a tool may leave a process of its own behind that
        // still holds the capture; the file goes then as soon as that process ends.
        run->capture = plat_create_file(run->file_name, PLAT_GENERIC_READ | PLAT_GENERIC_WRITE,
                                        PLAT_FILE_SHARE_READ | PLAT_FILE_SHARE_WRITE | PLAT_FILE_SHARE_DELETE,
                                        PLAT_CREATE_ALWAYS);
        if (!run->capture) {
            plat_delete_file(run->file_name);
            run->file_name[0] = '\0';
            return;
        }
        std::snprintf(command_line, sizeof command_line, "%s", tool->command);
    } else {
        // wmic writes the file named in its command line itself; the name in quotes, so
        // that a temporary directory with blanks works.
        int n = std::snprintf(command_line, sizeof command_line, "wmic.exe /OUTPUT:\"%s\" %s", run->file_name,
                              wmic_query_text);
        if (n < 0 || static_cast<size_t>(n) >= sizeof command_line)
            return;
    }
    run->started_ms = plat_milliseconds();
    run->process = plat_start_process(application, command_line, run->capture);
}

// Ends a begun run: waits for its tool within limit_ms from its start (ends it there),
// reads its answer into probe_result where take is set, and deletes its capture.
// Returns 1 when an answer was read.
static int end_tool_run(tool_run *run, uint32_t limit_ms, bool take)
{
    if (!run->begun)
        return 0;
    int result = finish_tool(run->process, run->started_ms, limit_ms);
    int found = 0;
    if (run->tool) {
        // A tool that could not be started leaves the capture empty and the extractor
        // finds nothing; a tool ended at the limit may have written half its output: not
        // used.
        if (run->capture) {
            if (take && result != TOOL_ENDED_BY_LIMIT)
                found = run->tool->extract(run->capture, probe_result, PROBE_RESULT_SIZE - 1);
            plat_close_handle(run->capture);
        }
        if (run->file_name[0] != '\0')
            plat_delete_file(run->file_name);
    } else if (run->file_name[0] != '\0') {
        if (take && result == TOOL_ENDED)
            found = read_wmic_value(run->file_name, probe_result, PROBE_RESULT_SIZE - 1, 1);
        else
            plat_delete_file(run->file_name);
    }
    run->begun = false;
    run->process = nullptr;
    run->capture = nullptr;
    run->file_name[0] = '\0';
    return found;
}

// The runs that start_probes began, one for each probe of the sysinfo section.
static tool_run started_runs[PROBE_TOOL_COUNT];

// The tool of the MAC address probe: ipconfig up to Windows major version 5, getmac later.
static const capture_tool *mac_tool(void)
{
    uint32_t major = plat_get_version() & 0xFFu;
    return major <= 5 ? &ipconfig_tool : &getmac_tool;
}

static const char *const identifier_queries[PROBE_TOOL_COUNT] = {
    nullptr, "COMPUTERSYSTEM GET Name", "VOLUME GET DeviceID", "CPU GET ProcessorId"};

void start_probes(int identifiers)
{
    // In the order the section takes them.
    begin_tool_run(&started_runs[PROBE_TOOL_MAC], mac_tool(), nullptr);
    if (identifiers)
        for (int kind = PROBE_TOOL_COMPUTER_NAME; kind < PROBE_TOOL_COUNT; kind++)
            begin_tool_run(&started_runs[kind], nullptr, identifier_queries[kind]);
}

void end_probes(void)
{
    // What the section has not taken: ended now, its capture deleted, nothing read.
    for (tool_run &run : started_runs)
        end_tool_run(&run, 0, false);
}

// The probe's run: the one start_probes began, else one begun now.
static int take_run(int kind, const capture_tool *tool)
{
    probe_result[0] = '\0';
    tool_run *run = &started_runs[kind];
    if (!run->begun)
        begin_tool_run(run, tool, identifier_queries[kind]);
    return end_tool_run(run, tool_time_limit_ms, true);
}

// One tool run from start to end.
static int run_once(const capture_tool *tool, const char *query)
{
    probe_result[0] = '\0';
    tool_run run;
    begin_tool_run(&run, tool, query);
    return end_tool_run(&run, tool_time_limit_ms, true);
}

int wmic_query(const char *query)
{
    return run_once(nullptr, query);
}

// The getmac probe. Its name is the one its debug trace has always carried ("mkwmic:
// add '...'"), which readers of the traces know; it runs getmac, not wmic.
static int getmac_found(int found)
{
    if (found)
        debug_trace("mkwmic: add '%s'", probe_result);
    return found;
}

int mkwmic(void)
{
    return getmac_found(run_once(&getmac_tool, nullptr));
}

int ipconfig_mac(void)
{
    return run_once(&ipconfig_tool, nullptr);
}

int keep_wmic_characters(const char *text, char *output, int capacity)
{
    int kept = 0;
    for (const char *c = text; *c && kept < capacity; c++)
        if (wmic_char_allowed(static_cast<unsigned char>(*c)))
            output[kept++] = *c;
    output[kept] = '\0';
    return kept;
}

int format_processor_id(uint32_t eax, uint32_t edx, char *output, size_t size)
{
    // wmic's ProcessorId: EDX, then EAX, eight upper-case hexadecimal digits each.
    int n = std::snprintf(output, size, "%08X%08X", static_cast<unsigned>(edx), static_cast<unsigned>(eax));
    return n > 0 && static_cast<size_t>(n) < size ? n : 0;
}

// The system's own answers to wmic's three queries, in the form of wmic's value before
// its filter: the computer's name (plat_computer_name), the first volume as
// "\\?\Volume{GUID}\" (plat_first_volume; the filter keeps "Volume" and the GUID without
// its braces), the processor's identifier. The text's length in text (size characters),
// 0 when there is none.
typedef uint32_t (*system_answer_fn)(char *text, uint32_t size);

// The processor this program runs on; nothing where it has no CPUID leaf 1.
static uint32_t processor_answer(char *text, uint32_t size)
{
    uint32_t eax = 0, edx = 0;
    return cpu_id_leaf1(&eax, &edx) ? static_cast<uint32_t>(format_processor_id(eax, edx, text, size)) : 0;
}

// A wmic query's value; where wmic gives none (it is gone, as from Windows 11 24H2 and
// Windows Server 2025 on; it could not be started; it was ended at the limit; its output
// has no value row), the system's own answer, in wmic's form after its filter.
static const char *identifier_probe(int kind, system_answer_fn system_answer)
{
    if (!take_run(kind, nullptr)) {
        char text[PLAT_MAX_PATH];
        if (system_answer(text, sizeof text) > 0)
            keep_wmic_characters(text, probe_result, PROBE_RESULT_SIZE - 1);
    }
    return probe_result;
}

const char *probe_computer_name(void)
{
    return identifier_probe(PROBE_TOOL_COMPUTER_NAME, plat_computer_name);
}

const char *probe_volume_id(void)
{
    return identifier_probe(PROBE_TOOL_VOLUME, plat_first_volume);
}

const char *probe_processor_id(void)
{
    return identifier_probe(PROBE_TOOL_PROCESSOR, processor_answer);
}

const char *probe_mac_addresses(void)
{
    // The tool that start_probes began is the one asked for here: the version is the same.
    const capture_tool *tool = started_runs[PROBE_TOOL_MAC].begun ? started_runs[PROBE_TOOL_MAC].tool : mac_tool();
    int found = take_run(PROBE_TOOL_MAC, tool);
    if (tool == &getmac_tool)
        getmac_found(found);
    return probe_result;
}
