// Speed of the standard codecs, each case interleaved with its baseline (interleaved.h): a memcpy
// of the same bytes into freshly allocated, uninitialised memory for the 1 MiB typed lists, and
// msgpack-cxx packing, and unpacking into owned C++ containers, the same logical data for the
// nested map. Counters: `path_ns`, `baseline_ns` and `ratio` = path / baseline.

#include <benchmark/benchmark.h>
#include <msgpack.hpp>

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "benchmarks/interleaved.h"
#include "channels/byte_buffer_streams.h"
#include "channels/standard_codec_serializer.h"
#include "channels/standard_method_codec.h"

namespace {

using benchmark_support::RunInterleaved;
using benchmark_support::SetRatio;
using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr size_t kListBytes = 1 << 20;
// Batches of about 20 microseconds.
constexpr int kListBatch = 1;
constexpr int kNestedBatch = 1;

const flutter::StandardCodecSerializer& Serializer() {
  return flutter::StandardCodecSerializer::GetInstance();
}

std::vector<uint8_t> Encode(const EncodableValue& value) {
  std::vector<uint8_t> bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  Serializer().WriteValue(value, &writer);
  return bytes;
}

EncodableValue Decode(const std::vector<uint8_t>& bytes) {
  flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
  return Serializer().ReadValue(&reader);
}

void PathAgainstBaseline(benchmark::State& state, int batch, auto& path, auto& baseline) {
  RunInterleaved(state, batch, {"baseline", "path"}, baseline, path);
  SetRatio(state, "ratio", "path", "baseline");
}

template <typename Element>
EncodableValue TypedList() {
  std::vector<Element> list(kListBytes / sizeof(Element));
  for (size_t i = 0; i < list.size(); ++i) list[i] = static_cast<Element>(i * 7 + 1);
  return EncodableValue(std::move(list));
}

// The bytes a typed list carries, copied as the codec copies them at best.
auto MemcpyOneMiB(const uint8_t* source) {
  return [source] {
    std::unique_ptr<uint8_t[]> copy(new uint8_t[kListBytes]);
    std::memcpy(copy.get(), source, kListBytes);
    benchmark::DoNotOptimize(copy.get());
    benchmark::ClobberMemory();
  };
}

template <typename Element>
void BM_EncodeList(benchmark::State& state) {
  const EncodableValue value = TypedList<Element>();
  auto baseline =
      MemcpyOneMiB(reinterpret_cast<const uint8_t*>(std::get<std::vector<Element>>(value).data()));
  auto path = [&value] {
    std::vector<uint8_t> bytes = Encode(value);
    benchmark::DoNotOptimize(bytes.data());
    benchmark::ClobberMemory();
  };
  PathAgainstBaseline(state, kListBatch, path, baseline);
}

template <typename Element>
void BM_DecodeList(benchmark::State& state) {
  const std::vector<uint8_t> bytes = Encode(TypedList<Element>());
  auto baseline = MemcpyOneMiB(bytes.data());
  auto path = [&bytes] {
    EncodableValue value = Decode(bytes);
    benchmark::DoNotOptimize(std::get<std::vector<Element>>(value).data());
    benchmark::ClobberMemory();
  };
  PathAgainstBaseline(state, kListBatch, path, baseline);
}

BENCHMARK(BM_EncodeList<uint8_t>)->Name("BM_EncodeByteList");
BENCHMARK(BM_DecodeList<uint8_t>)->Name("BM_DecodeByteList");
BENCHMARK(BM_EncodeList<int32_t>)->Name("BM_EncodeInt32List");
BENCHMARK(BM_DecodeList<int32_t>)->Name("BM_DecodeInt32List");
BENCHMARK(BM_EncodeList<double>)->Name("BM_EncodeFloat64List");
BENCHMARK(BM_DecodeList<double>)->Name("BM_DecodeFloat64List");

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
  const NativeNested native = NativeNestedValue();
  auto baseline = [&native] {
    msgpack::sbuffer buffer;
    msgpack::pack(buffer, native);
    benchmark::DoNotOptimize(buffer.data());
  };
  auto path = [&value] {
    std::vector<uint8_t> bytes = Encode(value);
    benchmark::DoNotOptimize(bytes.data());
  };
  PathAgainstBaseline(state, kNestedBatch, path, baseline);
}
BENCHMARK(BM_EncodeNestedMap);

void BM_DecodeNestedMap(benchmark::State& state) {
  const std::vector<uint8_t> bytes = Encode(NestedValue());
  msgpack::sbuffer packed;
  msgpack::pack(packed, NativeNestedValue());
  // Into owned C++ containers, as the codec's decoder gives an owned value.
  auto baseline = [&packed] {
    msgpack::object_handle handle = msgpack::unpack(packed.data(), packed.size());
    NativeNested value = handle.get().as<NativeNested>();
    benchmark::DoNotOptimize(&value);
  };
  auto path = [&bytes] {
    EncodableValue value = Decode(bytes);
    benchmark::DoNotOptimize(&value);
  };
  PathAgainstBaseline(state, kNestedBatch, path, baseline);
}
BENCHMARK(BM_DecodeNestedMap);

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

}  // namespace
