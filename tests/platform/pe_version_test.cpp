// The version resource reader over bytes: finding the resource in PE images, walking
// the version tree, the host layer's block.
#include "platform/host/pe_version.h"
#include "tools/pe_writer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

typedef std::vector<unsigned char> bytes;

void put16(bytes &b, size_t at, uint32_t v)
{
    b[at] = static_cast<unsigned char>(v & 0xFF);
    b[at + 1] = static_cast<unsigned char>((v >> 8) & 0xFF);
}

void put32(bytes &b, size_t at, uint32_t v)
{
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

uint32_t get32(const bytes &b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

bool found(const bytes &img)
{
    size_t off = 0;
    size_t size = 0;
    if (!pe_find_version_resource(img.data(), img.size(), &off, &size))
        return false;
    EXPECT_LE(off + size, img.size());
    return true;
}

// A node of a version tree: header, key, padding, value, padding, children.
bytes node(const std::string &key, uint32_t type, const bytes &value, uint32_t value_length,
           const std::vector<bytes> &children = {})
{
    bytes b(6, 0);
    put16(b, 2, value_length);
    put16(b, 4, type);
    for (char c : key) {
        b.push_back(static_cast<unsigned char>(c));
        b.push_back(0);
    }
    b.push_back(0);
    b.push_back(0);
    while (b.size() % 4)
        b.push_back(0);
    b.insert(b.end(), value.begin(), value.end());
    for (const bytes &c : children) {
        while (b.size() % 4)
            b.push_back(0);
        b.insert(b.end(), c.begin(), c.end());
    }
    put16(b, 0, static_cast<uint32_t>(b.size()));
    return b;
}

bytes utf16(const std::u16string &text)
{
    bytes b;
    for (char16_t c : text) {
        b.push_back(static_cast<unsigned char>(c & 0xFF));
        b.push_back(static_cast<unsigned char>(c >> 8));
    }
    b.push_back(0);
    b.push_back(0);
    return b;
}

bytes text_node(const std::string &key, const std::u16string &text)
{
    return node(key, 1, utf16(text), static_cast<uint32_t>(text.size() + 1));
}

// A tree with one string table holding the given strings.
bytes tree(const std::vector<bytes> &strings)
{
    bytes table = node("040904b0", 1, bytes(), 0, strings);
    bytes sfi = node("StringFileInfo", 1, bytes(), 0, {table});
    bytes var = node("Translation", 0, bytes{0x09, 0x04, 0xb0, 0x04}, 4);
    bytes vfi = node("VarFileInfo", 1, bytes(), 0, {var});
    return node("VS_VERSION_INFO", 0, bytes(52, 0), 52, {sfi, vfi});
}

std::string query_text(const bytes &b, const char *path, int *kind = nullptr)
{
    const unsigned char *v;
    uint32_t len;
    int k;
    if (!version_block_query(b.data(), b.size(), path, &v, &len, &k))
        return "<none>";
    if (kind)
        *kind = k;
    std::string s;
    for (uint32_t i = 0; i + 1 < len && v[i]; i += 2)
        s += static_cast<char>(v[i]);
    return s;
}

} // namespace

TEST(PeFind, FindsTheResourceInBothForms)
{
    for (bool plus : {false, true}) {
        pe_options options;
        options.pe32plus = plus;
        pe_layout layout;
        bytes img = pe_image(options, &layout);
        size_t off = 0;
        size_t size = 0;
        ASSERT_TRUE(pe_find_version_resource(img.data(), img.size(), &off, &size)) << plus;
        EXPECT_EQ(layout.data, off);
        EXPECT_EQ(layout.data_size, size);

        options.no_resource = true;
        EXPECT_FALSE(found(pe_image(options))) << plus;
    }
    EXPECT_FALSE(found(bytes()));
    EXPECT_FALSE(found(bytes{'M'}));
    bytes text(4096, 'x');
    text[0] = 'M';
    text[1] = 'Z';
    EXPECT_FALSE(found(text));
}

TEST(PeFind, TruncatedImagesGiveNothing)
{
    for (bool plus : {false, true}) {
        pe_options options;
        options.pe32plus = plus;
        pe_layout layout;
        bytes img = pe_image(options, &layout);
        size_t data_end = layout.data + layout.data_size;
        for (size_t cut = 0; cut <= img.size(); cut++) {
            // A copy of exactly cut bytes, so that the sanitizer sees any read past it.
            bytes part(img.begin(), img.begin() + static_cast<long>(cut));
            EXPECT_EQ(cut >= data_end, found(part)) << "cut at " << cut;
        }
    }
}

TEST(PeFind, BadHeadersGiveNothing)
{
    pe_layout l;
    const bytes good = pe_image(pe_options(), &l);
    ASSERT_TRUE(found(good));
    const size_t dirs = l.resource_entry - 16; // the optional header's data directories
    struct change {
        size_t at;
        uint32_t value;
        int width;
    };
    const change changes[] = {
        {0x3C, 0xFFFFFFFFu, 4},                    // e_lfanew far outside
        {0x3C, static_cast<uint32_t>(good.size() - 2), 4},
        {0x3C, 0x3C, 4},                           // points into the MS-DOS header
        {l.nt_headers, 'N', 1},                    // signature
        {l.optional_header, 0x107, 2},             // magic
        {l.nt_headers + 20, 0x40, 2},              // optional header too small for the entry
        {dirs - 4, 2, 4},                          // only two data directories
        {l.resource_entry, 0, 4},                  // no resource directory
        {l.resource_entry, 0x50000, 4},            // resource directory in no section
        {l.nt_headers + 6, 0, 2},                  // no sections
        {l.nt_headers + 6, 0xFFFF, 2},             // more sections than the file holds
        {l.section_table + 20, 0x7FFFFF00u, 4},    // section data past the end of the file
        {l.section_table + 16, 0x10, 4},           // section too short for the directory
        {l.data_entry, 0x9000, 4},                 // data in no section
        {l.data_entry, 0x1000 + 0x100, 4},         // data running past the section
        {l.data_entry + 4, 0x10000, 4},            // size larger than the section
        {l.data_entry + 4, 0, 4},                  // empty resource
    };
    for (const change &c : changes) {
        bytes img = good;
        if (c.width == 1)
            img[c.at] = static_cast<unsigned char>(c.value);
        else if (c.width == 2)
            put16(img, c.at, c.value);
        else
            put32(img, c.at, c.value);
        EXPECT_FALSE(found(img)) << "change at " << c.at;
    }

    // The headers at an odd offset are still headers: fields are read byte by byte.
    bytes odd = good;
    std::memmove(odd.data() + l.nt_headers + 1, good.data() + l.nt_headers, l.section_table + 40 - l.nt_headers);
    put32(odd, 0x3C, static_cast<uint32_t>(l.nt_headers + 1));
    EXPECT_TRUE(found(odd));
}

TEST(PeFind, DirectoryCyclesAndHugeCountsGiveNothing)
{
    pe_layout l;
    const bytes good = pe_image(pe_options(), &l);
    const size_t root = l.resource_dir;
    // The three directories sit at 0x00, 0x18 and 0x30: counts at +12 and +14, the one
    // entry's name at +16 and target at +20.
    const struct {
        size_t at;
        uint32_t value;
        int width;
    } changes[] = {
        {root + 0x00 + 20, 0x80000000u, 4}, // type entry leads to the root itself
        {root + 0x18 + 20, 0x80000018u, 4}, // name entry leads to its own directory
        {root + 0x18 + 20, 0x80000000u, 4}, // name entry leads to the root
        {root + 0x30 + 20, 0x80000030u, 4}, // language entry is a directory: itself
        {root + 0x30 + 20, 0x00000018u, 4}, // data entry at the name directory
        {root + 0x30 + 20, 0x7FFFFFF0u, 4}, // data entry outside the section
        {root + 0x00 + 20, 0x00000048u, 4}, // type entry is not a directory
        {root + 0x00 + 16, 3u, 4},          // no entry of type 16 (an icon instead)
        {root + 0x00 + 12, 0xFFFFu, 2},     // huge counts of named entries
        {root + 0x00 + 14, 0xFFFFu, 2},     // and of id entries
        {root + 0x18 + 14, 0u, 2},          // empty name directory
        {root + 0x30 + 14, 0u, 2},          // empty language directory
    };
    for (const auto &c : changes) {
        bytes img = good;
        if (c.width == 2)
            put16(img, c.at, c.value);
        else
            put32(img, c.at, c.value);
        EXPECT_FALSE(found(img)) << "change at " << (c.at - root);
    }
}

TEST(VersionBlock, WalksTheTreeByPath)
{
    bytes b = tree({text_node("CompanyName", u"Maker"), text_node("FileVersion", u"1.2.3.4")});
    int kind = -1;
    EXPECT_EQ("1.2.3.4", query_text(b, "\\StringFileInfo\\040904b0\\FileVersion", &kind));
    EXPECT_EQ(VERSION_VALUE_UTF16, kind);
    EXPECT_EQ("1.2.3.4", query_text(b, "\\stringfileinfo\\040904B0\\FILEVERSION"));
    EXPECT_EQ("1.2.3.4", query_text(b, "StringFileInfo\\\\040904b0\\FileVersion\\"));
    EXPECT_EQ("<none>", query_text(b, "\\StringFileInfo\\040904b0\\FileVers"));
    EXPECT_EQ("<none>", query_text(b, "\\StringFileInfo\\040904b0\\FileVersionX"));
    EXPECT_EQ("<none>", query_text(b, "\\StringFileInfo\\040904e4\\FileVersion"));

    const unsigned char *v;
    uint32_t len;
    ASSERT_TRUE(version_block_query(b.data(), b.size(), "\\VarFileInfo\\Translation", &v, &len, &kind));
    EXPECT_EQ(4u, len);
    EXPECT_EQ(VERSION_VALUE_BINARY, kind);
    EXPECT_EQ(0x04b00409u, v[0] | (v[1] << 8) | (v[2] << 16) | (static_cast<uint32_t>(v[3]) << 24));
    ASSERT_TRUE(version_block_query(b.data(), b.size(), "\\", &v, &len, &kind));
    EXPECT_EQ(52u, len);
    ASSERT_TRUE(version_block_query(b.data(), b.size(), "", &v, &len, &kind));
    EXPECT_EQ(52u, len);
}

TEST(VersionBlock, BadLengthsEndTheWalk)
{
    const char *path = "\\StringFileInfo\\040904b0\\FileVersion";
    bytes first = text_node("CompanyName", u"Maker");
    bytes target = text_node("FileVersion", u"7.7");
    bytes b = tree({first, target});
    ASSERT_EQ("7.7", query_text(b, path));
    const size_t at = 92 + 36 + 24; // root, StringFileInfo and table headers before the first string

    bytes zero = b;
    put16(zero, at, 0); // a child of length 0 ends the walk
    EXPECT_EQ("<none>", query_text(zero, path));

    bytes past = b;
    put16(past, at, 0xFFF0); // a child running past its parent
    EXPECT_EQ("<none>", query_text(past, path));

    bytes root_past = b;
    put16(root_past, 0, static_cast<uint32_t>(b.size() + 4));
    EXPECT_EQ("<none>", query_text(root_past, path));

    // A value longer than its node is cut at the node's end.
    bytes lying = tree({node("FileVersion", 1, utf16(u"7.7"), 4000)});
    const unsigned char *v;
    uint32_t len;
    int kind;
    ASSERT_TRUE(version_block_query(lying.data(), lying.size(), path, &v, &len, &kind));
    EXPECT_EQ(8u, len);

    // A key without terminator inside its node.
    bytes unterminated = tree({node("FileVersion", 1, bytes(), 0)});
    put16(unterminated, at, 6 + 2 * 4);
    EXPECT_EQ("<none>", query_text(unterminated, path));

    // Every prefix of a good tree: no read past it, whatever the answer.
    for (size_t cut = 0; cut <= b.size(); cut++) {
        bytes part(b.begin(), b.begin() + static_cast<long>(cut));
        if (version_block_query(part.data(), part.size(), path, &v, &len, &kind)) {
            EXPECT_LE(v + len, part.data() + part.size());
        }
    }
}

TEST(HostBlock, ConvertsTextsInsideTheBlock)
{
    // The last string is empty and ends the resource: its copy is the one that needs
    // the byte beyond the resource's length.
    bytes table = node("040904b0", 1, bytes(), 0,
                       {text_node("FileVersion", u"1.0 \u00e9\u4e2d"), node("Comments", 1, bytes(), 0)});
    bytes sfi = node("StringFileInfo", 1, bytes(), 0, {table});
    bytes res = node("VS_VERSION_INFO", 0, bytes(52, 0), 52, {sfi});
    uint32_t size = version_host_block_size(res.data(), res.size());
    EXPECT_EQ(2 * res.size() + 8, size);

    bytes block(size);
    EXPECT_FALSE(version_host_block_fill(res.data(), res.size(), block.data(), size - 1));
    ASSERT_TRUE(version_host_block_fill(res.data(), res.size(), block.data(), size));

    void *v;
    uint32_t len;
    ASSERT_TRUE(version_host_block_query(block.data(), "\\StringFileInfo\\040904b0\\FileVersion", &v, &len));
    EXPECT_STREQ("1.0 \xe9?", static_cast<const char *>(v));
    EXPECT_EQ(7u, len);
    const unsigned char *p = static_cast<const unsigned char *>(v);
    EXPECT_TRUE(p >= block.data() + res.size() && p + len <= block.data() + size);

    ASSERT_TRUE(version_host_block_query(block.data(), "\\StringFileInfo\\040904b0\\Comments", &v, &len));
    EXPECT_EQ(0u, len);
    EXPECT_STREQ("", static_cast<const char *>(v));
    // The copies leave the resource part as it was.
    EXPECT_EQ(0, std::memcmp(block.data(), res.data(), res.size()));

    // A binary value points into the resource part.
    bytes full = tree({text_node("FileVersion", u"3")});
    bytes block2(version_host_block_size(full.data(), full.size()));
    ASSERT_TRUE(version_host_block_fill(full.data(), full.size(), block2.data(), block2.size()));
    ASSERT_TRUE(version_host_block_query(block2.data(), "\\VarFileInfo\\Translation", &v, &len));
    EXPECT_EQ(4u, len);
    size_t at = static_cast<size_t>(static_cast<unsigned char *>(v) - block2.data());
    EXPECT_EQ(0x04b00409u, get32(block2, at));

    // A resource shorter than its root says reads as zeros beyond its end.
    bytes shorter(full.begin(), full.begin() + 100);
    bytes block3(version_host_block_size(shorter.data(), shorter.size()));
    ASSERT_EQ(block2.size(), block3.size());
    ASSERT_TRUE(version_host_block_fill(shorter.data(), shorter.size(), block3.data(), block3.size()));
    EXPECT_FALSE(version_host_block_query(block3.data(), "\\VarFileInfo\\Translation", &v, &len));

    EXPECT_EQ(0u, version_host_block_size(res.data(), 5));
    bytes tiny = {4, 0, 0, 0, 0, 0};
    EXPECT_EQ(0u, version_host_block_size(tiny.data(), tiny.size()));
}
