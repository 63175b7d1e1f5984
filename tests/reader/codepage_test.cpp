// Code pages: every byte of every table comes back as it was, through UTF-8 and the
// replaced bytes; UTF-8 is checked strictly; UTF-16 file names convert both ways.
#include <gtest/gtest.h>

#include "codepage.h"
#include "file_io.h"

using namespace telinv_read;

namespace {

// Decodes, lists the replaced bytes, encodes back.
std::string round_trip(const Codepage &cp, const std::string &bytes)
{
    std::string utf8 = cp.decode(bytes);
    std::vector<std::string_view> replaced;
    cp.for_each_replaced(bytes, [&](std::string_view r) { replaced.push_back(r); });
    std::string back;
    std::size_t next = 0;
    EXPECT_TRUE(cp.encode(utf8, back, replaced.data(), replaced.size(), &next)) << cp.page();
    EXPECT_EQ(next, replaced.size());
    return back;
}

} // namespace

TEST(ReaderCodepage, EveryByteOfEverySingleBytePageComesBack)
{
    std::string all;
    for (int b = 0; b < 256; b++)
        all += static_cast<char>(b);
    for (std::size_t t = 0; t < single_byte_table_count; t++) {
        auto cp = Codepage::find(single_byte_tables[t].page);
        ASSERT_TRUE(cp);
        EXPECT_EQ(round_trip(*cp, all), all) << cp->page();
        for (int b = 0x80; b < 0x100; b++) {
            std::string one = cp->decode(std::string(1, static_cast<char>(b)));
            bool undefined = single_byte_tables[t].high[b - 0x80] == 0xFFFD;
            EXPECT_EQ(one == "\xEF\xBF\xBD", undefined) << cp->page() << " byte " << b;
        }
    }
}

TEST(ReaderCodepage, KnownCharacters)
{
    struct Case {
        int page;
        unsigned char byte;
        const char *utf8;
    } cases[] = {{1252, 0x80, "\xE2\x82\xAC"}, {1252, 0xE4, "\xC3\xA4"},  {1252, 0x81, "\xEF\xBF\xBD"},
                 {437, 0x84, "\xC3\xA4"},      {850, 0xD5, "\xC4\xB1"},   {866, 0x80, "\xD0\x90"},
                 {1250, 0x8A, "\xC5\xA0"},     {1251, 0xC0, "\xD0\x90"},  {1253, 0xC1, "\xCE\x91"},
                 {874, 0xA1, "\xE0\xB8\x81"},  {1255, 0xE0, "\xD7\x90"},  {1256, 0xC7, "\xD8\xA7"}};
    for (const Case &c : cases)
        EXPECT_EQ(Codepage::find(c.page)->decode(std::string(1, static_cast<char>(c.byte))), c.utf8) << c.page;
}

TEST(ReaderCodepage, Utf8IsCheckedStrictly)
{
    auto cp = *Codepage::find(65001);
    // Valid text passes whole; U+FFFD in the text itself is listed, so it comes back too.
    std::string valid = "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD";
    EXPECT_EQ(cp.decode(valid), valid);
    EXPECT_EQ(round_trip(cp, valid), valid);
    // Each byte of an invalid sequence is one U+FFFD.
    const char *invalid[] = {"\x80", "\xC0\x80", "\xED\xA0\x80", "\xF5\x80\x80\x80", "\xE2\x82", "\xF4\x90\x80\x80", "\xFF"};
    for (const char *bad : invalid) {
        std::string bytes = std::string("x") + bad + "y";
        std::string want = "x";
        for (std::size_t i = 1; i + 1 < bytes.size(); i++)
            want += "\xEF\xBF\xBD";
        EXPECT_EQ(cp.decode(bytes), want + "y");
        EXPECT_EQ(round_trip(cp, bytes), bytes);
    }
}

TEST(ReaderCodepage, OnlyTheTablesPagesAndUtf8)
{
    for (int page : {0, 932, 936, 1200, 1259, 28591, -1252})
        EXPECT_FALSE(Codepage::find(page)) << page;
    EXPECT_EQ(Codepage::supported_list(), "437, 850, 866, 874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258, 65001");
    // A character the code page has no byte for can't be encoded.
    std::string out;
    std::size_t next = 0;
    EXPECT_FALSE(Codepage::find(1252)->encode("\xD0\x90", out, nullptr, 0, &next));
}

TEST(ReaderCodepage, Utf16FileNames)
{
    std::u16string wide = u"C:\\B\u00FCro\\\U0001F600.txt";
    std::string utf8 = utf8_from_utf16(wide);
    EXPECT_EQ(utf8, "C:\\B\xC3\xBCro\\\xF0\x9F\x98\x80.txt");
    EXPECT_EQ(utf16_from_utf8(utf8), wide);
    EXPECT_EQ(utf8_from_utf16(std::u16string(1, u'\xD800') + u"a"), "\xEF\xBF\xBD" "a");
    EXPECT_EQ(utf16_from_utf8("\xC0\xAF" "a"), u"\uFFFD\uFFFDa");
}
