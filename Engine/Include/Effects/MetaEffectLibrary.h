#pragma once
// Every effect file of the storage, read once on the first request: plain
// effects parsed whole, meta effects split with their name and condition
// read. Materials ask for the first effect whose name matches a pattern and
// whose condition equals their texture kinds, and copy it.
#include <boost/shared_ptr.hpp>

#include <string>
#include <vector>

#include "Effect.h"
#include "LuaMeta.h"

namespace Storage
{
class IStorage;
}

class MetaEffectLibrary
{
public:
    explicit MetaEffectLibrary(Storage::IStorage* storage);
    ~MetaEffectLibrary();
    MetaEffectLibrary(const MetaEffectLibrary&) = delete;
    MetaEffectLibrary& operator=(const MetaEffectLibrary&) = delete;

    // Null when the pattern is no valid expression or nothing matches.
    Effect* Find(const std::string& namePattern, const std::vector<std::string>& kinds);
    Effect* GetDefault();
    void LoadAll();

    size_t GetEffectCount() const { return m_Effects.size(); }
    Effect* GetEffect(size_t i) { return m_Effects[i].get(); }
    CLuaEnvironment& GetEnvironment() { return m_Environment; }

private:
    // Loads the effects, again when the device that owns their shaders has
    // changed since they were loaded (a later application object's device).
    void LoadForCurrentDevice();

    std::vector<boost::shared_ptr<Effect>> m_Effects;
    bool m_bLoaded = false;
    uint32_t m_DeviceGeneration = 0;
    Storage::IStorage* m_pStorage;
    CLuaEnvironment m_Environment;
};

// The one library, made over `storage` on the first call.
MetaEffectLibrary* GetMetaEffectLibrary(Storage::IStorage* storage);
