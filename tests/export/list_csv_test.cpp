#include "export/list_csv.h"
#include "platform/files.h"
#include "stores/oe_reader.h"
#include "support/store_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace pellora;

namespace {

// Reads RFC 4180 CSV: records of fields, quoted fields with doubled quotes and line breaks.
std::vector<std::vector<std::string>> ReadCsv(std::string_view text) {
  std::vector<std::vector<std::string>> records(1, std::vector<std::string>(1));
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    std::string& field = records.back().back();
    if (quoted) {
      if (c != '"') field += c;
      else if (i + 1 < text.size() && text[i + 1] == '"') field += text[++i];
      else quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      records.back().emplace_back();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      if (i + 1 < text.size()) records.emplace_back(1);
    } else {
      field += c;
    }
  }
  return records;
}

// A database of three messages whose texts need quoting, in the list's order.
struct TListFixture {
  test::TTempDir dir;
  TMailbox box;
  TListFixture() {
    std::vector<test::TDbxTestMessage> messages(3);
    messages[0].Subject = "Plain";
    messages[0].From = "ann@example.org";
    messages[0].ToAddresses = "bob@example.org";
    messages[0].UnixTime = 1678781698; // 2023-03-14 08:14:58 UTC
    messages[0].Flags = mfRead | mfFlagged | mfAttachment;
    messages[0].Priority = 1;
    messages[1].Subject = "Figures, \"final\" version";
    messages[1].From = "\"Doe, John\" <john@example.com>";
    messages[1].Flags = 0; // unread
    messages[2].Subject = "Line one\r\nline two";
    messages[2].From = "Zo\xC3\xAB <zoe@example.org>";
    messages[2].Priority = 5;
    for (auto& m : messages) m.Text = "Subject: " + m.Subject + "\r\n\r\nbody\r\n";
    box.Load(dir.Write("Inbox.dbx", test::BuildDbx(messages)), okOEDatabase);
  }
  std::vector<uint32_t> Rows() const {
    std::vector<uint32_t> rows(box.Entries().size());
    for (uint32_t i = 0; i < rows.size(); ++i) rows[i] = i;
    return rows;
  }
};

} // namespace

TEST(ListCsv, QuotedFieldsReadBack) {
  TListFixture f;
  ASSERT_EQ(f.box.Entries().size(), 3u);
  std::vector<uint32_t> rows = f.Rows();
  std::reverse(rows.begin(), rows.end()); // the list's order, whatever it is
  std::string csv;
  WriteListCsv(f.box, rows, [&](std::string_view bytes) { csv += bytes; });
  auto records = ReadCsv(csv);
  ASSERT_EQ(records.size(), 4u) << csv;
  EXPECT_EQ(records[0], (std::vector<std::string>{"Number", "From", "Subject", "To", "Date", "Size",
                                                  "Flags", "Attachment"}));
  for (size_t i = 1; i < records.size(); ++i) {
    const TMessageEntry& e = f.box.Entries()[rows[i - 1]];
    ASSERT_EQ(records[i].size(), 8u) << csv;
    EXPECT_EQ(records[i][0], std::to_string(e.Index + 1));
    EXPECT_EQ(records[i][2], e.Header.Subject.str()) << "under code page 1252 the text is its bytes";
    EXPECT_EQ(records[i][5], std::to_string(e.Header.Size));
  }
  // Rows in the order given: the last message first.
  EXPECT_EQ(records[1][2], "Line one\r\nline two");
  EXPECT_EQ(records[2][2], "Figures, \"final\" version");
  EXPECT_EQ(records[2][6], "unread");
  EXPECT_EQ(records[3][2], "Plain");
  EXPECT_EQ(records[3][4], "2023-03-14T09:14:58"); // local time, Europe/Prague
  EXPECT_EQ(records[3][6], "read flagged priority-high");
  EXPECT_EQ(records[3][7], "yes");
  EXPECT_EQ(records[1][7], "no");
  EXPECT_EQ(records[1][4], ""); // no date
}

// Python's csv module reads the same (skipped where python3 is absent).
TEST(ListCsv, ReadsBackInPython) {
  if (std::system("python3 -c 'import csv' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3 not available";
  TListFixture f;
  const std::string path = f.dir / "list.csv";
  SaveListCsv(f.box, f.Rows(), path);
  std::string script = f.dir.Write("check.py", R"(
import csv, sys
rows = list(csv.reader(open(sys.argv[1], encoding='utf-8', newline='')))
assert len(rows) == 4 and all(len(r) == 8 for r in rows), rows
assert rows[2][1] == '"Doe, John" <john@example.com>', rows[2][1]
assert rows[3][2] == 'Line one\r\nline two', rows[3][2]
)");
  EXPECT_EQ(std::system(("python3 '" + script + "' '" + path + "'").c_str()), 0);
}

TEST(ListCsv, SavedWholeOrNotAtAll) {
  TListFixture f;
  const std::string path = f.dir / "list.csv";
  f.dir.Write("list.csv", "old");
  SaveListCsv(f.box, f.Rows(), path); // replaces
  EXPECT_TRUE(ReadWholeFile(path).starts_with("Number,From,"));
  // A folder that is not there: an error, and no file.
  EXPECT_THROW(SaveListCsv(f.box, f.Rows(), f.dir / "gone/list.csv"), EPelloraError);
}
