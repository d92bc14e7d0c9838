#pragma once
// The benchmark harness client. The harness starts the program with
// "-openautomate" and an initialisation string "PLUGIN_PATH;ARGUMENT" ("%20"
// stands for a blank); the client loads that plug-in, takes its table of
// functions and forwards the calls below to it. The state is process-wide.
//
// The records handed to the plug-in use native pointers: in our 64-bit build
// every pointer field is 8 bytes and every table slot is pointer-sized.
#include <cstddef>
#include <cstdint>
#include <cstring>

// Type code of an option or a value.
enum BenchmarkOptionType : int32_t
{
    BENCHMARK_TYPE_INVALID = 0,
    BENCHMARK_TYPE_STRING = 1,
    BENCHMARK_TYPE_INT = 2,
    BENCHMARK_TYPE_FLOAT = 3,
    BENCHMARK_TYPE_ENUM = 4,
    BENCHMARK_TYPE_BOOL = 5,
};

// String and Enum values hold a text.
inline bool IsBenchmarkTextType(int32_t type)
{
    return type == BENCHMARK_TYPE_STRING || type == BENCHMARK_TYPE_ENUM;
}

// The 8-byte value of an option, read by its type.
union TBenchmarkValueData
{
    int32_t Int;        // Int; Bool (0 false, non-zero true)
    double Float;       // Float
    const char* Text;   // String and Enum: a zero-terminated text
    uint64_t Bits;

    static TBenchmarkValueData FromInt(int32_t v)
    {
        TBenchmarkValueData d;
        d.Bits = 0;
        d.Int = v;
        return d;
    }
    static TBenchmarkValueData FromBool(bool v) { return FromInt(v ? 1 : 0); }
    static TBenchmarkValueData FromFloat(double v)
    {
        TBenchmarkValueData d;
        d.Float = v;
        return d;
    }
    static TBenchmarkValueData FromText(const char* v)
    {
        TBenchmarkValueData d;
        d.Bits = 0;
        d.Text = v;
        return d;
    }
};
static_assert(sizeof(TBenchmarkValueData) == 8, "an option value is 8 bytes");

// One option as the harness sees it. An Enum option is declared by one
// record per enumerated value, all with the same name. The constructor is
// the initialiser: everything zero, size 80, steps -1, Tag 32.
struct TBenchmarkOption
{
    uint32_t Size;
    int32_t Type;               // BenchmarkOptionType
    const char* Name;
    TBenchmarkValueData Value;  // Enum: the value this record declares; else the default
    TBenchmarkValueData Min;    // Int only
    TBenchmarkValueData Max;    // Int only
    int32_t NumSteps;           // steps between Min and Max; -1 when not set
    uint32_t Reserved0;
    uint32_t Tag;               // the harness's own field; 32 from the initialiser
    uint8_t Reserved[28];

    TBenchmarkOption()
    {
        std::memset(this, 0, sizeof(*this));
        Size = sizeof(TBenchmarkOption);
        NumSteps = -1;
        Tag = 32;
    }
};
static_assert(sizeof(TBenchmarkOption) == 80, "the option record is 80 bytes");
static_assert(offsetof(TBenchmarkOption, Tag) == 48, "the option record's layout is shared with the plug-in");

// The record that the harness fills on every command fetch.
struct TBenchmarkCommand
{
    uint32_t Size;     // sizeof(TBenchmarkCommand), set before each fetch
    int32_t Code;      // BenchmarkCommandCode
    const char* Name;  // the benchmark's name for BENCHMARK_CMD_RUN
};

enum BenchmarkCommandCode : int32_t
{
    BENCHMARK_CMD_EXIT = 0,
    BENCHMARK_CMD_RUN_APP = 1,
    BENCHMARK_CMD_GET_ALL_OPTIONS = 2,
    BENCHMARK_CMD_GET_CURRENT_OPTIONS = 3,
    BENCHMARK_CMD_SET_OPTIONS = 4,
    BENCHMARK_CMD_GET_BENCHMARKS = 5,
    BENCHMARK_CMD_RUN = 6,
};

struct TBenchmarkVersion
{
    int32_t Major, Minor, Custom, Build;
};

// The plug-in's function table: slot 0 is the table's size in bytes as the
// plug-in reports it, the other slots are plain C functions.
typedef int32_t (*TBenchmarkFetchCommandFn)(TBenchmarkCommand* command);
typedef const TBenchmarkOption* (*TBenchmarkFetchOptionValueFn)();
typedef void (*TBenchmarkDeclareOptionFn)(const TBenchmarkOption* option);
typedef void (*TBenchmarkValueFn)(const char* name, int32_t type, const TBenchmarkValueData* value);
typedef void (*TBenchmarkDeclareBenchmarkFn)(const char* name);
typedef void (*TBenchmarkVoidFn)();
typedef void (*TBenchmarkFrameFn)(double seconds);

struct TBenchmarkFunctionTable
{
    uintptr_t TableSize;
    TBenchmarkFetchCommandFn FetchCommand;
    TBenchmarkFetchOptionValueFn FetchOptionValue;
    TBenchmarkDeclareOptionFn DeclareOption;
    TBenchmarkValueFn DeclareOptionValue;
    TBenchmarkDeclareBenchmarkFn DeclareBenchmark;
    TBenchmarkValueFn SendResultValue;
    TBenchmarkVoidFn BenchmarkBegins;
    TBenchmarkFrameFn FrameDrawn;
    TBenchmarkVoidFn BenchmarkEnds;
    void* Unused[2];
};

// The plug-in's entry point, exported as "oaPluginInit": the plug-in's
// argument text, its version (filled by the plug-in) and the client's
// version; returns the plug-in's function table.
typedef const TBenchmarkFunctionTable* (*TBenchmarkPluginInitFn)(const char* argument,
                                                                 TBenchmarkVersion* pluginVersion,
                                                                 TBenchmarkVersion clientVersion);

// Starts the client from the initialisation string; on success `version`
// receives the client's version 1.0.0.1.
bool oaInit(const char* initString, TBenchmarkVersion* version);

// The calls forwarded to the plug-in. Before oaInit succeeded (and after
// oaFetchCommand returned 0) each writes "ERROR: OA not initialized." to the
// standard error stream and returns null or 0.
int32_t oaFetchCommand(TBenchmarkCommand* command);
const TBenchmarkOption* oaFetchOptionValue();
void oaDeclareOption(const TBenchmarkOption* option);
void oaDeclareOptionValue(const char* name, int32_t type, const TBenchmarkValueData* value);
void oaDeclareBenchmark(const char* name);
void oaSendResultValue(const char* name, int32_t type, const TBenchmarkValueData* value);
void oaBenchmarkBegins();
void oaFrameDrawn(double seconds);
void oaBenchmarkEnds();

struct TBenchmarkAppId
{
    const char* Vendor;
    const char* Name;
    const char* Version;
};

struct TBenchmarkInstallRecord
{
    const char* InstallRootPath;
    const char* EntryExe;
    const char* InstallDateTime;
    const char* Region;
};

// Where a registration is kept.
enum BenchmarkRegistrationKind
{
    BENCHMARK_REG_FOLDER_ENV = 1,      // %OPENAUTOMATE_DIR%\OpenAutomate\RegisteredApps
    BENCHMARK_REG_FOLDER_HOME = 2,     // %HOMEDRIVE%\%HOMEPATH%\.OpenAutomate\RegisteredApps
    BENCHMARK_REG_FOLDER_SYSTEM = 4,   // %SystemRoot%\OpenAutomate\RegisteredApps
    BENCHMARK_REG_KEY_USER = 8,        // HKEY_CURRENT_USER\SOFTWARE\OpenAutomate\RegisteredApps
    BENCHMARK_REG_KEY_MACHINE = 15,    // HKEY_LOCAL_MACHINE\SOFTWARE\OpenAutomate\RegisteredApps
};

class COpenAutomateClient
{
public:
    // Unloads the plug-in and forgets the table; the client is then not
    // initialised.
    static void Cleanup();

    // Writes the registration (file or registry key); true when written.
    static bool RegisterApp(int kind, const TBenchmarkAppId& id, const TBenchmarkInstallRecord& record);
    // True when no registration remains.
    static bool UnregisterApp(int kind, const TBenchmarkAppId& id);

    static bool IsInitialized();
};
