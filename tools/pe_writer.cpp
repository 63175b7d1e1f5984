// Small PE files with a version resource.
#include "tools/pe_writer.h"

#include <cstdio>

namespace {

typedef std::vector<unsigned char> bytes;

void put16(bytes &b, size_t at, uint32_t v)
{
    b[at] = static_cast<unsigned char>(v & 0xFFu);
    b[at + 1] = static_cast<unsigned char>((v >> 8) & 0xFFu);
}

void put32(bytes &b, size_t at, uint32_t v)
{
    put16(b, at, v & 0xFFFFu);
    put16(b, at + 2, v >> 16);
}

void put64(bytes &b, size_t at, uint64_t v)
{
    put32(b, at, static_cast<uint32_t>(v & 0xFFFFFFFFu));
    put32(b, at + 4, static_cast<uint32_t>(v >> 32));
}

void append16(bytes &b, uint32_t v)
{
    b.push_back(static_cast<unsigned char>(v & 0xFFu));
    b.push_back(static_cast<unsigned char>((v >> 8) & 0xFFu));
}

void pad4(bytes &b)
{
    while (b.size() % 4 != 0)
        b.push_back(0);
}

size_t align(size_t v, size_t a)
{
    return (v + a - 1) / a * a;
}

// ---------------------------------------------------------------------------------------
// VS_VERSIONINFO nodes. Each node's length covers its header, key, value and children,
// not the padding after its last byte; children start on 4-byte boundaries.

// Starts a node at the end of b: header, key, padding. Returns the node's offset.
size_t begin_node(bytes &b, const char *key, uint32_t value_length, uint32_t type)
{
    pad4(b);
    size_t start = b.size();
    append16(b, 0); // wLength, set by end_node
    append16(b, value_length);
    append16(b, type);
    for (const char *p = key; *p; p++)
        append16(b, static_cast<unsigned char>(*p));
    append16(b, 0);
    pad4(b);
    return start;
}

void end_node(bytes &b, size_t start)
{
    put16(b, start, static_cast<uint32_t>(b.size() - start));
}

void append_string(bytes &b, const char *key, const std::string &text)
{
    size_t node = begin_node(b, key, static_cast<uint32_t>(text.size() + 1), 1);
    for (unsigned char c : text)
        append16(b, c);
    append16(b, 0);
    end_node(b, node);
}

// The four numbers of "a.b.c.d" (one to four of them); 0 when the text is not that.
int parse_version(const std::string &text, uint32_t n[4])
{
    for (int i = 0; i < 4; i++)
        n[i] = 0;
    size_t p = 0;
    int count = 0;
    while (count < 4) {
        size_t digits = 0;
        uint32_t v = 0;
        while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
            v = v * 10 + static_cast<uint32_t>(text[p] - '0');
            if (v > 0xFFFFu)
                return 0;
            p++;
            digits++;
        }
        if (digits == 0)
            return 0;
        n[count++] = v;
        if (p == text.size())
            return 1;
        if (text[p] != '.')
            return 0;
        p++;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------
// The image.

const size_t nt_offset = 0x80;
const size_t file_alignment = 0x200;
const size_t section_alignment = 0x1000;
const uint32_t rsrc_rva = 0x1000;

// The MS-DOS program that says the file needs Windows, as linkers put it in.
const unsigned char dos_stub[] = {
    0x0E, 0x1F, 0xBA, 0x0E, 0x00, 0xB4, 0x09, 0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21,
    'T', 'h', 'i', 's', ' ', 'p', 'r', 'o', 'g', 'r', 'a', 'm', ' ', 'c', 'a', 'n', 'n', 'o', 't', ' ',
    'b', 'e', ' ', 'r', 'u', 'n', ' ', 'i', 'n', ' ', 'D', 'O', 'S', ' ', 'm', 'o', 'd', 'e', '.',
    '\r', '\r', '\n', '$'};

// The .rsrc section's contents: a three-level directory with one entry per level,
// the data entry, the data.
bytes resource_section(uint16_t type, const bytes &data, size_t *data_entry, size_t *data_at)
{
    bytes s(0x58, 0);
    // Type directory at 0, name directory at 0x18, language directory at 0x30: each a
    // 16-byte header with one id entry.
    const size_t dirs[3] = {0x00, 0x18, 0x30};
    const uint32_t ids[3] = {type, 1, 0x409};
    for (int i = 0; i < 3; i++) {
        put16(s, dirs[i] + 14, 1); // NumberOfIdEntries
        put32(s, dirs[i] + 16, ids[i]);
        uint32_t target = i < 2 ? (0x80000000u | static_cast<uint32_t>(dirs[i + 1])) : 0x48u;
        put32(s, dirs[i] + 20, target);
    }
    put32(s, 0x48, rsrc_rva + 0x58);                    // OffsetToData (an address)
    put32(s, 0x4C, static_cast<uint32_t>(data.size())); // Size
    s.insert(s.end(), data.begin(), data.end());
    *data_entry = 0x48;
    *data_at = 0x58;
    return s;
}

} // namespace

std::vector<unsigned char> pe_version_resource(const pe_options &options)
{
    bytes b;
    size_t root = begin_node(b, "VS_VERSION_INFO", 52, 0);

    uint32_t n[4];
    parse_version(options.file_version, n);
    size_t fixed = b.size();
    b.resize(fixed + 52, 0);
    put32(b, fixed + 0, 0xFEEF04BDu);        // dwSignature
    put32(b, fixed + 4, 0x00010000u);        // dwStrucVersion
    put32(b, fixed + 8, (n[0] << 16) | n[1]); // dwFileVersionMS
    put32(b, fixed + 12, (n[2] << 16) | n[3]);
    put32(b, fixed + 16, (n[0] << 16) | n[1]); // dwProductVersionMS
    put32(b, fixed + 20, (n[2] << 16) | n[3]);
    put32(b, fixed + 24, 0x3Fu);             // dwFileFlagsMask
    put32(b, fixed + 32, 0x00040004u);       // dwFileOS: VOS_NT_WINDOWS32
    put32(b, fixed + 36, 2u);                // dwFileType: VFT_DLL

    std::string key = options.table_key;
    if (key.empty()) {
        char text[16];
        std::snprintf(text, sizeof text, "%04x%04x", static_cast<unsigned>(options.language),
                      static_cast<unsigned>(options.code_page));
        key = text;
    }
    size_t strings = begin_node(b, "StringFileInfo", 0, 1);
    size_t table = begin_node(b, key.c_str(), 0, 1);
    if (options.no_file_version)
        append_string(b, "ProductName", "telinv test file");
    else
        append_string(b, "FileVersion", options.file_version);
    end_node(b, table);
    end_node(b, strings);

    if (!options.no_var_file_info) {
        size_t vars = begin_node(b, "VarFileInfo", 0, 1);
        size_t var = begin_node(b, "Translation", 4, 0);
        append16(b, options.language);
        append16(b, options.code_page);
        end_node(b, var);
        end_node(b, vars);
    }
    if (b.size() > 0xFFFF)
        return bytes();
    end_node(b, root);
    return b;
}

std::vector<unsigned char> pe_image_with_resource(bool pe32plus, uint16_t type, const std::vector<unsigned char> &data,
                                                  pe_layout *layout)
{
    size_t data_entry;
    size_t data_at;
    bytes rsrc = resource_section(type, data, &data_entry, &data_at);
    size_t raw_size = align(rsrc.size(), file_alignment);
    size_t virtual_span = align(rsrc.size(), section_alignment);
    if (raw_size > 0x7FFFFFFFu)
        return bytes();

    const size_t optional_size = pe32plus ? 0xF0 : 0xE0;
    const size_t optional = nt_offset + 24;
    const size_t table = optional + optional_size;
    const size_t headers_size = align(table + 40, file_alignment);
    bytes img(headers_size + raw_size, 0);

    // MS-DOS header.
    img[0] = 'M';
    img[1] = 'Z';
    put16(img, 0x02, 0x90);   // bytes on the last page
    put16(img, 0x04, 3);      // pages
    put16(img, 0x08, 4);      // header paragraphs
    put16(img, 0x0C, 0xFFFF); // maximum extra paragraphs
    put16(img, 0x10, 0xB8);   // initial SP
    put16(img, 0x18, 0x40);   // relocation table
    put32(img, 0x3C, static_cast<uint32_t>(nt_offset));
    for (size_t i = 0; i < sizeof dos_stub; i++)
        img[0x40 + i] = dos_stub[i];

    // Signature and COFF header.
    img[nt_offset] = 'P';
    img[nt_offset + 1] = 'E';
    put16(img, nt_offset + 4, pe32plus ? 0x8664 : 0x14C); // Machine
    put16(img, nt_offset + 6, 1);                         // NumberOfSections
    put16(img, nt_offset + 20, static_cast<uint32_t>(optional_size));
    // EXECUTABLE_IMAGE | DLL, with 32BIT_MACHINE or LARGE_ADDRESS_AWARE.
    put16(img, nt_offset + 22, 0x2002u | (pe32plus ? 0x0020u : 0x0100u));

    // Optional header.
    size_t o = optional;
    put16(img, o + 0, pe32plus ? 0x20B : 0x10B);
    img[o + 2] = 14; // linker version
    put32(img, o + 8, static_cast<uint32_t>(raw_size)); // SizeOfInitializedData
    put32(img, o + 20, rsrc_rva);                        // BaseOfCode
    size_t rest; // where the fields common to both forms start
    if (pe32plus) {
        put64(img, o + 24, 0x180000000ull); // ImageBase
        rest = o + 32;
    } else {
        put32(img, o + 24, rsrc_rva);    // BaseOfData
        put32(img, o + 28, 0x10000000u); // ImageBase
        rest = o + 32;
    }
    put32(img, rest + 0, static_cast<uint32_t>(section_alignment));
    put32(img, rest + 4, static_cast<uint32_t>(file_alignment));
    put16(img, rest + 8, 5); // operating system version: 5.1 (x86), 5.2 (x64)
    put16(img, rest + 10, pe32plus ? 2 : 1);
    put16(img, rest + 16, 5); // subsystem version
    put16(img, rest + 18, pe32plus ? 2 : 1);
    put32(img, rest + 24, static_cast<uint32_t>(rsrc_rva + virtual_span)); // SizeOfImage
    put32(img, rest + 28, static_cast<uint32_t>(headers_size));           // SizeOfHeaders
    put16(img, rest + 36, 2);      // Subsystem: Windows GUI
    put16(img, rest + 38, 0x0100); // DllCharacteristics: NX_COMPAT
    size_t sizes = rest + 40;      // stack and heap reserve and commit
    size_t after;
    if (pe32plus) {
        put64(img, sizes + 0, 0x100000);
        put64(img, sizes + 8, 0x1000);
        put64(img, sizes + 16, 0x100000);
        put64(img, sizes + 24, 0x1000);
        after = sizes + 32;
    } else {
        put32(img, sizes + 0, 0x100000);
        put32(img, sizes + 4, 0x1000);
        put32(img, sizes + 8, 0x100000);
        put32(img, sizes + 12, 0x1000);
        after = sizes + 16;
    }
    put32(img, after + 4, 16); // NumberOfRvaAndSizes (after LoaderFlags)
    size_t directories = after + 8;
    size_t resource_entry = directories + 8 * 2;
    put32(img, resource_entry, rsrc_rva);
    put32(img, resource_entry + 4, static_cast<uint32_t>(rsrc.size()));

    // The section header.
    const char name[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    for (size_t i = 0; i < 8; i++)
        img[table + i] = static_cast<unsigned char>(name[i]);
    put32(img, table + 8, static_cast<uint32_t>(rsrc.size())); // VirtualSize
    put32(img, table + 12, rsrc_rva);
    put32(img, table + 16, static_cast<uint32_t>(raw_size));
    put32(img, table + 20, static_cast<uint32_t>(headers_size));
    put32(img, table + 36, 0x40000040u); // INITIALIZED_DATA | MEM_READ

    for (size_t i = 0; i < rsrc.size(); i++)
        img[headers_size + i] = rsrc[i];

    if (layout) {
        layout->nt_headers = nt_offset;
        layout->optional_header = optional;
        layout->resource_entry = resource_entry;
        layout->section_table = table;
        layout->resource_dir = headers_size;
        layout->data_entry = headers_size + data_entry;
        layout->data = headers_size + data_at;
        layout->data_size = data.size();
    }
    return img;
}

std::vector<unsigned char> pe_image(const pe_options &options, pe_layout *layout)
{
    if (options.no_resource) {
        const char text[] = "telinv";
        bytes data(text, text + sizeof text);
        return pe_image_with_resource(options.pe32plus, 10, data, layout); // RT_RCDATA
    }
    bytes res = pe_version_resource(options);
    if (res.empty())
        return bytes();
    return pe_image_with_resource(options.pe32plus, 16, res, layout);
}

int pe_write_file(const char *path, const pe_options &options)
{
    bytes img = pe_image(options);
    if (img.empty() || !path)
        return 0;
    FILE *f = std::fopen(path, "wb");
    if (!f)
        return 0;
    size_t written = std::fwrite(img.data(), 1, img.size(), f);
    int closed = std::fclose(f);
    return written == img.size() && closed == 0 ? 1 : 0;
}
