#pragma once
// The small scene that tests and the run script draw until the train
// scene's content exists: a light-mapped ground, an alpha-tested fence, two
// overlapping glass panes, a morphing flag, a default-material marker, one
// point light, a camera and an "Env" entry. Positions are chosen so that a
// 128 x 128 view from the camera shows each of them at known pixels.
#include "ArchiveWriter.h"

namespace TestScene
{
// Where things are, in world units on the plane z = 0 seen from the camera
// at (0, 0, 10) with a 60 degree field of view.
constexpr float kCameraZ = 10.0f;
constexpr float kFovY = 1.0471976f; // 60 degrees

ArchiveTool::CArchiveWriter Build();
// An archive of records the loader must survive: a name used twice, nine
// lights, meshes whose counts lie, morphs that can't play, a texture
// without picture, a material without record, a skinned mesh; and a
// bumped material that draws once per light.
ArchiveTool::CArchiveWriter BuildFaults();
// A 24-bit BMP of w x h whose pixel (x, y), y down, is colour(x, y) = 0xRRGGBB.
ArchiveTool::Bytes MakeBitmap(uint32_t w, uint32_t h, uint32_t (*colour)(uint32_t x, uint32_t y, uint32_t w,
                                                                       uint32_t h));
} // namespace TestScene
