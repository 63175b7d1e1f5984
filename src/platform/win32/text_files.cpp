// Text-mode streams on Windows: the C runtime's own text mode; sizes and reads at an
// offset go to the file handle beneath the stream.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <io.h>

#include <cstdio>

#include "platform/platform.h"

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
