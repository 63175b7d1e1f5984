#include "report/report.h"

#include <cstring>

enum { BANNER_TEXT_SIZE = 4096, BANNER_LINE_MAX = 78 };

static const char banner_hyphens[] = "-------------------------------------"; // 37

void print_banner(FILE *report, const char *name)
{
    char text[BANNER_TEXT_SIZE];
    int n = std::snprintf(text, sizeof text, "%s %s %s\n", banner_hyphens, name ? name : "", banner_hyphens);
    if (n < 0)
        return;
    size_t len = std::strlen(text);
    if (len > 0 && text[len - 1] == '\n')
        len--;
    if (len > BANNER_LINE_MAX)
        len = BANNER_LINE_MAX;
    text[len] = '\n';
    text[len + 1] = '\0';
    std::fputs(text, report);
}
