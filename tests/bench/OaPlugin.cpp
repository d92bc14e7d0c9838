// A benchmark harness plug-in of our own for the tests and the benchmark
// script. It writes every call it receives to a text file, serves a command
// list and option values, and reports its version and table size, all as its
// initialisation argument says: "key=value" items joined by '&':
//   calls=FILE       the record file (appended to)
//   version=MAJ.MIN  the version it reports (default 1.0)
//   size=BYTES       the table size it reports (default the whole table)
//   table=null       return no table;  fetch=null  leave the command slot empty
//   commands=2,3,4,5,6:NAME,...  the commands served in order, then 0
//   set=NAME:TYPE:VALUE|...      the values served by every set-options command
//                                (TYPE a type name or number; "~" a null pointer)
// At the end of each benchmark it writes one summary line:
//   ends frames=N seconds=S avg=FPS low=FPS high=FPS load=S peak_mb=MB
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "OpenAutomateClient.h"

namespace
{
struct ServedValue
{
    std::string name, text;
    bool nullName = false, nullText = false;
    TBenchmarkOption record;
};

FILE* g_pCalls = nullptr;
TBenchmarkFunctionTable g_Table;
std::vector<TBenchmarkCommand> g_Commands;
std::vector<std::string> g_CommandNames;
size_t g_NextCommand = 0;
std::vector<ServedValue> g_Values;
size_t g_NextValue = 0;

// Frame statistics of the running benchmark, by the wall clock.
LARGE_INTEGER g_Frequency;
double g_BeginTime = 0, g_LastFrame = 0, g_WindowStart = 0;
unsigned g_Frames = 0, g_WindowFrames = 0;
double g_LowFps = 0, g_HighFps = 0, g_LoadSeconds = 0;

const char* const kTypeNames[] = {"Invalid", "String", "Int", "Float", "Enum", "Bool"};

const char* TypeName(int32_t type)
{
    return type >= 0 && type <= 5 ? kTypeNames[type] : "Unknown";
}

int32_t TypeCode(const std::string& name)
{
    for (int32_t i = 0; i <= 5; ++i)
        if (name == kTypeNames[i])
            return i;
    return std::atoi(name.c_str());
}

std::string Format(int32_t type, const TBenchmarkValueData* value)
{
    if (!value)
        return "(null)";
    char text[64];
    switch (type)
    {
    case BENCHMARK_TYPE_STRING:
    case BENCHMARK_TYPE_ENUM:
        return value->Text ? value->Text : "(null)";
    case BENCHMARK_TYPE_INT:
        std::snprintf(text, sizeof(text), "%d", value->Int);
        return text;
    case BENCHMARK_TYPE_FLOAT:
        std::snprintf(text, sizeof(text), "%g", value->Float);
        return text;
    case BENCHMARK_TYPE_BOOL:
        return value->Int ? "True" : "False";
    default:
        return "?";
    }
}

void Record(const std::string& line)
{
    if (!g_pCalls)
        return;
    std::fprintf(g_pCalls, "%s\n", line.c_str());
    std::fflush(g_pCalls);
}

double Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart / (double)g_Frequency.QuadPart;
}

std::vector<std::string> SplitText(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t at = 0;
    while (at <= text.size())
    {
        size_t next = text.find(separator, at);
        if (next == std::string::npos)
            next = text.size();
        parts.push_back(text.substr(at, next - at));
        at = next + 1;
    }
    return parts;
}

// --- The table's functions ---------------------------------------------------

int32_t FetchCommand(TBenchmarkCommand* command)
{
    int32_t code = 0;
    const char* name = nullptr;
    if (g_NextCommand < g_Commands.size())
    {
        code = g_Commands[g_NextCommand].Code;
        name = g_CommandNames[g_NextCommand].empty() ? nullptr : g_CommandNames[g_NextCommand].c_str();
        ++g_NextCommand;
    }
    char line[64];
    std::snprintf(line, sizeof(line), "fetch %d size=%u", code, command ? command->Size : 0u);
    Record(line);
    if (command)
    {
        command->Code = code;
        command->Name = name;
    }
    g_NextValue = 0;
    return code;
}

const TBenchmarkOption* FetchOptionValue()
{
    if (g_NextValue >= g_Values.size())
    {
        Record("fetch-option end");
        return nullptr;
    }
    ServedValue& v = g_Values[g_NextValue++];
    Record("fetch-option " + (v.nullName ? std::string("~") : v.name));
    return &v.record;
}

void DeclareOption(const TBenchmarkOption* option)
{
    std::string line = std::string("option ") + (option->Name ? option->Name : "(null)") + " " +
                       TypeName(option->Type) + " " + Format(option->Type, &option->Value);
    if (option->Type == BENCHMARK_TYPE_INT)
        line += " " + std::to_string(option->Min.Int) + ".." + std::to_string(option->Max.Int) + "/" +
                std::to_string(option->NumSteps);
    line += " size=" + std::to_string(option->Size) + " tag=" + std::to_string(option->Tag);
    Record(line);
}

void DeclareOptionValue(const char* name, int32_t type, const TBenchmarkValueData* value)
{
    Record(std::string("value ") + (name ? name : "(null)") + " " + TypeName(type) + " " + Format(type, value));
}

void DeclareBenchmark(const char* name)
{
    Record(std::string("benchmark ") + (name ? name : "(null)"));
}

void SendResultValue(const char* name, int32_t type, const TBenchmarkValueData* value)
{
    Record(std::string("result ") + (name ? name : "(null)") + " " + TypeName(type) + " " + Format(type, value));
}

void BenchmarkBegins()
{
    g_BeginTime = g_LastFrame = g_WindowStart = Now();
    g_Frames = g_WindowFrames = 0;
    g_LowFps = g_HighFps = 0;
    // From the start of the process to the first frame.
    FILETIME created, exited, kernel, user, now;
    g_LoadSeconds = 0;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
    {
        GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER a, b;
        a.LowPart = created.dwLowDateTime;
        a.HighPart = created.dwHighDateTime;
        b.LowPart = now.dwLowDateTime;
        b.HighPart = now.dwHighDateTime;
        g_LoadSeconds = b.QuadPart > a.QuadPart ? (double)(b.QuadPart - a.QuadPart) * 1e-7 : 0;
    }
    Record("begins");
}

void FrameDrawn(double seconds)
{
    const double now = Now();
    ++g_Frames;
    ++g_WindowFrames;
    g_LastFrame = now;
    // Frame rates over whole seconds, as a viewer would see them.
    if (now - g_WindowStart >= 1.0)
    {
        const double fps = g_WindowFrames / (now - g_WindowStart);
        if (g_LowFps == 0 || fps < g_LowFps)
            g_LowFps = fps;
        if (fps > g_HighFps)
            g_HighFps = fps;
        g_WindowStart = now;
        g_WindowFrames = 0;
    }
    char line[64];
    std::snprintf(line, sizeof(line), "frame %.3f", seconds);
    Record(line);
}

void BenchmarkEnds()
{
    const double span = g_LastFrame - g_BeginTime;
    const double avg = span > 0 ? g_Frames / span : 0;
    if (g_LowFps == 0)
        g_LowFps = g_HighFps = avg;
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    double peak = 0;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory)))
        peak = (double)memory.PeakWorkingSetSize / (1024.0 * 1024.0);
    char line[256];
    std::snprintf(line, sizeof(line), "ends frames=%u seconds=%.3f avg=%.2f low=%.2f high=%.2f load=%.2f peak_mb=%.1f",
                  g_Frames, span, avg, g_LowFps, g_HighFps, g_LoadSeconds, peak);
    Record(line);
}

void ParseArgument(const std::string& argument, TBenchmarkVersion* version)
{
    std::memset(&g_Table, 0, sizeof(g_Table));
    g_Table.TableSize = sizeof(g_Table);
    g_Table.FetchCommand = FetchCommand;
    g_Table.FetchOptionValue = FetchOptionValue;
    g_Table.DeclareOption = DeclareOption;
    g_Table.DeclareOptionValue = DeclareOptionValue;
    g_Table.DeclareBenchmark = DeclareBenchmark;
    g_Table.SendResultValue = SendResultValue;
    g_Table.BenchmarkBegins = BenchmarkBegins;
    g_Table.FrameDrawn = FrameDrawn;
    g_Table.BenchmarkEnds = BenchmarkEnds;
    *version = {1, 0, 0, 0};
    g_Commands.clear();
    g_CommandNames.clear();
    g_Values.clear();
    g_NextCommand = g_NextValue = 0;

    for (const std::string& item : SplitText(argument, '&'))
    {
        const size_t eq = item.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = item.substr(0, eq), value = item.substr(eq + 1);
        if (key == "calls")
        {
            if (g_pCalls)
                std::fclose(g_pCalls);
            g_pCalls = std::fopen(value.c_str(), "ab");
        }
        else if (key == "version")
        {
            version->Major = std::atoi(value.c_str());
            const size_t dot = value.find('.');
            version->Minor = dot == std::string::npos ? 0 : std::atoi(value.c_str() + dot + 1);
        }
        else if (key == "size")
            g_Table.TableSize = (uintptr_t)std::strtoull(value.c_str(), nullptr, 10);
        else if (key == "fetch" && value == "null")
            g_Table.FetchCommand = nullptr;
        else if (key == "commands")
            for (const std::string& c : SplitText(value, ','))
            {
                if (c.empty())
                    continue;
                TBenchmarkCommand command = {};
                command.Code = std::atoi(c.c_str());
                const size_t colon = c.find(':');
                g_Commands.push_back(command);
                g_CommandNames.push_back(colon == std::string::npos ? "" : c.substr(colon + 1));
            }
        else if (key == "set")
            for (const std::string& v : SplitText(value, '|'))
            {
                const std::vector<std::string> parts = SplitText(v, ':');
                if (parts.size() != 3)
                    continue;
                ServedValue served;
                served.name = parts[0];
                served.nullName = parts[0] == "~";
                served.text = parts[2];
                served.nullText = parts[2] == "~";
                served.record.Type = TypeCode(parts[1]);
                g_Values.push_back(served);
            }
    }
    // The records point into the stored texts, which no longer move.
    for (ServedValue& v : g_Values)
    {
        const int32_t type = v.record.Type;
        v.record = TBenchmarkOption();
        v.record.Type = type;
        v.record.Name = v.nullName ? nullptr : v.name.c_str();
        switch (type)
        {
        case BENCHMARK_TYPE_STRING:
        case BENCHMARK_TYPE_ENUM:
            v.record.Value.Text = v.nullText ? nullptr : v.text.c_str();
            break;
        case BENCHMARK_TYPE_FLOAT:
            v.record.Value.Float = std::atof(v.text.c_str());
            break;
        case BENCHMARK_TYPE_BOOL:
            v.record.Value.Int = v.text == "True";
            break;
        default:
            v.record.Value.Int = std::atoi(v.text.c_str());
            break;
        }
    }
}
} // namespace

extern "C" __declspec(dllexport) const TBenchmarkFunctionTable* oaPluginInit(const char* argument,
                                                                             TBenchmarkVersion* pluginVersion,
                                                                             TBenchmarkVersion clientVersion)
{
    QueryPerformanceFrequency(&g_Frequency);
    const std::string text = argument ? argument : "";
    ParseArgument(text, pluginVersion);
    char line[64];
    std::snprintf(line, sizeof(line), " client=%d.%d.%d.%d", clientVersion.Major, clientVersion.Minor,
                  clientVersion.Custom, clientVersion.Build);
    Record("init argument=" + text + line);
    if (text.find("table=null") != std::string::npos)
        return nullptr;
    return &g_Table;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_DETACH && g_pCalls)
    {
        std::fclose(g_pCalls);
        g_pCalls = nullptr;
    }
    return TRUE;
}
