// The simple file sections: the filtered copy, the verbatim copy, the netcfg path, the
// VoIP files and the SIP server's error file.
#include <gtest/gtest.h>

#include <string>

#include "base/text_copy.h"
#include "collect/collect_internal.h"
#include "collect_test_util.h"
#include "platform/platform.h"
#include "test_support.h"

namespace {

} // namespace

TEST(FileSection, BlankCommentAndCrRules)
{
    test_host host;
    scratch_dir dir;
    host.registry(installation_at(test_install_dir));
    // Only comments, blank lines and line ends: nothing.
    host.file(in_install("act.cfg"), "# one\r\n\r\n\n#\r\n\r\r\n\r");
    EXPECT_EQ(report_of(dump_actcfg), "");

    host.file(in_install("act.cfg"), "  # indented\r\n"
                                     "#dropped\r\n"
                                     "a # not a comment\r\n"
                                     " \t \r\n"
                                     "abc\rdef\r\n"
                                     "\r\rafter crs\n"
                                     "last without line end");
    EXPECT_EQ(report_of(dump_actcfg), "  # indented\n"
                                      "a # not a comment\n"
                                      " \t \n"
                                      "abc\n"
                                      "after crs\n"
                                      "last without line end\n");

    // A 5000-character line is three pieces of 2047, 2047 and 906 characters, each a line.
    std::string line(5000, 'x');
    line[2047] = '#'; // the second piece begins with "#": a comment of its own
    host.file(in_install("pbxboot.log"), line + "\r\n");
    EXPECT_EQ(report_of(dump_pbxboot), std::string(2047, 'x') + "\n" + std::string(906, 'x') + "\n");

    // Missing files and a missing installation.
    EXPECT_EQ(report_of([](FILE *r) { copy_file_section(r, "C:\\TelinvCollect\\none.cfg"); }),
              "Error: can't open file 'C:\\TelinvCollect\\none.cfg'\n");
    host.registry(no_installation());
    EXPECT_EQ(report_of(dump_actcfg), "Error: pbx not found\n");
    EXPECT_EQ(report_of(dump_pbxboot), "Error: pbx not found\n");
    EXPECT_EQ(report_of(dump_pbxcards), "Error: pbx not found\n");
}

TEST(FileSection, PbxcardsIsCopiedVerbatim)
{
    test_host host;
    scratch_dir dir;
    host.registry(installation_at(test_install_dir));
    EXPECT_EQ(report_of(dump_pbxcards),
              "Error: can't open actfile 'C:\\TelinvCollect\\inst\\pbxcards.log'\n");
    std::string text = "# kept\r\n\r\n" + std::string(5000, 'c') + "\r\nabc\rdef\r\nno end";
    host.file(in_install("pbxcards.log"), text);
    EXPECT_EQ(report_of(dump_pbxcards), "# kept\n\n" + std::string(5000, 'c') + "\nabc\rdef\nno end");
    host.file(in_install("pbxcards.log"), "");
    EXPECT_EQ(report_of(dump_pbxcards), "");
}

TEST(FileSection, NetcfgAtTheRootOfTheInstallationDrive)
{
    test_host host;
    scratch_dir dir;
    host.registry(installation_at("D:\\Programs\\corvana\\corvana.Quendal"));
    EXPECT_EQ(report_of(dump_netcfg), "Error: can't open file 'D:\\etc\\pbxnet.cfg'\n");

    host.registry(installation_at(test_install_dir));
    host.file("C:\\etc\\pbxnet.cfg", "# net\r\nip = 10.0.0.1\r\n");
    EXPECT_EQ(report_of(dump_netcfg), "ip = 10.0.0.1\n");

    // Without an installation, the system directory's drive; never "pbx not found".
    host.registry(no_installation());
    ASSERT_EQ(system_dir().substr(1, 2), ":\\");
    EXPECT_EQ(report_of(dump_netcfg), "ip = 10.0.0.1\n");
    host.file("C:\\etc\\pbxnet.cfg", "");
    EXPECT_EQ(report_of(dump_netcfg), "");
}

TEST(FileSection, VoipFiles)
{
    test_host host;
    scratch_dir dir;
    voip_dir[0] = '\0';
    EXPECT_EQ(report_of(dump_voip_files), "");

    const char *names[] = {"CFG.TCL",  "TS.TCL",      "GLOBALS.TCL", "STUN.TXT",
                           "USER.TXT", "SIPSERV.TXT", "VFILES.TXT",  "RESOLV.CONF"};
    text_copy(voip_dir, sizeof voip_dir, "C:\\TelinvCollect\\voip");
    std::string none;
    for (const char *n : names)
        none += banner_line(n) + "Error: can't open file 'C:\\TelinvCollect\\voip\\" + n + "'\n";
    EXPECT_EQ(report_of(dump_voip_files), none);

    host.file("C:\\TelinvCollect\\voip\\STUN.TXT", "# stun\r\nstun.example 3478\r\n");
    host.file("C:\\TelinvCollect\\voip\\RESOLV.CONF", "nameserver 10.0.0.2\n\n");
    std::string some;
    for (const char *n : names) {
        some += banner_line(n);
        if (std::string(n) == "STUN.TXT")
            some += "stun.example 3478\n";
        else if (std::string(n) == "RESOLV.CONF")
            some += "nameserver 10.0.0.2\n";
        else
            some += std::string("Error: can't open file 'C:\\TelinvCollect\\voip\\") + n + "'\n";
    }
    EXPECT_EQ(report_of(dump_voip_files), some);
    voip_dir[0] = '\0';
}

TEST(FileSection, KamailioErrorFileTail)
{
    test_host host;
    scratch_dir dir;
    EXPECT_EQ(report_of(dump_kamailio_err), "c:\\cygwin\\kamailio\\kamailio-err.txt not found\n");
    const std::string path = "C:\\cygwin\\kamailio\\kamailio-err.txt";
    host.file(path, "");
    EXPECT_EQ(report_of(dump_kamailio_err), "Empty\n");
    std::string lines;
    for (int i = 1; i <= 501; i++)
        lines += "err " + std::to_string(i) + "\r\n";
    host.file(path, lines);
    std::string out = report_of(dump_kamailio_err);
    EXPECT_EQ(out.substr(0, 6), "err 2\n");
    EXPECT_EQ(out.size(), lf_lines(lines).size() - 6);
    host.file(path, lines.substr(lines.find('\n') + 1)); // 500 lines
    EXPECT_EQ(report_of(dump_kamailio_err), lf_lines(lines).substr(6));
}

TEST(FileSection, LongPathsAreCutNotOverrun)
{
    test_host host;
    scratch_dir dir;
    std::string long_dir = "C:\\" + std::string(1200, 'v');
    text_copy(voip_dir, sizeof voip_dir, long_dir.c_str());
    EXPECT_EQ(std::string(voip_dir).size(), VOIP_DIR_SIZE - 1u);
    std::string out = report_of(dump_voip_files);
    // Every path is cut at 775 characters: the message shows the cut path.
    std::string first = banner_line("CFG.TCL") + "Error: can't open file '" + long_dir.substr(0, 775) + "'\n";
    EXPECT_EQ(out.substr(0, first.size()), first);
    voip_dir[0] = '\0';
}
