// Writes the culling test scene archive: culling_scene <output path>.
#include <cstdio>

#include "CullingScene.h"

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: culling_scene <output.SSS>\n");
        return 2;
    }
    if (!CullingScene::Build().WriteFile(argv[1]))
    {
        std::fprintf(stderr, "culling_scene: can't write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
