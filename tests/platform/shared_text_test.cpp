#include "platform/shared_text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <utility>

namespace pellora {
namespace {

TEST(SharedText, HoldsTheBytesGiven) {
  using namespace std::string_view_literals;
  const std::string longText(5000, 'x');
  for (std::string_view bytes :
       {""sv, "a"sv, "with\0zero"sv, "\xE9t\xE9"sv, std::string_view(longText)}) {
    TSharedText t(bytes);
    EXPECT_EQ(t.size(), bytes.size());
    EXPECT_EQ(t.view(), bytes);
    EXPECT_EQ(t.empty(), bytes.empty());
    EXPECT_EQ(t.c_str()[t.size()], '\0'); // file functions take it as a C string
    EXPECT_EQ(t.str(), bytes);
  }
  TSharedText none;
  EXPECT_STREQ(none.c_str(), "");
  std::ostringstream out;
  out << TSharedText("Subject");
  EXPECT_EQ(out.str(), "Subject");
}

TEST(SharedText, CopiesShareAndOutliveTheOriginal) {
  TSharedText copy;
  {
    TSharedText original("list@example.org");
    copy = original;
    EXPECT_TRUE(copy.SharesWith(original));
    TSharedText moved(std::move(original));
    EXPECT_TRUE(original.empty());
    EXPECT_TRUE(moved.SharesWith(copy));
  }
  EXPECT_EQ(copy, "list@example.org");
  copy = copy; // self-assignment keeps the text
  EXPECT_EQ(copy, "list@example.org");
  copy = "other";
  EXPECT_EQ(copy, "other");
}

TEST(SharedText, ShareIfEqualOnlyJoinsEqualTexts) {
  TSharedText a("same"), b("same"), c("Same");
  EXPECT_FALSE(a.SharesWith(b));
  b.ShareIfEqual(a);
  EXPECT_TRUE(b.SharesWith(a));
  c.ShareIfEqual(a);
  EXPECT_FALSE(c.SharesWith(a));
  EXPECT_EQ(c, "Same");
}

TEST(SharedText, ComparesAsItsBytes) {
  TSharedText a("abc");
  EXPECT_TRUE(a == "abc");
  EXPECT_TRUE("abc" == a);
  EXPECT_TRUE(a == std::string("abc"));
  EXPECT_TRUE(a != TSharedText("abd"));
  EXPECT_TRUE(a < TSharedText("abd"));
  EXPECT_TRUE(TSharedText("ab") < a);
  EXPECT_FALSE(a == TSharedText(std::string_view("abc\0", 4)));
}

} // namespace
} // namespace pellora
