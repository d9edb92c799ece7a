#include "export/message_export.h"
#include "i18n/localized_text.h"
#include "mime/mail_message.h"
#include "platform/files.h"
#include "platform/safe_files.h"
#include "platform/unicode.h"
#include "support/store_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>

#include <sys/stat.h>
#include <unistd.h>

using namespace pellora;
namespace fs = std::filesystem;

namespace {

std::vector<uint32_t> AllRows(const TMailbox& box) {
  return box.Order();
}

// Every regular file of a folder by name, with its bytes.
std::map<std::string, std::string> FolderFiles(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(folder))
    if (e.is_regular_file()) files[e.path().filename().string()] = ReadWholeFile(e.path().string());
  return files;
}

// The message texts of a folder, whatever their names.
std::multiset<std::string> Texts(const std::map<std::string, std::string>& files) {
  std::multiset<std::string> texts;
  for (const auto& [name, bytes] : files)
    texts.insert(bytes);
  return texts;
}

// What a reader of mboxrd gets back from a stored line: one ">" less before "From ".
std::string Unquote(const std::string& text) {
  return std::regex_replace(text, std::regex("(^|\n)>(>*From )"), "$1$2");
}

// A text as a mailbox file holds its lines: every CR LF made LF.
std::string LfLines(const std::string& text) {
  return std::regex_replace(text, std::regex("\r\n"), "\n");
}

class TRecorder : public TExportObserver {
public:
  bool Progress(uint64_t done, uint64_t total) override {
    steps.emplace_back(done, total);
    return stopAfter < 0 || done < static_cast<uint64_t>(stopAfter);
  }
  bool Overwrite(const std::string& path) override {
    asked.push_back(path);
    return overwrite;
  }
  void Written(const std::string& path) override { written.push_back(path); }
  std::vector<std::pair<uint64_t, uint64_t>> steps;
  std::vector<std::string> asked, written;
  bool overwrite = false;
  int stopAfter = -1;
};

// Mail that tests quoting and line ends: "From " lines in bodies, quoted ones, CR LF and LF.
const std::vector<std::string> Bodies = {
    "From: Ann <ann@example.org>\r\nSubject: first\r\nDate: Mon, 04 Jan 2010 10:00:00 +0100\r\n\r\n"
    "From here on\r\n>From there\r\n>>From everywhere\r\nFrom\r\n",
    "From: bob@example.org\r\nSubject: second\r\nDate: Tue, 05 Jan 2010 11:30:00 +0100\r\n\r\n"
    "plain\r\n\r\n",
    "From: Cy <cy@example.org>\r\nSubject: third\r\nDate: Wed, 06 Jan 2010 12:45:00 +0100\r\n\r\n"
    "no final line end",
};

// A store of each kind holding the same messages.
struct TStoreCase {
  const char* name;
  std::string (*make)(const test::TTempDir& dir);
  TOpenKind kind;
  // What the store gives as the message's text: a database's text as it is, a mailbox file's
  // lines with LF and its last line end.
  std::string (*stored)(const std::string& body);
};

std::string AsIs(const std::string& body) {
  return body;
}

std::string MailboxLines(const std::string& body) {
  std::string text = std::regex_replace(body, std::regex("\r\n"), "\n");
  return text.ends_with('\n') ? text : text + "\n";
}

std::vector<std::string> Lines(const std::string& body) {
  std::vector<std::string> lines;
  SplitTextLines(body, lines);
  return lines;
}

const TStoreCase StoreCases[] = {
    {"dbx",
     [](const test::TTempDir& dir) {
       std::vector<test::TDbxTestMessage> messages;
       int64_t time = 1262595600;
       for (const auto& body : Bodies) {
         test::TDbxTestMessage m{body, "s", "Ann", "ann@example.org"};
         m.UnixTime = time += 3600;
         messages.push_back(m);
       }
       return dir.Write("Inbox.dbx", test::BuildDbx(messages));
     },
     okOEDatabase, AsIs},
    {"mbx",
     [](const test::TTempDir& dir) {
       std::vector<test::TMbxTestRecord> records;
       for (const auto& body : Bodies)
         records.push_back({body});
       return dir.Write("Old.mbx", test::BuildMbx(records));
     },
     okOEDatabase, AsIs},
    {"marked mailbox",
     [](const test::TTempDir& dir) {
       std::vector<test::TMboxTestMessage> messages;
       for (const auto& body : Bodies) {
         // Each message is followed by an empty line, as the writers of such files do.
         std::vector<std::string> lines = Lines(body);
         lines.emplace_back();
         messages.push_back({"From - Mon Jan 04 10:00:00 2010", "X-Mozilla-Status: 0001", lines});
       }
       return dir.Write("Inbox", test::BuildMailbox(messages));
     },
     okMailboxFile,
     [](const std::string& body) { return "X-Mozilla-Status: 0001\n" + MailboxLines(body); }},
    {"classic mailbox, CR LF",
     [](const test::TTempDir& dir) {
       std::string bytes;
       for (const auto& body : Bodies) {
         // A body's own "From " line would start a message: a classic file quotes it.
         bytes += "From ann@example.org Mon Jan  4 10:00:00 2010\r\n" +
                  std::regex_replace(body, std::regex("\r\nFrom "), "\r\n>From ");
         bytes += body.ends_with("\r\n") ? "\r\n" : "\r\n\r\n";
       }
       return dir.Write("classic.mbox", bytes);
     },
     okMailboxFile,
     [](const std::string& body) {
       std::string text = std::regex_replace(body, std::regex("\r\nFrom "), "\r\n>From ");
       return body.ends_with("\r\n") ? text : text + "\r\n";
     }},
    {"message folder",
     [](const test::TTempDir& dir) {
       for (size_t i = 0; i < Bodies.size(); ++i)
         dir.Write("Messages/" + std::to_string(i) + ".eml", Bodies[i]);
       return dir / "Messages";
     },
     okMessageFolder, AsIs},
};

} // namespace

// Export to .eml files and to a mailbox file, load both back: the same messages, byte for byte.
TEST(MessageExport, RoundTripsEveryStoreKind) {
  for (const auto& c : StoreCases) {
    SCOPED_TRACE(c.name);
    test::TTempDir dir;
    std::string path = c.make(dir);
    TMailbox box;
    ASSERT_TRUE(box.Load(path, c.kind).Loaded);
    ASSERT_EQ(box.Entries().size(), Bodies.size());
    std::multiset<std::string> expected;
    for (const auto& body : Bodies)
      expected.insert(c.stored(body));

    std::string emlDir = dir.MakeDir("eml");
    TExportResult eml = ExportMessages(box, AllRows(box), efEml, emlDir);
    EXPECT_EQ(eml.Messages, Bodies.size());
    EXPECT_TRUE(eml.Skipped.empty());
    auto files = FolderFiles(emlDir);
    EXPECT_EQ(Texts(files), expected);
    for (const auto& [name, bytes] : files)
      EXPECT_TRUE(name.ends_with(".eml")) << name;

    TMailbox again;
    ASSERT_TRUE(again.Load(emlDir, okMessageFolder).Loaded);
    EXPECT_EQ(again.Entries().size(), Bodies.size());

    std::string mbox = dir / "out.mbox";
    TExportResult m = ExportMessages(box, AllRows(box), efMbox, mbox);
    EXPECT_EQ(m.Messages, Bodies.size());
    TMailbox back;
    ASSERT_TRUE(back.Load(mbox, okMailboxFile).Loaded);
    ASSERT_EQ(back.Entries().size(), Bodies.size());
    std::multiset<std::string> readBack;
    for (const auto& entry : back.Entries())
      readBack.insert(Unquote(back.StoredText(entry)));
    // A mailbox file's lines end with LF, the last one too.
    std::multiset<std::string> withLineEnds;
    for (const auto& text : expected)
      withLineEnds.insert(LfLines(text.ends_with('\n') ? text : text + "\n"));
    EXPECT_EQ(readBack, withLineEnds);
  }
}

// Python's mailbox module reads the same count and bytes (skipped where python3 is absent).
TEST(MessageExport, MailboxFileReadsBackInPython) {
  if (std::system("python3 -c 'import mailbox' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3 not available";
  test::TTempDir dir;
  std::string path = StoreCases[0].make(dir);
  TMailbox box;
  ASSERT_TRUE(box.Load(path, okOEDatabase).Loaded);
  std::string mbox = dir / "out.mbox";
  ExportMessages(box, AllRows(box), efMbox, mbox);
  std::string expected = dir / "expected";
  std::string joined;
  std::vector<std::string> texts;
  for (uint32_t row : box.Order()) {
    std::string text = box.StoredText(box.Entries()[row]);
    texts.push_back(LfLines(text.ends_with('\n') ? text : text + "\n"));
  }
  for (size_t i = 0; i < texts.size(); ++i)
    dir.Write("expected/" + std::to_string(i), texts[i]);
  std::string script = dir.Write("check.py", R"(
import mailbox, re, sys
box = mailbox.mbox(sys.argv[1])
got = [re.sub(rb'(?m)^>(>*From )', rb'\1', box.get_bytes(k)) for k in box.keys()]
want = [open(sys.argv[2] + '/' + str(i), 'rb').read() for i in range(len(got))]
sys.exit(0 if len(got) == int(sys.argv[3]) and got == want else 1)
)");
  std::string command = "python3 '" + script + "' '" + mbox + "' '" + expected + "' " +
                        std::to_string(texts.size());
  EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST(MessageExport, QuotesFromLinesWhereverBlocksSplit) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"From a\n", ">From a\n"},
      {">From a\n>>From b\n", ">>From a\n>>>From b\n"},
      {"x From y\nFrom\nFromage\n", "x From y\nFrom\nFromage\n"},
      {"a\n\nFrom b\r\n>From c", "a\n\n>From b\r\n>>From c"},
      {">>>", ">>>"},
      {"\n>Fro", "\n>Fro"},
      {"", ""},
  };
  for (const auto& c : cases) {
    std::string in = c.in;
    for (size_t cut1 = 0; cut1 <= in.size(); ++cut1)
      for (size_t cut2 = cut1; cut2 <= in.size(); ++cut2) {
        std::string out;
        TMboxrdQuoter quoter([&](std::string_view bytes) { out += bytes; });
        quoter.Feed(std::string_view(in).substr(0, cut1));
        quoter.Feed(std::string_view(in).substr(cut1, cut2 - cut1));
        quoter.Feed(std::string_view(in).substr(cut2));
        quoter.Finish();
        EXPECT_EQ(out, c.out) << "in " << c.in << " cut at " << cut1 << ", " << cut2;
      }
  }
}

TEST(MessageExport, MailboxLinesEndWithLfWhereverBlocksSplit) {
  struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"a\r\nb\r\n", "a\nb\n"}, {"a\nb", "a\nb"},     {"a\rb\r", "a\rb\r"},
      {"\r\r\n\r", "\r\n\r"},   {"\r\n\r\n", "\n\n"}, {"", ""},
  };
  for (const auto& c : cases) {
    std::string in = c.in;
    for (size_t cut1 = 0; cut1 <= in.size(); ++cut1)
      for (size_t cut2 = cut1; cut2 <= in.size(); ++cut2) {
        std::string out;
        TCrLfToLf lines([&](std::string_view bytes) { out += bytes; });
        lines.Feed(std::string_view(in).substr(0, cut1));
        lines.Feed(std::string_view(in).substr(cut1, cut2 - cut1));
        lines.Feed(std::string_view(in).substr(cut2));
        lines.Finish();
        EXPECT_EQ(out, c.out) << "cut at " << cut1 << ", " << cut2;
      }
  }
}

TEST(MessageExport, SeparatorLine) {
  struct {
    const char* from;
    const char* sender;
    const char* returnPath;
    const char* expected;
  } cases[] = {
      {"\"Ann Lee\" <ann@example.org>", "", "", "From ann@example.org Mon Jan  4 10:05:09 2010"},
      {"ann@example.org (Ann)", "", "", "From ann@example.org Mon Jan  4 10:05:09 2010"},
      {"Ann", "ann@example.org", "", "From ann@example.org Mon Jan  4 10:05:09 2010"},
      {"Ann <a@x>", "", "<bounce@example.org>", "From bounce@example.org Mon Jan  4 10:05:09 2010"},
      {"Nobody", "", "", "From MAILER-DAEMON Mon Jan  4 10:05:09 2010"},
  };
  for (const auto& c : cases) {
    TEMLHeader h;
    h.From = c.from;
    h.Sender = c.sender;
    h.ReturnPath = c.returnPath;
    TDateTime date, time;
    ASSERT_TRUE(TryEncodeDate(2010, 1, 4, date));
    ASSERT_TRUE(TryEncodeTime(10, 5, 9, 0, time));
    h.Date = ComposeDateTime(date, time);
    EXPECT_EQ(MboxSeparatorLine(h), c.expected) << c.from;
  }
}

TEST(MessageExport, FileNames) {
  TDateTime date, time;
  ASSERT_TRUE(TryEncodeDate(2024, 3, 9, date));
  ASSERT_TRUE(TryEncodeTime(7, 5, 0, 0, time));
  const TDateTime when = ComposeDateTime(date, time);
  const std::string longAscii(400, 'a');
  struct {
    const char* name;
    TDateTime date;
    std::string subject; // in the code page of the tests (1252)
    std::string expected;
  } cases[] = {
      {"date and subject", when, "Hello", "2024-03-09 0705 - Hello.eml"},
      {"no subject", when, "", "2024-03-09 0705.eml"},
      {"no date", 0, "Hello", "Hello.eml"},
      {"nothing", 0, "", "message-7.eml"},
      {"forbidden characters", when, "Re: a/b\\c?*<>|\"'\t",
       "2024-03-09 0705 - Re_ a_b_c________.eml"},
      {"dots only", 0, "...", "message-7.eml"},
      {"leading dots", 0, "..hidden", "hidden.eml"},
      {"code page letters", when, "Gr\xFC\xDF""e", "2024-03-09 0705 - Gr\xC3\xBC\xC3\x9F""e.eml"},
  };
  for (const auto& c : cases) {
    TMessageEntry entry;
    entry.Index = 7;
    entry.Header.Date = c.date;
    entry.Header.Subject = c.subject;
    EXPECT_EQ(MessageFileName(entry), c.expected) << c.name;
  }
  // Long subjects are cut to a safe length, never inside a character.
  TMessageEntry entry;
  entry.Header.Date = when;
  entry.Header.Subject = longAscii;
  std::string name = MessageFileName(entry);
  EXPECT_LE(name.size(), 254u);
  EXPECT_TRUE(name.ends_with("aaa.eml"));
  std::string numbered = NumberedFileName(name, 12);
  EXPECT_LE(numbered.size(), 254u);
  EXPECT_TRUE(numbered.ends_with("a (12).eml")) << numbered;
  EXPECT_EQ(NumberedFileName("report.pdf", 2), "report (2).pdf");
  EXPECT_EQ(NumberedFileName("README", 3), "README (3)");

  // Letters of two bytes in UTF-8: a cut at any byte keeps whole characters.
  for (size_t shift = 0; shift < 2; ++shift) {
    entry.Header.Subject = std::string(shift, 'x') + std::string(300, '\xFC');
    name = MessageFileName(entry);
    EXPECT_LE(name.size(), 254u);
    EXPECT_GE(name.size(), 250u);
    EXPECT_TRUE(IsValidUtf8(name)) << shift;
    numbered = NumberedFileName(name, 2);
    EXPECT_LE(numbered.size(), 254u);
    EXPECT_TRUE(IsValidUtf8(numbered)) << shift;
  }
}

TEST(MessageExport, NameClashesAndExistingFiles) {
  test::TTempDir dir;
  test::TDbxTestMessage m{"Subject: same\r\n\r\nbody\r\n", "same", "Ann", "ann@example.org"};
  m.UnixTime = 1262595600;
  std::vector<test::TDbxTestMessage> messages(3, m);
  for (size_t i = 0; i < messages.size(); ++i)
    messages[i].Text += std::to_string(i);
  TMailbox box;
  ASSERT_TRUE(box.Load(dir.Write("Inbox.dbx", test::BuildDbx(messages)), okOEDatabase).Loaded);
  std::string out = dir.MakeDir("out");
  TExportResult result = ExportMessages(box, AllRows(box), efEml, out);
  EXPECT_EQ(result.Messages, 3u);
  auto files = FolderFiles(out);
  std::vector<std::string> names;
  for (const auto& [name, bytes] : files)
    names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"2010-01-04 1000 - same (2).eml",
                                             "2010-01-04 1000 - same (3).eml",
                                             "2010-01-04 1000 - same.eml"}));

  // Again into the same folder: nothing is replaced unless the observer says so.
  TRecorder refuse;
  result = ExportMessages(box, AllRows(box), efEml, out, &refuse);
  EXPECT_EQ(result.Messages, 0u);
  ASSERT_EQ(result.Skipped.size(), 3u);
  EXPECT_EQ(refuse.asked.size(), 3u);
  EXPECT_EQ(FolderFiles(out), files);
  const std::string skipped = NoteText(result.Skipped.back());
  EXPECT_NE(skipped.find(": File already exists"), std::string::npos) << skipped;

  // A link under a taken name is replaced, never written through.
  std::string victim = dir.Write("victim", "keep");
  fs::remove(out + "/2010-01-04 1000 - same.eml");
  fs::create_symlink(victim, out + "/2010-01-04 1000 - same.eml");
  TRecorder replace;
  replace.overwrite = true;
  result = ExportMessages(box, AllRows(box), efEml, out, &replace);
  EXPECT_EQ(result.Messages, 3u);
  EXPECT_EQ(ReadWholeFile(victim), "keep");
  EXPECT_FALSE(fs::is_symlink(out + "/2010-01-04 1000 - same.eml"));
  EXPECT_EQ(FolderFiles(out).size(), 3u); // no temporary file is left
}

// The next number of a clashing name skips names the export gave already, a subject that holds
// a number of its own included.
TEST(MessageExport, NumberedNamesSkipNamesTaken) {
  test::TTempDir dir;
  std::vector<test::TDbxTestMessage> messages;
  for (const char* subject : {"same", "same (2)", "same", "same", "same (2)"}) {
    test::TDbxTestMessage m;
    m.Text = std::string("Subject: ") + subject + "\r\n\r\nbody\r\n";
    m.Subject = subject;
    m.UnixTime = 1262595600;
    messages.push_back(m);
  }
  TMailbox box;
  ASSERT_TRUE(box.Load(dir.Write("Inbox.dbx", test::BuildDbx(messages)), okOEDatabase).Loaded);
  std::vector<uint32_t> rows;
  for (int32_t i = 0; i < 5; ++i)
    rows.push_back(static_cast<uint32_t>(box.FindEntry(i) - box.Entries().data()));
  std::string out = dir.MakeDir("out");
  TExportResult result = ExportMessages(box, rows, efEml, out);
  EXPECT_EQ(result.Messages, 5u);
  std::map<std::string, std::string> subjects;
  for (const auto& [name, bytes] : FolderFiles(out))
    subjects[name] = bytes.substr(9, bytes.find('\r') - 9);
  const std::string d = "2010-01-04 1000 - ";
  EXPECT_EQ(subjects, (std::map<std::string, std::string>{{d + "same.eml", "same"},
                                                          {d + "same (2).eml", "same (2)"},
                                                          {d + "same (3).eml", "same"},
                                                          {d + "same (4).eml", "same"},
                                                          {d + "same (2) (2).eml", "same (2)"}}));
}

// A damaged message is skipped with its row number; the others are written all the same.
TEST(MessageExport, UnreadableMessageInTheMiddle) {
  test::TTempDir dir;
  std::vector<test::TDbxTestMessage> messages(3);
  for (int i = 0; i < 3; ++i) {
    messages[i] = {"Subject: m" + std::to_string(i) + "\r\n\r\nbody\r\n", "m" + std::to_string(i)};
    messages[i].UnixTime = 1262595600 + i * 60;
  }
  messages[1].Text.clear(); // a record without text
  TMailbox box;
  ASSERT_TRUE(box.Load(dir.Write("Inbox.dbx", test::BuildDbx(messages)), okOEDatabase).Loaded);
  const size_t notes = box.Notes().size();
  for (TExportFormat format : {efEml, efMbox}) {
    std::string target = format == efEml ? dir.MakeDir("eml") : dir / "out.mbox";
    TRecorder progress;
    TExportResult result = ExportMessages(box, AllRows(box), format, target, &progress);
    EXPECT_EQ(result.Messages, 2u);
    ASSERT_EQ(result.Skipped.size(), 1u);
    EXPECT_EQ(NoteText(result.Skipped[0]), "2: No text found.");
    EXPECT_EQ(progress.steps.back(), std::make_pair(uint64_t{3}, uint64_t{3}));
  }
  EXPECT_EQ(box.Notes().size(), notes); // the export tells its result, not the mailbox
  EXPECT_EQ(FolderFiles(dir / "eml").size(), 2u);
  TMailbox back;
  ASSERT_TRUE(back.Load(dir / "out.mbox", okMailboxFile).Loaded);
  EXPECT_EQ(back.Entries().size(), 2u);
}

TEST(MessageExport, CancelBetweenMessages) {
  test::TTempDir dir;
  std::string path = StoreCases[0].make(dir);
  TMailbox box;
  ASSERT_TRUE(box.Load(path, okOEDatabase).Loaded);
  TRecorder stop;
  stop.stopAfter = 1;
  TExportResult result = ExportMessages(box, AllRows(box), efEml, dir.MakeDir("out"), &stop);
  EXPECT_TRUE(result.Cancelled);
  EXPECT_EQ(result.Messages, 1u);
  EXPECT_EQ(FolderFiles(dir / "out").size(), 1u);
  // A mailbox file keeps the messages written before the stop, whole.
  result = ExportMessages(box, AllRows(box), efMbox, dir / "out.mbox", &stop);
  EXPECT_TRUE(result.Cancelled);
  TMailbox back;
  ASSERT_TRUE(back.Load(dir / "out.mbox", okMailboxFile).Loaded);
  EXPECT_EQ(back.Entries().size(), 1u);
}

// A target that cannot be written stops the export and leaves no partial file.
TEST(MessageExport, TargetThatCannotBeWritten) {
  test::TTempDir dir;
  std::string path = StoreCases[0].make(dir);
  TMailbox box;
  ASSERT_TRUE(box.Load(path, okOEDatabase).Loaded);
  EXPECT_THROW(ExportMessages(box, AllRows(box), efEml, dir / "missing"), EPelloraError);
  EXPECT_THROW(ExportMessages(box, AllRows(box), efMbox, dir / "missing/out.mbox"),
               EPelloraError);
  if (geteuid() == 0) GTEST_SKIP() << "a read-only folder does not stop root";
  std::string locked = dir.MakeDir("locked");
  chmod(locked.c_str(), 0555);
  EXPECT_THROW(ExportMessages(box, AllRows(box), efEml, locked), EPelloraError);
  EXPECT_THROW(ExportMessages(box, AllRows(box), efMbox, locked + "/out.mbox"), EPelloraError);
  EXPECT_TRUE(FolderFiles(locked).empty());
  chmod(locked.c_str(), 0755);
}

// Nothing half-written is left under a name: a writer dropped uncommitted removes its file.
TEST(MessageExport, WriterLeavesNoPartialFile) {
  test::TTempDir dir;
  TSafeFileWriter writer(dir / "x.eml");
  writer.Write("partial");
  writer.Rewind(3);
  EXPECT_EQ(writer.Position(), 3u);
  {
    TSafeFileWriter dropped(dir / "y.eml");
    dropped.Write(std::string(3 << 20, 'x'));
  }
  EXPECT_EQ(FolderFiles(dir.Path()).size(), 1u); // x's temporary file only
  writer.Commit(false);
  EXPECT_EQ(ReadWholeFile(dir / "x.eml"), "par");
  TSafeFileWriter again(dir / "x.eml");
  EXPECT_THROW(again.Commit(false), EFileError);
  EXPECT_EQ(ReadWholeFile(dir / "x.eml"), "par");
}

TEST(MessageExport, AttachmentsKeepTheirNames) {
  test::TTempDir dir;
  auto message = [](const std::string& subject, const std::string& name1, const std::string& name2) {
    return "Subject: " + subject +
           "\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
           "--b\r\nContent-Type: text/plain\r\n\r\nhello\r\n"
           "--b\r\nContent-Type: text/plain; name=\"" + name1 +
           "\"\r\nContent-Disposition: attachment; filename=\"" + name1 +
           "\"\r\nContent-Transfer-Encoding: base64\r\n\r\nb25l\r\n"
           "--b\r\nContent-Type: application/octet-stream\r\nContent-Disposition: attachment; "
           "filename=\"" + name2 + "\"\r\n\r\ntwo\r\n--b--\r\n";
  };
  dir.Write("Messages/1.eml", message("a", "notes.txt", "../../evil:name"));
  dir.Write("Messages/2.eml", message("b", "notes.txt", "data.bin"));
  dir.Write("Messages/3.eml", "Subject: none\r\n\r\nno attachments\r\n");
  TMailbox box;
  ASSERT_TRUE(box.Load(dir / "Messages", okMessageFolder).Loaded);
  std::string out = dir.MakeDir("att");
  TExportResult result = ExportMessages(box, AllRows(box), efAttachments, out);
  EXPECT_EQ(result.Attachments, 4u);
  EXPECT_EQ(result.Messages, 2u);
  auto files = FolderFiles(out);
  std::vector<std::string> names;
  for (const auto& [name, bytes] : files)
    names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"_.._evil_name", "data.bin", "notes (2).txt",
                                             "notes.txt"}));
  EXPECT_EQ(files["notes.txt"], "one");
  EXPECT_EQ(files["data.bin"], "two");
}

// The file changed after the load. New mail appended at its end leaves every message as it was,
// read at its offset; a file cut short skips the messages it no longer holds, with the reason,
// and writes the others.
TEST(MessageExport, MailboxFileChangedSinceTheLoad) {
  test::TTempDir dir;
  std::string path = StoreCases[2].make(dir);
  TMailbox box;
  ASSERT_TRUE(box.Load(path, okMailboxFile).Loaded);
  std::vector<std::string> before;
  for (uint32_t row : AllRows(box))
    before.push_back(box.StoredText(box.Entries()[row]));
  FILE* f = std::fopen(path.c_str(), "ab");
  std::fputs("From - Tue Jan 05 10:00:00 2010\nX-Mozilla-Status: 0001\nSubject: new\n\nx\n", f);
  std::fclose(f);
  for (size_t i = 0; i < before.size(); ++i)
    EXPECT_EQ(box.StoredText(box.Entries()[AllRows(box)[i]]), before[i]);
  EXPECT_TRUE(box.Notes().empty());

  // Cut inside the last message: that one is skipped with the reason, the others are written.
  const TMessageEntry* last = &box.Entries()[0];
  for (const auto& entry : box.Entries())
    if (entry.StartOffset > last->StartOffset) last = &entry;
  fs::resize_file(path, static_cast<uintmax_t>(last->StartOffset + 10));
  TExportResult result = ExportMessages(box, AllRows(box), efEml, dir.MakeDir("out"));
  EXPECT_EQ(result.Messages, before.size() - 1);
  const std::string changed = GetLocalizedText("lc_StoreChanged");
  EXPECT_EQ(box.Notes(), std::vector<TStoreNote>{TStoreNote(nkStoreChanged)});
  ASSERT_EQ(result.Skipped.size(), 1u);
  EXPECT_EQ(NoteText(result.Skipped[0]), std::to_string(last->Index + 1) + ": " + changed);
}

namespace {

// Stands in for the renderer: a message's "PDF" names its subject and origin; a message whose
// subject is "unrenderable" fails as the web engine may.
class TFakePdf : public TPdfMaker {
public:
  std::string MessagePdf(TMailMessage& message, const std::string& origin) override {
    if (message.SubjectText() == "unrenderable") throw EPelloraError("no PDF of it");
    return "%PDF " + message.SubjectText() + " from " + origin;
  }
  void AddToBook(const std::string& pdf, const TMailMessage& message) override {
    book.push_back(pdf);
  }
  void WriteBook(const TByteSink& sink) override {
    for (const std::string& pdf : book) sink(pdf + "\n");
  }
  std::vector<std::string> book;
};

// m0, unrenderable, a record without text, m3; a minute apart.
std::string PdfStore(const test::TTempDir& dir) {
  std::vector<test::TDbxTestMessage> messages(4);
  const char* subjects[] = {"m0", "unrenderable", "m2", "m3"};
  for (int i = 0; i < 4; ++i) {
    messages[i] = {std::string("Subject: ") + subjects[i] + "\r\n\r\nbody\r\n", subjects[i]};
    messages[i].UnixTime = 1262595600 + i * 60;
  }
  messages[2].Text.clear();
  return dir.Write("Inbox.dbx", test::BuildDbx(messages));
}

// The positions of the messages of those indexes, in that order.
std::vector<uint32_t> RowsOf(const TMailbox& box, const std::vector<int32_t>& indexes) {
  std::vector<uint32_t> rows;
  for (int32_t index : indexes)
    for (uint32_t row = 0; row < box.Entries().size(); ++row)
      if (box.Entries()[row].Index == index) rows.push_back(row);
  return rows;
}

} // namespace

// Both PDF formats: a message that cannot be read or rendered is skipped and named, the others
// go on; files are named as the .eml export names them, with their origin at the foot.
TEST(MessageExport, PdfFormatsSkipWhatCannotBeRendered) {
  test::TTempDir dir;
  TMailbox box;
  const std::string store = PdfStore(dir);
  ASSERT_TRUE(box.Load(store, okOEDatabase).Loaded);
  const std::vector<uint32_t> rows = RowsOf(box, {0, 1, 2, 3});
  const std::vector<std::string> skipped = {"2: no PDF of it", "3: No text found."};
  auto skippedTexts = [](const TExportResult& result) {
    std::vector<std::string> texts;
    for (const TStoreNote& note : result.Skipped) texts.push_back(NoteText(note));
    return texts;
  };

  TFakePdf pdf;
  TRecorder progress;
  TExportResult result = ExportMessages(box, rows, efPdf, dir.MakeDir("pdf"), &progress, &pdf);
  EXPECT_EQ(result.Messages, 2u);
  EXPECT_EQ(skippedTexts(result), skipped);
  EXPECT_EQ(progress.steps.back(), std::make_pair(uint64_t{4}, uint64_t{4}));
  const auto origin = [&](uint32_t row) { return box.Store()->Origin(box.Entries()[row]); };
  EXPECT_EQ(FolderFiles(dir / "pdf"),
            (std::map<std::string, std::string>{
                {"2010-01-04 1000 - m0.pdf", "%PDF m0 from " + origin(rows[0])},
                {"2010-01-04 1003 - m3.pdf", "%PDF m3 from " + origin(rows[3])}}));

  TFakePdf one;
  result = ExportMessages(box, RowsOf(box, {3, 1, 2, 0}), efPdfOne, dir / "all.pdf", &progress, &one);
  EXPECT_EQ(result.Messages, 2u);
  EXPECT_EQ(skippedTexts(result), skipped);
  EXPECT_EQ(ReadWholeFile(dir / "all.pdf"),
            "%PDF m3 from " + origin(rows[3]) + "\n%PDF m0 from " + origin(rows[0]) + "\n");
  EXPECT_EQ(progress.written.back(), dir / "all.pdf");
}

// The one PDF file is written whole once its messages are in, or not at all: not when no message
// went in, nor over a file the user keeps; a cancel writes the messages before it.
TEST(MessageExport, OnePdfFileWholeOrNotAtAll) {
  test::TTempDir dir;
  TMailbox box;
  ASSERT_TRUE(box.Load(PdfStore(dir), okOEDatabase).Loaded);
  TFakePdf none;
  TExportResult result = ExportMessages(box, RowsOf(box, {1, 2}), efPdfOne, dir / "none.pdf", nullptr, &none);
  EXPECT_EQ(result.Messages, 0u);
  EXPECT_EQ(result.Skipped.size(), 2u);
  EXPECT_FALSE(EntryExists(dir / "none.pdf"));

  dir.Write("kept.pdf", "mine");
  TFakePdf kept;
  TRecorder keep;
  result = ExportMessages(box, RowsOf(box, {0, 3}), efPdfOne, dir / "kept.pdf", &keep, &kept);
  EXPECT_TRUE(result.Cancelled);
  EXPECT_EQ(keep.asked, std::vector<std::string>{dir / "kept.pdf"});
  EXPECT_TRUE(kept.book.empty()); // nothing rendered for a file that is not written
  EXPECT_EQ(ReadWholeFile(dir / "kept.pdf"), "mine");

  TFakePdf cut;
  TRecorder stop;
  stop.stopAfter = 1;
  result = ExportMessages(box, RowsOf(box, {0, 3}), efPdfOne, dir / "cut.pdf", &stop, &cut);
  EXPECT_TRUE(result.Cancelled);
  EXPECT_EQ(ReadWholeFile(dir / "cut.pdf"), cut.book[0] + "\n");
  EXPECT_EQ(cut.book.size(), 1u);

  // A build without a renderer says so rather than writing nothing.
  EXPECT_THROW(ExportMessages(box, {0}, efPdf, dir.Path()), EPelloraError);
  EXPECT_THROW(ExportMessages(box, {0}, efPdfOne, dir / "x.pdf"), EPelloraError);
  EXPECT_FALSE(EntryExists(dir / "x.pdf"));
}
