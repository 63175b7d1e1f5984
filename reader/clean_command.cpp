#include "clean_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "clean_files.h"
#include "cli_messages.h"
#include "clean_map.h"
#include "codepage.h"
#include "file_io.h"
#include "report.h"
#include "report_clean.h"

namespace telinv_read {


// clean: the cleaned copies are written under temporary names, then the map, then the
// copies take their names; a map that can't be saved leaves no copy behind that it does
// not know.
int run_clean(const std::vector<std::string> &args, int page)
{
    CleanOptions options;
    std::string map_path, output;
    bool map_given = false;
    std::vector<std::string> reports;
    for (std::size_t i = 0; i < args.size(); i++) {
        const std::string &a = args[i];
        auto value = [&]() -> const std::string * { return i + 1 < args.size() ? &args[++i] : nullptr; };
        if (a == "--map" || a == "--keyword" || a == "--domain" || a == "--keep" || a == "-o" || a == "--output" ||
            a == "--codepage") {
            const std::string *v = value();
            if (!v)
                return usage_error(a + " needs a value");
            if (a == "--map") {
                map_path = *v;
                map_given = true;
            } else if (a == "--keyword" || a == "--domain") {
                if (v->empty() || v->find_first_of("\r\n") != std::string::npos)
                    return usage_error(a + " needs a text of one line");
                (a == "--keyword" ? options.keywords : options.domains).push_back(*v);
            } else if (a == "--keep") {
                auto kind = clean_kind_named(*v);
                if (!kind || !clean_kind_keepable(*kind))
                    return usage_error("--keep takes host, domain, user, ipv4, ipv6, mac, id or phone, not '" +
                                       shown(*v) + "'");
                options.keep[static_cast<std::size_t>(*kind)] = true;
            } else if (a == "--codepage") {
                auto n = parse_integer(*v);
                if (!n || *n <= 0 || *n > 99999 || !Codepage::find(static_cast<int>(*n)))
                    return usage_error("code page '" + shown(*v) + "' is not one this program reads; it reads " +
                                       Codepage::supported_list());
                page = static_cast<int>(*n);
            } else {
                output = *v;
            }
        } else if (a == "--") {
            reports.insert(reports.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            return usage_error("clean: unknown option '" + shown(a) + "'");
        } else {
            for (std::string &name : expand_wildcards(a))
                reports.push_back(std::move(name));
        }
    }
    if (reports.empty())
        return usage_error("clean: no report given");
    if (output == "-" && reports.size() > 1)
        return usage_error("clean: -o - writes one report to standard output, not " + std::to_string(reports.size()));
    if (!map_given)
        map_path = default_map_path();
    if (map_path.empty())
        return usage_error("clean: there is no folder for the map here (no HOME); name one with --map");

    // Where each copy goes.
    std::vector<std::string> outputs;
    std::string out_folder;
    if (output.empty()) {
        for (const std::string &r : reports) {
            std::string last = last_part(r);
            std::size_t dot = last.rfind('.');
            std::string stem = dot == std::string::npos || dot == 0 ? last : last.substr(0, dot);
            std::string ext = dot == std::string::npos || dot == 0 ? "" : last.substr(dot);
            outputs.push_back(join_path(folder_of(r), stem + "-clean" + ext));
        }
    } else if (output == "-") {
        outputs.push_back("-");
    } else if (reports.size() == 1 && !is_directory(output)) {
        outputs.push_back(output);
    } else if (reports.size() == 1) {
        out_folder = output;
        outputs.push_back(join_path(output, last_part(reports[0])));
    } else {
        // A folder: each report under its path below the folder that all of them share.
        out_folder = output;
        std::vector<std::string> full;
        for (const std::string &r : reports)
            full.push_back(absolute_path(r));
        std::string common = folder_of(full[0]);
        for (const std::string &f : full)
            while (!common.empty() && !path_inside(f, common)) {
                std::string up = folder_of(common);
                common = up == common ? std::string() : up;
            }
        for (const std::string &f : full)
            outputs.push_back(join_path(output, common.empty() ? last_part(f) : f.substr(common.size() + (common.back() == '/' || common.back() == '\\' ? 0 : 1))));
    }
    const std::string map_full = absolute_path(map_path);
    for (std::size_t i = 0; i < outputs.size(); i++) {
        if (outputs[i] == "-")
            continue;
        const std::string full = absolute_path(outputs[i]);
        for (std::size_t k = 0; k < reports.size(); k++)
            if (same_path(full, absolute_path(reports[k])) || same_file(outputs[i], reports[k]))
                return fail("clean: the copy of " + shown(reports[i]) + " would be written over the report " +
                            shown(reports[k]) + "; name another with -o");
        for (std::size_t k = 0; k < i; k++)
            if (same_path(full, absolute_path(outputs[k])))
                return fail("clean: " + shown(reports[k]) + " and " + shown(reports[i]) + " would both be written to " +
                            shown(outputs[i]));
        if (same_path(full, map_full) || same_file(outputs[i], map_path))
            return fail("clean: the copy of " + shown(reports[i]) + " would be written over the map " + shown(map_path));
        if (!map_given && path_inside(map_full, absolute_path(folder_of(full))))
            return fail("clean: the map " + shown(map_path) + " would lie in the folder of the copies; name it with --map");
    }
    for (const std::string &r : reports)
        if (same_path(map_full, absolute_path(r)) || same_file(map_path, r))
            return fail("clean: the map " + shown(map_path) + " is the report " + shown(r));
    if (!out_folder.empty() && !map_given && path_inside(map_full, absolute_path(out_folder)))
        return fail("clean: the map " + shown(map_path) + " would lie in the output folder; name it with --map");

    // The map: an unreadable or damaged one is an error, never a fresh start.
    CleanMap map;
    if (path_exists(map_path)) {
        try {
            map = CleanMap::parse(read_file_bytes(map_path, std::size_t(1) << 30));
        } catch (const std::exception &e) {
            return fail("clean: the map " + shown(map_path) + " can't be used: " + e.what() +
                        " (the map is kept as it is; name another with --map to start afresh)");
        }
    } else if (!make_directories(folder_of(map_path), !map_given) || !is_directory(folder_of(map_path).empty() ? "." : folder_of(map_path))) {
        return fail("clean: no folder for the map " + shown(map_path) + ": " + std::strerror(errno));
    }
    if (!out_folder.empty())
        for (const std::string &o : outputs)
            if (!make_directories(folder_of(o), false))
                return fail("clean: can't make the folder " + shown(folder_of(o)) + ": " + std::strerror(errno));

    const Codepage cp = *Codepage::find(page);
    Cleaner cleaner(map, cp, options);
    int status = 0;
    std::vector<std::pair<std::string, std::string>> written; // temporary name, final name
    std::string to_stdout;
    auto drop_written = [&] {
        for (const auto &w : written)
            remove_file(w.first);
    };
    const std::string suffix = ".part-" + std::to_string(process_number());
    // Of several reports, each is read once first for what it makes known, so that a
    // name one of them reveals is replaced in all of them.
    if (reports.size() > 1)
        for (const std::string &f : reports)
            try {
                cleaner.learn(read_report(f));
            } catch (const ReportError &) {
                // said when it is cleaned
            }
    for (std::size_t i = 0; i < reports.size(); i++) {
        Report r;
        try {
            r = read_report(reports[i]);
        } catch (const ReportError &e) {
            std::fprintf(stderr, "telinv-read: %s: %s\n", shown(reports[i]).c_str(), e.what());
            status = 2;
            continue;
        }
        CleanCounts counts;
        if (outputs[i] == "-") {
            counts = cleaner.clean(r, to_stdout);
        } else {
            const std::string temp = outputs[i] + suffix;
            errno = 0;
            std::FILE *f = open_for_writing(temp);
            if (!f) {
                std::fprintf(stderr, "telinv-read: can't create %s: %s\n", shown(temp).c_str(), std::strerror(errno));
                status = 2;
                continue;
            }
            bool ok;
            {
                Output out(f);
                counts = cleaner.clean(r, out);
                ok = out.flush();
            }
            ok = std::fclose(f) == 0 && ok;
            written.emplace_back(temp, outputs[i]);
            if (!ok) {
                std::fprintf(stderr, "telinv-read: can't write %s\n", shown(temp).c_str());
                drop_written();
                return 2;
            }
        }
        std::string line = "telinv-read: " + shown(reports[i]) + " -> " +
                           (outputs[i] == "-" ? std::string("standard output") : shown(outputs[i])) + ": replaced";
        for (std::size_t k = 0; k < clean_kind_count; k++)
            line += std::string(k ? ", " : " ") + clean_kind_name(static_cast<CleanKind>(k)) + " " +
                    std::to_string(counts.replaced[k]);
        line += "; masked " + std::to_string(counts.secrets) + (counts.secrets == 1 ? " secret" : " secrets");
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    if (written.empty() && to_stdout.empty())
        return status;

    // The map, whole or not at all, readable by its owner only.
    const std::string map_temp = map_path + suffix;
    std::FILE *mf = create_owner_only_file(map_temp);
    bool saved = mf != nullptr;
    if (mf) {
        {
            Output out(mf);
            map.write(out);
            saved = out.flush();
        }
        saved = std::fclose(mf) == 0 && saved;
        saved = saved && replace_file(map_temp, map_path);
        if (!saved)
            remove_file(map_temp);
    }
    if (!saved) {
        drop_written();
        return fail("clean: can't write the map " + shown(map_path) + ": " + std::strerror(errno) +
                    "; no copy was kept");
    }
    for (const auto &w : written)
        if (!replace_file(w.first, w.second)) {
            std::fprintf(stderr, "telinv-read: can't name the copy %s: %s\n", shown(w.second).c_str(), std::strerror(errno));
            remove_file(w.first);
            status = 2;
        }
    if (!to_stdout.empty()) {
        binary_stdout();
        Output out(stdout);
        out.put(to_stdout);
        if (!out.flush())
            return fail("can't write the output");
    }
    std::fprintf(stderr, "telinv-read: map %s: %zu entries, %zu of them new (keep it private: it undoes the cleaning)\n",
                 shown(map_path).c_str(), map.entries(), map.entries() - map.loaded());
    return status;
}

} // namespace telinv_read
