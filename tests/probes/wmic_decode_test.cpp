#include <gtest/gtest.h>

#include <string>

#include "probes/probes_internal.h"
#include "standins.h"
#include "test_host.h"

namespace {

// 16-bit little-endian text behind a byte-order mark, as wmic writes its output file.
std::string wide(const std::string &text)
{
    std::string out = "\xff\xfe";
    for (char c : text) {
        out += c;
        out += '\0';
    }
    return out;
}

std::string decoded(const std::string &bytes, int capacity = 255, int wanted_line = 1)
{
    std::string out(static_cast<size_t>(capacity) + 1, 'x');
    decode_wmic_text(reinterpret_cast<const unsigned char *>(bytes.data()), static_cast<uint32_t>(bytes.size()),
                     &out[0], capacity, wanted_line);
    return out.c_str();
}

} // namespace

TEST(WmicDecoding, AllowedCharactersOfTheFirstRow)
{
    EXPECT_EQ(decoded(wide("DeviceID  \r\n\\\\?\\Volume{4d36e967-e325}\\   \r\n")), "Volume4d36e967-e325");
    EXPECT_EQ(decoded(wide("Name\r\nSAMPLE-PBX_1.a\r\nOTHER\r\n")), "SAMPLE-PBX_1.a");
    EXPECT_EQ(decoded(wide("Name\r\nX\r\n"), 255, 0), "Name"); // the heading is line 0
    EXPECT_EQ(decoded(wide("Name\r\nX\r\nsecond\r\n"), 255, 2), "second");
    // No line feed after the heading, or nothing behind the mark.
    EXPECT_EQ(decoded(wide("Name  ")), "");
    EXPECT_EQ(decoded("\xff\xfe"), "");
    EXPECT_EQ(decoded("\xff"), "");
    EXPECT_EQ(decoded(""), "");
}

TEST(WmicDecoding, OnlyLowBytesCount)
{
    // A unit whose low byte is allowed counts whatever its high byte; a unit whose low
    // byte is a line feed ends the line; bytes with the high bit set are skipped.
    std::string bytes = "\xff\xfe" + std::string("N\0\n\0", 4) + std::string("A\x04" "B\xff" "\xe9\0" "C\0", 8);
    EXPECT_EQ(decoded(bytes), "ABC");
    std::string line_end = "\xff\xfe" + std::string("N\0\n\x30" "D\0", 6);
    EXPECT_EQ(decoded(line_end), "D");
}

TEST(WmicDecoding, CapacityAndReadLimit)
{
    std::string row(300, 'v');
    std::string out = decoded(wide("Name\r\n" + row + "\r\n"));
    EXPECT_EQ(out, std::string(255, 'v'));
    EXPECT_EQ(decoded(wide("Name\r\n" + row + "\r\n"), 3), "vvv");
}

TEST(WmicFile, ReadThenDeletedOnEveryPath)
{
    test_host host;
    char dir[PLAT_MAX_PATH];
    ASSERT_GT(plat_temp_path(dir, sizeof dir), 0u);
    std::string name = std::string(dir) + "pbxwmictest.tmp";
    char out[256];

    host.file(name, wide("Name\r\nHOST-1\r\n"));
    EXPECT_EQ(read_wmic_value(name.c_str(), out, 255, 1), 1);
    EXPECT_STREQ(out, "HOST-1");
    EXPECT_FALSE(plat_path_exists(name.c_str()));

    // A second line that starts beyond the first 4095 bytes is not read.
    host.file(name, wide("Name" + std::string(2100, ' ') + "\r\nLATE\r\n"));
    EXPECT_EQ(read_wmic_value(name.c_str(), out, 255, 1), 0);
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(plat_path_exists(name.c_str()));

    host.file(name, wide("Name\r\n   \r\n"));
    EXPECT_EQ(read_wmic_value(name.c_str(), out, 255, 1), 0);
    EXPECT_FALSE(plat_path_exists(name.c_str()));

    // No such file: nothing read, nothing left.
    out[0] = 'x';
    EXPECT_EQ(read_wmic_value(name.c_str(), out, 255, 1), 0);
    EXPECT_STREQ(out, "");
}
