#pragma once
// Crash handling: the unhandled-exception filter that writes the crash into
// the log, the two process-wide hooks, and the error-report dialog that
// offers to mail the log through the system's MAPI client.
#include <windows.h>

#include <mapi.h>

#include <string>

typedef void (*CrashHookFn)();
extern CrashHookFn g_CrashHook;       // called last by the filter
extern CrashHookFn g_ErrorReportHook; // called when the user sends a report

LONG WINAPI CrashExceptionFilter(EXCEPTION_POINTERS* pointers);

// Writes "Stack:" and up to 40 lines of 10 words from `sp` upward, reading
// only words that lie wholly inside [low, high).
void LogStackWords(ULONG_PTR sp, ULONG_PTR low, ULONG_PTR high);

// Shows dialog 199; mails `text` when the user chooses to send. Ends the
// process with exit code 1 in every case.
[[noreturn]] void ShowErrorReportDialog(const std::string& text);

// Control ids of the error-report dialog.
enum
{
    IDD_ERROR_REPORT = 199,
    IDC_DONT_SEND = 200,
    IDC_ERROR_TEXT1 = 201,
    IDC_SEND_REPORT = 202,
    IDC_ERROR_TEXT2 = 203,
};

class CMapiMail
{
public:
    enum EError
    {
        MAIL_READY = 0,
        MAIL_NO_LIBRARY = 1,
        MAIL_NO_SENDMAIL = 2,
        MAIL_NO_MEMORY = 3,
    };

    CMapiMail();
    ~CMapiMail();
    CMapiMail(const CMapiMail&) = delete;
    CMapiMail& operator=(const CMapiMail&) = delete;

    bool AddRecipient();
    void SetSubject(const std::string& subject) { m_Subject = subject; }
    void SetNoteText(const std::string& text) { m_NoteText = text; }
    bool Send();
    DWORD GetError() const { return m_Error; }
    ULONG GetRecipientCount() const { return m_Message.nRecipCount; }

private:
    MapiMessage m_Message;
    MapiRecipDesc m_Originator;
    DWORD m_Error;
    std::string m_NoteText;
    std::string m_Subject;
    LPMAPISENDMAIL m_pSendMail;
};

// The address that error reports go to.
extern const char* const g_SupportMailAddress;
