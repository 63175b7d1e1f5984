// Shared parts of the stand-in tools (wmic, getmac, ipconfig and the test helpers):
// small programs that play the system's own tools of a simulated host with canned
// output. They run on the host layer as real Linux programs inside the simulated host
// and on Windows (under Wine) as ordinary console programs.
#ifndef TELINV_TOOLS_STANDIN_H
#define TELINV_TOOLS_STANDIN_H

#include <cstdio>
#include <string>
#include <vector>

// The native path of a Windows path of the simulated host (as is on Windows).
std::string standin_native_path(const std::string &windows_path);

// The lines of the data file of that name next to the running program (its directory
// in the simulated host, e.g. C:\windows\system32\getmac.txt), without line ends;
// false when there is no such file.
bool standin_data_lines(const char *file_name, std::vector<std::string> *lines);

// Writes lines (each ended by CR LF) to the data file of that name next to the running
// program; false when it can't be written.
bool standin_write_data_lines(const char *file_name, const std::vector<std::string> &lines);

// Waits the milliseconds that the environment variable TELINV_STANDIN_DELAY_MS names
// (none when it is unset), as the system's own tools take a while to answer: for the
// benchmark and the tests of tools that run at once.
void standin_delay();

// Writes the paths of the files this process holds open, those it inherited from the
// program that started it included, one a line, to the data file of that name next to
// the running program.
void standin_list_open_files(const char *file_name);

// Standard output without the C runtime's line-end translation, so that "\r\n" is
// written as it stands.
void standin_binary_stdout();

// Writes each line followed by CR LF.
void standin_write_lines(FILE *out, const std::vector<std::string> &lines);

// Compares ASCII texts without regard to case.
bool standin_same_text(const std::string &a, const std::string &b);

#endif
