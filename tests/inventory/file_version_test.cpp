#include <gtest/gtest.h>

#include <string>

#include "inventory/inventory_internal.h"
#include "test_support.h"
#include "tools/pe_writer.h"

namespace {

// The files that mingw made at build time, by the Windows path that both layers read.
std::string pe_file(const char *name)
{
    return windows_path(std::string(TELINV_TEST_DATA_DIR) + "/pe/" + name);
}

std::string version_or_none(const std::string &path)
{
    const char *v = file_version(path.c_str());
    return v ? std::string(v) : std::string("<none>");
}

class FileVersion : public testing::Test {
protected:
    void SetUp() override
    {
        if (!TELINV_HAVE_PE_FIXTURES)
            GTEST_SKIP() << "mingw's windres is not installed, so there are no version-resource test files";
        test_host_with_z_drive();
    }
};

} // namespace

TEST_F(FileVersion, FirstTranslationsFileVersion)
{
    EXPECT_EQ(version_or_none(pe_file("v0409.dll")), "1.2.3.4");    // PE32+
    EXPECT_EQ(version_or_none(pe_file("v0409-32.dll")), "1.2.3.4"); // PE32
    EXPECT_EQ(version_or_none(pe_file("commas.dll")), "1, 2, 3, 4");
}

TEST_F(FileVersion, StringTableOfASecondTranslationOnlyGivesNone)
{
    EXPECT_EQ(version_or_none(pe_file("second.dll")), "<none>");
}

TEST_F(FileVersion, LongTextIsCutAt127)
{
    std::string full;
    for (int i = 0; i < 200; i++)
        full += static_cast<char>('0' + i % 10);
    EXPECT_EQ(version_or_none(pe_file("long.dll")), full.substr(0, 127));
}

TEST_F(FileVersion, NoResourceNotPeAndMissingGiveNone)
{
    scratch_dir dir;
    write_file(dir.path() + "/text.dll", "this is not a program\r\n");
    write_file(dir.path() + "/empty.dll", "");
    EXPECT_EQ(version_or_none(pe_file("nores.dll")), "<none>");
    EXPECT_EQ(version_or_none(windows_path(dir.path() + "/text.dll")), "<none>");
    EXPECT_EQ(version_or_none(windows_path(dir.path() + "/empty.dll")), "<none>");
    EXPECT_EQ(version_or_none(windows_path(dir.path() + "/missing.dll")), "<none>");
}

TEST_F(FileVersion, FailureLeavesTheLastTextAndSuccessReplacesIt)
{
    const char *first = file_version(pe_file("v0409.dll").c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(file_version(pe_file("nores.dll").c_str()), nullptr);
    EXPECT_STREQ(first, "1.2.3.4");
    const char *second = file_version(pe_file("commas.dll").c_str());
    EXPECT_EQ(second, first); // one buffer
    EXPECT_STREQ(first, "1, 2, 3, 4");
}

// The files that the sample host and the fuzz seeds are made of read the same on both
// layers: the host's own reader and the Windows version functions.
TEST(FileVersionOfWrittenFiles, BothFormsAndTheirFailures)
{
    scratch_dir dir;
    test_host_with_z_drive();
    struct {
        const char *name;
        pe_options options;
        const char *expected;
    } cases[] = {
        {"plain32.dll", pe_options(), "1.0.0.0"},
        {"plain64.dll", pe_options(), "1.0.0.0"},
        {"other.dll", pe_options(), nullptr},
        {"novar.dll", pe_options(), nullptr},
        {"noversion.dll", pe_options(), nullptr},
        {"nores.dll", pe_options(), nullptr},
        {"text.dll", pe_options(), "4.5.6.7 (build 89)"},
    };
    cases[1].options.pe32plus = true;
    cases[2].options.table_key = "040704e4";
    cases[3].options.no_var_file_info = true;
    cases[4].options.no_file_version = true;
    cases[5].options.no_resource = true;
    cases[6].options.file_version = "4.5.6.7 (build 89)";
    cases[6].options.language = 0x0407;
    cases[6].options.code_page = 0x04e4;
    for (auto &c : cases) {
        std::string native = dir.path() + "/" + c.name;
        ASSERT_EQ(pe_write_file(native.c_str(), c.options), 1) << c.name;
        EXPECT_EQ(version_or_none(windows_path(native)), c.expected ? c.expected : "<none>") << c.name;
    }
}
