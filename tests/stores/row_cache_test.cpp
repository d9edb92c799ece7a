// The row cache: a mailbox file reopens from it with the rows, notes and read-backs of a load
// from the file; a changed file, a damaged cache or one that cannot be written never costs more
// than the time a load from the file takes.
#include "stores/row_cache.h"

#include "platform/files.h"
#include "stores/kinds/mailbox_file_store.h"
#include "stores/mailbox.h"
#include "support/scoped_env.h"
#include "support/store_access.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace pellora {
namespace {

using TRowSource = TMailboxFileStore::TRowSource;

// What a load gives: every row, the notes, and with texts every row read back each way.
struct TLoaded {
  std::vector<std::string> Rows;
  std::vector<TStoreNote> Notes;
  std::vector<std::string> Texts;
  TMailboxRule Rule = mrMarked;
  TRowSource Source = TMailboxFileStore::rfFile;
  bool operator==(const TLoaded& other) const {
    return Rows == other.Rows && Notes == other.Notes && Texts == other.Texts && Rule == other.Rule;
  }
};

TLoaded Load(const std::string& path, bool texts = true) {
  TMailbox box;
  const TLoadResult result = box.Load(path, okMailboxFile);
  EXPECT_TRUE(result.Loaded) << result.ErrorText;
  TLoaded loaded;
  std::vector<const TMessageEntry*> byIndex(box.Entries().size());
  for (const TMessageEntry& e : box.Entries()) byIndex.at(static_cast<size_t>(e.Index)) = &e;
  for (const TMessageEntry* e : byIndex) {
    loaded.Rows.push_back(test::RowText(*e));
    if (!texts) continue;
    loaded.Texts.push_back(box.GetEntryText(*e));
    loaded.Texts.push_back(box.StoredText(*e));
    std::string lines;
    for (const std::string& line : box.LoadEntryLines(*e)) lines += line + '\n';
    loaded.Texts.push_back(lines);
  }
  loaded.Notes = box.Notes();
  if (auto* store = dynamic_cast<const TMailboxFileStore*>(box.Store())) {
    loaded.Rule = store->Rule();
    loaded.Source = store->RowSource();
  }
  return loaded;
}

TLoaded LoadWithoutCache(const std::string& path, bool texts = true) {
  test::TScopedEnv off("PELLORA_CACHE_DIR", "");
  return Load(path, texts);
}

void ExpectSame(const TLoaded& got, const TLoaded& want) {
  ASSERT_EQ(got.Rows.size(), want.Rows.size());
  for (size_t i = 0; i < want.Rows.size(); ++i) ASSERT_EQ(got.Rows[i], want.Rows[i]) << "row " << i;
  EXPECT_EQ(got.Notes, want.Notes);
  ASSERT_EQ(got.Texts.size(), want.Texts.size());
  for (size_t i = 0; i < want.Texts.size(); ++i) ASSERT_EQ(got.Texts[i], want.Texts[i]) << "text " << i / 3;
  EXPECT_EQ(got.Rule, want.Rule);
}

// A load whose rows come from source, then one from the cache it wrote, each as want.
void ExpectLoadThenReopen(const std::string& path, const TLoaded& want, TRowSource source) {
  const TLoaded first = Load(path);
  EXPECT_EQ(first.Source, source);
  ExpectSame(first, want);
  const TLoaded again = Load(path);
  EXPECT_EQ(again.Source, TMailboxFileStore::rfCache);
  ExpectSame(again, want);
}

// A cache folder of the test's own.
struct TCacheFolder {
  test::TTempDir Dir;
  test::TScopedEnv Env{"PELLORA_CACHE_DIR", Dir.Path().c_str()};
  std::vector<std::string> Files() const {
    std::vector<std::string> files;
    FindFiles(Dir.Path(), "*", faAnyFile, false, &files);
    return files;
  }
};

std::string Message(const std::string& subject, const std::string& body, const std::string& eol = "\n") {
  return "From: a@example.org" + eol + "To: b@example.org" + eol + "Subject: " + subject + eol +
         "Message-ID: <" + subject + "@x>" + eol + "References: <r@x> <s@x>" + eol +
         "Date: Mon, 02 Jan 2023 10:00:00 +0000" + eol + eol + body + eol;
}

const std::string Classic = "From a@x Mon Jan  2 10:00:00 2023\n" + Message("one", "From body\nmore") +
                            "\nFrom b@x Mon Jan  2 11:00:00 2023\n" + Message("two", "\nFrom inside\n") +
                            "\nFrom c@x Mon Jan  2 12:00:00 2023\n" + Message("three", "last");
const std::string Marked = "From - Mon Jan  2 10:00:00 2023\nX-Mozilla-Status: 0001\n" +
                           Message("one", "\nFrom not a separator\n") +
                           "From - Mon Jan  2 11:00:00 2023\nX-Mozilla-Status: 0009\n" +
                           Message("two", "b") + "From - Tue\r\n\x1A\r\nX-Mozilla-Status: 0004\r\n" +
                           Message("three", "c", "\r\n") + "\n\n";

// Rows, notes and every read-back alike from the file, from a new cache and from a cache read
// again, for crafted files of both rules and for real mail.
TEST(RowCache, SameRowsWithAndWithout) {
  test::TTempDir stores;
  std::vector<std::string> files = {stores.Write("classic", Classic), stores.Write("marked", Marked),
                                    stores.Write("one message", "From a@x\n" + Message("x", "y")),
                                    stores.Write("no message", "no separator here\n")};
  const std::string data = test::SharedDataDir();
  if (data.empty()) {
    std::cout << "../shared/data is absent: crafted files only\n";
  } else {
    FindFiles(data + "/mbox", "*", faArchive, false, &files);
    FindFiles(data + "/thunderbird", "*", faArchive, false, &files);
  }
  TCacheFolder cache;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    ExpectLoadThenReopen(path, LoadWithoutCache(path), TMailboxFileStore::rfFile);
  }
  EXPECT_EQ(cache.Files().size(), files.size()); // one each, nothing left half-written
}

// A file changed in any part of its key loads from the file, and its cache is written anew.
TEST(RowCache, ChangedFileLoadsFromTheFile) {
  const std::string large = [] {
    std::string text;
    for (int i = 0; text.size() < 3 * RowCacheEdgeBytes; ++i)
      text += "From a@x Mon Jan  2 10:00:00 2023\n" + Message("m" + std::to_string(i), std::string(900, 'b')) + "\n";
    return text;
  }();
  // Each change keeps every key part but one.
  auto keepTime = [](const std::string& path, const auto& change) {
    struct stat before{};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    change();
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
  };
  auto overwrite = [](const std::string& path, size_t at, std::string_view bytes) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(static_cast<std::streamoff>(at));
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  };
  const struct {
    const char* name;
    std::function<void(const std::string&)> change;
  } cases[] = {
      {"modification time",
       [](const std::string& path) {
         const timespec times[2] = {{0, UTIME_NOW}, {1000, 0}};
         utimensat(AT_FDCWD, path.c_str(), times, 0);
       }},
      {"inode: the same bytes put in its place",
       [&](const std::string& path) {
         keepTime(path, [&] {
           std::filesystem::copy_file(path, path + ".new");
           std::filesystem::rename(path + ".new", path);
         });
       }},
      {"first bytes, same size and time",
       [&](const std::string& path) { keepTime(path, [&] { overwrite(path, 60, "Subject: CHANGED"); }); }},
      {"last bytes, same size and time",
       [&](const std::string& path) {
         keepTime(path, [&] { overwrite(path, large.size() - 400, "From a@x\nSubject: new\n\n"); });
       }},
      {"size: cut", [&](const std::string& path) {
         keepTime(path, [&] { std::filesystem::resize_file(path, large.size() / 2); });
       }},
  };
  TCacheFolder cache;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TTempDir stores;
    const std::string path = stores.Write("box", large);
    ASSERT_EQ(Load(path, false).Source, TMailboxFileStore::rfFile);
    c.change(path);
    const TLoaded want = LoadWithoutCache(path);
    const TLoaded changed = Load(path);
    EXPECT_EQ(changed.Source, TMailboxFileStore::rfFile);
    ExpectSame(changed, want);
    EXPECT_EQ(Load(path, false).Source, TMailboxFileStore::rfCache); // written anew
  }
}

// Mail appended at the end: the cached rows, the last one read again (it may have grown), and
// the new ones after them, numbered on.
TEST(RowCache, AppendedMailReadsOnlyTheNewPart) {
  const struct {
    const char* name;
    std::string before, appended;
  } cases[] = {
      {"classic, new messages", Classic,
       "\n\nFrom d@x Mon Jan  2 13:00:00 2023\n" + Message("four", "d") +
           "\nFrom e@x Mon Jan  2 14:00:00 2023\n" + Message("five", "e")},
      {"classic, the last message grew", Classic, "more of the last body\nFrom not a separator\n"},
      {"classic, a last line without its end completed", Classic.substr(0, Classic.size() - 1),
       "t line\n\nFrom d@x\n" + Message("four", "d")},
      {"marked, new messages", Marked,
       "From - Wed\nX-Mozilla-Status: 0002\n" + Message("four", "d") +
           "From - Thu\nX-Mozilla-Status: 0001\n" + Message("five", "e")},
      {"marked, a separator without its marker", Marked, "From - Wed\nSubject: not a message\n"},
  };
  TCacheFolder cache;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TTempDir stores;
    const std::string path = stores.Write("box", c.before);
    Load(path, false);
    std::ofstream(path, std::ios::binary | std::ios::app) << c.appended;
    ExpectLoadThenReopen(path, LoadWithoutCache(path), TMailboxFileStore::rfCacheThenFile);
  }
}

// A damaged, cut or foreign cache file is ignored and written anew.
TEST(RowCache, DamagedCacheIsIgnoredAndRewritten) {
  TCacheFolder cache;
  test::TTempDir stores;
  const std::string path = stores.Write("box", Marked);
  const std::string other = stores.Write("other", Classic);
  const TLoaded want = LoadWithoutCache(path);
  Load(other, false);
  const std::string otherBytes = ReadWholeFile(RowCacheFile(other));
  Load(path, false);
  const std::string file = RowCacheFile(path);
  const std::string good = ReadWholeFile(file);
  const size_t pathEnd = good.find(path) + path.size();
  struct TDamage {
    std::string name;
    std::string bytes;
  };
  std::vector<TDamage> cases = {{"empty", ""}, {"foreign: another store's", otherBytes},
                                {"junk after the end", good + "x"}};
  for (size_t cut : {size_t{5}, size_t{12}, pathEnd, pathEnd + 20, pathEnd + 50, good.size() / 2 + 30,
                     good.size() - 1})
    cases.push_back({"cut at " + std::to_string(cut), good.substr(0, cut)});
  // The magic, the version, the build, the path, the key, the sizes, the header's hash, the
  // payload.
  for (size_t at : {size_t{0}, size_t{9}, size_t{16}, pathEnd + 3, pathEnd + 30, pathEnd + 45,
                    pathEnd + 53, pathEnd + 58, pathEnd + 70, good.size() / 2 + 30, good.size() - 2}) {
    std::string bytes = good;
    bytes[at] ^= 0x10;
    cases.push_back({"byte flipped at " + std::to_string(at), bytes});
  }
  for (const TDamage& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(unlink(file.c_str()), 0);
    std::ofstream(file, std::ios::binary) << c.bytes;
    const TLoaded damaged = Load(path);
    EXPECT_EQ(damaged.Source, TMailboxFileStore::rfFile);
    ExpectSame(damaged, want);
    EXPECT_EQ(Load(path, false).Source, TMailboxFileStore::rfCache);
  }
}

// Without a cache, in a folder that cannot hold one, the load goes on as without, saying nothing.
TEST(RowCache, NoCacheWhereThereCannotBeOne) {
  test::TTempDir home;
  test::TScopedEnv cacheHome("XDG_CACHE_HOME", (home / "cache").c_str());
  test::TTempDir stores;
  const std::string path = stores.Write("box", Classic);
  const TLoaded want = LoadWithoutCache(path);
  {
    SCOPED_TRACE("the user's cache folder by default");
    test::TScopedEnv unset("PELLORA_CACHE_DIR", nullptr);
    Load(path, false);
    EXPECT_EQ(Load(path, false).Source, TMailboxFileStore::rfCache);
    EXPECT_TRUE(FileExists(RowCacheFile(path)));
    EXPECT_EQ(ExtractFilePath(RowCacheFile(path)), home / "cache/pellora/");
  }
  {
    SCOPED_TRACE("a folder of the user's that others may read");
    const std::string readable = home.MakeDir("readable");
    chmod(readable.c_str(), 0755);
    test::TScopedEnv env("PELLORA_CACHE_DIR", readable.c_str());
    Load(path, false);
    EXPECT_EQ(Load(path, false).Source, TMailboxFileStore::rfCache);
  }
  std::filesystem::remove_all(home / "cache");
  const std::string open = home.MakeDir("open");
  chmod(open.c_str(), 0777);
  const std::string readOnly = home.MakeDir("read-only");
  chmod(readOnly.c_str(), 0500);
  const struct {
    const char* name;
    std::string folder;
  } cases[] = {
      {"off", ""},
      {"a folder under a file", home.Write("file", "x") + "/cache"},
      {"a folder others may write", open},
      {"a folder that cannot be written", readOnly}, // as root it can
      {"the store's own folder", stores.Path()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::TScopedEnv env("PELLORA_CACHE_DIR", c.folder.c_str());
    const TLoaded first = Load(path);
    ExpectSame(first, want);
    EXPECT_TRUE(first.Notes.empty());
    ExpectSame(Load(path), want);
  }
  EXPECT_FALSE(PathExists(home / "cache")); // off means off: not the default folder either
  for (const std::string& folder : {open, stores.Path()}) {
    std::vector<std::string> files;
    FindFiles(folder, "*", faAnyFile, false, &files);
    EXPECT_EQ(files.size(), folder == open ? 0u : 1u) << folder; // the store alone
  }
}

// Two instances loading the same store write its cache at once: each reads a whole cache or
// none, and the one left is whole.
TEST(RowCache, TwoWritersNeverCorruptIt) {
  TCacheFolder cache;
  test::TTempDir stores;
  std::string text;
  for (int i = 0; i < 300; ++i)
    text += "From a@x Mon Jan  2 10:00:00 2023\n" + Message("m" + std::to_string(i), "body") + "\n";
  const std::string path = stores.Write("box", text);
  const TLoaded want = LoadWithoutCache(path, false);
  auto writer = [&] {
    for (int round = 0; round < 20; ++round) {
      const TLoaded loaded = Load(path, false);
      EXPECT_EQ(loaded.Rows, want.Rows);
      unlink(RowCacheFile(path).c_str()); // so that the next load writes again
    }
  };
  std::thread other(writer);
  writer();
  other.join();
  Load(path, false);
  const TLoaded last = Load(path, false);
  EXPECT_EQ(last.Source, TMailboxFileStore::rfCache);
  EXPECT_EQ(last.Rows, want.Rows);
  EXPECT_EQ(cache.Files().size(), 1u); // no temporary file left
}

} // namespace
} // namespace pellora
