#include "LanguageTable.h"

#include <tinyxml.h>

#include <cstdio>

#include "LanguageResource.h"
#include "Log.h"

namespace
{
bool SameAttribute(const TiXmlElement* e, const char* name, const std::string& value)
{
    const char* a = e->Attribute(name);
    return a && value == a;
}

bool ReadWholeFile(const std::string& path, std::string& text)
{
    FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    text.clear();
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), f)) > 0)
        text.append(buffer, n);
    const bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}
} // namespace

#ifndef _WIN32
// Natively every text is UTF-8 already, and there are no resources.
std::string Utf8ToCodepage(const std::string& text, unsigned)
{
    return text;
}

std::string AnsiToUtf8(const std::string& text)
{
    return text;
}

bool LoadLanguageResource(int, std::string&)
{
    return false;
}
#endif

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
    // A readable file that parses wins; otherwise the built-in table.
    m_Language = -1;
    m_TextBlock = -1;
    std::string text;
    if (ReadWholeFile(path, text) && LoadText(text, false))
        return;
    if (!LoadLanguageResource(m_ResourceId, text))
        return;
    LoadText(text, true);
}

bool LanguageTable::LoadText(const std::string& text, bool utf8)
{
    // The XML reader steps over a UTF-8 sequence by its lead byte's length
    // even when the text ends inside it, and reads on from there: a few
    // zero bytes past the end keep it inside this copy and stop it.
    std::string padded = text;
    padded.append(8, '\0');
    auto document = std::make_unique<TiXmlDocument>("Languages.xml");
    document->Parse(padded.c_str(), nullptr, utf8 ? TIXML_ENCODING_UTF8 : TIXML_ENCODING_UNKNOWN);
    if (document->Error())
    {
        g_Log.Printf("Languages.xml: %s\n", document->ErrorDesc());
        return false;
    }
    m_Language = -1;
    m_TextBlock = -1;

    TiXmlElement* root = document->FirstChildElement("Root");
    TiXmlElement* languages = root ? root->FirstChildElement("Languages") : nullptr;
    TiXmlElement* language = languages ? languages->FirstChildElement("Language") : nullptr;
    if (!language)
        return true;
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
    return true;
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
