#pragma once
// A mailbox file: many messages one after another, each starting with a "From " separator line
// (Thunderbird's, with X-Mozilla-Status lines, and the classic files of other programs and list
// archives). Rows keep where their bytes lie; reading one back reads only its own bytes.
#include "stores/mailbox_file.h"
#include "stores/row_cache.h"
#include "stores/store.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

class TMailboxFileStore : public TStore {
public:
  void VisitLines(const TMessageEntry& entry, const TLineVisitor& visit) override;
  // The message without its separator line and the empty line that parts it from the next.
  void ReadStored(const TMessageEntry& entry, const TByteSink& sink) override;
  // The message's bytes in large blocks; false where they differ from its lines by more than
  // line ends (a CR inside a line, a Ctrl-Z).
  bool VisitPieces(const TMessageEntry& entry, const TTextPieceVisitor& piece) override;
  void ReadLinesText(const TMessageEntry& entry, std::string& text) override;

  TStoreIcon Icon() const override { return siMailboxFile; }
  // "file: 0x<the separator's line number>".
  std::string Origin(const TMessageEntry& entry) const override;
  // The file's name.
  std::string ExportName(const TMessageEntry& first) const override;

  // How the last load told the messages apart.
  TMailboxRule Rule() const { return FRule; }
  // Where the last load found its rows: in the file, in the row cache, or in the cache up to
  // the mail appended since and in the file after.
  enum TRowSource : uint8_t { rfFile, rfCache, rfCacheThenFile };
  TRowSource RowSource() const { return FRowSource; }

protected:
  void LoadRows(const std::string& path) override;
  void PassEnded() override { FFile.reset(); }

  // Whether the load may read the file in two parts at once (bytes that can be read from any
  // offset).
  virtual bool LoadsInParts() const { return true; }
  // Whether the load keeps its rows in the row cache, and takes them from there.
  virtual bool CachesRows() const { return true; }
  // The bytes of the store, read front to back for the load: of a file of expected bytes.
  virtual std::unique_ptr<TInputStream> OpenForLoad(const std::string& path, uint64_t& expected);
  // How far the load is, given the offset of the line it reached: done of total.
  virtual void LoadProgress(int64_t offset, uint64_t& done, uint64_t& total);
  // The load read end bytes: what later reads check the file against.
  virtual void Loaded(int64_t end);
  // Raises when the row's bytes are no longer its own (the file changed since the load); notes a
  // change that leaves them in place.
  virtual void CheckRow(const TMessageEntry& entry);
  // The bytes [begin, end) of the store, read front to back; valid while the reading lasts.
  virtual std::unique_ptr<TInputStream> OpenBytes(int64_t begin, int64_t end);
  // The reading of a row ended: what it opened closes unless a pass lasts.
  virtual void ReadingEnded();

  // Where a row's lines and its stored bytes end (TMessageEnds decided them at load time).
  int64_t LinesEnd(const TMessageEntry& entry) const;
  int64_t StoredEnd(const TMessageEntry& entry) const;
  bool LastInFile(const TMessageEntry& entry) const { return entry.EndOffset == FLoadedEnd; }
  // The file, opened for the row being read, and kept while a pass lasts.
  const TFileStream& File();
  // Of the separator line, a few hundred bytes that tell it apart.
  static uint32_t SeparatorFingerprint(std::string_view separator);

  int64_t FLoadedEnd = 0; // the bytes the load read

  // While it lives a row is being read.
  struct TReading {
    explicit TReading(TMailboxFileStore& store) : store(store) {}
    ~TReading() { store.ReadingEnded(); }
    TMailboxFileStore& store;
  };

private:
  // One part of the file as the load reads it: from its start (the rule still to be decided), or
  // from a separator line that starts a message under a known rule.
  struct TLoadPart {
    int64_t Begin = 0, End = -1; // End: where the next part starts, -1 at the file's end
    bool RuleKnown = false;
    TMailboxRule Rule = mrMarked;
    // Under the marker rule the next part's separator line, which the one-thread load gives
    // to the message before until it meets the marker line.
    std::string NextSeparator;
    bool Reports = true; // progress; only the calling thread reports
    std::vector<TMessageEntry>* Rows = nullptr; // where its rows go
    int64_t Lines = 0, ReadEnd = 0, LastLinesEnd = 0;
  };
  // Where a second thread may start: a message's separator line after the middle of the file.
  struct TLoadSplit {
    int64_t Offset = 0; // 0: the file loads in one part
    TMailboxRule Rule = mrMarked;
    std::string Separator; // the line at Offset
  };
  void LoadPart(TInputStream& input, uint64_t expected, TLoadPart& part);
  // The rows of the whole file, in two parts where it pays.
  void LoadFile(TInputStream& input, const std::string& path, uint64_t expected);
  // The rows from the cache when it holds them for the file as key says it is now, or for the
  // same file before mail was appended (then read from the last cached message on).
  bool LoadFromCache(const std::string& cacheFile, const TRowCacheKey& key);
  // Whether a cache's rows are what a load of a file of size bytes makes.
  bool CachedRowsFit(const std::vector<TMessageEntry>& rows, uint64_t size) const;
  // Keeps the rows of a load of the file as key says it was.
  void SaveToCache(const std::string& cacheFile, const TRowCacheKey& key);
  static TLoadSplit FindLoadSplit(const std::string& path, uint64_t size);
  // Whether the file, now larger than loaded, holds its bytes as loaded before its old end
  // (mail appended at the end).
  bool GrewAtEnd(const TFileStamp& now);
  // Whether a row's bytes are still its own in a file that changed since the load.
  bool StillInPlace(const TMessageEntry& entry, const TFileStamp& now, bool grewAtEnd);

  TMailboxRule FRule = mrMarked;
  TRowSource FRowSource = rfFile;
  int64_t FLastLinesEnd = 0; // where the lines of the file's last message end
  std::unique_ptr<TFileStream> FFile;
  std::vector<char> FBuffer;
  // The file as the load read it: the bytes read and the modification time, and a hash of its
  // last bytes.
  TFileStamp FStamp;
  uint32_t FTail = 0;
  TFileStamp FGrownStamp; // the larger file GrewAtEnd looked at last, and its answer
  bool FGrownAtEnd = false;
};

// Where a mailbox file's load splits into two threads: by default near the middle of a file of
// 16 MB or more on a machine of two cores or more; near a byte offset whatever the size; never
// with -1; 0 restores the default. For tests and benchmarks.
void SetMailboxLoadSplit(int64_t near);

// The flags an X-Mozilla-Status field's value ("0001") gives, in a row's flag bits; none when the
// value is not four hexadecimal digits.
std::optional<uint32_t> MozillaStatusFlags(std::string_view value);
// The value of an X-Mozilla-Status field as a number; none when it is not hexadecimal.
std::optional<uint32_t> MozillaStatus(std::string_view value);
// The row flags of such a value.
uint32_t MozillaStatusFlags(uint32_t status);

} // namespace pellora
