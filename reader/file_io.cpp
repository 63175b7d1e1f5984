#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "report.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace telinv_read {

std::string utf8_from_utf16(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); i++) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            i++;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string utf16_from_utf8(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        std::size_t len = b < 0x80 ? 1 : b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3
                        : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
        char32_t c = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = len > 0 && i + len <= text.size();
        for (std::size_t k = 1; ok && k < len; k++) {
            unsigned char t = static_cast<unsigned char>(text[i + k]);
            ok = (t & 0xC0) == 0x80;
            c = (c << 6) | (t & 0x3F);
        }
        // No overlong forms, no surrogates, nothing above U+10FFFF.
        if (ok && ((len == 3 && c < 0x800) || (len == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
                   (c >= 0xD800 && c <= 0xDFFF)))
            ok = false;
        if (!ok) {
            out += u'\xFFFD';
            i++;
            continue;
        }
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += len;
    }
    return out;
}

namespace {

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};

std::FILE *open_for_reading(const std::string &utf8_path)
{
#ifdef _WIN32
    std::u16string wide = utf16_from_utf8(utf8_path);
    std::wstring name(wide.begin(), wide.end());
    return _wfopen(name.c_str(), L"rb");
#else
    return std::fopen(utf8_path.c_str(), "rb");
#endif
}

} // namespace

std::string read_file_bytes(const std::string &utf8_path, std::size_t limit)
{
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> f(open_for_reading(utf8_path));
    if (!f)
        throw ReportError(std::string("can't open it: ") + std::strerror(errno));
    std::string bytes;
    // A file whose size is known is read in one piece, into a buffer of that size; the
    // rest (a file that grew meanwhile, a device or a pipe, which have no size to ask
    // for) in pieces, up to the limit.
    if (std::fseek(f.get(), 0, SEEK_END) == 0) {
        long size = std::ftell(f.get());
        std::rewind(f.get());
        if (size > 0 && static_cast<unsigned long>(size) <= limit) {
            bytes.resize(static_cast<std::size_t>(size));
            bytes.resize(std::fread(&bytes[0], 1, bytes.size(), f.get()));
        }
    }
    const std::size_t piece = 1 << 16;
    for (;;) {
        char buf[piece];
        std::size_t want = std::min(piece, limit + 1 - bytes.size());
        std::size_t got = std::fread(buf, 1, want, f.get());
        bytes.append(buf, got);
        if (bytes.size() > limit)
            throw ReportError("larger than " + std::to_string(limit >> 20) + " MiB: not a telinv report");
        if (got < want) {
            if (std::ferror(f.get()))
                throw ReportError(std::string("can't read it: ") + std::strerror(errno));
            break;
        }
    }
    return bytes;
}

ReportBytes read_report_bytes(const std::string &utf8_path, std::size_t limit)
{
#ifndef _WIN32
    // A regular file that is not empty and within the limit is mapped; anything else,
    // or a file the system won't map, is read as read_file_bytes reads it (which also
    // gives the reasons for what can't be read).
    const int fd = ::open(utf8_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd != -1) {
        struct stat st;
        void *p = MAP_FAILED;
        std::size_t size = 0;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size != 0 &&
            static_cast<unsigned long long>(st.st_size) <= limit) {
            size = static_cast<std::size_t>(st.st_size);
            int flags = MAP_PRIVATE;
#ifdef MAP_POPULATE
            flags |= MAP_POPULATE; // all pages at once rather than a fault for each
#endif
            p = ::mmap(nullptr, size, PROT_READ, flags, fd, 0);
        }
        ::close(fd); // a mapping stays
        if (p != MAP_FAILED) {
            std::shared_ptr<const void> keeper(p, [size](const void *at) { ::munmap(const_cast<void *>(at), size); });
            return ReportBytes(std::move(keeper), static_cast<const char *>(p), size);
        }
    }
#endif
    return read_file_bytes(utf8_path, limit);
}

Output::Output(std::FILE *stream) : stream_(stream) {}

Output::~Output() { flush(); }

bool Output::flush()
{
    if (!buffer_.empty() && !failed_) {
        if (std::fwrite(buffer_.data(), 1, buffer_.size(), stream_) != buffer_.size())
            failed_ = true;
    }
    buffer_.clear();
    if (!failed_ && std::fflush(stream_) != 0)
        failed_ = true;
    return !failed_;
}

std::FILE *open_for_writing(const std::string &utf8_path)
{
#ifdef _WIN32
    std::u16string wide = utf16_from_utf8(utf8_path);
    std::wstring name(wide.begin(), wide.end());
    return _wfopen(name.c_str(), L"wb");
#else
    return std::fopen(utf8_path.c_str(), "wb");
#endif
}

#ifdef _WIN32
namespace {

std::wstring wide_of(const std::string &utf8)
{
    std::u16string w = utf16_from_utf8(utf8);
    return std::wstring(w.begin(), w.end());
}

std::string utf8_of(const wchar_t *wide)
{
    std::u16string w;
    for (; *wide; wide++)
        w += static_cast<char16_t>(*wide);
    return utf8_from_utf16(w);
}

} // namespace
#endif

std::vector<std::string> expand_wildcards(const std::string &utf8_arg)
{
#ifdef _WIN32
    if (utf8_arg.find_first_of("*?") == std::string::npos)
        return {utf8_arg};
    // The path's parts, each with the separator behind it.
    std::vector<std::pair<std::string, std::string>> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= utf8_arg.size(); i++) {
        if (i == utf8_arg.size() || utf8_arg[i] == '\\' || utf8_arg[i] == '/') {
            parts.emplace_back(utf8_arg.substr(start, i - start), i < utf8_arg.size() ? utf8_arg.substr(i, 1) : "");
            start = i + 1;
        }
    }
    std::vector<std::string> found = {""};
    for (std::size_t p = 0; p < parts.size(); p++) {
        const auto &[part, separator] = parts[p];
        const bool last = p + 1 == parts.size();
        std::vector<std::string> next;
        for (const std::string &prefix : found) {
            if (part.find_first_of("*?") == std::string::npos) {
                next.push_back(prefix + part + separator);
                continue;
            }
            struct _wfinddata64_t data;
            intptr_t h = _wfindfirst64(wide_of(prefix + part).c_str(), &data);
            if (h == -1)
                continue;
            do {
                std::string name = utf8_of(data.name);
                if (name == "." || name == "..")
                    continue;
                if (!last && !(data.attrib & _A_SUBDIR))
                    continue;
                next.push_back(prefix + name + separator);
            } while (_wfindnext64(h, &data) == 0);
            _findclose(h);
        }
        found.swap(next);
    }
    if (found.empty())
        return {utf8_arg};
    std::sort(found.begin(), found.end());
    return found;
#else
    return {utf8_arg};
#endif
}

void binary_stdout()
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

} // namespace telinv_read
