#include "BassLibrary.h"

#include "Log.h"

namespace Bass
{
EntryPoints g_Entry = {};

int ErrorCode()
{
    return g_Entry.ErrorGetCode ? g_Entry.ErrorGetCode() : -1;
}

namespace
{
template <class F>
void Resolve(HMODULE module, const char* name, F& pointer)
{
    pointer = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
} // namespace

CLibrary::CLibrary()
{
    g_Entry = EntryPoints();
    m_hModule = LoadLibraryA("bass.dll");
    if (!m_hModule)
    {
        g_Log.Printf("Loading bass library FAILED!\n");
        return;
    }
    Resolve(m_hModule, "BASS_Init", g_Entry.Init);
    Resolve(m_hModule, "BASS_Free", g_Entry.Free);
    Resolve(m_hModule, "BASS_SetConfig", g_Entry.SetConfig);
    Resolve(m_hModule, "BASS_GetConfig", g_Entry.GetConfig);
    Resolve(m_hModule, "BASS_GetVersion", g_Entry.GetVersion);
    Resolve(m_hModule, "BASS_StreamCreateFile", g_Entry.StreamCreateFile);
    Resolve(m_hModule, "BASS_StreamFree", g_Entry.StreamFree);
    Resolve(m_hModule, "BASS_ChannelPlay", g_Entry.ChannelPlay);
    Resolve(m_hModule, "BASS_ChannelStop", g_Entry.ChannelStop);
    Resolve(m_hModule, "BASS_ErrorGetCode", g_Entry.ErrorGetCode);
    Resolve(m_hModule, "BASS_ChannelIsActive", g_Entry.ChannelIsActive);
    Resolve(m_hModule, "BASS_ChannelFlags", g_Entry.ChannelFlags);
    Resolve(m_hModule, "BASS_PluginLoad", g_Entry.PluginLoad);
    Resolve(m_hModule, "BASS_ChannelGetPosition", g_Entry.ChannelGetPosition);
    Resolve(m_hModule, "BASS_ChannelBytes2Seconds", g_Entry.ChannelBytes2Seconds);
    Resolve(m_hModule, "BASS_ChannelGetLength", g_Entry.ChannelGetLength);

    const bool complete = g_Entry.Init && g_Entry.Free && g_Entry.SetConfig && g_Entry.GetConfig &&
                          g_Entry.GetVersion && g_Entry.StreamCreateFile && g_Entry.StreamFree &&
                          g_Entry.ChannelPlay && g_Entry.ChannelStop && g_Entry.ChannelIsActive &&
                          g_Entry.ChannelFlags && g_Entry.ChannelGetPosition && g_Entry.ChannelBytes2Seconds;
    if (!complete)
    {
        g_Log.Printf("Can't use bass library %x\n", g_Entry.GetVersion ? static_cast<unsigned>(g_Entry.GetVersion()) : 0u);
        return;
    }
    g_Log.Printf("Using bass library %x\n", static_cast<unsigned>(g_Entry.GetVersion()));
    if (!g_Entry.Init(-1, 44100, 0, nullptr, nullptr))
    {
        g_Log.Printf("Bass init FAILED with error: %d!\n", ErrorCode());
        return;
    }
    m_bInitialised = true;
    if (!g_Entry.PluginLoad)
    {
        g_Log.Printf("Bass: no BASS_PluginLoad function found!\n");
        return;
    }
    for (const char* plugin : {"basswma.dll", "bassmidi.dll", "bassflac.dll"})
        if (!g_Entry.PluginLoad(plugin, 0))
            g_Log.Printf("Bass: FAILED to load %s with error: %d!\n", plugin, ErrorCode());
}

CLibrary::~CLibrary()
{
    if (m_bInitialised)
        g_Entry.Free();
    // Loaded but unusable (an entry point missing, the init failed) is freed too.
    if (m_hModule)
        FreeLibrary(m_hModule);
    g_Entry = EntryPoints();
}
} // namespace Bass
