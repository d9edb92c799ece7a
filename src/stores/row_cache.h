#pragma once
// A store's rows kept in the user's cache folder, so that a store unchanged since it was last
// loaded reopens without reading it again. One file per store, named after a hash of its path;
// it holds the key the store had when it was loaded, facts of the kind's own, the load's notes
// and every row, its texts in one table, compressed. A cache file that is damaged, foreign or
// of another version reads as none: the store loads as without a cache and writes it anew.
#include "platform/files.h"
#include "stores/message_entry.h"
#include "stores/store_notes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

class TFileStream;

// The bytes at each end of a store file whose hash is part of its key.
constexpr uint64_t RowCacheEdgeBytes = 64 << 10;

// What a store file was when its rows were cached.
struct TRowCacheKey {
  std::string Path;  // as the store was loaded
  TFileStamp Stamp;  // size, modification time, inode
  uint64_t Head = 0; // hash of its first RowCacheEdgeBytes
  uint64_t Tail = 0; // hash of the last RowCacheEdgeBytes before Stamp.size
  bool operator==(const TRowCacheKey&) const = default;
};

// What a cache holds beside the rows.
struct TRowCacheFacts {
  TRowCacheKey Key;
  std::vector<int64_t> Facts; // what the kind needs beside its rows
  std::vector<TStoreNote> Notes; // what the load noted
};

struct TRowCache : TRowCacheFacts {
  std::vector<TMessageEntry> Rows;
};

// The cache file of the store at path: in PELLORA_CACHE_DIR when it is set (no cache when it
// is set and empty), else in "pellora" of the user's cache folder; "" when there is none to be
// had (the folder cannot be made, is not the user's own or is the store's own folder).
std::string RowCacheFile(const std::string& storePath);

// The hash of the bytes [begin, end) of file; the same from run to run.
uint64_t FileBytesHash(const TFileStream& file, uint64_t begin, uint64_t end);
// The key of the store file open as file, its stamp given.
TRowCacheKey RowCacheKeyOf(const TFileStream& file, const std::string& path,
                           const TFileStamp& stamp);

// The cache's bytes; "" when they cannot be made.
std::string EncodeRowCache(const TRowCacheFacts& facts, const std::vector<TMessageEntry>& rows);
// Its two halves: the facts and rows unpacked, and the file of such bytes under a key. (The fuzz
// target packs bytes of its own, to reach the rows' reader past the checksums.)
std::string RowCachePayload(const TRowCacheFacts& facts, const std::vector<TMessageEntry>& rows);
std::string PackRowCache(const TRowCacheKey& key, std::string_view payload);
// The key alone, without unpacking the rows; false when bytes are no cache of this version.
bool DecodeRowCacheKey(std::string_view bytes, TRowCacheKey& key);
// Everything; false, with cache in no defined state, when bytes are damaged, cut short or no
// cache of this version. Every count and length is checked against the bytes.
bool DecodeRowCache(std::string_view bytes, TRowCache& cache);

// Reads the cache file; false when there is none or it cannot be read.
bool ReadRowCacheFile(const std::string& file, std::string& bytes);
// Writes the cache file under a temporary name and renames it: a reader sees the old file or the
// new one whole. A failure (a full disk, a folder not writable) leaves no file and raises nothing:
// the cache only spares time.
void WriteRowCacheFile(const std::string& file, const TRowCacheFacts& facts,
                       const std::vector<TMessageEntry>& rows);

} // namespace pellora
