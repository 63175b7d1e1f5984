// The text-mode rules that make the host's report equal the Windows report.
#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "test_support.h"

namespace {

std::string read_text(const char *name, size_t piece = 64)
{
    FILE *f = plat_fopen_text(name, "r");
    if (!f)
        return "<cannot open>";
    std::string out;
    std::string buf(piece, '\0');
    while (std::fgets(&buf[0], static_cast<int>(piece), f))
        out += buf.c_str();
    std::fclose(f);
    return out;
}

} // namespace

TEST(TextMode, ReadingTurnsCrLfIntoLf)
{
    scratch_dir dir;
    write_file("a.txt", "one\r\ntwo\rthree\n\r\n\r\rfour\r");
    EXPECT_EQ(read_text("a.txt"), "one\ntwo\rthree\n\n\r\rfour\r");
    // A CR LF pair split by the read buffer is still one line end.
    std::string long_line(8191, 'x');
    write_file("b.txt", long_line + "\r\nnext\r\n");
    EXPECT_EQ(read_text("b.txt", 5000), long_line + "\nnext\n");
}

TEST(TextMode, CtrlZEndsTheTextUntilASeek)
{
    scratch_dir dir;
    write_file("z.txt", "one\r\ntwo\x1athree\r\n");
    EXPECT_EQ(read_text("z.txt"), "one\ntwo");
    FILE *f = plat_fopen_text("z.txt", "r");
    ASSERT_NE(f, nullptr);
    char buf[64];
    while (std::fgets(buf, sizeof buf, f)) {
    }
    // A seek past the Ctrl-Z reads the text behind it.
    std::fseek(f, 9, SEEK_SET);
    ASSERT_NE(std::fgets(buf, sizeof buf, f), nullptr);
    EXPECT_STREQ(buf, "three\n");
    std::fseek(f, 0, SEEK_END);
    EXPECT_EQ(std::ftell(f), 16); // positions count bytes on the disk
    std::fseek(f, 0, SEEK_SET);
    ASSERT_NE(std::fgets(buf, sizeof buf, f), nullptr);
    EXPECT_STREQ(buf, "one\n");
    std::fclose(f);
}

// Positions count bytes on the disk: a CR LF read as one LF counts two.
TEST(TextMode, PositionsCountBytesOnTheDisk)
{
    scratch_dir dir;
    write_file("p.txt", "line one\r\nline two\r\nline three\r\n");
    FILE *f = plat_fopen_text("p.txt", "r");
    ASSERT_NE(f, nullptr);
    char buf[64];
    ASSERT_NE(std::fgets(buf, sizeof buf, f), nullptr);
    long second = std::ftell(f);
    EXPECT_EQ(second, 10);
    ASSERT_NE(std::fgets(buf, sizeof buf, f), nullptr);
    EXPECT_STREQ(buf, "line two\n");
    EXPECT_EQ(std::ftell(f), 20);
    ASSERT_EQ(std::fseek(f, second, SEEK_SET), 0);
    ASSERT_NE(std::fgets(buf, sizeof buf, f), nullptr);
    EXPECT_STREQ(buf, "line two\n");
    EXPECT_EQ(std::ftell(f), 20);
    ASSERT_EQ(std::fseek(f, 0, SEEK_END), 0);
    EXPECT_EQ(std::ftell(f), 32);
    std::rewind(f);
    ASSERT_NE(std::fgets(buf, sizeof buf, f), nullptr);
    EXPECT_STREQ(buf, "line one\n");
    std::fclose(f);

    // A lone CR stays, and counts one.
    write_file("cr.txt", "a\rb\r\nc\r");
    f = plat_fopen_text("cr.txt", "r");
    ASSERT_NE(f, nullptr);
    std::string seen;
    for (int c; (c = std::fgetc(f)) != EOF;)
        seen += std::to_string(c) + "@" + std::to_string(std::ftell(f)) + " ";
    EXPECT_EQ(seen, "97@1 13@2 98@3 10@5 99@6 13@7 ");
    std::fclose(f);
}

// A seek lands on its byte wherever the C library's buffers begin and end: on a CR LF,
// on its LF, just before and after. Each read is checked against the text that the
// bytes from that position give.
TEST(TextMode, SeeksLandWhereverTheBuffersEnd)
{
    scratch_dir dir;
    std::string raw(20000, 'x');
    for (size_t at : {4094u, 4096u, 8190u, 8192u, 8195u, 16384u})
        raw.replace(at, 2, "\r\n");
    write_file("s.txt", raw);
    FILE *f = plat_fopen_text("s.txt", "r");
    ASSERT_NE(f, nullptr);
    for (long base : {4096L, 8192L, 16384L}) {
        for (long x = base - 3; x <= base + 5; x++) {
            std::string want;
            std::string got;
            size_t at = static_cast<size_t>(x);
            for (int i = 0; i < 4; i++) {
                bool crlf = raw[at] == '\r' && raw[at + 1] == '\n';
                at += crlf ? 2 : 1;
                want += std::string(1, crlf ? '\n' : raw[at - 1]) + "@" + std::to_string(at) + " ";
            }
            ASSERT_EQ(std::fseek(f, x, SEEK_SET), 0);
            for (int i = 0; i < 4; i++) {
                int c = std::fgetc(f);
                got += std::string(1, static_cast<char>(c)) + "@" + std::to_string(std::ftell(f)) + " ";
            }
            EXPECT_EQ(got, want) << "after a seek to " << x;
        }
    }
    std::fclose(f);
}

TEST(TextMode, WritingTurnsLfIntoCrLf)
{
    scratch_dir dir;
    FILE *f = plat_fopen_text("w.txt", "w");
    ASSERT_NE(f, nullptr);
    std::fputs("a\nb\r\n\n", f);
    EXPECT_EQ(std::ftell(f), 9); // the bytes the text takes on the disk, written or not
    std::fprintf(f, "%s", std::string(10000, '\n').c_str());
    EXPECT_EQ(std::ftell(f), 9 + 20000);
    std::fclose(f);
    std::string raw = read_file("w.txt");
    EXPECT_EQ(raw.substr(0, 9), "a\r\nb\r\r\n\r\n");
    EXPECT_EQ(raw.size(), 9u + 20000u);
}

TEST(TextMode, RawAccessForReadingFromTheEnd)
{
    scratch_dir dir;
    write_file("r.txt", "0123456789\r\n");
    FILE *f = plat_fopen_text("r.txt", "r");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(plat_stream_size(f), 12);
    char buf[8];
    uint32_t got = 0;
    ASSERT_EQ(plat_stream_read_at(f, 8, buf, sizeof buf, &got), 1);
    EXPECT_EQ(std::string(buf, got), "89\r\n");
    std::fclose(f);
}

TEST(TextMode, DirectoriesAndMissingFilesDoNotOpen)
{
    scratch_dir dir;
    write_file("sub/x.txt", "x");
    EXPECT_EQ(plat_fopen_text("sub", "r"), nullptr);
    EXPECT_EQ(plat_fopen_text("sub", "w"), nullptr);
    EXPECT_EQ(plat_fopen_text("missing.txt", "r"), nullptr);
}
