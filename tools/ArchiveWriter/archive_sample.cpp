// Writes the sample scene archive to the path given.
#include <cstdio>

#include "SampleArchive.h"

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        fprintf(stderr, "usage: archive_sample <output>\n");
        return 2;
    }
    ArchiveTool::CArchiveWriter writer;
    ArchiveTool::MakeSampleArchive().AddTo(writer);
    if (!writer.WriteFile(argv[1]))
    {
        fprintf(stderr, "archive_sample: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
