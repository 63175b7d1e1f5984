// Version resources of the simulated host's files (GetFileVersionInfoSizeA,
// GetFileVersionInfoA, VerQueryValueA).
//
// The resource is found by reading the file's headers and resource directory in small
// pieces, and only the version resource itself (at most 64 KiB) is read whole, so the
// cost does not grow with the file.
#include "platform/host/host.h"
#include "platform/host/pe_version.h"
#include "platform/platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// A file read through a small window, so that the many small reads of the resource
// directory cost few system calls.
struct file_reader {
    int fd;
    uint64_t cache_offset;
    size_t cache_len;
    unsigned char cache[4096];
};

int read_fully(int fd, uint64_t offset, unsigned char *buf, size_t n, size_t *got)
{
    size_t done = 0;
    while (done < n) {
        ssize_t r = pread(fd, buf + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return 0;
        }
        if (r == 0)
            break;
        done += static_cast<size_t>(r);
    }
    *got = done;
    return 1;
}

int file_read(void *ctx, uint64_t offset, unsigned char *buf, size_t n)
{
    file_reader *f = static_cast<file_reader *>(ctx);
    size_t got;
    if (n > sizeof f->cache)
        return read_fully(f->fd, offset, buf, n, &got) && got == n;
    if (offset < f->cache_offset || offset - f->cache_offset > f->cache_len ||
        n > f->cache_len - (offset - f->cache_offset)) {
        if (!read_fully(f->fd, offset, f->cache, sizeof f->cache, &got))
            return 0;
        f->cache_offset = offset;
        f->cache_len = got;
        if (got < n)
            return 0;
    }
    std::memcpy(buf, f->cache + (offset - f->cache_offset), n);
    return 1;
}

// Opens the file at a Windows path and finds its version resource: the open file (to
// be closed by the caller) and the resource's place in it.
int open_version_resource(const char *path, int *fd_out, uint64_t *offset, uint32_t *size)
{
    if (!path)
        return 0;
    std::string native = host_map_path(path);
    // Not blocking: a named pipe must not hang the open; it is refused below.
    int fd = open(native.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return 0;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
        close(fd);
        return 0;
    }
    file_reader reader;
    reader.fd = fd;
    reader.cache_offset = 0;
    reader.cache_len = 0;
    pe_source src = {static_cast<uint64_t>(st.st_size), file_read, &reader};
    if (!pe_find_version_resource_in(&src, offset, size)) {
        close(fd);
        return 0;
    }
    *fd_out = fd;
    return 1;
}

} // namespace

uint32_t plat_file_version_info_size(const char *path)
{
    int fd;
    uint64_t offset;
    uint32_t size;
    if (!open_version_resource(path, &fd, &offset, &size))
        return 0;
    unsigned char head[6];
    size_t want = size < sizeof head ? size : sizeof head;
    size_t got = 0;
    int ok = read_fully(fd, offset, head, want, &got);
    close(fd);
    if (!ok)
        return 0;
    return version_host_block_size(head, got);
}

int plat_file_version_info(const char *path, uint32_t size, void *block)
{
    if (!block)
        return 0;
    int fd;
    uint64_t offset;
    uint32_t res_size;
    if (!open_version_resource(path, &fd, &offset, &res_size))
        return 0;
    // The root node's length is 16 bits: no more than 64 KiB of the resource matter.
    std::vector<unsigned char> res(res_size < 0xFFFFu ? res_size : 0xFFFFu);
    size_t got = 0;
    int ok = read_fully(fd, offset, res.data(), res.size(), &got);
    close(fd);
    if (!ok)
        return 0;
    return version_host_block_fill(res.data(), got, static_cast<unsigned char *>(block), size);
}

int plat_ver_query_value(void *block, const char *sub_block, void **value, uint32_t *len)
{
    return version_host_block_query(block, sub_block, value, len);
}
