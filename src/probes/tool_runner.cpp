#include "probes/probes.h"

char probe_result[PROBE_RESULT_SIZE];
