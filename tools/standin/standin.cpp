#include "tools/standin/standin.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "base/ascii_case.h"
#include "platform/platform.h"
#include "platform/platform_internal.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include "platform/host/host.h"
#endif

std::string standin_native_path(const std::string &windows_path)
{
#ifdef _WIN32
    return windows_path;
#else
    return host_native_path(windows_path.c_str());
#endif
}

// The native path of a data file next to the running program, "" when there is none.
static std::string data_file(const char *file_name)
{
    char self[1024];
    if (plat_module_file_name(self, sizeof self) == 0)
        return std::string();
    // The program's own path is a native path on both layers.
    std::string dir = self;
    size_t cut = dir.find_last_of("\\/");
    dir = cut == std::string::npos ? std::string(".") : dir.substr(0, cut);
    return dir + "/" + file_name;
}

bool standin_write_data_lines(const char *file_name, const std::vector<std::string> &lines)
{
    std::string path = data_file(file_name);
    FILE *out = path.empty() ? nullptr : std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    standin_write_lines(out, lines);
    return std::fclose(out) == 0;
}

bool standin_data_lines(const char *file_name, std::vector<std::string> *lines)
{
    std::string path = data_file(file_name);
    if (path.empty())
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    lines->clear();
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines->push_back(line);
    }
    return true;
}

void standin_binary_stdout()
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

void standin_write_lines(FILE *out, const std::vector<std::string> &lines)
{
    for (const std::string &line : lines) {
        std::fputs(line.c_str(), out);
        std::fputs("\r\n", out);
    }
}

bool standin_same_text(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && ascii_equal_folded(a.c_str(), b.c_str());
}

void standin_delay()
{
    const char *text = std::getenv("TELINV_STANDIN_DELAY_MS");
    long ms = text ? std::strtol(text, nullptr, 10) : 0;
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

static void add_open_file(const char *path, void *user)
{
    static_cast<std::vector<std::string> *>(user)->push_back(path);
}

void standin_list_open_files(const char *file_name)
{
    std::vector<std::string> paths;
    plat_open_file_names(add_open_file, &paths);
    standin_write_data_lines(file_name, paths);
}
