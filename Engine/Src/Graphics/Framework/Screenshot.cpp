#include "Screenshot.h"
#include "ComRef.h"

#include <shlobj.h>

#include <stdexcept>
#include <vector>

namespace
{
void Put16(unsigned char* p, unsigned v)
{
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}
void Put32(unsigned char* p, unsigned v)
{
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

struct LockedSurface
{
    const unsigned char* bits;
    int pitch;
    int width;
};

void SurfaceRow(void* context, int y, unsigned char* out)
{
    const LockedSurface* s = static_cast<const LockedSurface*>(context);
    const unsigned char* row = s->bits + size_t(y) * s->pitch;
    for (int x = 0; x < s->width; ++x)
    {
        out[3 * x] = row[4 * x];
        out[3 * x + 1] = row[4 * x + 1];
        out[3 * x + 2] = row[4 * x + 2];
    }
}
} // namespace

bool WriteBmp24(FILE* pFile, int width, int height, BmpRowSource getRow, void* context)
{
    const unsigned rowSize = (unsigned(width) * 3 + 3) & ~3u;
    const unsigned imageSize = rowSize * unsigned(height);
    unsigned char header[54] = {'B', 'M'};
    Put32(header + 2, 54 + imageSize);
    Put32(header + 10, 54);
    Put32(header + 14, 40);
    Put32(header + 18, unsigned(width));
    Put32(header + 22, unsigned(height));
    Put16(header + 26, 1);
    Put16(header + 28, 24);
    Put32(header + 34, imageSize);
    if (fwrite(header, 1, sizeof(header), pFile) != sizeof(header))
        return false;
    std::vector<unsigned char> row(rowSize, 0);
    for (int y = height - 1; y >= 0; --y)
    {
        getRow(context, y, row.data());
        if (fwrite(row.data(), 1, rowSize, pFile) != rowSize)
            return false;
    }
    return true;
}

std::string GetScreenshotFileName(const char* prefix)
{
    char folder[MAX_PATH] = {};
    std::string base = SHGetSpecialFolderPathA(nullptr, folder, CSIDL_MYPICTURES, FALSE) ? std::string(folder) + "\\"
                                                                                          : std::string("C:\\");
    std::string name;
    for (int i = 1; i <= 999; ++i)
    {
        char file[64];
        snprintf(file, sizeof(file), " Screenshot %02i.bmp", i);
        name = base + (prefix ? prefix : "") + file;
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA(name.c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE)
            return name;
        FindClose(h);
    }
    return name;
}

void Screenshot(IDirect3DDevice8* pDevice, const char* fileName, const char* prefix)
{
    if (!pDevice)
        throw std::invalid_argument("Function \"Screenshot\": LPDIRECT3DDEVICE8 lpDevice is NULL.");
    const std::string name = fileName ? std::string(fileName) : GetScreenshotFileName(prefix);

    D3DDEVICE_CREATION_PARAMETERS cp = {};
    D3DDISPLAYMODE mode = {};
    ComRef<IDirect3D8> d3d;
    pDevice->GetCreationParameters(&cp);
    if (SUCCEEDED(pDevice->GetDirect3D(d3d.Put())) && d3d)
        d3d->GetAdapterDisplayMode(cp.AdapterOrdinal, &mode);

    ComRef<IDirect3DSurface8> surface;
    if (FAILED(pDevice->CreateImageSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, surface.Put())) || !surface)
        throw std::runtime_error("Function \"Screenshot\": IDirect3DDevice8::CreateImageSurface failed.");
    IDirect3DSurface8* raw = surface;
    if (FAILED(pDevice->GetFrontBuffer(raw)))
        throw std::runtime_error("Function \"Screenshot\": IDirect3DDevice8::GetFrontBuffer failed.");

    D3DLOCKED_RECT lr;
    if (FAILED(raw->LockRect(&lr, nullptr, D3DLOCK_READONLY)))
        throw std::runtime_error("Function \"Screenshot\": IDirect3DSurface8::LockRect failed.");
    LockedSurface source = {static_cast<const unsigned char*>(lr.pBits), lr.Pitch, int(mode.Width)};

    FILE* f = fopen(name.c_str(), "wb");
    if (!f)
    {
        raw->UnlockRect();
        char msg[MAX_PATH + 80];
        snprintf(msg, sizeof(msg), "Function \"Screenshot\": The file \"%s\" could not be created.", name.c_str());
        throw std::runtime_error(msg);
    }
    const bool ok = WriteBmp24(f, int(mode.Width), int(mode.Height), SurfaceRow, &source);
    raw->UnlockRect();
    fclose(f);
    if (!ok)
    {
        char msg[MAX_PATH + 80];
        snprintf(msg, sizeof(msg), "Function \"Screenshot\": Could not write all data to file \"%s\".", name.c_str());
        throw std::runtime_error(msg);
    }
}
