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

int run_tool(const char *application, char *command_line, plat_handle capture, uint32_t limit_ms)
{
    plat_process child = plat_start_process(application, command_line, capture);
    if (!child)
        return TOOL_NOT_STARTED;
    int result = TOOL_ENDED;
    if (plat_wait_process(child, limit_ms) != PLAT_WAIT_ENDED) {
        // Still running (or not to be waited for): end it, so that nothing writes into
        // the capture after it has been read.
        plat_terminate_process(child);
        result = TOOL_ENDED_BY_LIMIT;
    }
    plat_close_process(child);
    return result;
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
    plat_handle file = plat_create_file(file_name, PLAT_GENERIC_READ, 0, 0, PLAT_OPEN_EXISTING);
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

int wmic_query(const char *query)
{
    probe_result[0] = '\0';
    char application[PROBE_COMMAND_SIZE];
    if (!tool_path("wbem\\wmic.exe", application, sizeof application))
        return 0;
    char file_name[PROBE_FILE_NAME_SIZE];
    if (!make_capture_file(file_name))
        return 0;
    // The file name in quotes, so that a temporary directory with blanks works.
    char command_line[PROBE_COMMAND_SIZE];
    int n = std::snprintf(command_line, sizeof command_line, "wmic.exe /OUTPUT:\"%s\" %s", file_name, query);
    if (n < 0 || static_cast<size_t>(n) >= sizeof command_line ||
        run_tool(application, command_line, nullptr, tool_time_limit_ms) != TOOL_ENDED) {
        plat_delete_file(file_name);
        return 0;
    }
    return read_wmic_value(file_name, probe_result, PROBE_RESULT_SIZE - 1, 1);
}

typedef int (*mac_extractor)(plat_handle capture, char *output, int size);

// Runs a tool with its standard output in a new capture file and hands the capture to
// the extractor; the capture file is gone when this returns.
static int capture_probe(const char *tool, const char *literal_command, mac_extractor extract)
{
    probe_result[0] = '\0';
    char application[PROBE_COMMAND_SIZE];
    if (!tool_path(tool, application, sizeof application))
        return 0;
    char file_name[PROBE_FILE_NAME_SIZE];
    if (!make_capture_file(file_name))
        return 0;
    // Shared for deleting too: a tool may leave a process of its own behind that still
    // holds the capture; the file goes then as soon as that process ends.
    plat_handle capture =
        plat_create_file(file_name, PLAT_GENERIC_READ | PLAT_GENERIC_WRITE,
                         PLAT_FILE_SHARE_READ | PLAT_FILE_SHARE_WRITE | PLAT_FILE_SHARE_DELETE, 1, PLAT_CREATE_ALWAYS);
    if (!capture) {
        plat_delete_file(file_name);
        return 0;
    }
    char command_line[PROBE_COMMAND_SIZE];
    std::snprintf(command_line, sizeof command_line, "%s", literal_command);
    // A tool that could not be started leaves the capture empty and the extractor finds
    // nothing; a tool ended at the limit may have written half its output: not used.
    int found = 0;
    if (run_tool(application, command_line, capture, tool_time_limit_ms) != TOOL_ENDED_BY_LIMIT)
        found = extract(capture, probe_result, PROBE_RESULT_SIZE - 1);
    plat_close_handle(capture);
    plat_delete_file(file_name);
    return found;
}

// The getmac probe. Its name is the one its debug trace has always carried ("mkwmic:
// add '...'"), which readers of the traces know; it runs getmac, not wmic.
int mkwmic(void)
{
    int found = capture_probe("getmac.exe", "getmac -NH", find_mac2);
    if (found)
        debug_trace("mkwmic: add '%s'", probe_result);
    return found;
}

int ipconfig_mac(void)
{
    return capture_probe("ipconfig.exe", "ipconfig.exe -all", find_mac);
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
static const char *identifier_probe(const char *query, system_answer_fn system_answer)
{
    if (!wmic_query(query)) {
        char text[PLAT_MAX_PATH];
        if (system_answer(text, sizeof text) > 0)
            keep_wmic_characters(text, probe_result, PROBE_RESULT_SIZE - 1);
    }
    return probe_result;
}

const char *probe_computer_name(void)
{
    return identifier_probe("COMPUTERSYSTEM GET Name", plat_computer_name);
}

const char *probe_volume_id(void)
{
    return identifier_probe("VOLUME GET DeviceID", plat_first_volume);
}

const char *probe_processor_id(void)
{
    return identifier_probe("CPU GET ProcessorId", processor_answer);
}

const char *probe_mac_addresses(void)
{
    uint32_t major = plat_get_version() & 0xFFu;
    if (major <= 5)
        ipconfig_mac();
    else
        mkwmic();
    return probe_result;
}
