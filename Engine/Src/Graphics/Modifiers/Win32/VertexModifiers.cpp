#include "ObjectModifiers.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Camera.h"
#include "GeomObject.h"
#include "Mesh.h"

namespace
{
// The local positions of every mesh of the object, from the meshes' own
// vertex copies (the device buffers are write-only).
std::vector<std::vector<D3DXVECTOR3>> ReadRestPositions(const GeomObject* object)
{
    std::vector<std::vector<D3DXVECTOR3>> meshes(object->GetMeshCount());
    for (size_t i = 0; i < object->GetMeshCount(); ++i)
    {
        const Mesh* mesh = object->GetMesh(i);
        const std::vector<uint8_t>& vertices = mesh->GetVertexData();
        const uint32_t stride = mesh->GetStride();
        const uint32_t count = mesh->GetVertexCount();
        if (stride < 12 || vertices.size() < size_t(count) * stride)
            continue;
        meshes[i].resize(count);
        for (uint32_t v = 0; v < count; ++v)
            std::memcpy(&meshes[i][v], &vertices[size_t(v) * stride], 12);
    }
    return meshes;
}

// Writes the positions over the mesh's own vertices into its buffer; a mesh
// whose vertex count no longer matches is left alone.
void WritePositions(Mesh* mesh, const std::vector<D3DXVECTOR3>& positions)
{
    if (positions.empty() || positions.size() != mesh->GetVertexCount())
        return;
    std::vector<uint8_t> vertices = mesh->GetVertexData();
    const uint32_t stride = mesh->GetStride();
    for (size_t v = 0; v < positions.size(); ++v)
        std::memcpy(&vertices[v * stride], &positions[v], 12);
    mesh->WriteVertices(vertices, nullptr);
}

bool IsGeom(Object* object) { return object && object->GetTypeId() == OBJECT_TYPE_GEOM; }
} // namespace

void VertexWaveModifier::Apply(Object* object)
{
    if (!IsGeom(object))
        return;
    GeomObject* geom = static_cast<GeomObject*>(object);
    if (!m_bSetUp)
        SetUp(ReadRestPositions(geom));
    const float now = GetGlobalTimer()->GetTime();
    if (m_bUpdated && std::fabs(now - m_LastTime) <= 1.1920929e-7f)
        return;
    m_bUpdated = true;
    m_LastTime = now;
    float fade = 1;
    if (m_bDistanceFade && g_CurrentCamera)
    {
        const D3DXMATRIX& eye = g_CurrentCamera->GetWorldMatrix();
        const D3DXMATRIX& at = geom->GetWorldMatrix();
        const D3DXVECTOR3 d(at._41 - eye._41, at._42 - eye._42, at._43 - eye._43);
        fade = GetFade(D3DXVec3Length(&d));
        if (fade < 0)
            return;
    }
    std::vector<D3DXVECTOR3> positions;
    for (size_t i = 0; i < m_Rest.size() && i < geom->GetMeshCount(); ++i)
    {
        Wave(m_Rest[i], now, fade, &positions);
        WritePositions(geom->GetMesh(i), positions);
    }
}

void VertexJitterModifier::Apply(Object* object)
{
    if (!IsGeom(object))
        return;
    GeomObject* geom = static_cast<GeomObject*>(object);
    static CLocalTimer s_Clock; // one clock for every jittering object
    const uint32_t nowMs = uint32_t(std::max(0.0f, s_Clock.GetTime()) * 1000.0f);
    if (!m_bSetUp)
        SetUp(ReadRestPositions(geom), nowMs);
    Step(nowMs);
    std::vector<D3DXVECTOR3> positions;
    for (size_t i = 0; i < m_Rest.size() && i < geom->GetMeshCount(); ++i)
    {
        GetPositions(i, &positions);
        WritePositions(geom->GetMesh(i), positions);
    }
}
