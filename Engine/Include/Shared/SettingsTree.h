#pragma once
// The user's settings as a tree of named entries, addressed by "/"-separated
// paths, and its registry form: a node is a key, a leaf a REG_SZ value whose
// data is "1: " float, "2: " int or "3: " text.
#include <map>
#include <memory>
#include <string>

#include "WinTypes.h"

class Node
{
public:
    struct KeyNotFound
    {
    };

    enum EKind
    {
        KIND_NODE = 0,
        KIND_FLOAT = 1,
        KIND_INT = 2,
        KIND_STRING = 3,
        KIND_EMPTY = 4,
    };

    struct Value
    {
        Value() = default;
        explicit Value(std::unique_ptr<Node> child) : m_pChild(std::move(child)), m_Kind(KIND_NODE) {}
        explicit Value(float f) : m_Float(f), m_Kind(KIND_FLOAT) {}
        explicit Value(int i) : m_Int(i), m_Kind(KIND_INT) {}
        explicit Value(const char* text) : m_Text(text ? text : ""), m_Kind(KIND_STRING) {}
        explicit Value(const std::string& text) : m_Text(text), m_Kind(KIND_STRING) {}

        Node* GetChild() const { return m_Kind == KIND_NODE ? m_pChild.get() : nullptr; }
        float GetFloat() const { return m_Kind == KIND_FLOAT ? m_Float : 0.0f; }
        int GetInt() const { return m_Kind == KIND_INT ? m_Int : 0; }
        std::string GetText() const { return m_Kind == KIND_STRING ? m_Text : std::string(); }
        int GetKind() const { return m_Kind; }

        std::unique_ptr<Node> m_pChild;
        float m_Float = 0.0f;
        int m_Int = 0;
        std::string m_Text;
        int m_Kind = KIND_EMPTY;
    };

    Node();
    ~Node(); // clears the tree below
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    void Clear();
    // Get-or-create; throws KeyNotFound when the path runs through a value
    // that is not a node.
    Value& Get(const std::string& path);
    bool Has(const std::string& path, int kind) const;
    const std::map<std::string, Value>& GetEntries() const { return m_Entries; }

    // Takes one registry value of the tree form into the tree. `data` is the
    // value's data as returned, `length` its byte count; a terminating NUL
    // is dropped. Values of another form, and names that lead through a
    // non-node value, are skipped (the latter logged). True when taken.
    bool ReadRegistryValue(const std::string& name, const char* data, size_t length);

#ifdef _WIN32
    bool LoadFromRegistry(HKEY parent, const char* name);
    bool SaveToRegistry(HKEY parent, const char* name) const;
#endif

    bool m_bUse64;

private:
    std::map<std::string, Value> m_Entries;
};

// The registry data of a leaf ("1: 0.500000", "2: 7", "3: text"); false for
// values that are not written (nodes, empty values, empty texts).
bool FormatRegistryData(const Node::Value& value, std::string& data);

bool IsWow64();

#ifdef _WIN32
HRESULT ReadRegistryString(HKEY root, const char* subkey, const char* name, std::string& text, bool use64);
HRESULT WriteRegistryString(HKEY root, const char* subkey, const char* name, const std::string& text, bool use64);
HRESULT DeleteRegistryValue(HKEY root, const char* subkey, const char* name, bool use64);
#endif
