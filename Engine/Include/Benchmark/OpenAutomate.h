#pragma once
// The benchmark options and the main program's command line.
//
// COpenAutomateOptions is the process-wide table of benchmark options and
// the dispatcher of the command line: "-install" and "-uninstall" write or
// remove the program's registration with the benchmark harness, "-openautomate
// INIT" serves the harness (the main function runs once per benchmark
// request), and without these switches the main function runs once. Option
// values persist between harness runs in "options.txt" in the working folder,
// one line "name;type;value" each.
#include <boost/function.hpp>

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "OpenAutomateClient.h"

// One current value: name, type and value; a String or Enum entry owns its
// text.
class TBenchmarkValue
{
public:
    TBenchmarkValue();
    TBenchmarkValue(const std::string& name, int32_t type, const TBenchmarkValueData& value);
    TBenchmarkValue(const TBenchmarkValue& other);
    TBenchmarkValue& operator=(const TBenchmarkValue& other);

    const std::string& Name() const { return m_Name; }
    int32_t Type() const { return m_Type; }
    // The 8-byte value; for String and Enum it points at the owned text.
    const TBenchmarkValueData* Data() const;

    int32_t Int() const { return m_Value.Int; }      // Int; Bool as 0 / non-zero
    bool Bool() const { return m_Value.Int != 0; }
    double Float() const { return m_Value.Float; }
    std::string Text() const;                        // String and Enum; else empty

private:
    std::string m_Name;
    int32_t m_Type = BENCHMARK_TYPE_INVALID;
    TBenchmarkValueData m_Value;
    std::string m_Text;
};

// The process command line split into arguments, as the program's switches
// read it: arguments are separated by white space; an argument opened by a
// double quote ends at a double quote followed by white space or by the end
// of the text; there is no escape character. White space at the very end
// yields a final empty argument.
class CCommandLineArgs
{
public:
    explicit CCommandLineArgs(const char* commandLine);
    CCommandLineArgs(const CCommandLineArgs&) = delete;
    CCommandLineArgs& operator=(const CCommandLineArgs&) = delete;

    size_t Count() const { return m_Args.size(); }
    const char* operator[](size_t i) const { return m_Args[i]; }
    // Index of the first argument equal to `text` (whole, case-sensitive), or -1.
    int Find(const char* text) const;

private:
    void Split();

    std::vector<char> m_Text;
    std::vector<const char*> m_Args;
};

class COpenAutomateOptions
{
public:
    typedef boost::function<int()> MainFunction;
    typedef std::map<std::string, TBenchmarkValue> ValueMap;

    static COpenAutomateOptions& Instance();

    // A table of one's own (tests); the program uses Instance().
    COpenAutomateOptions();

    // The command-line dispatcher over the process command line; returns 0.
    int Run(const MainFunction& main);
    // The same over the given command line.
    int Run(const char* commandLine, const MainFunction& main);

    // Appends a copy of the record to the option list and stores its value
    // as the option's current value. A record without a name is refused.
    void AddOption(const TBenchmarkOption& option);
    // Creates or replaces the current value of `name`. A declared option
    // keeps its declared type: a value of another type is logged and
    // ignored, and so is a String or Enum value without text.
    bool SetValue(const char* name, int32_t type, const TBenchmarkValueData& value);

    // The entry for `name`; an absent name is entered with type 0 and value 0.
    TBenchmarkValue& operator[](const std::string& name);
    // The text of a String or Enum value; empty for other types.
    std::string GetValue(const std::string& name);
    int32_t GetInt(const std::string& name) { return (*this)[name].Int(); }
    bool GetBool(const std::string& name) { return (*this)[name].Bool(); }
    double GetFloat(const std::string& name) { return (*this)[name].Float(); }

    bool IsBenchmarkRun() const { return m_bBenchmark; }
    uint32_t GetBenchmarkLength() const { return m_BenchmarkFrames; }
    void SetBenchmarkLength(uint32_t frames) { m_BenchmarkFrames = frames; }
    const std::string& GetBenchmarkName() const { return m_BenchmarkName; }

    const std::vector<TBenchmarkOption>& Options() const { return m_Options; }
    const ValueMap& Values() const { return m_Values; }

    // The steps of the dispatcher.
    void RegisterOptions();
    void Load(FILE* file);
    void Save(FILE* file);
    void ReportAllOptions();
    void ReportCurrentOptions();
    void SetOptions();
    void Install();
    void Uninstall();

    // The conversions of "options.txt".
    static const char* TypeName(int32_t type);
    static int32_t TypeFromName(const char* name);
    // Fills `value`; for String and Enum it points into `text`.
    static TBenchmarkValueData ParseValue(const char* text, int32_t type);
    static std::string FormatValue(int32_t type, const TBenchmarkValueData& value);

    // The application id under which the program registers with the harness.
    static const TBenchmarkAppId& AppId();

    // Read by the frame loop: the benchmark flag and the length in frames.
    bool m_bBenchmark = false;
    uint32_t m_BenchmarkFrames = 3000;

private:
    const TBenchmarkOption* FindDeclared(const std::string& name) const;

    std::vector<TBenchmarkOption> m_Options;
    ValueMap m_Values;
    std::string m_BenchmarkName;
    // The names and Enum texts of the declared options, owned here so that
    // the records' pointers stay valid.
    std::vector<std::unique_ptr<std::string>> m_OwnedTexts;
};

// The "options.txt" line matcher: the first run of the form
// "NAME;TYPE;VALUE" without white space in `line` (as a search for
// "(\S+);(\S+);(\S+)" finds it). True when found.
bool MatchBenchmarkOptionLine(const std::string& line, std::string& name, std::string& type, std::string& value);
