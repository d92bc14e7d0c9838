#include "MainProgramSearch.h"

const char* const kMainProgramFileName = "\\Tarnholm 3D Screensaver.exe";

std::vector<std::string> MainProgramCandidates(const MainProgramFolders& folders)
{
    std::vector<std::string> candidates;
    if (!folders.appPath.empty())
        candidates.push_back(folders.appPath + kMainProgramFileName);
    else
    {
        if (!folders.uninstallFolder.empty())
            candidates.push_back(folders.uninstallFolder + kMainProgramFileName);
        if (!folders.combinedFolder.empty())
            candidates.push_back(folders.combinedFolder + kMainProgramFileName);
    }
    candidates.push_back(folders.systemFolder + kMainProgramFileName);
    candidates.push_back(folders.currentFolder + kMainProgramFileName);
    return candidates;
}

std::string MainProgramWorkingFolder(const MainProgramFolders& folders)
{
    if (!folders.appPath.empty())
        return folders.appPath;
    return folders.uninstallFolder;
}
