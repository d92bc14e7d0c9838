#pragma once
// Texture maps: one texture slot of a material (a texture or a flip-book of
// textures, its addressing and an animated texture matrix), and the kinds
// that make their textures from an archive's pictures in their own ways.
// The declarations and the maths are platform-free; making textures on the
// device builds in the Windows tree only.
#include <cstdint>
#include <string>
#include <vector>

#include "ComRef.h"
#include "ControlEffect.h"
#include "D3D8Types.h"
#include "Timer.h"
#include "d3dx8math.h"

#ifndef _WIN32
struct IDirect3DBaseTexture8;
struct IDirect3DDevice8;
struct IDirect3DCubeTexture8;
#endif

namespace FileStorage
{
class CMemoryStream;
class CArchive;
} // namespace FileStorage

// Where maps find and keep their textures (the scene's texture cache, keyed
// by name and map type); the cache holds one reference on each texture.
class ITextureCache
{
public:
    virtual IDirect3DBaseTexture8* GetCachedTexture(const std::string& name, int32_t type) = 0;
    virtual void SetCachedTexture(const std::string& name, int32_t type, IDirect3DBaseTexture8* texture) = 0;
    virtual IDirect3DDevice8* GetDevice() = 0;

protected:
    ~ITextureCache() = default;
};

// Mip levels of colour maps (A), diffuse-with-alpha maps (B) and alpha
// masks (C); 0 asks for a full chain.
extern uint32_t g_MipLevelsA, g_MipLevelsB, g_MipLevelsC;

class Map
{
public:
    class CTextureSizeModifier
    {
    public:
        virtual void ModifySize(const std::string& name, uint32_t* width, uint32_t* height) = 0;

    protected:
        virtual ~CTextureSizeModifier() = default;
    };
    static void SetTextureSizeModifier(CTextureSizeModifier* modifier);
    static CTextureSizeModifier* GetTextureSizeModifier();

    Map();
    Map(const Map&) = default;
    Map& operator=(const Map&) = default;

    virtual void UpdateTextureMatrix(IDirect3DDevice8* device, uint32_t stage);
    virtual IDirect3DBaseTexture8* CreateTexture(IDirect3DDevice8* device, FileStorage::CMemoryStream& stream,
                                                 uint32_t width, uint32_t height, const std::string& name) = 0;
    virtual int GetTypeId() const = 0;
    virtual uint32_t GetFrameIndex();
    virtual void SetFrameRate(int framesPerSecond);
    virtual void SetFrameOffset(float seconds);
    virtual void SetTextureAnimation(const float parameters[7]);
    virtual void GetTextureAnimation(float parameters[7]) const;
    virtual void SetRandomOffsets(const uint32_t words[11]);
    virtual void AddTexture(IDirect3DBaseTexture8* texture);
    // Makes the texture the map's only one (its owner keeps it alive).
    void SetTexture(IDirect3DBaseTexture8* texture);
    virtual uint32_t GetTexCoordIndex() const { return m_TexCoordIndex; }
    virtual ~Map() = default;
    virtual void AfterLoad(IDirect3DDevice8*) {}
    virtual uint32_t GetTransformFlags() const;
    virtual IDirect3DBaseTexture8* GetTexture();

    // Reads one map record: flags, texture-coordinate index and textures,
    // each through the cache under (type id, prefix + entry name) or made
    // from the archive's "BMP" entry. Windows tree.
    static void LoadFromStream(ITextureCache* scene, const std::string& prefix, Map* map,
                               FileStorage::CMemoryStream& stream, FileStorage::CArchive* archive);

    // Steps over a map record that no slot takes.
    static void SkipRecord(FileStorage::CMemoryStream& stream);

    const D3DXMATRIX* GetTextureMatrix() const { return &m_TextureMatrix; }
    uint32_t GetAddressU() const { return m_AddressU; }
    uint32_t GetAddressV() const { return m_AddressV; }
    uint16_t GetFlags() const { return m_Flags; }
    const std::string& GetName() const { return m_Name; }
    size_t GetTextureCount() const { return m_Textures.size(); }
    IDirect3DBaseTexture8* GetTextureAt(size_t i) const { return m_Textures[i]; }
    bool WasCreatedHere() const { return m_bCreatedHere; }
    void SetTexCoordIndex(uint16_t index) { m_TexCoordIndex = index; }
    CLocalTimer& GetFlipBookClock() { return m_FlipBookClock; }
    CLocalTimer& GetMatrixClock() { return m_MatrixClock; }

protected:
    std::string m_Name;
    uint16_t m_TexCoordIndex = 0;
    std::vector<IDirect3DBaseTexture8*> m_Textures; // owned by the scene's cache
    std::vector<std::string> m_TextureNames;        // their entry names
    CLocalTimer m_FlipBookClock;
    int m_FrameRate = 0;
    uint16_t m_Flags = 0;
    uint32_t m_AddressU = 1, m_AddressV = 1;
    CLocalTimer m_MatrixClock;
    bool m_bTextureAnimation = false;
    bool m_bRandomOffsets = false;
    float m_Animation[7] = {0, 0, 0, 0, 0, 1, 1};
    uint32_t m_RandomOffsets[11] = {};
    float m_AnimationState[7] = {0, 0, 0, 0, 0, 1, 1};
    D3DXMATRIX m_TextureMatrix;
    bool m_bCreatedHere = false;
};

class DiffuseMap : public Map, public IDiffuseSource
{
public:
    void UpdateTextureMatrix(IDirect3DDevice8* device, uint32_t stage) override
    {
        Map::UpdateTextureMatrix(device, stage);
    }
    uint32_t GetTexCoordIndex() const override { return Map::GetTexCoordIndex(); }
    IDirect3DBaseTexture8* GetTexture() override { return Map::GetTexture(); }
    IDirect3DBaseTexture8* CreateTexture(IDirect3DDevice8* device, FileStorage::CMemoryStream& stream, uint32_t width,
                                         uint32_t height, const std::string& name) override;
    int GetTypeId() const override { return 0; }
    virtual void SetAlpha(uint8_t alpha) { m_Alpha = alpha; }
    uint8_t GetAlpha() const override { return m_Alpha; }
    // A map showing just this texture (none when null), for screen drawing.
    void SetTexture(IDirect3DBaseTexture8* texture);

protected:
    uint8_t m_Alpha = 255;
};

class DiffuseAlphaMap : public DiffuseMap
{
public:
    IDirect3DBaseTexture8* CreateTexture(IDirect3DDevice8* device, FileStorage::CMemoryStream& stream, uint32_t width,
                                         uint32_t height, const std::string& name) override;
    int GetTypeId() const override { return 5; }
    // Reads an alpha record into this map and puts the diffuse map's colour
    // under its alpha. Windows tree.
    static void LoadCombined(ITextureCache* scene, DiffuseMap* diffuse, DiffuseAlphaMap* map,
                             FileStorage::CMemoryStream& stream, FileStorage::CArchive* archive);
};

class LightMap : public Map
{
public:
    IDirect3DBaseTexture8* CreateTexture(IDirect3DDevice8* device, FileStorage::CMemoryStream& stream, uint32_t width,
                                         uint32_t height, const std::string& name) override;
    int GetTypeId() const override { return 4; }
};

class AlphaMap : public Map
{
public:
    IDirect3DBaseTexture8* CreateTexture(IDirect3DDevice8* device, FileStorage::CMemoryStream& stream, uint32_t width,
                                         uint32_t height, const std::string& name) override;
    int GetTypeId() const override { return m_Type; }
    void SetType(int type) { m_Type = type; }

private:
    int m_Type = 3;
};

class EnvironmentMap : public Map
{
public:
    EnvironmentMap() = default;
    EnvironmentMap(const EnvironmentMap& other);
    EnvironmentMap& operator=(const EnvironmentMap& other);
    ~EnvironmentMap() override;

    void UpdateTextureMatrix(IDirect3DDevice8* device, uint32_t stage) override;
    IDirect3DBaseTexture8* CreateTexture(IDirect3DDevice8* device, FileStorage::CMemoryStream& stream, uint32_t width,
                                         uint32_t height, const std::string& name) override;
    int GetTypeId() const override { return 2; }
    uint32_t GetTexCoordIndex() const override { return m_pCube ? 0x30000 : 0x10000; }
    void AfterLoad(IDirect3DDevice8* device) override;
    uint32_t GetTransformFlags() const override { return m_pCube ? 3 : 2; }
    IDirect3DBaseTexture8* GetTexture() override;
    bool HasCube() const { return m_pCube != nullptr; }

private:
#ifdef _WIN32
    ComRef<IDirect3DCubeTexture8> m_pCube;
#else
    IDirect3DCubeTexture8* m_pCube = nullptr; // natively no cube is ever made
#endif
};

class ProjectionMap : public DiffuseMap
{
public:
    void UpdateTextureMatrix(IDirect3DDevice8* device, uint32_t stage) override;
    int GetTypeId() const override { return 7; }

    static class Camera* s_pProjector;
    float m_ExtentWidth = 1024.0f, m_ExtentHeight = 768.0f;
};

#ifdef _WIN32
// Whether the device takes textures of the format (adapter 0, HAL, the
// display format); the Direct3D object and mode are fetched again on refresh.
bool CheckTextureFormat(IDirect3DDevice8* device, D3DFORMAT format, bool refresh);
// Empties the process-wide cache of environment cube textures (at exit).
void ReleaseEnvironmentCubeCache();
#endif

// ---- The maths of maps, platform-free.

// Frame of a flip-book of `count` textures at clock time t.
uint32_t FlipBookFrame(float t, int framesPerSecond, size_t count);
// Texture matrix of the animation parameters at clock time t; `state`
// receives the seven values used.
D3DXMATRIX TextureAnimationMatrix(const float p[7], float t, float state[7]);
// The matrix an environment map without cube texture uses.
D3DXMATRIX SphereMapMatrix();
// Camera-space reflection to cube-map direction for a view matrix.
D3DXMATRIX CubeMapMatrix(const D3DXMATRIX& view);
// Alpha from the brightness of each pixel of a row in the given format
// (21, 22, 23, 24, 26, 28, 29); with cutOff, gray below 5 is clear and the
// rest opaque. False for other formats.
bool AlphaFromColorRow(uint32_t format, uint8_t* row, uint32_t width, bool cutOff);

