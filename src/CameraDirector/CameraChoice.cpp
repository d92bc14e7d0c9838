#include "CameraChoice.h"

#include "ControlledCamera.h"
#include "RandomCameraController.h"
#include "TuningControl.h"

namespace
{
float Value(TuningControl::CManager& tuning, const char* path, float shipped)
{
    return *tuning.GetValueOr(path, shipped);
}

// The free camera takes its projection and speeds from the tuning values
// every frame, so console edits show at once.
void TuneFreeCamera(TuningControl::CManager& tuning, CControlledCamera& camera)
{
    camera.SetFov(Value(tuning, "ControlledCamera.FOV", 0.901221f));
    camera.SetAspect(Value(tuning, "ControlledCamera.AspectRatio", 1.33f));
    camera.SetFar(Value(tuning, "ControlledCamera.FarPlane", 1200000));
    camera.SetNear(Value(tuning, "ControlledCamera.NearPlane", 300));
    camera.SetSpeeds(Value(tuning, "ControlledCamera.fForwardBackMoveSpeed", 2200),
                     Value(tuning, "ControlledCamera.fRollRotationSpeed", 10),
                     Value(tuning, "ControlledCamera.fPitchRotationSpeed", 10),
                     Value(tuning, "ControlledCamera.fYawRotationSpeed", 10),
                     Value(tuning, "ControlledCamera.fUpDownMoveSpeed", 100),
                     Value(tuning, "ControlledCamera.fLeftRightMoveSpeed", 2200));
}
} // namespace

FrameCameraChoice ChooseFrameCamera(TuningControl::CManager& tuning, Camera* active, RandomCameraController& director,
                                    const std::vector<Camera*>& sceneCameras, const FreeCameraSource& freeCamera)
{
    FrameCameraChoice choice;
    if (Value(tuning, "ControlledCamera.Enable", 0) != 0)
    {
        CControlledCamera* free = freeCamera ? freeCamera(active) : nullptr;
        if (free)
        {
            TuneFreeCamera(tuning, *free);
            choice.camera = free;
            choice.free = true;
            return choice;
        }
    }
    if (Value(tuning, "RandomCameraController.Enable", 1) != 0 && !director.GetEntries().empty())
    {
        choice.camera = director.GetCamera();
        choice.fade = director.GetFade();
        choice.directed = true;
        return choice;
    }
    // Past the last camera (or before the first) the active camera stays.
    const float wanted = Value(tuning, "CameraNo", 0);
    if (wanted > -1 && wanted < float(sceneCameras.size()))
        choice.camera = sceneCameras[size_t(int(wanted))];
    return choice;
}
