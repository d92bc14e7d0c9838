// The camera director: names, areas, which camera a cut takes, the fade.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Camera.h"
#include "FixedStepTimer.h"
#include "Object.h"
#include "RandomCameraController.h"
#include "Train.h"
#include "TuningControl.h"

namespace
{
TEST(CameraNames, Table)
{
    struct Case
    {
        const char* name;
        bool ok;
        int kind, view, group;
    } cases[] = {
        {"Camera_T_S_03_12", true, CameraEntry::TRAIN, CameraEntry::VIEW_S, 3},
        {"Camera_L_D_01_09", true, CameraEntry::LANDSCAPE, CameraEntry::VIEW_D, 1},
        {"Camera_L_T_07", true, CameraEntry::LANDSCAPE, CameraEntry::VIEW_TRACKING, 7},
        {"Camera_X_Q_2", true, CameraEntry::LANDSCAPE, CameraEntry::VIEW_D, 2},
        {"Camera_L_C_5x", true, CameraEntry::LANDSCAPE, CameraEntry::VIEW_C, 5},
        {"Camera_L_D_", false, 0, 0, 0},
        {"Camera01", false, 0, 0, 0},
    };
    for (const Case& c : cases)
    {
        CameraEntry e;
        EXPECT_EQ(ParseCameraName(c.name, e), c.ok) << c.name;
        if (!c.ok)
            continue;
        EXPECT_EQ(e.kind, c.kind) << c.name;
        EXPECT_EQ(e.view, c.view) << c.name;
        EXPECT_EQ(e.group, c.group) << c.name;
    }
}

TEST(CameraAreas, MatchByDirectionAndStretch)
{
    CameraEntry e;
    e.enabled = true;
    e.areas = {{100, 200, 11, 1}, {150, 300, 13, 3}};
    EXPECT_TRUE(e.MatchArea(1, 150));
    EXPECT_EQ(e.showTime, 11); // the first admitting area
    EXPECT_TRUE(e.MatchArea(2, 150));
    EXPECT_EQ(e.showTime, 13);
    EXPECT_TRUE(e.MatchArea(2, 300)); // ends included
    EXPECT_FALSE(e.MatchArea(1, 301));
    e.enabled = false;
    EXPECT_FALSE(e.MatchArea(1, 150));
}

// Cameras, a square track and a director over them.
class Director : public FixedStepTimer
{
protected:
    Camera* AddCamera(const std::string& name, float x, float y, float turn)
    {
        m_Cameras.push_back(std::make_unique<Camera>(name));
        Camera* c = m_Cameras.back().get();
        D3DXMATRIX r, t;
        D3DXMatrixRotationY(&r, turn);
        D3DXMatrixTranslation(&t, x, y, 0);
        c->SetWorldMatrix(r * t);
        m_Director.AddCamera(c, nullptr);
        return c;
    }
    void Settings(const std::string& text)
    {
        ASSERT_TRUE(m_Tuning.LoadFromText(text.data(), text.size()));
        m_Director.LoadSettings(m_Tuning);
        m_Director.LoadTimes(m_Tuning);
    }
    void MakeTrack()
    {
        const float corners[4][2] = {{0, 0}, {10000, 0}, {10000, 10000}, {0, 10000}};
        for (int i = 0; i < 4; ++i)
        {
            m_Rails.push_back(std::make_unique<Object>("Railbase00" + std::to_string(i + 1)));
            D3DXMATRIX m;
            D3DXMatrixTranslation(&m, corners[i][0], corners[i][1], 0);
            m_Rails.back()->SetLocalMatrix(m);
        }
        m_Train.ReadRails([this](const std::string& name) -> Object* {
            for (auto& rail : m_Rails)
                if (rail->GetName() == name)
                    return rail.get();
            return nullptr;
        });
        m_Director.SetTrain(&m_Train);
        m_Director.SetTrackLength(m_Train.GetTrackLength());
    }

    std::vector<std::unique_ptr<Camera>> m_Cameras;
    std::vector<std::unique_ptr<Object>> m_Rails;
    TuningControl::CManager m_Tuning;
    Train m_Train;
    RandomCameraController m_Director;
};

std::string EnabledEverywhere(const std::string& camera, const char* period = "12")
{
    const std::string k = "RandomCameraController.Cameras." + camera;
    return k + ".Enabled 1\r\n" + k + ".NumEnabledAreas 1\r\n" + k + ".EnabledAreas.Area00.StartPosition 0\r\n" + k +
           ".EnabledAreas.Area00.EndPosition -1\r\n" + k + ".EnabledAreas.Area00.Period " + period + "\r\n" + k +
           ".EnabledAreas.Area00.Direction 0\r\n";
}

TEST_F(Director, FirstCutTakesATrainCameraOfGroupTwo)
{
    MakeTrack();
    for (int g = 1; g <= 3; ++g)
        AddCamera("Camera_T_S_0" + std::to_string(g) + "_01", 0, 0, 0);
    AddCamera("Camera_L_T_01", 500, 0, 0);
    Settings(EnabledEverywhere("Camera_T_S_01_01") + EnabledEverywhere("Camera_T_S_02_01", "9") +
             EnabledEverywhere("Camera_T_S_03_01") + "RandomCameraController.BlackTime 1\r\n");
    Camera* first = m_Director.GetCamera();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetName(), "Camera_T_S_02_01");
    EXPECT_EQ(m_Director.GetShowTime(), 9); // the admitting area's period
    EXPECT_EQ(m_Director.GetCamera(), first); // stays for its show time
    Frames(901);
    // The second cut is a landscape choice: with no landscape "D"
    // candidate, the tracking camera.
    EXPECT_EQ(m_Director.GetCamera()->GetName(), "Camera_L_T_01");
}

TEST_F(Director, DisabledOrAreaLessTrainCamerasFallBackToTracking)
{
    MakeTrack();
    AddCamera("Camera_T_D_01_01", 0, 0, 0);
    AddCamera("Camera_L_T_01", 500, 0, 0);
    const std::string k = "RandomCameraController.Cameras.Camera_T_D_01_01";
    Settings(k + ".Enabled 1\r\n" + k + ".NumEnabledAreas -2\r\n");
    EXPECT_EQ(*m_Tuning.GetValue(k + ".NumEnabledAreas"), 0); // written back
    EXPECT_EQ(m_Director.GetCamera()->GetName(), "Camera_L_T_01");
}

TEST_F(Director, SettingsReadAreasWithTheirRules)
{
    MakeTrack();
    AddCamera("Camera_L_D_01_09", 0, 0, 0);
    const std::string a = "RandomCameraController.Cameras.Camera_L_D_01_09.EnabledAreas.Area0";
    Settings("RandomCameraController.Cameras.Camera_L_D_01_09.Enabled 1\r\n"
             "RandomCameraController.Cameras.Camera_L_D_01_09.NumEnabledAreas 2.7\r\n" +
             a + "0.StartPosition -1\r\n" + a + "0.Period 0\r\n" + a + "0.Direction 1\r\n" + a +
             "1.StartPosition 5\r\n" + a + "1.EndPosition 7\r\n" + a + "1.Direction -1\r\n");
    const CameraEntry& e = m_Director.GetEntries()[0];
    ASSERT_EQ(e.areas.size(), 2u);
    EXPECT_FLOAT_EQ(e.areas[0].start, m_Train.GetTrackLength());
    EXPECT_EQ(e.areas[0].period, 15);
    EXPECT_EQ(e.areas[0].direction, 1);
    EXPECT_EQ(e.areas[1].direction, 2);
    EXPECT_EQ(e.areas[1].end, 7);
}

TEST_F(Director, TrackingPrefersTheNearestFacingTheOncomingTrain)
{
    MakeTrack(); // the train stands at 0, heading along +X
    // Nearer, but looking the same way as the train goes.
    Camera* behind = AddCamera("Camera_L_T_01", 300, 0, 0);
    Camera* facing = AddCamera("Camera_L_T_02", 900, 0, 0);
    Camera* away = AddCamera("Camera_L_T_03", 60000, 0, 0);
    const float pi = 3.14159265f;
    D3DXMATRIX r, t;
    // Turn each camera so that it looks along +X or -X, whichever way the
    // view says.
    auto look = [&](Camera* c, float x, bool againstTrain) {
        for (float turn : {pi / 2, -pi / 2})
        {
            D3DXMatrixRotationY(&r, turn);
            D3DXMatrixTranslation(&t, x, 0, 0);
            c->SetWorldMatrix(r * t);
            const float fx = c->GetLookDirection().x;
            if ((fx < 0) == againstTrain)
                return;
        }
        FAIL() << "no turn looks along X";
    };
    Vec3 p;
    float at = 0;
    m_Train.WrapAndSample(at, p);
    ASSERT_GT(m_Train.GetTrack().GetTangent().x, 0);
    look(behind, 300, false);
    look(facing, 900, true);
    look(away, 60000, true);
    Settings("RandomCameraController.MaxDistanceToFrontCamera 50000\r\n");
    m_Director.GetCamera(); // the first (train) choice falls back to tracking too
    EXPECT_EQ(m_Director.GetCurrentEntry().camera, facing);
    *m_Tuning.GetValue("RandomCameraController.MaxDistanceToFrontCamera") = 100;
    m_Director.LoadSettings(m_Tuning);
    Frames(1600);
    m_Director.GetCamera();
    EXPECT_EQ(m_Director.GetCurrentEntry().camera, behind); // the facing one is too far: the nearest
}

TEST_F(Director, LandscapeChoicesTakeTheirPriorityShare)
{
    MakeTrack();
    AddCamera("Camera_L_D_01_01", 0, 0, 0);
    AddCamera("Camera_L_T_01", 500, 0, 0);
    Settings(EnabledEverywhere("Camera_L_D_01_01", "1") + "RandomCameraController.LandNotTrackingPriority 0.6\r\n"
                                                          "RandomCameraController.LandCameraShowTime 1\r\n");
    srand(3);
    int landscape = 0, choices = 0;
    for (int i = 0; i < 4000; ++i)
    {
        Frames(101);
        m_Director.GetCamera();
        if (i % 2 == 1) // even choices are the landscape ones
        {
            ++choices;
            landscape += m_Director.GetCurrentEntry().view == CameraEntry::VIEW_D;
        }
    }
    EXPECT_NEAR(double(landscape) / choices, 0.6, 0.04);
}

TEST_F(Director, FadeTable)
{
    MakeTrack();
    AddCamera("Camera_T_D_01_01", 0, 0, 0);
    Settings(EnabledEverywhere("Camera_T_D_01_01") + "RandomCameraController.BlackTime 1\r\n");
    m_Director.GetCamera();
    ASSERT_EQ(m_Director.GetShowTime(), 12);
    struct Case
    {
        float t, fade;
    } cases[] = {{0, 0}, {0.5f, 0.5f}, {1, 1}, {6, 1}, {11, 1}, {11.5f, 0.5f}, {12, 0}};
    for (const Case& c : cases)
    {
        m_Director.GetTimer().SetTime(c.t);
        EXPECT_NEAR(m_Director.GetFade(), c.fade, 1e-4) << c.t;
    }
}
} // namespace

namespace
{
TEST_F(Director, WithoutTrackingCamerasTheCameraIsKeptWithoutBlack)
{
    MakeTrack();
    EXPECT_EQ(m_Director.GetCamera(), nullptr); // no camera at all
    EXPECT_EQ(m_Director.GetFade(), 1);
    AddCamera("Camera_T_D_01_01", 0, 0, 0);
    Settings(EnabledEverywhere("Camera_T_D_01_01", "3") + "RandomCameraController.BlackTime 1\r\n");
    Camera* first = m_Director.GetCamera(); // asks again at once

    ASSERT_NE(first, nullptr);
    EXPECT_NEAR(m_Director.GetFade(), 0, 1e-4); // a real cut starts black
    Frames(301);
    // The next cut can only take the same camera.
    EXPECT_EQ(m_Director.GetCamera(), first);
    m_Director.GetTimer().SetTime(0);
    EXPECT_EQ(m_Director.GetFade(), 1);
}

TEST_F(Director, NoBlackTimeNoFade)
{
    MakeTrack();
    AddCamera("Camera_T_D_01_01", 0, 0, 0);
    Settings(EnabledEverywhere("Camera_T_D_01_01") + "RandomCameraController.BlackTime 0\r\n");
    m_Director.GetCamera();
    for (float t : {0.0f, 6.0f, 12.0f})
    {
        m_Director.GetTimer().SetTime(t);
        EXPECT_EQ(m_Director.GetFade(), 1) << t;
    }
}
} // namespace

#include "CameraChoice.h"
#include "ControlledCamera.h"

namespace
{
// The camera choice of a frame: the free camera, the director or the fixed
// camera number. Two directors over the same cameras and the same random
// sequence; the second is interrupted by the free camera.
class FrameChoice : public Director
{
protected:
    void SetUpCameras()
    {
        MakeTrack();
        for (const char* name : {"Camera_T_S_01_01", "Camera_T_S_02_01", "Camera_T_D_03_01", "Camera_L_D_01_01",
                                 "Camera_L_D_02_01"})
            AddCamera(name, 0, 0, 0);
        AddCamera("Camera_L_T_01", 500, 0, 0);
        AddCamera("Camera_L_T_02", 9000, 0, 0);
        std::string text = "RandomCameraController.LandCameraShowTime 1\r\n"
                           "RandomCameraController.LandNotTrackingPriority 0.5\r\n";
        for (const auto& c : m_Cameras)
            text += EnabledEverywhere(c->GetName(), "1");
        Settings(text);
        for (const auto& c : m_Cameras)
        {
            m_Second.AddCamera(c.get(), nullptr);
            m_All.push_back(c.get());
        }
        m_Second.SetTrain(&m_Train);
        m_Second.SetTrackLength(m_Train.GetTrackLength());
        m_Second.LoadSettings(m_Tuning);
        m_Second.LoadTimes(m_Tuning);
        m_Free.SetSaveStates(false);
    }
    // One frame 1.5 s after the last, so every directed frame is a cut.
    FrameCameraChoice Next(RandomCameraController& director, Camera* active)
    {
        Frames(150);
        return ChooseFrameCamera(m_Tuning, active, director, m_All, [this](Camera* reference) {
            m_FreeReference = reference;
            return &m_Free;
        });
    }

    RandomCameraController m_Second;
    std::vector<Camera*> m_All;
    CControlledCamera m_Free;
    Camera* m_FreeReference = nullptr;
};

TEST_F(FrameChoice, FreeCameraWinsWhileOnAndTheDirectorGoesOnAfter)
{
    SetUpCameras();
    const int cuts = 12;
    srand(11);
    std::vector<Camera*> expected;
    for (int i = 0; i < cuts; ++i)
    {
        const FrameCameraChoice c = Next(m_Director, nullptr);
        ASSERT_TRUE(c.directed);
        ASSERT_NE(c.camera, nullptr);
        if (expected.empty() || c.camera != expected.back())
        {
            EXPECT_NEAR(c.fade, 0, 1e-4) << i; // a cut to another camera starts black
        }
        expected.push_back(c.camera);
    }

    srand(11);
    std::vector<Camera*> seen;
    Camera* active = nullptr;
    *m_Tuning.GetValue("ControlledCamera.FOV") = 0.7f;
    *m_Tuning.GetValue("ControlledCamera.FarPlane") = 90000;
    for (int i = 0; i < cuts + 4; ++i)
    {
        const bool freeOn = i >= 3 && i < 7;
        *m_Tuning.GetValue("ControlledCamera.Enable") = freeOn ? 1.0f : 0.0f;
        const FrameCameraChoice c = Next(m_Second, active);
        if (freeOn)
        {
            // The free camera, made from the active camera, with the tuned
            // projection; the director is not asked and gives no fade.
            EXPECT_EQ(c.camera, &m_Free) << i;
            EXPECT_TRUE(c.free);
            EXPECT_FALSE(c.directed);
            EXPECT_EQ(m_FreeReference, active);
            EXPECT_FLOAT_EQ(m_Free.GetFov(), 0.7f);
            EXPECT_FLOAT_EQ(m_Free.GetFar(), 90000);
            EXPECT_FLOAT_EQ(m_Free.GetNear(), 300); // the shipped value
            EXPECT_FLOAT_EQ(m_Free.GetMoveSpeed(), 2200);
        }
        else
        {
            EXPECT_TRUE(c.directed) << i;
            EXPECT_FALSE(c.free);
            seen.push_back(c.camera);
        }
        active = c.camera;
    }
    // Switched off again, the director takes up its sequence where it left.
    EXPECT_EQ(seen, expected);
    // Both kinds of cut took place.
    int train = 0;
    for (Camera* c : seen)
        train += c->GetName().compare(0, 9, "Camera_T_") == 0;
    EXPECT_GT(train, 0);
    EXPECT_LT(train, cuts);
}

TEST_F(FrameChoice, WithTheDirectorOffTheCameraNumberChooses)
{
    SetUpCameras();
    *m_Tuning.GetValue("RandomCameraController.Enable") = 0;
    struct Case
    {
        float number;
        int index; // -1: the active camera stays
    } cases[] = {{0, 0}, {2.9f, 2}, {6, 6}, {7, -1}, {-3, -1}};
    for (const Case& c : cases)
    {
        *m_Tuning.GetValue("CameraNo") = c.number;
        const FrameCameraChoice choice = Next(m_Director, nullptr);
        EXPECT_FALSE(choice.directed) << c.number;
        EXPECT_EQ(choice.camera, c.index < 0 ? nullptr : m_All[size_t(c.index)]) << c.number;
    }
    // The free camera wins over the number too.
    *m_Tuning.GetValue("ControlledCamera.Enable") = 1;
    EXPECT_EQ(Next(m_Director, m_All[0]).camera, &m_Free);
}
} // namespace
