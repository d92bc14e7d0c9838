// Screenshots: the BMP layout, the numbered names and a shot of a device.
#include "Screenshot.h"

#include "NullDevice8.h"
#include "TestDevice.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace
{
std::vector<unsigned char> ReadFile(const std::string& name)
{
    std::vector<unsigned char> bytes;
    FILE* f = fopen(name.c_str(), "rb");
    if (!f)
        return bytes;
    unsigned char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    fclose(f);
    return bytes;
}

unsigned U32(const std::vector<unsigned char>& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | unsigned(b[at + 3]) << 24;
}
unsigned U16(const std::vector<unsigned char>& b, size_t at)
{
    return b[at] | b[at + 1] << 8;
}

// Pixel (x, y) of a test image: blue x, green y, red 0x5A.
void PatternRow(void* width, int y, unsigned char* out)
{
    for (int x = 0; x < *static_cast<int*>(width); ++x)
    {
        out[3 * x] = (unsigned char)x;
        out[3 * x + 1] = (unsigned char)y;
        out[3 * x + 2] = 0x5A;
    }
}

std::string TempFile(const char* tag)
{
    return ::testing::TempDir() + "tarnholm_shot_" + tag + ".bmp";
}
} // namespace

TEST(Screenshot, BmpSizesAndLayout)
{
    struct Case
    {
        int width, height;
        unsigned rowSize, imageSize;
    };
    const Case cases[] = {{1366, 768, 4100, 3148800}, {1024, 768, 3072, 2359296}, {3, 2, 12, 24}};
    for (const Case& c : cases)
    {
        const std::string name = TempFile("layout");
        FILE* f = fopen(name.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        int width = c.width;
        ASSERT_TRUE(WriteBmp24(f, c.width, c.height, PatternRow, &width));
        fclose(f);
        const std::vector<unsigned char> b = ReadFile(name);
        remove(name.c_str());

        ASSERT_EQ(b.size(), 54 + c.imageSize) << c.width;
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        const std::pair<size_t, unsigned> fields32[] = {
            {2, 54 + c.imageSize}, {6, 0}, {10, 54}, {14, 40}, {18, unsigned(c.width)}, {22, unsigned(c.height)},
            {30, 0}, {34, c.imageSize}, {38, 0}, {42, 0}, {46, 0}, {50, 0}};
        for (const auto& field : fields32)
            EXPECT_EQ(U32(b, field.first), field.second) << c.width << " at " << field.first;
        EXPECT_EQ(U16(b, 26), 1u);
        EXPECT_EQ(U16(b, 28), 24u);

        // The first row in the file is the bottom one; blue, green, red; zero padding.
        const unsigned padding = c.rowSize - 3 * unsigned(c.width);
        const size_t lastPixel = 54 + 3 * size_t(c.width - 1);
        EXPECT_EQ(b[lastPixel], (unsigned char)(c.width - 1));
        EXPECT_EQ(b[lastPixel + 1], (unsigned char)(c.height - 1));
        EXPECT_EQ(b[lastPixel + 2], 0x5A);
        for (unsigned i = 0; i < padding; ++i)
            EXPECT_EQ(b[lastPixel + 3 + i], 0) << c.width;
        const size_t topRow = 54 + size_t(c.rowSize) * (c.height - 1);
        EXPECT_EQ(b[topRow + 1], 0) << "the top row comes last";
    }
}

TEST(Screenshot, NamesTakeTheFirstFreeNumber)
{
    const std::string prefix = "TarnholmShotTest" + std::to_string(GetCurrentProcessId());
    std::vector<std::string> made;
    for (int i = 1; i <= 2; ++i)
    {
        const std::string name = GetScreenshotFileName(prefix.c_str());
        const std::string ending = prefix + " Screenshot 0" + std::to_string(i) + ".bmp";
        ASSERT_GE(name.size(), ending.size());
        EXPECT_EQ(name.substr(name.size() - ending.size()), ending);
        EXPECT_EQ(name[name.size() - ending.size() - 1], '\\');
        FILE* f = fopen(name.c_str(), "wb");
        ASSERT_NE(f, nullptr) << name;
        fclose(f);
        made.push_back(name);
    }
    const std::string third = GetScreenshotFileName(prefix.c_str());
    for (const std::string& name : made)
        remove(name.c_str());
    EXPECT_EQ(third.substr(third.size() - 18), " Screenshot 03.bmp");

    const std::string unnamed = GetScreenshotFileName(nullptr);
    EXPECT_EQ(unnamed.substr(unnamed.rfind('\\')), "\\ Screenshot 01.bmp") << "no prefix, no crash";
}

// The real device for everything but the front buffer, which Wine reads from
// the GL front buffer that Mesa leaves black under Xvfb: here the screen is
// black with the device's back buffer at its window's client origin, as the
// front buffer of a windowed device shows on Windows.
class ScreenOfDevice : public NullDevice8
{
public:
    explicit ScreenOfDevice(IDirect3DDevice8* pReal) : m_pReal(pReal) {}

    HRESULT STDMETHODCALLTYPE GetDirect3D(IDirect3D8** pp) override { return m_pReal->GetDirect3D(pp); }
    HRESULT STDMETHODCALLTYPE GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* p) override
    {
        return m_pReal->GetCreationParameters(p);
    }
    HRESULT STDMETHODCALLTYPE CreateImageSurface(UINT w, UINT h, D3DFORMAT f, IDirect3DSurface8** pp) override
    {
        m_LastFormat = f;
        return m_bFailSurface ? D3DERR_OUTOFVIDEOMEMORY : m_pReal->CreateImageSurface(w, h, f, pp);
    }
    HRESULT STDMETHODCALLTYPE GetFrontBuffer(IDirect3DSurface8* pDest) override
    {
        if (m_bFailFront)
            return D3DERR_INVALIDCALL;
        D3DDEVICE_CREATION_PARAMETERS cp;
        m_pReal->GetCreationParameters(&cp);
        POINT origin = {0, 0};
        ClientToScreen(cp.hFocusWindow, &origin);
        IDirect3DSurface8* back = nullptr;
        if (FAILED(m_pReal->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back)))
            return D3DERR_INVALIDCALL;
        D3DSURFACE_DESC from, to;
        back->GetDesc(&from);
        pDest->GetDesc(&to);
        D3DLOCKED_RECT src, dst;
        back->LockRect(&src, nullptr, D3DLOCK_READONLY);
        pDest->LockRect(&dst, nullptr, 0);
        for (UINT y = 0; y < to.Height; ++y)
            memset(static_cast<BYTE*>(dst.pBits) + y * dst.Pitch, 0, to.Width * 4);
        for (UINT y = 0; y < from.Height && origin.y + y < to.Height; ++y)
            for (UINT x = 0; x < from.Width && origin.x + x < to.Width; ++x)
                reinterpret_cast<DWORD*>(static_cast<BYTE*>(dst.pBits) + (origin.y + y) * dst.Pitch)[origin.x + x] =
                    reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(src.pBits) + y * src.Pitch)[x] |
                    0xFF000000;
        pDest->UnlockRect();
        back->UnlockRect();
        back->Release();
        return D3D_OK;
    }

    IDirect3DDevice8* m_pReal;
    bool m_bFailSurface = false;
    bool m_bFailFront = false;
    D3DFORMAT m_LastFormat = D3DFMT_UNKNOWN;
};

TEST(Screenshot, WritesTheScreenAroundTheDevice)
{
    TestDevice device(64, 48);
    ASSERT_NE(device.Get(), nullptr);
    device.Get()->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF3366CC, 1.0f, 0);
    const D3DRECT corner = {0, 0, 8, 8};
    device.Get()->Clear(1, &corner, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    D3DDISPLAYMODE mode;
    device.Get()->GetDisplayMode(&mode);

    // Through Wine's own front buffer: the whole display, whatever it shows.
    const std::string name = TempFile("device");
    Screenshot(device.Get(), name.c_str(), "Tarnholm");
    std::vector<unsigned char> b = ReadFile(name);
    remove(name.c_str());
    const size_t rowSize = (mode.Width * 3 + 3) & ~3u;
    ASSERT_EQ(b.size(), 54 + rowSize * mode.Height);
    EXPECT_EQ(U32(b, 18), mode.Width);
    EXPECT_EQ(U32(b, 22), mode.Height);

    // With the screen known: the window's pixels land where it lies.
    ScreenOfDevice screen(device.Get());
    Screenshot(&screen, name.c_str(), "Tarnholm");
    EXPECT_EQ(screen.m_LastFormat, D3DFMT_A8R8G8B8);
    b = ReadFile(name);
    remove(name.c_str());
    ASSERT_EQ(b.size(), 54 + rowSize * mode.Height);
    D3DDEVICE_CREATION_PARAMETERS cp;
    device.Get()->GetCreationParameters(&cp);
    auto pixelAt = [&](LONG x, LONG y) {
        POINT p = {x, y};
        ClientToScreen(cp.hFocusWindow, &p);
        const size_t at = 54 + rowSize * (mode.Height - 1 - unsigned(p.y)) + 3 * unsigned(p.x);
        return unsigned(b[at + 2]) << 16 | unsigned(b[at + 1]) << 8 | b[at];
    };
    EXPECT_EQ(pixelAt(32, 24), 0x3366CCu);
    EXPECT_EQ(pixelAt(2, 2), 0x00FF00u) << "the top of the window is the top of the picture";
    EXPECT_EQ(pixelAt(70, 24), 0u);
}

TEST(Screenshot, FailuresThrowTheirMessages)
{
    const auto message = [](IDirect3DDevice8* device, const char* file) -> std::string {
        try
        {
            Screenshot(device, file, "Tarnholm");
        }
        catch (const std::invalid_argument& e)
        {
            return std::string("invalid: ") + e.what();
        }
        catch (const std::runtime_error& e)
        {
            return e.what();
        }
        return "";
    };
    EXPECT_EQ(message(nullptr, "x.bmp"), "invalid: Function \"Screenshot\": LPDIRECT3DDEVICE8 lpDevice is NULL.");

    TestDevice device(16, 16);
    ASSERT_NE(device.Get(), nullptr);
    ScreenOfDevice screen(device.Get());
    const std::string name = TempFile("failed");
    screen.m_bFailSurface = true;
    EXPECT_EQ(message(&screen, name.c_str()), "Function \"Screenshot\": IDirect3DDevice8::CreateImageSurface failed.");
    screen.m_bFailSurface = false;
    screen.m_bFailFront = true;
    EXPECT_EQ(message(&screen, name.c_str()), "Function \"Screenshot\": IDirect3DDevice8::GetFrontBuffer failed.");
    EXPECT_EQ(fopen(name.c_str(), "rb"), nullptr) << "no file before the picture is taken";
    screen.m_bFailFront = false;
    const std::string bad = ::testing::TempDir() + "no_such_folder\\shot.bmp";
    EXPECT_EQ(message(&screen, bad.c_str()), "Function \"Screenshot\": The file \"" + bad + "\" could not be created.");
}
