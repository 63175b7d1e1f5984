// Version resources of Windows executables, read without Windows.
//
// Pure functions over bytes: finding the RT_VERSION resource of a PE32 or PE32+ file,
// walking the VS_VERSIONINFO tree in it, and the version information block that the
// host layer hands to its callers (the resource followed by room for 8-bit copies of
// its texts, as the Windows version functions lay it out). Nothing here opens a file;
// the file reading lives in version_info.cpp.
//
// Every function takes arbitrary, possibly hostile bytes: bad input gives 0, never a
// read outside the given range.
#ifndef TELINV_PLATFORM_HOST_PE_VERSION_H
#define TELINV_PLATFORM_HOST_PE_VERSION_H

#include <cstddef>
#include <cstdint>

// A source of file bytes. read fills buf with the n bytes at offset and returns 1, or
// returns 0 when it can't. Callers never ask for bytes at or past size.
struct pe_source {
    uint64_t size;
    int (*read)(void *ctx, uint64_t offset, unsigned char *buf, size_t n);
    void *ctx;
};

// Finds the first version resource (type 16) of a PE32 or PE32+ image: the first
// name entry under the type, its first language entry, the data entry's address mapped
// to a file offset through the section table. Returns 1 with the resource's offset and
// size in the source (a non-empty range that lies inside it), else 0.
int pe_find_version_resource_in(const pe_source *src, uint64_t *res_offset, uint32_t *res_size);

// The same over a whole file image in memory: on success [*res_offset, *res_offset +
// *res_size) lies inside image[0..len).
int pe_find_version_resource(const unsigned char *image, size_t len, size_t *res_offset, size_t *res_size);

// Kinds of value that version_block_query finds.
enum {
    VERSION_VALUE_BINARY = 0, // raw bytes ("\", "\VarFileInfo\Translation")
    VERSION_VALUE_UTF16 = 1   // 16-bit little-endian text
};

// Walks a VS_VERSIONINFO tree in the 32-bit layout of PE files (nodes of wLength,
// wValueLength, wType and a 16-bit key) for the node named by a backslash-separated path
// ("\", "\VarFileInfo\Translation", "\StringFileInfo\040904b0\FileVersion"); empty
// path components are skipped, so "" and "\" both name the root. Keys compare without
// regard to ASCII case.
// On success *value points at the node's value inside block, *value_len is its size in
// bytes (never reaching past the node) and *is_text one of VERSION_VALUE_*; returns 1.
// A node whose length is too small for its header or reaches past its parent ends the
// search below that parent: what follows it is not looked at.
int version_block_query(const unsigned char *block, size_t block_len, const char *sub_block,
                        const unsigned char **value, uint32_t *value_len, int *is_text);

// The version information block of the host layer. Layout, for a resource whose root
// node says it is W bytes long:
//   [0, W)          the resource as found in the file (zeros where the file had less)
//   [W, W + 4)      "FE2X"
//   [W + 4, 2W + 8) zeros; a text found at offset p of the resource is copied, in 8-bit
//                   form and terminated, to offset W + 4 + p
// Size of that block for a resource whose first bytes are res[0..avail): 0 when the
// resource can't be a version resource (fewer than 6 bytes, or a root length below 6).
uint32_t version_host_block_size(const unsigned char *res, size_t avail);

// Builds the block from the resource bytes res[0..res_len) (the resource's first W
// bytes suffice). Returns 0 when block_size is smaller than version_host_block_size.
int version_host_block_fill(const unsigned char *res, size_t res_len, unsigned char *block, size_t block_size);

// VerQueryValueA over a block built by version_host_block_fill: a binary value points
// at its bytes, *len its size in bytes; a text is copied to the block's 8-bit area (a
// 16-bit character above 0xFF becomes '?', the copy stops at the first null
// character), *value points at the copy and *len is its length in characters with the
// terminator (0 for a value of no characters). Returns 1, or 0 when the value is not
// there.
int version_host_block_query(void *block, const char *sub_block, void **value, uint32_t *len);

#endif
