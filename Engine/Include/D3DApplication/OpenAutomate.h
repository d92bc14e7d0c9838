#pragma once
// The benchmark harness as the framework sees it: the process-wide option
// table and the three frame reports. This unit stands in until the harness
// client exists; the client replaces it without any caller changing.
#include <cstdint>
#include <string>

class COpenAutomateOptions
{
public:
    static COpenAutomateOptions& Instance();

    bool m_bBenchmark = false;           // running a benchmark under the harness
    uint32_t m_BenchmarkFrames = 3000;   // benchmark length in frames

    // The harness's option values by name: empty text and 0 until the
    // client sets options.
    std::string GetOptionText(const char*) const { return std::string(); }
    int GetOptionInt(const char*) const { return 0; }

private:
    COpenAutomateOptions() = default;
};

void oaStartBenchmark();
void oaDisplayFrame(double seconds);
void oaEndBenchmark();
// One benchmark result, sent as a double.
void oaSendResultValue(const char* name, double value);
