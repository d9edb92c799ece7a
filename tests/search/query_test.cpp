#include "search/query.h"

#include "filter_rows.h"
#include "search/fuzz_bodies.h"
#include "search/mailbox_filter.h"
#include "stores/kinds/store_kinds.h"
#include "support/fuzz_replay.h"
#include "support/store_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace pellora {
namespace {

TEST(Query, ParsesIntoATree) {
  struct {
    std::string text, tree;
    bool plainWords = false;
    std::string dateFormat = {};
  } cases[] = {
      {"ann", "(words \"ann\")", true},
      {"ann budget", "(and (words \"ann\") (words \"budget\"))", true},
      {"from:ann subject:budget after:2019-01-01",
       "(and (from \"ann\") (subject \"budget\") (after 2019-01-01))"},
      {"From:ANN to:bob cc:carl", "(and (from \"ANN\") (to \"bob\") (cc \"carl\"))"},
      {"body:x source:y header:z attachment:pdf",
       "(and (body \"x\") (source \"y\") (header \"z\") (attachment \"pdf\"))"},
      {"has:attachment is:unread IS:Flagged", "(and (has-attachment) (unread) (flagged))"},
      {"\"two  words\" from:\"Ann Smith\"", "(and (words \"two  words\") (from \"Ann Smith\"))"},
      // OR binds closer than the juxtaposition that means AND.
      {"a OR b c", "(and (or (words \"a\") (words \"b\")) (words \"c\"))"},
      {"a OR b OR c", "(or (words \"a\") (words \"b\") (words \"c\"))"},
      {"a (b OR c)", "(and (words \"a\") (or (words \"b\") (words \"c\")))"},
      {"(a b) OR c", "(or (and (words \"a\") (words \"b\")) (words \"c\"))"},
      {"-a OR b", "(or (not (words \"a\")) (words \"b\"))"},
      {"-(a OR b) -from:c", "(and (not (or (words \"a\") (words \"b\"))) (not (from \"c\")))"},
      {"--a", "(not (not (words \"a\")))"},
      {"a or b", "(and (words \"a\") (words \"or\") (words \"b\"))", true}, // only upper-case OR
      {"ORACLE", "(words \"ORACLE\")", true},
      // A "-" alone, inside a word or an unknown name before a colon is text.
      {"- x-ray", "(and (words \"-\") (words \"x-ray\"))", true},
      {"re: budget", "(and (words \"re:\") (words \"budget\"))", true},
      {"http://x.org 10:30", "(and (words \"http://x.org\") (words \"10:30\"))", true},
      {"before:2019-03 after:2019", "(and (before 2019-03-01) (after 2019-01-01))"},
      {"before:05.03.2019", "(before 2019-03-05)", false, "dd.MM.yyyy"},
      {"before:5.3.19", "(before 2019-03-05)", false, "dd.MM.yyyy"},
      {"after:3/5/99", "(after 1999-03-05)", false, "M/d/yy"},
      {"after:2019-03-05", "(after 2019-03-05)", false, "M/d/yy"}, // ISO whatever the locale
      {"larger:100 smaller:2k larger:1.5MB", "(and (larger 100) (smaller 2048) (larger 1572864))"},
  };
  for (const auto& c : cases) {
    const TQueryParse parse = ParseQuery(c.text, c.dateFormat);
    ASSERT_TRUE(parse.Ok) << c.text << ": " << parse.Error;
    EXPECT_EQ(QueryTreeText(parse.Root), c.tree) << c.text;
    EXPECT_EQ(parse.PlainWords, c.plainWords) << c.text;
  }
}

TEST(Query, ErrorsSayWhatAndWhere) {
  struct {
    std::string text;
    size_t offset;
    std::string error;
    std::string dateFormat = {};
  } cases[] = {
      {"", 0, "the query is empty"},
      {"   ", 0, "the query is empty"},
      {"(a", 0, "the parenthesis opened here is never closed"},
      {"a (b (c)", 2, "the parenthesis opened here is never closed"},
      {"a)", 1, "a closing parenthesis without an opening one"},
      {"a () b", 2, "empty parentheses"},
      {"a OR", 2, "OR needs a term on each side"},
      {"OR a", 0, "OR needs a term on each side"},
      {"a OR OR b", 2, "OR needs a term on each side"},
      {"(a OR) b", 3, "OR needs a term on each side"},
      {"x \"abc", 2, "the quote opened here is never closed"},
      {"x \"\"", 2, "an empty phrase"},
      {"a subject: b", 2, "subject: needs a value"},
      {"from:", 0, "from: needs a value"},
      {"is:read", 3, "is: takes unread or flagged"},
      {"has:pdf", 4, "has: takes attachment"},
      {"before:2019-13-01", 7, "not a date: 2019-13-01 (write YYYY-MM-DD)"},
      {"after:2019-02-30", 6, "not a date: 2019-02-30 (write YYYY-MM-DD)"},
      {"after:5.3.19", 6, "not a date: 5.3.19 (write YYYY-MM-DD)"},
      {"after:31/12/19", 6, "not a date: 31/12/19 (write YYYY-MM-DD or M/d/yy)", "M/d/yy"},
      {"after:5.3.2019", 6, "not a date: 5.3.2019 (write YYYY-MM-DD)", "d MMM yyyy"}, // names
      {"x larger:10Q", 9, "not a size: 10Q (write bytes, or K or M after the number)"},
      {"smaller:K", 8, "not a size: K (write bytes, or K or M after the number)"},
      {std::string(150, '(') + "a", 100, "the query nests too deep"},
      {std::string(150, '-') + "a", 100, "the query nests too deep"},
  };
  for (const auto& c : cases) {
    const TQueryParse parse = ParseQuery(c.text, c.dateFormat);
    EXPECT_FALSE(parse.Ok) << c.text;
    EXPECT_EQ(parse.Error, c.error) << c.text;
    EXPECT_EQ(parse.ErrorOffset, c.offset) << c.text;
  }
}

TEST(Query, TextsForHighlightingLeaveNegatedTermsOut) {
  const TQueryParse parse = ParseQuery("ann \"big deal\" -bob from:carl (x OR -y) -(z from:dan)");
  ASSERT_TRUE(parse.Ok);
  EXPECT_EQ(QueryWords(parse.Root), (std::vector<std::string>{"ann", "big deal", "x"}));
  EXPECT_EQ(QueryTexts(parse.Root, qtFrom), (std::vector<std::string>{"carl"}));
  EXPECT_FALSE(QueryNeedsMessages(parse.Root));
  EXPECT_TRUE(QueryNeedsMessages(ParseQuery("a (b OR -body:c)").Root));
  EXPECT_TRUE(QueryNeedsMessages(ParseQuery("attachment:x").Root));
}

// One message per case; Index follows the order below. Dates are local (the tests' Prague).
std::string QueryMailbox() {
  std::vector<test::TMboxTestMessage> m(4);
  m[0].Marker = "X-Mozilla-Status: 0001"; // read
  m[0].Lines = {"From: Ann <ann@example.com>",
                "To: Bob <bob@example.com>",
                "Subject: Budget 2019",
                "Date: Tue, 05 Mar 2019 10:00:00 +0100",
                "MIME-Version: 1.0",
                "Content-Type: multipart/mixed; boundary=\"b1\"",
                "",
                "--b1",
                "Content-Type: text/plain",
                "",
                "numbers attached",
                "--b1",
                "Content-Type: application/octet-stream; name=\"budget.xls\"",
                "Content-Transfer-Encoding: base64",
                "",
                "AAAA",
                "--b1--",
                ""};
  m[1].Marker = "X-Mozilla-Status: 0000"; // unread
  m[1].Lines = {"From: Carl <carl@example.com>",
                "To: Bob <bob@example.com>",
                "Cc: Ann <ann@example.com>",
                "Subject: Re: Budget 2019",
                "Date: Wed, 06 Mar 2019 10:00:00 +0100",
                "",
                "looks fine",
                ""};
  m[2].Marker = "X-Mozilla-Status: 0005"; // read, flagged
  m[2].Lines = {"From: Dora <dora@example.com>",
                "To: Eve <eve@example.com>",
                "Subject: Holiday",
                "Date: Mon, 24 Dec 2018 10:00:00 +0100",
                "Message-ID: <hol-1@x>",
                "X-Greeting: =?utf-8?q?Gr=C3=BC=C3=9Fe?=",
                "",
                "a budget trip",
                std::string(5000, 'z'),
                ""};
  m[3].Marker = "X-Mozilla-Status: 0000";
  m[3].Lines = {"From: Ann <ann@example.com>",
                "To: Dora <dora@example.com>",
                "Subject: Lunch",
                "",
                "meet at noon",
                ""};
  return test::BuildMailbox(m);
}

using test::ByIndex;
const auto Shown = test::ShownIndexes;

TEST(Query, MatchesRowsOfAMailboxFile) {
  test::TTempDir dir;
  TMailbox box;
  LoadStoreChecked(box, dir.Write("Inbox", QueryMailbox()), okMailboxFile);
  ASSERT_EQ(box.Entries().size(), 4u);
  const std::vector<uint32_t> order = ByIndex(box);
  struct {
    std::string query;
    std::vector<int32_t> shown;
  } cases[] = {
      {"ann", {0, 3}}, // words search From, Subject and To, not Cc
      {"from:ann", {0, 3}},
      {"to:ann", {1}}, // To and Cc
      {"cc:ann", {1}},
      {"to:bob", {0, 1}},
      {"BUDGET subject:RE", {1}},
      {"budget", {0, 1}},
      {"body:budget", {2}},
      {"body:noon from:ann", {3}},
      {"source:hol-1@x", {2}},
      {"header:hol-1@X", {2}},
      {"header:Gr\xFC\xDF"
       "e",
       {2}}, // decoded from UTF-8 into the code page
      {"header:noon", {}},
      {"attachment:xls", {0}},
      {"attachment:budget -has:attachment", {}},
      {"has:attachment", {0}},
      {"is:unread", {1, 3}},
      {"is:flagged", {2}},
      {"-is:unread", {0, 2}},
      {"from:ann -subject:lunch", {0}},
      {"lunch OR holiday", {2, 3}},
      {"from:ann (lunch OR budget)", {0, 3}},
      {"-(lunch OR holiday)", {0, 1}},
      {"\"re: budget\"", {1}},
      {"re: budget", {1}},
      {"after:2019-03-06", {1}},
      {"after:2019-03-05", {0, 1}}, // on or after the day
      {"before:2019-03-06", {0, 2}},
      {"before:2019", {2}},
      {"-after:2019-01-01", {2, 3}}, // a row without a date is neither before nor after
      {"larger:2K", {2}},
      {"smaller:2K", {0, 1, 3}},
      {"body:noon OR from:dora", {2, 3}},
      {"-body:budget", {0, 1, 3}},
  };
  TMailboxFilter filter(box);
  for (const auto& c : cases) {
    const TQueryParse parse = ParseQuery(c.query);
    ASSERT_TRUE(parse.Ok) << c.query << ": " << parse.Error;
    std::vector<uint8_t> hidden;
    EXPECT_EQ(filter.ApplyQuery(order, parse.Root, hidden), c.shown.size()) << c.query;
    EXPECT_EQ(Shown(box, order, hidden), c.shown) << c.query;
    for (uint32_t row : order)
      EXPECT_EQ(filter.RowMatchesQuery(box.Entries()[row], parse.Root), !hidden[row]) << c.query;
  }
}

// On real mail a query's text terms find what the field filters find.
TEST(Query, AgreesWithTheFieldFiltersOnRealMail) {
  const std::string data = test::SharedDataDir();
  if (data.empty()) GTEST_SKIP() << "../shared/data is absent";
  TMailbox box;
  LoadStoreChecked(box, data + "/mbox/usrp-users.mbox", okMailboxFile);
  struct {
    std::string query;
    TFilterField field;
    std::string value;
  } cases[] = {
      {"rfnoc", ffFromSubjectTo, "rfnoc"},       {"from:ettus", ffFrom, "ettus"},
      {"subject:B210", ffSubject, "B210"},       {"body:REGARDS", ffBody, "REGARDS"},
      {"source:boundary", ffSource, "boundary"},
  };
  TMailboxFilter filter(box);
  for (const auto& c : cases) {
    std::vector<uint8_t> byQuery, byField;
    const size_t found = filter.ApplyQuery(box.Order(), ParseQuery(c.query).Root, byQuery);
    EXPECT_GT(found, 0u) << c.query;
    EXPECT_EQ(filter.ApplyFilter(box.Order(), c.field, c.value, byField), found) << c.query;
    EXPECT_EQ(byQuery, byField) << c.query;
  }
}

// The fuzz target's seeds run clean through its body (a query is what a user types).
TEST(Query, FuzzSeedsRunClean) {
  test::ReplayKeptInputs(PELLORA_QUERY_SEEDS, {{"", fuzz::RunQuery}});
}

} // namespace
} // namespace pellora
