#pragma once
// The arithmetic of the train scene's settings and frame update: quality
// defaults and flags, the start-up fade, the pitch and rate of the train's
// sounds, the rail-clack timers and the clock's hands and place.

// First-run graphics settings by the graphics card.
struct SceneGraphicsDefaults
{
    int graphicsQuality;
    int useDesktopRes;
    int modeWidth, modeHeight, modeFormat;
};
// vendor: PCI vendor id; shader: 10 x major + minor of the pixel shader
// version; memoryMB: video memory in megabytes.
SceneGraphicsDefaults ChooseSceneGraphicsDefaults(unsigned vendor, int shader, unsigned memoryMB);

struct SceneQualityFlags
{
    bool highQualityTextures;
    bool enableShaders;
    bool enableStencilShadows;
    bool enableProjectionShadows;
    bool enableLeaves;
    int grassQuality; // 0 to 2
    int smokeQuality; // 0 to 3
};
// displayFormat: the Direct3D format number of the display mode (23 is R5G6B5).
SceneQualityFlags DeriveSceneQualityFlags(int graphicsQuality, int shader, int displayFormat);

// sin(t / 3 x pi / 2) for the first three seconds, then 1.
float StartupFade(float seconds);

// The pitch factor between `low` at speed 2000 and `high` at 4000 (and on
// along the same line), from the speed's absolute value.
float SoundPitchFactor(float speed, float low, float high);
// The clack rate between `low` at speed 4000 and `high` at 8000.
float RailClackRate(float speed, float low, float high);

// Five timers 2 units apart that clack one after another at the rate r:
// each clack of sound k every 10 / r seconds.
class CRailClackTimers
{
public:
    CRailClackTimers();
    // Advances every timer by elapsed x rate; returns a bit for each sound
    // (bit k - 1 for rails sound k) that is due now.
    unsigned Advance(float elapsed, float rate);
    float GetValue(int k) const { return m_Values[k]; }

private:
    float m_Values[5];
};

struct ClockHandAngles
{
    float hour, minute, second; // radians, 6.28 a full turn
};
// secondsOfMinute: the smoothly running seconds (t modulo 60).
ClockHandAngles ComputeClockHandAngles(int hour, int minute, int second, float secondsOfMinute);

struct ClockViewport
{
    int x, y, width, height;
};
// The clock's square viewport inside the current one, from the reference
// placement on a 1600 x 1200 screen.
ClockViewport ComputeClockViewport(int viewportX, int viewportY, int viewportWidth, int viewportHeight,
                                   float clockX, float clockY, float clockWidth);

// Level-of-detail groups of the landscape, in the order their modifiers are
// made.
enum SceneLODGroup
{
    LOD_GROUP_GRASS,
    LOD_GROUP_TREES,
    LOD_GROUP_HOUSES,
    LOD_GROUP_RAILBASE,
    LOD_GROUP_COUNT
};
// The group whose name parts the object's name contains (tested in the
// order grass, trees, rail base, houses; the first match wins), or -1.
int SelectLODGroup(const char* name);
// The group's name in the tuning keys ("Grass", "Trees", "Houses", "RailBase").
const char* LODGroupName(int group);

// The highest specular-power group 0 to 10 whose tag "_gNN" the name
// contains, or -1 when it has none.
int SpecularPowerGroup(const char* name);
// A tuned specular power as the effects take it: truncated, 3 to 8.
int ClampSpecularPower(float value);

// What a tuning edit re-applies, chosen from the value's path by its first
// characters (case-sensitive, no separator needed after them).
enum SceneTuningGroup
{
    TUNING_NONE, // read every frame, or not the scene's
    TUNING_LABELS,
    TUNING_CAMERA_DIRECTOR,
    TUNING_OLD_MOVIE,
    TUNING_OCCLUSION,
    TUNING_LOD,
    TUNING_TRAIN,
    TUNING_SPECULAR_POWER,
    TUNING_SHADOW_MASK,
    TUNING_GRASS,
    TUNING_GRASS_GENERATION, // the grass values, and the field made again
    TUNING_LEAVES,
    TUNING_FOG,
    TUNING_SMOKE
};
SceneTuningGroup RouteTuningChange(const char* path);
