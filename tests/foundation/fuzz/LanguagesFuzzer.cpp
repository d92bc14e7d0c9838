// libFuzzer target for Languages.xml: the table takes any text without
// harm, and every lookup on what it took stays inside it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "LanguageTable.h"
#include "Log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    LanguageTable table("", 0);
    table.LoadText(text, size % 2 == 0);
    // A second document adds to the first one's languages and blocks.
    table.LoadText(text, true);
    for (const char* language : {"en", "ru", "de", "fr", ""})
    {
        table.SelectLanguage(language);
        table.GetCodepage();
        for (const char* block : {"Screensaver", "Screensaver Settings Dialog", ""})
        {
            table.SelectTextBlock(block);
            for (const char* key : {"OK", "Not enough memory.", "%s %s Configuration", ""})
                table.Translate(key);
        }
    }
    g_Log.ClearText();
    return 0;
}
