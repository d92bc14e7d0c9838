// Writes the train scene's content: the three scene archives, the images
// and density maps the program opens by name, the crew script and the
// built-in tuning file with the values that depend on this content.
//
//   scene_content <output folder> <content source folder>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "SceneContent.h"

using namespace SceneContent;

namespace
{
std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void Write(const std::string& path, const Bytes& bytes)
{
    if (!WriteFileBytes(path, bytes))
        throw std::runtime_error("cannot write " + path);
}

void WriteArchive(const std::string& path, const ArchiveTool::CArchiveWriter& writer)
{
    if (!writer.WriteFile(path))
        throw std::runtime_error("cannot write " + path);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: %s <output folder> <content source folder>\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1], src = argv[2];
    const auto start = std::chrono::steady_clock::now();
    try
    {
        const CWorld world(kContentSeed);
        std::vector<std::string> tuning;

        ArchiveTool::CArchiveWriter land;
        LandscapeOutput landOut = BuildLandscape(world, land);
        WriteArchive(out + "/Tarnholm.SSS", land);
        for (const NamedFile& f : landOut.files)
            Write(out + "/" + f.name, f.bytes);
        tuning.insert(tuning.end(), landOut.tuning.begin(), landOut.tuning.end());

        ArchiveTool::CArchiveWriter loco;
        const std::vector<std::string> locoTuning = BuildLocomotive(loco);
        WriteArchive(out + "/Locomotive.SSS", loco);
        tuning.insert(tuning.end(), locoTuning.begin(), locoTuning.end());

        ArchiveTool::CArchiveWriter clock;
        BuildClock(clock);
        WriteArchive(out + "/Clock.SSS", clock);

        for (const NamedFile& f : BuildImages())
            Write(out + "/" + f.name, f.bytes);

        const std::string script = ReadText(src + "/Animation.txt");
        Write(out + "/Animation.txt", Bytes(script.begin(), script.end()));

        // The built-in tuning file: the hand-written values, the smoke's
        // shipped values, then ours.
        std::string values;
        for (const char* name : {"/values.txt", "/SmokeValues.txt"})
        {
            values += ReadText(src + name);
            if (!values.empty() && values.back() != '\n')
                values += '\n';
        }
        std::string generated;
        for (const std::string& line : tuning)
            generated += line + "\n";
        Write(out + "/SceneValues.txt", Bytes(generated.begin(), generated.end()));
        values += generated;
        Write(out + "/values.txt", Bytes(values.begin(), values.end()));

        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("scene content: track %.0f cm in %zu points, tightest curve %.0f cm, %zu+%zu+%zu entries, %.1f s\n",
                    world.TrackLength(), world.Track().size(), world.MinCurveRadius(), land.GetEntryCount(),
                    loco.GetEntryCount(), clock.GetEntryCount(), seconds);
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "scene content: %s\n", e.what());
        return 1;
    }
    return 0;
}
