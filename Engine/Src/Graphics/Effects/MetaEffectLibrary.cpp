#include "MetaEffectLibrary.h"

#include <boost/make_shared.hpp>
#include <boost/regex.hpp>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "EffectDevice.h"
#include "EffectXmlLoader.h"
#include "Log.h"
#include "Storage.h"

namespace
{
std::unique_ptr<MetaEffectLibrary> s_pLibrary;

// At exit, before the objects made ahead of the library go.
void DestroyLibrary()
{
    s_pLibrary.reset();
}
} // namespace

MetaEffectLibrary* GetMetaEffectLibrary(Storage::IStorage* storage)
{
    if (!s_pLibrary)
    {
        s_pLibrary = std::make_unique<MetaEffectLibrary>(storage);
        atexit(DestroyLibrary);
    }
    return s_pLibrary.get();
}

MetaEffectLibrary::MetaEffectLibrary(Storage::IStorage* storage) : m_pStorage(storage)
{
    LuaGlue::SetLibraryStorage(storage);
    LuaGlue::AddSearchPattern("?.lua");
    LuaGlue::AddSearchPattern("?");
    m_Environment.SetClassName("Variable");
    m_Environment.RegisterFunction("PrintToLog", LuaGlue::PrintToLog);
    m_Environment.RegisterFunction("require", LuaGlue::LoadLuaLibraries);
    m_Environment.RegisterFunction("print", LuaGlue::Print);
}

MetaEffectLibrary::~MetaEffectLibrary() = default;

void MetaEffectLibrary::LoadAll()
{
    EffectXmlLoader loader;
    std::vector<std::string> names;
    if (!m_pStorage || !m_pStorage->Find(".*\\.xml", &names))
        return;
    for (const std::string& name : names)
    {
        Storage::IStorageFile* file = m_pStorage->Open(name);
        if (!file)
            continue;
        const uint32_t size = file->GetSize();
        std::vector<char> buffer(size + 1, 0);
        file->Read(buffer.data(), size);
        m_pStorage->Close(file);
        const std::string text(buffer.data());

        boost::shared_ptr<Effect> effect = boost::make_shared<Effect>();
        effect->GetMetaText().SetEnvironment(&m_Environment);
        effect->SetFileName(name);
        if (effect->LoadMeta(text))
        {
            m_Effects.push_back(effect);
            continue;
        }
        if (loader.Parse(text, effect.get()))
            m_Effects.push_back(effect);
        if (!loader.GetMessages().empty())
        {
            g_Log.Printf("Messages on load effect file %s:\n", name.c_str());
            for (const std::string& message : loader.GetMessages())
                g_Log.Printf("%s\n", message.c_str());
        }
    }
}

void MetaEffectLibrary::LoadForCurrentDevice()
{
    IEffectDevice* device = GetEffectDevice();
    const uint32_t generation = device ? device->GetDeviceGeneration() : 0;
    if (m_bLoaded && generation == m_DeviceGeneration)
        return;
    if (m_bLoaded)
    {
        g_Log.Printf("The effects are loaded again for a new device\n");
        m_Effects.clear();
    }
    m_DeviceGeneration = generation;
    LoadAll();
    m_bLoaded = true;
}

Effect* MetaEffectLibrary::Find(const std::string& namePattern, const std::vector<std::string>& kinds)
{
    LoadForCurrentDevice();
    boost::regex expression;
    try
    {
        expression.assign(namePattern, boost::regex::perl);
    }
    catch (const std::exception&)
    {
        g_Log.Printf("Error: effect name pattern \"%s\" is not a regular expression\n", namePattern.c_str());
        return nullptr;
    }
    for (const auto& effect : m_Effects)
        if (boost::regex_match(effect->GetName(), expression) && effect->MatchesCondition(kinds))
            return effect.get();
    return nullptr;
}

Effect* MetaEffectLibrary::GetDefault()
{
    for (const auto& effect : m_Effects)
        if (effect->GetName() == "BasicDiffuse")
            return effect.get();
    return nullptr;
}
