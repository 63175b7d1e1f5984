// Stand-in for getmac: "getmac -NH" prints an empty line, then one line per adapter,
// its address first ("00-1B-21-3A-4B-01   \Device\Tcpip_{...}"), lines ended by CR LF.
// Without -NH (or /NH) the column heading follows the empty line.
//
// getmac.txt next to the program, when it exists, holds the -NH output instead, line
// by line (its first line is the empty one).
//
// getmac.mode next to the program, when it exists, makes it behave as tests need; its
// first line is one of:
//   read-stdin    read standard input to its end first, as wmic does when its input is
//                 a pipe (a program that hands it its own input keeps it waiting);
//   list-handles  write the paths of the files it holds open, those it inherited from the
//                 program that started it included, one a line, to getmac.handles next
//                 to the program;
//   leave-child   leave a process of its own behind, holding its standard output for
//                 five seconds after it has ended ("getmac --stay 5"; Windows only).
// TELINV_STANDIN_DELAY_MS in the environment delays the answer.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tools/standin/standin.h"

// Starts "<this program> --stay 5" with this program's standard output.
static void leave_child()
{
    char self[1024];
    if (plat_module_file_name(self, sizeof self) == 0)
        return;
    std::string line = std::string("\"") + self + "\" --stay 5";
    std::vector<char> command(line.begin(), line.end());
    command.push_back('\0');
    plat_process child = plat_start_process(self, command.data(), nullptr);
    plat_close_process(child);
}

static const char *const canned[] = {
    "",
    "00-1B-21-3A-4B-01   \\Device\\Tcpip_{6F1C2B7A-0D4E-4C1B-9E43-2A51C0A8F101}",
    "00-1B-21-3A-4B-02   \\Device\\Tcpip_{9B3E4D5C-1A2B-4C3D-8E9F-0A1B2C3D4E02}",
};

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--stay") == 0) {
        std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argv[2])));
        return 0;
    }
    standin_delay();
    std::vector<std::string> mode;
    standin_data_lines("getmac.mode", &mode);
    const std::string behaviour = mode.empty() ? "" : mode[0];
    if (behaviour == "read-stdin") {
        char buf[4096];
        while (std::fread(buf, 1, sizeof buf, stdin) > 0) {
        }
    }
    if (behaviour == "list-handles")
        standin_list_open_files("getmac.handles");

    bool heading = true;
    for (int i = 1; i < argc; i++)
        if (standin_same_text(argv[i], "-NH") || standin_same_text(argv[i], "/NH"))
            heading = false;

    std::vector<std::string> lines;
    if (!standin_data_lines("getmac.txt", &lines))
        lines.assign(canned, canned + sizeof canned / sizeof canned[0]);
    if (heading) {
        size_t at = lines.empty() ? 0 : 1;
        lines.insert(lines.begin() + static_cast<long>(at),
                     {"Physical Address    Transport Name",
                      "=================== =========================================================="});
    }
    standin_binary_stdout();
    standin_write_lines(stdout, lines);
    std::fflush(stdout);
    if (behaviour == "leave-child")
        leave_child();
    return 0;
}
