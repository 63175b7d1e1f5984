// The email section: the settings of the suite's mail component ("pbxmail" key).
#include "sysinfo/sysinfo.h"

#include <cstring>

#include "install/install.h"
#include "platform/platform.h"

enum { MAIL_TEXT_SIZE = 1024 };

// A DWORD value, or 0 when it can't be read as one.
static int32_t read_number(const char *key, const char *name)
{
    uint32_t number = 0;
    if (reg_read_value(PLAT_HKEY_LOCAL_MACHINE, key, name, PLAT_REG_DWORD, &number, sizeof number) == -1)
        return 0;
    return static_cast<int32_t>(number);
}

// A string value into text (MAIL_TEXT_SIZE characters), or the empty text.
static void read_text(const char *key, const char *name, char *text)
{
    std::memset(text, 0, MAIL_TEXT_SIZE);
    if (reg_read_value(PLAT_HKEY_LOCAL_MACHINE, key, name, PLAT_REG_SZ, text, MAIL_TEXT_SIZE) == -1)
        text[0] = '\0';
    text[MAIL_TEXT_SIZE - 1] = '\0';
}

void dump_email(FILE *report)
{
    static char my_email[MAIL_TEXT_SIZE];
    static char pop_server[MAIL_TEXT_SIZE];
    static char pop_user[MAIL_TEXT_SIZE];
    static char smtp_server[MAIL_TEXT_SIZE];
    static char smtp_user[MAIL_TEXT_SIZE];

    const char *key = product_subkey("pbxmail");
    int32_t type = read_number(key, "AktType");
    int32_t poll_time = read_number(key, "PopTime");
    int32_t no_esmtp = read_number(key, "NoESMTP");
    read_text(key, "MyEmail", my_email);
    read_text(key, "PopServer", pop_server);
    read_text(key, "PopUser", pop_user);
    read_text(key, "SMTPServer", smtp_server);
    read_text(key, "SMTPUser", smtp_user);

    if (smtp_server[0] == '\0' && pop_server[0] == '\0')
        return;
    std::fprintf(report, "%-18s %d\n", "Type:", static_cast<int>(type));
    std::fprintf(report, "%-18s %d\n", "PollTime:", static_cast<int>(poll_time));
    std::fprintf(report, "%-18s %d\n", "NoESMTP:", static_cast<int>(no_esmtp));
    std::fprintf(report, "%-18s %s\n", "MyEMail:", my_email);
    std::fprintf(report, "%-18s %s\n", "Pop3-Server:", pop_server);
    std::fprintf(report, "%-18s %s\n", "Pop3-User:", pop_user);
    std::fprintf(report, "%-18s %s\n", "SMTP-Server:", smtp_server);
    std::fprintf(report, "%-18s %s\n", "SMTP-User:", smtp_user);
}
