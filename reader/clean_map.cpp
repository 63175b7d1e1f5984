#include "clean_map.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <nlohmann/json.hpp>

#include "report_json.h"
#include "text.h"

namespace telinv_read {

namespace {

const char *const kind_names[clean_kind_count] = {"host", "domain", "user", "ipv4", "ipv6",
                                                  "mac",  "id",     "phone", "keyword"};

bool is_hex(char c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
int hex_value(char c) { return is_digit(c) ? c - '0' : (c | 0x20) - 'a' + 10; }
bool is_alnum(char c) { return is_digit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'); }


// A replacement that can stand in a report wherever its original did: a name of letters,
// digits, dots, hyphens and underscores.
bool safe_name(std::string_view s)
{
    if (s.empty() || s.size() > 255)
        return false;
    for (char c : s)
        if (!is_alnum(c) && c != '.' && c != '-' && c != '_')
            return false;
    return true;
}

// The IPv4 pools: private and shared addresses stay in their range, with their /16 kept
// whole where the range has several; public ones go to the documentation networks, then
// to 198.18.0.0/15.
struct Pool {
    std::uint32_t first_octet;
    std::uint32_t low, high; // second octets of the range
};
const Pool two_level_pools[] = {{10, 0, 255}, {172, 16, 31}, {100, 64, 127}};
const std::uint32_t one_level_pools[] = {(192u << 8) | 168u, (169u << 8) | 254u};
constexpr std::size_t public_slots = 3 + 512;

const Pool *two_level_pool(std::uint32_t net24)
{
    std::uint32_t a = net24 >> 16, b = (net24 >> 8) & 255;
    for (const Pool &p : two_level_pools)
        if (a == p.first_octet && b >= p.low && b <= p.high)
            return &p;
    return nullptr;
}

bool one_level_pool(std::uint32_t net24)
{
    return std::find(std::begin(one_level_pools), std::end(one_level_pools), net24 >> 8) != std::end(one_level_pools);
}

std::uint32_t public_slot_network(std::size_t slot)
{
    static const std::uint32_t documentation[] = {(192u << 16) | (0u << 8) | 2u, (198u << 16) | (51u << 8) | 100u,
                                                  (203u << 16) | (0u << 8) | 113u};
    if (slot < 3)
        return documentation[slot];
    std::uint32_t k = static_cast<std::uint32_t>(slot - 3);
    return (198u << 16) | ((18u + (k >> 8)) << 8) | (k & 255);
}

std::optional<std::size_t> public_slot_of(std::uint32_t net24)
{
    for (std::size_t i = 0; i < 3; i++)
        if (public_slot_network(i) == net24)
            return i;
    std::uint32_t a = net24 >> 16, b = (net24 >> 8) & 255;
    if (a == 198 && (b == 18 || b == 19))
        return 3 + (((b - 18) << 8) | (net24 & 255));
    return std::nullopt;
}

// The first value in [from, to] not in use and not `unlike` (the original's own).
std::size_t first_free(std::vector<bool> &used, std::size_t from, std::size_t to, std::size_t unlike = SIZE_MAX)
{
    for (std::size_t i = from; i <= to && i < used.size(); i++)
        if (!used[i] && i != unlike)
            return i;
    return to + 1;
}

// "a.b.c.0/24" to the network's three octets.
std::optional<std::uint32_t> parse_network24(std::string_view text)
{
    if (!ends_with(text, ".0/24"))
        return std::nullopt;
    auto a = parse_ipv4(text.substr(0, text.size() - 3));
    if (!a)
        return std::nullopt;
    return *a >> 8;
}

std::string network24_text(std::uint32_t net24) { return ipv4_text(net24 << 8) + "/24"; }

std::string site48_text(std::uint64_t site)
{
    Ipv6Address a;
    a.groups[0] = static_cast<std::uint16_t>(site >> 32);
    a.groups[1] = static_cast<std::uint16_t>(site >> 16);
    a.groups[2] = static_cast<std::uint16_t>(site);
    return ipv6_text(a) + "/48";
}

std::optional<std::uint64_t> parse_site48(std::string_view text)
{
    if (!ends_with(text, "/48"))
        return std::nullopt;
    auto a = parse_ipv6(text.substr(0, text.size() - 3));
    if (!a || a->dotted_tail)
        return std::nullopt;
    for (std::size_t i = 3; i < 8; i++)
        if (a->groups[i] != 0)
            return std::nullopt;
    return (std::uint64_t(a->groups[0]) << 32) | (std::uint64_t(a->groups[1]) << 16) | a->groups[2];
}

constexpr std::uint64_t documentation_site_prefix = 0x20010db8ull << 16; // 2001:db8:X as a /48

// Twelve hexadecimal digits as a MAC address is written: 00-1B-21-00-00-01.
std::string mac_text(std::string_view hex12)
{
    std::string out;
    for (std::size_t i = 0; i < 12; i++) {
        if (i && i % 2 == 0)
            out += '-';
        out += static_cast<char>(std::toupper(static_cast<unsigned char>(hex12[i])));
    }
    return out;
}

// The digits of a telephone number's n-th replacement of that length: a first digit of
// 5 to 9, then 1 to 4, and n counting in the others.
std::string phone_digits(std::uint64_t n, std::size_t length)
{
    static const char lead[] = "567891234";
    if (length == 1)
        return std::string(1, lead[n % 9]);
    std::string rest = std::to_string(n);
    std::uint64_t lead_index = 0;
    if (length - 1 <= 18) {
        std::uint64_t p = 1;
        for (std::size_t i = 1; i < length; i++)
            p *= 10;
        lead_index = (n / p) % 9;
        rest = std::to_string(n % p);
    }
    if (rest.size() < length - 1)
        rest.insert(0, length - 1 - rest.size(), '0');
    return std::string(1, lead[lead_index]) + rest.substr(rest.size() - (length - 1));
}

} // namespace

// Reads a map file as a stream of JSON events straight into the map, so that a large map
// never stands in memory as a document too.
class MapReader : public nlohmann::json_sax<nlohmann::json> {
public:
    explicit MapReader(CleanMap &map) : map_(map) {}

    std::string error;
    bool version_seen = false;

    bool null() override { return fail("a null value"); }
    bool boolean(bool) override { return fail("a true or false value"); }
    bool number_integer(number_integer_t v) override { return version(v == 1); }
    bool number_unsigned(number_unsigned_t v) override { return version(v == 1); }
    bool number_float(number_float_t, const string_t &) override { return fail("a fractional number"); }
    bool binary(binary_t &) override { return fail("binary data"); }
    bool start_array(std::size_t) override { return fail("an array"); }
    bool end_array() override { return fail("an array"); }
    bool string(string_t &value) override
    {
        if (depth_ == 1 && key_ == "about")
            return true;
        if (depth_ != 2)
            return fail("a text where none belongs");
        try {
            map_.take(kind_, key_, value);
        } catch (const MapError &e) {
            return fail(e.what());
        }
        return true;
    }
    bool start_object(std::size_t) override
    {
        if (depth_ == 1) {
            auto kind = clean_kind_named(key_);
            if (!kind)
                return fail("an unknown kind '" + key_ + "'");
            std::size_t k = static_cast<std::size_t>(*kind);
            if (seen_[k])
                return fail("the kind '" + key_ + "' twice");
            seen_[k] = true;
            kind_ = *kind;
        } else if (depth_ != 0) {
            return fail("an object where none belongs");
        }
        depth_++;
        return true;
    }
    bool end_object() override
    {
        depth_--;
        return true;
    }
    bool key(string_t &k) override
    {
        key_ = std::move(k);
        if (depth_ == 1 && key_ != "about" && key_ != "version" && !clean_kind_named(key_))
            return fail("an unknown entry '" + key_ + "'");
        return true;
    }
    bool parse_error(std::size_t position, const std::string &, const nlohmann::detail::exception &) override
    {
        return fail("no JSON (at byte " + std::to_string(position) + ")");
    }

private:
    bool version(bool one)
    {
        if (depth_ != 1 || key_ != "version")
            return fail("a number where none belongs");
        if (!one)
            return fail("a map of another version");
        version_seen = true;
        return true;
    }
    bool fail(const std::string &what)
    {
        if (error.empty())
            error = what;
        return false;
    }

    CleanMap &map_;
    int depth_ = 0;
    std::string key_;
    CleanKind kind_ = CleanKind::host;
    std::array<bool, clean_kind_count> seen_{};
};

const char *clean_kind_name(CleanKind kind) { return kind_names[static_cast<std::size_t>(kind)]; }

std::optional<CleanKind> clean_kind_named(std::string_view name)
{
    for (std::size_t i = 0; i < clean_kind_count; i++)
        if (name == kind_names[i])
            return static_cast<CleanKind>(i);
    return std::nullopt;
}

// --- MapTable -----------------------------------------------------------------------------

std::uint64_t MapTable::hash(std::string_view key)
{
    std::uint64_t h = 1469598103934665603ull; // FNV-1a, then mixed: the same on every run
    for (char c : key) {
        h ^= static_cast<unsigned char>(c);
        h *= 1099511628211ull;
    }
    h ^= h >> 32;
    h *= 0xd6e8feb86659fd93ull;
    return h ^ (h >> 32);
}

namespace {

void put_size(std::string &out, std::size_t n)
{
    while (n >= 0x80) {
        out += static_cast<char>(0x80 | (n & 0x7F));
        n >>= 7;
    }
    out += static_cast<char>(n);
}

std::size_t get_size(const char *&p)
{
    std::size_t n = 0;
    for (int shift = 0;; shift += 7) {
        unsigned char b = static_cast<unsigned char>(*p++);
        n |= static_cast<std::size_t>(b & 0x7F) << shift;
        if (!(b & 0x80))
            return n;
    }
}

} // namespace

MapTable::Texts MapTable::texts(std::size_t i) const
{
    const char *p = blocks_[entries_[i] >> 16].data() + (entries_[i] & 0xFFFF);
    std::size_t k = get_size(p), o = get_size(p), r = get_size(p);
    Texts t;
    t.key = std::string_view(p, k);
    t.original = o ? std::string_view(p + k, o) : t.key;
    t.replacement = std::string_view(p + k + o, r);
    return t;
}

std::size_t MapTable::find(std::string_view k) const
{
    if (slots_.empty())
        return npos;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t s = hash(k) & mask;; s = (s + 1) & mask) {
        std::uint32_t e = slots_[s];
        if (e == 0)
            return npos;
        if (key(e - 1) == k)
            return e - 1;
    }
}

void MapTable::grow()
{
    std::size_t n = slots_.empty() ? 64 : slots_.size() * 2;
    slots_.assign(n, 0);
    for (std::size_t i = 0; i < entries_.size(); i++) {
        std::size_t s = hash(key(i)) & (n - 1);
        while (slots_[s] != 0)
            s = (s + 1) & (n - 1);
        slots_[s] = static_cast<std::uint32_t>(i + 1);
    }
}

std::size_t MapTable::add(std::string_view k, std::string_view original, std::string_view replacement)
{
    if (original == k)
        original = {};
    const std::size_t need = k.size() + original.size() + replacement.size() + 30;
    if (blocks_.size() >= 0xFFFF || entries_.size() >= 0x7FFFFFF0u)
        throw std::length_error("the map has grown beyond 4 GiB");
    if ((entries_.size() + 1) * 5 > slots_.size() * 4)
        grow();
    if (blocks_.empty() || blocks_.back().size() + need > block_size) {
        blocks_.emplace_back();
        blocks_.back().reserve(std::max(block_size, need));
    }
    std::string &b = blocks_.back();
    entries_.push_back(static_cast<std::uint32_t>(((blocks_.size() - 1) << 16) | b.size()));
    put_size(b, k.size());
    put_size(b, original.size());
    put_size(b, replacement.size());
    b.append(k.data(), k.size());
    b.append(original.data(), original.size());
    b.append(replacement.data(), replacement.size());
    const std::size_t mask = slots_.size() - 1;
    std::size_t s = hash(k) & mask;
    while (slots_[s] != 0)
        s = (s + 1) & mask;
    slots_[s] = static_cast<std::uint32_t>(entries_.size());
    return entries_.size() - 1;
}

std::string_view MapTable::key(std::size_t i) const { return texts(i).key; }
std::string_view MapTable::original(std::size_t i) const { return texts(i).original; }
std::string_view MapTable::replacement(std::size_t i) const { return texts(i).replacement; }

// --- addresses ----------------------------------------------------------------------------

std::string ipv4_text(std::uint32_t a)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", a >> 24, (a >> 16) & 255, (a >> 8) & 255, a & 255);
    return buf;
}

std::optional<std::uint32_t> parse_ipv4(std::string_view t)
{
    std::uint32_t value = 0;
    std::size_t i = 0;
    for (int part = 0; part < 4; part++) {
        if (part > 0) {
            if (i >= t.size() || t[i] != '.')
                return std::nullopt;
            i++;
        }
        std::size_t start = i;
        std::uint32_t octet = 0;
        while (i < t.size() && is_digit(t[i]) && i - start < 3)
            octet = octet * 10 + static_cast<std::uint32_t>(t[i++] - '0');
        if (i == start || octet > 255 || (i < t.size() && is_digit(t[i])))
            return std::nullopt;
        value = (value << 8) | octet;
    }
    if (i != t.size())
        return std::nullopt;
    return value;
}

std::string ipv6_text(const Ipv6Address &a)
{
    const std::size_t groups = a.dotted_tail ? 6 : 8;
    // The longest run of two or more zero groups (the first of equal ones) becomes "::".
    std::size_t best = 0, best_len = 0;
    for (std::size_t i = 0; i < groups;) {
        std::size_t j = i;
        while (j < groups && a.groups[j] == 0)
            j++;
        if (j - i > best_len) {
            best = i;
            best_len = j - i;
        }
        i = j == i ? i + 1 : j;
    }
    if (best_len < 2)
        best_len = 0;
    std::string out;
    char buf[8];
    for (std::size_t i = 0; i < groups;) {
        if (best_len && i == best) {
            out += "::";
            i += best_len;
            continue;
        }
        if (!out.empty() && out.back() != ':')
            out += ':';
        std::snprintf(buf, sizeof buf, "%x", a.groups[i]);
        out += buf;
        i++;
    }
    if (a.dotted_tail) {
        if (!out.empty() && out.back() != ':')
            out += ':';
        out += ipv4_text((std::uint32_t(a.groups[6]) << 16) | a.groups[7]);
    }
    return out;
}

std::optional<Ipv6Address> parse_ipv6(std::string_view t)
{
    Ipv6Address a;
    std::array<std::uint16_t, 8> head{}, tail{};
    std::size_t nhead = 0, ntail = 0;
    bool compressed = false;
    std::size_t i = 0;
    if (t.size() >= 2 && t[0] == ':' && t[1] == ':') {
        compressed = true;
        i = 2;
    } else if (!t.empty() && t[0] == ':') {
        return std::nullopt;
    }
    while (i < t.size()) {
        std::size_t start = i;
        while (i < t.size() && is_hex(t[i]) && i - start < 5)
            i++;
        if (i < t.size() && t[i] == '.') {
            // The last 32 bits as an IPv4 address.
            auto v4 = parse_ipv4(t.substr(start));
            std::size_t &n = compressed ? ntail : nhead;
            auto &g = compressed ? tail : head;
            if (!v4 || n + 2 > 8)
                return std::nullopt;
            g[n++] = static_cast<std::uint16_t>(*v4 >> 16);
            g[n++] = static_cast<std::uint16_t>(*v4 & 0xFFFF);
            a.dotted_tail = true;
            i = t.size();
            break;
        }
        if (i == start || i - start > 4)
            return std::nullopt;
        std::uint32_t v = 0;
        for (std::size_t k = start; k < i; k++)
            v = v * 16 + static_cast<std::uint32_t>(hex_value(t[k]));
        std::size_t &n = compressed ? ntail : nhead;
        auto &g = compressed ? tail : head;
        if (n == 8)
            return std::nullopt;
        g[n++] = static_cast<std::uint16_t>(v);
        if (i == t.size())
            break;
        if (t[i] != ':')
            return std::nullopt;
        i++;
        if (i < t.size() && t[i] == ':') {
            if (compressed)
                return std::nullopt;
            compressed = true;
            i++;
        } else if (i == t.size()) {
            return std::nullopt; // a single colon at the end
        }
    }
    if (compressed ? nhead + ntail > 7 : nhead != 8)
        return std::nullopt;
    for (std::size_t k = 0; k < nhead; k++)
        a.groups[k] = head[k];
    for (std::size_t k = 0; k < ntail; k++)
        a.groups[8 - ntail + k] = tail[k];
    return a;
}

// --- CleanMap -----------------------------------------------------------------------------

std::size_t CleanMap::entries() const
{
    std::size_t n = 0;
    for (const MapTable &t : tables_)
        n += t.size();
    return n;
}

void CleanMap::note_ipv4(std::uint32_t from, std::uint32_t to)
{
    if (two_level_pool(from) || one_level_pool(from)) {
        if (two_level_pool(from))
            v4_sixteen_.emplace(from >> 8, to >> 8);
        auto &used = v4_used_[to >> 8];
        used.resize(256);
        used[to & 255] = true;
    } else if (auto slot = public_slot_of(to)) {
        v4_public_used_.resize(public_slots);
        v4_public_used_[*slot] = true;
    }
}

void CleanMap::note_ipv6(std::uint64_t from, std::uint64_t to)
{
    v6_site_.emplace(from, to);
    if ((to >> 16) == (documentation_site_prefix >> 16)) {
        v6_site_used_.resize(65536);
        v6_site_used_[to & 0xFFFF] = true;
    }
}

// One entry of a map file, checked against its kind.
void CleanMap::take(CleanKind kind, const std::string &original, const std::string &replacement)
{
    const std::string what = std::string(clean_kind_name(kind)) + " '" + original + "'";
    MapTable &t = mutable_table(kind);
    std::string key;
    switch (kind) {
    case CleanKind::host:
    case CleanKind::domain:
    case CleanKind::user:
    case CleanKind::keyword:
        if (original.empty() || !safe_name(replacement))
            throw MapError(what + ": its replacement is no name of letters, digits, dots and hyphens");
        key = ascii_lower(original);
        {
            const char *stem = kind == CleanKind::host ? "host" : kind == CleanKind::user ? "user"
                               : kind == CleanKind::domain ? "domain" : "keyword";
            std::size_t n = std::strlen(stem), end = n;
            while (end < replacement.size() && end < n + 18 && is_digit(replacement[end]))
                end++;
            if (end > n && replacement.compare(0, n, stem) == 0) {
                std::uint64_t &next = numbers_[static_cast<std::size_t>(kind)];
                next = std::max<std::uint64_t>(next, std::stoull(replacement.substr(n, end - n)) + 1);
            }
        }
        break;
    case CleanKind::id: {
        bool same = original.size() == replacement.size() && !original.empty();
        for (std::size_t i = 0; same && i < original.size(); i++)
            same = is_alnum(original[i]) ? is_alnum(replacement[i]) : original[i] == replacement[i];
        if (!same)
            throw MapError(what + ": its replacement does not have the identifier's layout");
        key = ascii_lower(original);
        numbers_[static_cast<std::size_t>(kind)]++;
        break;
    }
    case CleanKind::phone: {
        bool digits = !original.empty() && original.size() == replacement.size();
        for (std::size_t i = 0; digits && i < original.size(); i++)
            digits = is_digit(original[i]) && is_digit(replacement[i]);
        if (!digits)
            throw MapError(what + ": a telephone number and its replacement must be digits, as many");
        key = original;
        std::size_t n = original.size();
        if (phone_next_.size() <= n)
            phone_next_.resize(n + 1);
        phone_next_[n]++;
        break;
    }
    case CleanKind::mac: {
        auto hex12 = [](const std::string &s) {
            std::string h;
            for (char c : s)
                if (is_hex(c))
                    h += static_cast<char>(c | 0x20);
                else if (c != '-' && c != ':')
                    return std::string();
            return h.size() == 12 && (s.size() == 12 || s.size() == 17) ? h : std::string();
        };
        key = hex12(original);
        std::string r = hex12(replacement);
        if (key.empty() || r.empty())
            throw MapError(what + ": a MAC address and its replacement must be six bytes in hexadecimal");
        std::uint32_t vendor = static_cast<std::uint32_t>(std::stoul(r.substr(0, 6), nullptr, 16));
        std::uint32_t card = static_cast<std::uint32_t>(std::stoul(r.substr(6), nullptr, 16));
        std::uint32_t &next = mac_next_[vendor];
        next = std::max(next, card + 1);
        if (t.find(key) != MapTable::npos)
            throw MapError(what + ": this address stands twice");
        t.add(key, original, mac_text(r));
        return;
    }
    case CleanKind::ipv4: {
        auto from = parse_network24(original), to = parse_network24(replacement);
        if (!from || !to)
            throw MapError(what + ": an IPv4 network and its replacement are written a.b.c.0/24");
        key = network24_text(*from);
        note_ipv4(*from, *to);
        break;
    }
    case CleanKind::ipv6: {
        auto from = parse_site48(original), to = parse_site48(replacement);
        if (!from || !to)
            throw MapError(what + ": an IPv6 site and its replacement are written x:x:x::/48");
        key = site48_text(*from);
        note_ipv6(*from, *to);
        break;
    }
    }
    if (t.find(key) != MapTable::npos)
        throw MapError(what + ": this original stands twice");
    t.add(key, original, replacement);
}

CleanMap CleanMap::parse(std::string_view json)
{
    CleanMap map;
    MapReader reader(map);
    bool ok = nlohmann::json::sax_parse(json.begin(), json.end(), &reader);
    if (!ok || !reader.error.empty())
        throw MapError("not a map of telinv-read clean: " + (reader.error.empty() ? std::string("no JSON") : reader.error));
    if (!reader.version_seen)
        throw MapError("not a map of telinv-read clean: no \"version\": 1");
    map.loaded_ = map.entries();
    return map;
}

void CleanMap::write(Output &out) const
{
    out.put("{\n  \"about\": \"telinv-read clean: the originals of cleaned reports and their replacements. "
            "Keep this file private: it undoes the cleaning.\",\n  \"version\": 1");
    for (std::size_t k = 0; k < clean_kind_count; k++) {
        const MapTable &t = tables_[k];
        out.put(",\n  \"");
        out.put(kind_names[k]);
        out.put(t.size() ? "\": {" : "\": {}");
        for (std::size_t i = 0; i < t.size(); i++) {
            std::string &b = out.buffer();
            b += i ? ",\n    " : "\n    ";
            append_json_string(b, t.original(i));
            b += ": ";
            append_json_string(b, t.replacement(i));
            out.maybe_flush();
        }
        if (t.size())
            out.put("\n  }");
    }
    out.put("\n}\n");
}

std::string_view CleanMap::name(CleanKind kind, std::string_view key, std::string_view original)
{
    MapTable &t = mutable_table(kind);
    std::size_t i = t.find(key);
    if (i == MapTable::npos) {
        const char *stem = kind == CleanKind::host ? "host" : kind == CleanKind::user ? "user" : "keyword";
        std::string r;
        do
            r = stem + std::to_string(numbers_[static_cast<std::size_t>(kind)]++);
        while (ascii_lower(r) == key);
        i = t.add(key, original, r);
    }
    return t.replacement(i);
}

std::string_view CleanMap::domain(std::string_view key, std::string_view original)
{
    MapTable &t = mutable_table(CleanKind::domain);
    std::size_t i = t.find(key);
    if (i == MapTable::npos) {
        std::string r;
        do
            r = "domain" + std::to_string(numbers_[static_cast<std::size_t>(CleanKind::domain)]++) + ".example";
        while (ascii_lower(r) == key);
        i = t.add(key, original, r);
    }
    return t.replacement(i);
}

std::string_view CleanMap::host_in_domain(std::string_view key, std::string_view original, std::string_view first,
                                          std::string_view domain_replacement)
{
    MapTable &t = mutable_table(CleanKind::host);
    std::size_t i = t.find(key);
    if (i == MapTable::npos) {
        std::string r = first.empty() ? "host" + std::to_string(numbers_[static_cast<std::size_t>(CleanKind::host)]++)
                                      : std::string(first);
        r += '.';
        r += domain_replacement;
        i = t.add(key, original, r);
    }
    return t.replacement(i);
}

std::string_view CleanMap::id(std::string_view key, std::string_view original)
{
    MapTable &t = mutable_table(CleanKind::id);
    std::size_t i = t.find(key);
    if (i == MapTable::npos) {
        // The number of the identifier in hexadecimal, right-aligned in the original's
        // letters and digits, in the case of its letters; a "Volume" in front stays.
        std::size_t from = 0;
        if (original.size() > 6 && ascii_lower(original.substr(0, 6)) == "volume")
            from = 6;
        bool upper = false, any = false;
        for (std::size_t k = from; k < original.size(); k++) {
            upper = upper || (original[k] >= 'A' && original[k] <= 'Z');
            any = any || is_alnum(original[k]);
        }
        // An identifier without letters or digits identifies nothing and stays.
        std::string r(original);
        while (any) {
            r = std::string(original);
            std::uint64_t n = ++numbers_[static_cast<std::size_t>(CleanKind::id)];
            for (std::size_t k = r.size(); k-- > from;) {
                if (!is_alnum(r[k]))
                    continue;
                int d = static_cast<int>(n & 15);
                n >>= 4;
                r[k] = static_cast<char>(d < 10 ? '0' + d : (upper ? 'A' : 'a') + d - 10);
            }
            if (ascii_lower(r) != key)
                break;
        }
        i = t.add(key, original, r);
    }
    return t.replacement(i);
}

std::string_view CleanMap::phone(std::string_view digits)
{
    MapTable &t = mutable_table(CleanKind::phone);
    std::size_t i = t.find(digits);
    if (i == MapTable::npos) {
        std::size_t n = digits.size();
        if (phone_next_.size() <= n)
            phone_next_.resize(n + 1);
        std::string r;
        do
            r = phone_digits(phone_next_[n]++, n);
        while (r == digits);
        i = t.add(digits, {}, r);
    }
    return t.replacement(i);
}

std::string_view CleanMap::mac(std::string_view hex12, std::string_view original)
{
    MapTable &t = mutable_table(CleanKind::mac);
    std::size_t i = t.find(hex12);
    if (i == MapTable::npos) {
        std::uint32_t vendor = 0;
        for (std::size_t k = 0; k < 6; k++)
            vendor = vendor * 16 + static_cast<std::uint32_t>(hex_value(hex12[k]));
        std::uint32_t &next = mac_next_[vendor];
        char buf[16];
        do {
            if (next == 0 || next > 0xFFFFFF)
                next = 1;
            std::snprintf(buf, sizeof buf, "%06X%06X", vendor, next++);
        } while (ascii_lower(buf) == hex12);
        i = t.add(hex12, original, mac_text(buf));
    }
    return t.replacement(i);
}

std::uint32_t CleanMap::ipv4_network(std::uint32_t net24)
{
    MapTable &t = mutable_table(CleanKind::ipv4);
    const std::string key = network24_text(net24);
    std::size_t i = t.find(key);
    if (i != MapTable::npos)
        return *parse_network24(t.replacement(i));
    std::uint32_t to = 0;
    if (const Pool *p = two_level_pool(net24)) {
        auto known = v4_sixteen_.find(net24 >> 8);
        std::uint32_t sixteen;
        if (known != v4_sixteen_.end()) {
            sixteen = known->second;
        } else {
            std::uint32_t b = p->low;
            while (b < p->high && v4_used_.count((p->first_octet << 8) | b))
                b++;
            sixteen = (p->first_octet << 8) | b;
        }
        auto &used = v4_used_[sixteen];
        used.resize(256);
        std::size_t c = first_free(used, 0, 255, sixteen == (net24 >> 8) ? (net24 & 255) : SIZE_MAX);
        to = (sixteen << 8) | static_cast<std::uint32_t>(c > 255 ? (net24 & 255) : c);
    } else if (one_level_pool(net24)) {
        auto &used = v4_used_[net24 >> 8];
        used.resize(256);
        std::size_t c = first_free(used, 0, 255, net24 & 255);
        to = (net24 & 0xFFFF00u) | static_cast<std::uint32_t>(c > 255 ? (net24 & 255) : c);
    } else {
        v4_public_used_.resize(public_slots);
        auto own = public_slot_of(net24);
        std::size_t slot = first_free(v4_public_used_, 0, public_slots - 1, own ? *own : SIZE_MAX);
        if (slot >= public_slots)
            slot = t.size() % public_slots; // more public networks than slots share them
        to = public_slot_network(slot);
    }
    note_ipv4(net24, to);
    t.add(key, {}, network24_text(to));
    return to;
}

std::uint64_t CleanMap::ipv6_site(std::uint64_t site48)
{
    auto known = v6_site_.find(site48);
    if (known != v6_site_.end())
        return known->second;
    v6_site_used_.resize(65536);
    std::size_t x = first_free(v6_site_used_, 0, 65535,
                               (site48 >> 16) == (documentation_site_prefix >> 16) ? (site48 & 0xFFFF) : SIZE_MAX);
    if (x > 65535)
        x = v6_site_.size() & 0xFFFF;
    std::uint64_t to = documentation_site_prefix | x;
    note_ipv6(site48, to);
    mutable_table(CleanKind::ipv6).add(site48_text(site48), {}, site48_text(to));
    return to;
}

} // namespace telinv_read
