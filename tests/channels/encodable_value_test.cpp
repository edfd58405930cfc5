#include "channels/encodable_value.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <any>
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
  CopyCounter& operator=(const CopyCounter& other) = delete;
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
      EncodableValue("text literal, never a bool"),
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
  EncodableValue assigned(int32_t{7});
  EXPECT_EQ(std::get_if<std::string>(&assigned), nullptr);
  assigned = "no";
  EXPECT_EQ(assigned, EncodableValue(std::string("no")));
}

// Each row is strictly ordered: first < second, and not the reverse.
TEST(EncodableValueOrdering, PairsInOrder) {
  const std::pair<EncodableValue, EncodableValue> rows[] = {
      // The alternative index decides first, whatever the content.
      {EncodableValue(), EncodableValue(false)},
      {EncodableValue(false), EncodableValue(true)},
      {EncodableValue(true), EncodableValue(int32_t{0})},
      {EncodableValue(int32_t{100}), EncodableValue(int64_t{-100})},
      {EncodableValue(CustomEncodableValue(1)), EncodableValue(std::vector<float>{})},
      // Numbers numerically.
      {EncodableValue(int32_t{-2}), EncodableValue(int32_t{1})},
      {EncodableValue(int64_t{-2}), EncodableValue(int64_t{1})},
      {EncodableValue(-0.5), EncodableValue(0.25)},
      // Strings and byte lists by unsigned bytes, then length.
      {EncodableValue("B"), EncodableValue("a")},
      {EncodableValue("a"), EncodableValue("\x80")},
      {EncodableValue("ab"), EncodableValue("abc")},
      {EncodableValue(std::vector<uint8_t>{1, 0}), EncodableValue(std::vector<uint8_t>{0xFF})},
      {EncodableValue(std::vector<uint8_t>{}), EncodableValue(std::vector<uint8_t>{0})},
      // Sequences lexicographically, a proper prefix first.
      {EncodableValue(std::vector<int32_t>{1, 2}), EncodableValue(std::vector<int32_t>{1, 2, 0})},
      {EncodableValue(std::vector<int32_t>{1, 2, 0}), EncodableValue(std::vector<int32_t>{1, 3})},
      {EncodableValue(std::vector<int64_t>{-1}), EncodableValue(std::vector<int64_t>{0})},
      {EncodableValue(std::vector<double>{1, -1}), EncodableValue(std::vector<double>{1, 0})},
      {EncodableValue(std::vector<float>{2.0f}), EncodableValue(std::vector<float>{2.5f})},
      {EncodableValue(EncodableList{int32_t{1}, "a"}),
       EncodableValue(EncodableList{int32_t{1}, "b"})},
      {EncodableValue(EncodableList{int32_t{9}}), EncodableValue(EncodableList{int64_t{0}})},
      {EncodableValue(EncodableList{int32_t{1}}),
       EncodableValue(EncodableList{int32_t{1}, EncodableValue()})},
      // Maps entry by entry in key order: equal keys, smaller value; smaller key; proper prefix.
      {EncodableValue(EncodableMap{{int32_t{1}, "a"}}),
       EncodableValue(EncodableMap{{int32_t{1}, "b"}})},
      {EncodableValue(EncodableMap{{int32_t{1}, "b"}}),
       EncodableValue(EncodableMap{{int32_t{2}, ""}})},
      {EncodableValue(EncodableMap{{int32_t{1}, "a"}}),
       EncodableValue(EncodableMap{{int32_t{1}, "a"}, {int32_t{2}, ""}})},
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

TEST(EncodableMapKeys, KeysFollowTheValueOrdering) {
  EncodableMap numbers;
  numbers[EncodableValue(int64_t{5})] = "wide";
  numbers[EncodableValue(int32_t{5})] = "narrow";
  EXPECT_THAT(numbers, ElementsAre(Pair(EncodableValue(int32_t{5}), EncodableValue("narrow")),
                                   Pair(EncodableValue(int64_t{5}), EncodableValue("wide"))));

  const EncodableMap strings{{"a", int32_t{1}}, {"B", int32_t{2}}, {"ab", int32_t{3}}};
  EXPECT_THAT(strings, ElementsAre(Pair(EncodableValue("B"), EncodableValue(int32_t{2})),
                                   Pair(EncodableValue("a"), EncodableValue(int32_t{1})),
                                   Pair(EncodableValue("ab"), EncodableValue(int32_t{3}))));

  EncodableMap nulls;
  nulls.emplace(EncodableValue(), int32_t{1});
  EXPECT_FALSE(nulls.emplace(EncodableValue(), int32_t{2}).second);  // all null keys collide
  EXPECT_THAT(nulls, ElementsAre(Pair(EncodableValue(), EncodableValue(int32_t{1}))));
}

TEST(EncodableValueCopyMove, CopyOfNestedListOfMapsIsIndependent) {
  const EncodableValue original(EncodableList{EncodableMap{{"k", EncodableList{int32_t{1}}}}});
  EncodableValue source = original;
  EncodableValue copy = source;
  std::get<EncodableList>(std::get<EncodableMap>(std::get<EncodableList>(copy)[0]).at("k"))
      .push_back(int32_t{2});
  EncodableValue assigned;
  assigned = copy;
  std::get<EncodableList>(assigned).clear();

  EXPECT_EQ(source, original);
  EXPECT_EQ(copy, EncodableValue(
                      EncodableList{EncodableMap{{"k", EncodableList{int32_t{1}, int32_t{2}}}}}));
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
