#pragma once
// The old-film look's moving parts: the tuning values it takes, the set of
// scratches that flashes for a moment and the thin lines that drift across
// the picture, and the tinted display gamma. Platform-free; the program
// draws what this computes.
#include <cstdint>
#include <vector>

namespace TuningControl
{
class CManager;
}

struct OldMovieLine
{
    float x;          // pixels
    float timeToLive; // seconds
    float speed;      // pixels per second
    int variant;      // which of the line texture's strips
};

// A pre-transformed, textured vertex: position, z, rhw, texture coordinate.
struct OldMovieVertex
{
    float x, y, z, rhw;
    float u, v;
};

// Two triangles of a quad from (x0, y0) to (x1, y1) with its texture
// rectangle from (u0, v0) to (u1, v1).
void BuildOldMovieQuad(float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1,
                       OldMovieVertex out[6]);

// The display's gamma ramp, laid out as Direct3D's.
struct GammaChannels
{
    uint16_t red[256];
    uint16_t green[256];
    uint16_t blue[256];
};

// The ramp with entries 2 to 255 of each channel scaled by that channel's
// tint and kept within 0 to 65535; entries 0 and 1 as they were.
GammaChannels TintGammaRamp(const GammaChannels& ramp, double red, double green, double blue);

// Where the display's gamma ramp is read and set.
class GammaDevice
{
public:
    virtual ~GammaDevice() = default;
    virtual bool GetRamp(GammaChannels& ramp) = 0;
    virtual void SetRamp(const GammaChannels& ramp) = 0;
};

// The display's ramp tinted while the look is on. The ramp is read on the
// first tint and kept exactly as read; switching the look off, and closing
// the program, give the display that ramp back.
class GammaKeeper
{
public:
    void Tint(GammaDevice& device, double red, double green, double blue);
    // Nothing when no tint is applied.
    void Restore(GammaDevice& device);
    bool IsTinted() const { return m_bTinted; }
    const GammaChannels& GetSavedRamp() const { return m_Saved; }

private:
    bool m_bRead = false;
    bool m_bTinted = false;
    GammaChannels m_Saved = {};
};

class OldMovieLayers
{
public:
    static const int kLineVariants = 4;
    static const int kAtlasTiles = 4;

    // The "OldMoviePostEffect" values, each taken only by its rule; a value
    // not taken leaves its field as it was.
    void ReadSettings(TuningControl::CManager& tuning);

    void SetViewport(unsigned x, unsigned y, unsigned width, unsigned height);

    // Keeps the current scratch set for its period, then draws lots for the
    // next: a fresh set, shown or not by the appearance factor.
    void UpdateScratches(float dt);
    void AddLine();
    // Maybe a new line, then every line ages and moves; the dead and those
    // gone off the picture are dropped.
    void UpdateLines(float dt);
    // Six vertices per line: a strip of the picture's full height.
    void BuildLineVertices(const OldMovieLine& line, OldMovieVertex out[6]) const;
    void ClearAnimation();

    bool IsEnabled() const { return m_bEnabled; }
    void SetEnabled(bool on) { m_bEnabled = on; }

    const std::vector<OldMovieLine>& GetLines() const { return m_Lines; }
    std::vector<OldMovieLine>& Lines() { return m_Lines; }
    const std::vector<OldMovieVertex>& GetScratchVertices() const { return m_ScratchVertices; }
    bool HasScratchSet() const { return m_bScratchSet; }
    bool AreScratchesVisible() const { return m_bScratchesVisible; }

    float GetMinLineLife() const { return m_MinLineLife; }
    float GetMaxLineLife() const { return m_MaxLineLife; }
    float GetLineWidth() const { return m_LineWidth; }
    float GetMaxLineSpeed() const { return m_MaxLineSpeed; }
    float GetLineProbability() const { return m_LineProbability; }
    float GetMinScratchSize() const { return m_MinScratchSize; }
    float GetMaxScratchSize() const { return m_MaxScratchSize; }
    float GetScratchFactor() const { return m_ScratchFactor; }
    int GetScratchCount() const { return m_ScratchCount; }
    float GetScratchPeriod() const { return m_ScratchPeriod; }
    double GetTintRed() const { return m_TintRed; }
    double GetTintGreen() const { return m_TintGreen; }
    double GetTintBlue() const { return m_TintBlue; }

protected:
    void BuildScratchSet();

    bool m_bEnabled = true;
    std::vector<OldMovieLine> m_Lines;
    // A larger minimum than maximum at the start: the maximum is taken only
    // once a smaller minimum has been.
    float m_MinLineLife = 5.0f;
    float m_MaxLineLife = 1.0f;
    float m_LineProbability = 0.3f;
    float m_LineWidth = 10; // pixels at 1280 x 1024
    float m_MaxLineSpeed = 100;
    float m_MaxScratchSize = 50; // pixels at 1280 x 1024
    float m_MinScratchSize = 20;
    float m_ScratchFactor = 1.0f;
    bool m_bScratchesVisible = false;
    int m_ScratchCount = 100;
    float m_ScratchPeriod = 0.1f;
    float m_ScratchTimeLeft = 0;
    bool m_bScratchSet = false;
    std::vector<OldMovieVertex> m_ScratchVertices;
    unsigned m_ViewX = 0, m_ViewY = 0, m_ViewWidth = 1280, m_ViewHeight = 1024;
    float m_ScaleX = 1, m_ScaleY = 1;
    double m_TintRed = 1.0, m_TintGreen = 1.0, m_TintBlue = 1.0;
};
