#pragma once
// The program's one DirectSound 8 device with its primary buffer and 3D
// listener, and SoundObject: a sound decoded whole into one static buffer,
// played, stopped, muted, pitched and placed in 3D. Main thread only.
#include "ComRef.h"
#include "SoundRead.h"
#include "VolumeLaw.h"

#include <dsound.h>

#include <memory>
#include <string>
#include <vector>

class Object;
class SoundObject;

// Device state, set by InitDirectSound and cleared by ReleaseDirectSound.
extern ComRef<IDirectSound8> g_pDS;
extern ComRef<IDirectSoundBuffer> g_pDSBPrimary;
extern ComRef<IDirectSound3DListener> g_pDSListener;
extern DSCAPS g_DSCaps;
extern DS3DLISTENER g_DSListenerParams;
// Listener position and velocity in Direct3D axes; UpdateListener sends them.
extern D3DVECTOR g_vListenerPosition;
extern D3DVECTOR g_vListenerVelocity;
// Every live sound in creation order.
extern std::vector<SoundObject*> g_SoundObjectList;
// 0: buffers are made in software (DSBCAPS_LOCSOFTWARE).
extern int g_bHardwareSoundBuffers;

// Creates the device, the primary buffer (44100 Hz 16-bit stereo) and the
// listener. CoInitialize must have been called. Logs each failure and
// returns its code; the program then runs without sound.
HRESULT InitDirectSound(HWND window);
// Releases the listener, primary buffer and device, then CoUninitialize.
HRESULT ReleaseDirectSound();
// Meters per unit; kept in g_DSListenerParams so later UpdateListener calls
// send it too.
HRESULT SetDistanceFactor(float metersPerUnit);
// Sends the listener record with position, velocity, front, top (Direct3D
// axes, y and z exchanged for DirectSound) and the Doppler factor.
HRESULT UpdateListener(const D3DVECTOR& front, const D3DVECTOR& top, float dopplerFactor);
std::string GetSoundDeviceSpeakerConfig();
HRESULT GetSoundDeviceBufferCaps(DSCAPS* caps);
BOOL CALLBACK LogSoundDevice(LPGUID guid, LPCSTR description, LPCSTR module, LPVOID context);
// SoundObject::Update on every sound, once a frame.
void UpdateAllSounds();
void ToggleMuteAllSounds();

class SoundObject
{
public:
    class CLoadingProgressHandler
    {
    public:
        virtual void OnProgress(int done, int total) = 0;

    protected:
        ~CLoadingProgressHandler() = default;
    };

    enum Kind
    {
        KIND_WAVE = 0,
        KIND_OGG = 1
    };

    SoundObject();
    ~SoundObject();
    SoundObject(const SoundObject&) = delete;
    SoundObject& operator=(const SoundObject&) = delete;

    // Decodes the sound (resource id, else file path) into a new static
    // buffer. kind: KIND_WAVE or KIND_OGG.
    HRESULT Load(WORD resourceId, const char* path, int kind, bool b3D, bool bFrequencyControl);
    HRESULT CreateStaticBuffer(WORD resourceId, int kind, bool b3D, bool bFrequencyControl, const char* path);
    HRESULT FillBuffer();

    // Plays from the start (looping or once). A sound already playing is
    // only rewound.
    HRESULT PlayBuffer(bool loop);
    // Plays `repeatCount` times in all (Update starts each repeat).
    HRESULT PlayBuffer(int repeatCount);
    HRESULT Stop();
    HRESULT RestoreBuffers();
    // Once a frame: follow the attached object, start pending repeats.
    void Update();

    // 0..100 within the sound's range; kept while muted and sent on unmute.
    HRESULT SetVolume(int percent);
    int GetVolume() const { return m_nVolume; }
    // Low 0, high `percent`: the sound never plays louder than that.
    void SetVolumeRange(int percent);
    void ToggleMute();
    bool IsMuted() const { return m_bMuted; }

    // Clamped into the device's secondary sample-rate range.
    void SetFrequency(DWORD hertz);
    DWORD GetFrequency();

    // Direct3D axes; y and z are exchanged for DirectSound.
    void SetPosition(float x, float y, float z);
    HRESULT SetObjectProperties(const D3DVECTOR& position, const D3DVECTOR& velocity, float minDistance,
                                float maxDistance);
    // The sound follows the object's world position (not owned; null: none).
    void AttachToObject(const Object* object) { m_pAttachedObject = object; }
    void SetDeferred(bool deferred) { m_bDeferred = deferred; }

    bool Is3D() const { return m_p3DBuffer != nullptr; }
    bool IsPlaying();
    bool IsLoaded() const { return m_pDSBuffer != nullptr; }
    float GetDuration() const { return m_fDuration; }
    const std::string& GetName() const { return m_Name; }
    uint32_t GetRepeatCount() const { return m_nRepeatCount; }
    IDirectSoundBuffer* GetBuffer() const { return m_pDSBuffer; }

private:
    HRESULT StartPlaying(DWORD flags, uint32_t repeatCount);

    ComRef<IDirectSoundBuffer> m_pDSBuffer;
    ComRef<IDirectSound3DBuffer> m_p3DBuffer;
    DS3DBUFFER m_3DParams;
    DWORD m_dwBufferSize = 0;
    float m_fDuration = 0;
    std::unique_ptr<CSoundRead> m_pReader;
    // Where the sound came from, to decode it again into a lost buffer.
    WORD m_ResourceId = 0;
    std::string m_Path;
    bool m_bDeferred = false;
    std::string m_Name;
    int m_nVolumeLow = 0;
    int m_nVolumeHigh = 100;
    int m_nVolume = 100;
    bool m_bMuted = false;
    const Object* m_pAttachedObject = nullptr;
    uint32_t m_nRepeatCount = 0;
};

// Told after every decoded block (null: nobody).
extern SoundObject::CLoadingProgressHandler* g_pSoundLoadingProgressHandler;
void SetSoundLoadingProgressHandler(SoundObject::CLoadingProgressHandler* handler);
