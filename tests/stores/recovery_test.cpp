// Loading with recovery: messages found outside a store's index, and deleted ones.
#include "platform/pellora_error.h"
#include "stores/dbx_reader.h"
#include "stores/mailbox.h"

#include "support/run_command.h"
#include "support/store_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

namespace pellora {
namespace {

using test::PutU32;
using test::TDbxBuilder;
using test::TDbxProperty;

struct TRowSeen {
  TRowState state;
  std::string subject;
  bool operator==(const TRowSeen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TRowSeen& row) {
  return out << int(row.state) << ":" << row.subject;
}

// A record whose subject names it, with its text in blocks of 512 bytes.
uint32_t AddMessage(TDbxBuilder& b, const std::string& name, const std::string& body = "body") {
  uint32_t text = b.AddText("Subject: " + name + "\r\n\r\n" + body + "\r\n");
  return b.AddRecord({TDbxProperty::Text(0x08, name), TDbxProperty::Direct(0x84, text)});
}

// A freed text block as the free list leaves it: its own offset and capacity, no data bytes, the
// link to the next freed block, and the link's own word over the data's first bytes.
uint32_t AddFreedBlock(TDbxBuilder& b, std::string_view data, uint32_t next) {
  std::string block(16, '\0');
  const auto at = static_cast<uint32_t>(b.Bytes().size());
  PutU32(block, 0, at);
  PutU32(block, 4, TDBXReader::BlockCapacity);
  PutU32(block, 12, next);
  block += "LINK";
  block += data;
  block.resize(16 + TDBXReader::BlockCapacity, '\0');
  return b.AddBytes(block);
}

struct TCase {
  const char* name;
  const char* file;
  std::function<void(test::TTempDir&, const std::string& path)> write;
  std::vector<TRowSeen> listed;    // the rows without recovery, in Index order
  std::vector<TRowSeen> recovered; // the rows recovery adds
  std::string text;                // a part of a row's text
};

std::vector<TRowSeen> RowsOf(TMailbox& box, std::vector<std::string>* texts = nullptr) {
  std::vector<const TMessageEntry*> rows;
  for (const auto& e : box.Entries()) rows.push_back(&e);
  std::sort(rows.begin(), rows.end(), [](auto a, auto b) { return a->Index < b->Index; });
  std::vector<TRowSeen> seen;
  for (const TMessageEntry* e : rows) {
    seen.push_back({e->State, e->Header.Subject.str()});
    if (!texts) continue;
    try {
      texts->push_back(box.GetEntryText(*e));
    } catch (const EPelloraError&) {
      texts->push_back({}); // a listed row whose record the index does not reach
    }
  }
  return seen;
}

TEST(Recovery, CraftedStores) {
  const std::string filler(TDBXReader::BlockCapacity, 'f');
  auto dbxWith = [](auto build) {
    return [build](test::TTempDir& dir, const std::string& path) {
      TDbxBuilder b;
      std::string bytes = build(b);
      dir.Write(path, bytes);
    };
  };
  const TCase cases[] = {
      {"a deleted message in the free list", "a.dbx",
       dbxWith([&](TDbxBuilder& b) {
         uint32_t live = AddMessage(b, "live");
         // Two freed blocks, linked out of file order: the list's link wins over adjacency.
         const uint32_t first = static_cast<uint32_t>(b.Bytes().size());
         const uint32_t second = first + 2 * (16 + TDBXReader::BlockCapacity);
         AddFreedBlock(b, "\r\nSubject: gone\r\n\r\n" + filler, second);
         AddFreedBlock(b, "\r\nSubject: other\r\n\r\nshort", 0); // freed on its own
         AddFreedBlock(b, "the end", 0);
         std::string bytes = b.Build(1, b.AddTree({live}));
         PutU32(bytes, TDBXReader::FreeListWord, first);
         return bytes;
       }),
       {{rsListed, "live"}},
       {{rsDeleted, "gone"}, {rsDeleted, "other"}},
       "ff[4 bytes lost]the end"},
      {"a chain whose record was removed from the index", "b.dbx",
       dbxWith([](TDbxBuilder& b) {
         uint32_t kept = AddMessage(b, "kept");
         AddMessage(b, "removed", std::string(1500, 'r')); // three blocks
         return b.Build(1, b.AddTree({kept}));
       }),
       {{rsListed, "kept"}},
       {{rsRecovered, "removed"}},
       std::string(1500, 'r')},
      {"a root offset of 0", "c.dbx",
       dbxWith([](TDbxBuilder& b) {
         AddMessage(b, "one");
         AddMessage(b, "two");
         return b.Build(2, 0);
       }),
       {{rsListed, ""}, {rsListed, ""}},
       {{rsRecovered, "one"}, {rsRecovered, "two"}},
       "Subject: two"},
      {"a root outside the file", "d.dbx",
       dbxWith([](TDbxBuilder& b) {
         AddMessage(b, "one");
         return b.Build(1, 0x7FFFFFF0);
       }),
       {{rsListed, ""}},
       {{rsRecovered, "one"}},
       "Subject: one"},
      {"a chain that loops", "e.dbx",
       dbxWith([](TDbxBuilder& b) {
         uint32_t live = AddMessage(b, "live");
         uint32_t chain = b.AddTextChain({"Subject: loop\r\n\r\none", " two", " three"});
         const uint32_t third = chain + 2 * (16 + 512);
         PutU32(b.Bytes(), third + 12, chain + 16 + 512); // back to the second block
         return b.Build(1, b.AddTree({live}));
       }),
       {{rsListed, "live"}},
       {{rsRecovered, "loop"}},
       "one two three"},
      {"a block whose length runs past the end", "f.dbx",
       dbxWith([](TDbxBuilder& b) {
         uint32_t live = AddMessage(b, "live");
         uint32_t root = b.AddTree({live});
         b.AddTextChain({"Subject: cut\r\n\r\n" + std::string(400, 'c')});
         std::string bytes = b.Build(1, root);
         bytes.resize(bytes.size() - 300); // the data stops 100 bytes into the body
         return bytes;
       }),
       {{rsListed, "live"}},
       {{rsRecovered, "cut"}},
       "\r\n\r\n" + std::string(100, 'c')},
      {"an MBX message missing from its .idx", "g.mbx",
       [](test::TTempDir& dir, const std::string& path) {
         dir.Write(path, test::BuildMbx({{"Subject: one\r\n\r\nx\r\n", 1},
                                          {"Subject: two\r\n\r\ny\r\n", 2},
                                          {"Subject: three\r\n\r\nz\r\n", 3}},
                                         2));
         test::TIdxTestEntry one, two;
         one.Texts[0] = "one";
         two.Texts[0] = "two";
         dir.Write("g.idx", test::BuildIdx({one, two}));
       },
       {{rsListed, "one"}, {rsListed, "two"}},
       {{rsRecovered, "three"}},
       "Subject: three\r\n\r\nz"},
      {"an expunged Thunderbird row", "h",
       [](test::TTempDir& dir, const std::string& path) {
         test::TMboxTestMessage kept, gone;
         kept.Lines = {"Subject: kept", "", "a"};
         gone.Marker = "X-Mozilla-Status: 0009";
         gone.Lines = {"Subject: gone", "", "b"};
         dir.Write(path, test::BuildMailbox({kept, gone}));
       },
       {{rsListed, "kept"}, {rsDeleted, "gone"}},
       {},
       "Subject: gone"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::TTempDir dir;
    c.write(dir, c.file);
    const std::string path = dir / c.file;
    const TOpenKind kind = std::string(c.file).find('.') != std::string::npos ? okOEDatabase : okMailboxFile;
    TMailbox plain;
    ASSERT_TRUE(plain.Load(path, kind).Loaded);
    EXPECT_EQ(RowsOf(plain), c.listed);
    TMailbox box;
    ASSERT_TRUE(box.Load(path, kind, nullptr, {true}).Loaded);
    std::vector<std::string> texts;
    std::vector<TRowSeen> expected = c.listed;
    expected.insert(expected.end(), c.recovered.begin(), c.recovered.end());
    EXPECT_EQ(RowsOf(box, &texts), expected);
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const std::string& text) {
      return text.find(c.text) != std::string::npos;
    })) << c.text;
    // Each text once: a recovered row never repeats a listed one, nor a block twice.
    for (size_t i = 0; i < texts.size(); ++i)
      for (size_t j = i + 1; j < texts.size(); ++j)
        if (!texts[i].empty()) EXPECT_NE(texts[i], texts[j]) << i << " " << j;
  }
}

std::string WithoutCr(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

// The real databases: what recovery adds equals what the independent extractor writes in its
// recovery mode (when it is installed; else its figures, kept here).
TEST(Recovery, RealDatabasesAgreeWithAnIndependentExtractor) {
  const std::string data = test::SharedDataDir();
  if (data.empty()) GTEST_SKIP() << "../shared/data is absent";
  struct {
    const char* file;
    size_t rows;
    size_t recoveredSize; // the size of the one recovered message, or 0 when there is none
  } cases[] = {{"/dbx/test_OutlookDBX.dbx", 28, 0}, {"/dbx/single-message.dbx", 2, 2710}};
  const bool extractor = test::RunCommand("command -v undbx").code == 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    TMailbox box;
    ASSERT_TRUE(box.Load(data + c.file, okOEDatabase, nullptr, {true}).Loaded);
    std::vector<std::string> ours;
    size_t recovered = 0;
    for (const auto& e : box.Entries()) {
      ours.push_back(WithoutCr(box.StoredText(e)));
      if (e.State != rsListed) {
        ++recovered;
        if (c.recoveredSize) EXPECT_EQ(e.Header.Size, int64_t(c.recoveredSize));
      }
    }
    EXPECT_EQ(recovered, c.recoveredSize ? 1u : 0u);
    EXPECT_EQ(ours.size(), c.rows);
    if (!extractor) continue;
    test::TTempDir out;
    test::RunCommand("undbx --recover " + data + c.file + " " + out.Path() + " >/dev/null 2>&1");
    std::vector<std::string> theirs;
    for (const auto& f : std::filesystem::recursive_directory_iterator(out.Path())) {
      if (!f.is_regular_file()) continue;
      std::ifstream in(f.path(), std::ios::binary);
      std::stringstream text;
      text << in.rdbuf();
      theirs.push_back(WithoutCr(text.str()));
    }
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    EXPECT_EQ(ours.size(), theirs.size());
    EXPECT_TRUE(ours == theirs);
  }
}

} // namespace
} // namespace pellora
