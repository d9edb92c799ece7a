#include "stores/mailbox.h"

#include "support/store_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace pellora {
namespace {

// The twelve lines of the example mailbox.
const std::vector<std::string> TwelveLines = {
    "From - Mon Jan 01 10:00:00 2010", "X-Mozilla-Status: 0001", "Subject: A", "", "body", "",
    "From - Tue Jan 02 10:00:00 2010", "X-Mozilla-Status: 0001", "Subject: B", "", "text", ""};

std::string Join(const std::vector<std::string>& lines, const std::string& eol = "\n") {
  std::string text;
  for (const auto& l : lines)
    text += l + eol;
  return text;
}

int64_t Length(const std::vector<std::string>& lines, size_t from, size_t to) {
  int64_t total = 0;
  for (size_t i = from; i <= to; ++i)
    total += static_cast<int64_t>(lines[i - 1].size());
  return total;
}

std::vector<std::string> Range(const std::vector<std::string>& lines, size_t from, size_t to) {
  return {lines.begin() + static_cast<long>(from) - 1, lines.begin() + static_cast<long>(to)};
}

TEST(MailboxFile, TwelveLineExample) {
  test::TTempDir dir;
  for (std::string eol : {"\n", "\r\n"}) {
    TMailbox box;
    ASSERT_TRUE(box.LoadMailbox(dir.Write("Inbox", Join(TwelveLines, eol)), okMailboxFile));
    ASSERT_EQ(box.FEntries.size(), 2u);
    box.FSortColumn = lcIndex;
    box.FSortDescending = false;
    box.SortList();
    const TMessageEntry& a = box.FEntries[0];
    const TMessageEntry& b = box.FEntries[1];
    EXPECT_EQ(a.Index, 0);
    EXPECT_EQ(a.StartLine, 1);
    EXPECT_EQ(a.Kind, ekMailbox);
    EXPECT_EQ(a.Header.Subject, "A");
    EXPECT_EQ(a.Header.Size, Length(TwelveLines, 1, 7));
    EXPECT_EQ(b.Index, 1);
    EXPECT_EQ(b.StartLine, 7);
    EXPECT_EQ(b.Header.Subject, "B");
    EXPECT_EQ(b.Header.Size, Length(TwelveLines, 7, 12));
    box.LoadEntryLines(a);
    EXPECT_EQ(box.FLines, Range(TwelveLines, 1, 6));
    box.LoadEntryLines(b);
    EXPECT_EQ(box.FLines, Range(TwelveLines, 7, 11));
    EXPECT_EQ(box.GetEntryText(b), Join(Range(TwelveLines, 7, 11), "\r\n"));
  }
}

TEST(MailboxFile, SeparatorsAndMarkers) {
  test::TTempDir dir;
  struct {
    std::string marker;
    size_t rows;
  } cases[] = {{"X-Mozilla-Status: 0001", 2},
               {"X-Account-Key: account1", 2},
               {"X-UIDL: 123", 2},
               {"x-mozilla-status: 0001", 0},
               {"Subject: x", 0}};
  for (const auto& c : cases) {
    std::vector<std::string> lines = TwelveLines;
    lines[1] = lines[7] = c.marker;
    TMailbox box;
    ASSERT_TRUE(box.LoadMailbox(dir.Write("box", Join(lines)), okMailboxFile));
    EXPECT_EQ(box.FEntries.size(), c.rows) << c.marker;
  }
  // Lines before the first separator pair belong to no row; a separator that no marker follows
  // is a line of the message before it.
  std::vector<std::string> lines = {"junk",      "Subject: junk", "From - a",
                                    "X-UIDL: 1", "Subject: one",  "",
                                    "From me",   "Subject: two"};
  TMailbox box;
  ASSERT_TRUE(box.LoadMailbox(dir.Write("box", Join(lines)), okMailboxFile));
  ASSERT_EQ(box.FEntries.size(), 1u);
  EXPECT_EQ(box.FEntries[0].StartLine, 3);
  EXPECT_EQ(box.FEntries[0].Header.Subject, "one");
  box.LoadEntryLines(box.FEntries[0]);
  EXPECT_EQ(box.FLines, Range(lines, 3, 8));
}

TEST(MailboxFile, ControlBytesAndCarriageReturns) {
  test::TTempDir dir;
  // A stray CR is dropped from its line; Ctrl-Z ends a line's text; a line starting with
  // Ctrl-Z counts but belongs to no message.
  std::string text = "From - a\nX-UIDL: 1\nSubject: s\rt\nTo: x\x1Ajunk\n\x1A\nbody\n"
                     "From - b\r\n\x1A skipped\r\nX-UIDL: 2\r\nSubject: u\r\n";
  TMailbox box;
  ASSERT_TRUE(box.LoadMailbox(dir.Write("box", text), okMailboxFile));
  box.FSortColumn = lcIndex;
  box.FSortDescending = false;
  box.SortList();
  ASSERT_EQ(box.FEntries.size(), 2u);
  EXPECT_EQ(box.FEntries[0].Header.Subject, "st");
  EXPECT_EQ(box.FEntries[0].Header.To, "x");
  EXPECT_EQ(box.FEntries[1].StartLine, 7); // the separator's line, not the Ctrl-Z line after it
  box.LoadEntryLines(box.FEntries[0]);
  EXPECT_EQ(box.FLines,
            (std::vector<std::string>{"From - a", "X-UIDL: 1", "Subject: st", "To: x", "body"}));
  box.LoadEntryLines(box.FEntries[1]);
  EXPECT_EQ(box.FLines, (std::vector<std::string>{"From - b", "X-UIDL: 2", "Subject: u"}));
}

TEST(MailboxFile, LinesLongerThanTheReadBuffer) {
  test::TTempDir dir;
  std::string huge(3 << 20, 'h'); // three times the reader's chunk
  std::vector<std::string> lines = {"From - a", "X-UIDL: 1", "Subject: " + huge, "",
                                    huge,       "From - b",  "X-UIDL: 2",        "Subject: b"};
  for (std::string eol : {"\n", "\r\n"}) {
    TMailbox box;
    ASSERT_TRUE(box.LoadMailbox(dir.Write("box", Join(lines, eol)), okMailboxFile));
    ASSERT_EQ(box.FEntries.size(), 2u);
    const TMessageEntry* first = box.FindEntry(0);
    EXPECT_EQ(first->Header.Subject, huge);
    EXPECT_EQ(first->Header.Size, Length(lines, 1, 6));
    box.LoadEntryLines(*first);
    EXPECT_EQ(box.FLines, Range(lines, 1, 5));
    box.LoadEntryLines(*box.FindEntry(1));
    EXPECT_EQ(box.FLines, Range(lines, 6, 8));
  }
}

TEST(MailboxFile, ReadBackUsesTheOffsetOnlyWhileTheFileIsUnchanged) {
  test::TTempDir dir;
  std::string path = dir.Write("box", Join(TwelveLines));
  TMailbox box;
  ASSERT_TRUE(box.LoadMailbox(path, okMailboxFile));
  const TMessageEntry* second = box.FindEntry(1);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->StartOffset, static_cast<int64_t>(Join(Range(TwelveLines, 1, 6)).size()));

  // A wrong offset with a matching stamp is not trusted blindly: the separator must be there.
  TMessageEntry moved = *second;
  moved.StartOffset = 3;
  box.LoadEntryLines(moved);
  EXPECT_EQ(box.FLines, Range(TwelveLines, 7, 11));

  // Rewritten file: the offset no longer counts; lines are counted from the start.
  std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) +
                                             std::chrono::seconds(5));
  TMessageEntry stale = *second;
  stale.StartOffset = 0; // would give the first message if trusted
  box.LoadEntryLines(stale);
  EXPECT_EQ(box.FLines, Range(TwelveLines, 7, 11));

  std::vector<std::string> lines;
  ReadMailboxMessage(path, lines, second->Header.Size, second->StartLine);
  EXPECT_EQ(lines, Range(TwelveLines, 7, 11));
}

TEST(MailboxFile, EmptyAndMissingFiles) {
  test::TTempDir dir;
  TMailbox box;
  EXPECT_TRUE(box.LoadMailbox(dir.Write("empty", ""), okMailboxFile));
  EXPECT_TRUE(box.FEntries.empty());
  EXPECT_FALSE(box.LoadMailbox(dir / "missing", okMailboxFile));
  EXPECT_NE(box.FErrorText.find("missing"), std::string::npos);
  EXPECT_FALSE(box.LoadMailbox(dir / "missing", okMessageFile));
}

TEST(MessageFolder, RowsKeepTheirPositions) {
  test::TTempDir dir;
  std::string first = "Subject: first\r\nDate: Tue, 12 Jan 2010 10:00:00 +0100\r\n\r\nx\r\n";
  dir.Write("f/a.eml", first);
  dir.MakeDir("f/b.eml"); // matches the mask but cannot be read
  dir.Write("f/c.eml", "Subject: third\n\nbody");
  dir.Write("f/d.txt", "Subject: not listed");
  TMailbox box;
  ASSERT_TRUE(box.LoadMailbox(dir / "f", okMessageFolder));
  ASSERT_EQ(box.FEntries.size(), 2u);
  // Newest first; the undated row last.
  EXPECT_EQ(box.FEntries[0].Header.Subject, "first");
  EXPECT_EQ(box.FEntries[0].Index, 0);
  EXPECT_EQ(box.FEntries[0].Header.Size, static_cast<int64_t>(first.size()));
  EXPECT_EQ(box.FEntries[0].Kind, ekMessageFile);
  EXPECT_EQ(box.FEntries[1].Index, 2);
  ASSERT_EQ(box.FMemo.size(), 1u);
  EXPECT_EQ(box.FMemo[0].substr(0, 7), "b.eml: ");
  EXPECT_EQ(box.GetEntryText(box.FEntries[1]), "Subject: third\r\n\r\nbody\r\n");

  std::filesystem::remove(dir / "f/c.eml");
  EXPECT_THROW(box.LoadEntryLines(box.FEntries[1]), EPelloraError);
}

TEST(OEDatabase, LoadsThroughTheRightReader) {
  test::TTempDir dir;
  test::TDbxTestMessage m1{"Subject: one\r\n\r\nbody\r\n", "one", "Ann", "", "Ann", "a1;b1"};
  m1.UnixTime = 1262347200;
  test::TDbxTestMessage m2{"Subject: two\r\n\r\nbody\r\n", "two", "Bob", "Robert"};
  m2.UnixTime = 1262350800;
  m2.Flags = 0;
  std::string path = dir.Write("Inbox.dbx", test::BuildDbx({m1, m2}));
  TMailbox box;
  ASSERT_TRUE(box.LoadMailbox(path, okOEDatabase));
  EXPECT_EQ(box.FMemo, std::vector<std::string>{"Format: Outlook Express 5/6"});
  EXPECT_EQ(box.FDetailCaption, "   File Properties");
  EXPECT_EQ(box.FStatusText.substr(0, 14), "Elapsed time: ");
  ASSERT_EQ(box.FEntries.size(), 2u);
  const TMessageEntry& newest = box.FEntries[0];
  EXPECT_EQ(newest.Header.Subject, "two");
  EXPECT_EQ(EntryFromText(newest), "Robert");
  EXPECT_EQ(box.FEntries[1].Header.To, "Ann a1;b1");
  EXPECT_EQ(box.FEntries[1].Header.Size, 22);
  EXPECT_EQ(box.GetEntryText(newest), "Subject: two\r\n\r\nbody\r\n");
  box.LoadEntryLines(newest);
  EXPECT_EQ(box.FLines, (std::vector<std::string>{"Subject: two", "", "body"}));

  // MBX without index: the date comes from the Date line; one that does not parse leaves the
  // row without a date (the text is not kept).
  std::string mbx = test::BuildMbx({{"Date: Tue, 12 Jan 2010 10:00:00 +0100\r\n\r\nx"},
                                    {"Date: someday\r\nSubject: s\r\n\r\nx"}});
  ASSERT_TRUE(box.LoadMailbox(dir.Write("Old.mbx", mbx), okOEDatabase));
  EXPECT_EQ(box.FMemo, std::vector<std::string>{"Format: Outlook Express 4"});
  EXPECT_EQ(FormatIsoDateTime(box.FEntries[0].Header.Date), "2010-01-12T10:00:00");
  EXPECT_EQ(box.FEntries[1].Header.Date, 0);
  EXPECT_EQ(box.FEntries[1].Header.DateText, "");

  EXPECT_FALSE(box.LoadMailbox(dir.Write("text.dbx", "not a database at all"), okOEDatabase));
  EXPECT_EQ(box.FErrorText, "File is not in supported format.");
  EXPECT_EQ(box.FStatusText, "Load failed");
  EXPECT_EQ(box.FReader, nullptr);

  // Loading again closes the first database's file before the next is opened.
  auto openFiles = [] {
    size_t n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
      ++n;
    return n;
  };
  ASSERT_TRUE(box.LoadMailbox(path, okOEDatabase));
  size_t withOne = openFiles();
  ASSERT_TRUE(box.LoadMailbox(path, okOEDatabase));
  EXPECT_EQ(openFiles(), withOne);
  box.FReader.reset();
  EXPECT_EQ(openFiles(), withOne - 1);

  std::string empty = test::BuildDbx({m1});
  test::PutU32(empty, 0xC4, 0);
  EXPECT_FALSE(box.LoadMailbox(dir.Write("empty.dbx", empty), okOEDatabase));
  EXPECT_EQ(box.FErrorText, "File does not contain any message.");
  EXPECT_EQ(box.FMemo, std::vector<std::string>{"Format: Outlook Express 5/6"});
}

TEST(MessageEntries, DefaultOrderIsNewestFirstAndStable) {
  std::vector<TMessageEntry> entries(5);
  TDateTime dates[] = {2, 3, 0, 3, 1};
  for (int i = 0; i < 5; ++i) {
    entries[i].Index = i;
    entries[i].Kind = ekMessageFile;
    entries[i].Header.Date = dates[i];
  }
  SortEntriesDefault(entries, nullptr);
  std::vector<int> order;
  for (const auto& e : entries)
    order.push_back(e.Index);
  EXPECT_EQ(order, (std::vector<int>{1, 3, 0, 4, 2}));
  SortEntries(entries, lcReceived, false, nullptr);
  order.clear();
  for (const auto& e : entries)
    order.push_back(e.Index);
  EXPECT_EQ(order, (std::vector<int>{2, 4, 0, 1, 3}));
}

TEST(MessageEntries, JoinRecipients) {
  struct {
    const char* names;
    const char* addresses;
    const char* expected;
  } cases[] = {
      {"Ann;Bob", "a1;b1", "Ann a1;Bob b1"}, {"", "a1;b1", "a1;b1"}, {"Ann", "a1;b1", "Ann a1;b1"},
      {";Bob", "a1;b1", "a1;Bob b1"},        {"Ann", "", ""},        {"", "a1;;b1", "a1;;b1"}};
  for (const auto& c : cases)
    EXPECT_EQ(JoinRecipients(c.names, c.addresses), c.expected) << c.names << "|" << c.addresses;
}

} // namespace
} // namespace pellora
