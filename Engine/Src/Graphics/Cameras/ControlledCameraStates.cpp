// The stored states of the free camera ("ControlledCameraStates.bin"): ten
// records of 64 bytes, little-endian floats.
#include "ControlledCamera.h"

#include <cmath>
#include <cstring>

namespace
{
float ReadFloat(const uint8_t* p)
{
    float f;
    std::memcpy(&f, p, 4);
    return f;
}

void PutFloat(uint8_t* p, float f)
{
    std::memcpy(p, &f, 4);
}

} // namespace

int ReadControlledCameraStates(const uint8_t* data, size_t size, ControlledCameraState* states)
{
    int read = 0;
    for (int i = 0; i < kControlledCameraStateCount && size >= (i + 1) * kControlledCameraRecordSize; ++i, ++read)
    {
        const uint8_t* r = data + i * kControlledCameraRecordSize;
        ControlledCameraState s;
        for (int k = 0; k < 3; ++k)
            s.position[k] = ReadFloat(r + 4 * k);
        s.pitch = ReadFloat(r + 36);
        s.yaw = ReadFloat(r + 40);
        s.farPlane = ReadFloat(r + 48);
        s.nearPlane = ReadFloat(r + 52);
        bool finite = true;
        for (float f : {s.position[0], s.position[1], s.position[2], s.pitch, s.yaw, s.farPlane, s.nearPlane})
            finite = finite && std::isfinite(f);
        // A stored state is only trusted when it can make a sane camera.
        s.valid = r[44] == 1 && finite && s.nearPlane > 0 && s.nearPlane < s.farPlane;
        states[i] = s;
    }
    return read;
}

void WriteControlledCameraStates(const ControlledCameraState* states, uint8_t* out)
{
    std::memset(out, 0, kControlledCameraStateCount * kControlledCameraRecordSize);
    for (int i = 0; i < kControlledCameraStateCount; ++i)
    {
        uint8_t* r = out + i * kControlledCameraRecordSize;
        const ControlledCameraState& s = states[i];
        for (int k = 0; k < 3; ++k)
            PutFloat(r + 4 * k, s.position[k]);
        PutFloat(r + 36, s.pitch);
        PutFloat(r + 40, s.yaw);
        r[44] = s.valid ? 1 : 0;
        PutFloat(r + 48, s.farPlane);
        PutFloat(r + 52, s.nearPlane);
    }
}
