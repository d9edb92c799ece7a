#include "stores/kinds/mailbox_file_store.h"

#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/pellora_error.h"
#include "stores/header_scanner.h"
#include "stores/row_cache.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <exception>
#include <thread>

namespace pellora {
namespace {

// Of the start of a separator line: a line a few hundred bytes long says all that tells it apart,
// and so a row is checked with a short read.
constexpr size_t FingerprintedBytes = 256;

// A hash of the last bytes before end in the file; 0 when they cannot be read.
uint32_t TailFingerprint(const std::string& path, uint64_t end) {
  char tail[1024];
  const size_t size = static_cast<size_t>(std::min<uint64_t>(end, sizeof tail));
  try {
    if (TFileStream(path).ReadSomeAt(end - size, tail, size) != size) return 0;
  } catch (const EPelloraError&) {
    return 0;
  }
  return static_cast<uint32_t>(std::hash<std::string_view>{}(std::string_view(tail, size)));
}

// A file smaller than this loads in one thread: a second one would gain less than it costs.
constexpr uint64_t MinSplitBytes = 16 << 20;
// How far the first separator and the line after it may lie, and a message start after the
// middle, for a split: a file whose messages lie further apart loads in one thread.
constexpr int64_t RuleSearchBytes = 1 << 20;
constexpr int64_t SplitSearchBytes = 64 << 20;

std::atomic<int64_t> LoadSplitNear{0};

} // namespace

void SetMailboxLoadSplit(int64_t near) { LoadSplitNear = near; }

std::optional<uint32_t> MozillaStatus(std::string_view value) {
  value = TrimBlanks(value);
  if (value.empty() || value.size() > 8) return std::nullopt;
  uint32_t status = 0;
  for (char c : value) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    status = status << 4 | static_cast<uint32_t>(digit);
  }
  return status;
}

std::optional<uint32_t> MozillaStatusFlags(std::string_view value) {
  const std::optional<uint32_t> status = MozillaStatus(value);
  return status ? std::optional(MozillaStatusFlags(*status)) : std::nullopt;
}

uint32_t MozillaStatusFlags(uint32_t status) {
  uint32_t flags = 0;
  if (status & 0x0001) flags |= mfRead;
  if (status & 0x0002) flags |= mfReplied;
  if (status & 0x0004) flags |= mfFlagged; // "marked"
  if (status & 0x1000) flags |= mfForwarded;
  return flags;
}

uint32_t TMailboxFileStore::SeparatorFingerprint(std::string_view separator) {
  return static_cast<uint32_t>(
      std::hash<std::string_view>{}(separator.substr(0, FingerprintedBytes)));
}

// --- Loading ------------------------------------------------------------------------------

std::unique_ptr<TInputStream> TMailboxFileStore::OpenForLoad(const std::string& path,
                                                              uint64_t& expected) {
  FFile = std::make_unique<TFileStream>(path);
  FFile->AdviseSequential();
  if (!FFile->Stamp(FStamp)) FStamp = {};
  expected = FStamp.size;
  return std::make_unique<TFileInput>(*FFile, 0);
}

void TMailboxFileStore::LoadProgress(int64_t offset, uint64_t& done, uint64_t& total) {
  done = static_cast<uint64_t>(offset);
  total = FStamp.size;
}

void TMailboxFileStore::Loaded(int64_t end) {
  // The bytes read: a file written while it was read no longer matches its stamp afterwards.
  FStamp.size = static_cast<uint64_t>(end);
  FTail = TailFingerprint(StorePath(), FStamp.size);
  FGrownStamp = {};
}

void TMailboxFileStore::LoadPart(TInputStream& input, uint64_t expected, TLoadPart& part) {
  std::vector<TMessageEntry>& rows = *part.Rows;
  TMailboxLineReader reader(input, part.Begin, expected);
  THeaderScanner scanner;
  TMessageEnds ends;
  TMailboxRule rule = part.Rule;
  std::string previous; // kept only when it is a separator line
  bool previousIsSeparator = false;
  // A later part starts at a separator line that starts a message under either rule.
  bool previousIsEmpty = part.RuleKnown;
  bool ruleKnown = part.RuleKnown; // once the line after the first separator has been seen
  int64_t previousOffset = 0, previousEnd = 0, previousLine = 0;
  int64_t lineCounter = 0, startLine = 1, startOffset = 0;
  int64_t byteCount = -1; // 64 bits: a message may exceed 2 GiB
  int32_t messageCount = 0;
  uint32_t fingerprint = 0;
  const TSharedText sharedPath(StorePath());
  bool inHeader = false;                 // before the message's first empty line
  std::optional<uint32_t> statusFlags; // of its X-Mozilla-Status field
  bool expunged = false;               // that field's 0x0008: deleted, not yet compacted away
  auto addEntry = [&](int64_t endOffset) {
    TMessageEntry& entry = rows.emplace_back();
    scanner.Finish(entry.Header);
    entry.Flags = statusFlags;
    if (expunged) entry.State = rsDeleted;
    entry.Header.Size = byteCount;
    entry.StartLine = startLine;
    entry.StartOffset = startOffset;
    entry.EndOffset = endOffset;
    entry.Parting = ends.PartingBefore(endOffset);
    entry.Fingerprint = fingerprint;
    entry.Index = messageCount;
    entry.Path = sharedPath;
    ShareWithRowBefore(rows);
  };
  // Ends the message before, if any, and starts one at a separator line.
  auto startMessage = [&](std::string_view separator, int64_t number, int64_t offset,
                          int64_t separatorEnd) {
    if (byteCount >= 0) {
      addEntry(offset);
      ++messageCount;
      if (part.Reports) {
        uint64_t done, total;
        LoadProgress(offset, done, total);
        // The part's share of the whole, as if one thread read it all.
        if (part.End > 0) done = static_cast<uint64_t>(static_cast<double>(offset) / part.End * total);
        Progress(done, total);
      }
    }
    startLine = number;
    startOffset = offset;
    fingerprint = SeparatorFingerprint(separator);
    ends.MessageStarts(separatorEnd);
    scanner.Reset();
    scanner.Feed(separator);
    byteCount = static_cast<int64_t>(separator.size());
    inHeader = true;
    statusFlags.reset();
    expunged = false;
  };
  // A line of the message after its separator.
  // Inlined: it runs for every line of the file.
  auto feed = [&](std::string_view line) __attribute__((always_inline)) {
    scanner.Feed(line);
    byteCount += static_cast<int64_t>(line.size());
    if (!inHeader) return;
    if (line.empty()) inHeader = false;
    else if (!statusFlags && line.size() > 17 && SameTextAscii(line.substr(0, 17), "X-Mozilla-Status:")) {
      if (const std::optional<uint32_t> status = MozillaStatus(line.substr(17))) {
        statusFlags = MozillaStatusFlags(*status);
        expunged = (*status & 0x0008) != 0;
      }
    }
  };
  std::string_view line;
  bool discarded;
  while (reader.Next(line, discarded)) {
    ++lineCounter;
    ends.Line(reader.EndOffset(), line, discarded, reader.LineHadLf(), reader.LineOffset());
    if (discarded) continue;
    if (!ruleKnown && previousIsSeparator) {
      ruleKnown = true;
      if (!IsMailboxMarkerLine(line)) {
        rule = mrClassic;
        startMessage(previous, previousLine, previousOffset, previousEnd);
      }
    }
    if (rule == mrClassic) {
      if (previousIsEmpty && IsSeparatorLine(line)) {
        startMessage(line, lineCounter, reader.LineOffset(), reader.EndOffset());
      } else {
        feed(line);
      }
      previousIsEmpty = line.empty();
      continue;
    }
    if (previousIsSeparator && IsMailboxMarkerLine(line)) {
      // The separator's own number: a Ctrl-Z line between it and the marker still counts.
      startMessage(previous, previousLine, previousOffset, previousEnd);
      feed(line);
    } else if (byteCount >= 0) {
      feed(line);
    }
    previousIsSeparator = IsSeparatorLine(line);
    if (previousIsSeparator) {
      previous.assign(line);
      previousOffset = reader.LineOffset();
      previousEnd = reader.EndOffset();
      previousLine = lineCounter;
    }
  }
  // A file whose only separator is its last line.
  if (!ruleKnown && previousIsSeparator) {
    rule = mrClassic;
    startMessage(previous, previousLine, previousOffset, previousEnd);
  }
  const int64_t end = reader.EndOffset();
  if (byteCount >= 0) {
    // Under the marker rule the next part's separator line belongs to this message's lines
    // until its marker line is read, as when one thread reads the file.
    if (rule == mrMarked && !part.NextSeparator.empty()) feed(part.NextSeparator);
    addEntry(end);
  }
  part.Rule = rule;
  part.Lines = lineCounter;
  part.ReadEnd = end;
  // Under the marker rule the empty lines at the end of the file's last message are not its
  // own.
  part.LastLinesEnd = rule == mrMarked ? ends.SolidEnd() : end;
}

void TMailboxFileStore::LoadRows(const std::string& path) {
  TReading reading(*this);
  uint64_t expected = 0;
  const std::unique_ptr<TInputStream> input = OpenForLoad(path, expected);
  FRowSource = rfFile;
  const std::string cacheFile = CachesRows() ? RowCacheFile(path) : std::string();
  TRowCacheKey key;
  if (!cacheFile.empty()) {
    key = RowCacheKeyOf(*FFile, path, FStamp);
    if (LoadFromCache(cacheFile, key)) return;
  }
  LoadFile(*input, path, expected);
  if (!cacheFile.empty()) SaveToCache(cacheFile, key);
}

bool TMailboxFileStore::LoadFromCache(const std::string& cacheFile, const TRowCacheKey& key) {
  std::string bytes;
  TRowCacheKey cached;
  if (!ReadRowCacheFile(cacheFile, bytes) || !DecodeRowCacheKey(bytes, cached) ||
      cached.Path != key.Path)
    return false;
  // Mail appended at the end: the same file, its bytes as cached before its old end.
  const uint64_t oldSize = cached.Stamp.size;
  const bool grew = !(cached == key) && cached.Stamp.inode == key.Stamp.inode &&
                    key.Stamp.size > oldSize &&
                    FileBytesHash(*FFile, 0, std::min(oldSize, RowCacheEdgeBytes)) == cached.Head &&
                    FileBytesHash(*FFile, oldSize - std::min(oldSize, RowCacheEdgeBytes), oldSize) ==
                        cached.Tail;
  if (!(cached == key) && !grew) return false;
  TRowCache cache;
  if (!DecodeRowCache(bytes, cache) || cache.Facts.size() != 3 || cache.Facts[0] > mrClassic ||
      cache.Facts[1] != static_cast<int64_t>(oldSize) || cache.Facts[2] < 0 ||
      cache.Facts[2] > cache.Facts[1] || !CachedRowsFit(cache.Rows, oldSize))
    return false;
  // The last message may have grown: it is read again from its start, with what follows.
  if (grew && cache.Rows.size() < 2) return false; // the rule may still be undecided
  const auto rule = static_cast<TMailboxRule>(cache.Facts[0]);
  std::vector<TMessageEntry>& rows = Rows();
  rows = std::move(cache.Rows);
  for (TStoreNote& note : cache.Notes) Note(std::move(note));
  FRule = rule;
  FRowSource = grew ? rfCacheThenFile : rfCache;
  if (!grew) {
    FLastLinesEnd = cache.Facts[2];
    FLoadedEnd = cache.Facts[1];
    Progress(FStamp.size, FStamp.size);
    Loaded(FLoadedEnd);
    return true;
  }
  const TMessageEntry last = std::move(rows.back());
  rows.pop_back();
  TLoadPart part;
  part.Begin = last.StartOffset;
  part.RuleKnown = true;
  part.Rule = rule;
  std::vector<TMessageEntry> newRows;
  part.Rows = &newRows;
  TFileInput input(*FFile, static_cast<uint64_t>(part.Begin));
  LoadPart(input, FStamp.size - static_cast<uint64_t>(part.Begin), part);
  // The new rows' numbers go on from the cached ones'.
  const auto count = static_cast<int32_t>(rows.size());
  rows.reserve(rows.size() + newRows.size());
  for (TMessageEntry& entry : newRows) {
    entry.Index += count;
    entry.StartLine += last.StartLine - 1;
    rows.push_back(std::move(entry));
  }
  FLastLinesEnd = part.LastLinesEnd;
  FLoadedEnd = part.ReadEnd;
  Loaded(FLoadedEnd);
  SaveToCache(cacheFile, key);
  return true;
}

bool TMailboxFileStore::CachedRowsFit(const std::vector<TMessageEntry>& rows,
                                      uint64_t size) const {
  // As a load makes them: numbered in order, each running to the next one's separator line,
  // the last to the end of the file, within the file.
  const std::string_view path = StorePath();
  for (size_t i = 0; i < rows.size(); ++i) {
    const TMessageEntry& entry = rows[i];
    const int64_t end = i + 1 < rows.size() ? rows[i + 1].StartOffset : static_cast<int64_t>(size);
    if (entry.Index != static_cast<int32_t>(i) || entry.StartOffset < 0 ||
        entry.StartOffset >= entry.EndOffset || entry.EndOffset != end ||
        entry.EndOffset - entry.StartOffset < entry.Parting || entry.Path.view() != path)
      return false;
  }
  return true;
}

void TMailboxFileStore::SaveToCache(const std::string& cacheFile, const TRowCacheKey& key) {
  // Only rows of the file as it was keyed: one written while it was read is not.
  TFileStamp now;
  if (FLoadedEnd != static_cast<int64_t>(key.Stamp.size) || !GetFileStamp(StorePath(), now) ||
      !(now == key.Stamp))
    return;
  TRowCacheFacts facts{key, {FRule, FLoadedEnd, FLastLinesEnd}, LoadNotes()};
  WriteRowCacheFile(cacheFile, facts, Rows());
}

void TMailboxFileStore::LoadFile(TInputStream& input, const std::string& path, uint64_t expected) {
  // The first part's rows go to the owner's as they are found, the second's join them at the end.
  TLoadPart first;
  first.Rows = &Rows();
  // Room for rows of 4 KB messages on average: pages of the room no row takes are never
  // touched, while growing by copying would hold the rows twice at the moment of the copy.
  auto room = [](uint64_t bytes) { return static_cast<size_t>(std::min<uint64_t>(bytes / 4096, 1u << 20)); };
  first.Rows->reserve(room(expected));
  const TLoadSplit split = LoadsInParts() ? FindLoadSplit(path, expected) : TLoadSplit{};
  std::exception_ptr failed;
  std::vector<TMessageEntry> secondRows;
  TLoadPart second;
  second.Rows = &secondRows;
  std::thread other;
  if (split.Offset > 0) {
    first.End = split.Offset;
    first.NextSeparator = split.Separator;
    second.Begin = split.Offset;
    second.RuleKnown = true;
    second.Rule = split.Rule;
    second.Reports = false;
    secondRows.reserve(room(expected - static_cast<uint64_t>(split.Offset)));
    other = std::thread([&] {
      try {
        TFileStream file(path);
        file.AdviseSequential();
        TFileInput bytes(file, static_cast<uint64_t>(split.Offset));
        LoadPart(bytes, expected - static_cast<uint64_t>(split.Offset), second);
      } catch (...) {
        failed = std::current_exception();
      }
    });
  }
  try {
    if (split.Offset > 0) {
      TLimitedInput part(input, static_cast<uint64_t>(split.Offset));
      LoadPart(part, static_cast<uint64_t>(split.Offset), first);
    } else {
      LoadPart(input, expected, first);
    }
  } catch (...) {
    if (other.joinable()) other.join();
    throw;
  }
  TLoadPart* last = &first;
  if (other.joinable()) {
    other.join();
    if (failed) std::rethrow_exception(failed);
    // The second part's numbers go on from the first's.
    std::vector<TMessageEntry>& rows = Rows();
    const auto count = static_cast<int32_t>(rows.size());
    rows.reserve(rows.size() + secondRows.size());
    for (TMessageEntry& entry : secondRows) {
      entry.Index += count;
      entry.StartLine += first.Lines;
      rows.push_back(std::move(entry));
    }
    last = &second;
  }
  FRule = first.Rule;
  FLastLinesEnd = last->LastLinesEnd;
  FLoadedEnd = last->ReadEnd;
  Loaded(FLoadedEnd);
}

TMailboxFileStore::TLoadSplit TMailboxFileStore::FindLoadSplit(const std::string& path,
                                                               uint64_t size) {
  const int64_t wanted = LoadSplitNear.load();
  if (wanted < 0) return {};
  int64_t near = wanted;
  if (near == 0) {
    if (size < MinSplitBytes || std::thread::hardware_concurrency() < 2) return {};
    near = static_cast<int64_t>(size / 2);
  }
  TLoadSplit split;
  std::string_view line;
  bool discarded;
  // The rule: the line after the file's first separator decides, as the load does.
  int64_t decided = -1;
  {
    TMailboxLineReader reader(path, 0, RuleSearchBytes);
    bool afterSeparator = false;
    while (decided < 0 && reader.Next(line, discarded)) {
      if (discarded) continue;
      if (afterSeparator) {
        split.Rule = IsMailboxMarkerLine(line) ? mrMarked : mrClassic;
        decided = reader.EndOffset();
      }
      afterSeparator = IsSeparatorLine(line);
    }
  }
  if (decided < 0) return {};
  // The first separator at or after near that starts a message under the rule: one read from
  // there would see the same lines as the load does (a line ends at LF). Under the marker rule
  // the marker line must follow at once, so that where the message before ends is decided alike.
  const int64_t from = std::max(near, decided);
  // From the byte before, so that a line that starts at from is seen whole.
  TMailboxLineReader reader(path, from - 1, SplitSearchBytes);
  if (!reader.Next(line, discarded)) return {}; // the rest of the line before
  bool previousIsEmpty = false, previousIsSeparator = false;
  int64_t separatorOffset = 0;
  while (reader.Next(line, discarded)) {
    if (discarded) {
      previousIsSeparator = false;
      continue;
    }
    if (split.Rule == mrClassic && previousIsEmpty && IsSeparatorLine(line)) {
      split.Offset = reader.LineOffset();
      split.Separator.assign(line);
      return split;
    }
    if (split.Rule == mrMarked && previousIsSeparator && IsMailboxMarkerLine(line)) {
      split.Offset = separatorOffset;
      return split;
    }
    previousIsEmpty = line.empty();
    previousIsSeparator = IsSeparatorLine(line);
    if (previousIsSeparator) {
      separatorOffset = reader.LineOffset();
      split.Separator.assign(line);
    }
  }
  return {};
}

int64_t TMailboxFileStore::LinesEnd(const TMessageEntry& entry) const {
  return LastInFile(entry) ? FLastLinesEnd : entry.EndOffset;
}

int64_t TMailboxFileStore::StoredEnd(const TMessageEntry& entry) const {
  return entry.EndOffset - entry.Parting;
}

// --- A row's bytes ------------------------------------------------------------------------

const TFileStream& TMailboxFileStore::File() {
  if (!FFile) {
    FFile = std::make_unique<TFileStream>(StorePath());
    FFile->AdviseSequential();
  }
  return *FFile;
}

void TMailboxFileStore::ReadingEnded() {
  if (!InPass()) FFile.reset();
}

std::unique_ptr<TInputStream> TMailboxFileStore::OpenBytes(int64_t begin, int64_t end) {
  return std::make_unique<TFileInput>(File(), static_cast<uint64_t>(begin), end - begin);
}

void TMailboxFileStore::CheckRow(const TMessageEntry& entry) {
  TFileStamp now;
  if (!GetFileStamp(StorePath(), now)) RaiseStoreChanged();
  if (now == FStamp) return;
  // Mail appended at the end changes no row; a file cut or written before its old end may.
  const bool grewAtEnd = GrewAtEnd(now);
  if (!grewAtEnd) NoteStoreChange();
  if (!StillInPlace(entry, now, grewAtEnd)) RaiseStoreChanged();
}

bool TMailboxFileStore::GrewAtEnd(const TFileStamp& now) {
  if (now.size <= FStamp.size) return false;
  if (now != FGrownStamp) {
    FGrownStamp = now;
    FGrownAtEnd = TailFingerprint(StorePath(), FStamp.size) == FTail;
  }
  return FGrownAtEnd;
}

bool TMailboxFileStore::StillInPlace(const TMessageEntry& entry, const TFileStamp& now,
                                     bool grewAtEnd) {
  // The row's separator line is still at its offset, and its bytes end where the file ends now
  // (or ended at load time, when mail was appended after them), or where the next message's
  // separator line begins.
  if (entry.StartOffset < 0 || static_cast<uint64_t>(entry.EndOffset) > now.size) return false;
  std::string_view line;
  bool discarded;
  const auto shortRead = static_cast<int64_t>(4 * FingerprintedBytes); // stray CRs are no text
  TMailboxLineReader at(StorePath(), entry.StartOffset,
                        std::min(shortRead, entry.EndOffset - entry.StartOffset));
  if (!at.Next(line, discarded) || discarded || !IsSeparatorLine(line) ||
      SeparatorFingerprint(line) != entry.Fingerprint)
    return false;
  if (static_cast<uint64_t>(entry.EndOffset) == now.size || (grewAtEnd && LastInFile(entry)))
    return true;
  // The file may now end inside the next separator line, cut short.
  TMailboxLineReader next(StorePath(), entry.EndOffset, shortRead);
  return next.Next(line, discarded) && !discarded &&
         (IsSeparatorLine(line) ||
          (static_cast<uint64_t>(next.EndOffset()) == now.size &&
           std::string_view("From ").starts_with(line)));
}

void TMailboxFileStore::VisitLines(const TMessageEntry& entry, const TLineVisitor& visit) {
  CheckRow(entry);
  TReading reading(*this);
  const int64_t end = LinesEnd(entry);
  // The message's bytes alone: what follows them (mail appended after a last line without its
  // line end, say) is no part of it.
  const std::unique_ptr<TInputStream> input = OpenBytes(entry.StartOffset, end);
  TMailboxLineReader reader(*input, entry.StartOffset,
                            static_cast<uint64_t>(end - entry.StartOffset));
  std::string_view line;
  bool discarded;
  if (!reader.Next(line, discarded) || discarded || !IsSeparatorLine(line))
    RaiseStoreChanged(); // changed while it was read
  bool more = visit(line);
  while (more && reader.Next(line, discarded))
    if (!discarded) more = visit(line);
}

void TMailboxFileStore::ReadStored(const TMessageEntry& entry, const TByteSink& sink) {
  CheckRow(entry);
  TReading reading(*this);
  const int64_t end = StoredEnd(entry);
  const std::unique_ptr<TInputStream> input = OpenBytes(entry.StartOffset, end);
  constexpr size_t BlockSize = 4 << 20;
  if (FBuffer.size() < BlockSize) FBuffer.resize(BlockSize);
  // The separator line is the envelope, not the message.
  bool separator = true;
  for (int64_t at = entry.StartOffset; at < end;) {
    const size_t got = input->Read(FBuffer.data(), static_cast<size_t>(std::min<int64_t>(BlockSize, end - at)));
    if (got == 0)
      throw EPelloraError("Cannot read file \"" + StorePath() + "\". The file is shorter than it was.");
    at += static_cast<int64_t>(got);
    std::string_view block(FBuffer.data(), got);
    if (separator) {
      const size_t lf = block.find('\n');
      if (lf == std::string_view::npos) continue;
      separator = false;
      block.remove_prefix(lf + 1);
    }
    if (!block.empty()) sink(block);
  }
}

bool TMailboxFileStore::VisitPieces(const TMessageEntry& entry, const TTextPieceVisitor& piece) {
  CheckRow(entry); // raises when the bytes are no longer the row's
  TReading reading(*this);
  const int64_t begin = entry.StartOffset, end = LinesEnd(entry);
  std::unique_ptr<TInputStream> input;
  try {
    input = OpenBytes(begin, end);
  } catch (const EPelloraError&) {
    return false; // the lines' reader says what went wrong
  }
  // Large blocks, each read with the byte after it: a CR is a line end only before an LF.
  constexpr int64_t BlockSize = 1 << 20;
  size_t held = 0; // the byte after the last block, read with it
  for (int64_t at = begin; at < end;) {
    const int64_t count = std::min(BlockSize, end - at);
    const bool last = at + count == end;
    const size_t wanted = static_cast<size_t>(count) + (last ? 0 : 1);
    if (FBuffer.size() < wanted) FBuffer.resize(wanted);
    while (held < wanted) {
      const size_t got = input->Read(FBuffer.data() + held, wanted - held);
      if (got == 0) return false; // the lines' reader says what went wrong
      held += got;
    }
    const char* data = FBuffer.data();
    const auto size = static_cast<size_t>(count);
    if (at == begin && !IsSeparatorLine(std::string_view(data, size))) return false;
    if (std::memchr(data, '\x1A', size)) return false;
    for (auto cr = static_cast<const char*>(std::memchr(data, '\r', size)); cr;
         cr = static_cast<const char*>(std::memchr(cr + 1, '\r', size - (cr + 1 - data)))) {
      const size_t after = static_cast<size_t>(cr - data) + 1;
      if (after >= wanted || data[after] != '\n') return false;
    }
    if (!piece(std::string_view(data, size))) return true;
    at += count;
    held = wanted - size;
    if (held > 0) FBuffer[0] = FBuffer[size];
  }
  return true;
}

void TMailboxFileStore::ReadLinesText(const TMessageEntry& entry, std::string& text) {
  text.clear();
  // The bytes hold no CR but before an LF: a line end is an LF, given a CR where it has none.
  bool afterCR = false;
  const bool read = VisitPieces(entry, [&](std::string_view piece) {
    const char* p = piece.data();
    const char* end = p + piece.size();
    while (p < end) {
      auto lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
      if (!lf) {
        text.append(p, end);
        afterCR = end[-1] == '\r';
        break;
      }
      const bool hasCR = lf > p ? lf[-1] == '\r' : afterCR;
      text.append(p, lf);
      text += hasCR ? "\n" : "\r\n";
      p = lf + 1;
      afterCR = false;
    }
    return true;
  });
  if (!read) {
    TStore::ReadLinesText(entry, text);
    return;
  }
  if (!text.empty() && text.back() != '\n') text += "\r\n"; // a last line without its LF
}

std::string TMailboxFileStore::Origin(const TMessageEntry& entry) const {
  char hex[32];
  std::snprintf(hex, sizeof hex, ": 0x%llx", static_cast<unsigned long long>(entry.StartLine));
  return Utf8ToAnsi(entry.Path) + hex;
}

std::string TMailboxFileStore::ExportName(const TMessageEntry& first) const {
  return ExtractFileName(first.Path);
}

} // namespace pellora
