#include "stores/kinds/compressed_mailbox_store.h"

#include "platform/files.h"
#include "platform/pellora_error.h"

namespace pellora {

std::string TCompressedMailboxStore::ExportName(const TMessageEntry& first) const {
  const std::string name = ExtractFileName(first.Path);
  return name.substr(0, name.size() - CompressionExtensionSize(name));
}

TCompression TCompressedMailboxStore::CompressionOfFile(const TFileStream& file) {
  char head[6] = {};
  return CompressionOfBytes(std::string_view(head, file.ReadUpTo(0, head, sizeof head)));
}

bool TCompressedMailboxStore::ClaimsFile(const std::string& path) {
  try {
    return CompressionOfFile(TFileStream(path)) != czNone;
  } catch (const EPelloraError&) {
    return false; // the plain file's load says what is wrong
  }
}

TDecompressingInput& TCompressedMailboxStore::Decoder() {
  if (!FDecoder) {
    FFile = std::make_unique<TFileStream>(StorePath());
    FFile->AdviseSequential();
    FDecoder = std::make_unique<TDecompressingInput>(*FFile, CompressionOfFile(*FFile));
  }
  return *FDecoder;
}

void TCompressedMailboxStore::CloseDecoder() {
  FDecoder.reset();
  FFile.reset();
}

std::unique_ptr<TInputStream> TCompressedMailboxStore::OpenForLoad(const std::string& path,
                                                                    uint64_t& expected) {
  CloseDecoder();
  TDecompressingInput& decoder = Decoder();
  if (!FFile->Stamp(FStamp)) FStamp = {};
  expected = FFile->Size() * 4; // mail shrinks to about a quarter
  return std::make_unique<TLimitedInput>(decoder, UINT64_MAX);
}

void TCompressedMailboxStore::LoadProgress(int64_t, uint64_t& done, uint64_t& total) {
  done = FDecoder ? FDecoder->Consumed() : 0;
  total = FStamp.size;
}

void TCompressedMailboxStore::Loaded(int64_t) {}

void TCompressedMailboxStore::CheckRow(const TMessageEntry& entry) {
  TFileStamp now;
  if (!GetFileStamp(StorePath(), now)) RaiseStoreChanged();
  if (now == FStamp) return;
  NoteStoreChange();
  CloseDecoder(); // the file as it is now
  const auto shortRead = std::min<int64_t>(1024, entry.EndOffset - entry.StartOffset);
  const std::unique_ptr<TInputStream> input = OpenBytes(entry.StartOffset, entry.StartOffset + shortRead);
  TMailboxLineReader reader(*input, entry.StartOffset, static_cast<uint64_t>(shortRead));
  std::string_view line;
  bool discarded;
  if (!reader.Next(line, discarded) || discarded || !IsSeparatorLine(line) ||
      SeparatorFingerprint(line) != entry.Fingerprint)
    RaiseStoreChanged();
}

std::unique_ptr<TInputStream> TCompressedMailboxStore::OpenBytes(int64_t begin, int64_t end) {
  TDecompressingInput& decoder = Decoder();
  const auto at = static_cast<uint64_t>(begin);
  // Decompression only goes forward: a row before the last one read starts over.
  if (decoder.Position() > at) decoder.Restart();
  decoder.Skip(at - decoder.Position());
  return std::make_unique<TLimitedInput>(decoder, static_cast<uint64_t>(end - begin));
}

} // namespace pellora
