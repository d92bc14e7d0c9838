#include "CrashHandler.h"

#include <cstdlib>
#include <cstring>

#include "Log.h"

CrashHookFn g_CrashHook = nullptr;
CrashHookFn g_ErrorReportHook = nullptr;
const char* const g_SupportMailAddress = "support@vellomaris.example";

namespace
{
HMODULE g_MapiLibrary = nullptr;

typedef unsigned long long u64;

// The committed range of the current thread's stack, from its TIB.
void StackBounds(ULONG_PTR& low, ULONG_PTR& high)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
    const NT_TIB* tib = reinterpret_cast<const NT_TIB*>(NtCurrentTeb());
#pragma GCC diagnostic pop
    low = reinterpret_cast<ULONG_PTR>(tib->StackLimit);
    high = reinterpret_cast<ULONG_PTR>(tib->StackBase);
}

INT_PTR CALLBACK ErrorReportProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message)
    {
    case WM_INITDIALOG:
    {
        RECT r;
        GetWindowRect(dialog, &r);
        const int left = GetSystemMetrics(SM_CXSCREEN) / 2 - (r.right - r.left) / 2;
        const int top = GetSystemMetrics(SM_CYSCREEN) / 2 - (r.bottom - r.top) / 2;
        SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_DONT_SEND || LOWORD(wParam) == IDC_SEND_REPORT)
            EndDialog(dialog, LOWORD(wParam));
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, IDC_DONT_SEND);
        return FALSE;
    default:
        return FALSE;
    }
}
} // namespace

void LogStackWords(ULONG_PTR sp, ULONG_PTR low, ULONG_PTR high)
{
    g_Log.Printf("Stack:\n");
    ULONG_PTR at = sp;
    for (int line = 0; line < 40; ++line)
    {
        std::string text;
        for (int word = 0; word < 10; ++word, at += sizeof(ULONG_PTR))
        {
            if (at < low || at + sizeof(ULONG_PTR) > high || at + sizeof(ULONG_PTR) < at)
            {
                line = 40;
                break;
            }
            text += FormatString("0x%016llx ", u64(*reinterpret_cast<const ULONG_PTR*>(at)));
        }
        if (!text.empty())
            g_Log.Printf("%s\n", text.c_str());
    }
    g_Log.Printf("\n");
}

LONG WINAPI CrashExceptionFilter(EXCEPTION_POINTERS* pointers)
{
    const EXCEPTION_RECORD* record = pointers ? pointers->ExceptionRecord : nullptr;
    const CONTEXT* c = pointers ? pointers->ContextRecord : nullptr;
    g_Log.Printf("Exception Address: <0x%llx>\n",
                 u64(reinterpret_cast<ULONG_PTR>(record ? record->ExceptionAddress : nullptr)));
    if (c)
    {
        ULONG_PTR low, high;
        StackBounds(low, high);
        LogStackWords(ULONG_PTR(c->Rsp), low, high);
        g_Log.Printf("Registers: \n");
        g_Log.Printf("RAX: 0x%llx\tRBX: 0x%llx\tRCX: 0x%llx\tRDX: 0x%llx\n", u64(c->Rax), u64(c->Rbx), u64(c->Rcx),
                     u64(c->Rdx));
        g_Log.Printf("RDI: 0x%llx\tRSI: 0x%llx\tRBP: 0x%llx\tRIP: 0x%llx\tRSP: 0x%llx\n", u64(c->Rdi), u64(c->Rsi),
                     u64(c->Rbp), u64(c->Rip), u64(c->Rsp));
        g_Log.Printf("R8: 0x%llx\tR9: 0x%llx\tR10: 0x%llx\tR11: 0x%llx\n", u64(c->R8), u64(c->R9), u64(c->R10),
                     u64(c->R11));
        g_Log.Printf("R12: 0x%llx\tR13: 0x%llx\tR14: 0x%llx\tR15: 0x%llx\n", u64(c->R12), u64(c->R13), u64(c->R14),
                     u64(c->R15));
        g_Log.Printf("SegCS: 0x%x\tSegDS: 0x%x\tFlags: 0x%x\n", unsigned(c->SegCs), unsigned(c->SegDs),
                     unsigned(c->EFlags));
    }
    if (g_CrashHook)
        g_CrashHook();
    return EXCEPTION_EXECUTE_HANDLER;
}

void ShowErrorReportDialog(const std::string& text)
{
    const INT_PTR result =
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ERROR_REPORT), nullptr, ErrorReportProc, 0);
    if (result == IDC_SEND_REPORT)
    {
        if (g_ErrorReportHook)
            g_ErrorReportHook();
        CMapiMail mail;
        mail.AddRecipient();
        mail.SetSubject("Error report");
        mail.SetNoteText(text);
        mail.Send();
    }
    ExitProcess(1);
}

CMapiMail::CMapiMail() : m_Error(MAIL_READY), m_pSendMail(nullptr)
{
    memset(&m_Message, 0, sizeof m_Message);
    memset(&m_Originator, 0, sizeof m_Originator);
    m_Message.lpOriginator = &m_Originator;
    if (!g_MapiLibrary)
        g_MapiLibrary = LoadLibraryA("MAPI32.DLL");
    if (!g_MapiLibrary)
    {
        m_Error = MAIL_NO_LIBRARY;
        return;
    }
    m_pSendMail = reinterpret_cast<LPMAPISENDMAIL>(reinterpret_cast<void*>(GetProcAddress(g_MapiLibrary, "MAPISendMail")));
    if (!m_pSendMail)
        m_Error = MAIL_NO_SENDMAIL;
}

CMapiMail::~CMapiMail()
{
    if (g_MapiLibrary)
    {
        FreeLibrary(g_MapiLibrary);
        g_MapiLibrary = nullptr;
    }
    for (ULONG i = 0; i < m_Message.nRecipCount; ++i)
        free(m_Message.lpRecips[i].lpszName);
    free(m_Message.lpRecips);
    free(m_Message.lpFiles);
}

bool CMapiMail::AddRecipient()
{
    const ULONG count = m_Message.nRecipCount;
    void* grown = realloc(m_Message.lpRecips, sizeof(MapiRecipDesc) * (count + 1));
    if (!grown)
    {
        m_Error = MAIL_NO_MEMORY;
        return false;
    }
    m_Message.lpRecips = static_cast<MapiRecipDesc*>(grown);
    MapiRecipDesc& r = m_Message.lpRecips[count];
    memset(&r, 0, sizeof r);
    r.ulRecipClass = MAPI_TO;
    r.lpszName = _strdup(g_SupportMailAddress);
    m_Message.nRecipCount = count + 1;
    return true;
}

bool CMapiMail::Send()
{
    if (!m_pSendMail || m_Error == MAIL_NO_LIBRARY || m_Error == MAIL_NO_SENDMAIL)
        return false;
    // One blank per attachment, each attachment placed at its blank.
    for (ULONG i = 0; i < m_Message.nFileCount; ++i)
    {
        m_Message.lpFiles[i].nPosition = ULONG(m_NoteText.size());
        m_NoteText += ' ';
    }
    m_Message.lpszSubject = const_cast<LPSTR>(m_Subject.c_str());
    m_Message.lpszNoteText = const_cast<LPSTR>(m_NoteText.c_str());
    const ULONG result = m_pSendMail(0, 0, &m_Message, MAPI_LOGON_UI, 0);
    for (ULONG i = 0; i < m_Message.nRecipCount; ++i)
    {
        free(m_Message.lpRecips[i].lpszName);
        m_Message.lpRecips[i].lpszName = nullptr;
    }
    for (ULONG i = 0; i < m_Message.nFileCount; ++i)
    {
        free(m_Message.lpFiles[i].lpszPathName);
        free(m_Message.lpFiles[i].lpszFileName);
        m_Message.lpFiles[i].lpszPathName = m_Message.lpFiles[i].lpszFileName = nullptr;
    }
    return result == SUCCESS_SUCCESS || result == MAPI_USER_ABORT || result == MAPI_E_LOGIN_FAILURE;
}
