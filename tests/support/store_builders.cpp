#include "support/store_builders.h"

#include <algorithm>

namespace pellora::test {

void PutU32(std::string& bytes, size_t offset, uint32_t value) {
  if (bytes.size() < offset + 4) bytes.resize(offset + 4, '\0');
  for (int i = 0; i < 4; ++i)
    bytes[offset + i] = static_cast<char>(value >> (8 * i));
}

void PutU16(std::string& bytes, size_t offset, uint16_t value) {
  if (bytes.size() < offset + 2) bytes.resize(offset + 2, '\0');
  bytes[offset] = static_cast<char>(value);
  bytes[offset + 1] = static_cast<char>(value >> 8);
}

uint64_t UnixToFileTime(int64_t seconds) {
  return static_cast<uint64_t>(seconds + 11644473600LL) * 10000000ULL;
}

TDbxProperty TDbxProperty::U32(uint8_t id, uint32_t value) {
  std::string data;
  PutU32(data, 0, value);
  return {id, 0, data};
}

TDbxProperty TDbxProperty::Text(uint8_t id, std::string_view text) {
  std::string data(text);
  data += '\0';
  return {id, 0, data};
}

TDbxProperty TDbxProperty::FileTime(uint8_t id, uint64_t fileTime) {
  std::string data;
  PutU32(data, 0, static_cast<uint32_t>(fileTime));
  PutU32(data, 4, static_cast<uint32_t>(fileTime >> 32));
  return {id, 0, data};
}

TDbxBuilder::TDbxBuilder() : FBytes(DataStart, '\0') {}

uint32_t TDbxBuilder::AddBytes(std::string_view bytes) {
  auto offset = static_cast<uint32_t>(FBytes.size());
  FBytes += bytes;
  return offset;
}

uint32_t TDbxBuilder::AddTextChain(const std::vector<std::string>& pieces, uint32_t capacity) {
  if (pieces.empty()) return 0;
  // Blocks are laid out one after another; each points at the next.
  std::vector<uint32_t> offsets;
  uint32_t at = static_cast<uint32_t>(FBytes.size());
  for (const auto& piece : pieces) {
    offsets.push_back(at);
    at += 16 + std::max<uint32_t>(capacity, static_cast<uint32_t>(piece.size()));
  }
  for (size_t i = 0; i < pieces.size(); ++i) {
    std::string block(16, '\0');
    uint32_t size = std::max<uint32_t>(capacity, static_cast<uint32_t>(pieces[i].size()));
    PutU32(block, 0, offsets[i]);
    PutU32(block, 4, size);
    PutU32(block, 8, static_cast<uint32_t>(pieces[i].size()));
    PutU32(block, 12, i + 1 < pieces.size() ? offsets[i + 1] : 0);
    block += pieces[i];
    block.resize(16 + size, '\0');
    FBytes += block;
  }
  return offsets[0];
}

uint32_t TDbxBuilder::AddText(std::string_view text, size_t blockSize) {
  std::vector<std::string> pieces;
  for (size_t i = 0; i < text.size(); i += blockSize)
    pieces.emplace_back(text.substr(i, blockSize));
  return AddTextChain(pieces, static_cast<uint32_t>(blockSize));
}

uint32_t TDbxBuilder::AddRecord(const std::vector<TDbxProperty>& properties) {
  std::string entries, data;
  for (const auto& p : properties) {
    uint32_t value = p.Id & 0x80 ? p.Value : static_cast<uint32_t>(data.size());
    entries += static_cast<char>(p.Id);
    entries += static_cast<char>(value);
    entries += static_cast<char>(value >> 8);
    entries += static_cast<char>(value >> 16);
    if (!(p.Id & 0x80)) data += p.Data;
  }
  std::string body = entries + data;
  auto offset = static_cast<uint32_t>(FBytes.size());
  std::string head(12, '\0');
  PutU32(head, 0, offset);
  PutU16(head, 4, static_cast<uint16_t>(body.size()));
  head[0x0A] = static_cast<char>(properties.size());
  head[0x0B] = 1;
  FBytes += head + body;
  return offset;
}

uint32_t TDbxBuilder::AddNode(uint32_t leftChild, uint32_t leftCount,
                              const std::vector<TDbxEntry>& entries, int storedEntryCount) {
  std::string node(0x27C, '\0');
  auto offset = static_cast<uint32_t>(FBytes.size());
  PutU32(node, 0, offset);
  PutU32(node, 0x08, leftChild);
  node[0x11] = static_cast<char>(storedEntryCount >= 0 ? storedEntryCount : entries.size());
  PutU32(node, 0x14, leftCount);
  for (size_t i = 0; i < entries.size() && i < 51; ++i) {
    PutU32(node, 0x18 + 12 * i, entries[i].Record);
    PutU32(node, 0x18 + 12 * i + 4, entries[i].Child);
    PutU32(node, 0x18 + 12 * i + 8, entries[i].ChildCount);
  }
  node.resize(0x27C);
  FBytes += node;
  return offset;
}

uint32_t TDbxBuilder::AddTreeRange(const std::vector<uint32_t>& records, size_t lo, size_t hi) {
  size_t n = hi - lo;
  if (n == 0) return 0;
  if (n <= 51) {
    std::vector<TDbxEntry> entries;
    for (size_t i = lo; i < hi; ++i)
      entries.push_back({records[i], 0, 0});
    return AddNode(0, 0, entries);
  }
  // 50 entries in this node, the rest spread over 51 subtrees around them.
  size_t rest = n - 50, chunk = rest / 51, extra = rest % 51;
  size_t at = lo;
  auto take = [&](size_t k) {
    size_t size = chunk + (k < extra ? 1 : 0);
    uint32_t child = AddTreeRange(records, at, at + size);
    at += size;
    return std::pair<uint32_t, uint32_t>(child, static_cast<uint32_t>(size));
  };
  auto [left, leftCount] = take(0);
  std::vector<TDbxEntry> entries;
  for (size_t k = 1; k <= 50; ++k) {
    uint32_t record = records[at++];
    auto [child, count] = take(k);
    entries.push_back({record, child, count});
  }
  return AddNode(left, leftCount, entries);
}

uint32_t TDbxBuilder::AddTree(const std::vector<uint32_t>& records) {
  return AddTreeRange(records, 0, records.size());
}

std::string TDbxBuilder::Build(uint32_t messageCount, uint32_t rootNode) const {
  std::string bytes = FBytes;
  // The four signature words of a message database as real files carry them.
  PutU32(bytes, 0x00, 0xFE12ADCF);
  PutU32(bytes, 0x04, 0x6F74FDC5);
  PutU32(bytes, 0x08, 0x11D1E366);
  PutU32(bytes, 0x0C, 0xC0004E9A);
  PutU32(bytes, 0xC4, messageCount);
  PutU32(bytes, 0xE4, rootNode);
  std::string name = FolderName.substr(0, 0x220 - 261 - 1);
  std::copy(name.begin(), name.end(), bytes.begin() + 0x24BC + 261);
  return bytes;
}

std::string BuildDbx(const std::vector<TDbxTestMessage>& messages, std::string_view folderName) {
  TDbxBuilder builder;
  builder.FolderName = folderName;
  std::vector<uint32_t> records;
  uint32_t number = 1;
  for (const auto& m : messages) {
    uint32_t text = builder.AddText(m.Text);
    std::vector<TDbxProperty> props = {
        TDbxProperty::Direct(0x80, number++),
        TDbxProperty::U32(0x01, m.Flags),
        // A direct value holds 24 bits: later offsets go indirect.
        text < 0x1000000 ? TDbxProperty::Direct(0x84, text) : TDbxProperty::U32(0x04, text),
        TDbxProperty::Text(0x07, std::to_string(number) + "@id"),
        TDbxProperty::Text(0x08, m.Subject),
        TDbxProperty::Text(0x0D, m.From),
        TDbxProperty::Text(0x0E, m.Sender),
        TDbxProperty::Direct(0x90, m.Priority),
        TDbxProperty::Text(0x13, m.ToNames),
        TDbxProperty::Text(0x14, m.ToAddresses),
    };
    if (m.UnixTime != 0) props.push_back(TDbxProperty::FileTime(0x12, UnixToFileTime(m.UnixTime)));
    records.push_back(builder.AddRecord(props));
  }
  uint32_t root = builder.AddTree(records);
  return builder.Build(static_cast<uint32_t>(messages.size()), root);
}

std::string BuildMbx(const std::vector<TMbxTestRecord>& records, int64_t countOverride) {
  std::string bytes(84, '\0');
  PutU32(bytes, 0, 0x36464D4A);
  PutU32(bytes, 8, static_cast<uint32_t>(countOverride >= 0 ? countOverride : records.size()));
  for (const auto& r : records) {
    uint32_t size = r.RecordSize ? r.RecordSize : static_cast<uint32_t>(16 + r.Text.size());
    std::string record(16, '\0');
    PutU32(record, 4, r.Number);
    PutU32(record, 8, size);
    PutU32(record, 12,
           static_cast<uint32_t>(r.TextSizeOverride >= 0 ? r.TextSizeOverride : r.Text.size()));
    record += r.Text;
    if (record.size() < size) record.resize(size, '\0');
    bytes += record;
  }
  return bytes;
}

std::string BuildIdx(const std::vector<TIdxTestEntry>& entries, int64_t countOverride) {
  std::string bytes(80, '\0');
  PutU32(bytes, 0, 0x39464D4A);
  PutU32(bytes, 8, static_cast<uint32_t>(countOverride >= 0 ? countOverride : entries.size()));
  for (const auto& e : entries) {
    auto offset = static_cast<uint32_t>(bytes.size());
    std::string entry(212, '\0');
    PutU32(entry, 0x00, e.Flags);
    PutU32(entry, 0x08, e.Ident);
    PutU32(entry, 0x14, e.TextOffset);
    PutU32(entry, 0x18, e.TextSize);
    if (e.UnixTime != 0) {
      uint64_t ft = UnixToFileTime(e.UnixTime);
      PutU32(entry, 0xC2, static_cast<uint32_t>(ft));
      PutU32(entry, 0xC6, static_cast<uint32_t>(ft >> 32));
    }
    PutU16(entry, 0xD2, e.Priority);
    for (const auto& text : e.Texts) {
      std::string t = text;
      if (!t.empty()) t += '\0';
      std::string length;
      PutU32(length, 0, static_cast<uint32_t>(t.size()));
      entry += length + t;
    }
    // The next entry's position is the sum of the words at 0x0C and 0x10.
    PutU32(entry, 0x0C, offset);
    PutU32(entry, 0x10, static_cast<uint32_t>(entry.size()));
    bytes += entry;
  }
  return bytes;
}

std::string BuildMailbox(const std::vector<TMboxTestMessage>& messages, std::string_view eol) {
  std::string bytes;
  for (const auto& m : messages) {
    bytes += m.Separator;
    bytes += eol;
    if (!m.Marker.empty()) {
      bytes += m.Marker;
      bytes += eol;
    }
    for (const auto& line : m.Lines) {
      bytes += line;
      bytes += eol;
    }
  }
  return bytes;
}

std::string BuildEmlx(std::string_view message, uint64_t flags) {
  return std::to_string(message.size()) + "\n" + std::string(message) +
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n<dict>\n\t<key>date-received</key>\n\t<integer>1262340000</integer>\n"
         "\t<key>flags</key>\n\t<integer>" + std::to_string(flags) + "</integer>\n"
         "\t<key>remote-id</key>\n\t<string>42</string>\n</dict>\n</plist>\n";
}

} // namespace pellora::test
