// libFuzzer target for the mesh record reader: the input as a run of mesh
// records, each checked and, when sound, split into vertices and weights.
#include <cstddef>
#include <cstdint>

#include "FileStorage.h"
#include "Log.h"
#include "MeshData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The log keeps its whole text; one input's text is all we want.
    g_Log.ClearText();
    FileStorage::CMemoryStream stream(FileStorage::ByteArray(data, data + size));
    try
    {
        while (stream.GetRemaining() > 0)
        {
            MeshRecordData mesh;
            std::string problem;
            if (ReadMeshRecord(stream, mesh, &problem))
                SplitBlendWeights(mesh);
        }
    }
    catch (const FileStorage::ErrorRead&)
    {
    }
    return 0;
}
