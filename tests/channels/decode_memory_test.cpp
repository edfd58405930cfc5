// Counts what decoding and encoding allocate, through a replaced global operator new. Kept in a
// program of its own because the replacement applies to everything linked into it.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "tests/channels/channels_test_util.h"

namespace {

// Bytes asked for and blocks handed out since the program started.
std::atomic<size_t> allocated_bytes{0};
std::atomic<size_t> allocations{0};

void* Allocate(size_t size) {
  allocated_bytes += size;
  ++allocations;
  return std::malloc(size == 0 ? 1 : size);
}

void* AllocateOrFail(size_t size) {
  void* pointer = Allocate(size);
  if (pointer == nullptr) std::abort();  // the tests build without exceptions in mind
  return pointer;
}

}  // namespace

// Every form, so that none reaches a sanitizer's own allocator.
void* operator new(size_t size) { return AllocateOrFail(size); }
void* operator new[](size_t size) { return AllocateOrFail(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* pointer) noexcept { std::free(pointer); }
void operator delete[](void* pointer) noexcept { std::free(pointer); }
void operator delete(void* pointer, size_t) noexcept { std::free(pointer); }
void operator delete[](void* pointer, size_t) noexcept { std::free(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { std::free(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { std::free(pointer); }

namespace channels_test {
namespace {

struct Usage {
  size_t bytes;  // all that was allocated, whether or not it was freed again
  size_t allocations;
};

// Decodes `bytes` and reports what that took, the decoded value's own storage included.
Usage MeasureDecode(const Bytes& bytes) {
  const Usage before{allocated_bytes.load(), allocations.load()};
  Decode(bytes);
  return {allocated_bytes.load() - before.bytes, allocations.load() - before.allocations};
}

TEST(DecodeMemory, HugeDeclaredSizesAllocateNothingTheMessageCannotFill) {
  for (const char* hex : {"0C FFFFFFFFFF", "0D FFFFFFFFFF", "07 FFFFFFFFFF", "08 FFFFFFFFFF",
                          "09 FFFFFFFFFF", "0A FFFFFFFFFF", "0B FFFFFFFFFF", "0E FFFFFFFFFF"}) {
    EXPECT_LT(MeasureDecode(Hex(hex)).bytes, 4096u) << hex;
  }
}

// Lists nested to the depth limit, each claiming 2^32-1 elements, then many one-byte elements:
// if every level reserved room for what remains, the reservations alone would be the nesting
// depth times the message.
TEST(DecodeMemory, NestedHugeListsReserveInProportionToTheMessageOnly) {
  Bytes bytes;
  for (int i = 0; i < flutter::StandardCodecSerializer::kMaxNesting; ++i) {
    bytes.insert(bytes.end(), {0x0C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  }
  bytes.resize(bytes.size() + 64 * 1024, 0x00);

  // Room for every element once as reserved and once more as a list grows, with slack.
  EXPECT_LT(MeasureDecode(bytes).bytes, 4 * sizeof(EncodableValue) * bytes.size());
}

TEST(DecodeMemory, ListsWhoseSizesFitAreAllocatedOnceAtTheirSize) {
  EncodableList outer;
  for (int i = 0; i < 1000; ++i) outer.push_back(EncodableList(100, EncodableValue(int32_t{i})));
  const Bytes bytes = Encode(EncodableValue(outer));

  Usage usage = MeasureDecode(bytes);
  EXPECT_EQ(usage.allocations, 1u + 1000u);
  EXPECT_LE(usage.bytes, (1 + 1000 + 1000 * 100) * sizeof(EncodableValue));
}

// The writer gathers a message in memory its thread keeps and hands it over in one copy: the
// vector is allocated once, at its final size, however the message grew.
TEST(EncodeMemory, AMessageIsAllocatedOnceAtItsFinalSize) {
  EncodableMap map;
  for (int i = 0; i < 1000; ++i) {
    map.emplace(std::to_string(i),
                EncodableList{int32_t{i}, 0.5 * i, "value " + std::to_string(i)});
  }
  const EncodableValue value(std::move(map));
  Encode(value);  // the thread's memory grows to the size of the message

  const Usage before{allocated_bytes.load(), allocations.load()};
  const Bytes bytes = Encode(value);
  EXPECT_EQ(allocations.load() - before.allocations, 1u);
  EXPECT_EQ(allocated_bytes.load() - before.bytes, bytes.size());
  EXPECT_GT(bytes.size(), 16'000u);
}

}  // namespace
}  // namespace channels_test
