#pragma once
// The user's music: an ordered list of file paths. Its text form is one entry
// per line, each ended by LF; the registry value "PlayList" holds it. Parse
// also reads M3U playlists: empty lines and lines beginning with '#' are
// comments. Only paths that exist on disk enter the list.
//
// Platform-free: the front-end and the main program both build it.
#include <cstddef>
#include <string>
#include <vector>

class MusicPlaylist
{
public:
    // Longest line that Parse and LoadFromFile accept, in characters without
    // the LF. A longer line is skipped; the lines after it still count.
    static constexpr size_t kMaxLineLength = 2022;

    void AddEntry(const std::string& path);
    // A copy of the entry; empty for an index at or past the count.
    std::string GetEntry(size_t index) const;
    size_t GetCount() const { return m_Entries.size(); }
    // Removes the entry (the later ones move up); an index past the end does nothing.
    void EraseAt(size_t index);

    // Appends every line of `text` that names an existing path: first tried
    // as folder + line, then as the line alone. Nothing is trimmed (a CR
    // before the LF stays part of the line). True when the playlist holds at
    // least one entry afterwards, earlier entries included.
    bool Parse(const std::string& folder, const std::string& text);

    // Appends each entry and one LF to `out`.
    void Serialize(std::string& out) const;

    // Reads an M3U or playlist file (CR LF line ends read as LF) and parses
    // it with the file's own folder, so relative entries resolve against it.
    // An unreadable file adds nothing.
    bool LoadFromFile(const std::string& path);

private:
    std::vector<std::string> m_Entries;
};
