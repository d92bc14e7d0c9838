#pragma once
// Bitmap fonts ("fnt0") and batches of screen-space text drawn with one
// indexed draw call per batch.
#include <d3d8.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "FontFormat.h"

class Font
{
public:
    struct Glyph
    {
        std::map<signed char, int> kerning; // by the following character
        bool present = false;
        std::vector<std::pair<float, float>> corners; // TL, TR, BR, BL (u, v)
        float width = 0, height = 0;
        float du = 0, dv = 0;
        float xOffset = 0, yOffset = 0;
        float advance = 0;
    };

    Font();
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    bool LoadFromMemory(const void* pData, size_t size);
    bool LoadFromResource(const char* name);
    bool LoadFromFile(FILE* pFile); // closes the stream in every case

    IDirect3DTexture8* GetTexture() const { return m_pTexture; }
    int GetLineHeight() const { return m_LineHeight; }
    // A font that did not load has no glyphs: every code is then absent.
    const Glyph& GetGlyph(unsigned char code) const
    {
        static const Glyph s_Absent;
        return code < m_Glyphs.size() ? m_Glyphs[code] : s_Absent;
    }

private:
    IDirect3DTexture8* m_pTexture = nullptr;
    std::vector<Glyph> m_Glyphs;
    std::vector<FontFormat::KerningRecord> m_Kerning;
    int m_LineHeight = 0;
};

class TextBatch
{
public:
    TextBatch();
    ~TextBatch();
    TextBatch(const TextBatch&) = delete;
    TextBatch& operator=(const TextBatch&) = delete;

    Font* GetFont() const { return m_pFont; }
    void SetFont(Font* pFont) { m_pFont = pFont; }

    // Returns the text's width in pixels.
    int AddText(const std::string& text, const float position[2], const float colour[4], float scale);
    // Alignment 0.5 centres, 1 aligns right (x) or bottom (y).
    int AddTextAligned(const float position[2], const std::string& text, const float alignment[2],
                       const float colour[4], float scale);
    void Clear();
    void Reserve(unsigned glyphs);
    void Render();

    // Optional clipping of glyph quads (unset by default).
    void SetClipRects(const RECT* pA, const RECT* pB);
    unsigned GetDrawnQuadCount() const { return m_DrawnQuads; }
    unsigned GetGlyphCapacity() const { return m_CapacityGlyphs; }

private:
    struct Item
    {
        std::string text;
        float x, y;
        float r, g, b, a;
        float scale;
    };
    bool QuadVisible(const float xs[4], const float ys[4]) const;
    void Build();

    std::vector<Item> m_Items;
    IDirect3DVertexBuffer8* m_pVB = nullptr;
    IDirect3DIndexBuffer8* m_pIB = nullptr;
    IDirect3DDevice8* m_pDevice = nullptr;
    unsigned m_CapacityVertices = 0, m_CapacityIndices = 0, m_CapacityGlyphs = 0;
    Font* m_pFont = nullptr;
    unsigned m_QueuedGlyphs = 0;
    bool m_bBuilt = false;
    unsigned m_DrawnQuads = 0;
    RECT m_ClipA, m_ClipB;
};

int GetTextWidth(const std::string& text, const TextBatch& batch, float scale);

// A flat, alpha-blended screen rectangle in pixels.
void DrawRect(int left, int top, int right, int bottom, float r, float g, float b, float a);

// Four floats (0..1) to a D3DCOLOR, each channel rounded and clamped.
D3DCOLOR PackColour(float r, float g, float b, float a);
