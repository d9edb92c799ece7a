#include "mailbox_window/address_collection.h"

#include "platform/ascii.h"
#include "platform/collation.h"
#include "stores/kinds/database_store.h"
#include "stores/kinds/message_folder_store.h"

#include <gtest/gtest.h>

#include <numeric>

namespace pellora {
namespace {

TMessageEntry Entry(std::string from, std::string sender = {}, std::string to = {},
                    std::string cc = {}) {
  TMessageEntry entry;
  entry.Header.From = std::move(from);
  entry.Header.Sender = std::move(sender);
  entry.Header.To = std::move(to);
  entry.Header.Cc = std::move(cc);
  return entry;
}

using TLines = std::vector<std::string>;

// Rows of message files, and of a database, which keeps its rows' authors otherwise.
const TMessageFolderStore Messages;
const TDatabaseStore Database;

// The information lines of the rows in load order.
TLines Collect(const std::vector<TMessageEntry>& entries, std::vector<uint32_t> order = {},
               const TStore& store = Messages) {
  if (order.empty()) {
    order.resize(entries.size());
    std::iota(order.begin(), order.end(), 0u);
  }
  TLines lines;
  for (const auto& address : CollectAddresses(entries, order, store))
    lines.push_back(AddressLine(address));
  return lines;
}

TEST(CollectAddresses, OnlyAddressesOfTheAddressFields) {
  struct {
    const char* name;
    std::vector<TMessageEntry> entries;
    TLines lines;
    bool database = false;
  } cases[] = {
      {"name and address", {Entry("Ann Lee <ann@x.org>")}, {"ann@x.org = Ann Lee"}},
      {"bare address", {Entry("ann@x.org")}, {"ann@x.org"}},
      {"quoted name with a comma", {Entry("\"Doe, John\" <j@x.org>")}, {"j@x.org = Doe, John"}},
      // A message's sender item is its From, its Sender only where From is missing.
      {"from over sender", {Entry("Ann <ann@x.org>", "list-bounces@y.org")}, {"ann@x.org = Ann"}},
      {"sender without from", {Entry("", "list@y.org")}, {"list@y.org"}},
      // A database row keeps the From name, and the From address as its sender text.
      {"database name and sender", {Entry("Ann Lee", "ann@x.org")}, {"ann@x.org = Ann Lee"}, true},
      {"name without address", {Entry("Ann", "", "Bob", "team")}, {}},
      {"comma separated", {Entry("", "", "Ann <a@x.org>, Bob <b@y.org>")}, {"a@x.org = Ann", "b@y.org = Bob"}},
      {"semicolon separated", {Entry("", "", "a@x.org; b@y.org")}, {"a@x.org", "b@y.org"}},
      {"a database's name and address", {Entry("", "", "Ann a@x.org;Bob b@y.org")},
       {"a@x.org = Ann", "b@y.org = Bob"}},
      {"cc too", {Entry("", "", "", "Cy <c@z.org>;d@z.org")}, {"c@z.org = Cy", "d@z.org"}},
      {"empty parts", {Entry("", "", ";;a@x.org;;", ";")}, {"a@x.org"}},
      // What the text search of brackets made of such lines: no junk now.
      {"junk", {Entry("", "", "<not an address>, x@, @y, a@b@c, <mailto:l@x.org>, <dash.btrfs@inix.me>")},
       {"dash.btrfs@inix.me"}},
      {"with and without a name", {Entry("Ann <ann@x.org>"), Entry("ann@x.org")},
       {"ann@x.org", "ann@x.org = Ann"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Collect(c.entries, {}, c.database ? static_cast<const TStore&>(Database) : Messages),
              c.lines)
        << c.name;
}

// Spellings that differ in case are one address, shown as written most often and counted
// together.
TEST(CollectAddresses, MostFrequentSpellingAndCount) {
  std::vector<TMessageEntry> entries{Entry("ANN@X.ORG"), Entry("Ann@x.org", "", "ann@x.org"),
                                     Entry("b@y.org", "", "Ann@x.org; B@Y.org")};
  std::vector<uint32_t> order{0, 1, 2};
  auto addresses = CollectAddresses(entries, order, Messages);
  ASSERT_EQ(addresses.size(), 2u);
  EXPECT_EQ(addresses[0].Address, "Ann@x.org");
  EXPECT_EQ(addresses[0].Count, 4u);
  EXPECT_EQ(addresses[1].Address, "b@y.org"); // equally often: the first met
  EXPECT_EQ(addresses[1].Count, 2u);
  EXPECT_EQ(AddressKey("Ann@x.org", "J\xF6rg"), "ANN@X.ORG = J\xF6RG"); // ASCII letters only
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
  std::vector<TMessageEntry> entries{Entry("z@x.org"), Entry("J\xE4n <j@x.org>"), Entry("a@x.org"),
                                     Entry("J\xC4n <j@x.org>")};
  EXPECT_EQ(Collect(entries), (TLines{"a@x.org", "j@x.org = J\xE4n", "z@x.org"}));
  EXPECT_EQ(Collect(entries, {3, 2, 1, 0}), (TLines{"a@x.org", "j@x.org = J\xC4n", "z@x.org"}));
  EXPECT_EQ(CollectAddresses(entries, {1, 3}, Messages)[0].Count, 2u);
  SetLocaleCompare(nullptr);
}

TEST(CollectAddresses, Files) {
  const std::vector<TCollectedAddress> addresses{{"ann@x.org", "Lee, Ann \"A\"", 3}, {"b@y.org", "", 1}};
  EXPECT_EQ(AddressesAsText(addresses), "ann@x.org\tLee, Ann \"A\"\t3\r\nb@y.org\t\t1\r\n");
  EXPECT_EQ(AddressesAsCsv(addresses), "ann@x.org,\"Lee, Ann \"\"A\"\"\",3\r\nb@y.org,,1\r\n");
}

TEST(CollectAddresses, Title) {
  EXPECT_EQ(AddressCollectionTitle(4), "  E-Mail Addresses (4)");
  EXPECT_EQ(AddressCollectionTitle(0), "  E-Mail Addresses (0)");
}

} // namespace
} // namespace pellora
