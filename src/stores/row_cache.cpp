#include "stores/row_cache.h"

#include "pellora_version.h"
#include "platform/safe_files.h"
#include "stores/file_stream.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zstd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unordered_map>

namespace pellora {
namespace {

constexpr char Magic[8] = {'P', 'L', 'R', 'R', 'O', 'W', 'S', '\x1A'};
constexpr uint32_t Version = 1;
// The build that wrote the rows: another one may scan headers otherwise, and its rows are none of
// this one's.
constexpr std::string_view Build = PELLORA_VERSION " " PELLORA_COMMIT;
// Counts no real store comes near; a cache saying more is damaged.
constexpr uint64_t MaxFacts = 64;
constexpr uint64_t MaxPathBytes = 1 << 16;

// a + b and a - b as the machine wraps them: a damaged cache may give any numbers, and the
// writer takes back what the reader gave.
int64_t Wrap(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}
int64_t Diff(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}

uint64_t Fnv(std::string_view bytes, uint64_t hash = 0xCBF29CE484222325ull) {
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 0x100000001B3ull;
  }
  return hash;
}

// The texts of a row, in the order the cache keeps them.
constexpr TSharedText TMessageEntry::*EntryText = &TMessageEntry::Path;
constexpr TSharedText TEMLHeader::*HeaderTexts[] = {
    &TEMLHeader::DateText,   &TEMLHeader::From,       &TEMLHeader::Sender,
    &TEMLHeader::ReplyTo,    &TEMLHeader::ReturnPath, &TEMLHeader::To,
    &TEMLHeader::Cc,         &TEMLHeader::Subject,    &TEMLHeader::ContentTransferEncoding,
    &TEMLHeader::MessageID,  &TEMLHeader::InReplyTo,  &TEMLHeader::References,
    &TEMLHeader::ContentType, &TEMLHeader::ContentDisposition, &TEMLHeader::DocumentID};
constexpr size_t TextsPerRow = std::size(HeaderTexts) + 1;
// The least bytes a row takes: its five numbers, the fingerprint, the date, its priority, flags
// and ends, its texts.
constexpr size_t MinRowBytes = 5 + 4 + 8 + 3 + TextsPerRow;

// --- Writing ------------------------------------------------------------------------------

class TWriter {
public:
  std::string Bytes;
  void U8(uint8_t v) { Bytes += static_cast<char>(v); }
  void Fixed(uint64_t v, int size) {
    for (int i = 0; i < size; ++i) Bytes += static_cast<char>(v >> (8 * i));
  }
  void Var(uint64_t v) {
    while (v >= 0x80) {
      Bytes += static_cast<char>(v | 0x80);
      v >>= 7;
    }
    Bytes += static_cast<char>(v);
  }
  void Signed(int64_t v) { Var(static_cast<uint64_t>(v) << 1 ^ static_cast<uint64_t>(v >> 63)); }
  void Text(std::string_view text) {
    Var(text.size());
    Bytes += text;
  }
};

// --- Reading ------------------------------------------------------------------------------

// Bytes read front to back; any read past the end fails the reader, and so the cache.
class TReader {
public:
  explicit TReader(std::string_view bytes) : FAt(bytes.data()), FEnd(bytes.data() + bytes.size()) {}
  bool Ok() const { return FOk; }
  size_t Left() const { return static_cast<size_t>(FEnd - FAt); }
  uint8_t U8() {
    if (!Need(1)) return 0;
    return static_cast<uint8_t>(*FAt++);
  }
  uint64_t Fixed(int size) {
    if (!Need(static_cast<size_t>(size))) return 0;
    uint64_t v = 0;
    for (int i = 0; i < size; ++i) v |= static_cast<uint64_t>(static_cast<unsigned char>(FAt[i])) << (8 * i);
    FAt += size;
    return v;
  }
  uint64_t Var() {
    uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      if (!Need(1)) return 0;
      const auto byte = static_cast<unsigned char>(*FAt++);
      v |= static_cast<uint64_t>(byte & 0x7F) << shift;
      if (!(byte & 0x80)) return v;
    }
    FOk = false;
    return 0;
  }
  int64_t Signed() {
    const uint64_t v = Var();
    return static_cast<int64_t>(v >> 1 ^ (~(v & 1) + 1));
  }
  std::string_view Bytes(uint64_t size) {
    if (!Need(size)) return {};
    std::string_view bytes(FAt, static_cast<size_t>(size));
    FAt += size;
    return bytes;
  }
  std::string_view Text() { return Bytes(Var()); }
  // A count of items of at least itemBytes each that the bytes left can hold.
  uint64_t Count(size_t itemBytes) {
    const uint64_t count = Var();
    if (count > Left() / itemBytes) FOk = false;
    return FOk ? count : 0;
  }
  void Fail() { FOk = false; }

private:
  bool Need(uint64_t size) {
    if (FOk && size <= Left()) return true;
    FOk = false;
    FAt = FEnd;
    return false;
  }
  const char* FAt;
  const char* FEnd;
  bool FOk = true;
};

void WriteKey(TWriter& out, const TRowCacheKey& key) {
  out.Fixed(key.Path.size(), 4);
  out.Bytes += key.Path;
  out.Fixed(key.Stamp.size, 8);
  out.Fixed(static_cast<uint64_t>(key.Stamp.modifiedNs), 8);
  out.Fixed(key.Stamp.inode, 8);
  out.Fixed(key.Head, 8);
  out.Fixed(key.Tail, 8);
}

void ReadKey(TReader& in, TRowCacheKey& key) {
  const uint64_t pathSize = in.Fixed(4);
  if (pathSize > MaxPathBytes) in.Fail();
  key.Path = in.Bytes(pathSize);
  key.Stamp.size = in.Fixed(8);
  key.Stamp.modifiedNs = static_cast<int64_t>(in.Fixed(8));
  key.Stamp.inode = in.Fixed(8);
  key.Head = in.Fixed(8);
  key.Tail = in.Fixed(8);
}

// The fixed part: magic, version, key, the payload's sizes, and a hash of all of them.
struct THead {
  TRowCacheKey Key;
  uint64_t RawSize = 0, PackedSize = 0;
  std::string_view Packed;
};

bool ReadHead(std::string_view bytes, THead& head) {
  TReader in(bytes);
  if (in.Bytes(sizeof Magic) != std::string_view(Magic, sizeof Magic) || in.Fixed(4) != Version ||
      in.Text() != Build)
    return false;
  ReadKey(in, head.Key);
  head.RawSize = in.Fixed(8);
  head.PackedSize = in.Fixed(8);
  const size_t hashed = bytes.size() - in.Left();
  if (!in.Ok() || in.Fixed(8) != Fnv(bytes.substr(0, hashed))) return false;
  // The payload is the rest of the file, exactly.
  if (!in.Ok() || in.Left() != head.PackedSize) return false;
  head.Packed = in.Bytes(head.PackedSize);
  return in.Ok();
}

bool Unpack(std::string_view packed, uint64_t rawSize, std::string& raw) {
  const std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx*)> context(ZSTD_createDCtx(),
                                                                   ZSTD_freeDCtx);
  if (!context) return false;
  // Grown as the bytes come: a damaged size never allocates more than the data gives.
  ZSTD_inBuffer input{packed.data(), packed.size(), 0};
  size_t produced = 0;
  for (;;) {
    if (produced == raw.size() && raw.size() < rawSize)
      raw.resize(static_cast<size_t>(std::min<uint64_t>(rawSize, std::max<uint64_t>(raw.size() * 2, 1 << 20))));
    ZSTD_outBuffer output{raw.data(), raw.size(), produced};
    const size_t consumed = input.pos;
    const size_t result = ZSTD_decompressStream(context.get(), &output, &input);
    if (ZSTD_isError(result)) return false;
    if (result == 0) { // the frame ended, its checksum checked
      produced = output.pos;
      break;
    }
    // Cut short, or more than the size said.
    if (output.pos == produced && input.pos == consumed) return false;
    produced = output.pos;
  }
  // One whole frame, all of the payload, exactly the bytes said.
  return produced == rawSize && input.pos == input.size;
}

} // namespace

std::string RowCacheFile(const std::string& storePath) {
  namespace fs = std::filesystem;
  std::string folder;
  if (const char* dir = std::getenv("PELLORA_CACHE_DIR")) {
    if (!*dir) return {};
    folder = dir;
  } else {
    folder = ProgramCacheFolder();
  }
  std::error_code error;
  folder = ExcludeTrailingPathDelimiter(fs::absolute(folder, error).lexically_normal().string());
  if (error || folder.empty()) return {};
  MakeFolders(folder);
  // The user's own folder, not a link, that nobody else may write: a cache another user could
  // plant is none. (Others may list it: the files themselves are the user's alone.)
  struct stat own{};
  if (lstat(folder.c_str(), &own) != 0 || !S_ISDIR(own.st_mode) || own.st_uid != geteuid() ||
      (own.st_mode & 022))
    return {};
  const std::string store = fs::absolute(storePath, error).lexically_normal().string();
  if (error) return {};
  // Never beside the store.
  struct stat storeFolder{};
  if (stat(ExtractFilePath(store).c_str(), &storeFolder) == 0 && storeFolder.st_dev == own.st_dev &&
      storeFolder.st_ino == own.st_ino)
    return {};
  char name[40];
  std::snprintf(name, sizeof name, "rows-%016llx.cache", static_cast<unsigned long long>(Fnv(store)));
  return folder + PathDelim + name;
}

uint64_t FileBytesHash(const TFileStream& file, uint64_t begin, uint64_t end) {
  uint64_t hash = Fnv({});
  std::vector<char> buffer(static_cast<size_t>(std::min<uint64_t>(end - begin, 1 << 16)));
  for (uint64_t at = begin; at < end;) {
    const size_t count = static_cast<size_t>(std::min<uint64_t>(end - at, buffer.size()));
    const size_t got = file.ReadSomeAt(at, buffer.data(), count);
    hash = Fnv(std::string_view(buffer.data(), got), hash);
    if (got < count) return hash ^ 1; // shorter than it was: no match
    at += got;
  }
  return hash;
}

TRowCacheKey RowCacheKeyOf(const TFileStream& file, const std::string& path,
                           const TFileStamp& stamp) {
  TRowCacheKey key;
  key.Path = path;
  key.Stamp = stamp;
  key.Head = FileBytesHash(file, 0, std::min(stamp.size, RowCacheEdgeBytes));
  key.Tail = FileBytesHash(file, stamp.size - std::min(stamp.size, RowCacheEdgeBytes), stamp.size);
  return key;
}

std::string EncodeRowCache(const TRowCacheFacts& facts, const std::vector<TMessageEntry>& rows) {
  return PackRowCache(facts.Key, RowCachePayload(facts, rows));
}

std::string RowCachePayload(const TRowCacheFacts& cache, const std::vector<TMessageEntry>& rows) {
  TWriter payload;
  payload.Var(cache.Facts.size());
  for (int64_t fact : cache.Facts) payload.Signed(fact);
  payload.Var(cache.Notes.size());
  for (const TStoreNote& note : cache.Notes) {
    payload.U8(note.Kind);
    payload.Text(note.Name);
    payload.Text(note.Reason);
    payload.Signed(note.Number);
  }
  // Every text once, numbered from 1 in the order the rows name them (0: the empty text).
  std::unordered_map<std::string_view, uint32_t> numbers;
  numbers.reserve(rows.size() * 2); // most rows bring a subject and an id of their own
  std::vector<std::string_view> texts;
  std::vector<uint32_t> rowTexts;
  rowTexts.reserve(rows.size() * TextsPerRow);
  auto number = [&](const TSharedText& text) {
    if (text.empty()) return rowTexts.push_back(0);
    const auto [at, added] = numbers.try_emplace(text.view(), static_cast<uint32_t>(texts.size() + 1));
    if (added) texts.push_back(text.view());
    rowTexts.push_back(at->second);
  };
  for (const TMessageEntry& entry : rows) {
    number(entry.*EntryText);
    for (auto field : HeaderTexts) number(entry.Header.*field);
  }
  payload.Var(texts.size());
  for (std::string_view text : texts) payload.Text(text);
  payload.Var(rows.size());
  // Numbers as differences from what the row before makes likely: mostly 0, one byte each.
  int64_t index = -1, line = 0, end = 0;
  const uint32_t* text = rowTexts.data();
  for (const TMessageEntry& entry : rows) {
    payload.Signed(Diff(entry.Index, index + 1));
    payload.Signed(Diff(entry.StartLine, line));
    payload.Signed(Diff(entry.StartOffset, end));
    payload.Signed(Diff(entry.EndOffset, entry.StartOffset));
    payload.Signed(Diff(entry.Header.Size, Diff(entry.EndOffset, entry.StartOffset)));
    payload.Fixed(entry.Fingerprint, 4);
    uint64_t date;
    std::memcpy(&date, &entry.Header.Date, sizeof date);
    payload.Fixed(date, 8);
    payload.Signed(entry.Header.Priority);
    payload.Var(entry.Flags ? uint64_t{*entry.Flags} + 1 : 0);
    payload.U8(static_cast<uint8_t>(entry.Parting | entry.State << 4));
    for (size_t i = 0; i < TextsPerRow; ++i) payload.Var(*text++);
    index = entry.Index;
    line = entry.StartLine;
    end = entry.EndOffset;
  }

  return std::move(payload.Bytes);
}

std::string PackRowCache(const TRowCacheKey& key, std::string_view payload) {
  const std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx*)> context(ZSTD_createCCtx(),
                                                                   ZSTD_freeCCtx);
  if (!context) return {};
  ZSTD_CCtx_setParameter(context.get(), ZSTD_c_compressionLevel, 3);
  ZSTD_CCtx_setParameter(context.get(), ZSTD_c_checksumFlag, 1);
  // Two threads for a big store's rows (refused where unsupported); a small one's take no time.
  if (payload.size() > (4 << 20)) ZSTD_CCtx_setParameter(context.get(), ZSTD_c_nbWorkers, 2);
  std::string packed(ZSTD_compressBound(payload.size()), '\0');
  const size_t size =
      ZSTD_compress2(context.get(), packed.data(), packed.size(), payload.data(), payload.size());
  if (ZSTD_isError(size)) return {};
  packed.resize(size);

  TWriter out;
  out.Bytes.append(Magic, sizeof Magic);
  out.Fixed(Version, 4);
  out.Text(Build);
  WriteKey(out, key);
  out.Fixed(payload.size(), 8);
  out.Fixed(packed.size(), 8);
  out.Fixed(Fnv(out.Bytes), 8);
  out.Bytes += packed;
  return std::move(out.Bytes);
}

bool DecodeRowCacheKey(std::string_view bytes, TRowCacheKey& key) {
  THead head;
  if (!ReadHead(bytes, head)) return false;
  key = std::move(head.Key);
  return true;
}

bool DecodeRowCache(std::string_view bytes, TRowCache& cache) {
  THead head;
  std::string raw;
  if (!ReadHead(bytes, head) || !Unpack(head.Packed, head.RawSize, raw)) return false;
  cache.Key = std::move(head.Key);
  TReader in(raw);
  const uint64_t facts = in.Count(1);
  if (facts > MaxFacts) return false;
  cache.Facts.resize(facts);
  for (int64_t& fact : cache.Facts) fact = in.Signed();
  const uint64_t notes = in.Count(4);
  cache.Notes.clear();
  for (uint64_t i = 0; i < notes && in.Ok(); ++i) {
    const uint8_t kind = in.U8();
    if (kind > nkSkippedMessage) return false;
    std::string name(in.Text());
    std::string reason(in.Text());
    cache.Notes.emplace_back(static_cast<TNoteKind>(kind), std::move(name), std::move(reason), in.Signed());
  }
  const uint64_t textCount = in.Count(1);
  std::vector<TSharedText> texts;
  texts.reserve(textCount + 1);
  texts.emplace_back();
  for (uint64_t i = 0; i < textCount && in.Ok(); ++i) {
    const std::string_view text = in.Text();
    if (text.empty()) return false; // the empty text has no number of its own
    texts.emplace_back(text);
  }
  const uint64_t rows = in.Count(MinRowBytes);
  cache.Rows.clear();
  cache.Rows.reserve(rows);
  int64_t index = -1, line = 0, end = 0;
  auto text = [&]() -> const TSharedText& {
    const uint64_t number = in.Var();
    if (number < texts.size()) return texts[number];
    in.Fail();
    return texts[0];
  };
  for (uint64_t i = 0; i < rows && in.Ok(); ++i) {
    TMessageEntry& entry = cache.Rows.emplace_back();
    entry.Index = static_cast<int32_t>(Wrap(index + 1, in.Signed()));
    entry.StartLine = Wrap(line, in.Signed());
    entry.StartOffset = Wrap(end, in.Signed());
    entry.EndOffset = Wrap(entry.StartOffset, in.Signed());
    entry.Header.Size = Wrap(in.Signed(), Diff(entry.EndOffset, entry.StartOffset));
    entry.Fingerprint = static_cast<uint32_t>(in.Fixed(4));
    const uint64_t date = in.Fixed(8);
    std::memcpy(&entry.Header.Date, &date, sizeof date);
    entry.Header.Priority = static_cast<int32_t>(in.Signed());
    if (const uint64_t flags = in.Var()) entry.Flags = static_cast<uint32_t>(flags - 1);
    const uint8_t ends = in.U8();
    entry.Parting = ends & 0x0F;
    if (entry.Parting > 2 || (ends >> 4) > rsDeleted) in.Fail();
    entry.State = static_cast<TRowState>(ends >> 4);
    entry.*EntryText = text();
    for (auto field : HeaderTexts) entry.Header.*field = text();
    index = entry.Index;
    line = entry.StartLine;
    end = entry.EndOffset;
  }
  return in.Ok() && in.Left() == 0;
}

bool ReadRowCacheFile(const std::string& file, std::string& bytes) {
  if (file.empty()) return false;
  try {
    bytes = ReadWholeFile(file);
    return true;
  } catch (const EPelloraError&) {
    return false;
  }
}

void WriteRowCacheFile(const std::string& file, const TRowCacheFacts& facts,
                       const std::vector<TMessageEntry>& rows) {
  if (file.empty()) return;
  try {
    const std::string bytes = EncodeRowCache(facts, rows);
    if (bytes.empty()) return;
    TSafeFileWriter writer(file, 0600);
    writer.Write(bytes);
    writer.Commit(true);
  } catch (const std::exception&) {
    // No cache this time; the next load tries again.
  }
}

} // namespace pellora
