// A tool that does not end in time: prints one getmac-style line, then sleeps.
//
//   sleeper [SECONDS]    (default 30; any other first argument is ignored)
//
// Tests install it in place of a system tool to see it ended at the runner's limit.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "tools/standin/standin.h"

int main(int argc, char **argv)
{
    long seconds = 30;
    if (argc > 1) {
        char *end = nullptr;
        long n = std::strtol(argv[1], &end, 10);
        if (end && *end == '\0' && n >= 0)
            seconds = n;
    }
    standin_binary_stdout();
    std::fputs("\r\n00-DE-AD-00-00-01   \\Device\\Tcpip_{SLEEPER}\r\n", stdout);
    std::fflush(stdout);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return 0;
}
