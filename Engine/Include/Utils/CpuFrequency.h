#pragma once
// Estimate of the processor clock: time-stamp-counter ticks over a 50 ms
// busy wait on the performance counter, less the ticks of the same
// measurement without the wait.
#include <cstdint>

typedef void (*CpuWaitFn)(int ms);

void WaitMilliseconds(int ms);
void WaitReference(int ms);
// Ticks that pass while wait(50) runs.
uint64_t MeasureCpuTicks(CpuWaitFn wait);
// The clock in MHz.
uint64_t GetCpuFrequency();
void GetCpuFrequency(uint64_t* mhz);
