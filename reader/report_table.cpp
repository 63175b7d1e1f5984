#include "report_table.h"

#include <unordered_map>

#include "text.h"

namespace telinv_read {

namespace {

enum Column { col_report, col_time, col_computer_name, col_windows_version, col_service_pack, col_memory,
              col_processor, col_mac_addresses, col_not_found, col_errors, col_note, column_count };

} // namespace

const std::vector<std::string> &table_columns()
{
    static const std::vector<std::string> columns = {
        "report", "time", "computer_name", "windows_version", "service_pack", "memory",
        "processor", "mac_addresses", "not_found", "errors", "note"};
    return columns;
}

TableRow table_row(const Report &r, const Codepage &cp)
{
    TableRow row;
    row.facts.resize(column_count);
    auto text = [&](const std::optional<Span> &s) { return s ? cp.decode(trim(r.text(*s))) : std::string(); };
    const Sysinfo &si = r.sysinfo;
    row.facts[col_report] = r.file;
    row.facts[col_time] = !r.header.iso_time.empty() ? r.header.iso_time : text(r.header.time);
    // The name that wmic or the system gave (Windows 6 and later), else the variable's.
    row.facts[col_computer_name] = text(si.facts[fact_computer_name]);
    if (row.facts[col_computer_name].empty())
        row.facts[col_computer_name] = text(si.facts[fact_computername_variable]);
    row.facts[col_windows_version] = text(si.facts[fact_windows_version]);
    row.facts[col_service_pack] = text(si.facts[fact_service_pack]);
    // Megabytes as the report counts them (units of 1,024,000 bytes).
    std::string memory = text(si.facts[fact_memory]);
    if (ends_with(memory, "Mb") && parse_integer(std::string_view(memory).substr(0, memory.size() - 2)))
        memory.resize(memory.size() - 2);
    row.facts[col_memory] = memory;
    row.facts[col_processor] = text(si.facts[fact_processor]);
    std::string macs;
    for (Span m : si.mac_addresses)
        macs += (macs.empty() ? "" : " ") + cp.decode(trim(r.text(m)));
    row.facts[col_mac_addresses] = macs;
    std::size_t not_found = 0;
    for (const InventoryEntry &e : r.inventory)
        if (!e.version)
            not_found++;
    row.facts[col_not_found] = std::to_string(not_found);
    row.facts[col_errors] = std::to_string(r.errors.size());
    std::string note;
    if (r.short_report)
        note = "short report";
    if (r.truncated)
        note += std::string(note.empty() ? "" : "; ") + "cut off";
    row.facts[col_note] = note;
    for (const InventoryEntry &e : r.inventory)
        row.versions.emplace_back(cp.decode(r.text(e.path)), e.version ? cp.decode(r.text(*e.version)) : "Not Found");
    return row;
}

TableRow failed_row(const std::string &file, const std::string &why)
{
    TableRow row;
    row.facts.resize(column_count);
    row.facts[col_report] = file;
    row.facts[col_note] = why;
    return row;
}

std::string csv_field(const std::string &text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string csv_table(const std::vector<TableRow> &rows)
{
    std::vector<std::string> paths;
    std::unordered_map<std::string, std::size_t> column_of;
    for (const TableRow &row : rows)
        for (const auto &pv : row.versions)
            if (column_of.emplace(pv.first, paths.size()).second)
                paths.push_back(pv.first);

    std::string out;
    auto line = [&](const std::vector<std::string> &cells) {
        for (std::size_t i = 0; i < cells.size(); i++) {
            if (i > 0)
                out += ',';
            out += csv_field(cells[i]);
        }
        out += "\r\n";
    };
    std::vector<std::string> heading = table_columns();
    heading.insert(heading.end(), paths.begin(), paths.end());
    line(heading);
    for (const TableRow &row : rows) {
        std::vector<std::string> cells = row.facts;
        cells.resize(table_columns().size() + paths.size());
        for (const auto &pv : row.versions) {
            std::string &cell = cells[table_columns().size() + column_of[pv.first]];
            if (cell.empty()) // a path listed twice: its first line counts
                cell = pv.second;
        }
        line(cells);
    }
    return out;
}

} // namespace telinv_read
