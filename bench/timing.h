// Timing for the Windows benchmarks: one run of a body, and the median of
// several.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>

inline double Time(const std::function<void()>& body) {
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  body();
  QueryPerformanceCounter(&end);
  return static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}
