#include "channels/byte_buffer_streams.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "tests/channels/codec_test_util.h"
#include "tests/support/log_capture.h"

namespace flutter {
namespace {

using codec_test::InvalidReads;
using testing::ElementsAre;

TEST(ByteBufferStreamReader, FailedReadsLeaveDestinationAndPositionUntouched) {
  const std::vector<uint8_t> bytes = {1, 2, 3};
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  testing_support::LogCapture log;

  uint8_t destination[4] = {9, 9, 9, 9};
  reader.ReadBytes(destination, 4);
  EXPECT_THAT(destination, ElementsAre(9, 9, 9, 9));
  EXPECT_EQ(reader.BytesRemaining(), 3u);

  // The bytes that could not be consumed are still there for the next read.
  reader.ReadBytes(destination, 2);
  EXPECT_THAT(destination, ElementsAre(1, 2, 9, 9));
  EXPECT_EQ(reader.ReadByte(), 3);
  EXPECT_EQ(reader.ReadByte(), 0);
  EXPECT_EQ(reader.BytesRemaining(), 0u);
  EXPECT_EQ(log.Err(), InvalidReads(2));
}

TEST(ByteBufferStreamReader, AlignmentCountsFromTheMessageStartAndMayPassTheEnd) {
  const std::vector<uint8_t> bytes(10, 0xAB);
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  testing_support::LogCapture log;

  reader.ReadAlignment(8);  // already aligned at 0
  reader.ReadAlignment(0);  // ignored instead of dividing by zero
  EXPECT_EQ(reader.BytesRemaining(), 10u);
  reader.ReadByte();
  reader.ReadAlignment(4);
  EXPECT_EQ(reader.BytesRemaining(), 6u);
  reader.ReadAlignment(8);
  EXPECT_EQ(reader.BytesRemaining(), 2u);
  reader.ReadAlignment(16);  // past the end: no check here...
  EXPECT_EQ(reader.BytesRemaining(), 0u);
  EXPECT_EQ(log.Err(), "");

  uint8_t unused = 0;
  reader.ReadBytes(&unused, 0);  // ...but even an empty read fails there
  EXPECT_EQ(log.Err(), InvalidReads());
}

TEST(ByteBufferStreamWriter, PadsWithZerosFromTheStartOfTheVector) {
  std::vector<uint8_t> bytes = {0xEE, 0xEE, 0xEE};
  ByteBufferStreamWriter writer(&bytes);
  writer.WriteAlignment(0);  // ignored instead of dividing by zero
  writer.WriteAlignment(4);
  writer.WriteByte(1);
  writer.WriteAlignment(8);
  writer.WriteAlignment(8);  // nothing when already aligned
  const uint8_t tail[] = {2, 3};
  writer.WriteBytes(tail, 2);
  writer.WriteBytes(nullptr, 0);
  EXPECT_THAT(bytes, ElementsAre(0xEE, 0xEE, 0xEE, 0, 1, 0, 0, 0, 2, 3));
}

}  // namespace
}  // namespace flutter
