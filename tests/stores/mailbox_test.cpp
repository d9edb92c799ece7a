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
    ASSERT_TRUE(box.Load(dir.Write("Inbox", Join(TwelveLines, eol)), okMailboxFile).Loaded);
    ASSERT_EQ(box.Entries().size(), 2u);
    const TMessageEntry& a = *box.FindEntry(0);
    const TMessageEntry& b = *box.FindEntry(1);
    EXPECT_EQ(a.Index, 0);
    EXPECT_EQ(a.StartLine, 1);
    EXPECT_EQ(a.Kind, ekMailbox);
    EXPECT_EQ(a.Header.Subject, "A");
    EXPECT_EQ(a.Header.Size, Length(TwelveLines, 1, 7));
    EXPECT_EQ(b.Index, 1);
    EXPECT_EQ(b.StartLine, 7);
    EXPECT_EQ(b.Header.Subject, "B");
    EXPECT_EQ(b.Header.Size, Length(TwelveLines, 7, 12));
        EXPECT_EQ(box.LoadEntryLines(a), Range(TwelveLines, 1, 6));
        EXPECT_EQ(box.LoadEntryLines(b), Range(TwelveLines, 7, 11));
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
    ASSERT_TRUE(box.Load(dir.Write("box", Join(lines)), okMailboxFile).Loaded);
    EXPECT_EQ(box.Entries().size(), c.rows) << c.marker;
  }
  // Lines before the first separator pair belong to no row; a separator that no marker follows
  // is a line of the message before it.
  std::vector<std::string> lines = {"junk",      "Subject: junk", "From - a",
                                    "X-UIDL: 1", "Subject: one",  "",
                                    "From me",   "Subject: two"};
  TMailbox box;
  ASSERT_TRUE(box.Load(dir.Write("box", Join(lines)), okMailboxFile).Loaded);
  ASSERT_EQ(box.Entries().size(), 1u);
  EXPECT_EQ(box.Entries()[0].StartLine, 3);
  EXPECT_EQ(box.Entries()[0].Header.Subject, "one");
    EXPECT_EQ(box.LoadEntryLines(box.Entries()[0]), Range(lines, 3, 8));
}

TEST(MailboxFile, ControlBytesAndCarriageReturns) {
  test::TTempDir dir;
  // A stray CR is dropped from its line; Ctrl-Z ends a line's text; a line starting with
  // Ctrl-Z counts but belongs to no message.
  std::string text = "From - a\nX-UIDL: 1\nSubject: s\rt\nTo: x\x1Ajunk\n\x1A\nbody\n"
                     "From - b\r\n\x1A skipped\r\nX-UIDL: 2\r\nSubject: u\r\n";
  TMailbox box;
  ASSERT_TRUE(box.Load(dir.Write("box", text), okMailboxFile).Loaded);
  ASSERT_EQ(box.Entries().size(), 2u);
  const TMessageEntry& a = *box.FindEntry(0);
  const TMessageEntry& b = *box.FindEntry(1);
  EXPECT_EQ(a.Header.Subject, "st");
  EXPECT_EQ(a.Header.To, "x");
  EXPECT_EQ(b.StartLine, 7); // the separator's line, not the Ctrl-Z line after it
  EXPECT_EQ(box.LoadEntryLines(a),
            (std::vector<std::string>{"From - a", "X-UIDL: 1", "Subject: st", "To: x", "body"}));
  EXPECT_EQ(box.LoadEntryLines(b), (std::vector<std::string>{"From - b", "X-UIDL: 2", "Subject: u"}));
}

TEST(MailboxFile, LinesLongerThanTheReadBuffer) {
  test::TTempDir dir;
  std::string huge(3 << 20, 'h'); // three times the reader's chunk
  std::vector<std::string> lines = {"From - a", "X-UIDL: 1", "Subject: " + huge, "",
                                    huge,       "From - b",  "X-UIDL: 2",        "Subject: b"};
  for (std::string eol : {"\n", "\r\n"}) {
    TMailbox box;
    ASSERT_TRUE(box.Load(dir.Write("box", Join(lines, eol)), okMailboxFile).Loaded);
    ASSERT_EQ(box.Entries().size(), 2u);
    const TMessageEntry* first = box.FindEntry(0);
    EXPECT_EQ(first->Header.Subject, huge);
    EXPECT_EQ(first->Header.Size, Length(lines, 1, 6));
        EXPECT_EQ(box.LoadEntryLines(*first), Range(lines, 1, 5));
        EXPECT_EQ(box.LoadEntryLines(*box.FindEntry(1)), Range(lines, 6, 8));
  }
}

TEST(MailboxFile, ReadBackUsesTheOffsetOnlyWhileTheFileIsUnchanged) {
  test::TTempDir dir;
  std::string path = dir.Write("box", Join(TwelveLines));
  TMailbox box;
  ASSERT_TRUE(box.Load(path, okMailboxFile).Loaded);
  const TMessageEntry* second = box.FindEntry(1);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->StartOffset, static_cast<int64_t>(Join(Range(TwelveLines, 1, 6)).size()));

  // A wrong offset with a matching stamp is not trusted blindly: the separator must be there.
  TMessageEntry moved = *second;
  moved.StartOffset = 3;
    EXPECT_EQ(box.LoadEntryLines(moved), Range(TwelveLines, 7, 11));

  // Rewritten file: the offset no longer counts; lines are counted from the start.
  std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) +
                                             std::chrono::seconds(5));
  TMessageEntry stale = *second;
  stale.StartOffset = 0; // would give the first message if trusted
    EXPECT_EQ(box.LoadEntryLines(stale), Range(TwelveLines, 7, 11));

  std::vector<std::string> lines;
  ReadMailboxMessage(path, lines, second->Header.Size, second->StartLine);
  EXPECT_EQ(lines, Range(TwelveLines, 7, 11));
}

TEST(MailboxFile, EmptyAndMissingFiles) {
  test::TTempDir dir;
  TMailbox box;
  EXPECT_TRUE(box.Load(dir.Write("empty", ""), okMailboxFile).Loaded);
  EXPECT_TRUE(box.Entries().empty());
  TLoadResult missing = box.Load(dir / "missing", okMailboxFile);
  EXPECT_FALSE(missing.Loaded);
  EXPECT_NE(missing.ErrorText.find("missing"), std::string::npos);
  EXPECT_FALSE(box.Load(dir / "missing", okMessageFile).Loaded);
}

TEST(MessageFolder, RowsKeepTheirPositions) {
  test::TTempDir dir;
  std::string first = "Subject: first\r\nDate: Tue, 12 Jan 2010 10:00:00 +0100\r\n\r\nx\r\n";
  dir.Write("f/a.eml", first);
  dir.MakeDir("f/b.eml"); // matches the mask but cannot be read
  dir.Write("f/c.eml", "Subject: third\n\nbody");
  dir.Write("f/d.txt", "Subject: not listed");
  TMailbox box;
  ASSERT_TRUE(box.Load(dir / "f", okMessageFolder).Loaded);
  ASSERT_EQ(box.Entries().size(), 2u);
  // Newest first; the undated row last.
  EXPECT_EQ(box.Entries()[0].Header.Subject, "first");
  EXPECT_EQ(box.Entries()[0].Index, 0);
  EXPECT_EQ(box.Entries()[0].Header.Size, static_cast<int64_t>(first.size()));
  EXPECT_EQ(box.Entries()[0].Kind, ekMessageFile);
  EXPECT_EQ(box.Entries()[1].Index, 2);
  ASSERT_EQ(box.Memo().size(), 1u);
  EXPECT_EQ(box.Memo()[0].substr(0, 7), "b.eml: ");
  EXPECT_EQ(box.GetEntryText(box.Entries()[1]), "Subject: third\r\n\r\nbody\r\n");

  std::filesystem::remove(dir / "f/c.eml");
  EXPECT_THROW(box.LoadEntryLines(box.Entries()[1]), EPelloraError);
}

TEST(MessageFolder, RowsAreSortedNewestFirstWhateverTheFileOrder) {
  test::TTempDir dir;
  // File order against date order: cycles of three, two and one.
  const int days[] = {3, 1, 2, 5, 4, 6, 0};
  for (int i = 0; i < 7; ++i)
    dir.Write("f/m" + std::to_string(i) + ".eml",
              days[i] ? "Subject: s" + std::to_string(i) + "\r\nDate: 0" + std::to_string(days[i]) +
                            " Jan 2010 10:00:00 +0000\r\n\r\nx\r\n"
                      : std::string("Subject: undated\r\n\r\nx\r\n"));
  TMailbox box;
  ASSERT_TRUE(box.Load(dir / "f", okMessageFolder).Loaded);
  std::vector<int32_t> indexes;
  for (const auto& e : box.Entries())
    indexes.push_back(e.Index);
  EXPECT_EQ(indexes, (std::vector<int32_t>{5, 3, 4, 0, 2, 1, 6}));
  EXPECT_EQ(box.Order(), (std::vector<uint32_t>{0, 1, 2, 3, 4, 5, 6}));
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
  ASSERT_TRUE(box.Load(path, okOEDatabase).Loaded);
  EXPECT_EQ(box.Memo(), std::vector<std::string>{"Format: Outlook Express 5/6"});
  EXPECT_EQ(box.DetailCaption(), "   File Properties");
  EXPECT_EQ(box.StatusText().substr(0, 14), "Elapsed time: ");
  ASSERT_EQ(box.Entries().size(), 2u);
  const TMessageEntry& newest = box.Entries()[0];
  EXPECT_EQ(newest.Header.Subject, "two");
  EXPECT_EQ(EntryFromText(newest), "Robert");
  EXPECT_EQ(box.Entries()[1].Header.To, "Ann a1;b1");
  EXPECT_EQ(box.Entries()[1].Header.Size, 22);
  EXPECT_EQ(box.GetEntryText(newest), "Subject: two\r\n\r\nbody\r\n");
    EXPECT_EQ(box.LoadEntryLines(newest), (std::vector<std::string>{"Subject: two", "", "body"}));

  // MBX without index: the date comes from the Date line; one that does not parse leaves the
  // row without a date (the text is not kept).
  std::string mbx = test::BuildMbx({{"Date: Tue, 12 Jan 2010 10:00:00 +0100\r\n\r\nx"},
                                    {"Date: someday\r\nSubject: s\r\n\r\nx"}});
  ASSERT_TRUE(box.Load(dir.Write("Old.mbx", mbx), okOEDatabase).Loaded);
  EXPECT_EQ(box.Memo(), std::vector<std::string>{"Format: Outlook Express 4"});
  EXPECT_EQ(FormatIsoDateTime(box.Entries()[0].Header.Date), "2010-01-12T10:00:00");
  EXPECT_EQ(box.Entries()[1].Header.Date, 0);
  EXPECT_EQ(box.Entries()[1].Header.DateText, "");

  TLoadResult text = box.Load(dir.Write("text.dbx", "not a database at all"), okOEDatabase);
  EXPECT_FALSE(text.Loaded);
  EXPECT_EQ(text.ErrorText, "File is not in supported format.");
  EXPECT_EQ(box.StatusText(), "Load failed");
  EXPECT_EQ(box.Reader(), nullptr);

  // Loading again closes the first database's file before the next is opened.
  auto openFiles = [] {
    size_t n = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
      ++n;
    return n;
  };
  size_t withNone = openFiles();
  {
    TMailbox other;
    ASSERT_TRUE(other.Load(path, okOEDatabase).Loaded);
    size_t withOne = openFiles();
    EXPECT_EQ(withOne, withNone + 1);
    ASSERT_TRUE(other.Load(path, okOEDatabase).Loaded);
    EXPECT_EQ(openFiles(), withOne);
  }
  EXPECT_EQ(openFiles(), withNone);

  std::string empty = test::BuildDbx({m1});
  test::PutU32(empty, 0xC4, 0);
  TLoadResult none = box.Load(dir.Write("empty.dbx", empty), okOEDatabase);
  EXPECT_FALSE(none.Loaded);
  EXPECT_EQ(none.ErrorText, "File does not contain any message.");
  EXPECT_EQ(box.Memo(), std::vector<std::string>{"Format: Outlook Express 5/6"});
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
