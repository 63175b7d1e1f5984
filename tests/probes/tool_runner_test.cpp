// The runner and the probes with real child processes: the stand-in tools on the host
// build (Linux programs inside the simulated host) and under Wine (Windows programs in
// the prefix's system directory).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/cpu_id.h"
#include "platform/platform.h"
#include "probes/probes_internal.h"
#include "standins.h"
#include "test_host.h"
#include "test_support.h"

#ifndef _WIN32
#include "platform/host/host.h"
#endif

namespace {

const std::vector<std::string> none;

// Probes use a one-second limit while one of these lives.
struct short_limit {
    short_limit() { tool_time_limit_ms = 1000; }
    ~short_limit() { tool_time_limit_ms = TOOL_TIME_LIMIT_MS; }
};

// A capture file as the probes make one; its name in name.
plat_handle new_capture(std::string *name)
{
    char dir[PLAT_MAX_PATH];
    char file[PLAT_MAX_PATH];
    if (plat_temp_path(dir, sizeof dir) == 0 || plat_temp_file_name(dir, "pbx", 0, file) == 0)
        return nullptr;
    *name = file;
    return plat_create_file(file, PLAT_GENERIC_READ | PLAT_GENERIC_WRITE, PLAT_FILE_SHARE_READ | PLAT_FILE_SHARE_WRITE,
                            PLAT_CREATE_ALWAYS);
}

std::string captured(plat_handle h)
{
    char buf[4096];
    uint32_t got = 0;
    if (!plat_seek_file(h, 0) || !plat_read_file(h, buf, sizeof buf - 1, &got))
        return "";
    return std::string(buf, got);
}

const char getmac_output[] = "\r\n00-1B-21-3A-4B-01   \\Device\\Tcpip_{6F1C2B7A-0D4E-4C1B-9E43-2A51C0A8F101}\r\n"
                             "00-1B-21-3A-4B-02   \\Device\\Tcpip_{9B3E4D5C-1A2B-4C3D-8E9F-0A1B2C3D4E02}\r\n";

} // namespace

TEST(RunTool, CapturesStandardOutputOfARealChild)
{
    test_host host;
    installed_tools tools(host);
    tools.install("getmac");
    std::string name;
    plat_handle capture = new_capture(&name);
    ASSERT_NE(capture, nullptr);
    char command[] = "getmac -NH";
    EXPECT_EQ(run_tool((system_dir() + "\\getmac.exe").c_str(), command, capture, 10000), TOOL_ENDED);
    EXPECT_EQ(captured(capture), getmac_output);
    plat_close_handle(capture);
    plat_delete_file(name.c_str());
}

TEST(RunTool, ToolThatCannotBeStarted)
{
    test_host host;
    installed_tools tools(host);
    tools.put("C:\\windows\\system32\\telinvbad.exe", "this is not a program\r\n");
    char command[] = "telinvbad -x";
    EXPECT_EQ(run_tool((system_dir() + "\\telinvbad.exe").c_str(), command, nullptr, 10000), TOOL_NOT_STARTED);
    char other[] = "telinvnone";
    EXPECT_EQ(run_tool((system_dir() + "\\telinvnone.exe").c_str(), other, nullptr, 10000), TOOL_NOT_STARTED);
}

TEST(RunTool, ChildPastTheLimitIsTerminated)
{
    test_host host;
    installed_tools tools(host);
    tools.install("sleeper", "C:\\windows\\system32\\telinvsleep.exe");
    char command[] = "telinvsleep 30";
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run_tool((system_dir() + "\\telinvsleep.exe").c_str(), command, nullptr, 1000), TOOL_ENDED_BY_LIMIT);
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 10);
    // Ended for real: its file can be replaced at once (Windows keeps a running program's file).
    tools.remove("C:\\windows\\system32\\telinvsleep.exe");
    EXPECT_FALSE(plat_path_exists("C:\\windows\\system32\\telinvsleep.exe"));
}

TEST(Probes, AllFourWithTheStandInTools)
{
    test_host host;
    installed_tools tools(host);
    tools.install_all();
    trace_log log;
    EXPECT_STREQ(probe_computer_name(), "SAMPLE-PBX");
    EXPECT_STREQ(probe_volume_id(), "Volume4d36e967-e325-11ce-bfc1-08002be10318"); // the first volume
    EXPECT_STREQ(probe_processor_id(), "BFEBFBFF000306A9");
    EXPECT_EQ(mkwmic(), 1);
    EXPECT_STREQ(probe_result, "00-1B-21-3A-4B-01\n00-1B-21-3A-4B-02\n");
    EXPECT_EQ(log.texts().back(), "mkwmic: add '00-1B-21-3A-4B-01\n00-1B-21-3A-4B-02\n'");
    EXPECT_EQ(ipconfig_mac(), 1);
    EXPECT_STREQ(probe_result, "00-1B-21-3A-4B-01");
    EXPECT_EQ(capture_files_left(), none);
}

TEST(Probes, MacAddressesByWindowsVersion)
{
    if (!test_host::simulated())
        GTEST_SKIP() << "under Wine the Windows version is Wine's own (6.1)";
    test_host host;
    installed_tools tools(host);
    tools.install_all();
    host.registry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n\"CurrentVersion\"=\"5.1\"\n");
    EXPECT_STREQ(probe_mac_addresses(), "00-1B-21-3A-4B-01"); // ipconfig
    host.registry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n\"CurrentVersion\"=\"6.0\"\n");
    EXPECT_STREQ(probe_mac_addresses(), "00-1B-21-3A-4B-01\n00-1B-21-3A-4B-02\n"); // getmac
    EXPECT_EQ(capture_files_left(), none);
}

TEST(Probes, CannedValuesOfTheHostAndAnotherProbeReplacesTheText)
{
    test_host host;
    installed_tools tools(host);
    tools.install_all();
    tools.put("C:\\windows\\system32\\wbem\\wmic.txt", "; this host\nName=OTHER-HOST\nProcessorId=1234\n");
    tools.put("C:\\windows\\system32\\getmac.txt", "\n02-00-00-00-00-09   x\n02-00-00-00-00-03   y\n");
    const char *first = probe_computer_name();
    EXPECT_STREQ(first, "OTHER-HOST");
    EXPECT_EQ(wmic_query("VOLUME GET DeviceID"), 0); // no DeviceID in this host's data
    EXPECT_STREQ(first, "");                         // the same buffer, emptied by the next query
    EXPECT_STREQ(probe_processor_id(), "1234");
    EXPECT_EQ(mkwmic(), 1);
    EXPECT_STREQ(probe_result, "02-00-00-00-00-03\n02-00-00-00-00-09\n");
    EXPECT_EQ(capture_files_left(), none);
}

TEST(Probes, LongMacListFillsTheResultToItsLimit)
{
    test_host host;
    installed_tools tools(host);
    tools.install_all();
    // 20 adapters give 360 characters: the list is cut to 254, as the section has always
    // printed it, in the started run as in the one run on its own.
    std::string lines = "\n";
    for (int i = 10; i < 30; i++)
        lines += "02-00-00-00-00-" + std::to_string(i) + "   x\n";
    tools.put("C:\\windows\\system32\\getmac.txt", lines);
    if (test_host::simulated())
        host.registry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n\"CurrentVersion\"=\"6.1\"\n");
    EXPECT_EQ(mkwmic(), 1);
    EXPECT_EQ(std::strlen(probe_result), 254u);
    EXPECT_EQ(std::string(probe_result, 18), "02-00-00-00-00-10\n");
    start_probes(0);
    EXPECT_EQ(std::strlen(probe_mac_addresses()), 254u);
    end_probes();
    EXPECT_EQ(capture_files_left(), none);
}

TEST(Probes, ToolsAreTakenFromTheSystemDirectoryOnly)
{
    test_host host;
    installed_tools tools(host);
    tools.install_all();
    scratch_dir cwd;
    // Tools of the same names in the current directory, with other output.
    std::string here = windows_path(cwd.path());
    tools.install("getmac", here + "\\getmac.exe");
    tools.put(here + "\\getmac.txt", "\n0E-0E-0E-0E-0E-0E   current directory\n");
    tools.install("wmic", here + "\\wmic.exe");
    tools.put(here + "\\wmic.txt", "Name=CURRENT-DIR\n");
    EXPECT_STREQ(probe_computer_name(), "SAMPLE-PBX");
    EXPECT_EQ(mkwmic(), 1);
    EXPECT_STREQ(probe_result, "00-1B-21-3A-4B-01\n00-1B-21-3A-4B-02\n");

    // Without the system's tools nothing is found, though the current directory has them.
    tools.remove(installed_tools::tool_path("getmac"));
    tools.remove(installed_tools::tool_path("wmic"));
    EXPECT_EQ(wmic_query("COMPUTERSYSTEM GET Name"), 0);
    EXPECT_STREQ(probe_result, "");
    EXPECT_EQ(mkwmic(), 0);
    EXPECT_STREQ(probe_result, "");
    EXPECT_EQ(capture_files_left(), none);
}

TEST(Probes, ToolsThatCannotBeStartedLeaveNoCapture)
{
    test_host host;
    installed_tools tools(host);
    tools.put(installed_tools::tool_path("wmic"), "not a program");
    tools.put(installed_tools::tool_path("getmac"), "not a program");
    tools.put(installed_tools::tool_path("ipconfig"), "not a program");
    trace_log log;
    EXPECT_EQ(wmic_query("COMPUTERSYSTEM GET Name"), 0);
    EXPECT_STREQ(probe_result, "");
    EXPECT_EQ(capture_files_left(), none);
    EXPECT_EQ(mkwmic(), 0);
    EXPECT_EQ(log.texts(), (std::vector<std::string>{"find_mac2: tmp ''", "find_mac2: no mac found"}));
    EXPECT_EQ(ipconfig_mac(), 0);
    EXPECT_STREQ(probe_result, "");
    EXPECT_EQ(capture_files_left(), none);
}

TEST(Probes, ToolsPastTheLimitGiveTheEmptyText)
{
    test_host host;
    installed_tools tools(host);
    short_limit limit;
    tools.install("sleeper", installed_tools::tool_path("wmic"));
    tools.install("sleeper", installed_tools::tool_path("getmac"));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(wmic_query("CPU GET ProcessorId"), 0);
    EXPECT_STREQ(probe_result, "");
    // The sleeper has written an address before it sleeps: the half output is not used.
    EXPECT_EQ(mkwmic(), 0);
    EXPECT_STREQ(probe_result, "");
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 15);
    EXPECT_EQ(capture_files_left(), none);
}

TEST(Probes, TemporaryDirectoryWithBlanks)
{
    test_host host;
    installed_tools tools(host);
    tools.install_all();
    char original[PLAT_MAX_PATH];
    ASSERT_GT(plat_temp_path(original, sizeof original), 0u);
    std::string dir = std::string(original) + "telinv probe dir\\";
    host.directory(dir.substr(0, dir.size() - 1));
#ifdef _WIN32
    std::string old_tmp = plat_getenv("TMP") ? plat_getenv("TMP") : "";
    set_env("TMP", dir.substr(0, dir.size() - 1).c_str());
#else
    host_set_temp_path(dir.c_str());
#endif
    char now[PLAT_MAX_PATH];
    plat_temp_path(now, sizeof now);
    EXPECT_EQ(std::string(now), dir);
    EXPECT_STREQ(probe_computer_name(), "SAMPLE-PBX");
    EXPECT_EQ(ipconfig_mac(), 1);
    EXPECT_EQ(capture_files_left(), none);
#ifdef _WIN32
    set_env("TMP", old_tmp.c_str());
#else
    host_set_temp_path(nullptr);
#endif
}

TEST(Probes, NoTemporaryDirectory)
{
    if (!test_host::simulated())
        GTEST_SKIP() << "the Wine prefix's temporary directory is not to be taken away";
#ifndef _WIN32
    test_host host;
    installed_tools tools(host);
    tools.install_all();
    host_set_temp_path("C:\\no such dir\\");
    EXPECT_EQ(wmic_query("COMPUTERSYSTEM GET Name"), 0);
    EXPECT_STREQ(probe_result, "");
    EXPECT_EQ(mkwmic(), 0);
    EXPECT_STREQ(probe_result, "");
    host_set_temp_path(nullptr);
#endif
}

namespace {

// What wmic's row would give for the system's own values: on the host build the
// simulated host's registry below, under Wine the prefix's own name and volumes.
struct system_identifiers {
    std::string name;
    std::string volume; // "" under Wine: a volume name as its form only is known
};

system_identifiers simulate_identifiers(test_host &host)
{
    if (!test_host::simulated())
        return {plat_getenv("COMPUTERNAME") ? plat_getenv("COMPUTERNAME") : "", ""};
    // A name with characters wmic's filter drops; the drive letters' entries come
    // before the first volume in the mount manager's list, and are passed over.
    host.registry("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName]\n"
                  "\"ComputerName\"=\"BRANCH PBX#2\"\n"
                  "[HKEY_LOCAL_MACHINE\\SYSTEM\\MountedDevices]\n"
                  "\"\\\\DosDevices\\\\C:\"=hex:01,02\n"
                  "\"\\\\??\\\\Volume{0a1b2c3d-1111-2222-3333-444455556666}\"=hex:01,02\n"
                  "\"\\\\??\\\\Volume{99999999-1111-2222-3333-444455556666}\"=hex:03,04\n");
    return {"BRANCHPBX2", "Volume0a1b2c3d-1111-2222-3333-444455556666"};
}

} // namespace

TEST(Probes, SystemAnswersWhereWmicGivesNone)
{
    test_host host;
    installed_tools tools(host);
    system_identifiers expected = simulate_identifiers(host);
    const std::string processor = machine_processor_id();
    short_limit limit;
    // wmic gone, wmic that is no program, wmic past the limit, wmic whose output has the
    // heading and no value row: each probe gives the system's own answer.
    const char *const states[] = {"absent", "not a program", "hanging", "no value row"};
    for (const char *state : states) {
        SCOPED_TRACE(state);
        const std::string wmic = installed_tools::tool_path("wmic");
        if (std::strcmp(state, "absent") == 0) {
            tools.remove(wmic);
        } else if (std::strcmp(state, "not a program") == 0) {
            tools.put(wmic, "not a program");
        } else if (std::strcmp(state, "hanging") == 0) {
            tools.install("sleeper", wmic);
        } else {
            tools.install("wmic", wmic);
            tools.put(wmic.substr(0, wmic.size() - 4) + ".txt", "Name\nDeviceID\nProcessorId\n");
        }
        EXPECT_EQ(std::string(probe_computer_name()), expected.name);
        std::string volume = probe_volume_id();
        if (test_host::simulated())
            EXPECT_EQ(volume, expected.volume);
        else // "\\?\Volume{GUID}\" through the filter
            EXPECT_TRUE(volume.size() == 42 && volume.compare(0, 6, "Volume") == 0 && volume[14] == '-') << volume;
        EXPECT_EQ(std::string(probe_processor_id()), processor);
        EXPECT_EQ(capture_files_left(), none);
    }
    // wmic's own values stand where it gives them.
    tools.install_all();
    const std::string wmic = installed_tools::tool_path("wmic");
    tools.put(wmic.substr(0, wmic.size() - 4) + ".txt",
              "Name=WMIC-NAME\n"
              "DeviceID=\\\\?\\Volume{11111111-2222-3333-4444-555555555555}\\\n"
              "ProcessorId=0000000000000001\n");
    EXPECT_STREQ(probe_computer_name(), "WMIC-NAME");
    EXPECT_STREQ(probe_volume_id(), "Volume11111111-2222-3333-4444-555555555555");
    EXPECT_STREQ(probe_processor_id(), "0000000000000001");
    EXPECT_EQ(capture_files_left(), none);
}

TEST(Probes, SystemAnswersTakeWmicsForm)
{
    char out[PROBE_RESULT_SIZE];
    EXPECT_EQ(keep_wmic_characters("\\\\?\\Volume{4d36e967-e325-11ce-bfc1-08002be10318}\\", out, 255), 42);
    EXPECT_STREQ(out, "Volume4d36e967-e325-11ce-bfc1-08002be10318");
    EXPECT_EQ(keep_wmic_characters("Ab-9._ \t:{}\xc4\xe9", out, 255), 6);
    EXPECT_STREQ(out, "Ab-9._");
    // At most 255 characters, the terminator the buffer's 256th.
    std::string long_name(300, 'N');
    EXPECT_EQ(keep_wmic_characters(long_name.c_str(), out, PROBE_RESULT_SIZE - 1), 255);
    EXPECT_EQ(std::string(out), std::string(255, 'N'));

    char id[17];
    EXPECT_EQ(format_processor_id(0x000306A9u, 0xBFEBFBFFu, id, sizeof id), 16);
    EXPECT_STREQ(id, "BFEBFBFF000306A9");
    EXPECT_EQ(format_processor_id(0x1u, 0x0u, id, sizeof id), 16);
    EXPECT_STREQ(id, "0000000000000001");
    EXPECT_EQ(format_processor_id(0x1u, 0x0u, id, 16), 0); // no room for the terminator
}

TEST(CpuId, SignatureOfTheMachine)
{
#if defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
    // The family, model and stepping that Linux reports, in leaf 1's EAX layout.
    FILE *info = std::fopen("/proc/cpuinfo", "r");
    if (!info)
        GTEST_SKIP() << "no /proc/cpuinfo";
    long family = -1, model = -1, stepping = -1;
    bool fpu = false;
    char line[4096];
    while (std::fgets(line, sizeof line, info) && (family < 0 || model < 0 || stepping < 0 || !fpu)) {
        std::sscanf(line, "cpu family : %ld", &family);
        std::sscanf(line, "model : %ld", &model);
        std::sscanf(line, "stepping : %ld", &stepping);
        if (std::strncmp(line, "flags", 5) == 0)
            fpu = std::strstr(line, " fpu") != nullptr;
    }
    std::fclose(info);
    if (family < 0 || model < 0 || stepping < 0)
        GTEST_SKIP() << "/proc/cpuinfo names no family, model and stepping";
    uint32_t base = family >= 15 ? 15 : static_cast<uint32_t>(family);
    uint32_t extended_family = family >= 15 ? static_cast<uint32_t>(family - 15) : 0;
    bool extended_model = base == 6 || base == 15;
    uint32_t expected = static_cast<uint32_t>(stepping) |
                        (static_cast<uint32_t>(extended_model ? model & 15 : model) << 4) | (base << 8) |
                        (static_cast<uint32_t>(extended_model ? model >> 4 : 0) << 16) | (extended_family << 20);
    uint32_t eax = 0, edx = 0;
    ASSERT_EQ(cpu_id_leaf1(&eax, &edx), 1);
    EXPECT_EQ(eax & 0x0FFF0FFFu, expected) << std::hex << eax;
    EXPECT_EQ((edx & 1u) != 0, fpu) << std::hex << edx;
#else
    GTEST_SKIP() << "the machine's processor is checked against Linux's /proc/cpuinfo on x86";
#endif
}

namespace {

// Every stand-in waits this long before it answers while one of these lives.
struct tool_delay {
    explicit tool_delay(int ms) { set_env("TELINV_STANDIN_DELAY_MS", std::to_string(ms).c_str()); }
    ~tool_delay() { set_env("TELINV_STANDIN_DELAY_MS", ""); }
};

// The four answers of the sysinfo section, taken in its order.
std::vector<std::string> take_all_four()
{
    std::vector<std::string> answers;
    answers.push_back(probe_mac_addresses());
    answers.push_back(probe_computer_name());
    answers.push_back(probe_volume_id());
    answers.push_back(probe_processor_id());
    return answers;
}

long long milliseconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// The pbx*.tmp captures among the paths of a stand-in's list of its open files.
std::vector<std::string> captures_in(const std::string &list)
{
    std::vector<std::string> found;
    size_t start = 0;
    while (start < list.size()) {
        size_t end = list.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = list.size();
        std::string line = list.substr(start, end - start);
        start = end + 1;
        std::string name = line.substr(line.find_last_of("\\/") + 1);
        for (char &c : name)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        if (name.compare(0, 3, "pbx") == 0 && name.size() > 7 && name.compare(name.size() - 4, 4, ".tmp") == 0)
            found.push_back(name);
    }
    return found;
}

} // namespace

TEST(StartedProbes, SameAnswersInTheSlowestToolsTime)
{
    test_host host;
    installed_tools tools(host);
    tools.install_all();
    if (test_host::simulated()) // getmac: Windows Vista and later
        host.registry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n\"CurrentVersion\"=\"6.1\"\n");
    const std::vector<std::string> one_after_another = take_all_four();
    EXPECT_EQ(one_after_another[0], "00-1B-21-3A-4B-01\n00-1B-21-3A-4B-02\n");
    EXPECT_EQ(one_after_another[1], "SAMPLE-PBX");

    // Without identifiers only the MAC address tool starts; the wmic probes then run
    // their tools themselves, as before.
    start_probes(0);
    EXPECT_EQ(take_all_four(), one_after_another);
    end_probes();
    EXPECT_EQ(capture_files_left(), none);

    // Four tools of a second each: one after another they take four seconds.
    tool_delay delay(1000);
    trace_log log;
    auto start = std::chrono::steady_clock::now();
    start_probes(1);
    EXPECT_EQ(take_all_four(), one_after_another);
    long long ms = milliseconds_since(start);
    EXPECT_GE(ms, 1000);
    EXPECT_LT(ms, 3200) << "the tools did not run at once"; // one after another: 4000 and more
    EXPECT_EQ(log.texts().back(), "mkwmic: add '00-1B-21-3A-4B-01\n00-1B-21-3A-4B-02\n'");
    end_probes();
    EXPECT_EQ(capture_files_left(), none);
}

TEST(StartedProbes, EachToolKeepsItsOwnLimit)
{
    test_host host;
    installed_tools tools(host);
    short_limit limit;
    // Hanging tools: wmic, getmac and ipconfig never end in time. One after another the
    // four would take four limits; at once, one.
    for (const char *tool : {"wmic", "getmac", "ipconfig"})
        tools.install("sleeper", installed_tools::tool_path(tool));
    system_identifiers expected = simulate_identifiers(host);
    auto start = std::chrono::steady_clock::now();
    start_probes(1);
    std::vector<std::string> answers = take_all_four();
    long long ms = milliseconds_since(start);
    EXPECT_EQ(answers[0], ""); // the half output of a tool ended at its limit is not used
    EXPECT_EQ(answers[1], expected.name);
    EXPECT_EQ(answers[3], machine_processor_id());
    EXPECT_GE(ms, 1000);
    EXPECT_LT(ms, 2500) << "the limits did not run at once";
    end_probes();
    EXPECT_EQ(capture_files_left(), none);

    // What is started and never taken is ended at once, its capture deleted.
    start = std::chrono::steady_clock::now();
    start_probes(1);
    end_probes();
    EXPECT_LT(milliseconds_since(start), 900);
    EXPECT_EQ(capture_files_left(), none);
    // Ending twice, or with nothing started, does nothing.
    end_probes();
    EXPECT_EQ(capture_files_left(), none);
}

TEST(StartedProbes, ToolsThatCannotBeStartedAffectOnlyTheirOwnAnswer)
{
    test_host host;
    installed_tools tools(host);
    tools.install_all();
    if (test_host::simulated())
        host.registry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n\"CurrentVersion\"=\"6.1\"\n");
    tools.put(installed_tools::tool_path("getmac"), "not a program");
    const std::string wmic = installed_tools::tool_path("wmic");
    tools.put(wmic.substr(0, wmic.size() - 4) + ".txt", "Name=WMIC-NAME\nProcessorId=0000000000000001\n");
    system_identifiers expected = simulate_identifiers(host);
    start_probes(1);
    std::vector<std::string> answers = take_all_four();
    EXPECT_EQ(answers[0], "");
    EXPECT_EQ(answers[1], "WMIC-NAME");
    if (test_host::simulated()) // no DeviceID row: the system's own first volume
        EXPECT_EQ(answers[2], expected.volume);
    else
        EXPECT_EQ(answers[2].compare(0, 6, "Volume"), 0) << answers[2];
    EXPECT_EQ(answers[3], "0000000000000001");
    end_probes();
    EXPECT_EQ(capture_files_left(), none);
}

TEST(StartedProbes, NoToolInheritsAnothersCapture)
{
    test_host host;
    installed_tools tools(host);
    tools.install_all();
    if (test_host::simulated())
        host.registry("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion]\n\"CurrentVersion\"=\"6.1\"\n");
    // Each tool lists the files it holds open once it has started; getmac starts first,
    // and its capture is open while the three wmic queries start.
    const std::string dir = "C:\\windows\\system32\\";
    tools.put(dir + "getmac.mode", "list-handles\r\n");
    tools.put(dir + "wbem\\wmic.mode", "list-handles\r\n");
    const char *const lists[] = {"getmac.handles", "wbem\\wmic-Name.handles", "wbem\\wmic-DeviceID.handles",
                                 "wbem\\wmic-ProcessorId.handles"};
    for (const char *list : lists)
        tools.put(dir + list, "not written\r\n"); // taken away again at the end
    tool_delay delay(300);         // all four running at the same time
    start_probes(1);
    std::vector<std::string> answers = take_all_four();
    end_probes();
    EXPECT_EQ(answers[0], "00-1B-21-3A-4B-01\n00-1B-21-3A-4B-02\n");
    EXPECT_EQ(answers[1], "SAMPLE-PBX");

    // getmac holds its own capture, as its standard output; no wmic holds any.
    std::vector<std::string> getmac_captures = captures_in(read_file(host.native(dir + lists[0])));
    EXPECT_EQ(getmac_captures.size(), 1u) << read_file(host.native(dir + lists[0]));
    for (int i = 1; i < 4; i++) {
        std::string list = read_file(host.native(dir + lists[i]));
        EXPECT_EQ(list.find("not written"), std::string::npos) << lists[i] << " was not written";
        EXPECT_EQ(captures_in(list), none) << lists[i] << ":\n" << list;
    }
    EXPECT_EQ(capture_files_left(), none);
}
