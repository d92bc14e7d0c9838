#include "ObjectModifiers.h"

#include <cstring>

#include "Log.h"
#include "Object.h"

void CRotationModifier::Apply(Object* object)
{
    m_Angle += m_Speed * m_Timer.GetDelta();
    D3DXMATRIX r;
    switch (m_Axis)
    {
    case AXIS_X:
        D3DXMatrixRotationX(&r, m_Angle);
        break;
    case AXIS_Y:
        D3DXMatrixRotationY(&r, m_Angle);
        break;
    case AXIS_Z:
        D3DXMatrixRotationZ(&r, m_Angle);
        break;
    default:
        D3DXMatrixIdentity(&r);
        break;
    }
    const D3DXMATRIX& w = object->GetWorldMatrix();
    D3DXMATRIX out;
    switch (m_Mode)
    {
    case 0:
        D3DXMatrixMultiply(&out, &r, &w);
        break;
    case 1:
        D3DXMatrixMultiply(&out, &w, &r);
        break;
    case 2:
    {
        D3DXMATRIX parent, lr;
        D3DXMatrixIdentity(&parent);
        if (object->GetParent())
            parent = object->GetParent()->GetWorldMatrix();
        D3DXMatrixMultiply(&lr, &object->GetLocalMatrix(), &r);
        D3DXMatrixMultiply(&out, &lr, &parent);
        break;
    }
    default:
        return;
    }
    object->SetWorldMatrix(out);
    if (object->IsStatic())
        object->MakeDynamic();
}

void CLODRange::SetDistances(float noFade, float fade)
{
    m_NoFadeDistance = noFade;
    if (fade != 0)
        m_FadeDistance = fade;
}

void ReadBlendRecord(const uint8_t* record, SkinVertex* vertex)
{
    float w[4];
    std::memcpy(w, record, 12);
    w[3] = 1.0f - (w[0] + w[1] + w[2]);
    vertex->weights.clear();
    vertex->bones.clear();
    float sum = 0;
    for (int i = 0; i < 4; ++i)
    {
        const uint8_t bone = record[12 + i];
        if (bone == 0xFF)
            continue;
        vertex->weights.push_back(w[i]);
        vertex->bones.push_back(bone);
        sum += w[i];
    }
    // Nothing to divide by: the vertex stays where it was bound.
    if (!(sum > 1e-6f || sum < -1e-6f))
    {
        vertex->weights.clear();
        vertex->bones.clear();
        return;
    }
    for (float& weight : vertex->weights)
        weight /= sum;
}

CSkeleton::CSkeleton()
{
    Clear();
}

void CSkeleton::Clear()
{
    for (int i = 0; i < kMaxBones; ++i)
    {
        m_Bones[i] = nullptr;
        D3DXMatrixIdentity(&m_InverseBind[i]);
        D3DXMatrixIdentity(&m_Skin[i]);
        D3DXMatrixIdentity(&m_Normal[i]);
    }
}

bool CSkeleton::RegisterBone(uint32_t index, Object* bone, const std::string& name)
{
    if (index >= uint32_t(kMaxBones))
    {
        g_Log.Printf("Error: bone %s with index %u is out of range!\n", name.c_str(), index);
        return false;
    }
    if (m_Bones[index])
    {
        g_Log.Printf("Error: bone %s with index %i is already present!\n", name.c_str(), int(index));
        return false;
    }
    m_Bones[index] = bone;
    D3DXMatrixInverse(&m_InverseBind[index], nullptr, &bone->GetWorldMatrix());
    return true;
}

void CSkeleton::UpdateMatrices()
{
    for (int i = 0; i < kMaxBones; ++i)
    {
        if (!m_Bones[i])
            continue;
        D3DXMatrixMultiply(&m_Skin[i], &m_InverseBind[i], &m_Bones[i]->GetWorldMatrix());
        D3DXMATRIX inverse;
        D3DXMatrixInverse(&inverse, nullptr, &m_Skin[i]);
        D3DXMatrixTranspose(&m_Normal[i], &inverse);
    }
}

void CSkeleton::Skin(const SkinVertex& in, bool skinNormals, SkinVertex* out) const
{
    out->position = in.position;
    out->normal = in.normal;
    out->tangent = in.tangent;
    out->binormal = in.binormal;
    D3DXVECTOR3 p(0, 0, 0), n(0, 0, 0), t(0, 0, 0), b(0, 0, 0);
    float total = 0;
    for (size_t i = 0; i < in.weights.size(); ++i)
    {
        const int bone = in.bones[i];
        if (bone < 0 || bone >= kMaxBones || !m_Bones[bone])
            continue;
        const float w = in.weights[i];
        total += w;
        D3DXVECTOR3 v;
        p += *D3DXVec3TransformCoord(&v, &in.position, &m_Skin[bone]) * w;
        if (!skinNormals)
            continue;
        n += *D3DXVec3TransformNormal(&v, &in.normal, &m_Normal[bone]) * w;
        t += *D3DXVec3TransformNormal(&v, &in.tangent, &m_Normal[bone]) * w;
        b += *D3DXVec3TransformNormal(&v, &in.binormal, &m_Normal[bone]) * w;
    }
    if (!(total > 1e-6f || total < -1e-6f))
        return;
    const float scale = 1.0f / total;
    out->position = p * scale;
    if (!skinNormals)
        return;
    out->normal = n * scale;
    out->tangent = t * scale;
    out->binormal = b * scale;
}
