#include "stores/dbx_reader.h"
#include "stores/message_entry.h"

#include "support/store_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace pellora {
namespace {

using test::TDbxBuilder;
using test::TDbxEntry;
using test::TDbxProperty;

// A record whose subject names it, with a one-block text.
uint32_t AddNamedRecord(TDbxBuilder& b, const std::string& name) {
  uint32_t text = b.AddText("Subject: " + name + "\r\n\r\nbody\r\n");
  return b.AddRecord({TDbxProperty::Text(0x08, name), TDbxProperty::Direct(0x84, text)});
}

struct TOpened {
  test::TTempDir dir;
  TDBXReader reader;
};

std::unique_ptr<TOpened> OpenDbx(const std::string& bytes) {
  auto o = std::make_unique<TOpened>();
  o->reader.LoadFromFile(o->dir.Write("store.dbx", bytes));
  o->reader.ReadMessageInfos();
  return o;
}

std::vector<std::string> Subjects(TDBXReader& reader) {
  std::vector<std::string> result;
  TMessageInfo info;
  for (int i = 0; i < reader.GetMessageCount(); ++i) {
    reader.GetMessageInfo(i, info);
    result.push_back(info.Subject);
  }
  return result;
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EOEReaderException& e) {
    return std::string("reader: ") + e.what();
  } catch (const std::exception& e) {
    return std::string("other: ") + e.what();
  }
  return "";
}

TEST(DbxReader, FlatRootListsEntriesInOrder) {
  TDbxBuilder b;
  std::vector<TDbxEntry> entries;
  for (auto name : {"a", "b", "c"})
    entries.push_back({AddNamedRecord(b, name), 0, 0});
  uint32_t root = b.AddNode(0, 0, entries);
  auto o = OpenDbx(b.Build(3, root));
  EXPECT_EQ(Subjects(o->reader), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(o->reader.GetStoreName(), "Inbox");
}

TEST(DbxReader, SlotsComeFromStoredSubtreeCounts) {
  TDbxBuilder b;
  uint32_t left =
      b.AddNode(0, 0, {{AddNamedRecord(b, "L0"), 0, 0}, {AddNamedRecord(b, "L1"), 0, 0}});
  uint32_t child = b.AddNode(0, 0,
                             {{AddNamedRecord(b, "C0"), 0, 0},
                              {AddNamedRecord(b, "C1"), 0, 0},
                              {AddNamedRecord(b, "C2"), 0, 0}});
  uint32_t root = b.AddNode(left, 2, {{AddNamedRecord(b, "R"), child, 3}});
  auto o = OpenDbx(b.Build(6, root));
  EXPECT_EQ(Subjects(o->reader), (std::vector<std::string>{"L0", "L1", "R", "C0", "C1", "C2"}));

  // A count that says more than the subtree holds leaves its slots empty.
  TDbxBuilder d;
  left = d.AddNode(0, 0, {{AddNamedRecord(d, "L0"), 0, 0}});
  root = d.AddNode(left, 2, {{AddNamedRecord(d, "R"), 0, 0}});
  o = OpenDbx(d.Build(3, root));
  EXPECT_EQ(Subjects(o->reader), (std::vector<std::string>{"L0", "", "R"}));
}

TEST(DbxReader, PropertiesApplyInEntryOrder) {
  TDbxBuilder b;
  uint32_t text = b.AddText("X: y\r\n\r\n");
  // 1 January 2010 12:00 UTC.
  uint64_t ft = test::UnixToFileTime(1262347200);
  uint32_t r = b.AddRecord({TDbxProperty::Direct(0x81, 0x80), TDbxProperty::U32(0x01, 0x4080),
                            TDbxProperty::Direct(0x84, text), TDbxProperty::FileTime(0x12, ft),
                            TDbxProperty::Direct(0x80, 42), TDbxProperty::U32(0x10, 5),
                            TDbxProperty::Text(0x07, "id"), TDbxProperty::Text(0x0D, "from"),
                            TDbxProperty::Text(0x0E, "sender"), TDbxProperty::Text(0x13, "Ann"),
                            TDbxProperty::Text(0x14, "a1;b1"), TDbxProperty::Text(0x0C, "x1"),
                            TDbxProperty::Text(0x1A, "x2"), TDbxProperty::Text(0x55, "skipped")});
  auto o = OpenDbx(b.Build(1, b.AddNode(0, 0, {{r, 0, 0}})));
  TMessageInfo info;
  o->reader.GetMessageInfo(0, info);
  EXPECT_EQ(info.Flags, mfAttachment | mfRead);
  EXPECT_EQ(info.InfoOffset, r);
  EXPECT_EQ(info.Number, 42);
  EXPECT_EQ(info.Priority, 5);
  EXPECT_EQ(info.TextOffset, text);
  EXPECT_EQ(info.TextSize, 8u);
  EXPECT_EQ(FormatIsoDateTime(info.Date), "2010-01-01T13:00:00"); // Central European Time
  EXPECT_EQ(info.Ident, "id");
  EXPECT_EQ(info.From, "from");
  EXPECT_EQ(info.Sender, "sender");
  EXPECT_EQ(info.ToNames, "Ann");
  EXPECT_EQ(info.ToAddresses, "a1;b1");
  EXPECT_EQ(info.Extra1, "x1");
  EXPECT_EQ(info.Extra2, "x2");
}

TEST(DbxReader, TextChains) {
  TDbxBuilder b;
  std::string header = "Subject: chained\r\nFrom: " + std::string(600, 'f') + "\r\n";
  std::string text = header + "\r\n" + std::string(1124 - header.size() - 2, 'x');
  uint32_t full = b.AddText(text); // blocks of 512, 512 and 100 bytes
  uint32_t withZero = b.AddTextChain({"abc\0def", "ghi"});
  uint32_t noBlank = b.AddTextChain({"Subject: x\r\n"});
  std::vector<TDbxEntry> entries;
  for (uint32_t t : {full, withZero, noBlank, 0u})
    entries.push_back({b.AddRecord({TDbxProperty::Direct(0x84, t)}), 0, 0});
  auto o = OpenDbx(b.Build(4, b.AddNode(0, 0, entries)));
  TMessageInfo info;
  o->reader.GetMessageInfo(0, info);
  EXPECT_EQ(info.TextSize, 1124u);
  EXPECT_EQ(o->reader.GetMessageText(0), text);
  // The header ends in the second block: up to the CR that starts the blank line.
  EXPECT_EQ(o->reader.GetMessageHeader(0), header.substr(0, header.size() - 1));
  EXPECT_EQ(o->reader.GetMessageText(1), "abcghi");
  EXPECT_EQ(o->reader.GetMessageHeader(2), "");
  EXPECT_EQ(ErrorOf([&] { o->reader.GetMessageText(3); }), "reader: No text found.");
  EXPECT_EQ(ErrorOf([&] { o->reader.GetMessageText(99); }), "reader: No text found.");
}

TEST(DbxReader, HeaderChecks) {
  test::TTempDir dir;
  TDbxBuilder b;
  uint32_t root = b.AddNode(0, 0, {{AddNamedRecord(b, "a"), 0, 0}});
  std::string good = b.Build(1, root);

  std::string wrongType = good;
  test::PutU32(wrongType, 4, 0x6F74FDC6);
  TDBXReader reader;
  EXPECT_EQ(ErrorOf([&] { reader.LoadFromFile(dir.Write("t.dbx", wrongType)); }),
            "reader: File is not an Outlook Express 5/6 Message Database.");
  EXPECT_FALSE(reader.Opened());

  std::string empty = good;
  test::PutU32(empty, 0xC4, 0);
  EXPECT_EQ(ErrorOf([&] { reader.LoadFromFile(dir.Write("e.dbx", empty)); }),
            "reader: File does not contain any message.");
  EXPECT_TRUE(reader.Opened());

  EXPECT_EQ(ErrorOf([&] {
              reader.LoadFromFile(dir.Write("s.dbx", good.substr(0, 0x2000)));
            }).substr(0, 6),
            "other:");

  // A second Open starts over.
  reader.LoadFromFile(dir.Write("g.dbx", good));
  reader.ReadMessageInfos();
  EXPECT_EQ(Subjects(reader), std::vector<std::string>{"a"});
  TMessageInfo info;
  info.Subject = "stale";
  reader.GetMessageInfo(-1, info);
  EXPECT_EQ(info.Subject, "");
  reader.GetMessageInfo(1, info);
  EXPECT_EQ(info.InfoOffset, 0u);
}

// Damaged files end every walk, chain and read inside the file without looping.
TEST(DbxReader, DamagedFiles) {
  {
    // A node that claims more than 51 entries.
    TDbxBuilder b;
    std::vector<TDbxEntry> entries;
    for (int i = 0; i < 51; ++i)
      entries.push_back({AddNamedRecord(b, std::to_string(i)), 0, 0});
    uint32_t root = b.AddNode(0, 0, entries, 200);
    auto o = OpenDbx(b.Build(60, root));
    auto subjects = Subjects(o->reader);
    EXPECT_EQ(subjects[50], "50");
    EXPECT_EQ(subjects[51], "");
  }
  {
    // A tree whose child leads back to the root, and one that is its own leftmost child.
    TDbxBuilder b;
    uint32_t r = AddNamedRecord(b, "a");
    uint32_t rootAt = static_cast<uint32_t>(b.Bytes().size());
    uint32_t root = b.AddNode(rootAt, 1, {{r, rootAt, 1}});
    auto o = OpenDbx(b.Build(3, root));
    EXPECT_EQ(Subjects(o->reader), (std::vector<std::string>{"", "a", ""}));
  }
  {
    // A text chain that loops, and a block whose size runs past the end of the file.
    TDbxBuilder b;
    uint32_t loop = b.AddTextChain({"Subject: a\r\n", "\r\nbody"});
    test::PutU32(b.Bytes(), loop + 16 + 512 + 12, loop); // second block points at the first
    uint32_t longBlock = b.AddTextChain({"tail"});
    test::PutU32(b.Bytes(), longBlock + 8, 0x7FFFFFFF);
    uint32_t r1 = b.AddRecord({TDbxProperty::Direct(0x84, loop)});
    uint32_t r2 = b.AddRecord({TDbxProperty::Direct(0x84, longBlock)});
    std::string bytes = b.Build(2, b.AddNode(0, 0, {{r1, 0, 0}, {r2, 0, 0}}));
    auto o = OpenDbx(bytes);
    TMessageInfo info;
    o->reader.GetMessageInfo(0, info);
    EXPECT_EQ(info.TextSize, 12u + 6u);
    EXPECT_EQ(o->reader.GetMessageText(0), "Subject: a\r\n\r\nbody");
    o->reader.GetMessageInfo(1, info);
    EXPECT_EQ(info.TextSize, bytes.size() - longBlock - 16);
    EXPECT_EQ(o->reader.GetMessageText(1).substr(0, 4), "tail");
  }
  {
    // Offsets beyond the end of the file: a record, a node, a text; property data outside the
    // record body; a count far beyond what the file can hold.
    TDbxBuilder b;
    uint32_t badText =
        b.AddRecord({TDbxProperty::Direct(0x84, 0x7FFFFFF0), TDbxProperty::Text(0x08, "kept")});
    uint32_t outside = b.AddRecord({TDbxProperty::Direct(0x08, 0xFFFFFF)}); // direct id, text slot
    test::PutU32(b.Bytes(), outside + 12, 0x00FFFF08); // indirect 0x08 far outside the body
    uint32_t root =
        b.AddNode(0x7FFFFF00, 4, {{0x7FFFFFF0, 0, 0}, {badText, 0x7FFFFFF0, 1}, {outside, 0, 0}});
    auto o = OpenDbx(b.Build(0xFFFFFFFF, root));
    EXPECT_LT(o->reader.GetMessageCount(), 10000);
    TMessageInfo info;
    o->reader.GetMessageInfo(4, info);
    EXPECT_EQ(info.InfoOffset, 0x7FFFFFF0u);
    EXPECT_EQ(info.Subject, "");
    o->reader.GetMessageInfo(5, info);
    EXPECT_EQ(info.Subject, "kept");
    EXPECT_EQ(info.TextSize, 0u);
    o->reader.GetMessageInfo(7, info);
    EXPECT_EQ(info.InfoOffset, outside);
    EXPECT_EQ(info.Subject, "");
  }
}

TEST(DbxReader, RowsSharingAChainOrARecord) {
  // A damaged tree that points many rows at one record and its long text chain: each row
  // still gets the record and the whole chain's size as long as the file could hold them.
  TDbxBuilder b;
  std::string text = "Subject: shared\r\n\r\n" + std::string(5000, 'x');
  uint32_t chain = b.AddText(text, 16);
  uint32_t record =
      b.AddRecord({TDbxProperty::Text(0x08, "shared"), TDbxProperty::Direct(0x84, chain)});
  uint32_t inside = b.AddRecord({TDbxProperty::Direct(0x84, chain + 32 * 10)});
  uint32_t root = b.AddNode(0, 0, {{record, 0, 0}, {inside, 0, 0}, {record, 0, 0}});
  auto o = OpenDbx(b.Build(3, root));
  EXPECT_EQ(Subjects(o->reader), (std::vector<std::string>{"shared", "", "shared"}));
  TMessageInfo info;
  o->reader.GetMessageInfo(0, info);
  EXPECT_EQ(info.TextSize, text.size());
  o->reader.GetMessageInfo(1, info);
  EXPECT_EQ(info.TextSize, text.size() - 160); // a chain from its eleventh block
  o->reader.GetMessageInfo(2, info);
  EXPECT_EQ(info.TextSize, text.size());
  EXPECT_EQ(o->reader.GetMessageText(2), text);

  // More rows on one record than the file could hold such records: the rows beyond are empty.
  TDbxBuilder many;
  chain = many.AddText(text, 16);
  record = many.AddRecord(
      {TDbxProperty::Text(0x08, std::string(4000, 's')), TDbxProperty::Direct(0x84, chain)});
  std::vector<uint32_t> rows(400, record);
  o = OpenDbx(many.Build(400, many.AddTree(rows)));
  auto subjects = Subjects(o->reader);
  EXPECT_EQ(subjects.front().size(), 4000u);
  EXPECT_EQ(subjects.back(), "");
}

TEST(DbxReader, DeepTreeDoesNotExhaustTheStack) {
  TDbxBuilder b;
  uint32_t node = b.AddNode(0, 0, {{AddNamedRecord(b, "deep"), 0, 0}});
  const int depth = 20000;
  for (int i = 0; i < depth; ++i)
    node = b.AddNode(node, 1, {});
  auto o = OpenDbx(b.Build(1, node));
  EXPECT_EQ(Subjects(o->reader), std::vector<std::string>{"deep"});
}

TEST(OEReader, FormatDetection) {
  test::TTempDir dir;
  EXPECT_EQ(DetectStoreFormat(dir.Write("a", "JMF6rest")), fmtMbx);
  EXPECT_EQ(DetectStoreFormat(dir.Write("b", std::string("\xCF\xAD\x12\xFE", 4))), fmtDbx);
  EXPECT_EQ(DetectStoreFormat(dir.Write("c", "Hello, this is text")), fmtUnknown);
  EXPECT_THROW(DetectStoreFormat(dir.Write("d", "")), EPelloraError);
  EXPECT_THROW(DetectStoreFormat(dir / "missing"), EPelloraError);
}

TEST(OEReader, FileTimeConversion) {
  uint64_t ft = test::UnixToFileTime(1278936000); // 12 July 2010 12:00 UTC
  EXPECT_EQ(FormatIsoDateTime(FileTimeToDateTime(uint32_t(ft), uint32_t(ft >> 32), true)),
            "2010-07-12T14:00:00");
  EXPECT_EQ(FormatIsoDateTime(FileTimeToDateTime(uint32_t(ft), uint32_t(ft >> 32), false)),
            "2010-07-12T12:00:00");
  EXPECT_EQ(FileTimeToDateTime(0xFFFFFFFF, 0xFFFFFFFF, true), 0);
}

} // namespace
} // namespace pellora
