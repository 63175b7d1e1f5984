// What the tests reach of the installation and registry subsystem besides install.h:
// the identity values, the installation key, the Program Files fallback, and forgetting
// what the lookups cached.
#ifndef TELINV_INSTALL_INTERNAL_H
#define TELINV_INSTALL_INTERNAL_H

#include "install/install.h"

// The suite's identity: "Company" and "Product" of HKLM\SOFTWARE\KESTRA, or the defaults.
const char *company_name(void);
const char *product_name(void);

// SOFTWARE\<Company>\<Product>\AllVersions, in a static buffer.
const char *product_key_path(void);

// An existing directory under Program Files where the suite may live, or "".
const char *fallback_install_dir(void);

// Forget the cached identity and installation directory (for tests that change the host).
void install_reset_cache(void);
void install_reset_identity(void);

#endif
