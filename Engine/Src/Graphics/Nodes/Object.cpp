// The scene node: hierarchy, keyframe playback, timed callbacks, billboards.
#include "Object.h"

#include <cmath>

#include "Camera.h"
#include "FileStorage.h"
#include "Log.h"
#include "MathUtils.h"
#include "ObjectModifier.h"

Camera* g_CurrentCamera = nullptr;

namespace
{
const float kTimeEpsilon = 0.00001f;
const D3DXVECTOR3 kUnitZ(0, 0, 1);

D3DXMATRIX Identity()
{
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

D3DXVECTOR3 Normalized(const D3DXVECTOR3& v)
{
    D3DXVECTOR3 n;
    D3DXVec3Normalize(&n, &v);
    return n;
}

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    D3DXVECTOR3 c;
    D3DXVec3Cross(&c, &a, &b);
    return c;
}

D3DXVECTOR3 Translation(const D3DXMATRIX& m)
{
    return D3DXVECTOR3(m._41, m._42, m._43);
}

// The rotation whose rows are a, b and c.
D3DXMATRIX RowsMatrix(const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& c)
{
    return D3DXMATRIX(a.x, a.y, a.z, 0, b.x, b.y, b.z, 0, c.x, c.y, c.z, 0, 0, 0, 0, 1);
}

float Distance(const D3DXMATRIX& m, float x, float y, float z)
{
    const float dx = m._41 - x, dy = m._42 - y, dz = m._43 - z;
    const float sq = dx * dx + dy * dy + dz * dz;
    return sq == 0.0f ? 0.0f : SqrtTable::Sqrt(sq);
}
} // namespace

D3DXMATRIX LerpMatrix(const D3DXMATRIX& a, const D3DXMATRIX& b, float f)
{
    D3DXMATRIX r;
    const float* pa = a;
    const float* pb = b;
    float* pr = r;
    for (int i = 0; i < 16; ++i)
        pr[i] = pa[i] + (pb[i] - pa[i]) * f;
    return r;
}

Object::Object(const std::string& name)
    : m_BlendSource(Identity()), m_Name(name), m_Local(Identity()), m_World(Identity())
{
}

Object::~Object() = default;

void Object::LoadFromStream(const std::string& name, FileStorage::CMemoryStream& stream)
{
    m_Name = name;
    m_FrameTime = 1.0f / 30.0f;
    m_ParentName = stream.ReadString();
    m_bCylindricalBillboard = true;
    m_bUpAlignedBillboard = name.compare(0, 3, "bb3") == 0;
    if (m_bUpAlignedBillboard)
        m_bBillboard = true;
    m_AnimationRange[0] = stream.ReadU32();
    m_AnimationRange[1] = stream.ReadU32();
    const uint16_t keyCount = stream.ReadU16();
    for (uint16_t i = 0; i < keyCount; ++i)
    {
        const uint32_t ms = stream.ReadU32();
        D3DXMATRIX m;
        stream.ReadMatrix(m);
        AddKey(ms, m);
    }
    if (!m_Keys.empty())
        m_Local = m_Keys[0].matrix;
}

void Object::AddKey(uint32_t milliseconds, const D3DXMATRIX& matrix)
{
    m_Keys.push_back(MatrixKey{milliseconds * 0.001f, matrix});
}

bool Object::AttachChild(Object* child)
{
    for (const Object* o = this; o; o = o->m_pParent)
        if (o == child)
        {
            g_Log.Printf("Object \"%s\": parent \"%s\" would make a cycle; left without a parent\n",
                         child->m_Name.c_str(), m_Name.c_str());
            return false;
        }
    m_bHasChildren = true;
    child->m_pParent = this;
    child->m_ParentName = m_Name;
    m_Children.push_back(child);
    return true;
}

void Object::AddTimedCallback(float time, TimedCallbackFn callback)
{
    m_TimedCallbacks.push_back(TimedCallback{time, std::move(callback), 0});
}

void Object::AddKeyEvent(uint32_t keyIndex, std::function<void()> function)
{
    m_KeyEvents.push_back(KeyEvent{keyIndex, std::move(function)});
}

void Object::PlayAnimation(uint32_t startMs, uint32_t endMs, uint32_t offsetMs, float speed, int32_t loops,
                           bool recursive, bool restAtStart)
{
    if (m_Keys.size() > 1 && startMs != endMs)
    {
        // A range that ends before it starts runs from the start to the last
        // key and on for the rest; it may come to nothing, which cannot play.
        const float duration = endMs > startMs ? (endMs - startMs) * 0.001f
                                               : m_Keys.back().time - (startMs - endMs) * 0.001f;
        if (duration > 0)
        {
            m_LoopCount = loops;
            m_RangeStart = startMs * 0.001f;
            m_Duration = duration;
            m_LocalTimer.SetSpeed(speed);
            m_bPlaying = true;
            m_CurrentKey = 0;
            m_LocalTimer.SetTime(offsetMs * 0.001f);
            m_LastAnimationTime = m_RangeStart;
            m_bRestAtStart = restAtStart;
            m_BlendDuration = 0;
            m_bBlendingIn = false;
        }
        else
            g_Log.Printf("Object \"%s\": animation range %u-%u has no duration; not played\n", m_Name.c_str(),
                         startMs, endMs);
    }
    if (recursive)
        for (Object* child : m_Children)
            if (child->m_bFollowsParentPlay)
                child->PlayAnimation(startMs, endMs, offsetMs, speed, loops, recursive, restAtStart);
    if (m_bStatic)
        MakeDynamic();
}

void Object::BlendIn(float seconds)
{
    if (!m_bPlaying || seconds <= 0)
        return;
    m_bBlendingIn = true;
    m_BlendDuration = seconds;
    m_BlendSource = m_Local;
}

bool Object::IsAnimating() const
{
    if (m_bPlaying)
        return true;
    for (const Object* child : m_Children)
        if (child->IsAnimating())
            return true;
    return false;
}

void Object::SetChildrenAnimationSpeed(float speed)
{
    for (Object* child : m_Children)
    {
        child->m_LocalTimer.SetSpeed(speed);
        child->SetChildrenAnimationSpeed(speed);
    }
}

void Object::MakeDynamic()
{
    m_bStatic = false;
    for (Object* child : m_Children)
        child->MakeDynamic();
}

void Object::UpdateWorldMatrix(const D3DXMATRIX& parentWorld)
{
    if (m_bStatic)
        return;
    if (m_bPlaying)
        AdvanceAnimation();
    m_World = m_Local * parentWorld;
    if (m_bBillboard && g_CurrentCamera)
        TurnBillboard();
}

void Object::AdvanceAnimation()
{
    float t = m_LocalTimer.GetTime();
    if (std::fabs(m_LastTimerReading - t) <= kTimeEpsilon)
        return;
    m_LastTimerReading = t;
    float elapsed = 0;
    if (m_bBlendingIn && t > m_BlendDuration)
    {
        m_LocalTimer.SetTime(t - m_BlendDuration);
        m_bBlendingIn = false;
        m_BlendDuration = 0;
        m_BlendSource = Identity();
        t = m_LocalTimer.GetTime();
        m_LastTimerReading = t;
    }
    if (!m_bBlendingIn)
    {
        elapsed = std::fmod(t, m_Duration);
        if (m_LoopCount != -1 && std::floor(t / m_Duration) >= m_LoopCount)
        {
            m_bPlaying = false;
            elapsed = m_bRestAtStart ? 0 : m_Duration;
        }
    }
    const float cur = m_RangeStart + elapsed;
    FireTimedCallbacks(cur);
    ApplyKeys(cur);
}

void Object::FireTimedCallbacks(float cur)
{
    FireCallbacksBetween(m_TimedCallbacks, m_LastAnimationTime, cur, m_RangeStart, m_RangeStart + m_Duration, this);
    m_LastAnimationTime = cur;
}

void Object::FireCallbacksBetween(const std::vector<TimedCallback>& callbacks, float last, float cur,
                                  float rangeStart, float rangeEnd, Object* object)
{
    // By index: a callback may add callbacks.
    for (size_t i = 0; i < callbacks.size(); ++i)
    {
        const float T = callbacks[i].time;
        if (T < rangeStart || T > rangeEnd)
            continue;
        const bool forward = last < cur && last < T && T <= cur;
        const bool wrapped = cur < last && (T > last || T <= cur);
        if (forward || wrapped || T == cur)
        {
            const TimedCallback c = callbacks[i];
            c.callback(c.argument, object, cur);
        }
    }
}

void Object::ApplyKeys(float cur)
{
    const size_t n = m_Keys.size();
    if (n < 2 || cur < m_Keys[0].time || cur > m_Keys[n - 1].time)
        return;
    uint32_t i = m_CurrentKey < n - 1 ? m_CurrentKey : 0;
    const uint32_t start = i;
    while (!(m_Keys[i].time <= cur && cur <= m_Keys[i + 1].time))
    {
        i = (i + 1 >= n - 1) ? 0 : i + 1;
        if (i == start)
            return;
    }
    const float span = m_Keys[i + 1].time - m_Keys[i].time;
    float f = span > 0 ? (cur - m_Keys[i].time) / span : 0.0f; // two keys at one time: no division by 0
    const D3DXMATRIX* source = &m_Keys[i].matrix;
    if (m_bBlendingIn)
    {
        f = m_BlendDuration > 0 ? m_LastTimerReading / m_BlendDuration : 1.0f;
        f = f < 0 ? 0 : (f > 1 ? 1 : f);
        source = &m_BlendSource;
    }
    m_Local = LerpMatrix(*source, m_Keys[i + 1].matrix, f);
    m_CurrentKey = i;
    for (size_t e = 0; e < m_KeyEvents.size(); ++e)
        if (m_KeyEvents[e].keyIndex == i)
            m_KeyEvents[e].function();
}

void Object::TurnBillboard()
{
    Camera* camera = g_CurrentCamera;
    D3DXMATRIX& W = m_World;
    D3DXMATRIX inverse;
    if (m_bUpAlignedBillboard)
    {
        if (!D3DXMatrixInverse(&inverse, nullptr, &W))
            return;
        const D3DXVECTOR3 P = Translation(camera->GetWorldMatrix());
        const float d = D3DXVec3Length(&P);
        const D3DXMATRIX& view = camera->GetView();
        const D3DXVECTOR3 Q = P + D3DXVECTOR3(view._12, view._22, view._32) * d;
        D3DXVECTOR3 p, q;
        D3DXVec3TransformCoord(&p, &P, &inverse);
        D3DXVec3TransformCoord(&q, &Q, &inverse);
        const D3DXVECTOR3 A = Normalized(Cross(kUnitZ, Normalized(q - p)));
        const D3DXVECTOR3 B = Normalized(Cross(kUnitZ, A));
        W = RowsMatrix(A, B, kUnitZ) * W;
    }
    else if (m_bCylindricalBillboard)
    {
        if (!D3DXMatrixInverse(&inverse, nullptr, &W))
            return;
        const D3DXMATRIX C = camera->GetWorldMatrix() * inverse;
        const D3DXVECTOR3 D = Normalized(D3DXVECTOR3(C._41, C._42, 0));
        const D3DXVECTOR3 S = Normalized(Cross(D, kUnitZ));
        W = RowsMatrix(S, D, kUnitZ) * W;
    }
    else
    {
        const D3DXVECTOR3 D = Normalized(Translation(camera->GetWorldMatrix()) - Translation(W));
        const D3DXVECTOR3 U = camera->GetUpVector();
        const D3DXVECTOR3 X = Normalized(Cross(D, U));
        const D3DXVECTOR3 Y = Normalized(Cross(X, D));
        D3DXMATRIX T, S, R;
        DecomposeMatrix(W, &T, &S, &R);
        W = RowsMatrix(X, D, Y) * S * T;
    }
}

void Object::UpdateHierarchy()
{
    for (ObjectModifier* modifier : m_Modifiers)
        modifier->Apply(this);
    if (!m_bHasChildren)
        return;
    for (Object* child : m_Children)
    {
        child->UpdateAnimation();
        child->UpdateWorldMatrix(m_World);
        child->UpdateHierarchy();
    }
}

float Object::DistanceToLocal(float x, float y, float z) const
{
    return Distance(m_Local, x, y, z);
}

float Object::DistanceToWorld(float x, float y, float z) const
{
    return Distance(m_World, x, y, z);
}

void Object::DecomposeMatrix(const D3DXMATRIX& m, D3DXMATRIX* translation, D3DXMATRIX* scale, D3DXMATRIX* rotation)
{
    D3DXMatrixTranslation(translation, m._41, m._42, m._43);
    D3DXVECTOR3 rows[3];
    float lengths[3];
    for (int r = 0; r < 3; ++r)
    {
        rows[r] = D3DXVECTOR3(m.m[r][0], m.m[r][1], m.m[r][2]);
        lengths[r] = D3DXVec3Length(&rows[r]);
    }
    D3DXMatrixScaling(scale, lengths[0], lengths[1], lengths[2]);
    *rotation = RowsMatrix(Normalized(rows[0]), Normalized(rows[1]), Normalized(rows[2]));
}
