#pragma once
// The camera director: alternates cameras riding on the train with cameras
// in the landscape, each admitted only while the train is on given
// stretches of track, tracking cameras following the locomotive; every cut
// fades through black.
#include <string>
#include <vector>

#include "Timer.h"

class Camera;
class Object;
class Train;
namespace TuningControl
{
class CManager;
}

struct CameraArea
{
    float start = 0;
    float end = 0;
    float period = 15;
    int direction = 3; // 1 forward, 2 backward, 3 both
};

struct CameraEntry
{
    enum Kind
    {
        LANDSCAPE = 1,
        TRAIN = 2,
    };
    enum View
    {
        VIEW_D = 1,
        VIEW_S = 2,
        VIEW_TRACKING = 3,
        VIEW_C = 4,
    };

    Camera* camera = nullptr;
    float showTime = 10;
    bool enabled = false;
    int group = 0;
    std::vector<CameraArea> areas;
    int kind = LANDSCAPE;
    int view = VIEW_D;
    int selections = 0;

    // The first area admitting the train sets the show time.
    bool MatchArea(int direction, float position);
};

// The kind, view and group of a camera name "Camera_%c_%c_%d..."; false
// when the name does not give them.
bool ParseCameraName(const std::string& name, CameraEntry& entry);

class RandomCameraController
{
public:
    RandomCameraController() : m_Timer(1) {}

    void SetTrain(Train* train);
    void SetTrackLength(float length) { m_TrackLength = length; }
    // Ignored unless the name gives kind, view and group.
    void AddCamera(Camera* camera, Object* target);
    void LoadSettings(TuningControl::CManager& tuning);
    // Re-reads the show time of the landscape cameras and the black time.
    void LoadTimes(TuningControl::CManager& tuning);

    Camera* GetCamera();
    float GetFade();

    const std::vector<CameraEntry>& GetEntries() const { return m_Entries; }
    const CameraEntry& GetCurrentEntry() const { return m_Current; }
    float GetShowTime() const { return m_ShowTime; }
    CLocalTimer& GetTimer() { return m_Timer; }
    int GetCurrentTrainGroup() const { return m_CurrentTrainGroup; }

private:
    CameraEntry ChooseNext();
    void CollectCandidates();
    CameraEntry ChooseTrainCamera();
    CameraEntry ChooseLandCamera();
    CameraEntry ChooseTrackingCamera();
    CameraEntry PickLeastUsed(const std::vector<CameraEntry*>& list, int group);

    int m_ChoiceCounter = 0;
    float m_TrackLength = 0;
    std::vector<CameraEntry> m_Entries;
    std::vector<CameraEntry*> m_TrainCandidates;
    std::vector<CameraEntry*> m_LandCandidates;
    float m_LandNotTrackingPriority = 0.5f;
    int m_HighestTrainGroup = 1;
    int m_CurrentTrainGroup = 1;
    float m_LandCameraShowTime = 15;
    float m_MaxDistanceToFrontCamera = 50000;
    float m_TrainPosition = 0;
    int m_TrainDirection = 1;
    Train* m_pTrain = nullptr;
    CameraEntry m_Current;
    CLocalTimer m_Timer;
    float m_ShowTime = 0;
    int m_Choices = 0;
    float m_BlackTime = 1;
    // The last cut kept the camera it cut from.
    bool m_bKept = false;
    bool m_bNoTrackingLogged = false;
};
