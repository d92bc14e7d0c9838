#pragma once
// Which camera a frame of the scene shows: the free-flight camera when
// "ControlledCamera.Enable" is on; else the director's camera and fade when
// "RandomCameraController.Enable" is on; else the camera numbered
// "CameraNo", counted over the landscape's cameras and then the
// locomotive's.
#include <functional>
#include <vector>

class Camera;
class CControlledCamera;
class RandomCameraController;
namespace TuningControl
{
class CManager;
}

// Gives the process-wide free camera, made from the active camera's pose on
// first use.
using FreeCameraSource = std::function<CControlledCamera*(Camera* active)>;

struct FrameCameraChoice
{
    Camera* camera = nullptr; // null: the active camera stays
    bool free = false;        // the free camera was chosen
    bool directed = false;    // the director chose; fade holds its fade
    float fade = 1;
};

FrameCameraChoice ChooseFrameCamera(TuningControl::CManager& tuning, Camera* active, RandomCameraController& director,
                                    const std::vector<Camera*>& sceneCameras, const FreeCameraSource& freeCamera);
