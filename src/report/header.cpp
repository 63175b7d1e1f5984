#include "report/report_internal.h"

#include <cstring>

#include "base/calendar_names.h"
#include "inventory/inventory.h"
#include "platform/platform.h"

const char *base_name(const char *path)
{
    const char *slash = std::strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

void write_header_line(FILE *report, const char *tool_name, const char *version, const struct tm *local)
{
    // The layout of the Windows C runtime's asctime: three-letter day and month names, the
    // day of the month in two digits with a leading zero.
    char when[128];
    if (std::snprintf(when, sizeof when, "%.3s %.3s %02d %02d:%02d:%02d %d\n", day_name(local->tm_wday),
                      month_name(local->tm_mon), local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec,
                      local->tm_year + 1900) < 0)
        when[0] = '\0';
    std::fprintf(report, "%s(%s) at %s", tool_name, version ? version : "(null)", when);
}

void print_header(FILE *report, const char *invocation_name)
{
    // The version comes from the program's own file: the invocation name need not
    // name a file (a name typed without path or extension at a prompt).
    char module[PLAT_MAX_PATH + 1];
    const char *version = nullptr;
    if (plat_module_file_name(module, sizeof module) > 0)
        version = file_version(module);
    const char *name = base_name(invocation_name ? invocation_name : "");

    time_t now = time(nullptr);
    struct tm local;
    if (!plat_local_time(now, &local))
        std::memset(&local, 0, sizeof local);
    write_header_line(report, name, version, &local);
}
