// Writes the test scene archive: test_scene <output path>.
#include <cstdio>

#include "TestScene.h"

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: test_scene <output.SSS>\n");
        return 2;
    }
    if (!TestScene::Build().WriteFile(argv[1]))
    {
        std::fprintf(stderr, "test_scene: can't write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
