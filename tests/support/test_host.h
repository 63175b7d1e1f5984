// A simulated Windows host for one test, on every build: registry text and files at
// Windows paths.
//
// Host build: a fresh directory becomes TELINV_HOST_ROOT; registry text is written to
// its registry.reg and files into its drive trees.
// Windows builds (under Wine): registry text is imported into the real registry with
// reg.exe, files are written at their real paths; what the test created (keys that
// did not exist before, files and directories) is removed again at the end.
// Either way the program's cached lookups (identity, installation directory) are
// forgotten at the start and at the end.
#ifndef TELINV_TEST_HOST_H
#define TELINV_TEST_HOST_H

#include <string>
#include <vector>

class test_host {
  public:
    test_host();
    ~test_host();
    test_host(const test_host &) = delete;
    test_host &operator=(const test_host &) = delete;

    // Adds registry text in regedit's form: "[HKEY_LOCAL_MACHINE\...]" lines and
    // values; the "Windows Registry Editor Version 5.00" header is added here.
    void registry(const std::string &reg_text);

    // Writes a file at a Windows path ("C:\dir\name"), creating its directories.
    void file(const std::string &windows_path, const std::string &bytes);
    // Creates a directory at a Windows path.
    void directory(const std::string &windows_path);

    // The native path of a Windows path of this host.
    std::string native(const std::string &windows_path) const;

    // Host build: the simulated host plays a 32-bit program on 64-bit Windows (its drive
    // C: gets a Windows\SysWOW64 directory). Returns false where the build can't play it
    // (the Windows builds: a program's kind is its own there).
    bool play_wow64();

    // True on the host build, where the whole machine is simulated (system keys,
    // Windows version, tools); false under Wine, where those are Wine's own.
    static bool simulated();

  private:
    std::string root_;
    std::string registry_text_;
    std::vector<std::string> created_paths_;
    std::vector<std::string> created_keys_;
};

#endif
