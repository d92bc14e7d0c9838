#pragma once
// The one train of the scene: dummies of the locomotive scene moved along
// the closed track that the rail dummies of the landscape lay out.
#include <memory>
#include <string>
#include <vector>

#include "MathUtils.h"
#include "SpeedController.h"
#include "Wagon.h"
#include "d3dx8math.h"

class Object;

struct DarkeningZone
{
    float x, y, z;
    float outerRadius;
    float innerRadius;
};

// 1 outside every zone, 0 inside an inner radius, the darkest zone wins.
float GetDarkeningFactor(const std::vector<DarkeningZone>& zones, const Vec3& point);

struct WheelBinding
{
    float radius;
    Object* object;
};

class Train
{
public:
    Train();
    ~Train();

    // Binds "Dummy_loco00": the origin every wagon dummy is measured from.
    bool BindOrigin(Object* origin);
    Object* GetOrigin() const { return m_pOrigin; }

    // Resets the motion state and reads the track, the speed marks and the
    // train cameras. The wheels are added by the caller, which knows their
    // bounding boxes.
    void Init(const ObjectFinder& mainScene, const std::vector<Object*>& mainObjects,
              const ObjectFinder& locoScene);
    void ReadRails(const ObjectFinder& mainScene);
    void ReadSpeedMarks(const std::vector<Object*>& mainObjects);
    void ReadLocoCameras(const ObjectFinder& locoScene);

    // Takes ownership.
    void AddWagon(Wagon* wagon) { m_Wagons.emplace_back(wagon); }
    void AddCoupling(const ObjectFinder& locoScene, const std::string& prefix, const std::string& rearAttachment,
                     const std::string& frontAttachment);
    void AddDriveRods(const ObjectFinder& locoScene, const std::string& prefix, const std::string& crosshead,
                      const std::string& wheel, const std::string& firstGuide, const std::string& secondGuide,
                      float phase);
    void AddWheel(Object* wheel, float radius) { m_Wheels.push_back({radius, wheel}); }

    bool Update(float dt);
    bool Move(float dt);
    void PlaceWagons(float dt);
    void TurnWheels();

    void SetDirection(int direction);
    void SetPosition(float distance);
    void PlaceAtRandom();
    // Wraps the distance into the track's length (written back) and samples
    // the track there; a failed lookup keeps the last good sample.
    void WrapAndSample(float& distance, Vec3& point);
    float FindTrackDistance(const D3DXMATRIX& matrix) const;

    float GetPosition() const { return m_Position; }
    float GetMovedDistance() const { return m_MovedDistance; }
    float GetTrackLength() const;
    int GetDirection() const { return m_Speed.GetDirection(); }
    float GetSpeed() const { return m_Speed.GetSpeed(); }
    const Vec3& GetLastOriginSample() const { return m_LastOriginSample; }
    SpeedController& GetSpeedController() { return m_Speed; }
    BezierPath& GetTrack() { return m_Track; }
    size_t GetWagonCount() const { return m_Wagons.size(); }
    Wagon* GetWagon(size_t index) const { return index < m_Wagons.size() ? m_Wagons[index].get() : nullptr; }
    bool IsEnabled() const { return m_bEnabled; }
    size_t GetWheelCount() const { return m_Wheels.size(); }
    size_t GetDriveRodCount() const { return m_DriveRods.size(); }

private:
    Vec3 SampleAt(float distance);

    Object* m_pOrigin = nullptr;
    D3DXMATRIX m_OriginMatrix;
    std::vector<std::unique_ptr<Wagon>> m_Wagons;
    std::vector<std::unique_ptr<WagonCoupling>> m_Couplings;
    std::vector<std::unique_ptr<DriveRodSet>> m_DriveRods;
    SpeedController m_Speed;
    float m_Position = 0;
    float m_MovedDistance = 0;
    Vec3 m_LastOriginSample{1, 0, 0};
    CLocalTimer m_Timer;
    BezierPath m_Track;
    std::vector<WheelBinding> m_Wheels;
    bool m_bEnabled = false;
    std::vector<float> m_StartPositions;
    Vec3 m_LastGoodSample{0, 0, 0};
};

