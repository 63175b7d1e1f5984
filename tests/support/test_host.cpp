#include "test_host.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "install/install_internal.h"
#include "platform/platform.h"
#include "test_support.h"

#ifndef _WIN32
#include <unistd.h>

#include "platform/host/host.h"
#endif

namespace fs = std::filesystem;

bool test_host::simulated()
{
#ifdef _WIN32
    return false;
#else
    return true;
#endif
}

#ifdef _WIN32
// Runs Windows' reg.exe with the arguments and waits for it.
static void run_reg(const std::string &arguments)
{
    std::string line = "C:\\windows\\system32\\reg.exe " + arguments;
    std::vector<char> cmd(line.begin(), line.end());
    cmd.push_back('\0');
    plat_process p = plat_start_process("C:\\windows\\system32\\reg.exe", cmd.data(), nullptr);
    if (p) {
        plat_wait_process(p, 60000);
        plat_close_process(p);
    }
}
#endif

test_host::test_host()
{
#ifndef _WIN32
    static unsigned counter = 0;
    fs::path dir =
        fs::temp_directory_path() / ("telinv-host-" + std::to_string(getpid()) + "-" + std::to_string(++counter));
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir / "c" / "windows" / "system32", ec);
    fs::create_directories(dir / "c" / "windows" / "temp", ec);
    // Drive Z: is the native root, as under Wine, so tests can name build files.
    fs::create_directory_symlink("/", dir / "z", ec);
    root_ = dir.string();
    set_env("TELINV_HOST_ROOT", root_.c_str());
    host_reset();
#endif
    install_reset_cache();
}

test_host::~test_host()
{
    install_reset_cache();
#ifndef _WIN32
    std::error_code ec;
    fs::remove_all(root_, ec);
    host_reset();
#else
    for (auto it = created_paths_.rbegin(); it != created_paths_.rend(); ++it) {
        std::error_code ec;
        fs::remove(*it, ec);
    }
    for (auto it = created_keys_.rbegin(); it != created_keys_.rend(); ++it) {
        run_reg("delete \"HKLM\\" + *it + "\" /f");
    }
#endif
}

#ifdef _WIN32
static bool key_exists(const std::string &path)
{
    plat_key key = nullptr;
    if (plat_reg_open(PLAT_HKEY_LOCAL_MACHINE, path.c_str(), PLAT_KEY_READ, &key) != PLAT_ERROR_SUCCESS)
        return false;
    plat_reg_close(key);
    return true;
}
#endif

void test_host::registry(const std::string &reg_text)
{
    registry_text_ += reg_text;
    if (!registry_text_.empty() && registry_text_.back() != '\n')
        registry_text_ += "\n";
    std::string whole = "Windows Registry Editor Version 5.00\n\n" + registry_text_;
#ifndef _WIN32
    write_file(root_ + "/registry.reg", whole);
    host_reset();
#else
    // Keys that the text makes and that are not there yet are removed at the end.
    const std::string prefix = "[HKEY_LOCAL_MACHINE\\";
    size_t pos = 0;
    while ((pos = reg_text.find(prefix, pos)) != std::string::npos) {
        size_t end = reg_text.find(']', pos);
        if (end == std::string::npos)
            break;
        std::string key = reg_text.substr(pos + prefix.size(), end - pos - prefix.size());
        // The outermost missing ancestor is what the import creates.
        std::string outer;
        std::string walk;
        size_t start = 0;
        while (start <= key.size()) {
            size_t cut = key.find('\\', start);
            std::string part = key.substr(start, cut == std::string::npos ? std::string::npos : cut - start);
            walk = walk.empty() ? part : walk + "\\" + part;
            if (!key_exists(walk)) {
                outer = walk;
                break;
            }
            if (cut == std::string::npos)
                break;
            start = cut + 1;
        }
        if (!outer.empty())
            created_keys_.push_back(outer);
        pos = end;
    }
    fs::path file = fs::temp_directory_path() / ("telinv-test-" + std::to_string(std::rand()) + ".reg");
    // As reg export writes a Version 5.00 file: UTF-16LE with a byte-order mark. Wine's
    // reg import reads the hex(2) and hex(7) bytes of an 8-bit file as 8-bit text.
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n" + reg_text + "\r\n";
    std::string wide = "\xff\xfe";
    for (char c : text) {
        wide += c;
        wide += '\0';
    }
    write_file(file.string(), wide);
    run_reg("import \"" + file.string() + "\"");
    std::error_code ec;
    fs::remove(file, ec);
#endif
    install_reset_cache();
}

bool test_host::play_wow64()
{
#ifndef _WIN32
    std::error_code ec;
    fs::create_directories(fs::path(root_) / "c" / "windows" / "syswow64", ec);
    host_reset();
    install_reset_cache();
    return !ec;
#else
    return false;
#endif
}

std::string test_host::native(const std::string &windows_path) const
{
#ifndef _WIN32
    return host_native_path(windows_path.c_str());
#else
    return windows_path;
#endif
}

void test_host::directory(const std::string &windows_path)
{
    fs::path p(native(windows_path));
    // Remember each directory that does not exist yet, outermost first.
    std::vector<fs::path> missing;
    for (fs::path walk = p; !walk.empty() && !fs::exists(walk); walk = walk.parent_path()) {
        missing.push_back(walk);
        if (walk == walk.parent_path())
            break;
    }
    std::error_code ec;
    fs::create_directories(p, ec);
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        created_paths_.push_back(it->string());
}

void test_host::file(const std::string &windows_path, const std::string &bytes)
{
    std::string path = native(windows_path);
    fs::path parent = fs::path(path).parent_path();
    if (!parent.empty())
        directory(windows_path.substr(0, windows_path.find_last_of('\\')));
    bool existed = fs::exists(path);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!existed)
        created_paths_.push_back(path);
}
