#pragma once
// Where the front-end looks for the main program, and in which folder it
// starts it. Pure functions over the folders read from the registry and the
// system; the Windows side reads them and tests the candidates.
#include <string>
#include <vector>

extern const char* const kMainProgramFileName; // "\Tarnholm 3D Screensaver.exe"

struct MainProgramFolders
{
    std::string appPath;          // "AppPath" of the product key
    std::string uninstallFolder;  // "InstallLocation" of the screensaver's uninstall entry
    std::string combinedFolder;   // "InstallLocation" of the combined uninstall entry
    std::string systemFolder;     // the Windows system directory
    std::string currentFolder;    // the front-end's current directory
};

// The full paths to test, in order: AppPath alone when it is set, else the
// two uninstall folders that are set; then the system and current folders.
std::vector<std::string> MainProgramCandidates(const MainProgramFolders& folders);

// The folder the main program starts in: AppPath, else the screensaver's
// uninstall folder, else empty (the front-end's own current folder).
std::string MainProgramWorkingFolder(const MainProgramFolders& folders);
