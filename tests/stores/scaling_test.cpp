// Growth of listing a store on inputs that once took time growing with the square of their size
// (label "scaling").
#include "platform/pellora_error.h"
#include "stores/mailbox.h"
#include "stores/threads.h"
#include "support/scaling.h"
#include "support/store_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace pellora {
namespace {

using test::ExpectLinearGrowth;

// Lists the store at path as its window does.
void List(const std::string& path, TOpenKind kind) {
  TMailbox box;
  TLoadResult result = box.Load(path, kind);
  EXPECT_TRUE(result.Loaded) << result.ErrorText;
}

// Every row points at the same chain of N text blocks (small ones, to keep the files small);
// there are N rows.
TEST(Scaling, DbxSharedTextChain) {
  test::TTempDir dir;
  ExpectLinearGrowth(
      "DBX listing, N rows sharing an N-block text chain", 64, 1 << 18,
      [&](size_t n) {
        test::TDbxBuilder builder;
        std::string text = "Subject: shared\r\n\r\n";
        while (text.size() < n * 64)
          text += "a line of the one text that every row shares\r\n";
        uint32_t chain = builder.AddText(text, 64);
        std::vector<uint32_t> records;
        for (size_t i = 0; i < n; ++i)
          records.push_back(builder.AddRecord({test::TDbxProperty::Direct(0x80, i + 1),
                                               test::TDbxProperty::U32(0x04, chain),
                                               test::TDbxProperty::Text(0x08, "shared")}));
        uint32_t root = builder.AddTree(records);
        return dir.Write("shared.dbx", builder.Build(static_cast<uint32_t>(n), root));
      },
      [](const std::string& path) { List(path, okOEDatabase); });
}

// Recovery over N text chains no record reaches and a deleted message of N freed blocks joined by
// adjacency, besides one listed message.
TEST(Scaling, DbxRecovery) {
  test::TTempDir dir;
  ExpectLinearGrowth(
      "DBX recovery, N lost chains and N freed blocks", 64, 1 << 16,
      [&](size_t n) {
        test::TDbxBuilder builder;
        const uint32_t live = builder.AddRecord(
            {test::TDbxProperty::U32(0x04, builder.AddText("Subject: live\r\n\r\nx\r\n")),
             test::TDbxProperty::Text(0x08, "live")});
        for (size_t i = 0; i < n; ++i)
          builder.AddTextChain({"Subject: lost " + std::to_string(i) + "\r\n\r\n", "body"});
        std::string freed(16 + 512, 'f');
        for (size_t i = 0; i < n; ++i) {
          const auto at = static_cast<uint32_t>(builder.Bytes().size());
          for (int k = 0; k < 4; ++k) freed[k] = static_cast<char>(at >> (8 * k));
          freed.replace(4, 12, std::string("\0\2\0\0\0\0\0\0\0\0\0\0", 12));
          builder.AddBytes(freed);
        }
        uint32_t root = builder.AddTree({live});
        return dir.Write("lost.dbx", builder.Build(1, root));
      },
      [](const std::string& path) {
        TMailbox box;
        EXPECT_TRUE(box.Load(path, okOEDatabase, nullptr, {true}).Loaded);
      });
}

// Records that claim 4 GiB of text and hold no blank line, with either line end.
void MbxClaims(const std::string& eol) {
  test::TTempDir dir;
  ExpectLinearGrowth(
      "MBX listing, N records claiming 4 GiB, line end " +
          std::string(eol == "\n" ? "LF" : "CR LF"),
      64, 1 << 22,
      [&](size_t n) {
        std::vector<test::TMbxTestRecord> records;
        for (size_t i = 0; i < n; ++i) {
          test::TMbxTestRecord r;
          r.Text = "From: a@example.org" + eol + "Subject: record " + std::to_string(i) + eol;
          r.Number = static_cast<uint32_t>(i + 1);
          r.TextSizeOverride = 0xFFFFFFFF;
          records.push_back(r);
        }
        return dir.Write("claims.mbx", test::BuildMbx(records));
      },
      [](const std::string& path) { List(path, okOEDatabase); });
}

TEST(Scaling, MbxClaimsCrLf) {
  MbxClaims("\r\n");
}
TEST(Scaling, MbxClaimsLf) {
  MbxClaims("\n");
}

// One message whose subject holds N encoded words.
TEST(Scaling, MailboxEncodedWords) {
  test::TTempDir dir;
  ExpectLinearGrowth(
      "mailbox listing, a subject of N encoded words", 1000, 1 << 24,
      [&](size_t n) {
        std::string subject = "Subject:";
        for (size_t i = 0; i < n; ++i)
          subject += " =?UTF-8?Q?w=C3=B6rd?=";
        test::TMboxTestMessage message;
        message.Lines = {"From: a@example.org", subject, "", "body"};
        return dir.Write("Inbox", test::BuildMailbox({message}));
      },
      [](const std::string& path) { List(path, okMailboxFile); });
}


// A mailbox file of N messages that another program changes after the load; every row is then
// read back as the filters and exports read it.
void ReadBackAfterChange(const std::string& what, void (*change)(const std::string& path)) {
  test::TTempDir dir;
  ExpectLinearGrowth(
      "mailbox read-back, N rows, file " + what + " after the load", 1000, 1 << 20,
      [&](size_t n) {
        std::vector<test::TMboxTestMessage> messages(n);
        for (size_t i = 0; i < n; ++i)
          messages[i].Lines = {"Subject: message " + std::to_string(i), "", "body", ""};
        const std::string path = dir.Write("Inbox", test::BuildMailbox(messages));
        auto box = std::make_unique<TMailbox>();
        EXPECT_TRUE(box->Load(path, okMailboxFile).Loaded);
        change(path);
        return box;
      },
      [](const std::unique_ptr<TMailbox>& box) {
        TReadPass pass(*box);
        std::string text;
        for (const TMessageEntry& entry : box->Entries()) {
          try {
            box->LoadEntryLines(entry);
            box->ReadEntryText(entry, text);
          } catch (const EPelloraError&) {
            // a row that can no longer be read
          }
        }
      });
}

TEST(Scaling, MailboxReadBackAfterAppend) {
  ReadBackAfterChange("grown", [](const std::string& path) {
    std::ofstream(path, std::ios::app) << "From - Tue Jan 02 10:00:00 2010\nX-Mozilla-Status: 0001\n"
                                          "Subject: new mail\n\nnew\n";
  });
}

TEST(Scaling, MailboxReadBackAfterCut) {
  ReadBackAfterChange("cut to half", [](const std::string& path) {
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
  });
}

// Threads of N rows in one chain as deep as it is long, closed into a loop, with every row also
// naming the first and a missing message: depth-first walks and loop cutting stay linear.
TEST(Scaling, ThreadsDeepLoop) {
  ExpectLinearGrowth(
      "threads of N rows, one loop N deep", 1024, 1 << 22,
      [](size_t n) {
        std::vector<TMessageEntry> entries(n);
        for (size_t i = 0; i < n; ++i) {
          TEMLHeader& h = entries[i].Header;
          h.MessageID = "<" + std::to_string(i) + "@x>";
          h.References = "<0@x><gone@x><" + std::to_string((i + n - 1) % n) + "@x>";
          h.Date = double(i);
        }
        return entries;
      },
      [](const std::vector<TMessageEntry>& entries) {
        TThreads threads;
        threads.Build(entries);
        threads.Arrange({}, true, true);
        EXPECT_EQ(threads.Order().size(), entries.size());
      });
}

} // namespace
} // namespace pellora
