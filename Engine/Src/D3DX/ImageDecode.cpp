// Image files into texels: JPEG through libjpeg-turbo, BMP and TGA through
// stb_image, DDS through our own reader. Before a decoder sees a file we
// check that all of it is there, since both pad a short file instead of
// failing.
#include "Image.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_BMP
#define STBI_ONLY_TGA
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_MAX_DIMENSIONS 8192
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace d3dx
{
namespace
{

UINT Read16(const BYTE* p) { return UINT(p[0]) | UINT(p[1]) << 8; }
DWORD Read32(const BYTE* p) { return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24; }

// A JPEG is complete when its markers lead to a scan and an end-of-image
// marker follows (entropy-coded data never holds FF D9).
bool JpegComplete(const BYTE* d, size_t n)
{
    size_t pos = 2;
    for (;;)
    {
        if (pos + 1 >= n || d[pos] != 0xff)
            return false;
        while (pos + 1 < n && d[pos + 1] == 0xff)
            ++pos;
        if (pos + 1 >= n)
            return false;
        const BYTE marker = d[pos + 1];
        pos += 2;
        if (marker == 0xd9)
            return false; // ended before any scan
        if (marker == 0x01 || (marker >= 0xd0 && marker <= 0xd8))
            continue;
        if (pos + 2 > n)
            return false;
        const size_t length = size_t(d[pos]) << 8 | d[pos + 1];
        if (length < 2 || pos + length > n)
            return false;
        pos += length;
        if (marker == 0xda)
            break;
    }
    for (; pos + 1 < n; ++pos)
        if (d[pos] == 0xff && d[pos + 1] == 0xd9)
            return true;
    return false;
}

// libjpeg reports a fatal error by calling error_exit, which must not
// return: we jump back to the decoding function.
struct JpegErrors
{
    jpeg_error_mgr manager;
    jmp_buf jump;
};

[[noreturn]] void JpegFail(j_common_ptr info)
{
    longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

void JpegQuiet(j_common_ptr, int) {} // warnings of damaged data are not printed

// A progressive file may hold any number of scans, each a pass over the
// whole picture: far more than any real picture needs is refused.
constexpr int kMaxJpegScans = 300;

void JpegProgress(j_common_ptr info)
{
    if (reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > kMaxJpegScans)
        JpegFail(info);
}

// Reads a JPEG's size and colour channels (1 grey, 3 colour) and, unless
// infoOnly, its pixels as 4 bytes each (red, green, blue, 255). Pictures
// beyond our limits are refused before decoding. No object with a
// destructor lives in this frame, since libjpeg's errors jump back into it.
bool DecodeJpeg(const BYTE* d, size_t n, bool infoOnly, int* w, int* h, int* channels, std::vector<BYTE>* rgba)
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    jpeg_progress_mgr progress;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = JpegFail;
    errors.manager.emit_message = JpegQuiet;
    progress.progress_monitor = JpegProgress;
    if (setjmp(errors.jump))
    {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    info.progress = &progress;
    jpeg_mem_src(&info, d, static_cast<unsigned long>(n));
    jpeg_read_header(&info, TRUE);
    *w = int(info.image_width);
    *h = int(info.image_height);
    *channels = info.num_components == 1 ? 1 : 3;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    if (info.image_width == 0 || info.image_height == 0 || info.image_width > kMaxImageSide ||
        info.image_height > kMaxImageSide || uint64_t(info.image_width) * info.image_height > kMaxImagePixels)
        JpegFail(reinterpret_cast<j_common_ptr>(&info));
    if (infoOnly)
    {
        jpeg_destroy_decompress(&info);
        return true;
    }
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBX;
    jpeg_start_decompress(&info);
    if (info.output_components != 4)
        JpegFail(reinterpret_cast<j_common_ptr>(&info));
    const size_t stride = size_t(info.output_width) * 4;
    rgba->assign(stride * info.output_height, 0);
    while (info.output_scanline < info.output_height)
    {
        JSAMPROW row = rgba->data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    // Adobe's CMYK files store the inks inverted.
    const bool inverted = info.saw_Adobe_marker;
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (cmyk)
        for (size_t i = 0; i < rgba->size(); i += 4)
        {
            BYTE* p = rgba->data() + i;
            const unsigned k = inverted ? p[3] : 255 - p[3];
            for (int c = 0; c < 3; ++c)
                p[c] = BYTE((inverted ? p[c] : 255 - p[c]) * k / 255);
        }
    for (size_t i = 3; i < rgba->size(); i += 4)
        (*rgba)[i] = 255;
    return true;
}

// The pixel rows of an uncompressed (or bit-field) BMP must all be there.
bool BmpComplete(const BYTE* d, size_t n)
{
    if (n < 14 + 16)
        return false;
    const DWORD offset = Read32(d + 10), headerSize = Read32(d + 14);
    uint64_t width, height, bits, compression = 0;
    if (headerSize == 12)
    {
        width = Read16(d + 18);
        height = Read16(d + 20);
        bits = Read16(d + 24);
    }
    else
    {
        if (n < 14 + 20)
            return false;
        width = uint64_t(std::abs(int64_t(int32_t(Read32(d + 18)))));
        height = uint64_t(std::abs(int64_t(int32_t(Read32(d + 22)))));
        bits = Read16(d + 28);
        compression = Read32(d + 30);
    }
    if (compression != 0 && compression != 3)
        return false; // run-length BMPs are not read
    const uint64_t rowBytes = (width * bits + 31) / 32 * 4;
    return offset >= 14 && uint64_t(offset) + rowBytes * height <= n;
}

// Checks a TGA header and that all its pixels (walking run-length packets)
// are there.
bool TgaComplete(const BYTE* d, size_t n)
{
    if (n < 18)
        return false;
    const UINT idLength = d[0], mapType = d[1], type = d[2];
    const UINT mapLength = Read16(d + 5), mapBits = d[7];
    const UINT width = Read16(d + 12), height = Read16(d + 14), bits = d[16];
    if (mapType > 1 || width == 0 || height == 0)
        return false;
    if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11)
        return false;
    if (bits != 8 && bits != 15 && bits != 16 && bits != 24 && bits != 32)
        return false;
    size_t pos = 18 + idLength + (mapType ? size_t(mapLength) * ((mapBits + 7) / 8) : 0);
    const size_t pixelBytes = (bits + 7) / 8;
    const uint64_t pixels = uint64_t(width) * height;
    if (type < 9)
        return pos <= n && pixels * pixelBytes <= n - pos;
    uint64_t done = 0;
    while (done < pixels)
    {
        if (pos >= n)
            return false;
        const BYTE header = d[pos++];
        const uint64_t count = (header & 0x7f) + 1;
        const size_t bytes = header & 0x80 ? pixelBytes : size_t(count) * pixelBytes;
        if (bytes > n - pos)
            return false;
        pos += bytes;
        done += count;
    }
    return true;
}

enum class Kind
{
    None,
    Dds,
    Bmp,
    Jpeg,
    Tga
};

Kind Sniff(const BYTE* d, size_t n)
{
    if (n >= 4 && memcmp(d, "DDS ", 4) == 0)
        return Kind::Dds;
    if (n >= 2 && d[0] == 'B' && d[1] == 'M')
        return BmpComplete(d, n) ? Kind::Bmp : Kind::None;
    if (n >= 3 && d[0] == 0xff && d[1] == 0xd8 && d[2] == 0xff)
        return JpegComplete(d, n) ? Kind::Jpeg : Kind::None;
    return TgaComplete(d, n) ? Kind::Tga : Kind::None;
}

D3DFORMAT FormatOfChannels(Kind kind, int channels)
{
    switch (channels)
    {
    case 1: return D3DFMT_L8;
    case 2: return D3DFMT_A8L8;
    case 4: return D3DFMT_A8R8G8B8;
    default: return kind == Kind::Jpeg ? D3DFMT_X8R8G8B8 : D3DFMT_R8G8B8;
    }
}

D3DXIMAGE_FILEFORMAT FileFormatOf(Kind kind)
{
    return kind == Kind::Bmp ? D3DXIFF_BMP : kind == Kind::Jpeg ? D3DXIFF_JPG : D3DXIFF_TGA;
}

HRESULT Read(const void* data, size_t size, DecodedImage* out, bool infoOnly)
{
    if (!data || !out || size == 0 || size > size_t(INT32_MAX))
        return D3DXERR_INVALIDDATA;
    const BYTE* d = static_cast<const BYTE*>(data);
    const Kind kind = Sniff(d, size);
    if (kind == Kind::None)
        return D3DXERR_INVALIDDATA;
    if (kind == Kind::Dds)
        return ReadDds(d, size, out, infoOnly);

    int w = 0, h = 0, channels = 0;
    std::vector<BYTE> jpegPixels;
    if (kind == Kind::Jpeg)
    {
        if (!DecodeJpeg(d, size, infoOnly, &w, &h, &channels, &jpegPixels))
            return D3DXERR_INVALIDDATA;
    }
    else if (!stbi_info_from_memory(d, int(size), &w, &h, &channels))
        return D3DXERR_INVALIDDATA;
    // stb reports a top-down BMP's (negative) header height as it stands.
    if (kind == Kind::Bmp && h < 0 && h != INT_MIN)
        h = -h;
    if (w <= 0 || h <= 0 || UINT(w) > kMaxImageSide || UINT(h) > kMaxImageSide ||
        uint64_t(w) * uint64_t(h) > kMaxImagePixels)
        return D3DXERR_INVALIDDATA;
    DecodedImage image;
    image.info.Width = UINT(w);
    image.info.Height = UINT(h);
    image.info.Depth = 1;
    image.info.MipLevels = 1;
    image.info.Format = FormatOfChannels(kind, channels);
    image.info.ResourceType = D3DRTYPE_TEXTURE;
    image.info.ImageFileFormat = FileFormatOf(kind);
    if (!infoOnly)
    {
        FloatImage surface{UINT(w), UINT(h)};
        auto fill = [&](const BYTE* pixels) {
            for (size_t i = 0; i < surface.texels.size(); ++i)
            {
                const BYTE* p = pixels + 4 * i;
                surface.texels[i] = Texel{p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, p[3] / 255.0f};
            }
        };
        if (kind == Kind::Jpeg)
            fill(jpegPixels.data());
        else
        {
            int dw = 0, dh = 0, dc = 0;
            stbi_uc* pixels = stbi_load_from_memory(d, int(size), &dw, &dh, &dc, 4);
            if (!pixels)
                return D3DXERR_INVALIDDATA;
            const bool sameSize = dw == w && dh == h;
            if (sameSize)
                fill(pixels);
            stbi_image_free(pixels);
            if (!sameSize)
                return D3DXERR_INVALIDDATA;
        }
        image.surfaces.resize(1);
        image.surfaces[0].push_back(std::move(surface));
    }
    *out = std::move(image);
    return S_OK;
}

} // namespace

HRESULT DecodeImage(const void* data, size_t size, DecodedImage* out) { return Read(data, size, out, false); }

HRESULT ReadImageInfo(const void* data, size_t size, D3DXIMAGE_INFO* info)
{
    DecodedImage image;
    const HRESULT hr = Read(data, size, &image, true);
    if (SUCCEEDED(hr) && info)
        *info = image.info;
    return hr;
}

} // namespace d3dx

HRESULT WINAPI D3DXGetImageInfoFromFileInMemory(LPCVOID srcData, UINT srcDataSize, D3DXIMAGE_INFO* srcInfo)
{
    if (!srcData || !srcInfo)
        return D3DERR_INVALIDCALL;
    return d3dx::ReadImageInfo(srcData, srcDataSize, srcInfo);
}
