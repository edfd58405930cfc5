// Runs the codec and channel benchmarks, then prints each ratio the project holds itself to,
// with its target: the median over the repetitions asked for (--benchmark_repetitions) of the
// ratio each run measured between interleaved batches.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

struct Target {
  const char* label;
  const char* benchmark;
  const char* counter;
  double at_most;  // 0: shown beside the others, without a target
};

const Target kTargets[] = {
    {"encode nested map / msgpack pack", "BM_EncodeNestedMap", "ratio", 1.5},
    {"decode nested map / msgpack unpack + convert", "BM_DecodeNestedMap", "ratio", 1.0},
    {"decode 1 MiB byte list / memcpy", "BM_DecodeByteList", "ratio", 1.1},
    {"decode 1 MiB int32 list / memcpy", "BM_DecodeInt32List", "ratio", 1.1},
    {"decode 1 MiB float64 list / memcpy", "BM_DecodeFloat64List", "ratio", 1.1},
    {"encode 1 MiB byte list / memcpy", "BM_EncodeByteList", "ratio", 1.1},
    {"encode 1 MiB int32 list / memcpy", "BM_EncodeInt32List", "ratio", 1.1},
    {"encode 1 MiB float64 list / memcpy", "BM_EncodeFloat64List", "ratio", 1.1},
    {"\"vpnConnected\" call path / codec floor", "BM_IncomingCall", "ratio", 1.5},
    {"  through the recording fake", "BM_IncomingCall", "recorded_ratio", 0},
    {"  the same without the fake's own work", "BM_IncomingCall", "without_fake", 0},
    {"int32 event path / codec floor", "BM_Event", "ratio", 1.3},
    {"  through the recording fake", "BM_Event", "recorded_ratio", 0},
    {"  the same without the fake's own work", "BM_Event", "without_fake", 0},
};

// Keeps each benchmark's counters: of its median over the repetitions when there are several,
// else of its one run.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so that a saved report stays plain text.
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
        counters_[run.run_name.function_name] = run.counters;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintTable() const {
    std::printf("\n%-46s %8s   %s\n", "Ratio (median, interleaved with its baseline)", "",
                "target");
    for (const Target& target : kTargets) {
      const auto benchmark = counters_.find(target.benchmark);
      if (benchmark == counters_.end()) continue;
      const auto counter = benchmark->second.find(target.counter);
      if (counter == benchmark->second.end()) continue;
      const double ratio = counter->second;
      std::printf("%-46s %7.2fx", target.label, ratio);
      if (target.at_most > 0) {
        std::printf("   <= %.1fx %s", target.at_most, ratio <= target.at_most ? "met" : "missed");
      }
      std::printf("\n");
    }
  }

 private:
  std::map<std::string, benchmark::UserCounters> counters_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  reporter.PrintTable();
  return 0;
}
