#include "OldMovieLayers.h"

#include <algorithm>
#include <cstdlib>

#include "MathUtils.h"
#include "TuningControl.h"

namespace
{
// More scratches than this in one set would only eat memory.
const int kMaxScratches = 4096;

uint16_t ScaleEntry(uint16_t entry, double factor)
{
    const double v = double(entry) * factor;
    if (!(v > 0))
        return 0;
    return v >= 65535.0 ? uint16_t(65535) : uint16_t(v);
}

void TintChannel(const uint16_t in[256], double factor, uint16_t out[256])
{
    out[0] = in[0];
    out[1] = in[1];
    for (int i = 2; i < 256; ++i)
        out[i] = ScaleEntry(in[i], factor);
}

} // namespace

void BuildOldMovieQuad(float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1,
                       OldMovieVertex out[6])
{
    const OldMovieVertex a = {x0, y0, 0, 1, u0, v0}, b = {x1, y0, 0, 1, u1, v0};
    const OldMovieVertex c = {x0, y1, 0, 1, u0, v1}, d = {x1, y1, 0, 1, u1, v1};
    out[0] = a;
    out[1] = b;
    out[2] = c;
    out[3] = c;
    out[4] = b;
    out[5] = d;
}

GammaChannels TintGammaRamp(const GammaChannels& ramp, double red, double green, double blue)
{
    GammaChannels out;
    TintChannel(ramp.red, red, out.red);
    TintChannel(ramp.green, green, out.green);
    TintChannel(ramp.blue, blue, out.blue);
    return out;
}

void GammaKeeper::Tint(GammaDevice& device, double red, double green, double blue)
{
    if (!m_bRead)
    {
        // An unreadable ramp is not tinted: there would be nothing to give
        // back.
        if (!device.GetRamp(m_Saved))
            return;
        m_bRead = true;
    }
    device.SetRamp(TintGammaRamp(m_Saved, red, green, blue));
    m_bTinted = true;
}

void GammaKeeper::Restore(GammaDevice& device)
{
    if (!m_bTinted)
        return;
    device.SetRamp(m_Saved);
    m_bTinted = false;
}

void OldMovieLayers::ReadSettings(TuningControl::CManager& tuning)
{
    auto value = [&tuning](const char* name, float shipped) {
        return *tuning.GetValueOr(std::string("OldMoviePostEffect.") + name, shipped);
    };
    m_TintRed = value("Gamma.Red", 1);
    m_TintGreen = value("Gamma.Green", 1);
    m_TintBlue = value("Gamma.Blue", 1);
    float v = value("Scratches.NumScratches", 1);
    if (v > 0)
        m_ScratchCount = int(std::min(v, float(kMaxScratches)));
    v = value("Scratches.ScratchMaxSize", 100);
    if (v > 0 && v > m_MinScratchSize)
        m_MaxScratchSize = v;
    v = value("Scratches.ScratchMinSize", 20);
    if (v > 0 && v < m_MaxScratchSize)
        m_MinScratchSize = v;
    v = value("Scratches.TimeToLive", 0.09f);
    if (v > 0)
        m_ScratchPeriod = v;
    v = value("Scratches.AppearFactor", 0.32f);
    if (v > 0)
        m_ScratchFactor = v;
    v = value("Lines.AppearProbability", 0.3f);
    if (v >= 0)
        m_LineProbability = v;
    v = value("Lines.MaxTimeToLive", 5);
    if (v > m_MinLineLife)
        m_MaxLineLife = v;
    v = value("Lines.MinTimeToLive", 2);
    if (v > 0)
        m_MinLineLife = v;
    v = value("Lines.LineWidth", 12);
    if (v > 0)
        m_LineWidth = v;
    v = value("Lines.MaxLineSpeed", 90);
    if (v > 0)
        m_MaxLineSpeed = v;
}

void OldMovieLayers::SetViewport(unsigned x, unsigned y, unsigned width, unsigned height)
{
    m_ViewX = x;
    m_ViewY = y;
    m_ViewWidth = width;
    m_ViewHeight = height;
    m_ScaleX = float(width) / 1280.0f;
    m_ScaleY = float(height) / 1024.0f;
}

void OldMovieLayers::UpdateScratches(float dt)
{
    if (m_bScratchSet)
    {
        m_ScratchTimeLeft -= dt;
        if (m_ScratchTimeLeft >= 0)
            return;
        m_bScratchSet = false;
        m_ScratchVertices.clear();
        m_ScratchTimeLeft = m_ScratchPeriod;
        m_bScratchesVisible = m_ScratchFactor >= RandomUnit();
    }
    BuildScratchSet();
}

void OldMovieLayers::BuildScratchSet()
{
    m_ScratchVertices.resize(size_t(m_ScratchCount) * 6);
    const unsigned spanX = m_ViewX + m_ViewWidth + 1, spanY = m_ViewY + m_ViewHeight + 1;
    const float tile = 1.0f / kAtlasTiles;
    for (int i = 0; i < m_ScratchCount; ++i)
    {
        const float x = float(unsigned(std::rand()) % spanX);
        const float y = float(unsigned(std::rand()) % spanY);
        const float s = m_MinScratchSize + RandomUnit() * (m_MaxScratchSize - m_MinScratchSize);
        const int column = std::rand() % kAtlasTiles;
        const int row = std::rand() % kAtlasTiles;
        BuildOldMovieQuad(x, y, x + s * m_ScaleX, y + s * m_ScaleY, column * tile, row * tile, (column + 1) * tile,
             (row + 1) * tile, &m_ScratchVertices[size_t(i) * 6]);
    }
    m_bScratchSet = true;
}

void OldMovieLayers::AddLine()
{
    OldMovieLine line;
    line.x = float(m_ViewX + unsigned(std::rand()) % (m_ViewWidth + 1));
    line.speed = RandomUnit() * 2 * m_MaxLineSpeed - m_MaxLineSpeed;
    line.timeToLive = m_MinLineLife + RandomUnit() * (m_MaxLineLife - m_MinLineLife);
    line.variant = std::rand() % kLineVariants;
    m_Lines.push_back(line);
}

void OldMovieLayers::UpdateLines(float dt)
{
    if (m_LineProbability * dt > RandomUnit())
        AddLine();
    const float left = float(m_ViewX) - m_LineWidth, right = float(m_ViewX + m_ViewWidth);
    auto gone = [&](OldMovieLine& line) {
        line.timeToLive -= dt;
        if (line.timeToLive < 0)
            return true;
        line.x += dt * line.speed;
        return line.x > right || line.x < left;
    };
    m_Lines.erase(std::remove_if(m_Lines.begin(), m_Lines.end(), gone), m_Lines.end());
}

void OldMovieLayers::BuildLineVertices(const OldMovieLine& line, OldMovieVertex out[6]) const
{
    const float tile = 1.0f / kLineVariants;
    BuildOldMovieQuad(line.x, float(m_ViewY), line.x + m_LineWidth * m_ScaleX, float(m_ViewY + m_ViewHeight), line.variant * tile,
         0, (line.variant + 1) * tile, 1, out);
}

void OldMovieLayers::ClearAnimation()
{
    m_Lines.clear();
    m_ScratchVertices.clear();
    m_bScratchSet = false;
    m_ScratchTimeLeft = 0;
}
