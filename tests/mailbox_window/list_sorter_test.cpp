#include "mailbox_window/list_sorter.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <numeric>

namespace pellora {
namespace {

class ListSorterTest : public ::testing::Test {
protected:
  void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
  void TearDown() override { QLocale::setDefault(QLocale::c()); }

  // Rows with these subjects, sorted from their own order; the subjects in the sorted order.
  static std::vector<std::string> Sorted(const std::vector<std::string>& subjects, bool descending,
                                         std::vector<uint32_t>* order = nullptr) {
    std::vector<TMessageEntry> entries(subjects.size());
    for (size_t i = 0; i < subjects.size(); ++i)
      entries[i].Header.Subject = subjects[i];
    std::vector<uint32_t> rows(entries.size());
    std::iota(rows.begin(), rows.end(), 0u);
    TListSorter(entries, nullptr).Sort(rows, lcSubject, descending);
    std::vector<std::string> result;
    for (uint32_t row : rows)
      result.push_back(subjects[row]);
    if (order) *order = rows;
    return result;
  }
};

TEST_F(ListSorterTest, TextsFollowTheLocaleWithCase) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Sorted({"Banana", "apple", "banana", "Apple", "cherry"}, false),
            (V{"apple", "Apple", "banana", "Banana", "cherry"}));
  EXPECT_EQ(Sorted({"Banana", "apple", "banana", "Apple", "cherry"}, true),
            (V{"cherry", "Banana", "banana", "Apple", "apple"}));
  EXPECT_EQ(Sorted({"\xC4rger", "Zoo", "Arg"}, false), (V{"Arg", "\xC4rger", "Zoo"}));
}

TEST_F(ListSorterTest, TextsThatCollateEqualKeepTheirOrderBothWays) {
  // A control character weighs nothing: the two spellings are one text to the collator.
  std::vector<std::string> subjects = {"b", "ab\x01" "c", "abc", "a", "ab\x01" "c"};
  std::vector<uint32_t> order;
  Sorted(subjects, false, &order);
  EXPECT_EQ(order, (std::vector<uint32_t>{3, 1, 2, 4, 0}));
  Sorted(subjects, true, &order);
  EXPECT_EQ(order, (std::vector<uint32_t>{0, 1, 2, 4, 3}));
}

TEST_F(ListSorterTest, LaterSortsKeepThePreviousOrderOfEqualRows) {
  std::vector<TMessageEntry> entries(4);
  const char* subjects[] = {"x", "y", "x", "y"};
  for (size_t i = 0; i < entries.size(); ++i) {
    entries[i].Header.Subject = subjects[i];
    entries[i].Index = static_cast<int32_t>(i);
  }
  TListSorter sorter(entries, nullptr);
  std::vector<uint32_t> rows = {3, 2, 1, 0};
  sorter.Sort(rows, lcSubject, false);
  EXPECT_EQ(rows, (std::vector<uint32_t>{2, 0, 3, 1}));
  sorter.Sort(rows, lcSubject, true); // the kept ranks, the same stability
  EXPECT_EQ(rows, (std::vector<uint32_t>{3, 1, 2, 0}));
}

} // namespace
} // namespace pellora
