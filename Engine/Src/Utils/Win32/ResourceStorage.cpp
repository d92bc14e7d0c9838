#include "Storage.h"

#include <windows.h>

namespace Storage
{
namespace
{
std::string ResourceName(LPSTR name)
{
    if (IS_INTRESOURCE(name))
        return std::to_string(unsigned(reinterpret_cast<ULONG_PTR>(name) & 0xFFFF));
    return name;
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR param)
{
    reinterpret_cast<std::vector<std::string>*>(param)->push_back(ResourceName(name));
    return TRUE;
}

BOOL CALLBACK CollectType(HMODULE module, LPSTR type, LONG_PTR param)
{
    EnumResourceNamesA(module, type, CollectName, param);
    return TRUE;
}

std::unique_ptr<CMainStorage> g_pMainStorage;
} // namespace

CResourceFile::~CResourceFile()
{
    if (m_Handle)
        FreeResource(static_cast<HGLOBAL>(m_Handle));
}

IStorageFile* CResourceStorage::Open(const std::string& name)
{
    HRSRC info = FindResourceA(nullptr, name.c_str(), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    if (!info)
        return nullptr;
    const DWORD size = SizeofResource(nullptr, info);
    HGLOBAL handle = LoadResource(nullptr, info);
    const void* bytes = handle ? LockResource(handle) : nullptr;
    if (!bytes)
        return nullptr;
    return new CResourceFile(bytes, size, handle);
}

void CResourceStorage::Close(IStorageFile* file)
{
    delete file;
}

bool CResourceStorage::Find(const std::string& pattern, std::vector<std::string>* list)
{
    if (m_Names.empty())
        EnumResourceTypesA(nullptr, CollectType, reinterpret_cast<LONG_PTR>(&m_Names));
    return FindNames(pattern, m_Names, list);
}

CMainStorage* GetMainStorage()
{
    if (!g_pMainStorage)
        g_pMainStorage = std::make_unique<CMainStorage>();
    return g_pMainStorage.get();
}
} // namespace Storage
