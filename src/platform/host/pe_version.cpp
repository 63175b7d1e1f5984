// Version resources of PE files: the resource directory, the VS_VERSIONINFO tree and
// the host layer's version information block.
#include "platform/host/pe_version.h"

#include <cstring>

// ---------------------------------------------------------------------------------------
// Little-endian fields, byte by byte.

static uint32_t get16(const unsigned char *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
}

static uint32_t get32(const unsigned char *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// ---------------------------------------------------------------------------------------
// Reading the source within bounds.

// The n bytes at offset, when they all lie inside the source.
static int source_read(const pe_source *src, uint64_t offset, unsigned char *buf, size_t n)
{
    if (offset > src->size || n > src->size - offset)
        return 0;
    return src->read(src->ctx, offset, buf, n);
}

// The n bytes at offset, when they all lie inside [offset, end) of the source.
static int region_read(const pe_source *src, uint64_t offset, uint64_t end, unsigned char *buf, size_t n)
{
    if (offset > end || n > end - offset)
        return 0;
    return source_read(src, offset, buf, n);
}

// ---------------------------------------------------------------------------------------
// PE headers and the section table.

enum {
    pe_magic_32 = 0x10b,
    pe_magic_64 = 0x20b,
    rt_version = 16,
    section_header_size = 40,
    resource_directory_index = 2
};

struct pe_headers {
    uint64_t section_table;
    uint32_t section_count;
    uint32_t resource_rva;
};

static int read_headers(const pe_source *src, pe_headers *out)
{
    unsigned char dos[64];
    if (!source_read(src, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
        return 0;
    uint64_t nt = get32(dos + 0x3C);

    unsigned char coff[24];
    if (!source_read(src, nt, coff, sizeof coff))
        return 0;
    if (coff[0] != 'P' || coff[1] != 'E' || coff[2] != 0 || coff[3] != 0)
        return 0;
    uint32_t section_count = get16(coff + 6);
    uint32_t optional_size = get16(coff + 20);
    uint64_t optional = nt + sizeof coff;

    unsigned char magic[2];
    if (optional_size < 2 || !source_read(src, optional, magic, sizeof magic))
        return 0;
    uint32_t count_at;
    uint32_t directories_at;
    if (get16(magic) == pe_magic_32) {
        count_at = 92;
        directories_at = 96;
    } else if (get16(magic) == pe_magic_64) {
        count_at = 108;
        directories_at = 112;
    } else {
        return 0;
    }

    // The resource directory entry must lie inside the optional header.
    uint32_t entry_at = directories_at + 8 * resource_directory_index;
    if (optional_size < entry_at + 8)
        return 0;
    unsigned char field[8];
    if (!source_read(src, optional + count_at, field, 4) || get32(field) <= resource_directory_index)
        return 0;
    if (!source_read(src, optional + entry_at, field, 8))
        return 0;
    uint32_t resource_rva = get32(field);
    if (resource_rva == 0)
        return 0;

    uint64_t table = optional + optional_size;
    if (section_count == 0 || table > src->size ||
        static_cast<uint64_t>(section_count) * section_header_size > src->size - table)
        return 0;

    out->section_table = table;
    out->section_count = section_count;
    out->resource_rva = resource_rva;
    return 1;
}

// Maps an address of the loaded image to the file: the offset of the byte at rva and
// the end of the section's file data that holds it (never past the end of the source).
// Only bytes that the section has in the file count; the first section that holds the
// address wins.
static int map_rva(const pe_source *src, const pe_headers *h, uint32_t rva, uint64_t *offset, uint64_t *end)
{
    for (uint32_t i = 0; i < h->section_count; i++) {
        unsigned char s[section_header_size];
        if (!source_read(src, h->section_table + static_cast<uint64_t>(i) * section_header_size, s, sizeof s))
            return 0;
        uint32_t virtual_size = get32(s + 8);
        uint32_t address = get32(s + 12);
        uint32_t raw_size = get32(s + 16);
        uint32_t raw_pointer = get32(s + 20);
        // Bytes past the virtual size are not part of the loaded section.
        uint64_t extent = raw_size;
        if (virtual_size != 0 && virtual_size < extent)
            extent = virtual_size;
        if (rva < address || rva - address >= extent)
            continue;
        uint64_t at = static_cast<uint64_t>(raw_pointer) + (rva - address);
        uint64_t stop = static_cast<uint64_t>(raw_pointer) + extent;
        if (stop > src->size)
            stop = src->size;
        if (at >= stop)
            return 0;
        *offset = at;
        *end = stop;
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------
// The resource directory: three levels (type, name, language), each a table of 8-byte
// entries behind a 16-byte header. Offsets in it count from the directory's start.

struct resource_region {
    uint64_t start;
    uint64_t end;
};

enum : uint32_t { subdirectory_flag = 0x80000000u };

// The entry table of the directory at offset dir: its entry count, when the whole
// table lies inside the region.
static int directory_entries(const pe_source *src, const resource_region *r, uint64_t dir, uint32_t *count)
{
    unsigned char header[16];
    if (!region_read(src, r->start + dir, r->end, header, sizeof header))
        return 0;
    uint32_t n = get16(header + 12) + get16(header + 14);
    uint64_t table = r->start + dir + sizeof header;
    if (static_cast<uint64_t>(n) * 8 > r->end - table)
        return 0;
    *count = n;
    return 1;
}

static int directory_entry(const pe_source *src, const resource_region *r, uint64_t dir, uint32_t index,
                           uint32_t *name, uint32_t *target)
{
    unsigned char e[8];
    if (!region_read(src, r->start + dir + 16 + static_cast<uint64_t>(index) * 8, r->end, e, sizeof e))
        return 0;
    *name = get32(e);
    *target = get32(e + 4);
    return 1;
}

int pe_find_version_resource_in(const pe_source *src, uint64_t *res_offset, uint32_t *res_size)
{
    if (!src || !src->read || !res_offset || !res_size)
        return 0;
    pe_headers h;
    if (!read_headers(src, &h))
        return 0;
    resource_region r;
    if (!map_rva(src, &h, h.resource_rva, &r.start, &r.end))
        return 0;

    // Type level: the entry for RT_VERSION. Named entries carry the high bit in their
    // name field, so they never equal the number.
    uint32_t count;
    if (!directory_entries(src, &r, 0, &count))
        return 0;
    uint32_t name = 0;
    uint32_t target = 0;
    uint32_t i = 0;
    for (; i < count; i++) {
        if (!directory_entry(src, &r, 0, i, &name, &target))
            return 0;
        if (name == rt_version)
            break;
    }
    if (i == count || !(target & subdirectory_flag))
        return 0;
    uint64_t names = target & ~subdirectory_flag;

    // Name level: the first entry, a directory of languages. An entry that leads back
    // to a directory on the way down is a cycle.
    if (names == 0 || !directory_entries(src, &r, names, &count) || count == 0 ||
        !directory_entry(src, &r, names, 0, &name, &target) || !(target & subdirectory_flag))
        return 0;
    uint64_t languages = target & ~subdirectory_flag;
    if (languages == 0 || languages == names)
        return 0;

    // Language level: the first entry, a data entry.
    if (!directory_entries(src, &r, languages, &count) || count == 0 ||
        !directory_entry(src, &r, languages, 0, &name, &target) || (target & subdirectory_flag))
        return 0;
    uint64_t data = target;
    if (data == 0 || data == names || data == languages)
        return 0;
    unsigned char entry[16];
    if (!region_read(src, r.start + data, r.end, entry, sizeof entry))
        return 0;
    uint32_t rva = get32(entry);
    uint32_t size = get32(entry + 4);
    if (size == 0)
        return 0;

    uint64_t at;
    uint64_t end;
    if (!map_rva(src, &h, rva, &at, &end) || size > end - at)
        return 0;
    *res_offset = at;
    *res_size = size;
    return 1;
}

struct memory_image {
    const unsigned char *bytes;
};

static int memory_read(void *ctx, uint64_t offset, unsigned char *buf, size_t n)
{
    const memory_image *m = static_cast<const memory_image *>(ctx);
    std::memcpy(buf, m->bytes + offset, n);
    return 1;
}

int pe_find_version_resource(const unsigned char *image, size_t len, size_t *res_offset, size_t *res_size)
{
    if (!image || !res_offset || !res_size)
        return 0;
    memory_image m = {image};
    pe_source src = {len, memory_read, &m};
    uint64_t offset;
    uint32_t size;
    if (!pe_find_version_resource_in(&src, &offset, &size))
        return 0;
    *res_offset = static_cast<size_t>(offset);
    *res_size = size;
    return 1;
}

// ---------------------------------------------------------------------------------------
// The VS_VERSIONINFO tree.
//
// A node: wLength (the node with its children), wValueLength, wType (1 text, 0 binary),
// the key in 16-bit characters with its terminator, padding to 4 bytes, the value,
// padding to 4 bytes, the children. Padding counts from the start of the tree.
// wValueLength counts characters for texts, bytes for binary values.

struct version_node {
    size_t start;
    size_t end;
    size_t key;      // offset of the key
    size_t key_len;  // characters, without the terminator
    size_t value;    // offset of the value
    size_t value_len;
    size_t children; // offset of the first child (end when there are none)
    uint32_t type;
};

static size_t align4(size_t offset)
{
    return (offset + 3) & ~static_cast<size_t>(3);
}

// Reads the node at start, which must lie within [start, limit). 0 when its length is
// too small for its header or reaches past limit, or its key is not terminated in it.
static int read_node(const unsigned char *block, size_t start, size_t limit, version_node *n)
{
    const size_t header = 6;
    if (start > limit || limit - start < header)
        return 0;
    size_t length = get16(block + start);
    if (length < header || length > limit - start)
        return 0;
    size_t end = start + length;
    size_t declared = get16(block + start + 2);
    uint32_t type = get16(block + start + 4);

    size_t key = start + header;
    size_t p = key;
    for (;;) {
        if (end - p < 2)
            return 0;
        uint32_t c = get16(block + p);
        p += 2;
        if (c == 0)
            break;
    }

    size_t value = align4(p);
    if (value > end)
        value = end;
    size_t value_len = type != 0 ? declared * 2 : declared;
    if (value_len > end - value)
        value_len = end - value;
    size_t children = align4(value + value_len);
    if (children > end)
        children = end;

    n->start = start;
    n->end = end;
    n->key = key;
    n->key_len = (p - key) / 2 - 1;
    n->value = value;
    n->value_len = value_len;
    n->children = children;
    n->type = type;
    return 1;
}

static uint32_t fold(uint32_t c)
{
    return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}

static int key_equals(const unsigned char *block, const version_node *n, const char *name, size_t len)
{
    if (n->key_len != len)
        return 0;
    for (size_t i = 0; i < len; i++) {
        if (fold(get16(block + n->key + 2 * i)) != fold(static_cast<unsigned char>(name[i])))
            return 0;
    }
    return 1;
}

// The child of parent named name[0..len), searched in order; the search stops at the
// first child that can't be read.
static int find_child(const unsigned char *block, const version_node *parent, const char *name, size_t len,
                      version_node *out)
{
    size_t p = parent->children;
    while (p < parent->end) {
        version_node child;
        if (!read_node(block, p, parent->end, &child))
            return 0;
        if (key_equals(block, &child, name, len)) {
            *out = child;
            return 1;
        }
        p = align4(child.end);
    }
    return 0;
}

int version_block_query(const unsigned char *block, size_t block_len, const char *sub_block,
                        const unsigned char **value, uint32_t *value_len, int *is_text)
{
    if (!block || !value || !value_len || !is_text)
        return 0;
    if (!sub_block)
        sub_block = "";

    version_node node;
    if (!read_node(block, 0, block_len, &node))
        return 0;
    const char *p = sub_block;
    while (*p) {
        if (*p == '\\') {
            p++;
            continue;
        }
        const char *stop = p;
        while (*stop && *stop != '\\')
            stop++;
        size_t len = static_cast<size_t>(stop - p);
        version_node child;
        if (!find_child(block, &node, p, len, &child))
            return 0;
        node = child;
        p = stop;
    }

    *value = block + node.value;
    *value_len = static_cast<uint32_t>(node.value_len);
    *is_text = node.type != 0 ? VERSION_VALUE_UTF16 : VERSION_VALUE_BINARY;
    return 1;
}

// ---------------------------------------------------------------------------------------
// The host layer's version information block.

static const unsigned char block_mark[4] = {'F', 'E', '2', 'X'};

uint32_t version_host_block_size(const unsigned char *res, size_t avail)
{
    if (!res || avail < 6)
        return 0;
    uint32_t root = get16(res);
    if (root < 6)
        return 0;
    return 2 * root + 8;
}

int version_host_block_fill(const unsigned char *res, size_t res_len, unsigned char *block, size_t block_size)
{
    uint32_t size = version_host_block_size(res, res_len);
    if (size == 0 || !block || block_size < size)
        return 0;
    size_t root = get16(res);
    size_t copied = res_len < root ? res_len : root;
    std::memmove(block, res, copied);
    std::memset(block + copied, 0, size - copied);
    std::memcpy(block + root, block_mark, sizeof block_mark);
    return 1;
}

int version_host_block_query(void *block, const char *sub_block, void **value, uint32_t *len)
{
    if (!block || !value || !len)
        return 0;
    unsigned char *b = static_cast<unsigned char *>(block);
    size_t root = get16(b);
    const unsigned char *found;
    uint32_t found_len;
    int kind;
    if (!version_block_query(b, root, sub_block, &found, &found_len, &kind))
        return 0;
    size_t at = static_cast<size_t>(found - b);
    if (kind == VERSION_VALUE_BINARY) {
        *value = b + at;
        *len = found_len;
        return 1;
    }

    // The 8-bit copy goes to the same offset in the area behind the mark. A text of n
    // 16-bit characters at offset p takes [p, p + 2n) of the resource and [p, p + n + 1)
    // of the area, which is longer than the resource: the copy fits.
    unsigned char *out = b + root + sizeof block_mark + at;
    size_t chars = found_len / 2;
    size_t i = 0;
    for (; i < chars; i++) {
        uint32_t c = get16(b + at + 2 * i);
        if (c == 0)
            break;
        out[i] = static_cast<unsigned char>(c > 0xFF ? '?' : c);
    }
    out[i] = 0;
    *value = out;
    *len = chars == 0 ? 0 : static_cast<uint32_t>(i + 1);
    return 1;
}
