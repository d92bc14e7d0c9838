#pragma once
// The benchmark harness as the framework sees it: the process-wide option
// table and the three frame reports. This unit stands in until the harness
// client exists; the client replaces it without any caller changing.
#include <cstdint>

class COpenAutomateOptions
{
public:
    static COpenAutomateOptions& Instance();

    bool m_bBenchmark = false;           // running a benchmark under the harness
    uint32_t m_BenchmarkFrames = 3000;   // benchmark length in frames

private:
    COpenAutomateOptions() = default;
};

void oaStartBenchmark();
void oaDisplayFrame(double seconds);
void oaEndBenchmark();
