#pragma once
// The cars of the train: sets of dummies of the locomotive scene placed on
// the track every frame, their bodies rocked by small oscillations whose
// strength grows with the speed; and the couplings between the cars.
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "MathUtils.h"
#include "d3dx8math.h"

class Object;

// Finds an object of a scene by its exact name; null when there is none.
typedef std::function<Object*(const std::string&)> ObjectFinder;

// Replaces the object's local matrix; an object that was static starts
// being animated.
void PlaceObject(Object* object, const D3DXMATRIX& local);

// The heading of a pair of track points, front A and rear B: turns a car
// modelled along +X so that it faces along the track.
D3DXMATRIX HeadingMatrix(const Vec3& front, const Vec3& rear);
// The heading of a pair of points with the pitch of their height difference.
D3DXMATRIX PitchedHeadingMatrix(const Vec3& front, const Vec3& rear);

// A triangle wave between -amplitude and +amplitude at a constant rate.
struct SwayOscillator
{
    D3DXVECTOR3 axis{0, 0, 1};
    float amplitude = 0;
    float value = 0;
    float rate = 0; // its sign is the current direction of the swing

    void SetAxis(const D3DXVECTOR3& newAxis);
    // A first amplitude draws a random phase; later ones keep the value.
    void SetAmplitude(float newAmplitude);
    // The same rate (or its negative) keeps the swing direction.
    void SetRate(float newRate);
    void Step(float dt);
};

struct WagonPart
{
    Object* object = nullptr;
    float distance = 0; // horizontal distance from the origin dummy at set-up
    // Local matrix at set-up. It is placed whole: its translation turns with
    // the car, so whatever hangs below the dummy is modelled from the
    // dummy's own track point.
    D3DXMATRIX rest;
    std::vector<SwayOscillator> translations;
    std::vector<SwayOscillator> rotations;
    D3DXMATRIX sway;
    bool hasSway = false;
    float swayScale = 0;

    void Bind(Object* dummy, const Object* origin);
};

// A sample of the track at a distance, wrapped into the track's length.
typedef std::function<Vec3(float distance)> TrackSampler;

class Wagon
{
public:
    enum Type
    {
        LOCOMOTIVE = 1,
        SIMPLE = 2,
        TENDER = 3,
        LUMBER = 4,
        ONE_DUMMY = 5,
    };

    virtual ~Wagon() = default;
    virtual void UpdateSway(float dt, float speed);
    // Binds prefix + "01".. (the count by type). A missing dummy is logged
    // once and keeps its slot with no object, so the other parts keep their
    // indexes; what needs the missing part is not placed.
    virtual void Init(const ObjectFinder& scene, int type, const std::string& prefix, const Object* origin);
    virtual WagonPart* GetPart(size_t index);
    virtual void PlaceOnTrack(const TrackSampler& sample, int direction, float position, float dt, float speed) = 0;
    virtual void AddRotationSway(const D3DXVECTOR3& axis, float amplitude, float rate);
    virtual void AddTranslationSway(const D3DXVECTOR3& axis, float amplitude, float rate);
    virtual void SetRotationSway(const D3DXVECTOR3& axis, float amplitude, float rate);
    virtual void SetTranslationSway(const D3DXVECTOR3& axis, float amplitude, float rate);

    int GetType() const { return m_Type; }
    size_t GetPartCount() const { return m_Parts.size(); }

protected:
    // True when every listed part has its dummy.
    bool Has(std::initializer_list<size_t> parts) const;
    void UpdatePartSway(WagonPart& part, float dt);
    // The parts that carry the body's sway: part 0 (and part 3 of the lumber car).
    virtual std::vector<size_t> BodyParts() const { return {0}; }
    void AddSway(bool rotation, const D3DXVECTOR3& axis, float amplitude, float rate);
    void SetSway(bool rotation, const D3DXVECTOR3& axis, float amplitude, float rate);
    // Track distance of part k's sample in the direction of travel.
    float SampleDistance(size_t k, int direction, float position) const;
    Vec3 Sample(const TrackSampler& sample, size_t k, int direction, float position) const;
    // The point between two samples by the distances of the parts.
    Vec3 Between(size_t body, size_t front, const Vec3& a, size_t rear, const Vec3& b) const;
    // Places part k: [its sway x] rest x heading x Translation(point.x, point.y, 0).
    void Place(size_t k, const D3DXMATRIX& heading, const Vec3& point, bool withSway);

    // The front group of every car: the body (part 0, swaying) between the
    // samples of parts 1 and 2, which stand on their own samples.
    struct FrontGroup
    {
        Vec3 s1, s2, b0;
        D3DXMATRIX w1;
    };
    FrontGroup PlaceFrontGroup(const TrackSampler& sample, int direction, float position);

    std::vector<WagonPart> m_Parts;
    int m_Type = 0;
};

class CLocomotive : public Wagon
{
public:
    void PlaceOnTrack(const TrackSampler& sample, int direction, float position, float dt, float speed) override;
};

class CSimpleWagon : public Wagon
{
public:
    void PlaceOnTrack(const TrackSampler& sample, int direction, float position, float dt, float speed) override;
};

class CTenderWagon : public Wagon
{
public:
    void PlaceOnTrack(const TrackSampler& sample, int direction, float position, float dt, float speed) override;
};

class CLumberWagon : public Wagon
{
public:
    void PlaceOnTrack(const TrackSampler& sample, int direction, float position, float dt, float speed) override;

protected:
    std::vector<size_t> BodyParts() const override { return {0, 3}; }
};

// A single dummy riding with the train (a train camera), headed along a
// long chord of the track.
class COneDummyWagon : public Wagon
{
public:
    void Init(const ObjectFinder& scene, int type, const std::string& name, const Object* origin) override;
    void PlaceOnTrack(const TrackSampler& sample, int direction, float position, float dt, float speed) override;
};

// The coupling between two cars: three dummies placed between an
// attachment dummy of the car ahead and one of the car behind.
class WagonCoupling
{
public:
    void Init(const ObjectFinder& scene, const std::string& prefix, const std::string& rearAttachment,
              const std::string& frontAttachment, const Object* origin);
    void Update();

private:
    WagonPart m_Parts[5];
    bool m_bComplete = false;
};

// One side's drive rods: joint dummies moved by the turning driving wheel,
// the crank pin on the wheel, the rods between the joints and the crosshead
// sliding along its guide.
class DriveRodSet
{
public:
    // Binds prefix + "01".."08", the crosshead and the wheel (geometry
    // objects only) and the two guides. What is missing is logged once and
    // the steps that need it are left out every frame.
    void Init(const ObjectFinder& scene, const std::string& prefix, const std::string& crosshead,
              const std::string& wheel, const std::string& firstGuide, const std::string& secondGuide, float phase);
    void Update();

    float GetCrankRadius() const { return m_CrankRadius; }

private:
    struct Joint
    {
        Object* object = nullptr;
        D3DXMATRIX rest;
        D3DXMATRIX offset; // to its guide
    };
    enum
    {
        J01,
        J02,
        J03,
        J04,
        J05,
        J08,
        JOINTS
    };
    Joint m_Joints[JOINTS];
    Object* m_pCrosshead = nullptr;
    D3DXMATRIX m_CrossheadRest;
    Object* m_pWheel = nullptr;
    Object* m_pFirstGuide = nullptr;
    Object* m_pSecondGuide = nullptr;
    float m_CrankRadius = 0;
    float m_L12 = 0, m_L23 = 0, m_L34 = 0, m_L45 = 0, m_L7c = 0;
    float m_Phase = 0;
};
