// The tail of a log: the reading from the end writes what the two forward passes write,
// and both write what the piece rules say.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "collect/collect_internal.h"
#include "platform/platform.h"
#include "test_support.h"

namespace {

// The piece rules, independently: the text as text mode reads it (CR LF is LF, the
// text ends at a Ctrl-Z), cut into pieces at each LF and after 1023 characters; the
// last 500 pieces, each up to its first NUL.
std::string model_tail(const std::string &raw)
{
    std::string text;
    for (size_t i = 0; i < raw.size() && raw[i] != '\x1a'; i++) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue;
        text += raw[i];
    }
    if (text.empty())
        return "Empty\n";
    std::vector<std::string> pieces;
    std::string piece;
    for (char c : text) {
        piece += c;
        if (c == '\n' || piece.size() == 1023) {
            pieces.push_back(piece);
            piece.clear();
        }
    }
    if (!piece.empty())
        pieces.push_back(piece);
    std::string out;
    for (size_t i = pieces.size() > 500 ? pieces.size() - 500 : 0; i < pieces.size(); i++)
        out += pieces[i].c_str();
    return out;
}

size_t model_pieces(const std::string &raw)
{
    std::string text;
    for (size_t i = 0; i < raw.size(); i++) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue;
        text += raw[i];
    }
    size_t n = 0, len = 0;
    for (char c : text) {
        len++;
        if (c == '\n' || len == 1023) {
            n++;
            len = 0;
        }
    }
    return n + (len > 0 ? 1 : 0);
}

enum { FAST = 0, FORWARD = 1, BACKWARD_ONLY = 2 };

// What one way of taking the tail writes for the file; "<fell back>" when the reading
// from the end declined.
std::string tail_of(const std::string &name, int how, uint32_t block = TAIL_BLOCK_SIZE)
{
    FILE *f = plat_fopen_text(name.c_str(), "r");
    if (!f)
        return "<cannot open>";
    bool declined = false;
    std::string out = report_of([&](FILE *r) {
        if (how == FAST) {
            copy_file_tail(r, f);
        } else if (how == FORWARD) {
            copy_file_tail_forward(r, f);
        } else {
            int64_t from = 0;
            declined = copy_file_tail_backward(r, f, block, &from) == 0;
        }
    });
    std::fclose(f);
    return declined ? "<fell back>" : out;
}

std::string numbered_lines(int from, int to, const char *end = "\r\n")
{
    std::string s;
    for (int i = from; i <= to; i++)
        s += "line " + std::to_string(i) + end;
    return s;
}

} // namespace

TEST(Tail, LineCountsAndLongLines)
{
    scratch_dir dir;
    write_file("500.log", numbered_lines(1, 500));
    EXPECT_EQ(tail_of("500.log", FAST), numbered_lines(1, 500, "\n"));
    write_file("501.log", numbered_lines(1, 501));
    EXPECT_EQ(tail_of("501.log", FAST), numbered_lines(2, 501, "\n"));
    write_file("1200.log", numbered_lines(1, 1200, "\n"));
    EXPECT_EQ(tail_of("1200.log", FAST), numbered_lines(701, 1200, "\n"));

    // A 2000-character line is two pieces, one of 2046 characters three: with 499 or 498
    // short lines behind them, the first piece is left out; with one line fewer, none.
    std::string a2000(2000, 'a'), b2046(2046, 'b');
    write_file("2000.log", a2000 + "\r\n" + numbered_lines(1, 499));
    EXPECT_EQ(tail_of("2000.log", FAST), a2000.substr(1023) + "\n" + numbered_lines(1, 499, "\n"));
    write_file("2000b.log", a2000 + "\r\n" + numbered_lines(1, 498));
    EXPECT_EQ(tail_of("2000b.log", FAST), a2000 + "\n" + numbered_lines(1, 498, "\n"));
    write_file("2046.log", b2046 + "\r\n" + numbered_lines(1, 498));
    EXPECT_EQ(tail_of("2046.log", FAST), b2046.substr(1023) + "\n" + numbered_lines(1, 498, "\n"));
    write_file("2046b.log", b2046 + "\r\n" + numbered_lines(1, 497));
    EXPECT_EQ(tail_of("2046b.log", FAST), b2046 + "\n" + numbered_lines(1, 497, "\n"));

    // A line of 1023 characters and its line feed are two pieces; the second is the
    // line feed alone, and the 500 can begin with it.
    std::string c1023(1023, 'c');
    write_file("1023.log", c1023 + "\r\n" + numbered_lines(1, 499));
    EXPECT_EQ(tail_of("1023.log", FAST), "\n" + numbered_lines(1, 499, "\n"));

    write_file("empty.log", "");
    EXPECT_EQ(tail_of("empty.log", FAST), "Empty\n");
    write_file("one.log", "x");
    EXPECT_EQ(tail_of("one.log", FAST), "x");
    write_file("cr.log", "\r");
    EXPECT_EQ(tail_of("cr.log", FAST), "\r");
    write_file("lf.log", "\n");
    EXPECT_EQ(tail_of("lf.log", FAST), "\n");
    // Written verbatim: no line feed is added to a last line without one.
    write_file("nolf.log", "a\r\nb");
    EXPECT_EQ(tail_of("nolf.log", FAST), "a\nb");
}

TEST(Tail, NulBytesEndAPieceInTheReport)
{
    scratch_dir dir;
    std::string raw = std::string("ab\0cd\r\n", 7) + std::string("\0x\n", 3) + "ef" + std::string(1500, 'g') +
                      std::string("\0", 1) + std::string(600, 'h') + "\r\n";
    write_file("zeros.log", raw);
    // The long line's pieces: "ef" and 1021 g; 479 g, the NUL and 543 h; 57 h and LF.
    std::string expected = "ab" + std::string("ef") + std::string(1021, 'g') + std::string(479, 'g') +
                           std::string(57, 'h') + "\n";
    EXPECT_EQ(model_tail(raw), expected);
    EXPECT_EQ(tail_of("zeros.log", FORWARD), expected);
    EXPECT_EQ(tail_of("zeros.log", FAST), expected);
    EXPECT_EQ(tail_of("zeros.log", BACKWARD_ONLY, 5), expected);
}

TEST(Tail, LoneCrAndCrLfAtBlockBoundaries)
{
    scratch_dir dir;
    // A CR LF pair and a lone CR at every position around the block edges.
    for (uint32_t block : {1u, 2u, 3u, 16u, 17u}) {
        for (size_t at = 10; at < 40; at++) {
            std::string raw = std::string(at, 'x') + "\r\n" + std::string(7, 'y') + "\rz\r\r\n" + "end\r";
            write_file("cr.log", raw);
            std::string expected = model_tail(raw);
            ASSERT_EQ(tail_of("cr.log", FORWARD), expected) << at;
            ASSERT_EQ(tail_of("cr.log", BACKWARD_ONLY, block), expected) << block << " " << at;
        }
    }
    // The same with 600 lines, so that the tail starts inside the file, at a block edge.
    for (uint32_t block : {1000u, 1023u, 1024u, 4096u}) {
        std::string raw;
        for (int i = 0; i < 600; i++)
            raw += std::string(static_cast<size_t>(i % 13), 'l') + (i % 3 == 0 ? "\r" : "") + (i % 2 ? "\r\n" : "\n");
        write_file("many.log", raw);
        EXPECT_EQ(tail_of("many.log", BACKWARD_ONLY, block), model_tail(raw)) << block;
    }
    // A lone CR as the last byte of the default block, and a CR LF split by it.
    for (size_t at : {size_t(TAIL_BLOCK_SIZE - 1), size_t(TAIL_BLOCK_SIZE)}) {
        std::string raw = std::string(at, 'q') + "\rQ\r\n" + std::string(at, 'r') + "\r\n";
        write_file("edge.log", raw);
        EXPECT_EQ(tail_of("edge.log", FAST), model_tail(raw));
        std::string lone = std::string(200, 'p') + "\n" + std::string(at - 201, 's') + "\r" + "t\n";
        write_file("edge2.log", lone);
        EXPECT_EQ(tail_of("edge2.log", FAST), model_tail(lone));
    }
}

TEST(Tail, ReadingFromTheEndEqualsTheForwardPasses)
{
    scratch_dir dir;
    std::mt19937 rng(20260305);
    const int lengths[] = {0, 1, 1021, 1022, 1023, 1024, 1025, 2044, 2045, 2046, 2047, 2048, 3068, 3069};
    int seen[3] = {0, 0, 0}; // files of 499, 500 and 501 pieces
    for (int n = 0; n < 48; n++) {
        bool crlf = n % 2 == 0;
        bool final_lf = n % 4 < 2;
        bool odd_bytes = n % 8 >= 4; // lone CRs and NULs inside lines
        size_t target = 499 + static_cast<size_t>(n % 3) + (n % 16 == 15 ? 300 : 0);
        const char *end = crlf ? "\r\n" : "\n";
        std::string raw;
        size_t pieces = 0;
        // Long lines first, then short ones up to the target; the last line is short,
        // so that it is one piece with or without its line feed.
        for (;;) {
            size_t len = rng() % 3 == 0 ? static_cast<size_t>(rng() % 3100) : static_cast<size_t>(lengths[rng() % 14]);
            size_t line_pieces = (len + 1 + 1022) / 1023;
            if (pieces + line_pieces > target - 1 || rng() % 4 == 0)
                break;
            std::string line(len, static_cast<char>('a' + n % 26));
            if (odd_bytes && len > 2) {
                line[rng() % (len - 1)] = '\r';
                line[rng() % len] = '\0';
            }
            raw += line + end;
            pieces += line_pieces;
        }
        while (pieces < target - 1) {
            raw += std::to_string(pieces) + end;
            pieces++;
        }
        raw += final_lf ? std::string("last") + end : std::string("last");
        write_file("gen.log", raw);
        size_t total = model_pieces(raw);
        if (total >= 499 && total <= 501)
            seen[total - 499]++;

        std::string expected = model_tail(raw);
        ASSERT_EQ(tail_of("gen.log", FORWARD), expected) << n;
        ASSERT_EQ(tail_of("gen.log", FAST), expected) << n;
        for (uint32_t block : {1000u, 4093u})
            ASSERT_EQ(tail_of("gen.log", BACKWARD_ONLY, block), expected) << n << " block " << block;
        if (n % 6 == 0) {
            ASSERT_EQ(tail_of("gen.log", BACKWARD_ONLY, 3), expected) << n;
        }
    }
    EXPECT_GT(seen[0], 0);
    EXPECT_GT(seen[1], 0);
    EXPECT_GT(seen[2], 0);
}

TEST(Tail, CtrlZAndStreamsThatAreNoDiskFiles)
{
    scratch_dir dir;
    // A Ctrl-Z in the part read from the end: the forward passes, exact.
    std::string raw = numbered_lines(1, 600) + "cut\x1a" + numbered_lines(601, 610);
    write_file("z.log", raw);
    EXPECT_EQ(tail_of("z.log", BACKWARD_ONLY), "<fell back>");
    EXPECT_EQ(tail_of("z.log", FAST), numbered_lines(102, 600, "\n") + "cut");
    EXPECT_EQ(tail_of("z.log", FAST), model_tail(raw));
    write_file("z0.log", "\x1a" + numbered_lines(1, 3));
    EXPECT_EQ(tail_of("z0.log", FAST), "Empty\n");

    // The deliberate limit: a Ctrl-Z in front of the last 500 lines is not looked for.
    write_file("zfar.log", "\x1a" + numbered_lines(1, 600));
    EXPECT_EQ(tail_of("zfar.log", FAST), numbered_lines(101, 600, "\n"));
    EXPECT_EQ(tail_of("zfar.log", FORWARD), "Empty\n");

    // A stream that is no disk file is read forward.
#ifdef _WIN32
    const char *device = "NUL";
#else
    test_host_with_z_drive();
    const char *device = "Z:\\dev\\null";
#endif
    FILE *f = plat_fopen_text(device, "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(plat_stream_size(f), -1);
    EXPECT_EQ(report_of([&](FILE *r) { copy_file_tail(r, f); }), "Empty\n");
    std::fclose(f);
}
