// The stand-in tools of tools/standin installed into a test's simulated host (host
// build) or into the Wine prefix's system directory (win64 build), and the debug traces
// of the probes collected for checking.
#ifndef TELINV_TEST_STANDINS_H
#define TELINV_TEST_STANDINS_H

#include <string>
#include <vector>

#include "test_host.h"

// Installs tools for one test and takes them away again at its end; a file of the
// system that it replaced (Wine's own wmic.exe and ipconfig.exe) comes back.
class installed_tools {
public:
    explicit installed_tools(test_host &host);
    ~installed_tools();
    installed_tools(const installed_tools &) = delete;
    installed_tools &operator=(const installed_tools &) = delete;

    // Copies the built stand-in ("wmic", "getmac", "ipconfig", "sleeper") to a Windows
    // path; "" for a path names the tool's own place in the system directory.
    void install(const std::string &standin, const std::string &windows_path = "");
    // All three tools at their places in the system directory.
    void install_all();
    // A file at a Windows path (e.g. one that is not a program, or a data file).
    void put(const std::string &windows_path, const std::string &bytes);
    // Removes a file at a Windows path (e.g. Wine's own tool).
    void remove(const std::string &windows_path);

    // The tool's place: C:\windows\system32\wbem\wmic.exe and so on.
    static std::string tool_path(const std::string &standin);

private:
    struct saved_file {
        std::string native;
        bool existed;
        std::string bytes;
    };
    void save(const std::string &native);
    test_host &host_;
    std::vector<saved_file> saved_;
};

// The names of the pbx*.tmp files in the platform's temporary directory.
std::vector<std::string> capture_files_left();

// Collects the probes' debug traces while it lives.
class trace_log {
public:
    trace_log();
    ~trace_log();
    trace_log(const trace_log &) = delete;
    trace_log &operator=(const trace_log &) = delete;
    const std::vector<std::string> &texts() const;
    void clear();
};

#endif
