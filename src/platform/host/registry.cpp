// The simulated host's registry: HKEY_LOCAL_MACHINE is the export "registry.reg" in the
// host root, read on the first open and kept until host_registry_reset. A missing or
// unreadable file is an empty registry.
//
// An open key holds the tree it was opened in, so it stays valid when the registry is
// reset while it is open. The program has one thread: nothing here is locked.
#include "platform/host/host.h"
#include "platform/host/reg_file.h"
#include "platform/platform.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

struct plat_key_s {
    std::shared_ptr<const reg_tree> tree;
    uint32_t key;
};

static std::shared_ptr<const reg_tree> loaded_tree;

static std::shared_ptr<const reg_tree> read_registry_file()
{
    std::string path = host_root() + "/registry.reg";
    std::vector<unsigned char> bytes;
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
        unsigned char buf[16384];
        size_t got;
        while ((got = std::fread(buf, 1, sizeof buf, f)) > 0)
            bytes.insert(bytes.end(), buf, buf + got);
        std::fclose(f);
    }
    std::shared_ptr<reg_tree> tree = std::make_shared<reg_tree>();
    reg_file_load(bytes.data(), bytes.size(), tree.get());
    return tree;
}

void host_registry_reset()
{
    loaded_tree.reset();
}

// The key behind a handle, or null for the null handle.
static const reg_key *key_of(plat_key handle)
{
    return handle ? &handle->tree->keys[handle->key] : nullptr;
}

// A 32-bit program on 64-bit Windows reads HKLM\SOFTWARE from SOFTWARE\Wow6432Node.
// (Windows shares a few keys between the views, NetworkCards among them; the simulated
// host has no card drivers to ask, so the program learns nothing from that key here.)
static void redirect_wow64(std::vector<std::string> &parts)
{
    if (parts.empty() || strcasecmp(parts[0].c_str(), "SOFTWARE") != 0)
        return;
    if (parts.size() >= 2 && strcasecmp(parts[1].c_str(), "Wow6432Node") == 0)
        return;
    parts.insert(parts.begin() + 1, "Wow6432Node");
}

long plat_reg_open(plat_root root, const char *sub_key, uint32_t access, plat_key *out)
{
    // The simulated registry grants every right; only the view flag counts.
    if (!out)
        return PLAT_ERROR_INVALID_PARAMETER;
    *out = nullptr;
    if (root != PLAT_HKEY_LOCAL_MACHINE)
        return PLAT_ERROR_INVALID_HANDLE;

    if (!loaded_tree)
        loaded_tree = read_registry_file();

    // "SOFTWARE\KESTRA"; empty names between backslashes, and so backslashes at either
    // end, are passed over.
    std::vector<std::string> parts;
    const char *path = sub_key ? sub_key : "";
    for (const char *p = path; *p;) {
        const char *stop = std::strchr(p, '\\');
        size_t n = stop ? static_cast<size_t>(stop - p) : std::strlen(p);
        if (n > 0)
            parts.emplace_back(p, n);
        p += n;
        if (*p)
            p++;
    }
    if (!(access & PLAT_KEY_WOW64_64KEY) && host_wow64())
        redirect_wow64(parts);
    uint32_t key = REG_KEY_ROOT;
    for (size_t i = 0; i < parts.size() && key != REG_KEY_NONE; i++)
        key = reg_find_subkey(*loaded_tree, key, parts[i].c_str(), parts[i].size());
    if (key == REG_KEY_NONE)
        return PLAT_ERROR_FILE_NOT_FOUND;

    plat_key handle = new plat_key_s;
    handle->tree = loaded_tree;
    handle->key = key;
    *out = handle;
    return PLAT_ERROR_SUCCESS;
}

long plat_reg_query(plat_key key, const char *value_name, uint32_t *type, void *data, uint32_t *size)
{
    const reg_key *k = key_of(key);
    if (!k)
        return PLAT_ERROR_INVALID_HANDLE;
    if (data && !size)
        return PLAT_ERROR_INVALID_PARAMETER;
    const reg_value *v = reg_find_value(*k, value_name);
    if (!v)
        return PLAT_ERROR_FILE_NOT_FOUND;

    uint32_t stored = static_cast<uint32_t>(v->data.size());
    if (type)
        *type = v->type;
    if (!data) {
        if (size)
            *size = stored;
        return PLAT_ERROR_SUCCESS;
    }
    uint32_t capacity = *size;
    *size = stored;
    if (stored > capacity)
        return PLAT_ERROR_MORE_DATA;
    if (stored > 0)
        std::memcpy(data, v->data.data(), stored);
    return PLAT_ERROR_SUCCESS;
}

long plat_reg_enum_key(plat_key key, uint32_t index, char *name, uint32_t name_cap)
{
    const reg_key *k = key_of(key);
    if (!k)
        return PLAT_ERROR_INVALID_HANDLE;
    if (!name)
        return PLAT_ERROR_INVALID_PARAMETER;
    if (index >= k->subkeys.size())
        return PLAT_ERROR_NO_MORE_ITEMS;
    const std::string &sub = key->tree->keys[k->subkeys[index]].name;
    if (sub.size() + 1 > name_cap)
        return PLAT_ERROR_MORE_DATA;
    std::memcpy(name, sub.c_str(), sub.size() + 1);
    return PLAT_ERROR_SUCCESS;
}

void plat_reg_close(plat_key key)
{
    delete key;
}

int host_registry_text(const char *key_path, uint32_t access, const char *value_name, char *buf, uint32_t cap)
{
    if (cap == 0)
        return 0;
    buf[0] = '\0';
    plat_key key = nullptr;
    if (plat_reg_open(PLAT_HKEY_LOCAL_MACHINE, key_path, access, &key) != PLAT_ERROR_SUCCESS)
        return 0;
    uint32_t size = cap - 1;
    uint32_t type = 0;
    long rc = plat_reg_query(key, value_name, &type, buf, &size);
    plat_reg_close(key);
    if (rc != PLAT_ERROR_SUCCESS || (type != PLAT_REG_SZ && type != PLAT_REG_EXPAND_SZ)) {
        buf[0] = '\0';
        return 0;
    }
    buf[size] = '\0';
    return 1;
}

std::string host_first_value_name(const char *key_path, const char *prefix)
{
    plat_key key = nullptr;
    if (plat_reg_open(PLAT_HKEY_LOCAL_MACHINE, key_path, PLAT_KEY_QUERY_VALUE | PLAT_KEY_WOW64_64KEY, &key) !=
        PLAT_ERROR_SUCCESS)
        return std::string();
    std::string found;
    size_t n = std::strlen(prefix);
    for (const reg_value &v : key_of(key)->values) {
        if (v.name.size() >= n && strncasecmp(v.name.c_str(), prefix, n) == 0) {
            found = v.name;
            break;
        }
    }
    plat_reg_close(key);
    return found;
}
