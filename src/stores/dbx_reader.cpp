#include "stores/dbx_reader.h"

#include "platform/codepage.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace pellora {

void TDBXReader::Open(const std::string& path) {
  TOEReader::Open(path);
  FOpened = false;
  FRecordOffsets.clear();
  FMessages.clear();
  FRecoveredStates.clear();
  FRecoveredPieces.clear();
  FCount = 0;
  FHeader.assign(HeaderSize, 0);
  if (!FStream->ReadAt(0, FHeader.data(), HeaderSize)) FStream->RaiseReadError();
  if (GetU32(&FHeader[0x00]) != 0xFE12ADCF || GetU32(&FHeader[0x04]) != 0x6F74FDC5)
    throw EOEReaderException(SNotDbx);
  FOpened = true;
  uint32_t count = GetU32(&FHeader[0xC4]);
  if (count == 0) throw EOEReaderException(SNoMessage);
  FFolderBlock.assign(FolderBlockSize, 0);
  if (!FStream->ReadAt(HeaderSize, FFolderBlock.data(), FolderBlockSize)) FStream->RaiseReadError();
  // Every message needs a 12-byte record somewhere in the file: a damaged count beyond that
  // would only allocate rows that no record can fill.
  FCount = static_cast<uint32_t>(std::min<uint64_t>(count, FStream->Size() / 12));
  FRecordOffsets.assign(FCount, 0);
  WalkTree(GetU32(&FHeader[0xE4]));
}

// In-order walk with the slot positions the nodes' stored counts give. An explicit stack keeps
// deep trees off the call stack; each node is walked once, so a tree that leads back to a
// node already visited ends there.
void TDBXReader::WalkTree(uint32_t root) {
  struct TFrame {
    unsigned char node[NodeSize];
    uint64_t base;
    uint64_t k;
    int entry; // -1: leftmost child not yet done
    int entryCount;
    bool childPending; // the current entry's child has been walked; add its count next
  };
  std::unordered_set<uint32_t> visited;
  std::vector<TFrame> stack;
  auto push = [&](uint32_t offset, uint64_t base) {
    if (offset == 0 || !visited.insert(offset).second) return;
    TFrame frame;
    if (!FStream->ReadAt(offset, frame.node, NodeSize)) return;
    frame.base = base;
    frame.k = 0;
    frame.entry = -1;
    frame.entryCount = std::min<int>(frame.node[0x11], MaxNodeEntries);
    frame.childPending = false;
    stack.push_back(frame);
  };
  push(root, 0);
  while (!stack.empty()) {
    TFrame& f = stack.back();
    if (f.entry < 0) {
      f.entry = 0;
      uint32_t left = GetU32(&f.node[0x08]);
      if (left != 0) {
        f.k = GetU32(&f.node[0x14]);
        uint64_t base = f.base;
        push(left, base); // may reallocate: f is not used after this
        continue;
      }
      continue;
    }
    if (f.entry >= f.entryCount) {
      stack.pop_back();
      continue;
    }
    const unsigned char* e = &f.node[0x18 + 12 * f.entry];
    if (f.childPending) {
      f.childPending = false;
      f.k += GetU32(e + 8);
      ++f.entry;
      continue;
    }
    uint32_t record = GetU32(e);
    if (record != 0) {
      uint64_t slot = f.base + f.k;
      if (slot < FRecordOffsets.size()) FRecordOffsets[slot] = record;
      ++f.k;
    }
    uint32_t child = GetU32(e + 4);
    if (child != 0) {
      f.childPending = true;
      uint64_t base = f.base + f.k;
      push(child, base);
      continue;
    }
    ++f.entry;
  }
}

int32_t TDBXReader::GetMessageCount() {
  return FHeader.size() >= 0xC8 ? static_cast<int32_t>(FCount) : 0;
}

std::string TDBXReader::GetStoreName() {
  if (FFolderBlock.size() < FolderBlockSize) return {};
  const char* start = reinterpret_cast<const char*>(&FFolderBlock[261]);
  size_t limit = FolderBlockSize - 261;
  return UndeclaredToAnsi(std::string_view(start, strnlen(start, limit)));
}

void TDBXReader::ReadMessageInfos() {
  if (!FOpened) return;
  FMessages.assign(FCount, TMessageInfo());
  TReadBudget budget;
  budget.RecordBytes = 2 * FStream->Size(); // the bodies, and the texts taken from them
  budget.Blocks = FStream->Size() / 16;
  for (size_t i = 0; i < FMessages.size(); ++i)
    ReadRecord(FRecordOffsets[i], FMessages[i], budget);
}

void TDBXReader::ReadRecord(uint32_t offset, TMessageInfo& info, TReadBudget& budget) {
  info = TMessageInfo();
  info.InfoOffset = offset;
  if (offset == 0) return;
  unsigned char head[12];
  if (!FStream->ReadAt(offset, head, 12)) return;
  uint16_t length = GetU16(&head[0x04]);
  unsigned count = head[0x0A];
  if (length > budget.RecordBytes) return; // more record bytes than the file holds: damage
  budget.RecordBytes -= length;
  std::vector<unsigned char> body(length);
  if (!FStream->ReadAt(uint64_t(offset) + 12, body.data(), length)) return;
  const size_t dataStart = 4 * size_t(count);
  auto u32At = [&](size_t pos, uint32_t& value) {
    if (pos + 4 > body.size()) return false;
    value = GetU32(&body[pos]);
    return true;
  };
  auto textAt = [&](size_t pos, std::string& value) {
    if (pos >= body.size()) return;
    const char* p = reinterpret_cast<const char*>(&body[pos]);
    size_t n = strnlen(p, std::min<uint64_t>(body.size() - pos, budget.RecordBytes));
    budget.RecordBytes -= n;
    value.assign(p, n);
  };
  for (unsigned i = 0; i < count && 4 * size_t(i) + 4 <= body.size(); ++i) {
    unsigned id = body[4 * i];
    uint32_t v = body[4 * i + 1] | body[4 * i + 2] << 8 | uint32_t(body[4 * i + 3]) << 16;
    size_t pos = dataStart + v;
    switch (id) {
    case 0x01:
      u32At(pos, info.Flags);
      break;
    case 0x81:
      info.Flags = v;
      break;
    case 0x04:
      u32At(pos, info.TextOffset);
      break;
    case 0x84:
      info.TextOffset = v;
      break;
    case 0x07:
      textAt(pos, info.Ident);
      break;
    case 0x08:
      textAt(pos, info.Subject);
      break;
    case 0x0C:
      textAt(pos, info.Extra1);
      break;
    case 0x0D:
      textAt(pos, info.From);
      break;
    case 0x0E:
      textAt(pos, info.Sender);
      break;
    case 0x10: {
      uint32_t p;
      if (u32At(pos, p)) info.Priority = static_cast<int32_t>(p);
      break;
    }
    case 0x90:
      info.Priority = static_cast<int32_t>(v);
      break;
    case 0x12:
      if (pos + 8 <= body.size())
        info.Date = FileTimeToDateTime(GetU32(&body[pos]), GetU32(&body[pos + 4]), FLocalTime);
      break;
    case 0x13:
      textAt(pos, info.ToNames);
      break;
    case 0x14:
      textAt(pos, info.ToAddresses);
      break;
    case 0x1A:
      textAt(pos, info.Extra2);
      break;
    case 0x80:
      info.Number = static_cast<int32_t>(v);
      break;
    default:
      break;
    }
  }
  uint64_t size = ChainSize(info.TextOffset, budget);
  info.TextSize = static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX));
}

// True when the chain being followed has already passed offset (a loop in a damaged file).
// Chains are short: a list serves them; a long one moves to a hash set.
bool TDBXReader::SeenBlock(uint32_t offset) {
  if (FChainSeen.size() < 64) {
    if (std::find(FChainSeen.begin(), FChainSeen.end(), offset) != FChainSeen.end()) return true;
    FChainSeen.push_back(offset);
    if (FChainSeen.size() == 64) FChainSeenMany.insert(FChainSeen.begin(), FChainSeen.end());
    return false;
  }
  return !FChainSeenMany.insert(offset).second;
}

void TDBXReader::StartChain() {
  FChainSeen.clear();
  // A new set, not clear(): clearing keeps a long chain's buckets and wipes them every time.
  if (!FChainSeenMany.empty()) FChainSeenMany = std::unordered_set<uint32_t>();
}

uint64_t TDBXReader::ChainSize(uint32_t first, TReadBudget& budget) {
  if (first == 0) return 0;
  if (!budget.ChainSizes.empty()) {
    auto known = budget.ChainSizes.find(first);
    if (known != budget.ChainSizes.end()) return known->second;
  }
  uint64_t total = 0;
  size_t blocks = 0;
  StartChain();
  for (uint32_t offset = first; offset != 0; ++blocks) {
    if (blocks >= LongChain) {
      if (budget.Blocks == 0) break;
      --budget.Blocks;
    }
    if (SeenBlock(offset)) break;
    unsigned char head[16];
    if (!FStream->ReadAt(offset, head, 16)) break;
    // Data that would run past the end of the file counts only as far as the file goes.
    uint64_t left = FStream->Size() - (uint64_t(offset) + 16);
    total += std::min<uint64_t>(GetU32(&head[0x08]), left);
    offset = GetU32(&head[0x0C]);
  }
  // Walking a short chain again costs little; a long one is remembered.
  if (blocks >= LongChain) budget.ChainSizes.emplace(first, total);
  return total;
}

void TDBXReader::VisitChain(uint32_t offset, uint64_t textSize, const TTextPieceVisitor& piece,
                            size_t gather) {
  // Blocks that overlap (damage) could read the file many times over.
  uint64_t unread = FStream->Size();
  // A chain's blocks mostly follow one another: its data, their heads and a little more.
  auto ahead = static_cast<size_t>(std::min<uint64_t>(textSize + textSize / 16 + 1024, SIZE_MAX));
  size_t gathered = 0; // bytes of FBlockData not yet given
  StartChain();
  while (offset != 0 && unread > 0) {
    if (SeenBlock(offset)) break;
    unsigned char head[16];
    if (!FStream->ReadAt(offset, head, 16, ahead)) break;
    uint64_t left = std::min(FStream->Size() - (uint64_t(offset) + 16), unread);
    size_t count = static_cast<size_t>(std::min<uint64_t>(GetU32(&head[0x08]), left));
    unread -= count;
    if (FBlockData.size() < gathered + count) FBlockData.resize(gathered + count);
    char* data = FBlockData.data() + gathered;
    if (!FStream->ReadAt(uint64_t(offset) + 16, data, count, ahead)) break;
    if (count > 0) gathered += strnlen(data, count); // an empty block may have no buffer
    if (gathered > 0 && gathered >= gather) {
      if (!piece(std::string_view(FBlockData.data(), gathered))) return;
      gathered = 0;
    }
    offset = GetU32(&head[0x0C]);
  }
  if (gathered > 0) piece(std::string_view(FBlockData.data(), gathered));
}

std::string TDBXReader::ReadChain(uint32_t offset, uint64_t textSize, bool headerOnly) {
  std::string result;
  bool blankFound = false;
  VisitChain(offset, textSize, [&](std::string_view piece) {
    size_t before = result.size();
    result += piece;
    if (!headerOnly) return true;
    size_t from = before >= 3 ? before - 3 : 0;
    size_t blank = result.find("\r\n\r\n", from);
    if (blank == std::string::npos) return true;
    result.resize(blank + 1);
    blankFound = true;
    return false;
  });
  return headerOnly && !blankFound ? std::string() : result;
}

const TMessageInfo& TDBXReader::TextRecordOf(int32_t index) const {
  // The record itself, not a copy of it with all its texts.
  const bool known = index >= 0 && static_cast<size_t>(index) < FMessages.size();
  if (!known || FMessages[static_cast<size_t>(index)].TextSize == 0)
    throw EOEReaderException(SNoText);
  return FMessages[static_cast<size_t>(index)];
}

std::string TDBXReader::GetMessageText(int32_t index) {
  if (const auto* pieces = RecoveredPieces(index)) {
    std::string text;
    VisitPieces(*pieces, [&](std::string_view piece) {
      text += piece;
      return true;
    });
    return text;
  }
  const TMessageInfo& info = TextRecordOf(index);
  return ReadChain(info.TextOffset, info.TextSize, false);
}

void TDBXReader::VisitMessageText(int32_t index, const TTextPieceVisitor& piece) {
  if (const auto* pieces = RecoveredPieces(index)) return VisitPieces(*pieces, piece);
  const TMessageInfo& info = TextRecordOf(index);
  VisitChain(info.TextOffset, info.TextSize, piece, 64 * 1024);
}

std::string TDBXReader::GetMessageHeader(int32_t index) {
  if (RecoveredPieces(index)) {
    std::string text = GetMessageText(index);
    size_t blank = text.find("\r\n\r\n");
    return blank == std::string::npos ? std::string() : text.substr(0, blank + 1);
  }
  const TMessageInfo& info = TextRecordOf(index);
  return ReadChain(info.TextOffset, info.TextSize, true);
}

} // namespace pellora
