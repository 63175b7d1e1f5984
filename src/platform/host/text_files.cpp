// Text-mode streams on the host, with the C runtime's Windows text-mode rules, so that
// the report made here is byte for byte the report Windows makes:
// - reading turns CR LF into LF, a lone CR stays, and a Ctrl-Z byte (0x1A) ends the
//   text (until the next seek), as it does for files on disk under Windows;
// - writing turns every LF into CR LF;
// - seeking and telling count bytes on the disk.
#include "platform/host/host.h"
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

struct text_stream {
    int fd;
    bool at_ctrl_z;       // a Ctrl-Z was read: no more text until a seek
    int pending;          // a byte read ahead after a CR, or -1
    unsigned char raw[8192];
    size_t raw_len;
    size_t raw_pos;
    FILE *stream;
};

std::vector<text_stream *> &open_streams()
{
    static std::vector<text_stream *> streams;
    return streams;
}

text_stream *find_stream(FILE *stream)
{
    for (text_stream *s : open_streams())
        if (s->stream == stream)
            return s;
    return nullptr;
}

// The next raw byte, or -1 at the end of the file or on an error.
int next_raw(text_stream *s)
{
    if (s->pending >= 0) {
        int c = s->pending;
        s->pending = -1;
        return c;
    }
    if (s->raw_pos == s->raw_len) {
        ssize_t n;
        do {
            n = read(s->fd, s->raw, sizeof s->raw);
        } while (n < 0 && errno == EINTR);
        if (n <= 0)
            return -1;
        s->raw_len = static_cast<size_t>(n);
        s->raw_pos = 0;
    }
    return s->raw[s->raw_pos++];
}

ssize_t text_read(void *cookie, char *buf, size_t size)
{
    text_stream *s = static_cast<text_stream *>(cookie);
    size_t out = 0;
    while (out < size && !s->at_ctrl_z) {
        int c = next_raw(s);
        if (c < 0)
            break;
        if (c == 0x1A) {
            s->at_ctrl_z = true;
            break;
        }
        if (c == '\r') {
            int d = next_raw(s);
            if (d == '\n') {
                buf[out++] = '\n';
                continue;
            }
            if (d >= 0)
                s->pending = d;
        }
        buf[out++] = static_cast<char>(c);
    }
    return static_cast<ssize_t>(out);
}

bool write_all(int fd, const char *p, size_t n)
{
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

ssize_t text_write(void *cookie, const char *buf, size_t size)
{
    text_stream *s = static_cast<text_stream *>(cookie);
    char out[8192];
    size_t used = 0;
    for (size_t i = 0; i < size; i++) {
        if (used + 2 > sizeof out) {
            if (!write_all(s->fd, out, used))
                return -1;
            used = 0;
        }
        if (buf[i] == '\n')
            out[used++] = '\r';
        out[used++] = buf[i];
    }
    if (used > 0 && !write_all(s->fd, out, used))
        return -1;
    return static_cast<ssize_t>(size);
}

int text_seek(void *cookie, off64_t *offset, int whence)
{
    text_stream *s = static_cast<text_stream *>(cookie);
    off_t pos = lseek(s->fd, static_cast<off_t>(*offset), whence);
    if (pos < 0)
        return -1;
    s->raw_len = s->raw_pos = 0;
    s->pending = -1;
    s->at_ctrl_z = false;
    *offset = pos;
    return 0;
}

int text_close(void *cookie)
{
    text_stream *s = static_cast<text_stream *>(cookie);
    std::vector<text_stream *> &streams = open_streams();
    for (size_t i = 0; i < streams.size(); i++) {
        if (streams[i] == s) {
            streams.erase(streams.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
    int rc = close(s->fd);
    delete s;
    return rc;
}

} // namespace

FILE *plat_fopen_text(const char *path, const char *mode)
{
    bool writing;
    if (std::strcmp(mode, "r") == 0)
        writing = false;
    else if (std::strcmp(mode, "w") == 0)
        writing = true;
    else
        return nullptr;

    std::string native = host_map_path(path);
    int fd = writing ? open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)
                     : open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return nullptr;
    }

    text_stream *s = new text_stream();
    s->fd = fd;
    s->at_ctrl_z = false;
    s->pending = -1;
    s->raw_len = s->raw_pos = 0;
    cookie_io_functions_t io;
    io.read = writing ? nullptr : text_read;
    io.write = writing ? text_write : nullptr;
    io.seek = text_seek;
    io.close = text_close;
    FILE *stream = fopencookie(s, writing ? "w" : "r", io);
    if (!stream) {
        close(fd);
        delete s;
        return nullptr;
    }
    s->stream = stream;
    open_streams().push_back(s);
    return stream;
}

int64_t plat_stream_size(FILE *stream)
{
    text_stream *s = find_stream(stream);
    struct stat st;
    if (!s || fstat(s->fd, &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return static_cast<int64_t>(st.st_size);
}

int plat_stream_read_at(FILE *stream, int64_t offset, void *buf, uint32_t n, uint32_t *got)
{
    *got = 0;
    text_stream *s = find_stream(stream);
    if (!s || offset < 0)
        return 0;
    ssize_t r;
    do {
        r = pread(s->fd, buf, n, static_cast<off_t>(offset));
    } while (r < 0 && errno == EINTR);
    if (r < 0)
        return 0;
    *got = static_cast<uint32_t>(r);
    return 1;
}
