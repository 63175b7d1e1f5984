// Stand-in for ipconfig: "ipconfig.exe -all" prints the host's block and one block per
// adapter with its "Physical Address. . . . . . . . . : 00-1B-21-3A-4B-01" line, lines
// ended by CR LF. Without -all (or /all) the lines that only -all shows (the physical
// addresses among them) are left out.
//
// ipconfig.txt next to the program, when it exists, holds the -all output instead, line
// by line. TELINV_STANDIN_DELAY_MS in the environment delays the answer.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/standin/standin.h"

static const char *const canned[] = {
    "",
    "Windows IP Configuration",
    "",
    "   Host Name . . . . . . . . . . . . : SAMPLE-PBX",
    "   Primary Dns Suffix  . . . . . . . : ",
    "   Node Type . . . . . . . . . . . . : Hybrid",
    "   IP Routing Enabled. . . . . . . . : No",
    "",
    "Ethernet adapter LAN:",
    "",
    "   Connection-specific DNS Suffix  . : ",
    "   Description . . . . . . . . . . . : Intel(R) PRO/1000 MT Network Connection",
    "   Physical Address. . . . . . . . . : 00-1B-21-3A-4B-01",
    "   DHCP Enabled. . . . . . . . . . . : No",
    "   IP Address. . . . . . . . . . . . : 192.168.10.20",
    "   Subnet Mask . . . . . . . . . . . : 255.255.255.0",
    "   Default Gateway . . . . . . . . . : 192.168.10.1",
    "   DNS Servers . . . . . . . . . . . : 192.168.10.2",
    "",
    "Ethernet adapter VoIP:",
    "",
    "   Connection-specific DNS Suffix  . : pbx.local",
    "   Description . . . . . . . . . . . : Intel(R) 82574L Gigabit Network Connection",
    "   Physical Address. . . . . . . . . : 00-1B-21-3A-4B-02",
    "   DHCP Enabled. . . . . . . . . . . : Yes",
    "   IP Address. . . . . . . . . . . . : 10.0.5.17",
    "   Subnet Mask . . . . . . . . . . . : 255.255.0.0",
    "   Default Gateway . . . . . . . . . : 10.0.0.1",
    "   DNS Servers . . . . . . . . . . . : 10.0.0.2",
};

// The lines that ipconfig shows only with -all.
static bool all_only(const std::string &line)
{
    static const char *const labels[] = {"   Primary Dns Suffix", "   Node Type", "   IP Routing Enabled",
                                         "   Description", "   Physical Address", "   DHCP Enabled",
                                         "   DNS Servers"};
    for (const char *label : labels)
        if (line.compare(0, std::string(label).size(), label) == 0)
            return true;
    return false;
}

int main(int argc, char **argv)
{
    standin_delay();
    bool all = false;
    for (int i = 1; i < argc; i++)
        if (standin_same_text(argv[i], "-all") || standin_same_text(argv[i], "/all"))
            all = true;

    std::vector<std::string> lines;
    if (!standin_data_lines("ipconfig.txt", &lines))
        lines.assign(canned, canned + sizeof canned / sizeof canned[0]);
    std::vector<std::string> shown;
    for (const std::string &line : lines)
        if (all || !all_only(line))
            shown.push_back(line);
    standin_binary_stdout();
    standin_write_lines(stdout, shown);
    return 0;
}
