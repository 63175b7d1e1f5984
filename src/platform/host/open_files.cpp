// The files that this process holds open (for the stand-in tools of the tests).
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/platform_internal.h"

int plat_open_file_names(plat_open_file_fn each, void *user)
{
    DIR *d = opendir("/proc/self/fd");
    if (!d)
        return 0;
    int found = 0;
    int own = dirfd(d);
    while (struct dirent *e = readdir(d)) {
        char *end = nullptr;
        long fd = std::strtol(e->d_name, &end, 10);
        if (!end || *end != '\0' || fd == own)
            continue;
        struct stat st;
        if (fstat(static_cast<int>(fd), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        std::string link = std::string("/proc/self/fd/") + e->d_name;
        char path[4096];
        ssize_t n = readlink(link.c_str(), path, sizeof path - 1);
        if (n <= 0)
            continue;
        path[n] = '\0';
        each(path, user);
        found++;
    }
    closedir(d);
    return found;
}
