#include "stores/fuzz_bodies.h"

#include "stores/dbx_reader.h"
#include "stores/decompress.h"
#include "stores/kinds/emlx_store.h"
#include "stores/header_scanner.h"
#include "stores/kinds/mailbox_file_store.h"
#include "stores/kinds/store_kinds.h"
#include "mime/mail_message.h"
#include "stores/mailbox.h"
#include "stores/mbx_reader.h"
#include "stores/row_cache.h"
#include "mime/rtf_body.h"
#include "support/fuzz_scratch.h"
#include "support/mailbox_oracle.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>
#include <unistd.h>

namespace pellora::fuzz {
namespace {

// Everything a list and a message window would ask of a loaded reader.
// Reads every row, the recovered ones too: none reads more than the file holds, with the markers
// of the bytes freed blocks lost.
void Exercise(TOEReader& reader) {
  reader.ReadMessageInfos();
  reader.RecoverMessages();
  reader.GetStoreName();
  int32_t count = reader.GetRowCount();
  TMessageInfo info;
  for (int32_t i = -1; i <= count && i < 64; ++i) {
    reader.GetMessageInfo(i, info);
    try {
      reader.GetMessageHeader(i);
      if (reader.GetMessageText(i).size() > 8 * reader.FileSize()) std::abort();
    } catch (const EPelloraError&) {
    }
  }
}

// Classic messages follow each other without gap or overlap: together they are the file's
// lines from the first separator on.
void CheckClassicCover(TMailbox& box, const std::string& path) {
  std::vector<const TMessageEntry*> byIndex(box.Entries().size());
  for (const auto& entry : box.Entries())
    byIndex.at(static_cast<size_t>(entry.Index)) = &entry;
  std::vector<std::string> fileLines, messageLines;
  TMailboxLineReader reader(path);
  std::string_view line;
  bool discarded;
  for (int64_t number = 1; reader.Next(line, discarded); ++number)
    if (!discarded && number >= byIndex[0]->StartLine) fileLines.emplace_back(line);
  for (const TMessageEntry* entry : byIndex) {
    int64_t total = 0;
    box.VisitEntryLines(*entry, [&](std::string_view messageLine) {
      messageLines.emplace_back(messageLine);
      total += static_cast<int64_t>(messageLine.size());
      return true;
    });
    if (total != entry->Header.Size) std::abort();
  }
  if (messageLines != fileLines) std::abort();
}

// Another program changes the mailbox file after the load. Mail appended at its end changes no
// row; cut in the middle, the file keeps the rows that end before the cut and refuses the
// others with an error, never looking for them again from its start.
void ChangeAfterLoad(TMailbox& box, const std::string& path, size_t size) {
  const size_t rows = std::min<size_t>(box.Entries().size(), 32);
  std::vector<std::string> texts;
  for (size_t i = 0; i < rows; ++i)
    texts.push_back(box.GetEntryText(box.Entries()[i]));
  std::ofstream(path, std::ios::binary | std::ios::app)
      << "From - Tue Jan 05 10:00:00 2010\nX-Mozilla-Status: 0001\nSubject: new\n\nx\n";
  for (size_t i = 0; i < rows; ++i)
    if (box.GetEntryText(box.Entries()[i]) != texts[i]) std::abort();
  if (!box.Notes().empty()) std::abort(); // appended mail is no change of the store
  const auto cut = static_cast<int64_t>(size / 2);
  std::filesystem::resize_file(path, static_cast<uintmax_t>(cut));
  for (size_t i = 0; i < rows; ++i) {
    const TMessageEntry& entry = box.Entries()[i];
    try {
      if (box.GetEntryText(entry) != texts[i] || entry.EndOffset > cut) std::abort();
    } catch (const EPelloraError&) {
      if (entry.EndOffset <= cut) std::abort();
    }
  }
}

} // namespace

void RunDbxReader(const uint8_t* data, size_t size) {
  std::string path = WriteScratch("f.dbx", {reinterpret_cast<const char*>(data), size});
  TDBXReader reader;
  try {
    reader.LoadFromFile(path);
  } catch (const EPelloraError&) {
    return;
  }
  Exercise(reader);
}

void RunMbxReader(const uint8_t* data, size_t size) {
  if (size == 0) return;
  std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  bool withIndex = data[0] & 1;
  std::string_view mbx = input, idx;
  size_t cut = input.find("\xFF\xFE\xFD\xFC");
  if (cut != std::string_view::npos) {
    mbx = input.substr(0, cut);
    idx = input.substr(cut + 4);
  }
  std::string path = WriteScratch("f.mbx", mbx);
  std::string indexPath = ScratchFolder() + "/f.idx";
  if (withIndex)
    WriteScratch("f.idx", idx);
  else
    std::remove(indexPath.c_str());
  TMBXReader reader;
  try {
    reader.LoadFromFile(path);
  } catch (const EPelloraError&) {
    return;
  }
  Exercise(reader);
}

void RunMailboxFile(const uint8_t* data, size_t size) {
  std::string path = WriteScratch("mailbox", {reinterpret_cast<const char*>(data), size});
  KindOfPath(path);
  TMailbox box;
  if (!box.Load(path, okMailboxFile).Loaded) return;
  const TMailboxRule rule = dynamic_cast<TMailboxFileStore&>(*box.Store()).Rule();
  // Reading back by offset and by counting lines must give the same message.
  for (size_t i = 0; i < box.Entries().size() && i < 32; ++i) {
    const TMessageEntry& entry = box.Entries()[i];
    std::vector<std::string> counted;
    test::ReadMailboxMessage(path, counted, entry.Header.Size, entry.StartLine, rule);
    if (counted != box.LoadEntryLines(entry)) std::abort();
    std::string byOffset = box.GetEntryText(entry), joined;
    for (const auto& line : counted)
      joined += line + "\r\n";
    if (byOffset != joined || byOffset.rfind("From ", 0) != 0) std::abort();
  }
  if (rule == mrClassic && !box.Entries().empty() && box.Entries().size() <= 256)
    CheckClassicCover(box, path);
  ChangeAfterLoad(box, path, size);
}

void RunCompressedMailbox(const uint8_t* data, size_t size) {
  const std::string path = WriteScratch("mailbox.gz", {reinterpret_cast<const char*>(data), size});
  // What the file decompresses to, as far as a fuzz input should go.
  std::string plain;
  {
    TFileStream file(path);
    char head[6] = {};
    const TCompression compression =
        CompressionOfBytes(std::string_view(head, file.ReadUpTo(0, head, sizeof head)));
    if (compression == czNone) return; // a plain file: the mailbox target's
    TDecompressingInput input(file, compression);
    char buffer[4096];
    while (plain.size() < (16u << 20))
      if (const size_t got = input.Read(buffer, sizeof buffer))
        plain.append(buffer, got);
      else
        break;
    if (plain.size() >= (16u << 20)) return;
  }
  const std::string plainPath = WriteScratch("mailbox", plain);
  TMailbox box, unpacked;
  const bool loaded = box.Load(path, okMailboxFile).Loaded;
  if (loaded != unpacked.Load(plainPath, okMailboxFile).Loaded) std::abort();
  if (!loaded) return;
  if (box.Entries().size() != unpacked.Entries().size()) std::abort();
  // Every row reads as the plain file's does, the last first: reading goes back to the start.
  TReadPass pass(box);
  const size_t rows = std::min<size_t>(box.Entries().size(), 32);
  for (size_t i = rows; i-- > 0;) {
    const TMessageEntry& entry = box.Entries()[i];
    const TMessageEntry& same = unpacked.Entries()[i];
    if (entry.StartOffset != same.StartOffset || entry.Header.Size != same.Header.Size) std::abort();
    std::string lines, plainLines;
    box.ReadEntryText(entry, lines);
    unpacked.ReadEntryText(same, plainLines);
    if (lines != plainLines || box.StoredText(entry) != unpacked.StoredText(same)) std::abort();
  }
}

void RunEmlx(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const TEmlxMessage message = ParseEmlx(bytes);
  if (message.Begin > size || message.Size > size - message.Begin) std::abort();
  std::filesystem::create_directories(ScratchFolder() + "/emlx");
  WriteScratch("emlx/1.emlx", bytes);
  TMailbox box;
  if (!box.Load(ScratchFolder() + "/emlx", okMessageFolder).Loaded || box.Entries().size() != 1)
    std::abort();
  const TMessageEntry& entry = box.Entries()[0];
  if (box.StoredText(entry) != bytes.substr(message.Begin, message.Size)) std::abort();
  if (EntryFlags(entry) != message.Flags.value_or(0)) std::abort();
  TMailMessage parsed;
  box.Store()->ParseMessage(entry, parsed);
}

void RunOutlook(const uint8_t* data, size_t size) {
  if (size == 0) return;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] != 'p' && data[0] != 'm') {
    RtfToBody(DecompressRtf(bytes));
    RtfToBody(bytes);
    return;
  }
  const bool pst = data[0] == 'p';
  const std::string path = WriteScratch(pst ? "f.pst" : "f.msg", bytes);
  TMailbox box;
  if (!box.Load(path, pst ? okOEDatabase : okMessageFile).Loaded) return;
  for (const TMessageEntry& entry : box.Entries()) {
    try {
      TMailMessage parsed;
      box.Store()->ParseMessage(entry, parsed);
      parsed.FindBodies();
    } catch (const EPelloraError&) {
      // a clean error: the window shows it
    }
  }
}

void RunHeaderScanner(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  SplitTextLines(input, lines);
  std::vector<std::string> copy = lines;
  TEMLHeader header;
  ScanHeader(lines, header);
  // The streaming scanner must agree with the line-list one.
  THeaderScanner scanner;
  scanner.Reset();
  for (const auto& line : copy)
    scanner.Feed(line);
  TEMLHeader streamed;
  scanner.Finish(streamed);
  if (streamed.Subject != header.Subject || streamed.From != header.From ||
      streamed.Date != header.Date)
    std::abort();
  size_t newline = input.find('\n');
  std::string_view first = input.substr(0, newline);
  ScanMailDate(first);
  ScanDecodeWords(first);
}

void RunRowCache(const uint8_t* data, size_t size) {
  if (size == 0) return;
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string file =
      data[0] == 0 ? std::string(rest) : PackRowCache({"/mail/box", {1, 2, 3}, 4, 5}, rest);
  TRowCacheKey key;
  const bool keyRead = DecodeRowCacheKey(file, key);
  TRowCache cache;
  if (!DecodeRowCache(file, cache)) return;
  if (!keyRead || !(key == cache.Key)) std::abort();
  const std::string again = EncodeRowCache(cache, cache.Rows);
  TRowCache second;
  if (!DecodeRowCache(again, second) || EncodeRowCache(second, second.Rows) != again) std::abort();
}

} // namespace pellora::fuzz
