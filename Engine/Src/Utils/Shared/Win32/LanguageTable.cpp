#include "LanguageTable.h"

#include <windows.h>

#include <tinyxml.h>

#include <cstdio>
#include <map>

#include "Log.h"

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

bool SameAttribute(const TiXmlElement* e, const char* name, const std::string& value)
{
    const char* a = e->Attribute(name);
    return a && value == a;
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

LanguageTable::LanguageTable(const std::string& path, int resourceId) : m_ResourceId(resourceId)
{
    Load(path);
    SelectLanguage("en");
}

LanguageTable::~LanguageTable()
{
    m_TextBlocks.clear();
    m_Languages.clear();
    m_Documents.clear();
}

void LanguageTable::Load(const std::string& path)
{
    auto document = std::make_unique<TiXmlDocument>("Languages.xml");
    m_Language = -1;
    m_TextBlock = -1;

    bool loaded = !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
                  document->LoadFile(path.c_str());
    if (!loaded)
    {
        document = std::make_unique<TiXmlDocument>("Languages.xml");
        HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(m_ResourceId), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
        const DWORD size = info ? SizeofResource(nullptr, info) : 0;
        HGLOBAL handle = size ? LoadResource(nullptr, info) : nullptr;
        const char* bytes = handle ? static_cast<const char*>(LockResource(handle)) : nullptr;
        if (!bytes)
            return;
        // The resource carries one trailing byte beyond the XML text.
        const std::string text(bytes, size - 1);
        document->Parse(text.c_str(), nullptr, TIXML_ENCODING_UTF8);
        if (document->Error())
        {
            g_Log.Printf("Languages.xml: %s\n", document->ErrorDesc());
            return;
        }
    }

    TiXmlElement* root = document->FirstChildElement("Root");
    TiXmlElement* languages = root ? root->FirstChildElement("Languages") : nullptr;
    TiXmlElement* language = languages ? languages->FirstChildElement("Language") : nullptr;
    if (!language)
        return;
    const size_t firstLanguage = m_Languages.size();
    for (; language; language = language->NextSiblingElement("Language"))
        m_Languages.push_back(language);
    m_Language = int(firstLanguage);

    const size_t firstBlock = m_TextBlocks.size();
    for (TiXmlElement* b = root->FirstChildElement("TextBlock"); b; b = b->NextSiblingElement("TextBlock"))
        m_TextBlocks.push_back(b);
    if (m_TextBlocks.size() > firstBlock)
        m_TextBlock = int(firstBlock);
    m_Documents.push_back(std::move(document));
}

bool LanguageTable::SelectLanguage(const std::string& tag)
{
    for (size_t i = 0; i < m_Languages.size(); ++i)
        if (SameAttribute(m_Languages[i], "Tag", tag))
        {
            m_Language = int(i);
            return true;
        }
    return false;
}

bool LanguageTable::SelectTextBlock(const std::string& tag)
{
    for (size_t i = 0; i < m_TextBlocks.size(); ++i)
        if (SameAttribute(m_TextBlocks[i], "Tag", tag))
        {
            m_TextBlock = int(i);
            return true;
        }
    return false;
}

unsigned LanguageTable::GetCodepage() const
{
    if (m_Language < 0)
        return 0;
    const char* codepage = m_Languages[size_t(m_Language)]->Attribute("Codepage");
    unsigned value = 0;
    if (!codepage || sscanf(codepage, "%u", &value) != 1)
        return 0;
    return value;
}

std::string LanguageTable::Translate(const std::string& text) const
{
    std::string translation;
    return FindTranslation(text, translation) ? translation : text;
}

bool LanguageTable::FindTranslation(const std::string& text, std::string& translation) const
{
    if (m_Language < 0 || m_TextBlock < 0)
        return false;
    const char* language = m_Languages[size_t(m_Language)]->Attribute("Tag");
    const std::string utf8 = AnsiToUtf8(text);
    for (const TiXmlElement* var = m_TextBlocks[size_t(m_TextBlock)]->FirstChildElement("Var"); var;
         var = var->NextSiblingElement("Var"))
    {
        if (!SameAttribute(var, "Tag", utf8))
            continue;
        for (const TiXmlElement* s = var->FirstChildElement("String"); s; s = s->NextSiblingElement("String"))
        {
            const char* value = s->Attribute("Text");
            if (language && value && SameAttribute(s, "Lang", language))
            {
                translation = Utf8ToCodepage(value, GetCodepage());
                return true;
            }
        }
        return false;
    }
    g_Log.Printf("Can't translate string \"%s\"\n", text.c_str());
    return false;
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
