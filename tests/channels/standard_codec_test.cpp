#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "channels/byte_buffer_streams.h"
#include "channels/standard_codec_serializer.h"
#include "tests/support/log_capture.h"

namespace flutter {
namespace {

std::vector<uint8_t> Encode(const EncodableValue& value) {
  std::vector<uint8_t> bytes;
  ByteBufferStreamWriter writer(&bytes);
  StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  return bytes;
}

TEST(StandardCodecSmoke, EncodesAString) {
  EXPECT_THAT(Encode(EncodableValue("abc")), testing::ElementsAre(7, 3, 'a', 'b', 'c'));
}

TEST(StandardCodecSmoke, HugeListDecodesPromptly) {
  testing_support::LogCapture log;
  const std::vector<uint8_t> bytes = {0x0C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  ByteBufferStreamReader reader(bytes.data(), bytes.size());
  EncodableValue value = StandardCodecSerializer::GetInstance().ReadValue(&reader);
  ASSERT_TRUE(std::holds_alternative<EncodableList>(value));
  EXPECT_TRUE(std::get<EncodableList>(value).empty());
  EXPECT_EQ(log.Err(), "Invalid read in StandardCodecByteStreamReader\n");
}

}  // namespace
}  // namespace flutter
