// Version resources of the simulated host's files, read through the platform's
// version functions as the file version probe reads them.
#include "platform/platform.h"
#include "tools/pe_writer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> bytes;

class VersionInfo : public ::testing::Test {
  protected:
    void SetUp() override
    {
        char dir[] = "/tmp/telinv-version-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(dir));
        root_ = dir;
        ASSERT_EQ(0, mkdir((root_ + "/c").c_str(), 0755));
        ASSERT_EQ(0, mkdir((root_ + "/c/x").c_str(), 0755));
        setenv("TELINV_HOST_ROOT", root_.c_str(), 1);
    }

    void TearDown() override
    {
        unsetenv("TELINV_HOST_ROOT");
        std::string command = "rm -rf '" + root_ + "'";
        EXPECT_EQ(0, std::system(command.c_str()));
    }

    // Writes C:\x\a.exe.
    void write(const bytes &data)
    {
        FILE *f = std::fopen((root_ + "/c/x/a.exe").c_str(), "wb");
        ASSERT_NE(nullptr, f);
        size_t written = data.empty() ? 0 : std::fwrite(data.data(), 1, data.size(), f);
        std::fclose(f);
        ASSERT_EQ(data.size(), written);
    }

    void write(const pe_options &options)
    {
        bytes img = pe_image(options);
        ASSERT_FALSE(img.empty());
        write(img);
    }

    // The block of C:\x\a.exe, empty when there is none.
    static bytes block()
    {
        uint32_t size = plat_file_version_info_size("C:\\x\\a.exe");
        if (size == 0)
            return bytes();
        bytes b(size);
        EXPECT_EQ(1, plat_file_version_info("C:\\x\\a.exe", size, b.data()));
        return b;
    }

    // The text at path in b, checked to lie inside b; "<none>" when the query fails.
    static std::string text(bytes &b, const char *path)
    {
        void *v = nullptr;
        uint32_t len = 0;
        if (!plat_ver_query_value(b.data(), path, &v, &len))
            return "<none>";
        const char *s = static_cast<const char *>(v);
        EXPECT_TRUE(s >= reinterpret_cast<char *>(b.data()) && s + len <= reinterpret_cast<char *>(b.data() + b.size()));
        EXPECT_EQ(std::strlen(s) + 1, len);
        return s;
    }

    // The FileVersion of the first translation, as the program finds it.
    static std::string file_version()
    {
        bytes b = block();
        if (b.empty())
            return "<none>";
        void *v;
        uint32_t len;
        if (!plat_ver_query_value(b.data(), "\\VarFileInfo\\Translation", &v, &len) || len < 4)
            return "<none>";
        const unsigned char *t = static_cast<const unsigned char *>(v);
        char path[PLAT_MAX_PATH];
        std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\%s", t[0] | (t[1] << 8), t[2] | (t[3] << 8),
                      "FileVersion");
        return text(b, path);
    }

    std::string root_;
};

} // namespace

TEST_F(VersionInfo, ReadsTheFileVersionOfBothForms)
{
    for (bool plus : {false, true}) {
        pe_options options;
        options.pe32plus = plus;
        options.file_version = "1.2.3.4";
        write(options);
        EXPECT_EQ("1.2.3.4", file_version()) << plus;

        bytes b = block();
        ASSERT_FALSE(b.empty());
        void *v;
        uint32_t len;
        ASSERT_TRUE(plat_ver_query_value(b.data(), "\\VarFileInfo\\Translation", &v, &len));
        ASSERT_EQ(4u, len);
        const unsigned char *t = static_cast<const unsigned char *>(v);
        EXPECT_EQ(0x09, t[0]);
        EXPECT_EQ(0x04, t[1]);
        EXPECT_EQ(0xb0, t[2]);
        EXPECT_EQ(0x04, t[3]);
        EXPECT_EQ("1.2.3.4", text(b, "\\StringFileInfo\\040904b0\\FileVersion"));
        EXPECT_EQ("1.2.3.4", text(b, "\\STRINGFILEINFO\\040904B0\\fileversion"));

        // The fixed part carries the numbers of the text.
        ASSERT_TRUE(plat_ver_query_value(b.data(), "\\", &v, &len));
        ASSERT_EQ(52u, len);
        const unsigned char *f = static_cast<const unsigned char *>(v);
        EXPECT_EQ(0xbd, f[0]);
        EXPECT_EQ(0xfe, f[3]);
        EXPECT_EQ(2, f[8]);  // dwFileVersionMS low word: 2
        EXPECT_EQ(1, f[10]); // high word: 1
        EXPECT_EQ(4, f[12]);
        EXPECT_EQ(3, f[14]);
    }
}

TEST_F(VersionInfo, OnlyTheFirstTranslationsTableCounts)
{
    pe_options options;
    options.file_version = "9.8";
    options.language = 0x0407;
    options.code_page = 0x04e4;
    options.table_key = "040904b0";
    write(options);
    EXPECT_EQ("<none>", file_version());
    bytes b = block();
    EXPECT_EQ("<none>", text(b, "\\StringFileInfo\\040704e4\\FileVersion"));
    EXPECT_EQ("9.8", text(b, "\\StringFileInfo\\040904b0\\FileVersion"));
}

TEST_F(VersionInfo, LongTextsComeBackWhole)
{
    pe_options options;
    options.file_version = std::string(199, '7') + "x";
    write(options);
    EXPECT_EQ(options.file_version, file_version());

    // A text as long as a resource can hold.
    options.file_version = std::string(32000, 'v');
    write(options);
    EXPECT_EQ(options.file_version, file_version());
}

TEST_F(VersionInfo, MissingPartsGiveNothing)
{
    pe_options options;
    options.no_resource = true;
    write(options);
    EXPECT_EQ(0u, plat_file_version_info_size("C:\\x\\a.exe"));

    options = pe_options();
    options.no_var_file_info = true;
    write(options);
    EXPECT_EQ("<none>", file_version());
    bytes b = block();
    EXPECT_EQ("1.0.0.0", text(b, "\\StringFileInfo\\040904b0\\FileVersion"));

    options = pe_options();
    options.no_file_version = true;
    write(options);
    EXPECT_EQ("<none>", file_version());

    for (const char *content : {"", "M", "MZ", "This is a text file.\r\n"})
    {
        write(bytes(content, content + std::strlen(content)));
        EXPECT_EQ(0u, plat_file_version_info_size("C:\\x\\a.exe")) << content;
    }
    EXPECT_EQ(0u, plat_file_version_info_size("C:\\x\\missing.exe"));
    EXPECT_EQ(0u, plat_file_version_info_size("C:\\x"));
    EXPECT_EQ(0u, plat_file_version_info_size(nullptr));
    std::string fifo = root_ + "/c/x/pipe.exe";
    ASSERT_EQ(0, mkfifo(fifo.c_str(), 0644));
    EXPECT_EQ(0u, plat_file_version_info_size("C:\\x\\pipe.exe"));

    // A block smaller than the size asked for is refused.
    write(pe_options());
    uint32_t size = plat_file_version_info_size("\\X\\A.EXE");
    ASSERT_GT(size, 0u);
    bytes small(size - 1);
    EXPECT_EQ(0, plat_file_version_info("C:\\x\\a.exe", size - 1, small.data()));
}

TEST_F(VersionInfo, CorruptFilesGiveNothing)
{
    pe_layout l;
    const bytes good = pe_image(pe_options(), &l);
    const size_t data_end = l.data + l.data_size;
    for (size_t cut = 0; cut < good.size(); cut++) {
        write(bytes(good.begin(), good.begin() + static_cast<long>(cut)));
        if (cut < data_end)
            EXPECT_EQ(0u, plat_file_version_info_size("C:\\x\\a.exe")) << cut;
        else
            EXPECT_EQ("1.0.0.0", file_version()) << cut;
    }

    auto patch = [&](size_t at, uint32_t v) {
        bytes img = good;
        for (int i = 0; i < 4; i++)
            img[at + i] = static_cast<unsigned char>(v >> (8 * i));
        write(img);
        return plat_file_version_info_size("C:\\x\\a.exe");
    };
    EXPECT_EQ(0u, patch(0x3C, 0xFFFFFFF0u));                      // e_lfanew
    EXPECT_EQ(0u, patch(0x3C, 0x01));
    EXPECT_EQ(0u, patch(l.resource_entry, 0x00400000u));          // resource directory address
    EXPECT_EQ(0u, patch(l.data_entry, 0xFFFFFF00u));              // resource address
    EXPECT_EQ(0u, patch(l.resource_dir + 0x18 + 20, 0x80000018u)); // name entry to itself
}

TEST_F(VersionInfo, ResourceFarIntoALargeFile)
{
    // The resource section moved to 3 GiB into a sparse file: found by seeking, with
    // no need to read what lies before it.
    pe_layout l;
    bytes img = pe_image(pe_options(), &l);
    const uint64_t far = 3ull << 30;
    const size_t raw = l.resource_dir;
    for (int i = 0; i < 4; i++)
        img[l.section_table + 20 + i] = static_cast<unsigned char>(far >> (8 * i));
    std::string path = root_ + "/c/x/a.exe";
    int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    bool written = pwrite(fd, img.data(), raw, 0) == static_cast<ssize_t>(raw) &&
                   pwrite(fd, img.data() + raw, img.size() - raw, static_cast<off_t>(far)) ==
                       static_cast<ssize_t>(img.size() - raw);
    struct stat st;
    bool sparse = fstat(fd, &st) == 0 && st.st_blocks * 512 < (64 << 20);
    close(fd);
    if (!written || !sparse)
        GTEST_SKIP() << "the temporary directory holds no sparse files";
    EXPECT_EQ("1.0.0.0", file_version());
}
