// The option table: declared options, current values and the text format of
// "options.txt".
#include "OpenAutomate.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Log.h"

namespace
{
const char* const kTypeNames[] = {"Invalid", "String", "Int", "Float", "Enum", "Bool"};
// Longest line of "options.txt" that is read; longer lines are skipped whole.
const size_t kMaxLineLength = 1023;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
} // namespace

COpenAutomateOptions& COpenAutomateOptions::Instance()
{
    static COpenAutomateOptions options;
    return options;
}

COpenAutomateOptions::COpenAutomateOptions() = default;

const TBenchmarkAppId& COpenAutomateOptions::AppId()
{
    static const TBenchmarkAppId id = {"VELLOMARIS", "Tarnholm 3D Screensaver", "1.0.0"};
    return id;
}

const TBenchmarkOption* COpenAutomateOptions::FindDeclared(const std::string& name) const
{
    for (const TBenchmarkOption& option : m_Options)
        if (name == option.Name)
            return &option;
    return nullptr;
}

void COpenAutomateOptions::AddOption(const TBenchmarkOption& option)
{
    if (!option.Name)
    {
        g_Log.Printf("Benchmark option without a name ignored\n");
        return;
    }
    if (IsBenchmarkTextType(option.Type) && !option.Value.Text)
    {
        g_Log.Printf("Benchmark option \"%s\" without a value ignored\n", option.Name);
        return;
    }
    if (const TBenchmarkOption* declared = FindDeclared(option.Name))
        if (declared->Type != option.Type)
        {
            g_Log.Printf("Benchmark option \"%s\" is already declared as %s; the %s declaration is ignored\n",
                         option.Name, TypeName(declared->Type), TypeName(option.Type));
            return;
        }
    TBenchmarkOption copy = option;
    m_OwnedTexts.push_back(std::make_unique<std::string>(option.Name));
    copy.Name = m_OwnedTexts.back()->c_str();
    if (IsBenchmarkTextType(option.Type))
    {
        m_OwnedTexts.push_back(std::make_unique<std::string>(option.Value.Text));
        copy.Value.Text = m_OwnedTexts.back()->c_str();
    }
    m_Options.push_back(copy);
    SetValue(copy.Name, copy.Type, copy.Value);
}

bool COpenAutomateOptions::SetValue(const char* name, int32_t type, const TBenchmarkValueData& value)
{
    if (!name)
    {
        g_Log.Printf("Benchmark value without a name ignored\n");
        return false;
    }
    if (IsBenchmarkTextType(type) && !value.Text)
    {
        g_Log.Printf("Benchmark value \"%s\" without text ignored\n", name);
        return false;
    }
    // A declared option is always read as its declared type.
    if (const TBenchmarkOption* declared = FindDeclared(name))
        if (declared->Type != type)
        {
            g_Log.Printf("Benchmark option \"%s\" is %s; a value of type %s is ignored\n", name,
                         TypeName(declared->Type), TypeName(type));
            return false;
        }
    m_Values[name] = TBenchmarkValue(name, type, value);
    return true;
}

TBenchmarkValue& COpenAutomateOptions::operator[](const std::string& name)
{
    ValueMap::iterator it = m_Values.find(name);
    if (it == m_Values.end())
        it = m_Values.emplace(name, TBenchmarkValue(name, BENCHMARK_TYPE_INVALID, TBenchmarkValueData::FromInt(0)))
                 .first;
    return it->second;
}

std::string COpenAutomateOptions::GetValue(const std::string& name)
{
    return (*this)[name].Text();
}

const char* COpenAutomateOptions::TypeName(int32_t type)
{
    if (type >= 0 && type < (int32_t)(sizeof(kTypeNames) / sizeof(kTypeNames[0])))
        return kTypeNames[type];
    return "Unknown";
}

int32_t COpenAutomateOptions::TypeFromName(const char* name)
{
    for (int32_t type = BENCHMARK_TYPE_STRING; type <= BENCHMARK_TYPE_BOOL; ++type)
        if (name && std::strcmp(name, kTypeNames[type]) == 0)
            return type;
    return BENCHMARK_TYPE_INVALID;
}

TBenchmarkValueData COpenAutomateOptions::ParseValue(const char* text, int32_t type)
{
    switch (type)
    {
    case BENCHMARK_TYPE_STRING:
    case BENCHMARK_TYPE_ENUM:
        return TBenchmarkValueData::FromText(text);
    case BENCHMARK_TYPE_INT:
    {
        // As atoi, but a number out of range saturates instead of being
        // undefined.
        errno = 0;
        long long v = std::strtoll(text, nullptr, 10);
        if (v > INT_MAX)
            v = INT_MAX;
        if (v < INT_MIN)
            v = INT_MIN;
        return TBenchmarkValueData::FromInt((int32_t)v);
    }
    case BENCHMARK_TYPE_FLOAT:
    {
        double v = std::strtod(text, nullptr);
        // Kept at single precision; a finite number beyond its range
        // saturates.
        if (std::isfinite(v) && std::fabs(v) > FLT_MAX)
            v = v > 0 ? FLT_MAX : -FLT_MAX;
        return TBenchmarkValueData::FromFloat((double)(float)v);
    }
    case BENCHMARK_TYPE_BOOL:
        return TBenchmarkValueData::FromBool(std::strcmp(text, "True") == 0);
    default:
        return TBenchmarkValueData::FromInt(0);
    }
}

std::string COpenAutomateOptions::FormatValue(int32_t type, const TBenchmarkValueData& value)
{
    char buffer[512];
    switch (type)
    {
    case BENCHMARK_TYPE_STRING:
    case BENCHMARK_TYPE_ENUM:
        return value.Text ? value.Text : "";
    case BENCHMARK_TYPE_INT:
        std::snprintf(buffer, sizeof(buffer), "%i", value.Int);
        return buffer;
    case BENCHMARK_TYPE_FLOAT:
        std::snprintf(buffer, sizeof(buffer), "%f", value.Float);
        return buffer;
    case BENCHMARK_TYPE_BOOL:
        return value.Int ? "True" : "False";
    default:
        return "Unknown";
    }
}

bool MatchBenchmarkOptionLine(const std::string& line, std::string& name, std::string& type, std::string& value)
{
    // The match lies inside one run of non-blank characters: the first run
    // that holds "A;B;C" with A, B and C not empty. The name takes as much as
    // it can, then the type; the value runs to the end of the run.
    const size_t n = line.size();
    size_t start = 0;
    while (start < n)
    {
        while (start < n && IsBlank(line[start]))
            ++start;
        size_t end = start;
        while (end < n && !IsBlank(line[end]))
            ++end;
        if (end - start >= 5)
        {
            // Second separator: the last ';' that leaves a value behind it.
            size_t second = std::string::npos;
            for (size_t i = end - 2; i >= start + 3; --i)
                if (line[i] == ';')
                {
                    second = i;
                    break;
                }
            if (second != std::string::npos)
                for (size_t i = second - 2; i >= start + 1; --i)
                    if (line[i] == ';')
                    {
                        name.assign(line, start, i - start);
                        type.assign(line, i + 1, second - i - 1);
                        value.assign(line, second + 1, end - second - 1);
                        return true;
                    }
        }
        start = end;
    }
    return false;
}

void COpenAutomateOptions::Load(FILE* file)
{
    if (!file)
        return;
    unsigned lineNumber = 0;
    std::string line;
    bool more = true;
    while (more)
    {
        line.clear();
        bool tooLong = false, hasZero = false;
        int c;
        while ((c = std::fgetc(file)) != EOF && c != '\n')
        {
            if (c == 0)
                hasZero = true;
            if (line.size() < kMaxLineLength)
                line.push_back((char)c);
            else
                tooLong = true;
        }
        more = c != EOF;
        if (!more && line.empty())
            break;
        ++lineNumber;
        if (tooLong || hasZero)
        {
            g_Log.Printf("options.txt line %u is %s; skipped\n", lineNumber,
                         tooLong ? "too long" : "not text");
            continue;
        }
        std::string name, typeName, text;
        if (!MatchBenchmarkOptionLine(line, name, typeName, text))
        {
            if (!line.empty() && line != "\r")
                g_Log.Printf("options.txt line %u is not \"name;type;value\"; skipped\n", lineNumber);
            continue;
        }
        const int32_t type = TypeFromName(typeName.c_str());
        SetValue(name.c_str(), type, ParseValue(text.c_str(), type));
    }
    std::fclose(file);
}

void COpenAutomateOptions::Save(FILE* file)
{
    if (!file)
        return;
    for (const ValueMap::value_type& entry : m_Values)
    {
        const TBenchmarkValue& v = entry.second;
        std::fprintf(file, "%s;%s;%s\n", v.Name().c_str(), TypeName(v.Type()),
                     FormatValue(v.Type(), *v.Data()).c_str());
    }
    std::fclose(file);
}
