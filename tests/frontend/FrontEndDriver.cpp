#include "FrontEndDriver.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace FrontEndTest
{
CProcess::~CProcess()
{
    if (m_Info.hProcess)
    {
        if (WaitForSingleObject(m_Info.hProcess, 0) == WAIT_TIMEOUT)
        {
            TerminateProcess(m_Info.hProcess, 99);
            WaitForSingleObject(m_Info.hProcess, 5000);
        }
        CloseHandle(m_Info.hThread);
        CloseHandle(m_Info.hProcess);
    }
}

bool CProcess::Start(const std::string& commandLine, const std::string& folder)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string line = commandLine;
    return CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &m_Info) != FALSE;
}

bool CProcess::WaitExit(DWORD milliseconds, DWORD* code)
{
    const DWORD start = GetTickCount();
    for (;;)
    {
        if (WaitForSingleObject(m_Info.hProcess, 0) == WAIT_OBJECT_0)
            break;
        if (GetTickCount() - start > milliseconds)
            return false;
        PumpFor(20);
    }
    if (code)
        GetExitCodeProcess(m_Info.hProcess, code);
    return true;
}

void PumpFor(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    do
    {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
}

namespace
{
struct Search
{
    DWORD processId;
    const char* className;
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM parameter)
{
    auto* s = reinterpret_cast<Search*>(parameter);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != s->processId || !IsWindowVisible(window))
        return TRUE;
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    if (s->className && std::string(name) != s->className)
        return TRUE;
    if (s->caption && WindowText(window) != s->caption)
        return TRUE;
    s->found = window;
    return FALSE;
}
} // namespace

HWND WaitForWindow(DWORD processId, const char* className, const char* caption, DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    do
    {
        Search s{processId, className, caption, nullptr};
        EnumWindows(&FindTopLevel, reinterpret_cast<LPARAM>(&s));
        if (s.found)
            return s.found;
        PumpFor(50);
    } while (GetTickCount() - start < milliseconds);
    return nullptr;
}

std::string WindowText(HWND window)
{
    char text[1024] = {};
    GetWindowTextA(window, text, sizeof text);
    return text;
}

DWORD ScreenPixel(int x, int y)
{
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return (DWORD(GetRValue(c)) << 16) | (DWORD(GetGValue(c)) << 8) | GetBValue(c);
}

bool SaveScreenRect(const RECT& rect, const std::string& path)
{
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (w <= 0 || h <= 0)
        return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = DWORD((w * 3 + 3) & ~3), size = stride * DWORD(h);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + size;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
    out.write(static_cast<const char*>(bits), size);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bool(out);
}

void DeleteSettingsKey()
{
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kProductKey);
}

void SetString(const char* subkey, const char* name, const std::string& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD(value.size() + 1));
    RegCloseKey(key);
}

std::map<std::string, std::string> ReadValues(const char* subkey)
{
    std::map<std::string, std::string> values;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i)
    {
        char name[256];
        BYTE data[4096];
        DWORD nameLength = sizeof name, dataLength = sizeof data - 1, type = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS)
            break;
        if (type != REG_SZ)
            continue;
        data[dataLength] = 0;
        values[std::string(name, nameLength)] = reinterpret_cast<const char*>(data);
    }
    RegCloseKey(key);
    return values;
}

void SetProductValue(const char* name, const std::string& value)
{
    SetString(kProductKey, name, value);
}

std::string ProductValue(const char* name)
{
    const auto values = ReadValues(kProductKey);
    const auto it = values.find(name);
    return it == values.end() ? std::string("<absent>") : it->second;
}

CParentWindow::CParentWindow()
{
    WNDCLASSA c = {};
    c.lpfnWndProc = DefWindowProcA;
    c.hInstance = GetModuleHandleA(nullptr);
    c.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    c.lpszClassName = "FrontEndPreviewParent";
    RegisterClassA(&c);
    m_hWnd = CreateWindowExA(WS_EX_TOPMOST, c.lpszClassName, "", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 100, 100,
                             304, 224, nullptr, nullptr, c.hInstance, nullptr);
    PumpFor(200);
}

CParentWindow::~CParentWindow()
{
    if (IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

std::string ProgramFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\'));
}

bool WriteTextFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    return bool(out);
}

std::string ReadTextFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
} // namespace FrontEndTest
