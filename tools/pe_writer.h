// Writes small PE files that carry a version resource: test inputs, and files of the
// sample host where no Windows resource compiler is at hand.
//
// The image is a resource-only DLL as a linker lays it out: an MS-DOS header and stub,
// the PE signature, the COFF header, the optional header (PE32 or PE32+) with the
// resource data directory, and one ".rsrc" section (file alignment 0x200, section
// alignment 0x1000) holding a resource directory of type 16 (version), id 1,
// language 0x409. Windows' GetFileVersionInfo reads it.
#ifndef TELINV_TOOLS_PE_WRITER_H
#define TELINV_TOOLS_PE_WRITER_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct pe_options {
    bool pe32plus = false;              // PE32+ (x64) instead of PE32 (x86)
    std::string file_version = "1.0.0.0"; // the "FileVersion" text, 8-bit, any length that fits
    uint16_t language = 0x0409;         // the \VarFileInfo\Translation pair
    uint16_t code_page = 0x04b0;
    std::string table_key;              // the string table's key; empty: "%04x%04x" of the pair
    bool no_resource = false;           // no version resource (the image holds an RT_RCDATA only)
    bool no_var_file_info = false;      // no \VarFileInfo block, so no translation
    bool no_file_version = false;       // the string table holds "ProductName" only
};

// Where the parts of an image made by pe_image lie (file offsets).
struct pe_layout {
    size_t nt_headers;     // "PE\0\0"
    size_t optional_header;
    size_t resource_entry; // the optional header's resource data directory entry
    size_t section_table;
    size_t resource_dir;   // the root of the resource directory
    size_t data_entry;     // the resource's data entry
    size_t data;           // the resource's bytes
    size_t data_size;
};

// The VS_VERSIONINFO bytes for options: VS_FIXEDFILEINFO (the four numbers taken from the
// text when it is one to four dotted decimal numbers, else zeros), \StringFileInfo with
// one table, \VarFileInfo\Translation. Empty when it would exceed 64 KiB.
std::vector<unsigned char> pe_version_resource(const pe_options &options);

// A whole image for options; empty when the resource does not fit.
std::vector<unsigned char> pe_image(const pe_options &options, pe_layout *layout = nullptr);

// An image whose only resource is data, of the given type (16 for a version resource),
// id 1, language 0x409. Tests use it for resources built by hand.
std::vector<unsigned char> pe_image_with_resource(bool pe32plus, uint16_t type, const std::vector<unsigned char> &data,
                                                  pe_layout *layout = nullptr);

// Writes the image for options to a file: 1 on success.
int pe_write_file(const char *path, const pe_options &options);

#endif
