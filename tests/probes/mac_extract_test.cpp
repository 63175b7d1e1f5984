#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "probes/probes_internal.h"
#include "standins.h"

namespace {

// The extractors' parsers over a copy of the text, as the capture would give it.
std::string ipconfig_mac_of(const std::string &capture, int *result = nullptr)
{
    std::vector<char> text(capture.begin(), capture.end());
    text.push_back('\0');
    char out[256];
    std::memset(out, 'x', sizeof out);
    int r = find_mac_text(text.data(), out, 255);
    if (result)
        *result = r;
    return out;
}

std::string getmac_list_of(const std::string &capture, int *result = nullptr, int size = 255)
{
    std::vector<char> text(capture.begin(), capture.end());
    text.push_back('\0');
    std::vector<char> out(static_cast<size_t>(size) + 1, 'x');
    int r = find_mac2_text(text.data(), out.data(), size);
    if (result)
        *result = r;
    return out.data();
}

std::vector<std::string> split_all(const std::string &s)
{
    std::vector<char> text(s.begin(), s.end());
    text.push_back('\0');
    std::vector<std::string> lines;
    for (char *line = next_line(text.data()); line; line = next_line(nullptr))
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(NextLine, SplitsAtLineFeedsAndDropsCarriageReturns)
{
    EXPECT_EQ(split_all("a\r\nb\nc"), (std::vector<std::string>{"a", "b", "c"}));
    // A line ends at its first CR: what stands behind a lone CR is not part of it.
    EXPECT_EQ(split_all("ab\rcd\nx"), (std::vector<std::string>{"ab", "x"}));
    // A last line feed leaves an empty last line; the empty text is one empty line.
    EXPECT_EQ(split_all("a\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(split_all(""), (std::vector<std::string>{""}));
    EXPECT_EQ(next_line(nullptr), nullptr); // the split is over
}

TEST(FindMac, FirstAddressAfterTheFirstLine)
{
    int r = -1;
    EXPECT_EQ(ipconfig_mac_of("header\r\n   Physical Address : 0-c-29-3a-4b-5c trailing\r\n", &r),
              "00-0C-29-3A-4B-5C");
    EXPECT_EQ(r, 1);
    // Wider numbers keep all their digits.
    EXPECT_EQ(ipconfig_mac_of("h\nx : 100-2-3-4-5-6\n"), "100-02-03-04-05-06");
    // The first line is never looked at; one line or none gives nothing.
    EXPECT_EQ(ipconfig_mac_of("Physical Address : 00-11-22-33-44-55\r\n", &r), "");
    EXPECT_EQ(r, 0);
    EXPECT_EQ(ipconfig_mac_of("", &r), "");
    EXPECT_EQ(r, 0);
    // Only the first ": " of a line counts; of two address lines the first wins.
    EXPECT_EQ(ipconfig_mac_of("h\nName : LAN : 00-11-22-33-44-55\nA : 1-2-3-4-5\nB : 0a-0b-0c-0d-0e-0f\n"
                              "C : 11-11-11-11-11-11\n"),
              "0A-0B-0C-0D-0E-0F");
    // No ": " at all, or a colon without the blank.
    EXPECT_EQ(ipconfig_mac_of("h\nPhysical Address:00-11-22-33-44-55\n", &r), "");
    EXPECT_EQ(r, 0);
}

TEST(FindMac2, SortedEntriesWithDuplicates)
{
    int r = -1;
    EXPECT_EQ(getmac_list_of("\r\n00-1B-00-00-00-01   \\Device\\Tcpip_{A}\r\n00-0A-00-00-00-02   x\r\n"
                             "00-1B-00-00-00-01   dup\r\n",
                             &r),
              "00-0A-00-00-00-02\n00-1B-00-00-00-01\n00-1B-00-00-00-01\n");
    EXPECT_EQ(r, 1);
    // CR LF and LF alone give the same entries; empty lines are passed over.
    EXPECT_EQ(getmac_list_of("\n00-1B-00-00-00-01 a\n\n00-0A-00-00-00-02 b\n"),
              getmac_list_of("\r\n00-1B-00-00-00-01 a\r\n\r\n00-0A-00-00-00-02 b\r\n"));
    // Bytes compare as unsigned values: digits, upper case, lower case, then high bytes.
    EXPECT_EQ(getmac_list_of("h\nb\na\nB\n1\n\xe4\n"), "1Bab\xe4");
    // A short line gives its whole text without a line feed; the next line is unchanged.
    EXPECT_EQ(getmac_list_of("h\n0123456789\n00-0A-00-00-00-02 rest\n"), "00-0A-00-00-00-02\n0123456789");
    // The first 17 characters whatever they are, blanks included.
    EXPECT_EQ(getmac_list_of("h\n   Media disconnected\n"), "   Media disconne\n");
}

TEST(FindMac2, OutputCutAtSizeLessOne)
{
    std::string capture = "\r\n";
    for (int i = 0; i < 15; i++) {
        char line[64];
        std::snprintf(line, sizeof line, "00-1B-21-00-00-%02X   \\Device\\Tcpip_{X}\r\n", i);
        capture += line;
    }
    int r = -1;
    std::string out = getmac_list_of(capture, &r);
    EXPECT_EQ(r, 1);
    ASSERT_EQ(out.size(), 254u); // fourteen entries of 18 and two characters of the fifteenth
    EXPECT_EQ(out.substr(0, 18), "00-1B-21-00-00-00\n");
    EXPECT_EQ(out.substr(13 * 18, 18), "00-1B-21-00-00-0D\n");
    EXPECT_EQ(out.substr(252), "00");
    // A smaller output: the entry that crosses the limit is cut, later ones add nothing.
    EXPECT_EQ(getmac_list_of("h\nAAAA\nBBBB\nCCCC\n", &r, 7), "AAAABB");
    EXPECT_EQ(r, 1);
}

TEST(FindMac2, TracesOfOneExtraction)
{
    trace_log log;
    int r = -1;
    EXPECT_EQ(getmac_list_of("first\r\n\r\n00-1B-00-00-00-01 x\r\n", &r), "00-1B-00-00-00-01\n");
    EXPECT_EQ(log.texts(), (std::vector<std::string>{"find_mac2: tmp 'first\r\n\r\n00-1B-00-00-00-01 x\r\n'",
                                                     "find_mac2: lin ''", "find_mac2: lin '00-1B-00-00-00-01 x'",
                                                     "find_mac2: lin ''"}));
    log.clear();
    // One line only: nothing examined, "no mac found".
    EXPECT_EQ(getmac_list_of("only line", &r), "");
    EXPECT_EQ(r, 0);
    EXPECT_EQ(log.texts(), (std::vector<std::string>{"find_mac2: tmp 'only line'", "find_mac2: no mac found"}));
}

TEST(FindMac2, LongCaptureIsCutInTheTraceButParsedWhole)
{
    // 3000 bytes of capture: the trace is cut to the debug buffer, the parse sees all.
    std::string capture = "\r\n";
    while (capture.size() < 3000)
        capture += "AA-AA-AA-AA-AA-AA   \\Device\\Tcpip_{filler}\r\n";
    capture += "00-00-00-00-00-01   last\r\n";
    trace_log log;
    std::string out = getmac_list_of(capture);
    EXPECT_EQ(out.substr(0, 18), "00-00-00-00-00-01\n");
    ASSERT_FALSE(log.texts().empty());
    const std::string &tmp = log.texts()[0];
    EXPECT_EQ(tmp.size(), static_cast<size_t>(PLAT_DEBUG_TEXT_MAX - 1));
    EXPECT_EQ(tmp, ("find_mac2: tmp '" + capture).substr(0, PLAT_DEBUG_TEXT_MAX - 1));
}

TEST(DebugTrace, FormatsLikeWvsprintf)
{
    trace_log log;
    EXPECT_EQ(debug_trace("mkwmic: add '%s'", "00-11"), 19);
    EXPECT_EQ(debug_trace("n=%d", 42), 4);
    EXPECT_EQ(log.texts(), (std::vector<std::string>{"mkwmic: add '00-11'", "n=42"}));
}

TEST(MacAdd, KeepsAtMost31CharactersInOrder)
{
    ring_node head;
    ring_init(&head);
    mac_add(&head, "b");
    mac_add(&head, std::string(40, 'a').c_str());
    mac_add(&head, "b");
    mac_add(&head, "");
    ASSERT_EQ(ring_count(&head), 4);
    std::vector<std::string> texts;
    while (head.next != &head) {
        mac_entry *e = reinterpret_cast<mac_entry *>(ring_unlink(head.next));
        texts.push_back(e->text);
        std::free(e);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"", std::string(31, 'a'), "b", "b"}));
}
