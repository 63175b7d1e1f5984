// Stand-in for wmic: "wmic.exe /OUTPUT:<file> <class> GET <property>".
//
// Writes what the system's tool writes for such a query: 16-bit little-endian text with
// a byte-order mark, a heading line (the property name), one row per instance, each
// padded with blanks to the widest text plus two, lines ended by CR LF, and an empty
// line at the end. Without /OUTPUT: the same bytes go to standard output.
//
// The values come from wmic.txt next to the program when it exists, one "Property=value"
// line per row (a property may have several rows, as VOLUME GET DeviceID does); a line
// "Property" alone gives the heading and no value row; lines starting with ';' are
// comments. Otherwise the canned values below stand. A property without any value gives
// the byte-order mark alone.
//
// TELINV_STANDIN_DELAY_MS in the environment delays the answer. wmic.mode next to the
// program, when its first line is "list-handles", makes it write the paths of the files
// it holds open (those it inherited included) to wmic-<property>.handles beside it.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/standin/standin.h"

struct canned_row {
    const char *property;
    const char *value;
};

static const canned_row canned[] = {
    {"Name", "SAMPLE-PBX"},
    {"DeviceID", "\\\\?\\Volume{4d36e967-e325-11ce-bfc1-08002be10318}\\"},
    {"DeviceID", "\\\\?\\Volume{6f1c2b7a-0d4e-11d0-9e43-806d6172696f}\\"},
    {"ProcessorId", "BFEBFBFF000306A9"},
};

// The property's rows; *heading tells whether the output has a heading even without rows.
static std::vector<std::string> rows_for(const std::string &property, bool *heading)
{
    std::vector<std::string> rows;
    std::vector<std::string> lines;
    *heading = false;
    if (standin_data_lines("wmic.txt", &lines)) {
        for (const std::string &line : lines) {
            size_t eq = line.find('=');
            if (line.empty() || line[0] == ';')
                continue;
            if (eq == std::string::npos) {
                *heading = *heading || standin_same_text(line, property);
                continue;
            }
            if (standin_same_text(line.substr(0, eq), property))
                rows.push_back(line.substr(eq + 1));
        }
        return rows;
    }
    for (const canned_row &row : canned)
        if (standin_same_text(row.property, property))
            rows.push_back(row.value);
    return rows;
}

static void put_wide(std::string *out, const std::string &text)
{
    for (char c : text) {
        *out += c;
        *out += '\0';
    }
}

int main(int argc, char **argv)
{
    std::string output_file;
    std::string property;
    for (int i = 1; i < argc; i++) {
        std::string arg = argv[i];
        if (arg.size() > 8 && standin_same_text(arg.substr(0, 8), "/OUTPUT:"))
            output_file = arg.substr(8);
        else if (standin_same_text(arg, "GET") && i + 1 < argc)
            property = argv[++i];
    }
    if (property.empty()) {
        std::fprintf(stderr, "Invalid query\n");
        return 1;
    }
    standin_delay();
    std::vector<std::string> mode;
    if (standin_data_lines("wmic.mode", &mode) && !mode.empty() && mode[0] == "list-handles")
        standin_list_open_files(("wmic-" + property + ".handles").c_str());

    bool heading = false;
    std::vector<std::string> rows = rows_for(property, &heading);
    std::string bytes = "\xff\xfe";
    if (!rows.empty() || heading) {
        size_t width = property.size();
        for (const std::string &row : rows)
            if (row.size() > width)
                width = row.size();
        put_wide(&bytes, property + std::string(width + 2 - property.size(), ' ') + "\r\n");
        for (const std::string &row : rows)
            put_wide(&bytes, row + std::string(width + 2 - row.size(), ' ') + "\r\n");
        put_wide(&bytes, "\r\n");
    }

    FILE *out = stdout;
    if (!output_file.empty()) {
        out = std::fopen(standin_native_path(output_file).c_str(), "wb");
        if (!out) {
            std::fprintf(stderr, "Invalid file name.\n");
            return 1;
        }
    } else {
        standin_binary_stdout();
    }
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    if (out != stdout)
        std::fclose(out);
    return 0;
}
