// Fuzzes telinv-read's report reader: any bytes are read into the model or refused with
// a ReportError, never a fault. A report that is read gives its bytes back from the
// model, and from its JSON (decoded into the code page's UTF-8 and encoded back with the
// replaced bytes), in every code page; it is unchanged against itself, and the diff,
// table row and summary of it and of a changed copy are made without a fault.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "codepage.h"
#include "json_rebuild.h"
#include "report.h"
#include "report_diff.h"
#include "report_json.h"
#include "report_summary.h"
#include "report_table.h"

using namespace telinv_read;

namespace {

std::string json_text(const Report &r, const Codepage &cp)
{
    char *buf = nullptr;
    size_t len = 0;
    std::FILE *f = open_memstream(&buf, &len);
    if (!f)
        std::abort();
    {
        Output out(f);
        write_report_json(out, r, cp, 0);
        if (!out.flush())
            std::abort();
    }
    std::fclose(f);
    std::string text(buf, len);
    std::free(buf);
    return text;
}

// The bytes made again from the JSON, as its schema says.
std::string rebuild(const Json &j, const Codepage &cp)
{
    std::string out;
    if (!rebuild_from_json(j, cp, &out))
        std::abort();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const int pages[] = {1252, 65001, 437, 850, 866, 874, 1250, 1251, 1253, 1254, 1255, 1256, 1257, 1258};
    const Codepage cp = *Codepage::find(pages[size % (sizeof pages / sizeof pages[0])]);
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    Report r;
    try {
        r = parse_report(bytes, "fuzz.txt");
    } catch (const ReportError &) {
        return 0;
    }
    if (r.rebuild() != bytes)
        std::abort();
    Json j = Json::parse(json_text(r, cp)); // throws (a fault) on invalid JSON
    if (rebuild(j, cp) != bytes)
        std::abort();

    DiffOptions all;
    all.all = true;
    if (diff_reports(r, r, cp, all)["changed"].get<bool>())
        std::abort();
    summary_text(r, cp);
    csv_table({table_row(r, cp)});
    // A changed copy: its second half reversed in blocks of lines.
    const size_t half = size / 2;
    std::string changed = bytes.substr(0, half);
    for (size_t end = size; end > half;) {
        size_t nl = end >= 2 ? bytes.rfind('\n', end - 2) : std::string::npos;
        size_t start = (nl == std::string::npos || nl < half) ? half : nl + 1;
        changed += bytes.substr(start, end - start);
        end = start;
    }
    try {
        Report other = parse_report(changed, "other.txt");
        diff_text(diff_reports(r, other, cp, all));
    } catch (const ReportError &) {
    }
    return 0;
}
