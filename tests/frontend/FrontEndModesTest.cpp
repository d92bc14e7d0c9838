// The screensaver file started as Windows starts it, driven from outside:
// "/c" settings dialog (controls, OK, Cancel, the registry written), "/p"
// preview inside a window of this test, "/s" finding and starting the main
// program (a stand-in) and waiting for it.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>

#include "FrontEndDriver.h"

using namespace FrontEndTest;

namespace
{
const char* const kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnholm 3D Screensaver_is1";
const char* const kCombinedKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnholm 3D Screensaver and Animated Wallpaper_is1";

std::string WindowsPath(const char* unixPath)
{
    std::string path = std::string("Z:") + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string ScreensaverCommand(const std::string& switches)
{
    return "\"" + WindowsPath(TARNHOLM_FRONTEND_SCR) + "\" " + switches;
}

class FrontEndModes : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Clean();
        m_Work = ProgramFolder() + "\\frontend work";
        CreateDirectoryA(m_Work.c_str(), nullptr);
        // Main programs left by an earlier run would change what is found.
        for (const char* folder : {"Main Program A", "Main Program B", "Uninstall", "Combined"})
            DeleteFileA((m_Work + "\\" + folder + "\\Tarnholm 3D Screensaver.exe").c_str());
    }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        DeleteSettingsKey();
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kCombinedKey);
    }
    std::string m_Work;
};

// The settings dialog of a started front-end, null after 20 seconds.
HWND WaitForSettings(CProcess& process)
{
    return WaitForWindow(process.Id(), "#32770", nullptr, 20000);
}

bool IsChecked(HWND dialog, int id)
{
    return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// What a click on an automatic check box does: flip it, tell the dialog.
void ClickCheckBox(HWND dialog, int id)
{
    HWND box = GetDlgItem(dialog, id);
    SendMessageA(box, BM_SETCHECK, IsChecked(dialog, id) ? BST_UNCHECKED : BST_CHECKED, 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(box));
}

// What dragging a slider does: move it, tell the dialog.
void MoveSlider(HWND dialog, int id, int position)
{
    HWND slider = GetDlgItem(dialog, id);
    SendMessageA(slider, TBM_SETPOS, TRUE, position);
    SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(TB_THUMBTRACK, position), reinterpret_cast<LPARAM>(slider));
}

std::string ItemText(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
}

TEST_F(FrontEndModes, SettingsDialogShowsTheStoredValuesAndOkSavesThem)
{
    SetProductValue("Language", "3: de");
    SetProductValue("ShowFPS", "2: 0");
    SetProductValue("GammaControl", "2: 4000"); // no slider position: the default
    SetProductValue("CurMonitor", "2: 5");      // no such monitor: the first one
    SetProductValue("MusicVolumePercentage", "2: 30");
    SetProductValue("UsePlaylist", "2: 1");
    SetProductValue("GraphicsQuality", "2: 2");
    SetProductValue("PlayList", "kept as it is");
    // A subkey: saving must be allowed to open it.
    SetString((std::string(kProductKey) + "\\Extra").c_str(), "Depth", "2: 3");

    CProcess scr;
    ASSERT_TRUE(scr.Start(ScreensaverCommand("/c")));
    HWND dialog = WaitForSettings(scr);
    ASSERT_NE(dialog, nullptr);

    // Translated into the stored language, labels filled from the settings.
    EXPECT_EQ(WindowText(dialog), "Tarnholm 3D Screensaver 2.0 Konfiguration");
    EXPECT_EQ(ItemText(dialog, 1021), "FPS anzeigen");
    EXPECT_EQ(ItemText(dialog, 1045), "Musiklautst\xe4rke: 30%");
    EXPECT_EQ(ItemText(dialog, 1042), "Gammakorrektur: 1.00");
    EXPECT_EQ(ItemText(dialog, 1071), "Grafikqualit\xe4t: Mittel");
    EXPECT_FALSE(IsChecked(dialog, 1021));
    EXPECT_TRUE(IsChecked(dialog, 1069));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, 4)));
    EXPECT_EQ(SendDlgItemMessageA(dialog, 1058, CB_GETCOUNT, 0, 0), 5);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 1058, CB_GETCURSEL, 0, 0), 4); // autodetect
    EXPECT_GT(SendDlgItemMessageA(dialog, 1001, CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendDlgItemMessageA(dialog, 1002, CB_GETCOUNT, 0, 0), 1);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 1002))); // one monitor
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, 1059)));  // 1024 x 768 is narrower than 1.59

    ClickCheckBox(dialog, 1021);
    MoveSlider(dialog, 1044, 80);
    EXPECT_EQ(ItemText(dialog, 1045), "Musiklautst\xe4rke: 80%");
    MoveSlider(dialog, 1070, 4);
    EXPECT_EQ(ItemText(dialog, 1071), "Grafikqualit\xe4t: Maximal");
    ClickCheckBox(dialog, 1032); // music off: its controls go grey
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 4)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 1044)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, 1069)));

    RECT rect;
    GetWindowRect(dialog, &rect);
    SaveScreenRect(rect, m_Work + "\\settings-dialog.bmp");

    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    DWORD code = 1;
    ASSERT_TRUE(scr.WaitExit(15000, &code)) << "no exit after OK (an error box?)";
    EXPECT_EQ(code, 0u);

    const std::map<std::string, std::string> expected = {
        {"ShowFPS", "2: 1"},       {"MusicVolumePercentage", "2: 80"}, {"DisableMusic", "2: 1"},
        {"GammaControl", "2: 50"}, {"CurMonitor", "2: 0"},            {"GraphicsQuality", "2: 4"},
        {"UsePlaylist", "2: 1"},   {"LightingMode", "2: 1"},          {"ShowClock", "2: 1"},
        {"Language", "3: de"},     {"PlayList", "kept as it is"},     {"MonitorAspectRatio", "2: 4"},
    };
    for (const auto& e : expected)
        EXPECT_EQ(ProductValue(e.first.c_str()), e.second) << e.first;
    EXPECT_EQ(ReadValues((std::string(kProductKey) + "\\Extra").c_str())["Depth"], "2: 3");
}

TEST_F(FrontEndModes, CancelAndTheCloseBoxChangeNothing)
{
    for (UINT message : {UINT(WM_COMMAND), UINT(WM_CLOSE)})
    {
        SetProductValue("ShowFPS", "2: 0");
        SetProductValue("SoundsVolumePercentage", "2: 40");
        const auto before = ReadValues(kProductKey);

        CProcess scr;
        ASSERT_TRUE(scr.Start(ScreensaverCommand("/c")));
        HWND dialog = WaitForSettings(scr);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(WindowText(dialog), "Tarnholm 3D Screensaver 2.0 Configuration");
        EXPECT_EQ(ItemText(dialog, 1046), "Sounds volume: 40%");
        ClickCheckBox(dialog, 1021);
        MoveSlider(dialog, 1047, 90);
        if (message == WM_COMMAND)
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        else
            PostMessageA(dialog, WM_CLOSE, 0, 0);
        ASSERT_TRUE(scr.WaitExit(15000));
        EXPECT_EQ(ReadValues(kProductKey), before);
    }
}

TEST_F(FrontEndModes, PreviewWindowCoversTheParentAndEndsWithIt)
{
    CParentWindow parent;
    ASSERT_NE(parent.m_hWnd, nullptr);
    CProcess scr;
    ASSERT_TRUE(scr.Start(ScreensaverCommand("/p " + std::to_string(reinterpret_cast<uintptr_t>(parent.m_hWnd)))));
    HWND child = nullptr;
    for (int i = 0; i < 300 && !child; ++i)
    {
        PumpFor(50);
        child = FindWindowExA(parent.m_hWnd, nullptr, nullptr, nullptr);
    }
    ASSERT_NE(child, nullptr) << "no preview window in the parent";
    RECT rect;
    GetClientRect(child, &rect);
    EXPECT_EQ(rect.right, 304);
    EXPECT_EQ(rect.bottom, 224);
    // Wine does not show what a window of another process draws inside a
    // window of this one: the picture itself is checked in-process
    // (frontend_win_tests); here the window, its size and its end.
    PumpFor(500);
    DestroyWindow(parent.m_hWnd);
    DWORD code = 1;
    EXPECT_TRUE(scr.WaitExit(10000, &code)) << "the preview outlived its parent";
    EXPECT_EQ(code, 0u);
}

TEST_F(FrontEndModes, PreviewWithoutAUsableWindowEndsAtOnce)
{
    for (const char* switches : {"/p", "/p 12345678"})
    {
        CProcess scr;
        ASSERT_TRUE(scr.Start(ScreensaverCommand(switches)));
        DWORD code = 1;
        EXPECT_TRUE(scr.WaitExit(10000, &code)) << switches;
        EXPECT_EQ(code, 0u);
    }
}

class FrontEndRun : public FrontEndModes
{
protected:
    // Puts a copy of the stand-in as the main program into `folder`.
    std::string Install(const std::string& folder)
    {
        CreateDirectoryA(folder.c_str(), nullptr);
        const std::string target = folder + "\\Tarnholm 3D Screensaver.exe";
        CopyFileA(WindowsPath(TARNHOLM_STANDIN_EXE).c_str(), target.c_str(), FALSE);
        return target;
    }
    // Runs "/s" in `folder`; returns the stand-in's report after releasing it.
    std::string RunSaver(const std::string& folder, DWORD* code)
    {
        const std::string report = m_Work + "\\standin-report.txt";
        DeleteFileA(report.c_str());
        DeleteFileA((report + ".release").c_str());
        SetEnvironmentVariableA("TARNHOLM_STANDIN_REPORT", report.c_str());
        CProcess scr;
        if (!scr.Start(ScreensaverCommand("/s"), folder))
            return "not started";
        for (int i = 0; i < 400 && GetFileAttributesA(report.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
            PumpFor(50);
        PumpFor(300);
        const bool waited = !scr.WaitExit(500);
        WriteTextFile(report + ".release", "go");
        if (!scr.WaitExit(15000, code))
            return "front-end did not end";
        return (waited ? "" : "front-end did not wait\n") + ReadTextFile(report);
    }
};

TEST_F(FrontEndRun, AppPathFirstAndTheProgramStartsInItsFolder)
{
    const std::string app = m_Work + "\\Main Program A", other = m_Work + "\\Main Program B";
    const std::string exe = Install(app);
    Install(other);
    SetProductValue("AppPath", app);
    SetString(kUninstallKey, "InstallLocation", other);
    DWORD code = 1;
    EXPECT_EQ(RunSaver(m_Work, &code), "\"" + exe + "\"\n" + app + "\n" + exe + "\n");
    EXPECT_EQ(code, 0u);
}

TEST_F(FrontEndRun, UninstallEntriesInOrderWhenAppPathIsEmpty)
{
    const std::string first = m_Work + "\\Uninstall", second = m_Work + "\\Combined";
    const std::string combinedExe = Install(second);
    CreateDirectoryA(first.c_str(), nullptr);
    SetString(kUninstallKey, "InstallLocation", first); // holds no program
    SetString(kCombinedKey, "InstallLocation", second);
    DWORD code = 1;
    // Found through the combined entry, it runs in the screensaver's own
    // uninstall folder, which is set.
    EXPECT_EQ(RunSaver(m_Work, &code), "\"" + combinedExe + "\"\n" + first + "\n" + combinedExe + "\n");

    const std::string firstExe = Install(first);
    EXPECT_EQ(RunSaver(m_Work, &code), "\"" + firstExe + "\"\n" + first + "\n" + firstExe + "\n");

    // Only the combined entry: the program inherits the front-end's folder.
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
    EXPECT_EQ(RunSaver(m_Work, &code), "\"" + combinedExe + "\"\n" + m_Work + "\n" + combinedExe + "\n");
}

TEST_F(FrontEndRun, NoMainProgramShowsTheErrorBox)
{
    SetProductValue("AppPath", m_Work + "\\nowhere");
    CProcess scr;
    ASSERT_TRUE(scr.Start(ScreensaverCommand("/s"), m_Work));
    HWND box = WaitForWindow(scr.Id(), "#32770", "Error!", 20000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(box, 0xFFFF)), "Can't find the main file! Please reinstall screensaver.");
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    DWORD code = 1;
    EXPECT_TRUE(scr.WaitExit(10000, &code));
    EXPECT_EQ(code, 0u);
}
} // namespace
