#pragma once
// Test helpers that start the front-end (or another program) under Wine and
// drive its windows from outside, always with time limits; and direct
// registry access for setting up and checking the settings key.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace FrontEndTest
{
const char* const kProductKey = "Software\\Vellomaris\\Tarnholm 3D Screensaver";

// A started process; killed on destruction when it is still running.
class CProcess
{
public:
    CProcess() = default;
    ~CProcess();
    CProcess(const CProcess&) = delete;
    CProcess& operator=(const CProcess&) = delete;

    bool Start(const std::string& commandLine, const std::string& folder = std::string());
    // True when it ended within the time; its exit code then in `code`.
    bool WaitExit(DWORD milliseconds, DWORD* code = nullptr);
    DWORD Id() const { return m_Info.dwProcessId; }

private:
    PROCESS_INFORMATION m_Info = {};
};

// Pumps this thread's messages while waiting.
void PumpFor(DWORD milliseconds);
// The first visible top-level window of the process with that class (any
// class when null) and, when given, that caption; null after the time.
HWND WaitForWindow(DWORD processId, const char* className, const char* caption, DWORD milliseconds);
std::string WindowText(HWND window);
// The pixel of the screen at that point as 0xRRGGBB.
DWORD ScreenPixel(int x, int y);
// Saves the screen rectangle as a 24-bit BMP.
bool SaveScreenRect(const RECT& rect, const std::string& path);

// The settings key: all REG_SZ values by name, and helpers.
void DeleteSettingsKey();
void SetString(const char* subkey, const char* name, const std::string& value);
std::map<std::string, std::string> ReadValues(const char* subkey);
void SetProductValue(const char* name, const std::string& value);
std::string ProductValue(const char* name);

// A top-level window of this test on a black background, at (100, 100) of
// the screen, 304 x 224: twice the preview picture's size.
class CParentWindow
{
public:
    CParentWindow();
    ~CParentWindow();
    HWND m_hWnd = nullptr;
};

// The folder of the running test program.
std::string ProgramFolder();
bool WriteTextFile(const std::string& path, const std::string& text);
std::string ReadTextFile(const std::string& path);
} // namespace FrontEndTest
