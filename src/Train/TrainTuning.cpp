#include "TrainTuning.h"

#include "Train.h"
#include "Wagon.h"

namespace
{
const float kDegrees = 57.295776f;

// The tuning group of each car's sway, by wagon index; the shipped values.
const struct
{
    const char* group;
    float movSpeed, movAmplitude, rotSpeed, rotAmplitude;
} kSwayGroups[5] = {{"Train.Wagons.Locomotive", 40, 40, 1.1f, 0.3f},
                    {"Train.Wagons.Tender", 50, 50, 2, 0.3f},
                    {"Train.Wagons.Lumber", 40, 40, 1.4f, 0.2f},
                    {"Train.Wagons.Simple", 50, 50, 2, 0.3f},
                    {"Train.Wagons.Simple", 50, 50, 2, 0.3f}};
} // namespace

void ApplySwayTuning(Train& train, const TuningLookup& tuned, bool add)
{
    for (size_t index = 0; index < 5; ++index)
    {
        Wagon* wagon = train.GetWagon(index);
        if (!wagon)
            continue;
        const std::string group = kSwayGroups[index].group;
        const float movAmplitude = tuned(group + ".Mov_Amplitude", kSwayGroups[index].movAmplitude);
        const float movSpeed = tuned(group + ".Mov_Speed", kSwayGroups[index].movSpeed);
        // The rotations are tuned in degrees.
        const float rotAmplitude = tuned(group + ".Rot_Amplitude", kSwayGroups[index].rotAmplitude) / kDegrees;
        const float rotSpeed = tuned(group + ".Rot_Speed", kSwayGroups[index].rotSpeed) / kDegrees;
        if (add)
        {
            wagon->AddTranslationSway(D3DXVECTOR3(0, 0, 1), movAmplitude, movSpeed);
            wagon->AddRotationSway(D3DXVECTOR3(1, 0, 0), rotAmplitude, rotSpeed);
        }
        else
        {
            wagon->SetTranslationSway(D3DXVECTOR3(0, 0, 1), movAmplitude, movSpeed);
            wagon->SetRotationSway(D3DXVECTOR3(1, 0, 0), rotAmplitude, rotSpeed);
        }
    }
}

void ApplyTrainTuning(Train& train, const TuningLookup& tuned)
{
    train.SetDirection(tuned("Train.Movement.Direction", 0) > 0 ? 1 : 2);
    ApplySwayTuning(train, tuned, false);
}
