// Speed of the standard codecs, each case beside a baseline from the same run: a memcpy of the
// same bytes into a freshly allocated buffer for the 1 MiB typed lists, and msgpack-cxx packing
// and unpacking the same logical data for the nested map. After the usual table the program
// prints the ratio of each case to its baseline.

#include <benchmark/benchmark.h>
#include <msgpack.hpp>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include <unistd.h>

#include "channels/byte_buffer_streams.h"
#include "channels/standard_codec_serializer.h"
#include "channels/standard_method_codec.h"

namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr size_t kListBytes = 1 << 20;

const flutter::StandardCodecSerializer& Serializer() {
  return flutter::StandardCodecSerializer::GetInstance();
}

std::vector<uint8_t> Encode(const EncodableValue& value) {
  std::vector<uint8_t> bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  Serializer().WriteValue(value, &writer);
  return bytes;
}

template <typename Element>
EncodableValue TypedList() {
  std::vector<Element> list(kListBytes / sizeof(Element));
  for (size_t i = 0; i < list.size(); ++i) list[i] = static_cast<Element>(i * 7 + 1);
  return EncodableValue(std::move(list));
}

void BM_MemcpyOneMiB(benchmark::State& state) {
  const std::vector<uint8_t> source(kListBytes, 0x5A);
  for (auto _ : state) {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[source.size()]);
    std::memcpy(copy.get(), source.data(), source.size());
    benchmark::DoNotOptimize(copy.get());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kListBytes));
}
BENCHMARK(BM_MemcpyOneMiB);

template <typename Element>
void BM_EncodeList(benchmark::State& state) {
  const EncodableValue value = TypedList<Element>();
  for (auto _ : state) {
    std::vector<uint8_t> bytes = Encode(value);
    benchmark::DoNotOptimize(bytes.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kListBytes));
}

template <typename Element>
void BM_DecodeList(benchmark::State& state) {
  const std::vector<uint8_t> bytes = Encode(TypedList<Element>());
  for (auto _ : state) {
    flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
    EncodableValue value = Serializer().ReadValue(&reader);
    benchmark::DoNotOptimize(std::get<std::vector<Element>>(value).data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kListBytes));
}

BENCHMARK(BM_EncodeList<uint8_t>)->Name("BM_EncodeByteList");
BENCHMARK(BM_DecodeList<uint8_t>)->Name("BM_DecodeByteList");
BENCHMARK(BM_EncodeList<int32_t>)->Name("BM_EncodeInt32List");
BENCHMARK(BM_DecodeList<int32_t>)->Name("BM_DecodeInt32List");
BENCHMARK(BM_EncodeList<double>)->Name("BM_EncodeFloat64List");
BENCHMARK(BM_DecodeList<double>)->Name("BM_DecodeFloat64List");

flutter::MethodCall<> ToggleCall() {
  return flutter::MethodCall<>("toggleOpenConnect",
                               std::make_unique<EncodableValue>(
                                   EncodableList{"vpn.example.com", "someone", "correct horse"}));
}

void BM_EncodeToggleCall(benchmark::State& state) {
  const flutter::MethodCall<> call = ToggleCall();
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::GetInstance();
  for (auto _ : state) {
    std::unique_ptr<std::vector<uint8_t>> bytes = codec.EncodeMethodCall(call);
    benchmark::DoNotOptimize(bytes->data());
  }
}
BENCHMARK(BM_EncodeToggleCall);

void BM_DecodeToggleCall(benchmark::State& state) {
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::GetInstance();
  const std::unique_ptr<std::vector<uint8_t>> bytes = codec.EncodeMethodCall(ToggleCall());
  for (auto _ : state) {
    std::unique_ptr<flutter::MethodCall<>> call =
        codec.DecodeMethodCall(bytes->data(), bytes->size());
    benchmark::DoNotOptimize(call->Arguments());
  }
}
BENCHMARK(BM_DecodeToggleCall);

// The nested case: 1,000 string keys, each to a small list of an int32, a float64 and a string.
constexpr int kNestedKeys = 1000;

std::string Key(int i) { return "key-" + std::to_string(i * 7919 % 100000); }

EncodableValue NestedValue() {
  EncodableMap map;
  for (int i = 0; i < kNestedKeys; ++i) {
    map.emplace(Key(i), EncodableList{int32_t{i}, i * 0.5, "value " + std::to_string(i)});
  }
  return EncodableValue(std::move(map));
}

using NativeNested = std::map<std::string, std::tuple<int32_t, double, std::string>>;

NativeNested NativeNestedValue() {
  NativeNested map;
  for (int i = 0; i < kNestedKeys; ++i) {
    map.emplace(Key(i), std::make_tuple(int32_t{i}, i * 0.5, "value " + std::to_string(i)));
  }
  return map;
}

void BM_EncodeNestedMap(benchmark::State& state) {
  const EncodableValue value = NestedValue();
  for (auto _ : state) {
    std::vector<uint8_t> bytes = Encode(value);
    benchmark::DoNotOptimize(bytes.data());
  }
}
BENCHMARK(BM_EncodeNestedMap);

void BM_DecodeNestedMap(benchmark::State& state) {
  const std::vector<uint8_t> bytes = Encode(NestedValue());
  for (auto _ : state) {
    flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
    EncodableValue value = Serializer().ReadValue(&reader);
    benchmark::DoNotOptimize(&value);
  }
}
BENCHMARK(BM_DecodeNestedMap);

void BM_MsgpackPackNestedMap(benchmark::State& state) {
  const NativeNested value = NativeNestedValue();
  for (auto _ : state) {
    msgpack::sbuffer buffer;
    msgpack::pack(buffer, value);
    benchmark::DoNotOptimize(buffer.data());
  }
}
BENCHMARK(BM_MsgpackPackNestedMap);

// Unpacked into owned C++ containers, as the codec's decoder gives an owned value.
void BM_MsgpackUnpackNestedMap(benchmark::State& state) {
  msgpack::sbuffer buffer;
  msgpack::pack(buffer, NativeNestedValue());
  for (auto _ : state) {
    msgpack::object_handle handle = msgpack::unpack(buffer.data(), buffer.size());
    NativeNested value = handle.get().as<NativeNested>();
    benchmark::DoNotOptimize(&value);
  }
}
BENCHMARK(BM_MsgpackUnpackNestedMap);

// Keeps each case's CPU time per iteration (the median when repetitions are asked for; CPU
// rather than wall time, which other work on a shared machine inflates) so that the
// ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, so that a saved report stays plain text.
  RatioReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
        times_[run.run_name.str()] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  void PrintRatio(const char* label, const std::string& measured, const std::string& baseline,
                  double target) const {
    auto m = times_.find(measured);
    auto b = times_.find(baseline);
    if (m == times_.end() || b == times_.end()) return;
    double ratio = m->second / b->second;
    std::printf("%-34s %6.2fx", label, ratio);
    if (target > 0)
      std::printf("   (target %.1fx: %s)", target, ratio <= target ? "met" : "MISSED");
    std::printf("\n");
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();

  std::printf("\nRatios (CPU time / baseline CPU time, same run):\n");
  const char* lists[] = {"ByteList", "Int32List", "Float64List"};
  for (const char* list : lists) {
    reporter.PrintRatio(("encode " + std::string(list) + " / memcpy").c_str(),
                        "BM_Encode" + std::string(list), "BM_MemcpyOneMiB", 1.5);
    reporter.PrintRatio(("decode " + std::string(list) + " / memcpy").c_str(),
                        "BM_Decode" + std::string(list), "BM_MemcpyOneMiB", 2.5);
  }
  reporter.PrintRatio("encode nested map / msgpack pack", "BM_EncodeNestedMap",
                      "BM_MsgpackPackNestedMap", 0);
  reporter.PrintRatio("decode nested map / msgpack unpack", "BM_DecodeNestedMap",
                      "BM_MsgpackUnpackNestedMap", 0);
  return 0;
}
