// Real stores and messages damaged in a fixed, seeded way: each loads, or fails with the clean
// error a user is shown, and every row it lists reads back and parses.
#include "mime/exercise_message.h"
#include "mime/mail_message.h"
#include "platform/files.h"
#include "stores/mailbox.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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

// A store loads or says why; every row reads back (or fails cleanly) and parses.
void LoadAndReadBack(const std::string& path, TOpenKind kind, uint64_t fileSize) {
  TMailbox box;
  TLoadResult result;
  try {
    result = box.Load(path, kind);
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
  for (const auto& f : files)
    stores.push_back({f, okMailboxFile, 40});
  files.clear();
  FindFiles(data + "/thunderbird", "*", faArchive, false, &files);
  for (const auto& f : files)
    stores.push_back({f, okMailboxFile, 4});
  files.clear();
  FindFiles(data + "/eml", "*.raw", faArchive, true, &files);
  for (const auto& f : files)
    stores.push_back({f, okMessageFile, 3});
  std::sort(stores.begin(), stores.end(), [](auto& a, auto& b) { return a.path < b.path; });
  ASSERT_FALSE(stores.empty());

  test::TTempDir dir;
  TRandom random(20240501);
  int cases = 0;
  for (const TStore& store : stores) {
    std::string original = ReadWholeFile(store.path);
    if (store.kind == okMailboxFile) original = MailboxStart(original, 256 * 1024);
    for (int n = 0; n < store.cases; ++n, ++cases) {
      std::string damaged = Damage(original, n, random, store.kind == okOEDatabase);
      SCOPED_TRACE(store.path + " case " + std::to_string(n));
      if (store.kind == okMessageFile) {
        EXPECT_NO_THROW(test::ExerciseMessage(damaged));
        continue;
      }
      std::string path = dir.Write(store.kind == okOEDatabase ? "store.dbx" : "store", damaged);
      LoadAndReadBack(path, store.kind, damaged.size());
    }
  }
  EXPECT_GT(cases, 300);
}

} // namespace
} // namespace pellora
