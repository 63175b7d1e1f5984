// The suite's files that the "version" section lists, by directory, in report order.
// An integrator replaces these names to inventory another installation.
#include "inventory/inventory.h"

const char *const install_files[] = {nullptr};
const char *const system_files[] = {nullptr};
const char *const driver_files[] = {nullptr};
const char *const isdn_driver_files[] = {nullptr};
const char *const isdn_bin_files[] = {nullptr};
