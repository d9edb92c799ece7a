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
  int32_t GetMessageCount() override;
  void Open(const std::string& path) override;
  void ReadMessageInfos() override;

private:
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
  // Follows a text chain; stops at a block already visited, at a block that cannot be read,
  // once it has read as many bytes as the file holds, and, with headerOnly, once the header's
  // blank line has been read.
  std::string ReadChain(uint32_t offset, bool headerOnly);
  // A chain's first LongChain blocks are always counted; the blocks after them come out of the
  // budget, and once it is spent a chain counts no further.
  uint64_t ChainSize(uint32_t first, TReadBudget& budget);
  void StartChain();
  bool SeenBlock(uint32_t offset);

  std::vector<unsigned char> FHeader;
  std::vector<unsigned char> FFolderBlock;
  std::vector<uint32_t> FRecordOffsets;
  uint32_t FCount = 0; // the header's count, limited to what the file can hold
  std::vector<uint32_t> FChainSeen;
  std::unordered_set<uint32_t> FChainSeenMany;
};

} // namespace pellora
