// The pbxcfg section: db.cfg names the configuration file, which is copied verbatim
// while its TimeCfg, VoipGlobal and error-log entries are picked out.
#include "collect/collect_internal.h"

#include <cstdlib>
#include <cstring>

#include "base/text_copy.h"
#include "install/install.h"
#include "platform/platform.h"
#include "report/report.h"

char voip_dir[VOIP_DIR_SIZE];
char error_log_pattern[ERROR_LOG_PATTERN_SIZE];
ring_node time_cfg_list;

enum { TIME_CFG_NAME_SIZE = 512 };

static const char key_cfg_name[] = "CfgName";
static const char key_time_cfg[] = "TimeCfg";
static const char key_voip_global[] = "VoipGlobal";
static const char key_error_log[] = "Log = { LOGERROR, ";

// Where the CfgName value begins: behind "CfgName = { " and the opening double quote.
enum { CFG_NAME_VALUE_AT = 13 };
// The error-log entry's value: its opening double quote at 18, its first character at 19.
enum { ERROR_LOG_VALUE_AT = 19 };

static bool begins_with(const char *line, const char *key)
{
    return std::strncmp(line, key, std::strlen(key)) == 0;
}

static char *heap_copy(const char *text)
{
    size_t n = std::strlen(text) + 1;
    char *copy = static_cast<char *>(std::malloc(n));
    if (copy)
        std::memcpy(copy, text, n);
    return copy;
}

void free_time_cfg_entry(time_cfg_entry *entry)
{
    std::free(entry->cfg_prefix);
    std::free(entry->cfg_file);
    std::free(entry);
}

char *cfg_name_token(char *line)
{
    // A line that ends before the value, or holds only double quotes from there on,
    // names nothing: db.cfg is then taken as holding no CfgName line.
    if (std::strlen(line) <= CFG_NAME_VALUE_AT)
        return nullptr;
    char *cursor = line + CFG_NAME_VALUE_AT;
    return split_token(&cursor, "\"");
}

// The values of an entry line: the line split at double quotes into at most four
// pieces (fewer when the line has fewer). Returns the number of pieces.
static int quoted_pieces(char *line, char *pieces[4])
{
    char *cursor = line;
    int n = 0;
    while (n < 4) {
        char *piece = split_token(&cursor, "\"");
        if (!piece)
            break;
        pieces[n++] = piece;
    }
    return n;
}

static void take_time_cfg(char *line)
{
    time_cfg_entry *entry = static_cast<time_cfg_entry *>(std::malloc(sizeof(time_cfg_entry)));
    if (!entry)
        return;
    entry->cfg_file = nullptr;
    entry->cfg_prefix = nullptr;
    char *pieces[4];
    if (quoted_pieces(line, pieces) < 4) {
        free_time_cfg_entry(entry);
        return;
    }
    entry->cfg_file = heap_copy(pieces[1]);
    // An empty second value leaves the rest of the line (" };") as the fourth piece.
    bool has_prefix = std::strncmp(pieces[3], " };", 3) != 0;
    if (has_prefix)
        entry->cfg_prefix = heap_copy(pieces[3]);
    if (!entry->cfg_file || (has_prefix && !entry->cfg_prefix)) {
        free_time_cfg_entry(entry);
        return;
    }
    ring_insert_before(&time_cfg_list, &entry->links);
}

static void take_voip_global(char *line, const char *install)
{
    char *pieces[4];
    if (quoted_pieces(line, pieces) < 2)
        return;
    const char *value = pieces[1];
    // An empty value ("") leaves no piece of its own: the second piece is then the
    // line's end, " };". It names no directory, so the entry is passed over, as the
    // error-log entry's empty value is.
    if (std::strncmp(value, " };", 3) == 0)
        return;
    if (value[0] == '\\' || (value[0] != '\0' && value[1] == ':')) {
        text_copy(voip_dir, sizeof voip_dir, value);
    } else {
        text_copy(voip_dir, sizeof voip_dir, install);
        text_append(voip_dir, sizeof voip_dir, "\\");
        text_append(voip_dir, sizeof voip_dir, value);
    }
}

static void take_error_log(char *line)
{
    // The value is empty when its closing double quote follows the opening one at once.
    if (line[ERROR_LOG_VALUE_AT - 1] == '\0' || line[ERROR_LOG_VALUE_AT] == '"')
        return;
    char *pieces[4];
    if (quoted_pieces(line, pieces) < 2)
        return;
    text_copy(error_log_pattern, sizeof error_log_pattern, pieces[1]);
}

void pbxcfg_line(FILE *report, char *line, const char *install)
{
    std::fprintf(report, "%s", line);
    if (begins_with(line, key_time_cfg))
        take_time_cfg(line);
    else if (begins_with(line, key_voip_global))
        take_voip_global(line, install);
    else if (begins_with(line, key_error_log))
        take_error_log(line);
}

void dump_pbxcfg(FILE *report)
{
    // The section runs once per report, before anything reads these; each report
    // starts from the empty list and texts (the same as at program start).
    ring_init(&time_cfg_list);
    voip_dir[0] = '\0';
    error_log_pattern[0] = '\0';
    const char *install = install_dir();
    char path[COLLECT_PATH_SIZE];
    text_copy(path, sizeof path, install);
    if (path[0] == '\0') {
        std::fputs("Error: pbx not found\n", report);
        return;
    }
    text_append(path, sizeof path, "\\db.cfg");
    FILE *db = plat_fopen_text(path, "r");
    if (!db) {
        std::fprintf(report, "Error: can't open dbfile '%s'\n", path);
        return;
    }
    char line[CONFIG_LINE_SIZE];
    while (std::fgets(line, sizeof line, db)) {
        if (!begins_with(line, key_cfg_name))
            continue;
        // Only the first CfgName line counts.
        const char *name = cfg_name_token(line);
        if (name) {
            text_copy(path, sizeof path, install);
            text_append(path, sizeof path, "\\");
            text_append(path, sizeof path, name);
        }
        break;
    }
    std::fclose(db);

    FILE *cfg = plat_fopen_text(path, "r");
    if (!cfg) {
        std::fprintf(report, "Error: can't open cfgfile '%s'\n", path);
        return;
    }
    while (std::fgets(line, sizeof line, cfg))
        pbxcfg_line(report, line, install);
    std::fclose(cfg);
}

void dump_time_cfg_files(FILE *report)
{
    // A head that dump_pbxcfg never set up is all zero: no entries.
    while (time_cfg_list.next != nullptr && time_cfg_list.next != &time_cfg_list) {
        time_cfg_entry *entry = reinterpret_cast<time_cfg_entry *>(ring_unlink(time_cfg_list.next));
        if (!entry)
            break;
        char name[TIME_CFG_NAME_SIZE];
        name[0] = '\0';
        if (entry->cfg_prefix && entry->cfg_prefix[0] != '\0') {
            text_append(name, sizeof name, entry->cfg_prefix);
            text_append(name, sizeof name, "_");
        }
        text_append(name, sizeof name, entry->cfg_file);
        char path[COLLECT_PATH_SIZE];
        text_copy(path, sizeof path, install_dir());
        text_append(path, sizeof path, "\\");
        text_append(path, sizeof path, name);
        print_banner(report, name);
        copy_file_section(report, path);
        free_time_cfg_entry(entry);
    }
}
