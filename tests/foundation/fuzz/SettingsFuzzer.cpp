// libFuzzer target for the settings tree's registry form. Each input line is
// one registry value, "name=data" (the data may hold any byte but a line
// break). Whatever the tree takes must come back unchanged when its leaves
// are written in the registry form and read into a fresh tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Log.h"
#include "SettingsTree.h"

namespace
{
// Writes every leaf of `node` into `out` under its full path.
// `prefix` is the parent's path followed by "/", empty at the top.
void CopyLeaves(const Node& node, const std::string& prefix, Node& out)
{
    for (const auto& entry : node.GetEntries())
    {
        const std::string path = prefix + entry.first;
        if (const Node* child = entry.second.GetChild())
        {
            CopyLeaves(*child, path + "/", out);
            continue;
        }
        std::string data;
        if (FormatRegistryData(entry.second, data))
            out.ReadRegistryValue(path, data.data(), data.size() + 1);
    }
}

// The two trees hold the same leaves (floats as their written text reads).
void Compare(const Node& a, const Node& b)
{
    for (const auto& entry : a.GetEntries())
    {
        auto it = b.GetEntries().find(entry.first);
        if (const Node* child = entry.second.GetChild())
        {
            if (it != b.GetEntries().end() && it->second.GetChild())
                Compare(*child, *it->second.GetChild());
            continue;
        }
        std::string data, back;
        if (!FormatRegistryData(entry.second, data))
            continue;
        if (it == b.GetEntries().end() || !FormatRegistryData(it->second, back) || back != data)
            abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Node tree;
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            tree.ReadRegistryValue(line.substr(0, eq), line.data() + eq + 1, line.size() - eq - 1);
        start = end + 1;
    }
    Node copy;
    CopyLeaves(tree, "", copy);
    Compare(tree, copy);
    g_Log.ClearText();
    return 0;
}
