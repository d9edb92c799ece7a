#include "stores/kinds/store_kinds.h"

#include "i18n/format_text.h"
#include "i18n/localized_text.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/pellora_error.h"
#include "stores/kinds/compressed_mailbox_store.h"
#include "stores/kinds/database_store.h"
#include "stores/kinds/emlx_store.h"
#include "stores/kinds/mailbox_file_store.h"
#include "stores/kinds/message_file_store.h"
#include "stores/kinds/message_folder_store.h"
#include "stores/kinds/msg_store.h"
#include "stores/kinds/pst_store.h"
#include "stores/msg_reader.h"
#include "stores/mailbox.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace pellora {
namespace {

// As much of a file as tells what it holds.
constexpr size_t SampleSize = 64 * 1024;

// A file's first bytes, a byte-order mark left out; whole: the file holds no more.
struct TSample {
  std::string bytes;
  std::string_view text;
  bool whole = true;
};

TSample ReadSample(const std::string& path) {
  TSample sample;
  sample.bytes.assign(SampleSize + 1, '\0');
  std::ifstream in(path, std::ios::binary);
  in.read(sample.bytes.data(), static_cast<std::streamsize>(sample.bytes.size()));
  sample.bytes.resize(static_cast<size_t>(in.gcount()));
  sample.whole = sample.bytes.size() <= SampleSize;
  if (!sample.whole) sample.bytes.resize(SampleSize);
  sample.text = sample.bytes;
  if (sample.text.starts_with("\xEF\xBB\xBF")) sample.text.remove_prefix(3);
  return sample;
}

bool HasExtension(std::string_view path, std::initializer_list<const char*> extensions) {
  const std::string ext = ExtractFileExt(path);
  for (const char* e : extensions)
    if (SameTextAscii(ext, e)) return true;
  return false;
}

bool Always(const std::string&) { return true; }

template <class T> std::unique_ptr<TStore> Make() { return std::make_unique<T>(); }

// One kind of store: the open kind it opens as, how a path is known to be it, and its maker.
struct TKind {
  TOpenKind Open;
  // By the path's name; with NameBeatsFolder also a folder of that name.
  bool (*Named)(std::string_view path);
  bool NameBeatsFolder;
  // By a file's first bytes, for a file of no known name.
  bool (*Holds)(const TSample& sample);
  // Whether it reads what path, opened as its open kind, holds.
  bool (*Takes)(const std::string& path);
  std::unique_ptr<TStore> (*Make)();
};

// The kinds. A path's name is looked for in this order, then a file's content. Of the kinds of
// one open kind the first that takes a path reads it, and when none does the first of them.
const TKind Kinds[] = {
    // Outlook's folder files open in a mailbox window as a database does.
    {okOEDatabase, TPstStore::IsPstName, true,
     [](const TSample& s) { return TPstStore::ClaimsBytes(s.bytes); }, TPstStore::ClaimsFile,
     Make<TPstStore>},
    {okOEDatabase, [](std::string_view p) { return HasExtension(p, {".dbx", ".mbx"}); }, true,
     nullptr, Always, Make<TDatabaseStore>},
    {okMailboxFile, [](std::string_view p) { return CompressionOfName(p) != czNone; }, false,
     [](const TSample& s) { return TCompressedMailboxStore::ClaimsBytes(s.bytes); },
     TCompressedMailboxStore::ClaimsFile, Make<TCompressedMailboxStore>},
    // Mailbox files come under any name (a mailbox folder "Old.Mail", a list archive
    // "2019-April.txt"): their text tells.
    {okMailboxFile, [](std::string_view p) { return HasExtension(p, {".mbox"}); }, false,
     [](const TSample& s) { return s.text.starts_with("From "); }, Always,
     Make<TMailboxFileStore>},
    {okMessageFile, TEmlxStore::IsEmlxName, true, nullptr,
     [](const std::string& p) { return TEmlxStore::IsEmlxName(p); },
     [] { return std::unique_ptr<TStore>(std::make_unique<TEmlxStore>(false)); }},
    {okMessageFile, TMsgStore::IsMsgName, true, [](const TSample& s) { return IsMsgBytes(s.bytes); },
     TMsgStore::ClaimsFile,
     [] { return std::unique_ptr<TStore>(std::make_unique<TMsgStore>(false)); }},
    // A message saved without extension, or as ".txt": its header tells.
    {okMessageFile, [](std::string_view p) { return HasExtension(p, {".eml"}); }, true,
     [](const TSample& s) { return TMessageFileStore::BeginsWithHeader(s.text, s.whole); }, Always,
     Make<TMessageFileStore>},
    // The first folder kind also reads a folder without messages.
    {okMessageFolder, nullptr, false, nullptr, TMessageFolderStore::HoldsMessages,
     Make<TMessageFolderStore>},
    {okMessageFolder, nullptr, false, nullptr, TEmlxStore::HoldsMessages,
     [] { return std::unique_ptr<TStore>(std::make_unique<TEmlxStore>(true)); }},
    {okMessageFolder, nullptr, false, nullptr, TMsgStore::HoldsMessages,
     [] { return std::unique_ptr<TStore>(std::make_unique<TMsgStore>(true)); }},
};

} // namespace

TOpenKind KindOfPath(const std::string& path) {
  for (const TKind& kind : Kinds)
    if (kind.Named && kind.NameBeatsFolder && kind.Named(path)) return kind.Open;
  if (DirectoryExists(path)) return okMessageFolder;
  for (const TKind& kind : Kinds)
    if (kind.Named && !kind.NameBeatsFolder && kind.Named(path)) return kind.Open;
  // Only a regular file: reading from a pipe would take what its reader needs.
  std::error_code error;
  if (std::filesystem::is_regular_file(path, error)) {
    const TSample sample = ReadSample(path);
    for (const TKind& kind : Kinds)
      if (kind.Holds && kind.Holds(sample)) return kind.Open;
  }
  return ExtractFileExt(path).empty() ? okMailboxFile : okUnknown;
}

std::string DatabaseOfIndex(const std::string& path) {
  std::string ext = ExtractFileExt(path);
  if (!SameTextAscii(ext, ".idx")) return path;
  std::string stem = path.substr(0, path.size() - ext.size());
  for (const char* databaseExt : {".mbx", ".MBX"})
    if (FileExists(stem + databaseExt)) return stem + databaseExt;
  return path;
}

bool OpensFolder(TOpenKind kind) {
  return kind == okMessageFolder;
}

bool FolderHoldsMessages(const std::string& path) {
  if (!DirectoryExists(path)) return false;
  for (const TKind& kind : Kinds)
    if (kind.Open == okMessageFolder && kind.Takes(path)) return true;
  return false;
}

std::unique_ptr<TStore> MakeStore(const std::string& path, TOpenKind kind) {
  const TKind* first = nullptr;
  for (const TKind& k : Kinds) {
    if (k.Open != kind) continue;
    if (k.Takes(path)) return k.Make();
    if (!first) first = &k;
  }
  return first ? first->Make() : nullptr;
}

void CheckStorePath(const std::string& path, TOpenKind kind) {
  bool exists = OpensFolder(kind) ? DirectoryExists(path) : FileExists(path);
  if (!exists)
    throw EPelloraError(FormatText(GetLocalizedText("lc_FileNotExists"), {Utf8ToAnsi(path)}));
  // A message opens in a message window.
  const bool registered = std::any_of(std::begin(Kinds), std::end(Kinds),
                                      [&](const TKind& k) { return k.Open == kind; });
  if (kind == okMessageFile || !registered)
    throw EPelloraError(GetLocalizedText("lc_FileNotSupported"));
}

void LoadStoreChecked(TMailbox& box, const std::string& path, TOpenKind kind,
                      TLoadObserver* observer, TLoadOptions options) {
  CheckStorePath(path, kind);
  TLoadResult result = box.Load(path, kind, observer, options);
  if (!result.Loaded) throw EPelloraError(result.ErrorText);
}

} // namespace pellora
