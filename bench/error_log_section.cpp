// Times the error-log section alone: dump_error_log of the host build on a log named
// by a whole Windows path, written into a report file, or (with "forward") the two
// forward passes that the section replaced. Prints the best and the median time.
// Usage: error_log_section WINDOWS_PATH [section|forward] [REPEATS] [REPORT]
// TELINV_HOST_ROOT names the simulated host, as for telinv.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "collect/collect_internal.h"
#include "platform/platform.h"

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: error_log_section WINDOWS_PATH [section|forward] [REPEATS] [REPORT]\n");
        return 2;
    }
    std::string mode = argc > 2 ? argv[2] : "section";
    int repeats = argc > 3 ? std::atoi(argv[3]) : 5;
    const char *report_name = argc > 4 ? argv[4] : "section.txt";
    std::vector<double> ms;
    for (int i = 0; i < repeats; i++) {
        FILE *report = plat_fopen_text(report_name, "w");
        if (!report)
            return 1;
        auto start = std::chrono::steady_clock::now();
        if (mode == "forward") {
            FILE *log = plat_fopen_text(argv[1], "r");
            if (!log)
                return 1;
            copy_file_tail_forward(report, log);
            std::fclose(log);
        } else {
            text_copy(error_log_pattern, sizeof error_log_pattern, argv[1]);
            dump_error_log(report);
        }
        std::fclose(report);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%s: best %.3f ms, median %.3f ms (%d runs)\n", mode.c_str(), ms.front(), ms[ms.size() / 2], repeats);
    return 0;
}
