// The error-log section: the configured name pattern expanded with the current local
// time, and the last 500 lines of that file.
//
// The pattern is a strftime format. It is expanded here rather than by the C library:
// the Windows C runtime that the program links knows only some of the conversions that
// the C library documents, and for one it does not know it calls its invalid-parameter
// handler, which ends the process. The expansion below gives the texts of the C locale
// for every documented conversion, the same on every build:
// - %c is "%a %b %e %H:%M:%S %Y", %x is "%m/%d/%y", %X is "%H:%M:%S", %r is
//   "%I:%M:%S %p", %p is "AM" or "PM"; names are English;
// - the E and O modifiers (%Ec, %Od, ...) change nothing in the C locale;
// - %z is the offset from UTC as "+hhmm" or "-hhmm", from the difference between the
//   local time and UTC; %Z gives no characters, as the C library allows when no zone
//   name can be told: the names Windows gives ("W. Europe Standard Time") and those of
//   other systems ("CET") differ, and a name would not be the same on every build.
// A pattern with any other conversion, a lone "%" at its end, or a name longer than
// 1023 characters gives the empty name, and so the not-found line.
#include "collect/collect_internal.h"

#include <cstdint>
#include <cstring>

#include "base/calendar_names.h"
#include "base/decimal.h"
#include "base/text_copy.h"
#include "install/install.h"
#include "platform/platform.h"

static const char default_log_pattern[] = "error.log";

namespace {

struct name_writer {
    char *out;
    size_t size;
    size_t used;
    bool overflow;
};

void put_text(name_writer *w, const char *text, size_t n)
{
    if (w->overflow || n > w->size - 1 - w->used) {
        w->overflow = true;
        return;
    }
    std::memcpy(w->out + w->used, text, n);
    w->used += n;
    w->out[w->used] = '\0';
}

void put_string(name_writer *w, const char *text)
{
    put_text(w, text, std::strlen(text));
}

// A number with at least width digits, padded with pad ('0' or ' ').
void put_number(name_writer *w, long value, int width, char pad)
{
    char digits[U64_DIGITS_SIZE];
    bool negative = value < 0;
    uint64_t magnitude = negative ? 0u - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    int n = format_u64(magnitude, digits);
    if (negative)
        put_text(w, "-", 1);
    for (int i = n; i < width; i++)
        put_text(w, &pad, 1);
    put_text(w, digits, static_cast<size_t>(n));
}

bool is_leap(long year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// ISO 8601 weeks: weeks begin on Monday; week 1 is the week with the year's first
// Thursday. Sets the week-based year and the week number (1 to 53).
void iso_week(const struct tm *tm, long *iso_year, int *week)
{
    long year = tm->tm_year + 1900L;
    int monday_based = (tm->tm_wday + 6) % 7; // Monday 0 .. Sunday 6
    int w = (tm->tm_yday - monday_based + 10) / 7;
    if (w < 1) {
        // The last week of the year before: the same count with the day taken as a
        // day of that year.
        long prev = year - 1;
        int prev_days = is_leap(prev) ? 366 : 365;
        int prev_yday = tm->tm_yday + prev_days;
        w = (prev_yday - monday_based + 10) / 7;
        *iso_year = prev;
        *week = w;
        return;
    }
    int days = is_leap(year) ? 366 : 365;
    // Days from this Monday-based week's Thursday to the end of the year.
    if (tm->tm_yday - monday_based + 3 >= days) {
        *iso_year = year + 1;
        *week = 1;
        return;
    }
    *iso_year = year;
    *week = w;
}

bool fields_in_range(const struct tm *tm)
{
    return tm->tm_sec >= 0 && tm->tm_sec <= 60 && tm->tm_min >= 0 && tm->tm_min <= 59 && tm->tm_hour >= 0 &&
           tm->tm_hour <= 23 && tm->tm_mday >= 1 && tm->tm_mday <= 31 && tm->tm_mon >= 0 && tm->tm_mon <= 11 &&
           tm->tm_wday >= 0 && tm->tm_wday <= 6 && tm->tm_yday >= 0 && tm->tm_yday <= 365 &&
           tm->tm_year >= -1900 && tm->tm_year <= 8099;
}

bool expand(name_writer *w, const char *pattern, const struct tm *tm, int offset_minutes, int offset_known);

// One conversion (the character after "%" and any modifier).
bool convert(name_writer *w, char c, const struct tm *tm, int offset_minutes, int offset_known)
{
    long year = tm->tm_year + 1900L;
    switch (c) {
    case 'a':
        put_text(w, day_name(tm->tm_wday), 3);
        return true;
    case 'A':
        put_string(w, day_name(tm->tm_wday));
        return true;
    case 'b':
    case 'h':
        put_text(w, month_name(tm->tm_mon), 3);
        return true;
    case 'B':
        put_string(w, month_name(tm->tm_mon));
        return true;
    case 'c':
        return expand(w, "%a %b %e %H:%M:%S %Y", tm, offset_minutes, offset_known);
    case 'C':
        put_number(w, year / 100, 2, '0');
        return true;
    case 'd':
        put_number(w, tm->tm_mday, 2, '0');
        return true;
    case 'D':
    case 'x':
        return expand(w, "%m/%d/%y", tm, offset_minutes, offset_known);
    case 'e':
        put_number(w, tm->tm_mday, 2, ' ');
        return true;
    case 'F':
        return expand(w, "%Y-%m-%d", tm, offset_minutes, offset_known);
    case 'g':
    case 'G':
    case 'V': {
        long iso_year;
        int week;
        iso_week(tm, &iso_year, &week);
        if (c == 'V')
            put_number(w, week, 2, '0');
        else if (c == 'G')
            put_number(w, iso_year, 1, '0');
        else
            put_number(w, ((iso_year % 100) + 100) % 100, 2, '0');
        return true;
    }
    case 'H':
        put_number(w, tm->tm_hour, 2, '0');
        return true;
    case 'I':
        put_number(w, tm->tm_hour % 12 == 0 ? 12 : tm->tm_hour % 12, 2, '0');
        return true;
    case 'j':
        put_number(w, tm->tm_yday + 1, 3, '0');
        return true;
    case 'm':
        put_number(w, tm->tm_mon + 1, 2, '0');
        return true;
    case 'M':
        put_number(w, tm->tm_min, 2, '0');
        return true;
    case 'n':
        put_string(w, "\n");
        return true;
    case 'p':
        put_string(w, tm->tm_hour < 12 ? "AM" : "PM");
        return true;
    case 'r':
        return expand(w, "%I:%M:%S %p", tm, offset_minutes, offset_known);
    case 'R':
        return expand(w, "%H:%M", tm, offset_minutes, offset_known);
    case 'S':
        put_number(w, tm->tm_sec, 2, '0');
        return true;
    case 't':
        put_string(w, "\t");
        return true;
    case 'T':
    case 'X':
        return expand(w, "%H:%M:%S", tm, offset_minutes, offset_known);
    case 'u':
        put_number(w, tm->tm_wday == 0 ? 7 : tm->tm_wday, 1, '0');
        return true;
    case 'U':
        put_number(w, (tm->tm_yday + 7 - tm->tm_wday) / 7, 2, '0');
        return true;
    case 'w':
        put_number(w, tm->tm_wday, 1, '0');
        return true;
    case 'W':
        put_number(w, (tm->tm_yday + 7 - (tm->tm_wday + 6) % 7) / 7, 2, '0');
        return true;
    case 'y':
        put_number(w, ((year % 100) + 100) % 100, 2, '0');
        return true;
    case 'Y':
        put_number(w, year, 1, '0');
        return true;
    case 'z':
        if (offset_known) {
            int minutes = offset_minutes < 0 ? -offset_minutes : offset_minutes;
            put_string(w, offset_minutes < 0 ? "-" : "+");
            put_number(w, minutes / 60 * 100 + minutes % 60, 4, '0');
        }
        return true;
    case 'Z':
        return true;
    case '%':
        put_string(w, "%");
        return true;
    default:
        return false;
    }
}

bool expand(name_writer *w, const char *pattern, const struct tm *tm, int offset_minutes, int offset_known)
{
    for (const char *p = pattern; *p != '\0' && !w->overflow; p++) {
        if (*p != '%') {
            put_text(w, p, 1);
            continue;
        }
        char c = *++p;
        if (c == 'E') {
            c = *++p;
            if (c == '\0' || std::strchr("cCxXyY", c) == nullptr)
                return false;
        } else if (c == 'O') {
            c = *++p;
            if (c == '\0' || std::strchr("deHImMSuUVwWy", c) == nullptr)
                return false;
        }
        if (c == '\0' || !convert(w, c, tm, offset_minutes, offset_known))
            return false;
    }
    return !w->overflow;
}

} // namespace

int expand_time_pattern(char *out, size_t size, const char *pattern, const struct tm *tm, int utc_offset_minutes,
                        int offset_known)
{
    if (size == 0)
        return -1;
    out[0] = '\0';
    name_writer w;
    w.out = out;
    w.size = size;
    w.used = 0;
    w.overflow = false;
    if (!fields_in_range(tm) || !expand(&w, pattern, tm, utc_offset_minutes, offset_known)) {
        out[0] = '\0';
        return -1;
    }
    return static_cast<int>(w.used);
}

// Minutes east of UTC of the local time local for the UTC time utc.
static int utc_offset(const struct tm *local, const struct tm *utc)
{
    int days = local->tm_yday - utc->tm_yday;
    if (local->tm_year != utc->tm_year)
        days = local->tm_year > utc->tm_year ? 1 : -1;
    return ((days * 24 + local->tm_hour - utc->tm_hour) * 60) + local->tm_min - utc->tm_min;
}

void dump_error_log(FILE *report)
{
    std::time_t now = std::time(nullptr);
    if (error_log_pattern[0] == '\0')
        text_copy(error_log_pattern, sizeof error_log_pattern, default_log_pattern);

    char name[LOG_NAME_SIZE];
    name[0] = '\0';
    struct tm local;
    if (plat_local_time(now, &local)) {
        int offset = 0;
        int offset_known = 0;
        const struct tm *utc = std::gmtime(&now);
        if (utc) {
            offset = utc_offset(&local, utc);
            offset_known = 1;
        }
        expand_time_pattern(name, sizeof name, error_log_pattern, &local, offset, offset_known);
    }

    char path[LOG_NAME_SIZE];
    if (std::strstr(name, ":\\")) {
        text_copy(path, sizeof path, name);
    } else {
        text_copy(path, sizeof path, install_dir());
        text_append(path, sizeof path, "\\");
        text_append(path, sizeof path, name);
    }
    copy_log_tail(report, path, "'%s' not found\n");
}
