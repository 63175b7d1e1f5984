#include "probes/probes.h"
