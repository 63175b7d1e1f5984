// Fuzzes the .reg loader: any input loads without fault, and the tree it gives is sound:
// every reachable key is its parent's subkey in enumeration order, can be found again by
// its name, has a name, and holds names and values within what the input could make.
#include "platform/host/reg_file.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    reg_tree tree;
    reg_file_load(data, size, &tree);
    if (tree.keys.empty() || tree.keys.size() > size + 1)
        std::abort();

    size_t value_bytes = 0;
    std::vector<uint32_t> pending(1, REG_KEY_ROOT);
    while (!pending.empty()) {
        uint32_t index = pending.back();
        pending.pop_back();
        const reg_key &key = tree.keys[index];
        if (index != REG_KEY_ROOT && key.name.empty())
            std::abort();
        for (size_t i = 0; i < key.subkeys.size(); i++) {
            uint32_t sub = key.subkeys[i];
            if (sub >= tree.keys.size() || tree.keys[sub].parent != index)
                std::abort();
            const std::string &name = tree.keys[sub].name;
            if (reg_find_subkey(tree, index, name.data(), name.size()) != sub)
                std::abort();
            if (i > 0) {
                const std::string &before = tree.keys[key.subkeys[i - 1]].name;
                if (reg_name_compare(before.data(), before.size(), name.data(), name.size()) >= 0)
                    std::abort();
            }
            pending.push_back(sub);
        }
        for (const reg_value &v : key.values) {
            if (reg_find_value(key, v.name.c_str()) == nullptr && v.name.find('\0') == std::string::npos)
                std::abort();
            value_bytes += v.data.size() + v.name.size();
        }
    }
    if (value_bytes > size)
        std::abort();
    return 0;
}
