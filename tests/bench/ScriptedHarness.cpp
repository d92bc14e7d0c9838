#include "ScriptedHarness.h"

#include "OpenAutomate.h"

namespace
{
size_t g_NextCommand = 0;
size_t g_NextValue = 0;
bool g_bInitialized = false;

void Call(const std::string& line)
{
    ScriptedHarness::Get().calls.push_back(line);
}

std::string Value(int32_t type, const TBenchmarkValueData* value)
{
    return value ? COpenAutomateOptions::FormatValue(type, *value) : "(null)";
}
} // namespace

ScriptedHarness& ScriptedHarness::Get()
{
    static ScriptedHarness harness;
    return harness;
}

bool oaInit(const char* initString, TBenchmarkVersion* version)
{
    Call(std::string("init ") + initString);
    g_NextCommand = 0;
    g_bInitialized = ScriptedHarness::Get().initResult;
    if (g_bInitialized)
        *version = {1, 0, 0, 1};
    return g_bInitialized;
}

int32_t oaFetchCommand(TBenchmarkCommand* command)
{
    const ScriptedHarness& h = ScriptedHarness::Get();
    if (!g_bInitialized || g_NextCommand >= h.commands.size())
    {
        command->Code = 0;
        g_bInitialized = false;
        return 0;
    }
    const TBenchmarkCommand& next = h.commands[g_NextCommand++];
    command->Code = next.Code;
    command->Name = next.Name;
    g_NextValue = 0;
    return next.Code;
}

const TBenchmarkOption* oaFetchOptionValue()
{
    const ScriptedHarness& h = ScriptedHarness::Get();
    if (g_NextValue >= h.optionValues.size())
        return nullptr;
    return &h.optionValues[g_NextValue++];
}

void oaDeclareOption(const TBenchmarkOption* option)
{
    std::string line = std::string("option ") + option->Name + " " + COpenAutomateOptions::TypeName(option->Type) +
                       " " + Value(option->Type, &option->Value);
    if (option->Type == BENCHMARK_TYPE_INT)
        line += " " + std::to_string(option->Min.Int) + ".." + std::to_string(option->Max.Int) + "/" +
                std::to_string(option->NumSteps);
    Call(line);
}

void oaDeclareOptionValue(const char* name, int32_t type, const TBenchmarkValueData* value)
{
    Call(std::string("value ") + name + " " + COpenAutomateOptions::TypeName(type) + " " + Value(type, value));
}

void oaDeclareBenchmark(const char* name)
{
    Call(std::string("benchmark ") + name);
}

void oaSendResultValue(const char* name, int32_t type, const TBenchmarkValueData* value)
{
    Call(std::string("result ") + name + " " + Value(type, value));
}

void oaBenchmarkBegins()
{
    Call("begins");
}

void oaFrameDrawn(double)
{
    Call("frame");
}

void oaBenchmarkEnds()
{
    Call("ends");
}

void COpenAutomateClient::Cleanup()
{
    g_bInitialized = false;
}

bool COpenAutomateClient::IsInitialized()
{
    return g_bInitialized;
}

bool COpenAutomateClient::RegisterApp(int kind, const TBenchmarkAppId& id, const TBenchmarkInstallRecord& record)
{
    Call("register " + std::to_string(kind) + " " + id.Vendor + "\\" + id.Name + "\\" + id.Version + " region " +
         record.Region);
    return true;
}

bool COpenAutomateClient::UnregisterApp(int kind, const TBenchmarkAppId& id)
{
    Call("unregister " + std::to_string(kind) + " " + id.Vendor + "\\" + id.Name + "\\" + id.Version);
    return true;
}
