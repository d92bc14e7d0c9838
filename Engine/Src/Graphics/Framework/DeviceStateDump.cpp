// The device-state dump: state names and value texts, and the files.
#include "DeviceStateDump.h"
#include "ComRef.h"

#include <cstring>
#include <vector>

#include "PixelFormat.h"
#include "RenderStateManager.h"
#include "Screenshot.h"

namespace DeviceStateDump {
namespace {

struct Named
{
    DWORD value;
    const char* name;
};

const char* Lookup(const Named* table, size_t count, DWORD value)
{
    for (size_t i = 0; i < count; ++i)
        if (table[i].value == value)
            return table[i].name;
    return nullptr;
}
#define LOOKUP(table, value) Lookup(table, sizeof(table) / sizeof(table[0]), value)

std::string Format(const char* format, DWORD value)
{
    char text[64];
    std::snprintf(text, sizeof(text), format, (unsigned)value);
    return text;
}

std::string FloatBits(DWORD value)
{
    float f;
    std::memcpy(&f, &value, sizeof(f));
    char text[64];
    std::snprintf(text, sizeof(text), "%f", f);
    return text;
}

std::string Listed(const Named* table, size_t count, DWORD value)
{
    const char* name = Lookup(table, count, value);
    return name ? name : "";
}
#define LISTED(table, value) Listed(table, sizeof(table) / sizeof(table[0]), value)

bool Among(const DWORD* list, size_t count, DWORD value)
{
    for (size_t i = 0; i < count; ++i)
        if (list[i] == value)
            return true;
    return false;
}
#define AMONG(list, value) Among(list, sizeof(list) / sizeof(list[0]), value)

const Named kRenderStateNames[] = {
    {7, "ZEnable"}, {8, "FillMode"}, {9, "ShadeMode"}, {10, "LinePattern"}, {14, "ZWriteEnable"},
    {15, "AlphaTestEnable"}, {16, "LastPixel"}, {19, "SrcBlend"}, {20, "DestBlend"}, {22, "CullMode"},
    {23, "ZFunc"}, {24, "AlphaRef"}, {25, "AlphaFunc"}, {26, "DitherEnable"}, {27, "AlphaBlendEnable"},
    {28, "FogEnable"}, {29, "SpecularEnable"}, {34, "FogColor"}, {35, "FogTableMode"}, {36, "FogStart"},
    {37, "FogEnd"}, {38, "FogDensity"}, {40, "EdgeAntialias"}, {47, "ZBias"}, {48, "RangeFogEnable"},
    {52, "StencilEnable"}, {53, "StencilFail"}, {54, "StencilZFail"}, {55, "StencilPass"}, {56, "StencilFunc"},
    {57, "StencilRef"}, {58, "StencilMask"}, {59, "StencilWriteMask"}, {60, "TextureFactor"}, {128, "Wrap0"},
    {129, "Wrap1"}, {130, "Wrap2"}, {131, "Wrap3"}, {132, "Wrap4"}, {133, "Wrap5"}, {134, "Wrap6"},
    {135, "Wrap7"}, {136, "Clipping"}, {137, "Lighting"}, {139, "Ambient"}, {140, "FogVertexMode"},
    {141, "ColorVertex"}, {142, "LocalViewer"}, {143, "NormalizeNormals"}, {145, "DiffuseMaterialSource"},
    {146, "SpecularMaterialSource"}, {147, "AmbientMaterialSource"}, {148, "EmissiveMaterialSource"},
    {151, "VertexBlend"}, {152, "ClipPlaneEnable"}, {153, "SoftwareVertexProcessing"}, {154, "PointSize"},
    {155, "PointSizeMin"}, {156, "PointSpriteEnable"}, {157, "PointScaleEnable"}, {158, "PointScaleA"},
    {159, "PointScaleB"}, {160, "PointScaleC"}, {161, "MultisampleAntialias"}, {162, "MustisampleMask"},
    {163, "PatchEdgeStyle"}, {164, "PatchSegments"}, {165, "DebugMonitorToken"}, {166, "PointSizeMax"},
    {167, "IndexedVertexBlendEnable"}, {168, "ColorWriteEnable"}, {170, "TweenFactor"}, {171, "BlendOp"},
    {172, "PositionOrder"}, {173, "NormalOrder"},
};

const Named kStageNames[] = {
    {1, "ColorOp"}, {2, "ColorArg1"}, {3, "ColorArg2"}, {4, "AlphaOp"}, {5, "AlphaArg1"}, {6, "AlphaArg2"},
    {7, "BumpenvMat00"}, {8, "BumpenvMat01"}, {9, "BumpenvMat10"}, {10, "BumpenvMat11"}, {11, "TexcoordIndex"},
    {13, "AddressU"}, {14, "AddressV"}, {15, "BorderColor"}, {16, "MagFilter"}, {17, "MinFilter"},
    {18, "MipFilter"}, {19, "MipMapLodBias"}, {20, "MaxMipLevel"}, {21, "MaxAnisotropy"}, {22, "BumpenvScale"},
    {23, "BumpenvLoffSet"}, {24, "TextureTransformFlags"}, {25, "AddressW"}, {26, "ColorArg0"},
    {27, "AlphaArg0"}, {28, "ResultArg"},
};

const DWORD kYesNoStates[] = {7, 14, 15, 16, 26, 27, 28, 29, 40, 48, 52, 136, 137, 141, 142, 143, 152, 153, 156,
                              157, 161, 165, 167, 168};
const DWORD kHexStates[] = {10, 24, 34, 47, 57, 58, 59, 60, 128, 129, 130, 131, 132, 133, 134, 135, 139, 162};
const DWORD kFloatStates[] = {36, 37, 38, 154, 155, 158, 159, 160, 164, 166, 170};

const Named kBlend[] = {{1, "Zero"},         {2, "One"},           {3, "SrcColor"},       {4, "InvSrcColor"},
                        {5, "SrcAlpha"},     {6, "InvSrcAlpha"},   {7, "DestAlpha"},      {8, "InvDestAlpha"},
                        {9, "DestColor"},    {10, "InvDestColor"}, {11, "SrcAlphaSat"},   {12, "BothSrcAlpha"},
                        {13, "BothInvSrcAlpha"}};
const Named kFill[] = {{1, "Point"}, {2, "WireFrame"}, {3, "Solid"}};
const Named kShade[] = {{1, "Flat"}, {2, "Gouraud"}, {3, "Phong"}};
const Named kCull[] = {{1, "None"}, {2, "Front"}, {3, "Back"}};
const Named kCompare[] = {{1, "Never"},   {2, "Less"},     {3, "Equal"},        {4, "LessEqual"},
                          {5, "Greater"}, {6, "NotEqual"}, {7, "GreaterEqual"}, {8, "Always"}};
const Named kFog[] = {{0, "None"}, {1, "Exp"}, {2, "Exp2"}, {3, "Linear"}};
const Named kStencilOp[] = {{1, "Keep"},    {2, "Zero"},   {3, "Replace"}, {4, "IncrSat"},
                            {5, "DecrSat"}, {6, "Invert"}, {7, "Incr"},    {8, "Decr"}};
const Named kMaterialSource[] = {{0, "Material"}, {1, "Diffuse"}, {2, "Specular"}};
const Named kVertexBlend[] = {{0, "Disable"},   {1, "1Weights"},    {2, "2Weights"},
                              {3, "3Weights"},  {255, "Tweening"},  {256, "0Weights"}};
const Named kPatchEdge[] = {{0, "Discrete"}, {1, "Continuous"}};
const Named kBlendOp[] = {{1, "Add"}, {2, "Subtract"}, {3, "RevSubtract"}, {4, "Min"}, {5, "Max"}};

const Named kTextureOp[] = {
    {1, "Disable"}, {2, "SelectArg1"}, {3, "SelectArg2"}, {4, "Modulate"}, {5, "Modulate2x"}, {6, "Modulate4x"},
    {7, "Add"}, {8, "AddSigned"}, {9, "AddSigned2x"}, {10, "Subtract"}, {11, "AddSmooth"},
    {12, "BlendDiffuseAlpha"}, {13, "BlendTextureAlpha"}, {14, "BlendFactorAlpha"}, {15, "BlendTextureAlphaPM"},
    {16, "BlendCurrentAlpha"}, {17, "Premodulate"}, {18, "ModulateAlpha_AddColor"},
    {19, "ModulateAlpha_AddAlpha"}, {20, "ModulateInvAlpha_AddColor"}, {21, "ModulateInvColor_AddAlpha"},
    {22, "BumpenvMap"}, {23, "BumpenvMapLuminance"}, {24, "DotProduct3"}, {25, "MultiplyAdd"}, {26, "Lerp"}};
const Named kArgument[] = {{0, "Diffuse"}, {1, "Current"},     {2, "Texture"},     {3, "TFactor"},
                           {4, "Specular"}, {5, "Temp"},       {15, "SelectMask"}, {16, "Complement"},
                           {32, "AlphaReplicate"}};
const Named kAddress[] = {{1, "Wrap"}, {2, "Mirror"}, {3, "Clamp"}, {4, "Border"}, {5, "MirrorOnce"}};
const Named kFilter[] = {{0, "None"},       {1, "Point"},       {2, "Linear"},
                         {3, "Anisotropic"}, {4, "FlatCubic"}, {5, "GaussianCubic"}};
const Named kTransformFlags[] = {{0, "Disable"}, {1, "Count1"}, {2, "Count2"},
                                 {3, "Count3"},  {4, "Count4"}, {256, "Projected"}};
const DWORD kArgumentTypes[] = {2, 3, 5, 6, 26, 27, 28};
const DWORD kStageFloatTypes[] = {7, 8, 9, 10, 19, 22, 23};
const DWORD kStageHexTypes[] = {11, 15, 20, 21};

// The render states that the dump lists, in ascending order.
std::vector<DWORD> DumpedRenderStates()
{
    static const DWORD ranges[][2] = {{7, 10},    {14, 16},   {19, 20},   {22, 29},   {34, 38},   {40, 40},
                                      {47, 48},   {52, 60},   {128, 137}, {139, 143}, {145, 148}, {151, 171}};
    std::vector<DWORD> states;
    for (const auto& r : ranges)
        for (DWORD s = r[0]; s <= r[1]; ++s)
            if (s != 169)
                states.push_back(s);
    return states;
}

FILE* OpenText(const std::string& folder, const char* name)
{
    return std::fopen((folder + name).c_str(), "wt");
}

IDirect3DDevice8* Device()
{
    return RenderStateManager::Instance().GetDevice();
}

} // namespace

std::string RenderStateName(DWORD state)
{
    const char* name = LOOKUP(kRenderStateNames, state);
    return name ? name : Format("Undefined: %u", state);
}

std::string TextureStageStateName(DWORD type)
{
    const char* name = LOOKUP(kStageNames, type);
    return name ? name : Format("Undefined: %u", type);
}

std::string RenderStateValueText(DWORD state, DWORD value)
{
    if (AMONG(kYesNoStates, state))
        return value ? "True" : "False";
    if (AMONG(kHexStates, state))
        return Format("0x%08x", value);
    if (AMONG(kFloatStates, state))
        return FloatBits(value);
    switch (state)
    {
    case 19:
    case 20: return LISTED(kBlend, value);
    case 8: return LISTED(kFill, value);
    case 9: return LISTED(kShade, value);
    case 22: return LISTED(kCull, value);
    case 23:
    case 25:
    case 56: return LISTED(kCompare, value);
    case 35:
    case 140: return LISTED(kFog, value);
    case 53:
    case 54:
    case 55: return LISTED(kStencilOp, value);
    case 145:
    case 146:
    case 147:
    case 148: return LISTED(kMaterialSource, value);
    case 151: return LISTED(kVertexBlend, value);
    case 163: return LISTED(kPatchEdge, value);
    case 171: return LISTED(kBlendOp, value);
    default: return Format("Undefined: %u", state);
    }
}

std::string TextureStageValueText(DWORD type, DWORD value)
{
    if (type == 1 || type == 4)
        return LISTED(kTextureOp, value);
    if (AMONG(kArgumentTypes, type))
        return LISTED(kArgument, value);
    if (type == 13 || type == 14 || type == 25)
        return LISTED(kAddress, value);
    if (type >= 16 && type <= 18)
        return LISTED(kFilter, value);
    if (type == 24)
        return LISTED(kTransformFlags, value);
    if (AMONG(kStageFloatTypes, type))
        return FloatBits(value);
    if (AMONG(kStageHexTypes, type))
        return Format("0x%08x", value);
    return Format("Undefined: %u", type);
}

void WriteMatrix(const D3DMATRIX& matrix, FILE* file)
{
    for (int row = 0; row < 4; ++row)
    {
        for (int col = 0; col < 4; ++col)
            std::fprintf(file, "%f ", matrix.m[row][col]);
        std::fprintf(file, "\n");
    }
}

void DumpRenderStates(const std::string& folder)
{
    FILE* f = OpenText(folder, "\\RenderStates.txt");
    if (!f)
        return;
    IDirect3DDevice8* device = Device();
    for (DWORD state : DumpedRenderStates())
    {
        DWORD value = 0;
        if (device)
            device->GetRenderState(D3DRENDERSTATETYPE(state), &value);
        std::fprintf(f, "%s = %s\n", RenderStateName(state).c_str(), RenderStateValueText(state, value).c_str());
    }
    std::fclose(f);
}

void DumpTextureStageStates(const std::string& folder)
{
    FILE* f = OpenText(folder, "\\TextureStageStates.txt");
    if (!f)
        return;
    IDirect3DDevice8* device = Device();
    for (DWORD stage = 0; stage < 8; ++stage)
    {
        std::fprintf(f, "Stage: %u\n", (unsigned)stage);
        for (DWORD type = 1; type <= 28; ++type)
        {
            if (type == 12)
                continue;
            DWORD value = 0;
            if (device)
                device->GetTextureStageState(stage, D3DTEXTURESTAGESTATETYPE(type), &value);
            std::fprintf(f, "\t%s = %s\n", TextureStageStateName(type).c_str(),
                         TextureStageValueText(type, value).c_str());
        }
    }
    std::fclose(f);
}

void DumpMatrices(const std::string& folder)
{
    FILE* f = OpenText(folder, "\\Matrices.txt");
    if (!f)
        return;
    const RenderStateManager& rsm = RenderStateManager::Instance();
    const struct
    {
        const char* title;
        D3DTRANSFORMSTATETYPE type;
    } fixed[] = {{"World:\n", D3DTS_WORLD}, {"View:\n", D3DTS_VIEW}, {"Projections:\n", D3DTS_PROJECTION}};
    for (const auto& m : fixed)
    {
        std::fprintf(f, "%s", m.title);
        if (const D3DMATRIX* matrix = rsm.GetTransform(m.type))
            WriteMatrix(*matrix, f);
    }
    for (int stage = 0; stage < 8; ++stage)
    {
        std::fprintf(f, "Texture%02i:\n", stage);
        if (const D3DMATRIX* matrix = rsm.GetTransform(D3DTRANSFORMSTATETYPE(D3DTS_TEXTURE0 + stage)))
            WriteMatrix(*matrix, f);
    }
    std::fclose(f);
}

void DumpMaterial(const std::string& folder)
{
    FILE* f = OpenText(folder, "\\Material.txt");
    if (!f)
        return;
    D3DMATERIAL8 m;
    std::memset(&m, 0, sizeof(m));
    if (IDirect3DDevice8* device = Device())
        device->GetMaterial(&m);
    const struct
    {
        const char* name;
        const D3DCOLORVALUE& c;
    } colours[] = {{"Ambient", m.Ambient}, {"Diffuse", m.Diffuse}, {"Emissive", m.Emissive}, {"Specular", m.Specular}};
    for (const auto& c : colours)
        std::fprintf(f, "%s: R:%f G:%f B:%f A:%f\n", c.name, c.c.r, c.c.g, c.c.b, c.c.a);
    std::fprintf(f, "Power: %f\n", m.Power);
    std::fclose(f);
}

void DumpShaders(const std::string& folder)
{
    FILE* f = OpenText(folder, "\\Shaders.txt");
    if (!f)
        return;
    DWORD vs = 0, ps = 0;
    if (IDirect3DDevice8* device = Device())
    {
        device->GetVertexShader(&vs);
        device->GetPixelShader(&ps);
    }
    std::fprintf(f, "VertexShader: 0x%x\n", (unsigned)vs);
    std::fprintf(f, "PixelShader: 0x%x\n", (unsigned)ps);
    std::fclose(f);
}

void DumpTextures(const std::string& folder)
{
    IDirect3DDevice8* device = Device();
    if (!device)
        return;
    static const char* const kFaces[6] = {"PosX", "NegX", "PosY", "NegY", "PosZ", "NegZ"};
    for (DWORD stage = 0; stage < 8; ++stage)
    {
        ComRef<IDirect3DBaseTexture8> base;
        if (FAILED(device->GetTexture(stage, base.Put())) || !base)
            continue;
        const D3DRESOURCETYPE type = base->GetType();
        const DWORD levels = base->GetLevelCount();
        char name[64];
        if (type == D3DRTYPE_TEXTURE)
        {
            IDirect3DTexture8* texture = static_cast<IDirect3DTexture8*>(base.Get());
            for (DWORD level = 0; level < levels; ++level)
            {
                ComRef<IDirect3DSurface8> surface;
                if (FAILED(texture->GetSurfaceLevel(level, surface.Put())))
                    continue;
                std::snprintf(name, sizeof(name), "\\Texture_%u_%u.bmp", (unsigned)stage, (unsigned)level);
                DumpSurfaceToBmp(surface, folder + name);
            }
        }
        else if (type == D3DRTYPE_CUBETEXTURE)
        {
            IDirect3DCubeTexture8* cube = static_cast<IDirect3DCubeTexture8*>(base.Get());
            for (DWORD level = 0; level < levels; ++level)
                for (int face = 0; face < 6; ++face)
                {
                    ComRef<IDirect3DSurface8> surface;
                    if (FAILED(cube->GetCubeMapSurface(D3DCUBEMAP_FACES(face), level, surface.Put())))
                        continue;
                    std::snprintf(name, sizeof(name), "\\Texture_%u_%s_%u.bmp", (unsigned)stage, kFaces[face],
                                  (unsigned)level);
                    DumpSurfaceToBmp(surface, folder + name);
                }
        }
    }
}

namespace {

struct PixelRows
{
    std::vector<unsigned char> bgr; // top row first, 3 bytes a pixel
    int width;
};

void PixelRow(void* context, int y, unsigned char* out)
{
    const PixelRows* rows = static_cast<const PixelRows*>(context);
    std::memcpy(out, &rows->bgr[size_t(y) * size_t(rows->width) * 3], size_t(rows->width) * 3);
}

} // namespace

bool DumpSurfaceToBmp(IDirect3DSurface8* surface, const std::string& file)
{
    D3DSURFACE_DESC desc;
    ComRef<IDirect3DDevice8> device;
    if (!surface || FAILED(surface->GetDesc(&desc)) || FAILED(surface->GetDevice(device.Put())) || !device)
        return false;
    ComRef<IDirect3DSurface8> rgb, same;
    PixelRows rows{{}, int(desc.Width)};
    bool ok = false;
    if (SUCCEEDED(device->CreateImageSurface(desc.Width, desc.Height, D3DFMT_X8R8G8B8, rgb.Put())) &&
        SUCCEEDED(device->CreateImageSurface(desc.Width, desc.Height, desc.Format, same.Put())))
    {
        device->CopyRects(surface, nullptr, 0, same, nullptr);
        CopySurfaceConvert(15, rgb, same);
        D3DLOCKED_RECT lr;
        if (SUCCEEDED(rgb->LockRect(&lr, nullptr, D3DLOCK_READONLY | D3DLOCK_NOSYSLOCK | D3DLOCK_NO_DIRTY_UPDATE)))
        {
            rows.bgr.resize(size_t(desc.Width) * desc.Height * 3);
            for (UINT y = 0; y < desc.Height; ++y)
            {
                const BYTE* src = static_cast<const BYTE*>(lr.pBits) + size_t(y) * lr.Pitch;
                for (UINT x = 0; x < desc.Width; ++x)
                    std::memcpy(&rows.bgr[(size_t(y) * desc.Width + x) * 3], src + size_t(x) * 4, 3);
            }
            rgb->UnlockRect();
            ok = true;
        }
    }
    rgb.Reset();
    same.Reset();
    device.Reset();
    if (!ok)
        return false;
    FILE* f = std::fopen(file.c_str(), "wb");
    if (!f)
        return false;
    ok = WriteBmp24(f, int(desc.Width), int(desc.Height), PixelRow, &rows);
    std::fclose(f);
    return ok;
}

void DumpDeviceState(const char* folder)
{
    CreateDirectoryA(folder, nullptr);
    const std::string base = folder;
    DumpRenderStates(base);
    DumpTextureStageStates(base);
    DumpMatrices(base);
    DumpTextures(base);
    DumpMaterial(base);
    DumpShaders(base);
}

} // namespace DeviceStateDump
