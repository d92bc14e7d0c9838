// Writes the test scene archive and the archive of faulty records:
// test_scene <TestScene.SSS> <FaultScene.SSS>.
#include <cstdio>

#include "TestScene.h"

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: test_scene <TestScene.SSS> <FaultScene.SSS>\n");
        return 2;
    }
    for (int i = 1; i <= 2; ++i)
        if (!(i == 1 ? TestScene::Build() : TestScene::BuildFaults()).WriteFile(argv[i]))
        {
            std::fprintf(stderr, "test_scene: can't write %s\n", argv[i]);
            return 1;
        }
    return 0;
}
