// Fuzzes telinv-read clean: any report that the reader takes is cleaned without a fault,
// in every code page and with kinds kept or not; the cleaned copy reads as the report does
// (the same lines, sections, inventory entries, listings, mail fields, system facts and
// log excerpts); and a second run with the map the first one wrote gives the same bytes and
// adds nothing to the map.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "clean_map.h"
#include "clean_shape.h"
#include "codepage.h"
#include "report.h"
#include "report_clean.h"

using namespace telinv_read;

namespace {

std::string map_json(const CleanMap &map)
{
    char *buf = nullptr;
    size_t len = 0;
    std::FILE *f = open_memstream(&buf, &len);
    if (!f)
        std::abort();
    {
        Output out(f);
        map.write(out);
        if (!out.flush())
            std::abort();
    }
    std::fclose(f);
    std::string text(buf, len);
    std::free(buf);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const int pages[] = {1252, 65001, 437, 850, 866, 1250, 1251, 1253};
    const Codepage cp = *Codepage::find(pages[size % (sizeof pages / sizeof pages[0])]);
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    Report r;
    try {
        r = parse_report(bytes, "fuzz.txt");
    } catch (const ReportError &) {
        return 0;
    }
    // The first byte chooses kinds to keep and whether there are keywords and domains.
    CleanOptions options;
    const unsigned choice = size ? data[0] : 0;
    if (choice & 1)
        options.keep[static_cast<size_t>(CleanKind::mac)] = true;
    if (choice & 2)
        options.keep[static_cast<size_t>(CleanKind::host)] = true;
    if (choice & 4)
        options.keep[static_cast<size_t>(CleanKind::phone)] = true;
    if (choice & 8)
        options.keywords = {"kestra", "Sample PBX", "e"};
    if (choice & 16)
        options.domains = {"example", "corp.test"};

    CleanMap map;
    std::string cleaned;
    {
        Cleaner cleaner(map, cp, options);
        cleaner.clean(r, cleaned);
    }
    Report c;
    try {
        c = parse_report(cleaned, "cleaned.txt");
    } catch (const ReportError &) {
        std::abort(); // a report's copy is a report
    }
    const std::string difference = shape_difference(r, c);
    if (!difference.empty()) {
        std::fprintf(stderr, "the cleaned copy differs from the report: %s\n", difference.c_str());
        std::abort();
    }

    const std::string json = map_json(map);
    CleanMap again = CleanMap::parse(json); // throws (a fault) when the map does not read back
    std::string second;
    {
        Cleaner cleaner(again, cp, options);
        cleaner.clean(r, second);
    }
    if (second != cleaned || again.entries() != again.loaded() || map_json(again) != json) {
        std::fprintf(stderr, "a second run with the written map does not give the same copy and map\n");
        std::abort();
    }
    return 0;
}
