#pragma once
// Writers of store files from their documented layouts, for tests, fuzz seeds and benchmarks.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellora::test {

void PutU32(std::string& bytes, size_t offset, uint32_t value);
void PutU16(std::string& bytes, size_t offset, uint16_t value);
// A FILETIME of a UTC instant given as seconds since 1970.
uint64_t UnixToFileTime(int64_t seconds);

// One property of a DBX message record: direct (the value in the entry itself) or indirect
// (data in the record's data area).
struct TDbxProperty {
  uint8_t Id = 0;
  uint32_t Value = 0; // direct
  std::string Data;   // indirect
  static TDbxProperty Direct(uint8_t id, uint32_t value) { return {id, value, {}}; }
  static TDbxProperty U32(uint8_t id, uint32_t value);
  static TDbxProperty Text(uint8_t id, std::string_view text); // zero-terminated
  static TDbxProperty FileTime(uint8_t id, uint64_t fileTime);
};

struct TDbxEntry {
  uint32_t Record = 0;
  uint32_t Child = 0;
  uint32_t ChildCount = 0;
};

// A DBX file built piece by piece: add blocks, records and nodes (children before their
// parents, since a node stores its children's offsets), then Build.
class TDbxBuilder {
public:
  static constexpr size_t DataStart = 0x24BC + 0x220;

  TDbxBuilder();
  std::string FolderName = "Inbox";

  // A chain of text blocks holding the pieces in order; returns the first block's offset.
  uint32_t AddTextChain(const std::vector<std::string>& pieces, uint32_t capacity = 512);
  // The text cut into blocks of blockSize data bytes.
  uint32_t AddText(std::string_view text, size_t blockSize = 512);
  uint32_t AddRecord(const std::vector<TDbxProperty>& properties);
  uint32_t AddNode(uint32_t leftChild, uint32_t leftCount, const std::vector<TDbxEntry>& entries,
                   int storedEntryCount = -1);
  // A tree over the records in order; returns the root node's offset.
  uint32_t AddTree(const std::vector<uint32_t>& records);
  // Raw bytes at the end of the file (returns their offset).
  uint32_t AddBytes(std::string_view bytes);
  // Patches bytes already added.
  std::string& Bytes() { return FBytes; }

  std::string Build(uint32_t messageCount, uint32_t rootNode) const;

private:
  uint32_t AddTreeRange(const std::vector<uint32_t>& records, size_t lo, size_t hi);
  std::string FBytes;
};

// A simple message of a DBX built by BuildDbx.
struct TDbxTestMessage {
  std::string Text;
  std::string Subject;
  std::string From;
  std::string Sender;
  std::string ToNames;
  std::string ToAddresses;
  uint32_t Flags = 0x80; // read
  uint32_t Priority = 3;
  int64_t UnixTime = 0; // 0: no date property
};
// A whole database: one record and text chain per message, a tree over them.
std::string BuildDbx(const std::vector<TDbxTestMessage>& messages,
                     std::string_view folderName = "Inbox");

// An ".mbx" file: records of 16-byte header plus text, padded to recordSize when given.
struct TMbxTestRecord {
  std::string Text;
  uint32_t Number = 0;
  uint32_t RecordSize = 0;       // 0: 16 + text length
  int64_t TextSizeOverride = -1; // the length word written, when not the text's
};
std::string BuildMbx(const std::vector<TMbxTestRecord>& records, int64_t countOverride = -1);

struct TIdxTestEntry {
  uint32_t Flags = 0;
  uint32_t Ident = 0;
  uint32_t TextOffset = 0;
  uint32_t TextSize = 0;
  int64_t UnixTime = 0;
  uint16_t Priority = 3;
  std::string Texts[7]; // subject, to addresses, sender, extra1, -, -, extra2
};
std::string BuildIdx(const std::vector<TIdxTestEntry>& entries, int64_t countOverride = -1);

// A mailbox file message: the separator line, the marker line, then the message lines.
struct TMboxTestMessage {
  std::string Separator = "From - Mon Jan 01 10:00:00 2010";
  std::string Marker = "X-Mozilla-Status: 0001";
  std::vector<std::string> Lines;
};
std::string BuildMailbox(const std::vector<TMboxTestMessage>& messages,
                         std::string_view eol = "\n");

// An Apple Mail ".emlx" file: the message's byte count on a line, the message, then a property
// list with the flags (Apple Mail's bits: 1 read, 4 answered, 16 flagged, ...).
std::string BuildEmlx(std::string_view message, uint64_t flags);

} // namespace pellora::test
