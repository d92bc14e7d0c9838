// Scene nodes: loading, hierarchy, keyframe playback, timed callbacks,
// static nodes, cycles and billboards, on the fixed-step global timer.
#include <gtest/gtest.h>

#include <map>

#include "ArchiveWriter.h"
#include "Camera.h"
#include "FileStorage.h"
#include "Object.h"

using namespace FileStorage;

namespace
{
D3DXMATRIX Translation(float x, float y, float z)
{
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, x, y, z);
    return m;
}

class SceneNode : public ::testing::Test
{
protected:
    void SetUp() override
    {
        UseDebugTimer();
        g_CurrentCamera = nullptr;
    }
    void TearDown() override { g_CurrentCamera = nullptr; }

    // Moves the global clock on; local timers see the difference.
    static void Advance(float seconds)
    {
        CTimer* global = GetGlobalTimer();
        global->SetTime(global->GetTime() + seconds);
    }

    // A node with keys at 0 s (x = 0) and 1 s (x = 10).
    static void AddSlide(Object& o)
    {
        o.AddKey(0, Translation(0, 0, 0));
        o.AddKey(1000, Translation(10, 0, 0));
    }

    static void Update(Object& o, const D3DXMATRIX& parent = Translation(0, 0, 0)) { o.UpdateWorldMatrix(parent); }
};
} // namespace

TEST_F(SceneNode, LoadsTheNodePartOfARecord)
{
    NodeRecord n;
    n.parentName = "Box";
    n.animationStartMs = 250;
    n.animationEndMs = 1250;
    n.keys.resize(2);
    n.keys[0].matrix[0] = n.keys[0].matrix[5] = n.keys[0].matrix[10] = n.keys[0].matrix[15] = 1;
    n.keys[0].matrix[12] = 4;
    n.keys[1].timeMs = 1500;
    CameraRecord record; // any record that starts with a node part
    record.node = n;
    CMemoryStream s(ArchiveTool::EncodeRecord(record));

    Object o;
    o.LoadFromStream("bb3Tree", s);
    EXPECT_EQ(o.GetName(), "bb3Tree");
    EXPECT_EQ(o.GetParentName(), "Box");
    EXPECT_EQ(o.GetAnimationStart(), 250u);
    EXPECT_EQ(o.GetAnimationEnd(), 1250u);
    ASSERT_EQ(o.GetKeys().size(), 2u);
    EXPECT_FLOAT_EQ(o.GetKeys()[1].time, 1.5f);
    EXPECT_EQ(o.GetLocalMatrix(), Translation(4, 0, 0));
    EXPECT_FLOAT_EQ(o.GetFrameTime(), 1.0f / 30.0f);
    EXPECT_TRUE(o.IsBillboard()) << "bb3 names are up-aligned billboards";
    EXPECT_EQ(s.GetPosition(), 2u + 3 + 4 + 4 + 2 + 2 * 68);

    ArchiveTool::Bytes bytes = ArchiveTool::EncodeRecord(record);
    bytes.resize(40);
    CMemoryStream truncated(bytes);
    Object t;
    EXPECT_THROW(t.LoadFromStream("T", truncated), ErrorRead);
}

TEST_F(SceneNode, WorldIsLocalTimesParentWorld)
{
    Object root("root"), parent("parent"), child("child");
    root.AttachChild(&parent);
    parent.AttachChild(&child);
    D3DXMATRIX scale;
    D3DXMatrixScaling(&scale, 2, 2, 2);
    parent.SetLocalMatrix(scale * Translation(1, 2, 3));
    child.SetLocalMatrix(Translation(10, 0, 0));
    root.UpdateHierarchy();
    EXPECT_EQ(child.GetWorldMatrix(), Translation(10, 0, 0) * scale * Translation(1, 2, 3));
    EXPECT_FLOAT_EQ(child.GetWorldMatrix()._41, 21);
    EXPECT_EQ(child.GetParentName(), "parent");
    EXPECT_NEAR(child.DistanceToWorld(21, 2, 6), 3, 1e-3);
    EXPECT_EQ(child.DistanceToLocal(10, 0, 0), 0);
}

TEST_F(SceneNode, PlaybackLoopsAndRests)
{
    const struct
    {
        int32_t loops;
        bool restAtStart;
        float speed;
        float elapsed;
        float x;
        bool playing;
    } cases[] = {
        {-1, false, 1, 0.25f, 2.5f, true}, {-1, false, 1, 3.5f, 5, true},   {-1, false, 2, 0.3f, 6, true},
        {2, false, 1, 1.5f, 5, true},      {2, false, 1, 2.5f, 10, false}, {2, true, 1, 2.5f, 0, false},
        {1, false, 1, 0.75f, 7.5f, true},  {1, true, 1, 1.2f, 0, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "loops " << c.loops << " rest " << c.restAtStart << " at " << c.elapsed);
        Object o("slide");
        AddSlide(o);
        o.PlayAnimation(0, 1000, 0, c.speed, c.loops, false, c.restAtStart);
        EXPECT_TRUE(o.IsAnimating());
        Advance(c.elapsed);
        Update(o);
        EXPECT_NEAR(o.GetLocalMatrix()._41, c.x, 1e-3);
        EXPECT_EQ(o.IsAnimating(), c.playing);
    }
}

TEST_F(SceneNode, KeyEventsFireWithTheirPair)
{
    Object o("steps");
    AddSlide(o);
    o.AddKey(2000, Translation(10, 10, 0));
    int second = 0;
    o.AddKeyEvent(1, [&second] { ++second; });
    o.PlayAnimation(0, 2000, 0, 1, -1, false, false);
    const struct
    {
        float step;
        int fired;
    } steps[] = {{0.5f, 0}, {1.0f, 1}, {0.25f, 2}, {0.5f, 2}};
    for (const auto& s : steps)
    {
        Advance(s.step);
        Update(o);
        EXPECT_EQ(second, s.fired);
    }
}

TEST_F(SceneNode, BlendInMovesFromThePoseToTheKeys)
{
    Object o("slide");
    AddSlide(o);
    o.SetLocalMatrix(Translation(0, 8, 0));
    o.PlayAnimation(0, 1000, 0, 1, -1, false, false);
    o.BlendIn(0.5f);
    Advance(0.25f);
    Update(o);
    EXPECT_NEAR(o.GetLocalMatrix()._42, 4, 1e-4) << "halfway from the pose";
    EXPECT_NEAR(o.GetLocalMatrix()._41, 5, 1e-4) << "towards the pair's end key";
    Advance(0.5f); // 0.25 s past the blend: the animation runs from its start
    Update(o);
    EXPECT_NEAR(o.GetLocalMatrix()._41, 2.5f, 1e-3);
    EXPECT_NEAR(o.GetLocalMatrix()._42, 0, 1e-4);
}

TEST_F(SceneNode, RangesThatCannotPlayDoNotStart)
{
    const struct
    {
        uint32_t start, end;
        bool plays;
    } cases[] = {{0, 1000, true}, {500, 500, false}, {800, 500, true}, {1500, 500, false}, {2000, 0, false}};
    for (const auto& c : cases)
    {
        Object o("slide");
        AddSlide(o);
        o.PlayAnimation(c.start, c.end, 0, 1, -1, false, false);
        EXPECT_EQ(o.IsAnimating(), c.plays) << c.start << "-" << c.end;
        Advance(0.1f);
        Update(o);
        EXPECT_FALSE(std::isnan(o.GetLocalMatrix()._41));
    }
    Object single("single");
    single.AddKey(0, Translation(3, 0, 0));
    single.SetLocalMatrix(Translation(3, 0, 0));
    single.PlayAnimation(0, 1000, 0, 1, -1, false, false);
    EXPECT_FALSE(single.IsAnimating());
}

TEST_F(SceneNode, CallbacksFireOncePerPassAcrossWraps)
{
    Object o("slide");
    AddSlide(o);
    std::map<float, int> fired;
    for (float t : {0.0f, 0.2f, 0.5f, 0.9f, 1.5f})
        o.AddTimedCallback(t, [&fired, &o, t](int argument, Object* object, float) {
            EXPECT_EQ(argument, 0);
            EXPECT_EQ(object, &o);
            ++fired[t];
        });
    o.PlayAnimation(0, 1000, 0, 1, -1, false, false);
    for (int step = 0; step < 42; ++step) // three passes, ending at 2.94 s
    {
        Advance(0.07f);
        Update(o);
    }
    // The range start fires only at the two wraps; 1.5 s lies outside the range.
    const std::map<float, int> want = {{0.0f, 2}, {0.2f, 3}, {0.5f, 3}, {0.9f, 3}};
    EXPECT_EQ(fired, want);

    // Time standing still: no callback, no key change, but the world follows the parent.
    const D3DXMATRIX local = o.GetLocalMatrix();
    Update(o, Translation(0, 7, 0));
    EXPECT_EQ(fired, want);
    EXPECT_EQ(o.GetLocalMatrix(), local);
    EXPECT_FLOAT_EQ(o.GetWorldMatrix()._42, 7);
}

TEST_F(SceneNode, StaticNodesKeepTheirWorldUntilPlayed)
{
    Object root("root"), parent("parent"), child("child");
    root.AttachChild(&parent);
    parent.AttachChild(&child);
    AddSlide(child);
    root.UpdateHierarchy();
    const D3DXMATRIX frozen = child.GetWorldMatrix();
    child.SetStatic(true);

    parent.SetLocalMatrix(Translation(0, 5, 0));
    root.UpdateHierarchy();
    EXPECT_EQ(child.GetWorldMatrix(), frozen);

    parent.PlayAnimation(0, 1000, 0, 1, -1, true, false);
    EXPECT_FALSE(child.IsStatic()) << "playing a static node makes it move again";
    EXPECT_TRUE(child.IsAnimating());
    Advance(0.5f);
    root.UpdateHierarchy();
    EXPECT_NEAR(child.GetWorldMatrix()._41, 5, 1e-3);
    EXPECT_FLOAT_EQ(child.GetWorldMatrix()._42, 5);
}

TEST_F(SceneNode, ParentCyclesAreRefused)
{
    Object root("root"), a("a"), b("b"), c("c");
    EXPECT_TRUE(a.AttachChild(&b));
    EXPECT_TRUE(b.AttachChild(&c));
    ASSERT_FALSE(c.AttachChild(&a));
    ASSERT_FALSE(a.AttachChild(&a));
    EXPECT_EQ(a.GetParent(), nullptr);
    EXPECT_TRUE(c.GetChildren().empty());
    EXPECT_TRUE(root.AttachChild(&a));
    c.AddKey(0, Translation(0, 0, 0));
    root.UpdateHierarchy(); // terminates
    root.PlayAnimation(0, 1000, 0, 1, -1, true, false);
    EXPECT_FALSE(root.IsAnimating());
}

TEST_F(SceneNode, BillboardsTurnTowardsTheCurrentCamera)
{
    CameraRecord bb;
    bb.node.keys.resize(1);
    ArchiveTool::SetIdentity(bb.node.keys[0].matrix);
    CMemoryStream s(ArchiveTool::EncodeRecord(bb));
    Object cylindrical;
    cylindrical.LoadFromStream("bb_Tree", s);
    cylindrical.SetBillboard(true);

    Camera camera("cam");
    camera.SetLocalMatrix(Translation(0, 0, 0));
    Update(cylindrical);
    EXPECT_EQ(cylindrical.GetWorldMatrix(), Translation(0, 0, 0)) << "no current camera, no turn";

    g_CurrentCamera = &camera;
    const struct
    {
        float x, y;
    } positions[] = {{10, 0}, {0, -4}, {-3, 3}};
    for (const auto& p : positions)
    {
        camera.SetWorldMatrix(Translation(p.x, p.y, 5));
        Update(cylindrical);
        const D3DXMATRIX& w = cylindrical.GetWorldMatrix();
        const float len = std::sqrt(p.x * p.x + p.y * p.y);
        EXPECT_NEAR(w._21, p.x / len, 1e-5) << "local +Y points at the camera";
        EXPECT_NEAR(w._22, p.y / len, 1e-5);
        EXPECT_NEAR(w._33, 1, 1e-5) << "turned about Z only";
    }

    s.SetPosition(0);
    Object upAligned;
    upAligned.LoadFromStream("bb3Grass", s);
    for (float angle : {0.0f, 0.6f, 2.0f})
    {
        D3DXMATRIX turn;
        D3DXMatrixRotationZ(&turn, angle);
        camera.SetWorldMatrix(turn * Translation(4, 4, 2));
        camera.UpdateView();
        Update(upAligned);
        const D3DXMATRIX& w = upAligned.GetWorldMatrix();
        const D3DXMATRIX& view = camera.GetView();
        const float along = w._11 * view._12 + w._12 * view._22 + w._13 * view._32;
        EXPECT_NEAR(along, 0, 1e-5) << "local X across the camera's up, angle " << angle;
        EXPECT_NEAR(w._33, 1, 1e-5);
    }

    s.SetPosition(0);
    Object facing;
    facing.LoadFromStream("bb2_Sign", s);
    facing.ClearCylindricalBillboard();
    facing.SetBillboard(true);
    facing.SetLocalMatrix(Translation(1, 1, 1));
    camera.SetWorldMatrix(Translation(1, 1, 11));
    Update(facing);
    const D3DXMATRIX& w = facing.GetWorldMatrix();
    EXPECT_NEAR(w._23, 1, 1e-5) << "local +Y points at the camera";
    EXPECT_FLOAT_EQ(w._41, 1) << "keeps its position";
    EXPECT_FLOAT_EQ(w._43, 1);
}
