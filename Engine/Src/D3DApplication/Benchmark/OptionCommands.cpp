// The command-line dispatcher and the commands it serves for the harness.
#include "OpenAutomate.h"

#include "BenchmarkPlatform.h"
#include "Log.h"

namespace
{
const char kOptionsFile[] = "options.txt";

void AddEnumValue(COpenAutomateOptions& table, const char* name, const char* value)
{
    TBenchmarkOption option;
    option.Type = BENCHMARK_TYPE_ENUM;
    option.Name = name;
    option.Value = TBenchmarkValueData::FromText(value);
    table.AddOption(option);
}

void AddBool(COpenAutomateOptions& table, const char* name, bool value)
{
    TBenchmarkOption option;
    option.Type = BENCHMARK_TYPE_BOOL;
    option.Name = name;
    option.Value = TBenchmarkValueData::FromBool(value);
    table.AddOption(option);
}
} // namespace

int COpenAutomateOptions::Run(const MainFunction& main)
{
    return Run(BenchmarkPlatform::CommandLine().c_str(), main);
}

int COpenAutomateOptions::Run(const char* commandLine, const MainFunction& main)
{
    const CCommandLineArgs args(commandLine);
    if (args.Find("-install") >= 0)
    {
        Install();
        return 0;
    }
    if (args.Find("-uninstall") >= 0)
    {
        Uninstall();
        return 0;
    }
    const int at = args.Find("-openautomate");
    if (at < 0)
    {
        m_bBenchmark = false;
        main();
        return 0;
    }

    RegisterOptions();
    const char* init = (size_t)at + 1 < args.Count() ? args[at + 1] : "";
    TBenchmarkVersion version = {};
    if (!oaInit(init, &version))
        BenchmarkPlatform::DebugOutput("ERROR: OA did not initialize properly.\n");

    for (;;)
    {
        TBenchmarkCommand command = {};
        command.Size = sizeof(command);
        switch (oaFetchCommand(&command))
        {
        case BENCHMARK_CMD_EXIT:
            return 0;
        case BENCHMARK_CMD_RUN_APP:
            m_bBenchmark = false;
            main();
            return 0;
        case BENCHMARK_CMD_GET_ALL_OPTIONS:
            ReportAllOptions();
            break;
        case BENCHMARK_CMD_GET_CURRENT_OPTIONS:
            ReportCurrentOptions();
            break;
        case BENCHMARK_CMD_SET_OPTIONS:
            SetOptions();
            break;
        case BENCHMARK_CMD_GET_BENCHMARKS:
            oaDeclareBenchmark("benchmark");
            break;
        case BENCHMARK_CMD_RUN:
            m_BenchmarkName = command.Name ? command.Name : "";
            m_bBenchmark = true;
            main();
            break;
        default:
            break;
        }
    }
}

void COpenAutomateOptions::RegisterOptions()
{
    for (const char* resolution : {"800x600", "1024x768", "1280x1024"})
        AddEnumValue(*this, "User/Resolution", resolution);
    AddBool(*this, "User/DisableSound", false);
    AddBool(*this, "User/DisableMusic", false);
    AddBool(*this, "User/HighQualityTextures", true);
    if (FILE* file = std::fopen(kOptionsFile, "rb"))
        Load(file);
}

void COpenAutomateOptions::ReportAllOptions()
{
    for (TBenchmarkOption& option : m_Options)
    {
        // Only an Enum record's value means something to the harness.
        if (option.Type != BENCHMARK_TYPE_ENUM)
            option.Value.Bits = 0;
        oaDeclareOption(&option);
    }
}

void COpenAutomateOptions::ReportCurrentOptions()
{
    for (const ValueMap::value_type& entry : m_Values)
        oaDeclareOptionValue(entry.first.c_str(), entry.second.Type(), entry.second.Data());
}

void COpenAutomateOptions::SetOptions()
{
    while (const TBenchmarkOption* option = oaFetchOptionValue())
        SetValue(option->Name, option->Type, option->Value);
    if (FILE* file = std::fopen(kOptionsFile, "wb"))
        Save(file);
}

void COpenAutomateOptions::Install()
{
    const std::string module = BenchmarkPlatform::ModulePath();
    const size_t slash = module.rfind('\\');
    const std::string folder = slash == std::string::npos ? std::string() : module.substr(0, slash + 1);
    const std::string when = BenchmarkPlatform::LocalDateTime();
    TBenchmarkInstallRecord record;
    record.InstallRootPath = folder.c_str();
    record.EntryExe = module.c_str();
    record.InstallDateTime = when.c_str();
    record.Region = "en_EN";
    COpenAutomateClient::RegisterApp(BENCHMARK_REG_FOLDER_ENV, AppId(), record);
}

void COpenAutomateOptions::Uninstall()
{
    COpenAutomateClient::UnregisterApp(BENCHMARK_REG_FOLDER_ENV, AppId());
}
