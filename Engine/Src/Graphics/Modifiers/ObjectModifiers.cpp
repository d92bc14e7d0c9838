#include "ObjectModifiers.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Log.h"
#include "MathUtils.h"
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

std::vector<RestVertex> MakeRestVertices(const std::vector<D3DXVECTOR3>& positions, int power)
{
    std::vector<RestVertex> rest(positions.size());
    float largest = 0;
    for (size_t i = 0; i < positions.size(); ++i)
    {
        rest[i].position = positions[i];
        rest[i].distance = D3DXVec3Length(&positions[i]);
        largest = std::max(largest, rest[i].distance);
    }
    if (largest > 0)
        for (RestVertex& r : rest)
            r.weight = std::pow(r.distance / largest, float(power));
    return rest;
}

void CVertexWave::SetUp(const std::vector<std::vector<D3DXVECTOR3>>& meshes)
{
    m_bSetUp = true;
    m_Rest.clear();
    for (const std::vector<D3DXVECTOR3>& positions : meshes)
        m_Rest.push_back(MakeRestVertices(positions, 2));
}

float CVertexWave::GetFade(float distance) const
{
    if (!m_bDistanceFade || distance < m_FadeStart)
        return 1;
    if (distance >= m_FadeEnd)
        return -1;
    return (m_FadeEnd - distance) / (m_FadeEnd - m_FadeStart);
}

void CVertexWave::Wave(const std::vector<RestVertex>& rest, float time, float fade,
                              std::vector<D3DXVECTOR3>* out) const
{
    out->resize(rest.size());
    const double m = double(m_TimeOffset) + double(m_TimeScale) * double(time);
    for (size_t i = 0; i < rest.size(); ++i)
    {
        const D3DXVECTOR3& p = rest[i].position;
        const D3DXVECTOR3 q = p * m_Frequency;
        const float share = fade * (m_bUseWeights ? rest[i].weight : 1.0f);
        (*out)[i] = D3DXVECTOR3(p.x + share * float(PerlinNoise3(q.y, q.z, m)) * m_Amplitude.x,
                                p.y + share * float(PerlinNoise3(q.x, q.z, m)) * m_Amplitude.y,
                                p.z + share * float(PerlinNoise3(q.x, q.y, m)) * m_Amplitude.z);
    }
}

CVertexJitter::CVertexJitter()
    : m_Random([] { return float(std::rand()) / float(RAND_MAX); })
{
}

void CVertexJitter::SetUp(const std::vector<std::vector<D3DXVECTOR3>>& meshes, uint32_t nowMs)
{
    m_bSetUp = true;
    m_Rest.clear();
    m_State.clear();
    JitterAxis start;
    start.lastMs = nowMs;
    for (const std::vector<D3DXVECTOR3>& positions : meshes)
    {
        m_Rest.push_back(MakeRestVertices(positions, 1));
        m_State.emplace_back(positions.size(), std::array<JitterAxis, 3>{start, start, start});
    }
}

void CVertexJitter::StepAxis(JitterAxis& a, int axis, float weight, uint32_t nowMs)
{
    // A clock set back moves nothing rather than everything.
    const uint32_t elapsed = nowMs >= a.lastMs ? nowMs - a.lastMs : 0;
    a.lastMs = nowMs;
    const bool up = a.target >= 0;
    a.offset += (up ? 1.0f : -1.0f) * float(elapsed) * a.speed;
    if (up ? a.offset < a.target : a.offset > a.target)
        return;
    // Arrived: head for the other side.
    a.offset = a.target;
    const float r = m_Random(), rs = m_Random();
    const float reach = (r * (m_MaxAmplitude[axis] - m_MinAmplitude[axis]) + m_MinAmplitude[axis]) * weight;
    a.target = up ? -reach : reach;
    a.speed = (rs * (m_MaxSpeed[axis] - m_MinSpeed[axis]) + m_MinSpeed[axis]) * weight;
}

void CVertexJitter::Step(uint32_t nowMs)
{
    for (size_t m = 0; m < m_State.size(); ++m)
        for (size_t v = 0; v < m_State[m].size(); ++v)
            for (int axis = 0; axis < 3; ++axis)
                if (m_AxisEnabled[axis])
                    StepAxis(m_State[m][v][axis], axis, m_Rest[m][v].weight, nowMs);
}

void CVertexJitter::GetPositions(size_t mesh, std::vector<D3DXVECTOR3>* out) const
{
    out->clear();
    if (mesh >= m_Rest.size())
        return;
    out->resize(m_Rest[mesh].size());
    for (size_t v = 0; v < m_Rest[mesh].size(); ++v)
    {
        const std::array<JitterAxis, 3>& s = m_State[mesh][v];
        (*out)[v] = m_Rest[mesh][v].position + D3DXVECTOR3(s[0].offset, s[1].offset, s[2].offset);
    }
}
