// The email section, on both layers: the mail key is the suite's own.
#include <gtest/gtest.h>

#include <string>

#include "sysinfo/sysinfo_internal.h"
#include "sysinfo_fixture.h"
#include "test_host.h"
#include "test_support.h"

namespace {

const std::string mail_key = "SOFTWARE\\MIRDEN\\pbxmail";

std::string email_of(const std::string &values, bool with_key = true)
{
    test_host host;
    host.registry("[-HKEY_LOCAL_MACHINE\\SOFTWARE\\KESTRA]\n[-HKEY_LOCAL_MACHINE\\" + mail_key + "]\n" +
                  (with_key ? key(mail_key) + values : std::string()));
    return report_of(dump_email);
}

std::string eight_rows(int type, int poll, int no_esmtp, const std::string &me, const std::string &pop,
                       const std::string &pop_user, const std::string &smtp, const std::string &smtp_user)
{
    return row("Type:", std::to_string(type)) + row("PollTime:", std::to_string(poll)) +
           row("NoESMTP:", std::to_string(no_esmtp)) + row("MyEMail:", me) + row("Pop3-Server:", pop) +
           row("Pop3-User:", pop_user) + row("SMTP-Server:", smtp) + row("SMTP-User:", smtp_user);
}

} // namespace

TEST(Email, AllEightValues)
{
    EXPECT_EQ(email_of("\"AktType\"=dword:00000002\n\"PopTime\"=dword:0000003c\n\"NoESMTP\"=dword:ffffffff\n"
                       "\"MyEmail\"=\"pbx@example.org\"\n\"PopServer\"=\"pop.example.org\"\n\"PopUser\"=\"pbx\"\n"
                       "\"SMTPServer\"=\"smtp.example.org\"\n\"SMTPUser\"=\"pbx-out\"\n"),
              eight_rows(2, 60, -1, "pbx@example.org", "pop.example.org", "pbx", "smtp.example.org", "pbx-out"));
}

TEST(Email, EitherServerFillsTheSection)
{
    EXPECT_EQ(email_of("", false), "");
    EXPECT_EQ(email_of("\"PopServer\"=\"pop.example.org\"\n"), eight_rows(0, 0, 0, "", "pop.example.org", "", "", ""));
    EXPECT_EQ(email_of("\"SMTPServer\"=\"smtp.example.org\"\n"),
              eight_rows(0, 0, 0, "", "", "", "smtp.example.org", ""));
    EXPECT_EQ(email_of("\"PopServer\"=\"\"\n\"SMTPServer\"=\"\"\n\"AktType\"=dword:00000001\n"), "");
}

TEST(Email, ValuesOfTheWrongKindOrSizeCountAsMissing)
{
    // A type stored as a string shows 0; a text of 1024 characters and its terminator
    // does not fit the 1024-byte buffer and shows empty; 1023 characters fit.
    EXPECT_EQ(email_of("\"AktType\"=\"2\"\n\"PopTime\"=hex:01,02\n\"SMTPServer\"=\"smtp\"\n\"MyEmail\"=\"" +
                       std::string(1024, 'm') + "\"\n\"PopUser\"=\"" + std::string(1023, 'u') + "\"\n"),
              eight_rows(0, 0, 0, "", "", std::string(1023, 'u'), "smtp", ""));
}
