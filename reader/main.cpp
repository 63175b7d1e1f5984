// telinv-read: the support side. Reads telinv reports and gives their model as JSON,
// what changed between two of them, a CSV table of many, a summary of one, or cleaned
// copies that may leave the customer's site.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "clean_command.h"
#include "clean_files.h"
#include "cli_messages.h"
#include "codepage.h"
#include "file_io.h"
#include "fleet.h"
#include "fleet_html.h"
#include "report.h"
#include "report_diff.h"
#include "report_json.h"
#include "report_summary.h"
#include "report_table.h"

using namespace telinv_read;

namespace {

const char usage[] =
    "usage: telinv-read [--codepage N] COMMAND [ARGUMENTS]\n"
    "\n"
    "Reads the reports that telinv writes (telinv.txt) and gives:\n"
    "  json REPORT...               each report's model as JSON (one object, or an array\n"
    "                               for several); see telinv-report.schema.json\n"
    "  diff [--all] [--json] OLD NEW\n"
    "                               what changed between two reports of one host, by\n"
    "                               section; --all adds the header's time and the log\n"
    "                               excerpts, --json gives the changes as JSON; exit code 0\n"
    "                               when nothing changed, 1 when something did, 2 on trouble\n"
    "  table REPORT...              a CSV table (RFC 4180, UTF-8), one row per report and one\n"
    "                               column per inventory file; exit code 1 when a report\n"
    "                               could not be read (its row says why)\n"
    "  summary REPORT               one screen: the host, the suite's release and the files\n"
    "                               at another version or Not Found, the error lines, the\n"
    "                               log excerpts by kind of line\n"
    "  html [--title TEXT] PATH...  one self-contained page of a fleet: its hosts, the\n"
    "                               versions of the suite's files, each host's summary and\n"
    "                               history; a PATH is a report or a folder searched for\n"
    "                               telinv.txt; exit code 1 when a file could not be read\n"
    "                               (the page lists it with the reason)\n"
    "  clean [--map FILE] [--keyword TEXT]... [--domain NAME]... [--keep KIND]... [-o OUT] REPORT...\n"
    "                               a copy of each report with what identifies the site and\n"
    "                               its people replaced alike through the map FILE (default:\n"
    "                               %s), secrets masked;\n"
    "                               -o: the copy of one report (- for standard output), a\n"
    "                               folder for several; without it REPORT-clean.txt beside\n"
    "                               each; the counts of replacements on standard error.\n"
    "                               KIND: host, domain, user, ipv4, ipv6, mac, id, phone\n"
    "\n"
    "  --codepage N   the ANSI code page of the host that wrote the reports (default 1252):\n"
    "                 %s\n"
    "  -o, --output FILE   write to FILE instead of standard output (its bytes as they are,\n"
    "                 also where a shell would re-encode what a program writes)\n"
    "  -h, --help     this text\n"
    "\n"
    "Every output is UTF-8. Exit code 2 on a wrong command line or a report that can't be\n"
    "read (the reason on standard error). On Windows, * and ? in a report's name are\n"
    "expanded in every part of the path (reports\\*\\telinv.txt).\n";

int finish(Output &out)
{
    if (!out.flush())
        return fail("can't write the output");
    return -1;
}

int run_json(std::FILE *stream, const std::vector<std::string> &files, const Codepage &cp)
{
    Output out(stream);
    int status = 0;
    if (files.size() == 1) {
        try {
            Report r = read_report(files[0]);
            r.file = shown(r.file);
            write_report_json(out, r, cp, 0);
            out.put("\n");
        } catch (const ReportError &e) {
            return fail(shown(files[0]) + ": " + e.what());
        }
    } else {
        // Several: a report that can't be read stands in the array as {"file", "error"}.
        out.put("[\n");
        for (std::size_t i = 0; i < files.size(); i++) {
            out.put("  ");
            try {
                Report r = read_report(files[i]);
                r.file = shown(r.file);
                write_report_json(out, r, cp, 2);
            } catch (const ReportError &e) {
                std::fprintf(stderr, "telinv-read: %s: %s\n", shown(files[i]).c_str(), e.what());
                out.put(dump_indented(failure_json(shown(files[i]), e.what()), 2));
                status = 2;
            }
            out.put(i + 1 < files.size() ? ",\n" : "\n");
        }
        out.put("]\n");
    }
    int rc = finish(out);
    return rc >= 0 ? rc : status;
}

int run_diff(std::FILE *stream, const std::vector<std::string> &files, const Codepage &cp, const DiffOptions &options,
             bool json)
{
    Report a, b;
    try {
        a = read_report(files[0]);
    } catch (const ReportError &e) {
        return fail(shown(files[0]) + ": " + e.what());
    }
    try {
        b = read_report(files[1]);
    } catch (const ReportError &e) {
        return fail(shown(files[1]) + ": " + e.what());
    }
    a.file = shown(a.file);
    b.file = shown(b.file);
    Json d = diff_reports(a, b, cp, options);
    Output out(stream);
    if (json)
        out.put(dump_indented(d, 0) + "\n");
    else
        out.put(diff_text(d));
    int rc = finish(out);
    return rc >= 0 ? rc : d["changed"].get<bool>() ? 1 : 0;
}

int run_table(std::FILE *stream, const std::vector<std::string> &files, const Codepage &cp)
{
    std::vector<TableRow> rows;
    int status = 0;
    for (const std::string &f : files) {
        try {
            Report r = read_report(f);
            r.file = shown(r.file);
            rows.push_back(table_row(r, cp));
        } catch (const ReportError &e) {
            std::fprintf(stderr, "telinv-read: %s: %s\n", shown(f).c_str(), e.what());
            rows.push_back(failed_row(shown(f), std::string("can't be read: ") + e.what()));
            status = 1;
        }
    }
    Output out(stream);
    out.put(csv_table(rows));
    int rc = finish(out);
    return rc >= 0 ? rc : status;
}

int run_summary(std::FILE *stream, const std::string &file, const Codepage &cp)
{
    Report r;
    try {
        r = read_report(file);
    } catch (const ReportError &e) {
        return fail(shown(file) + ": " + e.what());
    }
    r.file = shown(r.file);
    Output out(stream);
    out.put(summary_text(r, cp));
    int rc = finish(out);
    return rc >= 0 ? rc : 0;
}

// The page is written after every report has been read; its links to the reports lead
// from the folder of the output file (or the current one).
int run_html(std::FILE *stream, const std::string &output, const std::vector<std::string> &paths,
             const std::string &title, const Codepage &cp)
{
    std::vector<Failure> failures;
    std::vector<std::string> files = find_reports(paths, failures);
    FleetOptions options;
    if (!title.empty())
        options.title = shown(title);
    if (!output.empty()) {
        std::size_t cut = output.find_last_of("/\\");
        options.page_dir = cut == std::string::npos ? "." : output.substr(0, cut + 1);
    }
    FleetPage page = build_fleet(files, std::move(failures), cp, options);
    for (const Failure &f : page.failures)
        std::fprintf(stderr, "telinv-read: %s: %s\n", shown(f.file).c_str(), f.reason.c_str());
    Output out(stream);
    write_fleet_html(out, page);
    int rc = finish(out);
    return rc >= 0 ? rc : page.failures.empty() ? 0 : 1;
}

int run(const std::vector<std::string> &args)
{
    int page = Codepage::default_page;
    bool all = false, json = false, options_done = false;
    std::string output, title;
    bool titled = false;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); i++) {
        const std::string &a = args[i];
        if (options_done || a.size() < 2 || a[0] != '-') {
            if (positional.empty() && a == "clean")
                return run_clean(std::vector<std::string>(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end()), page);
            positional.push_back(a);
        } else if (a == "--") {
            options_done = true;
        } else if (a == "-h" || a == "--help") {
            std::printf(usage, default_map_path().empty() ? "none: give --map" : default_map_path().c_str(),
                        Codepage::supported_list().c_str());
            return std::fflush(stdout) == 0 ? 0 : 2;
        } else if (a == "--all") {
            all = true;
        } else if (a == "--json") {
            json = true;
        } else if (a == "-o" || a == "--output") {
            if (i + 1 == args.size())
                return usage_error(a + " needs a file name");
            output = args[++i];
        } else if (a.compare(0, 9, "--output=") == 0) {
            output = a.substr(9);
        } else if (a == "--title") {
            if (i + 1 == args.size())
                return usage_error("--title needs a text");
            title = args[++i];
            titled = true;
        } else if (a.compare(0, 8, "--title=") == 0) {
            title = a.substr(8);
            titled = true;
        } else if (a == "--codepage" || a.compare(0, 11, "--codepage=") == 0) {
            std::string value;
            if (a == "--codepage") {
                if (i + 1 == args.size())
                    return usage_error("--codepage needs a number");
                value = args[++i];
            } else {
                value = a.substr(11);
            }
            auto n = parse_integer(value);
            if (!n || *n <= 0 || *n > 99999 || !Codepage::find(static_cast<int>(*n)))
                return usage_error("code page '" + shown(value) + "' is not one this program reads; it reads " +
                                   Codepage::supported_list());
            page = static_cast<int>(*n);
        } else {
            return usage_error("unknown option '" + shown(a) + "'");
        }
    }
    if (positional.empty())
        return usage_error("no command given");
    const std::string command = positional[0];
    positional.erase(positional.begin());
    std::vector<std::string> reports;
    for (const std::string &p : positional)
        for (std::string &name : expand_wildcards(p))
            reports.push_back(std::move(name));
    positional.swap(reports);
    if ((all || json) && command != "diff")
        return usage_error(std::string(all ? "--all" : "--json") + " is an option of diff only");
    if (titled && command != "html")
        return usage_error("--title is an option of html only");
    const Codepage cp = *Codepage::find(page);
    if (command == "json" && positional.empty())
        return usage_error("json: no report given");
    if (command == "diff" && positional.size() != 2)
        return usage_error("diff: two reports are needed, OLD and NEW");
    if (command == "table" && positional.empty())
        return usage_error("table: no report given");
    if (command == "summary" && positional.size() != 1)
        return usage_error("summary: one report is needed");
    if (command == "html" && positional.empty())
        return usage_error("html: no report or folder given");
    if (command != "json" && command != "diff" && command != "table" && command != "summary" && command != "html")
        return usage_error("unknown command '" + shown(command) + "'");

    std::FILE *stream = stdout;
    if (output.empty()) {
        binary_stdout();
    } else {
        errno = 0;
        stream = open_for_writing(output);
        if (!stream)
            return fail("can't create " + shown(output) + ": " + std::strerror(errno));
    }
    int rc;
    if (command == "json") {
        rc = run_json(stream, positional, cp);
    } else if (command == "diff") {
        DiffOptions options;
        options.all = all;
        rc = run_diff(stream, positional, cp, options, json);
    } else if (command == "table") {
        rc = run_table(stream, positional, cp);
    } else if (command == "html") {
        rc = run_html(stream, output, positional, title, cp);
    } else {
        rc = run_summary(stream, positional[0], cp);
    }
    if (stream != stdout && std::fclose(stream) != 0 && rc != 2)
        return fail("can't write " + shown(output));
    return rc;
}

int guarded(const std::vector<std::string> &args)
{
    try {
        return run(args);
    } catch (const std::bad_alloc &) {
        return fail("out of memory");
    } catch (const std::exception &e) {
        return fail(e.what());
    }
}

} // namespace

#ifdef _WIN32
// The command line in UTF-16, so that file names outside the ANSI code page arrive whole.
int wmain(int argc, wchar_t **argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; i++) {
        std::u16string wide;
        for (const wchar_t *p = argv[i]; *p; p++)
            wide += static_cast<char16_t>(*p);
        args.push_back(utf8_from_utf16(wide));
    }
    return guarded(args);
}
#else
int main(int argc, char **argv)
{
    return guarded(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
