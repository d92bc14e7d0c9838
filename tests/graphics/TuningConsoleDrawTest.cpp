// The tuning console drawn with the baked font: the current line in its
// highlight colour, the other lines in their own, boxes behind them.
#include "Font.h"
#include "RenderStateManager.h"
#include "TestDevice.h"
#include "TuningControl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{
std::string ContentFile(const char* name)
{
    return std::string("Z:") + TARNHOLM_CONTENT_DIR + "/" + name;
}

bool Near(uint32_t a, uint32_t b)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 2)
            return false;
    return true;
}
} // namespace

TEST(TuningConsoleDraw, CurrentLineHighlightedOverItsBox)
{
    TestDevice device(640, 256);
    ASSERT_NE(device.Get(), nullptr);
    RenderStateManager::Instance().SetDevice(device.Get());
    FILE* f = fopen(ContentFile("NEWFONT.FNT").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    Font font;
    ASSERT_TRUE(font.LoadFromFile(f));
    const int lineHeight = font.GetLineHeight();
    TextBatch batch;
    batch.SetFont(&font);

    TuningControl::CManager m;
    const char text[] = "T.H 1.000000\nT.HH 2.000000\n%T\n(T.H)\n";
    m.LoadFromText(text, sizeof(text) - 1);
    TuningControl::CDrawParameters p;
    p.m_X = 10;
    p.m_Y = 150;
    p.m_ShownLines = 1;
    p.m_BackgroundColour[0] = 0, p.m_BackgroundColour[1] = 0, p.m_BackgroundColour[2] = 1;

    device.Get()->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device.Get()->BeginScene();
    m.Render(batch, p);
    batch.Render();
    device.Get()->EndScene();

    // Both leaves sit at depth 2; their first letter's stem carries the colour.
    const Font::Glyph& h = font.GetGlyph('H');
    const UINT stemX = UINT(10 + 2 * 15 + h.xOffset + 2);
    const UINT currentY = UINT(150 + h.yOffset + h.height / 2);
    const UINT nextY = currentY + UINT(lineHeight);
    const uint32_t highlighted = PackColour(0.16f + 0.79f, 1.0f, 0.05f + 0.65f, 0) & 0xFFFFFF;
    const uint32_t leaf = PackColour(0.16f, 0.60f, 0.05f, 0) & 0xFFFFFF;
    EXPECT_TRUE(Near(device.ReadPixel(stemX, currentY), highlighted)) << std::hex << device.ReadPixel(stemX, currentY);
    EXPECT_TRUE(Near(device.ReadPixel(stemX, nextY), leaf)) << std::hex << device.ReadPixel(stemX, nextY);

    // The box reaches 3 pixels left of the text (below the box of the line
    // above, which ends 5 pixels under that line); beyond the line's end the
    // screen stays clear.
    EXPECT_EQ(device.ReadPixel(10 + 30 - 2, 150 + 10), 0x0000FFu);
    EXPECT_EQ(device.ReadPixel(10 + 30 - 4, 150 + 10), 0u);
    EXPECT_EQ(device.ReadPixel(630, 150 + 2), 0u);
    RenderStateManager::Instance().SetDevice(nullptr);
}
