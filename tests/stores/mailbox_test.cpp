#include "stores/mailbox.h"

#include "i18n/localized_text.h"
#include "stores/kinds/database_store.h"
#include "stores/kinds/mailbox_file_store.h"
#include "stores/kinds/message_folder_store.h"
#include "stores/kinds/store_kinds.h"
#include "support/mailbox_oracle.h"
#include "support/scoped_env.h"
#include "support/store_access.h"
#include "support/store_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

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
  // Without a marker after the first separator the file is read by the classic rule, whose
  // messages here start at the same lines but end before the next separator.
  struct {
    std::string marker;
    TMailboxRule rule;
    size_t firstSizeTo; // the last line the first message's size counts
  } cases[] = {{"X-Mozilla-Status: 0001", mrMarked, 7},
               {"X-Account-Key: account1", mrMarked, 7},
               {"X-UIDL: 123", mrMarked, 7},
               {"x-mozilla-status: 0001", mrClassic, 6},
               {"Subject: x", mrClassic, 6}};
  for (const auto& c : cases) {
    std::vector<std::string> lines = TwelveLines;
    lines[1] = lines[7] = c.marker;
    TMailbox box;
    ASSERT_TRUE(box.Load(dir.Write("box", Join(lines)), okMailboxFile).Loaded);
    EXPECT_EQ(test::RuleOf(box), c.rule) << c.marker;
    ASSERT_EQ(box.Entries().size(), 2u) << c.marker;
    EXPECT_EQ(box.FindEntry(0)->Header.Size, Length(lines, 1, c.firstSizeTo)) << c.marker;
    EXPECT_EQ(box.LoadEntryLines(*box.FindEntry(0)), Range(lines, 1, 6)) << c.marker;
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
  EXPECT_EQ(box.LoadEntryLines(b),
            (std::vector<std::string>{"From - b", "X-UIDL: 2", "Subject: u"}));
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

// What reading rows tells of a store changed on disk since the load.
std::string StoreChangedText() {
  return GetLocalizedText("lc_StoreChanged");
}

size_t ChangeNotes(const TMailbox& box) {
  return static_cast<size_t>(
      std::count(box.Notes().begin(), box.Notes().end(), TStoreNote(nkStoreChanged)));
}

// Gives the file a later modification time, as another program's write does.
void Touch(const std::string& path) {
  std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) +
                                             std::chrono::seconds(5));
}

// Another program changes a mailbox file after the load. New mail appended at its end leaves
// every row as it was, read at its offset. A file cut, or rewritten before its old end, is noted
// once; a row whose bytes are no longer its own cannot be read (its reason is that note), and a
// row still where the load saw it reads as it is now. Nothing is looked for again line by line.
TEST(MailboxFile, ChangedAfterTheLoad) {
  test::TTempDir dir;
  const std::vector<std::string> lines = {
      "From - Mon Jan 01 10:00:00 2010", "X-Mozilla-Status: 0001", "Subject: A", "", "alpha", "",
      "From - Tue Jan 02 10:00:00 2010", "X-Mozilla-Status: 0001", "Subject: B", "", "beta", "",
      "From - Wed Jan 03 10:00:00 2010", "X-Mozilla-Status: 0001", "Subject: C", "", "gamma", ""};
  const std::string text = Join(lines);
  const size_t second = Join(Range(lines, 1, 6)).size(), third = Join(Range(lines, 1, 12)).size();
  std::string flagged = text;
  flagged.replace(second + Join(Range(lines, 7, 7)).size() + 18, 4, "0005");
  struct {
    const char* what;
    std::string after; // the file's bytes after the change; "" removes it
    bool noted;
    std::vector<bool> readable;
  } cases[] = {
      {"new mail appended",
       text + "From - Thu Jan 04 10:00:00 2010\nX-Mozilla-Status: 0000\nSubject: D\n\ndelta\n",
       false,
       {true, true, true}},
      {"a status rewritten in place", flagged, true, {true, true, true}},
      {"cut inside the second message", text.substr(0, second + 40), true, {true, false, false}},
      {"cut before the third message", text.substr(0, third), true, {true, true, false}},
      {"cut inside the third separator", text.substr(0, third + 2), true, {true, true, false}},
      {"the first message deleted", text.substr(second), true, {false, false, false}},
      {"removed", "", true, {false, false, false}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.Write("Inbox", text);
    TMailbox box;
    ASSERT_TRUE(box.Load(path, okMailboxFile).Loaded);
    ASSERT_EQ(box.Entries().size(), 3u);
    std::vector<std::string> before;
    for (int32_t i = 0; i < 3; ++i)
      before.push_back(box.GetEntryText(*box.FindEntry(i)));
    if (c.after.empty()) {
      std::filesystem::remove(path);
    } else {
      dir.Write("Inbox", c.after);
      Touch(path);
    }
    // Also as a search reads them, a row after another.
    TReadPass pass(box);
    for (int round = 0; round < 2; ++round) {
      for (int32_t i = 0; i < 3; ++i) {
        const TMessageEntry& entry = *box.FindEntry(i);
        if (!c.readable[static_cast<size_t>(i)]) {
          try {
            box.LoadEntryLines(entry);
            ADD_FAILURE() << "row " << i << " was read";
          } catch (const EPelloraError& e) {
            EXPECT_EQ(e.what(), StoreChangedText()) << "row " << i;
          }
          std::string piecesText;
          EXPECT_THROW(box.ReadEntryText(entry, piecesText), EPelloraError) << "row " << i;
          continue;
        }
        std::string expected = before[static_cast<size_t>(i)];
        if (c.after == flagged && i == 1) expected.replace(expected.find("0001"), 4, "0005");
        EXPECT_EQ(box.GetEntryText(entry), expected) << "row " << i;
        std::string piecesText;
        box.ReadEntryText(entry, piecesText);
        EXPECT_EQ(piecesText, expected) << "row " << i;
      }
    }
    EXPECT_EQ(ChangeNotes(box), c.noted ? 1u : 0u);
  }
}

// A message folder whose file is gone or changed after the load: noted once. A gone file cannot
// be read (the platform's error names it); a changed one is read as it is now.
TEST(MessageFolder, FilesChangedAfterTheLoad) {
  test::TTempDir dir;
  dir.Write("f/a.eml", "Subject: a\r\n\r\nalpha\r\n");
  const std::string b = dir.Write("f/b.eml", "Subject: b\r\n\r\nbeta\r\n");
  const std::string c = dir.Write("f/c.eml", "Subject: c\r\n\r\ngamma\r\n");
  TMailbox box;
  ASSERT_TRUE(box.Load(dir / "f", okMessageFolder).Loaded);
  const std::vector<TStoreNote> notes = box.Notes();
  for (const auto& entry : box.Entries())
    box.GetEntryText(entry);
  EXPECT_EQ(box.Notes(), notes);

  std::filesystem::remove(b);
  dir.Write("f/c.eml", "Subject: c\r\n\r\ngamma, longer now\r\n");
  Touch(c);
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(box.GetEntryText(*box.FindEntry(0)), "Subject: a\r\n\r\nalpha\r\n");
    EXPECT_THROW(box.GetEntryText(*box.FindEntry(1)), EPelloraError);
    EXPECT_EQ(box.GetEntryText(*box.FindEntry(2)), "Subject: c\r\n\r\ngamma, longer now\r\n");
  }
  EXPECT_EQ(ChangeNotes(box), 1u);
}

// A database whose size changed after the load is noted once; its rows are still read through the
// open file, as far as they can be.
TEST(OEDatabase, SizeChangedAfterTheLoad) {
  test::TTempDir dir;
  std::vector<test::TDbxTestMessage> messages(2);
  messages[0].Text = "Subject: one\r\n\r\nbody\r\n";
  messages[0].Subject = "one";
  messages[1].Text = "Subject: two\r\n\r\nbody\r\n";
  messages[1].Subject = "two";
  const std::string path = dir.Write("Inbox.dbx", test::BuildDbx(messages));
  TMailbox box;
  ASSERT_TRUE(box.Load(path, okOEDatabase).Loaded);
  for (const auto& entry : box.Entries())
    box.GetEntryText(entry);
  EXPECT_EQ(ChangeNotes(box), 0u);
  std::ofstream(path, std::ios::app) << std::string(512, '\0');
  for (int pass = 0; pass < 2; ++pass)
    for (const auto& entry : box.Entries())
      EXPECT_EQ(box.GetEntryText(entry),
                "Subject: " + std::string(entry.Header.Subject) + "\r\n\r\nbody\r\n");
  EXPECT_EQ(ChangeNotes(box), 1u);
}

// Classic files: each case gives the lines where messages start; a message runs to the line
// before the next start or to the end of the file, and is read back as it is stored.
TEST(MailboxFile, ClassicRule) {
  test::TTempDir dir;
  const std::string ann = "From ann@example.org Mon Jan  1 10:00:00 2010";
  const std::string bob = "From bob@example.org Tue Jan  2 10:00:00 2010";
  struct {
    const char* what;
    std::vector<std::string> lines;
    std::vector<int64_t> starts;
  } cases[] = {
      {"mboxo: a quoted line stays quoted",
       {ann, "From: Ann <ann@example.org>", "Subject: one", "", "Dear Bob,", ">From now on", "",
        bob, "Subject: two", "", "text"},
       {1, 8}},
      {"mboxrd: every level of quoting stays",
       {ann, "Subject: rd", "", ">From the start", "", ">>From deeper", "", bob, "Subject: two", "",
        "x", ""},
       {1, 8}},
      {"mboxcl2: Content-Length is not trusted",
       {ann, "Subject: cl2", "Content-Length: 9999", "", "body", "", bob, "Subject: two",
        "Content-Length: 1", "", "longer than one byte", ""},
       {1, 7}},
      {"a From line in a body without an empty line before it",
       {ann, "Subject: one", "", "Forwarded text:", "From the desk of Ann", "", bob,
        "Subject: two"},
       {1, 7}},
      {"empty lines before a separator belong to the message before",
       {ann, "Subject: one", "", "body", "", "", "", bob, "Subject: two", "", ""},
       {1, 8}},
      {"lines before the first separator belong to no message",
       {"junk", "Subject: junk", ann, "Subject: one", "", bob, "Subject: two"},
       {3, 6}},
      {"a Thunderbird message inside a classic file",
       {ann, "Subject: one", "", "From - Tue Jan 02 10:00:00 2010", "X-Mozilla-Status: 0001",
        "Subject: two", "", "text"},
       {1, 4}},
      {"a separator alone", {ann}, {1}},
  };
  struct {
    const char* name;
    std::string bom, eol;
    bool finalEol;
  } variants[] = {{"LF", "", "\n", true},
                  {"CR LF", "", "\r\n", true},
                  {"byte-order mark", "\xEF\xBB\xBF", "\n", true},
                  {"no final line end", "", "\n", false}};
  for (const auto& c : cases) {
    for (const auto& v : variants) {
      SCOPED_TRACE(std::string(c.what) + ", " + v.name);
      std::string text = v.bom + Join(c.lines, v.eol);
      if (!v.finalEol && !c.lines.back().empty()) text.resize(text.size() - v.eol.size());
      std::string path = dir.Write("classic", text);
      TMailbox box;
      ASSERT_TRUE(box.Load(path, okMailboxFile).Loaded);
      EXPECT_EQ(test::RuleOf(box), mrClassic);
      ASSERT_EQ(box.Entries().size(), c.starts.size());
      for (size_t k = 0; k < c.starts.size(); ++k) {
        const TMessageEntry& entry = *box.FindEntry(static_cast<int32_t>(k));
        size_t from = static_cast<size_t>(c.starts[k]);
        size_t to =
            k + 1 < c.starts.size() ? static_cast<size_t>(c.starts[k + 1]) - 1 : c.lines.size();
        std::vector<std::string> expected = Range(c.lines, from, to);
        EXPECT_EQ(entry.StartLine, c.starts[k]);
        EXPECT_EQ(
            entry.StartOffset,
            static_cast<int64_t>(v.bom.size() + Join(Range(c.lines, 1, from - 1), v.eol).size()));
        EXPECT_EQ(entry.Header.Size, Length(c.lines, from, to));
        std::string subject;
        for (const auto& line : expected)
          if (subject.empty() && line.starts_with("Subject: ")) subject = line.substr(9);
        EXPECT_EQ(entry.Header.Subject, subject);
        EXPECT_EQ(box.LoadEntryLines(entry), expected);
        EXPECT_EQ(box.GetEntryText(entry), Join(expected, "\r\n"));
        std::vector<std::string> counted;
        test::ReadMailboxMessage(path, counted, entry.Header.Size, entry.StartLine, mrClassic);
        EXPECT_EQ(counted, expected);
      }
    }
  }
}

TEST(MailboxFile, FirstSeparatorDecidesTheRule) {
  test::TTempDir dir;
  // A classic message appended to a Thunderbird file is a part of the message before, as any
  // separator without a marker is there.
  std::vector<std::string> lines = {"From - Mon Jan 01 10:00:00 2010",
                                    "X-Mozilla-Status: 0001",
                                    "Subject: one",
                                    "",
                                    "body",
                                    "",
                                    "From ann@example.org Tue Jan  2 10:00:00 2010",
                                    "Subject: two",
                                    "",
                                    "text"};
  TMailbox box;
  ASSERT_TRUE(box.Load(dir.Write("Inbox", Join(lines)), okMailboxFile).Loaded);
  EXPECT_EQ(test::RuleOf(box), mrMarked);
  ASSERT_EQ(box.Entries().size(), 1u);
  EXPECT_EQ(box.Entries()[0].Header.Subject, "one");
  EXPECT_EQ(box.LoadEntryLines(box.Entries()[0]), Range(lines, 1, 10));

  // A byte-order mark no longer hides a Thunderbird file's first message.
  ASSERT_TRUE(box.Load(dir.Write("bom", "\xEF\xBB\xBF" + Join(TwelveLines)), okMailboxFile).Loaded);
  EXPECT_EQ(test::RuleOf(box), mrMarked);
  ASSERT_EQ(box.Entries().size(), 2u);
  EXPECT_EQ(box.LoadEntryLines(*box.FindEntry(0)), Range(TwelveLines, 1, 6));
}

TEST(Maildir, RowsAndFlags) {
  test::TTempDir dir;
  auto message = [](const std::string& subject, int day) {
    return "Subject: " + subject + "\nDate: " + std::to_string(day) +
           " Jan 2010 10:00:00 +0000\n\nbody\n";
  };
  std::string seen = dir.Write("Mail/cur/1262340000.M1P1.host:2,S", message("seen", 1));
  dir.Write("Mail/cur/1262430000.M2P2.host:2,FRS", message("answered", 2));
  std::string fresh = dir.Write("Mail/new/1262520000.M3P3.host", message("new", 3));
  dir.Write("Mail/cur/.notes", "Subject: not a message\n\n");
  dir.Write("Mail/tmp/1262610000.M4P4.host", message("being delivered", 4));
  dir.Write("Mail/dovecot-uidlist", "3 V1 N4\n");
  TMailbox box;
  ASSERT_TRUE(box.Load(dir / "Mail", okMessageFolder).Loaded);
  ASSERT_EQ(box.Entries().size(), 3u);
  struct {
    const char* subject;
    uint32_t flags;
  } rows[] = {{"seen", mfRead}, {"answered", mfFlagged | mfReplied | mfRead}, {"new", 0}};
  for (int32_t i = 0; i < 3; ++i) {
    const TMessageEntry& entry = *box.FindEntry(i);
    EXPECT_EQ(entry.Header.Subject, rows[i].subject);
    EXPECT_TRUE(EntryHasFlags(entry));
    EXPECT_EQ(box.Flags(entry), rows[i].flags) << rows[i].subject;
  }
  EXPECT_EQ(box.FindEntry(0)->Header.Size, static_cast<int64_t>(message("seen", 1).size()));
  box.Sort(lcFlag, true);
  EXPECT_EQ(box.Entries()[box.Order()[0]].Header.Subject, "answered");

  // Another program marks the new message seen: it moves to cur/ under a new name.
  const TMessageEntry& moved = *box.FindEntry(2);
  std::filesystem::rename(fresh, dir / "Mail/cur/1262520000.M3P3.host:2,S");
  EXPECT_EQ(box.GetEntryText(moved),
            "Subject: new\r\nDate: 3 Jan 2010 10:00:00 +0000\r\n\r\nbody\r\n");
  std::filesystem::remove(seen);
  EXPECT_THROW(box.GetEntryText(*box.FindEntry(0)), EPelloraError);

  // A folder of ".eml" files keeps no flags.
  dir.Write("eml/a.eml", message("plain", 5));
  ASSERT_TRUE(box.Load(dir / "eml", okMessageFolder).Loaded);
  ASSERT_EQ(box.Entries().size(), 1u);
  EXPECT_FALSE(EntryHasFlags(box.Entries()[0]));
}

TEST(Maildir, FlagsOfFileNames) {
  struct {
    const char* name;
    uint32_t flags;
  } cases[] = {{"1.M1.host:2,S", mfRead},
               {"1.M1.host:2,DFPRST", mfFlagged | mfForwarded | mfReplied | mfRead},
               {"1.M1.host!2,F", mfFlagged}, // where names cannot hold a colon
               {"1.M1.host:2,", 0},
               {"1.M1.host:2,ab", 0}, // keywords of one server, not flags
               {"1.M1.host:1,S", 0},  // experimental info
               {"1.M1.host", 0},
               {"1.M1.host:", 0},
               {"1.M1.host:2", 0}};
  for (const auto& c : cases)
    EXPECT_EQ(MaildirFlagsOf(c.name), c.flags) << c.name;
}

TEST(MailboxFile, MozillaStatusFlags) {
  struct {
    const char* value;
    std::optional<uint32_t> flags;
  } cases[] = {{"0001", mfRead},
               {" 0000 ", 0u},
               {"0007", mfRead | mfReplied | mfFlagged},
               {"1000", mfForwarded},
               {"000g", std::nullopt},
               {"", std::nullopt},
               {"123456789", std::nullopt}};
  for (const auto& c : cases)
    EXPECT_EQ(MozillaStatusFlags(c.value), c.flags) << c.value;
}

// The status field counts only in a message's header, and only its first one.
TEST(MailboxFile, RowsTakeTheirStatusFromTheHeader) {
  test::TTempDir dir;
  std::string path = dir.Write("Inbox",
                               "From - Mon Jan 02 10:00:00 2023\nX-Mozilla-Status: 0001\nSubject: a\n\n"
                               "X-Mozilla-Status: 0000\n\n"
                               "From - Mon Jan 02 11:00:00 2023\nX-Mozilla-Status: 0000\n"
                               "X-Mozilla-Status: 0001\nSubject: b\n\nbody\n\n");
  TMailbox box;
  ASSERT_TRUE(box.Load(path, okMailboxFile).Loaded);
  ASSERT_EQ(box.Entries().size(), 2u);
  EXPECT_EQ(box.FindEntry(0)->Flags, std::optional<uint32_t>(mfRead));
  EXPECT_EQ(box.FindEntry(1)->Flags, std::optional<uint32_t>(0u));
  EXPECT_TRUE(EntryHasFlags(*box.FindEntry(1)));
}

TEST(MessageFolder, HoldsMessages) {
  test::TTempDir dir;
  dir.MakeDir("empty");
  dir.Write("other/readme.txt", "x");
  dir.Write("eml/a.eml", "Subject: a\n\nx\n");
  dir.MakeDir("Maildir/cur");
  dir.MakeDir("Maildir/new");
  EXPECT_FALSE(FolderHoldsMessages(dir / "empty"));
  EXPECT_FALSE(FolderHoldsMessages(dir / "other"));
  EXPECT_FALSE(FolderHoldsMessages(dir / "missing"));
  EXPECT_TRUE(FolderHoldsMessages(dir / "eml"));
  EXPECT_TRUE(FolderHoldsMessages(dir / "Maildir"));
}

// A big store lists hundreds of thousands of rows: texts that repeat from row to row are held
// once, and no row changes for it.
TEST(MailboxFile, RowsShareThePathAndRepeatedTexts) {
  test::TTempDir dir;
  const std::string text = Join(
      {"From - Mon Jan 01 10:00:00 2010", "X-Mozilla-Status: 0001", "Sender: list@example.org",
       "Subject: one", "", "body", "From - Tue Jan 02 10:00:00 2010", "X-Mozilla-Status: 0001",
       "Sender: list@example.org", "Subject: two", "", "body", "From - Wed Jan 03 10:00:00 2010",
       "X-Mozilla-Status: 0001", "Sender: other@example.org", "Subject: two", "", "body"});
  TMailbox box;
  ASSERT_TRUE(box.Load(dir.Write("Inbox", text), okMailboxFile).Loaded);
  ASSERT_EQ(box.Entries().size(), 3u);
  const TEMLHeader& one = box.FindEntry(0)->Header;
  const TEMLHeader& two = box.FindEntry(1)->Header;
  const TEMLHeader& three = box.FindEntry(2)->Header;
  EXPECT_TRUE(box.FindEntry(0)->Path.SharesWith(box.FindEntry(2)->Path));
  EXPECT_EQ(box.FindEntry(0)->Path, dir / "Inbox");
  EXPECT_TRUE(two.Sender.SharesWith(one.Sender));
  EXPECT_FALSE(three.Sender.SharesWith(two.Sender));
  EXPECT_TRUE(three.Subject.SharesWith(two.Subject));
  EXPECT_EQ(std::vector<std::string>({one.Subject.str(), two.Subject.str(), three.Subject.str()}),
            std::vector<std::string>({"one", "two", "two"}));
  EXPECT_EQ(three.Sender, "other@example.org");
}

// A row shows what its message's own header says: the author in "From" (a list's Sender is not
// the author), the header's fields only, and an attachment icon from the message's type.
TEST(MailboxFile, RowsShowTheAuthorTheHeaderAndAttachments) {
  test::TTempDir dir;
  struct {
    std::vector<std::string> header;
    std::string from, to;
    bool attachment;
  } cases[] = {
      {{"From: Ann <ann@example.org>", "Sender: list-bounces@example.org",
        "Content-Type: multipart/mixed; boundary=b"},
       "Ann <ann@example.org>",
       "",
       true},
      {{"Sender: list@example.org", "Content-Type: multipart/related; boundary=b"},
       "list@example.org",
       "",
       true},
      {{"From: b@example.org", "Content-Type: text/plain",
        "Content-Disposition: attachment; filename=notes.txt"},
       "b@example.org",
       "",
       true},
      {{"From: c@example.org", "Content-Type: multipart/alternative; boundary=b"},
       "c@example.org",
       "",
       false},
      // A body line is never a header field.
      {{"From: d@example.org", "Cc: e@example.org"}, "d@example.org", "", false},
  };
  std::vector<std::string> lines;
  for (const auto& c : cases) {
    lines.push_back("From - Mon Jan 01 10:00:00 2010");
    lines.push_back("X-Mozilla-Status: 0001");
    lines.insert(lines.end(), c.header.begin(), c.header.end());
    lines.insert(lines.end(), {"", "<a href=\"mailto:x@example.org\">", "To: x@example.org",
                               "Content-Disposition: attachment", ""});
  }
  TMailbox box;
  ASSERT_TRUE(box.Load(dir.Write("Inbox", Join(lines)), okMailboxFile).Loaded);
  ASSERT_EQ(box.Entries().size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const TMessageEntry& entry = *box.FindEntry(static_cast<int32_t>(i));
    EXPECT_EQ(box.FromText(entry), cases[i].from) << i;
    EXPECT_EQ(entry.Header.To, cases[i].to) << i;
    EXPECT_EQ(box.HasAttachment(entry), cases[i].attachment) << i;
  }
  box.Sort(lcAttachment, true);
  EXPECT_TRUE(box.HasAttachment(box.Entries()[box.Order()[2]]));
  EXPECT_FALSE(box.HasAttachment(box.Entries()[box.Order()[3]]));
}

// In a database the record's sender text is the From address the database keeps (beside the From
// name), not a Sender field: its rows keep showing it.
TEST(MessageEntry, DatabaseRowsShowTheirSenderText) {
  TMessageEntry row;
  row.Header.From = "Ann";
  row.Header.Sender = "ann@example.org";
  const TDatabaseStore database;
  EXPECT_EQ(database.Author(row).Text(), "ann@example.org");
  row.Header.Sender = TSharedText();
  EXPECT_EQ(database.Author(row).Text(), "Ann");
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
  EXPECT_EQ(box.Entries()[1].Index, 2);
  ASSERT_EQ(box.Notes().size(), 1u);
  EXPECT_EQ(test::MemoLines(box)[0].substr(0, 7), "b.eml: ");
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
  EXPECT_EQ(test::MemoLines(box), std::vector<std::string>{"Format: Outlook Express 5/6"});
  ASSERT_EQ(box.Entries().size(), 2u);
  const TMessageEntry& newest = box.Entries()[0];
  EXPECT_EQ(newest.Header.Subject, "two");
  EXPECT_EQ(box.FromText(newest), "Robert");
  EXPECT_EQ(box.Entries()[1].Header.To, "Ann a1;b1");
  EXPECT_EQ(box.Entries()[1].Header.Size, 22);
  EXPECT_EQ(box.GetEntryText(newest), "Subject: two\r\n\r\nbody\r\n");
  EXPECT_EQ(box.LoadEntryLines(newest), (std::vector<std::string>{"Subject: two", "", "body"}));

  // MBX without index: the date comes from the Date line; one that does not parse leaves the
  // row without a date (the text is not kept).
  std::string mbx = test::BuildMbx({{"Date: Tue, 12 Jan 2010 10:00:00 +0100\r\n\r\nx"},
                                    {"Date: someday\r\nSubject: s\r\n\r\nx"}});
  ASSERT_TRUE(box.Load(dir.Write("Old.mbx", mbx), okOEDatabase).Loaded);
  EXPECT_EQ(test::MemoLines(box), std::vector<std::string>{"Format: Outlook Express 4"});
  EXPECT_EQ(FormatIsoDateTime(box.Entries()[0].Header.Date), "2010-01-12T10:00:00");
  EXPECT_EQ(box.Entries()[1].Header.Date, 0);
  EXPECT_EQ(box.Entries()[1].Header.DateText, "");

  TLoadResult text = box.Load(dir.Write("text.dbx", "not a database at all"), okOEDatabase);
  EXPECT_FALSE(text.Loaded);
  EXPECT_EQ(text.ErrorText, "File is not in supported format.");
  EXPECT_TRUE(box.Notes().empty()); // not recognised: no format is named
  EXPECT_EQ(test::ReaderOf(box), nullptr);

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
  EXPECT_EQ(test::MemoLines(box), std::vector<std::string>{"Format: Outlook Express 5/6"});
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

// Texts without a charset in a list: a database keeps its texts in the code page of the system
// that wrote it, and raw header bytes are UTF-8 or in that code page.
TEST(UndeclaredTexts, DatabaseRecordsAndRawHeaders) {
  const std::string privet1251 = "\xCF\xF0\xE8\xE2\xE5\xF2", mir1251 = "\xEC\xE8\xF0";
  const std::string privetUtf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";
  const std::string mirUtf8 = "\xD0\xBC\xD0\xB8\xD1\x80";
  test::TTempDir dir;
  test::TDbxTestMessage m{
      "Subject: x\r\n\r\nbody\r\n", privet1251, mir1251, "", mir1251, "m@example.ru"};
  test::TDbxTestMessage utf8{"Subject: y\r\n\r\nbody\r\n", privetUtf8, "Ann"};
  m.UnixTime = 1262347200;
  utf8.UnixTime = 1262350800;
  const std::string dbx = dir.Write("Inbox.dbx", test::BuildDbx({m, utf8}, "\xC2\xF5\xEE\xE4"));
  const std::string mailbox = dir.Write(
      "Inbox", "From - Mon Jan 01 10:00:00 2010\nX-Mozilla-Status: 0001\nSubject: " + privet1251 +
                   "\nFrom: " + privetUtf8 + " <p@example.ru>\n\nbody\n");
  struct {
    int ansi, legacy;
    std::string subject, to, store, utf8Subject;
  } cases[] = {
      {CodePageUtf8, 1251, privetUtf8, mirUtf8 + " m@example.ru",
       "\xD0\x92\xD1\x85\xD0\xBE\xD0\xB4", privetUtf8},
      {1251, 1251, privet1251, mir1251 + " m@example.ru", "\xC2\xF5\xEE\xE4", privet1251},
      // As the list always showed them on a Western system; UTF-8 is read as such.
      {1252, 1252, privet1251, mir1251 + " m@example.ru", "\xC2\xF5\xEE\xE4", "??????"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.ansi);
    test::TScopedCodePages pages(c.ansi, c.legacy);
    TMailbox box;
    ASSERT_TRUE(box.Load(dbx, okOEDatabase).Loaded);
    const TMessageEntry& first = *box.FindEntry(0);
    EXPECT_EQ(first.Header.Subject, c.subject);
    EXPECT_EQ(first.Header.From, c.to.substr(0, c.to.find(' ')));
    EXPECT_EQ(first.Header.To, c.to);
    EXPECT_EQ(box.FindEntry(1)->Header.Subject, c.utf8Subject);
    EXPECT_EQ(test::ReaderOf(box)->GetStoreName(), c.store);

    ASSERT_TRUE(box.Load(mailbox, okMailboxFile).Loaded);
    ASSERT_EQ(box.Entries().size(), 1u);
    EXPECT_EQ(box.Entries()[0].Header.Subject, c.subject);
    EXPECT_EQ(box.Entries()[0].Header.From, c.utf8Subject + " <p@example.ru>");
  }
}

} // namespace
} // namespace pellora

namespace pellora {
namespace {

// A reader on another thread: its reads take turns with this thread's, each gives the row's text,
// a row of an older load is not read, and the notes its reads make wait for this thread.
TEST(MailboxFile, ReadsAsideTakeTurns) {
  test::TTempDir dir;
  std::string text;
  for (int i = 0; i < 40; ++i)
    text += "From - Mon Jan 01 10:00:00 2010\nSubject: S" + std::to_string(i) + "\n\nbody " +
            std::to_string(i) + "\n\n";
  const std::string path = dir.Write("Inbox", text);
  TMailbox box;
  ASSERT_TRUE(box.Load(path, okMailboxFile).Loaded);
  std::vector<std::string> expected;
  for (const TMessageEntry& entry : box.Entries()) expected.push_back(box.GetEntryText(entry));

  // Both threads read every row many times over, each in its own order.
  std::vector<std::string> aside(expected.size());
  std::atomic<int> wrong{0};
  std::thread reader([&] {
    for (int round = 0; round < 20; ++round)
      for (uint32_t e = 0; e < expected.size(); ++e) {
        std::string read;
        if (!box.ReadAside(box.LoadCount(), e, read) || read != expected[e]) ++wrong;
      }
  });
  for (int round = 0; round < 20; ++round) {
    TReadPass pass(box);
    for (size_t e = expected.size(); e-- > 0;)
      if (box.GetEntryText(box.Entries()[e]) != expected[e]) ++wrong;
  }
  reader.join();
  EXPECT_EQ(wrong, 0);

  // The store changed on disk: the note of a read aside waits for TakeWaitingNotes.
  dir.Write("Inbox", text.substr(0, text.size() / 2));
  Touch(path);
  std::string read;
  std::thread([&] { EXPECT_THROW(box.ReadAside(box.LoadCount(), 39, read), EPelloraError); }).join();
  EXPECT_EQ(ChangeNotes(box), 0u);
  EXPECT_TRUE(box.TakeWaitingNotes());
  EXPECT_EQ(ChangeNotes(box), 1u);
  EXPECT_FALSE(box.TakeWaitingNotes());

  // After another load, a row of the load before is not read.
  const uint64_t before = box.LoadCount();
  ASSERT_TRUE(box.Load(path, okMailboxFile).Loaded);
  EXPECT_FALSE(box.ReadAside(before, 0, read));
  EXPECT_TRUE(box.ReadAside(box.LoadCount(), 0, read));
  EXPECT_FALSE(box.ReadAside(box.LoadCount(), static_cast<uint32_t>(box.Entries().size()), read));
}

} // namespace
} // namespace pellora
