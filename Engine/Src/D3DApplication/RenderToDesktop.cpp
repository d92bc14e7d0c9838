// Desktop presentation: the desktop settings of the wallpaper mode, the
// video-overlay and GDI renderers and the DirectDraw helpers they use.
#include "RenderToDesktop.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "DirectDrawIds.h"
#include "Log.h"
#include "SettingsTree.h"

namespace {

const char kDesktopKey[] = "Control Panel\\Desktop";

std::string SystemGetWallpaper()
{
    char path[261] = {};
    SystemParametersInfoA(SPI_GETDESKWALLPAPER, 260, path, 0);
    return path;
}

const DesktopSettings kSystemDesktop = {
    [](std::string& text) {
        return SUCCEEDED(ReadRegistryString(HKEY_CURRENT_USER, kDesktopKey, "WallpaperStyle", text, false));
    },
    [](const std::string& text) {
        return SUCCEEDED(WriteRegistryString(HKEY_CURRENT_USER, kDesktopKey, "WallpaperStyle", text, false));
    },
    SystemGetWallpaper,
    [](const std::string& path) {
        return SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, const_cast<char*>(path.c_str()), SPIF_SENDCHANGE) !=
               FALSE;
    },
    [] { return (COLORREF)GetSysColor(COLOR_BACKGROUND); },
    [](COLORREF colour) {
        const INT element = COLOR_BACKGROUND;
        return SetSysColors(1, &element, &colour) != FALSE;
    },
    [] { InvalidateRect(nullptr, nullptr, TRUE); },
};
const DesktopSettings* g_pDesktop = &kSystemDesktop;

// BT.601 luma and colour differences in integers, as the overlay expects.
inline int Luma(int r, int g, int b)
{
    return (r >> 2) + ((65 * g) >> 7) + ((13 * b) >> 7) + 16;
}

} // namespace

void SetDesktopSettings(const DesktopSettings* settings)
{
    g_pDesktop = settings ? settings : &kSystemDesktop;
}

const DesktopSettings& GetDesktopSettings()
{
    return *g_pDesktop;
}

void ConvertFrameToYuv(const BYTE* frame, int frameWidth, int framePitch, BYTE* dest, int destPitch, int width,
                       int height, bool uyvy, bool preconverted)
{
    const int pairs = width / 2;
    const int framePairs = std::min(pairs, frameWidth / 2);
    for (int y = 0; y < height; ++y)
    {
        const BYTE* in = frame + size_t(y) * size_t(framePitch);
        BYTE* out = dest + size_t(y) * size_t(destPitch);
        for (int p = 0; p < pairs; ++p, out += 4)
        {
            int y0 = 16, y1 = 16, u = 128, v = 128; // black beyond the frame
            if (p < framePairs)
            {
                const BYTE* px = in + size_t(p) * 8; // blue, green, red, x of two pixels
                const int b0 = px[0], g0 = px[1], r0 = px[2], b1 = px[4], g1 = px[5], r1 = px[6];
                if (preconverted)
                {
                    u = (b0 + b1) / 2;
                    y0 = r0;
                    v = (g0 + g1) / 2;
                    y1 = r1;
                }
                else
                {
                    y0 = Luma(r0, g0, b0);
                    y1 = Luma(r1, g1, b1);
                    u = (((56 * b0) >> 7) + ((56 * b1) >> 7) - ((19 * r0) >> 7) - ((19 * r1) >> 7) -
                         ((37 * g0) >> 7) - ((37 * g1) >> 7) + 256) /
                        2;
                    v = (((56 * r0) >> 7) + ((56 * r1) >> 7) - ((47 * g0) >> 7) - ((47 * g1) >> 7) -
                         ((9 * b0) >> 7) - ((9 * b1) >> 7) + 256) /
                        2;
                }
            }
            if (uyvy)
            {
                out[0] = BYTE(u);
                out[1] = BYTE(y0);
                out[2] = BYTE(v);
                out[3] = BYTE(y1);
            }
            else
            {
                out[0] = BYTE(y0);
                out[1] = BYTE(u);
                out[2] = BYTE(y1);
                out[3] = BYTE(v);
            }
        }
    }
}

int ComputeOverlayWidth(int frameWidth, int screenWidth, float maxStretch, bool alignRequired, DWORD align,
                        float* stretch)
{
    int width = frameWidth;
    const float factor = frameWidth > 0 ? float(screenWidth) / float(frameWidth) : 1.0f;
    if (stretch)
        *stretch = factor;
    if (maxStretch != 0.0f && factor > maxStretch)
        width = int(float(screenWidth) / maxStretch);
    if (alignRequired && align != 0)
        width -= width % int(align);
    return std::min(width, screenWidth);
}

DWORD DDrawCountBits(DWORD mask)
{
    DWORD n = 0;
    for (; mask; mask &= mask - 1)
        ++n;
    return n;
}

DWORD DDrawLowestSetBit(DWORD mask)
{
    if (!mask)
        return 0;
    DWORD i = 0;
    while (!(mask & 1))
    {
        mask >>= 1;
        ++i;
    }
    return i;
}

bool DDrawHasFlags(DWORD value, DWORD flags)
{
    return (value & flags) == flags;
}

void* DDrawLockSurface(IDirectDrawSurface7* surface, LONG* pitch)
{
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    if (FAILED(surface->Lock(nullptr, &desc, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr)))
        return nullptr;
    if (pitch)
        *pitch = desc.lPitch;
    return desc.lpSurface;
}

HRESULT DDrawClearSurface(IDirectDrawSurface7* surface)
{
    DDBLTFX fx;
    std::memset(&fx, 0, sizeof(fx));
    fx.dwSize = sizeof(fx);
    fx.dwFillColor = 0;
    return surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
}

HRESULT DDrawGetCaps(IDirectDraw7* dd, DDCAPS* caps)
{
    std::memset(caps, 0, sizeof(*caps));
    caps->dwSize = sizeof(*caps);
    return dd->GetCaps(caps, nullptr);
}

HRESULT DDrawGetOverlayCaps(IDirectDraw7* dd, DDrawOverlayCaps* out)
{
    DDCAPS caps;
    const HRESULT hr = DDrawGetCaps(dd, &caps);
    if (FAILED(hr))
        return hr;
    out->overlay = DDrawHasFlags(caps.dwCaps, DDCAPS_OVERLAY);
    out->stretch = DDrawHasFlags(caps.dwCaps, DDCAPS_OVERLAYSTRETCH);
    out->destColorKey = DDrawHasFlags(caps.dwCKeyCaps, DDCKEYCAPS_DESTOVERLAY);
    out->minStretch = float(caps.dwMinOverlayStretch) / 1000.0f;
    out->maxStretch = float(caps.dwMaxOverlayStretch) / 1000.0f;
    out->alignSizeSrc = DDrawHasFlags(caps.dwCaps, DDCAPS_ALIGNSIZESRC);
    out->alignSizeSrcValue = caps.dwAlignSizeSrc;
    return hr;
}

void DDrawDescribePixelFormat(const DDPIXELFORMAT& format, DDrawPixelFormatInfo* out)
{
    out->format = format;
    const DWORD masks[4] = {format.dwRBitMask, format.dwGBitMask, format.dwBBitMask, format.dwRGBAlphaBitMask};
    for (int c = 0; c < 4; ++c)
    {
        const DWORD bits = DDrawCountBits(masks[c]);
        out->shift[c] = BYTE(DDrawLowestSetBit(masks[c]));
        out->max[c] = BYTE((1u << bits) - 1);
        out->loss[c] = BYTE(8 - std::min<DWORD>(bits, 8));
    }
    out->bytesPerPixel = int(format.dwRGBBitCount / 8);
}

HRESULT DDrawGetPixelFormatInfo(IDirectDrawSurface7* surface, DDrawPixelFormatInfo* out)
{
    DDPIXELFORMAT format;
    std::memset(&format, 0, sizeof(format));
    format.dwSize = sizeof(format);
    const HRESULT hr = surface->GetPixelFormat(&format);
    if (SUCCEEDED(hr))
        DDrawDescribePixelFormat(format, out);
    return hr;
}

HRESULT DDrawCreateSurface(DWORD backBuffers, IDirectDraw7* dd, DWORD width, DWORD height, DWORD flags,
                           const DDPIXELFORMAT* format, IDirectDrawSurface7** out)
{
    DDSURFACEDESC2 desc;
    std::memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(desc);
    desc.dwFlags = DDSD_CAPS;
    if (flags & kDDrawSurfacePrimary)
    {
        desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        if (flags & kDDrawSurfaceFlipping)
        {
            desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
            desc.dwBackBufferCount = backBuffers;
            desc.ddsCaps.dwCaps |= DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        }
    }
    else
    {
        desc.dwFlags |= DDSD_WIDTH | DDSD_HEIGHT;
        desc.dwWidth = width;
        desc.dwHeight = height;
        if (flags & kDDrawSurfaceOverlay)
        {
            desc.ddsCaps.dwCaps |= DDSCAPS_OVERLAY | DDSCAPS_VIDEOMEMORY;
            if (backBuffers)
            {
                desc.dwFlags |= DDSD_BACKBUFFERCOUNT;
                desc.dwBackBufferCount = backBuffers;
                desc.ddsCaps.dwCaps |= DDSCAPS_FLIP | DDSCAPS_COMPLEX;
            }
        }
        if (format)
        {
            desc.dwFlags |= DDSD_PIXELFORMAT;
            desc.ddpfPixelFormat = *format;
        }
        else if (flags & kDDrawSurfacePalettized)
        {
            desc.dwFlags |= DDSD_PIXELFORMAT;
            desc.ddpfPixelFormat.dwSize = sizeof(DDPIXELFORMAT);
            desc.ddpfPixelFormat.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
            desc.ddpfPixelFormat.dwRGBBitCount = 8;
        }
        if (flags & kDDrawSurfaceTexture)
        {
            desc.ddsCaps.dwCaps |= DDSCAPS_TEXTURE;
            if (flags & kDDrawSurfaceMipmaps)
            {
                DWORD levels = 1;
                for (DWORD side = std::min(width, height); side >= 3; side /= 2)
                    ++levels;
                desc.dwFlags |= DDSD_MIPMAPCOUNT;
                desc.dwMipMapCount = levels;
                desc.ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
            }
        }
    }
    if (flags & kDDrawSurface3D)
        desc.ddsCaps.dwCaps |= DDSCAPS_3DDEVICE;
    if (flags & kDDrawSurfaceSystemMemory)
        desc.ddsCaps.dwCaps |= DDSCAPS_SYSTEMMEMORY;
    HRESULT hr = dd->CreateSurface(&desc, out, nullptr);
    if (SUCCEEDED(hr) && (flags & kDDrawSurfaceClear))
        DDrawClearSurface(*out);
    return hr;
}

int DDrawCreateOverlaySurface(IDirectDraw7* dd, DWORD width, DWORD height, IDirectDrawSurface7** out,
                              DDPIXELFORMAT* format)
{
    static const DWORD kCodes[2] = {MAKEFOURCC('U', 'Y', 'V', 'Y'), MAKEFOURCC('Y', 'U', 'Y', '2')};
    for (int i = 0; i < 2; ++i)
    {
        DDPIXELFORMAT pf;
        std::memset(&pf, 0, sizeof(pf));
        pf.dwSize = sizeof(pf);
        pf.dwFlags = DDPF_FOURCC;
        pf.dwFourCC = kCodes[i];
        DDSURFACEDESC2 desc;
        std::memset(&desc, 0, sizeof(desc));
        desc.dwSize = sizeof(desc);
        desc.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH | DDSD_BACKBUFFERCOUNT | DDSD_PIXELFORMAT;
        desc.dwWidth = width;
        desc.dwHeight = height;
        desc.dwBackBufferCount = 1;
        desc.ddpfPixelFormat = pf;
        desc.ddsCaps.dwCaps = DDSCAPS_OVERLAY | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;
        if (dd->CreateSurface(&desc, out, nullptr) == DD_OK)
        {
            DDrawClearSurface(*out);
            if (format)
                *format = pf;
            return i;
        }
    }
    g_Log.Printf("Error while creating overlay no overlay formats support.\n");
    return -1;
}

// --- The video-overlay renderer ---

HRESULT OverlayRenderer::Init(int width, int height)
{
    g_Log.Printf("Initializing overlay desktop renderer.\n");
    Release();
    m_Width = width;
    m_Height = height;
    m_ScreenWidth = GetSystemMetrics(SM_CXFULLSCREEN);
    m_ScreenHeight = GetSystemMetrics(SM_CYFULLSCREEN);
    m_bReady = false;

    m_hDDraw = LoadLibraryA("DDRAW.DLL");
    if (!m_hDDraw)
    {
        g_Log.Printf("Error at COverlay::InitDirectDraw failed to load DDRAW.DLL\n");
        return E_FAIL;
    }
    typedef HRESULT(WINAPI * CreateFn)(GUID*, LPVOID*, REFIID, IUnknown*);
    CreateFn create = reinterpret_cast<CreateFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(m_hDDraw, "DirectDrawCreateEx")));
    if (!create)
    {
        g_Log.Printf("Error failed to load function DirectDrawCreateEx from dll.\n");
        return E_FAIL;
    }
    HRESULT hr = create(nullptr, m_pDD.PutVoid(), kIID_IDirectDraw7, nullptr);
    if (FAILED(hr))
    {
        m_pDD.Detach(); // a failed call leaves no reference behind
        g_Log.Printf("Error failed to creat IID_IDirectDraw7.\n");
        return hr;
    }
    if (FAILED(hr = m_pDD->SetCooperativeLevel(GetDesktopWindow(), DDSCL_NORMAL)))
    {
        g_Log.Printf("Error failed to set cooperative level to DDSCL_NORMAL.\n");
        return hr;
    }
    if (FAILED(hr = DDrawCreateSurface(0, m_pDD, 0, 0, kDDrawSurfacePrimary, nullptr, m_pPrimary.Put())))
    {
        m_pPrimary.Detach();
        g_Log.Printf("Failed to creat surface.\n");
        return hr;
    }
    if (FAILED(hr = DDrawGetPixelFormatInfo(m_pPrimary, &m_PrimaryFormat)))
    {
        g_Log.Printf("Failed to get pixel format from surface.\n");
        return hr;
    }
    g_Log.Printf("Direct draw initialized correctly.\n");

    if (FAILED(hr = DDrawGetOverlayCaps(m_pDD, &m_Caps)))
    {
        g_Log.Printf("Failed to get overlay caps.\n");
        return hr;
    }
    if (!m_Caps.overlay || !m_Caps.stretch || !m_Caps.destColorKey)
    {
        g_Log.Printf("Bad overlay caps.\n");
        g_Log.Printf("Overlay.Enabled (%s).\n", m_Caps.overlay ? "true" : "false");
        g_Log.Printf("Overlay.Stretch(%s).\n", m_Caps.stretch ? "true" : "false");
        g_Log.Printf("Overlay.DestCKey(%s).\n", m_Caps.destColorKey ? "true" : "false");
        return E_FAIL;
    }

    m_OverlayWidth = ComputeOverlayWidth(width, m_ScreenWidth, m_Caps.maxStretch, m_Caps.alignSizeSrc,
                                         m_Caps.alignSizeSrcValue, &m_Stretch);
    DDPIXELFORMAT format;
    const int index =
        DDrawCreateOverlaySurface(m_pDD, DWORD(m_OverlayWidth), DWORD(height), m_pOverlay.Put(), &format);
    if (index < 0)
    {
        m_pOverlay.Detach();
        g_Log.Printf("Failed to creat overaly.\n");
        return E_FAIL;
    }
    m_bUyvy = index == 0;
    DDSCAPS2 caps;
    std::memset(&caps, 0, sizeof(caps));
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    if (FAILED(hr = m_pOverlay->GetAttachedSurface(&caps, m_pBackBuffer.Put())))
    {
        m_pBackBuffer.Detach();
        return hr;
    }
    g_Log.Printf("Overlay initialized correctly.\n");
    m_bReady = true;
    return S_OK;
}

HRESULT OverlayRenderer::SetColorKey(COLORREF key)
{
    if (!m_pOverlay || !m_pPrimary)
        return E_FAIL;
    RECT source = {0, 0, m_OverlayWidth, m_Height};
    DDOVERLAYFX fx;
    std::memset(&fx, 0, sizeof(fx));
    fx.dwSize = sizeof(fx);
    fx.dckDestColorkey.dwColorSpaceLowValue = key;
    fx.dckDestColorkey.dwColorSpaceHighValue = key;
    m_Key = key;
    return m_pOverlay->UpdateOverlay(&source, m_pPrimary, nullptr, DDOVER_SHOW | DDOVER_KEYDESTOVERRIDE, &fx);
}

HRESULT OverlayRenderer::DrawFrame(const BYTE* pixels, int pitch)
{
    if (!m_bReady || !pixels)
        return E_FAIL;
    bool restored = false;
    for (IDirectDrawSurface7* s : {m_pPrimary.Get(), m_pOverlay.Get(), m_pBackBuffer.Get()})
        if (s->IsLost() == DDERR_SURFACELOST)
        {
            if (FAILED(s->Restore()))
                return E_FAIL;
            restored = true;
        }
    if (restored)
        SetColorKey(m_Key);
    LONG destPitch = 0;
    BYTE* dest = static_cast<BYTE*>(DDrawLockSurface(m_pBackBuffer, &destPitch));
    if (!dest)
        return E_FAIL;
    ConvertFrameToYuv(pixels, m_Width, pitch, dest, int(destPitch), m_OverlayWidth, m_Height, m_bUyvy,
                      m_bPreconverted);
    m_pBackBuffer->Unlock(nullptr);
    return m_pOverlay->Flip(nullptr, DDFLIP_WAIT);
}

void OverlayRenderer::Release()
{
    // The surfaces before their DirectDraw object, and all of them before the
    // library that made them goes.
    m_pBackBuffer.Reset();
    m_pOverlay.Reset();
    m_pPrimary.Reset();
    m_pDD.Reset();
    if (m_hDDraw)
        FreeLibrary(m_hDDraw);
    m_hDDraw = nullptr;
    m_bReady = false;
}

// --- The GDI renderer ---

HRESULT BitBltRenderer::Init(int width, int height)
{
    Release();
    m_Width = width;
    m_Height = height;
    HWND progman = FindWindowA("ProgMan", nullptr);
    HWND view = progman ? FindWindowExA(progman, nullptr, "SHELLDLL_DefView", nullptr) : nullptr;
    m_hIcons = view ? FindWindowExA(view, nullptr, "SysListView32", nullptr) : nullptr;
    if (!m_hIcons || !GetClientRect(m_hIcons, &m_Client) || m_Client.right < width || m_Client.bottom < height)
        return E_FAIL;
    HDC screen = GetDC(m_hIcons);
    m_hIconDC = CreateCompatibleDC(screen);
    m_hComposeDC = CreateCompatibleDC(screen);
    m_hFrameDC = CreateCompatibleDC(screen);
    m_hIconBitmap = CreateCompatibleBitmap(screen, m_Client.right, m_Client.bottom);
    m_hComposeBitmap = CreateCompatibleBitmap(screen, m_Client.right, m_Client.bottom);
    BITMAPINFO info;
    std::memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    m_hFrameBitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &m_pFrameBits, nullptr, 0);
    ReleaseDC(m_hIcons, screen);
    if (!m_hIconDC || !m_hComposeDC || !m_hFrameDC || !m_hIconBitmap || !m_hComposeBitmap || !m_hFrameBitmap)
    {
        Release();
        return E_FAIL;
    }
    m_OldIcon = SelectObject(m_hIconDC, m_hIconBitmap);
    m_OldCompose = SelectObject(m_hComposeDC, m_hComposeBitmap);
    m_OldFrame = SelectObject(m_hFrameDC, m_hFrameBitmap);
    m_bReady = true;
    return S_OK;
}

HRESULT BitBltRenderer::DrawFrame(const BYTE* pixels, int pitch)
{
    if (!m_bReady || !pixels)
        return E_FAIL;
    // The frame's rows go into the bottom-up 24-bit section.
    const int rowSize = (m_Width * 3 + 3) & ~3;
    BYTE* bits = static_cast<BYTE*>(m_pFrameBits);
    for (int y = 0; y < m_Height; ++y)
    {
        const BYTE* in = pixels + size_t(y) * size_t(pitch);
        BYTE* out = bits + size_t(m_Height - 1 - y) * size_t(rowSize);
        for (int x = 0; x < m_Width; ++x)
            std::memcpy(out + x * 3, in + x * 4, 3);
    }
    GdiFlush();
    PrintWindow(m_hIcons, m_hIconDC, PW_CLIENTONLY);
    BitBlt(m_hComposeDC, 0, 0, m_Width, m_Height, m_hFrameDC, 0, 0, SRCCOPY);
    TransparentBlt(m_hComposeDC, 0, 0, m_Client.right, m_Client.bottom, m_hIconDC, 0, 0, m_Client.right,
                   m_Client.bottom, kDesktopKeyColor);
    HDC window = GetDC(m_hIcons);
    BitBlt(window, 0, 0, m_Client.right, m_Client.bottom, m_hComposeDC, 0, 0, SRCCOPY);
    ReleaseDC(m_hIcons, window);
    return S_OK;
}

void BitBltRenderer::Release()
{
    if (m_hIconDC && m_OldIcon)
        SelectObject(m_hIconDC, m_OldIcon);
    if (m_hComposeDC && m_OldCompose)
        SelectObject(m_hComposeDC, m_OldCompose);
    if (m_hFrameDC && m_OldFrame)
        SelectObject(m_hFrameDC, m_OldFrame);
    for (HBITMAP* b : {&m_hIconBitmap, &m_hComposeBitmap, &m_hFrameBitmap})
        if (*b)
        {
            DeleteObject(*b);
            *b = nullptr;
        }
    for (HDC* dc : {&m_hIconDC, &m_hComposeDC, &m_hFrameDC})
        if (*dc)
        {
            DeleteDC(*dc);
            *dc = nullptr;
        }
    m_OldIcon = m_OldCompose = m_OldFrame = nullptr;
    m_pFrameBits = nullptr;
    m_bReady = false;
}

// --- The desktop presenter ---

RenderToDesktop::RenderToDesktop()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    const size_t slash = folder.find_last_of('\\');
    folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
    m_BackgroundPath = folder + "Background.bmp";
}

RenderToDesktop::~RenderToDesktop()
{
    ReleaseRenderers();
}

HRESULT RenderToDesktop::InitOverlayRenderer(int width, int height)
{
    auto overlay = std::make_unique<OverlayRenderer>();
    const HRESULT hr = overlay->Init(width, height);
    if (SUCCEEDED(hr))
    {
        m_pOverlay = std::move(overlay);
        m_pActive = m_pOverlay.get();
        m_bReady = true;
    }
    m_bManageDesktopColor = true;
    return hr;
}

void RenderToDesktop::AdoptRenderer(std::unique_ptr<DesktopRenderer> renderer)
{
    ReleaseRenderers();
    m_pOverlay = std::move(renderer);
    m_pActive = m_pOverlay.get();
    m_bReady = m_pActive != nullptr;
    m_bManageDesktopColor = true;
}

HRESULT RenderToDesktop::SaveWallpaperState()
{
    const DesktopSettings& d = *g_pDesktop;
    m_SavedColor = d.GetBackgroundColor();
    std::string style = m_SavedStyle;
    if (d.ReadWallpaperStyle(style))
        m_SavedStyle = style;
    m_SavedWallpaper = d.GetWallpaper();
    m_bStateSaved = true;
    return S_OK;
}

HRESULT RenderToDesktop::ApplyColorKey()
{
    if (!m_pActive || !m_bReady)
        return E_FAIL;
    m_KeyColor = kDesktopKeyColor;
    HRESULT hr = m_pActive->SetColorKey(m_KeyColor);
    if (hr == 0 && m_bManageDesktopColor && !g_pDesktop->SetBackgroundColor(m_KeyColor))
        hr = E_FAIL;
    return hr;
}

HRESULT RenderToDesktop::DrawFrame(const BYTE* pixels, int pitch)
{
    if (!m_pActive || !m_bReady)
        return E_FAIL;
    return m_pActive->DrawFrame(pixels, pitch);
}

HRESULT RenderToDesktop::SetBackgroundWallpaper()
{
    const DesktopSettings& d = *g_pDesktop;
    d.WriteWallpaperStyle("2");
    d.SetWallpaper(m_BackgroundPath);
    d.RedrawDesktop();
    return S_OK;
}

bool RenderToDesktop::IsWallpaperChanged() const
{
    return g_pDesktop->GetWallpaper() != m_BackgroundPath;
}

bool RenderToDesktop::IsWallpaperStyleChanged() const
{
    std::string style;
    g_pDesktop->ReadWallpaperStyle(style);
    return style != "2";
}

bool RenderToDesktop::IsDesktopColorChanged() const
{
    return g_pDesktop->GetBackgroundColor() != m_KeyColor;
}

HRESULT RenderToDesktop::RestoreWallpaper()
{
    if (!m_bStateSaved)
        return E_FAIL;
    const DesktopSettings& d = *g_pDesktop;
    if (!IsWallpaperStyleChanged())
        d.WriteWallpaperStyle(m_SavedStyle);
    if (!IsWallpaperChanged())
        d.SetWallpaper(m_SavedWallpaper);
    else if (!IsWallpaperStyleChanged())
        d.SetWallpaper(d.GetWallpaper()); // somebody else's wallpaper, shown again in its style
    if (m_bManageDesktopColor && d.GetBackgroundColor() == kDesktopKeyColor)
        return d.SetBackgroundColor(m_SavedColor) ? S_OK : E_FAIL;
    return S_OK;
}

void RenderToDesktop::ReleaseRenderers()
{
    for (std::unique_ptr<DesktopRenderer>* r : {&m_pOverlay, &m_pGdi})
        if (*r)
        {
            (*r)->Release();
            r->reset();
        }
    m_pActive = nullptr;
    m_bReady = false;
}

void RenderToDesktop::SetPreconverted()
{
    if (m_pActive)
        m_pActive->SetPreconverted(true);
}
