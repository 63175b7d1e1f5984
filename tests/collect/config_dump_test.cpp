// The pbxcfg section: db.cfg, the verbatim copy of the configuration file, and the
// TimeCfg, VoipGlobal and error-log entries.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "collect/collect_internal.h"
#include "collect_test_util.h"
#include "test_support.h"

namespace {

void forget_entries()
{
    voip_dir[0] = '\0';
    error_log_pattern[0] = '\0';
}

std::string pbxcfg_section()
{
    return report_of([](FILE *r) {
        dump_pbxcfg(r);
        dump_time_cfg_files(r);
    });
}

// One configuration line through the line handler, with the installation C:\inst.
std::string line_through(const std::string &text)
{
    std::string copy = text;
    ring_init(&time_cfg_list);
    std::string out = report_of([&](FILE *r) { pbxcfg_line(r, &copy[0], "C:\\inst"); });
    while (time_cfg_list.next != &time_cfg_list)
        free_time_cfg_entry(reinterpret_cast<time_cfg_entry *>(ring_unlink(time_cfg_list.next)));
    return out;
}

} // namespace

TEST(ConfigDump, CfgNameChoosesTheConfigurationFile)
{
    test_host host;
    scratch_dir dir;
    forget_entries();
    host.registry(installation_at(test_install_dir));
    EXPECT_EQ(pbxcfg_section(), "Error: can't open dbfile 'C:\\TelinvCollect\\inst\\db.cfg'\n");

    // Only the first CfgName line counts; nothing of db.cfg reaches the report.
    host.file(in_install("db.cfg"), "# db\r\nCfgName = { \"pbx.cfg\" };\r\nCfgName = { \"other.cfg\" };\r\n");
    EXPECT_EQ(pbxcfg_section(), "Error: can't open cfgfile 'C:\\TelinvCollect\\inst\\pbx.cfg'\n");
    host.file(in_install("other.cfg"), "other\r\n");
    host.file(in_install("pbx.cfg"), "# the configuration\r\n\r\nName = { \"x\" };\r\nno line end");
    EXPECT_EQ(pbxcfg_section(), "# the configuration\n\nName = { \"x\" };\nno line end");

    // Without a CfgName line db.cfg is the configuration file, entries and all.
    host.file(in_install("db.cfg"), "# db\r\nVoipGlobal = { \"voip\" };\r\n");
    EXPECT_EQ(pbxcfg_section(), "# db\nVoipGlobal = { \"voip\" };\n");
    EXPECT_STREQ(voip_dir, "C:\\TelinvCollect\\inst\\voip");

    // A CfgName line that ends before its value names nothing: db.cfg again.
    host.file(in_install("db.cfg"), "CfgName = {\r\n");
    EXPECT_EQ(pbxcfg_section(), "CfgName = {\n");
    host.file(in_install("db.cfg"), "CfgName = { \"\"\"\"");
    EXPECT_EQ(pbxcfg_section(), "CfgName = { \"\"\"\"");

    host.registry(no_installation());
    EXPECT_EQ(pbxcfg_section(), "Error: pbx not found\n");
    forget_entries();
}

TEST(ConfigDump, TimeCfgFilesFollowInTheirOrder)
{
    test_host host;
    scratch_dir dir;
    forget_entries();
    host.registry(installation_at(test_install_dir));
    host.file(in_install("db.cfg"), "CfgName = { \"pbx.cfg\" };\r\n");
    std::string cfg = "TimeCfg = { \"a.cfg\", \"x\" };\r\n"
                      "# comment\r\n"
                      "TimeCfg = { \"a.cfg\", \"\" };\r\n"
                      "TimeCfg = { \"single.cfg\" };\r\n"
                      "TimeCfgX = { \"b.cfg\", \"\" };\r\n"
                      "TimeCfg = { \"missing.cfg\", \"\" };\r\n"
                      " TimeCfg = { \"indented.cfg\", \"\" };\r\n";
    host.file(in_install("pbx.cfg"), cfg);
    host.file(in_install("x_a.cfg"), "# x\r\nprefixed\r\n");
    host.file(in_install("a.cfg"), "plain\r\n\r\n");
    host.file(in_install("b.cfg"), "bee\r\n");
    EXPECT_EQ(pbxcfg_section(), lf_lines(cfg) + banner_line("x_a.cfg") + "prefixed\n" + banner_line("a.cfg") + "plain\n" +
                                    banner_line("b.cfg") + "bee\n" + banner_line("missing.cfg") +
                                    "Error: can't open file 'C:\\TelinvCollect\\inst\\missing.cfg'\n");
    EXPECT_EQ(time_cfg_list.next, &time_cfg_list); // drained
    EXPECT_EQ(report_of(dump_time_cfg_files), "");
    forget_entries();
}

TEST(ConfigDump, EntriesOfSingleLines)
{
    forget_entries();
    scratch_dir dir;
    // Every line is written as it is, before it is taken apart.
    EXPECT_EQ(line_through("VoipGlobal = { \"voip\" };\n"), "VoipGlobal = { \"voip\" };\n");
    EXPECT_STREQ(voip_dir, "C:\\inst\\voip");
    line_through("VoipGlobal = { \"D:\\voip\" };\n");
    EXPECT_STREQ(voip_dir, "D:\\voip");
    line_through("VoipGlobal = { \"\\voip\" };\n");
    EXPECT_STREQ(voip_dir, "\\voip");
    line_through("VoipGlobalX = { \"later\" };\n"); // a prefix match; the last one wins
    EXPECT_STREQ(voip_dir, "C:\\inst\\later");
    line_through("VoipGlobal\n"); // no value: unchanged
    EXPECT_STREQ(voip_dir, "C:\\inst\\later");
    line_through("VoipGlobal = { \"\" };\n"); // an empty value: unchanged
    EXPECT_STREQ(voip_dir, "C:\\inst\\later");
    line_through("voipglobal = { \"lower\" };\n"); // keys compare case-sensitively
    EXPECT_STREQ(voip_dir, "C:\\inst\\later");

    line_through("Log = { LOGERROR, \"log\\err%d.txt\" };\n");
    EXPECT_STREQ(error_log_pattern, "log\\err%d.txt");
    line_through("Log = { LOGERROR, \"\" };\n"); // empty: unchanged
    EXPECT_STREQ(error_log_pattern, "log\\err%d.txt");
    line_through("Log = { LOGERROR, "); // ends at the key: unchanged
    EXPECT_STREQ(error_log_pattern, "log\\err%d.txt");
    line_through("Log = { LOGERROR, \"second.log\" };\n");
    EXPECT_STREQ(error_log_pattern, "second.log");
    line_through("Log = { LOGWARN, \"warn.log\" };\n");
    EXPECT_STREQ(error_log_pattern, "second.log");

    // Values longer than their buffers are cut.
    line_through("VoipGlobal = { \"D:" + std::string(2000, 'v') + "\" };\n");
    EXPECT_EQ(std::string(voip_dir), "D:" + std::string(VOIP_DIR_SIZE - 3, 'v'));
    line_through("VoipGlobal = { \"" + std::string(2000, 'w') + "\" };\n");
    EXPECT_EQ(std::string(voip_dir), "C:\\inst\\" + std::string(VOIP_DIR_SIZE - 9, 'w'));
    line_through("Log = { LOGERROR, \"" + std::string(2000, 'e') + "\" };\n");
    EXPECT_EQ(std::string(error_log_pattern), std::string(ERROR_LOG_PATTERN_SIZE - 1, 'e'));

    // TimeCfg entries: pieces two and four.
    std::string with_prefix = "TimeCfg = { \"a.cfg\", \"x\" };\n";
    std::string copy = with_prefix;
    ring_init(&time_cfg_list);
    report_of([&](FILE *r) { pbxcfg_line(r, &copy[0], "C:\\inst"); });
    ASSERT_EQ(ring_count(&time_cfg_list), 1);
    time_cfg_entry *e = reinterpret_cast<time_cfg_entry *>(time_cfg_list.next);
    EXPECT_STREQ(e->cfg_file, "a.cfg");
    EXPECT_STREQ(e->cfg_prefix, "x");
    free_time_cfg_entry(reinterpret_cast<time_cfg_entry *>(ring_unlink(&e->links)));

    char cfg_line[] = "CfgName = { \"pbx.cfg\" };\n";
    EXPECT_STREQ(cfg_name_token(cfg_line), "pbx.cfg");
    char quotes_first[] = "CfgName = { \"\"\"pbx.cfg\"";
    EXPECT_STREQ(cfg_name_token(quotes_first), "pbx.cfg");
    char short_line[] = "CfgName = { \"";
    EXPECT_EQ(cfg_name_token(short_line), nullptr);
    forget_entries();
}
