// The program's only door to the operating system.
//
// Every operating-system service that telinv uses is one plain function here, with
// project-owned types. Two implementations exist: win32/ calls the real Win32 API call
// for call; host/ stands in for Windows on Linux and plays the simulated Windows host
// named by the environment variable TELINV_HOST_ROOT.
//
// Conventions of this interface:
// - Texts are 8-bit ANSI; paths are Windows paths ("C:\dir\file", "\dir", "name").
// - Results follow the Win32 function each operation stands for: registry calls return
//   a Win32 error code (PLAT_ERROR_SUCCESS on success), other calls return 0 / null for
//   failure unless stated otherwise.
// - Nothing here prints or allocates on behalf of the caller beyond what is stated.
#ifndef TELINV_PLATFORM_H
#define TELINV_PLATFORM_H

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>

// ---------------------------------------------------------------------------------------
// Win32 error codes and constants, by value (the section code never sees <windows.h>).

enum {
    PLAT_ERROR_SUCCESS = 0,
    PLAT_ERROR_FILE_NOT_FOUND = 2,
    PLAT_ERROR_ACCESS_DENIED = 5,
    PLAT_ERROR_INVALID_HANDLE = 6,
    PLAT_ERROR_INVALID_PARAMETER = 87,
    PLAT_ERROR_MORE_DATA = 234,
    PLAT_ERROR_NO_MORE_ITEMS = 259
};

enum { PLAT_MAX_PATH = 260 };

// ---------------------------------------------------------------------------------------
// Registry (RegOpenKeyExA, RegQueryValueExA, RegEnumKeyA, RegCloseKey).

typedef struct plat_key_s *plat_key;

// Root keys. Every caller in the program uses HKEY_LOCAL_MACHINE.
typedef int plat_root;
enum { PLAT_HKEY_LOCAL_MACHINE = 2 };

// Access rights, and the registry view flag: with PLAT_KEY_WOW64_64KEY a 32-bit program on
// 64-bit Windows opens the key in the 64-bit view instead of its own 32-bit view. Only
// give it where plat_is_wow64 says so: Windows 2000 and earlier do not know the flag.
enum : uint32_t {
    PLAT_KEY_QUERY_VALUE = 0x0001u,
    PLAT_KEY_READ = 0x20019u,
    PLAT_KEY_WOW64_64KEY = 0x0100u
};

// Value types.
enum : uint32_t {
    PLAT_REG_NONE = 0,
    PLAT_REG_SZ = 1,
    PLAT_REG_EXPAND_SZ = 2,
    PLAT_REG_BINARY = 3,
    PLAT_REG_DWORD = 4,
    PLAT_REG_MULTI_SZ = 7
};

// Opens sub_key below root. On success *out is the open key.
long plat_reg_open(plat_root root, const char *sub_key, uint32_t access, plat_key *out);

// Reads a value of an open key as RegQueryValueExA does: *size is the capacity of data
// in bytes on entry and the stored byte count on return. A value larger than the
// capacity gives PLAT_ERROR_MORE_DATA (data then unspecified, *size the needed count).
// type may be null. A null or empty value_name means the key's default value.
long plat_reg_query(plat_key key, const char *value_name, uint32_t *type, void *data, uint32_t *size);

// Names the subkey at a position (RegEnumKeyA): PLAT_ERROR_NO_MORE_ITEMS past the last
// one, PLAT_ERROR_MORE_DATA when the name (with its terminator) exceeds name_cap.
long plat_reg_enum_key(plat_key key, uint32_t index, char *name, uint32_t name_cap);

void plat_reg_close(plat_key key);

// ---------------------------------------------------------------------------------------
// Windows version.

// GetVersionExA: fills major and minor and returns 1; returns 0 and leaves both as they
// were when the version can't be had.
int plat_os_version(uint32_t *major, uint32_t *minor);

// GetVersion: major version in the low byte, minor version in the next byte.
uint32_t plat_get_version(void);

// ---------------------------------------------------------------------------------------
// A 32-bit program on 64-bit Windows (WOW64).
//
// Windows shows such a program its own registry view (HKLM\SOFTWARE is redirected to
// SOFTWARE\Wow6432Node) and its own system directory (system32 is redirected to
// SysWOW64), while the files and most of the programs that the report looks for are the
// native system's.

// 1 when the program is a 32-bit process on 64-bit Windows (IsWow64Process, looked up at
// run time); 0 otherwise, also where the system can't tell.
int plat_is_wow64(void);

// The directory through which this program reaches the native system directory when it
// is shown another one: "<Windows directory>\Sysnative" for a 32-bit program on 64-bit
// Windows (Windows Vista and later have that alias). The length written; 0 when the
// program sees the native system directory as it is (a 64-bit program, 32-bit Windows),
// when there is no alias, or when it does not fit cap - 1 characters.
uint32_t plat_native_system_directory(char *buf, uint32_t cap);

// ---------------------------------------------------------------------------------------
// Version resources (GetFileVersionInfoSizeA, GetFileVersionInfoA, VerQueryValueA).

// Size of the file's version information block, 0 when the file has none or can't be read.
uint32_t plat_file_version_info_size(const char *path);

// Reads the version information block into block (size bytes, as the size call gave).
int plat_file_version_info(const char *path, uint32_t size, void *block);

// Looks up a value in a block read by plat_file_version_info: "\" (the fixed part),
// "\VarFileInfo\Translation" (binary), "\StringFileInfo\<lang><cp>\<name>" (an 8-bit text).
// On success *value points into the block and *len is the value's length (characters for
// texts, bytes for binary values); returns 1. Returns 0 when the value is not there.
int plat_ver_query_value(void *block, const char *sub_block, void **value, uint32_t *len);

// ---------------------------------------------------------------------------------------
// The running program, the environment, the system directory, the local time.

// The program's own file (GetModuleFileName): the length written, 0 on failure. A name
// longer than cap - 1 characters is cut and terminated. Where the ANSI code page can't
// spell the name (a folder named in another script), it is given in its short 8.3 form,
// which the ANSI functions can open; where the file has no short name, as the ANSI
// function gives it.
uint32_t plat_module_file_name(char *buf, uint32_t cap);

// The environment variable's text, or null when it is not set.
const char *plat_getenv(const char *name);

// GetSystemDirectoryA: the length of the path written, the size needed (terminator
// included) when cap is too small, 0 on failure.
uint32_t plat_system_directory(char *buf, uint32_t cap);

// The current directory (GetCurrentDirectoryA): the length written, the size needed
// (terminator included) when cap is too small, 0 on failure. The host gives the Windows
// path of its current directory where that lies on a drive of the simulated host, and 0
// elsewhere.
uint32_t plat_current_directory(char *buf, uint32_t cap);

// A millisecond counter that only goes forward (GetTickCount): the time between two
// readings is their difference in unsigned 32-bit arithmetic, right for spans below
// 49 days, also across the counter's wrap.
uint32_t plat_milliseconds(void);

// Breaks a calendar time down into the local time of the host's own time zone, as the C
// library's localtime does: 1 on success. On Windows that is Windows' zone: a TZ variable
// in the environment (a Cygwin shell leaves one, such as "Europe/Berlin", which the C
// runtime misreads) does not count.
int plat_local_time(time_t t, struct tm *out);

// ---------------------------------------------------------------------------------------
// The machine's own identifiers, for where wmic is gone.

// The computer's NetBIOS name (GetComputerNameA): the length written, 0 on failure (also
// when it does not fit cap - 1 characters).
uint32_t plat_computer_name(char *buf, uint32_t cap);

// The name of the first volume that FindFirstVolumeA gives ("\\?\Volume{GUID}\";
// looked up at run time, since Windows NT 4 lacks it): the length written, 0 when there
// is none or it does not fit cap - 1 characters.
uint32_t plat_first_volume(char *buf, uint32_t cap);

// ---------------------------------------------------------------------------------------
// Files through the C library, in Windows text mode: reading turns CR LF into LF (a lone
// CR stays) and ends the text at a Ctrl-Z byte (0x1A), until a seek moves past it;
// writing turns LF into CR LF. mode is "r" or "w". The stream is closed with fclose;
// fgets, fgetc, fprintf, fputs, fseek, ftell and rewind work on it as usual. No child
// process inherits the stream's file.
// Positions count bytes on the disk, as the Windows C runtime counts them in text mode.
// Both layers agree on them in a file whose every LF follows a CR, before any Ctrl-Z:
// - ftell gives the position on the disk of the next byte to be read, before and after
//   any seek; on a stream that is written, the bytes that the text written so far
//   takes on the disk, flushed or not;
// - fseek from the start to a position p reads on from byte p (from the LF of a CR LF: a
//   LF); fseek to the end, then ftell, gives the file's size.
// Elsewhere the layers differ, and no caller relies on either: Windows' ftell miscounts
// a LF without a CR before it, and after a Ctrl-Z counts the bytes its runtime read ahead
// and lets reading go on from there; the host counts bytes on the disk there as well, and
// its ftell leaves the text ended at the Ctrl-Z.
FILE *plat_fopen_text(const char *path, const char *mode);

// Raw bytes of the file behind a stream opened by plat_fopen_text, for reading a file
// from its end. The size is the file's length in bytes, or -1 when the stream's file is
// not a regular file on disk (then only forward reading works). The read takes up to n
// bytes at offset; returns 1 and sets *got, or 0 on failure. Neither moves the stream's
// own position in a way the caller may rely on afterwards.
int64_t plat_stream_size(FILE *stream);
int plat_stream_read_at(FILE *stream, int64_t offset, void *buf, uint32_t n, uint32_t *got);

// Existence test (the C library's stat): 1 when a file or directory of that name exists.
int plat_path_exists(const char *path);

// Deletes a file (DeleteFileA): 1 on success.
int plat_delete_file(const char *path);

// ---------------------------------------------------------------------------------------
// Directory search (FindFirstFileA, FindNextFileA, FindClose) and file times
// (FileTimeToLocalFileTime, FileTimeToSystemTime).

enum : uint32_t {
    PLAT_FILE_ATTRIBUTE_READONLY = 0x01u,
    PLAT_FILE_ATTRIBUTE_HIDDEN = 0x02u,
    PLAT_FILE_ATTRIBUTE_SYSTEM = 0x04u,
    PLAT_FILE_ATTRIBUTE_DIRECTORY = 0x10u,
    PLAT_FILE_ATTRIBUTE_ARCHIVE = 0x20u,
    PLAT_FILE_ATTRIBUTE_NORMAL = 0x80u
};

struct plat_find_data {
    uint32_t attributes;
    uint64_t last_write_time; // UTC, in 100-nanosecond steps since 1 January 1601
    uint32_t size_high;
    uint32_t size_low;
    char name[PLAT_MAX_PATH];
};

struct plat_system_time {
    uint16_t year;
    uint16_t month;
    uint16_t day_of_week;
    uint16_t day;
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint16_t milliseconds;
};

typedef struct plat_find_s *plat_find;

// Starts a search with a pattern such as "C:\dir\*"; null when it can't be started.
plat_find plat_find_first(const char *pattern, plat_find_data *data);
// The next entry: 1, or 0 when there are no more.
int plat_find_next(plat_find search, plat_find_data *data);
void plat_find_close(plat_find search);

// Converts a UTC file time to local time with the offset from UTC in force now (as
// FileTimeToLocalFileTime does) and splits it into calendar fields. 1 on success.
int plat_file_time_to_local(uint64_t file_time, plat_system_time *out);

// ---------------------------------------------------------------------------------------
// Files by handle (CreateFileA, ReadFile, SetFilePointer, CloseHandle).

typedef struct plat_handle_s *plat_handle; // null stands for INVALID_HANDLE_VALUE

enum : uint32_t {
    PLAT_GENERIC_READ = 0x80000000u,
    PLAT_GENERIC_WRITE = 0x40000000u,
    PLAT_FILE_SHARE_READ = 0x1u,
    PLAT_FILE_SHARE_WRITE = 0x2u,
    PLAT_FILE_SHARE_DELETE = 0x4u,
    PLAT_CREATE_ALWAYS = 2u,
    PLAT_OPEN_EXISTING = 3u
};

// Opens or creates a file. The handle is never inherited by a child process as it is:
// plat_start_process gives a child its own copy of the one handle it is to write to.
plat_handle plat_create_file(const char *path, uint32_t access, uint32_t share, uint32_t disposition);
// ReadFile: 1 on success with *got bytes read (0 at the end of the file).
int plat_read_file(plat_handle h, void *buf, uint32_t n, uint32_t *got);
// SetFilePointer to an offset from the start of the file: 1 on success.
int plat_seek_file(plat_handle h, uint32_t offset);
void plat_close_handle(plat_handle h);

// ---------------------------------------------------------------------------------------
// Temporary files (GetTempPathA, GetTempFileNameA).

// The temporary directory with its trailing backslash: the length written, the size
// needed when cap is too small, 0 on failure. Where the ANSI code page can't spell it (a
// user name in another script), it is given in its short 8.3 form; where it has no
// short name, as GetTempPathA gives it.
uint32_t plat_temp_path(char *buf, uint32_t cap);

// A unique file name "<dir><prefix><hex>.tmp" in dir; with unique 0 the name is made up
// and the empty file is created. out holds PLAT_MAX_PATH characters. Returns the unique
// number used, 0 on failure (then out is empty).
uint32_t plat_temp_file_name(const char *dir, const char *prefix, uint32_t unique, char *out);

// ---------------------------------------------------------------------------------------
// Processes (CreateProcessA, WaitForSingleObject, TerminateProcess, CloseHandle).

typedef struct plat_process_s *plat_process;

// Starts application (a full path; never searched for) with the writable command line,
// its window hidden, the program's own environment and current directory, and returns
// without waiting for it. Its standard input is the null device (a tool that reads its
// input to the end, as wmic does when its input is a pipe, must not wait for the
// program's own); its standard output is std_output, or the program's own where
// std_output is null; its standard error is the program's own. It inherits copies of
// these three handles made for it alone, and nothing else of the program: no stream,
// no handle of plat_create_file, none of another child's copies, so that children that
// run at the same time hold none of each other's files. Null when the process can't be
// created.
plat_process plat_start_process(const char *application, char *command_line, plat_handle std_output);

enum { PLAT_WAIT_ENDED = 0, PLAT_WAIT_TIMEOUT = 1, PLAT_WAIT_FAILED = -1 };
enum : uint32_t { PLAT_INFINITE = 0xFFFFFFFFu };

// Waits until the process has ended or timeout_ms have passed, without using the
// processor meanwhile; 0 only asks whether it has ended.
int plat_wait_process(plat_process p, uint32_t timeout_ms);
// Ends the process (and on the host layer its process group); 1 on success.
int plat_terminate_process(plat_process p);
// Closes the thread and the process handle.
void plat_close_process(plat_process p);

// ---------------------------------------------------------------------------------------
// Network card driver query (CreateFileA on "\\.\<service>", DeviceIoControl).

// Opens the device: GENERIC_READ, shared for reading and writing, OPEN_EXISTING.
plat_handle plat_open_device(const char *path);
// DeviceIoControl: 1 on success with *returned bytes in out.
int plat_device_io_control(plat_handle h, uint32_t code, const void *in, uint32_t in_len, void *out,
                           uint32_t out_len, uint32_t *returned);

// ---------------------------------------------------------------------------------------
// Memory status.

// Total physical memory in bytes: from the 64-bit memory status where the system has it
// (GlobalMemoryStatusEx, looked up at run time), else from GlobalMemoryStatus.
uint64_t plat_total_physical_memory(void);

// ---------------------------------------------------------------------------------------
// Debug output (wvsprintfA, OutputDebugStringA).

enum { PLAT_DEBUG_TEXT_MAX = 1024 };

// Formats as wvsprintfA does into buf, which holds PLAT_DEBUG_TEXT_MAX characters: the
// text is cut to fit, always terminated. Returns the number of characters stored.
int plat_format_debug(char *buf, const char *format, va_list args);

// Hands a text to the debug output channel (host: standard error when TELINV_DEBUG is set).
void plat_debug_output(const char *text);

#endif
