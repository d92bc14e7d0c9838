// The generated locomotive archive moved by the train's own placement, on a
// curve of the track: every car's wheels stand on the rails, the cars close
// up to each other, and the drive rods stay on the driving wheel's crank
// pins while it turns.
#include <gtest/gtest.h>
#include <cmath>
#include <map>
#include <memory>
#include <string>

#include "FileStorage.h"
#include "Object.h"
#include "Train.h"
#include "Wagon.h"

using namespace FileStorage;

namespace
{
const float kRadius = 20000; // a curve about as tight as the shipped loop's

// A node of the archive; what has meshes counts as a geometry object.
class Node : public Object
{
public:
    Node(const std::string& name, bool geometry) : Object(name), m_bGeometry(geometry) {}
    int GetTypeId() const override { return m_bGeometry ? OBJECT_TYPE_GEOM : OBJECT_TYPE_OBJECT; }

private:
    bool m_bGeometry;
};

class GeneratedTrain : public testing::Test
{
protected:
    void SetUp() override
    {
        CArchive archive;
        ASSERT_TRUE(archive.OpenFile(std::string(TARNHOLM_CONTENT_DIR) + "/Locomotive.SSS"));
        std::map<std::string, GeomObjectRecord> records;
        for (const auto& key : archive.GetEntryList())
            if (key.second == kTypeGeomObject)
            {
                CMemoryStream* s = archive.Find(key.first, key.second);
                ASSERT_TRUE(s && ReadRecord(*s, records[key.first])) << key.first;
            }
        for (const auto& r : records)
        {
            auto node = std::make_unique<Node>(r.first, !r.second.frames.empty());
            D3DXMATRIX m;
            D3DXMatrixIdentity(&m);
            if (!r.second.node.keys.empty())
                std::copy(r.second.node.keys[0].matrix, r.second.node.keys[0].matrix + 16, &m._11);
            node->SetLocalMatrix(m);
            m_Nodes[r.first] = std::move(node);
        }
        for (const auto& r : records)
        {
            auto parent = m_Nodes.find(r.second.node.parentName);
            (parent == m_Nodes.end() ? m_Root : *parent->second).AttachChild(m_Nodes[r.first].get());
        }
        const ObjectFinder find = [this](const std::string& name) -> Object* {
            auto found = m_Nodes.find(name);
            return found == m_Nodes.end() ? nullptr : found->second.get();
        };
        Object* origin = find("Dummy_loco00");
        ASSERT_NE(origin, nullptr);
        m_Wagons.push_back(std::make_unique<CLocomotive>());
        m_Wagons.push_back(std::make_unique<CTenderWagon>());
        m_Wagons.push_back(std::make_unique<CLumberWagon>());
        m_Wagons.push_back(std::make_unique<CSimpleWagon>());
        m_Wagons.push_back(std::make_unique<CSimpleWagon>());
        const int types[5] = {Wagon::LOCOMOTIVE, Wagon::TENDER, Wagon::LUMBER, Wagon::SIMPLE, Wagon::SIMPLE};
        const char* prefixes[5] = {"Dummy_loco01_", "Dummy_loco03_", "Dummy_loco05_", "Dummy_loco07_", "Dummy_loco09_"};
        for (int i = 0; i < 5; ++i)
            m_Wagons[i]->Init(find, types[i], prefixes[i], origin);
        for (int side = 0; side < 2; ++side)
        {
            m_Rods[side].Init(find, side ? "Dummy_locobar02_" : "Dummy_locobar01_",
                              side ? "Loco_kaban_rs_sn01" : "Loco_kaban_rs_sn02", "Loco_wheel_rs_sn04",
                              "Dummy_loco01_05", "Dummy_loco01_04", side ? 3.1415927f : 1.5707964f);
        }
        const char* couplings[5][3] = {{"Dummy_loco02_", "Dummy_loco01_04", "Dummy_loco03_01"},
                                       {"Dummy_loco04_", "Dummy_loco03_01", "Dummy_loco05_01"},
                                       {"Dummy_loco06_", "Dummy_loco05_04", "Dummy_loco07_01"},
                                       {"Dummy_loco08_", "Dummy_loco05_01", "Dummy_loco05_04"},
                                       {"Dummy_loco10_", "Dummy_loco07_01", "Dummy_loco09_01"}};
        for (int i = 0; i < 5; ++i)
            m_Couplings[i].Init(find, couplings[i][0], couplings[i][1], couplings[i][2], origin);
    }

    // A circle about the world's origin, run anticlockwise.
    static Vec3 Curve(float s) { return Vec3{kRadius * std::cos(s / kRadius), kRadius * std::sin(s / kRadius), 0}; }

    // One frame as the train runs it: the cars, the couplings, the wheels
    // turned by `turn` radians, the rods.
    void Frame(float position, float turn)
    {
        for (auto& w : m_Wagons)
            w->PlaceOnTrack(Curve, 1, position, 0.02f, 0);
        for (WagonCoupling& c : m_Couplings)
            c.Update();
        for (auto& n : m_Nodes)
            if (n.first.compare(0, 10, "Loco_wheel") == 0)
            {
                D3DXMATRIX spin;
                D3DXMatrixRotationZ(&spin, turn);
                PlaceObject(n.second.get(), spin * n.second->GetLocalMatrix());
            }
        for (DriveRodSet& r : m_Rods)
            r.Update();
        m_Root.UpdateHierarchy();
    }

    Vec3 WorldAt(const std::string& name) const
    {
        const D3DXMATRIX& w = m_Nodes.at(name)->GetWorldMatrix();
        return Vec3{w._41, w._42, w._43};
    }
    // A world point in an object's own frame.
    Vec3 InFrameOf(const std::string& name, const Vec3& p) const
    {
        D3DXMATRIX inverse;
        D3DXMatrixInverse(&inverse, nullptr, &m_Nodes.at(name)->GetWorldMatrix());
        D3DXVECTOR3 out, in(p.x, p.y, p.z);
        D3DXVec3TransformCoord(&out, &in, &inverse);
        return Vec3{out.x, out.y, out.z};
    }
    // Track distance of a world point (anticlockwise from +X).
    static float TrackDistance(const Vec3& p) { return std::atan2(p.y, p.x) * kRadius; }
    static float OffTrack(const Vec3& p) { return std::hypot(p.x, p.y) - kRadius; }

    Object m_Root{"Scene Root"};
    std::map<std::string, std::unique_ptr<Node>> m_Nodes;
    std::vector<std::unique_ptr<Wagon>> m_Wagons;
    WagonCoupling m_Couplings[5];
    DriveRodSet m_Rods[2];
};

TEST_F(GeneratedTrain, EveryWheelStandsOnTheRailsBehindTheTrainPosition)
{
    const float position = 30000;
    Frame(position, 0);
    int wheels = 0;
    for (const auto& n : m_Nodes)
    {
        if (n.first.compare(0, 10, "Loco_wheel") != 0)
            continue;
        ++wheels;
        const Vec3 p = WorldAt(n.first);
        // On the curve's centre line (a chord of a car's bogies bows in by
        // a few units), at its own height above the rail tops.
        EXPECT_NEAR(OffTrack(p), 0, 6) << n.first;
        EXPECT_GT(p.z, 40) << n.first;
        EXPECT_LT(p.z, 80) << n.first;
        // Behind the front of the train and within the train's length.
        const float behind = position - TrackDistance(p);
        EXPECT_GT(behind, 0) << n.first;
        EXPECT_LT(behind, 4800) << n.first;
    }
    EXPECT_EQ(wheels, 22);
    for (const auto& n : m_Nodes)
    {
        const D3DXMATRIX& w = n.second->GetWorldMatrix();
        for (int i = 0; i < 16; ++i)
            ASSERT_TRUE(std::isfinite((&w._11)[i])) << n.first << " has no place";
    }
    // The lumber car's load lies over the track between its bogies (on the
    // chord between their bodies, which bows in by a few units more).
    const Vec3 load = WorldAt("Loco_lumber_load01");
    EXPECT_NEAR(OffTrack(load), 0, 10);
    EXPECT_GT(TrackDistance(load), TrackDistance(WorldAt("Loco_wheel_l04")));
    EXPECT_LT(TrackDistance(load), TrackDistance(WorldAt("Loco_wheel_l01")));
}

TEST_F(GeneratedTrain, CarsFollowEachOtherWithoutGaps)
{
    const float position = 30000;
    Frame(position, 0);
    // The wheels of each car, front to rear: the gap between the last wheel
    // of one car and the first of the next is about a coupling's length.
    const char* firstWheels[] = {"Loco_wheel_t01", "Loco_wheel_l01", "Loco_wheel_c11", "Loco_wheel_c21"};
    const char* lastWheels[] = {"Loco_wheel_rs_sn06", "Loco_wheel_t04", "Loco_wheel_l04", "Loco_wheel_c14"};
    for (int i = 0; i < 4; ++i)
    {
        const float gap = TrackDistance(WorldAt(lastWheels[i])) - TrackDistance(WorldAt(firstWheels[i]));
        EXPECT_GT(gap, 80) << lastWheels[i] << " to " << firstWheels[i];
        EXPECT_LT(gap, 700) << lastWheels[i] << " to " << firstWheels[i];
    }
}

TEST_F(GeneratedTrain, RodsStayOnTheCrankPinsAsTheWheelTurns)
{
    struct Side
    {
        const char* pin;      // the crank joint
        const char* crosshead;
        const char* mainRod;  // hangs between them
    } sides[2] = {{"Dummy_locobar01_03", "Dummy_locobar01_05", "Loco_rod01_01"},
                  {"Dummy_locobar02_03", "Dummy_locobar02_05", "Loco_rod02_01"}};
    Vec3 first[2];
    float lowest[2] = {1e9f, 1e9f}, highest[2] = {-1e9f, -1e9f};
    for (int step = 0; step < 12; ++step)
    {
        Frame(30000 + step * 40.0f, step == 0 ? 0 : 0.5236f);
        for (int s = 0; s < 2; ++s)
        {
            // The pin seen from the wheel: at the crank's radius from the
            // axle, beside the wheel, and the same point of the wheel
            // whichever way the wheel has turned.
            const Vec3 pin = InFrameOf("Loco_wheel_rs_sn04", WorldAt(sides[s].pin));
            if (step == 0)
                first[s] = pin;
            EXPECT_NEAR(std::hypot(pin.x, pin.y), 40, 0.5f) << sides[s].pin << " at step " << step;
            EXPECT_NEAR(std::fabs(pin.z), 95, 0.5f) << sides[s].pin;
            EXPECT_NEAR(pin.x, first[s].x, 0.5f) << sides[s].pin << " at step " << step;
            EXPECT_NEAR(pin.y, first[s].y, 0.5f) << sides[s].pin << " at step " << step;
            // The main rod hangs midway between the pin and the crosshead.
            const Vec3 a = WorldAt(sides[s].pin), b = WorldAt(sides[s].crosshead), rod = WorldAt(sides[s].mainRod);
            EXPECT_NEAR(rod.x, (a.x + b.x) / 2, 1) << sides[s].mainRod;
            EXPECT_NEAR(rod.y, (a.y + b.y) / 2, 1) << sides[s].mainRod;
            EXPECT_NEAR(rod.z, (a.z + b.z) / 2, 1) << sides[s].mainRod;
            // The crosshead slides along the train with the crank.
            const float along = TrackDistance(b);
            lowest[s] = std::min(lowest[s], along - step * 40.0f);
            highest[s] = std::max(highest[s], along - step * 40.0f);
        }
    }
    for (int s = 0; s < 2; ++s)
        EXPECT_NEAR(highest[s] - lowest[s], 80, 4) << "the crosshead's stroke is the crank's diameter";
}
} // namespace
