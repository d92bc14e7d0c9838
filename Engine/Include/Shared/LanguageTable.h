#pragma once
// The texts shown to the user, keyed by their English text: Languages.xml
// holds one translation per language for every text of a text block.
#include <list>
#include <memory>
#include <string>
#include <vector>

class TiXmlDocument;
class TiXmlElement;
struct HWND__;

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
    // Takes the languages and text blocks of one Languages.xml text (read as
    // UTF-8, or by its byte-order mark when `utf8` is false) and selects the
    // first of each; false, logged, when the text does not parse.
    bool LoadText(const std::string& text, bool utf8);
    bool SelectLanguage(const std::string& tag);
    bool SelectTextBlock(const std::string& tag);
    unsigned GetCodepage() const;
    std::string Translate(const std::string& text) const;
    // True with the current language's text of the current block's entry
    // tagged `text`; false, without a log line, while no language or block
    // is selected; false, logged, when the block has no such entry.
    bool FindTranslation(const std::string& text, std::string& translation) const;
    // Translates the caption of the window and of each of its direct
    // children (a dialog's controls, in template order) where the current
    // block has an entry for the exact text.
    void TranslateDialog(HWND__* window) const;

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
