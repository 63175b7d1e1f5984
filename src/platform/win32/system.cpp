// Windows' own system facts: its version, WOW64, the running program, the environment,
// the system directory, the machine's identifiers, local time, memory, debug output and
// devices.
#include "platform/win32/win32.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "base/text_copy.h"
#include "platform/platform.h"

// ---------------------------------------------------------------------------------------
// Windows version

int plat_os_version(uint32_t *major, uint32_t *minor)
{
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info; // 148 bytes
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    BOOL ok = GetVersionExA(&info);
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
    if (!ok)
        return 0;
    *major = info.dwMajorVersion;
    *minor = info.dwMinorVersion;
    return 1;
}

uint32_t plat_get_version(void)
{
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    return GetVersion();
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}

// ---------------------------------------------------------------------------------------
// A 32-bit program on 64-bit Windows

typedef BOOL(WINAPI *is_wow64_process_fn)(HANDLE, PBOOL);

int plat_is_wow64(void)
{
    // Looked up at run time: Windows XP before SP2 and Windows 2000 lack the function,
    // and a static import of it would keep the program from starting there.
    static int known = -1;
    if (known >= 0)
        return known;
    known = 0;
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FARPROC proc = kernel ? GetProcAddress(kernel, "IsWow64Process") : nullptr;
    if (proc) {
        is_wow64_process_fn fn;
        std::memcpy(&fn, &proc, sizeof fn);
        BOOL wow64 = FALSE;
        if (fn(GetCurrentProcess(), &wow64) && wow64)
            known = 1;
    }
    return known;
}

uint32_t plat_native_system_directory(char *buf, uint32_t cap)
{
    // Asked once: the answer does not change while the program runs.
    static char alias[MAX_PATH + 16];
    static int known = -1;
    if (known < 0) {
        known = 0;
        char system_dir[MAX_PATH + 1];
        UINT n = plat_is_wow64() ? GetSystemDirectoryA(system_dir, sizeof system_dir) : 0;
        char *last = n > 0 && n < sizeof system_dir ? std::strrchr(system_dir, '\\') : nullptr;
        if (last) {
            // The alias stands beside the system directory, in the Windows directory;
            // it is not listed there, but it answers an attribute query.
            *last = '\0';
            int len = std::snprintf(alias, sizeof alias, "%s\\Sysnative", system_dir);
            DWORD attributes = len > 0 && static_cast<size_t>(len) < sizeof alias ? GetFileAttributesA(alias)
                                                                                  : INVALID_FILE_ATTRIBUTES;
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
                known = 1;
        }
    }
    return text_copy_whole(buf, cap, known == 1 ? alias : "");
}

// ---------------------------------------------------------------------------------------
// The running program, the environment, the system directory

uint32_t plat_current_directory(char *buf, uint32_t cap)
{
    return GetCurrentDirectoryA(cap, buf);
}

uint32_t plat_milliseconds(void)
{
    return GetTickCount();
}

uint32_t plat_module_file_name(char *buf, uint32_t cap)
{
    if (cap == 0)
        return 0;
    wchar_t wide[MAX_PATH + 1];
    DWORD w = GetModuleFileNameW(nullptr, wide, MAX_PATH + 1);
    if (w > 0 && w <= MAX_PATH) {
        wide[w] = L'\0';
        uint32_t len = spelled_path(wide, buf, cap);
        if (len > 0 && len < cap)
            return len;
    }
    DWORD n = GetModuleFileNameA(nullptr, buf, cap);
    // Windows XP leaves a name that fills the buffer unterminated.
    if (n >= cap) {
        n = cap - 1;
    }
    buf[n] = '\0';
    return n;
}

const char *plat_getenv(const char *name)
{
    return std::getenv(name);
}

uint32_t plat_system_directory(char *buf, uint32_t cap)
{
    return GetSystemDirectoryA(buf, cap);
}

// ---------------------------------------------------------------------------------------
// The machine's own identifiers

uint32_t plat_computer_name(char *buf, uint32_t cap)
{
    if (cap == 0)
        return 0;
    DWORD n = cap;
    if (!GetComputerNameA(buf, &n) || n >= cap) {
        buf[0] = '\0';
        return 0;
    }
    buf[n] = '\0';
    return n;
}

typedef HANDLE(WINAPI *find_first_volume_fn)(LPSTR, DWORD);
typedef BOOL(WINAPI *find_volume_close_fn)(HANDLE);

uint32_t plat_first_volume(char *buf, uint32_t cap)
{
    if (cap == 0)
        return 0;
    buf[0] = '\0';
    // Looked up at run time: Windows NT 4 has neither, and a static import would keep
    // the program from starting there.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FARPROC first_proc = kernel ? GetProcAddress(kernel, "FindFirstVolumeA") : nullptr;
    FARPROC close_proc = kernel ? GetProcAddress(kernel, "FindVolumeClose") : nullptr;
    if (!first_proc || !close_proc)
        return 0;
    find_first_volume_fn find_first;
    find_volume_close_fn find_close;
    std::memcpy(&find_first, &first_proc, sizeof find_first);
    std::memcpy(&find_close, &close_proc, sizeof find_close);
    char name[MAX_PATH + 1];
    HANDLE search = find_first(name, sizeof name);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    find_close(search);
    name[sizeof name - 1] = '\0';
    return text_copy_whole(buf, cap, name);
}

int plat_local_time(time_t t, struct tm *out)
{
    // The C runtime takes its zone from TZ when that is set, and reads a Cygwin shell's
    // "Europe/Berlin" as a zone named "Eur" at UTC. Without TZ it asks Windows. Cleared
    // once, before the first conversion; tools started later do without it too.
    static bool zone_set = false;
    if (!zone_set) {
        if (std::getenv("TZ"))
            _putenv("TZ=");
        _tzset();
        zone_set = true;
    }
    const struct tm *local = std::localtime(&t);
    if (!local)
        return 0;
    *out = *local;
    return 1;
}

// ---------------------------------------------------------------------------------------
// Network card driver query

plat_handle plat_open_device(const char *path)
{
    return to_plat(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr));
}

int plat_device_io_control(plat_handle h, uint32_t code, const void *in, uint32_t in_len, void *out,
                           uint32_t out_len, uint32_t *returned)
{
    DWORD n = 0;
    *returned = 0;
    if (!h)
        return 0;
    BOOL ok = DeviceIoControl(to_win(h), code, const_cast<void *>(in), in_len, out, out_len, &n, nullptr);
    *returned = n;
    return ok ? 1 : 0;
}

// ---------------------------------------------------------------------------------------
// Memory status

// The 64-bit memory status is looked up at run time: Windows NT 4 does not have it,
// and a static import of it would keep the program from starting there.
typedef BOOL(WINAPI *memory_status_ex_fn)(LPMEMORYSTATUSEX);

uint64_t plat_total_physical_memory(void)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel) {
        FARPROC proc = GetProcAddress(kernel, "GlobalMemoryStatusEx");
        if (proc) {
            memory_status_ex_fn fn;
            std::memcpy(&fn, &proc, sizeof fn);
            MEMORYSTATUSEX ex;
            std::memset(&ex, 0, sizeof ex);
            ex.dwLength = sizeof ex;
            if (fn(&ex))
                return ex.ullTotalPhys;
        }
    }
    MEMORYSTATUS ms;
    std::memset(&ms, 0, sizeof ms);
    ms.dwLength = sizeof ms; // 32 bytes in a 32-bit program
    GlobalMemoryStatus(&ms);
    return static_cast<uint64_t>(ms.dwTotalPhys);
}

// ---------------------------------------------------------------------------------------
// Debug output

int plat_format_debug(char *buf, const char *format, va_list args)
{
    int n = wvsprintfA(buf, format, args);
    buf[PLAT_DEBUG_TEXT_MAX - 1] = '\0';
    return n < 0 ? 0 : n;
}

void plat_debug_output(const char *text)
{
    OutputDebugStringA(text);
}
