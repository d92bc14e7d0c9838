#include "Font.h"

#include "DebugDraw.h"
#include "RenderStateManager.h"
#include "TestDevice.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace
{
// A 2x2 white 32-bit TGA, enough for the texture loader.
std::vector<uint8_t> TinyTga()
{
    std::vector<uint8_t> t(18, 0);
    t[2] = 2, t[12] = 2, t[14] = 2, t[16] = 32, t[17] = 0x28;
    for (int i = 0; i < 4; ++i)
        t.insert(t.end(), {255, 255, 255, 255});
    return t;
}

// Glyphs 'A' (advance 20) and 'V' (advance 18) with the pair A,V kerned by -2.
std::vector<uint8_t> TwoGlyphFont()
{
    FontFormat::Header h;
    h.lineHeight = 10;
    h.textureWidth = 2;
    h.textureHeight = 2;
    std::vector<FontFormat::GlyphRecord> g(2);
    g[0].code = 'A', g[0].width = 2, g[0].height = 2, g[0].advance = 20;
    g[1].code = 'V', g[1].width = 2, g[1].height = 2, g[1].advance = 18;
    return FontFormat::Write(h, g, {{'A', 'V', -2}}, TinyTga());
}

std::string ContentFile(const char* name)
{
    return std::string("Z:") + TARNHOLM_CONTENT_DIR + "/" + name;
}

struct Drawing : ::testing::Test
{
    TestDevice device{128, 64};
    void SetUp() override
    {
        ASSERT_NE(device.Get(), nullptr);
        RenderStateManager::Instance().SetDevice(device.Get());
    }
    void Clear()
    {
        device.Get()->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    }
};
} // namespace

TEST(Font, RejectsBadHeadersAndMeasuresWithKerning)
{
    Font font;
    const char notFont[] = "fnt1xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx";
    EXPECT_FALSE(font.LoadFromMemory(notFont, sizeof(notFont)));
    EXPECT_FALSE(font.LoadFromMemory(notFont, 31));

    const std::vector<uint8_t> bytes = TwoGlyphFont();
    font.LoadFromMemory(bytes.data(), bytes.size()); // no device here: tables only
    TextBatch batch;
    batch.SetFont(&font);
    EXPECT_EQ(GetTextWidth("AV", batch, 1.5f), 54);
    EXPECT_EQ(GetTextWidth("A?V", batch, 1.0f), 38) << "a character without a glyph takes no room and breaks the pair";
    EXPECT_EQ(GetTextWidth("", batch, 1.0f), 0);

    const float pos[2] = {100, 50}, centre[2] = {0.5f, 0}, white[4] = {1, 1, 1, 1};
    EXPECT_EQ(batch.AddTextAligned(pos, "AV", centre, white, 1.0f), 36);
}

TEST(Font, PackColourClampsAndRounds)
{
    EXPECT_EQ(PackColour(1.2f, -0.1f, 0.5f, 1.0f), 0xFFFF0080u);
    EXPECT_EQ(PackColour(0, 0, 0, 0), 0u);
}

TEST_F(Drawing, BatchBuffersGrowToTheQueuePlusAThousand)
{
    Font font;
    const std::vector<uint8_t> bytes = TwoGlyphFont();
    ASSERT_TRUE(font.LoadFromMemory(bytes.data(), bytes.size()));
    TextBatch batch;
    batch.SetFont(&font);
    const float pos[2] = {0, 0}, white[4] = {1, 1, 1, 1};
    batch.AddText("A", pos, white, 1.0f);
    batch.Render();
    EXPECT_EQ(batch.GetGlyphCapacity(), 1001u);
    batch.Clear();
    batch.AddText(std::string(1500, 'A'), pos, white, 1.0f);
    batch.Render();
    EXPECT_EQ(batch.GetGlyphCapacity(), 2500u);
}

TEST_F(Drawing, BakedFontDrawsReadableGlyphs)
{
    FILE* f = fopen(ContentFile("NEWFONT.FNT").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    Font font;
    ASSERT_TRUE(font.LoadFromFile(f));
    EXPECT_EQ(font.GetLineHeight(), 43);
    TextBatch batch;
    batch.SetFont(&font);
    const float pos[2] = {4, 4}, yellow[4] = {1, 1, 0, 1};
    const int width = batch.AddText("HH", pos, yellow, 1.0f);
    EXPECT_GT(width, 30);

    Clear();
    device.Get()->BeginScene();
    batch.Render();
    device.Get()->EndScene();
    EXPECT_EQ(batch.GetDrawnQuadCount(), 2u);

    // The left stem of the first H is solid yellow; the space after the text is black.
    const Font::Glyph& h = font.GetGlyph('H');
    const UINT stemX = UINT(4 + h.xOffset + 2), midY = UINT(4 + h.yOffset + h.height / 2);
    EXPECT_EQ(device.ReadPixel(stemX, midY), 0xFFFF00u);
    EXPECT_EQ(device.ReadPixel(UINT(4 + width + 8), midY), 0u);
}

TEST_F(Drawing, ClippedQuadsAreDropped)
{
    Font font;
    const std::vector<uint8_t> bytes = TwoGlyphFont();
    ASSERT_TRUE(font.LoadFromMemory(bytes.data(), bytes.size()));
    TextBatch batch;
    batch.SetFont(&font);
    const RECT clip = {0, 0, 21, 30};
    batch.SetClipRects(&clip, nullptr);
    const float pos[2] = {0, 0}, white[4] = {1, 1, 1, 1};
    batch.AddText("AAAA", pos, white, 1.0f); // quads of width 2 at x 0, 20, 40, 60
    batch.Render();
    EXPECT_EQ(batch.GetDrawnQuadCount(), 1u) << "the quad across the edge needs clip rectangle B";
}

TEST_F(Drawing, DrawRectFillsItsPixels)
{
    Clear();
    device.Get()->BeginScene();
    DrawRect(10, 10, 30, 30, 1, 0, 0, 1);
    device.Get()->EndScene();
    EXPECT_EQ(device.ReadPixel(20, 20), 0xFF0000u);
    EXPECT_EQ(device.ReadPixel(40, 20), 0u);
    EXPECT_EQ(RenderStateManager::Instance().GetRenderState(D3DRS_ZENABLE), 1u) << "states are restored";
}

TEST_F(Drawing, DebugLinesGrowTheirBuffersByAFifth)
{
    DebugDraw& dd = DebugDraw::Instance();
    const float a[3] = {0, 0, 0}, b[3] = {1, 0, 0}, c[4] = {1, 1, 1, 1};
    dd.BeginFrame();
    for (int i = 0; i < 10; ++i)
        dd.AddLine(a, b, c);
    device.Get()->BeginScene();
    LineDrawer::Flush(dd);
    device.Get()->EndScene();
    EXPECT_EQ(dd.GetWorldLines().GetVertexCapacity(), 24u);
    EXPECT_EQ(dd.GetWorldLines().GetIndexCapacity(), 24u);
    dd.BeginFrame();
    for (int i = 0; i < 21; ++i)
        dd.AddLine(a, b, c);
    device.Get()->BeginScene();
    LineDrawer::Flush(dd);
    device.Get()->EndScene();
    EXPECT_EQ(dd.GetWorldLines().GetVertexCapacity(), 50u);
    EXPECT_EQ(dd.GetWorldLines().GetIndexCapacity(), 50u);
}
