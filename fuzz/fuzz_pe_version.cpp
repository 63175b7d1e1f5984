// Fuzzes the version resource reader: finding the resource in a PE image, walking its
// version tree and the host layer's block with its 8-bit copies of texts.
//
// When the input is no PE image with a version resource, the input itself is taken as
// the version tree, so that the tree walk is reached without a valid image around it.
#include "platform/host/pe_version.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

static void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz_pe_version: %s\n", what);
        std::abort();
    }
}

static const char *const paths[] = {"\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904b0\\FileVersion"};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const unsigned char *res = data;
    size_t res_len = size;
    size_t offset;
    size_t len;
    if (pe_find_version_resource(data, size, &offset, &len)) {
        check(offset <= size && len <= size - offset && len > 0, "resource outside the image");
        res = data + offset;
        res_len = len;
    }

    // The tree walk on its own, over a copy of exactly the resource's bytes.
    std::vector<unsigned char> tree(res, res + res_len);
    for (const char *path : paths) {
        const unsigned char *value;
        uint32_t value_len;
        int kind;
        if (version_block_query(tree.data(), tree.size(), path, &value, &value_len, &kind))
            check(value >= tree.data() && value_len <= tree.size() - static_cast<size_t>(value - tree.data()),
                  "value outside the tree");
    }

    // The host block, queried as the file version probe queries it.
    uint32_t block_size = version_host_block_size(res, res_len);
    if (block_size == 0)
        return 0;
    std::vector<unsigned char> block(block_size);
    check(version_host_block_fill(res, res_len, block.data(), block.size()) == 1, "block not filled");
    char path[300];
    std::snprintf(path, sizeof path, "%s", paths[2]);
    for (int i = 0; i < 4; i++) {
        const char *q = i < 3 ? paths[i] : path;
        void *v;
        uint32_t n;
        if (!version_host_block_query(block.data(), q, &v, &n))
            continue;
        const unsigned char *p = static_cast<const unsigned char *>(v);
        check(p >= block.data() && n <= block.size() - static_cast<size_t>(p - block.data()), "value outside the block");
        if (i == 1 && n >= 4)
            std::snprintf(path, sizeof path, "\\StringFileInfo\\%04x%04x\\FileVersion", p[0] | (p[1] << 8),
                          p[2] | (p[3] << 8));
        // Texts are copies in the area behind the resource, terminated, n counting the
        // terminator.
        size_t root = static_cast<size_t>(block[0]) | (static_cast<size_t>(block[1]) << 8);
        if (p >= block.data() + root + 4 && n > 0)
            check(std::strlen(static_cast<const char *>(v)) + 1 == n, "text length");
    }
    return 0;
}
