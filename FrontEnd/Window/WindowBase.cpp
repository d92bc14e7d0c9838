#include "WindowBase.h"

#include <string>
#include <typeinfo>

#include "Log.h"

CWindowModule g_Module;

int CMessageLoop::Run()
{
    MSG msg;
    for (;;)
    {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0)
            return int(msg.wParam);
        if (got == -1)
            return -1;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

HRESULT CWindowModule::Init(HINSTANCE instance)
{
    m_hInstance = instance;
    return S_OK;
}

void CWindowModule::Term()
{
    m_pLoop = nullptr;
}

bool CWindowModule::AddMessageLoop(CMessageLoop* loop)
{
    if (m_pLoop)
        return false;
    m_pLoop = loop;
    return true;
}

bool CWindowModule::RemoveMessageLoop()
{
    const bool had = m_pLoop != nullptr;
    m_pLoop = nullptr;
    return had;
}

CWindowImplBase::~CWindowImplBase()
{
    if (m_hWnd && IsWindow(m_hWnd))
    {
        // The object goes first: the window must not call into it any more.
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hWnd);
    }
}

WNDPROC CWindowImplBase::GetWindowProc()
{
    return &CWindowImplBase::WindowProc;
}

void CWindowImplBase::OnFinalMessage(HWND)
{
}

void CWindowImplBase::GetClassRecord(WNDCLASSEXA& record) const
{
    record.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    record.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    record.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512) /* IDC_ARROW */);
    record.hIcon = nullptr;
}

HWND CWindowImplBase::Create(HWND parent, const RECT& rect, const char* title, DWORD style, DWORD exStyle, UINT id)
{
    HINSTANCE instance = g_Module.GetInstance() ? g_Module.GetInstance() : GetModuleHandleA(nullptr);
    const std::string className = std::string("Tarnholm:") + typeid(*this).name();
    WNDCLASSEXA record;
    ZeroMemory(&record, sizeof record);
    record.cbSize = sizeof record;
    if (!GetClassInfoExA(instance, className.c_str(), &record))
    {
        ZeroMemory(&record, sizeof record);
        record.cbSize = sizeof record;
        GetClassRecord(record);
        record.lpfnWndProc = &CWindowImplBase::StartWindowProc;
        record.hInstance = instance;
        record.lpszClassName = className.c_str();
        if (!RegisterClassExA(&record))
        {
            g_Log.Printf("Window class \"%s\" could not be registered\n", className.c_str());
            return nullptr;
        }
    }
    if (!style)
        style = GetDefaultStyle();
    return CreateWindowExA(exStyle, className.c_str(), title ? title : "", style, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, parent,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), instance, this);
}

LRESULT CALLBACK CWindowImplBase::StartWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
    {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        auto* self = static_cast<CWindowImplBase*>(create->lpCreateParams);
        self->m_hWnd = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(self->GetWindowProc()));
        return self->GetWindowProc()(window, message, wParam, lParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK CWindowImplBase::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CWindowImplBase*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(window, message, wParam, lParam);
    LRESULT result = 0;
    if (self->ProcessWindowMessage(window, message, wParam, lParam, result))
        return result;
    result = DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY)
    {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        self->m_hWnd = nullptr;
        self->OnFinalMessage(window);
    }
    return result;
}

DLGPROC CDialogImplBase::GetDialogProc()
{
    return &CDialogImplBase::DialogProc;
}

void CDialogImplBase::OnFinalMessage(HWND)
{
}

INT_PTR CDialogImplBase::DoModal(HWND owner, UINT templateId)
{
    HINSTANCE instance = g_Module.GetInstance() ? g_Module.GetInstance() : GetModuleHandleA(nullptr);
    return DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner, GetDialogProc(),
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialogImplBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialogImplBase* self = nullptr;
    if (message == WM_INITDIALOG)
    {
        self = reinterpret_cast<CDialogImplBase*>(lParam);
        self->m_hWnd = window;
        SetWindowLongPtrA(window, DWLP_USER, lParam);
    }
    else
        self = reinterpret_cast<CDialogImplBase*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!self)
        return FALSE;

    LRESULT result = 0;
    const BOOL handled = self->ProcessWindowMessage(window, message, wParam, lParam, result);
    if (message == WM_NCDESTROY)
    {
        SetWindowLongPtrA(window, DWLP_USER, 0);
        self->m_hWnd = nullptr;
        self->OnFinalMessage(window);
    }
    if (!handled)
        return FALSE;
    if (message == WM_INITDIALOG)
        return INT_PTR(result);
    SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
    return TRUE;
}
