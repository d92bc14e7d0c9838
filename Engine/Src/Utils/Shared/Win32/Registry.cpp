// The settings tree's registry reader and writer, and single REG_SZ values.
#include "SettingsTree.h"

#include <windows.h>

#include <memory>
#include <vector>

#include "Log.h"

namespace
{
// Closes a key on every way out of a scope.
class CKey
{
public:
    CKey() = default;
    ~CKey() { Close(); }
    CKey(const CKey&) = delete;
    CKey& operator=(const CKey&) = delete;
    HKEY* Out() { return &m_Key; }
    HKEY Get() const { return m_Key; }
    bool Close()
    {
        if (!m_Key)
            return true;
        const LONG r = RegCloseKey(m_Key);
        m_Key = nullptr;
        return r == ERROR_SUCCESS;
    }

private:
    HKEY m_Key = nullptr;
};

REGSAM View(bool use64)
{
    return use64 && IsWow64() ? KEY_WOW64_64KEY : 0;
}

bool CreateKey(HKEY root, const char* subkey, REGSAM access, CKey& key)
{
    char noClass[] = "";
    return RegCreateKeyExA(root, subkey, 0, noClass, REG_OPTION_NON_VOLATILE, access, nullptr, key.Out(),
                           nullptr) == ERROR_SUCCESS;
}

bool SetString(HKEY key, const char* name, const std::string& text)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          DWORD(text.size() + 1)) == ERROR_SUCCESS;
}
} // namespace

bool IsWow64()
{
    HMODULE kernel = GetModuleHandleA("kernel32");
    if (!kernel)
        return false;
    typedef void(WINAPI * NativeInfoFn)(LPSYSTEM_INFO);
    typedef BOOL(WINAPI * IsWow64Fn)(HANDLE, PBOOL);
    auto nativeInfo = reinterpret_cast<NativeInfoFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "GetNativeSystemInfo")));
    if (!nativeInfo)
        return false;
    SYSTEM_INFO info;
    nativeInfo(&info);
    auto isWow64 = reinterpret_cast<IsWow64Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
    if (!isWow64)
        return false;
    BOOL wow64 = FALSE;
    return isWow64(GetCurrentProcess(), &wow64) && wow64;
}

bool Node::LoadFromRegistry(HKEY parent, const char* name)
{
    CKey key;
    if (RegOpenKeyExA(parent, name, 0, KEY_READ | (m_bUse64 ? KEY_WOW64_64KEY : 0), key.Out()) != ERROR_SUCCESS)
        return false;
    char keyClass[200];
    DWORD classLength = sizeof keyClass;
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyA(key.Get(), keyClass, &classLength, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;

    std::vector<char> subkey(2048);
    for (DWORD i = 0; RegEnumKeyA(key.Get(), i, subkey.data(), DWORD(subkey.size())) == ERROR_SUCCESS; ++i)
    {
        const std::string childName(subkey.data());
        Node* child = nullptr;
        try
        {
            if (!Has(childName, KIND_NODE))
                Get(childName) = Value(std::make_unique<Node>());
            child = Get(childName).GetChild();
        }
        catch (const KeyNotFound&)
        {
            g_Log.Printf("Settings: registry key \"%s\" skipped, its path runs through a value\n", childName.c_str());
            continue;
        }
        if (!child || !child->LoadFromRegistry(key.Get(), childName.c_str()))
            return false;
    }

    std::vector<char> valueName(2048), data(2048);
    for (DWORD i = 0; i < values; ++i)
    {
        DWORD nameLength = DWORD(valueName.size());
        DWORD dataLength = DWORD(data.size());
        DWORD type = 0;
        if (RegEnumValueA(key.Get(), i, valueName.data(), &nameLength, nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &dataLength) != ERROR_SUCCESS)
            continue;
        ReadRegistryValue(std::string(valueName.data(), nameLength), data.data(), dataLength);
    }
    return key.Close();
}

bool Node::SaveToRegistry(HKEY parent, const char* name) const
{
    CKey key;
    // A child node is a subkey: the key must let us open or create it.
    if (!CreateKey(parent, name, KEY_SET_VALUE | KEY_CREATE_SUB_KEY | (m_bUse64 ? KEY_WOW64_64KEY : 0), key))
        return false;
    bool good = true;
    for (const auto& entry : m_Entries)
    {
        const Value& v = entry.second;
        std::string data;
        if (v.m_Kind == KIND_NODE && v.m_pChild)
            good = v.m_pChild->SaveToRegistry(key.Get(), entry.first.c_str()) && good;
        else if (FormatRegistryData(v, data))
            good = SetString(key.Get(), entry.first.c_str(), data) && good;
    }
    RegFlushKey(key.Get());
    return key.Close() && good;
}

HRESULT ReadRegistryString(HKEY root, const char* subkey, const char* name, std::string& text, bool use64)
{
    CKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_READ | View(use64), key.Out()) != ERROR_SUCCESS)
        return E_FAIL;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return E_FAIL;
    if (size == 0)
        return key.Close() ? S_OK : E_FAIL;
    std::vector<char> data(size);
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return E_FAIL;
    if (!key.Close())
        return E_FAIL;
    // The data may or may not end with its NUL: take it by its length.
    size = std::min<DWORD>(size, DWORD(data.size()));
    while (size > 0 && data[size - 1] == '\0')
        --size;
    text.assign(data.data(), size);
    return S_OK;
}

HRESULT WriteRegistryString(HKEY root, const char* subkey, const char* name, const std::string& text, bool use64)
{
    CKey key;
    if (!CreateKey(root, subkey, KEY_SET_VALUE | View(use64), key))
        return E_FAIL;
    if (!SetString(key.Get(), name, text))
        return E_FAIL;
    RegFlushKey(key.Get());
    key.Close();
    return S_OK;
}

HRESULT DeleteRegistryValue(HKEY root, const char* subkey, const char* name, bool use64)
{
    CKey key;
    if (RegOpenKeyExA(root, subkey, 0, KEY_SET_VALUE | View(use64), key.Out()) != ERROR_SUCCESS)
        return E_FAIL;
    const bool deleted = RegDeleteValueA(key.Get(), name) == ERROR_SUCCESS;
    return key.Close() && deleted ? S_OK : E_FAIL;
}
