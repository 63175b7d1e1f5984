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
    reg_read_dword(key, name, &number);
    return static_cast<int32_t>(number);
}

void dump_email(FILE *report)
{
    char my_email[MAIL_TEXT_SIZE];
    char pop_server[MAIL_TEXT_SIZE];
    char pop_user[MAIL_TEXT_SIZE];
    char smtp_server[MAIL_TEXT_SIZE];
    char smtp_user[MAIL_TEXT_SIZE];

    // The key path lives in product_subkey's buffer until its next call.
    const char *key = product_subkey("pbxmail");
    int32_t type = read_number(key, "AktType");
    int32_t poll_time = read_number(key, "PopTime");
    int32_t no_esmtp = read_number(key, "NoESMTP");
    // A value that can't be read, or is larger than its buffer, is the empty text.
    reg_read_text(key, "MyEmail", my_email, sizeof my_email);
    reg_read_text(key, "PopServer", pop_server, sizeof pop_server);
    reg_read_text(key, "PopUser", pop_user, sizeof pop_user);
    reg_read_text(key, "SMTPServer", smtp_server, sizeof smtp_server);
    reg_read_text(key, "SMTPUser", smtp_user, sizeof smtp_user);

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
