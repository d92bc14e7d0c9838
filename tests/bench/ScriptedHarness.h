#pragma once
// A scripted benchmark harness for the native tests: the harness calls of
// the client, answered from a command list and a list of option values, and
// every call written down as one line of text.
#include <string>
#include <vector>

#include "OpenAutomateClient.h"

struct ScriptedHarness
{
    bool initResult = true;
    std::vector<TBenchmarkCommand> commands;     // served in order, then 0
    std::vector<TBenchmarkOption> optionValues;  // served by each set-options command
    std::vector<std::string> calls;

    static ScriptedHarness& Get();
    void Reset() { *this = ScriptedHarness(); }
};
