// libFuzzer target for the free camera's states file: every state read is
// either marked invalid or makes a sane camera (finite, near plane before
// the far one), and the written form reads back to the same states.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "ControlledCamera.h"

namespace
{
bool Same(const ControlledCameraState& a, const ControlledCameraState& b)
{
    // Compared as bits: a state marked invalid may carry any float.
    return std::memcmp(a.position, b.position, sizeof(a.position)) == 0 &&
           std::memcmp(&a.pitch, &b.pitch, 4) == 0 && std::memcmp(&a.yaw, &b.yaw, 4) == 0 &&
           std::memcmp(&a.farPlane, &b.farPlane, 4) == 0 && std::memcmp(&a.nearPlane, &b.nearPlane, 4) == 0 &&
           a.valid == b.valid;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ControlledCameraState states[kControlledCameraStateCount];
    const int read = ReadControlledCameraStates(data, size, states);
    if (read < 0 || read > kControlledCameraStateCount || size_t(read) * kControlledCameraRecordSize > size)
        abort();
    for (int i = 0; i < read; ++i)
    {
        const ControlledCameraState& s = states[i];
        if (s.valid && !(std::isfinite(s.pitch) && std::isfinite(s.yaw) && s.nearPlane > 0 && s.nearPlane < s.farPlane &&
                         std::isfinite(s.farPlane)))
            abort();
    }
    uint8_t written[kControlledCameraStateCount * kControlledCameraRecordSize];
    WriteControlledCameraStates(states, written);
    ControlledCameraState back[kControlledCameraStateCount];
    if (ReadControlledCameraStates(written, sizeof(written), back) != kControlledCameraStateCount)
        abort();
    for (int i = 0; i < read; ++i)
        if (!Same(states[i], back[i]))
            abort();
    return 0;
}
