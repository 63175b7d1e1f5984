// Loading a registry export (.reg file) into a key tree.
//
// The file is either "REGEDIT4" (8-bit ANSI text) or "Windows Registry Editor Version
// 5.00" (UTF-16LE with a byte-order mark, or 8-bit text). UTF-16 text is turned into ANSI
// first (characters above 0xFF become '?'), then both kinds are read line by line:
//
//   [HKEY_LOCAL_MACHINE\a\b]   create the key and its ancestors (HKLM may be abbreviated)
//   [-HKEY_LOCAL_MACHINE\a]    remove the key and everything below it
//   "name"="text"  @="text"    string value, default value; \" and \\ are escapes
//   "name"=dword:0000002a      REG_DWORD, 1 to 8 hex digits
//   "name"=hex:01,02,\         REG_BINARY; hex(N): for type N; a trailing backslash
//     03,04                    continues the list on the next line
//   "name"=-                   remove the value
//   ; comment
//
// Keys under other roots are read and dropped. A line that can't be read is skipped
// together with the values after it when it is a key line; the rest still loads.
#include "platform/host/reg_file.h"

#include <cstring>

#include "base/ascii_case.h"

namespace {

enum : uint32_t {
    TYPE_SZ = 1,
    TYPE_EXPAND_SZ = 2,
    TYPE_BINARY = 3,
    TYPE_DWORD = 4,
    TYPE_MULTI_SZ = 7
};

// The text being read and the position of its next line.
struct line_cursor {
    const std::string *text;
    size_t pos;
};

// One line of text: not terminated, may point into the middle of the file's text.
struct text_line {
    const char *s;
    size_t n;
};

} // namespace

int reg_name_compare(const char *a, size_t a_len, const char *b, size_t b_len)
{
    size_t n = a_len < b_len ? a_len : b_len;
    for (size_t i = 0; i < n; i++) {
        unsigned char ca = static_cast<unsigned char>(ascii_upper(a[i]));
        unsigned char cb = static_cast<unsigned char>(ascii_upper(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a_len != b_len)
        return a_len < b_len ? -1 : 1;
    return 0;
}

// UTF-16LE to ANSI: code units up to 0xFF stand for themselves, every other code unit
// becomes '?' (so a surrogate pair gives two). A last odd byte is dropped.
static std::string utf16_to_ansi(const unsigned char *p, size_t size)
{
    std::string out;
    out.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2)
        out.push_back(p[i + 1] == 0 ? static_cast<char>(p[i]) : '?');
    return out;
}

// The next line without its line end (LF or CR LF). A NUL byte ends the line's text:
// what follows it up to the line end is left out. False at the end of the text.
static bool next_line(line_cursor *cursor, text_line *line)
{
    const std::string &text = *cursor->text;
    if (cursor->pos >= text.size())
        return false;
    size_t begin = cursor->pos;
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) {
        end = text.size();
        cursor->pos = end;
    } else {
        cursor->pos = end + 1;
    }
    if (end > begin && text[end - 1] == '\r')
        end--;
    const void *nul = std::memchr(text.data() + begin, 0, end - begin);
    if (nul)
        end = static_cast<size_t>(static_cast<const char *>(nul) - text.data());
    line->s = text.data() + begin;
    line->n = end - begin;
    return true;
}

static bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

static size_t skip_blanks(const text_line &line, size_t i)
{
    while (i < line.n && is_blank(line.s[i]))
        i++;
    return i;
}

// True when nothing but blanks, or blanks and a ';' comment, follows position i.
static bool rest_is_empty(const text_line &line, size_t i)
{
    i = skip_blanks(line, i);
    return i == line.n || line.s[i] == ';';
}

static bool starts_with_nocase(const text_line &line, size_t i, const char *word)
{
    size_t len = std::strlen(word);
    if (line.n - i < len)
        return false;
    return reg_name_compare(line.s + i, len, word, len) == 0;
}

static int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads 1 to 8 hex digits at *i into *value; false when there are none or more.
static bool parse_hex_number(const text_line &line, size_t *i, uint32_t *value)
{
    size_t j = *i;
    uint32_t v = 0;
    while (j < line.n && hex_digit(line.s[j]) >= 0) {
        if (j - *i == 8)
            return false;
        v = (v << 4) | static_cast<uint32_t>(hex_digit(line.s[j]));
        j++;
    }
    if (j == *i)
        return false;
    *i = j;
    *value = v;
    return true;
}

// Reads the quoted text whose opening quote is at *i, undoing the two escapes: a
// backslash before a quote or before another backslash. Any other backslash stands for
// itself. On success *i is past the closing quote.
static bool parse_quoted(const text_line &line, size_t *i, std::string *out)
{
    out->clear();
    size_t j = *i + 1;
    while (j < line.n) {
        char c = line.s[j];
        if (c == '"') {
            *i = j + 1;
            return true;
        }
        if (c == '\\' && j + 1 < line.n && (line.s[j + 1] == '"' || line.s[j + 1] == '\\')) {
            out->push_back(line.s[j + 1]);
            j += 2;
            continue;
        }
        out->push_back(c);
        j++;
    }
    return false;
}

// Moves to the line that continues a hex list, past ';' comment lines. A list can't
// continue at the end of the text or into a key line; then the cursor stays before that
// line and the result is false.
static bool continuation_line(line_cursor *cursor, text_line *line)
{
    for (;;) {
        line_cursor peek = *cursor;
        text_line next;
        if (!next_line(&peek, &next))
            return false;
        size_t i = skip_blanks(next, 0);
        if (i < next.n && next.s[i] == '[')
            return false;
        *cursor = peek;
        if (i < next.n && next.s[i] == ';')
            continue;
        *line = next;
        return true;
    }
}

// True when position i holds a backslash followed by nothing but blanks.
static bool is_continuation_mark(const text_line &line, size_t i)
{
    return i < line.n && line.s[i] == '\\' && skip_blanks(line, i + 1) == line.n;
}

// Reads a comma-separated list of hex bytes (1 or 2 digits each) from position i on,
// across continuation lines. A trailing comma and a ';' comment after the list are
// accepted. False when the list is malformed.
static bool parse_hex_list(text_line line, size_t i, line_cursor *cursor, std::vector<unsigned char> *out)
{
    out->clear();
    for (;;) {
        // At the place of a byte: the list may also end or continue here.
        i = skip_blanks(line, i);
        if (i == line.n || line.s[i] == ';')
            return true;
        if (is_continuation_mark(line, i)) {
            if (!continuation_line(cursor, &line))
                return false;
            i = 0;
            continue;
        }
        int high = hex_digit(line.s[i]);
        if (high < 0)
            return false;
        unsigned value = static_cast<unsigned>(high);
        i++;
        if (i < line.n && hex_digit(line.s[i]) >= 0) {
            value = value * 16 + static_cast<unsigned>(hex_digit(line.s[i]));
            i++;
        }
        out->push_back(static_cast<unsigned char>(value));

        // After a byte: a comma, the end of the list, or a continuation.
        i = skip_blanks(line, i);
        if (i == line.n || line.s[i] == ';')
            return true;
        if (line.s[i] == ',') {
            i++;
            continue;
        }
        if (is_continuation_mark(line, i)) {
            if (!continuation_line(cursor, &line))
                return false;
            i = 0;
            continue;
        }
        return false;
    }
}

// Position of the first subkey of key that does not order before name.
static size_t subkey_position(const reg_tree &tree, const reg_key &key, const char *name, size_t len)
{
    size_t lo = 0;
    size_t hi = key.subkeys.size();
    // Exports list keys in order, so a new key usually goes at the end.
    if (hi > 0) {
        const std::string &last = tree.keys[key.subkeys[hi - 1]].name;
        if (reg_name_compare(last.data(), last.size(), name, len) < 0)
            return hi;
    }
    while (lo < hi) {
        size_t mid = lo + (hi - lo) / 2;
        const std::string &m = tree.keys[key.subkeys[mid]].name;
        if (reg_name_compare(m.data(), m.size(), name, len) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

uint32_t reg_find_subkey(const reg_tree &tree, uint32_t key, const char *name, size_t len)
{
    if (key >= tree.keys.size())
        return REG_KEY_NONE;
    const reg_key &k = tree.keys[key];
    size_t pos = subkey_position(tree, k, name, len);
    if (pos < k.subkeys.size()) {
        const std::string &found = tree.keys[k.subkeys[pos]].name;
        if (reg_name_compare(found.data(), found.size(), name, len) == 0)
            return k.subkeys[pos];
    }
    return REG_KEY_NONE;
}

const reg_value *reg_find_value(const reg_key &key, const char *name)
{
    if (!name)
        name = "";
    size_t len = std::strlen(name);
    for (const reg_value &v : key.values) {
        if (reg_name_compare(v.name.data(), v.name.size(), name, len) == 0)
            return &v;
    }
    return nullptr;
}

// The subkey of parent with that name; made (in its sorted place) when it is missing.
static uint32_t add_subkey(reg_tree *tree, uint32_t parent, const char *name, size_t len)
{
    size_t pos;
    {
        const reg_key &p = tree->keys[parent];
        pos = subkey_position(*tree, p, name, len);
        if (pos < p.subkeys.size()) {
            const std::string &found = tree->keys[p.subkeys[pos]].name;
            if (reg_name_compare(found.data(), found.size(), name, len) == 0)
                return p.subkeys[pos];
        }
    }
    if (tree->keys.size() >= REG_KEY_NONE)
        return REG_KEY_NONE;
    uint32_t index = static_cast<uint32_t>(tree->keys.size());
    reg_key child;
    child.name.assign(name, len);
    child.parent = parent;
    tree->keys.push_back(std::move(child));
    std::vector<uint32_t> &subkeys = tree->keys[parent].subkeys;
    subkeys.insert(subkeys.begin() + static_cast<std::ptrdiff_t>(pos), index);
    return index;
}

// Detaches key from its parent and frees what it and the keys below it hold.
static void remove_key(reg_tree *tree, uint32_t key)
{
    reg_key &k = tree->keys[key];
    std::vector<uint32_t> &siblings = tree->keys[k.parent].subkeys;
    size_t pos = subkey_position(*tree, tree->keys[k.parent], k.name.data(), k.name.size());
    if (pos < siblings.size() && siblings[pos] == key)
        siblings.erase(siblings.begin() + static_cast<std::ptrdiff_t>(pos));

    std::vector<uint32_t> pending(1, key);
    while (!pending.empty()) {
        reg_key &gone = tree->keys[pending.back()];
        pending.pop_back();
        pending.insert(pending.end(), gone.subkeys.begin(), gone.subkeys.end());
        std::vector<uint32_t>().swap(gone.subkeys);
        std::vector<reg_value>().swap(gone.values);
    }
}

// 1 for HKEY_LOCAL_MACHINE, 0 for another root, -1 for a name that is no root.
static int root_kind(const char *s, size_t n)
{
    static const char *const others[] = {
        "HKEY_CLASSES_ROOT", "HKCR", "HKEY_CURRENT_USER", "HKCU", "HKEY_USERS", "HKU",
        "HKEY_CURRENT_CONFIG", "HKCC", "HKEY_PERFORMANCE_DATA", "HKEY_DYN_DATA"};
    if (reg_name_compare(s, n, "HKEY_LOCAL_MACHINE", 18) == 0 || reg_name_compare(s, n, "HKLM", 4) == 0)
        return 1;
    for (const char *name : others) {
        if (reg_name_compare(s, n, name, std::strlen(name)) == 0)
            return 0;
    }
    return -1;
}

// Handles a key line (line.s[0] is '['): the path runs to the last ']' of the line, and
// whatever follows that is ignored. Returns the key that the following values belong
// to, or REG_KEY_NONE when they are to be dropped.
static uint32_t parse_key_line(reg_tree *tree, const text_line &line)
{
    size_t close = line.n;
    while (close > 1 && line.s[close - 1] != ']')
        close--;
    if (close <= 1)
        return REG_KEY_NONE;
    close--; // the position of the last ']'

    size_t i = 1;
    bool removing = false;
    if (i < close && line.s[i] == '-') {
        removing = true;
        i++;
    }
    size_t root_end = i;
    while (root_end < close && line.s[root_end] != '\\')
        root_end++;
    if (root_kind(line.s + i, root_end - i) != 1)
        return REG_KEY_NONE;

    // Empty names between backslashes are passed over (a\\b is a\b), as the registry
    // functions do.
    uint32_t key = REG_KEY_ROOT;
    for (size_t j = root_end; j < close && key != REG_KEY_NONE;) {
        size_t b = j + 1;
        size_t e = b;
        while (e < close && line.s[e] != '\\')
            e++;
        if (e > b) {
            if (removing)
                key = reg_find_subkey(*tree, key, line.s + b, e - b);
            else
                key = add_subkey(tree, key, line.s + b, e - b);
        }
        j = e;
    }
    if (removing) {
        // The root itself can't be removed.
        if (key != REG_KEY_NONE && key != REG_KEY_ROOT)
            remove_key(tree, key);
        return REG_KEY_NONE;
    }
    return key;
}

// Version 5.00 keeps the string kinds of hex values as UTF-16LE; the ANSI registry
// functions deliver them as ANSI, terminators included.
static void string_kind_to_ansi(std::vector<unsigned char> *data)
{
    std::string text = utf16_to_ansi(data->data(), data->size());
    data->assign(text.begin(), text.end());
}

static void store_value(reg_key *key, std::string *name, uint32_t type, std::vector<unsigned char> *data)
{
    for (reg_value &v : key->values) {
        if (reg_name_compare(v.name.data(), v.name.size(), name->data(), name->size()) == 0) {
            v.type = type;
            v.data.swap(*data);
            return;
        }
    }
    reg_value v;
    v.name.swap(*name);
    v.type = type;
    v.data.swap(*data);
    key->values.push_back(std::move(v));
}

static void delete_value(reg_key *key, const std::string &name)
{
    for (size_t i = 0; i < key->values.size(); i++) {
        const std::string &n = key->values[i].name;
        if (reg_name_compare(n.data(), n.size(), name.data(), name.size()) == 0) {
            key->values.erase(key->values.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

// Handles a value line (line.s[0] is '"' or '@'); a hex list may take further lines
// from the cursor. The value goes to key, or nowhere when key is REG_KEY_NONE.
static void parse_value_line(reg_tree *tree, uint32_t key, int version, const text_line &line,
                             line_cursor *cursor)
{
    std::string name;
    size_t i = 0;
    if (line.s[0] == '@') {
        i = 1;
    } else if (!parse_quoted(line, &i, &name)) {
        return;
    }
    i = skip_blanks(line, i);
    if (i == line.n || line.s[i] != '=')
        return;
    i = skip_blanks(line, i + 1);
    if (i == line.n)
        return;

    bool deleting = false;
    uint32_t type = 0;
    std::vector<unsigned char> data;
    if (line.s[i] == '"') {
        std::string text;
        if (!parse_quoted(line, &i, &text) || !rest_is_empty(line, i))
            return;
        type = TYPE_SZ;
        data.assign(text.begin(), text.end());
        data.push_back(0);
    } else if (line.s[i] == '-') {
        if (!rest_is_empty(line, i + 1))
            return;
        deleting = true;
    } else if (starts_with_nocase(line, i, "dword:")) {
        i += 6;
        uint32_t v;
        if (!parse_hex_number(line, &i, &v) || !rest_is_empty(line, i))
            return;
        type = TYPE_DWORD;
        for (int b = 0; b < 4; b++)
            data.push_back(static_cast<unsigned char>(v >> (8 * b)));
    } else if (starts_with_nocase(line, i, "hex:")) {
        type = TYPE_BINARY;
        if (!parse_hex_list(line, i + 4, cursor, &data))
            return;
    } else if (starts_with_nocase(line, i, "hex(")) {
        i += 4;
        if (!parse_hex_number(line, &i, &type) || i + 1 >= line.n || line.s[i] != ')' ||
            line.s[i + 1] != ':')
            return;
        if (!parse_hex_list(line, i + 2, cursor, &data))
            return;
        if (version == 5 && (type == TYPE_SZ || type == TYPE_EXPAND_SZ || type == TYPE_MULTI_SZ))
            string_kind_to_ansi(&data);
    } else {
        return;
    }

    if (key == REG_KEY_NONE)
        return;
    if (deleting)
        delete_value(&tree->keys[key], name);
    else
        store_value(&tree->keys[key], &name, type, &data);
}

// The export's version from its header line: 4, 5, or 0 when it is no export.
static int header_version(const text_line &line)
{
    size_t i = skip_blanks(line, 0);
    size_t n = line.n;
    while (n > i && is_blank(line.s[n - 1]))
        n--;
    n -= i;
    static const char v4[] = "REGEDIT4";
    static const char v5[] = "Windows Registry Editor Version 5.00";
    if (n == sizeof v4 - 1 && std::memcmp(line.s + i, v4, n) == 0)
        return 4;
    if (n == sizeof v5 - 1 && std::memcmp(line.s + i, v5, n) == 0)
        return 5;
    return 0;
}

int reg_file_load(const unsigned char *bytes, size_t size, reg_tree *tree)
{
    tree->keys.clear();
    reg_key root;
    root.parent = REG_KEY_NONE;
    tree->keys.push_back(std::move(root));

    std::string text;
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
        text = utf16_to_ansi(bytes + 2, size - 2);
    else if (size > 0)
        text.assign(reinterpret_cast<const char *>(bytes), size);

    line_cursor cursor = {&text, 0};
    text_line line;
    if (!next_line(&cursor, &line))
        return 0;
    int version = header_version(line);
    if (version == 0)
        return 0;

    uint32_t key = REG_KEY_NONE;
    while (next_line(&cursor, &line)) {
        size_t i = skip_blanks(line, 0);
        if (i == line.n)
            continue;
        text_line rest = {line.s + i, line.n - i};
        char c = rest.s[0];
        if (c == '[')
            key = parse_key_line(tree, rest);
        else if (c == '"' || c == '@')
            parse_value_line(tree, key, version, rest, &cursor);
        // ';' comments and lines that are neither keys nor values are skipped.
    }
    return 1;
}
