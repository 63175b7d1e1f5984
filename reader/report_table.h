// A fleet's reports as one CSV table (RFC 4180, UTF-8, CR LF): one row per report, the
// facts that tell hosts apart, then one column per inventory path with its version.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "codepage.h"
#include "report.h"

namespace telinv_read {

// What one report gives the table; made from a report, so that the report itself need
// not be kept while the others are read.
struct TableRow {
    std::vector<std::string> facts; // the fixed columns, in order
    std::vector<std::pair<std::string, std::string>> versions; // path, version or "Not Found"
};

// The fixed columns' headings.
const std::vector<std::string> &table_columns();

TableRow table_row(const Report &r, const Codepage &cp);
// The row of a report that could not be read: its name and why.
TableRow failed_row(const std::string &file, const std::string &why);

// The whole table: the heading row, then the rows; the inventory columns are the union of
// the rows' paths in the order in which they first appear.
std::string csv_table(const std::vector<TableRow> &rows);

// One CSV field, quoted where RFC 4180 asks for it.
std::string csv_field(const std::string &text);

} // namespace telinv_read
