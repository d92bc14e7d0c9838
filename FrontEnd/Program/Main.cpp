// "Tarnholm 3D Screensaver.scr": the file Windows starts with the screensaver
// switches. It shows the settings, draws the preview picture, changes the
// password, or starts the main program and waits for it.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "CommandLine.h"
#include "FrontEnd.h"
#include "PreviewWnd.h"
#include "Resource.h"
#include "SettingsDlg.h"
#include "WindowBase.h"

namespace
{
HWND OwnerWindow(intptr_t number)
{
    HWND window = reinterpret_cast<HWND>(number);
    return window && IsWindow(window) ? window : nullptr;
}

void StartModule(HINSTANCE instance)
{
    CoInitialize(nullptr);
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    g_Module.Init(instance);
}

void StopModule()
{
    g_Module.Term();
    CoUninitialize();
}

void Configure(HINSTANCE instance, intptr_t owner)
{
    StartModule(instance);
    // The adapter table is large: the dialog lives in static storage.
    static CSettingsDlg dialog;
    dialog.DoModal(OwnerWindow(owner), CSettingsDlg::IDD);
    StopModule();
}

void Preview(HINSTANCE instance, intptr_t parentNumber)
{
    StartModule(instance);
    CMessageLoop loop;
    g_Module.AddMessageLoop(&loop);
    HWND parent = OwnerWindow(parentNumber);
    static CPreviewWnd preview;
    RECT rect = {0, 0, 0, 0};
    if (!parent || !GetClientRect(parent, &rect) ||
        !preview.Create(parent, rect, "", WS_CHILD | WS_VISIBLE, 0, 0))
        ExitProcess(0);
    preview.LoadPicture(IDR_PREVIEW_JPEG);
    preview.Show(SW_SHOW);
    loop.Run();
    g_Module.RemoveMessageLoop();
    StopModule();
}
} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    GetLanguageTable();
    const ParsedCommandLine command = ParseCommandLine(GetCommandLineA());
    switch (command.mode)
    {
    case ScreensaverMode::Configure: Configure(instance, command.window); break;
    case ScreensaverMode::Preview: Preview(instance, command.window); break;
    case ScreensaverMode::Run: RunMainProgram(); break;
    case ScreensaverMode::ChangePassword: ChangeScreensaverPassword(); break;
    case ScreensaverMode::DoNothing: break;
    }
    return 0;
}
