// The error-log section: the name pattern's expansion and where the log is looked for.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <random>
#include <string>

#include "base/text_copy.h"
#include "collect/collect_internal.h"
#include "collect_test_util.h"
#include "test_support.h"

namespace {

// Thursday, 5 March 2026, 09:05:01.
struct tm march_5_2026()
{
    struct tm t;
    std::memset(&t, 0, sizeof t);
    t.tm_year = 126;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 1;
    t.tm_wday = 4;
    t.tm_yday = 63;
    return t;
}

// The expansion, or "<invalid>" when it is refused (and then checked to be empty).
std::string expanded(const std::string &pattern, const struct tm &t, int offset = 60, int known = 1)
{
    char out[LOG_NAME_SIZE];
    std::memset(out, 'x', sizeof out);
    int n = expand_time_pattern(out, sizeof out, pattern.c_str(), &t, offset, known);
    if (n < 0)
        return out[0] == '\0' ? "<invalid>" : "<invalid, not emptied>";
    EXPECT_EQ(static_cast<size_t>(n), std::strlen(out));
    return out;
}

struct tm date(int year, int month, int day, int hour = 0)
{
    struct tm t;
    std::memset(&t, 0, sizeof t);
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    // mktime fills in the weekday and the day of the year; at noon, no change of the
    // clock moves the date.
    t.tm_hour = 12;
    t.tm_isdst = -1;
    std::mktime(&t);
    t.tm_hour = hour;
    t.tm_isdst = 0;
    return t;
}

std::string today(const char *format)
{
    std::time_t now = std::time(nullptr);
    char buf[64];
    std::strftime(buf, sizeof buf, format, std::localtime(&now));
    return buf;
}

std::string error_log_section()
{
    return report_of(dump_error_log);
}

} // namespace

TEST(TimePattern, EveryConversionInTheCLocale)
{
    const struct tm t = march_5_2026();
    EXPECT_EQ(expanded("log\\err%Y%m%d.txt", t), "log\\err20260305.txt");
    EXPECT_EQ(expanded("%a|%A|%b|%B|%h|%C|%d|%e|%H|%I|%j|%m|%M|%S|%p|%u|%w|%y|%Y|%%", t),
              "Thu|Thursday|Mar|March|Mar|20|05| 5|09|09|064|03|05|01|AM|4|4|26|2026|%");
    EXPECT_EQ(expanded("%c", t), "Thu Mar  5 09:05:01 2026");
    EXPECT_EQ(expanded("%D|%x|%F|%T|%X|%R|%r", t), "03/05/26|03/05/26|2026-03-05|09:05:01|09:05:01|09:05|09:05:01 AM");
    EXPECT_EQ(expanded("%U|%W|%V|%G|%g", t), "09|09|10|2026|26");
    EXPECT_EQ(expanded("a%nb%tc", t), "a\nb\tc");
    // The E and O modifiers change nothing in the C locale.
    EXPECT_EQ(expanded("%Ec|%EC|%Ex|%EX|%Ey|%EY", t), "Thu Mar  5 09:05:01 2026|20|03/05/26|09:05:01|26|2026");
    EXPECT_EQ(expanded("%Od|%Oe|%OH|%OI|%Om|%OM|%OS|%Ou|%OU|%OV|%Ow|%OW|%Oy", t),
              "05| 5|09|09|03|05|01|4|09|10|4|09|26");
    // The zone: the offset as +hhmm, no name.
    EXPECT_EQ(expanded("%z|%Z|", t, 60), "+0100||");
    EXPECT_EQ(expanded("%z", t, -330), "-0530");
    EXPECT_EQ(expanded("%z", t, 0), "+0000");
    EXPECT_EQ(expanded("[%z]", t, 0, 0), "[]");

    struct tm pm = t;
    pm.tm_hour = 0;
    EXPECT_EQ(expanded("%I %p", pm), "12 AM");
    pm.tm_hour = 12;
    EXPECT_EQ(expanded("%I %p", pm), "12 PM");
    pm.tm_hour = 23;
    EXPECT_EQ(expanded("%I %p|%H", pm), "11 PM|23");
}

TEST(TimePattern, IsoWeeksAtTheTurnOfTheYear)
{
    EXPECT_EQ(expanded("%G-W%V-%u", date(2021, 1, 3)), "2020-W53-7");
    EXPECT_EQ(expanded("%G-W%V-%u", date(2021, 1, 4)), "2021-W01-1");
    EXPECT_EQ(expanded("%G-W%V-%u|%g", date(2024, 12, 30)), "2025-W01-1|25");
    EXPECT_EQ(expanded("%G-W%V-%u", date(2026, 12, 31)), "2026-W53-4");
    EXPECT_EQ(expanded("%G-W%V-%u", date(2027, 1, 1)), "2026-W53-5");
    EXPECT_EQ(expanded("%G-W%V-%u", date(2008, 12, 29)), "2009-W01-1");
    EXPECT_EQ(expanded("%U %W %j", date(2023, 1, 1)), "01 00 001"); // a Sunday
    EXPECT_EQ(expanded("%U %W %j", date(2024, 12, 31)), "52 53 366");
}

TEST(TimePattern, RefusedPatternsGiveTheEmptyName)
{
    const struct tm t = march_5_2026();
    for (const char *bad : {"%q", "err%", "%E", "%O", "%Ed", "%Oa", "%EH", "%OY", "%k", "%s", "%P", "%+", "%5Y",
                            "%-d", "%#x", "ok %Y and %Q"})
        EXPECT_EQ(expanded(bad, t), "<invalid>") << bad;
    EXPECT_EQ(expanded("", t), "");
    // 1023 characters fit, 1024 do not; a pattern that grows past them is refused.
    EXPECT_EQ(expanded(std::string(1023, 'n'), t).size(), 1023u);
    EXPECT_EQ(expanded(std::string(1022, 'n') + "%%", t).size(), 1023u);
    EXPECT_EQ(expanded(std::string(1022, 'n') + "%d", t), "<invalid>");
    std::string many_c;
    for (int i = 0; i < 42; i++)
        many_c += "%c";
    EXPECT_EQ(expanded(many_c, t).size(), 42u * 24u); // 1008
    EXPECT_EQ(expanded(many_c + "%c", t), "<invalid>");
    // Fields out of their ranges are refused rather than looked up.
    struct tm odd = t;
    odd.tm_wday = 7;
    EXPECT_EQ(expanded("%a", odd), "<invalid>");
    odd = t;
    odd.tm_mon = -1;
    EXPECT_EQ(expanded("x", odd), "<invalid>");
}

TEST(TimePattern, SameAsTheHostCLibrary)
{
#ifdef _WIN32
    GTEST_SKIP() << "the Windows C runtime's strftime does not know the C99 conversions";
#else
    // The C library of the host build knows every conversion: the texts must agree.
    const char *formats[] = {"%a %A %b %B %c %C %d %D %e %F %g %G %h %H %I %j %m %M %n %p %r %R %S %t %T",
                             "%u %U %V %w %W %x %X %y %Y %% %Ec %EC %Ex %EX %Ey %EY",
                             "%Od %Oe %OH %OI %Om %OM %OS %Ou %OU %OV %Ow %OW %Oy"};
    std::mt19937 rng(7);
    std::time_t first = 0;                       // 1970
    std::time_t span = 4102444800 - 86400 * 2;   // to the end of 2099
    for (int i = 0; i < 3000; i++) {
        std::time_t when = first + static_cast<std::time_t>(rng() % static_cast<uint32_t>(span / 60)) * 60;
        if (i < 400) // every day around the turns of the years
            when = static_cast<std::time_t>((i / 20) * 365.2425 * 86400) + (i % 20 - 10) * 86400 + 3600 * (i % 24);
        struct tm t;
        gmtime_r(&when, &t);
        for (const char *f : formats) {
            char want[512];
            std::strftime(want, sizeof want, f, &t);
            ASSERT_EQ(expanded(f, t), want) << f << " at " << when;
        }
    }
#endif
}

TEST(ErrorLog, WhereTheLogIsLookedFor)
{
    test_host host;
    scratch_dir dir;
    host.registry(installation_at(test_install_dir));

    // No entry: error.log in the installation directory, and the default stays.
    error_log_pattern[0] = '\0';
    EXPECT_EQ(error_log_section(), "'C:\\TelinvCollect\\inst\\error.log' not found\n");
    EXPECT_STREQ(error_log_pattern, "error.log");
    host.file(in_install("error.log"), "");
    EXPECT_EQ(error_log_section(), "Empty\n");

    // Today's name from the date conversions.
    text_copy(error_log_pattern, sizeof error_log_pattern, "log\\err%Y%m%d.txt");
    std::string lines;
    for (int i = 1; i <= 1200; i++)
        lines += "error " + std::to_string(i) + "\r\n";
    host.file(in_install("log\\err" + today("%Y%m%d") + ".txt"), lines);
    std::string out = error_log_section();
    EXPECT_EQ(out.substr(0, 10), "error 701\n");
    EXPECT_EQ(out.substr(out.size() - 11), "error 1200\n");
    EXPECT_STREQ(error_log_pattern, "log\\err%Y%m%d.txt"); // never replaced by the expansion

    text_copy(error_log_pattern, sizeof error_log_pattern, "err%%.log");
    host.file(in_install("err%.log"), "percent\r\n");
    EXPECT_EQ(error_log_section(), "percent\n");

    // A name with ":\" is a whole path; a leading backslash still goes behind the
    // installation directory.
    text_copy(error_log_pattern, sizeof error_log_pattern, "C:\\TelinvCollect\\logs\\error.log");
    host.file("C:\\TelinvCollect\\logs\\error.log", "elsewhere\n");
    EXPECT_EQ(error_log_section(), "elsewhere\n");
    text_copy(error_log_pattern, sizeof error_log_pattern, "\\logs\\error.log");
    EXPECT_EQ(error_log_section(), "'C:\\TelinvCollect\\inst\\\\logs\\error.log' not found\n");
    text_copy(error_log_pattern, sizeof error_log_pattern, "D:\\logs\\%Y.log");
    EXPECT_EQ(error_log_section(), "'D:\\logs\\" + today("%Y") + ".log' not found\n");

    // A refused pattern: the empty name, and so the directory itself is not found.
    text_copy(error_log_pattern, sizeof error_log_pattern, "err%Q.log");
    EXPECT_EQ(error_log_section(), "'C:\\TelinvCollect\\inst\\' not found\n");

    // The path is cut at 1023 characters.
    text_copy(error_log_pattern, sizeof error_log_pattern, std::string(771, 'p').c_str());
    std::string path = std::string(test_install_dir) + "\\" + std::string(771, 'p');
    EXPECT_EQ(error_log_section(), "'" + path + "' not found\n");
    std::string many_c;
    for (int i = 0; i < 42; i++)
        many_c += "%c"; // 1008 characters behind the directory's 22
    text_copy(error_log_pattern, sizeof error_log_pattern, many_c.c_str());
    out = error_log_section();
    EXPECT_EQ(out.size(), std::string("'' not found\n").size() + 1023);

    // Without an installation, the root of the current drive.
    host.registry(no_installation());
    text_copy(error_log_pattern, sizeof error_log_pattern, "TelinvNoSuch.log");
    EXPECT_EQ(error_log_section(), "'\\TelinvNoSuch.log' not found\n");
    error_log_pattern[0] = '\0';
}
