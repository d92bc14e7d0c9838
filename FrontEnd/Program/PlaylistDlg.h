#pragma once
// The playlist dialog: the user's music files as a list, added through the
// open-file dialog (M3U playlists expanded), removed by selection, and
// written to "PlayList" on OK.
#include <windows.h>

#include <string>

#include "MusicPlaylist.h"
#include "WindowBase.h"

class Node;

class CPlaylistDlg : public CDialogImplBase
{
public:
    enum
    {
        IDD = 162
    };

    CPlaylistDlg(Node* settings, const std::string& productName);
    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void AddFile(const std::string& path);
    const MusicPlaylist& GetPlaylist() const { return m_Playlist; }

private:
    LRESULT OnInitDialog();
    void OnAdd();
    void OnRemove();
    void OnOK();
    void AppendRow(const std::string& path);
    std::string GetKeyName() const;

    Node* m_pSettings; // handed over by the settings dialog; not used here
    std::string m_ProductName;
    HWND m_hList = nullptr;
    MusicPlaylist m_Playlist;
};
