// Reading a report into the model: the lines, the header, the sections by their banners,
// then the typed views of the sections that lay out columns or fields. What does not fit
// a typed view stays in the raw lines only.
#include <algorithm>
#include <cstring>

#include "file_io.h"
#include "report.h"
#include "text.h"

namespace telinv_read {

const std::array<FieldInfo, email_field_count> email_fields = {{
    {"Type:", "type", true},
    {"PollTime:", "poll_time", true},
    {"NoESMTP:", "no_esmtp", true},
    {"MyEMail:", "my_email", false},
    {"Pop3-Server:", "pop3_server", false},
    {"Pop3-User:", "pop3_user", false},
    {"SMTP-Server:", "smtp_server", false},
    {"SMTP-User:", "smtp_user", false},
}};

// The labels of the identifier lines (no label in the report) name them for people.
const std::array<FieldInfo, sys_fact_count> sys_facts = {{
    {"WindowsVersion:", "windows_version", false},
    {"Processor:", "processor", false},
    {"VendorId:", "vendor_id", false},
    {"MHz:", "mhz", true},
    {"Identifier:", "identifier", false},
    {"PhysicalMemory:", "memory", false},
    {"Computername", "computername_variable", false},
    {"(computer name)", "computer_name", false},
    {"(volume)", "volume_id", false},
    {"(processor id)", "processor_id", false},
    {"ServicePack:", "service_pack", false},
}};

const std::array<FieldInfo, adapter_field_count> adapter_fields = {{
    {"DHCP:", "dhcp", false},
    {"IPAdresse", "ip_address", false},
    {"Dns", "dns", false},
    {"SubnetMask", "subnet_mask", false},
    {"Gateway", "gateway", false},
    {"MAC", "mac", false},
}};

const char *kind_name(SectionKind kind)
{
    switch (kind) {
    case SectionKind::preamble: return "preamble";
    case SectionKind::inventory: return "inventory";
    case SectionKind::netcfg: return "netcfg";
    case SectionKind::pbxcfg: return "pbxcfg";
    case SectionKind::time_cfg: return "time-cfg";
    case SectionKind::actcfg: return "actcfg";
    case SectionKind::kamailio: return "kamailio";
    case SectionKind::voip_files: return "voip-files";
    case SectionKind::voip_file: return "voip-file";
    case SectionKind::pbxboot: return "pbxboot";
    case SectionKind::pbxcards: return "pbxcards";
    case SectionKind::email: return "email";
    case SectionKind::sysinfo: return "sysinfo";
    case SectionKind::error_log: return "error-log";
    case SectionKind::sip_error_log: return "sip-error-log";
    case SectionKind::other: return "other";
    }
    return "other";
}

std::optional<std::int64_t> parse_integer(std::string_view text)
{
    std::size_t i = 0;
    bool negative = false;
    if (!text.empty() && text[0] == '-') {
        negative = true;
        i = 1;
    }
    if (i == text.size() || text.size() - i > 18)
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); i++) {
        if (!is_digit(text[i]))
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    return negative ? -value : value;
}

std::size_t Report::content_count(std::size_t section) const
{
    const Section &s = sections[section];
    if (section + 1 == sections.size() && !truncated && s.line_count > 0 &&
        lines[s.first_line + s.line_count - 1].size == 0)
        return s.line_count - 1;
    return s.line_count;
}

std::string Report::rebuild() const
{
    // The pieces in order: the header line, then each section's banner and lines. Each is
    // followed by the line end, except one that a joined banner continues and, in a
    // report that was cut off, the last.
    std::vector<Span> pieces;
    std::vector<bool> joined_next;
    pieces.push_back(header_line);
    for (const Section &s : sections) {
        if (s.has_banner) {
            if (s.joined)
                joined_next.back() = true;
            pieces.push_back(s.banner);
        }
        joined_next.resize(pieces.size(), false);
        for (std::size_t i = 0; i < s.line_count; i++) {
            pieces.push_back(lines[s.first_line + i]);
            joined_next.push_back(false);
        }
    }
    joined_next.resize(pieces.size(), false);
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < pieces.size(); i++) {
        out += text(pieces[i]);
        bool last = i + 1 == pieces.size();
        if (!(last && truncated) && !joined_next[i])
            out += line_end_text();
    }
    return out;
}

namespace {

const std::string_view hyphens37 = "-------------------------------------";

} // namespace

// The name of a banner line, or none when the line is no banner. A banner is 37 hyphens,
// a blank, the name, a blank and 37 hyphens, cut after 78 characters: 76 characters for
// an empty name, 77 for one of one character, 78 for longer ones. A name of 40 characters
// or more shows its first 40 and no closing hyphens. closed: only banners whose closing
// blank is in the line (names up to 39 characters).
std::optional<std::string_view> banner_name(std::string_view line, bool closed)
{
    const std::size_t n = line.size();
    if (n < 76 || n > 78 || line[0] != '-' || line.compare(0, 37, hyphens37) != 0 || line[37] != ' ')
        return std::nullopt;
    auto hyphens_from = [&](std::size_t i) { return line.find_first_not_of('-', i) == std::string_view::npos; };
    if (n == 76)
        return line[38] == ' ' && hyphens_from(39) ? std::optional<std::string_view>(line.substr(38, 0)) : std::nullopt;
    if (n == 77)
        return line[39] == ' ' && hyphens_from(40) ? std::optional<std::string_view>(line.substr(38, 1)) : std::nullopt;
    // 78 characters: the name ends at the last blank that only hyphens follow.
    std::size_t blank = line.rfind(' ');
    if (blank >= 40 && hyphens_from(blank + 1))
        return line.substr(38, blank - 38);
    if (closed)
        return std::nullopt;
    return line.substr(38, 40);
}

namespace {

// The kind of a section by its name and the kind of the section before it, in the order
// in which telinv writes them: the banners of the files that TimeCfg entries name follow
// pbxcfg, those of the VoIP files follow voip-files, and the error log's banner (its
// configured name pattern, whatever it is) follows sysinfo. The names of the fixed
// sections keep their kind anywhere else.
SectionKind next_kind(SectionKind previous, std::string_view name)
{
    if (previous == SectionKind::sysinfo)
        return SectionKind::error_log;
    if (previous == SectionKind::error_log && name == "kamailio-err.txt")
        return SectionKind::sip_error_log;
    static const struct {
        std::string_view name;
        SectionKind kind;
    } fixed[] = {
        {"version", SectionKind::inventory}, {"netcfg", SectionKind::netcfg},
        {"pbxcfg", SectionKind::pbxcfg},     {"actcfg", SectionKind::actcfg},
        {"kamailio", SectionKind::kamailio}, {"voip-files", SectionKind::voip_files},
        {"pbxboot", SectionKind::pbxboot},   {"pbxcards", SectionKind::pbxcards},
        {"email", SectionKind::email},       {"sysinfo", SectionKind::sysinfo},
    };
    for (const auto &f : fixed)
        if (f.name == name)
            return f.kind;
    if (previous == SectionKind::pbxcfg || previous == SectionKind::time_cfg)
        return SectionKind::time_cfg;
    if (previous == SectionKind::voip_files || previous == SectionKind::voip_file)
        return SectionKind::voip_file;
    return SectionKind::other;
}

// In the sections that telinv copies verbatim, a file whose last line has no line end
// leaves the next banner at the end of that line. Only there is a banner looked for
// inside a line, and only the one that can follow.
bool may_hold_joined_banner(SectionKind kind) {
    return kind == SectionKind::pbxcfg || kind == SectionKind::pbxcards || kind == SectionKind::error_log;
}

bool joined_banner_fits(SectionKind kind, std::string_view name)
{
    switch (kind) {
    case SectionKind::pbxcfg: return true; // a TimeCfg file's banner, or actcfg's
    case SectionKind::pbxcards: return name == "email";
    case SectionKind::error_log: return name == "kamailio-err.txt";
    default: return false;
    }
}

const char *const weekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool two_digits(std::string_view s, std::size_t at, int max, int *value)
{
    if (at + 2 > s.size() || !is_digit(s[at]) || !is_digit(s[at + 1]))
        return false;
    *value = (s[at] - '0') * 10 + (s[at + 1] - '0');
    return *value <= max;
}

// "yyyy-mm-ddT" and the time; the year 0 to 9999, the month and day 1 to 99.
std::string iso(int year, int month, int day, std::string_view hms)
{
    std::string out = "0000-00-00T";
    out[0] = static_cast<char>('0' + year / 1000);
    out[1] = static_cast<char>('0' + year / 100 % 10);
    out[2] = static_cast<char>('0' + year / 10 % 10);
    out[3] = static_cast<char>('0' + year % 10);
    out[5] = static_cast<char>('0' + month / 10);
    out[6] = static_cast<char>('0' + month % 10);
    out[8] = static_cast<char>('0' + day / 10);
    out[9] = static_cast<char>('0' + day % 10);
    out.append(hms.data(), hms.size());
    return out;
}

bool valid_hms(std::string_view hms)
{
    int h, m, s;
    return hms.size() == 8 && hms[2] == ':' && hms[5] == ':' && two_digits(hms, 0, 23, &h) &&
           two_digits(hms, 3, 59, &m) && two_digits(hms, 6, 60, &s);
}

// "Wed Dec 09 10:43:35 2026" (the C library's asctime; the day may also be padded with a
// blank) as ISO 8601, or empty.
std::string iso_from_asctime(std::string_view t)
{
    std::string_view parts[5];
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < t.size()) {
        while (i < t.size() && t[i] == ' ')
            i++;
        std::size_t start = i;
        while (i < t.size() && t[i] != ' ')
            i++;
        if (i > start) {
            if (count == 5)
                return "";
            parts[count++] = t.substr(start, i - start);
        }
    }
    if (count != 5)
        return "";
    bool weekday = false;
    for (const char *w : weekdays)
        weekday = weekday || parts[0] == w;
    int month = 0;
    for (int m = 0; m < 12; m++)
        if (parts[1] == months[m])
            month = m + 1;
    auto day = parse_integer(parts[2]);
    auto year = parse_integer(parts[4]);
    if (!weekday || month == 0 || !day || *day < 1 || *day > 31 || parts[2].size() > 2 || !year ||
        *year < 0 || *year > 9999 || parts[3].size() != 8 || !valid_hms(parts[3]))
        return "";
    return iso(static_cast<int>(*year), month, static_cast<int>(*day), parts[3]);
}

class Parser {
public:
    explicit Parser(Report &r) : r_(r), base_(r.bytes.data()) {}

    void run();

private:
    Span span(std::string_view s) const
    {
        return Span{static_cast<std::uint32_t>(s.data() - base_), static_cast<std::uint32_t>(s.size())};
    }
    std::string_view view(std::size_t offset, std::size_t size) const
    {
        return std::string_view(base_ + offset, size);
    }

    template <class Each> void split_lines(Each each);
    bool parse_header(std::string_view line);
    void add_line(std::string_view line);
    void open_section(std::string_view banner, std::string_view name, bool joined);
    void parse_inventory(std::size_t section);
    std::size_t parse_listing(std::size_t section, std::size_t heading);
    void parse_email(std::size_t section);
    void parse_sysinfo(std::size_t section);
    void parse_log(std::size_t section);
    void find_error(std::size_t section);

    Report &r_;
    const char *base_;
};

template <class Each> void Parser::split_lines(Each each)
{
    const std::string_view b = r_.bytes;
    std::size_t line_feeds = 0;
    for (const char *p = b.data(), *end = p + b.size();
         (p = static_cast<const char *>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))) != nullptr; p++)
        line_feeds++;
    if (line_feeds >= max_report_lines)
        throw ReportError("more than " + std::to_string(max_report_lines) + " lines: not a telinv report");
    r_.lines.reserve(line_feeds);
    const char *nl = static_cast<const char *>(std::memchr(b.data(), '\n', b.size()));
    r_.line_end = (nl && nl > b.data() && nl[-1] == '\r') || !nl ? LineEnd::crlf : LineEnd::lf;
    const bool crlf = r_.line_end == LineEnd::crlf;
    std::size_t pos = 0;
    while (pos < b.size()) {
        std::size_t from = pos;
        std::size_t end = std::string::npos;
        while (from < b.size()) {
            const char *p = static_cast<const char *>(std::memchr(b.data() + from, '\n', b.size() - from));
            if (!p)
                break;
            std::size_t at = static_cast<std::size_t>(p - b.data());
            if (!crlf || (at > pos && b[at - 1] == '\r')) {
                end = at;
                break;
            }
            from = at + 1; // a line feed without carriage return stays inside the line
        }
        if (end == std::string::npos) {
            r_.truncated = true;
            each(view(pos, b.size() - pos));
            break;
        }
        each(view(pos, end - pos - (crlf ? 1 : 0)));
        pos = end + 1;
    }
}

// The header: "%s(%s) at %s", the tool's name, its version and the time. The name may
// hold parentheses itself ("telinv (2).exe"), and so may a version text: the version is
// the text in the parentheses that close right before " at ", matched from the right.
bool Parser::parse_header(std::string_view line)
{
    std::size_t at = line.rfind(") at ");
    if (at == std::string_view::npos) {
        // A report cut off inside its header: take what there is.
        std::size_t open = line.find('(');
        if (!r_.truncated || open == 0 || open == std::string_view::npos)
            return false;
        r_.header.tool = span(line.substr(0, open));
        return true;
    }
    int depth = 0;
    std::size_t open = std::string_view::npos;
    for (std::size_t i = at + 1; i-- > 0;) {
        if (line[i] == ')')
            depth++;
        else if (line[i] == '(' && --depth == 0) {
            open = i;
            break;
        }
    }
    if (open == std::string_view::npos)
        open = line.find('(');
    if (open == 0 || open == std::string_view::npos || open > at)
        return false;
    std::string_view tool = line.substr(0, open);
    if (starts_with(tool, "\xEF\xBB\xBF")) // a UTF-8 byte-order mark an editor put in front
        tool.remove_prefix(3);
    r_.header.tool = span(tool);
    std::string_view version = line.substr(open + 1, at - open - 1);
    if (version != "(null)")
        r_.header.version = span(version);
    std::string_view time = line.substr(at + 5);
    r_.header.time = span(time);
    r_.header.iso_time = iso_from_asctime(time);
    return true;
}

void Parser::open_section(std::string_view banner, std::string_view name, bool joined)
{
    Section s;
    s.has_banner = true;
    s.banner = span(banner);
    s.name = span(name);
    s.joined = joined;
    SectionKind previous = r_.sections.empty() ? SectionKind::preamble : r_.sections.back().kind;
    s.kind = next_kind(previous, name);
    s.first_line = r_.lines.size();
    r_.sections.push_back(s);
}

void Parser::add_line(std::string_view line)
{
    if (auto name = banner_name(line)) {
        open_section(line, *name, false);
        return;
    }
    if (r_.sections.empty()) {
        Section pre;
        pre.kind = SectionKind::preamble;
        r_.sections.push_back(pre);
    }
    SectionKind kind = r_.sections.back().kind;
    if (may_hold_joined_banner(kind) && line.size() > 76) {
        for (std::size_t len = 78; len >= 76; len--) {
            if (line.size() <= len)
                continue;
            std::string_view tail = line.substr(line.size() - len);
            auto name = banner_name(tail, true);
            if (name && joined_banner_fits(kind, *name)) {
                r_.lines.push_back(span(line.substr(0, line.size() - len)));
                r_.sections.back().line_count++;
                open_section(tail, *name, true);
                return;
            }
        }
    }
    r_.lines.push_back(span(line));
    r_.sections.back().line_count++;
}

} // namespace

// The inventory: a column heading, the files of the five groups (each group followed by
// an empty line), then the listing of the GSM driver directory.
// A line is "%-55s %-10s %9d": the path, the version or "Not Found", the size. Paths and
// versions may hold blanks, and longer ones push the columns to the right, so the line
// is read from its right end: the size, the version column, then the path.
bool parse_inventory_line(std::string_view line, std::string_view &path,
                          std::optional<std::string_view> &version, std::int64_t &bytes)
{
    std::size_t end = line.size();
    std::size_t p = end;
    while (p > 0 && is_digit(line[p - 1]))
        p--;
    if (p == end)
        return false;
    if (p > 0 && line[p - 1] == '-')
        p--;
    auto number = parse_integer(line.substr(p));
    if (!number)
        return false;
    std::size_t field = end - std::max<std::size_t>(9, end - p);
    if (field == 0 || line.find_first_not_of(' ', field) != p || line[field - 1] != ' ')
        return false;
    std::string_view rest = line.substr(0, field - 1);
    bytes = *number;
    version.reset();
    const std::size_t n = rest.size();
    if (ends_with(rest, " Not Found ")) {
        path = trim_right(rest.substr(0, n - 11));
        return !path.empty();
    }
    // Paths up to 55 characters are padded to 55; versions up to 10 to 10.
    std::string_view fixed_version = n > 56 ? trim_right(rest.substr(56)) : std::string_view();
    bool fixed = n >= 66 && rest[55] == ' ' && rest[56] != ' ' &&
                 (n == 66 || n == 56 + fixed_version.size());
    bool window = n >= 12 && rest[n - 11] == ' ' && rest[n - 10] != ' ';
    std::string_view v;
    if (fixed && rest[54] == ' ') {
        path = trim_right(rest.substr(0, 55));
        v = fixed_version;
    } else if (window) {
        path = trim_right(rest.substr(0, n - 11));
        v = trim_right(rest.substr(n - 10));
    } else if (fixed) {
        path = trim_right(rest.substr(0, 55));
        v = fixed_version;
    } else {
        std::size_t blank = trim_right(rest).rfind(' ');
        if (blank == std::string_view::npos)
            return false;
        path = trim_right(rest.substr(0, blank));
        v = trim_right(rest.substr(blank + 1));
    }
    if (path.empty() || v.empty())
        return false;
    version = v;
    return true;
}

namespace {

// A listing's heading is "%-59s %-10s %s": the directory, "Date" and "Bytes".
std::optional<std::string_view> listing_heading(std::string_view line)
{
    static const std::string_view tail = " Date       Bytes";
    if (!ends_with(line, tail))
        return std::nullopt;
    std::string_view dir = trim_right(line.substr(0, line.size() - tail.size()));
    if (dir.empty())
        return std::nullopt;
    return dir;
}

// A listing's line: "%-44s %.2d-%.2d-%d %.2d:%.2d:%.2d %11d", the name, the date and
// time of the last change, the size; read from the right, as names may hold blanks.
bool parse_listing_line(std::string_view line, std::string_view &name, std::string_view &date,
                        std::int64_t &bytes)
{
    std::size_t end = line.size();
    std::size_t p = end;
    while (p > 0 && is_digit(line[p - 1]))
        p--;
    if (p == end)
        return false;
    if (p > 0 && line[p - 1] == '-')
        p--;
    auto number = parse_integer(line.substr(p));
    std::size_t q = p;
    while (q > 0 && line[q - 1] == ' ')
        q--;
    if (!number || q == p || q < 8)
        return false;
    std::string_view hms = line.substr(q - 8, 8);
    if (!valid_hms(hms))
        return false;
    std::size_t r = q - 8;
    if (r == 0 || line[r - 1] != ' ')
        return false;
    std::size_t year_end = --r;
    while (r > 0 && is_digit(line[r - 1]))
        r--;
    if (r == year_end || year_end - r > 5 || r < 7)
        return false;
    std::size_t start = r - 6; // "dd-mm-"
    int day, month;
    if (line[r - 1] != '-' || line[r - 4] != '-' || !two_digits(line, start, 31, &day) ||
        !two_digits(line, start + 3, 12, &month) || line[start - 1] != ' ')
        return false;
    name = trim_right(line.substr(0, start - 1));
    if (name.empty())
        return false;
    date = line.substr(start, q - start);
    bytes = *number;
    return true;
}

void Parser::parse_inventory(std::size_t section)
{
    const Section &s = r_.sections[section];
    const std::size_t count = r_.content_count(section);
    std::size_t i = 0;
    if (count > 0 && starts_with(r_.line(s.first_line), "Path\\Filename"))
        i = 1;
    int group = 1;
    for (; i < count; i++) {
        std::string_view line = r_.line(s.first_line + i);
        if (line.empty()) {
            group++;
            continue;
        }
        if (listing_heading(line)) {
            i = parse_listing(section, i) - 1;
            continue;
        }
        std::string_view path;
        std::optional<std::string_view> version;
        std::int64_t bytes = 0;
        if (group > 5 || !parse_inventory_line(line, path, version, bytes))
            continue;
        InventoryEntry e;
        e.line = s.first_line + i;
        e.path = span(path);
        if (version)
            e.version = span(*version);
        e.bytes = bytes;
        e.group = group;
        r_.inventory.push_back(e);
    }
}

// Reads the listing whose heading is the section's line `heading`; returns the index of
// the first line after it.
std::size_t Parser::parse_listing(std::size_t section, std::size_t heading)
{
    const Section &s = r_.sections[section];
    const std::size_t count = r_.content_count(section);
    Listing listing;
    listing.section = section;
    listing.heading_line = s.first_line + heading;
    listing.directory = span(*listing_heading(r_.line(s.first_line + heading)));
    // Room for as many entries as there are lines from the heading on, up to a bound
    // (memory reserved and not used is never touched); beyond, the vector grows as it fills.
    listing.entries.reserve(std::min<std::size_t>(count - heading, std::size_t(1) << 16));
    std::size_t i = heading + 1;
    for (; i < count; i++) {
        ListingEntry e;
        std::string_view name, date;
        if (!parse_listing_line(r_.line(s.first_line + i), name, date, e.bytes))
            break;
        e.line = s.first_line + i;
        e.name = span(name);
        e.date = span(date);
        listing.entries.push_back(std::move(e));
    }
    r_.listings.push_back(std::move(listing));
    return i;
}

// A line "%-18s %s": the label padded to 18 characters, a blank, the value.
bool labeled(std::string_view line, std::string_view &label, std::string_view &value)
{
    if (line.size() < 19 || line[18] != ' ')
        return false;
    label = trim_right(line.substr(0, 18));
    value = line.substr(19);
    return !label.empty();
}

void Parser::parse_email(std::size_t section)
{
    const Section &s = r_.sections[section];
    for (std::size_t i = 0, n = r_.content_count(section); i < n; i++) {
        std::string_view label, value;
        if (!labeled(r_.line(s.first_line + i), label, value))
            continue;
        for (std::size_t f = 0; f < email_field_count; f++) {
            if (label == email_fields[f].label && !r_.email.values[f]) {
                r_.email.values[f] = span(value);
                r_.email.present = true;
            }
        }
    }
}

// The identifier lines have no label in the report.
bool identifier_fact(std::size_t f)
{
    return f == fact_computer_name || f == fact_volume_id || f == fact_processor_id;
}

// An adapter's line: "%d. %-15s %s", its number, the label padded to 15, the value.
bool adapter_line(std::string_view line, std::int64_t &number, std::string_view &label, std::string_view &value)
{
    std::size_t d = 0;
    while (d < line.size() && is_digit(line[d]))
        d++;
    if (d == 0 || d > 9 || line.substr(d, 2) != ". ")
        return false;
    std::string_view rest = line.substr(d + 2);
    if (rest.size() < 16 || rest[15] != ' ')
        return false;
    number = *parse_integer(line.substr(0, d));
    label = trim_right(rest.substr(0, 15));
    value = rest.substr(16);
    return !label.empty();
}

void Parser::parse_sysinfo(std::size_t section)
{
    const Section &s = r_.sections[section];
    Sysinfo &si = r_.sysinfo;
    si.present = true;
    const std::size_t n = r_.content_count(section);
    for (std::size_t i = 0; i < n;) {
        std::string_view line = r_.line(s.first_line + i);
        i++;
        if (line == "MacAddresses") {
            // From getmac (Windows 6 and later): one line per address, then the empty line
            // that ends the list; a list cut at 254 characters has no empty line. Then
            // the three identifiers. From ipconfig (Windows 5 and before): one address.
            if (si.windows_major >= 6) {
                std::size_t written = 0;
                while (i < n) {
                    std::string_view mac = r_.line(s.first_line + i);
                    i++;
                    if (mac.empty())
                        break;
                    si.mac_addresses.push_back(span(mac));
                    written += mac.size() + 1;
                    if (written >= 255)
                        break;
                }
                for (SysFact f : {fact_computer_name, fact_volume_id, fact_processor_id}) {
                    if (i >= n)
                        break;
                    std::string_view id = r_.line(s.first_line + i);
                    i++;
                    if (!id.empty())
                        si.facts[f] = span(id);
                }
            } else if (i < n) {
                std::string_view mac = r_.line(s.first_line + i);
                i++;
                if (!mac.empty())
                    si.mac_addresses.push_back(span(mac));
            }
            continue;
        }
        std::int64_t number;
        std::string_view label, value;
        if (adapter_line(line, number, label, value)) {
            for (std::size_t f = 0; f < adapter_field_count; f++) {
                if (label != adapter_fields[f].label)
                    continue;
                if (si.adapters.empty() || si.adapters.back().number != number ||
                    si.adapters.back().values[f]) {
                    si.adapters.emplace_back();
                    si.adapters.back().number = number;
                }
                si.adapters.back().values[f] = span(value);
            }
            continue;
        }
        if (!labeled(line, label, value))
            continue;
        if (label == "Updates:")
            si.updates.push_back(span(value));
        else if (label == "Hotfix:")
            si.hotfixes.push_back(span(value));
        else if (label == "Installed:")
            si.installed.push_back(span(value));
        for (std::size_t f = 0; f < sys_fact_count; f++)
            if (label == sys_facts[f].label && !si.facts[f] && !identifier_fact(f))
                si.facts[f] = span(value);
        if (label == sys_facts[fact_windows_version].label && si.windows_major < 0) {
            // The first line; the version decides how the MAC addresses are laid out.
            std::size_t dot = value.find('.');
            auto major = parse_integer(value.substr(0, dot));
            std::optional<std::int64_t> minor;
            if (dot != std::string_view::npos)
                minor = parse_integer(value.substr(dot + 1));
            if (major && minor && *major >= 0 && *major < 1000 && *minor >= 0 && *minor < 1000) {
                si.windows_major = static_cast<int>(*major);
                si.windows_minor = static_cast<int>(*minor);
            }
        }
    }
    // Windows NT 4 shows its service pack on a line of its own; Windows 2000 and later list
    // an installed service pack among the updates ("Windows XP Service Pack 3 (KB936929)").
    if (!si.facts[fact_service_pack]) {
        for (Span u : si.updates) {
            std::string_view text = r_.text(u);
            std::size_t at = text.find("Service Pack ");
            if (at == std::string_view::npos)
                continue;
            std::size_t end = at + 13;
            while (end < text.size() && is_digit(text[end]))
                end++;
            if (end > at + 13) {
                si.facts[fact_service_pack] = span(text.substr(at, end - at));
                break;
            }
        }
    }
}

// The error log's and the SIP server error file's excerpt: the lines, "Empty", or the
// line that says that the file was not found.
void Parser::parse_log(std::size_t section)
{
    const Section &s = r_.sections[section];
    LogExcerpt log;
    log.section = section;
    log.line_count = r_.content_count(section);
    if (log.line_count == 1) {
        std::string_view line = r_.line(s.first_line);
        if (line == "Empty") {
            log.status = LogExcerpt::Status::empty;
            log.line_count = 0;
        } else if (s.kind == SectionKind::error_log && line.size() > 12 && line[0] == '\'' &&
                   ends_with(line, "' not found")) {
            log.status = LogExcerpt::Status::not_found;
            log.path = span(line.substr(1, line.size() - 12));
            log.line_count = 0;
        } else if (s.kind == SectionKind::sip_error_log && line.size() > 10 && ends_with(line, " not found") &&
                   line.find(' ') == line.size() - 10) {
            log.status = LogExcerpt::Status::not_found;
            log.path = span(line.substr(0, line.size() - 10));
            log.line_count = 0;
        }
    }
    r_.logs.push_back(log);
}

// telinv writes at most one message line in a section, as the section's first line:
// "Error: pbx not found", "Error: can't open file '...'" (and dbfile, cfgfile, actfile).
void Parser::find_error(std::size_t section)
{
    const Section &s = r_.sections[section];
    if (!s.has_banner || r_.content_count(section) == 0)
        return;
    std::string_view line = r_.line(s.first_line);
    if (line == "Error: pbx not found" ||
        (starts_with(line, "Error: can't open ") && ends_with(line, "'") && line.find(" '") != std::string_view::npos))
        r_.errors.push_back(ErrorLine{section, s.first_line});
}

void Parser::run()
{
    const std::string_view b = r_.bytes;
    if (b.empty())
        throw ReportError("empty file: not a telinv report");
    if (b.size() > max_report_bytes)
        throw ReportError("larger than 1 GiB: not a telinv report");
    if (b.size() >= 2 && ((b[0] == '\xFF' && b[1] == '\xFE') || (b[0] == '\xFE' && b[1] == '\xFF')))
        throw ReportError("UTF-16 text (saved as Unicode by an editor?); telinv writes the ANSI code "
                          "page: save it as ANSI again, or read the original report");
    bool first = true;
    split_lines([&](std::string_view line) {
        if (first) {
            // Whether the file is a report at all shows in its first line; a report cut
            // off inside it is read as far as it goes.
            first = false;
            r_.header_line = span(line);
            if (!parse_header(line))
                throw ReportError("not a telinv report: its first line is not a header \"NAME(VERSION) at TIME\"");
            return;
        }
        add_line(line);
    });

    bool has_inventory = false;
    for (std::size_t i = 0; i < r_.sections.size(); i++) {
        switch (r_.sections[i].kind) {
        case SectionKind::inventory:
            parse_inventory(i);
            has_inventory = true;
            break;
        case SectionKind::kamailio:
        case SectionKind::voip_files: {
            const Section &s = r_.sections[i];
            for (std::size_t k = 0, n = r_.content_count(i); k < n; k++)
                if (listing_heading(r_.line(s.first_line + k)))
                    k = parse_listing(i, k) - 1;
            break;
        }
        case SectionKind::email:
            parse_email(i);
            break;
        case SectionKind::sysinfo:
            if (!r_.sysinfo.present)
                parse_sysinfo(i);
            break;
        case SectionKind::error_log:
        case SectionKind::sip_error_log:
            parse_log(i);
            break;
        default:
            break;
        }
        find_error(i);
    }
    r_.short_report = !has_inventory && !r_.sections.empty() && r_.sections[0].kind == SectionKind::pbxcfg;
}

} // namespace

std::string iso_of_listing_date(std::string_view date)
{
    int day, month;
    std::size_t blank = date.find(' ');
    if (blank == std::string_view::npos || blank < 7 || date[2] != '-' || date[5] != '-' ||
        !two_digits(date, 0, 31, &day) || !two_digits(date, 3, 12, &month) || day < 1 || month < 1 ||
        !valid_hms(date.substr(blank + 1)))
        return "";
    auto year = parse_integer(date.substr(6, blank - 6));
    if (!year || *year < 0 || *year > 9999)
        return "";
    return iso(static_cast<int>(*year), month, day, date.substr(blank + 1));
}

namespace {

Report parse_bytes(ReportBytes bytes, std::string file)
{
    Report r;
    r.file = std::move(file);
    r.bytes = std::move(bytes);
    Parser(r).run();
    return r;
}

} // namespace

Report parse_report(std::string bytes, std::string file)
{
    return parse_bytes(ReportBytes(std::move(bytes)), std::move(file));
}

Report read_report(const std::string &path)
{
    return parse_bytes(read_report_bytes(path, max_report_bytes), path);
}

} // namespace telinv_read
