// Text-mode streams on the host, with the C runtime's Windows text-mode rules, so that
// the report made here is byte for byte the report Windows makes:
// - reading turns CR LF into LF, a lone CR stays, and a Ctrl-Z byte (0x1A) ends the
//   text where reading reaches it, as it does for files on disk under Windows;
// - writing turns every LF into CR LF;
// - seeking and telling count bytes on the disk.
//
// A stream is glibc's fopencookie over the functions below. Its positions come out in
// bytes on the disk by the way glibc uses those functions:
// - ftell asks the seek function for (0, SEEK_CUR) every time, and from the answer takes
//   the bytes still unread in glibc's buffer, or adds those not yet written. The answer
//   is the position on the disk of the next byte to be read as text. A read never gives
//   a CR LF's LF together with other text: it ends before the CR LF, and the LF is a
//   read of its own. So every byte left unread in glibc's buffer stands for one byte on
//   the disk. For a stream that is written, the answer counts each LF still in glibc's
//   buffer once more, for the CR that writing puts before it.
// - fseek to position p from the start seeks to p rounded down to a multiple of glibc's
//   buffer size, reads once, and skips what lies before p in what the read gave; where
//   the read gave less, glibc seeks on from where the read ended. Since a read holds no
//   CR LF, the bytes skipped are bytes on the disk, but for a CR LF at the rounded
//   position: the read that glibc does inside fseek gives nothing there, so that glibc
//   seeks the whole way.
// These two look into glibc's FILE: its put area, and the offset that it keeps unknown
// (-1) while it reads inside fseek.
#include "platform/host/host.h"
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

namespace {

struct text_stream {
    int fd;
    bool placed; // the last call was a seek to a position from the start
    unsigned char raw[8192];
    size_t raw_len; // bytes of the file in raw
    size_t raw_pos; // the first of them not yet given out as text
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

// Reads more of the file behind the bytes not yet given out, which move to the front of
// raw. The count read, 0 at the end of the file, -1 on an error.
ssize_t read_more(text_stream *s)
{
    size_t left = s->raw_len - s->raw_pos;
    std::memmove(s->raw, s->raw + s->raw_pos, left);
    s->raw_pos = 0;
    s->raw_len = left;
    ssize_t n;
    do {
        n = read(s->fd, s->raw + left, sizeof s->raw - left);
    } while (n < 0 && errno == EINTR);
    if (n > 0)
        s->raw_len += static_cast<size_t>(n);
    return n;
}

// The LFs still in glibc's buffer of a stream that is written. ftell adds the bytes in
// that buffer to the position on the disk, and each LF will take two bytes there.
off64_t unwritten_lfs(const text_stream *s)
{
    off64_t n = 0;
    if (s->stream)
        for (const char *p = s->stream->_IO_write_base; p < s->stream->_IO_write_ptr; p++)
            n += *p == '\n';
    return n;
}

// Whether glibc reads from inside fseek, after seeking to the position rounded down: the
// stream's offset is unknown then (-1), where a read that follows a seek to a position
// that needed no rounding finds the offset known.
bool read_inside_fseek(const text_stream *s)
{
    return s->stream && s->stream->_offset == -1;
}

ssize_t text_read(void *cookie, char *buf, size_t size)
{
    text_stream *s = static_cast<text_stream *>(cookie);
    bool placed = s->placed;
    s->placed = false;
    if (size == 0)
        return 0;
    // Two bytes tell a CR LF from a lone CR.
    while (s->raw_len - s->raw_pos < 2) {
        ssize_t got = read_more(s);
        if (got < 0 && s->raw_pos == s->raw_len)
            return -1;
        if (got <= 0)
            break;
    }
    const unsigned char *p = s->raw + s->raw_pos;
    size_t avail = s->raw_len - s->raw_pos;
    if (avail >= 2 && p[0] == '\r' && p[1] == '\n') {
        if (placed && read_inside_fseek(s))
            return 0;
        buf[0] = '\n';
        s->raw_pos += 2;
        return 1;
    }
    // Up to a Ctrl-Z, or to a CR that is followed by LF or by a byte not yet read. A CR
    // first is a lone one: the CR LF case is above, and a CR that is the last byte
    // available is the file's last. A Ctrl-Z first gives nothing, the end of the text;
    // the position stays on it, so the text ends there until a seek moves on.
    size_t limit = avail < size ? avail : size;
    size_t n = 0;
    for (; n < limit; n++) {
        unsigned char c = p[n];
        if (c == 0x1A || (c == '\r' && n > 0 && (n + 1 == avail || p[n + 1] == '\n')))
            break;
        buf[n] = static_cast<char>(c);
    }
    s->raw_pos += n;
    return static_cast<ssize_t>(n);
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
    s->placed = false;
    // The position on the disk of the next byte to be read as text: the file's own
    // position less the bytes read ahead.
    off64_t here = lseek(s->fd, 0, SEEK_CUR);
    if (here < 0)
        return -1;
    here -= static_cast<off64_t>(s->raw_len - s->raw_pos);
    if (whence == SEEK_CUR && *offset == 0) {
        // Only telling: what was read ahead stays.
        *offset = here + unwritten_lfs(s);
        return 0;
    }
    off64_t target = *offset;
    int from = whence;
    if (whence == SEEK_CUR) {
        if (target > 0 ? here > std::numeric_limits<off64_t>::max() - target : target < -here) {
            errno = EINVAL;
            return -1;
        }
        target += here;
        from = SEEK_SET;
    }
    off64_t pos = lseek(s->fd, target, from);
    if (pos < 0)
        return -1;
    s->raw_len = s->raw_pos = 0;
    s->placed = whence == SEEK_SET;
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

    int fd = host_open_file(path, writing ? O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC : O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;

    text_stream *s = new text_stream();
    s->fd = fd;
    s->placed = false;
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
