// The host's text streams where Windows' C runtime has no rule of its own to follow.
#include "platform/host/host.h"
#include "platform/platform.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <string>

// After a Ctrl-Z, Windows' ftell lets reading go on where its runtime had read ahead;
// the host's only tells the position, and the text still ends at the Ctrl-Z.
TEST(TextFiles, TellingLeavesTheTextEndedAtTheCtrlZ)
{
    scratch_dir dir;
    write_file("z.txt", "one\r\ntwo\x1a" + std::string(20000, 'x') + "\r\n");
    FILE *f = plat_fopen_text("z.txt", "r");
    ASSERT_NE(f, nullptr);
    char buf[64];
    while (std::fgets(buf, sizeof buf, f)) {
    }
    EXPECT_EQ(std::ftell(f), 8);
    std::clearerr(f);
    EXPECT_EQ(std::fgets(buf, sizeof buf, f), nullptr);
    EXPECT_EQ(std::ftell(f), 8);
    std::fseek(f, 9, SEEK_SET);
    ASSERT_NE(std::fgets(buf, sizeof buf, f), nullptr);
    EXPECT_EQ(std::string(buf), std::string(63, 'x'));
    std::fclose(f);
}
