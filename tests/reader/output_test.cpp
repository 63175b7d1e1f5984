// The outputs: JSON that gives the report's bytes back in every code page, the CSV table
// and the summary's pieces.
#include <algorithm>

#include <gtest/gtest.h>

#include "json_rebuild.h"
#include "report_json.h"
#include "report_summary.h"
#include "report_table.h"
#include "report_text.h"

using namespace telinv_read;
using namespace report_text;

namespace {

// The report's JSON text as the program writes it, and its value.
std::string json_text_of(const Report &r, const Codepage &cp)
{
    return written_text([&](Output &out) { write_report_json(out, r, cp, 0); });
}

Json json_of(const Report &r, const Codepage &cp) { return Json::parse(json_text_of(r, cp)); }

// The bytes made again from the JSON, by the rule the schema states.
std::string rebuild(const Json &j)
{
    std::string out;
    EXPECT_TRUE(rebuild_from_json(j, *Codepage::find(j["codepage"].get<int>()), &out));
    return out;
}

} // namespace

TEST(ReaderJson, StringsAreEscapedAsJsonHasThem)
{
    std::string all;
    for (int c = 1; c < 128; c++)
        all += static_cast<char>(c);
    all += std::string(1, '\0') + "\xC3\xA4\xE2\x82\xAC";
    std::string ours;
    append_json_string(ours, all);
    EXPECT_EQ(Json::parse(ours).get<std::string>(), all);
    EXPECT_EQ(ours, Json(all).dump());
}

TEST(ReaderJson, EscapesAtEveryPlaceOfTheirBlock)
{
    // Texts are looked at 16 and 8 bytes at a time, in pieces of 1024: each kind of byte
    // that needs an escape, and its neighbours that don't, at each place of a block, at
    // the start and end of a text, and around a piece's bound.
    const std::string bytes[] = {std::string(1, '\0'), "\x1f", " ", "\"", "\\", "!", "[", "]", "\x7f",
                                 "\t", "\n", "\r", "\x01", "\xC3\xA4", "\xEF\xBF\xBD", "\xF0\x9F\x98\x80"};
    for (std::size_t length : {1u, 7u, 8u, 9u, 15u, 16u, 17u, 23u, 24u, 31u, 32u, 33u, 1023u, 1024u, 1025u, 2050u}) {
        for (std::size_t at : {std::size_t(0), std::size_t(1), std::size_t(6), std::size_t(7), std::size_t(8),
                               std::size_t(9), std::size_t(14), std::size_t(15), std::size_t(16), std::size_t(17),
                               length / 2, length - 1, length}) {
            if (at > length)
                continue;
            for (const std::string &b : bytes) {
                std::string text = std::string(length, 'x').replace(std::min(at, length - 1), 1, b);
                if (at == length)
                    text = std::string(length, 'x') + b;
                std::string ours;
                append_json_escaped(ours, text);
                ASSERT_EQ(ours, Json(text).dump().substr(1, ours.size())) << length << " " << at << " " << b;
                ASSERT_EQ(ours.size() + 2, Json(text).dump().size());
            }
        }
    }
    std::string every; // two of each, side by side
    for (int c = 0; c < 128; c++)
        every += std::string(2, static_cast<char>(c));
    std::string ours;
    append_json_string(ours, every);
    EXPECT_EQ(ours, Json(every).dump());
}

TEST(ReaderJson, ManyElementsAreWrittenAsDumpWritesThem)
{
    // The inventory's and the listings' elements are written directly: each line of them
    // is what dump() makes of its value, whatever the texts hold.
    std::vector<std::string> lines = {"telinv.exe(1) at x", banner("version"),
                                      inventory_line("C:\\a \"b\"\\c.exe", "1.0", 5),
                                      inventory_line("C:\\K\xfc" "che\x81.exe", nullptr, 0),
                                      inventory_line("C:\\tab\there.exe", "v\x01", -7), "",
                                      banner("voip-files"), listing_heading("C:\\v"),
                                      listing_line("a\"\\b.cfg", 1), listing_line("\xe4\x81" ".cfg", -2),
                                      format("%-44s %s %11d", "no-date.cfg", "00-00-2025 09:05:01", 3)};
    for (int page : {1252, 65001}) {
        const std::string text = json_text_of(parse(join(lines)), *Codepage::find(page));
        std::size_t checked = 0;
        for (std::size_t at = 0; (at = text.find("{\"", at)) != std::string::npos; at++) {
            std::string element = text.substr(at, text.find('\n', at) - at);
            if (element.back() == ',')
                element.pop_back();
            if (element.find("\"path\":\"") == 1 || element.find("\"name\":\"") == 1) {
                EXPECT_EQ(Json::parse(element).dump(), element) << page;
                checked++;
            }
        }
        EXPECT_EQ(checked, 6u) << page << "\n" << text;
        Json j = Json::parse(text);
        EXPECT_EQ(j["inventory"][1]["version"], nullptr);
        EXPECT_EQ(j["inventory"][2]["bytes"], -7);
        EXPECT_EQ(j["listings"][0]["entries"][0]["iso_date"], "2025-03-07T09:05:01");
        EXPECT_EQ(j["listings"][0]["entries"][2]["iso_date"], nullptr);
    }
}

TEST(ReaderJson, TheBytesComeBackInEveryCodePage)
{
    // Every byte value in a line, a joined banner, a cut-off end, in CR LF and in LF.
    std::string every;
    for (int b = 0; b < 256; b++)
        if (b != '\n' && b != '\r')
            every += static_cast<char>(b);
    std::string report = "telinv.exe(1\x81) at x\r\n" + banner("pbxcfg") + "\r\n" + every + "\r\nend" +
                         banner("actcfg") + "\r\n\xEF\xBF\xBD\xC3\xA4 cut";
    std::string lf = join(full_report(5), "\n");
    // A line longer than the pieces it is decoded in, with characters across their bounds.
    std::string long_line;
    while (long_line.size() < 140000)
        long_line += "\xE2\x82\xAC\xC3\xA4x\x81\xF0\x9F\x98\x80";
    std::string long_report = "telinv.exe(1) at x\r\n" + banner("pbxcards") + "\r\n" + long_line + "\r\n";
    for (int page : {437, 850, 866, 874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 65001}) {
        const Codepage cp = *Codepage::find(page);
        for (const std::string &bytes : {report, lf}) {
            Report r = parse(bytes);
            Json j = json_of(r, cp);
            EXPECT_EQ(rebuild(j), bytes) << page;
        }
    }
    for (int page : {1252, 65001})
        EXPECT_EQ(rebuild(json_of(parse(long_report), *Codepage::find(page))), long_report) << page;
}

TEST(ReaderJson, TypedViewsAsTheSchemaNamesThem)
{
    Json j = json_of(parse(join(full_report())), *Codepage::find(1252));
    EXPECT_EQ(j["inventory"][1], Json::parse(R"({"path":"C:\\Program Files\\MIRDEN\\KESTRA\\pbxfax.exe","version":null,"bytes":0,"group":1})"));
    EXPECT_EQ(j["listings"][1]["entries"][0]["bytes"], 3221225472LL);
    EXPECT_EQ(j["email"]["poll_time"], 300);
    EXPECT_EQ(j["sysinfo"]["memory_mb"], 4194);
    EXPECT_EQ(j["sysinfo"]["adapters"][0]["dhcp"], false);
    EXPECT_EQ(j["errors"][0]["section"], "actcfg");
    EXPECT_EQ(j["logs"][1]["status"], "not_found");
    EXPECT_EQ(j["header"]["version"], "1.2.3.4");
}

TEST(ReaderTable, CsvAsRfc4180)
{
    EXPECT_EQ(csv_field("plain text"), "plain text");
    EXPECT_EQ(csv_field("a,b"), "\"a,b\"");
    EXPECT_EQ(csv_field("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(csv_field("two\r\nlines"), "\"two\r\nlines\"");
    TableRow a, b;
    a.facts = b.facts = std::vector<std::string>(table_columns().size(), "");
    a.versions = {{"C:\\a.exe", "1"}, {"C:\\b.exe", "Not Found"}};
    b.versions = {{"C:\\c.exe", "3"}, {"C:\\a.exe", "2"}};
    std::string csv = csv_table({a, b, failed_row("bad.txt", "can't be read: empty file")});
    std::string head = "report,time,computer_name,windows_version,service_pack,memory,processor,mac_addresses,"
                       "not_found,errors,note,C:\\a.exe,C:\\b.exe,C:\\c.exe\r\n";
    EXPECT_EQ(csv, head + ",,,,,,,,,,,1,Not Found,\r\n" + ",,,,,,,,,,,2,,3\r\n" +
                       "bad.txt,,,,,,,,,,can't be read: empty file,,,\r\n");
}

TEST(ReaderTable, ARowOfFacts)
{
    TableRow row = table_row(parse(join(full_report(6))), *Codepage::find(1252));
    EXPECT_EQ(row.facts, (std::vector<std::string>{"test.txt", "2026-03-07T09:05:01", "PBX-WMIC", "6.1", "Service Pack 3",
                                                   "4194", "Intel(R) Xeon(R) CPU", "00-1B-21-3A-4B-01 00-1B-21-3A-4B-02",
                                                   "1", "2", ""}));
    TableRow xp = table_row(parse(join(full_report(5))), *Codepage::find(1252));
    EXPECT_EQ(xp.facts[2], "PBX-ENV"); // no identifier lines before Windows 6: the variable
    EXPECT_EQ(row.versions.size(), 7u);
}

TEST(ReaderSummary, KindsOfLogLines)
{
    EXPECT_EQ(line_kind("09:04:34 ERROR pbxserv: call 10202 to 201: no free B-channel on ISDN1"),
              "#:#:# ERROR pbxserv: call # to #: no free B-channel on ISDN#");
    EXPECT_EQ(line_kind(" 0(2816) save.c:913 sip:202@192.168.10.22 id 4d36e967 Volume4d36"),
              " #(#) save.c:# sip:#@#.#.#.# id # Volume#d#");
    auto kinds = line_kinds({"a 1", "b 1", "b 2", "c", "a 3", "b 3"});
    ASSERT_EQ(kinds.size(), 3u);
    EXPECT_EQ(kinds[0], std::make_pair(std::string("b #"), std::size_t(3)));
    EXPECT_EQ(kinds[1], std::make_pair(std::string("a #"), std::size_t(2)));
}

TEST(ReaderSummary, ReleaseAndOneScreen)
{
    Report r = parse(join(full_report()));
    std::vector<const InventoryEntry *> group1;
    for (const InventoryEntry &e : r.inventory)
        if (e.group == 1)
            group1.push_back(&e);
    EXPECT_EQ(release_of(r, group1), "6.2.1.0"); // a tie of one each: the first listed
    std::string s = summary_text(r, *Codepage::find(1252));
    for (const char *piece : {"Computer       PBX-WMIC\n", "Suite release  6.2.1.0: 1 of 4 files of the suite\n",
                              "  6.2.10.1234    C:\\Program Files\\MIRDEN\\KESTRA\\pbxcodec.dll\n",
                              "Not Found (1):\n  C:\\Program Files\\MIRDEN\\KESTRA\\  pbxfax.exe\n",
                              "  actcfg         Error: pbx not found\n",
                              "Error log log\\err%Y%m%d.log: 3 lines, 2 kinds\n",
                              "      2  #:#:# ERROR pbxserv: call # to #: no free B-channel on ISDN#\n",
                              "SIP server error log kamailio-err.txt: not found"})
        EXPECT_NE(s.find(piece), std::string::npos) << piece << "\n" << s;

    // Names of one folder on one line, as many as fit.
    std::vector<std::string> lines = full_report();
    lines.insert(lines.begin() + 5, {inventory_line("C:\\Program Files\\MIRDEN\\KESTRA\\pbxvoice.exe", nullptr, 0),
                                     inventory_line("C:\\Program Files\\MIRDEN\\KESTRA\\pbxsms.exe", nullptr, 0)});
    s = summary_text(parse(join(lines)), *Codepage::find(1252));
    EXPECT_NE(s.find("Not Found (3):\n  C:\\Program Files\\MIRDEN\\KESTRA\\  pbxfax.exe pbxvoice.exe pbxsms.exe\n"),
              std::string::npos)
        << s;

    // An error log's banner with no line after it: as empty as one that says "Empty".
    lines = full_report();
    auto log = std::find(lines.begin(), lines.end(), banner("log\\err%Y%m%d.log"));
    ASSERT_NE(log, lines.end());
    lines.erase(log + 1, log + 4);
    s = summary_text(parse(join(lines)), *Codepage::find(1252));
    EXPECT_NE(s.find("Error log log\\err%Y%m%d.log: empty\n"), std::string::npos) << s;
}
