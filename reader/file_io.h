// Files and standard output for telinv-read: file names are UTF-8 on every system (on
// Windows they are turned into the wide names that the C runtime opens), and standard
// output takes the bytes as they are (no text-mode line ends on Windows).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "report.h"

namespace telinv_read {

// The whole file, at most limit bytes; throws ReportError with the reason (can't open,
// can't read, larger than the limit).
std::string read_file_bytes(const std::string &utf8_path, std::size_t limit);

// The same as a report's bytes. A regular file is mapped into memory where the system
// offers that (no copy: a report of megabytes is read in a fraction of the time); others
// (pipes, devices, an empty size) are read as read_file_bytes reads them.
ReportBytes read_report_bytes(const std::string &utf8_path, std::size_t limit);

// UTF-16 and UTF-8 both ways; what does not convert becomes U+FFFD.
std::string utf8_from_utf16(std::u16string_view text);
std::u16string utf16_from_utf8(std::string_view text);

// Buffered output to a stream, with the first write error kept.
class Output {
public:
    explicit Output(std::FILE *stream);
    ~Output();
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;

    void put(std::string_view text)
    {
        buffer_.append(text.data(), text.size());
        maybe_flush();
    }
    void put(char c)
    {
        buffer_ += c;
    }
    // To append to directly; call maybe_flush() now and then.
    std::string &buffer() { return buffer_; }
    void maybe_flush()
    {
        if (buffer_.size() >= (1u << 16))
            flush();
    }
    // Writes what is buffered; false once a write has failed.
    bool flush();

private:
    std::FILE *stream_;
    std::string buffer_;
    bool failed_ = false;
};

// Standard output without text-mode translation (Windows); call before writing.
void binary_stdout();

// A file to write (its name in UTF-8), created or emptied; null on failure (errno).
std::FILE *open_for_writing(const std::string &utf8_path);

// The names that a command-line argument with * or ? stands for, sorted; the argument
// itself when it has none or matches nothing. The Windows shells leave wildcards to the
// program, in every part of a path ("reports\*\telinv.txt"); elsewhere the shell has
// expanded them already and the argument is taken as it is.
std::vector<std::string> expand_wildcards(const std::string &utf8_arg);

} // namespace telinv_read
