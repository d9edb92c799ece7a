// What a path opens as, and which kind of store reads it.
#include "stores/kinds/store_kinds.h"

#include "stores/kinds/compressed_mailbox_store.h"
#include "stores/kinds/emlx_store.h"
#include "stores/kinds/mailbox_file_store.h"
#include "stores/kinds/message_file_store.h"
#include "stores/kinds/message_folder_store.h"
#include "platform/pellora_error.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace pellora {
namespace {

TEST(StoreKinds, KindOfPath) {
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
      {"/m/12.emlx", okMessageFile},    {"/m/12.partial.EMLX", okMessageFile},
      {"/m/list.mbox.gz", okMailboxFile}, {"/m/2019-April.txt.xz", okMailboxFile},
      {"/m/a.bz2", okMailboxFile},      {"/m/a.ZST", okMailboxFile},
      {dir.MakeDir("Archive.mbox"), okMessageFolder}, // Apple Mail's mailbox folder
      {dir.MakeDir("old.gz"), okMessageFolder},
  };
  for (const auto& c : cases) EXPECT_EQ(KindOfPath(c.path), c.kind) << c.path;
}

TEST(StoreKinds, KindOfPathByContent) {
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
      // Compressed, by the first bytes of each form.
      {"archive", std::string("\x1F\x8B\x08\0\0\0", 6), okMailboxFile},
      {"archive.txt", std::string("\x1F\x8B\x08\0\0\0", 6), okMailboxFile},
      {"archive.dat", "BZh91AY&SY", okMailboxFile},
      {"archive.dat", std::string("\xFD" "7zXZ\0\0\x04", 8), okMailboxFile},
      {"archive.dat", "\x28\xB5\x2F\xFD\x24\x00", okMailboxFile},
      {"archive.dat", "BZh0 is no level", okUnknown},
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

TEST(StoreKinds, IndexStandsForItsDatabase) {
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

// A folder opens when a kind of folder finds messages in it; each path gets the store of the
// first kind that takes what it holds.
TEST(StoreKinds, FoldersAndTheStoreOfAPath) {
  test::TTempDir dir;
  dir.MakeDir("empty");
  dir.Write("eml/a.eml", "Subject: a\n\nx\n");
  dir.MakeDir("Maildir/cur");
  dir.MakeDir("Maildir/new");
  dir.Write("Messages/12.emlx", "3\nx\n\n<plist/>");
  dir.Write("Inbox.mbox/Data/1/Messages/7.partial.emlx", "3\nx\n\n<plist/>");
  dir.Write("Deep/Data/1/Messages/7.emlx", "3\nx\n\n<plist/>"); // not a mailbox folder
  dir.Write("both/a.eml", "Subject: a\n\nx\n");
  dir.Write("both/b.emlx", "3\nx\n\n<plist/>");
  struct {
    const char* folder;
    bool holds;
    TStoreIcon icon;
    bool emlx;
  } cases[] = {{"empty", false, siFolder, false},   {"eml", true, siFolder, false},
               {"Maildir", true, siFolder, false},  {"Messages", true, siFolder, true},
               {"Inbox.mbox", true, siFolder, true}, {"Deep", false, siFolder, false},
               {"both", true, siFolder, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(FolderHoldsMessages(dir / c.folder), c.holds) << c.folder;
    const std::unique_ptr<TStore> store = MakeStore(dir / c.folder, okMessageFolder);
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->Icon(), c.icon);
    EXPECT_EQ(dynamic_cast<TEmlxStore*>(store.get()) != nullptr, c.emlx) << c.folder;
    EXPECT_EQ(store->Caption(dir / c.folder), c.folder);
  }
  const std::string gz = dir.Write("list.mbox.gz", std::string("\x1F\x8B\x08\0", 4));
  const std::string plain = dir.Write("plain.gz", "From a Mon Jan  1 10:00:00 2010\n\n");
  EXPECT_NE(dynamic_cast<TCompressedMailboxStore*>(MakeStore(gz, okMailboxFile).get()), nullptr);
  // Named so, but not compressed: the plain file's kind reads it.
  const auto plainStore = MakeStore(plain, okMailboxFile);
  EXPECT_EQ(dynamic_cast<TCompressedMailboxStore*>(plainStore.get()), nullptr);
  EXPECT_NE(dynamic_cast<TMailboxFileStore*>(plainStore.get()), nullptr);
  EXPECT_EQ(MakeStore(gz, okMailboxFile)->Caption(gz), "list.mbox");
  EXPECT_NE(dynamic_cast<TEmlxStore*>(MakeStore(dir / "Messages/12.emlx", okMessageFile).get()), nullptr);
  EXPECT_NE(dynamic_cast<TMessageFileStore*>(MakeStore(dir / "eml/a.eml", okMessageFile).get()), nullptr);
  EXPECT_EQ(MakeStore(gz, okUnknown), nullptr);
  // A message opens in a message window, not as a store of a mailbox window.
  EXPECT_THROW(CheckStorePath(dir / "eml/a.eml", okMessageFile), EPelloraError);
  EXPECT_THROW(CheckStorePath(dir / "eml", okMailboxFile), EPelloraError); // no file
  EXPECT_NO_THROW(CheckStorePath(dir / "eml", okMessageFolder));
}

} // namespace
} // namespace pellora
