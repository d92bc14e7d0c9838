#include "ObjectModifiers.h"

#include <cstring>

#include "GeomObject.h"
#include "Log.h"
#include "Mesh.h"
#include "Scene.h"

namespace
{
D3DXVECTOR3 ReadVector(const uint8_t* p)
{
    D3DXVECTOR3 v;
    std::memcpy(&v, p, 12);
    return v;
}
} // namespace

void SkeletalAnimationModifier::SetUp(GeomObject* object)
{
    m_bSetUp = true;
    m_Meshes.clear();
    m_Meshes.resize(object->GetMeshCount()); // one list per mesh, empty when not skinned
    m_Skeleton.Clear();
    const D3DXMATRIX& world = object->GetWorldMatrix();
    D3DXMATRIX inverse, normalMatrix;
    D3DXMatrixInverse(&inverse, nullptr, &world);
    D3DXMatrixTranspose(&normalMatrix, &inverse);

    for (size_t i = 0; i < object->GetMeshCount(); ++i)
    {
        const Mesh* mesh = object->GetMesh(i);
        if (mesh->GetBones().empty())
        {
            g_Log.Printf("Error: mesh %u of object %s doesn't contain bones!\n", unsigned(i),
                         object->GetName().c_str());
            continue;
        }
        const std::vector<uint8_t>& weights = mesh->GetBlendWeights();
        const uint32_t count = mesh->GetVertexCount();
        if (weights.size() < size_t(count) * 16)
        {
            g_Log.Printf("Error: mesh %u of object %s doesn't contain bone weights!\n", unsigned(i),
                         object->GetName().c_str());
            continue;
        }
        const bool hasNormals = (mesh->GetFVF() & D3DFVF_NORMAL) != 0;
        if (!hasNormals)
            m_bSkinNormals = false;
        // The device buffers are write-only: the bind pose comes from the
        // mesh's own copies.
        const std::vector<uint8_t>& vertices = mesh->GetVertexData();
        const std::vector<float>& frames = mesh->GetTangentData(mesh->IsSmoothedInBuffer());
        const uint32_t stride = mesh->GetStride();
        std::vector<SkinVertex>& list = m_Meshes[i];
        list.resize(count);
        for (uint32_t v = 0; v < count; ++v)
        {
            SkinVertex& out = list[v];
            const uint8_t* src = &vertices[size_t(v) * stride];
            const D3DXVECTOR3 position = ReadVector(src);
            D3DXVec3TransformCoord(&out.position, &position, &world);
            if (hasNormals)
            {
                const D3DXVECTOR3 normal = ReadVector(src + 12);
                D3DXVec3TransformNormal(&out.normal, &normal, &normalMatrix);
            }
            if (frames.size() >= size_t(count) * 6)
            {
                const D3DXVECTOR3 tangent(&frames[size_t(v) * 6]), binormal(&frames[size_t(v) * 6 + 3]);
                D3DXVec3TransformNormal(&out.tangent, &tangent, &normalMatrix);
                D3DXVec3TransformNormal(&out.binormal, &binormal, &normalMatrix);
            }
            ReadBlendRecord(&weights[size_t(v) * 16], &out);
        }
    }

    if (object->GetMeshCount() == 0)
        return;
    for (const FileStorage::BoneRef& bone : object->GetMesh(0)->GetBones())
    {
        Object* boneObject = m_pScene ? m_pScene->FindObject(bone.objectName) : nullptr;
        if (!boneObject)
        {
            g_Log.Printf("Error: can't find bone object %s\n", bone.objectName.c_str());
            continue;
        }
        if (boneObject->GetTypeId() == OBJECT_TYPE_GEOM)
            static_cast<GeomObject*>(boneObject)->SetVisible(false);
        m_Skeleton.RegisterBone(bone.index, boneObject, bone.objectName);
    }
}

void SkeletalAnimationModifier::Apply(Object* object)
{
    if (!object || object->GetTypeId() != OBJECT_TYPE_GEOM)
        return;
    GeomObject* geom = static_cast<GeomObject*>(object);
    if (!m_bSetUp ||
        (geom->GetMeshCount() > 0 && (m_Meshes.empty() || m_Meshes[0].size() < geom->GetMesh(0)->GetVertexCount())))
        SetUp(geom);
    if (!m_bEnabled)
        return;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    geom->SetWorldMatrix(identity); // the vertices are written in world space
    if (geom->IsStatic())
        geom->MakeDynamic();
    if (m_Timer.GetTime() < 0.001f)
        return;
    m_Timer.SetTime(0);
    m_Skeleton.UpdateMatrices();

    for (size_t i = 0; i < m_Meshes.size() && i < geom->GetMeshCount(); ++i)
    {
        const std::vector<SkinVertex>& list = m_Meshes[i];
        Mesh* mesh = geom->GetMesh(i);
        if (list.empty() || list.size() != mesh->GetVertexCount())
            continue;
        const uint32_t stride = mesh->GetStride();
        std::vector<uint8_t> vertices = mesh->GetVertexData();
        const bool hasFrames = !mesh->GetTangentData(mesh->IsSmoothedInBuffer()).empty();
        std::vector<float> frames(hasFrames ? list.size() * 6 : 0);
        SkinVertex skinned;
        for (size_t v = 0; v < list.size(); ++v)
        {
            m_Skeleton.Skin(list[v], m_bSkinNormals, &skinned);
            uint8_t* dst = &vertices[v * stride];
            std::memcpy(dst, &skinned.position, 12);
            if (m_bSkinNormals)
                std::memcpy(dst + 12, &skinned.normal, 12);
            if (hasFrames)
            {
                std::memcpy(&frames[v * 6], &skinned.tangent, 12);
                std::memcpy(&frames[v * 6 + 3], &skinned.binormal, 12);
            }
        }
        mesh->WriteVertices(vertices, hasFrames ? &frames : nullptr);
    }
}
