#include "channels/standard_codec_serializer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
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
using codec_test::kInvalidRead;
using codec_test::Lines;
using testing::ElementsAreArray;

struct ExactCase {
  const char* name;
  EncodableValue value;
  const char* bytes;
};

// Each value encodes to exactly these bytes, which decode back to it with nothing left over and
// nothing logged.
TEST(StandardCodecExactBytes, ValuesEncodeToTheirBytesAndBack) {
  const ExactCase cases[] = {
      {"null", EncodableValue(), "00"},
      {"true", EncodableValue(true), "01"},
      {"false", EncodableValue(false), "02"},
      {"int32 1", EncodableValue(int32_t{1}), "03 01000000"},
      {"int32 -1", EncodableValue(int32_t{-1}), "03 FFFFFFFF"},
      {"int64 1 keeps 8 bytes", EncodableValue(int64_t{1}), "04 0100000000000000"},
      {"int64 min", EncodableValue(std::numeric_limits<int64_t>::min()), "04 0000000000000080"},
      {"double padded from position 1", EncodableValue(1.0), "06 00000000000000 000000000000F03F"},
      {"string abc", EncodableValue("abc"), "07 03 616263"},
      {"empty string", EncodableValue(""), "07 00"},
      {"byte list never padded", EncodableValue(std::vector<uint8_t>{255}), "08 01 FF"},
      {"int32 list", EncodableValue(std::vector<int32_t>{1}), "09 01 0000 01000000"},
      {"empty int32 list still padded", EncodableValue(std::vector<int32_t>{}), "09 00 0000"},
      {"int64 list", EncodableValue(std::vector<int64_t>{-2}),
       "0A 01 000000000000 FEFFFFFFFFFFFFFF"},
      {"double list", EncodableValue(std::vector<double>{1.0}),
       "0B 01 000000000000 000000000000F03F"},
      {"empty double list", EncodableValue(std::vector<double>{}), "0B 00 000000000000"},
      {"float list", EncodableValue(std::vector<float>{1.0f}), "0E 01 0000 0000803F"},
      {"list of int32 1 and null", EncodableValue(EncodableList{int32_t{1}, EncodableValue()}),
       "0C 02 0301000000 00"},
      {"double inside a list pads from the message start", EncodableValue(EncodableList{true, 1.0}),
       "0C 02 01 06 00000000 000000000000F03F"},
      {"map in key order", EncodableValue(EncodableMap{{"b", int32_t{1}}, {"a", int32_t{2}}}),
       "0D 02 070161 0302000000 070162 0301000000"},
  };
  for (const ExactCase& test : cases) {
    SCOPED_TRACE(test.name);
    testing_support::LogCapture log;
    const std::vector<uint8_t> bytes = Hex(test.bytes);
    EXPECT_THAT(Encode(test.value), ElementsAreArray(bytes));
    codec_test::Decoded decoded = Decode(bytes);
    EXPECT_EQ(decoded.value, test.value);
    EXPECT_EQ(decoded.unread, 0u);
    EXPECT_EQ(log.Err(), "");
  }
}

TEST(StandardCodecExactBytes, MapEntriesComeInKeyOrderNotInsertionOrder) {
  EncodableMap map;
  map.emplace("b", int32_t{1});
  map.emplace("a", int32_t{2});
  EXPECT_THAT(Encode(EncodableValue(map)),
              ElementsAreArray(Hex("0D 02 07 01 61 03 02 00 00 00 07 01 62 03 01 00 00 00")));
}

TEST(StandardCodecExactBytes, TypeByteFiveReadsAsAString) {
  EXPECT_EQ(Decode(Hex("05 02 31 32")).value, EncodableValue("12"));
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

TEST(StandardCodecExactBytes, ReadValueLeavesTheBytesAfterTheValue) {
  codec_test::Decoded decoded = Decode(Hex("07 01 61 03 01 00 00 00"));
  EXPECT_EQ(decoded.value, EncodableValue("a"));
  EXPECT_EQ(decoded.unread, 5u);
}

TEST(StandardCodecExactBytes, NestedValuesRoundTrip) {
  const EncodableValue value(EncodableMap{
      {int32_t{1}, EncodableList{std::vector<uint8_t>{1, 2, 3}, 2.5, EncodableMap{}}},
      {int64_t{1}, std::vector<float>{0.5f, -1.0f}},
      {"list", EncodableList{EncodableList{EncodableList{"deep"}}, std::vector<int64_t>{7}}},
      {EncodableValue(), std::vector<double>{1.5, 2.5}},
      {false, std::vector<int32_t>{-1, 0, 1}},
  });
  testing_support::LogCapture log;
  codec_test::Decoded decoded = Decode(Encode(value));
  EXPECT_EQ(decoded.value, value);
  EXPECT_EQ(decoded.unread, 0u);
  EXPECT_EQ(log.Err(), "");
}

// Sizes at the edges of the one-, three- and five-byte size forms, for every sized alternative.
TEST(StandardCodecSizes, SweepAcrossTheSizeForms) {
  struct SizeForm {
    size_t size;
    const char* bytes;
  };
  const SizeForm forms[] = {{0, "00"},        {253, "FD"},        {254, "FE FE00"},
                            {255, "FE FF00"}, {65535, "FE FFFF"}, {65536, "FF 00000100"}};
  for (const SizeForm& form : forms) {
    const std::vector<uint8_t> size_bytes = Hex(form.bytes);
    EncodableMap map;
    for (size_t i = 0; i < form.size; ++i) map.emplace(static_cast<int32_t>(i), EncodableValue());
    const EncodableValue values[] = {
        EncodableValue(std::string(form.size, 'x')),
        EncodableValue(std::vector<uint8_t>(form.size, 7)),
        EncodableValue(std::vector<int32_t>(form.size, -3)),
        EncodableValue(std::vector<int64_t>(form.size, 1)),
        EncodableValue(std::vector<double>(form.size, 0.5)),
        EncodableValue(std::vector<float>(form.size, 0.25f)),
        EncodableValue(EncodableList(form.size, EncodableValue(true))),
        EncodableValue(map),
    };
    for (const EncodableValue& value : values) {
      SCOPED_TRACE(testing::Message() << "size " << form.size << ", alternative " << value.index());
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
}

TEST(StandardCodecSizes, WriteSizeKeepsTheLow32BitsOfHugeSizes) {
  std::vector<uint8_t> bytes;
  ByteBufferStreamWriter writer(&bytes);
  StandardCodecSerializer::GetInstance().WriteSize((uint64_t{1} << 32) + 5, &writer);
  EXPECT_THAT(bytes, ElementsAreArray(Hex("FF 05000000")));
}

TEST(StandardCodecBadInput, UnknownTypeIsNullWithItsNumberAndConsumesNothingMore) {
  for (int type : {15, 16, 127, 255}) {
    testing_support::LogCapture log;
    codec_test::Decoded decoded = Decode({static_cast<uint8_t>(type), 0x01, 0x02});
    EXPECT_TRUE(decoded.value.IsNull());
    EXPECT_EQ(decoded.unread, 2u);
    EXPECT_EQ(log.Err(), "Unknown type in StandardCodecSerializer::ReadValueOfType: " +
                             std::to_string(type) + "\n");
  }
}

TEST(StandardCodecBadInput, DecodingContinuesAfterAnUnknownType) {
  testing_support::LogCapture log;
  EXPECT_EQ(Decode(Hex("0C 02 0F 03 01000000")).value,
            EncodableValue(EncodableList{EncodableValue(), int32_t{1}}));
  EXPECT_EQ(log.Err(), "Unknown type in StandardCodecSerializer::ReadValueOfType: 15\n");
}

struct TruncatedCase {
  const char* name;
  const char* bytes;
  EncodableValue value;
  int invalid_reads;
  size_t unread;
};

void ExpectDecodes(const TruncatedCase& test) {
  SCOPED_TRACE(test.name);
  testing_support::LogCapture log;
  codec_test::Decoded decoded = Decode(Hex(test.bytes));
  EXPECT_EQ(decoded.value, test.value);
  EXPECT_EQ(decoded.unread, test.unread);
  EXPECT_EQ(log.Err(), Lines(kInvalidRead, test.invalid_reads));
}

// Reads past the end yield zeros, one line per failed read, and do not move the position.
TEST(StandardCodecBadInput, TruncatedMessagesDecodeWithZerosAndOneLinePerFailedRead) {
  const TruncatedCase cases[] = {
      {"empty buffer", "", EncodableValue(), 1, 0},
      {"int32 missing two bytes", "03 01 00", EncodableValue(int32_t{0}), 1, 2},
      {"int64 missing bytes", "04 01 02 03", EncodableValue(int64_t{0}), 1, 3},
      {"double without payload", "06", EncodableValue(0.0), 1, 0},
      {"double cut after its padding", "06 00000000000000 0000", EncodableValue(0.0), 1, 2},
      {"size missing its 16-bit part", "07 FE 01", EncodableValue(""), 1, 1},
      {"empty int32 list cut in its padding", "09 00", EncodableValue(std::vector<int32_t>{}), 1,
       0},
      {"missing map value", "0D 01 070161", EncodableValue(EncodableMap{{"a", EncodableValue()}}),
       1, 0},
      {"list cut short keeps what was read", "0C 03 03 01000000",
       EncodableValue(EncodableList{int32_t{1}}), 1, 0},
      {"map cut short keeps what was read", "0D 02 07016B 0301000000",
       EncodableValue(EncodableMap{{"k", int32_t{1}}}), 1, 0},
  };
  for (const TruncatedCase& test : cases) ExpectDecodes(test);
}

TEST(StandardCodecBadInput, DuplicateMapKeyKeepsTheValueThatCameFirst) {
  testing_support::LogCapture log;
  EXPECT_EQ(Decode(Hex("0D 02 07016B 0301000000 07016B 0302000000")).value,
            EncodableValue(EncodableMap{{"k", int32_t{1}}}));
  EXPECT_EQ(log.Err(), "");
}

// NaN is neither less nor greater than any double, so it collides with whichever double key came
// first: the map keeps the first entry, in message order.
TEST(StandardCodecBadInput, NaNKeyCollidesWithTheDoubleKeyBeforeIt) {
  const char* nan_then_one =
      "0D 02 06 0000000000 000000000000F87F 00 06 000000000000 000000000000F03F 00";
  const char* one_then_nan =
      "0D 02 06 0000000000 000000000000F03F 00 06 000000000000 000000000000F87F 00";
  EncodableValue first = Decode(Hex(nan_then_one)).value;
  ASSERT_EQ(std::get<EncodableMap>(first).size(), 1u);
  EXPECT_TRUE(std::isnan(std::get<double>(std::get<EncodableMap>(first).begin()->first)));
  EXPECT_EQ(Decode(Hex(one_then_nan)).value, EncodableValue(EncodableMap{{1.0, EncodableValue()}}));
}

TEST(StandardCodecBadInput, CustomValueIsWrittenAsNullWithTheTwoPartLine) {
  testing_support::LogCapture log;
  EXPECT_THAT(Encode(EncodableValue(EncodableList{CustomEncodableValue(1), int32_t{2}})),
              ElementsAreArray(Hex("0C 02 00 0302000000")));
  EXPECT_EQ(log.Err(),
            "Unhandled custom type in StandardCodecSerializer::WriteValue. Custom types require "
            "codec extensions.\n");
}

// Declared sizes beyond the message: bounded work, an empty value of the declared type or the
// elements that were there, and one line.
TEST(StandardCodecDeclaredSizes, SizesBeyondTheMessageGiveEmptyValuesOfTheirType) {
  const TruncatedCase cases[] = {
      {"list of 2^32-1", "0C FFFFFFFFFF", EncodableValue(EncodableList{}), 1, 0},
      {"map of 2^32-1", "0D FFFFFFFFFF", EncodableValue(EncodableMap{}), 1, 0},
      {"string of 2^32-1", "07 FFFFFFFFFF", EncodableValue(""), 1, 0},
      {"byte list of 2^32-1", "08 FFFFFFFFFF", EncodableValue(std::vector<uint8_t>{}), 1, 0},
      {"int32 list of 2^32-1", "09 FFFFFFFFFF", EncodableValue(std::vector<int32_t>{}), 1, 0},
      {"int64 list of 2^32-1", "0A FFFFFFFFFF", EncodableValue(std::vector<int64_t>{}), 1, 0},
      {"double list of 2^32-1", "0B FFFFFFFFFF", EncodableValue(std::vector<double>{}), 1, 0},
      {"float list of 2^32-1", "0E FFFFFFFFFF", EncodableValue(std::vector<float>{}), 1, 0},
      {"huge list keeps the elements present", "0C FFFFFFFFFF 01 02",
       EncodableValue(EncodableList{true, false}), 1, 0},
      {"string one byte too long", "07 03 6162", EncodableValue(""), 1, 2},
      {"int32 list one byte short", "09 02 0000 01000000 020000",
       EncodableValue(std::vector<int32_t>{}), 1, 7},
  };
  for (const TruncatedCase& test : cases) ExpectDecodes(test);
}

TEST(StandardCodecDeclaredSizes, SizesThatExactlyFitDecodeInFull) {
  testing_support::LogCapture log;
  EXPECT_EQ(Decode(Hex("07 02 6162")).value, EncodableValue("ab"));
  EXPECT_EQ(Decode(Hex("09 02 0000 01000000 02000000")).value,
            EncodableValue(std::vector<int32_t>{1, 2}));
  EXPECT_EQ(Decode(Hex("0C 02 00 00")).value,
            EncodableValue(EncodableList{EncodableValue(), EncodableValue()}));
  EXPECT_EQ(log.Err(), "");
}

std::vector<uint8_t> NestedLists(int depth, const char* innermost) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < depth; ++i) {
    bytes.push_back(0x0C);
    bytes.push_back(0x01);
  }
  std::vector<uint8_t> tail = Hex(innermost);
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  return bytes;
}

int DepthOf(const EncodableValue& value, const EncodableValue** innermost) {
  int depth = 0;
  const EncodableValue* current = &value;
  while (const auto* list = std::get_if<EncodableList>(current)) {
    if (list->size() != 1) break;
    current = &(*list)[0];
    ++depth;
  }
  *innermost = current;
  return depth;
}

TEST(StandardCodecDeclaredSizes, NestingIsBoundedAt512Levels) {
  constexpr int kLimit = StandardCodecSerializer::kMaxNesting;
  {
    testing_support::LogCapture log;
    EncodableValue value = Decode(NestedLists(kLimit, "03 07000000")).value;
    const EncodableValue* innermost = nullptr;
    EXPECT_EQ(DepthOf(value, &innermost), kLimit);
    EXPECT_EQ(*innermost, EncodableValue(int32_t{7}));
    EXPECT_EQ(log.Err(), "");
  }
  {
    testing_support::LogCapture log;
    codec_test::Decoded decoded = Decode(NestedLists(kLimit + 1, "03 07000000"));
    const EncodableValue* innermost = nullptr;
    EXPECT_EQ(DepthOf(decoded.value, &innermost), kLimit);
    EXPECT_TRUE(innermost->IsNull());
    EXPECT_EQ(decoded.unread, 5u);  // the too-deep list's element is left unread
    EXPECT_EQ(log.Err(), "Nesting too deep in StandardCodecSerializer::ReadValueOfType\n");
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
    if (custom == nullptr || custom->type() != typeid(Point)) {
      StandardCodecSerializer::WriteValue(value, stream);
      return;
    }
    const Point& point = std::any_cast<const Point&>(custom->value());
    stream->WriteByte(128);
    WriteValue(EncodableValue(std::vector<int32_t>{point.x, point.y}), stream);
  }

  EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const override {
    if (type != 128) {
      return StandardCodecSerializer::ReadValueOfType(type, stream);
    }
    EncodableValue coordinates = ReadValue(stream);
    const auto& list = std::get<std::vector<int32_t>>(coordinates);
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
