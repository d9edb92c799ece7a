#include "stores/mbx_reader.h"
#include "stores/message_entry.h"

#include "support/store_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace pellora {
namespace {

using test::TIdxTestEntry;
using test::TMbxTestRecord;

std::string Message(const std::string& from, const std::string& subject, const std::string& date,
                    const std::string& body = "body\r\n") {
  return "From:" + from + "\r\nSubject:" + subject + "\r\nDate:" + date + "\r\n\r\n" + body;
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

TEST(MbxReader, RecordsFollowTheirSizes) {
  test::TTempDir dir;
  // Record sizes 500 and 800: the texts start at 100 and 600.
  std::string bytes = test::BuildMbx({{Message(" Ann", " One", " 12 Jan 2010"), 7, 500},
                                      {Message(" Bob", " Two", "13 Jan 2010"), 8, 800}});
  TMBXReader reader;
  reader.LoadFromFile(dir.Write("Inbox.mbx", bytes));
  reader.ReadMessageInfos();
  EXPECT_EQ(reader.GetStoreName(), "Inbox");
  ASSERT_EQ(reader.GetMessageCount(), 2);
  TMessageInfo info;
  reader.GetMessageInfo(1, info);
  EXPECT_EQ(info.TextOffset, 600u);
  EXPECT_EQ(info.Number, 1);
  EXPECT_EQ(info.Ident, "8");
  EXPECT_EQ(info.Flags, uint32_t{mfRead});
  // Values are trimmed, "Date:13 Jan 2010" included.
  EXPECT_EQ(info.From, "Bob");
  EXPECT_EQ(info.Subject, "Two");
  EXPECT_EQ(info.DateText, "13 Jan 2010");
  EXPECT_EQ(info.Date, 0);
  EXPECT_EQ(reader.GetMessageText(1), Message(" Bob", " Two", "13 Jan 2010"));
  EXPECT_EQ(reader.GetMessageHeader(0), "From: Ann\r\nSubject: One\r\nDate: 12 Jan 2010\r");
  EXPECT_EQ(reader.GetMessageHeader(5), "");
}

TEST(MbxReader, HeaderTextPieces) {
  test::TTempDir dir;
  // A 1500-byte header is found in the second piece; a message without any Subject line does
  // not inherit the one before it.
  std::string longHeader = "Subject: long\r\nX-Pad: " + std::string(1470, 'p') + "\r\n\r\n";
  std::string first = longHeader + std::string(3000, 'b');
  std::string second = "From: x\r\n\r\nshort";
  std::string bytes = test::BuildMbx({{first}, {second}});
  TMBXReader reader;
  reader.LoadFromFile(dir.Write("a.mbx", bytes));
  reader.ReadMessageInfos();
  EXPECT_EQ(reader.GetMessageHeader(0), longHeader.substr(0, longHeader.size() - 3));
  TMessageInfo info;
  reader.GetMessageInfo(1, info);
  EXPECT_EQ(info.Subject, "");
  // The last message is shorter than a piece: its header still comes from what the file holds.
  EXPECT_EQ(info.From, "x");
}

TEST(MbxReader, HeaderTextStaysInItsRecord) {
  test::TTempDir dir;
  // The first record claims 4 GiB of text and holds no blank line: its header is not looked
  // for in the records after it.
  TMbxTestRecord damaged{"Subject: one\r\n", 1, 0, 0xFFFFFFFF};
  TMbxTestRecord next{"Subject: two\r\n\r\nbody\r\n", 2};
  std::string bytes = test::BuildMbx({damaged, next});
  for (size_t word = 0; word < 16; word += 4) // no zero byte in the next record's header
    test::PutU32(bytes, 84 + 16 + 14 + word, 0x41414141);
  TMBXReader reader;
  reader.LoadFromFile(dir.Write("a.mbx", bytes));
  reader.ReadMessageInfos();
  EXPECT_EQ(reader.GetMessageHeader(0), "");
  TMessageInfo info;
  reader.GetMessageInfo(0, info);
  EXPECT_EQ(info.Subject, "");
  reader.GetMessageInfo(1, info);
  EXPECT_EQ(info.Subject, "two");
}

TEST(MbxReader, Failures) {
  test::TTempDir dir;
  TMBXReader reader;
  EXPECT_EQ(ErrorOf([&] { reader.LoadFromFile(dir.Write("x.mbx", "JMF5" + std::string(90, 0))); }),
            "File is not an Outlook Express 4 Message Database.");
  EXPECT_EQ(ErrorOf([&] { reader.LoadFromFile(dir.Write("e.mbx", test::BuildMbx({}))); }),
            "File does not contain any message.");
  EXPECT_TRUE(reader.Opened());

  // A record with text length 0 no longer stops the load: only that message has no text.
  reader.LoadFromFile(dir.Write("z.mbx", test::BuildMbx({{""}, {Message(" a", " b", " c")}})));
  reader.ReadMessageInfos();
  EXPECT_EQ(reader.GetMessageCount(), 2);
  EXPECT_EQ(ErrorOf([&] { reader.GetMessageText(0); }), "No text found.");
  EXPECT_EQ(reader.GetMessageText(1), Message(" a", " b", " c"));

  // The count promises more records than the file holds: the rest are empty rows.
  reader.LoadFromFile(dir.Write("c.mbx", test::BuildMbx({{Message(" a", " b", " c")}}, 3)));
  reader.ReadMessageInfos();
  EXPECT_EQ(reader.GetMessageCount(), 3);
  TMessageInfo info;
  reader.GetMessageInfo(2, info);
  EXPECT_EQ(info.Subject, "");
  EXPECT_EQ(ErrorOf([&] { reader.GetMessageText(2); }), "No text found.");

  // Damage: a record size of 0 would read the same record again and again; a count far
  // beyond the file; a text length beyond the file.
  reader.LoadFromFile(dir.Write("d.mbx", test::BuildMbx({{"abc", 1, 0, -1}}, 0xFFFFFFFF)));
  EXPECT_LT(reader.GetMessageCount(), 100);
  std::string zeroSize = test::BuildMbx({{Message(" a", " b", " c")}}, 1000);
  test::PutU32(zeroSize, 84 + 8, 0);
  reader.LoadFromFile(dir.Write("y.mbx", zeroSize));
  reader.ReadMessageInfos();
  reader.GetMessageInfo(1, info);
  EXPECT_EQ(info.From, "");
  reader.LoadFromFile(dir.Write("l.mbx", test::BuildMbx({{"abc", 1, 0, 0x7FFFFFFF}})));
  reader.ReadMessageInfos();
  EXPECT_NE(ErrorOf([&] { reader.GetMessageText(0); }), "");
}

TEST(MbxReader, IndexFile) {
  test::TTempDir dir;
  std::string mbx = test::BuildMbx({{Message(" a", " hdr subject", " c")},
                                    {Message(" d", " e", " f")},
                                    {Message(" g", " h", " i")}});
  dir.Write("box.mbx", mbx);
  TIdxTestEntry e1;
  e1.Flags = mfAttachment | mfRead;
  e1.Ident = 11;
  e1.TextOffset = 100;
  e1.TextSize = 77;
  e1.UnixTime = 1262347200; // 1 January 2010 12:00 UTC
  e1.Priority = 1;
  e1.Texts[0] = "Indexed";
  e1.Texts[1] = "to@x";
  e1.Texts[2] = "sender";
  e1.Texts[3] = "x1";
  e1.Texts[6] = "x2";
  TIdxTestEntry e2;
  e2.Texts[0] = "Second";
  // The index is shorter than the database: the third row stays empty but opens.
  dir.Write("box.idx", test::BuildIdx({e1, e2}));
  TMBXReader reader;
  reader.LoadFromFile(dir / "box.mbx");
  reader.ReadMessageInfos();
  TMessageInfo info;
  reader.GetMessageInfo(0, info);
  EXPECT_EQ(info.InfoOffset, 80u);
  EXPECT_EQ(info.Flags, mfAttachment | mfRead);
  EXPECT_EQ(info.Ident, "11");
  EXPECT_EQ(info.TextSize, 77u);
  EXPECT_EQ(info.Priority, 1);
  EXPECT_EQ(FormatIsoDateTime(info.Date), "2010-01-01T13:00:00");
  EXPECT_EQ(info.Subject, "Indexed");
  EXPECT_EQ(info.ToAddresses, "to@x");
  EXPECT_EQ(info.Sender, "sender");
  EXPECT_EQ(info.Extra1, "x1");
  EXPECT_EQ(info.Extra2, "x2");
  reader.GetMessageInfo(1, info);
  EXPECT_EQ(info.Subject, "Second");
  reader.GetMessageInfo(2, info);
  EXPECT_EQ(info.Subject, "");
  EXPECT_EQ(info.Flags, 0u);
  EXPECT_EQ(reader.GetMessageText(2), Message(" g", " h", " i"));

  // A wrong signature leaves every row empty.
  std::string wrong = test::BuildIdx({e1});
  wrong[3] = 'X';
  dir.Write("box.idx", wrong);
  reader.LoadFromFile(dir / "box.mbx");
  reader.ReadMessageInfos();
  reader.GetMessageInfo(0, info);
  EXPECT_EQ(info.Subject, "");

  // A text length past the end of the file is cut there.
  std::string cut = test::BuildIdx({e1, e2});
  test::PutU32(cut, 80 + 212, 0x7FFFFFFF);
  dir.Write("box.idx", cut);
  reader.LoadFromFile(dir / "box.mbx");
  reader.ReadMessageInfos();
  reader.GetMessageInfo(0, info);
  EXPECT_EQ(info.Subject.substr(0, 7), "Indexed");
  EXPECT_EQ(info.Flags, mfAttachment | mfRead);
  reader.GetMessageInfo(1, info);
  EXPECT_EQ(info.Subject, "");
}

} // namespace
} // namespace pellora
