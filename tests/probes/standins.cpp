#include "standins.h"

#include <filesystem>
#include <fstream>

#include "platform/platform.h"
#include "probes/probes_internal.h"
#include "test_support.h"

#ifndef _WIN32
#include "platform/host/host.h"
#endif

namespace fs = std::filesystem;

// A file of the build tree, readable from the test program (under Wine through Z:).
static std::string build_file(const char *path)
{
#ifdef _WIN32
    return windows_path(path);
#else
    return path;
#endif
}

static std::string standin_file(const std::string &standin)
{
    if (standin == "wmic")
        return build_file(TELINV_STANDIN_WMIC);
    if (standin == "getmac")
        return build_file(TELINV_STANDIN_GETMAC);
    if (standin == "ipconfig")
        return build_file(TELINV_STANDIN_IPCONFIG);
    return build_file(TELINV_STANDIN_SLEEPER);
}

std::string installed_tools::tool_path(const std::string &standin)
{
    if (standin == "wmic")
        return "C:\\windows\\system32\\wbem\\wmic.exe";
    return "C:\\windows\\system32\\" + standin + ".exe";
}

// Under Wine the test program must be started with WINEDLLOVERRIDES naming the tools
// native (standins.cmake sets it): Wine otherwise starts its own builtin ipconfig for the
// system directory's ipconfig.exe whatever file stands there.
installed_tools::installed_tools(test_host &host) : host_(host) {}

installed_tools::~installed_tools()
{
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
        std::error_code ec;
        if (it->existed) {
            std::ofstream out(it->native, std::ios::binary | std::ios::trunc);
            out.write(it->bytes.data(), static_cast<std::streamsize>(it->bytes.size()));
        } else {
            fs::remove(it->native, ec);
        }
    }
}

void installed_tools::save(const std::string &native)
{
    for (const saved_file &s : saved_)
        if (s.native == native)
            return;
    saved_file s;
    s.native = native;
    s.existed = fs::exists(native);
    if (s.existed)
        s.bytes = read_file(native);
    saved_.push_back(s);
}

void installed_tools::put(const std::string &windows_path, const std::string &bytes)
{
    save(host_.native(windows_path));
    host_.file(windows_path, bytes);
}

void installed_tools::install(const std::string &standin, const std::string &windows_path)
{
    std::string where = windows_path.empty() ? tool_path(standin) : windows_path;
    std::string bytes = read_file(standin_file(standin));
    put(where, bytes);
#ifndef _WIN32
    std::error_code ec;
    fs::permissions(host_.native(where), fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add, ec);
#endif
}

void installed_tools::install_all()
{
    install("wmic");
    install("getmac");
    install("ipconfig");
}

void installed_tools::remove(const std::string &windows_path)
{
    std::string native = host_.native(windows_path);
    save(native);
    std::error_code ec;
    fs::remove(native, ec);
}

std::vector<std::string> capture_files_left()
{
    std::vector<std::string> names;
    char dir[PLAT_MAX_PATH];
    uint32_t n = plat_temp_path(dir, sizeof dir);
    if (n == 0 || n >= sizeof dir)
        return names;
#ifdef _WIN32
    std::string native = dir;
#else
    std::string native = host_map_path(dir);
#endif
    std::error_code ec;
    for (fs::directory_iterator it(native, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        std::string upper = name;
        for (char &c : upper)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 32);
        if (upper.size() >= 7 && upper.compare(0, 3, "PBX") == 0 && upper.compare(upper.size() - 4, 4, ".TMP") == 0)
            names.push_back(name);
    }
    return names;
}

static std::vector<std::string> traces;

static void listen(const char *text)
{
    traces.push_back(text);
}

trace_log::trace_log()
{
    traces.clear();
    debug_trace_listener = listen;
}

trace_log::~trace_log()
{
    debug_trace_listener = nullptr;
    traces.clear();
}

const std::vector<std::string> &trace_log::texts() const
{
    return traces;
}

void trace_log::clear()
{
    traces.clear();
}
