// The model of one telinv report: its header, its sections in order with their raw lines,
// and typed views of what the report lays out in columns or fields (the inventory, the
// directory listings, the mail settings, the system facts, the error lines, the log
// excerpts). Every text is a span of the report's own bytes, in the code page of the host
// that wrote it; the raw lines keep every byte, so the report can be written back exactly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace telinv_read {

// Bounds of what is read as a report. Reports are some megabytes; a file beyond these is
// refused rather than read into memory whole.
constexpr std::size_t max_report_bytes = std::size_t(1) << 30; // 1 GiB
constexpr std::size_t max_report_lines = std::size_t(1) << 24; // 16,777,216 lines

// A report that can't be read, with the reason for a person.
class ReportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where a text stands in the report's bytes.
struct Span {
    std::uint32_t offset = 0;
    std::uint32_t size = 0;
};

enum class LineEnd { crlf, lf };

// A report's bytes, read-only: a string of their own, or memory that another owner keeps
// (the file's pages mapped into memory, which spares the copy of a report of megabytes).
// Copies share that memory.
class ReportBytes {
public:
    ReportBytes() = default;
    ReportBytes(std::string bytes) : owned_(std::move(bytes)) {}
    // size bytes at data, kept as long as `keeper` is (or one of its copies).
    ReportBytes(std::shared_ptr<const void> keeper, const char *data, std::size_t size)
        : keeper_(std::move(keeper)), data_(data), size_(size)
    {
    }

    const char *data() const { return keeper_ ? data_ : owned_.data(); }
    std::size_t size() const { return keeper_ ? size_ : owned_.size(); }
    bool empty() const { return size() == 0; }
    char operator[](std::size_t i) const { return data()[i]; }
    const char *begin() const { return data(); }
    const char *end() const { return data() + size(); }
    std::string_view view() const { return std::string_view(data(), size()); }
    operator std::string_view() const { return view(); }
    // Whether the bytes are memory another owner keeps rather than a string of their own.
    bool borrowed() const { return keeper_ != nullptr; }

private:
    std::string owned_;
    std::shared_ptr<const void> keeper_;
    const char *data_ = nullptr;
    std::size_t size_ = 0;
};

// What a section is, by its banner and its place in the order of the report.
enum class SectionKind {
    preamble,      // lines between the header and the first banner (none in a real report)
    inventory,     // "version": the inventory and the GSM driver directory's listing
    netcfg,
    pbxcfg,
    time_cfg,      // a file named by a TimeCfg entry, under its own banner after pbxcfg
    actcfg,
    kamailio,      // the listing of the SIP server's directory
    voip_files,    // the listing of the VoIP directory
    voip_file,     // one VoIP file, under its own banner after voip-files
    pbxboot,
    pbxcards,
    email,
    sysinfo,
    error_log,     // the error log's excerpt; its banner is the configured name pattern
    sip_error_log, // "kamailio-err.txt", the tail of the SIP server's error file
    other,         // a banner where the report's order has none
};
const char *kind_name(SectionKind kind);

struct Section {
    bool has_banner = false; // false only for the preamble
    Span banner;             // the banner line as written
    Span name;               // the name the banner shows (cut after 40 characters)
    bool joined = false;     // the banner follows the previous line without a line end
    SectionKind kind = SectionKind::other;
    std::size_t first_line = 0; // index into Report::lines
    std::size_t line_count = 0;
};

struct Header {
    std::optional<Span> tool;    // the tool's file name
    std::optional<Span> version; // none when the header shows "(null)"
    std::optional<Span> time;    // the local time as written
    std::string iso_time;        // the same as ISO 8601 (local time, no zone), or empty
};

struct InventoryEntry {
    std::size_t line = 0;
    Span path;
    std::optional<Span> version; // none for "Not Found"
    std::int64_t bytes = 0;
    int group = 0; // 1 to 5
};

struct ListingEntry {
    std::size_t line = 0;
    Span name;
    Span date; // "dd-mm-yyyy hh:mm:ss" as written
    std::int64_t bytes = 0;
};

struct Listing {
    std::size_t section = 0;
    std::size_t heading_line = 0;
    Span directory;
    std::vector<ListingEntry> entries;
};

// The mail settings, in the order of the section.
enum EmailField { email_type, email_poll_time, email_no_esmtp, email_my_email, email_pop3_server,
                  email_pop3_user, email_smtp_server, email_smtp_user, email_field_count };

struct FieldInfo {
    const char *label;    // as the report writes it, blanks at the end left out
    const char *name;     // the name in JSON
    bool number;          // its JSON value is an integer
};
extern const std::array<FieldInfo, email_field_count> email_fields;

struct Email {
    bool present = false; // the section has the settings (it is empty when no server is set)
    std::array<std::optional<Span>, email_field_count> values;
};

// The system facts that stand once in the sysinfo section.
enum SysFact { fact_windows_version, fact_processor, fact_vendor_id, fact_mhz, fact_identifier,
               fact_memory, fact_computername_variable, fact_computer_name, fact_volume_id,
               fact_processor_id, fact_service_pack, sys_fact_count };
extern const std::array<FieldInfo, sys_fact_count> sys_facts;

// One network adapter's lines ("1. DHCP:" to "1. MAC").
enum AdapterField { adapter_dhcp, adapter_ip_address, adapter_dns, adapter_subnet_mask,
                    adapter_gateway, adapter_mac, adapter_field_count };
extern const std::array<FieldInfo, adapter_field_count> adapter_fields;

struct Adapter {
    std::int64_t number = 0;
    std::array<std::optional<Span>, adapter_field_count> values;
};

struct Sysinfo {
    bool present = false;
    std::array<std::optional<Span>, sys_fact_count> facts;
    int windows_major = -1; // -1: no Windows version line
    int windows_minor = -1;
    std::vector<Adapter> adapters;
    std::vector<Span> mac_addresses;
    std::vector<Span> updates;
    std::vector<Span> hotfixes;
    std::vector<Span> installed;
};

// A line "Error: ..." that telinv wrote for a section.
struct ErrorLine {
    std::size_t section = 0;
    std::size_t line = 0;
};

// The excerpt of the error log or of the SIP server's error file.
struct LogExcerpt {
    enum class Status { lines, empty, not_found };
    std::size_t section = 0;
    Status status = Status::lines;
    std::optional<Span> path;   // the file that was not found
    std::size_t line_count = 0; // the excerpt's lines
};

class Report {
public:
    std::string file;  // the name as given, UTF-8 (for messages and the output)
    ReportBytes bytes; // the report, as read
    LineEnd line_end = LineEnd::crlf;
    bool truncated = false; // the last line has no line end: the report was cut off
    bool short_report = false;

    Span header_line;
    Header header;
    std::vector<Section> sections;
    std::vector<Span> lines; // every section's lines, in order

    std::vector<InventoryEntry> inventory;
    std::vector<Listing> listings;
    Email email;
    Sysinfo sysinfo;
    std::vector<ErrorLine> errors;
    std::vector<LogExcerpt> logs;

    std::string_view text(Span s) const { return bytes.view().substr(s.offset, s.size); }
    std::string_view line(std::size_t i) const { return text(lines[i]); }
    std::string_view line_end_text() const { return line_end == LineEnd::crlf ? "\r\n" : "\n"; }
    // The section's lines less the empty line that ends a whole report.
    std::size_t content_count(std::size_t section) const;
    // The report's bytes made again from the header line, the banners and the lines.
    std::string rebuild() const;
};

// Reads a report's bytes into the model. Throws ReportError for what is no telinv report
// (empty, UTF-16 text, no header line, beyond the bounds above).
Report parse_report(std::string bytes, std::string file);

// The name of a banner line as the parser reads it, or none when the line is no banner;
// closed: only banners whose name's closing blank is in the line.
std::optional<std::string_view> banner_name(std::string_view line, bool closed = false);

// One line of the inventory, read as the parser reads it: the path, the version (none for
// "Not Found") and the size; false when the line is no inventory entry.
bool parse_inventory_line(std::string_view line, std::string_view &path, std::optional<std::string_view> &version,
                          std::int64_t &bytes);

// Reads the file (its name in UTF-8) and parses it; throws ReportError.
Report read_report(const std::string &path);

// A listing's date ("dd-mm-yyyy hh:mm:ss") as ISO 8601, or empty when it is no date.
std::string iso_of_listing_date(std::string_view date);

// Parses a number as the report writes it: an optional '-' and decimal digits.
std::optional<std::int64_t> parse_integer(std::string_view text);

} // namespace telinv_read
