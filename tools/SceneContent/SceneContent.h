#pragma once
// The generators of the train scene's content.
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "Image.h"
#include "World.h"

namespace SceneContent
{
// Files written beside the archives (resources opened by name).
struct NamedFile
{
    std::string name;
    Bytes bytes;
};

struct LandscapeOutput
{
    std::vector<NamedFile> files;        // the grass density maps
    std::vector<std::string> tuning;     // lines for the built-in tuning file
};

LandscapeOutput BuildLandscape(const CWorld& world, ArchiveTool::CArchiveWriter& writer);
std::vector<std::string> BuildLocomotive(ArchiveTool::CArchiveWriter& writer); // returns tuning lines
void BuildClock(ArchiveTool::CArchiveWriter& writer);
// "Environment.dds", "Specular.dds", "Smoke.tga", the old-movie layers and the logo.
std::vector<NamedFile> BuildImages();
// A tuning line "name value".
std::string TuningLine(const std::string& name, float value);
// The area lines of a camera that may show the train while it is between
// `start` and `end` (track distances).
void AddCameraArea(std::vector<std::string>& lines, const std::string& camera, float start, float end,
                   float period, int direction);
} // namespace SceneContent
