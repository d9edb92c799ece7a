// Writes the seeds built from file layouts into fuzz/seeds/ (hand-written text seeds are kept as
// they are):
//   cmake --build build --target pellora_seed_writer && build/pellora_seed_writer fuzz/seeds
#include "platform/files.h"
#include "support/compress_builders.h"
#include "support/discovery_builders.h"
#include "stores/mailbox.h"
#include "stores/row_cache.h"
#include "support/store_builders.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <iostream>

using namespace pellora::test;

namespace {

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TDbxTestMessage Message(const std::string& subject, const std::string& body, int64_t time) {
  TDbxTestMessage m;
  m.Text = "From: a@example.org\r\nTo: b@example.org\r\nSubject: " + subject +
           "\r\nDate: Mon, 03 Apr 2006 09:30:00 +0200\r\n\r\n" + body;
  m.Subject = subject;
  m.From = "a@example.org";
  m.ToNames = "B";
  m.ToAddresses = "b@example.org";
  m.UnixTime = time;
  return m;
}

// What fuzz_stores_mbx reads: a byte choosing the index, the ".mbx", a marker, the ".idx".
std::string MbxInput(bool withIndex, const std::string& eol) {
  std::string a = "From: a@example.org" + eol + "Subject: one" + eol + eol + "body" + eol;
  std::string b = "Subject: two" + eol + "Date: Mon, 3 Apr 2006 09:30:00 +0200" + eol + eol;
  std::string mbx = BuildMbx({{a, 1, 0, -1}, {b, 2, 0, -1}});
  std::string input(1, withIndex ? '\1' : '\0');
  input += mbx;
  if (!withIndex) return input;
  TIdxTestEntry one;
  one.TextOffset = 100;
  one.TextSize = static_cast<uint32_t>(a.size());
  one.Texts[0] = "one";
  one.Texts[2] = "a@example.org";
  TIdxTestEntry two = one;
  two.TextOffset = static_cast<uint32_t>(100 + 16 + a.size());
  two.TextSize = static_cast<uint32_t>(b.size());
  two.Texts[0] = "two";
  return input + "\xFF\xFE\xFD\xFC" + BuildIdx({one, two});
}

// What recovery finds: a record the index leaves out, and a deleted message in two freed blocks
// on the free list (file header word 0x48; each block: its offset, capacity 512, no data bytes,
// the next freed block, then the link's word over the data).
std::string LostAndFreed() {
  TDbxBuilder b;
  auto record = [&](const std::string& subject) {
    const uint32_t text = b.AddText("Subject: " + subject + "\r\n\r\n" + std::string(600, 'x'));
    return b.AddRecord({TDbxProperty::Text(0x08, subject), TDbxProperty::U32(0x04, text)});
  };
  const uint32_t kept = record("kept");
  record("lost");
  const auto first = static_cast<uint32_t>(b.Bytes().size());
  for (uint32_t i = 0; i < 2; ++i) {
    std::string block(16, '\0');
    const uint32_t at = first + i * (16 + 512);
    PutU32(block, 0, at);
    PutU32(block, 4, 512);
    PutU32(block, 12, i == 0 ? at + 16 + 512 : 0);
    block += i == 0 ? "LINK\r\nSubject: deleted\r\n\r\n" + std::string(500, 'd') : "LINKend";
    block.resize(16 + 512, '\0');
    b.AddBytes(block);
  }
  std::string bytes = b.Build(1, b.AddTree({kept}));
  PutU32(bytes, 0x48, first);
  return bytes;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: pellora_seed_writer fuzz/seeds\n";
    return 2;
  }
  std::string root = argv[1];
  Write(root + "/dbx/two-messages.dbx",
        BuildDbx({Message("one", "body\r\n", 1144049400), Message("two", "text\r\n", 0)}));
  std::string longBody;
  while (longBody.size() < 1500)
    longBody += "a line long enough to need several text blocks\r\n";
  Write(root + "/dbx/chained-text.dbx", BuildDbx({Message("long", longBody, 1144049400)}));
  Write(root + "/dbx/lost-and-freed.dbx", LostAndFreed());
  Write(root + "/mbx/with-index", MbxInput(true, "\r\n"));
  Write(root + "/mbx/headers-only-lf", MbxInput(false, "\n"));

  // The mailbox seeds compressed in each form, one of them in two streams.
  const std::string mozilla = pellora::ReadWholeFile(root + "/mailbox/mozilla");
  const std::string classic = pellora::ReadWholeFile(root + "/mailbox/classic-crlf");
  Write(root + "/compressed/mozilla.gz", Compress(mozilla, pellora::czGzip));
  Write(root + "/compressed/classic-crlf.bz2", Compress(classic, pellora::czBzip2));
  Write(root + "/compressed/mozilla.xz", Compress(mozilla, pellora::czXz));
  Write(root + "/compressed/classic-crlf.zst", Compress(classic, pellora::czZstd));
  Write(root + "/compressed/two-streams.gz",
        Compress(mozilla, pellora::czGzip) + Compress(classic, pellora::czGzip));
  // Row caches of the mailbox seeds: a whole file, and what one unpacks to.
  for (const char* name : {"mozilla", "classic-crlf"}) {
    pellora::TMailbox box;
    box.Load(root + "/mailbox/" + name, pellora::okMailboxFile);
    pellora::TRowCacheFacts facts{{"/mail/box", {1, 2, 3}, 4, 5}, {0, 9, 9}, box.Notes()};
    facts.Notes.emplace_back(pellora::nkUnreadableFile, "name", "reason", 7);
    Write(root + "/row_cache/" + name, std::string(1, '\0') + EncodeRowCache(facts, box.Entries()));
    Write(root + "/row_cache/" + name + "-unpacked",
          std::string(1, '\1') + RowCachePayload(facts, box.Entries()));
  }
  Write(root + "/emlx/read-flagged.emlx",
        BuildEmlx("From: a@example.org\r\nSubject: one\r\n\r\nbody\r\n", 1 | 16 | 2 << 10));
  Write(root + "/emlx/no-list.emlx", "12\nSubject: x\n\n");

  // Discovery: a user's registry branch with an identity and the mail programs' store roots.
  const std::string id = "{3C4D5E6F-0000-0000-0000-000000000003}";
  Write(root + "/wine_registry/user.reg",
        TWineRegWriter("\\User\\S-1-5-21-0-0-0-1000")
            .Key("Identities\\" + id)
            .String("Username", "Main \"Identity\" \xC3\x9C")
            .Dword("Identity Ordinal", 1)
            .Key("Identities\\" + id + "\\Software\\Microsoft\\Outlook Express\\5.0")
            .ExpandString("Store Root", "%UserProfile%\\Local Settings\\Identities\\" + id)
            .Key("Software\\Microsoft\\Windows Live Mail")
            .String("Store Root", "C:\\Mail")
            .Text());
  std::string hivePath = root + "/hive/ntuser.dat";
  THiveBuilder(hivePath)
      .String("Identities\\" + id, "Username", "Main Identity")
      .Dword("Identities\\" + id, "Identity Ordinal", 1)
      .String("Identities\\" + id + "\\Software\\Microsoft\\Outlook Express\\5.0", "Store Root",
              "%UserProfile%\\Mail", 2)
      .String("Software\\Microsoft\\Windows Mail", "Store Root", "C:\\Mail")
      .Commit();
  return 0;
}
