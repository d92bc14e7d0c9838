#pragma once
// Programs on the framework that stand in for the screensaver end on any
// key, as the screensaver does.
#include <windows.h>

#include "Log.h"

template <class Base> class CCloseOnKey : public Base
{
public:
    LRESULT MsgProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_KEYDOWN && this->m_bReady)
        {
            g_Log.Printf("Key pressed, closing\n");
            this->m_bActive = FALSE;
            PostMessageA(hWnd, WM_CLOSE, 0, 0);
            return 0;
        }
        return Base::MsgProc(hWnd, msg, wParam, lParam);
    }
};
