#pragma once
#include "stores/oe_reader.h"

namespace pellora {

// One message record of an ".mbx" file.
struct TMBX_MessageInfo {
  uint32_t Word0 = 0;
  uint32_t Number = 0;
  uint32_t RecordSize = 0;
  uint32_t TextSize = 0;
  uint32_t TextOffset = 0;
  std::string HeaderText;
};

// Outlook Express 4 database: ".mbx" with its ".idx" beside it.
class TMBXReader : public TOEReader {
public:
  static constexpr size_t HeaderSize = 84;
  static constexpr size_t IndexHeaderSize = 80;
  static constexpr size_t IndexFixedSize = 212;

  std::string GetStoreName() override;
  std::string GetMessageHeader(int32_t index) override;
  std::string GetMessageText(int32_t index) override;
  int32_t GetMessageCount() override;
  void Open(const std::string& path) override;
  void ReadMessageInfos() override;
  // The records after those the header counts, as the file goes on: each where the one before
  // ends, or, past bytes that hold no record, the next that begins with the listed records'
  // first word and a header line.
  void RecoverMessages() override;

  // The ".idx" path that belongs to an ".mbx" path.
  static std::string IndexPath(const std::string& mbxPath);

private:
  // Whether a record begins at pos: its sizes fit each other and the file.
  bool RecordAt(uint64_t pos, TMBX_MessageInfo& record);
  std::string ReadHeaderText(uint64_t textOffset, uint32_t textSize);
  bool FillFromIndex(const std::string& indexPath);
  void FillFromHeaders();

  std::vector<unsigned char> FHeader;
  std::vector<TMBX_MessageInfo> FMBXMessages;
  uint32_t FCount = 0; // the header's count, limited to what the file can hold
};

} // namespace pellora
