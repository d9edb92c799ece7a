#include "stores/entry_sorter.h"

#include "platform/collation.h"
#include "platform/qt_locale.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace pellora {
namespace {

class EntrySorterTest : public ::testing::Test {
protected:
  void SetUp() override {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    InstallQtLocaleCompare();
  }
  void TearDown() override {
    SetLocaleCompare(nullptr);
    QLocale::setDefault(QLocale::c());
  }

  static std::vector<TMessageEntry> WithSubjects(const std::vector<std::string>& subjects) {
    std::vector<TMessageEntry> entries(subjects.size());
    for (size_t i = 0; i < subjects.size(); ++i) {
      entries[i].Header.Subject = subjects[i];
      entries[i].Index = static_cast<int32_t>(i);
    }
    return entries;
  }

  static std::vector<uint32_t> Identity(size_t n) {
    std::vector<uint32_t> rows(n);
    std::iota(rows.begin(), rows.end(), 0u);
    return rows;
  }

  // Rows with these subjects, sorted from their own order; the subjects in the sorted order.
  static std::vector<std::string> Sorted(const std::vector<std::string>& subjects, bool descending,
                                         std::vector<uint32_t>* order = nullptr) {
    std::vector<TMessageEntry> entries = WithSubjects(subjects);
    std::vector<uint32_t> rows = Identity(entries.size());
    TEntrySorter(entries, nullptr).Sort(rows, lcSubject, descending);
    std::vector<std::string> result;
    for (uint32_t row : rows)
      result.push_back(subjects[row]);
    if (order) *order = rows;
    return result;
  }
};

TEST_F(EntrySorterTest, TextsFollowTheLocaleWithCase) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Sorted({"Banana", "apple", "banana", "Apple", "cherry"}, false),
            (V{"apple", "Apple", "banana", "Banana", "cherry"}));
  EXPECT_EQ(Sorted({"Banana", "apple", "banana", "Apple", "cherry"}, true),
            (V{"cherry", "Banana", "banana", "Apple", "apple"}));
  EXPECT_EQ(Sorted({"\xC4rger", "Zoo", "Arg"}, false), (V{"Arg", "\xC4rger", "Zoo"}));
}

TEST_F(EntrySorterTest, TextsThatCollateEqualKeepTheirOrderBothWays) {
  // A control character weighs nothing: the two spellings are one text to the collator.
  std::vector<std::string> subjects = {"b", "ab\x01" "c", "abc", "a", "ab\x01" "c"};
  std::vector<uint32_t> order;
  Sorted(subjects, false, &order);
  EXPECT_EQ(order, (std::vector<uint32_t>{3, 1, 2, 4, 0}));
  Sorted(subjects, true, &order);
  EXPECT_EQ(order, (std::vector<uint32_t>{0, 1, 2, 4, 3}));
}

// The ranks made once per column give the order that comparing the rows pair by pair gives, with
// the locale installed and with the byte order that stands in without one.
TEST_F(EntrySorterTest, RanksGiveThePairwiseOrder) {
  const std::vector<std::string> subjects = {
      "Re: b", "re: B", "\xC4pfel", "Apfel", "apfel", "", "Zebra", "zebra", "ab\x01" "c", "abc",
      "10 items", "9 items", "\xE9t\xE9", "ete", "Ete", "Re: b"};
  for (bool withLocale : {true, false}) {
    if (!withLocale) SetLocaleCompare(nullptr);
    std::vector<TMessageEntry> entries = WithSubjects(subjects);
    for (bool descending : {false, true}) {
      std::vector<uint32_t> ranked = Identity(entries.size()), pairwise = ranked;
      TEntrySorter(entries, nullptr).Sort(ranked, lcSubject, descending);
      std::stable_sort(pairwise.begin(), pairwise.end(), [&](uint32_t a, uint32_t b) {
        int c = LocaleCompare(entries[a].Header.Subject, entries[b].Header.Subject, false);
        return descending ? c > 0 : c < 0;
      });
      EXPECT_EQ(ranked, pairwise) << "locale " << withLocale << ", descending " << descending;
    }
  }
}

TEST_F(EntrySorterTest, LaterSortsKeepThePreviousOrderOfEqualRows) {
  std::vector<TMessageEntry> entries = WithSubjects({"x", "y", "x", "y"});
  TEntrySorter sorter(entries, nullptr);
  std::vector<uint32_t> rows = {3, 2, 1, 0};
  sorter.Sort(rows, lcSubject, false);
  EXPECT_EQ(rows, (std::vector<uint32_t>{2, 0, 3, 1}));
  sorter.Sort(rows, lcSubject, true); // the kept ranks, the same stability
  EXPECT_EQ(rows, (std::vector<uint32_t>{3, 1, 2, 0}));
}

TEST_F(EntrySorterTest, NumberColumnsAreStableBothWays) {
  std::vector<TMessageEntry> entries(5);
  const TDateTime dates[] = {2, 3, 0, 3, 1};
  const int64_t sizes[] = {10, 5, 10, 7, 5};
  for (int i = 0; i < 5; ++i) {
    entries[i].Index = i;
    entries[i].Header.Date = dates[i];
    entries[i].Header.Size = sizes[i];
  }
  TEntrySorter sorter(entries, nullptr);
  std::vector<uint32_t> rows = Identity(5);
  sorter.Sort(rows, lcReceived, true); // the list's default: newest first, undated last
  EXPECT_EQ(rows, (std::vector<uint32_t>{1, 3, 0, 4, 2}));
  sorter.Sort(rows, lcReceived, false);
  EXPECT_EQ(rows, (std::vector<uint32_t>{2, 4, 0, 1, 3}));
  sorter.Sort(rows, lcSize, false);
  EXPECT_EQ(rows, (std::vector<uint32_t>{4, 1, 3, 2, 0}));
  // Rows without flags all weigh the same: nothing moves.
  sorter.Sort(rows, lcFlag, true);
  EXPECT_EQ(rows, (std::vector<uint32_t>{4, 1, 3, 2, 0}));
}

} // namespace
} // namespace pellora
