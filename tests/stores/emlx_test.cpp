// Apple Mail's message files: the message between its byte count and its property list, the flags
// from the list; one file as a message, a folder of them (or a mailbox folder) as a store.
#include "stores/kinds/emlx_store.h"

#include "mime/mail_message.h"
#include "stores/kinds/store_kinds.h"
#include "stores/mailbox.h"
#include "support/store_builders.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace pellora {
namespace {

const std::string Message = "Subject: hello\r\nFrom: Ann <ann@example.org>\r\n"
                            "Date: Tue, 12 Jan 2010 10:00:00 +0000\r\n\r\nbody\r\n";

TEST(Emlx, MessageAndFlags) {
  const std::string framed = test::BuildEmlx(Message, 1 | 16);
  const size_t begin = framed.find('\n') + 1;
  struct {
    const char* what;
    std::string bytes;
    size_t begin, size;
    std::optional<uint32_t> flags;
  } cases[] = {
      {"read and flagged", framed, begin, Message.size(), mfRead | mfFlagged},
      {"answered, forwarded, two attachments", test::BuildEmlx(Message, 4 | 256 | 2 << 10), begin,
       Message.size(), mfReplied | mfForwarded | mfAttachment},
      {"new, with the bits beyond 32", test::BuildEmlx(Message, 1ull << 40), begin, Message.size(), 0u},
      {"a CR LF count line, blanks around", " 12 \r\nSubject: x\r\n<plist/>", 6, 12, std::nullopt},
      {"a count beyond the file's end", "999\nSubject: x\n", 4, 11, std::nullopt},
      {"no count: a message whole", Message, 0, Message.size(), std::nullopt},
      {"a count without its line end", "123", 0, 3, std::nullopt},
      {"no flags entry", "3\nabc<plist><dict><key>flag</key><integer>1</integer></dict></plist>", 2,
       3, std::nullopt},
      {"flags not a number", "3\nabc<key>flags</key><integer>x</integer>", 2, 3, std::nullopt},
      {"flags without an end", "3\nabc<key>flags</key> <integer>17", 2, 3, std::nullopt},
  };
  for (const auto& c : cases) {
    const TEmlxMessage message = ParseEmlx(c.bytes);
    EXPECT_EQ(message.Begin, c.begin) << c.what;
    EXPECT_EQ(message.Size, c.size) << c.what;
    EXPECT_EQ(message.Flags, c.flags) << c.what;
  }
}

TEST(Emlx, FolderOfFiles) {
  test::TTempDir dir;
  dir.Write("Messages/10.emlx", test::BuildEmlx(Message, 1));
  dir.Write("Messages/11.partial.emlx",
            test::BuildEmlx("Subject: second\r\nContent-Type: text/plain\r\n\r\nshort\r\n", 16 | 1 << 10));
  dir.Write("Messages/notes.txt", "not a message");
  TMailbox box;
  ASSERT_EQ(KindOfPath(dir / "Messages"), okMessageFolder);
  ASSERT_TRUE(box.Load(dir / "Messages", okMessageFolder).Loaded);
  ASSERT_EQ(box.Entries().size(), 2u);
  const TMessageEntry& first = *box.FindEntry(0);
  const TMessageEntry& second = *box.FindEntry(1);
  EXPECT_EQ(first.Header.Subject, "hello");
  EXPECT_EQ(first.Header.Size, static_cast<int64_t>(Message.size()));
  EXPECT_EQ(box.FromText(first), "Ann <ann@example.org>");
  EXPECT_EQ(box.Flags(first), mfRead);
  EXPECT_FALSE(box.HasAttachment(first));
  EXPECT_EQ(box.Flags(second), mfFlagged | mfAttachment);
  EXPECT_TRUE(box.HasAttachment(second)); // by its flags: its header says nothing of them
  // The message alone, in the viewer and as stored.
  EXPECT_EQ(box.StoredText(first), Message);
  EXPECT_EQ(box.GetEntryText(first), Message);
  EXPECT_EQ(box.LoadEntryLines(second),
            (std::vector<std::string>{"Subject: second", "Content-Type: text/plain", "", "short"}));
  TMailMessage parsed;
  box.Store()->ParseMessage(first, parsed);
  parsed.FindBodies();
  EXPECT_EQ(parsed.SubjectText(), "hello");
  EXPECT_EQ(box.Store()->ExportName(first), "Messages");
}

// Apple Mail keeps a mailbox's messages deep inside its folder "Name.mbox".
TEST(Emlx, MailboxFolder) {
  test::TTempDir dir;
  dir.Write("Inbox.mbox/0A1B/Data/1/Messages/1.emlx", test::BuildEmlx(Message, 0));
  dir.Write("Inbox.mbox/0A1B/Data/2/Messages/2.emlx", test::BuildEmlx(Message, 1));
  dir.Write("Inbox.mbox/Info.plist", "<plist/>");
  EXPECT_TRUE(FolderHoldsMessages(dir / "Inbox.mbox"));
  TMailbox box;
  ASSERT_TRUE(box.Load(dir / "Inbox.mbox", okMessageFolder).Loaded);
  ASSERT_EQ(box.Entries().size(), 2u);
  EXPECT_EQ(box.Flags(*box.FindEntry(0)), 0u);
  EXPECT_EQ(box.Flags(*box.FindEntry(1)), mfRead);
}

// One file opens as a message: its store's one row is the message, parsed without the frame.
TEST(Emlx, OneFileIsAMessage) {
  test::TTempDir dir;
  const std::string path = dir.Write("42.emlx", test::BuildEmlx(Message, 1));
  EXPECT_EQ(KindOfPath(path), okMessageFile);
  TMailbox box;
  ASSERT_TRUE(box.Load(path, okMessageFile).Loaded);
  ASSERT_EQ(box.Entries().size(), 1u);
  EXPECT_EQ(box.StoredText(box.Entries()[0]), Message);
  TMailMessage parsed;
  box.Store()->ParseMessage(box.Entries()[0], parsed);
  parsed.FindBodies();
  EXPECT_EQ(parsed.TextLines(), std::vector<std::string>{"body"});
  // A file that cannot be read fails the load with the platform's error.
  TLoadResult missing = box.Load(dir / "gone.emlx", okMessageFile);
  EXPECT_FALSE(missing.Loaded);
  EXPECT_NE(missing.ErrorText.find("gone.emlx"), std::string::npos);
}

} // namespace
} // namespace pellora
