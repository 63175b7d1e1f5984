// Names of days and months.
#include "base/calendar_names.h"

static const char *const day_names[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
static const char *const month_names[] = {"January", "February", "March",     "April",   "May",      "June",
                                          "July",    "August",   "September", "October", "November", "December"};

const char *day_name(int day)
{
    return day_names[day >= 0 && day < 7 ? day : 0];
}

const char *month_name(int month)
{
    return month_names[month >= 0 && month < 12 ? month : 0];
}
