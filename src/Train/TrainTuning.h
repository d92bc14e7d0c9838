#pragma once
// The train's tuning values: the direction of travel and the sway of each
// group of cars, read through a lookup that gives a value or its shipped
// default.
#include <functional>
#include <string>

class Train;

typedef std::function<float(const std::string& path, float shipped)> TuningLookup;

// The sway of the locomotive (wagon 0), the tender (1), the lumber car (2)
// and the two plain cars (3, 4), each only when the train holds that
// wagon: new oscillators (`add`), or the first ones taking the new values
// without losing their swing.
void ApplySwayTuning(Train& train, const TuningLookup& tuned, bool add);

// After an edit of a "Train" value: the direction from
// "Train.Movement.Direction" (above 0: direction 1, else 2), then the sway
// of every group again.
void ApplyTrainTuning(Train& train, const TuningLookup& tuned);
