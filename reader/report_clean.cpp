// The cleaner works on the model: it walks the report's lines in order, knows from the
// model what each line is (an inventory entry, a listing entry, a mail setting, an
// adapter's address, an identifier, a configuration entry, a log line), and rewrites the
// values there. Free text is read as tokens (runs of letters, digits, '_', '.' and '-'),
// so that a name is only ever replaced as a whole.
#include "report_clean.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "text.h"

namespace telinv_read {

const char clean_secret_mask[] = "********";

bool clean_kind_keepable(CleanKind kind) { return kind != CleanKind::keyword; }

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool is_alpha(char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
bool is_alnum(char c) { return is_digit(c) || is_alpha(c); }
bool is_hex(char c) { return is_digit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f'); }
bool is_token_char(char c) { return is_alnum(c) || c == '_' || c == '.' || c == '-'; }
bool is_local_char(char c) { return is_token_char(c) || c == '%' || c == '+'; }
bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool all_digits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return is_digit(c); });
}

// The position of `needle` (lower case) in `hay` from `from` on, in any ASCII case.
std::size_t ifind(std::string_view hay, std::string_view needle, std::size_t from)
{
    if (needle.empty() || needle.size() > hay.size())
        return npos;
    const char first = needle[0];
    for (std::size_t i = from; i + needle.size() <= hay.size(); i++) {
        if (ascii_lower(hay[i]) != first)
            continue;
        std::size_t k = 1;
        while (k < needle.size() && ascii_lower(hay[i + k]) == needle[k])
            k++;
        if (k == needle.size())
            return i;
    }
    return npos;
}

const std::string_view fixed_section_names[] = {"version", "netcfg",  "pbxcfg", "actcfg",  "kamailio",        "voip-files",
                                                "pbxboot", "pbxcards", "email", "sysinfo", "kamailio-err.txt"};

// The words of an entry's name: split where neither a letter nor a digit stands and where
// a lower-case letter is followed by an upper-case one ("SipPassword": sip, password).
std::vector<std::string> name_words(std::string_view name)
{
    std::vector<std::string> words;
    std::string w;
    for (std::size_t i = 0; i < name.size(); i++) {
        char c = name[i];
        if (!is_alnum(c)) {
            if (!w.empty())
                words.push_back(w);
            w.clear();
            continue;
        }
        if (!w.empty() && c >= 'A' && c <= 'Z' && i > 0 && name[i - 1] >= 'a' && name[i - 1] <= 'z') {
            words.push_back(w);
            w.clear();
        }
        w += ascii_lower(c);
    }
    if (!w.empty())
        words.push_back(w);
    return words;
}

bool ends_with_word(const std::string &w, std::string_view end) { return ends_with(w, end); }

// An entry whose name says password, secret, PIN or key.
bool is_secret_name(std::string_view name)
{
    for (const std::string &w : name_words(name)) {
        if (w.find("passw") != npos || w.find("secret") != npos || w.find("passphrase") != npos)
            return true;
        if (w == "pin" || w == "pincode" || w == "pwd" || w == "pass" || w == "pw" ||
            ends_with_word(w, "key") || ends_with_word(w, "pin") || ends_with_word(w, "pwd"))
            return true;
    }
    return false;
}

// An entry whose numbers are counts, times, ports, codes of a country or the like, not
// telephone numbers.
bool is_count_name(std::string_view name)
{
    static const std::string_view counts[] = {
        "port", "ports", "timeout", "time", "times", "delay", "interval", "count", "size", "len", "length",
        "max", "min", "limit", "channels", "channel", "chan", "version", "ver", "level", "retry", "retries",
        "poll", "ttl", "rate", "bitrate", "codec", "mtu", "vlan", "year", "date", "day", "days", "hour",
        "hours", "minute", "minutes", "second", "seconds", "ms", "sec", "secs", "country", "area", "areacode",
        "baud", "bits", "slots", "ts", "rtp", "dtmf", "volume", "gain", "priority", "weight", "id"};
    for (const std::string &w : name_words(name))
        for (std::string_view c : counts)
            if (w == c)
                return true;
    return false;
}

bool looks_like_date(std::string_view v)
{
    // dddd-dd-dd, dd-dd-dddd, dd/dd/dd and the like
    std::vector<std::size_t> parts;
    std::size_t n = 0;
    char sep = 0;
    for (char c : v) {
        if (is_digit(c)) {
            n++;
            continue;
        }
        if ((c != '-' && c != '/' && c != '.') || (sep && c != sep))
            return false;
        sep = c;
        parts.push_back(n);
        n = 0;
    }
    parts.push_back(n);
    if (parts.size() != 3)
        return false;
    return (parts[0] == 4 && parts[1] == 2 && parts[2] == 2) ||
           (parts[0] <= 2 && parts[1] <= 2 && (parts[2] == 2 || parts[2] == 4));
}

// A value that is a telephone number: an optional '+', digits with blanks, '-', '/' or
// parentheses between them, at least three digits.
bool phone_shaped(std::string_view v)
{
    if (v.empty() || !is_digit(v.back()))
        return false;
    std::size_t digits = 0;
    for (std::size_t i = 0; i < v.size(); i++) {
        char c = v[i];
        if (is_digit(c))
            digits++;
        else if (c == '+' ? i != 0 : (c != ' ' && c != '-' && c != '/' && c != '(' && c != ')'))
            return false;
    }
    return digits >= 3 && !looks_like_date(v);
}

// The part of a host name that a registrar gives out: its last two labels, or three
// where the last two are a country's second level ("co.uk"); none for a name of one
// label or an address.
std::optional<std::string_view> registrable_domain(std::string_view host)
{
    std::vector<std::size_t> dots;
    for (std::size_t i = 0; i < host.size(); i++)
        if (host[i] == '.')
            dots.push_back(i);
    if (dots.empty() || dots.front() == 0 || dots.back() + 1 == host.size())
        return std::nullopt;
    for (std::size_t k = 1; k < dots.size(); k++)
        if (dots[k] == dots[k - 1] + 1)
            return std::nullopt;
    std::string_view last = host.substr(dots.back() + 1);
    if (all_digits(last) || std::none_of(host.begin(), host.end(), is_alpha))
        return std::nullopt;
    std::size_t labels = 2;
    if (dots.size() >= 2) {
        std::string_view second = host.substr(dots[dots.size() - 2] + 1, dots.back() - dots[dots.size() - 2] - 1);
        if (last.size() == 2 && second.size() <= 3)
            labels = 3;
    }
    if (labels > dots.size())
        return host;
    return host.substr(dots[dots.size() - labels] + 1);
}

// Profile folders whose names are Windows' own.
bool well_known_profile(std::string_view name)
{
    static const std::string_view names[] = {"all users", "default", "default user", "public", "localservice",
                                             "networkservice", "administrator", "guest", "desktop.ini",
                                             "defaultapppool"};
    for (std::string_view n : names)
        if (ascii_iequals(name, n))
            return true;
    return false;
}

// The user name of a profile path whose separator stands at `i`: [from, to), or none.
std::optional<std::pair<std::size_t, std::size_t>> profile_user_at(std::string_view t, std::size_t i)
{
    static const std::string_view stems[] = {"users", "documents and settings", "profiles"};
    for (std::string_view stem : stems) {
        std::size_t from = i + 1 + stem.size() + 1;
        if (from > t.size() || !ascii_iequals(t.substr(i + 1, stem.size()), stem) ||
            (t[from - 1] != '\\' && t[from - 1] != '/'))
            continue;
        std::size_t end = from;
        while (end < t.size() && std::strchr("\\/'\"<>|:*?\r\n\t", t[end]) == nullptr && t[end] != '\0')
            end++;
        std::size_t to = end;
        if (end == t.size() || (t[end] != '\\' && t[end] != '/')) {
            std::size_t blank = t.find(' ', from);
            if (blank < end)
                to = blank;
        }
        while (to > from && (t[to - 1] == ' ' || t[to - 1] == '.'))
            to--;
        std::string_view name = t.substr(from, to - from);
        if (name.empty() || name[0] == '%' || name[0] == '.' || well_known_profile(name))
            return std::nullopt;
        return std::make_pair(from, to);
    }
    return std::nullopt;
}

// A name without dots that names a host where a host stands (a mail server, the host
// of an address, the domain of DOMAIN\user).
bool bare_host_name(std::string_view s)
{
    return !s.empty() && s.find('.') == npos && !all_digits(s) && !ascii_iequals(s, "localhost") &&
           std::all_of(s.begin(), s.end(), is_token_char);
}

bool contiguous_mask(std::uint32_t a)
{
    std::uint32_t inverted = ~a;
    return a & 0x80000000u && (inverted & (inverted + 1)) == 0;
}

// Addresses that say nothing of a site: this network, loopback, multicast and the
// reserved range, masks.
bool kept_ipv4(std::uint32_t a)
{
    std::uint32_t first = a >> 24;
    return first == 0 || first == 127 || first >= 224 || contiguous_mask(a);
}

// Where the scanner looks for telephone numbers: nowhere, in log lines ("call N to N",
// "from N", +E.164), or in configuration copies (+E.164; entries are read on their own).
enum class Phones { none, log, config };

// What the scanner saw last: the last word and where it ended, for the words that tell
// what a number is ("call 10202 to 201", "pbxcfg 6.2.1.0").
struct Words {
    std::string last;
    std::size_t end = npos;
    bool call = false;
};

// The lines the model knows, and what they are.
enum class Job : std::uint8_t { inventory, listing_heading, listing_entry, error, log_path, email_value,
                                sys_host, sys_id, mac_line, adapter_value };

struct LineJob {
    std::size_t line;
    Job job;
    int field;
    Span span;
};

// A sink for the cleaned bytes: a string, or an Output that flushes now and then.
struct StringSink {
    std::string &s;
    std::string &buffer() { return s; }
    void maybe_flush() {}
};

struct OutputSink {
    Output &o;
    std::string &buffer() { return o.buffer(); }
    void maybe_flush() { o.maybe_flush(); }
};

} // namespace

struct Cleaner::Impl {
    Impl(CleanMap &m, const Codepage &c, const CleanOptions &o) : map(m), cp(c), options(o) {}

    CleanMap &map;
    const Codepage cp;
    CleanOptions options;
    struct Keyword {
        std::string bytes; // in the report's code page, lower case
        std::string replacement;
    };
    std::vector<Keyword> keywords;
    std::unordered_set<std::string> profile_users; // keys of the users found in profile paths
    std::unordered_set<std::string> versions;      // the inventory's versions
    std::unordered_set<std::string> programs;      // the inventory's file names without extension
    CleanCounts counts;
    const Report *r = nullptr;

    bool keep(CleanKind k) const { return options.keep[static_cast<std::size_t>(k)]; }
    void count(CleanKind k, std::size_t n = 1) { counts.replaced[static_cast<std::size_t>(k)] += n; }

    std::string utf8(std::string_view bytes) const
    {
        if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
            return std::string(bytes);
        return cp.decode(bytes);
    }
    std::string key_of(std::string_view bytes) const { return ascii_lower(utf8(bytes)); }

    void setup();
    void learn(const Report &report);
    void learn_host(std::string_view host);
    void learn_fqdn_rest(std::string_view rest);
    template <class Sink> void run(const Report &report, Sink &sink);

    // The pieces of the scanner.
    void scan(std::string_view t, std::string &out, Phones phones);
    void plain(std::string_view s, std::string &out);
    bool token(std::string_view t, std::size_t from, std::size_t to, Words &w, Phones phones, std::string &out);
    bool name_token(std::string_view core, std::string &out, bool host_if_unknown);
    void local_part(std::string_view local, std::string &out);
    void host_part(std::string_view host, std::string &out);
    std::optional<std::uint32_t> ipv4(std::uint32_t a);
    bool ipv6(std::string_view text, std::string &out);
    bool mac(std::string_view text, std::string &out);
    void phone(std::string_view text, std::string &out);
    void mask(std::string_view value, std::string &out);
    void whole(CleanKind kind, std::string_view value, std::string &out);

    // The lines.
    void config_line(std::string_view line, std::string &out, bool user_file);
    void entry_value(std::string_view v, bool secret, bool counts_only, std::string &out);
    void email_line(std::string_view line, int field, Span value, std::string &out);
    void sysinfo_line(std::string_view line, std::string &out);
    void mac_line(std::string_view line, std::string &out);
    void keep_column(std::string_view line, std::size_t from, std::size_t to, std::string_view with, std::string &out);
    void inventory_line(std::string_view line, std::size_t from, std::size_t size, std::string &out);
    void banner(const Section &s, std::string &out);
    void line(const Section &s, std::size_t index, const LineJob *job, std::string &out);
    std::vector<LineJob> jobs() const;
    std::size_t line_at(std::uint32_t offset) const;
};

Cleaner::Cleaner(CleanMap &map, const Codepage &cp, const CleanOptions &options)
    : impl_(std::make_unique<Impl>(map, cp, options))
{
    impl_->setup();
}

Cleaner::~Cleaner() = default;

void Cleaner::Impl::setup()
{
    if (!keep(CleanKind::domain))
        for (const std::string &d : options.domains)
            map.domain(ascii_lower(d), d);
    for (const std::string &k : options.keywords)
        map.name(CleanKind::keyword, ascii_lower(k), k);
    // Every keyword of the map, also those of earlier runs; the longest first, so that of
    // two that start at one place the longer is taken.
    const MapTable &t = map.table(CleanKind::keyword);
    for (std::size_t i = 0; i < t.size(); i++) {
        std::string bytes;
        std::size_t next = 0;
        std::string_view original = t.original(i);
        if (!cp.encode(original, bytes, nullptr, 0, &next) || bytes.empty())
            continue; // a keyword this code page can't spell can't stand in the report
        keywords.push_back({ascii_lower(bytes), std::string(t.replacement(i))});
    }
    std::stable_sort(keywords.begin(), keywords.end(),
                     [](const Keyword &a, const Keyword &b) { return a.bytes.size() > b.bytes.size(); });
}

// --- what a report makes known ------------------------------------------------------------

// What follows "COMPUTERNAME." is the computer's domain, unless it is a file's name.
void Cleaner::Impl::learn_fqdn_rest(std::string_view rest)
{
    static const std::string_view extensions[] = {"log", "txt", "cfg", "ini", "bak", "zip", "exe", "dll", "sys", "csv",
                                                  "xml", "json", "dat", "tmp", "old", "new", "tcl", "conf", "reg"};
    std::size_t dot = rest.rfind('.');
    if (dot == npos || keep(CleanKind::domain))
        return;
    std::string_view last = rest.substr(dot + 1);
    if (last.size() < 2 || !std::all_of(last.begin(), last.end(), is_alpha))
        return;
    for (std::string_view e : extensions)
        if (ascii_iequals(last, e))
            return;
    learn_host(rest);
}

// A host name where the report shows one (a mail server, the host of an address): its
// domain, or the name itself when it has no dots. Learnt before any line is written, as
// these replace a word wherever it stands.
void Cleaner::Impl::learn_host(std::string_view host)
{
    if (host.empty() || parse_ipv4(host))
        return;
    if (host.find('.') == npos) {
        if (!keep(CleanKind::host) && bare_host_name(host))
            map.name(CleanKind::host, key_of(host), utf8(host));
        return;
    }
    if (keep(CleanKind::domain))
        return;
    if (auto d = registrable_domain(host))
        map.domain(key_of(*d), utf8(*d));
}

void Cleaner::Impl::learn(const Report &report)
{
    versions.clear();
    programs.clear();
    for (const InventoryEntry &e : report.inventory) {
        if (e.version)
            versions.insert(std::string(report.text(*e.version)));
        std::string_view path = report.text(e.path);
        std::size_t slash = path.find_last_of("\\/");
        std::string_view file = slash == npos ? path : path.substr(slash + 1);
        programs.insert(ascii_lower(file.substr(0, file.rfind('.'))));
    }
    const std::string_view b = report.bytes;
    const Sysinfo &si = report.sysinfo;
    std::vector<std::string> computer_names;
    if (!keep(CleanKind::host)) {
        for (SysFact f : {fact_computer_name, fact_computername_variable}) {
            if (!si.facts[f])
                continue;
            std::string_view name = trim(report.text(*si.facts[f]));
            if (name.empty())
                continue;
            map.name(CleanKind::host, key_of(name), utf8(name));
            computer_names.push_back(ascii_lower(name));
        }
    }
    if (!keep(CleanKind::id))
        for (SysFact f : {fact_volume_id, fact_processor_id})
            if (si.facts[f] && !trim(report.text(*si.facts[f])).empty())
                map.id(key_of(trim(report.text(*si.facts[f]))), utf8(trim(report.text(*si.facts[f]))));
    // The domains of e-mail and SIP addresses, wherever they stand.
    for (std::size_t at = b.find('@'); at != npos; at = b.find('@', at + 1)) {
        if (at == 0 || !is_local_char(b[at - 1]))
            continue;
        std::size_t e = at + 1;
        while (e < b.size() && (is_token_char(b[e])))
            e++;
        while (e > at + 1 && (b[e - 1] == '.' || b[e - 1] == '-'))
            e--;
        learn_host(b.substr(at + 1, e - at - 1));
    }
    // The mail servers, and the domain of a user "DOMAIN\user".
    for (EmailField f : {email_pop3_server, email_smtp_server})
        if (report.email.values[f])
            learn_host(trim(report.text(*report.email.values[f])));
    for (EmailField f : {email_pop3_user, email_smtp_user}) {
        std::string_view u = report.email.values[f] ? trim(report.text(*report.email.values[f])) : std::string_view();
        if (u.find('@') == npos && u.find('\\') != npos)
            learn_host(u.substr(0, u.find('\\')));
    }
    // The computer's own domain: a name whose first label is the computer's.
    for (const std::string &name : computer_names) {
        std::string dotted = name + ".";
        for (std::size_t at = ifind(b, dotted, 0); at != npos; at = ifind(b, dotted, at + 1)) {
            if (at > 0 && is_token_char(b[at - 1]))
                continue;
            std::size_t e = at + dotted.size();
            while (e < b.size() && is_token_char(b[e]))
                e++;
            while (e > at && (b[e - 1] == '.' || b[e - 1] == '-'))
                e--;
            if (e > at + dotted.size())
                learn_fqdn_rest(b.substr(at + dotted.size(), e - at - dotted.size()));
        }
    }
    // The users of profile paths.
    if (!keep(CleanKind::user)) {
        for (std::size_t i = 0; i < b.size(); i++) {
            if (b[i] != '\\' && b[i] != '/')
                continue;
            if (auto u = profile_user_at(b, i)) {
                std::string_view name = b.substr(u->first, u->second - u->first);
                std::string key = key_of(name);
                map.name(CleanKind::user, key, utf8(name));
                profile_users.insert(key);
            }
        }
    }
}

// --- the scanner ----------------------------------------------------------------------------

// Text between the values found: the keywords, in any ASCII case.
void Cleaner::Impl::plain(std::string_view s, std::string &out)
{
    if (keywords.empty()) {
        out.append(s.data(), s.size());
        return;
    }
    std::size_t pos = 0;
    while (pos < s.size()) {
        std::size_t best = npos;
        const Keyword *which = nullptr;
        for (const Keyword &k : keywords) {
            std::size_t f = ifind(s, k.bytes, pos);
            if (f < best) {
                best = f;
                which = &k;
            }
        }
        if (!which)
            break;
        out.append(s.data() + pos, best - pos);
        out += which->replacement;
        count(CleanKind::keyword);
        pos = best + which->bytes.size();
    }
    out.append(s.data() + pos, s.size() - pos);
}

std::optional<std::uint32_t> Cleaner::Impl::ipv4(std::uint32_t a)
{
    if (keep(CleanKind::ipv4) || kept_ipv4(a))
        return std::nullopt;
    return (map.ipv4_network(a >> 8) << 8) | (a & 255);
}

void Cleaner::Impl::phone(std::string_view text, std::string &out)
{
    std::string digits;
    for (char c : text)
        if (is_digit(c))
            digits += c;
    std::string replacement(map.phone(digits));
    std::size_t k = 0;
    for (char c : text)
        out += is_digit(c) ? replacement[k++] : c;
    count(CleanKind::phone);
}

void Cleaner::Impl::mask(std::string_view value, std::string &out)
{
    out += clean_secret_mask;
    if (value != clean_secret_mask)
        counts.secrets++;
}

// A MAC address as six bytes with '-' or ':' between them, or as three groups of four
// with '.' between them: the vendor's part stays, the separators and the case too.
bool Cleaner::Impl::mac(std::string_view t, std::string &out)
{
    std::string hex;
    if (t.size() == 17) {
        char sep = t[2];
        if (sep != '-' && sep != ':')
            return false;
        for (std::size_t i = 0; i < 17; i++) {
            if (i % 3 == 2 ? t[i] != sep : !is_hex(t[i]))
                return false;
            if (i % 3 != 2)
                hex += ascii_lower(t[i]);
        }
    } else if (t.size() == 14) {
        for (std::size_t i = 0; i < 14; i++) {
            if (i % 5 == 4 ? t[i] != '.' : !is_hex(t[i]))
                return false;
            if (i % 5 != 4)
                hex += ascii_lower(t[i]);
        }
    } else {
        return false;
    }
    if (keep(CleanKind::mac))
        return false;
    // Multicast and broadcast addresses, and none at all, name no card.
    int first = (is_digit(hex[0]) ? hex[0] - '0' : hex[0] - 'a' + 10) * 16 + (is_digit(hex[1]) ? hex[1] - '0' : hex[1] - 'a' + 10);
    if ((first & 1) || hex == "000000000000")
        return false;
    std::string replacement;
    for (char c : map.mac(hex, utf8(t)))
        if (is_hex(c))
            replacement += c;
    bool lower_case = std::any_of(t.begin(), t.end(), [](char c) { return c >= 'a' && c <= 'f'; }) &&
                      std::none_of(t.begin(), t.end(), [](char c) { return c >= 'A' && c <= 'F'; });
    std::size_t k = 0;
    for (char c : t)
        out += is_hex(c) ? (lower_case ? ascii_lower(replacement[k++]) : replacement[k++]) : c;
    count(CleanKind::mac);
    return true;
}

// An IPv6 address: its site (the first 48 bits) goes to 2001:db8::/32, the subnet stays,
// an interface part made from a MAC address (EUI-64) takes the MAC address's
// replacement; the loopback, unspecified, multicast addresses stay, a link-local one
// keeps its prefix, one that holds an IPv4 address has that replaced.
bool Cleaner::Impl::ipv6(std::string_view t, std::string &out)
{
    auto parsed = parse_ipv6(t);
    if (!parsed || keep(CleanKind::ipv6))
        return false;
    Ipv6Address a = *parsed;
    auto &g = a.groups;
    bool changed = false;
    bool first96_zero = std::all_of(g.begin(), g.begin() + 5, [](std::uint16_t v) { return v == 0; });
    if (first96_zero && (g[5] == 0xFFFF || (g[5] == 0 && a.dotted_tail))) {
        // An IPv4 address in an IPv6 one.
        auto v4 = ipv4((std::uint32_t(g[6]) << 16) | g[7]);
        if (!v4)
            return false;
        g[6] = static_cast<std::uint16_t>(*v4 >> 16);
        g[7] = static_cast<std::uint16_t>(*v4);
        changed = true;
    } else if (std::all_of(g.begin(), g.begin() + 7, [](std::uint16_t v) { return v == 0; }) || (g[0] >> 8) == 0xFF) {
        return false; // :: and ::1, multicast
    } else {
        if ((g[0] & 0xFFC0) != 0xFE80) {
            std::uint64_t site = (std::uint64_t(g[0]) << 32) | (std::uint64_t(g[1]) << 16) | g[2];
            std::uint64_t to = map.ipv6_site(site);
            g[0] = static_cast<std::uint16_t>(to >> 32);
            g[1] = static_cast<std::uint16_t>(to >> 16);
            g[2] = static_cast<std::uint16_t>(to);
            changed = true;
        }
        // EUI-64: the MAC address with ff:fe in its middle and the universal bit turned.
        if ((g[5] & 0xFF) == 0xFF && (g[6] >> 8) == 0xFE && !keep(CleanKind::mac)) {
            char hex[13];
            std::snprintf(hex, sizeof hex, "%02x%02x%02x%02x%02x%02x", (g[4] >> 8) ^ 0x02, g[4] & 0xFF, g[5] >> 8,
                          g[6] & 0xFF, g[7] >> 8, g[7] & 0xFF);
            if (!(((g[4] >> 8) ^ 0x02) & 1)) {
                std::string original = std::string(hex, 2) + "-" + std::string(hex + 2, 2) + "-" + std::string(hex + 4, 2) +
                                       "-" + std::string(hex + 6, 2) + "-" + std::string(hex + 8, 2) + "-" +
                                       std::string(hex + 10, 2);
                std::string r;
                for (char c : map.mac(hex, original))
                    if (is_hex(c))
                        r += c;
                auto byte = [&](std::size_t k) { return static_cast<std::uint16_t>(std::stoul(r.substr(2 * k, 2), nullptr, 16)); };
                g[4] = static_cast<std::uint16_t>(((byte(0) ^ 0x02) << 8) | byte(1));
                g[5] = static_cast<std::uint16_t>((byte(2) << 8) | 0xFF);
                g[6] = static_cast<std::uint16_t>(0xFE00 | byte(3));
                g[7] = static_cast<std::uint16_t>((byte(4) << 8) | byte(5));
                count(CleanKind::mac);
                changed = true;
            }
        }
        if (!changed)
            return false;
    }
    std::string text = ipv6_text(a);
    if (std::any_of(t.begin(), t.end(), [](char c) { return c >= 'A' && c <= 'F'; }) &&
        std::none_of(t.begin(), t.end(), [](char c) { return c >= 'a' && c <= 'f'; }))
        for (char &c : text)
            c = static_cast<char>(c >= 'a' && c <= 'f' ? c - 32 : c);
    out += text;
    count(CleanKind::ipv6);
    return true;
}

// A name: a known host, profile user, identifier or domain, a host under a known domain
// (its labels before the domain become one host name), or a dotted name with a known host
// as one of its labels ("SAMPLE-PBX.log"). With host_if_unknown an unknown name without
// dots is taken as a host name (a mail server's, that of an address).
bool Cleaner::Impl::name_token(std::string_view core, std::string &out, bool host_if_unknown)
{
    const MapTable &hosts = map.table(CleanKind::host);
    const MapTable &domains = map.table(CleanKind::domain);
    const MapTable &ids = map.table(CleanKind::id);
    if (hosts.size() == 0 && domains.size() == 0 && ids.size() == 0 && profile_users.empty() && !host_if_unknown)
        return false;
    const std::string key = key_of(core);
    std::size_t i;
    if (!keep(CleanKind::host) && (i = hosts.find(key)) != MapTable::npos) {
        out += hosts.replacement(i);
        count(CleanKind::host);
        return true;
    }
    if (!keep(CleanKind::user) && profile_users.count(key)) {
        out += map.name(CleanKind::user, key, utf8(core));
        count(CleanKind::user);
        return true;
    }
    if (!keep(CleanKind::id) && (i = ids.find(key)) != MapTable::npos) {
        out += ids.replacement(i);
        count(CleanKind::id);
        return true;
    }
    const bool dotted = key.find('.') != npos;
    if (dotted && !keep(CleanKind::domain) && domains.size()) {
        for (std::size_t dot = key.find('.'); dot != npos; dot = key.find('.', dot + 1)) {
            std::size_t d = dot == 0 ? npos : domains.find(std::string_view(key).substr(dot + 1));
            if (d == npos)
                continue;
            std::string domain(domains.replacement(d));
            count(CleanKind::domain);
            if (keep(CleanKind::host)) {
                out.append(core.substr(0, dot + 1));
                out += domain;
                return true;
            }
            std::string first;
            std::string_view prefix = std::string_view(key).substr(0, dot);
            std::size_t h = prefix.find('.') == npos ? hosts.find(prefix) : MapTable::npos;
            if (h != MapTable::npos)
                first = std::string(hosts.replacement(h));
            out += map.host_in_domain(key, utf8(core), first, domain);
            count(CleanKind::host);
            return true;
        }
        if ((i = domains.find(key)) != MapTable::npos) {
            out += domains.replacement(i);
            count(CleanKind::domain);
            return true;
        }
    }
    if (dotted && !keep(CleanKind::host) && hosts.size()) {
        // A known host as a label of a dotted name.
        std::string built;
        bool any = false;
        std::size_t start = 0;
        for (std::size_t k = 0; k <= core.size(); k++) {
            if (k < core.size() && core[k] != '.')
                continue;
            std::string_view label = std::string_view(key).substr(start, k - start);
            std::size_t h = label.empty() ? MapTable::npos : hosts.find(label);
            if (h != MapTable::npos) {
                built += hosts.replacement(h);
                count(CleanKind::host);
                any = true;
            } else {
                built.append(core.substr(start, k - start));
            }
            if (k < core.size())
                built += '.';
            start = k + 1;
        }
        if (any) {
            out += built;
            return true;
        }
    }
    if (host_if_unknown && !dotted && !keep(CleanKind::host) && bare_host_name(core)) {
        out += map.name(CleanKind::host, key, utf8(core));
        count(CleanKind::host);
        return true;
    }
    return false;
}

// The name of an e-mail or SIP address: a telephone number when it is digits.
void Cleaner::Impl::local_part(std::string_view local, std::string &out)
{
    if (all_digits(local)) {
        if (keep(CleanKind::phone))
            out.append(local.data(), local.size());
        else
            phone(local, out);
        return;
    }
    if (keep(CleanKind::user)) {
        plain(local, out);
        return;
    }
    out += map.name(CleanKind::user, key_of(local), utf8(local));
    count(CleanKind::user);
}

void Cleaner::Impl::host_part(std::string_view host, std::string &out)
{
    if (auto a = parse_ipv4(host)) {
        if (auto to = ipv4(*a)) {
            out += ipv4_text(*to);
            count(CleanKind::ipv4);
            return;
        }
        out.append(host.data(), host.size());
        return;
    }
    if (!name_token(host, out, true))
        plain(host, out);
}

// A run of token characters at [from, to): an address, a number that the words before it
// make a telephone number, or a name.
bool Cleaner::Impl::token(std::string_view t, std::size_t from, std::size_t to, Words &w, Phones phones,
                          std::string &out)
{
    std::size_t ci = from, ce = to;
    while (ci < ce && (t[ci] == '.' || t[ci] == '-'))
        ci++;
    while (ce > ci && (t[ce - 1] == '.' || t[ce - 1] == '-'))
        ce--;
    std::string_view core = t.substr(ci, ce - ci);
    bool adjacent = w.end != npos && w.end <= ci &&
                    std::all_of(t.begin() + static_cast<std::ptrdiff_t>(w.end), t.begin() + static_cast<std::ptrdiff_t>(ci),
                                [](char c) { return c == ' ' || c == '\t' || c == ':' || c == '='; });
    const std::string previous = adjacent ? w.last : std::string();
    w.last = core.size() <= 12 ? ascii_lower(core) : std::string();
    w.end = to;
    if (w.last == "call")
        w.call = true;
    if (core.empty())
        return false;
    std::string replacement;
    bool replaced = false;
    if (is_digit(core[0]) && core.find('.') != npos) {
        if (auto a = parse_ipv4(core)) {
            // A version written like an address: one of the inventory's, or after a
            // program's name or a word that says so.
            static const std::string_view version_words[] = {"version", "ver", "v", "release", "build", "firmware",
                                                             "fw", "rev", "revision"};
            bool version = versions.count(std::string(core)) || programs.count(previous) ||
                           std::find(std::begin(version_words), std::end(version_words), previous) != std::end(version_words);
            if (version)
                return false;
            auto to4 = ipv4(*a);
            if (!to4)
                return false;
            replacement = ipv4_text(*to4);
            count(CleanKind::ipv4);
            replaced = true;
        }
    }
    if (!replaced && mac(core, replacement))
        replaced = true;
    if (!replaced && all_digits(core)) {
        bool by_words = phones == Phones::log && core.size() >= 3 &&
                        (previous == "call" || previous == "from" || (previous == "to" && w.call));
        if (!by_words || keep(CleanKind::phone))
            return false;
        phone(core, replacement);
        replaced = true;
    }
    if (!replaced && !all_digits(core))
        replaced = name_token(core, replacement, false);
    if (!replaced)
        return false;
    out.append(t.substr(from, ci - from));
    out += replacement;
    out.append(t.substr(ce, to - ce));
    return true;
}

void Cleaner::Impl::scan(std::string_view t, std::string &out, Phones phones)
{
    const std::size_t n = t.size();
    std::size_t done = 0; // t[done, i) is plain text not yet written
    std::size_t i = 0;
    Words w;
    auto put = [&](std::size_t from) { plain(t.substr(done, from - done), out); };
    while (i < n) {
        const char c = t[i];
        if ((c == '\\' || c == '/') && !keep(CleanKind::user)) {
            if (auto u = profile_user_at(t, i)) {
                put(u->first);
                std::string_view name = t.substr(u->first, u->second - u->first);
                std::string key = key_of(name);
                out += map.name(CleanKind::user, key, utf8(name));
                profile_users.insert(key);
                count(CleanKind::user);
                done = i = u->second;
                continue;
            }
            i++;
            continue;
        }
        if (c == '+' && phones != Phones::none && !keep(CleanKind::phone) && (i == 0 || !is_alnum(t[i - 1]))) {
            std::size_t j = i + 1;
            while (j < n && is_digit(t[j]))
                j++;
            if (j - i - 1 >= 6 && (j == n || !is_token_char(t[j]) || t[j] == '.' || t[j] == '-')) {
                put(i + 1);
                phone(t.substr(i + 1, j - i - 1), out);
                done = i = j;
                continue;
            }
        }
        const bool double_colon = c == ':' && i + 1 < n && t[i + 1] == ':' && (i == 0 || !is_hex(t[i - 1]));
        if (!double_colon && (!is_token_char(c) || (i > 0 && is_token_char(t[i - 1])))) {
            i++;
            continue;
        }
        // An e-mail or SIP address: name@host.
        std::size_t l = i;
        while (l < n && is_local_char(t[l]))
            l++;
        if (!double_colon && l > i && l < n && t[l] == '@') {
            std::size_t h = l + 1;
            while (h < n && is_token_char(t[h]))
                h++;
            while (h > l + 1 && (t[h - 1] == '.' || t[h - 1] == '-'))
                h--;
            if (h > l + 1) {
                put(i);
                local_part(t.substr(i, l - i), out);
                out += '@';
                host_part(t.substr(l + 1, h - l - 1), out);
                done = i = h;
                w.end = npos;
                continue;
            }
        }
        // A MAC address with colons, or an IPv6 address.
        if (double_colon || is_hex(c)) {
            std::size_t h = i;
            while (h < n && (is_hex(t[h]) || t[h] == ':' || t[h] == '.'))
                h++;
            while (h > i && (t[h - 1] == '.' || (t[h - 1] == ':' && !(h >= i + 2 && t[h - 2] == ':'))))
                h--;
            std::string_view run = t.substr(i, h - i);
            if (run.find(':') != npos && (h == n || !is_alnum(t[h]))) {
                std::string replacement;
                bool done_here = false;
                if (run.size() == 17 && mac(run, replacement)) {
                    done_here = true;
                } else if (run.size() >= 2) {
                    // Not every run of hexadecimal digits and colons is an address: an
                    // abbreviated one needs a group of three digits or more, or "::1".
                    bool long_group = false;
                    std::size_t g = 0;
                    for (char ch : run) {
                        g = is_hex(ch) ? g + 1 : 0;
                        long_group = long_group || g >= 3;
                    }
                    bool full = std::count(run.begin(), run.end(), ':') == 7;
                    if ((full || long_group || run.find('.') != npos) && ipv6(run, replacement))
                        done_here = true;
                }
                if (done_here) {
                    put(i);
                    out += replacement;
                    done = i = h;
                    w.end = npos;
                    continue;
                }
            }
            if (double_colon) {
                i += 2;
                continue;
            }
        }
        std::size_t e = i;
        while (e < n && is_token_char(t[e]))
            e++;
        std::string replacement;
        if (token(t, i, e, w, phones, replacement)) {
            put(i);
            out += replacement;
            done = e;
        }
        i = e;
    }
    put(n);
}

// --- the lines ------------------------------------------------------------------------------

// A whole value that is a host name or an identifier (the sysinfo section's).
void Cleaner::Impl::whole(CleanKind kind, std::string_view value, std::string &out)
{
    std::string_view v = trim(value);
    std::size_t lead = static_cast<std::size_t>(v.data() - value.data());
    if (v.empty() || keep(kind)) {
        out.append(value.data(), value.size());
        return;
    }
    out.append(value.substr(0, lead));
    out += kind == CleanKind::id ? map.id(key_of(v), utf8(v)) : map.name(kind, key_of(v), utf8(v));
    count(kind);
    out.append(value.substr(lead + v.size()));
}

void Cleaner::Impl::entry_value(std::string_view v, bool secret, bool counts_only, std::string &out)
{
    if (v.empty())
        return;
    if (secret)
        mask(v, out);
    else if (!counts_only && phone_shaped(v) && !keep(CleanKind::phone))
        phone(v, out);
    else
        scan(v, out, Phones::config);
}

// A line of a configuration copy: an entry "Name = { "value", ... };", "set name value"
// or "name=value" has its values read as the name says (a secret is masked; a telephone
// number replaced digit for digit unless the name says it counts something); the VoIP
// users' file is "user password" a line.
void Cleaner::Impl::config_line(std::string_view line, std::string &out, bool user_file)
{
    const std::size_t n = line.size();
    std::size_t lead = 0;
    while (lead < n && is_blank(line[lead]))
        lead++;
    if (lead == n || line[lead] == '#' || line[lead] == ';') {
        scan(line, out, Phones::config);
        return;
    }
    if (user_file) {
        std::size_t e = lead;
        while (e < n && !is_blank(line[e]))
            e++;
        out.append(line.substr(0, lead));
        std::string_view user = line.substr(lead, e - lead);
        if (std::all_of(user.begin(), user.end(), is_local_char))
            local_part(user, out);
        else
            scan(user, out, Phones::config);
        std::size_t v = e;
        while (v < n && is_blank(line[v]))
            v++;
        out.append(line.substr(e, v - e));
        if (v < n) {
            std::size_t end = n;
            while (end > v && is_blank(line[end - 1]))
                end--;
            mask(line.substr(v, end - v), out);
            out.append(line.substr(end));
        }
        return;
    }
    std::size_t key_from = lead, key_to, value_from;
    if (n - lead > 4 && line.compare(lead, 4, "set ") == 0) {
        key_from = lead + 4;
        while (key_from < n && is_blank(line[key_from]))
            key_from++;
        key_to = key_from;
        while (key_to < n && !is_blank(line[key_to]))
            key_to++;
        value_from = key_to;
        while (value_from < n && is_blank(line[value_from]))
            value_from++;
    } else {
        key_to = key_from;
        while (key_to < n && is_token_char(line[key_to]))
            key_to++;
        std::size_t p = key_to;
        while (p < n && is_blank(line[p]))
            p++;
        if (p < n && line[p] == '=')
            value_from = p + 1;
        else if (p + 1 < n && line[p] == ':' && line[p + 1] == ' ')
            value_from = p + 2;
        else
            value_from = npos;
        while (value_from < n && is_blank(line[value_from]))
            value_from++;
    }
    if (key_to == key_from || value_from == npos || value_from > n) {
        scan(line, out, Phones::config);
        return;
    }
    std::string_view key = line.substr(key_from, key_to - key_from);
    const bool secret = is_secret_name(key);
    const bool counts_only = !secret && is_count_name(key);
    scan(line.substr(0, value_from), out, Phones::config);
    std::string_view value = line.substr(value_from);
    if (value.find('"') != npos) {
        std::size_t p = 0;
        while (p < value.size()) {
            std::size_t q = value.find('"', p);
            std::size_t q2 = q == npos ? npos : value.find('"', q + 1);
            if (q2 == npos) {
                scan(value.substr(p), out, Phones::config);
                break;
            }
            scan(value.substr(p, q + 1 - p), out, Phones::config);
            entry_value(value.substr(q + 1, q2 - q - 1), secret, counts_only, out);
            out += '"';
            p = q2 + 1;
        }
        return;
    }
    std::size_t e = value.size();
    while (e > 0 && (is_blank(value[e - 1]) || value[e - 1] == ';'))
        e--;
    entry_value(value.substr(0, e), secret, counts_only, out);
    out.append(value.substr(e));
}

// A line "%-18s %s" of the mail section: its value as the label says.
void Cleaner::Impl::email_line(std::string_view line, int field, Span value, std::string &out)
{
    const std::size_t at = value.offset - static_cast<std::uint32_t>(line.data() - r->bytes.data());
    std::string_view v = line.substr(at);
    out.append(line.substr(0, at));
    switch (field) {
    case email_type:
    case email_poll_time:
    case email_no_esmtp:
        out.append(v.data(), v.size());
        return;
    case email_pop3_server:
    case email_smtp_server: {
        std::string_view s = trim(v);
        if (s.empty() || s.find(' ') != npos || s.find(':') != npos || s.find('@') != npos) {
            scan(v, out, Phones::none);
            return;
        }
        std::size_t lead = static_cast<std::size_t>(s.data() - v.data());
        out.append(v.substr(0, lead));
        host_part(s, out);
        out.append(v.substr(lead + s.size()));
        return;
    }
    case email_pop3_user:
    case email_smtp_user: {
        std::string_view s = trim(v);
        if (s.empty() || s.find('@') != npos || keep(CleanKind::user) ||
            !std::all_of(s.begin(), s.end(), [](char c) { return is_local_char(c) || c == '\\'; })) {
            scan(v, out, Phones::none);
            return;
        }
        std::size_t lead = static_cast<std::size_t>(s.data() - v.data());
        out.append(v.substr(0, lead));
        std::size_t slash = s.find('\\');
        if (slash != npos) {
            // DOMAIN\user
            std::string_view dom = s.substr(0, slash);
            if (dom.empty() || !name_token(dom, out, true))
                out.append(dom.data(), dom.size());
            out += '\\';
            s = s.substr(slash + 1);
        }
        if (!s.empty()) {
            out += map.name(CleanKind::user, key_of(s), utf8(s));
            count(CleanKind::user);
        }
        out.append(v.substr(lead + trim(v).size()));
        return;
    }
    default:
        scan(v, out, Phones::none);
    }
}

// The sysinfo section's other lines: the host's facts stay, the names of updates and
// installed programs are read as text.
void Cleaner::Impl::sysinfo_line(std::string_view line, std::string &out)
{
    if (line.size() >= 19 && line[18] == ' ') {
        std::string_view label = trim_right(line.substr(0, 18));
        static const std::string_view facts[] = {"WindowsVersion:", "Processor:", "VendorId:", "MHz:", "Identifier:",
                                                 "PhysicalMemory:", "ServicePack:", "Updates:",  "Hotfix:"};
        if (std::find(std::begin(facts), std::end(facts), label) != std::end(facts)) {
            out.append(line.data(), line.size());
            return;
        }
        if (!label.empty()) {
            out.append(line.substr(0, 19));
            if (is_secret_name(label))
                mask(line.substr(19), out);
            else
                scan(line.substr(19), out, Phones::none);
            return;
        }
    }
    if (line == "MacAddresses") {
        out.append(line.data(), line.size());
        return;
    }
    scan(line, out, Phones::none);
}

// A line of the MAC address list: an address, or the start of one where the list was
// cut (its card's part masked); anything else keeps its length, which decides where the
// list ends.
void Cleaner::Impl::mac_line(std::string_view line, std::string &out)
{
    if (keep(CleanKind::mac)) {
        out.append(line.data(), line.size());
        return;
    }
    if (mac(line, out))
        return;
    bool partial = line.size() < 17 && !line.empty();
    for (std::size_t i = 0; partial && i < line.size(); i++)
        partial = i % 3 == 2 ? (line[i] == '-' || line[i] == ':') : is_hex(line[i]);
    if (partial) {
        for (std::size_t i = 0; i < line.size(); i++)
            out += i >= 8 && is_hex(line[i]) ? '0' : line[i];
        count(CleanKind::mac);
        return;
    }
    std::string cleaned;
    scan(line, cleaned, Phones::none);
    cleaned.resize(line.size(), ' ');
    out += cleaned;
}

// Replaces [from, to) of a line laid out in columns; the next column stays where it was
// when the new text leaves room for it, else it moves right behind one blank, as the
// collector's formats move it.
void Cleaner::Impl::keep_column(std::string_view line, std::size_t from, std::size_t to, std::string_view with,
                                std::string &out)
{
    std::size_t next = to;
    while (next < line.size() && line[next] == ' ')
        next++;
    out.append(line.substr(0, from));
    out.append(with.data(), with.size());
    if (next == line.size()) {
        out.append(line.substr(to));
        return;
    }
    std::size_t column = from + with.size();
    out.append(next > column ? next - column : 1, ' ');
    out.append(line.substr(next));
}

// An inventory line whose path is cleaned. The columns are laid out as keep_column does;
// where the line, read again, would not give its version and size (a line telinv did not
// write, whose columns the reader finds only by where its blanks and digits stand), the
// path is masked instead: blanks, digits and hyphens stay where they were, any other
// character becomes 'x'. The line is then read exactly as before, also not as a banner
// (a banner is known by its length, hyphens and blanks alone).
void Cleaner::Impl::inventory_line(std::string_view line, std::size_t from, std::size_t size, std::string &out)
{
    std::string with;
    scan(line.substr(from, size), with, Phones::none);
    const std::size_t start = out.size();
    keep_column(line, from, from + size, with, out);
    std::string_view path;
    std::optional<std::string_view> version, was_version;
    std::int64_t bytes = 0, was_bytes = 0;
    parse_inventory_line(line, path, was_version, was_bytes); // an entry, or it had no job
    const std::string_view laid_out = std::string_view(out).substr(start);
    if (parse_inventory_line(laid_out, path, version, bytes) && bytes == was_bytes && version == was_version &&
        !banner_name(laid_out))
        return;
    out.resize(start);
    out.append(line.substr(0, from));
    for (char c : line.substr(from, size))
        out += is_digit(c) ? '0' : c == ' ' || c == '-' ? c : 'x';
    out.append(line.substr(from + size));
}

void Cleaner::Impl::banner(const Section &s, std::string &out)
{
    std::string_view b = r->text(s.banner);
    std::string_view name = r->text(s.name);
    if (std::find(std::begin(fixed_section_names), std::end(fixed_section_names), name) != std::end(fixed_section_names)) {
        out.append(b.data(), b.size());
        return;
    }
    std::string cleaned;
    scan(name, cleaned, Phones::none);
    // A name cut after 40 characters may end in the start of a name to replace.
    const bool cut = name.size() == 40 && s.name.offset + s.name.size == s.banner.offset + s.banner.size;
    if (cut) {
        std::size_t start = name.size();
        while (start > 0 && is_token_char(name[start - 1]))
            start--;
        while (start < name.size() && (name[start] == '.' || name[start] == '-'))
            start++;
        std::string_view tail = name.substr(start);
        if (tail.size() >= 2 && ends_with(cleaned, tail)) {
            std::string key = key_of(tail);
            std::string with;
            // Only what is known before the first line is written: host names with dots
            // are met in the lines, so a later run, given the map, would know them here
            // where this run did not, and the two copies would differ.
            auto look = [&](CleanKind k) {
                const MapTable &t = map.table(k);
                for (std::size_t i = 0; i < t.size() && with.empty(); i++)
                    if (t.key(i).size() > key.size() && starts_with(t.key(i), key) &&
                        (k != CleanKind::host || t.key(i).find('.') == npos))
                        with = std::string(t.replacement(i));
            };
            for (CleanKind k : {CleanKind::host, CleanKind::domain, CleanKind::id, CleanKind::keyword})
                if (!keep(k))
                    look(k);
            for (const std::string &u : profile_users)
                if (with.empty() && !keep(CleanKind::user) && u.size() > key.size() && starts_with(u, key))
                    with = std::string(map.name(CleanKind::user, u, u));
            if (!with.empty()) {
                cleaned.resize(cleaned.size() - tail.size());
                cleaned += with;
            }
        }
    }
    if (cleaned == name) {
        out.append(b.data(), b.size());
        return;
    }
    const std::string hyphens(37, '-');
    out += (hyphens + " " + cleaned.substr(0, 40) + " " + hyphens).substr(0, 78);
}

std::size_t Cleaner::Impl::line_at(std::uint32_t offset) const
{
    auto it = std::upper_bound(r->lines.begin(), r->lines.end(), offset,
                               [](std::uint32_t o, const Span &s) { return o < s.offset; });
    return it == r->lines.begin() ? 0 : static_cast<std::size_t>(it - r->lines.begin()) - 1;
}

std::vector<LineJob> Cleaner::Impl::jobs() const
{
    std::vector<LineJob> j;
    for (const InventoryEntry &e : r->inventory)
        j.push_back({e.line, Job::inventory, 0, e.path});
    for (const Listing &l : r->listings) {
        j.push_back({l.heading_line, Job::listing_heading, 0, l.directory});
        for (const ListingEntry &e : l.entries)
            j.push_back({e.line, Job::listing_entry, 0, e.name});
    }
    for (const ErrorLine &e : r->errors)
        j.push_back({e.line, Job::error, 0, {}});
    for (const LogExcerpt &l : r->logs)
        if (l.path)
            j.push_back({r->sections[l.section].first_line, Job::log_path, 0, *l.path});
    for (std::size_t f = 0; f < email_field_count; f++)
        if (r->email.values[f])
            j.push_back({line_at(r->email.values[f]->offset), Job::email_value, static_cast<int>(f), *r->email.values[f]});
    const Sysinfo &si = r->sysinfo;
    for (SysFact f : {fact_computername_variable, fact_computer_name})
        if (si.facts[f])
            j.push_back({line_at(si.facts[f]->offset), Job::sys_host, 0, *si.facts[f]});
    for (SysFact f : {fact_volume_id, fact_processor_id})
        if (si.facts[f])
            j.push_back({line_at(si.facts[f]->offset), Job::sys_id, 0, *si.facts[f]});
    for (Span m : si.mac_addresses)
        j.push_back({line_at(m.offset), Job::mac_line, 0, m});
    for (const Adapter &a : si.adapters)
        for (std::size_t f = 0; f < adapter_field_count; f++)
            if (a.values[f])
                j.push_back({line_at(a.values[f]->offset), Job::adapter_value, static_cast<int>(f), *a.values[f]});
    std::stable_sort(j.begin(), j.end(), [](const LineJob &a, const LineJob &b) { return a.line < b.line; });
    return j;
}

void Cleaner::Impl::line(const Section &s, std::size_t index, const LineJob *job, std::string &out)
{
    std::string_view l = r->line(index);
    const std::size_t line_offset = r->lines[index].offset;
    auto at = [&](Span sp) { return static_cast<std::size_t>(sp.offset - line_offset); };
    if (job) {
        switch (job->job) {
        case Job::inventory:
            inventory_line(l, at(job->span), job->span.size, out);
            return;
        case Job::listing_heading:
        case Job::listing_entry: {
            std::string with;
            scan(r->text(job->span), with, Phones::none);
            keep_column(l, at(job->span), at(job->span) + job->span.size, with, out);
            return;
        }
        case Job::error: {
            // "Error: can't open file 'PATH'": the path is text.
            std::size_t q = l.find(" '");
            if (q == npos || l.back() != '\'' || l.size() < q + 3) {
                out.append(l.data(), l.size());
                return;
            }
            out.append(l.substr(0, q + 2));
            scan(l.substr(q + 2, l.size() - q - 3), out, Phones::none);
            out += '\'';
            return;
        }
        case Job::log_path:
        case Job::adapter_value:
            if (job->job == Job::adapter_value && job->field == adapter_dhcp) {
                // "Ja" or "Nein" is telinv's own word and stays, keywords or not; any other
                // value is not what telinv writes and is cleaned as the line's text.
                const std::string_view flag = r->text(job->span);
                if (flag == "Ja" || flag == "Nein") {
                    out.append(l.data(), l.size());
                    return;
                }
                break;
            }
            out.append(l.substr(0, at(job->span)));
            scan(r->text(job->span), out, Phones::none);
            out.append(l.substr(at(job->span) + job->span.size));
            return;
        case Job::email_value:
            email_line(l, job->field, job->span, out);
            return;
        case Job::sys_host:
            out.append(l.substr(0, at(job->span)));
            whole(CleanKind::host, r->text(job->span), out);
            out.append(l.substr(at(job->span) + job->span.size));
            return;
        case Job::sys_id:
            out.append(l.substr(0, at(job->span)));
            whole(CleanKind::id, r->text(job->span), out);
            out.append(l.substr(at(job->span) + job->span.size));
            return;
        case Job::mac_line:
            mac_line(l, out);
            return;
        }
    }
    switch (s.kind) {
    case SectionKind::inventory:
        if (index == s.first_line && starts_with(l, "Path\\Filename"))
            out.append(l.data(), l.size());
        else
            scan(l, out, Phones::none);
        return;
    case SectionKind::netcfg:
    case SectionKind::pbxcfg:
    case SectionKind::time_cfg:
    case SectionKind::actcfg:
    case SectionKind::voip_file:
        config_line(l, out, s.kind == SectionKind::voip_file && ascii_iequals(r->text(s.name), "USER.TXT"));
        return;
    case SectionKind::pbxboot:
    case SectionKind::pbxcards:
    case SectionKind::error_log:
    case SectionKind::sip_error_log:
        if (l == "Empty" && s.line_count <= 2)
            out.append(l.data(), l.size());
        else
            scan(l, out, Phones::log);
        return;
    case SectionKind::email:
        if (l.size() >= 19 && l[18] == ' ' && is_secret_name(trim_right(l.substr(0, 18)))) {
            out.append(l.substr(0, 19));
            mask(l.substr(19), out);
            return;
        }
        scan(l, out, Phones::none);
        return;
    case SectionKind::sysinfo:
        sysinfo_line(l, out);
        return;
    default:
        scan(l, out, Phones::none);
        return;
    }
}

namespace {

// A cleaned line that the reader would take for a banner, which the original was not,
// gets blanks at its end up to 79 characters: a banner is at most 78 characters long.
void keep_no_banner(std::string_view original, std::string &out, std::size_t from)
{
    const std::size_t n = out.size() - from;
    if (n == original.size() && out.compare(from, n, original) == 0)
        return;
    static const std::string hyphens(37, '-');
    auto banner_at = [&](std::size_t at) {
        return out.size() - at >= 76 && out.compare(at, 37, hyphens) == 0 && out[at + 37] == ' ';
    };
    if (banner_name(std::string_view(out).substr(from))) {
        out.append(79 - n, ' ');
        return;
    }
    if (n > 76 && out.back() == '-') {
        for (std::size_t len = 76; len <= 78 && len < n; len++)
            if (banner_at(out.size() - len)) {
                out += ' ';
                return;
            }
    }
}

} // namespace

template <class Sink> void Cleaner::Impl::run(const Report &report, Sink &sink)
{
    r = &report;
    counts = CleanCounts();
    learn(report);
    std::string &out = sink.buffer();
    const std::string_view end = report.line_end_text();
    // The header: the tool's name is text; its version and time stay.
    std::string_view header = report.text(report.header_line);
    if (report.header.tool) {
        std::size_t from = report.header.tool->offset - report.header_line.offset;
        out.append(header.substr(0, from));
        scan(report.text(*report.header.tool), out, Phones::none);
        out.append(header.substr(from + report.header.tool->size));
    } else {
        out.append(header.data(), header.size());
    }
    bool pending_end = true; // the line end of the piece written last
    const std::vector<LineJob> j = jobs();
    std::size_t next_job = 0;
    for (const Section &s : report.sections) {
        if (s.has_banner) {
            if (pending_end && !s.joined)
                out.append(end.data(), end.size());
            banner(s, out);
            pending_end = true;
        }
        for (std::size_t k = 0; k < s.line_count; k++) {
            const std::size_t index = s.first_line + k;
            if (pending_end)
                out.append(end.data(), end.size());
            while (next_job < j.size() && j[next_job].line < index)
                next_job++;
            const LineJob *job = next_job < j.size() && j[next_job].line == index ? &j[next_job] : nullptr;
            const std::size_t from = out.size();
            line(s, index, job, out);
            keep_no_banner(report.line(index), out, from);
            pending_end = true;
            sink.maybe_flush();
        }
    }
    if (pending_end && !report.truncated)
        out.append(end.data(), end.size());
    r = nullptr;
}

void Cleaner::learn(const Report &r) { impl_->learn(r); }

CleanCounts Cleaner::clean(const Report &r, Output &out)
{
    OutputSink sink{out};
    impl_->run(r, sink);
    return impl_->counts;
}

CleanCounts Cleaner::clean(const Report &r, std::string &out)
{
    StringSink sink{out};
    impl_->run(r, sink);
    return impl_->counts;
}

} // namespace telinv_read
