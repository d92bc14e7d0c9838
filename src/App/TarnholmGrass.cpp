// The meadows: building a grass patch on every marked ground surface and
// drawing the patches after the landscape.
#include "TarnholmGrass.h"

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "Camera.h"
#include "GeomObject.h"
#include "Log.h"
#include "Mesh.h"
#include "MeshMaterial.h"
#include "RenderStateManager.h"
#include "Scene.h"
#include "Storage.h"
#include "TarnholmApp.h"
#include "TexMap.h"
#include "d3dx8.h"

namespace
{
const DWORD kGrassDeclaration[] = {0x20000000, 0x40020000, 0x40020003, 0x40020007, 0xFFFFFFFF};
const DWORD kGrassFVF = 0x10112;
const DWORD kSampleFVF = 0x112;
const char* const kGrassSample = "Grass_Sample01";

std::string Fmt(const char* format, int n)
{
    char text[64];
    std::snprintf(text, sizeof(text), format, n);
    return text;
}

// Hides an object of the landscape and every geometry object below it.
GeomObject* HideGeomObject(Scene* scene, const std::string& name)
{
    GeomObject* object = scene ? scene->FindGeomObject(name) : nullptr;
    if (object)
    {
        object->SetVisible(false);
        object->SetVisibleRecursive(false);
    }
    return object;
}

void Transposed(D3DXMATRIX* out, const D3DXMATRIX& m)
{
    D3DXMatrixTranspose(out, &m);
}

float Inverse(float x)
{
    return 1.0f / x;
}

D3DXVECTOR4 FogColour(D3DCOLOR c)
{
    return D3DXVECTOR4(float((c >> 16) & 0xFF) / 255.0f, float((c >> 8) & 0xFF) / 255.0f, float(c & 0xFF) / 255.0f,
                       1);
}
} // namespace

DWORD CreateStorageVertexShader(IDirect3DDevice8* device, const std::string& name, const DWORD* declaration,
                                const char* missing, const char* badAssembly, const char* noShader)
{
    std::vector<uint8_t> text;
    if (!device || !Storage::ReadMainStorageFile(name, text))
    {
        g_Log.Printf(missing, name.c_str());
        return 0;
    }
    ComRef<ID3DXBuffer> code, errors;
    if (FAILED(D3DXAssembleShader(text.data(), UINT(text.size()), 0, nullptr, code.Put(), errors.Put())) || !code)
    {
        g_Log.Printf(badAssembly, name.c_str());
        if (errors && errors->GetBufferSize())
            g_Log.Printf("%.*s\n", int(errors->GetBufferSize()), static_cast<const char*>(errors->GetBufferPointer()));
        return 0;
    }
    DWORD handle = 0;
    if (FAILED(device->CreateVertexShader(declaration, static_cast<const DWORD*>(code->GetBufferPointer()), &handle,
                                          0)))
    {
        g_Log.Printf(noShader, name.c_str());
        return 0;
    }
    return handle;
}

// ---------------------------------------------------------------------------
// Settings of one surface

GrassSettings::GrassSettings(GeomObject* sampleObject, GeomObject* surface, const GrassGenerationValues& v,
                             const std::string& mapName)
    : sample(sampleObject), surfaceObject(surface), values(v), heightMapName(mapName)
{
    LoadHeightMap();
}

bool GrassSettings::LoadHeightMap()
{
    std::vector<uint8_t> bytes;
    if (!Storage::ReadMainStorageFile(heightMapName, bytes))
    {
        g_Log.Printf("Error while generating grass. Failed to open file for height map \"%s\"\n",
                     heightMapName.c_str());
        return false;
    }
    IDirect3DDevice8* device = RenderStateManager::Instance().GetDevice();
    if (!device || bytes.empty() ||
        FAILED(D3DXCreateTextureFromFileInMemoryEx(device, bytes.data(), UINT(bytes.size()), D3DX_DEFAULT,
                                                   D3DX_DEFAULT, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8,
                                                   D3DPOOL_DEFAULT, D3DX_FILTER_TRIANGLE, D3DX_FILTER_TRIANGLE, 0,
                                                   nullptr, nullptr, m_HeightMap.Put())))
    {
        m_HeightMap.Reset();
        return false;
    }
    return true;
}

bool GrassSettings::Validate()
{
    const char* problem = nullptr;
    if (!sample)
        problem = "Error while generating grass. Grass instance is NULL.\n";
    else if (!surfaceObject)
        problem = "Error while generating grass. Grass surface is NULL.\n";
    else if (values.heightCells <= 0)
        problem = "Error while generating grass. Surface height cells must be > 0. \n";
    else if (values.widthCells <= 0)
        problem = "Error while generating grass. Surface width cells must be > 0. \n";
    else if (values.grassPerCell <= 0)
        problem = "Error while generating grass. Grasses per cell must be > 0. \n";
    else if (!m_HeightMap && !LoadHeightMap())
        problem = "Error while generating grass. Failed to load height map. \n";
    else if (values.widthSubAreas <= 0)
        problem = "Error while generating grass. Width sub areas must be greater than 0. \n";
    else if (values.heightSubAreas <= 0)
        problem = "Error while generating grass. Height sub areas must be greater than 0. \n";
    else if (values.minHeight < 0 || values.minHeight > 255)
        problem = "Error while generating grass. Grass min height must be in range [0..255].\n";
    if (problem)
        g_Log.Printf("%s", problem);
    return !problem;
}

bool GrassSettings::LockHeightMap()
{
    if (!m_HeightMap || m_bLocked)
        return m_bLocked;
    if (FAILED(m_HeightMap->GetSurfaceLevel(0, m_LockedLevel.Put())) || !m_LockedLevel ||
        FAILED(m_LockedLevel->GetDesc(&m_LockedDesc)) || FAILED(m_LockedLevel->LockRect(&m_Locked, nullptr, 0)))
    {
        m_LockedLevel.Reset();
        return false;
    }
    m_bLocked = true;
    return true;
}

void GrassSettings::UnlockHeightMap()
{
    if (!m_bLocked)
        return;
    m_LockedLevel->UnlockRect();
    m_LockedLevel.Reset();
    m_bLocked = false;
}

GrassDensityMap GrassSettings::DensityMap() const
{
    GrassDensityMap map;
    if (m_bLocked)
    {
        map.bits = static_cast<const uint8_t*>(m_Locked.pBits);
        map.pitch = m_Locked.Pitch;
        map.width = int(m_LockedDesc.Width);
        map.height = int(m_LockedDesc.Height);
        map.format = m_LockedDesc.Format;
    }
    return map;
}

void GrassSettings::ReleaseHeightMap()
{
    UnlockHeightMap();
    m_HeightMap.Reset();
}

// ---------------------------------------------------------------------------
// Building a patch

GrassPatch::GrassPatch(GrassField* field, Scene* scene, const D3DCAPS8* caps, const GrassSettings& settings)
    : m_pField(field), m_pScene(scene), m_pCaps(caps), m_pDevice(RenderStateManager::Instance().GetDevice()),
      m_Settings(settings)
{
    D3DXMatrixIdentity(&m_ShadowMatrix);
}

GrassPatch::~GrassPatch()
{
    m_Settings.ReleaseHeightMap();
    if (m_pSurface)
        g_Log.Printf("Deleting surface.\n");
}

bool GrassPatch::Prepare()
{
    if (!m_Settings.Validate())
    {
        g_Log.Printf("Error while generating grass. Bad parameters passed.\n");
        return false;
    }
    GeomObject* surfaceObject = m_Settings.surfaceObject;
    m_pSurface.reset(new GrassSurface);
    std::vector<uint8_t> grid;
    const bool loaded = Storage::ReadMainStorageFile(surfaceObject->GetName() + ".bin", grid) &&
                        m_pSurface->LoadFromBytes(grid.data(), grid.size());
    if (!loaded)
    {
        SurfaceSource source;
        source.boxMin = surfaceObject->GetBoundingBoxMin();
        source.boxMax = surfaceObject->GetBoundingBoxMax();
        source.intersectRay = [surfaceObject](const D3DXVECTOR3& o, const D3DXVECTOR3& d, D3DXVECTOR3* hit) {
            return surfaceObject->IntersectRay(hit, o, d);
        };
        if (!m_pSurface->Generate(&source, m_Settings.values.heightCells, m_Settings.values.widthCells))
        {
            g_Log.Printf("Error while generating grass. Unable to generate surface.\n");
            return false;
        }
    }
    GeomObject* sample = m_Settings.sample;
    if (sample->GetMeshCount() != 1)
    {
        g_Log.Printf("Error while generating grass. Grass sample(\"%s\") has wrong number of meshes. One mesh "
                     "required.\n",
                     sample->GetName().c_str());
        return false;
    }
    Mesh* mesh = sample->GetMesh(0);
    m_pGrassMaterial = mesh->GetMaterial();
    if (!m_pGrassMaterial || !m_pGrassMaterial->GetEffectState().IsPresent(MAPKIND_DIFFUSE_ALPHA))
        g_Log.Printf("Warning. Diffuse and alpha textures must be in one map in grass instance material.\n");
    // A surface without meshes has no material to read.
    m_pSurfaceMaterial = surfaceObject->GetMeshCount() > 0 ? surfaceObject->GetMesh(0)->GetMaterial() : nullptr;
    const bool lightMap = m_pSurfaceMaterial && m_pSurfaceMaterial->GetEffectState().IsPresent(MAPKIND_LIGHT);
    if (!lightMap)
        g_Log.Printf("Warning. Grass surface must have a lightmap.\n");
    if (mesh->GetFVF() != kSampleFVF || mesh->GetStride() != 32)
    {
        g_Log.Printf("Error while generating grass. Wrong vertex format.\n");
        return false;
    }
    const D3DXVECTOR3 lo = sample->GetBoundingBoxMin(), hi = sample->GetBoundingBoxMax();
    m_Layout.SetSample(mesh->GetVertexData(), mesh->GetStride(), mesh->GetVertexCount(), mesh->GetIndices(),
                       std::max(hi.x - lo.x, hi.y - lo.y), hi.z - lo.z);
    ComputeBounds();
    if (!lightMap)
        g_Log.Printf("Warning. No lightmap on grass surface. \"%s\"\n", surfaceObject->GetName().c_str());
    if (surfaceObject->GetMeshCount() != 1)
        g_Log.Printf("Warning. Grass surface must contain one mesh. \"%s\"\n", surfaceObject->GetName().c_str());
    return true;
}

void GrassPatch::ComputeBounds()
{
    const HeightGrid& grid = m_pSurface->GetGrid();
    MakeGrassBox(grid.GetOriginX(), grid.GetOriginY(), m_pSurface->GetLowestHeight(),
                 grid.GetOriginX() + grid.GetSizeX(), grid.GetOriginY() + grid.GetSizeY(),
                 m_pSurface->GetHighestHeight(), m_Layout.GetSampleWidth() * 0.5f, m_Layout.GetSampleHeight(),
                 m_Corners);
}

bool GrassPatch::PlaceInstances()
{
    const GrassGenerationValues& v = m_Settings.values;
    const uint64_t wanted = uint64_t(v.grassPerCell) * uint64_t(v.widthCells) * uint64_t(v.heightCells);
    const GrassCapacity capacity =
        ChooseGrassCapacity(wanted, m_Layout.GetSampleVertexCount(), m_Layout.GetTrianglesPerInstance(),
                            m_pCaps ? m_pCaps->MaxVertexIndex : 65535, m_pCaps ? m_pCaps->MaxPrimitiveCount : 65535);
    m_IndexSize = capacity.indexSize;
    m_Layout.MakeAreas(m_pSurface->GetGrid(), v.widthSubAreas, v.heightSubAreas);
    m_Settings.LockHeightMap();
    m_Layout.Place(*m_pSurface, m_Settings.DensityMap(), capacity.count, v);
    m_Settings.UnlockHeightMap();
    m_Layout.RemoveEmptyAreas();
    m_Placed = m_Layout.WriteInstances(m_Settings.surfaceObject->GetInfoPosition(), m_IndexSize, m_VertexArray,
                                       m_IndexArray);
    if (m_Placed == 0)
    {
        g_Log.Printf("Error while generating grass. No grass were added to surface \"%s\". \n",
                     m_Settings.surfaceObject->GetName().c_str());
        return false;
    }
    return true;
}

bool GrassPatch::CreateBuffers()
{
    RenderStateManager& cache = RenderStateManager::Instance();
    if (!m_pDevice || FAILED(cache.CreateVertexBuffer(UINT(m_VertexArray.size()), D3DUSAGE_WRITEONLY, kGrassFVF,
                                                      D3DPOOL_DEFAULT, m_VertexBuffer.Put())))
    {
        g_Log.Printf("Error while generating grass. Failed to create vertex buffer. \n");
        return false;
    }
    BYTE* p = nullptr;
    if (FAILED(m_VertexBuffer->Lock(0, 0, &p, 0)) || !p)
    {
        // The patch keeps no buffer it could not fill.
        m_VertexBuffer.Reset();
        g_Log.Printf("Error while generating grass. Failed to lock vertex buffer. \n");
        return false;
    }
    memcpy(p, m_VertexArray.data(), m_VertexArray.size());
    m_VertexBuffer->Unlock();
    const D3DFORMAT format = m_IndexSize == 4 ? D3DFMT_INDEX32 : D3DFMT_INDEX16;
    if (FAILED(cache.CreateIndexBuffer(UINT(m_IndexArray.size()), D3DUSAGE_WRITEONLY, format, D3DPOOL_DEFAULT,
                                       m_IndexBuffer.Put())))
    {
        g_Log.Printf("Error while generating grass. Failed to create index buffer. \n");
        return false;
    }
    p = nullptr;
    if (FAILED(m_IndexBuffer->Lock(0, 0, &p, 0)) || !p)
    {
        g_Log.Printf("Error while generating grass. Failed to lock index buffer. \n");
        m_IndexBuffer.Reset();
        return false;
    }
    memcpy(p, m_IndexArray.data(), m_IndexArray.size());
    m_IndexBuffer->Unlock();
    // The device makes its own copy of a buffer at the buffer's first draw
    // otherwise: a patch first seen minutes after loading would then stall
    // that frame and grow the process.
    m_VertexBuffer->PreLoad();
    m_IndexBuffer->PreLoad();
    return true;
}

void GrassPatch::FreeBuildData()
{
    std::vector<uint8_t>().swap(m_VertexArray);
    std::vector<uint8_t>().swap(m_IndexArray);
    m_Layout.FreeInstances();
    m_Settings.ReleaseHeightMap();
}

// ---------------------------------------------------------------------------
// Drawing a patch

void GrassPatch::UpdateCamera(const D3DXVECTOR3& camera)
{
    m_Camera = camera;
    m_ObjectPosition = m_Settings.surfaceObject ? m_Settings.surfaceObject->GetInfoPosition() : D3DXVECTOR3(0, 0, 0);
    const D3DXVECTOR3 d = m_ObjectPosition - camera;
    m_CameraDistance = D3DXVec3Length(&d);
    m_Layout.UpdateDistances(camera);
}

bool GrassPatch::IsInFrustum() const
{
    return IsGrassBoxInFrustum(m_Corners, GetCurrentFrustum().planes);
}

void GrassPatch::Render()
{
    if (!m_bReady)
        return;
    m_DrawnAreas = 0;
    if (m_bFrustumCulling)
    {
        m_bVisible = IsInFrustum();
        if (!m_bVisible)
            return;
    }
    m_Fog = m_pField->m_Fog;
    m_VolumeFog = m_pField->m_VolumeFog;
    m_Time = m_Timer.GetTime();
    if (m_pShadowTexture && m_bProjectedShadows)
        RenderShadowed();
    else
        RenderPlain();
    // Textures are no states: leave the later stages empty again.
    for (DWORD stage = 1; stage < 4; ++stage)
        m_pDevice->SetTexture(stage, nullptr);
}

void GrassPatch::DrawAreas()
{
    const std::vector<GrassDrawRange> ranges =
        m_Layout.DrawRanges(m_MaxDrawDistance, m_bFrustumCulling ? GetCurrentFrustum().planes : nullptr);
    if (ranges.empty())
        return;
    m_pDevice->SetIndices(m_IndexBuffer.Get(), 0);
    m_pDevice->SetStreamSource(0, m_VertexBuffer.Get(), GrassLayout::kGrassStride);
    const UINT vertices = m_Placed * m_Layout.GetSampleVertexCount();
    for (const GrassDrawRange& range : ranges)
    {
        m_pDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, vertices, range.startIndex, range.primitives);
        ++m_DrawnAreas;
    }
}

void GrassPatch::SetShaderConstants(bool shadowMatrix)
{
    RenderStateManager& cache = RenderStateManager::Instance();
    const D3DXMATRIX world = m_Settings.surfaceObject->GetWorldMatrix();
    const D3DXMATRIX view(*reinterpret_cast<const D3DXMATRIX*>(cache.GetTransform(D3DTS_VIEW)));
    const D3DXMATRIX projection(*reinterpret_cast<const D3DXMATRIX*>(cache.GetTransform(D3DTS_PROJECTION)));
    D3DXMATRIX worldView = world * view, all = worldView * projection, t;
    const HeightGrid& grid = m_pSurface->GetGrid();
    auto set = [this](DWORD reg, const void* data, DWORD count) { m_pDevice->SetVertexShaderConstant(reg, data, count); };
    const D3DXVECTOR4 c0(0, 0.5f, 1, 2), c1(m_Time, 0, 0, 0);
    set(0, &c0, 1);
    set(1, &c1, 1);
    Transposed(&t, all);
    set(4, &t, 4);
    const D3DXVECTOR4 c8(-0.16161616f, 0.0083333f, -0.00019841f, 0.0000027557310f), c10(1.07f, 0, 0, 0);
    set(8, &c8, 1);
    set(10, &c10, 1);
    set(11, m_Waves.v, 6);
    const D3DXVECTOR4 c17(4, D3DX_PI / 2, D3DX_PI, 2 * D3DX_PI);
    set(17, &c17, 1);
    set(18, &m_Waves.v[6], 2);
    const D3DXVECTOR4 c20(Inverse(grid.GetSizeX()), Inverse(grid.GetSizeY()),
                          m_pSurface->GetHighestHeight() - m_ObjectPosition.z + 1, 0);
    const D3DXVECTOR4 c21(grid.GetOriginX() + grid.GetSizeX() - m_ObjectPosition.x,
                          grid.GetOriginY() + grid.GetSizeY() - m_ObjectPosition.y, 0, 0);
    const D3DXVECTOR4 c22(m_Fog.start, m_Fog.end, Inverse(m_Fog.end - m_Fog.start), m_Fog.density);
    set(20, &c20, 1);
    set(21, &c21, 1);
    set(22, &c22, 1);
    Transposed(&t, worldView);
    set(23, &t, 4);
    if (shadowMatrix)
    {
        Transposed(&t, m_ShadowMatrix);
        set(27, &t, 4);
    }
    else
    {
        const D3DXVECTOR4 c[5] = {
            D3DXVECTOR4(0, 0, 1, 0),
            D3DXVECTOR4(0.999f, m_Fog.end, Inverse(m_Fog.end - m_Fog.start), 1),
            D3DXVECTOR4(0.999f, m_VolumeFog.end, Inverse(m_VolumeFog.end - m_VolumeFog.start), 0),
            FogColour(m_Fog.colour),
            FogColour(m_VolumeFog.colour),
        };
        set(27, c, 5);
    }
    const D3DXVECTOR4 c32(m_Camera.x, m_Camera.y, m_Camera.z, 1);
    set(32, &c32, 1);
    Transposed(&t, world);
    set(33, &t, 4);
}

void GrassPatch::BeginPass()
{
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    cache.SetRenderState(D3DRS_LIGHTING, TRUE);
    cache.SetRenderState(D3DRS_AMBIENT, m_pScene->GetAmbientColor());
    // The blades' texture is black and clear between the blades.
    cache.SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
}

// A material map on a stage: its texture, transform flags and, unless
// mirrored, its own addressing.
void GrassPatch::SetStageFromMap(DWORD stage, int kind, bool mirror)
{
    RenderStateManager& cache = RenderStateManager::Instance();
    MeshMaterial* material = kind == MAPKIND_LIGHT ? m_pSurfaceMaterial : m_pGrassMaterial;
    Map* map = material && material->GetEffectState().IsPresent(kind) ? material->GetEffectState().GetMap(kind)
                                                                       : nullptr;
    m_pDevice->SetTexture(stage, map ? map->GetTexture() : nullptr);
    cache.SetTextureStageState(stage, D3DTSS_TEXCOORDINDEX, stage);
    // The shader writes the coordinates as they are to be used.
    cache.SetTextureStageState(stage, D3DTSS_TEXTURETRANSFORMFLAGS, 0);
    cache.SetTextureStageState(stage, D3DTSS_ADDRESSU, mirror ? D3DTADDRESS_MIRROR : map ? map->GetAddressU() : 1);
    cache.SetTextureStageState(stage, D3DTSS_ADDRESSV, mirror ? D3DTADDRESS_MIRROR : map ? map->GetAddressV() : 1);
}

namespace
{
void StageOps(DWORD stage, DWORD colourOp, DWORD colour1, DWORD colour2, DWORD alphaOp, DWORD alpha1)
{
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.SetTextureStageState(stage, D3DTSS_COLOROP, colourOp);
    cache.SetTextureStageState(stage, D3DTSS_COLORARG1, colour1);
    cache.SetTextureStageState(stage, D3DTSS_COLORARG2, colour2);
    cache.SetTextureStageState(stage, D3DTSS_ALPHAOP, alphaOp);
    cache.SetTextureStageState(stage, D3DTSS_ALPHAARG1, alpha1);
}

void StageOff(DWORD stage)
{
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_DISABLE);
    cache.SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
}
} // namespace

void GrassPatch::RenderPlain()
{
    if (!m_pField->GetGrassShader())
    {
        RenderFixedFunction();
        return;
    }
    RenderStateManager& cache = RenderStateManager::Instance();
    BeginPass();
    if (m_pGrassMaterial)
        m_pGrassMaterial->ApplyPass(m_pDevice, 0);
    m_pDevice->SetPixelShader(0);
    // Stage 0 keeps the blades' texture as the material's pass bound it.
    RenderStateManager::Instance().SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    RenderStateManager::Instance().SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, 0);
    SetStageFromMap(1, MAPKIND_LIGHT, true);
    StageOps(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
    StageOps(1, D3DTOP_MODULATE2X, D3DTA_CURRENT, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_CURRENT);
    StageOps(2, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_CURRENT);
    StageOps(3, D3DTOP_ADD, D3DTA_CURRENT, D3DTA_SPECULAR, D3DTOP_SELECTARG1, D3DTA_CURRENT);
    StageOff(4);
    cache.SetRenderState(D3DRS_ALPHABLENDENABLE, m_bSoftGrass);
    cache.SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    cache.SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    cache.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    SetShaderConstants(false);
    m_pDevice->SetVertexShader(m_pField->GetGrassShader());
    DrawAreas();
    cache.PopStates();
}

void GrassPatch::RenderShadowed()
{
    const DWORD grass = m_pField->GetGrassShader(), shadow = m_pField->GetShadowGrassShader();
    if (!shadow || (m_bDoublePass && !grass))
    {
        RenderFixedFunction();
        return;
    }
    m_pField->NoteShadowedPass();
    RenderStateManager& cache = RenderStateManager::Instance();
    const DWORD alphaRef = m_pGrassMaterial ? m_pGrassMaterial->GetAlphaRef() : 0;
    auto common = [&] {
        BeginPass();
        m_pDevice->SetPixelShader(0);
        if (m_pGrassMaterial)
            m_pDevice->SetMaterial(&m_pGrassMaterial->GetD3DMaterial());
        cache.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        cache.SetRenderState(D3DRS_ALPHAREF, alphaRef);
        cache.SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    };
    auto shadowStages = [&] {
        SetStageFromMap(0, MAPKIND_LIGHT, true);
        StageOps(0, D3DTOP_SELECTARG1, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
        m_pDevice->SetTexture(1, m_pShadowTexture);
        cache.SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1);
        cache.SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, 0);
        cache.SetTextureStageState(1, D3DTSS_ADDRESSU, D3DTADDRESS_BORDER);
        cache.SetTextureStageState(1, D3DTSS_ADDRESSV, D3DTADDRESS_BORDER);
        cache.SetTextureStageState(1, D3DTSS_BORDERCOLOR, 0x00FFFFFF);
        StageOps(1, D3DTOP_SUBTRACT, D3DTA_CURRENT, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
        SetStageFromMap(2, MAPKIND_LIGHT, true);
        StageOps(2, D3DTOP_SUBTRACT, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
        SetStageFromMap(3, MAPKIND_DIFFUSE_ALPHA, false);
    };
    if (m_bDoublePass)
    {
        common();
        SetShaderConstants(false);
        m_pDevice->SetVertexShader(grass);
        SetStageFromMap(0, MAPKIND_DIFFUSE_ALPHA, false);
        StageOps(0, D3DTOP_MODULATE, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
        StageOff(1);
        cache.SetRenderState(D3DRS_ALPHABLENDENABLE, m_bSoftGrass);
        cache.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        cache.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        DrawAreas();
        cache.PopStates();

        common();
        SetShaderConstants(true);
        m_pDevice->SetVertexShader(shadow);
        shadowStages();
        StageOps(3, D3DTOP_SELECTARG1, D3DTA_CURRENT, D3DTA_TEXTURE, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
        StageOff(4);
        cache.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        cache.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR);
        cache.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_SRCCOLOR);
        DrawAreas();
        cache.PopStates();
        return;
    }
    common();
    shadowStages();
    StageOps(3, D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_CURRENT, D3DTOP_SELECTARG1, D3DTA_TEXTURE);
    StageOps(4, D3DTOP_MODULATE, D3DTA_CURRENT, D3DTA_DIFFUSE, D3DTOP_SELECTARG1, D3DTA_CURRENT);
    StageOff(5);
    cache.SetRenderState(D3DRS_ALPHABLENDENABLE, m_bSoftGrass);
    cache.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    cache.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    SetShaderConstants(true);
    m_pDevice->SetVertexShader(shadow);
    DrawAreas();
    cache.PopStates();
}

void GrassPatch::RenderFixedFunction()
{
    RenderStateManager& cache = RenderStateManager::Instance();
    BeginPass();
    if (m_pGrassMaterial)
        m_pGrassMaterial->ApplyPass(m_pDevice, 0);
    if (!m_bSoftGrass)
        cache.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    // The buffer's own format: the copy's scale rides as a third coordinate.
    m_pDevice->SetVertexShader(kGrassFVF);
    cache.SetTransform(&m_Settings.surfaceObject->GetWorldMatrix(), D3DTS_WORLD);
    DrawAreas();
    cache.PopStates();
}

// ---------------------------------------------------------------------------
// The field

GrassField::GrassField(Scene* scene, const D3DCAPS8* caps) : m_pScene(scene), m_pCaps(caps)
{
    m_GrassShader = LoadShader("Grass.vsh");
    m_ShadowGrassShader = LoadShader("GrassProjShadows.vsh");
}

GrassField::~GrassField()
{
    m_Patches.clear();
    IDirect3DDevice8* device = RenderStateManager::Instance().GetDevice();
    if (!device)
        return;
    if (m_GrassShader)
        device->DeleteVertexShader(m_GrassShader);
    if (m_ShadowGrassShader)
        device->DeleteVertexShader(m_ShadowGrassShader);
}

DWORD GrassField::LoadShader(const char* name)
{
    if (!m_pCaps || m_pCaps->VertexShaderVersion < D3DVS_VERSION(1, 1))
        return 0;
    return CreateStorageVertexShader(
        RenderStateManager::Instance().GetDevice(), name, kGrassDeclaration,
        "Error while generating grass. Failed to open file with shader \"%s\". \n",
        "Error while generating grass. Failed to assemble shader from file \"%s\".\n",
        "Error while generating grass. Failed to create vertex shader \"%s\".\n");
}

void GrassField::NoteShadowedPass()
{
    if (m_bShadowedPassNoted)
        return;
    m_bShadowedPassNoted = true;
    g_Log.Printf("Grass: drawn with the projected shadow\n");
}

GrassPatch* GrassField::AddSurface(const GrassSettings& settings)
{
    std::unique_ptr<GrassPatch> patch(new GrassPatch(this, m_pScene, m_pCaps, settings));
    if (!patch->Prepare())
        return nullptr;
    if (!patch->PlaceInstances() || !patch->CreateBuffers())
    {
        patch->FreeBuildData();
        return nullptr;
    }
    patch->FreeBuildData();
    patch->SetReady();
    m_Patches.push_back(std::move(patch));
    return m_Patches.back().get();
}

void GrassField::Render(const D3DXVECTOR3& camera)
{
    std::vector<GrassPatch*> order;
    for (auto& patch : m_Patches)
    {
        patch->UpdateCamera(camera);
        order.push_back(patch.get());
    }
    std::stable_sort(order.begin(), order.end(), [](const GrassPatch* a, const GrassPatch* b) {
        return a->GetCameraDistance() > b->GetCameraDistance();
    });
    for (GrassPatch* patch : order)
        patch->Render();
}

// ---------------------------------------------------------------------------
// The scene application's grass steps

void CTarnholmApp::InitGrass()
{
    g_Log.Printf("Init grass\n");
    const DWORD started = timeGetTime();
    m_pGrass.reset(new GrassField(m_pMainScene.get(), &m_d3dCaps));
    HideGeomObject(m_pMainScene.get(), kGrassSample);
    for (int n = 1;; ++n)
    {
        const std::string name = Fmt("Grass_Surface%02i", n);
        if (!HideGeomObject(m_pMainScene.get(), name))
            break;
        RegisterGrassGenerationKeys(name);
        AddGrassSurface(name, kGrassSample, Fmt("Grass_Surface%02i.jpg", n), m_nGrassQuality);
    }
    ApplyGrassTuning();
    size_t copies = 0;
    for (size_t i = 0; i < m_pGrass->GetPatchCount(); ++i)
        for (const GrassArea& area : m_pGrass->GetPatch(i)->GetLayout().Areas())
            copies += area.instanceCount;
    g_Log.Printf("Grass built: %u patches, %u copies in %.2f s\n", unsigned(m_pGrass->GetPatchCount()),
                 unsigned(copies), double(timeGetTime() - started) / 1000.0);
}

void CTarnholmApp::RecreateGrass()
{
    m_pGrass.reset();
    InitGrass();
}

void CTarnholmApp::RegisterGrassGenerationKeys(const std::string& surface)
{
    TuningControl::CManager& tuning = GetTuning();
    for (const char* group : {"Grass.Generation.Low.", "Grass.Generation.High."})
        for (const char* key : kGrassGenerationKeys)
            tuning.GetValueOr(std::string(group) + surface + "." + key, 0);
}

void CTarnholmApp::AddGrassSurface(const std::string& surface, const std::string& sample,
                                   const std::string& heightMap, int quality)
{
    GeomObject* surfaceObject = HideGeomObject(m_pMainScene.get(), surface);
    GeomObject* sampleObject = HideGeomObject(m_pMainScene.get(), sample);
    const char* prefix = quality == 1 ? "Grass.Generation.Low." : quality == 2 ? "Grass.Generation.High." : nullptr;
    if (!prefix || !m_pGrass)
        return;
    TuningControl::CManager& tuning = GetTuning();
    float raw[8];
    for (int k = 0; k < 8; ++k)
        raw[k] = *tuning.GetValueOr(std::string(prefix) + surface + "." + kGrassGenerationKeys[k], 0);
    const GrassSettings settings(sampleObject, surfaceObject, MakeGrassGenerationValues(raw), heightMap);
    m_pGrass->AddSurface(settings);
}

void ReadWaveConstants(TuningControl::CManager& tuning, const std::string& prefix, WaveConstants& waves)
{
    static const char* const keys[8] = {"WaveDistortX",     "WaveDistortY",     "WaveDistortZ", "WaveDirX",
                                        "WaveDirY",         "WaveSpeed",        "LightingWaveScale",
                                        "LightingScaleBias"};
    for (int k = 0; k < 8; ++k)
    {
        float* v = &waves.v[k].x;
        const char* components[4] = {".X", ".Y", ".Z", ".W"};
        for (int c = 0; c < 4; ++c)
            v[c] = *tuning.GetValueOr(prefix + keys[k] + components[c], 0);
    }
}

GrassFogRecord ReadFogRecord(TuningControl::CManager& tuning, bool volume)
{
    // The shipped values, for a tuning file that lacks them.
    auto value = [&tuning](const char* path, float shipped) { return *tuning.GetValueOr(path, shipped); };
    auto channel = [](float v) { return D3DCOLOR(BYTE(std::min(255.0f, std::max(0.0f, v * 255.0f)))); };
    GrassFogRecord fog;
    fog.colour = 0xFF000000 | channel(volume ? value("Fog.VolColorR", 0) : value("Fog.ColorR", 0.68f)) << 16 |
                 channel(volume ? value("Fog.VolColorG", 0) : value("Fog.ColorG", 0.79f)) << 8 |
                 channel(volume ? value("Fog.VolColorB", 0) : value("Fog.ColorB", 0.88f));
    fog.mode = int(value("Fog.Mode", 3));
    fog.density = value("Fog.Density", 0.000002f);
    fog.start = volume ? value("Fog.VolLinearStart", 0) : value("Fog.LinearStart", 29000);
    fog.end = volume ? value("Fog.VolLinearEnd", 0) : value("Fog.LinearEnd", 470000);
    return fog;
}

void CTarnholmApp::ApplyGrassTuning()
{
    if (!m_pGrass)
        return;
    TuningControl::CManager& tuning = GetTuning();
    *tuning.GetValueOr("Grass.Generation.ForceDebugRecreate", 0) = 0;
    WaveConstants waves;
    ReadWaveConstants(tuning, "Grass.", waves);
    m_pGrass->m_Fog = ReadFogRecord(tuning, false);
    m_pGrass->m_VolumeFog = ReadFogRecord(tuning, true);
    const bool culling = *tuning.GetValueOr("Grass.UseFrustumCulling", 1) > 0;
    const bool doublePass = *tuning.GetValueOr("Grass.UseDoublePassRendering", 0) > 1.5f;
    const bool soft = *tuning.GetValueOr("Grass.UseSoftGrass", 0) > 0;
    const float distance = *tuning.GetValueOr("Grass.MaxDrawDistance", 120000);
    const bool shadows = *tuning.GetValueOr("Grass.UseProjShadows", 1) > 0.5f;
    for (size_t i = 0; i < m_pGrass->GetPatchCount(); ++i)
    {
        GrassPatch* patch = m_pGrass->GetPatch(i);
        patch->m_Waves = waves;
        patch->m_bFrustumCulling = culling;
        patch->m_bDoublePass = doublePass;
        patch->m_bSoftGrass = soft;
        patch->m_MaxDrawDistance = distance;
        patch->m_bProjectedShadows = shadows;
    }
}

void CTarnholmApp::RenderGrass()
{
    Camera* camera = m_pMainScene ? m_pMainScene->GetActiveCamera() : nullptr;
    if (!m_pGrass || !camera)
        return;
    for (size_t i = 0; i < m_pGrass->GetPatchCount(); ++i)
    {
        GrassPatch* patch = m_pGrass->GetPatch(i);
        patch->m_ShadowMatrix = m_GrassShadowMatrix;
        patch->m_pShadowTexture = m_pGrassShadowTexture;
    }
    camera->Apply(m_pd3dDevice);
    m_pGrass->Render(camera->GetPosition());
}

