#pragma once
// The one volume law of every sound class. Volumes are whole percentages
// 0..100 (clamped); DirectSound takes hundredths of a decibel, -10000 being
// silence. 5000 x log10 of the fraction: 50 % is -1505, 10 % is -5000.
int PercentToDecibels(int percent);
int DecibelsToPercent(int hundredths);
// A percentage mapped into a sound's own low..high range.
int MapVolumeToRange(int percent, int low, int high);
// Clamps to 0..100.
int ClampPercent(int percent);
