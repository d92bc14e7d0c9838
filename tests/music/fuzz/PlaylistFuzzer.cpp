// libFuzzer target for the playlist text: the input is parsed as a registry
// text and as an M3U file's text with a folder, and whatever enters the list
// must come back unchanged through Serialize and Parse.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "MusicPlaylist.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    MusicPlaylist list;
    list.Parse("", text);
    list.Parse("/", text);
    std::string out;
    list.Serialize(out);
    MusicPlaylist back;
    back.Parse("", out);
    if (back.GetCount() != list.GetCount())
        abort();
    for (size_t i = 0; i < list.GetCount(); ++i)
        if (back.GetEntry(i) != list.GetEntry(i) || list.GetEntry(i).find('\n') != std::string::npos)
            abort();
    if (list.GetCount())
        list.EraseAt(size % list.GetCount());
    return 0;
}
