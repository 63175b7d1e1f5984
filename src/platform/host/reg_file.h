// A registry export (.reg file, as "reg export" or regedit writes it) read into a key
// tree in memory: the simulated host's HKEY_LOCAL_MACHINE.
//
// The loader works on a byte buffer and does no file I/O. Keys live in one flat array
// and refer to each other by index, so neither loading nor walking the tree recurses,
// however deep the key paths are.
#ifndef TELINV_PLATFORM_HOST_REG_FILE_H
#define TELINV_PLATFORM_HOST_REG_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum : uint32_t {
    REG_KEY_ROOT = 0,           // index of HKEY_LOCAL_MACHINE itself
    REG_KEY_NONE = 0xFFFFFFFFu  // no such key
};

struct reg_value {
    std::string name;                // "" for the key's default value (@)
    uint32_t type;                   // REG_SZ, REG_DWORD, ...
    std::vector<unsigned char> data; // the bytes RegQueryValueExA reports (ANSI for strings)
};

struct reg_key {
    std::string name;              // "" for the root
    uint32_t parent;               // index of the parent key; the root's is REG_KEY_NONE
    std::vector<uint32_t> subkeys; // indices, ordered by reg_name_compare (RegEnumKeyA's order)
    std::vector<reg_value> values;
};

struct reg_tree {
    // keys[REG_KEY_ROOT] is the root. A removed key stays in the array but is no longer
    // anyone's subkey.
    std::vector<reg_key> keys;
};

// Replaces *tree with the HKEY_LOCAL_MACHINE part of the export in bytes. Returns 1 when
// the buffer starts with a registry export header, else 0 (the tree then holds only the
// empty root). Malformed lines are skipped; they never stop the rest from loading.
int reg_file_load(const unsigned char *bytes, size_t size, reg_tree *tree);

// Orders two names as Windows orders subkeys: by their upper-cased (ASCII) bytes, a
// name before every longer name that starts with it. 0 means the names are equal
// without regard to case.
int reg_name_compare(const char *a, size_t a_len, const char *b, size_t b_len);

// The subkey of key with that name (any case), or REG_KEY_NONE.
uint32_t reg_find_subkey(const reg_tree &tree, uint32_t key, const char *name, size_t len);

// The value of key with that name (any case; null or "" is the default value), or null.
const reg_value *reg_find_value(const reg_key &key, const char *name);

#endif
