// The camera director in the scene: its cameras from both scenes, its
// settings, and the camera and fade of every frame.
#include <algorithm>

#include "Camera.h"
#include "CameraChoice.h"
#include "ControlledCamera.h"
#include "Log.h"
#include "Scene.h"
#include "TarnholmApp.h"
#include "Train.h"

void CTarnholmApp::InitCameraSelector(Train* train)
{
    g_Log.Printf("Init camera selector\n");
    Object* target = m_pLocoScene ? m_pLocoScene->FindObject("Dummy_loco_camera01") : nullptr;
    if (!target)
        g_Log.Printf("The tracking cameras have no look-at target \"Dummy_loco_camera01\"\n");
    for (Scene* scene : {m_pMainScene.get(), m_pLocoScene.get()})
    {
        if (!scene)
            continue;
        const ObjectMask mask = scene->FindObjects(".*");
        for (ObjectMaskIterator it = mask.BeginCamera(); !it.AtEnd(); ObjectMask::NextCamera(it))
        {
            Camera* camera = static_cast<Camera*>(it.GetObject());
            m_CameraDirector.AddCamera(camera, target);
            m_SceneCameras.push_back(camera);
            camera->SetNear(500);
            camera->SetFar(1200000);
        }
    }
    m_CameraDirector.SetTrackLength(train ? train->GetTrackLength() : 0.0f);
    m_CameraDirector.SetTrain(train);
    TuningControl::CManager& tuning = GetTuning();
    m_CameraDirector.LoadSettings(tuning);
    m_CameraDirector.LoadTimes(tuning);
}

void CTarnholmApp::ChooseCamera()
{
    const FrameCameraChoice choice =
        ChooseFrameCamera(GetTuning(), m_pMainScene->GetActiveCamera(), m_CameraDirector, m_SceneCameras,
                          [](Camera* active) { return CControlledCamera::GetInstance(active); });
    // The start-up fade and the fade through black at a cut: the darker
    // one holds.
    if (choice.directed)
        m_fFade = std::min(m_fFade, choice.fade);
    if (choice.camera)
        m_pMainScene->SetActiveCamera(choice.camera);
}

void CTarnholmApp::ReloadCameraDirector()
{
    TuningControl::CManager& tuning = GetTuning();
    m_CameraDirector.LoadSettings(tuning);
    m_CameraDirector.LoadTimes(tuning);
}
