#include <cstdio>

#include "DebugDraw.h"
#include "Font.h"
#include "ObjectInformation.h"

namespace
{
// The overlay's own font, read from the working folder when it is there;
// the lines themselves go through the debug drawing's text queue.
struct OverlayText
{
    OverlayText()
    {
        if (FILE* f = std::fopen("NewFont.fnt", "rb"))
            hasFont = font.LoadFromFile(f);
        batch.SetFont(hasFont ? &font : nullptr);
    }
    Font font;
    TextBatch batch;
    bool hasFont = false;
};
} // namespace

void ObjectInformationManager::Render()
{
    if (!GetSelected())
        return;
    static OverlayText s_Text;
    s_Text.batch.Clear();
    const float white[4] = {1, 1, 1, 1};
    unsigned y = 20;
    for (const std::string& line : BuildLines())
    {
        DebugDraw::Instance().DrawText(600, y, white, line, 1.0f);
        y += 10;
    }
}
