#pragma once
// The framework's own clock of frames: the performance counter when there is
// one, else the millisecond counter, both read through the timers' clock
// source. Process-wide, main thread only.
namespace AppClock {
float Start();
float Stop();
float AbsoluteTime();
float ApplicationTime();
float ElapsedTime();
} // namespace AppClock

// Forgets the clock's counter and times and the frame statistics (with the
// first-frame flag), so that the next frame loop starts as at program start.
void ResetFrameTiming();
