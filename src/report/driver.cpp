#include "report/report_internal.h"

#include <cstdio>
#include <cstring>

#include "base/system_dir.h"
#include "collect/collect.h"
#include "inventory/inventory.h"
#include "platform/platform.h"
#include "sysinfo/sysinfo.h"

uint32_t os_version_major = 0;
uint32_t os_version_minor = 0;

static const char report_file_name[] = "telinv.txt";

// The path through which the report is created: its name, relative to the current
// directory, except where that directory lies under the system directory of a 32-bit
// program on 64-bit Windows (an elevated prompt starts in C:\Windows\system32). Windows
// would put the report into SysWOW64 there, where the user, a 64-bit shell and Explorer
// never look; it is created through the native system directory instead, in the
// directory the user stands in. buf holds size characters.
static const char *report_path(char *buf, size_t size)
{
    char dir[PLAT_MAX_PATH];
    uint32_t n = plat_current_directory(dir, sizeof dir);
    if (n == 0 || n >= sizeof dir)
        return report_file_name;
    char full[PLAT_MAX_PATH + sizeof report_file_name];
    std::snprintf(full, sizeof full, "%s%s%s", dir, dir[n - 1] == '\\' ? "" : "\\", report_file_name);
    const char *native = native_file_path(full, buf, size);
    return native == full ? report_file_name : native;
}

static void section_version(FILE *report)
{
    write_version_section(report);
}

static void section_pbxcfg(FILE *report)
{
    dump_pbxcfg(report);
    dump_time_cfg_files(report);
}

static void section_kamailio(FILE *report)
{
    list_directory(report, "c:\\cygwin\\kamailio");
}

static void section_voip_files(FILE *report)
{
    list_directory(report, voip_dir);
    dump_voip_files(report);
}

// The sections of the full report, in order. A null name stands for the error log's
// banner, whose title is the configured log name as the pbxcfg section left it.
struct report_section {
    const char *banner;
    void (*write)(FILE *report);
};

static const report_section full_report[] = {
    {"version", section_version},
    {"netcfg", dump_netcfg},
    {"pbxcfg", section_pbxcfg},
    {"actcfg", dump_actcfg},
    {"kamailio", section_kamailio},
    {"voip-files", section_voip_files},
    {"pbxboot", dump_pbxboot},
    {"pbxcards", dump_pbxcards},
    {"email", dump_email},
    {"sysinfo", dump_sysinfo},
    {nullptr, dump_error_log},
    {"kamailio-err.txt", dump_kamailio_err},
};

// Closes the report: 1 when everything written reached the file. A write that failed
// (a full disk) shows in the stream's error flag, in its last flush, or in closing it;
// Wine's C runtime tells it to fflush and ferror, not to fclose.
static int close_report(FILE *report)
{
    int written = std::fflush(report) == 0 && !std::ferror(report);
    if (std::fclose(report) != 0)
        written = 0;
    return written;
}

// The run's exit code once the report is closed: a report that could not be written
// whole is no success.
static int finish_report(FILE *report, int exit_code)
{
    std::fputs("\n", report);
    if (close_report(report))
        return exit_code;
    std::printf("Error: can't write file '%s'\n", report_file_name);
    return EXIT_REPORT_NOT_WRITTEN;
}

int telinv_main(int argc, char **argv)
{
    os_version_major = 0;
    os_version_minor = 0;
    plat_os_version(&os_version_major, &os_version_minor);

    char path[PLAT_MAX_PATH + sizeof report_file_name];
    FILE *report = plat_fopen_text(report_path(path, sizeof path), "w");
    if (!report) {
        std::printf("Error: can't open file '%s'\n", report_file_name);
        return EXIT_NO_REPORT_FILE;
    }

    print_header(report, argc > 0 ? argv[0] : "");

    if (argc > 1 && std::strcmp(argv[1], "-s") == 0) {
        print_banner(report, "pbxcfg");
        section_pbxcfg(report);
        print_banner(report, "actcfg");
        dump_actcfg(report);
        return finish_report(report, EXIT_SHORT_REPORT);
    }

    // The system tools run while the sections before sysinfo are written.
    start_sysinfo_tools();
    for (const report_section &section : full_report) {
        print_banner(report, section.banner ? section.banner : error_log_pattern);
        section.write(report);
    }
    end_sysinfo_tools();
    return finish_report(report, EXIT_FULL_REPORT);
}
