// Measures what decoding allocates, through a replaced global operator new. Kept in a program of
// its own because the replacement applies to everything linked into it.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "tests/channels/codec_test_util.h"
#include "tests/support/log_capture.h"

namespace {

// Every block carries its size in a header, so that unsized deletes can count too. 16 bytes keep
// the default new alignment.
constexpr size_t kHeader = 16;

std::atomic<size_t> live_bytes{0};
std::atomic<size_t> peak_bytes{0};
std::atomic<size_t> allocations{0};

void* Allocate(size_t size) {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) return nullptr;
  *static_cast<size_t*>(block) = size;
  size_t now = live_bytes += size;
  size_t peak = peak_bytes.load();
  while (now > peak && !peak_bytes.compare_exchange_weak(peak, now)) {
  }
  ++allocations;
  return static_cast<char*>(block) + kHeader;
}

void Release(void* pointer) {
  if (pointer == nullptr) return;
  void* block = static_cast<char*>(pointer) - kHeader;
  live_bytes -= *static_cast<size_t*>(block);
  std::free(block);
}

void* AllocateOrFail(size_t size) {
  void* pointer = Allocate(size);
  if (pointer == nullptr) std::abort();  // the tests build without exceptions in mind
  return pointer;
}

}  // namespace

void* operator new(size_t size) { return AllocateOrFail(size); }
void* operator new[](size_t size) { return AllocateOrFail(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* pointer) noexcept { Release(pointer); }
void operator delete[](void* pointer) noexcept { Release(pointer); }
void operator delete(void* pointer, size_t) noexcept { Release(pointer); }
void operator delete[](void* pointer, size_t) noexcept { Release(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { Release(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { Release(pointer); }

namespace flutter {
namespace {

struct Usage {
  size_t peak_bytes;  // above what was live before the decode
  size_t allocations;
};

// Decodes `bytes` and reports what that took, the decoded value's own storage included.
Usage MeasureDecode(const std::vector<uint8_t>& bytes) {
  testing_support::LogCapture log;
  size_t before = live_bytes.load();
  peak_bytes = before;
  size_t allocations_before = allocations.load();
  { codec_test::Decoded decoded = codec_test::Decode(bytes); }
  return {peak_bytes.load() - before, allocations.load() - allocations_before};
}

TEST(DecodeMemory, HugeDeclaredSizesAllocateNothingTheMessageCannotFill) {
  for (const char* hex : {"0C FFFFFFFFFF", "0D FFFFFFFFFF", "07 FFFFFFFFFF", "08 FFFFFFFFFF",
                          "09 FFFFFFFFFF", "0A FFFFFFFFFF", "0B FFFFFFFFFF", "0E FFFFFFFFFF"}) {
    EXPECT_LT(MeasureDecode(codec_test::Hex(hex)).peak_bytes, 4096u) << hex;
  }
}

// Lists nested to the depth limit, each claiming 2^32-1 elements, then many one-byte elements:
// if every level reserved room for what remains, the reservations alone would be the nesting
// depth times the message.
TEST(DecodeMemory, NestedHugeListsReserveInProportionToTheMessageOnly) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < StandardCodecSerializer::kMaxNesting; ++i) {
    const uint8_t huge_list[] = {0x0C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    bytes.insert(bytes.end(), std::begin(huge_list), std::end(huge_list));
  }
  bytes.resize(bytes.size() + 64 * 1024, 0x00);

  Usage usage = MeasureDecode(bytes);
  // Room for every element once as reserved and once more as a list grows, with slack.
  EXPECT_LT(usage.peak_bytes, 4 * sizeof(EncodableValue) * bytes.size());
}

TEST(DecodeMemory, ListsWhoseSizesFitAreAllocatedOnceAtTheirSize) {
  EncodableList outer;
  for (int i = 0; i < 1000; ++i) {
    outer.push_back(EncodableList(100, EncodableValue(int32_t{i})));
  }
  const std::vector<uint8_t> bytes = codec_test::Encode(EncodableValue(outer));

  Usage usage = MeasureDecode(bytes);
  EXPECT_EQ(usage.allocations, 1u + 1000u);
  EXPECT_LE(usage.peak_bytes, (1 + 1000 + 1000 * 100) * sizeof(EncodableValue));
}

}  // namespace
}  // namespace flutter
