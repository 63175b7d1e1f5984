// The English names of the days of the week and of the months, as the C library's C
// locale gives them; their first three letters are the abbreviations.
#ifndef TELINV_BASE_CALENDAR_NAMES_H
#define TELINV_BASE_CALENDAR_NAMES_H

// "Sunday" to "Saturday" for 0 to 6 (struct tm's tm_wday); a day out of range is Sunday.
const char *day_name(int day);

// "January" to "December" for 0 to 11 (struct tm's tm_mon); a month out of range is
// January.
const char *month_name(int month);

#endif
