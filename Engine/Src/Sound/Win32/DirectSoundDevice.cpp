// The program's DirectSound device, primary buffer and 3D listener.
#include "SoundObject.h"

#include "Log.h"

#include <cstring>

ComRef<IDirectSound8> g_pDS;
ComRef<IDirectSoundBuffer> g_pDSBPrimary;
ComRef<IDirectSound3DListener> g_pDSListener;
DSCAPS g_DSCaps;
DS3DLISTENER g_DSListenerParams;
D3DVECTOR g_vListenerPosition = {0, 0, 0};
D3DVECTOR g_vListenerVelocity = {0, 0, 0};
int g_bHardwareSoundBuffers = 0;

namespace
{
// Direct3D's y-up axes to DirectSound's.
D3DVECTOR SwapYZ(const D3DVECTOR& v)
{
    D3DVECTOR r;
    r.x = v.x;
    r.y = v.z;
    r.z = v.y;
    return r;
}
} // namespace

BOOL CALLBACK LogSoundDevice(LPGUID, LPCSTR description, LPCSTR module, LPVOID)
{
    g_Log.Printf(" Sound device: %s\n", description ? description : "");
    g_Log.Printf(" Device module: %s\n", module ? module : "");
    return TRUE;
}

HRESULT GetSoundDeviceBufferCaps(DSCAPS* caps)
{
    memset(caps, 0, sizeof(*caps));
    caps->dwSize = sizeof(DSCAPS);
    if (!g_pDS)
        return E_FAIL;
    const HRESULT hr = g_pDS->GetCaps(caps);
    if (FAILED(hr))
        g_Log.Printf("  GetSoundDeviceBufferCaps error: GetCaps returned %x\n", static_cast<unsigned>(hr));
    return hr;
}

std::string GetSoundDeviceSpeakerConfig()
{
    const char* unknown = "unknown speaker config";
    if (!g_pDS)
        return unknown;
    DWORD config = 0;
    const HRESULT hr = g_pDS->GetSpeakerConfig(&config);
    if (FAILED(hr))
    {
        g_Log.Printf("  GetSoundDeviceSpeakerConfig error: GetSpeakerConfig returned %x\n", static_cast<unsigned>(hr));
        return unknown;
    }
    switch (DSSPEAKER_CONFIG(config))
    {
    case DSSPEAKER_DIRECTOUT:
        return "The audio is passed through directly, without being configured for speakers.";
    case DSSPEAKER_HEADPHONE:
        return "The audio is played through headphones.";
    case DSSPEAKER_MONO:
        return "The audio is played through a single speaker.";
    case DSSPEAKER_QUAD:
        return "The audio is played through quadraphonic speakers.";
    case DSSPEAKER_STEREO:
    {
        std::string text = "The audio is played through stereo speakers.\n";
        switch (DSSPEAKER_GEOMETRY(config))
        {
        case DSSPEAKER_GEOMETRY_MIN:
            text += "The speakers are directed over an arc of 5 degrees.";
            break;
        case DSSPEAKER_GEOMETRY_NARROW:
            text += "The speakers are directed over an arc of 10 degrees.";
            break;
        case DSSPEAKER_GEOMETRY_WIDE:
            text += "The speakers are directed over an arc of 20 degrees.";
            break;
        case DSSPEAKER_GEOMETRY_MAX:
            text += "The speakers are directed over an arc of 180 degrees.";
            break;
        }
        return text;
    }
    case DSSPEAKER_SURROUND:
        return "The audio is played through surround speakers.";
    case DSSPEAKER_5POINT1:
        return "The audio is played through a speaker arrangement of five surround speakers with a subwoofer.";
    case DSSPEAKER_7POINT1:
        return "The audio is played through a speaker arrangement of seven surround speakers with a subwoofer.";
    }
    return unknown;
}

namespace
{
// A device that did not come up whole is not used at all: the program runs
// without sound.
HRESULT DropDevice(HRESULT hr)
{
    g_pDSListener.Reset();
    g_pDSBPrimary.Reset();
    g_pDS.Reset();
    return hr;
}
} // namespace

HRESULT InitDirectSound(HWND window)
{
    DirectSoundEnumerateA(LogSoundDevice, nullptr);

    HRESULT hr = DirectSoundCreate8(nullptr, g_pDS.Put(), nullptr);
    if (FAILED(hr))
    {
        g_Log.Printf("  InitDirectSound error: DirectSoundCreate8 returned %x\n", static_cast<unsigned>(hr));
        return DropDevice(hr);
    }

    GetSoundDeviceBufferCaps(&g_DSCaps);
    g_Log.Printf(" Sound device parameters:\n");
    const struct
    {
        DWORD flag;
        const char* text;
    } flags[] = {
        {DSCAPS_EMULDRIVER, "  is being emulated through the waveform-audio functions\n"},
        {DSCAPS_PRIMARY16BIT, "  supports primary sound buffers with 16-bit samples\n"},
        {DSCAPS_PRIMARYSTEREO, "  supports stereo primary buffers\n"},
        {DSCAPS_SECONDARY16BIT, "  supports hardware-mixed secondary sound buffers with 16-bit samples\n"},
        {DSCAPS_SECONDARYSTEREO, "  supports hardware-mixed stereo secondary buffers\n"},
    };
    for (const auto& f : flags)
        if (g_DSCaps.dwFlags & f.flag)
            g_Log.Printf("%s", f.text);
    g_Log.Printf("  supports sample rates from %u Hz to %u Hz\n", static_cast<unsigned>(g_DSCaps.dwMinSecondarySampleRate),
                 static_cast<unsigned>(g_DSCaps.dwMaxSecondarySampleRate));
    g_Log.Printf("  number of unallocated static buffers %u\n", static_cast<unsigned>(g_DSCaps.dwFreeHwMixingStaticBuffers));
    g_Log.Printf("  maximum number of static buffers %u\n", static_cast<unsigned>(g_DSCaps.dwMaxHwMixingStaticBuffers));
    g_Log.Printf("  number of unallocated 3-D buffers %u\n", static_cast<unsigned>(g_DSCaps.dwFreeHw3DStaticBuffers));
    g_Log.Printf("  maximum number of static 3-D buffers %u\n", static_cast<unsigned>(g_DSCaps.dwMaxHw3DStaticBuffers));
    g_Log.Printf("%s\n", GetSoundDeviceSpeakerConfig().c_str());

    hr = g_pDS->SetCooperativeLevel(window, DSSCL_PRIORITY);
    if (FAILED(hr))
    {
        g_Log.Printf("  InitDirectSound error: SetCooperativeLevel returned %x\n", static_cast<unsigned>(hr));
        return DropDevice(hr);
    }

    DSBUFFERDESC desc;
    memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(DSBUFFERDESC);
    desc.dwFlags = DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D | DSBCAPS_CTRLVOLUME;
    if (!g_bHardwareSoundBuffers)
        desc.dwFlags |= DSBCAPS_LOCSOFTWARE;
    hr = g_pDS->CreateSoundBuffer(&desc, g_pDSBPrimary.Put(), nullptr);
    if (FAILED(hr))
    {
        g_Log.Printf("  InitDirectSound error: CreateSoundBuffer with DSBCAPS_CTRLVOLUME returned %x\n",
                     static_cast<unsigned>(hr));
        desc.dwFlags &= ~DSBCAPS_CTRLVOLUME;
        hr = g_pDS->CreateSoundBuffer(&desc, g_pDSBPrimary.Put(), nullptr);
        if (FAILED(hr))
        {
            g_Log.Printf("  InitDirectSound error: CreateSoundBuffer returned %x\n", static_cast<unsigned>(hr));
            return DropDevice(hr);
        }
    }

    hr = g_pDSBPrimary->QueryInterface(IID_IDirectSound3DListener, g_pDSListener.PutVoid());
    if (FAILED(hr))
    {
        g_Log.Printf("  InitDirectSound error: QueryInterface( IID_IDirectSound3DListener8 ) returned %x\n",
                     static_cast<unsigned>(hr));
        return DropDevice(hr);
    }
    memset(&g_DSListenerParams, 0, sizeof(g_DSListenerParams));
    g_DSListenerParams.dwSize = sizeof(DS3DLISTENER);
    g_pDSListener->GetAllParameters(&g_DSListenerParams);

    WAVEFORMATEX format;
    memset(&format, 0, sizeof(format));
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = 44100;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = 176400;
    hr = g_pDSBPrimary->SetFormat(&format);
    if (FAILED(hr))
    {
        g_Log.Printf("  InitDirectSound error: SetFormat returned %x\n", static_cast<unsigned>(hr));
        return DropDevice(hr);
    }
    return S_OK;
}

HRESULT ReleaseDirectSound()
{
    g_Log.Printf(" Release g_pDSBPrimary\n");
    g_pDSBPrimary.Reset();
    g_Log.Printf(" Release g_pDSListener\n");
    g_pDSListener.Reset();
    g_Log.Printf(" Release g_pDS\n");
    g_pDS.Reset();
    CoUninitialize();
    return S_OK;
}

HRESULT SetDistanceFactor(float metersPerUnit)
{
    if (!g_pDSListener)
        return E_FAIL;
    const HRESULT hr = g_pDSListener->SetDistanceFactor(metersPerUnit, DS3D_IMMEDIATE);
    if (FAILED(hr))
    {
        g_Log.Printf("  SetDistanceFactor error: SetDistanceFactor returned %x\n", static_cast<unsigned>(hr));
        return hr;
    }
    // Kept in the record that UpdateListener sends every frame.
    g_DSListenerParams.flDistanceFactor = metersPerUnit;
    return S_OK;
}

HRESULT UpdateListener(const D3DVECTOR& front, const D3DVECTOR& top, float dopplerFactor)
{
    if (!g_pDSListener)
        return E_FAIL;
    g_DSListenerParams.dwSize = sizeof(DS3DLISTENER);
    g_DSListenerParams.vPosition = SwapYZ(g_vListenerPosition);
    g_DSListenerParams.vVelocity = SwapYZ(g_vListenerVelocity);
    g_DSListenerParams.vOrientFront = SwapYZ(front);
    g_DSListenerParams.vOrientTop = SwapYZ(top);
    g_DSListenerParams.flDopplerFactor = dopplerFactor;
    return g_pDSListener->SetAllParameters(&g_DSListenerParams, DS3D_IMMEDIATE);
}
