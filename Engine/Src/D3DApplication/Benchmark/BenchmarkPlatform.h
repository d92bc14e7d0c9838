#pragma once
// The little that the option table needs from the operating system.
#include <string>

namespace BenchmarkPlatform
{
// The process command line as the system gives it.
std::string CommandLine();
// A line for an attached debugger.
void DebugOutput(const char* text);
// The program's own path; empty when it cannot be read.
std::string ModulePath();
// The local time as "YYYY-MM-DD hh:mm:ss".
std::string LocalDateTime();
} // namespace BenchmarkPlatform
