// Internals of the host layer: the simulated Windows host on Linux.
//
// The directory named by TELINV_HOST_ROOT (unset: "/") plays the Windows machine:
// drive X: is its sub directory "x", a path that begins with "\" is on drive C:, a
// relative path is relative to the process's current directory. Names are matched
// case-insensitively where the exact name does not exist.
#ifndef TELINV_PLATFORM_HOST_H
#define TELINV_PLATFORM_HOST_H

#include <cstdint>
#include <string>

// The host root directory, without a trailing slash ("" for "/").
std::string host_root();

// Maps a Windows path to the native path in the host root, as the program sees it.
// Every component is looked up case-insensitively when the exact name does not exist; a
// component that exists in no spelling is kept as written (so a file can be created
// under that name). On a host that plays WOW64 (host_wow64) the file system redirection
// of a 32-bit program applies: C:\Windows\system32 is C:\Windows\SysWOW64, and
// C:\Windows\Sysnative is the real C:\Windows\system32; a relative path counts from
// the Windows path of the current directory there (host_current_directory), so that a
// relative name in system32 is redirected too.
std::string host_map_path(const char *windows_path);

// The same without any redirection: the machine's own file at that path. Tests and the
// stand-in tools use it.
std::string host_native_path(const char *windows_path);

// The Windows path of the process's current directory ("C:\\dir"), where it lies on a
// drive of the simulated host (<root>/<letter>/...); "" elsewhere.
std::string host_current_directory();

// The simulated host plays a 32-bit program on 64-bit Windows (WOW64) when its drive C:
// has a directory Windows\SysWOW64: files under the system directory are redirected as
// host_map_path says, and registry keys under HKLM\SOFTWARE are read from
// SOFTWARE\Wow6432Node unless the 64-bit view is asked for. Answered once until
// host_reset.
bool host_wow64();

// Forgets everything the host layer loaded from the host root (the registry), so the
// next call reads it afresh. Tests call it after they change the simulated host.
void host_reset();

// The name of the first value of a key of the simulated registry (in the order of its
// registry.reg) whose name begins with prefix, without regard to ASCII case; "" when
// there is none. The key is opened as plat_reg_open opens it, in the 64-bit view.
std::string host_first_value_name(const char *key_path, const char *prefix);

// Reads a text value (REG_SZ or REG_EXPAND_SZ) of a key of the simulated registry, the
// key opened as plat_reg_open opens it with access, into buf of cap bytes, terminated.
// Returns 1, or 0 when the key or the value is missing, the value is of another type, or
// it does not fit in cap - 1 bytes.
int host_registry_text(const char *key_path, uint32_t access, const char *value_name, char *buf, uint32_t cap);

// The registry and path parts of host_reset.
void host_registry_reset();
void host_paths_reset();

// Opens the file at a Windows path (host_map_path) with open's flags, creating it with
// mode 0666 where the flags say so; a directory is refused. The descriptor, or -1.
int host_open_file(const char *windows_path, int flags);

// Handles are file descriptors on the host; the process starter needs the descriptor.
struct plat_handle_s;
plat_handle_s *host_handle_from_fd(int fd);
int host_handle_fd(plat_handle_s *h);

// The total physical memory that the memory status reports; 0 restores the real value.
// Tests use it to play hosts of any size.
void host_set_physical_memory(uint64_t bytes);

// The temporary directory that plat_temp_path reports (a Windows path with its trailing
// backslash); null or "" restores "C:\windows\temp\". Tests use it for a temporary
// directory whose path holds blanks.
void host_set_temp_path(const char *windows_path);

#endif
