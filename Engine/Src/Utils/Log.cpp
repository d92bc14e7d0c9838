#include "Log.h"

#include <cstdarg>
#include <cstring>
#include <mutex>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/time.h>
#include <time.h>
#endif

// g_ExternLog is defined first so that it is constructed before g_Log.
CExternLog g_ExternLog(&g_Log);
CLogFile g_Log;

namespace
{
// Printf's formatting buffer is shared by every log object. Sound workers log
// from their own threads, so formatting and writing are serialised.
char g_PrintfBuffer[2048];
std::recursive_mutex& LogMutex()
{
    static std::recursive_mutex m;
    return m;
}

LogTime SystemLogClock()
{
#ifdef _WIN32
    SYSTEMTIME st;
    GetLocalTime(&st);
    return {st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
#else
    timeval tv;
    gettimeofday(&tv, nullptr);
    tm t;
    time_t s = tv.tv_sec;
    localtime_r(&s, &t);
    return {unsigned(t.tm_hour), unsigned(t.tm_min), unsigned(t.tm_sec), unsigned(tv.tv_usec / 1000)};
#endif
}

LogClockFn g_LogClock = SystemLogClock;

const int kMaxMessage = 2045;
} // namespace

void SetLogClock(LogClockFn clock)
{
    g_LogClock = clock ? clock : SystemLogClock;
}

bool CLog::Close()
{
    return true;
}

std::string CLog::GetText()
{
    return std::string();
}

std::string CLog::GetName()
{
    return m_Name;
}

bool CLog::Printf(const char* format, ...)
{
    std::lock_guard<std::recursive_mutex> lock(LogMutex());

    va_list args;
    va_start(args, format);
    int n = vsnprintf(g_PrintfBuffer, kMaxMessage + 1, format, args);
    va_end(args);
    if (n < 0)
        g_PrintfBuffer[0] = 0;
    g_PrintfBuffer[kMaxMessage] = 0;

    const LogTime t = g_LogClock();
    char stamp[64];
    snprintf(stamp, sizeof(stamp), "%02u:%02u:%02u:%04u - ", t.hour, t.minute, t.second, t.millisecond);

    std::string out;
    if (m_bAtLineStart)
        out += stamp;

    const char* text = g_PrintfBuffer;
    const size_t len = strlen(text);
    bool endsWithNewline = false;
    size_t pos = 0;
    for (;;)
    {
        const char* nl = static_cast<const char*>(memchr(text + pos, '\n', len - pos));
        if (!nl)
            break;
        const size_t at = size_t(nl - text);
        if (at == len - 1)
        {
            endsWithNewline = true;
            break;
        }
        out.append(text + pos, at - pos);
        out += '\n';
        out += stamp;
        pos = at + 1;
    }
    out.append(text + pos, len - pos);

    m_bAtLineStart = endsWithNewline;
    return Write(out.c_str());
}

CLogFile::~CLogFile()
{
    if (m_bFileOpen && m_pFile)
        fclose(m_pFile);
}

bool CLogFile::Write(const char* text)
{
    std::lock_guard<std::recursive_mutex> lock(LogMutex());
    m_Text += text;
    if (m_bFileOpen && m_pFile)
    {
        fwrite(text, 1, strlen(text), m_pFile);
        fflush(m_pFile);
    }
    return true;
}

bool CLogFile::Close()
{
    std::lock_guard<std::recursive_mutex> lock(LogMutex());
    if (m_bFileOpen)
    {
        if (m_pFile)
            fclose(m_pFile);
        m_pFile = nullptr;
        m_bFileOpen = false;
    }
    return true;
}

std::string CLogFile::GetText()
{
    std::lock_guard<std::recursive_mutex> lock(LogMutex());
    return m_Text;
}

void CLogFile::ClearText()
{
    std::lock_guard<std::recursive_mutex> lock(LogMutex());
    m_Text.clear();
}

void CLogFile::Open(const char* name)
{
    std::lock_guard<std::recursive_mutex> lock(LogMutex());
    m_bFileOpen = true;
    m_Name = name ? name : "";
}

void CLogFile::SetFile(FILE* file)
{
    std::lock_guard<std::recursive_mutex> lock(LogMutex());
    m_pFile = file;
}

std::string FormatString(const char* format, ...)
{
    char buffer[2048];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(buffer, sizeof(buffer), format, args);
    va_end(args);
    if (n < 0)
        buffer[0] = 0;
    return buffer;
}
