#pragma once
// Desktop presentation for the animated-wallpaper mode: frames read back from
// the device are shown behind the desktop icons, through a DirectDraw video
// overlay keyed on the desktop's background colour (or, unused, a GDI
// compositor over the icon window). RenderToDesktop also keeps the desktop
// settings that the mode changes so that they can be put back.
#include <windows.h>
#include <ddraw.h>

#include "ComRef.h"

#include <memory>
#include <string>

// The key colour: the same value as a COLORREF and as an X8R8G8B8 pixel.
const COLORREF kDesktopKeyColor = 0x100010;

// The desktop settings the wallpaper mode reads and changes; tests replace them.
struct DesktopSettings
{
    bool (*ReadWallpaperStyle)(std::string& text); // HKCU "Control Panel\Desktop" "WallpaperStyle"
    bool (*WriteWallpaperStyle)(const std::string& text);
    std::string (*GetWallpaper)(); // SPI_GETDESKWALLPAPER, at most 260 characters
    bool (*SetWallpaper)(const std::string& path); // SPI_SETDESKWALLPAPER with SPIF_SENDCHANGE
    COLORREF (*GetBackgroundColor)();
    bool (*SetBackgroundColor)(COLORREF colour);
    void (*RedrawDesktop)();
};
void SetDesktopSettings(const DesktopSettings* settings); // nullptr: the system's
const DesktopSettings& GetDesktopSettings();

// Converts X8R8G8B8 frame rows (`framePitch` bytes apart, `frameWidth` pixels
// wide) into 4:2:2 macro-pixels of a `width` x `height` overlay whose rows are
// `destPitch` bytes apart. A frame narrower than the overlay is padded with
// black, a wider one cropped. `preconverted`: the frame already holds Y in
// red, V in green and U in blue.
void ConvertFrameToYuv(const BYTE* frame, int frameWidth, int framePitch, BYTE* dest, int destPitch, int width,
                       int height, bool uyvy, bool preconverted);
// The overlay's width for a frame on a screen: stretched at most
// `maxStretch` (0: no limit), aligned down when the hardware asks, never wider
// than the screen. `stretch` receives screen width / frame width.
int ComputeOverlayWidth(int frameWidth, int screenWidth, float maxStretch, bool alignRequired, DWORD align,
                        float* stretch);

DWORD DDrawCountBits(DWORD mask);
DWORD DDrawLowestSetBit(DWORD mask);
bool DDrawHasFlags(DWORD value, DWORD flags);
void* DDrawLockSurface(IDirectDrawSurface7* surface, LONG* pitch);
HRESULT DDrawClearSurface(IDirectDrawSurface7* surface);
HRESULT DDrawGetCaps(IDirectDraw7* dd, DDCAPS* caps);

struct DDrawOverlayCaps
{
    bool overlay, stretch, destColorKey;
    float minStretch, maxStretch;
    bool alignSizeSrc;
    DWORD alignSizeSrcValue;
};
HRESULT DDrawGetOverlayCaps(IDirectDraw7* dd, DDrawOverlayCaps* out);

struct DDrawPixelFormatInfo
{
    DDPIXELFORMAT format;
    BYTE shift[4], max[4], loss[4]; // red, green, blue, alpha
    int bytesPerPixel;
};
void DDrawDescribePixelFormat(const DDPIXELFORMAT& format, DDrawPixelFormatInfo* out);
HRESULT DDrawGetPixelFormatInfo(IDirectDrawSurface7* surface, DDrawPixelFormatInfo* out);

enum : DWORD
{
    kDDrawSurfaceTexture = 0x1,
    kDDrawSurface3D = 0x2,
    kDDrawSurfacePalettized = 0x4,
    kDDrawSurfaceSystemMemory = 0x8,
    kDDrawSurfacePrimary = 0x10,
    kDDrawSurfaceOverlay = 0x20,
    kDDrawSurfaceFlipping = 0x40,
    kDDrawSurfaceClear = 0x80,
    kDDrawSurfaceMipmaps = 0x200,
};
HRESULT DDrawCreateSurface(DWORD backBuffers, IDirectDraw7* dd, DWORD width, DWORD height, DWORD flags,
                           const DDPIXELFORMAT* format, IDirectDrawSurface7** out);
// The index of the FOURCC format used ("UYVY" 0, "YUY2" 1), -1 when none works.
int DDrawCreateOverlaySurface(IDirectDraw7* dd, DWORD width, DWORD height, IDirectDrawSurface7** out,
                              DDPIXELFORMAT* format);

class DesktopRenderer
{
public:
    // One frame of X8R8G8B8 pixels, rows `pitch` bytes apart, of the size
    // the renderer was made for.
    virtual HRESULT DrawFrame(const BYTE* pixels, int pitch) = 0;
    virtual HRESULT SetColorKey(COLORREF key) = 0;
    virtual bool IsReady() const { return m_bReady; }
    virtual void SetPreconverted(bool preconverted) { m_bPreconverted = preconverted; }
    virtual void Release() {}
    virtual ~DesktopRenderer() = default;

protected:
    bool m_bReady = false;
    bool m_bPreconverted = false;
    int m_Width = 0, m_Height = 0; // the frames'
};

class OverlayRenderer : public DesktopRenderer
{
public:
    HRESULT Init(int width, int height);
    HRESULT DrawFrame(const BYTE* pixels, int pitch) override;
    HRESULT SetColorKey(COLORREF key) override;
    void Release() override;
    ~OverlayRenderer() override { Release(); }

private:
    int m_ScreenWidth = 0, m_ScreenHeight = 0;
    DDrawOverlayCaps m_Caps = {};
    DDrawPixelFormatInfo m_PrimaryFormat = {};
    HMODULE m_hDDraw = nullptr;
    ComRef<IDirectDraw7> m_pDD;
    ComRef<IDirectDrawSurface7> m_pPrimary;
    ComRef<IDirectDrawSurface7> m_pOverlay;
    ComRef<IDirectDrawSurface7> m_pBackBuffer;
    float m_Stretch = 1.0f;
    COLORREF m_Key = 0;
    int m_OverlayWidth = 0;
    bool m_bUyvy = true;
};

class BitBltRenderer : public DesktopRenderer
{
public:
    HRESULT Init(int width, int height);
    HRESULT DrawFrame(const BYTE* pixels, int pitch) override;
    HRESULT SetColorKey(COLORREF) override { return 0; }
    void Release() override;
    ~BitBltRenderer() override { Release(); }

private:
    HWND m_hIcons = nullptr;
    HDC m_hIconDC = nullptr, m_hComposeDC = nullptr, m_hFrameDC = nullptr;
    HBITMAP m_hIconBitmap = nullptr, m_hComposeBitmap = nullptr, m_hFrameBitmap = nullptr;
    HGDIOBJ m_OldIcon = nullptr, m_OldCompose = nullptr, m_OldFrame = nullptr;
    void* m_pFrameBits = nullptr;
    RECT m_Client = {};
};

class RenderToDesktop
{
public:
    RenderToDesktop();
    ~RenderToDesktop();
    RenderToDesktop(const RenderToDesktop&) = delete;
    RenderToDesktop& operator=(const RenderToDesktop&) = delete;

    HRESULT InitOverlayRenderer(int width, int height);
    // Takes a renderer that is already initialised (tests, other renderers).
    void AdoptRenderer(std::unique_ptr<DesktopRenderer> renderer);
    HRESULT SaveWallpaperState();
    HRESULT ApplyColorKey();
    HRESULT DrawFrame(const BYTE* pixels, int pitch);
    HRESULT SetBackgroundWallpaper();
    bool IsWallpaperChanged() const;
    bool IsWallpaperStyleChanged() const;
    bool IsDesktopColorChanged() const;
    HRESULT RestoreWallpaper();
    void ReleaseRenderers();
    bool IsReady() const { return m_bReady; }
    bool HasRenderer() const { return m_pActive != nullptr; }
    void SetPreconverted();

    const std::string& GetBackgroundPath() const { return m_BackgroundPath; }
    const std::string& GetSavedWallpaper() const { return m_SavedWallpaper; }
    const std::string& GetSavedStyle() const { return m_SavedStyle; }
    COLORREF GetSavedColor() const { return m_SavedColor; }

private:
    bool m_bReady = false;
    DesktopRenderer* m_pActive = nullptr; // one of the two below
    std::unique_ptr<DesktopRenderer> m_pOverlay;
    std::unique_ptr<DesktopRenderer> m_pGdi;
    bool m_bStateSaved = false;
    COLORREF m_SavedColor = 0;
    std::string m_SavedWallpaper;
    std::string m_BackgroundPath;
    std::string m_SavedStyle;
    COLORREF m_KeyColor = 0;
    bool m_bManageDesktopColor = false;
};
