#include "test_support.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/cpu_id.h"
#include "platform/platform.h"
#include "probes/probes_internal.h"

#ifndef _WIN32
#include <unistd.h>

#include "platform/host/host.h"
#endif

namespace fs = std::filesystem;

static unsigned scratch_counter = 0;

scratch_dir::scratch_dir()
{
    previous_ = fs::current_path().string();
    fs::path base = fs::temp_directory_path();
    for (;;) {
        fs::path candidate = base / ("telinv-test-" + std::to_string(std::rand()) + "-" + std::to_string(++scratch_counter));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            path_ = candidate.string();
            break;
        }
    }
    fs::current_path(path_);
}

scratch_dir::~scratch_dir()
{
    std::error_code ec;
    fs::current_path(previous_, ec);
    fs::remove_all(path_, ec);
}

std::string windows_path(const std::string &native)
{
#ifdef _WIN32
    if (!native.empty() && native[0] == '/') {
        std::string out = "Z:" + native;
        for (char &c : out)
            if (c == '/')
                c = '\\';
        return out;
    }
    return native;
#else
    std::string out = "Z:" + native;
    for (char &c : out)
        if (c == '/')
            c = '\\';
    return out;
#endif
}

void set_env(const char *name, const char *value)
{
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

#ifndef _WIN32
// The host root of test_host_with_z_drive: a directory of the test program's own with a
// link z -> /, removed again when the program ends (the link itself, never what it
// names).
struct z_drive_root {
    std::string path;
    ~z_drive_root()
    {
        if (path.empty())
            return;
        std::error_code ec;
        fs::remove(fs::path(path) / "z", ec);
        fs::remove(path, ec);
    }
};
#endif

void test_host_with_z_drive()
{
#ifndef _WIN32
    static z_drive_root root;
    if (root.path.empty()) {
        fs::path dir = fs::temp_directory_path() / ("telinv-zroot-" + std::to_string(getpid()));
        std::error_code ec;
        fs::create_directories(dir, ec);
        fs::create_directory_symlink("/", dir / "z", ec);
        root.path = dir.string();
    }
    set_env("TELINV_HOST_ROOT", root.path.c_str());
    host_reset();
#endif
}

std::string read_file(const std::string &native_path)
{
    std::ifstream in(native_path, std::ios::binary);
    if (!in)
        return std::string();
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write_file(const std::string &native_path, const std::string &bytes)
{
    fs::path p(native_path);
    std::error_code ec;
    if (p.has_parent_path())
        fs::create_directories(p.parent_path(), ec);
    std::ofstream out(native_path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string lf_lines(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        out += text[i];
    }
    return out;
}

std::string report_of(const std::function<void(FILE *)> &fill, bool *crlf_ok)
{
    // Named for this process too: test programs run side by side in one directory.
    static unsigned n = 0;
    static const std::string tag = std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    std::string name = "section-" + tag + "-" + std::to_string(++n) + ".txt";
    FILE *report = plat_fopen_text(name.c_str(), "w");
    if (!report)
        return "<no report stream>";
    fill(report);
    std::fclose(report);
    std::string raw = read_file(name);
    std::remove(name.c_str());
    if (crlf_ok) {
        bool ok = true;
        for (size_t i = 0; i < raw.size(); i++)
            if (raw[i] == '\n' && (i == 0 || raw[i - 1] != '\r'))
                ok = false;
        *crlf_ok = ok;
    }
    return lf_lines(raw);
}

std::string system_dir()
{
    char buf[520];
    uint32_t n = plat_system_directory(buf, sizeof buf - 1);
    return n > 0 && n < sizeof buf - 1 ? std::string(buf) : std::string();
}

std::string banner_line(const std::string &name)
{
    return std::string(37, '-') + " " + name + " " + std::string(39 - name.size(), '-') + "\n";
}

std::string machine_processor_id()
{
    uint32_t eax = 0, edx = 0;
    char id[32];
    if (!cpu_id_leaf1(&eax, &edx) || !format_processor_id(eax, edx, id, sizeof id))
        return "";
    return id;
}
