#pragma once
// One loaded scene archive: its objects by name under a root, the materials
// and textures its meshes share, its lights and cameras, and the lists it
// draws from each frame. Windows tree.
#include <d3d8.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ObjectMask.h"
#include "ComRef.h"
#include "MeshServices.h"

class Object;
class GeomObject;
class Light;
class Camera;
class MeshMaterial;
class CLightTable;
class COcclusionManager;
class COctreeManager;

class Scene : public IMeshLoadContext
{
public:
    class CLoadingProgressHandler
    {
    public:
        virtual void OnLoadingProgress(int done, int total) = 0;

    protected:
        virtual ~CLoadingProgressHandler() = default;
    };
    struct RenderEntry
    {
        float key;
        GeomObject* object;
        uint32_t meshIndex;
    };

    explicit Scene(IDirect3DDevice8* device);
    virtual ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // From the file at `path`, else from RCDATA `resourceId`.
    bool Load(uint16_t resourceId, const std::string& path, CLoadingProgressHandler* handler = nullptr);
    static int CountEntries(const std::string& path, uint16_t resourceId);
    // Enters an object into the name index and the draw lists, or takes it
    // out of them. The scene frees the objects it loaded when it goes,
    // removed ones too; an object made elsewhere stays its maker's.
    void RegisterObject(Object* object);
    void RemoveObject(Object* object);
    void Render(bool opaqueOnly = false);

    Object* FindObject(const std::string& name) const;
    GeomObject* FindGeomObject(const std::string& name) const;
    Light* FindLight(const std::string& name) const;
    Camera* FindCamera(const std::string& name) const;
    MeshMaterial* FindMaterial(const std::string& name) const override;
    void SetMaterial(const std::string& name, std::unique_ptr<MeshMaterial> material) override;

    IDirect3DBaseTexture8* GetCachedTexture(const std::string& name, int32_t type) override;
    void SetCachedTexture(const std::string& name, int32_t type, IDirect3DBaseTexture8* texture) override;
    IDirect3DDevice8* GetDevice() override { return m_pDevice; }

    void ForEachObjectMatching(const std::string& pattern, void (*visitor)(Object*, void*), void* argument);
    // Objects whose whole name matches the expression; throws
    // boost::regex_error for an invalid one.
    ObjectMask FindObjects(const std::string& pattern) const { return ObjectMask(&m_Objects, pattern); }
    // Objects named here stay out of the culling tree; call before
    // BuildOctree.
    void AddExcludedStaticObject(const std::string& name);
    // Enters the static geometry into the culling tree (a quadtree of three
    // levels), once after loading.
    void BuildOctree();
    // Occluder culling on or off for this scene's meshes.
    void EnableOcclusion();
    void DisableOcclusion();
    // Draws from the free-flight camera from now on, started at the camera
    // active so far when it is made for the first time.
    void UseControlledCamera();
    COctreeManager* GetOctreeManager() const { return m_pOctree.get(); }
    void AddSmoothNormalPattern(const std::string& pattern) { m_SmoothNormalPatterns.push_back(pattern); }
    bool MatchesSmoothNormalPattern(const std::string& name) const override;
    void SetLoadHook(const std::string& entryName, std::function<void(bool)> hook) { m_LoadHooks[entryName] = hook; }

    Camera* GetActiveCamera() const { return m_pActiveCamera; }
    void SetActiveCamera(Camera* camera) { m_pActiveCamera = camera; }
    GeomObject* GetRoot() const { return m_pRoot.get(); }
    D3DCOLOR GetAmbientColor() const { return m_Ambient; }
    CLightTable* GetLightTable() const { return m_pLightTable.get(); }
    COcclusionManager* GetOcclusionManager() const { return m_pOcclusion.get(); }
    const std::vector<RenderEntry>& GetOpaqueList() const { return m_Opaque; }
    const std::vector<RenderEntry>& GetTransparentList() const { return m_Transparent; }
    const std::vector<Light*>& GetLights() const { return m_Lights; }
    size_t GetObjectCount() const { return m_Objects.size(); }
    size_t GetCachedTextureCount() const { return m_Textures.size(); }
    // Hands every cached texture to the device now, so that the first view
    // of an object does not stall on its textures' upload.
    void PreloadTextures();
    // The same for the vertex and index buffers of every mesh: the device
    // makes its own copy of a buffer at the buffer's first draw otherwise.
    void PreloadBuffers();

private:
    std::string m_Path;
    // The objects by name, which name masks read.
    std::map<std::string, Object*> m_Objects;
    std::unique_ptr<GeomObject> m_pRoot;
    std::map<std::pair<std::string, int32_t>, ComRef<IDirect3DBaseTexture8>> m_Textures;
    std::map<std::string, std::unique_ptr<MeshMaterial>> m_Materials; // go before the textures they use
    std::vector<Light*> m_Lights;
    Camera* m_pActiveCamera = nullptr;
    IDirect3DDevice8* m_pDevice;
    std::vector<RenderEntry> m_Opaque, m_Transparent;
    std::unique_ptr<CLightTable> m_pLightTable;
    D3DCOLOR m_Ambient = 0;
    std::map<std::string, std::function<void(bool)>> m_LoadHooks;
    std::unique_ptr<COcclusionManager> m_pOcclusion;
    std::unique_ptr<COctreeManager> m_pOctree;
    std::vector<std::string> m_SmoothNormalPatterns;
    // Every object loaded, found by name or not (removed, or replaced by a
    // later one of its name); freed before the members above go.
    std::vector<std::unique_ptr<Object>> m_Owned;
};
