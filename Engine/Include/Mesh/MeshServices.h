#pragma once
// What meshes and geometry objects ask of the scene services built on top of
// them: the scene they load into, the occlusion test and the culling tree of
// static objects. The scene and the culling library implement these.
#include <string>

#include "TexMap.h"

struct D3DXVECTOR3;
class GeomObject;
class MeshMaterial;

// The scene a mesh loads into: its shared textures and materials by name and
// its rules for smoothed normals.
class IMeshLoadContext : public ITextureCache
{
public:
    virtual MeshMaterial* FindMaterial(const std::string& name) const = 0;
    virtual void SetMaterial(const std::string& name, MeshMaterial* material) = 0;
    virtual bool MatchesSmoothNormalPattern(const std::string& name) const = 0;

protected:
    ~IMeshLoadContext() = default;
};

// Whether a box (its eight world corners) is hidden this frame.
class IOcclusionTest
{
public:
    virtual bool IsBoxOccluded(const D3DXVECTOR3 corners[8]) const = 0;

protected:
    ~IOcclusionTest() = default;
};

// A culling index that holds static objects; told when one goes away.
class IStaticObjectIndex
{
public:
    virtual void RemoveStaticObject(GeomObject* object) = 0;

protected:
    ~IStaticObjectIndex() = default;
};
