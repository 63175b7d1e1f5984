#include "report_json.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) && defined(__GNUC__)
#include <emmintrin.h>
#endif

#include "text.h"

namespace telinv_read {


namespace {

// The bytes that a JSON string can't hold as they are: the control characters, the
// quote and the backslash.
bool json_special(unsigned char c) { return c < 0x20 || c == '"' || c == '\\'; }

// The letter of an escape that has one (\" \\ \b \f \n \r \t), or 0 for \u00XX.
char escape_letter(unsigned char c)
{
    static constexpr std::array<char, 256> letters = [] {
        std::array<char, 256> t{};
        t['"'] = '"';
        t['\\'] = '\\';
        t['\b'] = 'b';
        t['\f'] = 'f';
        t['\n'] = 'n';
        t['\r'] = 'r';
        t['\t'] = 't';
        return t;
    }();
    return letters[c];
}

// Of 8 bytes (the first in the lowest bits), the first that is such a byte, or 8. The
// control characters are the bytes below 0x20, and x ^ '"' and x ^ '\\' are zero for the
// other two: (v - 0x01...) & ~v & 0x80... marks the zero bytes of v, and with 0x20... in
// place of 0x01... the bytes below 0x20. A mark can be wrong above a right one (a borrow
// goes up), never below it, so the lowest mark is the first such byte.
unsigned first_json_special(std::uint64_t w)
{
    constexpr std::uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
    const std::uint64_t quote = w ^ (ones * '"'), backslash = w ^ (ones * '\\');
    const std::uint64_t marks =
        (((w - ones * 0x20) & ~w) | ((quote - ones) & ~quote) | ((backslash - ones) & ~backslash)) & highs;
    if (marks == 0)
        return 8;
    // The lowest mark alone is bit 8 i + 7 of byte i; the product's top byte is i + 1.
    return static_cast<unsigned>((((marks & (0 - marks)) >> 7) * 0x0102030405060708u) >> 56) - 1;
}

// The 8 bytes at p as one number, the first in the lowest bits (one load, where that is
// the machine's order).
std::uint64_t load8(const char *p)
{
    const unsigned char *u = reinterpret_cast<const unsigned char *>(p);
    return std::uint64_t(u[0]) | std::uint64_t(u[1]) << 8 | std::uint64_t(u[2]) << 16 | std::uint64_t(u[3]) << 24 |
           std::uint64_t(u[4]) << 32 | std::uint64_t(u[5]) << 40 | std::uint64_t(u[6]) << 48 |
           std::uint64_t(u[7]) << 56;
}

#if defined(__SSE2__) && defined(__GNUC__)
// The same for 16 bytes, with the vector instructions every x86-64 has.
unsigned first_json_special16(const char *p)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, _mm_set1_epi8(0x1F)), v); // v is at most 0x1F
    const __m128i quote = _mm_cmpeq_epi8(v, _mm_set1_epi8('"'));
    const __m128i backslash = _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'));
    const unsigned marks = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(control, _mm_or_si128(quote, backslash))));
    return marks == 0 ? 16 : static_cast<unsigned>(__builtin_ctz(marks));
}
#define TELINV_JSON_SIXTEEN 1
#endif

// Writes the escaped form of n bytes to q, which has room for 6 * n; returns its end.
char *write_json_escaped(const char *p, std::size_t n, char *q)
{
    static const char hex[] = "0123456789abcdef";
    const char *const end = p + n;
    for (;;) {
        // Up to the next byte that needs an escape: a block at a time (16 bytes, then 8),
        // each copied whole and counted as far as it is plain; then byte by byte.
        bool found = false;
#ifdef TELINV_JSON_SIXTEEN
        while (!found && end - p >= 16) {
            const unsigned plain = first_json_special16(p);
            std::memcpy(q, p, 16);
            p += plain;
            q += plain;
            found = plain < 16;
        }
#endif
        while (!found && end - p >= 8) {
            const unsigned plain = first_json_special(load8(p));
            std::memcpy(q, p, 8);
            p += plain;
            q += plain;
            found = plain < 8;
        }
        while (!found && p < end && !json_special(static_cast<unsigned char>(*p)))
            *q++ = *p++;
        if (p == end)
            return q;
        const unsigned char c = static_cast<unsigned char>(*p++);
        *q++ = '\\';
        if (const char letter = escape_letter(c)) {
            *q++ = letter;
        } else {
            *q++ = 'u';
            *q++ = '0';
            *q++ = '0';
            *q++ = hex[c >> 4];
            *q++ = hex[c & 15];
        }
    }
}

// Appends `before`, the escaped text and `after`, through a buffer on the stack with room
// for the longest escapes (\u00XX) of a piece of the text: one append for a short text.
void append_escaped(std::string &out, std::string_view before, std::string_view text, std::string_view after)
{
    constexpr std::size_t piece = 1024;
    char buf[6 * piece + 64];
    std::size_t used = 0;
    auto flush = [&] {
        if (used != 0)
            out.append(buf, used);
        used = 0;
    };
    auto put = [&](std::string_view s) {
        if (s.size() > sizeof buf - used) {
            flush();
            out.append(s.data(), s.size());
        } else if (!s.empty()) {
            std::memcpy(buf + used, s.data(), s.size());
            used += s.size();
        }
    };
    put(before);
    for (std::size_t at = 0; at < text.size(); at += piece) {
        const std::size_t n = std::min(piece, text.size() - at);
        if (6 * n > sizeof buf - used)
            flush();
        used = static_cast<std::size_t>(write_json_escaped(text.data() + at, n, buf + used) - buf);
    }
    put(after);
    flush();
}

} // namespace

void append_json_string(std::string &out, std::string_view utf8) { append_escaped(out, "\"", utf8, "\""); }

void append_json_escaped(std::string &out, std::string_view utf8) { append_escaped(out, {}, utf8, {}); }

std::string dump(const Json &value)
{
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string dump_indented(const Json &value, int base)
{
    std::string text = value.dump(2, ' ', false, Json::error_handler_t::replace);
    std::string pad(static_cast<std::size_t>(base), ' ');
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        out += c;
        if (c == '\n')
            out += pad;
    }
    return out;
}

Json text_json(const Report &r, const Codepage &cp, const std::optional<Span> &span)
{
    if (!span)
        return nullptr;
    return cp.decode(r.text(*span));
}

Json failure_json(const std::string &file, const std::string &message)
{
    Json j;
    j["file"] = file;
    j["error"] = message;
    return j;
}

namespace {

Json name_json(const Report &r, const Codepage &cp, std::size_t section)
{
    const Section &s = r.sections[section];
    return s.has_banner ? Json(cp.decode(r.text(s.name))) : Json(nullptr);
}

Json number_json(const Report &r, const std::optional<Span> &span)
{
    if (!span)
        return nullptr;
    auto n = parse_integer(trim(r.text(*span)));
    return n ? Json(*n) : Json(nullptr);
}

Json header_json(const Report &r, const Codepage &cp)
{
    Json h;
    h["line"] = cp.decode(r.text(r.header_line));
    h["tool"] = text_json(r, cp, r.header.tool);
    h["version"] = text_json(r, cp, r.header.version);
    h["time"] = text_json(r, cp, r.header.time);
    h["iso_time"] = r.header.iso_time.empty() ? Json(nullptr) : Json(r.header.iso_time);
    return h;
}

Json email_json(const Report &r, const Codepage &cp)
{
    if (!r.email.present)
        return nullptr;
    Json e = Json::object();
    for (std::size_t f = 0; f < email_field_count; f++)
        e[email_fields[f].name] = email_fields[f].number ? number_json(r, r.email.values[f])
                                                         : text_json(r, cp, r.email.values[f]);
    return e;
}

Json list_json(const Report &r, const Codepage &cp, const std::vector<Span> &items)
{
    Json a = Json::array();
    for (Span s : items)
        a.push_back(cp.decode(r.text(s)));
    return a;
}

Json sysinfo_json(const Report &r, const Codepage &cp)
{
    const Sysinfo &si = r.sysinfo;
    if (!si.present)
        return nullptr;
    Json j = Json::object();
    for (std::size_t f = 0; f < sys_fact_count; f++) {
        j[sys_facts[f].name] = sys_facts[f].number ? number_json(r, si.facts[f]) : text_json(r, cp, si.facts[f]);
        if (f == fact_windows_version) {
            j["windows_major"] = si.windows_major >= 0 ? Json(si.windows_major) : Json(nullptr);
            j["windows_minor"] = si.windows_minor >= 0 ? Json(si.windows_minor) : Json(nullptr);
        } else if (f == fact_memory) {
            Json mb = nullptr;
            if (si.facts[f]) {
                std::string_view m = r.text(*si.facts[f]);
                if (ends_with(m, "Mb"))
                    if (auto n = parse_integer(m.substr(0, m.size() - 2)))
                        mb = *n;
            }
            j["memory_mb"] = mb;
        }
    }
    Json adapters = Json::array();
    for (const Adapter &a : si.adapters) {
        Json o;
        o["number"] = a.number;
        for (std::size_t f = 0; f < adapter_field_count; f++) {
            if (f == adapter_dhcp) {
                Json dhcp = nullptr;
                if (a.values[f]) {
                    std::string_view v = r.text(*a.values[f]);
                    if (v == "Ja")
                        dhcp = true;
                    else if (v == "Nein")
                        dhcp = false;
                }
                o["dhcp"] = dhcp;
            } else {
                o[adapter_fields[f].name] = text_json(r, cp, a.values[f]);
            }
        }
        adapters.push_back(std::move(o));
    }
    j["adapters"] = std::move(adapters);
    j["mac_addresses"] = list_json(r, cp, si.mac_addresses);
    j["updates"] = list_json(r, cp, si.updates);
    j["hotfixes"] = list_json(r, cp, si.hotfixes);
    j["installed"] = list_json(r, cp, si.installed);
    return j;
}

const char *log_status(LogExcerpt::Status s)
{
    switch (s) {
    case LogExcerpt::Status::lines: return "lines";
    case LogExcerpt::Status::empty: return "empty";
    case LogExcerpt::Status::not_found: return "not_found";
    }
    return "lines";
}

// Writes a JSON array, one element a line, each appended to the output's buffer by write(i)
// for i < count.
template <class Write>
void write_lines(Output &out, const std::string &pad, std::size_t count, Write write)
{
    std::string &b = out.buffer();
    if (count == 0) {
        b += "[]";
        return;
    }
    b += "[\n";
    for (std::size_t i = 0; i < count; i++) {
        b += pad;
        b += "  ";
        write(i);
        b += i + 1 < count ? ",\n" : "\n";
        out.maybe_flush();
    }
    b += pad;
    b += ']';
}

// The same with the elements as JSON values, made by make(i).
template <class Make>
void write_array(Output &out, const std::string &pad, std::size_t count, Make make)
{
    write_lines(out, pad, count, [&](std::size_t i) { out.buffer() += dump(make(i)); });
}

} // namespace

void write_report_json(Output &out, const Report &r, const Codepage &cp, int base)
{
    const std::string pad(static_cast<std::size_t>(base), ' ');
    const std::string pad1 = pad + "  ";
    const std::string line_open = pad1 + "    \"";
    std::string &b = out.buffer();
    std::string scratch;
    // Most reports are ASCII throughout: then no text needs decoding, and no byte stands
    // behind a U+FFFD.
    const bool ascii = is_ascii(r.bytes);
    auto key = [&](const char *name) {
        b += pad1;
        b += '"';
        b += name;
        b += "\": ";
    };
    // A span of the report as a JSON string, decoded on the way, a piece at a time, so
    // that a line of any length costs no more memory than a piece of it. ASCII, which
    // most of a report is, reads the same in every code page and needs no decoding.
    // A span of the report as a JSON string (between `before` and `after`), decoded on
    // the way, a piece at a time, so that a line of any length costs no more memory than
    // a piece of it. ASCII, which most of a report is, reads the same in every code page.
    auto bytes_string = [&](Span s, std::string_view before = "\"", std::string_view after = "\"") {
        std::string_view text = r.text(s);
        if (text.size() <= 65536 && (ascii || is_ascii(text))) {
            append_escaped(b, before, text, after);
            return;
        }
        b.append(before.data(), before.size());
        for (std::size_t at = 0; at < text.size();) {
            std::size_t end = std::min(text.size(), at + 65536);
            // Never between the bytes of a UTF-8 character: back over up to three
            // continuation bytes (a valid sequence has no more).
            for (int back = 0; cp.is_utf8() && end < text.size() && back < 3 &&
                               (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80;
                 back++)
                end--;
            scratch.clear();
            cp.decode(text.substr(at, end - at), scratch);
            append_json_escaped(b, scratch);
            at = end;
            out.maybe_flush();
        }
        b.append(after.data(), after.size());
    };
    // A member of an object written in one line, as dump() writes it ("key":value).
    auto member = [&](const char *name, bool first) {
        b += first ? "{\"" : ",\"";
        b += name;
        b += "\":";
    };

    b += "{\n";
    key("file");
    append_json_string(b, r.file);
    b += ",\n";
    key("codepage");
    b += std::to_string(cp.page());
    b += ",\n";
    key("line_end");
    b += r.line_end == LineEnd::crlf ? "\"CRLF\",\n" : "\"LF\",\n";
    key("truncated");
    b += r.truncated ? "true,\n" : "false,\n";
    key("short");
    b += r.short_report ? "true,\n" : "false,\n";
    key("header");
    b += dump_indented(header_json(r, cp), base + 2);
    b += ",\n";

    key("sections");
    if (r.sections.empty())
        b += "[]";
    else
        b += "[\n";
    for (std::size_t i = 0; i < r.sections.size(); i++) {
        const Section &s = r.sections[i];
        b += pad1;
        b += "  {\"name\": ";
        if (s.has_banner)
            bytes_string(s.name);
        else
            b += "null";
        b += ", \"kind\": \"";
        b += kind_name(s.kind);
        b += "\", \"banner\": ";
        if (s.has_banner)
            bytes_string(s.banner);
        else
            b += "null";
        b += s.joined ? ", \"joined\": true" : ", \"joined\": false";
        b += ", \"lines\": ";
        if (s.line_count == 0) {
            b += "[]";
        } else {
            b += "[\n";
            for (std::size_t k = 0; k < s.line_count; k++) {
                bytes_string(r.lines[s.first_line + k], line_open, k + 1 < s.line_count ? "\",\n" : "\"\n");
                out.maybe_flush();
            }
            b += pad1;
            b += "  ]";
        }
        b += i + 1 < r.sections.size() ? "},\n" : "}\n";
    }
    if (!r.sections.empty()) {
        b += pad1;
        b += ']';
    }
    b += ",\n";

    // The inventory and the listings' entries are many: they are written here as
    // dump() would write their objects.
    key("inventory");
    write_lines(out, pad1, r.inventory.size(), [&](std::size_t i) {
        const InventoryEntry &e = r.inventory[i];
        member("path", true);
        bytes_string(e.path);
        member("version", false);
        if (e.version)
            bytes_string(*e.version);
        else
            b += "null";
        member("bytes", false);
        b += std::to_string(e.bytes);
        member("group", false);
        b += std::to_string(e.group);
        b += '}';
    });
    b += ",\n";

    key("listings");
    if (r.listings.empty())
        b += "[]";
    else
        b += "[\n";
    for (std::size_t i = 0; i < r.listings.size(); i++) {
        const Listing &l = r.listings[i];
        b += pad1;
        b += "  {\"section\": ";
        b += dump(name_json(r, cp, l.section));
        b += ", \"section_index\": " + std::to_string(l.section);
        b += ", \"directory\": ";
        bytes_string(l.directory);
        b += ", \"entries\": ";
        write_lines(out, pad1 + "  ", l.entries.size(), [&](std::size_t k) {
            const ListingEntry &e = l.entries[k];
            member("name", true);
            bytes_string(e.name);
            member("date", false);
            bytes_string(e.date);
            member("iso_date", false);
            std::string iso = iso_of_listing_date(r.text(e.date));
            if (iso.empty())
                b += "null";
            else
                append_json_string(b, iso);
            member("bytes", false);
            b += std::to_string(e.bytes);
            b += '}';
        });
        b += i + 1 < r.listings.size() ? "},\n" : "}\n";
    }
    if (!r.listings.empty()) {
        b += pad1;
        b += ']';
    }
    b += ",\n";

    key("email");
    b += dump_indented(email_json(r, cp), base + 2);
    b += ",\n";
    key("sysinfo");
    b += dump_indented(sysinfo_json(r, cp), base + 2);
    b += ",\n";

    key("errors");
    write_array(out, pad1, r.errors.size(), [&](std::size_t i) {
        const ErrorLine &e = r.errors[i];
        Json j;
        j["section"] = name_json(r, cp, e.section);
        j["section_index"] = e.section;
        j["text"] = cp.decode(r.line(e.line));
        return j;
    });
    b += ",\n";

    key("logs");
    write_array(out, pad1, r.logs.size(), [&](std::size_t i) {
        const LogExcerpt &l = r.logs[i];
        Json j;
        j["section"] = name_json(r, cp, l.section);
        j["section_index"] = l.section;
        j["kind"] = kind_name(r.sections[l.section].kind);
        j["status"] = log_status(l.status);
        j["path"] = text_json(r, cp, l.path);
        j["line_count"] = l.line_count;
        return j;
    });
    b += ",\n";

    // The bytes behind each U+FFFD of the header line, the banners and the lines, in that
    // order: with them the report's bytes can be made again from this JSON.
    key("replaced");
    std::size_t replaced = 0;
    auto add = [&](std::string_view bytes) {
        static const char hex[] = "0123456789abcdef";
        b += replaced++ == 0 ? "[\"" : ", \"";
        for (char c : bytes) {
            b += hex[static_cast<unsigned char>(c) >> 4];
            b += hex[static_cast<unsigned char>(c) & 15];
        }
        b += '"';
        out.maybe_flush();
    };
    if (!ascii) {
        cp.for_each_replaced(r.text(r.header_line), add);
        for (const Section &s : r.sections) {
            if (s.has_banner)
                cp.for_each_replaced(r.text(s.banner), add);
            for (std::size_t k = 0; k < s.line_count; k++)
                cp.for_each_replaced(r.text(r.lines[s.first_line + k]), add);
        }
    }
    b += replaced == 0 ? "[]\n" : "]\n";
    b += pad;
    b += '}';
    out.maybe_flush();
}

} // namespace telinv_read
