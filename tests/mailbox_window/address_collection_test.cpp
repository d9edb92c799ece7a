#include "mailbox_window/address_collection.h"

#include "platform/ascii.h"
#include "platform/collation.h"

#include <gtest/gtest.h>

#include <numeric>

namespace pellora {
namespace {

TEST(AddressKey, Items) {
  struct {
    std::string item, key;
  } cases[] = {
      {"John Doe <john@x.org>", "JOHN@X.ORG = JOHN DOE"},
      {"john@x.org", "JOHN@X.ORG = "},
      {" john@x.org ", " JOHN@X.ORG  = "}, // without angle brackets nothing is trimmed
      {"<a@x>", "A@X = "},
      {"\"Doe, John\" <j@x>", "J@X = \"DOE, JOHN\""}, // quotes stay
      {" \tAnn\t< \ta@x\t >  ", "A@X = ANN"},
      {"J\xF6rg <j@x>", "J@X = J\xF6RG"}, // only ASCII letters are upper-cased
      {"Name <a@x", " = NAME"},           // no ">": no address
      {"x> Name <a@x>", " = X> NAME"},    // the first ">" stands before the "<"
      {"Ann <a@x>, Bob <b@y>", "A@X = ANN"},
      {"", " = "},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AddressKey(c.item), c.key) << c.item;
}

TMessageEntry Entry(std::string from, std::string sender = {}, std::string to = {},
                    std::string cc = {}, TEntryKind kind = ekMessageFile) {
  TMessageEntry entry;
  entry.Kind = kind;
  entry.Header.From = std::move(from);
  entry.Header.Sender = std::move(sender);
  entry.Header.To = std::move(to);
  entry.Header.Cc = std::move(cc);
  return entry;
}

using TKeys = std::vector<std::string>;

// The rows in load order.
TKeys Collect(const std::vector<TMessageEntry>& entries) {
  std::vector<uint32_t> order(entries.size());
  std::iota(order.begin(), order.end(), 0u);
  return CollectAddresses(entries, order);
}

TEST(CollectAddresses, SendersAndRecipients) {
  struct {
    const char* name;
    std::vector<TMessageEntry> entries;
    TKeys keys;
  } cases[] = {
      {"name and address", {Entry("Ann Lee <ann@x>")}, {"ANN@X = ANN LEE"}},
      {"bare address", {Entry("ann@x")}, {"ANN@X = "}},
      // A database row's sender item is its sender text followed by From: N alone becomes the
      // address.
      {"database name with sender",
       {Entry("Ann Lee", "ann@x", "", "", ekDatabase)},
       {"ANN LEE = ANN@X"}},
      {"database sender before a bracketed from",
       {Entry("Ann <ann@x>", "s@y", "", "", ekDatabase)},
       {"ANN@X = S@YANN"}},
      // A message's sender item is its From, its Sender only where From is missing.
      {"from over sender", {Entry("Ann <ann@x>", "list-bounces@y")}, {"ANN@X = ANN"}},
      {"sender without from", {Entry("", "list@y")}, {"LIST@Y = "}},
      {"no at anywhere", {Entry("Ann", "", "Bob;Carl <carl>", "team")}, {}},
      {"two recipients", {Entry("", "", "a@x;b@y")}, {"A@X = ", "B@Y = "}},
      {"blank after semicolon", {Entry("", "", "a@x; b@y")}, {" B@Y = ", "A@X = "}},
      {"comma is no separator", {Entry("", "", "Ann <a@x>, Bob <b@y>")}, {"A@X = ANN"}},
      {"empty parts", {Entry("", "", ";;a@x;;", ";")}, {"A@X = "}},
      {"cc too", {Entry("", "", "", "Cy <c@z>;d@z")}, {"C@Z = CY", "D@Z = "}},
      {"with and without a name",
       {Entry("Ann <ann@x>"), Entry("ann@x")},
       {"ANN@X = ", "ANN@X = ANN"}},
      {"case and repeats",
       {Entry("ann@X", "", "ANN@x;ann@x"), Entry("Ann@x", "", "b@y", "ann@x")},
       {"ANN@X = ", "B@Y = "}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Collect(c.entries), c.keys) << c.name;
}

// A locale that holds two bytes equal without regard to case, as a collator does with letters
// beyond ASCII.
int FoldingCompare(std::string_view a, std::string_view b, bool ignoreCase) {
  auto fold = [&](unsigned char c) -> unsigned char {
    if (!ignoreCase) return c;
    if (c == 0xE4) return 0xC4;
    return static_cast<unsigned char>(AsciiUpper(static_cast<char>(c)));
  };
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    unsigned char x = fold(a[i]), y = fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

TEST(CollectAddresses, KeysTheLocaleHoldsEqualCountOnceFirstFoundKept) {
  SetLocaleCompare(FoldingCompare);
  std::vector<TMessageEntry> entries{Entry("z@x"), Entry("J\xE4n <j@x>"), Entry("a@x"),
                                     Entry("J\xC4n <j@x>")};
  EXPECT_EQ(Collect(entries), (TKeys{"A@X = ", "J@X = J\xE4N", "Z@X = "}));
  EXPECT_EQ(CollectAddresses(entries, {3, 2, 1, 0}), (TKeys{"A@X = ", "J@X = J\xC4N", "Z@X = "}));
  EXPECT_EQ(CollectAddresses(entries, {0}), (TKeys{"Z@X = "}));
  SetLocaleCompare(nullptr);
}

TEST(CollectAddresses, Title) {
  EXPECT_EQ(AddressCollectionTitle(4), "  E-Mail Addresses (4)");
  EXPECT_EQ(AddressCollectionTitle(0), "  E-Mail Addresses (0)");
}

} // namespace
} // namespace pellora
