#include "fleet_html.h"

#include <cstdint>

#include "text.h"

namespace telinv_read {

namespace {

void append_escaped(std::string &out, std::string_view utf8, bool attribute)
{
    for (char ch : utf8) {
        unsigned char c = static_cast<unsigned char>(ch);
        switch (ch) {
        case '&': out += "&amp;"; continue;
        case '<': out += "&lt;"; continue;
        case '>': out += "&gt;"; continue;
        case '"':
            if (attribute) {
                out += "&quot;";
                continue;
            }
            break;
        case '\'':
            if (attribute) {
                out += "&#39;";
                continue;
            }
            break;
        default: break;
        }
        if ((c < 0x20 && ch != '\t' && ch != '\n') || c == 0x7F) {
            // U+2400 to U+241F, and U+2421 for DEL.
            unsigned picture = c == 0x7F ? 0x2421 : 0x2400 + c;
            out += static_cast<char>(0xE0 | (picture >> 12));
            out += static_cast<char>(0x80 | ((picture >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (picture & 0x3F));
            continue;
        }
        out += ch;
    }
}

} // namespace

void append_html_text(std::string &out, std::string_view utf8) { append_escaped(out, utf8, false); }

void append_html_attribute(std::string &out, std::string_view utf8) { append_escaped(out, utf8, true); }

std::string csp_hash_source(std::string_view sha256_hex)
{
    auto nibble = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 0;
    };
    std::string bytes;
    for (std::size_t i = 0; i + 1 < sha256_hex.size(); i += 2)
        bytes += static_cast<char>(nibble(sha256_hex[i]) * 16 + nibble(sha256_hex[i + 1]));
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string b64;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 2]);
        b64 += digits[(v >> 18) & 63];
        b64 += digits[(v >> 12) & 63];
        b64 += i + 1 < bytes.size() ? digits[(v >> 6) & 63] : '=';
        b64 += i + 2 < bytes.size() ? digits[v & 63] : '=';
    }
    return "'sha256-" + b64 + "'";
}

std::string fleet_page_policy()
{
    return "default-src 'none'; style-src " + csp_hash_source(fleet_page_css_sha256) + "; script-src " +
           csp_hash_source(fleet_page_js_sha256) + "; base-uri 'none'; form-action 'none'";
}

namespace {

const char *mark_class(Mark m)
{
    switch (m) {
    case Mark::older: return "older";
    case Mark::newer: return "newer";
    case Mark::other: return "other";
    case Mark::not_found: return "nf";
    case Mark::not_listed: return "nl";
    case Mark::common: break;
    }
    return "";
}

// How a line of the changes is shown: added, removed, a hunk's head, or as it is.
const char *line_class(const std::string &line)
{
    if (starts_with(line, "@@"))
        return "hunk";
    if (starts_with(line, "+") || starts_with(line, "  + ") || starts_with(line, "  appeared") ||
        starts_with(line, "  added"))
        return "add";
    if (starts_with(line, "-") || starts_with(line, "  - ") || starts_with(line, "  missing") ||
        starts_with(line, "  removed"))
        return "del";
    return nullptr;
}

std::string shown_time(const std::string &iso) // 2026-12-09T11:31:56 as 2026-12-09 11:31:56
{
    std::string t = iso;
    if (t.size() == 19 && t[10] == 'T')
        t[10] = ' ';
    return t;
}

class PageWriter {
public:
    PageWriter(Output &out, const FleetPage &page) : out_(out), b_(out.buffer()), page_(page) {}

    void write()
    {
        head();
        raw("<body>\n<header>\n<h1>");
        text(page_.title);
        raw("</h1>\n<p>");
        count(page_.hosts.size(), "host", "hosts");
        raw(", ");
        count(page_.report_count, "report", "reports");
        if (!page_.failures.empty()) {
            raw(", <a href=\"#not-read\">");
            count(page_.failures.size(), "file", "files");
            raw(" not read</a>");
        }
        if (!page_.newest_time.empty()) {
            raw("; newest report ");
            text(shown_time(page_.newest_time));
        }
        raw(".</p>\n<nav><a href=\"#fleet-part\">Fleet</a><a href=\"#versions\">Versions</a><a href=\"#hosts\">Hosts</a>");
        if (!page_.failures.empty())
            raw("<a href=\"#not-read\">Not read</a>");
        raw("</nav>\n</header>\n<main>\n");
        failures();
        fleet();
        matrix();
        hosts();
        raw("</main>\n<script>");
        raw(fleet_page_js);
        raw("</script>\n</body>\n</html>\n");
        out_.maybe_flush();
    }

private:
    void raw(std::string_view s) { b_.append(s.data(), s.size()); }
    void text(std::string_view s) { append_html_text(b_, s); }
    void attr(std::string_view s) { append_html_attribute(b_, s); }
    void number(std::size_t n) { b_ += std::to_string(n); }
    void count(std::size_t n, const char *one, const char *many)
    {
        number(n);
        raw(" ");
        raw(n == 1 ? one : many);
    }
    void host_link(std::size_t h)
    {
        raw("<a href=\"#host-");
        number(h + 1);
        raw("\">");
        text(page_.hosts[h].name);
        raw("</a>");
    }
    void report_link(const HostReport &r)
    {
        raw("<a class=\"report\" href=\"");
        attr(r.link);
        raw("\">");
        text(r.file);
        raw("</a>");
    }

    void head()
    {
        raw("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<meta http-equiv=\"Content-Security-Policy\" content=\"");
        raw(fleet_page_policy()); // our own text: hashes in base64, no quote or ampersand
        raw("\">\n<meta name=\"referrer\" content=\"no-referrer\">\n"
            "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
            "<meta name=\"generator\" content=\"telinv-read html\">\n<title>");
        text(page_.title);
        raw("</title>\n<style>");
        raw(fleet_page_css);
        raw("</style>\n</head>\n");
    }

    void failures()
    {
        if (page_.failures.empty())
            return;
        raw("<section id=\"not-read\" class=\"failures\">\n<h2>Not read (");
        number(page_.failures.size());
        raw(")</h2>\n<table>\n<thead><tr><th>File</th><th>Why</th></tr></thead>\n<tbody>\n");
        for (const Failure &f : page_.failures) {
            raw("<tr><td class=\"mono\">");
            text(f.file);
            raw("</td><td>");
            text(f.reason);
            raw("</td></tr>\n");
        }
        raw("</tbody>\n</table>\n</section>\n");
    }

    void fleet()
    {
        raw("<section id=\"fleet-part\">\n<h2>Fleet</h2>\n<div class=\"controls\">"
            "<input id=\"fleet-filter\" type=\"search\" placeholder=\"Filter hosts (any text of a row)\" "
            "aria-label=\"Filter hosts\" hidden><span id=\"fleet-count\" class=\"muted\"></span></div>\n"
            "<div class=\"scroll\">\n<table id=\"fleet\">\n<thead><tr>"
            "<th>Host</th><th>Report time</th><th data-type=\"number\">Age</th><th>Windows</th>"
            "<th>Suite release</th><th>Driver release</th>"
            "<th data-type=\"number\" title=\"Files at another version than the fleet's most common one\">Other versions</th>"
            "<th data-type=\"number\">Not Found</th><th data-type=\"number\">Errors</th>"
            "<th data-type=\"number\" title=\"Lines of the error log's most frequent kind\">Lines</th>"
            "<th>Most frequent error-log line</th></tr></thead>\n<tbody>\n");
        for (std::size_t h = 0; h < page_.hosts.size(); h++) {
            const FleetRow &r = page_.hosts[h].row;
            raw("<tr><td>");
            host_link(h);
            raw("</td><td class=\"mono\">");
            text(shown_time(r.time));
            raw("</td><td class=\"num\" data-sort=\"");
            if (r.age)
                b_ += std::to_string(*r.age);
            raw("\">");
            if (r.age)
                text(age_text(*r.age));
            raw("</td><td>");
            text(r.windows);
            raw("</td><td class=\"mono\">");
            text(r.suite_release);
            raw("</td><td class=\"mono\">");
            text(r.driver_release);
            raw("</td><td class=\"num\">");
            number(r.other_versions);
            raw("</td><td class=\"num\">");
            number(r.not_found);
            raw("</td><td class=\"num\">");
            number(r.errors);
            raw("</td><td class=\"num\">");
            if (r.top_log_count > 0)
                number(r.top_log_count);
            raw("</td><td class=\"kind mono\">");
            text(r.top_log_kind);
            raw("</td></tr>\n");
            out_.maybe_flush();
        }
        raw("</tbody>\n</table>\n</div>\n</section>\n");
    }

    void matrix()
    {
        raw("<section id=\"versions\">\n<h2>Versions</h2>\n<p class=\"muted\">Each file's version on each host; a "
            "cell that differs from the fleet's most common version of the file is marked as "
            "<span class=\"legend\"><span class=\"older\">older \xE2\x96\xBE</span><span class=\"newer\">newer \xE2\x96\xB4</span>"
            "<span class=\"other\">other \xE2\x89\xA0</span></span>(compared as numbers, part by part).</p>\n"
            "<input type=\"checkbox\" id=\"only-differ\"> <label for=\"only-differ\">Only the files that differ</label>\n"
            "<div class=\"scroll\">\n<table id=\"matrix\">\n<thead><tr><th class=\"file\">File</th><th>Fleet</th>");
        for (std::size_t h = 0; h < page_.hosts.size(); h++) {
            raw("<th class=\"host\">");
            host_link(h);
            raw("</th>");
        }
        raw("</tr></thead>\n<tbody>\n");
        int group = -1;
        for (const MatrixRow &row : page_.matrix) {
            raw("<tr class=\"");
            raw(row.differs ? "differs" : "same");
            if (row.group != group && group != -1)
                raw(" group");
            group = row.group;
            raw("\"><th class=\"file\" scope=\"row\">");
            text(row.path);
            raw("</th><td>");
            text(row.common);
            raw("</td>");
            for (const MatrixCell &cell : row.cells) {
                const char *cls = mark_class(cell.mark);
                if (*cls == '\0') {
                    raw("<td>");
                } else {
                    raw("<td class=\"");
                    raw(cls);
                    raw("\"");
                    if (cell.mark == Mark::older || cell.mark == Mark::newer || cell.mark == Mark::other) {
                        raw(" title=\"");
                        raw(cls);
                        raw(" than the fleet's ");
                        attr(row.common);
                        raw("\"");
                    } else if (cell.mark == Mark::not_listed) {
                        raw(" title=\"not listed in this host's report\"");
                    }
                    raw(">");
                }
                if (cell.mark == Mark::not_found)
                    raw("Not Found");
                else
                    text(cell.version);
                raw("</td>");
            }
            raw("</tr>\n");
            out_.maybe_flush();
        }
        raw("</tbody>\n</table>\n</div>\n</section>\n");
    }

    void hosts()
    {
        raw("<section id=\"hosts\">\n<h2>Hosts</h2>\n");
        for (std::size_t h = 0; h < page_.hosts.size(); h++) {
            host(h);
            out_.maybe_flush();
        }
        raw("</section>\n");
    }

    void fact(const char *label, const std::string &value)
    {
        raw("<dt>");
        raw(label);
        raw("</dt><dd>");
        text(value);
        raw("</dd>");
    }

    void host(std::size_t index)
    {
        const Host &h = page_.hosts[index];
        const Summary &s = h.summary;
        raw("<article class=\"host\" id=\"host-");
        number(index + 1);
        raw("\">\n<h3>");
        text(h.name);
        raw("</h3>\n<dl class=\"facts\"><dt>Report</dt><dd>");
        report_link(h.reports[0]);
        raw(" (");
        text(s.report_kind);
        raw(")</dd>");
        fact("Written by", s.tool + " " + s.version + ", " + s.time);
        if (s.has_sysinfo) {
            fact("Computer", s.computer);
            fact("Windows", s.windows);
            fact("Processor", s.processor);
            fact("Memory", s.memory);
        }
        raw("</dl>\n");
        for (const SummaryRelease &rel : s.releases) {
            raw("<h4>");
            text(rel.name);
            raw(" <span class=\"mono\">");
            text(rel.release.empty() ? std::string("(no file has a version)") : rel.release);
            raw("</span>: ");
            number(rel.carry);
            raw(" of ");
            number(rel.total);
            raw(" ");
            text(rel.what);
            raw("</h4>\n");
            if (rel.others.empty())
                continue;
            raw("<table class=\"others\"><tbody>\n");
            for (const auto &[version, path] : rel.others) {
                raw("<tr><td class=\"mono\">");
                text(version);
                raw("</td><td class=\"mono\">");
                text(path);
                raw("</td></tr>\n");
            }
            raw("</tbody></table>\n");
        }
        if (s.missing_count > 0) {
            raw("<h4>Not Found (");
            number(s.missing_count);
            raw(")</h4>\n<ul class=\"missing\">\n");
            for (const SummaryMissing &m : s.missing) {
                raw("<li><span class=\"mono\">");
                text(m.directory);
                raw("</span> ");
                for (std::size_t i = 0; i < m.names.size(); i++) {
                    if (i > 0)
                        raw(", ");
                    raw("<span class=\"mono\">");
                    text(m.names[i]);
                    raw("</span>");
                }
                raw("</li>\n");
            }
            raw("</ul>\n");
        }
        raw("<h4>Errors (");
        number(s.errors.size());
        raw(")</h4>\n");
        if (!s.errors.empty()) {
            raw("<table class=\"errors\"><tbody>\n");
            for (const SummaryError &e : s.errors) {
                raw("<tr><td class=\"mono\">");
                text(e.section);
                raw("</td><td class=\"mono\">");
                text(e.text);
                raw("</td></tr>\n");
            }
            raw("</tbody></table>\n");
        }
        for (const SummaryLog &log : s.logs)
            log_summary(log);
        history(h);
        raw("</article>\n");
    }

    void log_summary(const SummaryLog &log)
    {
        raw("<h4>");
        text(log.title);
        if (!log.name.empty()) {
            raw(" <span class=\"mono\">");
            text(log.name);
            raw("</span>");
        }
        raw(": ");
        if (log.status == SummaryLog::Status::not_found) {
            raw("not found (<span class=\"mono\">");
            text(log.missing_path);
            raw("</span>)</h4>\n");
            return;
        }
        if (log.status == SummaryLog::Status::empty) {
            raw("empty</h4>\n");
            return;
        }
        number(log.line_count);
        raw(" lines, ");
        count(log.kind_count, "kind", "kinds");
        raw("</h4>\n<table class=\"kinds\"><tbody>\n");
        for (const auto &[kind, n] : log.kinds) {
            raw("<tr><td class=\"num\">");
            number(n);
            raw("</td><td class=\"mono\">");
            text(kind);
            raw("</td></tr>\n");
        }
        if (log.kind_count > log.kinds.size()) {
            raw("<tr><td></td><td class=\"muted\">and ");
            number(log.kind_count - log.kinds.size());
            raw(" more kinds (");
            number(log.rest_lines);
            raw(" lines)</td></tr>\n");
        }
        raw("</tbody></table>\n");
    }

    void history(const Host &h)
    {
        raw("<section class=\"history\">\n<h4>History (");
        count(h.reports.size(), "report", "reports");
        raw(", newest first)</h4>\n<ol>\n");
        for (std::size_t i = 0; i < h.reports.size(); i++) {
            raw("<li>");
            report_link(h.reports[i]);
            raw(" <span class=\"muted\">");
            text(h.reports[i].time);
            raw(i == 0 ? " (current)" : "");
            raw("</span>");
            if (i < h.history.size())
                step(h.history[i]);
            raw("</li>\n");
        }
        raw("</ol>\n</section>\n");
    }

    void step(const HistoryStep &st)
    {
        raw("\n<div class=\"step\">");
        if (!st.trouble.empty()) {
            raw("<p>");
            text(st.trouble);
            raw("</p></div>");
            return;
        }
        if (st.groups.empty() && st.lines_left_out == 0) {
            raw("<p class=\"muted\">No change since the report before.</p></div>");
            return;
        }
        raw("<p class=\"muted\">Changed since the report before:</p>\n");
        for (const DiffGroup &g : st.groups) {
            raw("<h5>");
            text(g.heading);
            raw("</h5>\n<pre>");
            for (const std::string &l : g.lines) {
                const char *cls = line_class(l);
                if (cls) {
                    raw("<span class=\"");
                    raw(cls);
                    raw("\">");
                }
                text(l);
                raw(cls ? "</span>\n" : "\n");
            }
            raw("</pre>\n");
        }
        if (st.lines_left_out > 0) {
            raw("<p class=\"muted\">and ");
            number(st.lines_left_out);
            raw(" more lines (telinv-read diff of the two reports shows them all)</p>\n");
        }
        raw("</div>");
    }

    Output &out_;
    std::string &b_;
    const FleetPage &page_;
};

} // namespace

void write_fleet_html(Output &out, const FleetPage &page) { PageWriter(out, page).write(); }

} // namespace telinv_read
