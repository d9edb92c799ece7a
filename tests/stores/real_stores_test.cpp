// Databases written by real mail clients.
#include "stores/mailbox.h"

#include "mime/mail_message.h"
#include "platform/date_time.h"
#include "platform/files.h"
#include "stores/kinds/store_kinds.h"
#include "support/store_access.h"
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
    EXPECT_EQ(test::ReaderOf(box)->GetStoreName(), c.storeName);
    for (const auto& entry : box.Entries()) {
      std::string text = box.GetEntryText(entry);
      EXPECT_EQ(static_cast<int64_t>(text.size()), entry.Header.Size)
          << c.file << " " << entry.Index;
      EXPECT_TRUE(std::regex_search(text.substr(0, 200), headerLine)) << entry.Index;
      EXPECT_NE(entry.Header.Date, 0) << entry.Index;
      TMailMessage message;
      message.ParseText(text, true);
      EXPECT_FALSE(message.FromAddress().empty()) << c.file << " " << entry.Index;
      // The record's sender text is the address of the message's own From (these messages have
      // no Sender field), so the "From" column shows the author.
      EXPECT_FALSE(message.HasField("Sender")) << entry.Index;
      EXPECT_EQ(entry.Header.Sender, message.FromAddress()) << c.file << " " << entry.Index;
      EXPECT_EQ(entry.Header.From, message.FromName()) << c.file << " " << entry.Index;
      std::string header = test::ReaderOf(box)->GetMessageHeader(entry.Index);
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

// A mailing list's archive in classic form ("From " lines, ">From" quoting, no markers).
TEST(RealStores, ClassicMailboxFile) {
  std::string data = test::SharedDataDir();
  if (data.empty()) GTEST_SKIP() << "../shared/data is absent";
  const std::string path = data + "/mbox/usrp-users.mbox";
  EXPECT_EQ(KindOfPath(path), okMailboxFile);
  TMailbox box;
  ASSERT_TRUE(box.Load(path, okMailboxFile).Loaded);
  EXPECT_EQ(test::RuleOf(box), mrClassic);
  ASSERT_EQ(box.Entries().size(), 843u);

  // Figures of an independent reading (Python's mailbox module; dates in the tests' zone).
  const std::string list = "USRP-users <usrp-users@lists.ettus.com>";
  struct {
    int32_t index;
    std::string from, subject, date;
  } samples[] = {
      // A folded subject: unfolded as the message itself reads it.
      {0, "EJ Kreinar via " + list,
       "[USRP-users] Introducing Theseus Cores: Open source FPGA cores for DSP and SDR",
       "2019-04-29T02:00:00"},
      {1, "Jason Matusiak via " + list, "[USRP-users] E312 wrong sample rate",
       "2019-04-29T21:28:49"},
      {2, "Mark Wagner via " + list,
       "[USRP-users] How to periodically write files using USRP and GNUradio",
       "2019-04-30T02:08:17"},
      {421, "Simona Sibio via " + list, "Re: [USRP-users] Waveform Shape Not Accurate",
       "2019-06-19T12:02:43"},
      {600, "Philip Balister via " + list, "Re: [USRP-users] USRP E312 configuration",
       "2019-07-18T19:03:39"},
      {842, "Nate Temple via " + list, "Re: [USRP-users] A Question about Synchronization",
       "2019-08-20T21:35:04"},
  };
  for (const auto& sample : samples) {
    const TMessageEntry* entry = box.FindEntry(sample.index);
    ASSERT_NE(entry, nullptr) << sample.index;
    EXPECT_EQ(entry->Header.From, sample.from) << sample.index;
    EXPECT_EQ(entry->Header.Sender, "\"USRP-users\" <usrp-users-bounces@lists.ettus.com>");
    EXPECT_EQ(entry->Header.Subject, sample.subject) << sample.index;
    EXPECT_EQ(FormatIsoDateTime(entry->Header.Date), sample.date) << sample.index;
  }
  // Every message has a From and a Sender (the list's): the "From" column shows the author.
  for (const auto& entry : box.Entries()) {
    ASSERT_FALSE(entry.Header.From.empty()) << entry.Index;
    EXPECT_EQ(box.FromText(entry), entry.Header.From) << entry.Index;
  }

  // Every message reads back as its stored bytes from its separator up to the next message's,
  // with CR LF line ends.
  const std::string file = ReadWholeFile(path);
  std::vector<size_t> starts;
  for (size_t at = 0; at != std::string::npos; at = file.find("\n\nFrom ", at + 1))
    starts.push_back(at == 0 ? 0 : at + 2);
  ASSERT_EQ(starts.size(), 843u);
  starts.push_back(file.size());
  for (size_t i = 0; i + 1 < starts.size(); ++i) {
    std::string stored;
    for (char c : std::string_view(file).substr(starts[i], starts[i + 1] - starts[i]))
      stored += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const TMessageEntry* entry = box.FindEntry(static_cast<int32_t>(i));
    ASSERT_NE(entry, nullptr);
    ASSERT_EQ(box.GetEntryText(*entry), stored) << i;
  }
}

} // namespace
} // namespace pellora
