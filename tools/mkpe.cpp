// mkpe: writes a small PE file with a version resource.
//
//   mkpe [--pe32|--pe32plus] [--version TEXT] [--translation LANG CP] [--table KEY]
//        [--no-resource] [--no-varfileinfo] [--no-fileversion] OUTPUT
//
// LANG and CP are four hexadecimal digits each (--translation 0409 04b0); KEY is the
// string table's key (default: LANG and CP run together, "040904b0").
#include "tools/pe_writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

static void usage()
{
    std::fprintf(stderr,
                 "usage: mkpe [--pe32|--pe32plus] [--version TEXT] [--translation LANG CP] [--table KEY]\n"
                 "            [--no-resource] [--no-varfileinfo] [--no-fileversion] OUTPUT\n");
}

// Four hexadecimal digits.
static int parse_hex16(const char *text, uint16_t *out)
{
    if (std::strlen(text) != 4)
        return 0;
    unsigned v = 0;
    for (const char *p = text; *p; p++) {
        char c = *p;
        unsigned d;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else
            return 0;
        v = v * 16 + d;
    }
    *out = static_cast<uint16_t>(v);
    return 1;
}

int main(int argc, char **argv)
{
    pe_options options;
    const char *output = nullptr;
    for (int i = 1; i < argc; i++) {
        const char *a = argv[i];
        if (std::strcmp(a, "--pe32") == 0) {
            options.pe32plus = false;
        } else if (std::strcmp(a, "--pe32plus") == 0) {
            options.pe32plus = true;
        } else if (std::strcmp(a, "--version") == 0 && i + 1 < argc) {
            options.file_version = argv[++i];
        } else if (std::strcmp(a, "--translation") == 0 && i + 2 < argc) {
            if (!parse_hex16(argv[i + 1], &options.language) || !parse_hex16(argv[i + 2], &options.code_page)) {
                std::fprintf(stderr, "mkpe: --translation wants two groups of four hexadecimal digits\n");
                return 2;
            }
            i += 2;
        } else if (std::strcmp(a, "--table") == 0 && i + 1 < argc) {
            options.table_key = argv[++i];
        } else if (std::strcmp(a, "--no-resource") == 0) {
            options.no_resource = true;
        } else if (std::strcmp(a, "--no-varfileinfo") == 0) {
            options.no_var_file_info = true;
        } else if (std::strcmp(a, "--no-fileversion") == 0) {
            options.no_file_version = true;
        } else if (a[0] == '-' && a[1] != '\0') {
            usage();
            return 2;
        } else if (!output) {
            output = a;
        } else {
            usage();
            return 2;
        }
    }
    if (!output) {
        usage();
        return 2;
    }
    if (!pe_write_file(output, options)) {
        std::fprintf(stderr, "mkpe: can't write %s\n", output);
        return 1;
    }
    return 0;
}
