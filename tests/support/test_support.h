// Helpers shared by the tests of every build: scratch directories, files, reports.
#ifndef TELINV_TEST_SUPPORT_H
#define TELINV_TEST_SUPPORT_H

#include <cstdio>
#include <functional>
#include <string>

// A fresh, empty directory that becomes the current directory; the previous current
// directory comes back and the directory is removed when the object goes.
class scratch_dir {
public:
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir &) = delete;
    scratch_dir &operator=(const scratch_dir &) = delete;
    const std::string &path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
};

// The Windows path of a native path: as is on Windows builds; on the host build the
// path through drive Z:, which test_host_with_z_drive maps to the native root.
std::string windows_path(const std::string &native);

// On the host build: a simulated host (TELINV_HOST_ROOT) whose drive Z: is the native
// root, so that windows_path names native files. Elsewhere nothing.
void test_host_with_z_drive();

// Sets or clears an environment variable of this process.
void set_env(const char *name, const char *value);

// Reads a whole file as bytes; "" when it can't be read.
std::string read_file(const std::string &native_path);
// Writes bytes to a file, creating its directories.
void write_file(const std::string &native_path, const std::string &bytes);

// Writes what fill writes into a report stream and returns it with CR LF turned into
// LF; crlf_ok tells whether every LF was preceded by CR on the disk.
std::string report_of(const std::function<void(FILE *)> &fill, bool *crlf_ok = nullptr);

// The system directory as the platform gives it ("" when it can't).
std::string system_dir();

// The banner line of a section name of 2 to 39 characters, with its line feed.
std::string banner_line(const std::string &name);

// The identifier of the processor the tests run on, in wmic's form (CPUID leaf 1: EDX,
// then EAX, in hexadecimal); "" where it has no leaf 1.
std::string machine_processor_id();

// Turns CR LF into LF.
std::string lf_lines(const std::string &text);

#endif
