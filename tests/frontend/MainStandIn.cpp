// Stands in for the main program in the front-end's run-mode tests. It
// writes what it was started with (command line, working folder, own path)
// to the file named by TARNHOLM_STANDIN_REPORT, then stays until a file of
// that name with ".release" appended exists (at most 30 seconds).
#include <windows.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    char report[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("TARNHOLM_STANDIN_REPORT", report, MAX_PATH))
        return 2;
    char folder[MAX_PATH] = {}, self[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, folder);
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (FILE* f = std::fopen(report, "wb"))
    {
        std::fprintf(f, "%s\n%s\n%s\n", GetCommandLineA(), folder, self);
        std::fclose(f);
    }
    const std::string release = std::string(report) + ".release";
    for (int i = 0; i < 600 && GetFileAttributesA(release.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(50);
    return 3;
}
