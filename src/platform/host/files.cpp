// Files of the simulated host: existence, deletion, directory search, file times,
// files by handle and temporary files.
#include "platform/host/host.h"
#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "base/ascii_case.h"

int host_open_file(const char *windows_path, int flags)
{
    std::string native = host_map_path(windows_path);
    int fd = open(native.c_str(), flags, 0666);
    if (fd < 0)
        return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

int plat_path_exists(const char *path)
{
    struct stat st;
    return stat(host_map_path(path).c_str(), &st) == 0 ? 1 : 0;
}

int plat_delete_file(const char *path)
{
    std::string native = host_map_path(path);
    struct stat st;
    if (lstat(native.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return 0;
    return unlink(native.c_str()) == 0 ? 1 : 0;
}

// ---------------------------------------------------------------------------------------
// Directory search

// Seconds between 1 January 1601 and 1 January 1970.
static const uint64_t epoch_difference = 11644473600ull;

static uint64_t to_file_time(const struct timespec &ts)
{
    int64_t seconds = static_cast<int64_t>(ts.tv_sec) + static_cast<int64_t>(epoch_difference);
    if (seconds < 0)
        return 0;
    return static_cast<uint64_t>(seconds) * 10000000ull + static_cast<uint64_t>(ts.tv_nsec) / 100u;
}

// Wildcard match as the Windows search does for "*" and "?", without regard to case.
static bool wildcard_match(const char *pattern, const char *name)
{
    if (*pattern == '\0')
        return *name == '\0';
    if (*pattern == '*') {
        while (*pattern == '*')
            pattern++;
        if (*pattern == '\0')
            return true;
        for (const char *n = name; *n; n++)
            if (wildcard_match(pattern, n))
                return true;
        return std::strcmp(pattern, ".*") == 0 && std::strchr(name, '.') == nullptr;
    }
    if (*name == '\0')
        return false;
    if (*pattern == '?' || ascii_upper(*pattern) == ascii_upper(*name))
        return wildcard_match(pattern + 1, name + 1);
    return false;
}

// Windows lists a directory's entries in the order of their upper-cased names.
static bool windows_name_order(const std::string &a, const std::string &b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; i++) {
        unsigned char x = static_cast<unsigned char>(ascii_upper(a[i]));
        unsigned char y = static_cast<unsigned char>(ascii_upper(b[i]));
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

// The names are read and sorted when the search starts, as Windows delivers them in
// order; each entry's facts are read only when it is delivered, so a large directory
// costs its names and no more.
struct plat_find_s {
    std::string dir;
    std::vector<std::string> names;
    size_t next;
};

static bool entry_data(const std::string &dir, const std::string &name, plat_find_data *out)
{
    std::string full = dir + "/" + name;
    struct stat st;
    if (stat(full.c_str(), &st) != 0 && lstat(full.c_str(), &st) != 0)
        return false;
    std::memset(out, 0, sizeof *out);
    uint32_t attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= PLAT_FILE_ATTRIBUTE_DIRECTORY;
    if (name.size() > 1 && name[0] == '.' && name != "..")
        attributes |= PLAT_FILE_ATTRIBUTE_HIDDEN;
    if (!(st.st_mode & S_IWUSR))
        attributes |= PLAT_FILE_ATTRIBUTE_READONLY;
    if (attributes == 0)
        attributes = PLAT_FILE_ATTRIBUTE_ARCHIVE;
    out->attributes = attributes;
    out->last_write_time = to_file_time(st.st_mtim);
    uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
    out->size_high = static_cast<uint32_t>(size >> 32);
    out->size_low = static_cast<uint32_t>(size & 0xFFFFFFFFu);
    std::snprintf(out->name, sizeof out->name, "%s", name.c_str());
    return true;
}

plat_find plat_find_first(const char *pattern, plat_find_data *data)
{
    std::string text = pattern ? pattern : "";
    size_t cut = text.find_last_of("\\/");
    std::string dir_part = cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
    std::string name_part = cut == std::string::npos ? text : text.substr(cut + 1);
    if (name_part.empty())
        return nullptr;

    std::string dir = host_map_path(dir_part.empty() ? "." : dir_part.c_str());
    DIR *d = opendir(dir.c_str());
    if (!d)
        return nullptr;
    std::vector<std::string> names;
    while (struct dirent *e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() >= PLAT_MAX_PATH)
            continue; // no Windows name is that long
        if (wildcard_match(name_part.c_str(), name.c_str()))
            names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end(), windows_name_order);

    plat_find search = new plat_find_s();
    search->dir = dir;
    search->names.swap(names);
    search->next = 0;
    if (!plat_find_next(search, data)) {
        delete search;
        return nullptr;
    }
    return search;
}

int plat_find_next(plat_find search, plat_find_data *data)
{
    // An entry that vanished since the search started is passed over.
    while (search && search->next < search->names.size()) {
        if (entry_data(search->dir, search->names[search->next++], data))
            return 1;
    }
    return 0;
}

void plat_find_close(plat_find search)
{
    delete search;
}

int plat_file_time_to_local(uint64_t file_time, plat_system_time *out)
{
    // The offset from UTC that is in force now, whatever the file's date: that is
    // what FileTimeToLocalFileTime applies.
    time_t now = time(nullptr);
    struct tm local_now;
    if (!localtime_r(&now, &local_now))
        return 0;
    int64_t offset = static_cast<int64_t>(local_now.tm_gmtoff);

    int64_t seconds = static_cast<int64_t>(file_time / 10000000ull) - static_cast<int64_t>(epoch_difference) + offset;
    time_t t = static_cast<time_t>(seconds);
    struct tm fields;
    if (!gmtime_r(&t, &fields))
        return 0;
    out->year = static_cast<uint16_t>(fields.tm_year + 1900);
    out->month = static_cast<uint16_t>(fields.tm_mon + 1);
    out->day_of_week = static_cast<uint16_t>(fields.tm_wday);
    out->day = static_cast<uint16_t>(fields.tm_mday);
    out->hour = static_cast<uint16_t>(fields.tm_hour);
    out->minute = static_cast<uint16_t>(fields.tm_min);
    out->second = static_cast<uint16_t>(fields.tm_sec);
    out->milliseconds = static_cast<uint16_t>((file_time / 10000ull) % 1000ull);
    return 1;
}

// ---------------------------------------------------------------------------------------
// Files by handle

struct plat_handle_s {
    int fd;
};

plat_handle host_handle_from_fd(int fd)
{
    plat_handle h = new plat_handle_s();
    h->fd = fd;
    return h;
}

int host_handle_fd(plat_handle h)
{
    return h ? h->fd : -1;
}

plat_handle plat_create_file(const char *path, uint32_t access, uint32_t share, uint32_t disposition)
{
    (void)share;
    int flags = 0;
    bool read = (access & PLAT_GENERIC_READ) != 0;
    bool write = (access & PLAT_GENERIC_WRITE) != 0;
    if (read && write)
        flags = O_RDWR;
    else if (write)
        flags = O_WRONLY;
    else
        flags = O_RDONLY;
    if (disposition == PLAT_CREATE_ALWAYS)
        flags |= O_CREAT | O_TRUNC;
    else if (disposition != PLAT_OPEN_EXISTING)
        return nullptr;
    // Closed in every child: a child gets its own copy of its standard output only.
    flags |= O_CLOEXEC;
    int fd = host_open_file(path, flags);
    if (fd < 0)
        return nullptr;
    return host_handle_from_fd(fd);
}

int plat_read_file(plat_handle h, void *buf, uint32_t n, uint32_t *got)
{
    *got = 0;
    if (!h)
        return 0;
    ssize_t r;
    do {
        r = read(h->fd, buf, n);
    } while (r < 0 && errno == EINTR);
    if (r < 0)
        return 0;
    *got = static_cast<uint32_t>(r);
    return 1;
}

int plat_seek_file(plat_handle h, uint32_t offset)
{
    if (!h)
        return 0;
    return lseek(h->fd, static_cast<off_t>(offset), SEEK_SET) < 0 ? 0 : 1;
}

void plat_close_handle(plat_handle h)
{
    if (!h)
        return;
    close(h->fd);
    delete h;
}

// ---------------------------------------------------------------------------------------
// Temporary files

static const char host_temp_dir[] = "C:\\windows\\temp\\";
static std::string temp_dir_override;

void host_set_temp_path(const char *windows_path)
{
    temp_dir_override = windows_path ? windows_path : "";
}

uint32_t plat_temp_path(char *buf, uint32_t cap)
{
    const char *dir = temp_dir_override.empty() ? host_temp_dir : temp_dir_override.c_str();
    uint32_t len = static_cast<uint32_t>(std::strlen(dir));
    if (cap < len + 1)
        return len + 1;
    std::memcpy(buf, dir, len + 1);
    return len;
}

uint32_t plat_temp_file_name(const char *dir, const char *prefix, uint32_t unique, char *out)
{
    out[0] = '\0';
    std::string base = dir ? dir : "";
    if (base.empty() || (base.back() != '\\' && base.back() != '/'))
        base += '\\';
    // As Windows does: up to three characters of the prefix, then the number in hex.
    base += std::string(prefix ? prefix : "").substr(0, 3);

    static uint32_t counter = 0;
    if (counter == 0)
        counter = static_cast<uint32_t>((getpid() ^ time(nullptr)) & 0xFFFF);
    for (uint32_t tries = 0; tries < 0x10000; tries++) {
        uint32_t number = unique ? unique & 0xFFFF : (counter++ & 0xFFFF);
        if (number == 0)
            continue;
        char name[PLAT_MAX_PATH];
        int n = std::snprintf(name, sizeof name, "%s%X.TMP", base.c_str(), number);
        if (n < 0 || n >= PLAT_MAX_PATH)
            return 0;
        if (unique) {
            std::memcpy(out, name, static_cast<size_t>(n) + 1);
            return unique;
        }
        std::string native = host_map_path(name);
        int fd = open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            std::memcpy(out, name, static_cast<size_t>(n) + 1);
            return number;
        }
        if (errno != EEXIST)
            return 0;
    }
    return 0;
}
