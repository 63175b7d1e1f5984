// The fleet page as one self-contained HTML file: UTF-8, its style and script inline and
// allowed by their hashes, a Content-Security-Policy that lets nothing load, and every text
// of a report escaped for where it stands. The page is complete without script (the tables
// in host order); with it the fleet table sorts and filters.
#pragma once

#include <string>
#include <string_view>

#include "file_io.h"
#include "fleet.h"

namespace telinv_read {

// The page's style and script, with the hex SHA-256 of each (fleet_page_assets.cpp, made
// at build time from fleet_page.css and fleet_page.js).
extern const char fleet_page_css[];
extern const char fleet_page_css_sha256[];
extern const char fleet_page_js[];
extern const char fleet_page_js_sha256[];

// Appends a UTF-8 text as element text: & < > as references; C0 control characters and
// DEL, which HTML has no place for, as the visible signs of the Control Pictures block.
void append_html_text(std::string &out, std::string_view utf8);
// The same for a double-quoted attribute's value: also " and ' as references.
void append_html_attribute(std::string &out, std::string_view utf8);

// A Content-Security-Policy hash source ('sha256-...', base64) from a hex SHA-256.
std::string csp_hash_source(std::string_view sha256_hex);

// The page's Content-Security-Policy.
std::string fleet_page_policy();

void write_fleet_html(Output &out, const FleetPage &page);

} // namespace telinv_read
