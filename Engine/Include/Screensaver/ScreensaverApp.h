#pragma once
// The screensaver application: the framework's application object turned
// into a screensaver. It decides how a run starts (single instance, log
// file, crash relaunch, tuning values, settings) and ends (user input, the
// close rules), chooses the display mode, aspect, letterbox and gamma, draws
// the loading screen and the overlays (frame rate, timed screen messages,
// tuning console), keeps the hotkeys, the sounds and the music player, and
// holds the animated-wallpaper mode's tray icon. A scene application derives
// from it and supplies LoadScene, RenderFrame, UpdateFrame and
// SaveToggledSettings.
#include <windows.h>
#include <shellapi.h>

#include <boost/function.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Font.h"
#include "Scene.h"
#include "SettingsTree.h"
#include "SoundObject.h"
#include "TexMap.h"
#include "Timer.h"
#include "TuningControl.h"
#include "d3dapp.h"

class CMusicPlayer;
class CScreensaverApp;

// A key that does something instead of closing the program.
typedef boost::function<bool(intptr_t)> HotkeyHandler;
struct HotkeyBinding
{
    int m_Key;           // virtual-key code compared with wParam
    unsigned m_Message;  // window message, WM_KEYDOWN for the built-in keys
    HotkeyHandler m_Handler; // true: the key was consumed
    std::string m_KeyName;   // shown in the help list ("F1"); empty: not listed
    std::string m_HelpText;  // shown beside it, translated; empty: not listed
    intptr_t m_Argument;     // handed to the handler
};

// Timed texts with fade-in and fade-out, drawn into the overlay batch.
// One list per process, made on first use; the application object that
// goes away releases it, since its clock reads that object's global timer.
class ScreenMessageList
{
public:
    static ScreenMessageList& Instance();
    static void Release();

    // Shown from `delay` seconds after now for `duration` seconds.
    void Add(float size, float delay, float duration, const std::string& text, float x, float y, float red,
             float green, float blue, float alpha);
    // Drops expired messages and queues the visible ones with their shadows.
    void Draw(TextBatch& batch);
    void SetShadowOffset(float x, float y)
    {
        m_ShadowX = x;
        m_ShadowY = y;
    }
    float GetFadeInTime() const { return m_FadeIn; }
    float GetFadeOutTime() const { return m_FadeOut; }
    size_t GetCount() const { return m_Messages.size(); }
    void SetStart(size_t index, float time);
    float GetStart(size_t index) const;
    int GetFirstAlpha() const { return m_Messages.empty() ? 0 : m_Messages.front().m_CurrentAlpha; }
    float GetTime() { return m_Clock.GetTime(); }

    ScreenMessageList();

private:
    struct Message
    {
        std::string m_Text;
        float m_Start, m_Duration;
        float m_X, m_Y;
        float m_Colour[4];
        float m_Size;
        int m_CurrentAlpha;
    };
    float m_FadeIn = 0.25f;
    float m_FadeOut = 0.25f;
    float m_ShadowX = 0.8f, m_ShadowY = 0.9f;
    CLocalTimer m_Clock;
    std::vector<Message> m_Messages;
};

// The wallpaper mode's icon in the notification area.
class WallpaperTrayIcon
{
public:
    enum
    {
        kIconId = 15,
        kCallbackMessage = 2024,
    };
    explicit WallpaperTrayIcon(CScreensaverApp& app) : m_App(app) {}
    void Add(HWND window, const std::string& tooltip);
    void Remove();
    void Update();
    void ShowBalloon(const char* text, float seconds);
    UINT GetTaskbarCreatedMessage() const { return m_TaskbarCreated; }

private:
    CScreensaverApp& m_App;
    NOTIFYICONDATAA m_Record = {};
    UINT m_TaskbarCreated = 0;
    std::string m_Title;
};

// The autostart value's command: the program's own path quoted, then " /w".
std::string GetAutostartCommand();
// True when the command line asks for the animated-wallpaper mode ("/w").
bool IsWallpaperSwitch(const char* commandLine);

class CScreensaverApp : public CD3DApplication,
                        public TuningControl::CChangeHandler,
                        public Scene::CLoadingProgressHandler,
                        public SoundObject::CLoadingProgressHandler,
                        public Map::CTextureSizeModifier
{
public:
    CScreensaverApp();

    HRESULT OneTimeSceneInit() override;
    HRESULT InitDeviceObjects() override;
    HRESULT Render() override;
    HRESULT DeleteDeviceObjects() override;
    HRESULT Create(HINSTANCE hInstance) override;
    int Run() override;
    LRESULT MsgProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    ~CScreensaverApp() override;
    const char* Translate(const char* text) override;
    void OnBenchmarkFinished() override;

    virtual void ShowLoadingProgress(unsigned steps);
    virtual void DrawHotkeyList(D3DCOLOR colour, int x, int y, int lineStep);
    virtual void OnDrawLoadingScreen() {}
    virtual int GetMessageAlpha();
    virtual void ShowHotkeyHelp();
    virtual bool OnKeyOrButton(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    virtual bool OnMouseMove(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    virtual bool OnMonitorPower(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    virtual bool OnDebugCameraKey(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    virtual bool OnTuningConsoleKey(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    // The scene: loads and sets up everything, reporting progress through
    // ShowLoadingProgress; may register more hotkeys.
    virtual void LoadScene() = 0;
    virtual void InitSounds();
    virtual void ReadSettings();
    virtual void SetDefaultSettings();
    virtual void SetSoundsVolume(int percent, bool loadedOnly);
    virtual void DeleteSounds();
    // Writes back the scene's own toggled settings and frees what the scene
    // keeps beside the main scene; called before the main scene is deleted.
    virtual void SaveToggledSettings() = 0;
    virtual void UpdateSoundListener();
    // Draws the scene between BeginScene and EndScene.
    virtual void RenderFrame() = 0;
    virtual void ApplyTextureFiltering();
    virtual bool OnHotkey(intptr_t key);
    virtual void RegisterHotkey(int key, unsigned message, const std::string& keyName, const std::string& helpText,
                                const HotkeyHandler& handler, intptr_t argument);
    virtual std::string GetLanguage();
    virtual void ApplyBenchmarkOptions();

    // A tuning value was edited in the console; the scene overrides it.
    void OnChanged(const std::string&, const float&) override {}
    // Both loaders' progress: one step each.
    void OnLoadingProgress(int, int) override { ShowLoadingProgress(1); }
    void OnProgress(int done, int total) override { OnLoadingProgress(done, total); }
    // Makes, loads (when DirectSound is ready) and keeps one 3D sound; never
    // null. A name ending in ".wav" or ".WAV" is read as WAV, any other as
    // Ogg Vorbis.
    SoundObject* LoadSound(const char* name, WORD resourceId, bool frequencyControl);
    void ModifySize(const std::string&, uint32_t* width, uint32_t* height) override
    {
        ModifyTextureSize(width, height);
    }
    void ModifyTextureSize(uint32_t* width, uint32_t* height);

    void ApplyDesktopResolution();
    float GetAspectRatio();
    float GetTextScale();
    void LoadFonts();
    // "values.txt" of the working folder; false when the built-in values
    // are to be used (logged), and then the file is not written back.
    bool LoadExternalTuning();
    std::string TranslateText(const std::string& text) { return Translate(text.c_str()); }
    // Clears the ready flag and posts WM_CLOSE.
    void Close();
    static void SetCameraAspect(Object* object, void* aspect);

    // The crash hook (never returns) and the error-report hook.
    static void OnCrash();
    static void RecordErrorReportTime();

    // Wallpaper mode.
    LRESULT OnTrayMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void StartWallpaper();
    void StopWallpaper();
    bool IsDesktopChanged();
    void ReadAutostart();
    void WriteAutostart();
    void LaunchSettingsDialog();
    void SetAutostartChanged(bool changed) { m_bAutostartChanged = changed; }
    void SetAutostart(bool on) { m_bAutostart = on; }
    bool GetAutostart() const { return m_bAutostart; }
    bool IsStopped() const { return !m_bReady; }

    // Settings values as ints (0 when absent or of another kind).
    int GetSettingInt(const char* name);
    void SetSettingInt(const char* name, int value);
    Node& GetSettings() { return m_Settings; }
    TuningControl::CManager& GetTuning() { return m_Tuning; }
    const std::string& GetTitle() const { return m_strTitle; }
    const std::string& GetName() const { return m_strName; }
    const std::string& GetWallpaperTitle() const { return m_strWallpaperTitle; }

protected:
    // The registry key of the settings: "Software\Vellomaris\" + title.
    std::string GetSettingsKey() const;
    // Log line of the frame-rate statistics, 0 when none was counted.
    void ReportFrameRates();
    void ReleaseLogo();
    void WriteToggledSetting(const char* name, bool on);
    void RegisterBuiltInHotkeys();
    void SetupDisplay();
    // The chosen monitor's desktop mode into "ModeWidth", "ModeHeight", "ModeFormat".
    void StoreDesktopMode();
    void StopMusic();
    void ReleaseSoundDevice();
    void ToggleMuteAll();
    bool StartDirectSound();
    // Scales the listener's units so that the scene's two metre dummies
    // stand one metre apart.
    void SetMeterScale();

    std::string m_strName;
    std::string m_strTitle;
    std::string m_strWallpaperTitle;
    std::string m_strVersion;
    std::string m_strCaption; // the window caption the framework points at
    bool m_bTuningFromFile = false;
    HANDLE m_hMutex = nullptr;
    Font m_Font;
    TextBatch m_TextBatch;
    float m_fTextScale = 1.0f;
    std::unique_ptr<Scene> m_pMainScene;
    std::unique_ptr<CMusicPlayer> m_pMusicPlayer;
    std::vector<std::unique_ptr<SoundObject>> m_Sounds;
    bool m_bSoundSetupPending = true;
    bool m_bMusicRunning = false;
    bool m_bMusicSetupPending = true;
    bool m_bDirectSoundReady = false;
    Node m_Settings;
    float m_fGamma = 1.0f;
    int m_iShowFPS = 0;
    bool m_bFPSToggled = false;
    bool m_bWidescreenToggled = false;
    class RenderStateManager* m_pStateCache = nullptr;
    CLocalTimer m_OverlayClock;
    bool m_bDisableW = false;
    bool m_bDisableF = false;
    bool m_bDisableM = false;
    unsigned m_LoadingExpected = 0;
    unsigned m_LoadingDone = 0;
    float m_fCameraAspect = 4.0f / 3.0f;
    bool m_bWidescreenEmulation = false;
    D3DVIEWPORT8 m_FullViewport = {};
    D3DVIEWPORT8 m_LetterboxViewport = {};
    int m_iHelpListOffset = 0;
    float m_TextScaleFactors[4] = {1.5f, 1.35f, 1.2f, 1.1f};
    D3DCOLOR m_ClearColour = 0;
    bool m_bFirstFrameDrawn = false;
    int m_iHighQualityTextures = 1;
    bool m_bTuningConsoleAllowed = true;
    TuningControl::CManager m_Tuning;
    int m_LastMouseX = -1, m_LastMouseY = -1;
    std::vector<HotkeyBinding> m_Hotkeys;
    int m_FramesCounted = 0;
    float m_fLowestFPS = 0, m_fHighestFPS = 0, m_fFPSStartTime = 0;
    WallpaperTrayIcon m_TrayIcon;
    bool m_bAutostart = false;
    bool m_bAutostartChanged = false;

    // Kept per run, so that a second run in one process starts afresh.
    bool m_bFPSStartTaken = false;
    bool m_bFPSRangeStarted = false;
    ComRef<IDirect3DTexture8> m_pLogo; // the loading screen's, released with the device objects
    bool m_bLogoTried = false;
    RECT m_LogoRect = {};
    unsigned m_LastPercentShown = 255;
    // The help hotkey's state.
    CLocalTimer m_HelpClock;
    bool m_bHelpFirstPress = true;
    float m_fHelpTotalDelay = 0.0f;
    float m_fHelpLastDuration = 7.0f;
    float m_fHelpTextFactor = 0.0f; // taken once
    // Translations handed out by Translate, kept for the life of the object.
    bool m_bLanguageSelected = false;
    std::map<std::string, std::string> m_Translations;
};
