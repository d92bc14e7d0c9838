#pragma once
// The framework's own clock of frames: the performance counter when there is
// one, else timeGetTime. Process-wide, main thread only.
namespace AppClock {
float Start();
float Stop();
float AbsoluteTime();
float ApplicationTime();
float ElapsedTime();
} // namespace AppClock
