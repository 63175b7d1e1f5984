// telinv with a two-second time limit for the system tools instead of 120 seconds, so
// that a run whose tools never end is over quickly; otherwise the program itself.
#include "probes/probes.h"
#include "report/report.h"

int main(int argc, char **argv)
{
    tool_time_limit_ms = 2000;
    return telinv_main(argc, argv);
}
