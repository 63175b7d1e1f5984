// MAC address extraction from captured getmac and ipconfig output, the line splitter
// both use, and the debug trace of the probes.
//
// Each extractor reads its capture once and hands the text to a parser that works on a
// plain buffer (find_mac_text, find_mac2_text), so the parsing runs without any file.
#include "probes/probes_internal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/text_copy.h"

void (*debug_trace_listener)(const char *text) = nullptr;

int debug_trace(const char *format, ...)
{
    char text[PLAT_DEBUG_TEXT_MAX];
    va_list args;
    va_start(args, format);
    int n = plat_format_debug(text, format, args);
    va_end(args);
    plat_debug_output(text);
    if (debug_trace_listener)
        debug_trace_listener(text);
    return n;
}

// Where the current split goes on; null when no split is under way.
static char *line_continuation = nullptr;

char *next_line(char *text)
{
    char *start = text ? text : line_continuation;
    if (!start)
        return nullptr;
    for (char *p = start; *p; p++) {
        if (*p == '\r') {
            *p = '\0';
        } else if (*p == '\n') {
            *p = '\0';
            line_continuation = p + 1;
            return start;
        }
    }
    line_continuation = nullptr;
    return start;
}

// Reads the whole capture from its start, at most MAC_READ_MAX bytes, and terminates it.
static int read_capture(plat_handle capture, char *text)
{
    uint32_t got = 0;
    if (!plat_seek_file(capture, 0) || !plat_read_file(capture, text, MAC_READ_MAX, &got))
        return 0;
    text[got] = '\0';
    return 1;
}

int find_mac_text(char *text, char *output, int size)
{
    if (size > 0)
        output[0] = '\0';
    next_line(text); // the first line is never examined
    for (char *line = next_line(nullptr); line; line = next_line(nullptr)) {
        const char *colon = std::strstr(line, ": ");
        if (!colon)
            continue;
        unsigned int b[6];
        if (std::sscanf(colon + 2, "%x-%x-%x-%x-%x-%x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]) < 6)
            continue;
        if (size > 0)
            std::snprintf(output, static_cast<size_t>(size), "%02X-%02X-%02X-%02X-%02X-%02X", b[0], b[1], b[2],
                          b[3], b[4], b[5]);
        break;
    }
    // The split is over; nothing may go on with this buffer.
    line_continuation = nullptr;
    return size > 0 && output[0] != '\0' ? 1 : 0;
}

// Reads the capture and hands its text to a parser; a capture that can't be read gives
// the trace cant_read and 0, with the output empty.
static int extract_from_capture(plat_handle capture, char *output, int size, int (*parse)(char *, char *, int),
                                const char *cant_read)
{
    char text[MAC_READ_MAX + 1];
    if (size > 0)
        output[0] = '\0';
    if (!read_capture(capture, text)) {
        debug_trace("%s", cant_read);
        return 0;
    }
    return parse(text, output, size);
}

int find_mac(plat_handle capture, char *output, int size)
{
    return extract_from_capture(capture, output, size, find_mac_text, "find_mac: cant read");
}

// Ascending order of the texts, bytes compared as unsigned values.
static int mac_entry_compare(ring_node *a, ring_node *b)
{
    const unsigned char *x = reinterpret_cast<const unsigned char *>(reinterpret_cast<mac_entry *>(a)->text);
    const unsigned char *y = reinterpret_cast<const unsigned char *>(reinterpret_cast<mac_entry *>(b)->text);
    while (*x && *x == *y) {
        x++;
        y++;
    }
    return static_cast<int>(*x) - static_cast<int>(*y);
}

void mac_add(ring_node *head, const char *text)
{
    mac_entry *entry = static_cast<mac_entry *>(std::malloc(sizeof(mac_entry)));
    if (!entry) {
        debug_trace("mac_add: malloc failed");
        return;
    }
    std::memset(entry, 0, sizeof *entry);
    text_copy(entry->text, sizeof entry->text, text);
    ring_insert_sorted(head, &entry->links, mac_entry_compare);
}

int find_mac2_text(char *text, char *output, int size)
{
    ring_node list;
    ring_init(&list);
    if (size > 0)
        output[0] = '\0';
    debug_trace("find_mac2: tmp '%s'", text);

    next_line(text); // the first line is never examined
    for (char *line = next_line(nullptr); line; line = next_line(nullptr)) {
        debug_trace("find_mac2: lin '%s'", line);
        if (line[0] == '\0')
            continue;
        // The address part of a line and a line feed behind it; a shorter line whole.
        char entry[MAC_ENTRY_CHARS + 2];
        size_t n = std::strlen(line);
        if (n >= MAC_ENTRY_CHARS) {
            std::memcpy(entry, line, MAC_ENTRY_CHARS);
            entry[MAC_ENTRY_CHARS] = '\n';
            entry[MAC_ENTRY_CHARS + 1] = '\0';
        } else {
            std::memcpy(entry, line, n + 1);
        }
        mac_add(&list, entry);
    }
    line_continuation = nullptr;

    if (list.next == &list) {
        debug_trace("find_mac2: no mac found");
        return 0;
    }
    // Front to back; the output holds at most size - 1 characters, the entry that
    // crosses that limit is cut there and the ones after it add nothing.
    while (list.next != &list) {
        mac_entry *e = reinterpret_cast<mac_entry *>(ring_unlink(list.next));
        if (size > 0)
            text_append(output, static_cast<size_t>(size), e->text);
        std::free(e);
    }
    return 1;
}

int find_mac2(plat_handle capture, char *output, int size)
{
    return extract_from_capture(capture, output, size, find_mac2_text, "find_mac2: cant read");
}
