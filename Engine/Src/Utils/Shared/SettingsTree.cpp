#include "SettingsTree.h"

#include <cctype>
#include <cstdio>
#include <utility>

#include "Log.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace
{
void SplitPath(const std::string& path, std::string& head, std::string& rest)
{
    const size_t slash = path.find('/');
    if (slash == std::string::npos)
    {
        head = path;
        rest.clear();
    }
    else
    {
        head = path.substr(0, slash);
        rest = path.substr(slash + 1);
    }
}
} // namespace

Node::Node() : m_bUse64(IsWow64())
{
}

Node::~Node()
{
    Clear();
}

void Node::Clear()
{
    m_Entries.clear();
}

Node::Value& Node::Get(const std::string& path)
{
    std::string head, rest;
    SplitPath(path, head, rest);
    auto it = m_Entries.find(head);
    if (it == m_Entries.end())
    {
        if (rest.empty())
            return m_Entries[head];
        auto child = std::make_unique<Node>();
        Node* below = child.get();
        m_Entries[head] = Value(std::move(child));
        return below->Get(rest);
    }
    if (rest.empty())
        return it->second;
    if (it->second.m_Kind != KIND_NODE || !it->second.m_pChild)
        throw KeyNotFound();
    return it->second.m_pChild->Get(rest);
}

bool Node::Has(const std::string& path, int kind) const
{
    std::string head, rest;
    SplitPath(path, head, rest);
    auto it = m_Entries.find(head);
    if (it == m_Entries.end())
        return false;
    if (rest.empty())
        return it->second.m_Kind == kind;
    if (it->second.m_Kind != KIND_NODE || !it->second.m_pChild)
        return false;
    return it->second.m_pChild->Has(rest, kind);
}

bool Node::ReadRegistryValue(const std::string& name, const char* data, size_t length)
{
    std::string text(data, length);
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    text = text.c_str(); // stops at an embedded NUL, as the data's text does
    if (text.size() < 3 || text[1] != ':' || text[2] != ' ' || text[0] < '1' || text[0] > '3')
        return false;
    const int kind = text[0] - '0';
    size_t start = 3;
    while (start < text.size() && isspace(static_cast<unsigned char>(text[start])))
        ++start;
    const std::string body = text.substr(start, text.find('\t', start) - start);

    Value value;
    if (kind == KIND_FLOAT)
    {
        float f = 0.0f;
        sscanf(body.c_str(), "%f", &f);
        value = Value(f);
    }
    else if (kind == KIND_INT)
    {
        int i = 0;
        sscanf(body.c_str(), "%i", &i);
        value = Value(i);
    }
    else
        value = Value(body);

    try
    {
        Get(name) = std::move(value); // a node there goes with its tree
    }
    catch (const KeyNotFound&)
    {
        g_Log.Printf("Settings: registry value \"%s\" skipped, its path runs through a value\n", name.c_str());
        return false;
    }
    return true;
}

bool FormatRegistryData(const Node::Value& value, std::string& data)
{
    switch (value.m_Kind)
    {
    case Node::KIND_FLOAT: data = FormatString("%u: %f", 1u, double(value.m_Float)); return true;
    case Node::KIND_INT: data = FormatString("%u: %i", 2u, value.m_Int); return true;
    case Node::KIND_STRING:
        if (value.m_Text.empty())
            return false;
        data = "3: " + value.m_Text;
        return true;
    default: return false;
    }
}

#ifndef _WIN32
bool IsWow64()
{
    return false;
}
#endif
