#include "stores/mbx_reader.h"

#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "stores/message_entry.h"

#include <algorithm>
#include <cstring>

namespace pellora {
namespace {

// Bytes up to the first zero byte.
std::string UpToZero(const char* data, size_t count) {
  return std::string(data, strnlen(data, count));
}

} // namespace

std::string TMBXReader::IndexPath(const std::string& mbxPath) {
  std::string ext = ExtractFileExt(mbxPath);
  return mbxPath.substr(0, mbxPath.size() - ext.size()) + ".idx";
}

void TMBXReader::Open(const std::string& path) {
  TOEReader::Open(path);
  FOpened = false;
  FMBXMessages.clear();
  FMessages.clear();
  FRecoveredStates.clear();
  FCount = 0;
  FHeader.assign(HeaderSize, 0);
  if (!FStream->ReadAt(0, FHeader.data(), HeaderSize)) FStream->RaiseReadError();
  if (GetU32(&FHeader[0]) != 0x36464D4A) throw EOEReaderException(SNotMbx);
  FOpened = true;
  uint32_t count = GetU32(&FHeader[8]);
  if (count == 0) throw EOEReaderException(SNoMessage);
  // A record takes at least its 16-byte header: a larger count than the file can hold only
  // comes from damage.
  FCount = static_cast<uint32_t>(
      std::min<uint64_t>(count, std::max<uint64_t>(1, (FStream->Size() - HeaderSize) / 16)));
  uint64_t p = 100;
  for (uint32_t i = 0; i < FCount; ++i) {
    unsigned char head[16];
    if (!FStream->ReadAt(p - 16, head, 16)) break;
    TMBX_MessageInfo record;
    record.Word0 = GetU32(&head[0]);
    record.Number = GetU32(&head[4]);
    record.RecordSize = GetU32(&head[8]);
    record.TextSize = GetU32(&head[12]);
    record.TextOffset = static_cast<uint32_t>(p);
    // A text runs no further than its record: a record that claims more (damage) would read
    // every later record again.
    uint32_t extent = record.TextSize;
    if (record.RecordSize >= 16) extent = std::min(extent, record.RecordSize - 16);
    record.HeaderText = ReadHeaderText(p, extent);
    FMBXMessages.push_back(std::move(record));
    // A record too small for its own header would be read again and again.
    if (FMBXMessages.back().RecordSize < 16) break;
    p += FMBXMessages.back().RecordSize;
    if (p > UINT32_MAX) break; // offsets are 32-bit
  }
}

// The header part of a message's text: read in pieces of 1 KiB until the blank line shows.
// A text length of 0 gives an empty header (the message then has no text to open), and the
// pieces stay inside the message and the file.
std::string TMBXReader::ReadHeaderText(uint64_t textOffset, uint32_t textSize) {
  std::string result;
  char piece[1024];
  uint64_t done = 0;
  size_t blank = std::string::npos;
  while (done < textSize && blank == std::string::npos) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof piece, textSize - done));
    size_t got = FStream->ReadSomeAt(textOffset + done, piece, want);
    size_t before = result.size();
    result += UpToZero(piece, got);
    // Only the new piece and the three bytes before it can complete the blank line.
    blank = result.find("\r\n\r\n", before >= 3 ? before - 3 : 0);
    if (got < want) break;
    done += want;
  }
  if (blank == std::string::npos) return {};
  result.resize(blank + 1);
  return result;
}

int32_t TMBXReader::GetMessageCount() {
  return static_cast<int32_t>(FCount);
}

std::string TMBXReader::GetStoreName() {
  std::string name = ExtractFileName(FFileName);
  std::string ext = ExtractFileExt(name);
  return Utf8ToAnsi(name.substr(0, name.size() - ext.size())); // a path's name is UTF-8
}

std::string TMBXReader::GetMessageHeader(int32_t index) {
  if (index < 0 || static_cast<size_t>(index) >= FMBXMessages.size()) return {};
  return FMBXMessages[static_cast<size_t>(index)].HeaderText;
}

std::string TMBXReader::GetMessageText(int32_t index) {
  TMBX_MessageInfo empty;
  const TMBX_MessageInfo& record = index >= 0 && static_cast<size_t>(index) < FMBXMessages.size()
                                       ? FMBXMessages[static_cast<size_t>(index)]
                                       : empty;
  if (record.TextSize == 0) throw EOEReaderException(SNoText);
  if (record.TextOffset == 0) return {};
  if (record.TextSize > FStream->Size()) FStream->RaiseReadError();
  std::string text(record.TextSize, '\0');
  if (!FStream->ReadAt(record.TextOffset, text.data(), text.size())) FStream->RaiseReadError();
  text.resize(strnlen(text.data(), text.size()));
  return text;
}

void TMBXReader::ReadMessageInfos() {
  if (!FOpened) return;
  FMessages.assign(FCount, TMessageInfo());
  std::string indexPath = IndexPath(FFileName);
  if (FileExists(indexPath))
    FillFromIndex(indexPath);
  else
    FillFromHeaders();
}

bool TMBXReader::FillFromIndex(const std::string& indexPath) {
  std::string data;
  try {
    data = ReadWholeFile(indexPath);
  } catch (const std::exception&) {
    return false; // an unreadable index leaves the rows empty, without a message
  }
  auto u32 = [&](uint64_t pos, uint32_t& value) {
    if (pos + 4 > data.size()) return false;
    value = GetU32(&data[pos]);
    return true;
  };
  uint32_t signature, count;
  if (!u32(0, signature) || signature != 0x39464D4A || !u32(8, count)) return false;
  if (data.size() < IndexHeaderSize) return false;
  uint64_t pos = IndexHeaderSize;
  size_t limit = std::min<size_t>(count, FMBXMessages.size());
  // Entries of a sound index do not overlap: all of them fit in the file. Entries that lead
  // back into each other (damage) stop once they have taken that much.
  uint64_t unread = data.size();
  for (size_t i = 0; i < limit; ++i) {
    TMessageInfo& info = FMessages[i];
    info.InfoOffset = static_cast<uint32_t>(pos);
    if (pos + IndexFixedSize > data.size() || IndexFixedSize > unread) return false;
    unread -= IndexFixedSize;
    const char* fixed = &data[pos];
    info.Flags = GetU32(fixed + 0x00);
    info.Ident = std::to_string(GetU32(fixed + 0x08));
    uint64_t next = uint64_t(GetU32(fixed + 0x0C)) + GetU32(fixed + 0x10);
    info.TextOffset = GetU32(fixed + 0x14);
    info.TextSize = GetU32(fixed + 0x18);
    info.Date = FileTimeToDateTime(GetU32(fixed + 0xC2), GetU32(fixed + 0xC6), FLocalTime);
    info.Priority = GetU16(fixed + 0xD2);
    uint64_t textPos = pos + IndexFixedSize;
    for (int t = 1; t <= 7; ++t) {
      uint32_t length;
      if (!u32(textPos, length)) return false;
      textPos += 4;
      // A length past the end of the file is cut to what the file holds; the filling then
      // stops at the next read.
      size_t n = static_cast<size_t>(std::min<uint64_t>(length, data.size() - textPos));
      if (n > unread) return false;
      unread -= n;
      std::string text = UpToZero(&data[textPos], n);
      textPos += n;
      switch (t) {
      case 1:
        info.Subject = std::move(text);
        break;
      case 2:
        info.ToAddresses = std::move(text);
        break;
      case 3:
        info.Sender = std::move(text);
        break;
      case 4:
        info.Extra1 = std::move(text);
        break;
      case 7:
        info.Extra2 = std::move(text);
        break;
      default:
        break;
      }
      if (n < length) return false;
    }
    pos = next;
  }
  return true;
}

bool TMBXReader::RecordAt(uint64_t pos, TMBX_MessageInfo& record) {
  unsigned char head[16];
  if (pos + 16 > UINT32_MAX || !FStream->ReadAt(pos, head, 16, 64 * 1024)) return false;
  record.Word0 = GetU32(&head[0]);
  record.Number = GetU32(&head[4]);
  record.RecordSize = GetU32(&head[8]);
  record.TextSize = GetU32(&head[12]);
  record.TextOffset = static_cast<uint32_t>(pos + 16);
  return record.TextSize > 0 && uint64_t(record.TextSize) + 16 <= record.RecordSize &&
         pos + record.RecordSize <= FStream->Size();
}

void TMBXReader::RecoverMessages() {
  if (!FOpened || FMBXMessages.empty()) return;
  const uint32_t signature = FMBXMessages.front().Word0;
  const TMBX_MessageInfo& last = FMBXMessages.back();
  uint64_t pos = uint64_t(last.TextOffset) - 16 + std::max<uint32_t>(last.RecordSize, 16);
  bool following = FMBXMessages.size() == FCount; // right after a record
  // Rows are matched by position: the recovered ones follow every counted row.
  FMBXMessages.resize(FCount);
  while (pos + 16 <= FStream->Size()) {
    TMBX_MessageInfo record;
    if (!RecordAt(pos, record) || record.Word0 != signature) {
      following = false;
      ++pos;
      continue;
    }
    record.HeaderText = ReadHeaderText(record.TextOffset, record.TextSize);
    if (!following && !LooksLikeHeader(record.HeaderText)) {
      ++pos;
      continue;
    }
    TMessageInfo info;
    info.TextOffset = record.TextOffset;
    info.TextSize = record.TextSize;
    pos += record.RecordSize;
    following = true;
    FMBXMessages.push_back(std::move(record));
    FMessages.push_back(std::move(info));
    FRecoveredStates.push_back(rsRecovered);
  }
}

void TMBXReader::FillFromHeaders() {
  for (size_t i = 0; i < FMBXMessages.size() && i < FMessages.size(); ++i) {
    const TMBX_MessageInfo& record = FMBXMessages[i];
    TMessageInfo& info = FMessages[i];
    // Values are trimmed: "Date:12 Jan 2010" and "Date: 12 Jan 2010" give the same date.
    ForEachLine(record.HeaderText, [&](std::string_view line) {
      if (StartsWithUpper(line, "FROM:"))
        info.From = TrimControls(line.substr(5));
      else if (StartsWithUpper(line, "SUBJECT:"))
        info.Subject = TrimControls(line.substr(8));
      else if (StartsWithUpper(line, "DATE:"))
        info.DateText = TrimControls(line.substr(5));
    });
    info.Number = static_cast<int32_t>(i);
    info.Flags = mfRead;
    info.TextOffset = record.TextOffset;
    info.Ident = std::to_string(record.Number);
    info.TextSize = record.TextSize;
    info.Date = 0;
    info.InfoOffset = 0;
  }
}

} // namespace pellora
