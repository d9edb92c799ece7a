// Databases written by real mail clients.
#include "stores/mailbox.h"

#include "mime/mail_message.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <regex>

namespace pellora {
namespace {

TEST(RealStores, OutlookExpressDatabases) {
  std::string data = test::SharedDataDir();
  if (data.empty()) GTEST_SKIP() << "../shared/data is absent";
  struct {
    const char* file;
    size_t rows;
    const char* storeName;
  } cases[] = {{"/dbx/test_OutlookDBX.dbx", 28, "Outbox"}, {"/dbx/single-message.dbx", 1, "test"}};
  const std::regex headerLine("^[!-9;-~]+:");
  for (const auto& c : cases) {
    TMailbox box;
    TLoadResult result = box.Load(data + c.file, okOEDatabase);
    ASSERT_TRUE(result.Loaded) << c.file << ": " << result.ErrorText;
    EXPECT_EQ(box.Entries().size(), c.rows) << c.file;
    EXPECT_EQ(box.Reader()->GetStoreName(), c.storeName);
    for (const auto& entry : box.Entries()) {
      std::string text = box.GetEntryText(entry);
      EXPECT_EQ(static_cast<int64_t>(text.size()), entry.Header.Size)
          << c.file << " " << entry.Index;
      EXPECT_TRUE(std::regex_search(text.substr(0, 200), headerLine)) << entry.Index;
      EXPECT_NE(entry.Header.Date, 0) << entry.Index;
      TMailMessage message;
      message.ParseText(text, true);
      EXPECT_FALSE(message.FromAddress().empty()) << c.file << " " << entry.Index;
      std::string header = box.Reader()->GetMessageHeader(entry.Index);
      EXPECT_EQ(text.compare(0, header.size(), header), 0) << entry.Index;
      EXPECT_EQ(header.back(), '\r');
    }
  }
}

TEST(RealStores, ThunderbirdMailboxFiles) {
  std::string data = test::SharedDataDir();
  if (data.empty()) GTEST_SKIP() << "../shared/data is absent";
  std::vector<std::string> files;
  FindFiles(data + "/thunderbird", "*", faAnyFile & ~faDirectory, false, &files);
  size_t withRows = 0;
  for (const auto& file : files) {
    TMailbox box;
    ASSERT_TRUE(box.Load(file, okMailboxFile).Loaded) << file;
    for (const auto& entry : box.Entries()) {
      ++withRows;
      std::string text = box.GetEntryText(entry);
      EXPECT_EQ(text.rfind("From ", 0), 0u) << file;
      TMailMessage message;
      message.ParseText(text, true);
    }
  }
  EXPECT_GT(withRows, 10u);
}

} // namespace
} // namespace pellora
