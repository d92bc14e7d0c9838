#include "DebugDraw.h"

#include "Log.h"
#include "RenderStateManager.h"

#include <cstring>
#include <memory>

namespace
{
struct WorldVertex
{
    float x, y, z;
    D3DCOLOR colour;
};
struct ScreenVertex
{
    float x, y, z, rhw;
    D3DCOLOR colour;
};
} // namespace

LineDrawer::LineDrawer(DWORD fvf, UINT vertexSize) : m_Fvf(fvf), m_VertexSize(vertexSize) {}

LineDrawer::~LineDrawer()
{
    ReleaseBuffers();
}

void LineDrawer::ReleaseBuffers()
{
    m_pVB.Reset();
    m_pIB.Reset();
    m_VertexCapacity = m_IndexCapacity = 0;
}

void LineDrawer::AddVertex(const void* pVertex)
{
    const BYTE* p = static_cast<const BYTE*>(pVertex);
    m_Indices.push_back(DWORD(m_Vertices.size() / m_VertexSize));
    m_Vertices.insert(m_Vertices.end(), p, p + m_VertexSize);
}

void LineDrawer::Clear()
{
    m_Vertices.clear();
    m_Indices.clear();
}

void LineDrawer::Draw()
{
    const UINT vertices = UINT(m_Vertices.size() / m_VertexSize);
    const UINT indices = UINT(m_Indices.size());
    if (vertices == 0 || indices == 0)
        return;
    if (!m_pRsm)
        m_pRsm = &RenderStateManager::Instance();
    if (m_pRsm->GetDevice() != m_pDevice)
    {
        // Buffers belong to the device that made them.
        ReleaseBuffers();
        m_pDevice = m_pRsm->GetDevice();
    }
    if (!m_pDevice)
        return;
    if (m_VertexCapacity < vertices || !m_pVB)
    {
        m_VertexCapacity = UINT(vertices * 1.2f);
        if (FAILED(m_pRsm->CreateVertexBuffer(m_VertexCapacity * m_VertexSize, D3DUSAGE_DYNAMIC, m_Fvf,
                                              D3DPOOL_DEFAULT, m_pVB.Put())))
        {
            m_pVB.Detach(); // a failed creation hands back no buffer
            m_VertexCapacity = 0;
            return;
        }
    }
    if (m_IndexCapacity < indices || !m_pIB)
    {
        m_IndexCapacity = UINT(indices * 1.2f);
        if (FAILED(m_pRsm->CreateIndexBuffer(m_IndexCapacity * 4, 0, D3DFMT_INDEX32, D3DPOOL_DEFAULT, m_pIB.Put())))
        {
            m_pIB.Detach(); // a failed creation hands back no buffer
            m_IndexCapacity = 0;
            return;
        }
    }
    BYTE* p = nullptr;
    if (FAILED(m_pVB->Lock(0, UINT(m_Vertices.size()), &p, 0)))
        return;
    memcpy(p, m_Vertices.data(), m_Vertices.size());
    m_pVB->Unlock();
    if (FAILED(m_pIB->Lock(0, indices * 4, &p, 0)))
        return;
    memcpy(p, m_Indices.data(), indices * 4);
    m_pIB->Unlock();

    m_pDevice->SetStreamSource(0, m_pVB, m_VertexSize);
    m_pDevice->SetIndices(m_pIB, 0);
    m_pDevice->SetVertexShader(m_Fvf);
    m_pDevice->DrawIndexedPrimitive(D3DPT_LINELIST, 0, vertices, 0, indices / 2);
}

void LineDrawer::Flush(DebugDraw& dd)
{
    RenderStateManager& rsm = *dd.m_pRsm;
    rsm.PushStates();
    dd.m_pDevice = rsm.GetDevice();
    IDirect3DDevice8* device = dd.m_pDevice;
    if (device)
    {
        // The console backdrop is drawn only once something moves the console
        // cursor, which nothing does yet.
        device->SetPixelShader(0);
        rsm.SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
        rsm.SetRenderState(D3DRS_ALPHATESTENABLE, 0);
        rsm.SetRenderState(D3DRS_FOGENABLE, 0);
        rsm.SetRenderState(D3DRS_COLORVERTEX, 1);
        rsm.SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
        rsm.SetRenderState(D3DRS_LIGHTING, 0);
        rsm.SetRenderState(D3DRS_LASTPIXEL, 1);
        rsm.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        rsm.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        rsm.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        rsm.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        device->SetTexture(0, nullptr);
        D3DMATRIX identity = {};
        identity._11 = identity._22 = identity._33 = identity._44 = 1.0f;
        rsm.SetTransform(&identity, D3DTS_WORLD);
        rsm.SetRenderState(D3DRS_ZENABLE, 1);
        dd.m_WorldLines.Draw();
        dd.m_ScreenLines.Draw();
        dd.m_Text.Render();
    }
    rsm.PopStates();
}

DebugDraw& DebugDraw::Instance()
{
    static std::unique_ptr<DebugDraw> s_pInstance(new DebugDraw());
    return *s_pInstance;
}

DebugDraw::DebugDraw()
    : m_pRsm(&RenderStateManager::Instance()), m_WorldLines(D3DFVF_XYZ | D3DFVF_DIFFUSE, sizeof(WorldVertex)),
      m_ScreenLines(D3DFVF_XYZRHW | D3DFVF_DIFFUSE, sizeof(ScreenVertex))
{
    bool loaded = false;
    for (const char* name : {"SmallFont.fnt", "NewFont.fnt"})
    {
        FILE* f = fopen(name, "rb");
        if (f && m_Font.LoadFromFile(f))
        {
            loaded = true;
            break;
        }
    }
    if (!loaded)
        g_Log.Printf("FAILED to find any fonts\n");
    m_Text.SetFont(&m_Font);
}

int DebugDraw::DrawText(unsigned x, unsigned y, const float colour[4], const std::string& text, float scale)
{
    const float at[2] = {float(x), float(y)};
    return m_Text.AddText(text, at, colour, scale);
}

void DebugDraw::AddLine(const float from[3], const float to[3], const float colour[4])
{
    const D3DCOLOR c = PackColour(colour[0], colour[1], colour[2], colour[3]);
    const WorldVertex a = {from[0], from[1], from[2], c};
    const WorldVertex b = {to[0], to[1], to[2], c};
    m_WorldLines.AddVertex(&a);
    m_WorldLines.AddVertex(&b);
}

void DebugDraw::SetConsole(int x, int y, int lineHeight)
{
    m_ConsoleX = x;
    m_ConsoleY = y;
    m_ConsoleLineHeight = lineHeight;
    m_ConsoleCursor = y;
}

void DebugDraw::BeginFrame()
{
    m_WorldLines.Clear();
    m_ScreenLines.Clear();
    m_Text.Clear();
    m_ConsoleCursor = m_ConsoleY;
}
