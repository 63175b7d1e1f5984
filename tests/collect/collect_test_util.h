// What the collection tests share: an installed suite on the test host.
#ifndef TELINV_COLLECT_TEST_UTIL_H
#define TELINV_COLLECT_TEST_UTIL_H

#include <string>

#include "test_host.h"

// The installation directory of the tests (drive C: exists on both layers).
const char test_install_dir[] = "C:\\TelinvCollect\\inst";

// Registry text that makes dir the installation directory (no identity key: the
// default company and product).
inline std::string installation_at(const std::string &dir)
{
    std::string escaped;
    for (char c : dir) {
        if (c == '\\')
            escaped += '\\';
        escaped += c;
    }
    return "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\KESTRA]\n"
           "[HKEY_LOCAL_MACHINE\\SOFTWARE\\MIRDEN\\MIRDEN.KESTRA\\AllVersions]\n"
           "\"InstallationDirectory\"=\"" + escaped + "\"\n";
}

inline const char *no_installation()
{
    return "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\KESTRA]\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\MIRDEN]\n";
}

// A file of the test installation.
inline std::string in_install(const std::string &name)
{
    return std::string(test_install_dir) + "\\" + name;
}

#endif
