// Whether a cleaned copy reads as its report does: the same line ends, sections (kinds,
// banners, joined banners, line counts, the names of the fixed ones), inventory entries
// with their versions, sizes and groups, listings with their entries' dates and sizes,
// mail fields, system facts that no cleaning touches, adapters, MAC addresses, updates,
// hotfixes, installed programs, error lines and log excerpts. Shared by the reader's tests
// and its fuzz target.
#ifndef TELINV_TESTS_READER_CLEAN_SHAPE_H
#define TELINV_TESTS_READER_CLEAN_SHAPE_H

#include <string>
#include <string_view>

#include "report.h"

namespace telinv_read {

// Empty when the two read alike; else what differs first.
inline std::string shape_difference(const Report &a, const Report &b)
{
    auto opt = [](const Report &r, const std::optional<Span> &s) {
        return s ? "=" + std::string(r.text(*s)) : std::string("none");
    };
    // An adapter's DHCP flag as telinv writes it stays; any other text there is cleaned.
    auto dhcp_flag = [](const Report &r, const std::optional<Span> &s) {
        return s && (r.text(*s) == "Ja" || r.text(*s) == "Nein");
    };
    if (a.line_end != b.line_end || a.truncated != b.truncated || a.short_report != b.short_report)
        return "line ends, cut or short report";
    if (a.lines.size() != b.lines.size())
        return "number of lines";
    if (a.sections.size() != b.sections.size())
        return "number of sections";
    static const std::string_view fixed[] = {"version", "netcfg",  "pbxcfg", "actcfg",  "kamailio",        "voip-files",
                                             "pbxboot", "pbxcards", "email", "sysinfo", "kamailio-err.txt"};
    for (std::size_t i = 0; i < a.sections.size(); i++) {
        const Section &x = a.sections[i], &y = b.sections[i];
        if (x.kind != y.kind || x.has_banner != y.has_banner || x.joined != y.joined || x.first_line != y.first_line ||
            x.line_count != y.line_count)
            return "section " + std::to_string(i);
        for (std::string_view f : fixed)
            if ((a.text(x.name) == f) != (b.text(y.name) == f))
                return "name of section " + std::to_string(i);
    }
    if (a.inventory.size() != b.inventory.size())
        return "number of inventory entries";
    for (std::size_t i = 0; i < a.inventory.size(); i++) {
        const InventoryEntry &x = a.inventory[i], &y = b.inventory[i];
        if (x.line != y.line || x.bytes != y.bytes || x.group != y.group || opt(a, x.version) != opt(b, y.version))
            return "inventory entry " + std::to_string(i);
    }
    if (a.listings.size() != b.listings.size())
        return "number of listings";
    for (std::size_t i = 0; i < a.listings.size(); i++) {
        const Listing &x = a.listings[i], &y = b.listings[i];
        if (x.section != y.section || x.heading_line != y.heading_line || x.entries.size() != y.entries.size())
            return "listing " + std::to_string(i);
        for (std::size_t k = 0; k < x.entries.size(); k++)
            if (x.entries[k].line != y.entries[k].line || x.entries[k].bytes != y.entries[k].bytes ||
                a.text(x.entries[k].date) != b.text(y.entries[k].date))
                return "entry " + std::to_string(k) + " of listing " + std::to_string(i);
    }
    if (a.email.present != b.email.present)
        return "mail settings";
    for (std::size_t f = 0; f < email_field_count; f++)
        if (a.email.values[f].has_value() != b.email.values[f].has_value() ||
            (email_fields[f].number && opt(a, a.email.values[f]) != opt(b, b.email.values[f])))
            return std::string("mail field ") + email_fields[f].name;
    const Sysinfo &x = a.sysinfo, &y = b.sysinfo;
    if (x.present != y.present || x.windows_major != y.windows_major || x.windows_minor != y.windows_minor)
        return "Windows version";
    for (std::size_t f = 0; f < sys_fact_count; f++) {
        if (x.facts[f].has_value() != y.facts[f].has_value())
            return std::string("fact ") + sys_facts[f].name;
        bool cleaned = f == fact_computer_name || f == fact_computername_variable || f == fact_volume_id ||
                       f == fact_processor_id;
        if (!cleaned && opt(a, x.facts[f]) != opt(b, y.facts[f]))
            return std::string("fact ") + sys_facts[f].name;
    }
    if (x.adapters.size() != y.adapters.size() || x.mac_addresses.size() != y.mac_addresses.size() ||
        x.updates.size() != y.updates.size() || x.hotfixes.size() != y.hotfixes.size() ||
        x.installed.size() != y.installed.size())
        return "adapters, MAC addresses, updates, hotfixes or installed programs";
    for (std::size_t i = 0; i < x.adapters.size(); i++) {
        if (x.adapters[i].number != y.adapters[i].number)
            return "adapter " + std::to_string(i);
        for (std::size_t f = 0; f < adapter_field_count; f++)
            if (x.adapters[i].values[f].has_value() != y.adapters[i].values[f].has_value() ||
                (f == adapter_dhcp && dhcp_flag(a, x.adapters[i].values[f]) &&
                 opt(a, x.adapters[i].values[f]) != opt(b, y.adapters[i].values[f])))
                return "adapter " + std::to_string(i);
    }
    for (std::size_t i = 0; i < x.hotfixes.size(); i++)
        if (a.text(x.hotfixes[i]) != b.text(y.hotfixes[i]))
            return "hotfix " + std::to_string(i);
    if (a.errors.size() != b.errors.size())
        return "number of error lines";
    for (std::size_t i = 0; i < a.errors.size(); i++)
        if (a.errors[i].line != b.errors[i].line)
            return "error line " + std::to_string(i);
    if (a.logs.size() != b.logs.size())
        return "number of log excerpts";
    for (std::size_t i = 0; i < a.logs.size(); i++)
        if (a.logs[i].status != b.logs[i].status || a.logs[i].line_count != b.logs[i].line_count ||
            a.logs[i].path.has_value() != b.logs[i].path.has_value())
            return "log excerpt " + std::to_string(i);
    return "";
}

} // namespace telinv_read

#endif
