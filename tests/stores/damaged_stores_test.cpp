// Real stores and messages damaged in a fixed, seeded way: each loads, or fails with the clean
// error a user is shown, and every row it lists reads back and parses. The same stores changed by
// another program after the load (mail appended, the file cut, rewritten in place) read back
// what is still theirs, or say that the store changed.
#include "i18n/localized_text.h"
#include "mime/exercise_message.h"
#include "mime/mail_message.h"
#include "platform/files.h"
#include "stores/mailbox.h"
#include "support/compress_builders.h"
#include "support/store_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <random>

namespace pellora {
namespace {

using TRandom = std::mt19937;

size_t Below(TRandom& random, size_t n) {
  return n == 0 ? 0 : std::uniform_int_distribution<size_t>(0, n - 1)(random);
}

uint32_t GetU32(const std::string& bytes, size_t at) {
  uint32_t v;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

void PutU32(std::string& bytes, size_t at, uint32_t v) {
  std::memcpy(bytes.data() + at, &v, 4);
}

// One damaged copy of bytes; the kind of damage goes round with the case number.
std::string Damage(std::string bytes, int n, TRandom& random, bool hasOffsets) {
  const size_t size = bytes.size();
  if (size == 0) return bytes;
  switch (n % (hasOffsets ? 5 : 4)) {
  case 0: // bit flips
    for (size_t i = 0, flips = 1 + Below(random, 16); i < flips; ++i)
      bytes[Below(random, size)] ^= static_cast<char>(1 << Below(random, 8));
    break;
  case 1: // cut short, sometimes to almost nothing
    bytes.resize(n % 3 == 0 ? Below(random, 64) : Below(random, size));
    break;
  case 2: { // a range zeroed
    size_t at = Below(random, size);
    size_t length = std::min(size - at, 1 + Below(random, 4096));
    std::fill_n(bytes.begin() + static_cast<long>(at), length, '\0');
    break;
  }
  case 3: { // a range repeated somewhere else (a message or block seen twice)
    size_t from = Below(random, size), to = Below(random, size);
    size_t length = std::min(size - from, 1 + Below(random, 2048));
    bytes.insert(to, bytes.substr(from, length));
    break;
  }
  case 4: { // offsets that point at themselves, past the end, or somewhere else
    std::vector<size_t> pointers;
    for (size_t at = 0; at + 4 <= size; at += 4) {
      uint32_t v = GetU32(bytes, at);
      if (v >= 0x100 && v < size) pointers.push_back(at);
    }
    for (size_t i = 0, count = 1 + Below(random, 8); i < count && !pointers.empty(); ++i) {
      size_t at = pointers[Below(random, pointers.size())];
      const uint32_t choices[] = {static_cast<uint32_t>(at), static_cast<uint32_t>(size),
                                  static_cast<uint32_t>(size + 12), 0xFFFFFFFF,
                                  GetU32(bytes, pointers[Below(random, pointers.size())])};
      PutU32(bytes, at, choices[Below(random, std::size(choices))]);
    }
    break;
  }
  }
  return bytes;
}

void LoadAndReadBack(const std::string& path, TOpenKind kind, uint64_t fileSize,
                     TLoadOptions options);

// A store loads or says why, with recovery and without; every row reads back (or fails cleanly)
// and parses.
void LoadAndReadBack(const std::string& path, TOpenKind kind, uint64_t fileSize) {
  for (bool recover : {false, true}) {
    SCOPED_TRACE(recover ? "recovering" : "listed only");
    LoadAndReadBack(path, kind, fileSize, {recover});
  }
}

void LoadAndReadBack(const std::string& path, TOpenKind kind, uint64_t fileSize,
                     TLoadOptions options) {
  TMailbox box;
  TLoadResult result;
  try {
    result = box.Load(path, kind, nullptr, options);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "load raised " << e.what();
    return;
  }
  if (!result.Loaded) {
    EXPECT_FALSE(result.ErrorText.empty());
    return;
  }
  for (const TMessageEntry& entry : box.Entries()) {
    std::string text;
    try {
      box.LoadEntryLines(entry);
      text = box.GetEntryText(entry);
    } catch (const EPelloraError&) {
      continue; // a clean error: the window shows it
    } catch (const std::exception& e) {
      ADD_FAILURE() << "row " << entry.Index << " raised " << e.what();
      continue;
    }
    // Nothing is read twice: a text is never larger than its file (with every line end made
    // CR LF).
    EXPECT_LE(text.size(), 2 * fileSize) << "row " << entry.Index;
    TMailMessage message;
    message.ParseText(text, true);
    test::ExerciseParsedMessage(message);
  }
}

struct TStore {
  std::string path;
  TOpenKind kind;
  int cases;
  // A mailbox file compressed so; a message framed as Apple Mail's.
  TCompression compression = czNone;
  bool emlx = false;
  // An Outlook file (".pst", ".msg") under this extension: its messages are made of it, their
  // encoded bodies and decompressed RTF larger than the file.
  const char* outlook = nullptr;
};

// The first messages of a big mailbox are enough, and keep the sweep quick.
std::string MailboxStart(const std::string& bytes, size_t max) {
  if (bytes.size() <= max) return bytes;
  size_t cut = bytes.rfind("\nFrom ", max);
  return bytes.substr(0, cut == std::string::npos ? max : cut + 1);
}

TEST(DamagedStores, LoadOrFailCleanly) {
  std::string data = test::SharedDataDir();
  if (data.empty()) GTEST_SKIP() << "../shared/data is absent";
  std::vector<TStore> stores;
  std::vector<std::string> files;
  FindFiles(data + "/dbx", "*.dbx", faArchive, false, &files);
  for (const auto& f : files)
    stores.push_back({f, okOEDatabase, 60});
  files.clear();
  FindFiles(data + "/mbox", "*", faArchive, false, &files);
  for (const auto& f : files) {
    stores.push_back({f, okMailboxFile, 40});
    for (TCompression compression : {czGzip, czBzip2, czXz, czZstd})
      stores.push_back({f, okMailboxFile, 10, compression});
  }
  files.clear();
  FindFiles(data + "/thunderbird", "*", faArchive, false, &files);
  for (const auto& f : files)
    stores.push_back({f, okMailboxFile, 4});
  files.clear();
  FindFiles(data + "/eml", "*.raw", faArchive, true, &files);
  for (size_t i = 0; i < files.size(); ++i) {
    stores.push_back({files[i], okMessageFile, 3});
    if (i % 4 == 0) stores.push_back({files[i], okMessageFile, 3, czNone, true});
  }
  files.clear();
  FindFiles(data + "/pst", "*.pst", faArchive, false, &files);
  for (const auto& f : files) stores.push_back({f, okOEDatabase, 40, czNone, false, ".pst"});
  files.clear();
  FindFiles(data + "/msg", "*.msg", faArchive, false, &files);
  for (const auto& f : files) stores.push_back({f, okMessageFile, 12, czNone, false, ".msg"});
  std::sort(stores.begin(), stores.end(), [](auto& a, auto& b) { return a.path < b.path; });
  ASSERT_FALSE(stores.empty());

  test::TTempDir dir;
  TRandom random(20240501);
  int cases = 0;
  for (const TStore& store : stores) {
    std::string original = ReadWholeFile(store.path);
    if (store.kind == okMailboxFile) original = MailboxStart(original, 256 * 1024);
    const uint64_t plainSize = original.size();
    if (store.compression != czNone) original = test::Compress(original, store.compression);
    if (store.emlx) original = test::BuildEmlx(original, 1);
    for (int n = 0; n < store.cases; ++n, ++cases) {
      std::string damaged = Damage(original, n, random, store.kind == okOEDatabase);
      SCOPED_TRACE(store.path + " case " + std::to_string(n) + " compression " +
                   std::to_string(store.compression) + (store.emlx ? " emlx" : ""));
      if (store.outlook) {
        LoadAndReadBack(dir.Write(std::string("store") + store.outlook, damaged), store.kind,
                        16 * original.size());
        continue;
      }
      if (store.kind == okMessageFile && !store.emlx) {
        EXPECT_NO_THROW(test::ExerciseMessage(damaged));
        continue;
      }
      std::string path = dir.Write(store.kind == okOEDatabase ? "store.dbx"
                                   : store.emlx                ? "store.emlx"
                                                               : "store",
                                   damaged);
      // Decompressed, damaged data may come out longer than the file, never than the mail.
      LoadAndReadBack(path, store.kind,
                      store.compression != czNone ? 4 * plainSize : damaged.size());
    }
  }
  EXPECT_GT(cases, 300);
}

enum TChange { chAppended, chCut, chRewritten };
const char* const ChangeNames[] = {"appended", "cut", "rewritten"};

// Changes the file in place as another program would: bytes appended at its end (a copy of a
// part of it, as new mail), the file cut short, or rewritten with damaged bytes.
void ChangeFile(const std::string& path, TChange change, int n, TRandom& random, bool hasOffsets) {
  std::string bytes = ReadWholeFile(path);
  switch (change) {
  case chAppended:
    bytes += bytes.substr(Below(random, bytes.size()));
    break;
  case chCut:
    bytes.resize(Below(random, bytes.size()));
    break;
  case chRewritten:
    bytes = Damage(bytes, n, random, hasOffsets);
    break;
  }
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) +
                                             std::chrono::seconds(5));
}

// What reading a row gives: its text, or the error a user is shown.
struct TReadBack {
  bool read = false;
  std::string text;
  std::string error;
};

TReadBack ReadRow(TMailbox& box, const TMessageEntry& entry) {
  TReadBack result;
  try {
    result.text = box.GetEntryText(entry);
    std::string lines;
    box.ReadEntryText(entry, lines); // as a search reads it
    box.LoadEntryLines(entry);
    box.StoredText(entry); // as export writes it
    result.read = true;
  } catch (const EPelloraError& e) {
    result.error = e.what();
  } catch (const std::exception& e) {
    ADD_FAILURE() << "row " << entry.Index << " raised " << e.what();
  }
  return result;
}

// Loads a store, reads every row, lets change alter its files and reads every row again: a row
// reads or fails cleanly, never reading more than the files hold; mail appended to a mailbox
// file or a database changes no row (and in a mailbox file is not reported); a mailbox file cut
// short keeps the rows that lie before the cut. Then the store loads again as it is now.
void ReadBackAfterChange(const std::string& path, TOpenKind kind, TChange change,
                         const std::function<uint64_t()>& changeFiles) {
  TMailbox box;
  if (!box.Load(path, kind).Loaded) return;
  std::map<int32_t, TReadBack> before;
  for (const TMessageEntry& entry : box.Entries())
    before[entry.Index] = ReadRow(box, entry);
  const uint64_t size = changeFiles();
  const std::string changed = GetLocalizedText("lc_StoreChanged");
  for (const TMessageEntry& entry : box.Entries()) {
    TReadBack after = ReadRow(box, entry);
    const TReadBack& was = before[entry.Index];
    if (after.read) {
      EXPECT_LE(after.text.size(), 2 * std::max<uint64_t>(size, was.text.size()))
          << "row " << entry.Index;
      TMailMessage message;
      message.ParseText(after.text, true);
      test::ExerciseParsedMessage(message);
    }
    if (kind == okMessageFolder || !was.read) continue;
    // A database is read through the file it opened, which mail appended at its end leaves.
    const bool kept = change == chAppended || (kind == okMailboxFile && change == chCut &&
                                               static_cast<uint64_t>(entry.EndOffset) < size);
    if (kept) {
      EXPECT_TRUE(after.read) << "row " << entry.Index << ": " << after.error;
      EXPECT_EQ(after.text, was.text) << "row " << entry.Index;
    } else if (kind == okMailboxFile && !after.read) {
      EXPECT_EQ(after.error, changed) << "row " << entry.Index;
    }
  }
  const auto notes = std::count(box.Notes().begin(), box.Notes().end(), TStoreNote(nkStoreChanged));
  EXPECT_LE(notes, 1);
  if (kind == okMailboxFile && !box.Entries().empty()) {
    EXPECT_EQ(notes, change == chAppended ? 0 : 1);
  }
  LoadAndReadBack(path, kind, size);
}

TEST(DamagedStores, FileChangedAfterLoad) {
  std::string data = test::SharedDataDir();
  if (data.empty()) GTEST_SKIP() << "../shared/data is absent";
  test::TTempDir dir;
  TRandom random(20240917);
  int cases = 0;
  std::vector<std::string> files;
  FindFiles(data + "/dbx", "*.dbx", faArchive, false, &files);
  FindFiles(data + "/mbox", "*", faArchive, false, &files);
  FindFiles(data + "/thunderbird", "*", faArchive, false, &files);
  std::sort(files.begin(), files.end());
  for (const std::string& file : files) {
    const bool database = file.ends_with(".dbx");
    std::string original = ReadWholeFile(file);
    if (!database) original = MailboxStart(original, 256 * 1024);
    const int rounds = database ? 6 : file.find("/mbox/") != std::string::npos ? 6 : 1;
    for (int n = 0; n < rounds * 3; ++n, ++cases) {
      const TChange change = static_cast<TChange>(n % 3);
      SCOPED_TRACE(file + " " + ChangeNames[change] + " " + std::to_string(n));
      std::string path = dir.Write(database ? "store.dbx" : "store", original);
      ReadBackAfterChange(path, database ? okOEDatabase : okMailboxFile, change, [&] {
        ChangeFile(path, change, n, random, database);
        return static_cast<uint64_t>(std::filesystem::file_size(path));
      });
    }
  }
  // A message folder of the MIME test messages: a third of its files changed, one removed.
  files.clear();
  FindFiles(data + "/eml", "*.raw", faArchive, true, &files);
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty());
  for (int n = 0; n < 9; ++n, ++cases) {
    const TChange change = static_cast<TChange>(n % 3);
    SCOPED_TRACE(std::string("message folder ") + ChangeNames[change] + " " + std::to_string(n));
    std::filesystem::remove_all(dir / "folder");
    std::vector<std::string> copies;
    for (size_t i = 0; i < files.size(); ++i)
      copies.push_back(dir.Write("folder/" + std::to_string(i) + ".eml", ReadWholeFile(files[i])));
    ReadBackAfterChange(dir / "folder", okMessageFolder, change, [&] {
      for (size_t i = Below(random, 3); i < copies.size(); i += 3)
        ChangeFile(copies[i], change, n, random, false);
      std::filesystem::remove(copies[Below(random, copies.size())]);
      uint64_t largest = 0;
      for (const auto& copy : copies)
        if (FileExists(copy)) largest = std::max<uint64_t>(largest, std::filesystem::file_size(copy));
      return largest;
    });
  }
  // A single message is read whole when it opens: changing its file afterwards changes nothing
  // of the message shown.
  for (size_t i = 0; i < files.size(); i += 4) {
    for (int change = chAppended; change <= chRewritten; ++change, ++cases) {
      SCOPED_TRACE(files[i] + " " + ChangeNames[change]);
      std::string path = dir.Write("single.eml", ReadWholeFile(files[i]));
      TMailMessage message;
      message.ReadFromFile(path);
      message.FindBodies();
      const std::string text = message.TextBodyText(), source = message.SourceText();
      ChangeFile(path, static_cast<TChange>(change), change, random, false);
      EXPECT_EQ(message.TextBodyText(), text);
      test::ExerciseParsedMessage(message);
      EXPECT_EQ(message.SourceText(), source);
    }
  }
  EXPECT_GT(cases, 100);
}

} // namespace
} // namespace pellora
