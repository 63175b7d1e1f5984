// Fuzzes the file copies over arbitrary content (binary bytes, NULs, CRs, Ctrl-Z):
// copy_file_section writes, for each piece of at most 2047 characters, its text in
// front of the first CR or LF (after leading ones) unless that is empty or begins with
// "#"; dump_pbxcards writes every piece of at most 4095 characters up to its first NUL.
#include <cstdlib>
#include <cstring>
#include <string>

#include "collect/collect_internal.h"
#include "collect_fuzz.h"
#include "install/install_internal.h"

static std::string model_section(const std::string &text)
{
    std::string out;
    for_each_piece(text, SECTION_LINE_SIZE, [&](const std::string &piece) {
        std::string s = piece.c_str(); // strtok sees the piece up to its first NUL
        size_t begin = s.find_first_not_of("\r\n");
        if (begin == std::string::npos)
            return;
        size_t end = s.find_first_of("\r\n", begin);
        std::string token = s.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        if (token[0] != '#')
            out += token + "\n";
    });
    return out;
}

static std::string model_cards(const std::string &text)
{
    std::string out;
    for_each_piece(text, CARDS_LINE_SIZE, [&](const std::string &piece) { out += piece.c_str(); });
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static bool installed = false;
    if (!installed) {
        // The installation directory C:\fuzz, through the simulated registry.
        std::string reg = fuzz_host_root() + "/registry.reg";
        FILE *f = fopen(reg.c_str(), "w");
        if (!f)
            std::abort();
        fputs("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\MIRDEN\\MIRDEN.KESTRA\\AllVersions]\n"
              "\"InstallationDirectory\"=\"C:\\\\fuzz\"\n",
              f);
        fclose(f);
        host_reset();
        installed = std::strcmp(install_dir(), "C:\\fuzz") == 0;
        if (!installed)
            std::abort();
    }
    std::string text = text_mode_text(data, size);

    std::string path = fuzz_input_file("act.cfg", data, size);
    memory_report section;
    copy_file_section(section.stream, path.c_str());
    if (section.text() != model_section(text))
        std::abort();

    fuzz_input_file("pbxcards.log", data, size);
    memory_report cards;
    dump_pbxcards(cards.stream);
    if (cards.text() != model_cards(text))
        std::abort();
    return 0;
}
