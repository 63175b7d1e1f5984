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
    std::fseek(f, 0, SEEK_END);
    EXPECT_EQ(std::ftell(f), 16); // positions count bytes on the disk
    std::fseek(f, 0, SEEK_SET);
    ASSERT_NE(std::fgets(buf, sizeof buf, f), nullptr);
    EXPECT_STREQ(buf, "one\n");
    std::fclose(f);
}

TEST(TextMode, WritingTurnsLfIntoCrLf)
{
    scratch_dir dir;
    FILE *f = plat_fopen_text("w.txt", "w");
    ASSERT_NE(f, nullptr);
    std::fputs("a\nb\r\n\n", f);
    std::fprintf(f, "%s", std::string(10000, '\n').c_str());
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
