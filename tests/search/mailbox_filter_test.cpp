#include "search/mailbox_filter.h"

#include "i18n/format_text.h"
#include "i18n/localized_text.h"
#include "platform/ascii.h"
#include "platform/files.h"
#include "stores/kinds/store_kinds.h"
#include "filter_rows.h"
#include "support/store_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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

using test::ByIndex;
using test::ShownIndexes;

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
      {ffFrom, "alice", {6}}, // the column shows the author, not a Sender field
      {ffFrom, "sam", {}},
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
    const auto field = static_cast<TFilterField>(c.field);
    size_t count = filter.ApplyFilter(order, field, c.value, hidden);
    EXPECT_EQ(ShownIndexes(box, order, hidden), c.shown)
        << "field " << c.field << " value " << testing::PrintToString(c.value);
    EXPECT_EQ(count, c.shown.size());
    for (uint32_t row : order)
      EXPECT_EQ(filter.RowMatches(box.Entries()[row], field, c.value), !hidden[row])
          << "field " << c.field << " row " << box.Entries()[row].Index;
  }
  // An empty value hides every row, whatever the field.
  for (int field = ffFromSubjectToBody; field <= ffSource; ++field) {
    std::vector<uint8_t> hidden(box.Entries().size(), 0);
    TMailboxFilter filter(box);
    EXPECT_EQ(filter.ApplyFilter(order, static_cast<TFilterField>(field), "", hidden), 0u) << field;
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
    TFilterField field;
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

// A row whose text cannot be read does not match and the pass goes on; one information line
// then says how many rows could not be read. A column hit still matches its row, for a field
// and for a query.
TEST(MailboxFilter, UnreadableRowsDoNotEndThePass) {
  test::TTempDir dir;
  dir.Write("box/a.eml", "Subject: alpha\r\n\r\nnothing\r\n");
  std::string b = dir.Write("box/b.eml", "Subject: report\r\n\r\nreport body\r\n");
  dir.Write("box/c.eml", "Subject: gamma\r\n\r\nreport too\r\n");
  TMailbox box;
  LoadStoreChecked(box, dir / "box", okMessageFolder);
  ASSERT_EQ(box.Entries().size(), 3u);
  const std::vector<uint32_t> order = ByIndex(box);
  std::filesystem::remove(b);
  // One line for a pass, only when a row could not be read (the file gone is a change of the
  // store, noted once besides).
  auto unreadableNotes = [&](size_t notesBefore) {
    const TStoreNote note(nkUnreadableRows, {}, {}, 1);
    return std::count(box.Notes().begin() + static_cast<long>(notesBefore), box.Notes().end(), note);
  };
  struct {
    TFilterField field;
    size_t unreadable;
    std::vector<uint8_t> hidden; // by Index after the pass
  } cases[] = {
      {ffFromSubjectToBody, 1, {1, 0, 0}},
      {ffBody, 1, {1, 1, 0}},
      {ffSource, 1, {1, 1, 0}},
      {ffFromSubjectTo, 0, {1, 0, 1}},
      {ffSubject, 0, {1, 0, 1}},
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
    const size_t notesBefore = box.Notes().size();
    const size_t shown = std::count(c.hidden.begin(), c.hidden.end(), 0);
    EXPECT_EQ(filter.ApplyFilter(order, c.field, "report", hidden, progress), shown) << c.field;
    EXPECT_EQ(progressCalls, 3u) << c.field;
    EXPECT_EQ(filter.UnreadableRows(), c.unreadable) << c.field;
    std::vector<uint8_t> byIndex;
    for (uint32_t row : order)
      byIndex.push_back(hidden[row]);
    EXPECT_EQ(byIndex, c.hidden) << c.field;
    EXPECT_EQ(unreadableNotes(notesBefore), c.unreadable ? 1 : 0) << c.field;
  }
  // A query's column terms decide first: a message is read only where they leave the answer
  // open, and a row whose message cannot be read matches only when its columns alone say so.
  struct {
    std::string query;
    std::vector<int32_t> shown;
    size_t unreadable;
  } queries[] = {
      {"subject:report OR body:zzz", {1}, 0},
      {"subject:alpha body:report", {}, 0},
      {"subject:gamma body:report", {2}, 0},
      {"body:report", {2}, 1},
      {"-body:zzz", {0, 2}, 1},
      {"subject:report body:report", {}, 1},
  };
  for (const auto& c : queries) {
    const size_t notesBefore = box.Notes().size();
    TMailboxFilter filter(box);
    std::vector<uint8_t> hidden;
    filter.ApplyQuery(order, ParseQuery(c.query).Root, hidden);
    EXPECT_EQ(ShownIndexes(box, order, hidden), c.shown) << c.query;
    EXPECT_EQ(filter.UnreadableRows(), c.unreadable) << c.query;
    EXPECT_EQ(unreadableNotes(notesBefore), c.unreadable ? 1 : 0) << c.query;
  }
}

// A database whose damaged count word lists far more rows than it holds messages: the rows
// without text do not stop a Source search, which finds the messages that hold the word.
TEST(MailboxFilter, DamagedDatabaseCountWord) {
  const std::string data = test::SharedDataDir();
  if (data.empty()) GTEST_SKIP() << "../shared/data is absent";
  test::TTempDir dir;
  std::string bytes = ReadWholeFile(data + "/dbx/test_OutlookDBX.dbx");
  const uint32_t count = 44604;
  std::memcpy(bytes.data() + 0xC4, &count, 4);
  TMailbox box;
  LoadStoreChecked(box, dir.Write("damaged.dbx", bytes), okOEDatabase);
  ASSERT_EQ(box.Entries().size(), count);
  std::vector<uint8_t> hidden;
  TMailboxFilter filter(box);
  const size_t found = filter.ApplyFilter(box.Order(), ffSource, "Content-Type", hidden);
  EXPECT_GE(found, 28u);
  EXPECT_LT(found, 100u);
  EXPECT_EQ(filter.UnreadableRows() + found, box.Entries().size());
}

// The Source and Body filters read a store's bytes where they can; they must find exactly what the
// plain path finds: every row's lines as LoadEntryLines gives them, joined with CR LF.
std::vector<int32_t> PlainSourceMatches(TMailbox& box, const std::vector<uint32_t>& order,
                                        std::string_view value) {
  std::vector<int32_t> shown;
  std::string text;
  for (uint32_t row : order) {
    text.clear();
    for (const auto& line : box.LoadEntryLines(box.Entries()[row]))
      text.append(line).append("\r\n");
    if (FilterContains(value, text)) shown.push_back(box.Entries()[row].Index);
  }
  return shown;
}

// The Body filter searches the text body as it lies; the plain path joins its lines with CR LF.
std::vector<int32_t> PlainBodyMatches(TMailbox& box, const std::vector<uint32_t>& order,
                                      std::string_view value) {
  std::vector<int32_t> shown;
  std::string text;
  for (uint32_t row : order) {
    TMailMessage message;
    message.ReadFromText(box.GetEntryText(box.Entries()[row]));
    message.FindBodies();
    text.clear();
    for (const auto& line : message.TextLines())
      text.append(line).append("\r\n");
    if (FilterContains(value, text)) shown.push_back(box.Entries()[row].Index);
  }
  return shown;
}

void ExpectFastPathAsPlain(TMailbox& box, const std::vector<std::string>& values,
                           const std::string& store) {
  const std::vector<uint32_t> order = ByIndex(box);
  // The text the Body filter parses, read from the bytes where it can be, is the rows' lines.
  TReadPass pass(box);
  std::string fast, plain;
  for (const auto& entry : box.Entries()) {
    box.ReadEntryText(entry, fast);
    plain.clear();
    for (const auto& line : box.LoadEntryLines(entry)) plain.append(line).append("\r\n");
    EXPECT_EQ(fast, plain) << store << ": row " << entry.Index;
  }
  TMailboxFilter filter(box);
  for (const auto& value : values) {
    std::vector<uint8_t> hidden;
    filter.ApplyFilter(order, ffSource, value, hidden);
    EXPECT_EQ(ShownIndexes(box, order, hidden), PlainSourceMatches(box, order, value))
        << store << ": " << testing::PrintToString(value);
    filter.ApplyFilter(order, ffBody, value, hidden);
    EXPECT_EQ(ShownIndexes(box, order, hidden), PlainBodyMatches(box, order, value))
        << store << ", Body: " << testing::PrintToString(value);
  }
}

TEST(MailboxFilter, SourceAndBodyOnRealStoresFindWhatTheLinesHold) {
  const std::string data = test::SharedDataDir();
  if (data.empty()) GTEST_SKIP() << "../shared/data is absent";
  // Words some rows hold, header texts, 8-bit bytes, texts across line ends, and nothing.
  const std::vector<std::string> values = {
      "B210",       "rfnoc",    "REGARDS",     "content-type: IMAGE",
      "\xC3\xA9",   "=?utf-8?", "boundary",    "ettus.com>\r\nTo:",
      "\r\n\r\n--", "From ",    "no such q7z", "\t",
      "=\r\n",      "Subject"};
  // The MIME test messages as a folder of .eml files.
  test::TTempDir dir;
  for (const auto& item : std::filesystem::recursive_directory_iterator(data + "/eml/enmime"))
    if (item.is_regular_file())
      std::filesystem::copy_file(item.path(), dir / (item.path().parent_path().filename().string() +
                                                     "-" + item.path().stem().string() + ".eml"));
  struct {
    std::string path;
    TOpenKind kind;
  } stores[] = {
      {data + "/mbox/usrp-users.mbox", okMailboxFile},
      {data + "/dbx/test_OutlookDBX.dbx", okOEDatabase},
      {data + "/dbx/single-message.dbx", okOEDatabase},
      {dir.Path(), okMessageFolder},
  };
  for (const auto& store : stores) {
    TMailbox box;
    LoadStoreChecked(box, store.path, store.kind);
    ASSERT_FALSE(box.Entries().empty()) << store.path;
    ExpectFastPathAsPlain(box, values, store.path);
  }
}

// Where a store's bytes and its lines differ, and where a match lies across the edge of a block.
TEST(MailboxFilter, SourceAndBodyEdgeCasesFindWhatTheLinesHold) {
  test::TTempDir dir;
  const std::vector<std::string> values = {"needle",   "NEEDLE",     "n\xE9",    "N\xC9",
                                           "nee\rdle", "abc\x1A",    "abc",      "dle\r\nnext",
                                           "\xE9",     "needle\r\n", "tail end", "From -"};
  // A mailbox file read in blocks of 1 MiB: "needle" across the first block's edge, a CR inside
  // a line (dropped from it), a Ctrl-Z ending a line's text and one starting a line (discarded),
  // CR LF line ends, 8-bit letters (compared exactly), and a last line ending in a lone CR.
  const std::string separator = "From - Mon Jan 01 10:00:00 2010\nX-Mozilla-Status: 0001\n";
  std::string big = separator + "Subject: big\n\n";
  while (big.size() < (1u << 20) - 200)
    big += std::string(99, 'x') + "\n";
  big += std::string((1u << 20) - 3 - big.size(), 'y') + "needle\nnext\n\n";
  std::string file = big;
  file += separator + "Subject: stray CR\n\nnee\rdle\n\n";
  file += separator + "Subject: Ctrl-Z\n\nabc\x1Aneedle\n\x1Aneedle too\n\n";
  file += separator + "Subject: CR LF\r\n\r\nneedle\r\nnext\r\n\r\n";
  file += separator + "Subject: 8-bit\n\nN\xC9"
                      "EDLE\n\n";
  file += separator + "Subject: last\n\ntail end\r";
  TMailbox box;
  LoadStoreChecked(box, dir.Write("Inbox", file), okMailboxFile);
  ASSERT_EQ(box.Entries().size(), 6u);
  ExpectFastPathAsPlain(box, values, "mailbox file");
  // The plain path's answers, spelled out for the cases that matter most.
  const std::vector<uint32_t> order = ByIndex(box);
  EXPECT_EQ(PlainSourceMatches(box, order, "needle"), (std::vector<int32_t>{0, 1, 3}));
  EXPECT_EQ(PlainSourceMatches(box, order, "n\xE9"), (std::vector<int32_t>{}));
  EXPECT_EQ(PlainSourceMatches(box, order, "tail end"), (std::vector<int32_t>{5}));

  // CR LF line ends around the first block's edge (the CR the last byte of a block, the LF the
  // first of the next, and nearby), and a file whose last line has no line end.
  for (size_t shift = 0; shift < 4; ++shift) {
    std::string crlf = "From - Mon Jan 01 10:00:00 2010\r\nX-Mozilla-Status: 0001\r\n\r\n";
    while (crlf.size() < (1u << 20) - 200)
      crlf += std::string(98, 'x') + "\r\n";
    crlf += std::string((1u << 20) - 2 - crlf.size() + shift, 'y') + "\r\nneedle\r\nlast line";
    TMailbox box;
    LoadStoreChecked(box, dir.Write("CRLF", crlf), okMailboxFile);
    ExpectFastPathAsPlain(box, values, "CR LF mailbox file " + std::to_string(shift));
  }

  // A DBX: "needle" at every position across a 512-byte block edge and across the 64 KiB at
  // which blocks are searched together, and a zero byte that ends its block's text.
  std::vector<test::TDbxTestMessage> messages;
  std::vector<size_t> positions = {65531, 65532, 65533, 65534, 65535};
  for (size_t at = 500; at < 515; ++at)
    positions.push_back(at);
  for (size_t at : positions) {
    test::TDbxTestMessage m;
    m.Text = "Subject: m\r\n\r\n";
    m.Text += std::string(at - m.Text.size(), 'x') + "needle\r\nnext\r\n";
    messages.push_back(m);
  }
  test::TDbxTestMessage zero;
  zero.Text =
      std::string("Subject: z\r\n\r\nabc\0needle ", 25) + std::string(600, 'y') + "needle\r\n";
  messages.push_back(zero);
  TMailbox database;
  LoadStoreChecked(database, dir.Write("Inbox.dbx", test::BuildDbx(messages)), okOEDatabase);
  ExpectFastPathAsPlain(database, values, "DBX");

  // Bodies whose decoded text holds its own line ends (lone CR, lone LF, CR LF) and a zero byte:
  // "nee\rdle\nneedle\r\nnext\0needle" in base64, and the same in quoted-printable.
  std::string bodies;
  for (const char* encoded :
       {"Content-Transfer-Encoding: base64\n\nbmVlDWRsZQpuZWVkbGUNCm5leHQAbmVlZGxl\n",
        "Content-Transfer-Encoding: quoted-printable\n\nnee=0Ddle=0Aneedle=0D=0Anext=00needle\n"})
    bodies += separator + "Content-Type: text/plain\n" + encoded;
  TMailbox withBodies;
  LoadStoreChecked(withBodies, dir.Write("Bodies", bodies), okMailboxFile);
  ASSERT_EQ(withBodies.Entries().size(), 2u);
  ExpectFastPathAsPlain(withBodies, values, "bodies with their own line ends");
  // Empty lines at the file's end: the last message's lines under the classic rule, not under
  // the marker rule.
  for (const char* end : {"\n\n", "\r\n\r\n", "\n\n\n", "\n\r\n"}) {
    for (const std::string first :
         {separator, std::string("From ann@example.org Mon Jan 01 10:00:00 2010\n")}) {
      const std::string text =
          first + "Subject: one\n\nneedle\n\n" + first + "Subject: two\n\nneedle" + end;
      TMailbox box;
      LoadStoreChecked(box, dir.Write("Ending", text), okMailboxFile);
      ASSERT_EQ(box.Entries().size(), 2u);
      ExpectFastPathAsPlain(box, {"needle\r\n\r\n", "needle\r\n", "needle"},
                            "empty lines at the end " + testing::PrintToString(end) + " after " +
                                first);
    }
  }
  // A text across a line end matches the lines joined with CR LF, never the line ends written.
  EXPECT_EQ(PlainBodyMatches(withBodies, ByIndex(withBodies), "dle\r\nneedle"),
            (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(PlainBodyMatches(withBodies, ByIndex(withBodies), "nee\rdle"),
            (std::vector<int32_t>{}));

  // Message files with lone CR line ends.
  dir.Write("folder/a.eml", "Subject: a\r\rnee\rdle\rnext\r");
  dir.Write("folder/b.eml", "Subject: b\n\nabc\x1Aneedle\n");
  TMailbox folder;
  LoadStoreChecked(folder, dir / "folder", okMessageFolder);
  ExpectFastPathAsPlain(folder, values, "message folder");
}

} // namespace
} // namespace pellora
