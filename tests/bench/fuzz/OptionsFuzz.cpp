// Fuzz target for the benchmark options file and the command line: the input
// is read as "options.txt" and split as a command line. A file read, saved
// and read again saves the same text; the line matcher agrees with the
// regular-expression search it stands for.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>

#include "OpenAutomate.h"

namespace
{
std::string SaveToText(COpenAutomateOptions& table)
{
    char* buffer = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&buffer, &size);
    table.Save(out);
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

void LoadText(COpenAutomateOptions& table, const std::string& text)
{
    if (text.empty())
        return;
    FILE* in = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    table.Load(in);
}

void Declare(COpenAutomateOptions& table)
{
    TBenchmarkOption option;
    option.Type = BENCHMARK_TYPE_BOOL;
    option.Name = "EnableShaders";
    option.Value = TBenchmarkValueData::FromBool(true);
    table.AddOption(option);
    option.Type = BENCHMARK_TYPE_ENUM;
    option.Name = "User/Resolution";
    option.Value = TBenchmarkValueData::FromText("800x600");
    table.AddOption(option);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    COpenAutomateOptions first;
    Declare(first);
    LoadText(first, text);
    const std::string saved = SaveToText(first);
    COpenAutomateOptions second;
    Declare(second);
    LoadText(second, saved);
    if (SaveToText(second) != saved)
        std::abort();

    if (size <= 200 && !std::memchr(data, '\n', size))
    {
        static const std::regex pattern("(\\S+);(\\S+);(\\S+)");
        std::smatch m;
        std::string name, type, value;
        const bool found = std::regex_search(text, m, pattern);
        if (MatchBenchmarkOptionLine(text, name, type, value) != found)
            std::abort();
        if (found && (name != m[1].str() || type != m[2].str() || value != m[3].str()))
            std::abort();
    }

    const CCommandLineArgs args(text.c_str());
    const size_t length = std::strlen(text.c_str());
    if (args.Count() > length + 1)
        std::abort();
    for (size_t i = 0; i < args.Count(); ++i)
        if (std::strlen(args[i]) > length)
            std::abort();
    return 0;
}
