#pragma once
#include "stores/oe_reader.h"

#include <unordered_map>
#include <unordered_set>

namespace pellora {

// Outlook Express 5/6 database (".dbx").
class TDBXReader : public TOEReader {
public:
  static constexpr size_t HeaderSize = 0x24BC;
  static constexpr size_t FolderBlockSize = 0x220;
  static constexpr size_t NodeSize = 0x27C;
  static constexpr int MaxNodeEntries = 51;

  std::string GetStoreName() override;
  std::string GetMessageHeader(int32_t index) override;
  std::string GetMessageText(int32_t index) override;
  // Block by block as the chain is read.
  void VisitMessageText(int32_t index, const TTextPieceVisitor& piece) override;
  int32_t GetMessageCount() override;
  void Open(const std::string& path) override;
  void ReadMessageInfos() override;
  // One pass over the file: message records and text chains no index entry reaches, chains whose
  // blocks all carry offsets moved by one distance, and freed text blocks (see dbx_recovery.cpp).
  void RecoverMessages() override;

  // Freed text blocks: the file header's word that starts their list, and the data bytes at the
  // start of each that the list's link took.
  static constexpr size_t FreeListWord = 0x48;
  static constexpr uint32_t FreedLoss = 4;
  static constexpr uint32_t BlockCapacity = 0x200;
  // What a recovered message shows where a freed block lost bytes.
  static std::string LostMarker(uint32_t count);

private:
  // A recovered message without a record is read piece by piece: Length data bytes at Offset,
  // after a marker of Lost bytes when Lost is not 0.
  struct TTextPiece {
    uint32_t Offset;
    uint16_t Length;
    uint16_t Lost;
  };
  // The pieces of a recovered row without a record; null for other rows.
  const std::vector<TTextPiece>* RecoveredPieces(int32_t index) const;
  void VisitPieces(const std::vector<TTextPiece>& pieces, const TTextPieceVisitor& piece);

  // What reading the records may still cost. In a sound file no two rows share a record or a
  // text block, and no two properties share their data, so all of them together fit in the
  // file; a damaged file that points many rows or properties at one long record or chain costs
  // no more than that either.
  struct TReadBudget {
    uint64_t RecordBytes = 0;
    uint64_t Blocks = 0;
    std::unordered_map<uint32_t, uint64_t> ChainSizes; // of long chains, by their first block
  };
  static constexpr size_t LongChain = 64; // blocks

  void WalkTree(uint32_t root);
  void ReadRecord(uint32_t offset, TMessageInfo& info, TReadBudget& budget);
  // Follows a text chain, calling piece with each block's data up to its first zero byte; stops
  // at a block already visited, at a block that cannot be read, once it has read as many bytes
  // as the file holds, and when piece returns false.
  // textSize, the chain's size as its record gives it, tells how much of the file to read ahead:
  // rows are read in the list's order, seldom in the file's. With gather, the data of
  // consecutive blocks is given together once it reaches that many bytes (and at the end).
  void VisitChain(uint32_t offset, uint64_t textSize, const TTextPieceVisitor& piece,
                  size_t gather = 0);
  // The chain's text; with headerOnly, up to the header's blank line (empty when there is none).
  std::string ReadChain(uint32_t offset, uint64_t textSize, bool headerOnly);
  // The record of a message with text; raises SNoText for one without.
  const TMessageInfo& TextRecordOf(int32_t index) const;
  // A chain's first LongChain blocks are always counted; the blocks after them come out of the
  // budget, and once it is spent a chain counts no further.
  uint64_t ChainSize(uint32_t first, TReadBudget& budget);
  void StartChain();
  bool SeenBlock(uint32_t offset);

  std::vector<unsigned char> FHeader;
  std::vector<unsigned char> FFolderBlock;
  std::vector<uint32_t> FRecordOffsets;
  std::vector<std::vector<TTextPiece>> FRecoveredPieces; // by recovered row
  uint32_t FCount = 0; // the header's count, limited to what the file can hold
  std::vector<char> FBlockData; // the data of the blocks given next
  std::vector<uint32_t> FChainSeen;
  std::unordered_set<uint32_t> FChainSeenMany;
};

} // namespace pellora
