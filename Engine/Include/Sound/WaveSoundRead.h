#pragma once
// RIFF/WAVE reader through the Windows mmio functions. PCM only.
#include "SoundRead.h"

#include <vector>

class CWaveSoundRead : public CSoundRead
{
public:
    CWaveSoundRead();
    ~CWaveSoundRead() override;

    HRESULT Open(WORD resourceId, const char* path) override;
    HRESULT Reset() override;
    HRESULT Read(uint32_t wanted, BYTE* buffer, uint32_t* read) override;
    HRESULT Close() override;
    // The data chunk's bytes not yet read (the whole data after Open/Reset).
    uint32_t GetSize() override { return m_ckIn.cksize; }
    void GetFormat(WAVEFORMATEX* format) override;
    uint32_t GetRemaining() override { return 0; }

private:
    std::vector<BYTE> m_Format; // the format record with any extra bytes
    HMMIO m_hmmioIn = nullptr;
    MMCKINFO m_ckIn;
    MMCKINFO m_ckInRiff;
};
