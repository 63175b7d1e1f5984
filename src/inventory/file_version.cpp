#include "inventory/inventory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

static char version_text[VERSION_TEXT_SIZE];

const char *file_version(const char *path)
{
    uint32_t size = plat_file_version_info_size(path);
    if (size == 0)
        return nullptr;
    void *block = std::malloc(size);
    if (!block)
        return nullptr;
    const char *result = nullptr;
    void *value = nullptr;
    uint32_t len = 0;
    if (plat_file_version_info(path, size, block) &&
        plat_ver_query_value(block, "\\VarFileInfo\\Translation", &value, &len) && value && len >= 4) {
        // Only the first translation entry counts: language, then code page.
        const unsigned char *t = static_cast<const unsigned char *>(value);
        unsigned language = t[0] | (t[1] << 8);
        unsigned code_page = t[2] | (t[3] << 8);
        char query[260];
        std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", language, code_page, "FileVersion");
        void *text = nullptr;
        uint32_t text_len = 0;
        if (plat_ver_query_value(block, query, &text, &text_len) && text) {
            // The text runs to its terminator. Resource compilers disagree on the length
            // they store, so the length bounds the text only where the text does not
            // lie inside the block; the copy is cut to the buffer either way.
            const char *s = static_cast<const char *>(text);
            const char *block_start = static_cast<const char *>(block);
            size_t limit = text_len;
            if (s >= block_start && s < block_start + size)
                limit = static_cast<size_t>(block_start + size - s);
            size_t n = 0;
            while (n < limit && n < sizeof version_text - 1 && s[n] != '\0')
                n++;
            std::memcpy(version_text, s, n);
            version_text[n] = '\0';
            result = version_text;
        }
    }
    std::free(block);
    return result;
}
