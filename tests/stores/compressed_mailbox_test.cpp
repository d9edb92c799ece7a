// Compressed mailbox files read as they are decompressed: the same rows and texts as the plain
// file, whatever the form, however the file is cut into streams, and in whatever order rows are
// read.
#include "stores/kinds/compressed_mailbox_store.h"
#include "stores/kinds/store_kinds.h"
#include "stores/mailbox.h"
#include "support/compress_builders.h"
#include "support/store_access.h"
#include "support/store_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace pellora {
namespace {

const TCompression Forms[] = {czGzip, czBzip2, czXz, czZstd};

// Thunderbird messages and, after them, a classic file's worth: separators with and without
// markers, CR LF lines, a ">From " line, a long body, empty lines at the end.
std::string SampleMailbox(bool classic) {
  std::vector<test::TMboxTestMessage> messages;
  for (int i = 0; i < 40; ++i) {
    test::TMboxTestMessage m;
    if (classic) {
      m.Separator = "From ann@example.org Mon Jan  1 10:00:00 2010";
      m.Marker = "Subject: message " + std::to_string(i);
    } else {
      m.Lines.push_back("Subject: message " + std::to_string(i));
    }
    m.Lines.push_back("Date: " + std::to_string(1 + i % 28) + " Jan 2010 10:00:00 +0000");
    m.Lines.push_back("From: Ann <ann@example.org>");
    m.Lines.push_back("");
    m.Lines.push_back(">From the start");
    for (int k = 0; k < i * 40; ++k)
      m.Lines.push_back("line " + std::to_string(k) + " of message " + std::to_string(i));
    m.Lines.push_back("");
    messages.push_back(m);
  }
  return test::BuildMailbox(messages, classic ? "\n" : "\r\n") + "\n\n";
}

struct TRowTexts {
  std::string view, stored, lines;
};

// Every row's texts, read in the order given (Index), within one pass.
std::vector<TRowTexts> ReadRows(TMailbox& box, const std::vector<int32_t>& indexes) {
  TReadPass pass(box);
  std::vector<TRowTexts> texts(indexes.size());
  for (int32_t index : indexes) {
    const TMessageEntry& entry = *box.FindEntry(index);
    TRowTexts& t = texts[static_cast<size_t>(index)];
    t.view = box.GetEntryText(entry);
    t.stored = box.StoredText(entry);
    box.ReadEntryText(entry, t.lines);
  }
  return texts;
}

std::vector<int32_t> Indexes(const TMailbox& box, bool reversed) {
  std::vector<int32_t> indexes;
  for (const auto& entry : box.Entries())
    indexes.push_back(entry.Index);
  std::sort(indexes.begin(), indexes.end());
  if (reversed) std::reverse(indexes.begin(), indexes.end());
  return indexes;
}

TEST(CompressedMailbox, RowsAndTextsAsOfThePlainFile) {
  test::TTempDir dir;
  for (bool classic : {false, true}) {
    const std::string text = SampleMailbox(classic);
    TMailbox plain;
    ASSERT_TRUE(plain.Load(dir.Write("plain", text), okMailboxFile).Loaded);
    ASSERT_EQ(plain.Entries().size(), 40u);
    const std::vector<TRowTexts> expected = ReadRows(plain, Indexes(plain, false));
    for (TCompression form : Forms) {
      SCOPED_TRACE(std::to_string(form) + (classic ? " classic" : " marked"));
      // The whole file as one stream, and cut into two streams that follow each other.
      const std::string whole = test::Compress(text, form);
      const std::string halves =
          test::Compress(text.substr(0, 12345), form) + test::Compress(text.substr(12345), form);
      for (const std::string& bytes : {whole, halves}) {
        const std::string path = dir.Write("Inbox.gz", bytes);
        ASSERT_EQ(KindOfPath(dir.Write("archive", bytes)), okMailboxFile);
        TMailbox box;
        ASSERT_TRUE(box.Load(path, okMailboxFile).Loaded);
        ASSERT_NE(dynamic_cast<TCompressedMailboxStore*>(box.Store()), nullptr);
        EXPECT_EQ(test::RuleOf(box), classic ? mrClassic : mrMarked);
        ASSERT_EQ(box.Entries().size(), plain.Entries().size());
        for (size_t i = 0; i < box.Entries().size(); ++i) {
          const TMessageEntry &a = box.Entries()[i], &b = plain.Entries()[i];
          EXPECT_EQ(a.Index, b.Index);
          EXPECT_EQ(a.Header.Subject, b.Header.Subject);
          EXPECT_EQ(a.Header.Date, b.Header.Date);
          EXPECT_EQ(a.Header.Size, b.Header.Size);
          EXPECT_EQ(a.StartLine, b.StartLine);
          EXPECT_EQ(a.StartOffset, b.StartOffset);
          EXPECT_EQ(a.Flags, b.Flags);
        }
        // Forward the file is decompressed once; backward each row starts it again.
        for (bool reversed : {false, true}) {
          const std::vector<TRowTexts> texts = ReadRows(box, Indexes(box, reversed));
          for (size_t i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(texts[i].view, expected[i].view) << "row " << i;
            EXPECT_EQ(texts[i].stored, expected[i].stored) << "row " << i;
            EXPECT_EQ(texts[i].lines, expected[i].lines) << "row " << i;
          }
        }
        EXPECT_TRUE(box.Notes().empty());
      }
    }
  }
}

// A file cut short (a download that stopped) loads the messages before the cut; a damaged one
// loads, and its rows read or fail with a clean error.
TEST(CompressedMailbox, CutShortOrDamaged) {
  test::TTempDir dir;
  const std::string text = SampleMailbox(false);
  TMailbox plain;
  ASSERT_TRUE(plain.Load(dir.Write("plain", text), okMailboxFile).Loaded);
  for (TCompression form : Forms) {
    SCOPED_TRACE(form);
    const std::string bytes = test::Compress(text, form);
    TMailbox box;
    ASSERT_TRUE(box.Load(dir.Write("cut.xz", bytes.substr(0, bytes.size() / 2)), okMailboxFile).Loaded);
    EXPECT_LT(box.Entries().size(), plain.Entries().size());
    for (const auto& entry : box.Entries()) {
      const TMessageEntry& whole = *plain.FindEntry(entry.Index);
      EXPECT_EQ(entry.Header.Subject, whole.Header.Subject);
      EXPECT_LE(entry.Header.Size, whole.Header.Size);
      // The last row may end inside its last line.
      if (static_cast<size_t>(entry.Index) + 1 < box.Entries().size()) {
        EXPECT_EQ(box.GetEntryText(entry), plain.GetEntryText(whole));
      }
    }
    std::string damaged = bytes;
    for (size_t at = bytes.size() / 2; at < bytes.size() / 2 + 8; ++at)
      damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
    ASSERT_TRUE(box.Load(dir.Write("damaged.xz", damaged), okMailboxFile).Loaded);
    for (const auto& entry : box.Entries()) {
      try {
        box.StoredText(entry);
        box.GetEntryText(entry);
      } catch (const EPelloraError&) {
      }
    }
  }
}

// A compressed file replaced after the load: noted, and rows whose separator lines are no longer
// where the load found them are refused.
TEST(CompressedMailbox, ChangedAfterTheLoad) {
  test::TTempDir dir;
  const std::string text = SampleMailbox(false);
  const std::string path = dir.Write("Inbox.zst", test::Compress(text, czZstd));
  TMailbox box;
  ASSERT_TRUE(box.Load(path, okMailboxFile).Loaded);
  const TMessageEntry& first = *box.FindEntry(0);
  const TMessageEntry& last = *box.FindEntry(39);
  const std::string firstText = box.GetEntryText(first);
  dir.Write("Inbox.zst", test::Compress(text.substr(0, static_cast<size_t>(last.StartOffset) + 3) +
                                            "changed\n",
                                        czZstd));
  EXPECT_EQ(box.GetEntryText(first), firstText);
  EXPECT_THROW(box.GetEntryText(last), EPelloraError);
  EXPECT_EQ(box.Notes(), std::vector<TStoreNote>{TStoreNote(nkStoreChanged)});
}

} // namespace
} // namespace pellora
