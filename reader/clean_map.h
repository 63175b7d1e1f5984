// The map of telinv-read clean: for each kind of identifying value, the originals met so
// far and their replacements, in the order in which they were first met. Runs that share
// a map file replace each original alike; a run extends the map with what it adds.
//
// The file is JSON:
//   {"about": "...", "version": 1, "host": {"SAMPLE-PBX": "host0"}, "domain": {...}, ...}
// with one object per kind (clean_kind_name), each mapping an original, as first met
// (UTF-8), to its replacement. IPv4 and IPv6 addresses are mapped by network (the /24
// and the /64, "192.168.10.0/24": "192.168.0.0/24"), the host part is kept. Secrets never
// enter the map.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "file_io.h"

namespace telinv_read {

enum class CleanKind : std::uint8_t { host, domain, user, ipv4, ipv6, mac, id, phone, keyword };
constexpr std::size_t clean_kind_count = 9;

const char *clean_kind_name(CleanKind kind);
std::optional<CleanKind> clean_kind_named(std::string_view name);

// A map file that can't be taken: damaged, of another version, or with a replacement
// that does not fit its kind.
class MapError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One kind's entries, found by key: the original as the kind compares it (a name with its
// ASCII letters in lower case, the digits of a telephone number, the twelve hexadecimal
// digits of a MAC address, a network's address). The texts live in blocks, so that a map
// of a hundred thousand telephone numbers stays a few megabytes; the views that lookups
// give stay valid.
class MapTable {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    std::size_t size() const { return entries_.size(); }
    std::size_t find(std::string_view key) const;
    // Adds an entry whose key is not there yet; returns its index. An empty original
    // means the same text as the key.
    std::size_t add(std::string_view key, std::string_view original, std::string_view replacement);
    std::string_view key(std::size_t i) const;
    std::string_view original(std::size_t i) const;
    std::string_view replacement(std::size_t i) const;

private:
    // An entry in a block: the sizes of its key, original (0: the key) and replacement,
    // each as a variable-length number, then the three texts. Blocks of 64 KiB (or one of
    // its own for an entry longer than that) are never moved, so that the map grows
    // without copying what it holds.
    struct Texts {
        std::string_view key, original, replacement;
    };
    Texts texts(std::size_t i) const;
    static std::uint64_t hash(std::string_view key);
    void grow();

    static constexpr std::size_t block_size = 1 << 16;
    std::vector<std::string> blocks_;
    std::vector<std::uint32_t> entries_; // block index << 16 | offset in the block
    std::vector<std::uint32_t> slots_;   // entry index + 1, 0 for a free slot
};

class MapReader;

class CleanMap {
public:
    // Reads a map file's text; throws MapError.
    static CleanMap parse(std::string_view json);
    // Writes the map as JSON.
    void write(Output &out) const;

    const MapTable &table(CleanKind kind) const { return tables_[static_cast<std::size_t>(kind)]; }
    std::size_t entries() const;
    std::size_t loaded() const { return loaded_; }

    // The replacement of an original of a kind, made when the original is new. `key` is
    // the original as the kind compares it, `original` the original as met (UTF-8).
    std::string_view name(CleanKind kind, std::string_view key, std::string_view original); // host, user, keyword
    std::string_view domain(std::string_view key, std::string_view original);
    // A host name under a known domain: "hostN." and the domain's replacement, or `first`
    // and the domain's replacement where its first label is a known host.
    std::string_view host_in_domain(std::string_view key, std::string_view original, std::string_view first,
                                    std::string_view domain_replacement);
    // An identifier: the same length and layout, its letters and digits replaced.
    std::string_view id(std::string_view key, std::string_view original);
    // A telephone number's digits: as many other digits.
    std::string_view phone(std::string_view digits);
    // A MAC address's twelve hexadecimal digits (lower case): the vendor's part kept, the
    // card's replaced; written 00-1B-21-00-00-01.
    std::string_view mac(std::string_view hex12, std::string_view original);
    // An IPv4 network (the first three octets) to its replacement.
    std::uint32_t ipv4_network(std::uint32_t network24);
    // An IPv6 site (the first 48 bits) to its replacement in 2001:db8::/32; the subnet
    // and the interface part are the cleaner's.
    std::uint64_t ipv6_site(std::uint64_t site48);

private:
    friend class MapReader;
    MapTable &mutable_table(CleanKind kind) { return tables_[static_cast<std::size_t>(kind)]; }
    void take(CleanKind kind, const std::string &original, const std::string &replacement);
    void note_ipv4(std::uint32_t from, std::uint32_t to);
    void note_ipv6(std::uint64_t from, std::uint64_t to);

    std::array<MapTable, clean_kind_count> tables_;
    std::size_t loaded_ = 0;
    // The numbers of the next replacements: hostN, userN, keywordN, domainN.example, the
    // N-th identifier; telephone numbers by their number of digits. A replacement is
    // never its original.
    std::array<std::uint64_t, clean_kind_count> numbers_{};
    std::vector<std::uint64_t> phone_next_;
    std::map<std::uint32_t, std::uint32_t> mac_next_;     // by vendor part
    // IPv4: the pools keep a private or shared address private and a public one public;
    // within 10/8, 172.16/12 and 100.64/10 the /16 networks map as wholes, so that
    // addresses that share a /16 still do.
    std::map<std::uint32_t, std::uint32_t> v4_sixteen_; // a /16 to its replacement
    std::map<std::uint32_t, std::vector<bool>> v4_used_; // per replacement /16: third octets in use
    std::vector<bool> v4_public_used_;
    std::map<std::uint64_t, std::uint64_t> v6_site_;     // a /48 to its replacement
    std::vector<bool> v6_site_used_;                    // third groups in use under 2001:db8
};

// Texts of network addresses, as the map writes and reads them.
std::string ipv4_text(std::uint32_t address);
std::optional<std::uint32_t> parse_ipv4(std::string_view text);
struct Ipv6Address {
    std::array<std::uint16_t, 8> groups{};
    bool dotted_tail = false; // the last 32 bits written as an IPv4 address
};
// Compressed as RFC 5952 says, in lower case (the last 32 bits dotted where the original
// had them so).
std::string ipv6_text(const Ipv6Address &address);
std::optional<Ipv6Address> parse_ipv6(std::string_view text);

} // namespace telinv_read
