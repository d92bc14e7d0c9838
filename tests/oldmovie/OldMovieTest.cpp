// The old-film look: which values it takes, how long lines live and where
// they go, the scratch sets, the tinted gamma ramp.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "OldMovieLayers.h"
#include "TuningControl.h"

namespace
{
const char kShipped[] = "OldMoviePostEffect.Gamma.Red 1\r\n"
                        "OldMoviePostEffect.Gamma.Green 1\r\n"
                        "OldMoviePostEffect.Gamma.Blue 1\r\n"
                        "OldMoviePostEffect.Scratches.NumScratches 1\r\n"
                        "OldMoviePostEffect.Scratches.ScratchMaxSize 100\r\n"
                        "OldMoviePostEffect.Scratches.ScratchMinSize 20\r\n"
                        "OldMoviePostEffect.Scratches.TimeToLive 0.09\r\n"
                        "OldMoviePostEffect.Scratches.AppearFactor 0.32\r\n"
                        "OldMoviePostEffect.Lines.AppearProbability 0.3\r\n"
                        "OldMoviePostEffect.Lines.MaxTimeToLive 5\r\n"
                        "OldMoviePostEffect.Lines.MinTimeToLive 2\r\n"
                        "OldMoviePostEffect.Lines.LineWidth 12\r\n"
                        "OldMoviePostEffect.Lines.MaxLineSpeed 90\r\n";

class OldMovie : public testing::Test
{
protected:
    void Load(const std::string& text) { ASSERT_TRUE(m_Tuning.LoadFromText(text.data(), text.size())); }
    float& Value(const char* name) { return *m_Tuning.GetValue(std::string("OldMoviePostEffect.") + name); }

    TuningControl::CManager m_Tuning;
    OldMovieLayers m_Film;
};

TEST_F(OldMovie, ShippedValuesTakeTheLongerLineLifeOnlyOnTheSecondRead)
{
    Load(kShipped);
    m_Film.ReadSettings(m_Tuning);
    // The maximum 5 is not above the starting minimum 5; the minimum 2 is
    // taken after it.
    EXPECT_EQ(m_Film.GetMinLineLife(), 2);
    EXPECT_EQ(m_Film.GetMaxLineLife(), 1);
    EXPECT_EQ(m_Film.GetScratchCount(), 1);
    EXPECT_EQ(m_Film.GetMaxScratchSize(), 100);
    EXPECT_EQ(m_Film.GetMinScratchSize(), 20);
    EXPECT_FLOAT_EQ(m_Film.GetScratchPeriod(), 0.09f);
    EXPECT_EQ(m_Film.GetLineWidth(), 12);
    m_Film.ReadSettings(m_Tuning);
    EXPECT_EQ(m_Film.GetMinLineLife(), 2);
    EXPECT_EQ(m_Film.GetMaxLineLife(), 5);
}

TEST_F(OldMovie, ValuesBreakingTheirRuleAreIgnored)
{
    struct Case
    {
        const char* name;
        float value;
    } cases[] = {
        {"Scratches.ScratchMinSize", 100},  // not below the maximum
        {"Scratches.ScratchMaxSize", 20},   // not above the minimum
        {"Scratches.NumScratches", 0},      {"Scratches.TimeToLive", -1},
        {"Scratches.AppearFactor", 0},      {"Lines.AppearProbability", -0.5f},
        {"Lines.MaxTimeToLive", 2},         {"Lines.MinTimeToLive", 0},
        {"Lines.LineWidth", 0},             {"Lines.MaxLineSpeed", -3},
    };
    Load(kShipped);
    m_Film.ReadSettings(m_Tuning);
    for (const Case& c : cases)
    {
        Load(kShipped);
        m_Film.ReadSettings(m_Tuning);
        Value(c.name) = c.value;
        m_Film.ReadSettings(m_Tuning);
        EXPECT_EQ(m_Film.GetMinScratchSize(), 20) << c.name;
        EXPECT_EQ(m_Film.GetMaxScratchSize(), 100) << c.name;
        EXPECT_EQ(m_Film.GetScratchCount(), 1) << c.name;
        EXPECT_FLOAT_EQ(m_Film.GetScratchPeriod(), 0.09f) << c.name;
        EXPECT_FLOAT_EQ(m_Film.GetScratchFactor(), 0.32f) << c.name;
        EXPECT_FLOAT_EQ(m_Film.GetLineProbability(), 0.3f) << c.name;
        EXPECT_EQ(m_Film.GetMinLineLife(), 2) << c.name;
        EXPECT_EQ(m_Film.GetMaxLineLife(), 5) << c.name;
        EXPECT_EQ(m_Film.GetLineWidth(), 12) << c.name;
        EXPECT_EQ(m_Film.GetMaxLineSpeed(), 90) << c.name;
    }
    // A huge count is held to a set that fits in memory.
    Value("Scratches.NumScratches") = 1e12f;
    m_Film.ReadSettings(m_Tuning);
    EXPECT_GT(m_Film.GetScratchCount(), 1);
    EXPECT_LE(m_Film.GetScratchCount(), 4096);
}

TEST_F(OldMovie, LinesLiveTheirTimeAndLeaveThePicture)
{
    Load(kShipped);
    m_Film.ReadSettings(m_Tuning);
    m_Film.ReadSettings(m_Tuning); // lives 2 to 5 s
    m_Film.SetViewport(0, 0, 1280, 1024);
    srand(7);
    for (int i = 0; i < 200; ++i)
        m_Film.AddLine();
    for (const OldMovieLine& line : m_Film.GetLines())
    {
        EXPECT_GE(line.timeToLive, 2);
        EXPECT_LE(line.timeToLive, 5);
        EXPECT_LE(std::abs(line.speed), 90);
        EXPECT_GE(line.x, 0);
        EXPECT_LE(line.x, 1280);
        EXPECT_TRUE(line.variant >= 0 && line.variant < 4);
    }
    // Hand-made lines: one dies, one drifts off the right, one off the
    // left, one stays and moves.
    Value("Lines.AppearProbability") = 0;
    m_Film.ReadSettings(m_Tuning);
    m_Film.Lines() = {{100, 0.05f, 0, 0}, {1275, 3, 100, 1}, {-2, 3, -100, 2}, {600, 3, 50, 3}};
    m_Film.UpdateLines(0.1f);
    ASSERT_EQ(m_Film.GetLines().size(), 2u);
    EXPECT_FLOAT_EQ(m_Film.GetLines()[0].x, -12); // still within one line width
    EXPECT_FLOAT_EQ(m_Film.GetLines()[1].x, 605);
    m_Film.UpdateLines(0.1f);
    ASSERT_EQ(m_Film.GetLines().size(), 1u);
    EXPECT_EQ(m_Film.GetLines()[0].variant, 3);
    // A line strip: full height, the width scaled from 1280 x 1024, its
    // variant's quarter of the texture.
    m_Film.SetViewport(0, 0, 640, 512);
    OldMovieVertex v[6];
    m_Film.BuildLineVertices({100, 1, 0, 2}, v);
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f, minU = 1, maxU = 0;
    for (const OldMovieVertex& p : v)
    {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
        minU = std::min(minU, p.u), maxU = std::max(maxU, p.u);
    }
    EXPECT_EQ(minX, 100);
    EXPECT_EQ(maxX, 106);
    EXPECT_EQ(minY, 0);
    EXPECT_EQ(maxY, 512);
    EXPECT_EQ(minU, 0.5f);
    EXPECT_EQ(maxU, 0.75f);
}

TEST_F(OldMovie, ScratchSetsLastTheirPeriodAndShowByTheFactor)
{
    Load(kShipped);
    m_Film.ReadSettings(m_Tuning);
    m_Film.SetViewport(0, 0, 1280, 1024);
    srand(11);
    m_Film.UpdateScratches(0.01f); // the first update builds a set
    ASSERT_TRUE(m_Film.HasScratchSet());
    ASSERT_EQ(m_Film.GetScratchVertices().size(), 6u);
    const OldMovieVertex first = m_Film.GetScratchVertices()[0];
    // The set stays until its time left falls below 0.
    m_Film.UpdateScratches(0.0f);
    EXPECT_EQ(m_Film.GetScratchVertices()[0].x, first.x);
    EXPECT_EQ(m_Film.GetScratchVertices()[0].y, first.y);
    int periods = 0, shown = 0;
    for (int i = 0; i < 30000; ++i)
    {
        m_Film.UpdateScratches(0.05f);
        if (i % 2 == 1) // every second update starts a new 0.09 s set
        {
            ++periods;
            shown += m_Film.AreScratchesVisible();
        }
        const std::vector<OldMovieVertex>& v = m_Film.GetScratchVertices();
        ASSERT_EQ(v.size(), 6u);
        const float size = v[5].x - v[0].x;
        ASSERT_GE(size, 20);
        ASSERT_LE(size, 100);
        ASSERT_NEAR(v[5].y - v[0].y, size, 1e-3);
        ASSERT_NEAR(v[5].u - v[0].u, 0.25f, 1e-6);
    }
    EXPECT_NEAR(double(shown) / periods, 0.32, 0.02);
}

TEST(GammaTint, KeepsTheRampAsReadAndClampsTheTint)
{
    GammaChannels ramp;
    for (int i = 0; i < 256; ++i)
    {
        // A non-default ramp: a gamma curve, brighter in red.
        ramp.red[i] = uint16_t(std::min(65535, i * 300));
        ramp.green[i] = uint16_t(i * 257);
        ramp.blue[i] = uint16_t(i * 128);
    }
    const GammaChannels same = TintGammaRamp(ramp, 1, 1, 1);
    for (int i = 0; i < 256; ++i)
    {
        EXPECT_EQ(same.red[i], ramp.red[i]) << i;
        EXPECT_EQ(same.green[i], ramp.green[i]) << i;
        EXPECT_EQ(same.blue[i], ramp.blue[i]) << i;
    }
    const GammaChannels tinted = TintGammaRamp(ramp, 1.5, 0.5, -1);
    EXPECT_EQ(tinted.red[1], ramp.red[1]); // entries 0 and 1 kept
    EXPECT_EQ(tinted.blue[1], ramp.blue[1]);
    EXPECT_EQ(tinted.red[100], 45000);
    EXPECT_EQ(tinted.red[200], 65535); // not wrapped past the top
    EXPECT_EQ(tinted.green[101], 12978); // 25957 x 0.5, truncated
    EXPECT_EQ(tinted.blue[100], 0);
}

// A display with a ramp of its own; counts the ramps set.
class FakeDisplay : public GammaDevice
{
public:
    FakeDisplay()
    {
        for (int i = 0; i < 256; ++i)
        {
            ramp.red[i] = uint16_t(std::min(65535, i * 300));
            ramp.green[i] = uint16_t(i * 200);
            ramp.blue[i] = uint16_t(i * 257);
        }
    }
    bool GetRamp(GammaChannels& out) override
    {
        out = ramp;
        return readable;
    }
    void SetRamp(const GammaChannels& in) override
    {
        ramp = in;
        ++sets;
    }
    static bool Same(const GammaChannels& a, const GammaChannels& b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

    GammaChannels ramp;
    bool readable = true;
    int sets = 0;
};

TEST(GammaKeeper, OffAndCloseGiveTheDisplayItsRampBack)
{
    FakeDisplay display;
    const GammaChannels start = display.ramp;
    GammaKeeper keeper;
    keeper.Restore(display); // never tinted: the display is left alone
    EXPECT_EQ(display.sets, 0);

    // O: tinted; O again: the ramp as it was, exactly.
    keeper.Tint(display, 0.5, 1, 1);
    EXPECT_TRUE(keeper.IsTinted());
    EXPECT_EQ(display.ramp.red[100], 15000);
    keeper.Restore(display);
    EXPECT_TRUE(FakeDisplay::Same(display.ramp, start));

    // On again, tinted from the ramp as first read, not from a tinted one;
    // then the program closes with the look on.
    keeper.Tint(display, 0.5, 1, 1);
    keeper.Tint(display, 0.5, 1, 1);
    EXPECT_EQ(display.ramp.red[100], 15000);
    keeper.Restore(display);
    EXPECT_FALSE(keeper.IsTinted());
    EXPECT_TRUE(FakeDisplay::Same(display.ramp, start));
    const int sets = display.sets;
    keeper.Restore(display); // once only
    EXPECT_EQ(display.sets, sets);
}

TEST(GammaKeeper, AnUnreadableRampIsNotTinted)
{
    FakeDisplay display;
    display.readable = false;
    GammaKeeper keeper;
    keeper.Tint(display, 0.5, 0.5, 0.5);
    EXPECT_FALSE(keeper.IsTinted());
    EXPECT_EQ(display.sets, 0);
}
} // namespace
