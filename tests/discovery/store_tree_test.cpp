// The store browser's tree: what each kind of store lists, how entries nest, and the values of
// the rows.
#include "discovery/open_history.h"
#include "discovery/store_tree.h"
#include "support/discovery_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>

using namespace pellora;
using pellora::test::TTempDir;
using pellora::test::WriteFileAt;

namespace {

// The tree as lines "level name -> path below base [size]", siblings sorted by name: the system
// lists a folder in an order of its own.
std::vector<std::string> Lines(const TStoreTree& tree, const std::string& base) {
  std::vector<std::string> lines;
  std::function<void(const TStoreNode&)> walk = [&](const TStoreNode& node) {
    std::vector<const TStoreNode*> children;
    for (const auto& child : node.Children)
      children.push_back(child.get());
    std::sort(children.begin(), children.end(),
              [](auto a, auto b) { return a->Data.Name < b->Data.Name; });
    for (const TStoreNode* child : children) {
      const TStoreNodeData& d = child->Data;
      std::string line = std::to_string(child->Level) + " " + d.Name;
      if (child->Level > 0)
        line += " -> " + (d.Path.starts_with(base) ? d.Path.substr(base.size()) : d.Path) +
                " [" + std::to_string(d.Size) + "]";
      lines.push_back(line);
      walk(*child);
    }
  };
  walk(tree.Root());
  return lines;
}

TDiscoveredStore Store(TDiscoveredKind kind, const std::string& label, const std::string& path) {
  return {kind, "Linux", label, label, path};
}

const std::string dbxSignature("\xCF\xAD\x12\xFE", 4);
const std::string mbxSignature("JMF6", 4);

void SetModified(const std::string& path, int64_t seconds, long nanoseconds) {
  timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

} // namespace

TEST(StoreTree, ThunderbirdMailboxesNestUnderTheirSbdFolders) {
  TTempDir dir;
  const std::string root = dir.MakeDir("Mail") + "/";
  WriteFileAt(root + "Local Folders/Inbox", "From - x\r\n\r\n");
  WriteFileAt(root + "Local Folders/Inbox.msf", "index");
  WriteFileAt(root + "Local Folders/Inbox.sbd/Work", "From - y\r\n");
  WriteFileAt(root + "Local Folders/Inbox.sbd/Work.msf", "index");
  WriteFileAt(root + "Local Folders/popstate.dat", "x");
  WriteFileAt(root + "Old.Mail/Inbox", "From - z\r\n\r\nold\r\n");
  TStoreTree tree;
  FillThunderbirdStores(tree, {Store(dkThunderbirdRoot, "Mail", root)});
  EXPECT_EQ(Lines(tree, root), (std::vector<std::string>{
                                   "0 Mail",
                                   "1 Local Folders -> Local Folders [0]",
                                   "2 Inbox -> Local Folders/Inbox [12]",
                                   "3 Work -> Local Folders/Inbox.sbd/Work [10]",
                                   // A folder with a dot is not listed: the entry that made
                                   // its row lends it path and size.
                                   "1 Old.Mail -> Old.Mail/Inbox [17]",
                                   "2 Inbox -> Old.Mail/Inbox [17]",
                               }));
}

// Whichever the system lists first, a mailbox's row is its own and its ".sbd" folder's contents
// sit below it.
TEST(StoreTree, EntriesNestInEitherOrder) {
  const TStoreNodeData inbox{"", "/Mail/Inbox", 12, 1}, work{"", "/Mail/Inbox.sbd/Work", 10, 2};
  for (bool inboxFirst : {true, false}) {
    TStoreTree tree;
    TStoreNode& top = tree.AddTopLevel("Mail");
    if (inboxFirst) InsertStoreEntry(top, {"Inbox"}, inbox);
    InsertStoreEntry(top, {"inbox", "Work"}, work); // names meet without regard to case
    if (!inboxFirst) InsertStoreEntry(top, {"Inbox"}, inbox);
    ASSERT_EQ(top.Children.size(), 1u);
    const TStoreNode& row = *top.Children[0];
    EXPECT_EQ(row.Data.Name, "Inbox");
    EXPECT_EQ(row.Data.Path, "/Mail/Inbox");
    EXPECT_EQ(row.Data.Size, 12);
    ASSERT_EQ(row.Children.size(), 1u);
    EXPECT_EQ(row.Children[0]->Data.Path, "/Mail/Inbox.sbd/Work");
    EXPECT_EQ(row.Children[0]->Level, 2);
  }
}

TEST(StoreTree, OutlookExpressIdentitiesListTheirDatabasesOnly) {
  TTempDir dir;
  const std::string main = dir.MakeDir("main") + "/";
  WriteFileAt(main + "Inbox.dbx", dbxSignature + std::string(60, '\0'));
  WriteFileAt(main + "Folders.dbx", dbxSignature);
  WriteFileAt(main + "Notes.dbx", "notes, not a database");
  WriteFileAt(main + "Old Mail.mbx", mbxSignature + "....");
  WriteFileAt(main + "Tiny.dbx", "\xCF\xAD");          // shorter than any signature
  dir.MakeDir("main/Folder.dbx");                      // a folder is no database
  WriteFileAt(main + "Sub/Deep.dbx", dbxSignature);    // subfolders are not searched
  const std::string empty = dir.MakeDir("empty") + "/";
  TStoreTree tree;
  FillOEStores(tree, {Store(dkOEIdentity, "Main Identity", main),
                      Store(dkOEIdentity, "2", empty)});
  EXPECT_EQ(Lines(tree, main), (std::vector<std::string>{
                                   "0 2",
                                   "0 Main Identity",
                                   "1 Folders -> Folders.dbx [4]",
                                   "1 Inbox -> Inbox.dbx [64]",
                                   "1 Old Mail -> Old Mail.mbx [8]",
                               }));
  // Identities in their order; databases under their identity.
  EXPECT_EQ(tree.Root().Children[0]->Data.Name, "Main Identity");
}

// The whole 64-bit size: a database past 2 GiB is not shown negative.
TEST(StoreTree, SizesAreWhole64BitCounts) {
  TTempDir dir;
  const std::string folder = dir.MakeDir("id") + "/";
  WriteFileAt(folder + "Big.dbx", dbxSignature);
  std::filesystem::resize_file(folder + "Big.dbx", 3ull << 30); // sparse
  TStoreTree tree;
  FillOEStores(tree, {Store(dkOEIdentity, "Main", folder)});
  ASSERT_EQ(tree.Root().Children[0]->Children.size(), 1u);
  EXPECT_EQ(tree.Root().Children[0]->Children[0]->Data.Size, int64_t(3) << 30);
}

TEST(StoreTree, MessageFoldersOfBothProgramsUnderTheirOwnRows) {
  TTempDir dir;
  const std::string wm = dir.MakeDir("WM/Local Folders");
  WriteFileAt(wm + "/Inbox/a.eml", std::string(10, 'a'));
  WriteFileAt(wm + "/Inbox/b.EML", std::string(5, 'b'));
  WriteFileAt(wm + "/Inbox/notes.txt", std::string(7, 'n'));
  WriteFileAt(wm + "/Inbox/Sub/c.eml", std::string(3, 'c'));
  dir.MakeDir("WM/Local Folders/Sent Items");
  const std::string wlm = dir.MakeDir("WLM/account") + "/";
  dir.MakeDir("WLM/account/Inbox");
  TStoreTree tree;
  FillStoreTree(tree, skWindowsMail,
                {Store(dkWindowsMail, "Windows Mail", wm),
                 Store(dkThunderbirdRoot, "Mail", dir.Path()), // not of this kind
                 Store(dkWindowsLiveMail, "Windows Live Mail", wlm)});
  EXPECT_EQ(Lines(tree, dir.Path() + "/"), (std::vector<std::string>{
                                               "0 Windows Live Mail",
                                               "1 Inbox -> WLM/account/Inbox [0]",
                                               "0 Windows Mail",
                                               "1 Inbox -> WM/Local Folders/Inbox [15]",
                                               "2 Sub -> WM/Local Folders/Inbox/Sub [3]",
                                               "1 Sent Items -> WM/Local Folders/Sent Items [0]",
                                           }));
  EXPECT_EQ(tree.Root().Children[0]->Data.Name, "Windows Mail"); // first, as found
  TStoreTree none;
  FillMessageFolders(none, "", "Windows Mail");
  EXPECT_TRUE(none.Root().Children.empty());
}

// Names and paths are never cut: a cut path would name nothing.
TEST(StoreTree, LongPathsStayWhole) {
  TTempDir dir;
  const std::string root = dir.MakeDir("Local Folders");
  const std::string name(120, 'n');
  const std::string deep = root + "/" + name + "/" + name + "/" + name;
  std::filesystem::create_directories(deep);
  TStoreTree tree;
  FillMessageFolders(tree, root, "Windows Mail");
  const TStoreNode* node = tree.Root().Children[0].get();
  for (int level = 1; level <= 3; ++level) {
    ASSERT_EQ(node->Children.size(), 1u);
    node = node->Children[0].get();
    EXPECT_EQ(node->Data.Name, name);
  }
  EXPECT_EQ(node->Data.Path, deep);
}

TEST(StoreTree, TimestampsInLocalTime) {
  // Tests run in Europe/Prague: two hours ahead of UTC in July, one in January.
  TTempDir dir;
  const std::string file = dir.Write("Inbox", "x");
  SetModified(file, 1688205603, 500000000); // 2023-07-01 10:00:03.5 UTC
  TDateTime expected;
  TryEncodeDate(2023, 7, 1, expected);
  EXPECT_NEAR(EntryTimestamp(file), expected + (12 * 3600 + 2) / 86400.0, 1e-9); // 12:00:02
  SetModified(file, 157766403, 0); // 1975-01-01 00:00:03 UTC: before the file date format
  TryEncodeDate(1975, 1, 1, expected);
  EXPECT_NEAR(EntryTimestamp(file), expected + 3.0 / 86400, 1e-9); // UTC, to the second
  EXPECT_EQ(EntryTimestamp(dir / "missing"), 0.0);

  // Databases: local time at full resolution.
  WriteFileAt(dir / "id/Inbox.dbx", dbxSignature);
  SetModified(dir / "id/Inbox.dbx", 1688205603, 500000000);
  TStoreTree tree;
  FillOEStores(tree, {Store(dkOEIdentity, "Main", dir / "id/")});
  TryEncodeDate(2023, 7, 1, expected);
  EXPECT_NEAR(tree.Root().Children[0]->Children[0]->Data.Timestamp,
              expected + (12 * 3600 + 3.5) / 86400, 1e-9);
}

// From the discovery of a home folder: one top-level row per store, labelled with its place.
TEST(StoreTree, FilledFromTheDiscoveryOfEveryPlace) {
  TTempDir dir;
  const std::string home = dir.MakeDir("home");
  pellora::test::WriteLinuxThunderbird(home);
  WriteFileAt(home + "/.thunderbird/abcd.default-release/Mail/Local Folders/Inbox", "From - x\r\n");
  TStoreTree tree;
  FillStoreTree(tree, skThunderbird,
                DiscoverStores({home, "", {}}, DiscoveredKindsOf(skThunderbird)));
  ASSERT_EQ(tree.Root().Children.size(), 2u);
  EXPECT_EQ(tree.Root().Children[0]->Data.Name, "Mail (Linux)");
  EXPECT_EQ(tree.Root().Children[1]->Data.Name, "Mail (Flatpak)");
  const TStoreNode& local = *tree.Root().Children[0]->Children.at(0);
  EXPECT_EQ(local.Data.Name, "Local Folders");
  EXPECT_EQ(local.Children.at(0)->Data.Path,
            home + "/.thunderbird/abcd.default-release/Mail/Local Folders/Inbox");
  TStoreTree other;
  FillStoreTree(other, 7, DiscoverStores({home, "", {}}));
  EXPECT_TRUE(other.Root().Children.empty());
}

TEST(OpenHistory, DistinctPathsInTheOrderFirstConfirmed) {
  std::vector<std::string> items;
  EXPECT_TRUE(AddToHistory(items, "/mail/Inbox"));
  EXPECT_TRUE(AddToHistory(items, "/mail/Sent"));
  EXPECT_FALSE(AddToHistory(items, "/MAIL/inbox"));
  EXPECT_TRUE(AddToHistory(items, "/mail/Ärger"));
  EXPECT_FALSE(AddToHistory(items, "/mail/Ärger"));
  EXPECT_EQ(items, (std::vector<std::string>{"/mail/Inbox", "/mail/Sent", "/mail/Ärger"}));
}
