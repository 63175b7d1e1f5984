// The Windows registry: keys under HKEY_LOCAL_MACHINE, each operation the Win32 call it
// stands for.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/platform.h"

static HKEY root_key(plat_root root)
{
    return root == PLAT_HKEY_LOCAL_MACHINE ? HKEY_LOCAL_MACHINE : nullptr;
}

long plat_reg_open(plat_root root, const char *sub_key, uint32_t access, plat_key *out)
{
    *out = nullptr;
    HKEY base = root_key(root);
    if (!base)
        return PLAT_ERROR_INVALID_HANDLE;
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(base, sub_key, 0, access, &key);
    if (rc == ERROR_SUCCESS)
        *out = reinterpret_cast<plat_key>(key);
    return rc;
}

long plat_reg_query(plat_key key, const char *value_name, uint32_t *type, void *data, uint32_t *size)
{
    DWORD t = 0;
    DWORD n = size ? *size : 0;
    LONG rc = RegQueryValueExA(reinterpret_cast<HKEY>(key), value_name, nullptr, &t,
                               static_cast<BYTE *>(data), size ? &n : nullptr);
    if (type)
        *type = t;
    if (size)
        *size = n;
    return rc;
}

long plat_reg_enum_key(plat_key key, uint32_t index, char *name, uint32_t name_cap)
{
    return RegEnumKeyA(reinterpret_cast<HKEY>(key), index, name, name_cap);
}

void plat_reg_close(plat_key key)
{
    if (key)
        RegCloseKey(reinterpret_cast<HKEY>(key));
}
