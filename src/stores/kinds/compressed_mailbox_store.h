#pragma once
// A mailbox file compressed whole with gzip, bzip2, xz or zstd (".mbox.gz", "2019-April.txt.gz",
// ...), read as it is decompressed: rows and texts as of the plain file, without a decompressed
// copy anywhere. A row's text is decompressed again from the start of the file, or from where the
// last read stopped when it lies further on: a search or an export in the file's order
// decompresses the file once. The decompressor stays with the store from read to read, as a
// database's file stays open with its reader.
#include "stores/decompress.h"
#include "stores/kinds/mailbox_file_store.h"

namespace pellora {

class TCompressedMailboxStore : public TMailboxFileStore {
public:
  bool ReadsForward() const override { return true; }
  // The file's name without the compression's extension.
  std::string ExportName(const TMessageEntry& first) const override;

  // Whether a file's first bytes show a compression this kind reads.
  static bool ClaimsBytes(std::string_view head) { return CompressionOfBytes(head) != czNone; }
  // Whether a file is so compressed.
  static bool ClaimsFile(const std::string& path);

protected:
  bool LoadsInParts() const override { return false; } // read from its start only
  bool CachesRows() const override { return false; }
  std::unique_ptr<TInputStream> OpenForLoad(const std::string& path, uint64_t& expected) override;
  void LoadProgress(int64_t offset, uint64_t& done, uint64_t& total) override;
  void Loaded(int64_t end) override;
  // A changed file is noted; its rows read on while their separator lines are where they were.
  void CheckRow(const TMessageEntry& entry) override;
  std::unique_ptr<TInputStream> OpenBytes(int64_t begin, int64_t end) override;
  void ReadingEnded() override {}
  void PassEnded() override {}

private:
  // The file's compression, by its first bytes.
  static TCompression CompressionOfFile(const TFileStream& file);
  // The decompressor over the file, opened at the first read.
  TDecompressingInput& Decoder();
  void CloseDecoder();

  std::unique_ptr<TFileStream> FFile;
  std::unique_ptr<TDecompressingInput> FDecoder;
  TFileStamp FStamp; // of the compressed file, as the load opened it
};

} // namespace pellora
