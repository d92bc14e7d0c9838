#pragma once
// The preview inside the display settings: the built-in picture stretched
// over a child window of the window Windows hands over.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include "ComRef.h"
#include "WindowBase.h"

class CPreviewWnd : public CWindowImplBase
{
public:
    CPreviewWnd() = default;

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Loads the "JPEGFILE" resource `id`; on failure the window keeps none.
    HRESULT LoadPicture(UINT id);
    bool HasPicture() const { return m_pPicture != nullptr; }

private:
    void OnPaint();

    ComRef<IPicture> m_pPicture;
    OLE_XSIZE_HIMETRIC m_Width = 0;
    OLE_YSIZE_HIMETRIC m_Height = 0;
};
