#include "report/report_internal.h"

#include <cstring>

#include "collect/collect.h"
#include "inventory/inventory.h"
#include "platform/platform.h"
#include "sysinfo/sysinfo.h"

uint32_t os_version_major = 0;
uint32_t os_version_minor = 0;

static const char report_file_name[] = "telinv.txt";

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

    FILE *report = plat_fopen_text(report_file_name, "w");
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

    for (const report_section &section : full_report) {
        print_banner(report, section.banner ? section.banner : error_log_pattern);
        section.write(report);
    }
    return finish_report(report, EXIT_FULL_REPORT);
}
