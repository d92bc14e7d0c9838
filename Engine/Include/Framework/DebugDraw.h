#pragma once
// The process-wide collector of diagnostic drawing: lines in world and screen
// space and screen texts, drawn by the frame loop at the end of each frame.
#include <d3d8.h>

#include <string>
#include <vector>

#include "Font.h"

class RenderStateManager;

// Lines kept in memory and copied into growing device buffers when drawn.
class LineDrawer
{
public:
    LineDrawer(DWORD fvf, UINT vertexSize);
    ~LineDrawer();
    LineDrawer(const LineDrawer&) = delete;
    LineDrawer& operator=(const LineDrawer&) = delete;

    void AddVertex(const void* pVertex);
    void Clear();
    void Draw();
    UINT GetVertexCapacity() const { return m_VertexCapacity; }
    UINT GetIndexCapacity() const { return m_IndexCapacity; }

    // Draws everything the debug-draw object has queued.
    static void Flush(class DebugDraw& debugDraw);

private:
    void ReleaseBuffers();

    DWORD m_Fvf;
    UINT m_VertexSize;
    std::vector<BYTE> m_Vertices;
    std::vector<DWORD> m_Indices;
    IDirect3DDevice8* m_pDevice = nullptr;
    ComRef<IDirect3DVertexBuffer8> m_pVB;
    ComRef<IDirect3DIndexBuffer8> m_pIB;
    RenderStateManager* m_pRsm = nullptr;
    UINT m_VertexCapacity = 0;
    UINT m_IndexCapacity = 0;
};

class DebugDraw
{
public:
    static DebugDraw& Instance();

    int DrawText(unsigned x, unsigned y, const float colour[4], const std::string& text, float scale);
    void AddLine(const float from[3], const float to[3], const float colour[4]);
    void SetConsole(int x, int y, int lineHeight);
    void BeginFrame();
    const LineDrawer& GetWorldLines() const { return m_WorldLines; }

    DebugDraw();
    DebugDraw(const DebugDraw&) = delete;
    DebugDraw& operator=(const DebugDraw&) = delete;

private:
    friend class LineDrawer;

    RenderStateManager* m_pRsm;
    IDirect3DDevice8* m_pDevice = nullptr;
    LineDrawer m_WorldLines;
    LineDrawer m_ScreenLines;
    Font m_Font;
    TextBatch m_Text;
    int m_ConsoleX = 0, m_ConsoleY = 0, m_ConsoleWidth = 0, m_ConsoleLineHeight = 0, m_ConsoleCursor = 0;
};
