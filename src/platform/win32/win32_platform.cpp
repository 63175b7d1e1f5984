// The platform layer on Windows: each operation is the Win32 call it stands for.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/platform.h"

// ---------------------------------------------------------------------------------------
// Registry

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
    if (cap == 0)
        return 0;
    buf[0] = '\0';
    size_t len = known == 1 ? std::strlen(alias) : 0;
    if (len == 0 || len >= cap)
        return 0;
    std::memcpy(buf, alias, len + 1);
    return static_cast<uint32_t>(len);
}

// ---------------------------------------------------------------------------------------
// Version resources

uint32_t plat_file_version_info_size(const char *path)
{
    DWORD handle = 0;
    return GetFileVersionInfoSizeA(path, &handle);
}

int plat_file_version_info(const char *path, uint32_t size, void *block)
{
    return GetFileVersionInfoA(path, 0, size, block) ? 1 : 0;
}

int plat_ver_query_value(void *block, const char *sub_block, void **value, uint32_t *len)
{
    UINT n = 0;
    LPVOID v = nullptr;
    if (!VerQueryValueA(block, sub_block, &v, &n))
        return 0;
    *value = v;
    *len = n;
    return 1;
}

// ---------------------------------------------------------------------------------------
// The running program, the environment, the system directory

// ---------------------------------------------------------------------------------------
// Paths that the ANSI code page can't spell

// The code page of the ANSI file functions.
static UINT file_code_page(void)
{
    return AreFileApisANSI() ? CP_ACP : CP_OEMCP;
}

// The 8-bit form of a wide path in the file functions' code page, into buf (cap
// characters): its length; 0 when the code page can't spell every character of it (no
// best-fit look-alikes: a look-alike names another file) or it does not fit.
static uint32_t narrow_path(const wchar_t *wide, char *buf, uint32_t cap)
{
    if (cap == 0)
        return 0;
    UINT code_page = file_code_page();
    // A UTF-8 code page spells everything, and takes no default character.
    bool utf8 = (code_page == CP_ACP ? GetACP() : GetOEMCP()) == CP_UTF8;
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(code_page, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wide, -1, buf, static_cast<int>(cap),
                                nullptr, utf8 ? nullptr : &lossy);
    if (n <= 0 || lossy) {
        buf[0] = '\0';
        return 0;
    }
    return static_cast<uint32_t>(n - 1);
}

// The 8-bit form of an existing file's wide path: as it is where the code page spells
// it, else its short 8.3 form where that is spelled. The length written; the size needed
// (terminator included) when cap is too small; 0 when neither form serves, and the
// caller takes the ANSI function's own answer.
static uint32_t spelled_path(const wchar_t *wide, char *buf, uint32_t cap)
{
    char spelled[2 * MAX_PATH + 2]; // a double-byte code page takes two bytes a character
    uint32_t len = narrow_path(wide, spelled, sizeof spelled);
    if (len == 0) {
        wchar_t short_form[MAX_PATH + 1];
        DWORD n = GetShortPathNameW(wide, short_form, MAX_PATH + 1);
        if (n == 0 || n > MAX_PATH)
            return 0;
        len = narrow_path(short_form, spelled, sizeof spelled);
        if (len == 0)
            return 0;
    }
    if (len + 1 > cap)
        return len + 1;
    std::memcpy(buf, spelled, len + 1);
    return len;
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
    size_t len = std::strlen(name);
    if (len == 0 || len >= cap)
        return 0;
    std::memcpy(buf, name, len + 1);
    return static_cast<uint32_t>(len);
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
// Text files: the C runtime's own text mode.

FILE *plat_fopen_text(const char *path, const char *mode)
{
    FILE *stream = std::fopen(path, mode);
    // The C runtime opens its files inheritable: a tool that leaves a process of its own
    // behind would keep the report open after the program has ended.
    if (stream) {
        HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
        if (h != INVALID_HANDLE_VALUE)
            SetHandleInformation(h, HANDLE_FLAG_INHERIT, 0);
    }
    return stream;
}

static HANDLE stream_handle(FILE *stream)
{
    if (!stream)
        return INVALID_HANDLE_VALUE;
    intptr_t h = _get_osfhandle(_fileno(stream));
    return reinterpret_cast<HANDLE>(h);
}

int64_t plat_stream_size(FILE *stream)
{
    HANDLE h = stream_handle(stream);
    if (h == INVALID_HANDLE_VALUE || GetFileType(h) != FILE_TYPE_DISK)
        return -1;
    DWORD high = 0;
    DWORD low = GetFileSize(h, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return -1;
    return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
}

int plat_stream_read_at(FILE *stream, int64_t offset, void *buf, uint32_t n, uint32_t *got)
{
    *got = 0;
    HANDLE h = stream_handle(stream);
    if (h == INVALID_HANDLE_VALUE || offset < 0)
        return 0;
    LONG high = static_cast<LONG>(static_cast<uint64_t>(offset) >> 32);
    DWORD low = SetFilePointer(h, static_cast<LONG>(offset & 0xFFFFFFFF), &high, FILE_BEGIN);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return 0;
    DWORD read = 0;
    if (!ReadFile(h, buf, n, &read, nullptr))
        return 0;
    *got = read;
    return 1;
}

int plat_path_exists(const char *path)
{
    struct _stat st;
    return _stat(path, &st) == 0 ? 1 : 0;
}

int plat_delete_file(const char *path)
{
    return DeleteFileA(path) ? 1 : 0;
}

// ---------------------------------------------------------------------------------------
// Directory search and file times

struct plat_find_s {
    HANDLE handle;
};

static void copy_find_data(const WIN32_FIND_DATAA &in, plat_find_data *out)
{
    out->attributes = in.dwFileAttributes;
    out->last_write_time = (static_cast<uint64_t>(in.ftLastWriteTime.dwHighDateTime) << 32) |
                           in.ftLastWriteTime.dwLowDateTime;
    out->size_high = in.nFileSizeHigh;
    out->size_low = in.nFileSizeLow;
    std::memcpy(out->name, in.cFileName, sizeof out->name);
    out->name[sizeof out->name - 1] = '\0';
}

plat_find plat_find_first(const char *pattern, plat_find_data *data)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern, &fd);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    plat_find search = static_cast<plat_find>(std::malloc(sizeof(plat_find_s)));
    if (!search) {
        FindClose(h);
        return nullptr;
    }
    search->handle = h;
    copy_find_data(fd, data);
    return search;
}

int plat_find_next(plat_find search, plat_find_data *data)
{
    WIN32_FIND_DATAA fd;
    if (!search || !FindNextFileA(search->handle, &fd))
        return 0;
    copy_find_data(fd, data);
    return 1;
}

void plat_find_close(plat_find search)
{
    if (!search)
        return;
    FindClose(search->handle);
    std::free(search);
}

int plat_file_time_to_local(uint64_t file_time, plat_system_time *out)
{
    FILETIME utc, local;
    utc.dwLowDateTime = static_cast<DWORD>(file_time & 0xFFFFFFFF);
    utc.dwHighDateTime = static_cast<DWORD>(file_time >> 32);
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &st))
        return 0;
    out->year = st.wYear;
    out->month = st.wMonth;
    out->day_of_week = st.wDayOfWeek;
    out->day = st.wDay;
    out->hour = st.wHour;
    out->minute = st.wMinute;
    out->second = st.wSecond;
    out->milliseconds = st.wMilliseconds;
    return 1;
}

// ---------------------------------------------------------------------------------------
// Files by handle

static plat_handle to_plat(HANDLE h)
{
    return h == INVALID_HANDLE_VALUE ? nullptr : reinterpret_cast<plat_handle>(h);
}

static HANDLE to_win(plat_handle h)
{
    return h ? reinterpret_cast<HANDLE>(h) : INVALID_HANDLE_VALUE;
}

plat_handle plat_create_file(const char *path, uint32_t access, uint32_t share, int inherit,
                             uint32_t disposition)
{
    SECURITY_ATTRIBUTES sa;
    sa.nLength = sizeof sa;
    sa.lpSecurityDescriptor = nullptr;
    sa.bInheritHandle = TRUE;
    return to_plat(CreateFileA(path, access, share, inherit ? &sa : nullptr, disposition, 0, nullptr));
}

int plat_read_file(plat_handle h, void *buf, uint32_t n, uint32_t *got)
{
    DWORD read = 0;
    *got = 0;
    if (!h || !ReadFile(to_win(h), buf, n, &read, nullptr))
        return 0;
    *got = read;
    return 1;
}

int plat_seek_file(plat_handle h, uint32_t offset)
{
    if (!h)
        return 0;
    DWORD pos = SetFilePointer(to_win(h), static_cast<LONG>(offset), nullptr, FILE_BEGIN);
    return pos == INVALID_SET_FILE_POINTER ? 0 : 1;
}

void plat_close_handle(plat_handle h)
{
    if (h)
        CloseHandle(to_win(h));
}

// ---------------------------------------------------------------------------------------
// Temporary files

uint32_t plat_temp_path(char *buf, uint32_t cap)
{
    // A user name that the ANSI code page can't spell gives a temporary directory whose
    // ANSI form names no directory: GetTempFileNameA then fails. Its short form works.
    wchar_t wide[MAX_PATH + 1];
    DWORD w = GetTempPathW(MAX_PATH + 1, wide);
    if (w > 0 && w <= MAX_PATH) {
        uint32_t len = spelled_path(wide, buf, cap);
        if (len > 0)
            return len;
    }
    return GetTempPathA(cap, buf);
}

uint32_t plat_temp_file_name(const char *dir, const char *prefix, uint32_t unique, char *out)
{
    out[0] = '\0';
    UINT n = GetTempFileNameA(dir, prefix, unique, out);
    if (n == 0)
        out[0] = '\0';
    return n;
}

// ---------------------------------------------------------------------------------------
// Processes

struct plat_process_s {
    PROCESS_INFORMATION info;
};

plat_process plat_start_process(const char *application, char *command_line, plat_handle std_output)
{
    // The null device as standard input, inheritable, as the child's own copy: a tool
    // that reads its input to the end (wmic does when its input is a pipe, as under a
    // remote shell) must not wait for the program's input to end.
    SECURITY_ATTRIBUTES inherit;
    inherit.nLength = sizeof inherit;
    inherit.lpSecurityDescriptor = nullptr;
    inherit.bInheritHandle = TRUE;
    HANDLE null_input =
        CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);

    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    si.wShowWindow = SW_HIDE;
    si.hStdInput = null_input != INVALID_HANDLE_VALUE ? null_input : nullptr;
    si.hStdOutput = std_output ? to_win(std_output) : GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    BOOL started = CreateProcessA(application, command_line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    if (null_input != INVALID_HANDLE_VALUE)
        CloseHandle(null_input);
    if (!started)
        return nullptr;
    plat_process p = static_cast<plat_process>(std::malloc(sizeof(plat_process_s)));
    if (!p) {
        // Without a record the child can't be waited for; end it rather than leave it running.
        TerminateProcess(pi.hProcess, 1);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return nullptr;
    }
    p->info = pi;
    return p;
}

int plat_wait_process(plat_process p, uint32_t timeout_ms)
{
    if (!p)
        return PLAT_WAIT_FAILED;
    DWORD rc = WaitForSingleObject(p->info.hProcess, timeout_ms);
    if (rc == WAIT_OBJECT_0)
        return PLAT_WAIT_ENDED;
    if (rc == WAIT_TIMEOUT)
        return PLAT_WAIT_TIMEOUT;
    return PLAT_WAIT_FAILED;
}

int plat_terminate_process(plat_process p)
{
    if (!p || !TerminateProcess(p->info.hProcess, 1))
        return 0;
    // The process has ended only when its handle is signalled.
    WaitForSingleObject(p->info.hProcess, 5000);
    return 1;
}

void plat_close_process(plat_process p)
{
    if (!p)
        return;
    CloseHandle(p->info.hThread);
    CloseHandle(p->info.hProcess);
    std::free(p);
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
