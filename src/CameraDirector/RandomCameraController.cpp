#include "RandomCameraController.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "Camera.h"
#include "Log.h"
#include "MathUtils.h"
#include "Train.h"
#include "TuningControl.h"

bool ParseCameraName(const std::string& name, CameraEntry& entry)
{
    char kind = 0, view = 0;
    int group = 0;
    if (sscanf(name.c_str(), "Camera_%c_%c_%d", &kind, &view, &group) != 3)
        return false;
    entry.kind = kind == 'T' ? CameraEntry::TRAIN : CameraEntry::LANDSCAPE;
    switch (view)
    {
    case 'S': entry.view = CameraEntry::VIEW_S; break;
    case 'T': entry.view = CameraEntry::VIEW_TRACKING; break;
    case 'C': entry.view = CameraEntry::VIEW_C; break;
    default: entry.view = CameraEntry::VIEW_D; break;
    }
    entry.group = group;
    return true;
}

bool CameraEntry::MatchArea(int direction, float position)
{
    if (!enabled)
        return false;
    for (const CameraArea& area : areas)
        if ((area.direction == 3 || area.direction == direction) && area.start <= position && position <= area.end)
        {
            showTime = area.period;
            return true;
        }
    return false;
}

void RandomCameraController::SetTrain(Train* train)
{
    m_pTrain = train;
    if (train)
        m_TrainDirection = train->GetDirection();
}

void RandomCameraController::AddCamera(Camera* camera, Object* target)
{
    CameraEntry entry;
    if (!camera || !ParseCameraName(camera->GetName(), entry))
        return;
    entry.camera = camera;
    if (entry.view == CameraEntry::VIEW_TRACKING)
        camera->SetTarget(target);
    if (entry.kind == CameraEntry::TRAIN)
        m_HighestTrainGroup = std::max(m_HighestTrainGroup, entry.group);
    m_Entries.push_back(entry);
}

void RandomCameraController::LoadSettings(TuningControl::CManager& tuning)
{
    m_MaxDistanceToFrontCamera = *tuning.GetValueOr("RandomCameraController.MaxDistanceToFrontCamera", 50000);
    m_LandNotTrackingPriority = *tuning.GetValueOr("RandomCameraController.LandNotTrackingPriority", 0.6f);
    for (CameraEntry& entry : m_Entries)
    {
        if (entry.kind != CameraEntry::TRAIN && entry.view != CameraEntry::VIEW_D)
            continue;
        const std::string k = "RandomCameraController.Cameras." + entry.camera->GetName();
        entry.enabled = *tuning.GetValue(k + ".Enabled") > 0;
        *tuning.GetValue(k + ".NumSelections") = float(entry.selections);
        float* count = tuning.GetValue(k + ".NumEnabledAreas");
        // A negative or absurd count leaves no areas.
        const int n = *count >= 0 && *count <= 64 ? int(*count) : 0;
        *count = float(n);
        entry.areas.assign(size_t(n), CameraArea());
        for (int i = 0; i < n; ++i)
        {
            char area[32];
            snprintf(area, sizeof(area), ".Area%02i", i);
            const std::string a = k + ".EnabledAreas" + area;
            CameraArea& out = entry.areas[size_t(i)];
            out.start = *tuning.GetValue(a + ".StartPosition");
            out.end = *tuning.GetValue(a + ".EndPosition");
            if (out.start < 0)
                out.start = m_TrackLength;
            if (out.end < 0)
                out.end = m_TrackLength;
            float* period = tuning.GetValue(a + ".Period");
            if (!(*period > 0))
                *period = 15;
            out.period = *period;
            const float direction = *tuning.GetValue(a + ".Direction");
            out.direction = direction > 0 ? 1 : direction < 0 ? 2 : 3;
        }
    }
}

void RandomCameraController::LoadTimes(TuningControl::CManager& tuning)
{
    m_BlackTime = *tuning.GetValueOr("RandomCameraController.BlackTime", 1);
    const float show = *tuning.GetValueOr("RandomCameraController.LandCameraShowTime", 12);
    if (show > 0)
        m_LandCameraShowTime = show;
}

Camera* RandomCameraController::GetCamera()
{
    if (m_Timer.GetTime() < m_ShowTime)
        return m_Current.camera;
    if (m_Current.camera && m_Current.camera->IsAnimating())
    {
        // The camera that was cut away from stands still.
        m_Current.camera->GetLocalTimer().SetSpeed(0.0001f);
        m_Current.camera->SetChildrenAnimationSpeed(0.0001f);
    }
    m_Timer.SetTime(0);
    ++m_Choices;
    if (m_pTrain)
    {
        m_TrainPosition = m_pTrain->GetPosition();
        m_TrainDirection = m_pTrain->GetDirection();
    }
    Camera* previous = m_Current.camera;
    m_Current = ChooseNext();
    // A cut that stays on the same camera rises from no black.
    m_bKept = previous && m_Current.camera == previous;
    m_ShowTime = m_Current.kind == CameraEntry::TRAIN || m_Current.view == CameraEntry::VIEW_D
                     ? m_Current.showTime
                     : m_LandCameraShowTime;
    Camera* camera = m_Current.camera;
    if (!camera)
        m_ShowTime = 0; // nothing to show: ask again next time
    else
        g_Log.Printf("Camera cut %d: \"%s\" for %.1f s\n", m_Choices, camera->GetName().c_str(), m_ShowTime);
    if (camera && camera->GetKeys().size() > 1 && m_ShowTime > 0)
    {
        const auto& keys = camera->GetKeys();
        const uint32_t first = uint32_t(keys.front().time * 1000 + 0.5f);
        const uint32_t last = uint32_t(keys.back().time * 1000 + 0.5f);
        camera->PlayAnimation(first, last, 0, float(last - first) / m_ShowTime * 0.001f, -1, true, false);
    }
    return camera;
}

CameraEntry RandomCameraController::ChooseNext()
{
    ++m_ChoiceCounter;
    for (size_t i = 1; i < m_Entries.size(); ++i)
        std::swap(m_Entries[i], m_Entries[size_t(rand()) % (i + 1)]);
    CollectCandidates();
    return m_ChoiceCounter % 2 ? ChooseTrainCamera() : ChooseLandCamera();
}

void RandomCameraController::CollectCandidates()
{
    m_TrainCandidates.clear();
    m_LandCandidates.clear();
    for (CameraEntry& entry : m_Entries)
    {
        if (!entry.MatchArea(m_TrainDirection, m_TrainPosition))
            continue;
        if (entry.kind == CameraEntry::TRAIN)
            m_TrainCandidates.push_back(&entry);
        else if (entry.view == CameraEntry::VIEW_D)
            m_LandCandidates.push_back(&entry);
    }
}

CameraEntry RandomCameraController::ChooseTrainCamera()
{
    if (m_TrainCandidates.empty())
        return ChooseTrackingCamera();
    if (++m_CurrentTrainGroup > m_HighestTrainGroup)
        m_CurrentTrainGroup = 1;
    return PickLeastUsed(m_TrainCandidates, m_CurrentTrainGroup);
}

CameraEntry RandomCameraController::ChooseLandCamera()
{
    if (!m_LandCandidates.empty() && m_LandNotTrackingPriority > RandomUnit())
        return PickLeastUsed(m_LandCandidates, 0);
    return ChooseTrackingCamera();
}

CameraEntry RandomCameraController::PickLeastUsed(const std::vector<CameraEntry*>& list, int group)
{
    CameraEntry* best = nullptr;
    for (CameraEntry* entry : list)
        if (entry->group == group && (!best || entry->selections < best->selections))
            best = entry;
    if (!best)
        for (CameraEntry* entry : list)
            if (!best || entry->selections < best->selections)
                best = entry;
    ++best->selections;
    return *best;
}

CameraEntry RandomCameraController::ChooseTrackingCamera()
{
    Vec3 p{0, 0, 0}, h{1, 0, 0};
    if (m_pTrain)
    {
        m_pTrain->WrapAndSample(m_TrainPosition, p);
        h = m_pTrain->GetLastOriginSample();
    }
    CameraEntry* nearest = nullptr;
    CameraEntry* facing = nullptr;
    float nearestDistance = 0, facingDistance = 0;
    for (CameraEntry& entry : m_Entries)
    {
        if (entry.kind != CameraEntry::LANDSCAPE || entry.view != CameraEntry::VIEW_TRACKING)
            continue;
        const D3DXMATRIX& w = entry.camera->GetWorldMatrix();
        const float dx = w._41 - p.x, dy = w._42 - p.y, dz = w._43 - p.z;
        const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (!nearest || d < nearestDistance)
        {
            nearest = &entry;
            nearestDistance = d;
        }
        entry.camera->UpdateView();
        const D3DXVECTOR3 f = entry.camera->GetLookDirection();
        const float dot = h.x * f.x + h.y * f.y + h.z * f.z;
        const bool oncoming = (m_TrainDirection == 1 && dot < 0) || (m_TrainDirection == 2 && dot > 0);
        if (oncoming && (!facing || d < facingDistance))
        {
            facing = &entry;
            facingDistance = d;
        }
    }
    CameraEntry* chosen = facing && facingDistance <= m_MaxDistanceToFrontCamera ? facing : nearest;
    if (!chosen)
    {
        // No tracking camera: stay with the current one, or take any entry.
        if (!m_bNoTrackingLogged)
        {
            g_Log.Printf("The camera director has no tracking camera; it keeps its camera\n");
            m_bNoTrackingLogged = true;
        }
        if (m_Current.camera || m_Entries.empty())
            return m_Current;
        chosen = &m_Entries.front();
    }
    ++chosen->selections;
    return *chosen;
}

float RandomCameraController::GetFade()
{
    const float t = m_Timer.GetTime(), b = m_BlackTime, s = m_ShowTime;
    float g;
    // No black time, or no camera to cut between: no fade.
    if (b <= 0 || !m_Current.camera)
        g = 1;
    else if (t <= b)
        g = m_bKept ? 1 : t / b;
    else if (t > s - b)
        g = (s - t) / b;
    else
        g = 1;
    g = std::max(0.0f, std::min(1.0f, g));
    return (std::sin(g * 3.14159265f - 3.14159265f / 2) + 1) / 2;
}
