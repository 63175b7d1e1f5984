// telinv with a two-second time limit for the system tools instead of 120 seconds, so
// that a run whose tools never end is over quickly; otherwise the program itself.
#include "probes/probes_internal.h"
#include "report/report_internal.h"

int main(int argc, char **argv)
{
    tool_time_limit_ms = 2000;
    return telinv_main(argc, argv);
}
