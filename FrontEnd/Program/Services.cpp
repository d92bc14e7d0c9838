#include "FrontEnd.h"

#include "LanguageTable.h"
#include "Resource.h"
#include "SettingsRules.h"
#include "SettingsTree.h"

LanguageTable& GetLanguageTable()
{
    static LanguageTable table("", IDR_LANGUAGES);
    return table;
}

std::string ReadLanguageTag()
{
    std::string value;
    ReadRegistryString(HKEY_LOCAL_MACHINE, kProductKey, "Language", value, true);
    for (const char* tag : {"de", "fr", "ru"})
        if (value == std::string("3: ") + tag)
            return tag;
    return "en";
}

void ShowError(HWND owner, const char* text)
{
    const LanguageTable& language = GetLanguageTable();
    MessageBoxA(owner, language.Translate(text).c_str(), language.Translate("Error!").c_str(), MB_ICONERROR);
}
