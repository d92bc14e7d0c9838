#pragma once
// The texts shown to the user, keyed by their English text: Languages.xml
// holds one translation per language for every text of a text block.
#include <list>
#include <memory>
#include <string>
#include <vector>

class TiXmlDocument;
class TiXmlElement;

class LanguageTable
{
public:
    // Loads from `path` when it names a readable file, else from the built-in
    // RCDATA resource `resourceId`, then selects "en".
    explicit LanguageTable(const std::string& path, int resourceId = 111);
    ~LanguageTable();
    LanguageTable(const LanguageTable&) = delete;
    LanguageTable& operator=(const LanguageTable&) = delete;

    void Load(const std::string& path);
    bool SelectLanguage(const std::string& tag);
    bool SelectTextBlock(const std::string& tag);
    unsigned GetCodepage() const;
    std::string Translate(const std::string& text) const;

private:
    int m_ResourceId;
    std::list<std::unique_ptr<TiXmlDocument>> m_Documents;
    std::vector<TiXmlElement*> m_Languages;
    std::vector<TiXmlElement*> m_TextBlocks;
    int m_Language = -1;  // index in m_Languages, -1 for none
    int m_TextBlock = -1; // index in m_TextBlocks, -1 for none
};

// Conversions sized from their input: a text of any length comes back whole.
std::string Utf8ToCodepage(const std::string& text, unsigned codepage);
std::string AnsiToUtf8(const std::string& text);
