#include <gtest/gtest.h>

#include <windows.h>
#include <memory>
#include <string>
#include <vector>

#include <powrprof.h>

#include "AppClock.h"
#include "Log.h"
#include "PowerSystem.h"
#include "Timer.h"
#include "d3dapp.h"

namespace {

class PowerApp : public CD3DApplication
{
public:
    using CD3DApplication::CanRender;
    using CD3DApplication::m_bActive;
    using CD3DApplication::m_bWallpaperMode;
    using CD3DApplication::m_hMonitorDevice;
    using CD3DApplication::m_hPowerNotify;
    using CD3DApplication::m_bMonitorOn;
    using CD3DApplication::m_bMonitorPoweredOff;
    using CD3DApplication::m_fMonitorPowerCountdown;
    using CD3DApplication::m_fSuspendCountdown;
    using CD3DApplication::m_hPasswordModule;
    using CD3DApplication::m_hMonitorPowerOffEvent;
    using CD3DApplication::m_hWnd;
    using CD3DApplication::m_iMonitorPowerOffTimeout;
    using CD3DApplication::m_iSuspendTimeout;
    using CD3DApplication::m_pVerifyScreenSavePwd;
};

// The machine as the tests want it; nothing here reaches the real system.
struct FakeSystem
{
    static bool hasPowrprof, hasSetSuspendState, suspendSucceeds, systemPowerSucceeds;
    static int suspends, systemPowerStates, monitorBroadcasts, verifyCalls, verifyFailures;
    static std::vector<DWORD> sleeps;
    static int powerOffTimeout;
    static int quitAfterSleeps; // 0: never
    static ULONG idleTimeoutAc;
    static DWORD platform;
    static BOOL saverRunning, deviceAnswers, deviceOn;
    static int deviceQueries;

    static void Reset()
    {
        saverRunning = FALSE;
        deviceAnswers = deviceOn = TRUE;
        deviceQueries = 0;
        hasPowrprof = hasSetSuspendState = suspendSucceeds = systemPowerSucceeds = true;
        suspends = systemPowerStates = monitorBroadcasts = verifyCalls = verifyFailures = 0;
        sleeps.clear();
        powerOffTimeout = 0;
        quitAfterSleeps = 0;
        idleTimeoutAc = 0;
        platform = VER_PLATFORM_WIN32_NT;
    }
    static HMODULE Load(const char* name)
    {
        if (std::string(name) == "powrprof.dll")
            return hasPowrprof ? reinterpret_cast<HMODULE>(0x1000) : nullptr;
        if (std::string(name) == "PASSWORD.CPL")
            return reinterpret_cast<HMODULE>(0x2000);
        return nullptr;
    }
    static BOOLEAN WINAPI SetSuspendState(BOOLEAN, BOOLEAN, BOOLEAN)
    {
        ++suspends;
        SetLastError(5);
        return suspendSucceeds;
    }
    static BOOLEAN WINAPI GetCurrentPowerPolicies(PGLOBAL_POWER_POLICY, PPOWER_POLICY policy)
    {
        policy->user.IdleTimeoutAc = idleTimeoutAc;
        policy->user.IdleTimeoutDc = 7;
        policy->user.IdleAc.Action = PowerActionSleep;
        return TRUE;
    }
    static BOOL WINAPI Verify(HWND)
    {
        return ++verifyCalls > verifyFailures;
    }
    static FARPROC Find(HMODULE, const char* name)
    {
        const std::string n = name;
        if (n == "SetSuspendState" && hasSetSuspendState)
            return reinterpret_cast<FARPROC>(&SetSuspendState);
        if (n == "GetCurrentPowerPolicies")
            return reinterpret_cast<FARPROC>(&GetCurrentPowerPolicies);
        if (n == "VerifyScreenSavePwd")
            return reinterpret_cast<FARPROC>(&Verify);
        return nullptr;
    }
    static BOOL SystemParameters(UINT action, UINT, void* data, UINT)
    {
        if (action == SPI_GETPOWEROFFTIMEOUT)
            *static_cast<int*>(data) = powerOffTimeout;
        if (action == SPI_GETSCREENSAVERRUNNING)
            *static_cast<BOOL*>(data) = saverRunning;
        return TRUE;
    }
};
bool FakeSystem::hasPowrprof, FakeSystem::hasSetSuspendState, FakeSystem::suspendSucceeds,
    FakeSystem::systemPowerSucceeds;
int FakeSystem::suspends, FakeSystem::systemPowerStates, FakeSystem::monitorBroadcasts, FakeSystem::verifyCalls,
    FakeSystem::verifyFailures;
std::vector<DWORD> FakeSystem::sleeps;
int FakeSystem::powerOffTimeout;
int FakeSystem::quitAfterSleeps;
ULONG FakeSystem::idleTimeoutAc;
DWORD FakeSystem::platform;
BOOL FakeSystem::saverRunning, FakeSystem::deviceAnswers, FakeSystem::deviceOn;
int FakeSystem::deviceQueries;

const PowerSystemCalls kFakeCalls = {
    FakeSystem::Load,
    FakeSystem::Find,
    [](HMODULE) {},
    [](BOOL, BOOL) -> BOOL {
        ++FakeSystem::systemPowerStates;
        SetLastError(6);
        return FakeSystem::systemPowerSucceeds;
    },
    FakeSystem::SystemParameters,
    [](LPARAM state) {
        EXPECT_EQ(state, 1);
        ++FakeSystem::monitorBroadcasts;
    },
    [](DWORD ms) {
        FakeSystem::sleeps.push_back(ms);
        if (int(FakeSystem::sleeps.size()) == FakeSystem::quitAfterSleeps)
            PostQuitMessage(0);
    },
    [] { return FakeSystem::platform; },
    [](DWORD* value) {
        *value = 1;
        return true;
    },
    [](HANDLE, BOOL* on) -> BOOL {
        ++FakeSystem::deviceQueries;
        *on = FakeSystem::deviceOn;
        return FakeSystem::deviceAnswers;
    },
};

// A clock the test moves by hand: milliseconds, 1000 counts a second.
struct HandClock
{
    static int64_t ms;
    static bool Frequency(int64_t* f)
    {
        *f = 1000;
        return true;
    }
    static int64_t Counter() { return ms; }
    static uint32_t Milliseconds() { return uint32_t(ms); }
};
int64_t HandClock::ms = 0;
const TimerClockSource kHandClock = {HandClock::Frequency, HandClock::Counter, HandClock::Milliseconds};

const char* const kEventNames[4] = {
    "Vellomaris screensaver manager event stop timer", "Vellomaris screensaver manager event start timer",
    "Vellomaris screensaver manager event restart timer", "Vellomaris screensaver manager event monitor power off"};
enum
{
    kStop,
    kStart,
    kRestart,
    kPowerOff
};

class PowerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FakeSystem::Reset();
        SetPowerSystemCalls(&kFakeCalls);
        SetTimerClockSource(&kHandClock);
        HandClock::ms = 100000;
        ResetFrameTiming();
        ResetPowerManagementState();
        AppClock::Start();
        m_LogStart = g_Log.GetText().size();
    }
    void TearDown() override
    {
        m_App.reset();
        for (HANDLE& e : m_Events)
            if (e)
                CloseHandle(e);
        if (m_hWnd)
            DestroyWindow(m_hWnd);
        SetPowerSystemCalls(nullptr);
        SetTimerClockSource(nullptr);
        ResetFrameTiming();
        ResetPowerManagementState();
    }
    // The manager's events exist only when the test makes them, before the
    // application object opens them.
    void MakeEvents(bool powerOff)
    {
        for (int i = 0; i < 4; ++i)
            if (i != kPowerOff || powerOff)
                m_Events[i] = CreateEventA(nullptr, TRUE, FALSE, kEventNames[i]);
    }
    PowerApp& App(int monitorTimeout = 10, int suspendTimeout = 0)
    {
        m_App.reset(); // one application object at a time: they share the global timer
        m_App.reset(new PowerApp);
        if (m_hWnd)
            DestroyWindow(m_hWnd);
        m_hWnd = CreateWindowExA(0, "STATIC", "power", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        m_App->m_hWnd = m_hWnd;
        m_App->m_bActive = TRUE;
        m_App->m_iMonitorPowerOffTimeout = monitorTimeout;
        m_App->m_fMonitorPowerCountdown = float(monitorTimeout);
        m_App->m_iSuspendTimeout = suspendTimeout;
        m_App->m_fSuspendCountdown = float(suspendTimeout);
        // Named events live in the Wine server shared by every test program;
        // where this test made no power-off event, the application must not
        // hold one that something else left behind.
        if (!m_Events[kPowerOff] && m_App->m_hMonitorPowerOffEvent)
        {
            CloseHandle(m_App->m_hMonitorPowerOffEvent);
            m_App->m_hMonitorPowerOffEvent = nullptr;
        }
        return *m_App;
    }
    void Step(int ms)
    {
        HandClock::ms += ms;
        m_App->UpdateMonitorPowerCountdown();
    }
    bool Signalled(int i) { return WaitForSingleObject(m_Events[i], 0) == WAIT_OBJECT_0; }
    std::string NewLog() const { return g_Log.GetText().substr(m_LogStart); }
    bool ClosePosted()
    {
        MSG msg;
        return PeekMessageA(&msg, m_hWnd, WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0;
    }

    std::unique_ptr<PowerApp> m_App;
    HANDLE m_Events[4] = {};
    HWND m_hWnd = nullptr;
    size_t m_LogStart = 0;
};

TEST_F(PowerTest, MonitorPowersOffAfterItsTimeoutAndStopsTheClock)
{
    PowerApp& app = App(10);
    Step(0); // the countdown starts counting at its first step
    for (int i = 0; i < 3; ++i)
        Step(3000);
    EXPECT_FALSE(app.m_bMonitorPoweredOff);
    EXPECT_EQ(FakeSystem::monitorBroadcasts, 0);
    Step(1500);
    EXPECT_TRUE(app.m_bMonitorPoweredOff);
    EXPECT_FALSE(app.m_bActive);
    EXPECT_EQ(FakeSystem::monitorBroadcasts, 1);
    EXPECT_NE(NewLog().find("PM: sending SC_MONITORPOWER\n"), std::string::npos);
    const float stopped = AppClock::ApplicationTime();
    Step(5000);
    EXPECT_EQ(AppClock::ApplicationTime(), stopped);
    EXPECT_EQ(FakeSystem::monitorBroadcasts, 1);
}

TEST_F(PowerTest, InputWakesTheMonitorButARepeatedMousePositionDoesNot)
{
    struct Case
    {
        UINT msg;
        LPARAM lParam;
        bool wakes;
    };
    const Case cases[] = {
        {WM_MOUSEMOVE, MAKELPARAM(5, 6), false},  // the first move only records its place
        {WM_MOUSEMOVE, MAKELPARAM(5, 6), false},  // the same place again
        {WM_KEYUP, 0, false},
        {WM_MOUSEMOVE, MAKELPARAM(-3, 6), true},
        {WM_KEYDOWN, 0, true},
        {WM_LBUTTONDOWN, 0, true},
        {WM_RBUTTONDOWN, 0, true},
        {WM_MBUTTONDOWN, 0, true},
    };
    PowerApp& app = App(10, 50);
    for (const Case& c : cases)
    {
        app.m_fMonitorPowerCountdown = -1.0f;
        app.m_bMonitorPoweredOff = false;
        app.m_bActive = TRUE;
        Step(10);
        ASSERT_TRUE(app.m_bMonitorPoweredOff);
        app.m_fSuspendCountdown = 2.0f;
        app.MsgProc(m_hWnd, c.msg, 0, c.lParam);
        EXPECT_EQ(!app.m_bMonitorPoweredOff, c.wakes) << c.msg;
        EXPECT_EQ(app.m_bActive != FALSE, c.wakes) << c.msg;
        EXPECT_EQ(app.m_fSuspendCountdown, c.wakes ? 50.0f : 2.0f) << c.msg;
        if (c.wakes)
        {
            EXPECT_EQ(app.m_fMonitorPowerCountdown, 10.0f);
        }
    }
    EXPECT_NE(NewLog().find("PM: monitor power on\n"), std::string::npos);
}

TEST_F(PowerTest, TheManagersEventDecidesWhenItExists)
{
    MakeEvents(true);
    PowerApp& app = App(2);
    for (int i = 0; i < 5; ++i)
        Step(60000);
    EXPECT_FALSE(app.m_bMonitorPoweredOff) << "the system timeout must not count while the manager decides";
    EXPECT_EQ(app.m_fMonitorPowerCountdown, 1.0f);

    SetEvent(m_Events[kPowerOff]);
    Step(10);
    EXPECT_TRUE(app.m_bMonitorPoweredOff);
    EXPECT_TRUE(Signalled(kStop));
    EXPECT_NE(NewLog().find("PM: m_hMonitorPowerOffEvent is signaling\n"), std::string::npos);
    ResetEvent(m_Events[kPowerOff]);

    app.MsgProc(m_hWnd, WM_KEYDOWN, 0, 0);
    EXPECT_TRUE(Signalled(kStart));
    EXPECT_FALSE(Signalled(kRestart));
    app.MsgProc(m_hWnd, WM_KEYDOWN, 0, 0);
    EXPECT_TRUE(Signalled(kRestart));
}

TEST_F(PowerTest, WithoutThePowerOffEventTheOtherEventsStillHearOfIt)
{
    MakeEvents(false);
    PowerApp& app = App(1);
    Step(0);
    Step(1500);
    EXPECT_TRUE(app.m_bMonitorPoweredOff);
    EXPECT_TRUE(Signalled(kStop));
}

TEST_F(PowerTest, SystemMonitorPowerRequestPowersOffOnTheNextStep)
{
    PowerApp& app = App(600);
    app.MsgProc(m_hWnd, WM_SYSCOMMAND, SC_MONITORPOWER, 2);
    EXPECT_NE(NewLog().find("SC_MONITORPOWER received.\n"), std::string::npos);
    EXPECT_FALSE(app.m_bMonitorPoweredOff);
    Step(10);
    EXPECT_TRUE(app.m_bMonitorPoweredOff);
}

TEST_F(PowerTest, SuspendIsReachedOnlyThroughTheSeamAndItsFailuresTurnItOff)
{
    struct Case
    {
        bool powrprof, export_, suspendOk, systemPowerOk;
        int suspends, systemPowers;
        bool closes, keepsTimeout;
        const char* log;
    };
    const Case cases[] = {
        {true, true, true, true, 1, 0, true, true, "PM: executing SetSuspendState\n"},
        {false, true, true, true, 0, 0, false, false, "PM: powrprof.dll not found!\n"},
        {true, false, true, true, 0, 0, false, false, "PM: SetSuspendState not found!\n"},
        {true, true, false, true, 1, 1, true, true, "PM: SetSuspendState call failed! Error code: 5\n"},
        {true, true, false, false, 1, 1, true, false, "PM: SetSystemPowerState call failed! Error code: 6\n"},
    };
    for (const Case& c : cases)
    {
        FakeSystem::Reset();
        FakeSystem::hasPowrprof = c.powrprof;
        FakeSystem::hasSetSuspendState = c.export_;
        FakeSystem::suspendSucceeds = c.suspendOk;
        FakeSystem::systemPowerSucceeds = c.systemPowerOk;
        ResetPowerManagementState();
        PowerApp& app = App(0, 5);
        const size_t logStart = g_Log.GetText().size();
        HandClock::ms += 1;
        app.UpdateSuspendCountdown();
        HandClock::ms += 4000;
        app.UpdateSuspendCountdown();
        EXPECT_EQ(FakeSystem::suspends, 0);
        HandClock::ms += 1500;
        app.UpdateSuspendCountdown();
        EXPECT_EQ(FakeSystem::suspends, c.suspends) << c.log;
        EXPECT_EQ(FakeSystem::systemPowerStates, c.systemPowers) << c.log;
        EXPECT_EQ(ClosePosted(), c.closes) << c.log;
        EXPECT_EQ(app.m_iSuspendTimeout, c.keepsTimeout ? 5 : 0) << c.log;
        EXPECT_NE(g_Log.GetText().find(c.log, logStart), std::string::npos) << c.log;
        EXPECT_TRUE(FakeSystem::sleeps.empty());
    }
}

TEST_F(PowerTest, SuspendCountdownSleepsWhileTheMonitorIsOff)
{
    PowerApp& app = App(10, 100);
    app.m_bMonitorPoweredOff = true;
    app.UpdateSuspendCountdown();
    EXPECT_EQ(FakeSystem::sleeps, std::vector<DWORD>{500});
}

TEST_F(PowerTest, TheLoopPowersOffAndThenSleepsBeforeAndAfterTheSuspendCountdown)
{
    PowerApp& app = App(30, 600);
    app.m_fMonitorPowerCountdown = -1.0f;
    FakeSystem::quitAfterSleeps = 2;
    app.Run();
    EXPECT_TRUE(app.m_bMonitorPoweredOff);
    EXPECT_EQ(FakeSystem::monitorBroadcasts, 1);
    // First pass: the monitor goes off, then the pass ends with a sleep; the
    // second pass sleeps before its suspend step and again at its end.
    EXPECT_EQ(FakeSystem::sleeps, (std::vector<DWORD>{500, 500, 500}));
    EXPECT_EQ(app.m_iSuspendTimeout, 600);
}

TEST_F(PowerTest, PowerBroadcastsKeepTheMonitorStateAndAllowSuspend)
{
    PowerApp& app = App();
    EXPECT_EQ(app.MsgProc(m_hWnd, WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0), TRUE);
    EXPECT_EQ(app.MsgProc(m_hWnd, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0), TRUE);
    struct
    {
        POWERBROADCAST_SETTING setting;
        BYTE more[4];
    } message = {};
    message.setting.PowerSetting = GUID_MONITOR_POWER_ON;
    message.setting.DataLength = 4;
    for (BYTE state : {0, 1, 0})
    {
        message.setting.Data[0] = state;
        app.MsgProc(m_hWnd, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(&message));
        EXPECT_EQ(app.m_bMonitorOn, state == 1);
    }
    const std::string log = NewLog();
    EXPECT_NE(log.find("PBT_POWERSETTINGCHANGE received: Monitor Off\n"), std::string::npos);
    EXPECT_NE(log.find("PBT_POWERSETTINGCHANGE received: Monitor On\n"), std::string::npos);
}

TEST_F(PowerTest, WallpaperFramesWaitWhileNobodyCanSeeThem)
{
    HANDLE const kMonitor = reinterpret_cast<HANDLE>(0x4C43);
    const struct
    {
        const char* what;
        bool wallpaper, monitorOn, notifications, device;
        BOOL answers, deviceOn, saver;
        bool frame;
        int queries;
    } cases[] = {
        {"not the wallpaper: no gate", false, false, false, true, TRUE, FALSE, TRUE, true, 0},
        {"monitor device on", true, true, false, true, TRUE, TRUE, FALSE, true, 1},
        {"monitor device off", true, true, false, true, TRUE, FALSE, FALSE, false, 1},
        {"monitor device can't tell", true, true, false, true, FALSE, FALSE, FALSE, true, 1},
        {"notifications decide, the device is not asked", true, true, true, true, TRUE, FALSE, FALSE, true, 0},
        {"no monitor device", true, true, false, false, TRUE, FALSE, FALSE, true, 0},
        {"notified off", true, false, true, false, TRUE, TRUE, FALSE, false, 0},
        {"a screensaver runs", true, true, false, true, TRUE, TRUE, TRUE, false, 1},
    };
    HandClock::ms += 10000000; // well past any frame an earlier test allowed
    App().CanRender();         // the gate's first call only takes the time
    for (const auto& c : cases)
    {
        PowerApp& app = App();
        FakeSystem::Reset();
        FakeSystem::deviceAnswers = c.answers;
        FakeSystem::deviceOn = c.deviceOn;
        FakeSystem::saverRunning = c.saver;
        app.m_bWallpaperMode = c.wallpaper;
        app.m_bMonitorOn = c.monitorOn;
        app.m_hPowerNotify = c.notifications ? reinterpret_cast<void*>(0x504E) : nullptr;
        app.m_hMonitorDevice = c.device ? kMonitor : INVALID_HANDLE_VALUE;
        HandClock::ms += 1000;
        EXPECT_EQ(c.frame, app.CanRender()) << c.what;
        EXPECT_EQ(c.queries, FakeSystem::deviceQueries) << c.what;
        app.m_hPowerNotify = nullptr; // neither is a real handle
        app.m_hMonitorDevice = INVALID_HANDLE_VALUE;
    }
}

TEST_F(PowerTest, SetUpReadsTheSystemsTimeoutsAndTheManagersEvents)
{
    MakeEvents(true);
    FakeSystem::powerOffTimeout = 300;
    FakeSystem::idleTimeoutAc = 1200;
    PowerApp& app = App(0, 0);
    app.SetupPowerManagement();
    EXPECT_EQ(app.m_iMonitorPowerOffTimeout, 300);
    EXPECT_EQ(app.m_fMonitorPowerCountdown, 300.0f);
    EXPECT_EQ(app.m_iSuspendTimeout, 1200);
    EXPECT_EQ(app.m_fSuspendCountdown, 1200.0f);
    const std::string log = NewLog();
    for (const char* line :
         {"PM: MonitorPowerOffTimeOut: 300\n", "PM: Found m_hMonitorPowerTimerStopEvent\n",
          "PM: Found m_hMonitorPowerOffEvent\n", "PM: IdleAc.Action: 2\n", "PM: IdleTimeoutAc: 1200\n",
          "PM: IdleTimeoutDc: 7\n", "PM: VideoTimeoutDc: 0\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;

    FakeSystem::hasPowrprof = false;
    PowerApp& again = App(0, 0);
    again.SetupPowerManagement();
    EXPECT_EQ(again.m_iSuspendTimeout, 0);
}

TEST_F(PowerTest, Windows9xAsksForThePasswordUntilItIsRight)
{
    PowerApp& nt = App();
    nt.SetupPassword();
    EXPECT_EQ(nt.m_pVerifyScreenSavePwd, nullptr);

    FakeSystem::platform = VER_PLATFORM_WIN32_WINDOWS;
    FakeSystem::verifyFailures = 2;
    PowerApp& app = App();
    app.SetupPassword();
    ASSERT_NE(app.m_pVerifyScreenSavePwd, nullptr);
    EXPECT_TRUE(app.VerifyPasswordOnClose());
    EXPECT_EQ(FakeSystem::verifyCalls, 3);
    EXPECT_EQ(FakeSystem::sleeps, (std::vector<DWORD>{500, 500}));
    EXPECT_NE(NewLog().find("Executing VerifySaverPassword\n"), std::string::npos);
    // A close while the password is being asked waits.
    EXPECT_FALSE(app.VerifyPasswordOnClose());
    EXPECT_EQ(FakeSystem::verifyCalls, 3);
}

} // namespace
