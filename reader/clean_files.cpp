#include "clean_files.h"

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "file_io.h"

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <process.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace telinv_read {

namespace {

#ifdef _WIN32
std::wstring wide(const std::string &utf8)
{
    std::u16string w = utf16_from_utf8(utf8);
    return std::wstring(w.begin(), w.end());
}

std::string narrow(const wchar_t *w, std::size_t n)
{
    return utf8_from_utf16(std::u16string(w, w + n));
}

bool is_separator(char c) { return c == '\\' || c == '/'; }

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
#else
bool is_separator(char c) { return c == '/'; }

char fold(char c) { return c; }
#endif

} // namespace

bool path_exists(const std::string &p)
{
#ifdef _WIN32
    return GetFileAttributesW(wide(p).c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat st;
    return stat(p.c_str(), &st) == 0;
#endif
}

bool is_directory(const std::string &p)
{
#ifdef _WIN32
    DWORD a = GetFileAttributesW(wide(p).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
#else
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
#endif
}

bool make_directories(const std::string &p, bool owner_only)
{
    if (p.empty() || is_directory(p))
        return true;
    std::string parent = folder_of(p);
    if (!parent.empty() && parent != p && !make_directories(parent, owner_only))
        return false;
#ifdef _WIN32
    // The folder inherits the access list of the user's profile folder it is made in.
    (void)owner_only;
    if (!CreateDirectoryW(wide(p).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        errno = EACCES;
        return false;
    }
    return true;
#else
    return mkdir(p.c_str(), owner_only ? 0700 : 0777) == 0 || errno == EEXIST;
#endif
}

bool same_file(const std::string &a, const std::string &b)
{
#ifdef _WIN32
    auto identity = [](const std::string &p, BY_HANDLE_FILE_INFORMATION *info) {
        HANDLE h = CreateFileW(wide(p).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        BOOL ok = GetFileInformationByHandle(h, info);
        CloseHandle(h);
        return ok != 0;
    };
    BY_HANDLE_FILE_INFORMATION x, y;
    return identity(a, &x) && identity(b, &y) && x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
#else
    struct stat x, y;
    return stat(a.c_str(), &x) == 0 && stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev && x.st_ino == y.st_ino;
#endif
}

std::string absolute_path(const std::string &p)
{
#ifdef _WIN32
    std::wstring w = wide(p);
    DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return p;
    std::vector<wchar_t> buf(n + 1);
    n = GetFullPathNameW(w.c_str(), static_cast<DWORD>(buf.size()), buf.data(), nullptr);
    return n == 0 || n >= buf.size() ? p : narrow(buf.data(), n);
#else
    std::string full = p;
    if (p.empty() || p[0] != '/') {
        std::vector<char> cwd(4096);
        while (!getcwd(cwd.data(), cwd.size())) {
            if (errno != ERANGE || cwd.size() > (1u << 20))
                return p;
            cwd.resize(cwd.size() * 2);
        }
        full = std::string(cwd.data()) + "/" + p;
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= full.size(); i++) {
        if (i < full.size() && full[i] != '/')
            continue;
        std::string part = full.substr(start, i - start);
        start = i + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (const std::string &part : parts)
        out += "/" + part;
    return out.empty() ? "/" : out;
#endif
}

std::string folder_of(const std::string &p)
{
    std::size_t i = p.size();
    while (i > 0 && !is_separator(p[i - 1]))
        i--;
    if (i == 0)
        return "";
    std::size_t end = i - 1;
    while (end > 0 && is_separator(p[end - 1]))
        end--;
    if (end == 0)
        return p.substr(0, 1); // the root
#ifdef _WIN32
    if (end == 2 && p[1] == ':')
        return p.substr(0, 3); // C:\ .
#endif
    return p.substr(0, end);
}

std::string last_part(const std::string &p)
{
    std::size_t i = p.size();
    while (i > 0 && !is_separator(p[i - 1]))
        i--;
    return p.substr(i);
}

std::string join_path(const std::string &folder, const std::string &name)
{
    if (folder.empty())
        return name;
    if (is_separator(folder.back()))
        return folder + name;
#ifdef _WIN32
    return folder + "\\" + name;
#else
    return folder + "/" + name;
#endif
}

bool same_path(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); i++)
        if (fold(a[i]) != fold(b[i]) && !(is_separator(a[i]) && is_separator(b[i])))
            return false;
    return true;
}

bool path_inside(const std::string &path, const std::string &folder)
{
    if (folder.empty() || path.size() <= folder.size())
        return false;
    std::size_t n = folder.size();
    if (!same_path(path.substr(0, n), folder))
        return false;
    return is_separator(folder.back()) || is_separator(path[n]);
}

std::FILE *create_owner_only_file(const std::string &p)
{
#ifdef _WIN32
    // A protected access list with one entry, the user of this process: nothing is
    // inherited from the folder, and no one else (other users, the Users group) is named.
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        errno = EACCES;
        return nullptr;
    }
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size ? size : 1);
    BOOL got = size && GetTokenInformation(token, TokenUser, user.data(), size, &size);
    CloseHandle(token);
    if (!got) {
        errno = EACCES;
        return nullptr;
    }
    PSID sid = reinterpret_cast<TOKEN_USER *>(user.data())->User.Sid;
    DWORD acl_size = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid);
    std::vector<unsigned char> acl_bytes(acl_size);
    PACL acl = reinterpret_cast<PACL>(acl_bytes.data());
    SECURITY_DESCRIPTOR sd;
    if (!InitializeAcl(acl, acl_size, ACL_REVISION) || !AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) ||
        !InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) || !SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE) ||
        !SetSecurityDescriptorControl(&sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
        errno = EACCES;
        return nullptr;
    }
    SECURITY_ATTRIBUTES sa = {sizeof sa, &sd, FALSE};
    HANDLE h = CreateFileW(wide(p).c_str(), GENERIC_WRITE, 0, &sa, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = GetLastError() == ERROR_FILE_EXISTS ? EEXIST : EACCES;
        return nullptr;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    std::FILE *f = _fdopen(fd, "wb");
    if (!f)
        _close(fd);
    return f;
#else
    int fd = open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return nullptr;
    std::FILE *f = fdopen(fd, "wb");
    if (!f)
        close(fd);
    return f;
#endif
}

bool replace_file(const std::string &from, const std::string &to)
{
#ifdef _WIN32
    return MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool remove_file(const std::string &p)
{
#ifdef _WIN32
    return DeleteFileW(wide(p).c_str()) != 0;
#else
    return unlink(p.c_str()) == 0;
#endif
}

std::string default_map_path()
{
#ifdef _WIN32
    for (const wchar_t *name : {L"LOCALAPPDATA", L"APPDATA", L"USERPROFILE"}) {
        const wchar_t *v = _wgetenv(name);
        if (v && *v)
            return join_path(join_path(narrow(v, wcslen(v)), "telinv-read"), "clean-map.json");
    }
    return "";
#else
    const char *data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/')
        return std::string(data) + "/telinv-read/clean-map.json";
    const char *home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.local/share/telinv-read/clean-map.json";
    return "";
#endif
}

unsigned long process_number()
{
#ifdef _WIN32
    return static_cast<unsigned long>(_getpid());
#else
    return static_cast<unsigned long>(getpid());
#endif
}

} // namespace telinv_read
