#pragma once
// The playlist dialog's rules that need no window: the names the open-file
// dialog returns, which chosen files are M3U playlists, and removing the
// selected rows of a list that mirrors a playlist.
#include <cstddef>
#include <string>
#include <vector>

// The chosen paths in an open-file dialog's buffer (`size` characters).
// With several files the buffer holds the folder, then each name, each
// NUL-terminated, then an empty name; `fileOffset` is the dialog's offset of
// the first name. With one file it holds that file's full path. Reading
// never goes past the buffer.
std::vector<std::string> SplitOpenFileNames(const char* buffer, size_t size, unsigned fileOffset);

// True when the path ends in "m3u" exactly (lower case, no check of the dot).
bool IsM3uName(const std::string& path);

// Removes every selected row, keeping the rows and the entries aligned:
// `list` gives Count(), IsSelected(i) and Erase(i), which removes row i and
// entry i together.
template <class List> void RemoveSelectedRows(List& list)
{
    for (size_t i = 0; i < list.Count();)
    {
        if (list.IsSelected(i))
            list.Erase(i);
        else
            ++i;
    }
}
