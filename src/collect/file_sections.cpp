// Copies of the installation's text files into the report: filtered configuration
// files, verbatim logs, and the last 500 lines of long logs.
#include "collect/collect_internal.h"

#include <cstring>

#include "base/system_dir.h"
#include "base/text_copy.h"
#include "install/install.h"
#include "platform/platform.h"
#include "report/report.h"

static const char *const voip_file_names[] = {"CFG.TCL",  "TS.TCL",   "GLOBALS.TCL", "STUN.TXT",
                                              "USER.TXT", "SIPSERV.TXT", "VFILES.TXT",  "RESOLV.CONF"};

static const char kamailio_err_path[] = "c:\\cygwin\\kamailio\\kamailio-err.txt";

char *split_token(char **cursor, const char *delimiters)
{
    char *p = *cursor;
    p += std::strspn(p, delimiters);
    if (*p == '\0') {
        *cursor = p;
        return nullptr;
    }
    char *token = p;
    p += std::strcspn(p, delimiters);
    if (*p != '\0')
        *p++ = '\0';
    *cursor = p;
    return token;
}

void copy_file_section(FILE *report, const char *path)
{
    FILE *file = plat_fopen_text(path, "r");
    if (!file) {
        std::fprintf(report, "Error: can't open file '%s'\n", path);
        return;
    }
    char line[SECTION_LINE_SIZE];
    while (std::fgets(line, sizeof line, file)) {
        // Only what stands in front of the first CR or LF is copied; a piece made of
        // line ends alone is a blank line, one that begins with "#" a comment.
        char *cursor = line;
        char *token = split_token(&cursor, "\n\r");
        if (!token || token[0] == '#')
            continue;
        std::fprintf(report, "%s\n", token);
    }
    std::fclose(file);
}

// ---------------------------------------------------------------------------------------
// The tail of a log: the last TAIL_PIECES pieces that fgets with a TAIL_LINE_SIZE buffer
// gives, each written with "%s".

void copy_file_tail_forward(FILE *report, FILE *file)
{
    char line[TAIL_LINE_SIZE];
    if (!std::fgets(line, sizeof line, file)) {
        std::fputs("Empty\n", report);
        return;
    }
    uint64_t count = 1;
    while (std::fgets(line, sizeof line, file))
        count++;
    uint64_t skip = count > TAIL_PIECES ? count - TAIL_PIECES : 0;
    std::fseek(file, 0, SEEK_SET);
    for (uint64_t i = 0; i < skip; i++)
        if (!std::fgets(line, sizeof line, file))
            break;
    while (std::fgets(line, sizeof line, file))
        std::fprintf(report, "%s", line);
}

namespace {

const int64_t piece_max = TAIL_LINE_SIZE - 1;

unsigned char tail_block[TAIL_BLOCK_SIZE];

// Reads exactly n bytes at offset; 0 when the file gives fewer.
int read_exactly(FILE *file, int64_t offset, unsigned char *buf, uint32_t n)
{
    uint32_t done = 0;
    while (done < n) {
        uint32_t got = 0;
        if (!plat_stream_read_at(file, offset + done, buf + done, n - done, &got) || got == 0)
            return 0;
        done += got;
    }
    return 1;
}

// The pieces of one line of length chars after CR LF translation: with its line feed
// the line has length + 1 characters to read, without it (the file's last line) length.
int64_t pieces_of_line(int64_t length, bool terminated)
{
    int64_t chars = terminated ? length + 1 : length;
    return (chars + piece_max - 1) / piece_max;
}

// Writes pieces as fgets would give them and fprintf "%s" would write them: a piece
// ends after its line feed or its 1023rd character, and only its part in front of
// the first NUL byte reaches the report.
struct piece_writer {
    FILE *report;
    int64_t length;    // characters of the current piece so far
    bool cut;          // the current piece had a NUL: the rest of it is not written
    char out[4096];
    size_t used;
};

void flush_pieces(piece_writer *w)
{
    if (w->used > 0)
        std::fwrite(w->out, 1, w->used, w->report);
    w->used = 0;
}

void put_char(piece_writer *w, char c)
{
    if (!w->cut) {
        if (c == '\0') {
            w->cut = true;
        } else {
            if (w->used == sizeof w->out)
                flush_pieces(w);
            w->out[w->used++] = c;
        }
    }
    if (c == '\n' || ++w->length == piece_max) {
        w->length = 0;
        w->cut = false;
    }
}

} // namespace

// Reading backwards finds the line ends among the raw bytes: every LF ends a line, and a
// CR right in front of it belongs to the line end (CR LF reads as LF; any other CR is
// text). A line's pieces depend only on its length, so the last 500 pieces begin at a
// line start, or at a multiple of 1023 characters into the line where the count is
// reached; inside a line, characters and bytes are the same up to its CR LF.
//
// Ctrl-Z: reading in text mode ends at the first 0x1A byte. A 0x1A among the bytes read
// here makes the forward passes do the work, which is then exact. A 0x1A earlier in the
// file, in front of the part read here, is not looked for: the tail is then that of the
// whole file rather than of the text in front of the 0x1A.
int copy_file_tail_backward(FILE *report, FILE *file, uint32_t block_size, int64_t *examined_from)
{
    int64_t size = plat_stream_size(file);
    *examined_from = size < 0 ? 0 : size;
    if (size < 0)
        return 0;
    if (size == 0) {
        std::fputs("Empty\n", report);
        return 1;
    }
    if (block_size == 0 || block_size > TAIL_BLOCK_SIZE)
        block_size = TAIL_BLOCK_SIZE;

    // The line being scanned ends at line_end: its LF, or the end of the file for a
    // last line without one.
    int64_t line_end = size;
    bool terminated = false;
    bool crlf = false;
    int64_t pieces = 0; // pieces of the complete lines behind the one being scanned
    int64_t start = -1; // where the output begins, once known
    int64_t pos = size; // bytes from pos on have been read
    while (pos > 0 && start < 0) {
        uint32_t n = pos < block_size ? static_cast<uint32_t>(pos) : block_size;
        int64_t low = pos - n;
        if (!read_exactly(file, low, tail_block, n))
            return 0;
        for (uint32_t i = n; i-- > 0;) {
            int64_t at = low + i;
            unsigned char c = tail_block[i];
            if (c == 0x1A) {
                *examined_from = at;
                return 0;
            }
            if (c == '\n') {
                int64_t line_pieces = pieces_of_line(line_end - at - 1 - (crlf ? 1 : 0), terminated);
                if (pieces + line_pieces >= TAIL_PIECES) {
                    start = at + 1 + (line_pieces - (TAIL_PIECES - pieces)) * piece_max;
                    *examined_from = at;
                    break;
                }
                pieces += line_pieces;
                line_end = at;
                terminated = true;
                crlf = false;
            } else if (c == '\r' && terminated && at == line_end - 1) {
                crlf = true;
            }
        }
        pos = low;
    }
    if (start < 0) {
        // The first line of the file: all pieces from the start, or the last of its own.
        int64_t line_pieces = pieces_of_line(line_end - (crlf ? 1 : 0), terminated);
        start = pieces + line_pieces > TAIL_PIECES ? (line_pieces - (TAIL_PIECES - pieces)) * piece_max : 0;
        *examined_from = 0;
    }

    // Forward from start to the size measured above, with the CR LF translation.
    piece_writer w;
    w.report = report;
    w.length = 0;
    w.cut = false;
    w.used = 0;
    bool pending_cr = false;
    for (int64_t at = start; at < size;) {
        int64_t left = size - at;
        uint32_t n = left < block_size ? static_cast<uint32_t>(left) : block_size;
        if (!read_exactly(file, at, tail_block, n))
            break;
        for (uint32_t i = 0; i < n; i++) {
            char c = static_cast<char>(tail_block[i]);
            if (pending_cr) {
                pending_cr = false;
                if (c == '\n') {
                    put_char(&w, '\n');
                    continue;
                }
                put_char(&w, '\r');
            }
            if (c == '\r')
                pending_cr = true;
            else
                put_char(&w, c);
        }
        at += n;
    }
    if (pending_cr)
        put_char(&w, '\r');
    flush_pieces(&w);
    return 1;
}

void copy_file_tail(FILE *report, FILE *file)
{
    int64_t examined_from = 0;
    if (copy_file_tail_backward(report, file, TAIL_BLOCK_SIZE, &examined_from))
        return;
    // Not a disk file, or a Ctrl-Z in the tail: the two forward passes, from the start.
    std::fseek(file, 0, SEEK_SET);
    copy_file_tail_forward(report, file);
}

// ---------------------------------------------------------------------------------------
// The simple file sections. Paths that would not fit their 776 characters are cut.

void dump_netcfg(FILE *report)
{
    char path[COLLECT_PATH_SIZE];
    text_copy(path, sizeof path, install_dir());
    if (path[0] == '\0')
        system_dir(path, sizeof path);
    // The drive root ("C:\") of that directory, then the file.
    if (std::strlen(path) > 3)
        path[3] = '\0';
    text_append(path, sizeof path, "etc\\pbxnet.cfg");
    copy_file_section(report, path);
}

// The installation directory followed by name, into path; 0 after writing the message
// of a missing installation.
static int install_path(FILE *report, char *path, const char *name)
{
    text_copy(path, COLLECT_PATH_SIZE, install_dir());
    if (path[0] == '\0') {
        std::fputs("Error: pbx not found\n", report);
        return 0;
    }
    text_append(path, COLLECT_PATH_SIZE, name);
    return 1;
}

void dump_actcfg(FILE *report)
{
    char path[COLLECT_PATH_SIZE];
    if (install_path(report, path, "\\act.cfg"))
        copy_file_section(report, path);
}

void dump_pbxboot(FILE *report)
{
    char path[COLLECT_PATH_SIZE];
    if (install_path(report, path, "\\pbxboot.log"))
        copy_file_section(report, path);
}

void dump_pbxcards(FILE *report)
{
    char path[COLLECT_PATH_SIZE];
    if (!install_path(report, path, "\\pbxcards.log"))
        return;
    FILE *file = plat_fopen_text(path, "r");
    if (!file) {
        std::fprintf(report, "Error: can't open actfile '%s'\n", path);
        return;
    }
    char line[CARDS_LINE_SIZE];
    while (std::fgets(line, sizeof line, file))
        std::fprintf(report, "%s", line);
    std::fclose(file);
}

void dump_voip_files(FILE *report)
{
    if (voip_dir[0] == '\0')
        return;
    for (const char *name : voip_file_names) {
        print_banner(report, name);
        char path[COLLECT_PATH_SIZE];
        text_copy(path, sizeof path, voip_dir);
        text_append(path, sizeof path, "\\");
        text_append(path, sizeof path, name);
        copy_file_section(report, path);
    }
}

void copy_log_tail(FILE *report, const char *path, const char *not_found_format)
{
    FILE *file = plat_fopen_text(path, "r");
    if (!file) {
        std::fprintf(report, not_found_format, path);
        return;
    }
    copy_file_tail(report, file);
    std::fclose(file);
}

void dump_kamailio_err(FILE *report)
{
    copy_log_tail(report, kamailio_err_path, "%s not found\n");
}
