#include "mailbox_window/mailbox_filter.h"

#include "platform/ascii.h"
#include "support/store_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <random>

namespace pellora {
namespace {

// The plain definition the fast search must agree with.
bool NaiveContains(std::string_view searched, std::string_view text) {
  if (searched.empty() || searched.size() > text.size()) return false;
  for (size_t i = 0; i + searched.size() <= text.size(); ++i)
    if (SameTextAscii(searched, text.substr(i, searched.size()))) return true;
  return false;
}

TEST(FilterContains, Cases) {
  struct {
    std::string searched, text;
    bool contained;
  } cases[] = {
      {"invoice", "Your INVOICE 42", true},
      {"INVOICE", "your invoice", true},
      {"\xC4RGER", "\xE4rger", false}, // only ASCII letters ignore case (1252: Ä, ä)
      {"\xE4RGER", "\xE4rger", true},
      {"", "anything", false},
      {"", "", false},
      {"abc", "ab", false},
      {"@", "`", false}, // bytes that differ in bit 0x20 but are not letters
      {"[", "{", false},
      {"^", "~", false},
      {"a", "A", true},
      {"z]", "Z]", true},
      {"x\r\ny", "x\r\ny", true},
      {"tail", std::string(100, '.') + "TAIL", true},
      {"tail", std::string(100, '.') + "TAI", false},
      {"head", "HEAD" + std::string(100, '.'), true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FilterContains(c.searched, c.text), c.contained)
        << '"' << c.searched << "\" in \"" << c.text << '"';
    EXPECT_EQ(TFilterMatcher(c.searched).In(c.text), c.contained) << c.searched;
  }
}

// Random texts over a small alphabet with near misses: every length and offset of the block-wise
// search, hits straddling block ends, and bytes one bit from a letter.
TEST(FilterContains, AgreesWithThePlainDefinition) {
  const std::string alphabet = "aAbB@`[{\xE4\xC4\r\n.";
  std::mt19937 rng(7);
  auto pick = [&](size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i)
      s += alphabet[rng() % alphabet.size()];
    return s;
  };
  for (int round = 0; round < 20000; ++round) {
    std::string text = pick(rng() % 70);
    std::string searched = pick(1 + rng() % 5);
    if (round % 3 == 0 && text.size() >= searched.size()) {
      // Plant a case-changed copy so that hits are common.
      size_t at = rng() % (text.size() - searched.size() + 1);
      for (size_t i = 0; i < searched.size(); ++i) {
        char c = searched[i];
        text[at + i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
      }
    }
    ASSERT_EQ(FilterContains(searched, text), NaiveContains(searched, text))
        << "searched " << testing::PrintToString(searched) << " text "
        << testing::PrintToString(text);
  }
}

TEST(FilterHistory, KeepsOneItemPerTextIgnoringAsciiCase) {
  std::vector<std::string> history;
  EXPECT_TRUE(AddToHistory(history, "abc"));
  EXPECT_FALSE(AddToHistory(history, "ABC"));
  EXPECT_TRUE(AddToHistory(history, "abd"));
  EXPECT_TRUE(AddToHistory(history, "\xE4rger"));
  EXPECT_TRUE(AddToHistory(history, "\xC4rger"));
  EXPECT_EQ(history, (std::vector<std::string>{"abc", "abd", "\xE4rger", "\xC4rger"}));
}

// The rows of a store in order of their Index.
std::vector<uint32_t> ByIndex(const TMailbox& box) {
  std::vector<uint32_t> order(box.Entries().size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(),
            [&](uint32_t a, uint32_t b) { return box.Entries()[a].Index < box.Entries()[b].Index; });
  return order;
}

std::vector<int32_t> ShownIndexes(const TMailbox& box, const std::vector<uint32_t>& order,
                                  const std::vector<uint8_t>& hidden) {
  std::vector<int32_t> shown;
  for (uint32_t row : order)
    if (!hidden[row]) shown.push_back(box.Entries()[row].Index);
  return shown;
}

std::vector<std::string> Lines(std::initializer_list<const char*> lines) {
  return {lines.begin(), lines.end()};
}

// One mailbox file with a message for each case; Index follows the order below.
std::string FilterMailbox() {
  std::vector<test::TMboxTestMessage> messages(7);
  messages[0].Lines = Lines({"From: Ann <ann@example.com>", "To: Bob <bob@example.com>",
                             "Subject: Your INVOICE 42", "", "Nothing to pay here.", ""});
  messages[1].Lines = Lines({"From: Carl <carl@example.com>", "To: Bob <bob@example.com>",
                             "Subject: Hello", "", "please pay the", "invoice soon", ""});
  messages[2].Lines = Lines(
      {"From: Dora <dora@example.com>", "Subject: Photos", "MIME-Version: 1.0",
       "Content-Type: multipart/mixed; boundary=\"b1\"", "", "--b1", "Content-Type: text/plain", "",
       "see attached", "--b1", "Content-Type: application/octet-stream; name=\"a.txt\"",
       "Content-Transfer-Encoding: base64", "", "dGhlIHNlY3JldHdvcmQgaXMgaGVyZQ0K", "--b1--", ""});
  messages[3].Lines =
      Lines({"From: Eve <eve@example.com>", "Subject: Newsletter", "Content-Type: text/html", "",
             "<html><body><p>htmlonlyword</p></body></html>", ""});
  messages[4].Lines = Lines({"From: Fred <fred@example.com>", "Subject: Plain",
                             "Message-ID: <unique-id-77@example.com>", "", "short", ""});
  messages[5].Lines =
      Lines({"From: Gus <gus@example.com>", "Subject: \xE4rger", "", "viel \xE4rger heute", ""});
  messages[6].Lines = Lines({"From: alice@example.com", "Sender: Sam <sam@example.com>",
                             "To: Zed <zed@example.com>", "Subject: Via sender", "", "x", ""});
  return test::BuildMailbox(messages);
}

TEST(MailboxFilter, FieldsOverAMailboxFile) {
  test::TTempDir dir;
  TMailbox box;
  LoadStoreChecked(box, dir.Write("Inbox", FilterMailbox()), okMailboxFile);
  ASSERT_EQ(box.Entries().size(), 7u);
  const std::vector<uint32_t> order = ByIndex(box);
  struct {
    int field;
    std::string value;
    std::vector<int32_t> shown;
  } cases[] = {
      {ffFromSubjectTo, "invoice", {0}}, // the body-only occurrence in row 1 is not searched
      {ffFromSubjectToBody, "invoice", {0, 1}},
      {ffBody, "invoice", {1}},
      {ffSubject, "\xC4RGER", {}},
      {ffSubject, "\xE4RGER", {5}},
      {ffBody, "\xC4RGER", {}},
      {ffBody, "\xE4RGER", {5}},
      {ffBody, "see attached", {2}},
      {ffBody, "secretword", {}}, // only inside a base64 attachment
      {ffBody, "htmlonlyword", {}},
      {ffSource, "htmlonlyword", {3}},
      {ffSource, "UNIQUE-ID-77", {4}},
      {ffFromSubjectToBody, "unique-id-77", {}},
      {ffFrom, "alice", {}}, // the column shows the sender
      {ffFrom, "sam", {6}},
      {ffTo, "zed", {6}},
      {ffTo, "ann", {}},
      {ffFromSubjectTo, "bob", {0, 1}},
      // Matches across a line end, typed as CR LF.
      {ffBody, "PAY THE\r\ninvoice", {1}},
      {ffSource, "Subject: Hello\r\n\r\nplease", {1}},
      {ffSource, "Hello\r\nplease", {}},
      {ffSource, "From - Mon Jan 01 10:00:00 2010\r\nX-Mozilla-Status", {0, 1, 2, 3, 4, 5, 6}},
      {7, "a", {}}, // no item selected
      {-1, "a", {}},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> hidden(box.Entries().size(), 0);
    TMailboxFilter filter(box);
    size_t count = filter.ApplyFilter(order, c.field, c.value, hidden);
    EXPECT_EQ(ShownIndexes(box, order, hidden), c.shown)
        << "field " << c.field << " value " << testing::PrintToString(c.value);
    EXPECT_EQ(count, c.shown.size());
    for (uint32_t row : order)
      EXPECT_EQ(filter.RowMatches(box.Entries()[row], c.field, c.value), !hidden[row])
          << "field " << c.field << " row " << box.Entries()[row].Index;
  }
  // An empty value hides every row, whatever the field.
  for (int field = ffFromSubjectToBody; field <= ffSource; ++field) {
    std::vector<uint8_t> hidden(box.Entries().size(), 0);
    TMailboxFilter filter(box);
    EXPECT_EQ(filter.ApplyFilter(order, field, "", hidden), 0u) << field;
    EXPECT_EQ(std::count(hidden.begin(), hidden.end(), 1), 7) << field;
  }
}

// Messages are read back by offset with a read sized by the message: lines longer than that read,
// either line end, and the next message's separator must all come out as when counting lines.
TEST(MailboxFilter, SourceSeesWholeMessagesReadBack) {
  test::TTempDir dir;
  for (std::string eol : {"\n", "\r\n"}) {
    for (size_t length : {10u, 300u, 5000u, 70000u}) {
      std::vector<test::TMboxTestMessage> messages(3);
      for (size_t i = 0; i < messages.size(); ++i) {
        std::string n = std::to_string(i);
        messages[i].Lines = {"Subject: m" + n, "",        std::string(length, 'a') + "tail" + n,
                             "short",          "end" + n, ""};
      }
      TMailbox box;
      LoadStoreChecked(box, dir.Write("Inbox", test::BuildMailbox(messages, eol)), okMailboxFile);
      const std::vector<uint32_t> order = ByIndex(box);
      struct {
        std::string value;
        std::vector<int32_t> shown;
      } cases[] = {
          {"tail1\r\nshort\r\nend1\r\n\r\n", {1}},
          {"end0\r\n\r\nFrom -", {}}, // the next separator is not part of a message
          {"aaaatail2", {2}},
          {"\rX-Mozilla", {}},
      };
      for (const auto& c : cases) {
        std::vector<uint8_t> hidden;
        TMailboxFilter(box).ApplyFilter(order, ffSource, c.value, hidden);
        EXPECT_EQ(ShownIndexes(box, order, hidden), c.shown)
            << testing::PrintToString(eol) << ' ' << length << ' '
            << testing::PrintToString(c.value);
      }
    }
  }
}

TEST(MailboxFilter, DatabaseTextsSearchedWithUniformLineEnds) {
  test::TTempDir dir;
  test::TDbxTestMessage m1, m2;
  m1.Text = "Subject: one\nMessage-ID: <db-1@x>\n\nfirst line\nsecond\n";
  m1.Subject = "one";
  m1.From = "Ann <ann@x>";
  m2.Text = "Subject: two\r\n\r\nfirst line\rsecond\r\n";
  m2.Subject = "two";
  m2.From = "Bob <bob@x>";
  m2.UnixTime = 1262350800;
  TMailbox box;
  LoadStoreChecked(box, dir.Write("Inbox.dbx", test::BuildDbx({m1, m2})), okOEDatabase);
  const std::vector<uint32_t> order = ByIndex(box);
  struct {
    int field;
    std::string value;
    std::vector<int32_t> shown;
  } cases[] = {
      {ffSource, "line\r\nsecond", {0, 1}},
      {ffBody, "line\r\nSECOND", {0, 1}},
      {ffSource, "db-1@x", {0}},
      {ffFromSubjectToBody, "bob", {1}},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> hidden;
    TMailboxFilter filter(box);
    filter.ApplyFilter(order, c.field, c.value, hidden);
    ASSERT_EQ(hidden.size(), 2u);
    EXPECT_EQ(ShownIndexes(box, order, hidden), c.shown) << testing::PrintToString(c.value);
  }
}

// A row that cannot be read ends the pass there: the rows before it take their new state, the
// rows after it keep the old one. Fields that read the message fail even when a column matched.
TEST(MailboxFilter, ReadErrorStopsThePassAtThatRow) {
  test::TTempDir dir;
  dir.Write("box/a.eml", "Subject: alpha\r\n\r\nnothing\r\n");
  std::string b = dir.Write("box/b.eml", "Subject: report\r\n\r\nreport body\r\n");
  dir.Write("box/c.eml", "Subject: gamma\r\n\r\nreport too\r\n");
  TMailbox box;
  LoadStoreChecked(box, dir / "box", okMessageFolder);
  ASSERT_EQ(box.Entries().size(), 3u);
  const std::vector<uint32_t> order = ByIndex(box);
  std::filesystem::remove(b);
  struct {
    int field;
    bool fails;
    std::vector<uint8_t> hidden; // by Index after the pass
  } cases[] = {
      {ffFromSubjectToBody, true, {1, 0, 0}},
      {ffBody, true, {1, 0, 0}},
      {ffSource, true, {1, 0, 0}},
      {ffFromSubjectTo, false, {1, 0, 1}},
      {ffSubject, false, {1, 0, 1}},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> hidden(3, 0);
    TMailboxFilter filter(box);
    size_t progressCalls = 0;
    auto progress = [&](size_t done, size_t total) {
      ++progressCalls;
      EXPECT_EQ(total, 3u);
      EXPECT_EQ(done, progressCalls);
    };
    if (c.fails) {
      EXPECT_THROW(filter.ApplyFilter(order, c.field, "report", hidden, progress), std::exception)
          << c.field;
      EXPECT_EQ(progressCalls, 1u) << c.field;
    } else {
      EXPECT_EQ(filter.ApplyFilter(order, c.field, "report", hidden, progress), 1u) << c.field;
      EXPECT_EQ(progressCalls, 3u) << c.field;
    }
    std::vector<uint8_t> byIndex;
    for (uint32_t row : order)
      byIndex.push_back(hidden[row]);
    EXPECT_EQ(byIndex, c.hidden) << c.field;
  }
}

} // namespace
} // namespace pellora
