// Files on Windows: existence, deletion, directory search, file times, files by handle,
// paths that the ANSI code page can't spell, and temporary files.
#include "platform/win32/win32.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

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

plat_handle to_plat(HANDLE h)
{
    return h == INVALID_HANDLE_VALUE ? nullptr : reinterpret_cast<plat_handle>(h);
}

HANDLE to_win(plat_handle h)
{
    return h ? reinterpret_cast<HANDLE>(h) : INVALID_HANDLE_VALUE;
}

plat_handle plat_create_file(const char *path, uint32_t access, uint32_t share, uint32_t disposition)
{
    // No security attributes: the handle is not inheritable.
    return to_plat(CreateFileA(path, access, share, nullptr, disposition, 0, nullptr));
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
uint32_t spelled_path(const wchar_t *wide, char *buf, uint32_t cap)
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
