#include "PreviewWnd.h"

#include <cstring>
#include <utility>

BOOL CPreviewWnd::ProcessWindowMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT& result)
{
    switch (message)
    {
    case WM_PAINT:
        OnPaint();
        result = 0;
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        result = 1;
        return TRUE;
    default: return FALSE;
    }
}

HRESULT CPreviewWnd::LoadPicture(UINT id)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(id), "JPEGFILE");
    const DWORD size = info ? SizeofResource(module, info) : 0;
    HGLOBAL resource = size ? LoadResource(module, info) : nullptr;
    const void* bytes = resource ? LockResource(resource) : nullptr;
    if (!bytes)
        return E_FAIL;

    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block)
        return E_FAIL;
    void* target = GlobalLock(block);
    if (!target)
    {
        GlobalFree(block);
        return E_FAIL;
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(block);

    ComRef<IStream> stream;
    HRESULT hr = CreateStreamOnHGlobal(block, TRUE, stream.Put());
    if (FAILED(hr))
    {
        GlobalFree(block);
        return hr;
    }
    ComRef<IPicture> picture;
    hr = OleLoadPicture(stream, LONG(size), FALSE, IID_IPicture, picture.PutVoid());
    stream.Reset();
    if (FAILED(hr) || !picture)
        return E_FAIL;
    m_pPicture = std::move(picture);
    m_pPicture->get_Width(&m_Width);
    m_pPicture->get_Height(&m_Height);
    return S_OK;
}

void CPreviewWnd::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    RECT client;
    GetClientRect(m_hWnd, &client);
    if (m_pPicture && dc)
        m_pPicture->Render(dc, 0, 0, client.right - client.left, client.bottom - client.top, 0, m_Height, m_Width,
                           -m_Height, nullptr);
    EndPaint(m_hWnd, &paint);
}
