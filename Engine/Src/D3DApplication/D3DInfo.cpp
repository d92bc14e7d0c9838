// The machine's description in the log: date, processors, operating system,
// adapters, device caps and supported formats.
#include <windows.h>
#include <ddraw.h>
#include <powrprof.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "CpuFrequency.h"
#include "DirectDrawIds.h"
#include "Log.h"
#include "d3dapp.h"

#define FORMAT_NAME(f) {f, #f}
static const struct
{
    D3DFORMAT format;
    const char* name;
} kFormatNames[] = {
    FORMAT_NAME(D3DFMT_UNKNOWN),       FORMAT_NAME(D3DFMT_R8G8B8),        FORMAT_NAME(D3DFMT_A8R8G8B8),
    FORMAT_NAME(D3DFMT_X8R8G8B8),      FORMAT_NAME(D3DFMT_R5G6B5),        FORMAT_NAME(D3DFMT_X1R5G5B5),
    FORMAT_NAME(D3DFMT_A1R5G5B5),      FORMAT_NAME(D3DFMT_A4R4G4B4),      FORMAT_NAME(D3DFMT_R3G3B2),
    FORMAT_NAME(D3DFMT_A8),            FORMAT_NAME(D3DFMT_A8R3G3B2),      FORMAT_NAME(D3DFMT_X4R4G4B4),
    FORMAT_NAME(D3DFMT_A8P8),          FORMAT_NAME(D3DFMT_P8),            FORMAT_NAME(D3DFMT_L8),
    FORMAT_NAME(D3DFMT_A8L8),          FORMAT_NAME(D3DFMT_A4L4),          FORMAT_NAME(D3DFMT_V8U8),
    FORMAT_NAME(D3DFMT_L6V5U5),        FORMAT_NAME(D3DFMT_X8L8V8U8),      FORMAT_NAME(D3DFMT_Q8W8V8U8),
    FORMAT_NAME(D3DFMT_V16U16),        FORMAT_NAME(D3DFMT_W11V11U10),     FORMAT_NAME(D3DFMT_UYVY),
    FORMAT_NAME(D3DFMT_YUY2),          FORMAT_NAME(D3DFMT_DXT1),          FORMAT_NAME(D3DFMT_DXT2),
    FORMAT_NAME(D3DFMT_DXT3),          FORMAT_NAME(D3DFMT_DXT4),          FORMAT_NAME(D3DFMT_DXT5),
    FORMAT_NAME(D3DFMT_D16_LOCKABLE),  FORMAT_NAME(D3DFMT_D32),           FORMAT_NAME(D3DFMT_D15S1),
    FORMAT_NAME(D3DFMT_D24S8),         FORMAT_NAME(D3DFMT_D16),           FORMAT_NAME(D3DFMT_D24X8),
    FORMAT_NAME(D3DFMT_D24X4S4),       FORMAT_NAME(D3DFMT_VERTEXDATA),    FORMAT_NAME(D3DFMT_INDEX16),
    FORMAT_NAME(D3DFMT_INDEX32),
};
#undef FORMAT_NAME

// The texture formats, in the order the log lists them: the kFormatNames
// entries from R8G8B8 to DXT5.
static const size_t kFirstTextureFormat = 1, kTextureFormatCount = 29;
static const D3DFORMAT kDepthFormats[] = {D3DFMT_D16_LOCKABLE, D3DFMT_D32, D3DFMT_D15S1, D3DFMT_D24S8,
                                          D3DFMT_D16,          D3DFMT_D24X8, D3DFMT_D24X4S4};

const char* GetFormatName(D3DFORMAT format)
{
    for (const auto& f : kFormatNames)
        if (f.format == format)
            return f.name;
    return "UNKNOWN FORMAT";
}

DWORD GetTotalVideoMemory()
{
    ComRef<IDirectDraw7> dd;
    if (FAILED(DirectDrawCreateEx(nullptr, dd.PutVoid(), kIID_IDirectDraw7, nullptr)) || !dd)
        return 0;
    DDSCAPS2 caps;
    std::memset(&caps, 0, sizeof(caps));
    caps.dwCaps = DDSCAPS_VIDEOMEMORY;
    DWORD total = 0;
    const HRESULT hr = dd->GetAvailableVidMem(&caps, &total, nullptr);
    return SUCCEEDED(hr) ? total : 0;
}

static const char* ProductEdition(DWORD type)
{
    switch (type)
    {
    case 1: return "Ultimate Edition";
    case 2: return "Home Basic Edition";
    case 3: return "Home Premium Edition";
    case 4: return "Enterprise Edition";
    case 6: return "Business Edition";
    case 7: return "Standard Edition";
    case 8: return "Datacenter Edition";
    case 9: return "Small Business Server";
    case 10: return "Enterprise Edition";
    case 11: return "Starter Edition";
    case 12: return "Datacenter Edition (core installation)";
    case 13: return "Standard Edition (core installation)";
    case 14: return "Enterprise Edition (core installation)";
    case 15: return "Enterprise Edition for Itanium-based Systems";
    case 17: return "Web Server Edition";
    case 18: return "Cluster Server Edition";
    case 25: return "Small Business Server Premium Edition";
    default: return "";
    }
}

bool GetOSVersionString(char* out, size_t size)
{
    OSVERSIONINFOEXA vi;
    std::memset(&vi, 0, sizeof(vi));
    vi.dwOSVersionInfoSize = sizeof(vi);
    if (!GetVersionExA((OSVERSIONINFOA*)&vi))
        return false;

    SYSTEM_INFO si;
    std::memset(&si, 0, sizeof(si));
    typedef void(WINAPI * GetNativeSystemInfoFn)(LPSYSTEM_INFO);
    auto native = (GetNativeSystemInfoFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                                                "GetNativeSystemInfo");
    if (native)
        native(&si);
    else
        GetSystemInfo(&si);

    if (vi.dwPlatformId != VER_PLATFORM_WIN32_NT || vi.dwMajorVersion <= 4)
        return false;

    const bool workstation = vi.wProductType == VER_NT_WORKSTATION;
    const WORD arch = si.wProcessorArchitecture;
    const WORD suite = vi.wSuiteMask;
    std::string s = "Microsoft ";
    if (vi.dwMajorVersion == 6)
    {
        if (vi.dwMinorVersion == 0)
            s += workstation ? "Windows Vista " : "Windows Server 2008 ";
        else if (vi.dwMinorVersion == 1)
            s += workstation ? "Windows 7 " : "Windows Server 2008 R2 ";
        typedef BOOL(WINAPI * GetProductInfoFn)(DWORD, DWORD, DWORD, DWORD, PDWORD);
        auto productInfo =
            (GetProductInfoFn)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProductInfo");
        DWORD type = 0;
        if (productInfo && productInfo(vi.dwMajorVersion, vi.dwMinorVersion, 0, 0, &type))
            s += ProductEdition(type);
    }
    else if (vi.dwMajorVersion == 5 && vi.dwMinorVersion == 2)
    {
        if (GetSystemMetrics(SM_SERVERR2))
            s += "Windows Server 2003 R2, ";
        else if (suite & VER_SUITE_STORAGE_SERVER)
            s += "Windows Storage Server 2003";
        else if (suite & VER_SUITE_WH_SERVER)
            s += "Windows Home Server";
        else if (workstation && arch == PROCESSOR_ARCHITECTURE_AMD64)
            s += "Windows XP Professional x64 Edition";
        else
            s += "Windows Server 2003, ";
        if (!workstation)
        {
            if (arch == PROCESSOR_ARCHITECTURE_IA64)
            {
                if (suite & VER_SUITE_DATACENTER)
                    s += "Datacenter Edition for Itanium-based Systems";
                else if (suite & VER_SUITE_ENTERPRISE)
                    s += "Enterprise Edition for Itanium-based Systems";
            }
            else if (arch == PROCESSOR_ARCHITECTURE_AMD64)
            {
                if (suite & VER_SUITE_DATACENTER)
                    s += "Datacenter x64 Edition";
                else if (suite & VER_SUITE_ENTERPRISE)
                    s += "Enterprise x64 Edition";
                else
                    s += "Standard x64 Edition";
            }
            else if (suite & VER_SUITE_COMPUTE_SERVER)
                s += "Compute Cluster Edition";
            else if (suite & VER_SUITE_DATACENTER)
                s += "Datacenter Edition";
            else if (suite & VER_SUITE_ENTERPRISE)
                s += "Enterprise Edition";
            else if (suite & VER_SUITE_BLADE)
                s += "Web Edition";
            else
                s += "Standard Edition";
        }
    }
    else if (vi.dwMajorVersion == 5 && vi.dwMinorVersion == 1)
    {
        s += "Windows XP ";
        s += (suite & VER_SUITE_PERSONAL) ? "Home Edition" : "Professional";
    }
    else if (vi.dwMajorVersion == 5 && vi.dwMinorVersion == 0)
    {
        s += "Windows 2000 ";
        if (workstation)
            s += "Professional";
        else if (suite & VER_SUITE_DATACENTER)
            s += "Datacenter Server";
        else if (suite & VER_SUITE_ENTERPRISE)
            s += "Advanced Server";
        else
            s += "Server";
    }
    if (vi.szCSDVersion[0])
    {
        s += " ";
        s += vi.szCSDVersion;
    }
    s += FormatString(" (build %d)", (int)vi.dwBuildNumber);
    if (vi.dwMajorVersion >= 6)
    {
        if (arch == PROCESSOR_ARCHITECTURE_AMD64)
            s += ", 64-bit";
        else if (arch == PROCESSOR_ARCHITECTURE_INTEL)
            s += ", 32-bit";
    }
    std::snprintf(out, size, "%s", s.c_str());
    return true;
}

const char* GetOSDescription()
{
    static char text[256];
    if (!GetOSVersionString(text, sizeof(text)))
        return "Unsupported Windows version";
    return text;
}

bool IsTextureFormatSupported(IDirect3D8* d3d, D3DFORMAT format, DWORD usage, D3DFORMAT adapterFormat)
{
    return SUCCEEDED(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, adapterFormat, usage, D3DRTYPE_TEXTURE, format));
}

bool IsDepthFormatSupported(IDirect3D8* d3d, D3DFORMAT format, D3DFORMAT adapterFormat)
{
    return SUCCEEDED(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, adapterFormat, D3DUSAGE_DEPTHSTENCIL,
                                            D3DRTYPE_SURFACE, format));
}

// The layout of one processor's record from CallNtPowerInformation.
struct ProcessorPowerRecord
{
    ULONG Number;
    ULONG MaxMhz;
    ULONG CurrentMhz;
    ULONG MhzLimit;
    ULONG MaxIdleState;
    ULONG CurrentIdleState;
};

void CD3DApplication::LogSystemInfo()
{
    const uint64_t estimate = GetCpuFrequency();
    SYSTEMTIME t;
    GetLocalTime(&t);
    g_Log.Printf("Local date/time: %02u.%02u.%02u %02u %02u:%02u:%02u\n", t.wDay, t.wMonth, t.wYear, t.wDayOfWeek,
                 t.wHour, t.wMinute, t.wSecond);

    SYSTEM_INFO si;
    GetSystemInfo(&si);
    const DWORD count = si.dwNumberOfProcessors ? si.dwNumberOfProcessors : 1;
    // Without memory for the records no processor line is written.
    std::unique_ptr<ProcessorPowerRecord[]> records(new (std::nothrow) ProcessorPowerRecord[count]);
    if (records)
    {
        const LONG status = CallNtPowerInformation(ProcessorInformation, nullptr, 0, records.get(),
                                                   (ULONG)(count * sizeof(ProcessorPowerRecord)));
        if (status == 0)
        {
            for (DWORD i = 0; i < count; ++i)
                g_Log.Printf("CPU %i frequency: current %u Mhz, maximum %u Mhz\n", (int)i,
                             (unsigned)records[i].CurrentMhz, (unsigned)records[i].MaxMhz);
        }
        else
        {
            g_Log.Printf("CallNtPowerInformation call failed (error: %x).\n", (unsigned)status);
            g_Log.Printf("CPU ~ %i Mhz.\n", (int)estimate);
        }
    }
    g_Log.Printf("%s\n", GetOSDescription());
}

void CD3DApplication::LogAdapterInfo(D3DADAPTER_IDENTIFIER8 id)
{
    g_Log.Printf("Adapter description: %s\n", id.Description);
    g_Log.Printf("Free video memory: %uMB\n", (unsigned)(GetTotalVideoMemory() / 1048576));
    g_Log.Printf("Chipset VendorId: %u(%x)\n", (unsigned)id.VendorId, (unsigned)id.VendorId);
    g_Log.Printf("Chipset DeviceId: %u(%x)\n", (unsigned)id.DeviceId, (unsigned)id.DeviceId);
    g_Log.Printf("Chipset SubSysId: %u(%x)\n", (unsigned)id.SubSysId, (unsigned)id.SubSysId);
    g_Log.Printf("Chipset Revision: %u(%x)\n", (unsigned)id.Revision, (unsigned)id.Revision);
    g_Log.Printf("Driver description: %s\n", id.Driver);
    g_Log.Printf("Driver WHQLLevel: %u\n", (unsigned)id.WHQLLevel);
    const DWORD high = (DWORD)id.DriverVersion.HighPart, low = id.DriverVersion.LowPart;
    g_Log.Printf("Product ID: %u\n", (unsigned)HIWORD(high));
    g_Log.Printf("Version: %u.%u\n", (unsigned)LOWORD(high), (unsigned)HIWORD(low));
    g_Log.Printf("Build: %u\n", (unsigned)LOWORD(low));
}

void CD3DApplication::LogDeviceCaps()
{
    if (!m_pD3D)
        return;
    g_Log.Printf("\n");
    LogAdapterInfo(m_Adapters[0].d3dAdapterIdentifier);
    g_Log.Printf("\n");
    const D3DCAPS8& c = m_d3dCaps;
#define LOG_CAP(member) g_Log.Printf(#member " = %u\n", (unsigned)c.member)
    LOG_CAP(Caps);
    LOG_CAP(Caps2);
    LOG_CAP(Caps3);
    LOG_CAP(CursorCaps);
    LOG_CAP(DevCaps);
    LOG_CAP(PrimitiveMiscCaps);
    LOG_CAP(RasterCaps);
    LOG_CAP(ZCmpCaps);
    LOG_CAP(SrcBlendCaps);
    LOG_CAP(DestBlendCaps);
    LOG_CAP(AlphaCmpCaps);
    LOG_CAP(ShadeCaps);
    LOG_CAP(TextureCaps);
    LOG_CAP(TextureFilterCaps);
    LOG_CAP(CubeTextureFilterCaps);
    LOG_CAP(VolumeTextureFilterCaps);
    LOG_CAP(TextureAddressCaps);
    LOG_CAP(VolumeTextureAddressCaps);
    LOG_CAP(LineCaps);
    LOG_CAP(MaxTextureWidth);
    LOG_CAP(MaxTextureHeight);
    LOG_CAP(MaxVolumeExtent);
    LOG_CAP(MaxTextureRepeat);
    LOG_CAP(MaxTextureAspectRatio);
    LOG_CAP(MaxAnisotropy);
    LOG_CAP(StencilCaps);
    LOG_CAP(TextureOpCaps);
    LOG_CAP(FVFCaps);
    LOG_CAP(MaxTextureBlendStages);
    LOG_CAP(MaxSimultaneousTextures);
    LOG_CAP(VertexProcessingCaps);
    LOG_CAP(MaxActiveLights);
    LOG_CAP(MaxUserClipPlanes);
    LOG_CAP(MaxVertexBlendMatrices);
    LOG_CAP(MaxVertexBlendMatrixIndex);
    LOG_CAP(MaxPointSize);
    LOG_CAP(MaxPrimitiveCount);
    LOG_CAP(MaxVertexIndex);
    LOG_CAP(MaxStreams);
    LOG_CAP(MaxStreamStride);
#undef LOG_CAP
    g_Log.Printf("VertexShaderVersion = %u.%u\n", (unsigned)D3DSHADER_VERSION_MAJOR(c.VertexShaderVersion),
                 (unsigned)D3DSHADER_VERSION_MINOR(c.VertexShaderVersion));
    g_Log.Printf("MaxVertexShaderConst = %u\n", (unsigned)c.MaxVertexShaderConst);
    g_Log.Printf("PixelShaderVersion = %u.%u\n", (unsigned)D3DSHADER_VERSION_MAJOR(c.PixelShaderVersion),
                 (unsigned)D3DSHADER_VERSION_MINOR(c.PixelShaderVersion));
    g_Log.Printf("MaxPixelShaderValue = %f\n", c.MaxPixelShaderValue);
    g_Log.Printf("\n");
}

DWORD CD3DApplication::LogDepthFormats(D3DFORMAT adapterFormat)
{
    DWORD count = 0;
    for (D3DFORMAT f : kDepthFormats)
        if (IsDepthFormatSupported(m_pD3D, f, adapterFormat))
        {
            g_Log.Printf("%s\n", GetFormatName(f));
            ++count;
        }
    return count;
}

DWORD CD3DApplication::LogTextureFormats(D3DFORMAT adapterFormat, DWORD usage)
{
    DWORD count = 0;
    for (size_t i = kFirstTextureFormat; i < kFirstTextureFormat + kTextureFormatCount; ++i)
        if (IsTextureFormatSupported(m_pD3D, kFormatNames[i].format, usage, adapterFormat))
        {
            g_Log.Printf("%s\n", kFormatNames[i].name);
            ++count;
        }
    return count;
}
