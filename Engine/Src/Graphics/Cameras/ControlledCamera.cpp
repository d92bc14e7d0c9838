#include "ControlledCamera.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "FileReplace.h"
#include "Log.h"

namespace
{
const float kPitchLimit = 1.5607964f;
const float kHalfPi = 1.5707964f;
} // namespace

const char* const CControlledCamera::kStatesFile = "ControlledCameraStates.bin";

CControlledCamera::CControlledCamera() : Camera("ControlledCamera")
{
    SetFov(1.0471976f);
    SetNear(2.0f);
    SetFar(70000.0f);
}

CControlledCamera::~CControlledCamera()
{
    if (m_bSaveStates)
        SaveStates(kStatesFile);
}

bool CControlledCamera::LoadStates(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    const size_t expected = kControlledCameraStateCount * kControlledCameraRecordSize;
    uint8_t data[expected + 1];
    const size_t size = std::fread(data, 1, sizeof(data), f);
    std::fclose(f);
    const int read = ReadControlledCameraStates(data, size < expected ? size : expected, m_States);
    int usable = 0;
    bool damaged = size != expected;
    for (int i = 0; i < read; ++i)
    {
        const uint8_t stored = data[i * kControlledCameraRecordSize + 44];
        damaged = damaged || stored > 1 || (stored == 1 && !m_States[i].valid);
        usable += m_States[i].valid ? 1 : 0;
    }
    if (damaged)
    {
        // The file is written back on exit: the user's file is moved aside
        // first, so that nothing they stored is lost without a copy.
        const std::string kept = path + ".bad";
        std::remove(kept.c_str());
        const bool moved = std::rename(path.c_str(), kept.c_str()) == 0;
        if (!moved)
            m_bSaveStates = false;
        g_Log.Printf("Camera states file \"%s\" is damaged (%u bytes, %d stored views usable); %s\n", path.c_str(),
                     unsigned(size), usable,
                     moved ? ("it is kept as \"" + kept + "\" and the other views start from the scene's camera").c_str()
                           : "it can't be moved aside, so it is not written back");
    }
    return true;
}

bool CControlledCamera::SaveStates(const std::string& path) const
{
    uint8_t data[kControlledCameraStateCount * kControlledCameraRecordSize];
    WriteControlledCameraStates(m_States, data);
    return WriteFileReplacing(path, [&data](FILE* f) { return std::fwrite(data, 1, sizeof(data), f) == sizeof(data); });
}

D3DXVECTOR3 CControlledCamera::GetPosition() const
{
    return m_bSwapYZ ? D3DXVECTOR3(m_Position.x, m_Position.z, m_Position.y) : m_Position;
}

void CControlledCamera::SetPosition(float x, float y, float z)
{
    m_Position = D3DXVECTOR3(x, y, z);
}

void CControlledCamera::UpdateView()
{
    D3DXMATRIX r, t, b, rt, all;
    D3DXMatrixRotationYawPitchRoll(&r, m_Yaw, m_Pitch, 0);
    D3DXMatrixTranslation(&t, m_Position.x, m_Position.y, m_Position.z);
    // From the camera's Y-up space to the Z-up scene.
    D3DXMatrixRotationX(&b, -kHalfPi);
    b._13 = -b._13;
    b._23 = -b._23;
    b._33 = -b._33;
    b._43 = -b._43;
    D3DXMatrixMultiply(&rt, &r, &t);
    D3DXMatrixMultiply(&all, &rt, &b);
    D3DXMatrixInverse(&m_View, nullptr, &all);
    if (m_bMirror)
        m_View = m_MirrorReflection * m_View * m_MirrorScale;
    m_Up = D3DXVECTOR3(m_View._12, m_View._22, m_View._32);
    D3DXMatrixTranslation(&m_World, m_Position.x, m_Position.z, m_Position.y);
}

bool CControlledCamera::IsControlKey(int key) const
{
    if (key == 1 || key == 17 || key == 20 || (key >= '0' && key <= '9') || key == 255)
        return true;
    if (m_bLetterKeys)
        return key == 'A' || key == 'D' || key == 'F' || key == 'R' || key == 'S' || key == 'W';
    return key == 35 || (key >= 37 && key <= 40) || key == 45;
}

void CControlledCamera::InitFrom(Camera* reference)
{
    if (m_States[1].valid)
    {
        const ControlledCameraState& s = m_States[1];
        m_Pitch = s.pitch;
        m_Yaw = s.yaw;
        m_Position = D3DXVECTOR3(s.position[0], s.position[1], s.position[2]);
        SetNear(s.nearPlane);
        SetFar(s.farPlane);
        m_MoveSpeed = s.farPlane / 400.0f;
        return;
    }
    if (!reference)
    {
        SetNear(100.0f);
        SetFar(260000.0f);
        return;
    }
    reference->UpdateView();
    m_Projection = reference->GetProjection();
    const D3DXMATRIX& w = reference->GetWorldMatrix();
    m_Position = D3DXVECTOR3(w._41, w._43, w._42);
    if (w._13 > -1 && w._13 < 1)
    {
        m_Pitch = std::atan2(-w._23, w._33) + kHalfPi;
        m_Yaw = std::atan2(-w._12, w._11);
    }
    else if (w._13 >= 1)
    {
        m_Pitch = std::atan2(w._21, w._22) + kHalfPi;
        m_Yaw = 0;
    }
    else
    {
        m_Pitch = kHalfPi - std::atan2(w._21, w._22);
        m_Yaw = 0;
    }
    const D3DXMATRIX& p = m_Projection;
    m_Near = -p._43 / p._33;
    m_Far = m_Near * p._33 / (p._33 - 1);
    m_MoveSpeed = m_Far / 200.0f;
}

void CControlledCamera::Step(const ControlledCameraInput& in)
{
    const float s = in.capsLock ? m_MoveSpeed * 0.2f : m_MoveSpeed;
    if (in.leftButton)
    {
        m_Yaw += in.dx * 0.002f;
        m_Pitch += in.dy * 0.002f;
        m_Pitch = std::fmax(-kPitchLimit, std::fmin(kPitchLimit, m_Pitch));
    }
    D3DXMATRIX rx, ry, m;
    D3DXMatrixRotationX(&rx, m_Pitch);
    D3DXMatrixRotationY(&ry, m_Yaw);
    D3DXMatrixMultiply(&m, &rx, &ry);
    // Forward, right and up of the current angles.
    D3DXVECTOR3 f, side, up;
    const D3DXVECTOR3 z(0, 0, 1), y(0, 1, 0);
    D3DXVec3Normalize(&f, D3DXVec3TransformNormal(&f, &z, &m));
    D3DXVec3Normalize(&side, D3DXVec3Cross(&side, &y, &f));
    D3DXVec3Normalize(&up, D3DXVec3Cross(&up, &side, &f));

    if (in.rightButton)
        m_Position += side * (s * in.dx * 0.3f) + up * (s * in.dy * 0.3f);
    if (in.left)
        m_Position -= side * s;
    else if (in.right)
        m_Position += side * s;
    float d = 0;
    if (in.forward)
        d = 1;
    else if (in.back || in.wheel != 0)
        d = -1;
    if (in.wheel != 0)
        m_Position += f * (s * in.wheel * 0.05f);
    else if (d != 0)
        m_Position += f * (s * d);
    if (in.up)
        m_Position.y += s;
    if (in.down)
        m_Position.y -= s;

    for (int i = 0; i < kControlledCameraStateCount; ++i)
    {
        if (!in.digits[i])
            continue;
        ControlledCameraState& state = m_States[i];
        if (in.ctrl)
        {
            for (int k = 0; k < 3; ++k)
                state.position[k] = m_Position[k];
            state.pitch = m_Pitch;
            state.yaw = m_Yaw;
            state.farPlane = m_Far;
            state.nearPlane = m_Near;
            state.valid = true;
        }
        else if (state.valid)
        {
            m_Pitch = state.pitch;
            m_Yaw = state.yaw;
            m_Near = state.nearPlane;
            m_Far = state.farPlane;
            m_Position = D3DXVECTOR3(state.position[0], state.position[1], state.position[2]);
        }
    }
}

void CRoundControlledCamera::SetOrbit(const D3DXVECTOR3& eye, const D3DXVECTOR3& target, const D3DXVECTOR3& axis,
                                      float angle)
{
    m_Eye = eye;
    m_Target = target;
    m_Axis = axis;
    m_Angle = angle;
}

void CRoundControlledCamera::UpdateView()
{
    D3DXMATRIX turn;
    D3DXMatrixRotationAxis(&turn, &m_Axis, m_Angle);
    D3DXVECTOR3 offset, eye;
    const D3DXVECTOR3 fromTarget = m_Eye - m_Target;
    D3DXVec3TransformNormal(&offset, &fromTarget, &turn);
    eye = m_Target + offset;

    // Right, up and look: up follows the axis unless the view runs along it.
    D3DXVECTOR3 look = m_Target - eye, up, right;
    D3DXVec3Normalize(&look, &look);
    D3DXVec3Normalize(&up, &m_Axis);
    if (std::fabs(D3DXVec3Dot(&up, &look)) > 0.999f)
        up = std::fabs(look.z) < 0.9f ? D3DXVECTOR3(0, 0, 1) : D3DXVECTOR3(0, 1, 0);
    D3DXVec3Cross(&right, &up, &look);
    D3DXVec3Normalize(&right, &right);
    D3DXVec3Cross(&up, &look, &right);
    D3DXMatrixLookAtLH(&m_View, &eye, &m_Target, &up);
    m_Up = up;
    D3DXMatrixInverse(&m_World, nullptr, &m_View);
}

bool CRoundControlledCamera::IsControlKey(int key) const
{
    return key == 34 || key == 46 || CControlledCamera::IsControlKey(key);
}
