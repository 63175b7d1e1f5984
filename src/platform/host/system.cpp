// The simulated host's system facts: Windows version (from its registry), the running
// program, the environment, the system directory, memory, debug output and devices.
#include "platform/host/host.h"
#include "platform/platform.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "base/text_copy.h"

// The version that the simulated registry names in
// HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion, value "CurrentVersion" ("6.1").
static int registry_version(uint32_t *major, uint32_t *minor)
{
    char text[64];
    // The system's own version: its 64-bit view, where the host plays WOW64.
    if (!host_registry_text("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                            PLAT_KEY_QUERY_VALUE | PLAT_KEY_WOW64_64KEY, "CurrentVersion", text, sizeof text))
        return 0;
    unsigned a = 0, b = 0;
    if (std::sscanf(text, "%u.%u", &a, &b) != 2)
        return 0;
    *major = a;
    *minor = b;
    return 1;
}

int plat_os_version(uint32_t *major, uint32_t *minor)
{
    return registry_version(major, minor);
}

uint32_t plat_get_version(void)
{
    uint32_t major = 0, minor = 0;
    if (!registry_version(&major, &minor))
        return 0;
    return (major & 0xFF) | ((minor & 0xFF) << 8);
}

uint32_t plat_module_file_name(char *buf, uint32_t cap)
{
    if (cap == 0)
        return 0;
    // The host program is a Linux file, outside the simulated host: its native path
    // names no file there, so no version resource is found for it.
    ssize_t n = readlink("/proc/self/exe", buf, cap - 1);
    if (n < 0) {
        buf[0] = '\0';
        return 0;
    }
    buf[n] = '\0';
    return static_cast<uint32_t>(n);
}

const char *plat_getenv(const char *name)
{
    return std::getenv(name);
}

// The value "ComputerName" of HKLM\SYSTEM\CurrentControlSet\Control\ComputerName\ComputerName,
// where Windows keeps the name that GetComputerNameA gives.
uint32_t plat_computer_name(char *buf, uint32_t cap)
{
    if (!host_registry_text("SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName", PLAT_KEY_QUERY_VALUE,
                            "ComputerName", buf, cap))
        return 0;
    return static_cast<uint32_t>(std::strlen(buf));
}

// The mount manager's list in HKLM\SYSTEM\MountedDevices names each volume by a value
// "\??\Volume{GUID}"; FindFirstVolumeA gives the first as "\\?\Volume{GUID}\".
uint32_t plat_first_volume(char *buf, uint32_t cap)
{
    std::string name = host_first_value_name("SYSTEM\\MountedDevices", "\\??\\Volume{");
    std::string volume = name.empty() ? std::string() : "\\\\?\\" + name.substr(4) + "\\";
    return text_copy_whole(buf, cap, volume.c_str());
}

// The simulated host's zone is the process's: TZ, as the tests set it.
int plat_local_time(time_t t, struct tm *out)
{
    return localtime_r(&t, out) ? 1 : 0;
}

uint32_t plat_current_directory(char *buf, uint32_t cap)
{
    std::string dir = host_current_directory();
    if (dir.empty())
        return 0;
    if (cap < dir.size() + 1)
        return static_cast<uint32_t>(dir.size() + 1);
    std::memcpy(buf, dir.c_str(), dir.size() + 1);
    return static_cast<uint32_t>(dir.size());
}

uint32_t plat_milliseconds(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u);
}

// Spelled as Wine spells it, so that reports of the same simulated host made on the
// host build and under Wine are the same.
uint32_t plat_system_directory(char *buf, uint32_t cap)
{
    static const char dir[] = "C:\\windows\\system32";
    uint32_t len = static_cast<uint32_t>(sizeof dir - 1);
    if (cap < len + 1)
        return len + 1;
    std::memcpy(buf, dir, len + 1);
    return len;
}

static uint64_t memory_override = 0;

void host_set_physical_memory(uint64_t bytes)
{
    memory_override = bytes;
}

uint64_t plat_total_physical_memory(void)
{
    if (memory_override)
        return memory_override;
    long pages = sysconf(_SC_PHYS_PAGES);
    long page_size = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || page_size <= 0)
        return 0;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(page_size);
}

int plat_format_debug(char *buf, const char *format, va_list args)
{
    int n = std::vsnprintf(buf, PLAT_DEBUG_TEXT_MAX, format, args);
    if (n < 0) {
        buf[0] = '\0';
        return 0;
    }
    return n < PLAT_DEBUG_TEXT_MAX ? n : PLAT_DEBUG_TEXT_MAX - 1;
}

void plat_debug_output(const char *text)
{
    if (!std::getenv("TELINV_DEBUG"))
        return;
    std::fprintf(stderr, "%s\n", text);
}

// The simulated host has no network card drivers to ask.
plat_handle plat_open_device(const char *path)
{
    (void)path;
    return nullptr;
}

int plat_device_io_control(plat_handle h, uint32_t code, const void *in, uint32_t in_len, void *out,
                           uint32_t out_len, uint32_t *returned)
{
    (void)h;
    (void)code;
    (void)in;
    (void)in_len;
    (void)out;
    (void)out_len;
    *returned = 0;
    return 0;
}

void host_reset()
{
    host_registry_reset();
    host_paths_reset();
}

int plat_is_wow64(void)
{
    return host_wow64() ? 1 : 0;
}

uint32_t plat_native_system_directory(char *buf, uint32_t cap)
{
    return text_copy_whole(buf, cap, host_wow64() ? "C:\\windows\\Sysnative" : "");
}
