#include "stores/mailbox.h"

#include "i18n/format_text.h"
#include "i18n/localized_text.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "stores/dbx_reader.h"
#include "stores/header_scanner.h"
#include "stores/mbx_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <numeric>
#include <unistd.h>
#include <utility>

namespace pellora {

namespace {

// Called as each row is added.
void ShareWithRowBefore(std::vector<TMessageEntry>& rows) {
  if (rows.size() >= 2) ShareRepeatedTexts(rows.back().Header, rows[rows.size() - 2].Header);
}

// Of the start of a separator line: a line a few hundred bytes long says all that tells it apart,
// and so a row is checked with a short read.
constexpr size_t FingerprintedBytes = 256;

uint32_t SeparatorFingerprint(std::string_view separator) {
  return static_cast<uint32_t>(
      std::hash<std::string_view>{}(separator.substr(0, FingerprintedBytes)));
}

uint32_t FileFingerprint(const TFileStamp& stamp) {
  const auto time = static_cast<uint64_t>(stamp.modifiedNs);
  return static_cast<uint32_t>(time ^ time >> 32);
}

// A hash of the last bytes before end in the file; 0 when they cannot be read.
uint32_t TailFingerprint(const std::string& path, uint64_t end) {
  int handle = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (handle < 0) return 0;
  char tail[1024];
  const size_t size = static_cast<size_t>(std::min<uint64_t>(end, sizeof tail));
  const ssize_t got = pread(handle, tail, size, static_cast<off_t>(end - size));
  close(handle);
  if (got != static_cast<ssize_t>(size)) return 0;
  return static_cast<uint32_t>(std::hash<std::string_view>{}(std::string_view(tail, size)));
}

} // namespace

void SplitTextLines(std::string_view text, std::vector<std::string>& lines) {
  lines.clear();
  ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
}

std::string JoinRecipients(std::string_view names, std::string_view addresses) {
  // Only ";" separates; an empty text has no items; a trailing ";" adds none.
  auto split = [](std::string_view text) {
    std::vector<std::string_view> items;
    size_t start = 0;
    while (start < text.size()) {
      size_t semi = text.find(';', start);
      if (semi == std::string_view::npos) semi = text.size();
      items.push_back(text.substr(start, semi - start));
      start = semi + 1;
    }
    return items;
  };
  std::vector<std::string_view> nameItems = split(names), addressItems = split(addresses);
  std::string result;
  for (size_t i = 0; i < addressItems.size(); ++i) {
    if (i < nameItems.size() && !nameItems[i].empty()) {
      result += nameItems[i];
      result += ' ';
    }
    result += addressItems[i];
    result += ';';
  }
  if (!result.empty()) result.pop_back();
  return result;
}

void CheckStorePath(const std::string& path, TOpenKind kind) {
  bool exists = kind == okMessageFolder ? DirectoryExists(path) : FileExists(path);
  if (!exists)
    throw EPelloraError(FormatText(GetLocalizedText("lc_FileNotExists"), {Utf8ToAnsi(path)}));
  if (kind != okOEDatabase && kind != okMessageFolder && kind != okMailboxFile)
    throw EPelloraError(GetLocalizedText("lc_FileNotSupported"));
}

void LoadStoreChecked(TMailbox& box, const std::string& path, TOpenKind kind,
                      TLoadObserver* observer) {
  CheckStorePath(path, kind);
  TLoadResult result = box.Load(path, kind, observer);
  if (!result.Loaded) throw EPelloraError(result.ErrorText);
}

TLoadResult TMailbox::Load(const std::string& path, TOpenKind kind, TLoadObserver* observer) {
  struct TObserving {
    TMailbox& box;
    ~TObserving() { box.FObserver = nullptr; }
  } observing{*this};
  FObserver = observer;
  FKind = kind;
  FPath = path;
  FSorter.reset(); // its ranks belong to the entries of the last load
  FMemo.clear();
  FStoreChanged = false;
  FMaildirFiles.clear();
  TLoadResult result;
  try {
    switch (kind) {
    case okOEDatabase:
      result.Loaded = LoadOEDatabase(path);
      break;
    case okMessageFolder:
      result.Loaded = LoadMessageFolder(path);
      break;
    case okMailboxFile:
      result.Loaded = LoadMailboxFile(path);
      break;
    default:
      FEntries.clear();
      FOrder.clear();
      return result;
    }
  } catch (const std::exception& e) {
    result.ErrorText = e.what();
  }
  SortEntries();
  return result;
}

void TMailbox::SortEntries() {
  FOrder.resize(FEntries.size());
  std::iota(FOrder.begin(), FOrder.end(), 0u);
  Sort(FSortColumn, FSortDescending);
  // In place, cycle by cycle: a second copy of the rows would double the memory of a big store.
  for (uint32_t start = 0; start < FOrder.size(); ++start) {
    if (FOrder[start] == start) continue;
    TMessageEntry held = std::move(FEntries[start]);
    uint32_t at = start;
    while (FOrder[at] != start) {
      const uint32_t from = FOrder[at];
      FEntries[at] = std::move(FEntries[from]);
      FOrder[at] = at;
      at = from;
    }
    FEntries[at] = std::move(held);
    FOrder[at] = at;
  }
  FSorter.reset();
}

void TMailbox::Sort(int column, bool descending) {
  FSortColumn = column;
  FSortDescending = descending;
  if (!FSorter) FSorter = std::make_unique<TEntrySorter>(FEntries, FReader.get());
  FSorter->Sort(FOrder, column, descending);
}

bool TMailbox::LoadOEDatabase(const std::string& path) {
  bool result = false;
  FStatusText = GetLocalizedText("lc_Loading");
  FDetailCaption.clear();
  FMemo.clear();
  FEntries.clear();
  Repaint();
  FReader.reset(); // closes the previous database first
  uint64_t start = TickCount();
  uint8_t format = fmtUnknown;
  // However the load ends, a database that was recognised is named in the information area.
  struct TDescribe {
    TMailbox& box;
    const uint8_t& format;
    ~TDescribe() {
      if (!box.FReader) return;
      box.FDetailCaption = "   " + GetLocalizedText("lc_FileProps");
      box.FMemo.push_back(
          FormatText(format == fmtMbx ? "%s: Outlook Express 4" : "%s: Outlook Express 5/6",
                     {GetLocalizedText("lc_Format")}));
    }
  } describe{*this, format};
  try {
    format = DetectStoreFormat(path);
    if (format == fmtMbx)
      FReader = std::make_unique<TMBXReader>();
    else if (format == fmtDbx)
      FReader = std::make_unique<TDBXReader>();
    else
      throw EOEReaderException(GetLocalizedText("lc_FileNotSupported"));
  } catch (...) {
    FStatusText = GetLocalizedText("lc_LoadFailed");
    throw;
  }
  FStatusText = GetLocalizedText("lc_LoadFailed"); // until the reader has opened the file
  FReader->LoadFromFile(path);
  FStatusText = FormatText(GetLocalizedText("lc_ElapsedTime"), {(TickCount() - start) / 1000.0});
  Repaint();
  start = TickCount();
  FReader->ReadMessageInfos();
  FStatusText = FormatText(GetLocalizedText("lc_ElapsedTime"), {(TickCount() - start) / 1000.0});
  Repaint();
  if (FReader->Opened()) {
    ListReaderMessages();
    result = true;
  }
  return result;
}

void TMailbox::ListReaderMessages() {
  FMemo.clear();
  FEntries.clear();
  int32_t count = FReader->GetMessageCount();
  FEntries.reserve(static_cast<size_t>(std::max(count, 0)));
  TMessageInfo info;
  // ASCII texts (most) move from the reader into the row as they are.
  auto ToAnsi = [](std::string& text) {
    return IsAscii(text) ? std::move(text) : UndeclaredToAnsi(text);
  };
  for (int32_t i = 0; i < count; ++i) {
    Progress(static_cast<uint64_t>(i), static_cast<uint64_t>(count));
    FReader->TakeMessageInfo(i, info);
    TMessageEntry& entry = FEntries.emplace_back();
    entry.Index = i;
    entry.Kind = ekDatabase;
    // A database keeps its texts in the code page of the system that wrote it.
    TEMLHeader& h = entry.Header;
    h.From = ToAnsi(info.From);
    h.Sender = ToAnsi(info.Sender);
    h.Subject = ToAnsi(info.Subject);
    h.To = UndeclaredToAnsi(JoinRecipients(info.ToNames, info.ToAddresses));
    h.Priority = info.Priority;
    h.Date = info.Date != 0 ? info.Date : ScanMailDate(info.DateText);
    h.Size = static_cast<int64_t>(info.TextSize);
    ShareWithRowBefore(FEntries);
  }
  Repaint();
}

namespace {

// Where a Maildir file name's info (":2,FS") begins; the name's size when it has none. "!"
// stands for ":" where file names cannot hold a colon.
size_t MaildirInfoStart(std::string_view name) {
  size_t at = name.find_last_of(":!");
  return at == std::string_view::npos ? name.size() : at;
}

// A Maildir's messages by file name: a name begins with its delivery time.
std::vector<std::string> ListMaildirFiles(const std::string& path) {
  std::vector<std::pair<std::string, std::string>> named;
  for (const char* sub : {"cur", "new"}) {
    std::vector<std::string> files;
    FindFiles(IncludeTrailingPathDelimiter(path) + sub, "*", faArchive, false, &files);
    for (auto& file : files) {
      std::string name = ExtractFileName(file);
      if (!name.starts_with('.')) named.emplace_back(std::move(name), std::move(file));
    }
  }
  std::sort(named.begin(), named.end());
  std::vector<std::string> files;
  files.reserve(named.size());
  for (auto& [name, file] : named)
    files.push_back(std::move(file));
  return files;
}

} // namespace

bool IsMaildir(const std::string& path) {
  std::string folder = IncludeTrailingPathDelimiter(path);
  return DirectoryExists(folder + "cur") && DirectoryExists(folder + "new");
}

bool FolderHoldsMessages(const std::string& path) {
  if (!DirectoryExists(path)) return false;
  if (IsMaildir(path)) return true;
  std::vector<std::string> files;
  FindFiles(path, "*.eml", faAnyFile, false, &files);
  return !files.empty();
}

uint32_t MaildirFlagsOf(std::string_view name) {
  std::string_view info = name.substr(MaildirInfoStart(name));
  if (info.size() < 3 || info.substr(1, 2) != "2,") return 0;
  uint32_t flags = 0;
  for (char c : info.substr(3)) {
    switch (c) {
    case 'F':
      flags |= mfFlagged;
      break;
    case 'P':
      flags |= mfForwarded;
      break;
    case 'R':
      flags |= mfReplied;
      break;
    case 'S':
      flags |= mfRead;
      break;
    default:
      break;
    }
  }
  return flags;
}

std::optional<uint32_t> MozillaStatusFlags(std::string_view value) {
  value = TrimBlanks(value);
  if (value.empty() || value.size() > 8) return std::nullopt;
  uint32_t status = 0;
  for (char c : value) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    status = status << 4 | static_cast<uint32_t>(digit);
  }
  uint32_t flags = 0;
  if (status & 0x0001) flags |= mfRead;
  if (status & 0x0002) flags |= mfReplied;
  if (status & 0x0004) flags |= mfFlagged; // "marked"
  if (status & 0x1000) flags |= mfForwarded;
  return flags;
}

bool TMailbox::LoadMessageFolder(const std::string& path) {
  const bool maildir = IsMaildir(path);
  std::vector<std::string> files;
  if (maildir) {
    files = ListMaildirFiles(path);
  } else {
    FindFiles(path, "*.eml", faAnyFile, false, &files);
    // The system's listing order is arbitrary; by name the rows keep one order everywhere.
    std::sort(files.begin(), files.end());
  }
  FMemo.clear();
  FEntries.clear();
  FEntries.reserve(files.size());
  THeaderScanner scanner;
  for (size_t i = 0; i < files.size(); ++i) {
    Progress(i, files.size());
    const std::string& file = files[i];
    try {
      // The scanner takes the lines where the file's text holds them, as ScanHeader would.
      const std::string text = ReadWholeFile(file);
      scanner.Reset();
      ForEachLine(text, [&](std::string_view line) { scanner.Feed(line); });
      TMessageEntry entry;
      scanner.Finish(entry.Header);
      TFileStamp stamp;
      entry.Header.Size = GetFileStamp(file, stamp) ? static_cast<int64_t>(stamp.size) : -1;
      entry.Fingerprint = FileFingerprint(stamp);
      entry.Index = static_cast<int32_t>(i);
      entry.Kind = ekMessageFile;
      entry.Path = file;
      if (maildir) entry.Flags = MaildirFlagsOf(ExtractFileName(file));
      FEntries.push_back(std::move(entry));
      ShareWithRowBefore(FEntries);
    } catch (const std::exception& e) {
      FMemo.push_back(ExtractFileName(file) + ": " + e.what());
    }
    std::string().swap(files[i]); // the row holds its own copy: the list is not kept twice
  }
  Repaint();
  return true;
}

bool TMailbox::LoadMailboxFile(const std::string& path) {
  FEntries.clear();
  FMailboxRule = mrMarked;
  TMailboxLineReader reader(path);
  TFileStamp stamp;
  reader.Stamp(stamp);
  // Room for rows of 4 KB messages on average: pages of the room no row takes are never
  // touched, while growing by copying would hold the rows twice at the moment of the copy.
  FEntries.reserve(static_cast<size_t>(std::min<uint64_t>(stamp.size / 4096, 1u << 20)));
  THeaderScanner scanner;
  std::string previous; // kept only when it is a separator line
  bool previousIsSeparator = false, previousIsEmpty = false;
  bool ruleKnown = false; // once the line after the first separator has been seen
  int64_t previousOffset = 0, previousLine = 0;
  int64_t lineCounter = 0, startLine = 1, startOffset = 0;
  int64_t byteCount = -1; // 64 bits: a message may exceed 2 GiB
  int32_t messageCount = 0;
  uint32_t fingerprint = 0;
  const TSharedText sharedPath(path);
  bool inHeader = false;                 // before the message's first empty line
  std::optional<uint32_t> statusFlags; // of its X-Mozilla-Status field
  auto addEntry = [&](int64_t endOffset) {
    TMessageEntry& entry = FEntries.emplace_back();
    scanner.Finish(entry.Header);
    entry.Flags = statusFlags;
    entry.Header.Size = byteCount;
    entry.StartLine = startLine;
    entry.StartOffset = startOffset;
    entry.EndOffset = endOffset;
    entry.Fingerprint = fingerprint;
    entry.Index = messageCount;
    entry.Kind = ekMailbox;
    entry.Path = sharedPath;
    ShareWithRowBefore(FEntries);
  };
  // Ends the message before, if any, and starts one at a separator line.
  auto startMessage = [&](std::string_view separator, int64_t number, int64_t offset) {
    if (byteCount >= 0) {
      addEntry(offset);
      ++messageCount;
      Progress(static_cast<uint64_t>(offset), stamp.size);
    }
    startLine = number;
    startOffset = offset;
    fingerprint = SeparatorFingerprint(separator);
    scanner.Reset();
    scanner.Feed(separator);
    byteCount = static_cast<int64_t>(separator.size());
    inHeader = true;
    statusFlags.reset();
  };
  // A line of the message after its separator.
  auto feed = [&](std::string_view line) {
    scanner.Feed(line);
    byteCount += static_cast<int64_t>(line.size());
    if (!inHeader) return;
    if (line.empty()) inHeader = false;
    else if (!statusFlags && line.size() > 17 && SameTextAscii(line.substr(0, 17), "X-Mozilla-Status:"))
      statusFlags = MozillaStatusFlags(line.substr(17));
  };
  std::string_view line;
  bool discarded;
  while (reader.Next(line, discarded)) {
    ++lineCounter;
    if (discarded) continue;
    if (!ruleKnown && previousIsSeparator) {
      ruleKnown = true;
      if (!IsMailboxMarkerLine(line)) {
        FMailboxRule = mrClassic;
        startMessage(previous, previousLine, previousOffset);
      }
    }
    if (FMailboxRule == mrClassic) {
      if (previousIsEmpty && IsSeparatorLine(line)) {
        startMessage(line, lineCounter, reader.LineOffset());
      } else {
        feed(line);
      }
      previousIsEmpty = line.empty();
      continue;
    }
    if (previousIsSeparator && IsMailboxMarkerLine(line)) {
      // The separator's own number: a Ctrl-Z line between it and the marker still counts.
      startMessage(previous, previousLine, previousOffset);
      feed(line);
    } else if (byteCount >= 0) {
      feed(line);
    }
    previousIsSeparator = IsSeparatorLine(line);
    if (previousIsSeparator) {
      previous.assign(line);
      previousOffset = reader.LineOffset();
      previousLine = lineCounter;
    }
  }
  // A file whose only separator is its last line.
  if (!ruleKnown && previousIsSeparator) {
    FMailboxRule = mrClassic;
    startMessage(previous, previousLine, previousOffset);
  }
  const int64_t end = reader.EndOffset();
  if (byteCount >= 0) addEntry(end);
  // The bytes read: a file written while it was read no longer matches its stamp afterwards.
  FMailboxStamp = {static_cast<uint64_t>(end), stamp.modifiedNs};
  FMailboxTail = TailFingerprint(path, FMailboxStamp.size);
  FGrownStamp = {};
  Repaint();
  return true;
}

void TMailbox::NoteStoreChange() {
  if (FStoreChanged) return;
  FStoreChanged = true;
  FMemo.push_back(GetLocalizedText("lc_StoreChanged"));
}

void TMailbox::RaiseStoreChanged() {
  NoteStoreChange();
  throw EPelloraError(GetLocalizedText("lc_StoreChanged"));
}

void TMailbox::CheckDatabase() {
  TFileStamp now;
  if (FReader && (!GetFileStamp(FReader->FileName(), now) || now.size != FReader->FileSize()))
    NoteStoreChange();
}

bool TMailbox::MailboxExtent(const TMessageEntry& entry, int64_t& begin, int64_t& end) {
  if (entry.Kind != ekMailbox) return false;
  TFileStamp now;
  if (!GetFileStamp(entry.Path.str(), now)) RaiseStoreChanged();
  if (now != FMailboxStamp) {
    // Mail appended at the end changes no row; a file cut or written before its old end may.
    const bool grewAtEnd = GrewAtEnd(now);
    if (!grewAtEnd) NoteStoreChange();
    if (!StillInPlace(entry, now, grewAtEnd)) RaiseStoreChanged();
  }
  begin = entry.StartOffset;
  end = entry.EndOffset;
  return true;
}

bool TMailbox::GrewAtEnd(const TFileStamp& now) {
  if (now.size <= FMailboxStamp.size) return false;
  if (now != FGrownStamp) {
    FGrownStamp = now;
    FGrownAtEnd = TailFingerprint(FPath, FMailboxStamp.size) == FMailboxTail;
  }
  return FGrownAtEnd;
}

bool TMailbox::StillInPlace(const TMessageEntry& entry, const TFileStamp& now, bool grewAtEnd) {
  // The row's separator line is still at its offset, and its bytes end where the file ends now
  // (or ended at load time, when mail was appended after them), or where the next message's
  // separator line begins.
  if (entry.StartOffset < 0 || static_cast<uint64_t>(entry.EndOffset) > now.size) return false;
  std::string_view line;
  bool discarded;
  const auto shortRead = static_cast<int64_t>(4 * FingerprintedBytes); // stray CRs are no text
  TMailboxLineReader at(entry.Path.str(), entry.StartOffset,
                        std::min(shortRead, entry.EndOffset - entry.StartOffset));
  if (!at.Next(line, discarded) || discarded || !IsSeparatorLine(line) ||
      SeparatorFingerprint(line) != entry.Fingerprint)
    return false;
  if (static_cast<uint64_t>(entry.EndOffset) == now.size || (grewAtEnd && LastInFile(entry)))
    return true;
  // The file may now end inside the next separator line, cut short.
  TMailboxLineReader next(entry.Path.str(), entry.EndOffset, shortRead);
  return next.Next(line, discarded) && !discarded &&
         (IsSeparatorLine(line) ||
          (static_cast<uint64_t>(next.EndOffset()) == now.size &&
           std::string_view("From ").starts_with(line)));
}

std::string TMailbox::MaildirFileNow(const std::string& path) {
  const std::string root = IncludeTrailingPathDelimiter(FPath);
  const char* const folders[] = {"cur", "new"};
  TFileStamp listed[2];
  for (int i = 0; i < 2; ++i)
    GetFileStamp(root + folders[i], listed[i]);
  if (FMaildirFiles.empty() || listed[0] != FMaildirListed[0] || listed[1] != FMaildirListed[1]) {
    FMaildirFiles.clear();
    for (const char* sub : folders) {
      std::vector<std::string> files;
      FindFiles(root + sub, "*", faArchive, false, &files);
      for (auto& file : files) {
        std::string name = ExtractFileName(file);
        FMaildirFiles.try_emplace(name.substr(0, MaildirInfoStart(name)), std::move(file));
      }
    }
    FMaildirListed[0] = listed[0];
    FMaildirListed[1] = listed[1];
  }
  const std::string name = ExtractFileName(path);
  auto found = FMaildirFiles.find(name.substr(0, MaildirInfoStart(name)));
  return found == FMaildirFiles.end() ? path : found->second;
}

std::string TMailbox::EntryFile(const TMessageEntry& entry) {
  std::string path = entry.Path.str();
  TFileStamp now;
  bool found = GetFileStamp(path, now);
  if (!found && entry.Flags) {
    path = MaildirFileNow(path);
    found = GetFileStamp(path, now);
  }
  if (!found || static_cast<int64_t>(now.size) != entry.Header.Size ||
      FileFingerprint(now) != entry.Fingerprint)
    NoteStoreChange();
  return path;
}

std::string TMailbox::StoredText(const TMessageEntry& entry) {
  if (entry.Kind == ekMessageFile) return ReadWholeFile(EntryFile(entry));
  if (entry.Kind != ekDatabase || !FReader) return {};
  CheckDatabase();
  std::string text = FReader->GetMessageText(entry.Index);
  text.resize(std::strlen(text.c_str())); // a zero byte ends the text
  return text;
}

const std::vector<std::string>& TMailbox::LoadEntryLines(const TMessageEntry& entry) {
  switch (entry.Kind) {
  case ekDatabase:
  case ekMessageFile:
    // A database without its reader gives no lines: no earlier message's stand in.
    SplitTextLines(StoredText(entry), FLines);
    break;
  case ekMailbox:
    CollectLines(FLines, [&](const TLineVisitor& visit) { VisitEntryLines(entry, visit); });
    break;
  default:
    FLines.clear();
    break;
  }
  return FLines;
}

void TMailbox::VisitEntryLines(const TMessageEntry& entry, const TLineVisitor& visit) {
  if (entry.Kind == ekMailbox) {
    int64_t begin, end;
    MailboxExtent(entry, begin, end);
    if (!VisitMailboxExtent(entry.Path.str(), {begin, end, LastInFile(entry)}, FMailboxRule,
                            visit))
      RaiseStoreChanged(); // changed while it was read
    return;
  }
  // Lines split where the text lies, not copied one by one.
  bool more = true;
  ForEachLine(StoredText(entry), [&](std::string_view line) {
    if (more) more = visit(line);
  });
}

void TMailbox::ReadEntryText(const TMessageEntry& entry, std::string& text) {
  text.clear();
  VisitEntryLines(entry, [&](std::string_view line) {
    text += line;
    text += "\r\n";
    return true;
  });
}

std::string TMailbox::GetEntryText(const TMessageEntry& entry) {
  if (entry.Kind == ekDatabase) {
    if (!FReader) return {};
    CheckDatabase();
    return FReader->GetMessageText(entry.Index);
  }
  std::string text;
  ReadEntryText(entry, text);
  return text;
}

TEntryTextPieces::~TEntryTextPieces() {
  if (FHandle >= 0) close(FHandle);
}

bool TEntryTextPieces::Visit(const TMessageEntry& entry, const TTextPieceVisitor& piece) {
  switch (entry.Kind) {
  case ekDatabase:
    if (!FBox.FReader) return true;
    FBox.CheckDatabase();
    FBox.FReader->VisitMessageText(entry.Index, piece);
    return true;
  case ekMessageFile:
    FFileText = FBox.StoredText(entry);
    piece(FFileText);
    return true;
  case ekMailbox:
    return VisitMailboxBytes(entry, piece);
  default:
    return true;
  }
}

void TEntryTextPieces::ReadText(const TMessageEntry& entry, std::string& text) {
  text.clear();
  if (entry.Kind == ekMailbox) {
    // The bytes hold no CR but before an LF: a line end is an LF, given a CR where it has none.
    bool afterCR = false;
    const bool read = VisitMailboxBytes(entry, [&](std::string_view piece) {
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
    if (read) {
      if (!text.empty() && text.back() != '\n') text += "\r\n"; // a last line without its LF
      // Under the marker rule the last message ends with its last counted byte: the empty lines
      // after it at the file's end are not its lines.
      if (FBox.FMailboxRule == mrMarked && FBox.LastInFile(entry))
        while (text.ends_with("\r\n\r\n"))
          text.resize(text.size() - 2);
      return;
    }
  }
  FBox.ReadEntryText(entry, text);
}

bool TEntryTextPieces::VisitMailboxBytes(const TMessageEntry& entry,
                                         const TTextPieceVisitor& piece) {
  int64_t begin, end;
  FBox.MailboxExtent(entry, begin, end); // raises when the bytes are no longer the row's
  if (FHandle < 0 || FHandlePath != entry.Path) {
    if (FHandle >= 0) close(FHandle);
    FHandle = open(entry.Path.c_str(), O_RDONLY | O_CLOEXEC);
    FHandlePath = entry.Path;
  }
  if (FHandle < 0) return false; // the lines' reader says what went wrong
  // Large blocks, each read with the byte after it: a CR is a line end only before an LF.
  constexpr int64_t BlockSize = 1 << 20;
  for (int64_t at = begin; at < end;) {
    const int64_t count = std::min(BlockSize, end - at);
    const bool last = at + count == end;
    const size_t wanted = static_cast<size_t>(count) + (last ? 0 : 1);
    if (FBuffer.size() < wanted) FBuffer.resize(wanted);
    size_t got = 0;
    while (got < wanted) {
      ssize_t n =
          pread(FHandle, FBuffer.data() + got, wanted - got, at + static_cast<int64_t>(got));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false; // the lines' reader says what went wrong
      got += static_cast<size_t>(n);
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
  }
  return true;
}

const TMessageEntry* TMailbox::FindEntry(int32_t index) const {
  for (const auto& entry : FEntries)
    if (entry.Index == index) return &entry;
  return nullptr;
}

} // namespace pellora
