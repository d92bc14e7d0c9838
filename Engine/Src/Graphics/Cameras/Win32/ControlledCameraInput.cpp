#define DIRECTINPUT_VERSION 0x0800
#include <windows.h>

#include <dinput.h>

#include <memory>

#include "ComRef.h"
#include "ControlledCamera.h"
#include "Log.h"

namespace
{
UINT_PTR g_TimerId = 0;
// Released at the end of the process in the reverse of their order here:
// the camera, then the mouse, then DirectInput.
ComRef<IDirectInput8A> g_pDirectInput;
ComRef<IDirectInputDevice8A> g_pMouse;
std::unique_ptr<CControlledCamera> g_pControlledCamera;
bool g_bMouseTried = false;
bool g_bCursorShown = false;

bool Held(int key)
{
    return (GetKeyState(key) & 0xF000) != 0;
}

void CALLBACK OnControlledCameraTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_pControlledCamera)
        g_pControlledCamera->OnTimer();
}

// The instance lives to the end of the process, which saves its states.
struct ControlledCameraRelease
{
    ~ControlledCameraRelease() { CControlledCamera::DestroyInstance(); }
} g_ControlledCameraRelease;
} // namespace

IDirectInput8A* GetDirectInput()
{
    if (!g_pDirectInput &&
        FAILED(DirectInput8Create(GetModuleHandleA(nullptr), 0x0800, IID_IDirectInput8A,
                                  g_pDirectInput.PutVoid(), nullptr)))
    {
        g_Log.Printf("Failed to create DirectInput8\n");
        g_pDirectInput.Detach(); // a failed creation hands back nothing
    }
    return g_pDirectInput;
}

IDirectInputDevice8A* GetDirectInputMouse()
{
    if (!g_pMouse && !g_bMouseTried)
    {
        g_bMouseTried = true;
        IDirectInput8A* input = GetDirectInput();
        if (input && FAILED(input->CreateDevice(GUID_SysMouse, g_pMouse.Put(), nullptr)))
            g_pMouse.Detach(); // a failed creation hands back nothing
    }
    return g_pMouse;
}

void AcquireDirectInputMouse()
{
    IDirectInputDevice8A* mouse = GetDirectInputMouse();
    if (!mouse)
        return;
    if (FAILED(mouse->SetDataFormat(&c_dfDIMouse)) || FAILED(mouse->Acquire()))
        g_Log.Printf("The DirectInput mouse can't be acquired; the free camera turns with the keys only\n");
}

CControlledCamera* CControlledCamera::GetInstance(Camera* reference)
{
    if (g_pControlledCamera)
        return g_pControlledCamera.get();
    g_pControlledCamera = std::make_unique<CControlledCamera>();
    g_pControlledCamera->LoadStates(kStatesFile);
    g_pControlledCamera->InitFrom(reference);
    g_TimerId = SetTimer(nullptr, 0, 20, OnControlledCameraTimer);
    return g_pControlledCamera.get();
}

void CControlledCamera::DestroyInstance()
{
    if (g_TimerId)
        KillTimer(nullptr, g_TimerId);
    g_TimerId = 0;
    // Nothing may draw with the camera once it is gone.
    if (g_CurrentCamera == g_pControlledCamera.get())
        g_CurrentCamera = nullptr;
    g_pControlledCamera.reset();
}

void CControlledCamera::OnTimer()
{
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    ControlledCameraInput in;
    if (m_bLetterKeys)
    {
        in.left = Held('A');
        in.right = Held('D');
        in.forward = Held('W');
        in.back = Held('S');
        in.up = Held('R');
        in.down = Held('F');
    }
    else
    {
        in.left = Held(VK_LEFT);
        in.right = Held(VK_RIGHT);
        in.forward = Held(VK_UP);
        in.back = Held(VK_DOWN);
        in.up = Held(VK_END);
        in.down = Held(VK_INSERT);
    }
    in.capsLock = (GetKeyState(VK_CAPITAL) & 0xF) != 0;
    in.ctrl = Held(VK_CONTROL);
    in.leftButton = Held(VK_LBUTTON);
    in.rightButton = Held(VK_RBUTTON);
    for (int i = 0; i < kControlledCameraStateCount; ++i)
        in.digits[i] = Held('0' + i);
    if (IDirectInputDevice8A* mouse = GetDirectInputMouse())
    {
        DIMOUSESTATE state = {};
        if (SUCCEEDED(mouse->GetDeviceState(sizeof(state), &state)))
        {
            in.dx = state.lX;
            in.dy = state.lY;
            in.wheel = state.lZ;
        }
    }
    if (in.leftButton)
    {
        if (!m_bDragging)
        {
            m_DragAnchor[0] = cursor.x;
            m_DragAnchor[1] = cursor.y;
            m_bDragging = true;
        }
        SetCursorPos(m_DragAnchor[0], m_DragAnchor[1]);
    }
    else
    {
        if (m_bDragging)
            SetCursorPos(m_DragAnchor[0], m_DragAnchor[1]);
        m_bDragging = false;
        if (!g_bCursorShown)
        {
            g_bCursorShown = true;
            ShowCursor(TRUE);
        }
    }
    Step(in);
}
