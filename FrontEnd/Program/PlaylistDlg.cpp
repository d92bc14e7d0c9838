#include "PlaylistDlg.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "FrontEnd.h"
#include "LanguageTable.h"
#include "PlaylistEditing.h"
#include "SettingsDlg.h"
#include "SettingsTree.h"
#include "Resource.h"

namespace
{
// The list view's rows and the playlist, removed together.
struct CRows
{
    HWND list;
    MusicPlaylist& playlist;
    size_t Count() const { return size_t(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }
    bool IsSelected(size_t i) const
    {
        return SendMessageA(list, LVM_GETITEMSTATE, WPARAM(i), LVIS_SELECTED) & LVIS_SELECTED;
    }
    void Erase(size_t i)
    {
        SendMessageA(list, LVM_DELETEITEM, WPARAM(i), 0);
        playlist.EraseAt(i);
    }
};
} // namespace

CPlaylistDlg::CPlaylistDlg(Node* settings, const std::string& productName)
    : m_pSettings(settings), m_ProductName(productName)
{
}

std::string CPlaylistDlg::GetKeyName() const
{
    return "Software\\Vellomaris\\" + m_ProductName;
}

void CPlaylistDlg::AppendRow(const std::string& path)
{
    LVITEMA item;
    ZeroMemory(&item, sizeof item);
    item.mask = LVIF_TEXT;
    item.iItem = int(SendMessageA(m_hList, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = const_cast<char*>(path.c_str());
    SendMessageA(m_hList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

LRESULT CPlaylistDlg::OnInitDialog()
{
    m_hList = GetDlgItem(IDC_PLAYLIST_LIST);
    // One column, wide enough for long paths; its header is hidden.
    std::string title = "FileName" + std::string(98, ' ');
    LVCOLUMNA column;
    ZeroMemory(&column, sizeof column);
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.iSubItem = 0;
    column.pszText = &title[0];
    column.cx = int(SendMessageA(m_hList, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(title.c_str()))) + 15;
    SendMessageA(m_hList, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));

    std::string text;
    if (FAILED(ReadRegistryString(HKEY_LOCAL_MACHINE, GetKeyName().c_str(), "PlayList", text, true)))
        text.clear();
    m_Playlist.Parse("", text);
    for (size_t i = 0; i < m_Playlist.GetCount(); ++i)
        AppendRow(m_Playlist.GetEntry(i));

    LanguageTable& language = GetLanguageTable();
    language.SelectTextBlock("Screensaver Settings Dialog");
    language.TranslateDialog(m_hWnd);
    return 1;
}

void CPlaylistDlg::AddFile(const std::string& path)
{
    if (IsM3uName(path))
    {
        MusicPlaylist list;
        list.LoadFromFile(path);
        for (size_t i = 0; i < list.GetCount(); ++i)
        {
            AppendRow(list.GetEntry(i));
            m_Playlist.AddEntry(list.GetEntry(i));
        }
        return;
    }
    AppendRow(path);
    m_Playlist.AddEntry(path);
}

void CPlaylistDlg::OnAdd()
{
    const LanguageTable& language = GetLanguageTable();
    const std::string pairs[][2] = {
        {language.Translate("All supported files") + " (*.m3u,*.pls;*.mp3;*.wma;*.ogg;*.flac;*.wav;*.mid)",
         "*.m3u;*.pls;*.mp3;*.wma;*.ogg;*.flac;*.wav;*.mid"},
        {language.Translate("Playlist Files") + " (*.m3u,*.pls)", "*.m3u;*.pls"},
        {"MP3 (*.mp3)", "*.mp3"},
        {"Windows Media Audio (*.wma)", "*.wma"},
        {"Ogg Vorbis (*.ogg)", "*.ogg"},
        {"FLAC (*.flac)", "*.flac"},
        {"Windows Audio File (*.wav)", "*.wav"},
        {"MIDI File (*.mid)", "*.mid"},
    };
    std::string filter;
    for (const auto& pair : pairs)
    {
        filter += pair[0];
        filter += '\0';
        filter += pair[1];
        filter += '\0';
    }
    std::vector<char> files(65535, '\0'), title(261, '\0');
    OPENFILENAMEA dialog;
    ZeroMemory(&dialog, sizeof dialog);
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = m_hWnd;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = files.data();
    dialog.nMaxFile = DWORD(files.size());
    dialog.lpstrFileTitle = title.data();
    dialog.nMaxFileTitle = DWORD(title.size());
    dialog.lpstrDefExt = "*.*";
    dialog.Flags = OFN_EXPLORER | OFN_ALLOWMULTISELECT | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameA(&dialog))
    {
        CommDlgExtendedError();
        return;
    }
    for (const std::string& path : SplitOpenFileNames(files.data(), files.size(), dialog.nFileOffset))
        AddFile(path);
}

void CPlaylistDlg::OnRemove()
{
    if (SendMessageA(m_hList, LVM_GETSELECTEDCOUNT, 0, 0) == 0)
        return;
    CRows rows{m_hList, m_Playlist};
    RemoveSelectedRows(rows);
}

void CPlaylistDlg::OnOK()
{
    std::string text;
    m_Playlist.Serialize(text);
    WriteRegistryString(HKEY_LOCAL_MACHINE, GetKeyName().c_str(), "PlayList", text, true);
    EndDialog(0);
}

BOOL CPlaylistDlg::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    result = 0;
    switch (message)
    {
    case WM_INITDIALOG: result = OnInitDialog(); return TRUE;
    case WM_CLOSE: EndDialog(0); return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            return FALSE;
        switch (LOWORD(wParam))
        {
        case IDC_PLAYLIST_ADD: OnAdd(); return TRUE;
        case IDC_PLAYLIST_REMOVE: OnRemove(); return TRUE;
        case IDOK: OnOK(); return TRUE;
        case IDCANCEL: EndDialog(0); return TRUE;
        default: return FALSE;
        }
    default: return FALSE;
    }
}

void CSettingsDlg::OnEditPlaylist()
{
    CPlaylistDlg dialog(&m_Settings, kProductTitle);
    dialog.DoModal(GetActiveWindow(), CPlaylistDlg::IDD);
}
