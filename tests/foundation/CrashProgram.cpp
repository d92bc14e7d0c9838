// A small program for the crash tests.
//   CrashProgram crash <log file>          crashes with the filter installed
//   CrashProgram dialog <marker> send|close answers the error-report dialog
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "CrashHandler.h"
#include "Log.h"

namespace
{
std::string g_Marker;

void OnCrash()
{
    g_Log.Printf("Crash hook called\n");
    g_Log.Close();
    ExitProcess(1);
}

void OnReport()
{
    if (FILE* f = fopen(g_Marker.c_str(), "wb"))
    {
        fputs("report hook called", f);
        fclose(f);
    }
}

DWORD WINAPI AnswerDialog(LPVOID param)
{
    const bool send = param != nullptr;
    for (int i = 0; i < 500; ++i)
    {
        HWND dialog = FindWindowA(nullptr, "Error");
        if (dialog && GetDlgItem(dialog, IDC_SEND_REPORT))
        {
            if (send)
                PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEND_REPORT, BN_CLICKED), 0);
            else
                PostMessageA(dialog, WM_CLOSE, 0, 0);
            return 0;
        }
        Sleep(20);
    }
    ExitProcess(3); // the dialog never came up
}

int Crash()
{
    volatile int* nowhere = nullptr;
    return *nowhere;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    if (strcmp(argv[1], "crash") == 0)
    {
        FILE* file = fopen(argv[2], "wb");
        if (!file)
            return 2;
        g_Log.Open(argv[2]);
        g_Log.SetFile(file);
        g_CrashHook = OnCrash;
        SetErrorMode(SEM_NOGPFAULTERRORBOX);
        SetUnhandledExceptionFilter(CrashExceptionFilter);
        g_Log.Printf("Crashing now\n");
        return Crash();
    }
    if (strcmp(argv[1], "dialog") == 0 && argc >= 4)
    {
        g_Marker = argv[2];
        g_ErrorReportHook = OnReport;
        const bool send = strcmp(argv[3], "send") == 0;
        CloseHandle(CreateThread(nullptr, 0, AnswerDialog, send ? argv : nullptr, 0, nullptr));
        ShowErrorReportDialog("The log of the run");
    }
    return 2;
}
