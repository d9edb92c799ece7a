// Recovery of an Outlook Express 5/6 database: what the file holds beyond what its index reaches.
//
// One pass over the file in large pieces looks at every position (the program aligns its blocks
// at 4 bytes; a damaged or rebuilt file need not) for
// - a message record: its first word is its own offset and its properties name a text chain;
// - a text block: capacity 0x200 and at most that many data bytes, of one of three sorts:
//   live (its first word is its own offset), moved (a chain copied elsewhere in the file as a
//   whole: every block's first word is its offset plus one distance, and its next-block links
//   speak of the same moved offsets), freed (its own offset, but no data bytes: the block is on
//   the free list, whose link took the first FreedLoss bytes of its data).
// Then, each block used once and the listed messages' records and chains left out: records not
// listed, with their chains (Recovered); live and moved chains no record reaches, from each
// block no other block links to (Recovered); freed blocks joined by their links where those lead
// to a freed block, else to the freed block right after, a block whose data stops short of its
// capacity ending the message (Deleted). The free list from the file header's word gives the
// order first, the freed blocks it does not reach follow in file order.
//
// Memory: the block headers seen (16 bytes each), the recovered rows, and the pass's buffer.
#include "stores/dbx_reader.h"

#include <algorithm>
#include <cstring>

namespace pellora {
namespace {

enum TBlockSort : uint8_t { bsLive, bsMoved, bsFreed };

struct TSeenBlock {
  uint32_t Pos;
  uint32_t Own;  // the offset the block gives itself
  uint32_t Next; // in the same terms as Own
  uint16_t Length; // data bytes up to the first zero byte (a freed block's after the lost ones)
  uint8_t Sort;
  uint8_t Ends : 1;    // a freed block whose data stops short: the message's last
  uint8_t Pointed : 1; // another block of its sort links to it
  uint8_t Used : 1;
};

} // namespace

std::string TDBXReader::LostMarker(uint32_t count) {
  return "[" + std::to_string(count) + " bytes lost]";
}

const std::vector<TDBXReader::TTextPiece>* TDBXReader::RecoveredPieces(int32_t index) const {
  const int64_t recovered = int64_t(index) - int64_t(FCount);
  if (recovered < 0 || static_cast<size_t>(recovered) >= FRecoveredPieces.size()) return nullptr;
  const auto& pieces = FRecoveredPieces[static_cast<size_t>(recovered)];
  return pieces.empty() ? nullptr : &pieces;
}

void TDBXReader::VisitPieces(const std::vector<TTextPiece>& pieces,
                             const TTextPieceVisitor& piece) {
  std::string text;
  for (const TTextPiece& p : pieces) {
    if (p.Lost > 0) text += LostMarker(p.Lost);
    const size_t before = text.size();
    text.resize(before + p.Length);
    const size_t got = FStream->ReadSomeAt(p.Offset, text.data() + before, p.Length);
    text.resize(before + strnlen(text.data() + before, got));
  }
  if (!text.empty()) piece(text);
}

void TDBXReader::RecoverMessages() {
  if (!FOpened || FHeader.size() < HeaderSize) return;
  const uint64_t size = FStream->Size();
  const uint64_t first = HeaderSize + FolderBlockSize;
  if (size > UINT32_MAX || size < first) return; // offsets are 32-bit

  std::vector<TSeenBlock> blocks; // live and freed, by position
  std::vector<TSeenBlock> moved;
  std::vector<uint32_t> records;
  std::unordered_set<uint32_t> listedRecords;
  for (uint32_t i = 0; i < FCount; ++i)
    if (FMessages[i].InfoOffset != 0) listedRecords.insert(FMessages[i].InfoOffset);

  // The pass: pieces of the file overlapping by a whole block, so that every header seen has
  // its data in the buffer.
  constexpr size_t Piece = 1 << 20;
  constexpr size_t Overlap = 16 + BlockCapacity;
  std::vector<char> buffer(Piece + Overlap);
  for (uint64_t base = first; base + 16 <= size; base += Piece) {
    const size_t got = FStream->ReadSomeAt(base, buffer.data(), buffer.size());
    const char* b = buffer.data();
    for (size_t at = 0; at < Piece && at + 16 <= got; ++at) {
      const auto* head = reinterpret_cast<const unsigned char*>(b + at);
      const uint32_t pos = static_cast<uint32_t>(base + at);
      const uint32_t own = GetU32(head);
      const uint32_t capacity = GetU32(head + 4);
      const uint32_t length = GetU32(head + 8);
      const uint32_t next = GetU32(head + 12);
      const size_t dataLeft = std::min<size_t>(got - at - 16, BlockCapacity);
      if (capacity == BlockCapacity && length <= BlockCapacity && own >= first) {
        TSeenBlock block{pos, own, next, 0, bsLive, 0, 0, 0};
        if (own == pos && length == 0) {
          block.Sort = bsFreed;
          const size_t data = dataLeft > FreedLoss ? dataLeft - FreedLoss : 0;
          block.Length = static_cast<uint16_t>(strnlen(b + at + 16 + FreedLoss, data));
          block.Ends = block.Length < BlockCapacity - FreedLoss;
          blocks.push_back(block);
        } else if (length > 0) {
          // Data that runs past the end of the file counts as far as the file goes.
          block.Length = static_cast<uint16_t>(strnlen(b + at + 16, std::min<size_t>(length, dataLeft)));
          if (own == pos) {
            blocks.push_back(block);
          } else if (next == 0 || next >= first) {
            block.Sort = bsMoved;
            moved.push_back(block);
          }
        }
        continue;
      }
      // A record: its own offset, then a body long enough for its properties.
      const uint16_t bodyLength = GetU16(head + 4);
      const unsigned count = head[0x0A];
      if (own == pos && count > 0 && 4u * count <= bodyLength && pos + 12ull + bodyLength <= size &&
          !listedRecords.count(pos))
        records.push_back(pos);
    }
  }

  auto findBlock = [&](uint32_t pos) -> TSeenBlock* {
    auto it = std::lower_bound(blocks.begin(), blocks.end(), pos,
                               [](const TSeenBlock& b, uint32_t p) { return b.Pos < p; });
    return it != blocks.end() && it->Pos == pos ? &*it : nullptr;
  };
  auto delta = [](const TSeenBlock& b) { return b.Own - b.Pos; };
  std::sort(moved.begin(), moved.end(), [&](const TSeenBlock& a, const TSeenBlock& b) {
    return delta(a) != delta(b) ? delta(a) < delta(b) : a.Own < b.Own;
  });
  auto findMoved = [&](uint32_t d, uint32_t own) -> TSeenBlock* {
    auto it = std::lower_bound(moved.begin(), moved.end(), std::make_pair(d, own),
                               [&](const TSeenBlock& b, std::pair<uint32_t, uint32_t> key) {
                                 return std::make_pair(delta(b), b.Own) < key;
                               });
    return it != moved.end() && delta(*it) == d && it->Own == own ? &*it : nullptr;
  };
  // The block of its sort a block links to; a live chain also takes an empty block (one that
  // looks freed) as its own.
  auto nextOf = [&](const TSeenBlock& b) -> TSeenBlock* {
    if (b.Next == 0) return nullptr;
    TSeenBlock* n = b.Sort == bsMoved ? findMoved(delta(b), b.Next) : findBlock(b.Next);
    if (n && n->Sort == bsFreed && b.Sort == bsLive) return n;
    return n && n->Sort == b.Sort ? n : nullptr;
  };
  for (TSeenBlock& b : blocks)
    if (b.Sort == bsLive)
      if (TSeenBlock* n = nextOf(b); n && n->Sort == bsLive) n->Pointed = 1;
  for (TSeenBlock& b : moved)
    if (TSeenBlock* n = nextOf(b)) n->Pointed = 1;

  // Marks a chain's blocks used; with pieces, gathers them. A block used before (a loop, or a
  // chain that runs into another) ends it.
  auto takeChain = [&](TSeenBlock* b, std::vector<TTextPiece>* pieces) {
    uint64_t total = 0;
    for (; b && !b->Used; b = nextOf(*b)) {
      b->Used = 1;
      if (b->Sort == bsFreed) continue; // no data of its own
      total += b->Length;
      if (pieces) pieces->push_back({b->Pos + 16, b->Length, 0});
    }
    return total;
  };
  for (uint32_t i = 0; i < FCount; ++i) takeChain(findBlock(FMessages[i].TextOffset), nullptr);

  auto addRow = [&](TMessageInfo&& info, TRowState state, std::vector<TTextPiece>&& pieces) {
    FMessages.push_back(std::move(info));
    FRecoveredStates.push_back(state);
    FRecoveredPieces.push_back(std::move(pieces));
  };
  TReadBudget budget;
  budget.RecordBytes = 2 * size;
  budget.Blocks = size / 16;
  for (uint32_t pos : records) {
    TMessageInfo info;
    ReadRecord(pos, info, budget);
    TSeenBlock* head = findBlock(info.TextOffset);
    if (!head || head->Sort != bsLive || head->Used || info.TextSize == 0) continue;
    takeChain(head, nullptr);
    addRow(std::move(info), rsRecovered, {});
  }
  auto addChain = [&](TSeenBlock& head, TRowState state) {
    std::vector<TTextPiece> pieces;
    const uint64_t total = takeChain(&head, &pieces);
    if (total == 0) return;
    TMessageInfo info;
    info.TextSize = static_cast<uint32_t>(total);
    addRow(std::move(info), state, std::move(pieces));
  };
  for (TSeenBlock& b : blocks)
    if (b.Sort == bsLive && !b.Pointed && !b.Used) addChain(b, rsRecovered);
  std::vector<char> data(BlockCapacity);
  for (TSeenBlock& b : moved) {
    if (b.Pointed || b.Used) continue;
    const size_t got = FStream->ReadSomeAt(b.Pos + 16, data.data(), b.Length);
    if (LooksLikeHeader(std::string_view(data.data(), got))) addChain(b, rsRecovered);
  }

  // Freed blocks: the free list's order first, then the file's.
  auto freedAt = [&](uint32_t pos) -> TSeenBlock* {
    TSeenBlock* b = findBlock(pos);
    return b && b->Sort == bsFreed && !b->Used ? b : nullptr;
  };
  auto addFreed = [&](TSeenBlock* b) {
    std::vector<TTextPiece> pieces;
    uint64_t total = 0;
    const uint64_t marker = LostMarker(FreedLoss).size();
    while (b) {
      b->Used = 1;
      pieces.push_back({b->Pos + 16 + FreedLoss, b->Length, FreedLoss});
      total += marker + b->Length;
      if (b->Ends) break;
      TSeenBlock* n = freedAt(b->Next);
      b = n ? n : freedAt(b->Pos + 16 + BlockCapacity);
    }
    TMessageInfo info;
    info.TextSize = static_cast<uint32_t>(std::min<uint64_t>(total, UINT32_MAX));
    addRow(std::move(info), rsDeleted, std::move(pieces));
  };
  std::unordered_set<uint32_t> listed; // a free list that loops ends where it began again
  for (uint32_t pos = GetU32(&FHeader[FreeListWord]); pos != 0 && listed.insert(pos).second;) {
    TSeenBlock* b = findBlock(pos);
    if (!b || b->Sort != bsFreed) break;
    const uint32_t next = b->Next;
    if (!b->Used) addFreed(b);
    pos = next;
  }
  for (TSeenBlock& b : blocks)
    if (b.Sort == bsFreed && !b.Used) addFreed(&b);
}

} // namespace pellora
