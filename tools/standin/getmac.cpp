// Stand-in for getmac: "getmac -NH" prints an empty line, then one line per adapter,
// its address first ("00-1B-21-3A-4B-01   \Device\Tcpip_{...}"), lines ended by CR LF.
// Without -NH (or /NH) the column heading follows the empty line.
//
// getmac.txt next to the program, when it exists, holds the -NH output instead, line
// by line (its first line is the empty one).
#include <cstdio>
#include <string>
#include <vector>

#include "tools/standin/standin.h"

static const char *const canned[] = {
    "",
    "00-1B-21-3A-4B-01   \\Device\\Tcpip_{6F1C2B7A-0D4E-4C1B-9E43-2A51C0A8F101}",
    "00-1B-21-3A-4B-02   \\Device\\Tcpip_{9B3E4D5C-1A2B-4C3D-8E9F-0A1B2C3D4E02}",
};

int main(int argc, char **argv)
{
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
    return 0;
}
