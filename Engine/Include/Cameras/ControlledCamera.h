#pragma once
// The free-flight camera: a process-wide camera flown with keys and the
// mouse for inspecting content, stepped on a 20 ms window timer, with ten
// stored states on the digit keys kept in "ControlledCameraStates.bin". It
// works in a Y-up space of its own: its position (x, y, z) is the scene's
// Z-up world point (x, z, y). The flight and the states file are
// platform-free; the timer, keys and DirectInput mouse are in the Windows
// tree.
#include <cstdint>
#include <string>
#include <utility>

#include "Camera.h"

#ifdef _WIN32
struct IDirectInput8A;
struct IDirectInputDevice8A;
// The process-wide DirectInput 8 object and system mouse device, made on
// first use and released at the end of the process; null when they cannot
// be made ("Failed to create DirectInput8" is logged for the first).
IDirectInput8A* GetDirectInput();
IDirectInputDevice8A* GetDirectInputMouse();
// Gives the system mouse the standard mouse data format and acquires it
// (made first when needed); the framework calls it once its device exists.
void AcquireDirectInputMouse();
#endif

struct ControlledCameraState
{
    float position[3] = {0, 0, 0};
    float pitch = 0;
    float yaw = 0;
    bool valid = false;
    float farPlane = 0;
    float nearPlane = 0;
};

const int kControlledCameraStateCount = 10;
const size_t kControlledCameraRecordSize = 64;

// Ten 64-byte little-endian records. A record counts only when its valid
// byte is 1, all its values are finite and 0 < near < far; records beyond
// `size` stay as they were. Returns the number of whole records read.
int ReadControlledCameraStates(const uint8_t* data, size_t size, ControlledCameraState* states);
void WriteControlledCameraStates(const ControlledCameraState* states, uint8_t* out);

// What one step of the flight reads from the keyboard and the mouse.
struct ControlledCameraInput
{
    bool left = false, right = false, forward = false, back = false, up = false, down = false;
    bool capsLock = false, ctrl = false;
    bool leftButton = false, rightButton = false;
    int32_t dx = 0, dy = 0, wheel = 0; // relative mouse motion
    bool digits[10] = {};
};

class CControlledCamera : public Camera
{
public:
    static const char* const kStatesFile; // "ControlledCameraStates.bin"

    CControlledCamera();
    ~CControlledCamera() override;

    // The process-wide instance, made on the first call from `reference`
    // (or defaults), with its 20 ms timer started (Windows tree).
    static CControlledCamera* GetInstance(Camera* reference);
    // Destroys the instance (saving its states); for the end of the process.
    static void DestroyInstance();

    D3DXVECTOR3 GetPosition() const override;
    void SetPosition(float x, float y, float z) override;
    void UpdateView() override;
    virtual bool IsControlKey(int virtualKey) const;
    virtual std::pair<float, float> GetAngles() const { return std::make_pair(m_Pitch, m_Yaw); }

    // Starting pose: stored state 1 when valid, else the reference camera,
    // else the defaults with near 100 and far 260000.
    void InitFrom(Camera* reference);
    // One 20 ms step of the flight.
    void Step(const ControlledCameraInput& input);
    // Windows tree: reads the keys and the mouse, then steps.
    void OnTimer();

    void SetSpeeds(float move, float, float, float, float, float) { m_MoveSpeed = move; }
    void SetAngles(float pitch, float yaw)
    {
        m_Pitch = pitch;
        m_Yaw = yaw;
    }
    bool LoadStates(const std::string& path);
    bool SaveStates(const std::string& path) const;
    void SetSaveStates(bool save) { m_bSaveStates = save; }
    void SetLetterKeys(bool on) { m_bLetterKeys = on; }
    const ControlledCameraState& GetState(int i) const { return m_States[i]; }
    const D3DXVECTOR3& GetFlightPosition() const { return m_Position; }
    float GetMoveSpeed() const { return m_MoveSpeed; }

protected:
    bool m_bSaveStates = true;
    bool m_bDragging = false;
    int32_t m_DragAnchor[2] = {0, 0};
    D3DXVECTOR3 m_Position = D3DXVECTOR3(0, 0, 0);
    float m_Pitch = 0;
    float m_Yaw = 0;
    float m_MoveSpeed = 40.0f;
    ControlledCameraState m_States[kControlledCameraStateCount];
    bool m_bLetterKeys = false;
};

// An orbiting variant: the eye turned about an axis through the target by an
// angle, looking at the target. The system never makes one.
class CRoundControlledCamera : public CControlledCamera
{
public:
    void SetOrbit(const D3DXVECTOR3& eye, const D3DXVECTOR3& target, const D3DXVECTOR3& axis, float angle);
    void UpdateView() override;
    // Page Down and Delete join the flight keys.
    bool IsControlKey(int virtualKey) const override;

private:
    D3DXVECTOR3 m_Eye = D3DXVECTOR3(0, -1, 0);
    D3DXVECTOR3 m_Target = D3DXVECTOR3(0, 0, 0);
    D3DXVECTOR3 m_Axis = D3DXVECTOR3(0, 0, 1);
    float m_Angle = 0;
};
