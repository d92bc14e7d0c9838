#include "ControlledCamera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace
{
void ExpectNear(const D3DXVECTOR3& expected, const D3DXVECTOR3& actual, const char* what)
{
    EXPECT_NEAR(expected.x, actual.x, 1e-3f) << what;
    EXPECT_NEAR(expected.y, actual.y, 1e-3f) << what;
    EXPECT_NEAR(expected.z, actual.z, 1e-3f) << what;
}

std::unique_ptr<CControlledCamera> MakeCamera()
{
    std::unique_ptr<CControlledCamera> c(new CControlledCamera);
    c->SetSaveStates(false); // tests never write into the working folder
    return c;
}

TEST(ControlledCameraStates, FileRoundTripsThroughTheCamera)
{
    const std::string path = ::testing::TempDir() + "ControlledCameraStates.bin";
    auto a = MakeCamera();
    a->SetPosition(1, 2, 3);
    a->SetAngles(0.5f, -0.25f);
    ControlledCameraInput store;
    store.ctrl = true;
    store.digits[3] = store.digits[7] = true;
    a->Step(store);
    ASSERT_TRUE(a->SaveStates(path));

    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_TRUE(f);
    std::fseek(f, 0, SEEK_END);
    EXPECT_EQ(640, std::ftell(f));
    std::fclose(f);

    auto b = MakeCamera();
    ASSERT_TRUE(b->LoadStates(path));
    std::remove(path.c_str());
    for (int i = 0; i < kControlledCameraStateCount; ++i)
    {
        const ControlledCameraState& s = b->GetState(i);
        EXPECT_EQ(i == 3 || i == 7, s.valid) << i;
        if (!s.valid)
            continue;
        EXPECT_EQ(1.0f, s.position[0]);
        EXPECT_EQ(3.0f, s.position[2]);
        EXPECT_EQ(0.5f, s.pitch);
        EXPECT_EQ(-0.25f, s.yaw);
        EXPECT_EQ(2.0f, s.nearPlane);
        EXPECT_EQ(70000.0f, s.farPlane);
    }
    EXPECT_FALSE(b->LoadStates(path)); // gone: nothing read
}

TEST(ControlledCameraStates, OnlySaneRecordsCount)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct
    {
        const char* what;
        float x, pitch, nearPlane, farPlane;
        uint8_t validByte;
        bool valid;
    } cases[] = {
        {"sane", 5, 0.1f, 1, 100, 1, true},
        {"not marked", 5, 0.1f, 1, 100, 0, false},
        {"marked 2", 5, 0.1f, 1, 100, 2, false},
        {"infinite position", inf, 0.1f, 1, 100, 1, false},
        {"NaN pitch", 5, nan, 1, 100, 1, false},
        {"zero near", 5, 0.1f, 0, 100, 1, false},
        {"near beyond far", 5, 0.1f, 200, 100, 1, false},
        {"near equals far", 5, 0.1f, 100, 100, 1, false},
    };
    for (const auto& c : cases)
    {
        ControlledCameraState in[kControlledCameraStateCount];
        in[0].position[0] = c.x;
        in[0].pitch = c.pitch;
        in[0].nearPlane = c.nearPlane;
        in[0].farPlane = c.farPlane;
        uint8_t bytes[640];
        WriteControlledCameraStates(in, bytes);
        bytes[44] = c.validByte;
        ControlledCameraState out[kControlledCameraStateCount];
        EXPECT_EQ(10, ReadControlledCameraStates(bytes, sizeof(bytes), out));
        EXPECT_EQ(c.valid, out[0].valid) << c.what;
    }
}

TEST(ControlledCameraStates, ShortFileLeavesTheRestAlone)
{
    ControlledCameraState in[kControlledCameraStateCount];
    for (auto& s : in)
    {
        s.nearPlane = 1;
        s.farPlane = 2;
        s.valid = true;
    }
    uint8_t bytes[640];
    WriteControlledCameraStates(in, bytes);
    ControlledCameraState out[kControlledCameraStateCount];
    EXPECT_EQ(2, ReadControlledCameraStates(bytes, 64 * 2 + 10, out));
    EXPECT_TRUE(out[1].valid);
    EXPECT_FALSE(out[2].valid);
}

// A file that does not read whole is moved aside before the camera could
// write over it on exit; a whole one stays where it is.
TEST(ControlledCameraStates, DamagedFileIsKeptAside)
{
    const std::string path = ::testing::TempDir() + "DamagedStates.bin";
    const std::string kept = path + ".bad";
    ControlledCameraState in[kControlledCameraStateCount];
    in[2].nearPlane = 1;
    in[2].farPlane = 50;
    in[2].valid = true;
    uint8_t whole[640];
    WriteControlledCameraStates(in, whole);
    uint8_t nanRecord[640];
    std::memcpy(nanRecord, whole, sizeof(whole));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(nanRecord + 2 * 64 + 36, &nan, 4);
    const struct
    {
        const char* what;
        const uint8_t* bytes;
        size_t size;
        bool movedAside, viewUsable;
    } cases[] = {
        {"whole", whole, 640, false, true},
        {"truncated", whole, 100, true, false},
        {"empty", whole, 0, true, false},
        {"stored view with a NaN pitch", nanRecord, 640, true, false},
        {"longer", whole, 640, true, true},
    };
    for (const auto& c : cases)
    {
        std::remove(kept.c_str());
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(c.bytes, 1, c.size, f);
        if (std::string(c.what) == "longer")
            std::fputc(0, f);
        std::fclose(f);
        auto camera = MakeCamera();
        EXPECT_TRUE(camera->LoadStates(path)) << c.what;
        EXPECT_EQ(c.movedAside, access(kept.c_str(), F_OK) == 0) << c.what;
        EXPECT_EQ(!c.movedAside, access(path.c_str(), F_OK) == 0) << c.what;
        EXPECT_EQ(c.viewUsable, camera->GetState(2).valid) << c.what;
    }
    std::remove(kept.c_str());
    std::remove(path.c_str());
}

// A save that cannot be written leaves the previous file as it was.
TEST(ControlledCameraStates, FailedSaveKeepsThePreviousFile)
{
    const std::string path = ::testing::TempDir() + "KeptStates.bin";
    auto a = MakeCamera();
    ASSERT_TRUE(a->SaveStates(path));
    const std::string temp = path + ".tmp";
    std::remove(temp.c_str());
    ASSERT_EQ(0, mkdir(temp.c_str(), 0700)); // the temporary name is taken
    EXPECT_FALSE(a->SaveStates(path));
    rmdir(temp.c_str());
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_TRUE(f);
    std::fseek(f, 0, SEEK_END);
    EXPECT_EQ(long(kControlledCameraStateCount * kControlledCameraRecordSize), std::ftell(f));
    std::fclose(f);
    std::remove(path.c_str());
}

TEST(ControlledCamera, StepsMoveByTheKeysAndMouse)
{
    const struct
    {
        const char* what;
        bool forward, capsLock;
        int wheel;
        D3DXVECTOR3 moved; // move speed 40, looking along +Z
    } cases[] = {
        {"forward", true, false, 0, {0, 0, 40}},
        {"forward with Caps Lock", true, true, 0, {0, 0, 8}},
        {"wheel forward", true, false, 2, {0, 0, 4}},
        {"wheel back", true, false, -2, {0, 0, -4}},
    };
    for (const auto& c : cases)
    {
        auto camera = MakeCamera();
        ControlledCameraInput in;
        in.forward = c.forward;
        in.capsLock = c.capsLock;
        in.wheel = c.wheel;
        camera->Step(in);
        ExpectNear(c.moved, camera->GetFlightPosition(), c.what);
    }
}

TEST(ControlledCamera, DragClampsPitchAndDigitsRecallStates)
{
    auto camera = MakeCamera();
    ControlledCameraInput drag;
    drag.leftButton = true;
    drag.dy = 500;
    for (int i = 0; i < 3; ++i)
        camera->Step(drag);
    EXPECT_FLOAT_EQ(1.5607964f, camera->GetAngles().first);

    ControlledCameraInput store;
    store.ctrl = true;
    store.digits[3] = true;
    camera->Step(store);
    camera->SetPosition(100, 100, 100);
    camera->SetAngles(0, 1);
    ControlledCameraInput recall;
    recall.digits[3] = true;
    camera->Step(recall);
    ExpectNear(D3DXVECTOR3(0, 0, 0), camera->GetFlightPosition(), "recalled");
    EXPECT_FLOAT_EQ(1.5607964f, camera->GetAngles().first);
    EXPECT_FLOAT_EQ(0.0f, camera->GetAngles().second);
}

TEST(ControlledCamera, StartsFromTheReferenceCamera)
{
    Camera reference("Cam");
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, 10, 20, 30);
    reference.SetLocalMatrix(world);
    reference.SetWorldMatrix(world);
    auto camera = MakeCamera();
    camera->InitFrom(&reference);
    ExpectNear(D3DXVECTOR3(10, 30, 20), camera->GetFlightPosition(), "Y-up position");
    camera->UpdateView();
    const D3DXMATRIX& w = camera->GetWorldMatrix();
    ExpectNear(D3DXVECTOR3(10, 20, 30), D3DXVECTOR3(w._41, w._42, w._43), "world translation");
    EXPECT_NEAR(reference.GetNear(), camera->GetNear(), 1e-2f);
    EXPECT_NEAR(reference.GetFar(), camera->GetFar(), reference.GetFar() * 1e-3f);
}
} // namespace

TEST(RoundControlledCamera, OrbitsTheEyeAboutTheAxisThroughTheTarget)
{
    CRoundControlledCamera camera;
    camera.SetSaveStates(false);
    const D3DXVECTOR3 target(5, 5, 0);
    camera.SetOrbit(D3DXVECTOR3(15, 5, 0), target, D3DXVECTOR3(0, 0, 1), D3DX_PI / 2);
    camera.UpdateView();
    D3DXVECTOR3 inView, eyeInView;
    D3DXVec3TransformCoord(&inView, &target, &camera.GetView());
    EXPECT_NEAR(inView.x, 0, 1e-4f);
    EXPECT_NEAR(inView.y, 0, 1e-4f);
    EXPECT_NEAR(inView.z, 10, 1e-4f) << "the target straight ahead at the orbit's radius";
    const D3DXVECTOR3 turnedEye(5, 15, 0);
    D3DXVec3TransformCoord(&eyeInView, &turnedEye, &camera.GetView());
    EXPECT_NEAR(D3DXVec3Length(&eyeInView), 0, 1e-4f) << "the eye turned a quarter about Z";

    EXPECT_TRUE(camera.IsControlKey(34));
    EXPECT_TRUE(camera.IsControlKey(46));
    CControlledCamera plain;
    plain.SetSaveStates(false);
    EXPECT_FALSE(plain.IsControlKey(34));
}
