// Fuzzes the tail of a log: the reading from the end must write exactly what the two
// forward passes write, on any content. The input's first bytes choose the block size
// and a run of filler lines in front of or behind the rest, so that files of more than
// 500 pieces, with the tail beginning inside the fuzzed bytes, are common.
// The one allowed difference: a Ctrl-Z in front of the bytes the reading from the end
// looked at (that reading does not look for it).
#include <cstdlib>
#include <cstring>
#include <string>

#include "collect/collect_internal.h"
#include "collect_fuzz.h"
#include "platform/platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    static const uint32_t blocks[] = {1, 2, 3, 5, 64, 1023, 1024, 4096, TAIL_BLOCK_SIZE, 7};
    uint32_t block = blocks[data[0] % 10];
    size_t fillers = static_cast<size_t>(data[1]) * 3;
    static const char *const filler_lines[] = {"f\n", "filler\r\n", "\r\n", nullptr};
    std::string filler_line = filler_lines[(data[2] >> 1) % 4] ? filler_lines[(data[2] >> 1) % 4]
                                                               : std::string(1023, 'L') + "\r\n";
    if (filler_line.size() > 100)
        fillers %= 300;
    std::string filler;
    for (size_t i = 0; i < fillers; i++)
        filler += filler_line;
    std::string body(reinterpret_cast<const char *>(data + 3), size - 3);
    std::string content = (data[2] & 1) ? filler + body : body + filler;
    if (content.size() > 16384 && block < 64)
        block = 1024; // byte-sized blocks on large files only cost time

    std::string path = fuzz_input_file("tail.log", reinterpret_cast<const uint8_t *>(content.data()), content.size());
    FILE *f = plat_fopen_text(path.c_str(), "r");
    if (!f)
        std::abort();
    memory_report fast;
    int64_t examined_from = -1;
    int done = copy_file_tail_backward(fast.stream, f, block, &examined_from);
    std::string fast_text = fast.text();
    std::fseek(f, 0, SEEK_SET);
    memory_report forward;
    copy_file_tail_forward(forward.stream, f);
    std::string forward_text = forward.text();
    std::fclose(f);

    if (examined_from < 0 || examined_from > static_cast<int64_t>(content.size()))
        std::abort();
    size_t first_ctrl_z = content.find('\x1a');
    if (!done) {
        // Declined only for a Ctrl-Z among the bytes it looked at, having written nothing.
        if (!fast_text.empty() || first_ctrl_z == std::string::npos ||
            content.find('\x1a', static_cast<size_t>(examined_from)) == std::string::npos)
            std::abort();
        return 0;
    }
    if (content.find('\x1a', static_cast<size_t>(examined_from)) != std::string::npos)
        std::abort(); // a Ctrl-Z it looked at went unnoticed
    if (first_ctrl_z != std::string::npos && first_ctrl_z < static_cast<size_t>(examined_from))
        return 0;
    if (fast_text != forward_text)
        std::abort();
    return 0;
}
