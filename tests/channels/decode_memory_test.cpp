// Counts what decoding allocates, through a replaced global operator new. Kept in a
// program of its own because the replacement applies to everything linked into it.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "tests/channels/channels_test_util.h"

namespace {

// Bytes asked for since the program started.
std::atomic<size_t> allocated_bytes{0};

void* Allocate(size_t size) {
  allocated_bytes += size;
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

// Decodes `bytes` and reports all it allocated, whether or not it was freed again, the decoded
// value's own storage included.
size_t MeasureDecode(const Bytes& bytes) {
  const size_t before = allocated_bytes.load();
  Decode(bytes);
  return allocated_bytes.load() - before;
}

TEST(DecodeMemory, HugeDeclaredSizesAllocateNothingTheMessageCannotFill) {
  for (const char* hex : {"0C FFFFFFFFFF", "0D FFFFFFFFFF", "07 FFFFFFFFFF", "08 FFFFFFFFFF",
                          "09 FFFFFFFFFF", "0A FFFFFFFFFF", "0B FFFFFFFFFF", "0E FFFFFFFFFF"}) {
    EXPECT_LT(MeasureDecode(Hex(hex)), 4096u) << hex;
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
  EXPECT_LT(MeasureDecode(bytes), 4 * sizeof(EncodableValue) * bytes.size());
}

}  // namespace
}  // namespace channels_test
