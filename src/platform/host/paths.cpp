// Windows paths mapped into the simulated host's directory tree.
#include "platform/host/host.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

std::string host_root()
{
    const char *root = std::getenv("TELINV_HOST_ROOT");
    std::string text = root ? root : "";
    while (!text.empty() && text.back() == '/')
        text.pop_back();
    return text;
}

static bool is_separator(char c)
{
    return c == '\\' || c == '/';
}

static bool exists_native(const std::string &path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The entry of directory dir that is name in some spelling: the exact name when it
// exists, else the first entry that equals it without regard to ASCII case, else "".
static std::string find_entry(const std::string &dir, const std::string &name)
{
    std::string exact = dir + "/" + name;
    if (exists_native(exact))
        return name;
    DIR *d = opendir(dir.empty() ? "/" : dir.c_str());
    if (!d)
        return std::string();
    std::string found;
    while (struct dirent *e = readdir(d)) {
        if (strcasecmp(e->d_name, name.c_str()) == 0) {
            found = e->d_name;
            break;
        }
    }
    closedir(d);
    return found;
}

static bool same_folded(const std::string &a, const char *b)
{
    return strcasecmp(a.c_str(), b) == 0;
}

// -1 not asked yet, else 0 or 1.
static int wow64_state = -1;

void host_paths_reset()
{
    wow64_state = -1;
}

bool host_wow64()
{
    if (wow64_state < 0) {
        std::string root = host_root();
        std::string c = find_entry(root, "c");
        std::string windows = c.empty() ? std::string() : find_entry(root + "/" + c, "windows");
        std::string wow = windows.empty() ? std::string() : find_entry(root + "/" + c + "/" + windows, "syswow64");
        struct stat st;
        wow64_state =
            !wow.empty() && stat((root + "/" + c + "/" + windows + "/" + wow).c_str(), &st) == 0 && S_ISDIR(st.st_mode)
                ? 1
                : 0;
    }
    return wow64_state == 1;
}

// The file system redirection of a 32-bit program on 64-bit Windows, on the components
// of a path on drive C:. (Windows leaves a few sub directories of system32 alone, such as
// drivers\etc and spool; the program reads none of them.)
static void redirect_wow64(std::vector<std::string> &parts)
{
    if (parts.size() < 2 || !same_folded(parts[0], "windows"))
        return;
    if (same_folded(parts[1], "sysnative"))
        parts[1] = "system32";
    else if (same_folded(parts[1], "system32"))
        parts[1] = "SysWOW64";
}

std::string host_current_directory()
{
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) == nullptr)
        return std::string();
    std::string native = cwd;
    std::string root = host_root();
    // <root>/<drive letter>[/...]: the drive's directory is named by one letter.
    if (native.size() < root.size() + 2 || native.compare(0, root.size(), root) != 0 || native[root.size()] != '/')
        return std::string();
    char letter = native[root.size() + 1];
    if (!((letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z')))
        return std::string();
    size_t rest = root.size() + 2;
    if (rest < native.size() && native[rest] != '/')
        return std::string();
    std::string windows(1, static_cast<char>(letter & ~0x20));
    windows += ":";
    for (size_t i = rest; i < native.size(); i++)
        windows += native[i] == '/' ? '\\' : native[i];
    if (windows.size() == 2)
        windows += '\\';
    return windows;
}

static std::string map_path(const char *windows_path, bool redirect)
{
    std::string path = windows_path ? windows_path : "";
    std::string base;
    size_t pos = 0;
    bool drive_c = false;

    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        char drive = static_cast<char>(path[0] | 0x20);
        drive_c = drive == 'c';
        std::string root = host_root();
        std::string entry = find_entry(root, std::string(1, drive));
        base = root + "/" + (entry.empty() ? std::string(1, drive) : entry);
        pos = 2;
    } else if (!path.empty() && is_separator(path[0])) {
        std::string root = host_root();
        std::string entry = find_entry(root, "c");
        base = root + "/" + (entry.empty() ? std::string("c") : entry);
        drive_c = true;
    } else {
        // Relative to the current directory. On a host that plays WOW64, a current
        // directory under the system directory is redirected as any path there is: the
        // relative path is taken as the full Windows path it names.
        if (redirect && host_wow64()) {
            std::string dir = host_current_directory();
            if (!dir.empty())
                return map_path((dir + (dir.back() == '\\' ? "" : "\\") + path).c_str(), true);
        }
        char cwd[4096];
        if (getcwd(cwd, sizeof cwd) == nullptr)
            cwd[0] = '\0';
        base = cwd;
        if (base == "/")
            base.clear();
    }

    // Split into components; "." stays, ".." goes up but never above the base.
    std::vector<std::string> parts;
    while (pos < path.size()) {
        while (pos < path.size() && is_separator(path[pos]))
            pos++;
        size_t end = pos;
        while (end < path.size() && !is_separator(path[end]))
            end++;
        if (end > pos) {
            std::string part = path.substr(pos, end - pos);
            if (part == "..") {
                if (!parts.empty())
                    parts.pop_back();
            } else if (part != ".") {
                parts.push_back(part);
            }
        }
        pos = end;
    }
    if (redirect && drive_c && host_wow64())
        redirect_wow64(parts);

    std::string native = base;
    bool resolving = true;
    for (const std::string &part : parts) {
        if (resolving) {
            std::string entry = find_entry(native, part);
            if (entry.empty()) {
                resolving = false;
                native += "/" + part;
            } else {
                native += "/" + entry;
            }
        } else {
            native += "/" + part;
        }
    }
    if (native.empty())
        native = "/";
    return native;
}

std::string host_map_path(const char *windows_path)
{
    return map_path(windows_path, true);
}

std::string host_native_path(const char *windows_path)
{
    return map_path(windows_path, false);
}
