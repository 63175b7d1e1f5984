// The suite's files that the "version" section lists, by directory, in report order.
// An integrator replaces these names to inventory another installation; each list ends
// with a null name.
#include "inventory/inventory_internal.h"

// The installation directory: programs, then libraries (one in the "snmp" sub directory).
const char *const install_files[] = {
    "pbxserv.exe",   "pbxcfg.exe",    "pbxadmin.exe",  "pbxmon.exe",     "pbxboot.exe",  "pbxcards.exe",
    "pbxmail.exe",   "pbxfax.exe",    "pbxvoice.exe",  "pbxacd.exe",     "pbxcdr.exe",   "pbxtapi.exe",
    "pbxweb.exe",    "pbxsip.exe",    "pbxh323.exe",   "pbxgsm.exe",     "pbxlog.exe",   "pbxbackup.exe",
    "pbxupdate.exe", "pbxlicense.exe", "pbxtime.exe",  "pbxact.exe",     "pbxnet.exe",   "pbxdb.exe",
    "pbxtrace.exe",  "pbxwatch.exe",  "pbxcore.dll",   "pbxcodec.dll",   "snmp\\pbxsnmp.dll",
    nullptr};

// The Windows system directory: the telephony service provider and its user interface.
const char *const system_files[] = {"pbxtsp.tsp", "pbxtspui.dll", nullptr};

// system32\drivers: the kernel drivers of the ISDN cards.
const char *const driver_files[] = {"isdnctl.sys", "isdnbus.sys",  "isdnpci.sys", "isdnusb.sys",
                                    "isdnvoip.sys", "isdnfax.sys", "isdnndis.sys", nullptr};

// system32\drivers\isdn: the protocol drivers.
const char *const isdn_driver_files[] = {"isdnbri.sys", "isdnpri.sys", "isdnhdlc.sys", "isdndsp.sys", nullptr};

// system32\drivers\isdn\bin: the card tools and their library.
const char *const isdn_bin_files[] = {"isdncfg.exe",  "isdndiag.exe", "isdntrace.exe", "isdnload.exe",
                                      "isdnstat.exe", "isdnmon.exe",  "isdntest.exe",  "isdnflash.exe",
                                      "isdninst.exe", "isdnapi.dll",  nullptr};
