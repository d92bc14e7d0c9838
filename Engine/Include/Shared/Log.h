#pragma once
// The program's diagnostics log: one global CLogFile that keeps the whole
// text of the run and, once a file is attached, writes and flushes every
// piece of text to it. Printf stamps each line with the local time.
#include <cstdio>
#include <string>

class CLog
{
public:
    virtual bool Write(const char* text) = 0;
    virtual bool Close();
    virtual std::string GetText();
    virtual std::string GetName();

    // Printf-style; every line begins "hh:mm:ss:mmmm - ". A message without a
    // trailing newline is continued by the next one without a stamp.
    bool Printf(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

protected:
    CLog() = default;
    ~CLog() = default;

    bool m_bAtLineStart = true;
    bool m_bFileOpen = false;
    std::string m_Name;
};

class CLogFile : public CLog
{
public:
    CLogFile() = default;
    ~CLogFile();

    bool Write(const char* text) override;
    bool Close() override;
    std::string GetText() override;
    // Forgets the text kept so far (the file, if any, keeps it). For
    // programs that log without end, such as the fuzz targets between inputs.
    void ClearText();

    // Marks the log as attached to a file named `name`; the caller opens the
    // stream itself and hands it over with SetFile before writing.
    void Open(const char* name);
    void SetFile(FILE* file);
    bool IsFileOpen() const { return m_bFileOpen; }

protected:
    FILE* m_pFile = nullptr;
    std::string m_Text;
};

class CExternLog : public CLogFile
{
public:
    explicit CExternLog(CLogFile* pLog) : m_pLog(pLog) {}

private:
    CLogFile* m_pLog;
};

extern CLogFile g_Log;
extern CExternLog g_ExternLog;

// printf into a string through a 2048-character buffer.
std::string FormatString(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The local time of a log stamp; tests may replace the clock.
struct LogTime
{
    unsigned hour, minute, second, millisecond;
};
typedef LogTime (*LogClockFn)();
void SetLogClock(LogClockFn clock); // nullptr restores the system clock
