// The train's speed ramps, its wrapping track, the cars' sway and their
// placement on the track, the darkening zones.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

#include "../foundation/LogCapture.h"
#include "FixedStepTimer.h"
#include "Object.h"
#include "Train.h"
#include "TrainTuning.h"

namespace
{
class FixedStep : public FixedStepTimer
{
protected:
    // One frame of the global timer and of the controller.
    void Frame(SpeedController& c, float position)
    {
        Frames(1);
        c.Update(position);
    }
};

TEST_F(FixedStep, RampReachesItsTargetExactly)
{
    SpeedController c;
    c.AddMark(100, 2700, 12);
    c.AddMark(900, 2300, 7);
    c.SetSpeed(2300);
    Frame(c, 150); // in the section of the mark at 100
    EXPECT_NEAR(c.GetTarget(), 2700, 1e-3);
    for (int i = 0; i < 600; ++i)
        Frame(c, 150);
    EXPECT_NEAR(c.GetSpeed(), 2300 + 400.0 / 12 * 6.01, 1.0); // 33.3 per second
    for (int i = 0; i < 700; ++i)
        Frame(c, 150);
    EXPECT_EQ(c.GetSpeed(), 2700);
    EXPECT_EQ(c.GetRemaining(), 0);
}

TEST_F(FixedStep, SectionOverTheEndOfTheLoop)
{
    SpeedController c;
    c.AddMark(100, 1000, 5);
    c.AddMark(900, 2000, 5);
    c.CheckMarks(950);
    ASSERT_TRUE(c.GetCurrentMark() && c.GetNextMark());
    EXPECT_EQ(c.GetCurrentMark()->distance, 900);
    EXPECT_EQ(c.GetNextMark()->distance, 100);
    c.CheckMarks(20); // wrapped past the end: still before 100
    EXPECT_EQ(c.GetCurrentMark()->distance, 900);
    c.CheckMarks(101);
    EXPECT_EQ(c.GetCurrentMark()->distance, 100);
    EXPECT_EQ(c.GetTarget(), 1000);
}

TEST_F(FixedStep, BackwardsTheMarkAboveRulesWithTheSpeedNegated)
{
    SpeedController c;
    c.AddMark(100, 1000, 5);
    c.AddMark(500, 2000, 4);
    c.SetDirection(2);
    c.CheckMarks(300);
    EXPECT_EQ(c.GetCurrentMark()->distance, 500);
    EXPECT_EQ(c.GetNextMark()->distance, 100);
    EXPECT_EQ(c.GetTarget(), -2000);
    c.CheckMarks(99);
    EXPECT_EQ(c.GetCurrentMark()->distance, 100);
    EXPECT_EQ(c.GetTarget(), -1000);
}

TEST_F(FixedStep, MarkWithoutSecondsChangesNothing)
{
    SpeedController c;
    c.AddMark(100, 1000, 0);
    c.AddMark(500, 2000, 0);
    c.SetSpeed(1500);
    for (int i = 0; i < 100; ++i)
        Frame(c, 200);
    EXPECT_EQ(c.GetSpeed(), 1500);
}

TEST(Sway, OscillatorRunsBetweenItsAmplitudes)
{
    SwayOscillator o;
    o.SetAxis(D3DXVECTOR3(0, 0, 3));
    EXPECT_FLOAT_EQ(o.axis.z, 1);
    o.SetAmplitude(40);
    EXPECT_LE(std::fabs(o.value), 40);
    o.value = -40;
    o.SetRate(40);
    for (int i = 0; i < 199; ++i)
        o.Step(0.01f);
    EXPECT_LT(o.value, 40);
    o.Step(0.02f);
    EXPECT_FLOAT_EQ(o.value, 40);
    EXPECT_EQ(o.rate, -40); // turned at the end
    o.SetRate(40);          // the same value again keeps the direction
    EXPECT_EQ(o.rate, -40);
    o.SetRate(30);
    EXPECT_EQ(o.rate, 30);
    const float value = o.value;
    o.SetAmplitude(20); // not the first amplitude: the value stays
    EXPECT_EQ(o.value, value);
}

// A scene of named objects for the wagons to find.
class Dummies
{
public:
    Object* Add(const std::string& name, float x, float y = 0, float z = 0)
    {
        auto object = std::make_unique<Object>(name);
        D3DXMATRIX m;
        D3DXMatrixTranslation(&m, x, y, z);
        object->SetLocalMatrix(m);
        Object* raw = object.get();
        m_Objects[name] = std::move(object);
        return raw;
    }
    ObjectFinder Finder()
    {
        return [this](const std::string& name) -> Object* {
            auto found = m_Objects.find(name);
            return found == m_Objects.end() ? nullptr : found->second.get();
        };
    }
    const D3DXMATRIX& At(const std::string& name) { return m_Objects.at(name)->GetLocalMatrix(); }

private:
    std::map<std::string, std::unique_ptr<Object>> m_Objects;
};

// A straight level track along +X: the sample at s is (s, 0, 0).
Vec3 Straight(float s)
{
    return Vec3{s, 0, 0};
}

TEST(Wagons, SimpleWagonStandsOnItsSamplesHeadedAlongTheTrack)
{
    Dummies scene;
    Object* origin = scene.Add("Dummy_loco00", 0);
    scene.Add("Car_01", 500, 0, 80); // body
    scene.Add("Car_02", 300);        // front bogie
    scene.Add("Car_03", 700);        // rear bogie
    scene.Add("Car_04", 500);
    CSimpleWagon wagon;
    wagon.Init(scene.Finder(), Wagon::SIMPLE, "Car_", origin);
    ASSERT_EQ(wagon.GetPartCount(), 4u);
    wagon.PlaceOnTrack(Straight, 1, 5000, 0.01f, 0);
    // Direction 1 samples behind the position: the front bogie at 4700. The
    // whole rest matrix turns with the car, so each dummy lands its modelled
    // offset further back (what hangs below it is modelled less that offset).
    EXPECT_FLOAT_EQ(scene.At("Car_02")._41, 4700 - 300);
    EXPECT_FLOAT_EQ(scene.At("Car_03")._41, 4300 - 700);
    EXPECT_FLOAT_EQ(scene.At("Car_01")._41, 4500 - 500);
    EXPECT_FLOAT_EQ(scene.At("Car_01")._43, 80); // the height comes from the rest
    // The model's +X (front to rear) turns onto the world's -X.
    EXPECT_NEAR(scene.At("Car_01")._11, -1, 1e-6);
    EXPECT_NEAR(scene.At("Car_01")._22, -1, 1e-6);
}

TEST(Wagons, MissingDummyKeepsItsSlotAndWhatNeedsItStays)
{
    Dummies scene;
    Object* origin = scene.Add("Dummy_loco00", 0);
    scene.Add("Car_01", 500);
    scene.Add("Car_02", 300);
    scene.Add("Car_04", 500, 0, 9);
    LogCapture log;
    CSimpleWagon wagon;
    wagon.Init(scene.Finder(), Wagon::SIMPLE, "Car_", origin);
    EXPECT_EQ(log.Text(), "Error while initializing wagon, no dummy with name Car_03\n");
    ASSERT_EQ(wagon.GetPartCount(), 4u); // one slot per dummy
    EXPECT_EQ(wagon.GetPart(2)->object, nullptr);
    EXPECT_FLOAT_EQ(wagon.GetPart(3)->distance, 500); // not moved up
    wagon.AddTranslationSway(D3DXVECTOR3(0, 0, 1), 40, 40);
    wagon.PlaceOnTrack(Straight, 1, 5000, 0.01f, 3000);
    // Without its rear sample the car is not placed at all.
    EXPECT_FLOAT_EQ(scene.At("Car_01")._41, 500);
    EXPECT_FLOAT_EQ(scene.At("Car_02")._41, 300);
    EXPECT_FLOAT_EQ(scene.At("Car_04")._41, 500);
    EXPECT_FALSE(wagon.GetPart(2)->hasSway);
}

TEST(Wagons, LumberCarWithoutTwoDummiesPlacesTheRest)
{
    Dummies scene;
    Object* origin = scene.Add("Dummy_loco00", 0);
    const float at[9] = {2150, 2000, 2300, 2750, 2600, 2900, 2450, 2150, 2750};
    for (int i = 0; i < 9; ++i)
        if (i != 3 && i != 6) // the rear body and the load are missing
            scene.Add("Lumber_0" + std::to_string(i + 1), at[i]);
    CLumberWagon wagon;
    wagon.Init(scene.Finder(), Wagon::LUMBER, "Lumber_", origin);
    ASSERT_EQ(wagon.GetPartCount(), 9u);
    wagon.AddRotationSway(D3DXVECTOR3(1, 0, 0), 0.01f, 0.02f); // on part 0 only
    EXPECT_TRUE(wagon.GetPart(0)->hasSway);
    EXPECT_FALSE(wagon.GetPart(3)->hasSway);
    wagon.PlaceOnTrack(Straight, 1, 10000, 0.01f, 2000);
    EXPECT_FLOAT_EQ(scene.At("Lumber_01")._41, 7850 - 2150); // front body between its samples
    EXPECT_FLOAT_EQ(scene.At("Lumber_05")._41, 7400 - 2600); // rear samples still stand
    EXPECT_FLOAT_EQ(scene.At("Lumber_09")._41, 2750); // needs the rear body: untouched
}

TEST(Wagons, TooFewDummiesPlaceNothing)
{
    Dummies scene;
    Object* origin = scene.Add("Dummy_loco00", 0);
    scene.Add("Loco_01", 500);
    scene.Add("Loco_02", 300);
    CLocomotive loco;
    loco.Init(scene.Finder(), Wagon::LOCOMOTIVE, "Loco_", origin);
    loco.PlaceOnTrack(Straight, 1, 5000, 0.01f, 1000);
    EXPECT_FLOAT_EQ(scene.At("Loco_01")._41, 500);
}

TEST(Wagons, SwayGrowsWithSpeed)
{
    Dummies scene;
    Object* origin = scene.Add("Dummy_loco00", 0);
    for (int i = 1; i <= 4; ++i)
        scene.Add("Car_0" + std::to_string(i), 300.0f + 100 * i);
    CSimpleWagon wagon;
    wagon.Init(scene.Finder(), Wagon::SIMPLE, "Car_", origin);
    wagon.AddTranslationSway(D3DXVECTOR3(0, 0, 1), 40, 40);
    WagonPart* body = wagon.GetPart(0);
    ASSERT_TRUE(body && body->hasSway);
    EXPECT_FALSE(wagon.GetPart(1)->hasSway);
    body->translations[0].value = 40;
    body->translations[0].rate = 0;
    wagon.UpdateSway(0.01f, 0);
    EXPECT_EQ(body->sway._43, 0); // at rest: no sway whatever the value
    wagon.UpdateSway(0.01f, 3000);
    EXPECT_FLOAT_EQ(body->sway._43, 12); // 40 at a scale of 0.3
    wagon.UpdateSway(0.01f, 20000);
    EXPECT_FLOAT_EQ(body->swayScale, 1);
}

TEST(Wagons, CameraDummyRidesAlongALongChord)
{
    Dummies scene;
    Object* origin = scene.Add("Dummy_loco00", 0);
    scene.Add("Dummy_loco_camera01", 1000, 0, 200);
    COneDummyWagon camera;
    camera.Init(scene.Finder(), Wagon::ONE_DUMMY, "Dummy_loco_camera01", origin);
    std::vector<float> asked;
    const TrackSampler sampler = [&](float s) {
        asked.push_back(s);
        return Straight(s);
    };
    camera.PlaceOnTrack(sampler, 1, 5000, 0.01f, 0);
    EXPECT_EQ(asked, (std::vector<float>{6000, 2000}));
    EXPECT_FLOAT_EQ(scene.At("Dummy_loco_camera01")._41, 4000 - 1000);
    EXPECT_FLOAT_EQ(scene.At("Dummy_loco_camera01")._43, 200);
}

// A square loop of four rails 1000 apart.
class SquareTrack : public testing::Test
{
protected:
    void SetUp() override
    {
        m_Origin = m_Scene.Add("Dummy_loco00", 0, 0, 5);
        const float corners[4][2] = {{0, 0}, {1000, 0}, {1000, 1000}, {0, 1000}};
        for (int i = 0; i < 4; ++i)
            m_Scene.Add("Railbase00" + std::to_string(i + 1), corners[i][0], corners[i][1]);
        m_Train.BindOrigin(m_Origin);
        m_Train.ReadRails(m_Scene.Finder());
    }
    Dummies m_Scene;
    Object* m_Origin = nullptr;
    Train m_Train;
};

TEST_F(SquareTrack, PositionsWrapIntoTheTrack)
{
    const float length = m_Train.GetTrackLength();
    ASSERT_GT(length, 3999);
    struct Case
    {
        float in, out;
    } cases[] = {{length + 5, 5}, {-5, length - 5}, {length, 0}, {3 * length + 10, 10}, {-2 * length - 10, length - 10}};
    for (const Case& c : cases)
    {
        float d = c.in;
        Vec3 p{-1, -1, -1};
        m_Train.WrapAndSample(d, p);
        EXPECT_NEAR(d, c.out, 0.01f) << c.in;
        EXPECT_NE(p.x, -1) << c.in;
    }
}

TEST_F(SquareTrack, TheOriginFollowsTheTrackAndKeepsItsHeight)
{
    m_Train.SetPosition(500);
    m_Train.GetSpeedController().SetSpeed(1000);
    m_Train.Move(0.1f);
    EXPECT_FLOAT_EQ(m_Train.GetPosition(), 600);
    EXPECT_FLOAT_EQ(m_Train.GetMovedDistance(), 100);
    const D3DXMATRIX& m = m_Origin->GetLocalMatrix();
    Vec3 onTrack;
    float at = 600;
    m_Train.WrapAndSample(at, onTrack);
    EXPECT_NEAR(m._41, onTrack.x, 1e-3);
    EXPECT_NEAR(m._42, onTrack.y, 1e-3);
    EXPECT_NEAR(m._43, 5, 1e-4); // the origin's own height
    m_Train.GetSpeedController().SetSpeed(100000);
    m_Train.Move(0.1f); // a step longer than the track wraps with a remainder
    EXPECT_GE(m_Train.GetPosition(), 0);
    EXPECT_LT(m_Train.GetPosition(), m_Train.GetTrackLength());
}

TEST_F(SquareTrack, SpeedMarksSitAtTheNearestRail)
{
    Object mark("Dummy_speed05_2500_10");
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, 1010, 990, 0);
    mark.SetLocalMatrix(m);
    Object notAMark("Dummy_speed05_x");
    m_Train.ReadSpeedMarks({&mark, &notAMark});
    const auto& marks = m_Train.GetSpeedController().GetMarks();
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].speed, 2500);
    EXPECT_EQ(marks[0].seconds, 10);
    EXPECT_NEAR(marks[0].distance, m_Train.FindTrackDistance(m), 1e-3);
    EXPECT_NEAR(marks[0].distance, 2000, 1.0f); // the third rail
}

TEST_F(SquareTrack, SameDirectionDoesNothing)
{
    m_Train.SetPosition(100);
    m_Train.SetDirection(1);
    EXPECT_EQ(m_Train.GetPosition(), 100);
    m_Train.GetSpeedController().AddMark(50, 2000, 5);
    m_Train.GetSpeedController().AddMark(3000, 1000, 5);
    m_Train.SetDirection(2);
    EXPECT_EQ(m_Train.GetDirection(), 2);
    EXPECT_EQ(m_Train.GetSpeed(), -2000); // at once, at the speed of the section
}

TEST(Couplings, MissingDummyIsLoggedAndNothingIsWritten)
{
    Dummies scene;
    Object* origin = scene.Add("Dummy_loco00", 0);
    scene.Add("C_01", 1200, 0, 60);
    scene.Add("C_03", 1230, 0, 60);
    scene.Add("Rear", 1000);
    scene.Add("Front", 1400);
    LogCapture log;
    WagonCoupling coupling;
    coupling.Init(scene.Finder(), "C_", "Rear", "Front", origin);
    EXPECT_EQ(log.Text(), "Error while initializing coupling, no dummy with name C_02\n");
    coupling.Update();
    EXPECT_FLOAT_EQ(scene.At("C_01")._41, 1200);
    EXPECT_FLOAT_EQ(scene.At("Rear")._41, 1000);
}

TEST(Couplings, ClosesBetweenItsAttachments)
{
    Dummies scene;
    Object* origin = scene.Add("Dummy_loco00", 0);
    scene.Add("C_01", 1200, 0, 60);
    scene.Add("C_02", 1170, 0, 60);
    scene.Add("C_03", 1230, 0, 60);
    Object* rear = scene.Add("Rear", 1000);
    Object* front = scene.Add("Front", 1400);
    WagonCoupling coupling;
    coupling.Init(scene.Finder(), "C_", "Rear", "Front", origin);
    // Both cars moved 3000 along the straight track, turned as the cars are.
    const D3DXMATRIX turn(-1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    D3DXMATRIX a = turn, b = turn;
    a._41 = 4000;
    b._41 = 3600;
    rear->SetLocalMatrix(a);
    front->SetLocalMatrix(b);
    coupling.Update();
    // The attachments' ends: the rear car's at 4000 - (1170 - 1000), the
    // front car's at 3600 + (1400 - 1230), 60 apart as modelled. The middle
    // dummy stands between them, the ends on them, each with the middle
    // dummy's rest translation (1200, 0, 60): unturned for the middle,
    // turned with the cars for the ends.
    EXPECT_NEAR(scene.At("C_01")._41, (3830 + 3770) / 2 + 1200, 1e-3);
    EXPECT_NEAR(scene.At("C_01")._43, 60, 1e-3);
    EXPECT_NEAR(scene.At("C_02")._41, 3830 - 1200, 1e-3);
    EXPECT_NEAR(scene.At("C_03")._41, 3770 - 1200, 1e-3);
    EXPECT_NEAR(scene.At("C_02")._43, 120, 1e-3);
}

TEST_F(SquareTrack, WheelsTurnByTheDistanceAndAFlatWheelIsSkipped)
{
    Object* wheel = m_Scene.Add("Loco_wheel01", 0);
    Object* flat = m_Scene.Add("Loco_wheel02", 0);
    m_Train.AddWheel(wheel, 50);
    m_Train.AddWheel(flat, 0);
    m_Train.SetPosition(100);
    m_Train.GetSpeedController().SetSpeed(500);
    m_Train.Update(0.1f); // 50 units: one radian
    EXPECT_NEAR(wheel->GetLocalMatrix()._11, std::cos(1.0f), 1e-5);
    EXPECT_NEAR(wheel->GetLocalMatrix()._12, std::sin(1.0f), 1e-5);
    EXPECT_TRUE(std::isfinite(flat->GetLocalMatrix()._11));
    EXPECT_EQ(flat->GetLocalMatrix()._11, 1);
}

TEST(DriveRods, MissingWheelIsLoggedOnceAndNothingMoves)
{
    Dummies scene;
    for (int i = 1; i <= 8; ++i)
        scene.Add("Bar_0" + std::to_string(i), 600.0f - 50 * i, -95, 80);
    scene.Add("Guide1", 450);
    scene.Add("Guide2", 900);
    LogCapture log;
    DriveRodSet rods;
    rods.Init(scene.Finder(), "Bar_", "Crosshead", "Wheel", "Guide1", "Guide2", 1.5707964f);
    EXPECT_EQ(log.Text(), "Error while initializing drive rods, no object with name Crosshead\n"
                          "Error while initializing drive rods, no object with name Wheel\n");
    const std::string once = log.Text();
    for (int frame = 0; frame < 3; ++frame)
        rods.Update();
    EXPECT_FLOAT_EQ(scene.At("Bar_01")._41, 550);
    EXPECT_EQ(log.Text(), once); // not again every frame
}

TEST(Darkening, ZonesTable)
{
    const std::vector<DarkeningZone> zones{{0, 0, 0, 500, 350}, {1000, 0, 0, 100, 50}};
    struct Case
    {
        Vec3 point;
        float factor;
    } cases[] = {{{0, 350, 0}, 0},     {{0, 500, 0}, 1},       {{0, 425, 0}, 0.5f},
                 {{5000, 0, 0}, 1},    {{1075, 0, 0}, 0.5f},   {{0, 0, 0}, 0}};
    for (const Case& c : cases)
        EXPECT_NEAR(GetDarkeningFactor(zones, c.point), c.factor, 1e-5) << c.point.x << "," << c.point.y;
    EXPECT_EQ(GetDarkeningFactor({}, Vec3{1, 2, 3}), 1);
    // Two zones: the darker one wins.
    const std::vector<DarkeningZone> overlapping{{0, 0, 0, 100, 0}, {50, 0, 0, 100, 0}};
    EXPECT_NEAR(GetDarkeningFactor(overlapping, Vec3{40, 0, 0}), 0.1f, 1e-5);
}
} // namespace

TEST_F(SquareTrack, TuningEditTurnsTheTrainAndRetunesOnlyThatGroup)
{
    // Five cars as the train holds them: locomotive, tender, lumber car and
    // the two plain cars (any class carries its body's sway on part 0).
    for (int car = 0; car < 5; ++car)
    {
        const std::string prefix = "Car" + std::to_string(car) + "_";
        for (int i = 1; i <= 4; ++i)
            m_Scene.Add(prefix + "0" + std::to_string(i), 100.0f * i);
        auto wagon = std::make_unique<CSimpleWagon>();
        wagon->Init(m_Scene.Finder(), Wagon::SIMPLE, prefix, m_Origin);
        m_Train.AddWagon(wagon.release());
    }
    std::map<std::string, float> edited;
    const TuningLookup tuned = [&](const std::string& path, float shipped) {
        auto found = edited.find(path);
        return found == edited.end() ? shipped : found->second;
    };
    ApplySwayTuning(m_Train, tuned, true);
    auto body = [&](size_t wagon) { return m_Train.GetWagon(wagon)->GetPart(0); };
    const float shippedAmplitude[5] = {40, 50, 40, 50, 50};
    for (size_t w = 0; w < 5; ++w)
    {
        ASSERT_EQ(body(w)->translations.size(), 1u);
        ASSERT_EQ(body(w)->rotations.size(), 1u);
        EXPECT_EQ(body(w)->translations[0].amplitude, shippedAmplitude[w]) << w;
    }
    EXPECT_NEAR(body(0)->rotations[0].amplitude, 0.3f / 57.295776f, 1e-7); // degrees into radians
    m_Train.SetDirection(1);

    // An edit of the plain cars' values: the train turns to direction 2 (the
    // shipped direction is 0), both plain cars take the new values in their
    // first oscillators, the other cars keep theirs, and nothing is added.
    edited["Train.Wagons.Simple.Mov_Amplitude"] = 10;
    edited["Train.Wagons.Simple.Rot_Speed"] = 5.7295776f;
    ApplyTrainTuning(m_Train, tuned);
    EXPECT_EQ(m_Train.GetDirection(), 2);
    for (size_t w = 0; w < 5; ++w)
    {
        const bool plain = w >= 3;
        EXPECT_EQ(body(w)->translations.size(), 1u);
        EXPECT_EQ(body(w)->translations[0].amplitude, plain ? 10 : shippedAmplitude[w]) << w;
        EXPECT_NEAR(std::fabs(body(w)->rotations[0].rate), plain ? 0.1f : std::fabs(body(w)->rotations[0].rate), 1e-6)
            << w;
    }
    EXPECT_NEAR(std::fabs(body(0)->rotations[0].rate), 1.1f / 57.295776f, 1e-7);

    edited["Train.Movement.Direction"] = 1;
    ApplyTrainTuning(m_Train, tuned);
    EXPECT_EQ(m_Train.GetDirection(), 1);
}
