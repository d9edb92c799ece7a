#include "shell/open_kind.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace pellora;

TEST(Shell, KindOfPath) {
  pellora::test::TTempDir dir;
  std::string folder = dir.MakeDir("Mail.box");
  std::string dotted = dir.MakeDir("store.d");
  struct Case { std::string path; TOpenKind kind; } cases[] = {
      {"/m/Inbox.dbx", okOEDatabase},   {"/m/Inbox.DBX", okOEDatabase},
      {"/m/Inbox.Mbx", okOEDatabase},   {"/m/a.eml", okMessageFile},
      {"/m/a.EML", okMessageFile},      {folder + "/Inbox", okMailboxFile},
      {folder, okMessageFolder},        {dotted, okMessageFolder},
      {"/m/notes.txt", okUnknown},      {"/m/Inbox", okMailboxFile},
      {dir.MakeDir("x.eml"), okMessageFile}, // the extension wins over being a folder
  };
  for (const auto& c : cases) EXPECT_EQ(KindOfPath(c.path), c.kind) << c.path;
}

TEST(Shell, KindOfPathByContent) {
  pellora::test::TTempDir dir;
  const std::string from = "From ann@example.org Mon Jan  1 10:00:00 2010\nSubject: x\n\nbody\n";
  const std::string header = "Received: from a\r\n\tby b\r\nFrom: Ann <ann@example.org>\r\n"
                             "Subject: x\r\n\r\nbody\r\n";
  struct Case {
    const char* name;
    std::string text;
    TOpenKind kind;
  } cases[] = {
      {"Old.Mail", from, okMailboxFile},       // a folder name with a dot
      {"2019-April.txt", from, okMailboxFile}, // a list archive
      {"bom.txt", "\xEF\xBB\xBF" + from, okMailboxFile},
      {"list.mbox", "", okMailboxFile}, // the extension alone tells
      {"Inbox", "", okMailboxFile},     // no extension, as ever
      {"Drafts", "\x1A\x1A", okMailboxFile},
      {"saved", header, okMessageFile},
      {"saved.txt", header, okMessageFile},
      {"1262340000.M1P1.host:2,S", header, okMessageFile}, // a Maildir file
      {"notes.txt", "Shopping list\n\nmilk\n", okUnknown},
      {"no-end.txt", "Subject: x\nTo: y\n", okUnknown}, // no empty line ends the header
      {"indented.txt", " Subject: x\n\nbody", okUnknown},
      {"spaced.txt", "Not a field: x\n\nbody", okUnknown},
      {"Inbox.msf", "// <!-- <mdb:mork:z v=\"1.4\"/> -->\n", okUnknown},
      {"a.dbx", from, okOEDatabase}, // known extensions keep their kinds
      {"a.eml", from, okMessageFile},
  };
  for (const auto& c : cases)
    EXPECT_EQ(KindOfPath(dir.Write(c.name, c.text)), c.kind) << c.name;
  // A header longer than the part of the file that is looked at.
  std::string longHeader;
  while (longHeader.size() < 100000)
    longHeader += "Received: from relay.example.org\n";
  EXPECT_EQ(KindOfPath(dir.Write("long.txt", longHeader + "\nbody\n")), okMessageFile);
  // A pipe is not read ahead of its loader (with no writer, reading it would wait for ever).
  ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
  EXPECT_EQ(KindOfPath(dir / "pipe"), okMailboxFile);
  EXPECT_EQ(KindOfPath(dir / "absent.mbox"), okMailboxFile);
  EXPECT_EQ(KindOfPath(dir / "absent.txt"), okUnknown);
}

TEST(Shell, IndexStandsForItsDatabase) {
  pellora::test::TTempDir dir;
  const std::string inbox = dir.Write("Inbox.mbx", "JMF6");
  dir.Write("Inbox.idx", "JMF9");
  const std::string sent = dir.Write("Sent.MBX", "JMF6");
  dir.Write("Sent.IDX", "JMF9");
  struct Case { std::string path, opened; } cases[] = {
      {dir / "Inbox.idx", inbox},
      {dir / "Sent.IDX", sent},
      {dir / "Lonely.idx", dir / "Lonely.idx"}, // no database beside it
      {inbox, inbox},
      {dir / "notes.txt", dir / "notes.txt"},
  };
  for (const auto& c : cases) EXPECT_EQ(DatabaseOfIndex(c.path), c.opened) << c.path;
}
