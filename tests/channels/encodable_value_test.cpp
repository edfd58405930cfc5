#include "channels/encodable_value.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <any>
#include <limits>
#include <string>
#include <vector>

#include "tests/channels/codec_test_util.h"

namespace flutter {
namespace {

using codec_test::F32s;
using codec_test::F64s;
using codec_test::I32s;
using codec_test::I64s;
using codec_test::U8s;
using testing::ElementsAre;
using testing::Pair;

// Counts how often it is copied, to show when a custom value copies its held object.
struct CopyCounter {
  explicit CopyCounter(int* copies) : copies(copies) {}
  CopyCounter(const CopyCounter& other) : copies(other.copies) { ++*copies; }
  CopyCounter& operator=(const CopyCounter& other) = delete;
  int* copies;
};

// A text literal is a string, never a bool.
TEST(EncodableValueAlternatives, EachContentTypeHoldsItsFixedIndex) {
  const std::vector<EncodableValue> values(
      {EncodableValue(), true, int32_t{1}, int64_t{1}, 1.0, "literal", U8s{1}, I32s{1}, I64s{1},
       F64s{1}, EncodableList{}, EncodableMap{}, CustomEncodableValue(1), F32s{1}});
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(values[i].index(), i);
    EXPECT_EQ(values[i].IsNull(), i == 0);
  }
  EncodableValue assigned(int32_t{7});
  EXPECT_EQ(std::get_if<std::string>(&assigned), nullptr);
  EXPECT_EQ(assigned, EncodableValue(int32_t{7}));
  assigned = "no";
  EXPECT_EQ(assigned, EncodableValue(std::string("no")));
}

// Each row is strictly ordered: first < second, and not the reverse.
TEST(EncodableValueOrdering, PairsInOrder) {
  const std::pair<EncodableValue, EncodableValue> rows[] = {
      // The alternative index decides first, whatever the content.
      {EncodableValue(), false},
      {false, true},
      {true, int32_t{0}},
      {int32_t{100}, int64_t{-100}},
      {CustomEncodableValue(1), F32s{}},
      // Numbers numerically.
      {int32_t{-2}, int32_t{1}},
      {int64_t{-2}, int64_t{1}},
      {-0.5, 0.25},
      // Strings and byte lists by unsigned bytes, then length.
      {"B", "a"},
      {"a", "\x80"},
      {"ab", "abc"},
      {U8s{1, 0}, U8s{0xFF}},
      {U8s{}, U8s{0}},
      // Sequences lexicographically, a proper prefix first.
      {I32s{1, 2}, I32s{1, 2, 0}},
      {I32s{1, 2, 0}, I32s{1, 3}},
      {I64s{-1}, I64s{0}},
      {F64s{1, -1}, F64s{1, 0}},
      {F32s{2.0f}, F32s{2.5f}},
      {EncodableList{1, "a"}, EncodableList{1, "b"}},
      {EncodableList{int32_t{9}}, EncodableList{int64_t{0}}},
      {EncodableList{1}, EncodableList{1, EncodableValue()}},
      // Maps entry by entry in key order: equal keys, smaller value; smaller key; proper prefix.
      {EncodableMap{{1, "a"}}, EncodableMap{{1, "b"}}},
      {EncodableMap{{1, "b"}}, EncodableMap{{2, ""}}},
      {EncodableMap{{1, "a"}}, EncodableMap{{1, "a"}, {2, ""}}},
  };
  for (const auto& [smaller, larger] : rows) {
    SCOPED_TRACE(testing::PrintToString(smaller) + " < " + testing::PrintToString(larger));
    EXPECT_TRUE(smaller < larger);
    EXPECT_FALSE(larger < smaller);
    EXPECT_FALSE(smaller < smaller);
  }
}

TEST(EncodableValueOrdering, NaNIsUnorderedAndCustomValuesCompareByIdentity) {
  const EncodableValue nan(std::numeric_limits<double>::quiet_NaN());
  EXPECT_FALSE(nan < EncodableValue(1.0));
  EXPECT_FALSE(EncodableValue(1.0) < nan);

  const EncodableValue first(CustomEncodableValue(5));
  const EncodableValue second(CustomEncodableValue(5));
  EXPECT_NE(first < second, second < first);
}

std::vector<EncodableValue> KeysOf(const EncodableMap& map) {
  std::vector<EncodableValue> keys;
  for (const auto& entry : map) keys.push_back(entry.first);
  return keys;
}

TEST(EncodableMapKeys, KeysFollowTheValueOrderingAndTheFirstEntryOfAKeyStays) {
  EXPECT_THAT(KeysOf({{int64_t{5}, "wide"}, {int32_t{5}, "narrow"}}),
              ElementsAre(int32_t{5}, int64_t{5}));
  EXPECT_THAT(KeysOf({{"a", 1}, {"B", 2}, {"ab", 3}}), ElementsAre("B", "a", "ab"));

  EncodableMap nulls;
  nulls.emplace(EncodableValue(), 1);
  EXPECT_FALSE(nulls.emplace(EncodableValue(), 2).second);  // all null keys collide
  EXPECT_THAT(nulls, ElementsAre(Pair(EncodableValue(), EncodableValue(1))));
}

TEST(EncodableValueCopyMove, CopyOfNestedListOfMapsIsIndependent) {
  const EncodableValue source(EncodableList{EncodableMap{{"k", EncodableList{1}}}});
  EncodableValue copy = source;
  EncodableValue assigned;
  assigned = source;
  std::get<EncodableList>(std::get<EncodableMap>(std::get<EncodableList>(copy)[0]).at("k"))
      .push_back(2);
  std::get<EncodableList>(assigned).clear();

  EXPECT_EQ(source, EncodableValue(EncodableList{EncodableMap{{"k", EncodableList{1}}}}));
  EXPECT_EQ(copy, EncodableValue(EncodableList{EncodableMap{{"k", EncodableList{1, 2}}}}));
}

// NOLINTBEGIN(bugprone-use-after-move): the moved-from values are checked on purpose.
TEST(EncodableValueCopyMove, MoveLeavesTheSourceInItsAlternativeWithEmptyContent) {
  EncodableValue text(std::string(100, 'x'));
  EncodableValue moved_text = std::move(text);
  EXPECT_EQ(text, EncodableValue(""));
  EXPECT_EQ(moved_text, EncodableValue(std::string(100, 'x')));

  EncodableValue list(EncodableList{int32_t{1}});
  EncodableValue target(int32_t{0});
  target = std::move(list);  // assignment across alternatives
  EXPECT_EQ(list, EncodableValue(EncodableList{}));
  EXPECT_EQ(target, EncodableValue(EncodableList{int32_t{1}}));
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
  EXPECT_EQ(std::any_cast<CopyCounter>(std::get<CustomEncodableValue>(source).value()).copies,
            &copies);
  EXPECT_EQ(std::get<CustomEncodableValue>(moved).type(), typeid(CopyCounter));
}
// NOLINTEND(bugprone-use-after-move)

}  // namespace
}  // namespace flutter
