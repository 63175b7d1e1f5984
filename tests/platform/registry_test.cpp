// The host layer's registry: registry.reg in a temporary host root, read through plat_reg_*.
#include "platform/host/host.h"
#include "platform/host/reg_file.h"
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

typedef std::vector<unsigned char> bytes;

bytes b(const std::string &s)
{
    return bytes(s.begin(), s.end());
}

// The UTF-16LE file regedit writes: byte-order mark, then the text with CR LF line ends.
bytes utf16_file(const std::u16string &text)
{
    bytes out = {0xFF, 0xFE};
    for (char16_t c : text) {
        if (c == u'\n') {
            out.push_back('\r');
            out.push_back(0);
        }
        out.push_back(static_cast<unsigned char>(c & 0xFF));
        out.push_back(static_cast<unsigned char>(c >> 8));
    }
    return out;
}

struct query_result {
    long rc;
    uint32_t type;
    bytes data;
};

class RegistryTest : public ::testing::Test {
protected:
    std::string root;

    void SetUp() override
    {
        char dir[] = "/tmp/telinv-reg-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        root = dir;
        setenv("TELINV_HOST_ROOT", dir, 1);
        host_registry_reset();
    }
    void TearDown() override
    {
        std::remove((root + "/registry.reg").c_str());
        rmdir(root.c_str());
        host_registry_reset();
        unsetenv("TELINV_HOST_ROOT");
    }
    void write_reg(const bytes &content)
    {
        FILE *f = std::fopen((root + "/registry.reg").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(content.data(), 1, content.size(), f);
        std::fclose(f);
        host_registry_reset();
    }
    void write_reg(const std::string &content) { write_reg(b(content)); }

    query_result query(const char *path, const char *value)
    {
        query_result r = {-1, 0xFFFF, bytes()};
        plat_key key;
        r.rc = plat_reg_open(PLAT_HKEY_LOCAL_MACHINE, path, PLAT_KEY_QUERY_VALUE, &key);
        if (r.rc != PLAT_ERROR_SUCCESS)
            return r;
        unsigned char buf[4096];
        uint32_t size = sizeof buf;
        r.rc = plat_reg_query(key, value, &r.type, buf, &size);
        if (r.rc == PLAT_ERROR_SUCCESS)
            r.data.assign(buf, buf + size);
        plat_reg_close(key);
        return r;
    }
    // The value's stored bytes, or "<missing>" when it can't be read.
    std::string text(const char *path, const char *value)
    {
        query_result r = query(path, value);
        return r.rc == PLAT_ERROR_SUCCESS ? std::string(r.data.begin(), r.data.end()) : "<missing>";
    }
    std::vector<std::string> subkeys(const char *path)
    {
        std::vector<std::string> names;
        plat_key key;
        if (plat_reg_open(PLAT_HKEY_LOCAL_MACHINE, path, PLAT_KEY_READ, &key) != PLAT_ERROR_SUCCESS)
            return {"<no key>"};
        char name[256];
        for (uint32_t i = 0; plat_reg_enum_key(key, i, name, sizeof name) == PLAT_ERROR_SUCCESS; i++)
            names.push_back(name);
        plat_reg_close(key);
        return names;
    }
};

const std::string S(1, '\0'); // a zero byte inside an expected value

TEST_F(RegistryTest, MissingFileIsAnEmptyRegistry)
{
    EXPECT_EQ(subkeys(""), std::vector<std::string>());
    EXPECT_EQ(query("SOFTWARE", "x").rc, PLAT_ERROR_FILE_NOT_FOUND);
    write_reg("not an export\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n");
    EXPECT_EQ(query("SOFTWARE", nullptr).rc, PLAT_ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, Regedit4ValueKinds)
{
    write_reg("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KESTRA]\r\n"
              "\"Company\"=\"ACME\"\r\n"
              "@=\"default\"\r\n"
              "\"Empty\"=\"\"\r\n"
              "\"Count\"=dword:0000002a\r\n"
              "\"Short\"=dword:1F\r\n"
              "\"Blob\"=hex:de,ad,BE,ef\r\n"
              "\"NoData\"=hex:\r\n"
              "\"Path\"=hex(2):25,50,25,00\r\n"
              "\"List\"=hex(7):61,00,62,63,00,00\r\n"
              "\"Wide\"=hex(b):01,02,03,04,05,06,07,08\r\n"
              "\"None\"=hex(0):07\r\n");
    struct {
        const char *name;
        uint32_t type;
        std::string data;
    } want[] = {
        {"Company", PLAT_REG_SZ, "ACME" + S},     {nullptr, PLAT_REG_SZ, "default" + S},
        {"", PLAT_REG_SZ, "default" + S},         {"Empty", PLAT_REG_SZ, S},
        {"Count", PLAT_REG_DWORD, "\x2a" + S + S + S},
        {"Short", PLAT_REG_DWORD, "\x1f" + S + S + S},
        {"Blob", PLAT_REG_BINARY, "\xde\xad\xbe\xef"}, {"NoData", PLAT_REG_BINARY, ""},
        {"Path", PLAT_REG_EXPAND_SZ, "%P%" + S},  {"List", PLAT_REG_MULTI_SZ, "a" + S + "bc" + S + S},
        {"Wide", 0xb, "\x01\x02\x03\x04\x05\x06\x07\x08"}, {"None", PLAT_REG_NONE, "\x07"},
    };
    for (const auto &w : want) {
        query_result r = query("SOFTWARE\\KESTRA", w.name);
        SCOPED_TRACE(w.name ? w.name : "(null)");
        ASSERT_EQ(r.rc, PLAT_ERROR_SUCCESS);
        EXPECT_EQ(r.type, w.type);
        EXPECT_EQ(std::string(r.data.begin(), r.data.end()), w.data);
    }
    EXPECT_EQ(query("SOFTWARE\\KESTRA", "Missing").rc, PLAT_ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, Version5InUtf16AndIn8Bit)
{
    // U+00E9 fits ANSI; U+03A9 does not and becomes '?', a surrogate pair "??".
    std::u16string file = u"Windows Registry Editor Version 5.00\n\n"
                          u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Caf\u00e9\u03a9]\n"
                          u"\"N\u00e9\"=\"a\u00e9\U0001F600\u03a9\"\n"
                          u"\"Path\"=hex(2):25,00,50,00,25,00,00,00\n"
                          u"\"List\"=hex(7):61,00,e9,00,00,00,a9,03,00,00,00,00\n"
                          u"\"Sz\"=hex(1):41,00,00,00\n"
                          u"\"Raw\"=hex:41,00,00,00\n";
    write_reg(utf16_file(file));
    EXPECT_EQ(subkeys("SOFTWARE"), std::vector<std::string>{"Caf\xe9?"});
    EXPECT_EQ(text("SOFTWARE\\CAF\xe9?", "N\xe9"), "a\xe9???" + S);
    EXPECT_EQ(text("SOFTWARE\\Caf\xe9?", "Path"), "%P%" + S);
    EXPECT_EQ(text("SOFTWARE\\Caf\xe9?", "List"), "a\xe9" + S + "?" + S + S);
    EXPECT_EQ(text("SOFTWARE\\Caf\xe9?", "Sz"), "A" + S);
    EXPECT_EQ(text("SOFTWARE\\Caf\xe9?", "Raw"), "A" + S + S + S); // binary stays as it is

    // The same header in 8-bit text: strings are bytes, hex string kinds still UTF-16.
    write_reg("Windows Registry Editor Version 5.00\n[HKLM\\K]\n\"S\"=\"\xe9\"\n"
              "\"Path\"=hex(2):25,00,50,00,00,00\n");
    EXPECT_EQ(text("K", "S"), "\xe9" + S);
    EXPECT_EQ(text("K", "Path"), "%P" + S);
}

TEST_F(RegistryTest, EscapesContinuationsAndComments)
{
    write_reg("REGEDIT4\n; a comment\n\n   [HKEY_LOCAL_MACHINE\\K]  \n"
              "\"say \\\"hi\\\"\"=\"C:\\\\dir\\\\\\\"x\\\"\"\n"
              "\"other\\n\"=\"a\\nb\"\n"
              "  \"Blob\" = hex:01,02,\\\r\n"
              "    03 , 04,\\\n"
              "; a comment inside the list\n"
              "\t05\n"
              "\"Commented\"=dword:00000001 ; why\n"
              "; \"NotAValue\"=\"x\"\n"
              "\"Cut\"=hex:01,\\\n"
              "[HKEY_LOCAL_MACHINE\\K\\After]\n"
              "\"A\"=\"1\"\n");
    EXPECT_EQ(text("K", "say \"hi\""), "C:\\dir\\\"x\"" + S);
    EXPECT_EQ(text("K", "other\\n"), "a\\nb" + S); // only \" and \\ are escapes
    EXPECT_EQ(text("K", "Blob"), "\x01\x02\x03\x04\x05");
    EXPECT_EQ(text("K", "Commented"), "\x01" + S + S + S);
    EXPECT_EQ(text("K", "NotAValue"), "<missing>");
    // A list whose continuation is a key line is dropped; the key line still counts.
    EXPECT_EQ(text("K", "Cut"), "<missing>");
    EXPECT_EQ(text("K\\After", "A"), "1" + S);
}

TEST_F(RegistryTest, RemovalMergingAndCase)
{
    write_reg("REGEDIT4\n"
              "[HKEY_LOCAL_MACHINE\\Soft\\Gone\\Deep]\n\"v\"=\"1\"\n"
              "[HKLM\\soft\\Kept]\n\"a\"=\"1\"\n\"B\"=\"2\"\n@=\"d\"\n"
              "[-HKEY_LOCAL_MACHINE\\SOFT\\gone]\n\"x\"=\"after removal\"\n"
              "[-HKEY_LOCAL_MACHINE\\Soft\\NeverThere]\n"
              "[-HKEY_LOCAL_MACHINE]\n"
              "[HKEY_LOCAL_MACHINE\\SOFT\\KEPT]\n\"A\"=\"later\"\n\"b\"=-\n@=-\n\"c\"=-\n"
              "[HKEY_LOCAL_MACHINE\\Soft\\Gone]\n");
    EXPECT_EQ(subkeys("SOFT"), (std::vector<std::string>{"Gone", "Kept"}));
    EXPECT_EQ(subkeys("soft\\gone"), std::vector<std::string>()); // made anew, empty
    EXPECT_EQ(text("Soft\\Gone", "x"), "<missing>");
    EXPECT_EQ(text("sOfT\\kEpT", "a"), "later" + S);
    EXPECT_EQ(text("Soft\\Kept", "B"), "<missing>");
    EXPECT_EQ(text("Soft\\Kept", nullptr), "<missing>");
    EXPECT_EQ(subkeys(""), std::vector<std::string>{"Soft"}); // first spelling kept
}

TEST_F(RegistryTest, SubkeysComeInUpperCaseOrder)
{
    write_reg("REGEDIT4\n[HKLM\\K\\_x]\n[HKLM\\K\\Zy]\n[HKLM\\K\\ax]\n[HKLM\\K\\B]\n"
              "[HKLM\\K\\a]\n[HKLM\\K\\AB]\n[HKLM\\K\\a1]\n[HKLM\\K\\A]\n");
    EXPECT_EQ(subkeys("K"), (std::vector<std::string>{"a", "a1", "AB", "ax", "B", "Zy", "_x"}));
}

TEST_F(RegistryTest, QueryAndEnumCapacities)
{
    std::string n127(127, 'n'), n128(128, 'm');
    write_reg("REGEDIT4\n[HKLM\\K]\n\"S\"=\"abcd\"\n\"Z\"=hex:\n[HKLM\\K\\" + n127 + "]\n[HKLM\\K\\" +
              n128 + "]\n");
    plat_key key;
    ASSERT_EQ(plat_reg_open(PLAT_HKEY_LOCAL_MACHINE, "\\K\\", PLAT_KEY_READ, &key), PLAT_ERROR_SUCCESS);

    unsigned char buf[8];
    uint32_t size = 4, type = 0;
    memset(buf, 0xAA, sizeof buf);
    EXPECT_EQ(plat_reg_query(key, "S", &type, buf, &size), PLAT_ERROR_MORE_DATA);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(buf[4], 0xAA);
    size = 5;
    EXPECT_EQ(plat_reg_query(key, "s", nullptr, buf, &size), PLAT_ERROR_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), 6), "abcd" + S + "\xaa");
    size = 0;
    EXPECT_EQ(plat_reg_query(key, "S", &type, nullptr, &size), PLAT_ERROR_SUCCESS);
    EXPECT_EQ(size, 5u);
    EXPECT_EQ(type, PLAT_REG_SZ);
    size = 0;
    EXPECT_EQ(plat_reg_query(key, "Z", &type, buf, &size), PLAT_ERROR_SUCCESS);
    EXPECT_EQ(size, 0u);

    // The enumeration order puts the 'm' name first.
    char name[130];
    memset(name, 'X', sizeof name);
    EXPECT_EQ(plat_reg_enum_key(key, 0, name, 128), PLAT_ERROR_MORE_DATA);
    EXPECT_EQ(name[0], 'X');
    EXPECT_EQ(plat_reg_enum_key(key, 0, name, 129), PLAT_ERROR_SUCCESS);
    EXPECT_EQ(std::string(name), n128);
    EXPECT_EQ(plat_reg_enum_key(key, 1, name, 128), PLAT_ERROR_SUCCESS);
    EXPECT_EQ(std::string(name), n127);
    EXPECT_EQ(plat_reg_enum_key(key, 1, name, 127), PLAT_ERROR_MORE_DATA);
    EXPECT_EQ(plat_reg_enum_key(key, 2, name, 128), PLAT_ERROR_NO_MORE_ITEMS);
    plat_reg_close(key);
}

TEST_F(RegistryTest, HandlesAndPaths)
{
    write_reg("REGEDIT4\n[HKLM\\A\\B]\n\"v\"=\"old\"\n");
    plat_key key = nullptr;
    EXPECT_EQ(plat_reg_open(3, "A", PLAT_KEY_READ, &key), PLAT_ERROR_INVALID_HANDLE);
    EXPECT_EQ(plat_reg_open(PLAT_HKEY_LOCAL_MACHINE, "A\\C", PLAT_KEY_READ, &key), PLAT_ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(text("\\a\\\\b\\", "v"), "old" + S); // empty names between backslashes pass
    ASSERT_EQ(plat_reg_open(PLAT_HKEY_LOCAL_MACHINE, "A\\B", PLAT_KEY_READ, &key), PLAT_ERROR_SUCCESS);

    // A key open across a reset still reads the registry it was opened in.
    write_reg("REGEDIT4\n[HKLM\\A\\B]\n\"v\"=\"new\"\n");
    EXPECT_EQ(text("A\\B", "v"), "new" + S);
    char buf[8];
    uint32_t size = sizeof buf;
    EXPECT_EQ(plat_reg_query(key, "v", nullptr, buf, &size), PLAT_ERROR_SUCCESS);
    EXPECT_STREQ(buf, "old");
    plat_reg_close(key);

    // The null handle is refused, and closing it does nothing.
    size = sizeof buf;
    EXPECT_EQ(plat_reg_query(nullptr, "v", nullptr, buf, &size), PLAT_ERROR_INVALID_HANDLE);
    EXPECT_EQ(plat_reg_enum_key(nullptr, 0, buf, sizeof buf), PLAT_ERROR_INVALID_HANDLE);
    plat_reg_close(nullptr);
}

TEST_F(RegistryTest, BrokenLinesAreSkipped)
{
    std::string longline(100000, 'x');
    std::string hexline;
    for (int i = 0; i < 30000; i++)
        hexline += "ab,";
    std::string deep = "[HKLM\\Deep";
    while (deep.size() < 100000)
        deep += "\\d";
    write_reg("REGEDIT4\n\"Orphan\"=\"before any key\"\n"
              "[HKLM\\K]\n"
              "\"Open\"=\"no closing quote\n"
              "\"Open2=\"x\"\n"
              "\"BadHex\"=hex:01,zz,02\n"
              "\"BadHex2\"=hex:01,,02\n"
              "\"BadType\"=hex(x):01\n"
              "\"Long\"=dword:000000001\n"
              "\"NoDigits\"=dword:\n"
              "\"Trailing\"=\"a\" b\n"
              "\"Nul\"=\"a" + S + "b\"\n"
              "\"" + longline + "\"=\"long name\"\n"
              "\"LongHex\"=hex:" + hexline + "\n" + longline + "\n" + deep + "]\n"
              "[HKLM\\K\\a\\\\b] text after the key\n\"InAB\"=\"x\"\n"
              "[HKEY_NOWHERE\\K]\n\"InDropped\"=\"x\"\n"
              "[HKEY_CURRENT_USER\\K]\n\"InDropped\"=\"x\"\n"
              "[HKLM\\K\\unclosed\n\"InDropped\"=\"x\"\n"
              "[HKLM\\K]\n\"Good\"=\"yes\"\n");
    EXPECT_EQ(subkeys(""), (std::vector<std::string>{"Deep", "K"}));
    EXPECT_EQ(text("", "Orphan"), "<missing>");
    for (const char *name : {"Open", "Open2", "BadHex", "BadHex2", "BadType", "Long", "NoDigits", "Trailing",
                             "Nul", "InDropped"})
        EXPECT_EQ(text("K", name), "<missing>") << name;
    EXPECT_EQ(text("K", longline.c_str()), "long name" + S);
    EXPECT_EQ(query("K", "LongHex").rc, PLAT_ERROR_MORE_DATA); // 90000 bytes
    EXPECT_EQ(subkeys("K"), std::vector<std::string>{"a"});
    EXPECT_EQ(text("K\\A\\B", "InAB"), "x" + S);
    EXPECT_EQ(text("K", "Good"), "yes" + S);

    // Truncated UTF-16: the odd last byte is dropped, the lines before it load.
    bytes file = utf16_file(u"Windows Registry Editor Version 5.00\n[HKLM\\K]\n\"A\"=\"1\"\n\"B\"=\"2");
    file.pop_back();
    write_reg(file);
    EXPECT_EQ(text("K", "A"), "1" + S);
    EXPECT_EQ(text("K", "B"), "<missing>");
}

TEST(RegFileTest, DeepPathsNeedNoRecursion)
{
    // 200000 nested keys in one line: loading, lookup and freeing stay iterative.
    std::string file = "REGEDIT4\n[HKLM";
    for (int i = 0; i < 200000; i++)
        file += "\\d";
    file += "]\n@=\"bottom\"\n";
    reg_tree tree;
    ASSERT_EQ(reg_file_load(reinterpret_cast<const unsigned char *>(file.data()), file.size(), &tree), 1);
    ASSERT_EQ(tree.keys.size(), 200001u);
    uint32_t key = REG_KEY_ROOT;
    for (int i = 0; i < 200000 && key != REG_KEY_NONE; i++)
        key = reg_find_subkey(tree, key, "D", 1);
    ASSERT_NE(key, REG_KEY_NONE);
    EXPECT_TRUE(tree.keys[key].subkeys.empty());
    ASSERT_NE(reg_find_value(tree.keys[key], nullptr), nullptr);
    EXPECT_EQ(reg_file_load(reinterpret_cast<const unsigned char *>("REGEDIT"), 7, &tree), 0);
    EXPECT_EQ(tree.keys.size(), 1u);
}

} // namespace
