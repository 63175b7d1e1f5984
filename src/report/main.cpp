#include "report/report.h"

int main(int argc, char **argv)
{
    return telinv_main(argc, argv);
}
