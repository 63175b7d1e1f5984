// The model as JSON (telinv-report.schema.json). The raw lines are written as they are
// read, so that a report of some megabytes is never held twice in memory; the typed views
// are built as small JSON values.
#pragma once

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "codepage.h"
#include "file_io.h"
#include "report.h"

namespace telinv_read {

using Json = nlohmann::ordered_json;

// Appends a UTF-8 text as a JSON string, quotes included; or only its escaped characters.
void append_json_string(std::string &out, std::string_view utf8);
void append_json_escaped(std::string &out, std::string_view utf8);

// A value's JSON text: compact, invalid UTF-8 replaced (no exception).
std::string dump(const Json &value);
// The same, indented by `indent` blanks per level and `base` blanks in front of every
// line after the first, for a value that stands nested in a larger text.
std::string dump_indented(const Json &value, int base);

// Decodes a span of the report and makes it a JSON value (null for none).
Json text_json(const Report &r, const Codepage &cp, const std::optional<Span> &span);

// Writes one report's JSON object, its lines indented by `base` blanks.
void write_report_json(Output &out, const Report &r, const Codepage &cp, int base);

// The JSON object for a report that could not be read: {"file": ..., "error": ...}.
Json failure_json(const std::string &file, const std::string &message);

} // namespace telinv_read
