// The Windows system directory, as the platform gives it.
#ifndef TELINV_BASE_SYSTEM_DIR_H
#define TELINV_BASE_SYSTEM_DIR_H

#include <cstddef>
#include <cstdint>

// The system directory ("C:\Windows\system32") into dest, a buffer of size characters,
// asked afresh on every call (GetSystemDirectoryA with size - 1 as its limit). Returns its
// length; 0, with dest empty, when it can't be had or does not fit: a cut directory
// would name another one.
uint32_t system_dir(char *dest, size_t size);

#endif
