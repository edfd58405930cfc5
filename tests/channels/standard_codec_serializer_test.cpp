#include "channels/standard_codec_serializer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tests/channels/codec_test_util.h"
#include "tests/support/log_capture.h"

namespace flutter {
namespace {

using codec_test::Decode;
using codec_test::Encode;
using codec_test::Hex;
using codec_test::InvalidReads;
using testing::ElementsAreArray;

// Each value encodes to exactly these bytes, which decode back to it with nothing left over and
// nothing logged.
TEST(StandardCodecExactBytes, ValuesEncodeToTheirBytesAndBack) {
  const std::pair<EncodableValue, const char*> cases[] = {
      {EncodableValue(), "00"},
      {EncodableValue(true), "01"},
      {EncodableValue(false), "02"},
      {EncodableValue(int32_t{1}), "03 01000000"},
      {EncodableValue(int32_t{-1}), "03 FFFFFFFF"},
      {EncodableValue(int64_t{1}), "04 0100000000000000"},
      {EncodableValue(std::numeric_limits<int64_t>::min()), "04 0000000000000080"},
      {EncodableValue(1.0), "06 00000000000000 000000000000F03F"},  // padded from position 1
      {EncodableValue("abc"), "07 03 616263"},
      {EncodableValue(""), "07 00"},
      {EncodableValue(std::vector<uint8_t>{255}), "08 01 FF"},  // never padded
      {EncodableValue(std::vector<int32_t>{1}), "09 01 0000 01000000"},
      {EncodableValue(std::vector<int32_t>{}), "09 00 0000"},  // padded even when empty
      {EncodableValue(std::vector<int64_t>{-2}), "0A 01 000000000000 FEFFFFFFFFFFFFFF"},
      {EncodableValue(std::vector<double>{1.0}), "0B 01 000000000000 000000000000F03F"},
      {EncodableValue(std::vector<double>{}), "0B 00 000000000000"},
      {EncodableValue(std::vector<float>{1.0f}), "0E 01 0000 0000803F"},
      {EncodableValue(EncodableList{int32_t{1}, EncodableValue()}), "0C 02 0301000000 00"},
      // A double inside a list is padded from the message start.
      {EncodableValue(EncodableList{true, 1.0}), "0C 02 01 06 00000000 000000000000F03F"},
      // Entries in key order, not in the order given.
      {EncodableValue(EncodableMap{{"b", int32_t{1}}, {"a", int32_t{2}}}),
       "0D 02 070161 0302000000 070162 0301000000"},
  };
  for (const auto& [value, hex] : cases) {
    SCOPED_TRACE(hex);
    testing_support::LogCapture log;
    const std::vector<uint8_t> bytes = Hex(hex);
    EXPECT_THAT(Encode(value), ElementsAreArray(bytes));
    codec_test::Decoded decoded = Decode(bytes);
    EXPECT_EQ(decoded.value, value);
    EXPECT_EQ(decoded.unread, 0u);
    EXPECT_EQ(log.Err(), "");
  }
}

TEST(StandardCodecExactBytes, NaNAndSignedZeroKeepTheirBits) {
  for (double number :
       {std::numeric_limits<double>::quiet_NaN(), -0.0, std::numeric_limits<double>::infinity()}) {
    EncodableValue decoded = Decode(Encode(EncodableValue(number))).value;
    ASSERT_TRUE(std::holds_alternative<double>(decoded));
    double result = std::get<double>(decoded);
    EXPECT_EQ(std::memcmp(&result, &number, sizeof(number)), 0);
  }
}

// Sizes at the edges of the one-, three- and five-byte size forms, for every sized alternative.
TEST(StandardCodecSizes, SweepAcrossTheSizeForms) {
  const std::pair<size_t, const char*> forms[] = {{0, "00"},          {253, "FD"},
                                                  {254, "FE FE00"},   {255, "FE FF00"},
                                                  {65535, "FE FFFF"}, {65536, "FF 00000100"}};
  for (const auto& [size, hex] : forms) {
    const std::vector<uint8_t> size_bytes = Hex(hex);
    EncodableMap map;
    for (size_t i = 0; i < size; ++i) map.emplace(static_cast<int32_t>(i), EncodableValue());
    const EncodableValue values[] = {
        EncodableValue(std::string(size, 'x')),
        EncodableValue(std::vector<uint8_t>(size, 7)),
        EncodableValue(std::vector<int32_t>(size, -3)),
        EncodableValue(std::vector<int64_t>(size, 1)),
        EncodableValue(std::vector<double>(size, 0.5)),
        EncodableValue(std::vector<float>(size, 0.25f)),
        EncodableValue(EncodableList(size, EncodableValue(true))),
        EncodableValue(map),
    };
    for (const EncodableValue& value : values) {
      SCOPED_TRACE(testing::Message() << "size " << size << ", alternative " << value.index());
      testing_support::LogCapture log;
      const std::vector<uint8_t> bytes = Encode(value);
      ASSERT_GT(bytes.size(), size_bytes.size());
      EXPECT_TRUE(std::equal(size_bytes.begin(), size_bytes.end(), bytes.begin() + 1));
      codec_test::Decoded decoded = Decode(bytes);
      EXPECT_TRUE(decoded.value == value);
      EXPECT_EQ(decoded.unread, 0u);
      EXPECT_EQ(log.Err(), "");
    }
  }
  std::vector<uint8_t> huge;
  ByteBufferStreamWriter writer(&huge);
  StandardCodecSerializer::GetInstance().WriteSize((uint64_t{1} << 32) + 5, &writer);
  EXPECT_THAT(huge, ElementsAreArray(Hex("FF 05000000"))) << "the low 32 bits of a huge size";
}

constexpr char kUnknown[] = "Unknown type in StandardCodecSerializer::ReadValueOfType: ";

struct DecodeCase {
  const char* name;
  const char* bytes;
  EncodableValue value;
  size_t unread;
  std::string log;
};

// Messages that only decode: odd, truncated, unknown or oversized input. Reads past the end yield
// zeros, one line per failed read, and do not move the position. A declared size beyond the
// message yields an empty value of its type, or the elements that were there, after bounded work.
TEST(StandardCodecDecoding, OddInputDecodesToTheseValuesWithTheseLines) {
  const DecodeCase cases[] = {
      {"type byte 5 is a string", "05 02 3132", EncodableValue("12"), 0, ""},
      {"bytes after the value stay unread", "07 01 61 03 01000000", EncodableValue("a"), 5, ""},
      {"sizes that exactly fit", "09 02 0000 01000000 02000000",
       EncodableValue(std::vector<int32_t>{1, 2}), 0, ""},
      {"duplicate map key keeps the first value", "0D 02 07016B 0301000000 07016B 0302000000",
       EncodableValue(EncodableMap{{"k", int32_t{1}}}), 0, ""},
      {"NaN key collides with the double key before it",
       "0D 02 06 0000000000 000000000000F03F 00 06 000000000000 000000000000F87F 00",
       EncodableValue(EncodableMap{{1.0, EncodableValue()}}), 0, ""},
      {"unknown type 15", "0F 01 02", EncodableValue(), 2, std::string(kUnknown) + "15\n"},
      {"unknown type 255", "FF 01 02", EncodableValue(), 2, std::string(kUnknown) + "255\n"},
      {"decoding goes on after an unknown type", "0C 02 0F 03 01000000",
       EncodableValue(EncodableList{EncodableValue(), int32_t{1}}), 0,
       std::string(kUnknown) + "15\n"},
      {"empty buffer", "", EncodableValue(), 0, InvalidReads()},
      {"int32 missing two bytes", "03 01 00", EncodableValue(int32_t{0}), 2, InvalidReads()},
      {"int64 missing bytes", "04 01 02 03", EncodableValue(int64_t{0}), 3, InvalidReads()},
      {"double without payload", "06", EncodableValue(0.0), 0, InvalidReads()},
      {"double cut after its padding", "06 00000000000000 0000", EncodableValue(0.0), 2,
       InvalidReads()},
      {"size missing its 16-bit part", "07 FE 01", EncodableValue(""), 1, InvalidReads()},
      {"empty int32 list cut in its padding", "09 00", EncodableValue(std::vector<int32_t>{}), 0,
       InvalidReads()},
      {"missing map value", "0D 01 070161", EncodableValue(EncodableMap{{"a", EncodableValue()}}),
       0, InvalidReads()},
      {"list cut short keeps what was read", "0C 03 03 01000000",
       EncodableValue(EncodableList{int32_t{1}}), 0, InvalidReads()},
      {"map cut short keeps what was read", "0D 02 07016B 0301000000",
       EncodableValue(EncodableMap{{"k", int32_t{1}}}), 0, InvalidReads()},
      {"list of 2^32-1", "0C FFFFFFFFFF", EncodableValue(EncodableList{}), 0, InvalidReads()},
      {"map of 2^32-1", "0D FFFFFFFFFF", EncodableValue(EncodableMap{}), 0, InvalidReads()},
      {"string of 2^32-1", "07 FFFFFFFFFF", EncodableValue(""), 0, InvalidReads()},
      {"byte list of 2^32-1", "08 FFFFFFFFFF", EncodableValue(std::vector<uint8_t>{}), 0,
       InvalidReads()},
      {"int32 list of 2^32-1", "09 FFFFFFFFFF", EncodableValue(std::vector<int32_t>{}), 0,
       InvalidReads()},
      {"int64 list of 2^32-1", "0A FFFFFFFFFF", EncodableValue(std::vector<int64_t>{}), 0,
       InvalidReads()},
      {"double list of 2^32-1", "0B FFFFFFFFFF", EncodableValue(std::vector<double>{}), 0,
       InvalidReads()},
      {"float list of 2^32-1", "0E FFFFFFFFFF", EncodableValue(std::vector<float>{}), 0,
       InvalidReads()},
      {"huge list keeps the elements present", "0C FFFFFFFFFF 01 02",
       EncodableValue(EncodableList{true, false}), 0, InvalidReads()},
      {"string one byte too long", "07 03 6162", EncodableValue(""), 2, InvalidReads()},
      {"int32 list one byte short", "09 02 0000 01000000 020000",
       EncodableValue(std::vector<int32_t>{}), 7, InvalidReads()},
  };
  for (const DecodeCase& test : cases) {
    SCOPED_TRACE(test.name);
    testing_support::LogCapture log;
    codec_test::Decoded decoded = Decode(Hex(test.bytes));
    EXPECT_EQ(decoded.value, test.value);
    EXPECT_EQ(decoded.unread, test.unread);
    EXPECT_EQ(log.Err(), test.log);
  }
}

TEST(StandardCodecEncoding, CustomValueIsWrittenAsNullWithTheTwoPartLine) {
  testing_support::LogCapture log;
  EXPECT_THAT(Encode(EncodableValue(EncodableList{CustomEncodableValue(1), int32_t{2}})),
              ElementsAreArray(Hex("0C 02 00 0302000000")));
  EXPECT_EQ(log.Err(),
            "Unhandled custom type in StandardCodecSerializer::WriteValue. Custom types require "
            "codec extensions.\n");
}

// `depth` lists of one element around an int32 7.
std::vector<uint8_t> NestedLists(int depth) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < depth; ++i) bytes.insert(bytes.end(), {0x0C, 0x01});
  bytes.insert(bytes.end(), {0x03, 0x07, 0x00, 0x00, 0x00});
  return bytes;
}

TEST(StandardCodecDecoding, NestingIsBoundedAt512Levels) {
  constexpr int kLimit = StandardCodecSerializer::kMaxNesting;
  for (int depth : {kLimit, kLimit + 1}) {
    SCOPED_TRACE(depth);
    testing_support::LogCapture log;
    codec_test::Decoded decoded = Decode(NestedLists(depth));
    const EncodableValue* innermost = &decoded.value;
    for (int level = 0; level < kLimit; ++level) {
      const auto* list = std::get_if<EncodableList>(innermost);
      ASSERT_TRUE(list != nullptr && list->size() == 1) << "level " << level;
      innermost = &(*list)[0];
    }
    if (depth == kLimit) {
      EXPECT_EQ(*innermost, EncodableValue(int32_t{7}));
      EXPECT_EQ(log.Err(), "");
    } else {
      EXPECT_TRUE(innermost->IsNull());
      EXPECT_EQ(decoded.unread, 5u);  // the too-deep list's element is left unread
      EXPECT_EQ(log.Err(), "Nesting too deep in StandardCodecSerializer::ReadValueOfType\n");
    }
  }
}

// A serializer that adds type byte 128 for a custom point; nested values must reach it.
struct Point {
  int32_t x;
  int32_t y;
};

class PointSerializer : public StandardCodecSerializer {
 public:
  void WriteValue(const EncodableValue& value, ByteStreamWriter* stream) const override {
    const auto* custom = std::get_if<CustomEncodableValue>(&value);
    if (custom == nullptr) return StandardCodecSerializer::WriteValue(value, stream);
    const Point& point = std::any_cast<const Point&>(custom->value());
    stream->WriteByte(128);
    WriteValue(EncodableValue(std::vector<int32_t>{point.x, point.y}), stream);
  }

  EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const override {
    if (type != 128) return StandardCodecSerializer::ReadValueOfType(type, stream);
    const auto list = std::get<std::vector<int32_t>>(ReadValue(stream));
    return EncodableValue(CustomEncodableValue(Point{list[0], list[1]}));
  }
};

TEST(StandardCodecExtension, NestedValuesGoThroughTheDerivedSerializer) {
  const PointSerializer serializer;
  testing_support::LogCapture log;
  const EncodableValue value(
      EncodableMap{{"points", EncodableList{CustomEncodableValue(Point{1, 2}), int32_t{3}}}});
  const std::vector<uint8_t> bytes = Encode(value, serializer);
  EXPECT_THAT(bytes, ElementsAreArray(Hex("0D 01 07 06 706F696E7473 0C 02 80 09 02 00 "
                                          "01000000 02000000 03 03000000")));
  EncodableValue decoded = Decode(bytes, serializer).value;
  const auto& list = std::get<EncodableList>(std::get<EncodableMap>(decoded).at("points"));
  const Point& point = std::any_cast<const Point&>(std::get<CustomEncodableValue>(list[0]).value());
  EXPECT_EQ(point.x, 1);
  EXPECT_EQ(point.y, 2);
  EXPECT_EQ(list[1], EncodableValue(int32_t{3}));
  EXPECT_EQ(log.Err(), "");
}

}  // namespace
}  // namespace flutter
