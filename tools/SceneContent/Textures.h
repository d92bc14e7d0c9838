#pragma once
// Pictures painted by code. Every name here is a bitmap the scenes use; the
// painters tile seamlessly where the texture repeats.
#include <string>
#include <vector>

#include "Image.h"

namespace SceneContent
{
// The picture of a named texture; throws std::invalid_argument for a name
// that has no painter.
CImage PaintTexture(const std::string& name);
// Every name PaintTexture knows.
std::vector<std::string> TextureNames();

// The sky box faces, in the order front (+Y), back, left (-X), right, up, down.
CImage PaintSkyFace(int face, int size);
// The painted horizon strip `index` (colour in rgb, the mountains' outline
// in alpha) and the soft smoke puff.
CImage PaintPanorama(int index);
CImage PaintSmoke();
} // namespace SceneContent
