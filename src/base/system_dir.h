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

// The path through which a file under the system directory is reached as it really is.
// A 32-bit program on 64-bit Windows is shown SysWOW64 where it asks for the system
// directory; the files and the directory the user sees are the native ones, so a path
// under the system directory goes through the native system directory
// (plat_native_system_directory). Every other path, and every path where the program
// sees the native system directory anyway, is used as it is. Returns path itself, or
// out (size characters) holding the path to use; a path that would not fit out is
// used as it is. Reports print the path as given.
const char *native_file_path(const char *path, char *out, size_t size);

#endif
