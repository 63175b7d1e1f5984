// What the collection fuzzers share: a simulated host in a scratch directory, input
// files on its drive C:, and report streams in memory.
#ifndef TELINV_COLLECT_FUZZ_H
#define TELINV_COLLECT_FUZZ_H

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "platform/host/host.h"

// The host root, made once: TELINV_HOST_ROOT names it, its drive C: holds "fuzz".
inline const std::string &fuzz_host_root()
{
    static std::string root;
    if (root.empty()) {
        char dir[] = "/tmp/telinv-fuzz-host.XXXXXX";
        if (!mkdtemp(dir))
            abort();
        root = dir;
        std::string c = root + "/c/fuzz";
        if (system(("mkdir -p '" + c + "'").c_str()) != 0)
            abort();
        setenv("TELINV_HOST_ROOT", root.c_str(), 1);
        host_reset();
        atexit([] {
            if (system(("rm -rf '" + fuzz_host_root() + "'").c_str()) != 0) {
            }
        });
    }
    return root;
}

// Writes bytes to C:\fuzz\<name> of the host; returns the file's Windows path.
inline std::string fuzz_input_file(const char *name, const uint8_t *data, size_t size)
{
    std::string native = fuzz_host_root() + "/c/fuzz/" + name;
    FILE *f = fopen(native.c_str(), "wb");
    if (!f)
        abort();
    if (size > 0 && fwrite(data, 1, size, f) != size)
        abort();
    fclose(f);
    return std::string("C:\\fuzz\\") + name;
}

// A report stream in memory (no line-end translation); text() after close().
struct memory_report {
    char *buf = nullptr;
    size_t len = 0;
    FILE *stream = nullptr;
    memory_report() : stream(open_memstream(&buf, &len))
    {
        if (!stream)
            abort();
    }
    std::string text()
    {
        if (stream) {
            fclose(stream);
            stream = nullptr;
        }
        return std::string(buf, len);
    }
    ~memory_report()
    {
        if (stream)
            fclose(stream);
        free(buf);
    }
    memory_report(const memory_report &) = delete;
    memory_report &operator=(const memory_report &) = delete;
};

// The text as Windows text mode reads it: CR LF is LF, a Ctrl-Z ends it.
inline std::string text_mode_text(const uint8_t *data, size_t size)
{
    std::string text;
    for (size_t i = 0; i < size && data[i] != 0x1A; i++) {
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n')
            continue;
        text += static_cast<char>(data[i]);
    }
    return text;
}

// The pieces fgets gives with a buffer of buffer_size characters.
template <typename F> void for_each_piece(const std::string &text, size_t buffer_size, F f)
{
    std::string piece;
    for (char c : text) {
        piece += c;
        if (c == '\n' || piece.size() == buffer_size - 1) {
            f(piece);
            piece.clear();
        }
    }
    if (!piece.empty())
        f(piece);
}

#endif
