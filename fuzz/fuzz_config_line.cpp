// Fuzzes the configuration file's entries: every line as fgets gives it (with binary
// bytes and NULs) through the pbxcfg line handler and the CfgName reader. Each line
// reaches the report as written up to its first NUL; the texts it fills stay
// terminated inside their buffers; every TimeCfg entry holds a non-empty file name and
// no double quote.
#include <cstdlib>
#include <cstring>
#include <string>

#include "collect/collect_internal.h"
#include "collect_fuzz.h"

static void check_text(const char *text, size_t size)
{
    if (std::memchr(text, '\0', size) == nullptr)
        std::abort();
}

static void check_value(const char *value)
{
    if (value[0] == '\0' || std::strchr(value, '"') != nullptr)
        std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses the installation directory: short, or one that fills
    // the VoIP directory's buffer on its own.
    static const std::string long_install = "C:\\" + std::string(800, 'i');
    const char *install = (data[0] & 1) ? long_install.c_str() : "C:\\inst";
    std::string text = text_mode_text(data + 1, size - 1);

    voip_dir[0] = '\0';
    error_log_pattern[0] = '\0';
    ring_init(&time_cfg_list);
    memory_report report;
    std::string expected;
    static char line[CONFIG_LINE_SIZE];
    for_each_piece(text, CONFIG_LINE_SIZE, [&](const std::string &piece) {
        std::memcpy(line, piece.data(), piece.size());
        line[piece.size()] = '\0';
        expected += line; // what "%s" writes
        if (std::strncmp(line, "CfgName", 7) == 0) {
            char copy[CONFIG_LINE_SIZE];
            std::memcpy(copy, line, sizeof copy);
            const char *name = cfg_name_token(copy);
            if (name && (name < copy + 13 || name >= copy + sizeof copy))
                std::abort();
            if (name)
                check_value(name);
        }
        pbxcfg_line(report.stream, line, install);
        check_text(voip_dir, sizeof voip_dir);
        check_text(error_log_pattern, sizeof error_log_pattern);
    });
    if (report.text() != expected)
        std::abort();

    int n = ring_count(&time_cfg_list);
    while (time_cfg_list.next != &time_cfg_list) {
        time_cfg_entry *e = reinterpret_cast<time_cfg_entry *>(ring_unlink(time_cfg_list.next));
        if (!e || !e->cfg_file || e->links.owner != &time_cfg_list)
            std::abort();
        check_value(e->cfg_file);
        if (e->cfg_prefix)
            check_value(e->cfg_prefix);
        free_time_cfg_entry(e);
        n--;
    }
    if (n != 0)
        std::abort();
    return 0;
}
