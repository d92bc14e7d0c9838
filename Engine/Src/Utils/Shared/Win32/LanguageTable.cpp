#include "LanguageTable.h"

#include <windows.h>

#include "LanguageResource.h"

namespace
{
std::wstring ToWide(const std::string& text, UINT codepage)
{
    if (text.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(codepage, 0, text.data(), int(text.size()), nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(codepage, 0, text.data(), int(text.size()), &wide[0], n);
    return wide;
}

std::string FromWide(const std::wstring& wide, UINT codepage)
{
    if (wide.empty())
        return std::string();
    const int n = WideCharToMultiByte(codepage, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string text(size_t(n), '\0');
    WideCharToMultiByte(codepage, 0, wide.data(), int(wide.size()), &text[0], n, nullptr, nullptr);
    return text;
}

} // namespace

std::string Utf8ToCodepage(const std::string& text, unsigned codepage)
{
    return FromWide(ToWide(text, CP_UTF8), codepage);
}

std::string AnsiToUtf8(const std::string& text)
{
    return FromWide(ToWide(text, CP_ACP), CP_UTF8);
}

bool LoadLanguageResource(int resourceId, std::string& text)
{
    HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(resourceId), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    const DWORD size = info ? SizeofResource(nullptr, info) : 0;
    HGLOBAL handle = size ? LoadResource(nullptr, info) : nullptr;
    const char* bytes = handle ? static_cast<const char*>(LockResource(handle)) : nullptr;
    if (!bytes)
        return false;
    // The resource carries one trailing byte beyond the XML text.
    text.assign(bytes, size - 1);
    return true;
}

void LanguageTable::TranslateDialog(HWND window) const
{
    auto translateCaption = [this](HWND w) {
        char caption[1024];
        const int length = GetWindowTextA(w, caption, 1023);
        std::string translation;
        if (FindTranslation(std::string(caption, size_t(length > 0 ? length : 0)), translation))
            SetWindowTextA(w, translation.c_str());
    };
    if (!window)
        return;
    translateCaption(window);
    for (HWND child = GetTopWindow(window); child; child = GetWindow(child, GW_HWNDNEXT))
        translateCaption(child);
}
