#ifndef QUORVANTA_BENCHMARKS_INTERLEAVED_H_
#define QUORVANTA_BENCHMARKS_INTERLEAVED_H_

// Compares versions of one piece of work under the same machine load: short timed batches of each
// run in turn for as long as the benchmark runs, and each version's median batch gives its figure,
// so that a batch another process interrupted weighs no more than any other.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <vector>

namespace benchmark_support {

template <typename Work>
double BatchNanoseconds(Work& work, int batch) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < batch; ++i) {
    work();
  }
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> samples) {
  if (samples.empty()) return 0;
  auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
  std::nth_element(samples.begin(), middle, samples.end());
  return *middle;
}

// Runs `batch` calls of each work in turn per benchmark iteration and sets the counter
// `<name>_ns` of each: its median batch per call.
template <typename... Works>
void RunInterleaved(benchmark::State& state, int batch,
                    const std::array<const char*, sizeof...(Works)>& names, Works&... works) {
  std::array<std::vector<double>, sizeof...(Works)> samples;
  for (auto _ : state) {
    size_t slot = 0;
    ((samples[slot++].push_back(BatchNanoseconds(works, batch))), ...);
  }
  for (size_t slot = 0; slot < names.size(); ++slot) {
    state.counters[std::string(names[slot]) + "_ns"] = Median(samples[slot]) / batch;
  }
}

// Sets the counter `ratio` to the figure of `measured` over that of `baseline`.
inline void SetRatio(benchmark::State& state, const std::string& ratio, const std::string& measured,
                     const std::string& baseline) {
  state.counters[ratio] = state.counters[measured + "_ns"] / state.counters[baseline + "_ns"];
}

}  // namespace benchmark_support

#endif  // QUORVANTA_BENCHMARKS_INTERLEAVED_H_
