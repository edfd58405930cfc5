#include "channels/encodable_value.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <any>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/encodable_value_printer.h"

namespace flutter {
namespace {

using testing::ElementsAre;
using testing::Pair;

// Counts how often it is copied, to show when a custom value copies its held object.
struct CopyCounter {
  explicit CopyCounter(int* copies) : copies(copies) {}
  CopyCounter(const CopyCounter& other) : copies(other.copies) { ++*copies; }
  CopyCounter& operator=(const CopyCounter& other) {
    copies = other.copies;
    ++*copies;
    return *this;
  }
  int* copies;
};

TEST(EncodableValueAlternatives, EachContentTypeHoldsItsFixedIndex) {
  int copies = 0;
  const std::vector<EncodableValue> values = {
      EncodableValue(),
      EncodableValue(true),
      EncodableValue(int32_t{1}),
      EncodableValue(int64_t{1}),
      EncodableValue(1.0),
      EncodableValue(std::string("s")),
      EncodableValue(std::vector<uint8_t>{1}),
      EncodableValue(std::vector<int32_t>{1}),
      EncodableValue(std::vector<int64_t>{1}),
      EncodableValue(std::vector<double>{1}),
      EncodableValue(EncodableList{}),
      EncodableValue(EncodableMap{}),
      EncodableValue(CustomEncodableValue(CopyCounter(&copies))),
      EncodableValue(std::vector<float>{1}),
  };
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(values[i].index(), i);
    EXPECT_EQ(values[i].IsNull(), i == 0);
  }
}

TEST(EncodableValueAlternatives, TextLiteralIsAStringNeverABool) {
  EncodableValue value("yes");
  EXPECT_TRUE(std::holds_alternative<std::string>(value));
  value = "no";
  ASSERT_TRUE(std::holds_alternative<std::string>(value));
  EXPECT_EQ(std::get<std::string>(value), "no");
}

TEST(EncodableValueAlternatives, CheckedAccessOfAnotherAlternativeIsEmptyAndChangesNothing) {
  EncodableValue value(int32_t{7});
  EXPECT_EQ(std::get_if<std::string>(&value), nullptr);
  EXPECT_EQ(std::get_if<int64_t>(&value), nullptr);
  ASSERT_NE(std::get_if<int32_t>(&value), nullptr);
  EXPECT_EQ(*std::get_if<int32_t>(&value), 7);
  EXPECT_EQ(value.index(), 2u);
}

TEST(EncodableValueOrdering, AlternativeIndexDecidesFirst) {
  EXPECT_LT(EncodableValue(), EncodableValue(false));
  EXPECT_LT(EncodableValue(false), EncodableValue(true));
  EXPECT_LT(EncodableValue(true), EncodableValue(int32_t{0}));
  // Index 2 before 3 whatever the numbers.
  EXPECT_LT(EncodableValue(int32_t{100}), EncodableValue(int64_t{-100}));
  EXPECT_LT(EncodableValue(CustomEncodableValue(1)), EncodableValue(std::vector<float>{}));
  EXPECT_FALSE(EncodableValue() < EncodableValue());
}

TEST(EncodableValueOrdering, NumbersCompareNumericallyAndNaNIsUnordered) {
  EXPECT_LT(EncodableValue(int32_t{-2}), EncodableValue(int32_t{1}));
  EXPECT_LT(EncodableValue(int64_t{-2}), EncodableValue(int64_t{1}));
  EXPECT_LT(EncodableValue(-0.5), EncodableValue(0.25));
  const EncodableValue nan(std::numeric_limits<double>::quiet_NaN());
  EXPECT_FALSE(nan < EncodableValue(1.0));
  EXPECT_FALSE(EncodableValue(1.0) < nan);
}

TEST(EncodableValueOrdering, StringsAndByteListsCompareUnsignedBytesThenLength) {
  EXPECT_LT(EncodableValue("B"), EncodableValue("a"));
  EXPECT_LT(EncodableValue("a"), EncodableValue("\x80"));  // unsigned, so 0x80 is high
  EXPECT_LT(EncodableValue("ab"), EncodableValue("abc"));
  EXPECT_LT(EncodableValue(std::vector<uint8_t>{0x01, 0x00}),
            EncodableValue(std::vector<uint8_t>{0xFF}));
  EXPECT_LT(EncodableValue(std::vector<uint8_t>{}), EncodableValue(std::vector<uint8_t>{0}));
}

TEST(EncodableValueOrdering, SequencesAreLexicographicWithShorterPrefixFirst) {
  const EncodableValue one_two(std::vector<int32_t>{1, 2});
  const EncodableValue one_two_zero(std::vector<int32_t>{1, 2, 0});
  const EncodableValue one_three(std::vector<int32_t>{1, 3});
  EXPECT_LT(one_two, one_two_zero);
  EXPECT_LT(one_two_zero, one_three);
  EXPECT_FALSE(one_three < one_two_zero);

  EXPECT_LT(EncodableValue(std::vector<int64_t>{-1}), EncodableValue(std::vector<int64_t>{0}));
  EXPECT_LT(EncodableValue(std::vector<double>{1.0, -1.0}),
            EncodableValue(std::vector<double>{1.0, 0.0}));
  EXPECT_LT(EncodableValue(std::vector<float>{2.0f}), EncodableValue(std::vector<float>{2.5f}));

  // Lists compare element-wise with this same ordering, alternatives included.
  EXPECT_LT(EncodableValue(EncodableList{int32_t{1}, "a"}),
            EncodableValue(EncodableList{int32_t{1}, "b"}));
  EXPECT_LT(EncodableValue(EncodableList{int32_t{9}}), EncodableValue(EncodableList{int64_t{0}}));
  EXPECT_LT(EncodableValue(EncodableList{int32_t{1}}),
            EncodableValue(EncodableList{int32_t{1}, EncodableValue()}));
}

TEST(EncodableValueOrdering, MapsCompareEntryByEntryInKeyOrder) {
  const EncodableValue a1(EncodableMap{{int32_t{1}, "a"}});
  const EncodableValue b1(EncodableMap{{int32_t{1}, "b"}});
  const EncodableValue empty2(EncodableMap{{int32_t{2}, ""}});
  const EncodableValue a1_empty2(EncodableMap{{int32_t{1}, "a"}, {int32_t{2}, ""}});
  EXPECT_LT(a1, b1);         // equal keys, smaller value
  EXPECT_LT(b1, empty2);     // smaller key wins over any value
  EXPECT_LT(a1, a1_empty2);  // proper prefix
  EXPECT_FALSE(a1_empty2 < a1);
}

TEST(EncodableValueOrdering, CustomValuesCompareByIdentityOnly) {
  const EncodableValue first(CustomEncodableValue(5));
  const EncodableValue second(CustomEncodableValue(5));
  EXPECT_NE(first < second, second < first);
  EXPECT_FALSE(first < first);
}

TEST(EncodableMapKeys, Int32AndInt64KeysAreDistinctWithInt32First) {
  EncodableMap map;
  map[EncodableValue(int64_t{5})] = "wide";
  map[EncodableValue(int32_t{5})] = "narrow";
  EXPECT_THAT(map, ElementsAre(Pair(EncodableValue(int32_t{5}), EncodableValue("narrow")),
                               Pair(EncodableValue(int64_t{5}), EncodableValue("wide"))));
}

TEST(EncodableMapKeys, StringKeysIterateInByteOrder) {
  EncodableMap map{{"a", int32_t{1}}, {"B", int32_t{2}}, {"ab", int32_t{3}}};
  std::vector<std::string> keys;
  for (const auto& entry : map) keys.push_back(std::get<std::string>(entry.first));
  EXPECT_THAT(keys, ElementsAre("B", "a", "ab"));
}

TEST(EncodableMapKeys, InsertingAPresentKeyKeepsTheFirstValueAndAssignmentReplacesIt) {
  EncodableMap map;
  map.emplace("k", int32_t{1});
  EXPECT_FALSE(map.emplace("k", int32_t{2}).second);
  EXPECT_EQ(map.at("k"), EncodableValue(int32_t{1}));
  map["k"] = int32_t{3};
  EXPECT_EQ(map.at("k"), EncodableValue(int32_t{3}));
}

TEST(EncodableMapKeys, AllNullKeysCollideIntoOneEntry) {
  EncodableMap map;
  map.emplace(EncodableValue(), int32_t{1});
  map.emplace(EncodableValue(), int32_t{2});
  EXPECT_THAT(map, ElementsAre(Pair(EncodableValue(), EncodableValue(int32_t{1}))));
}

TEST(EncodableValueCopyMove, CopyOfNestedListOfMapsIsIndependent) {
  EncodableValue source(EncodableList{EncodableMap{{"k", EncodableList{int32_t{1}}}}});
  EncodableValue copy = source;
  auto& inner = std::get<EncodableList>(
      std::get<EncodableMap>(std::get<EncodableList>(copy)[0]).at(EncodableValue("k")));
  inner.push_back(int32_t{2});
  EncodableValue assigned;
  assigned = copy;
  std::get<EncodableList>(assigned).clear();

  EXPECT_EQ(source, EncodableValue(EncodableList{EncodableMap{{"k", EncodableList{int32_t{1}}}}}));
  EXPECT_EQ(copy, EncodableValue(
                      EncodableList{EncodableMap{{"k", EncodableList{int32_t{1}, int32_t{2}}}}}));
}

TEST(EncodableValueCopyMove, MoveLeavesTheSourceInItsAlternativeWithEmptyContent) {
  EncodableValue text(std::string(100, 'x'));
  EncodableValue moved_text = std::move(text);
  EXPECT_EQ(text, EncodableValue(""));  // NOLINT(bugprone-use-after-move): checked on purpose
  EXPECT_EQ(std::get<std::string>(moved_text).size(), 100u);

  EncodableValue list(EncodableList{int32_t{1}});
  EncodableValue target(int32_t{0});
  target = std::move(list);                          // assignment across alternatives
  EXPECT_EQ(list, EncodableValue(EncodableList{}));  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(target, EncodableValue(EncodableList{int32_t{1}}));

  EncodableValue map(EncodableMap{{"k", "v"}});
  EncodableValue moved_map(std::move(map));
  EXPECT_EQ(map, EncodableValue(EncodableMap{}));  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(std::get<EncodableMap>(moved_map).size(), 1u);
}

TEST(EncodableValueCopyMove, CustomValueIsCopiedThroughItsOwnCopyEvenWhenMoved) {
  int copies = 0;
  EncodableValue source{CustomEncodableValue(CopyCounter(&copies))};
  copies = 0;

  EncodableValue copied = source;
  EXPECT_EQ(copies, 1);
  EncodableValue moved = std::move(source);
  EXPECT_EQ(copies, 2);
  // The source still holds its object.
  const auto& left = std::get<CustomEncodableValue>(source);  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(std::any_cast<CopyCounter>(left.value()).copies, &copies);
  EXPECT_EQ(std::get<CustomEncodableValue>(moved).type(), typeid(CopyCounter));
}

TEST(EncodableValueCopyMove, GrowingAListMovesElementsInsteadOfCopyingThem) {
  EncodableList list;
  list.emplace_back(std::string(1000, 'x'));
  const char* storage = std::get<std::string>(list[0]).data();
  for (int i = 0; i < 100; ++i) list.emplace_back(int32_t{i});
  EXPECT_EQ(std::get<std::string>(list[0]).data(), storage);
}

}  // namespace
}  // namespace flutter
