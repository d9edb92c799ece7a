// A mailbox file's load in two threads gives the rows of the one-thread load: same rows, same
// order, same offsets and numbers, wherever the file is split.
#include "stores/kinds/mailbox_file_store.h"
#include "stores/mailbox.h"
#include "platform/files.h"
#include "support/store_access.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pellora {
namespace {

struct TLoaded {
  std::vector<std::string> Rows;
  std::vector<std::string> LastLines; // the file's last message read back: where its lines end
  TMailboxRule Rule = mrMarked;
};

TLoaded LoadWithSplit(const std::string& path, int64_t near) {
  SetMailboxLoadSplit(near);
  TMailbox box;
  const TLoadResult result = box.Load(path, okMailboxFile);
  SetMailboxLoadSplit(0);
  EXPECT_TRUE(result.Loaded) << result.ErrorText;
  TLoaded loaded;
  for (const TMessageEntry& e : box.Entries()) loaded.Rows.push_back(test::RowText(e));
  if (auto* store = dynamic_cast<const TMailboxFileStore*>(box.Store())) loaded.Rule = store->Rule();
  for (const TMessageEntry& e : box.Entries())
    if (e.Index + 1 == static_cast<int32_t>(box.Entries().size())) loaded.LastLines = box.LoadEntryLines(e);
  return loaded;
}

// Loads path split near each offset of nears and compares with the load in one thread.
void ExpectSplitsAlike(const std::string& path, const std::vector<int64_t>& nears) {
  const TLoaded whole = LoadWithSplit(path, -1);
  for (int64_t near : nears) {
    const TLoaded split = LoadWithSplit(path, near);
    ASSERT_EQ(split.Rows.size(), whole.Rows.size()) << path << " split near " << near;
    for (size_t i = 0; i < whole.Rows.size(); ++i)
      ASSERT_EQ(split.Rows[i], whole.Rows[i]) << path << " split near " << near << ", row " << i;
    EXPECT_EQ(split.Rule, whole.Rule) << path << " split near " << near;
    EXPECT_EQ(split.LastLines, whole.LastLines) << path << " split near " << near;
  }
}

std::string Message(const std::string& subject, const std::string& body, const std::string& eol = "\n") {
  return "From: a@example.org" + eol + "To: b@example.org" + eol + "Subject: " + subject + eol +
         "Date: Mon, 02 Jan 2023 10:00:00 +0000" + eol + eol + body + eol;
}

// Small files split at every byte: a separator exactly at the split point, "From " lines that the
// rule does not take as separators, marker lines, line ends of both kinds, Ctrl-Z lines.
TEST(MailboxLoadSplit, CraftedFilesAtEveryOffset) {
  test::TTempDir dir;
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"classic",
       "From a@x Mon Jan  2 10:00:00 2023\n" + Message("one", "From here on a body line\nmore") +
           "\nFrom b@x Mon Jan  2 11:00:00 2023\n" + Message("two", "\nFrom inside\n") +
           "\nFrom c@x Mon Jan  2 12:00:00 2023\n" + Message("three", "last")},
      {"classic, CR LF and a Ctrl-Z line",
       "From a@x Mon Jan  2 10:00:00 2023\r\n" + Message("one", "x\r\n\x1A junk", "\r\n") +
           "\r\nFrom b@x Mon Jan  2 11:00:00 2023\r\n" + Message("two", "y", "\r\n") +
           "\r\n\x1A\r\nFrom c@x\r\n" + Message("three", "z\r", "\r\n")},
      {"marker lines",
       "From - Mon Jan  2 10:00:00 2023\nX-Mozilla-Status: 0001\n" +
           Message("one", "\nFrom not a separator\n\nFrom still not\nX-Other: 1") +
           "From - Mon Jan  2 11:00:00 2023\nX-Mozilla-Status: 0009\n" + Message("two", "b") +
           "\nFrom - x\nFrom - Mon Jan  2 12:00:00 2023\nX-Mozilla-Status2: 00000000\n" +
           Message("three", "c") + "\n\n\n"},
      {"marker lines, CR LF, a Ctrl-Z line before a marker",
       "From - Mon\r\nX-Account-Key: account1\r\n" + Message("one", "a", "\r\n") +
           "From - Tue\r\n\x1A\r\nX-Mozilla-Status: 0004\r\n" + Message("two", "b", "\r\n") +
           "From - Wed\r\nX-UIDL: 7\r\n" + Message("three", "c", "\r\n")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int64_t> nears;
    for (int64_t at = 1; at <= static_cast<int64_t>(c.text.size()); ++at) nears.push_back(at);
    ExpectSplitsAlike(dir.Write("box", c.text), nears);
  }
}

// The shared list archive (classic) and Thunderbird's files, split at many places.
TEST(MailboxLoadSplit, RealMail) {
  const std::string data = test::SharedDataDir();
  if (data.empty()) GTEST_SKIP() << "../shared/data is absent";
  std::vector<std::string> files;
  FindFiles(data + "/mbox", "*", faArchive, false, &files);
  FindFiles(data + "/thunderbird", "*", faArchive, false, &files);
  ASSERT_FALSE(files.empty());
  for (const std::string& path : files) {
    TFileStamp stamp;
    ASSERT_TRUE(GetFileStamp(path, stamp));
    const auto size = static_cast<int64_t>(stamp.size);
    // A small file at every byte, a large one at eighths.
    std::vector<int64_t> nears;
    if (size <= 4096)
      for (int64_t at = 1; at <= size; ++at) nears.push_back(at);
    else
      for (int64_t part = 1; part < 8; ++part) nears.push_back(size * part / 8);
    nears.push_back(0); // as a load splits by default
    ExpectSplitsAlike(path, nears);
  }
}

} // namespace
} // namespace pellora
