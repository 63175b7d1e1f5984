// The helpers of src/base that several subsystems share.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/ascii_case.h"
#include "base/calendar_names.h"
#include "base/decimal.h"
#include "base/system_dir.h"
#include "base/text_copy.h"
#include "test_host.h"
#include "test_support.h"

TEST(TextCopy, CutsAtTheBufferAndAlwaysTerminates)
{
    char small[8] = "abc";
    text_append(small, sizeof small, "defghij");
    EXPECT_STREQ(small, "abcdefg");
    text_append(small, sizeof small, "x"); // full: nothing more
    EXPECT_STREQ(small, "abcdefg");
    // One character more than the room: the last is cut, the terminator stays inside.
    char edge[8] = "abc";
    text_append(edge, sizeof edge, "defgh");
    EXPECT_STREQ(edge, "abcdefg");
    text_copy(small, sizeof small, "0123456789");
    EXPECT_STREQ(small, "0123456");
    text_copy(small, sizeof small, "0123456"); // exactly fills it
    EXPECT_STREQ(small, "0123456");
    text_copy(small, sizeof small, "");
    EXPECT_STREQ(small, "");
    // Size 0 writes nothing at all; size 1 leaves the empty text.
    char guard[2] = {'g', 'g'};
    text_copy(guard, 0, "abc");
    EXPECT_EQ(guard[0], 'g');
    text_copy(guard, 1, "abc");
    EXPECT_EQ(guard[0], '\0');
    EXPECT_EQ(guard[1], 'g');
}

TEST(TextCopy, WholeOrNothing)
{
    char buf[6] = "xxxxx";
    EXPECT_EQ(text_copy_whole(buf, sizeof buf, "abcde"), 5u); // with its terminator, it just fits
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(text_copy_whole(buf, sizeof buf, "abcdef"), 0u); // cut, it would name another
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(text_copy_whole(buf, sizeof buf, ""), 0u);
    char guard = 'g';
    EXPECT_EQ(text_copy_whole(&guard, 0, "a"), 0u);
    EXPECT_EQ(guard, 'g');
}

TEST(AsciiCase, LettersFoldOtherBytesDoNot)
{
    EXPECT_TRUE(ascii_equal_folded("E1G60I32", "e1g60i32"));
    EXPECT_TRUE(ascii_equal_folded("", ""));
    EXPECT_FALSE(ascii_equal_folded("abc", "abcd"));
    EXPECT_FALSE(ascii_equal_folded("abcd", "abc"));
    // Only ASCII letters fold: '[' and '{' are not the case pair of each other, nor are
    // the bytes of 8-bit letters.
    EXPECT_FALSE(ascii_equal_folded("[", "{"));
    EXPECT_FALSE(ascii_equal_folded("\xc4", "\xe4"));
    EXPECT_EQ(ascii_upper('z'), 'Z');
    EXPECT_EQ(ascii_upper('@'), '@');
    EXPECT_EQ(ascii_upper('`'), '`');

    EXPECT_TRUE(ascii_prefix_folded("C:\\WINDOWS\\system32\\x", "c:\\windows\\System32", 19));
    EXPECT_FALSE(ascii_prefix_folded("C:\\Windows\\system3", "C:\\Windows\\system32", 19));
    EXPECT_TRUE(ascii_prefix_folded("abc", "ABC", 3));
    EXPECT_FALSE(ascii_prefix_folded("ab", "ABC", 3)); // a shorter text does not match
}

TEST(Decimal, AllDigitsOf64BitNumbers)
{
    char out[U64_DIGITS_SIZE];
    EXPECT_EQ(format_u64(0, out), 1);
    EXPECT_STREQ(out, "0");
    EXPECT_EQ(format_u64(4194, out), 4);
    EXPECT_STREQ(out, "4194");
    EXPECT_EQ(format_u64(4294967296ull, out), 10); // past 32 bits
    EXPECT_STREQ(out, "4294967296");
    EXPECT_EQ(format_u64(18446744073709551615ull, out), 20);
    EXPECT_STREQ(out, "18446744073709551615");
}

TEST(CalendarNames, EnglishNamesAndOutOfRange)
{
    EXPECT_STREQ(day_name(0), "Sunday");
    EXPECT_STREQ(day_name(6), "Saturday");
    EXPECT_STREQ(month_name(0), "January");
    EXPECT_STREQ(month_name(11), "December");
    EXPECT_STREQ(day_name(7), "Sunday");
    EXPECT_STREQ(day_name(-1), "Sunday");
    EXPECT_STREQ(month_name(12), "January");
}

TEST(SystemDir, WholeOrNothing)
{
    test_host host;
    const std::string expected = system_dir();
    ASSERT_FALSE(expected.empty());
    char buf[300];
    EXPECT_EQ(system_dir(buf, sizeof buf), expected.size());
    EXPECT_EQ(std::string(buf), expected);
    // A buffer that the directory and its terminator just fill, and one byte less: a cut
    // directory would name another, so there is none.
    EXPECT_EQ(system_dir(buf, expected.size() + 2), expected.size());
    EXPECT_EQ(system_dir(buf, expected.size() + 1), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(system_dir(buf, 1), 0u);
}

TEST(NativeFilePath, SystemDirectoryPathsUnderWow64)
{
    test_host host;
    char out[64];
    const char drivers[] = "C:\\windows\\system32\\drivers\\x.sys";
    // Without WOW64 (the host as it is; the Windows builds under wine64) every path is
    // read as it is.
    EXPECT_EQ(native_file_path(drivers, out, sizeof out), drivers);
    if (!host.play_wow64())
        GTEST_SKIP() << "a 64-bit program is no 32-bit program on 64-bit Windows";
    EXPECT_STREQ(native_file_path(drivers, out, sizeof out), "C:\\windows\\Sysnative\\drivers\\x.sys");
    // Names compare without regard to case; the directory itself counts.
    EXPECT_STREQ(native_file_path("c:\\WINDOWS\\System32\\pbxtsp.tsp", out, sizeof out),
                 "C:\\windows\\Sysnative\\pbxtsp.tsp");
    EXPECT_STREQ(native_file_path("C:\\windows\\system32", out, sizeof out), "C:\\windows\\Sysnative");
    // Other paths, a longer name that begins the same, and a path that would not fit.
    const char *const unchanged[] = {"C:\\windows\\system32x\\a", "C:\\windows\\syswow64\\a",
                                     "D:\\windows\\system32\\a", "C:\\windows\\system3",
                                     "C:\\Program Files\\pbx\\pbxserv.exe"};
    for (const char *path : unchanged)
        EXPECT_EQ(native_file_path(path, out, sizeof out), path) << path;
    const std::string longer = "C:\\windows\\system32\\" + std::string(60, 'n');
    EXPECT_EQ(native_file_path(longer.c_str(), out, sizeof out), longer.c_str());
}
