#include "stores/kinds/database_store.h"

#include "i18n/format_text.h"
#include "i18n/localized_text.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "stores/dbx_reader.h"
#include "stores/header_scanner.h"
#include "stores/mbx_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace pellora {

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

void TDatabaseStore::LoadRows(const std::string& path) {
  const uint8_t format = DetectStoreFormat(path);
  if (format == fmtMbx)
    FReader = std::make_unique<TMBXReader>();
  else if (format == fmtDbx)
    FReader = std::make_unique<TDBXReader>();
  else
    throw EOEReaderException(GetLocalizedText("lc_FileNotSupported"));
  // A database that was recognised is named in the information area, however the load ends.
  Note({nkFormat, format == fmtMbx ? "Outlook Express 4" : "Outlook Express 5/6"});
  FReader->LoadFromFile(path);
  FReader->ReadMessageInfos();
  if (!FReader->Opened()) return;
  if (Recovering()) FReader->RecoverMessages();
  std::vector<TMessageEntry>& rows = Rows();
  const int32_t count = FReader->GetRowCount();
  rows.reserve(static_cast<size_t>(std::max(count, 0)));
  TMessageInfo info;
  // ASCII texts (most) move from the reader into the row as they are.
  auto ToAnsi = [](std::string& text) {
    return IsAscii(text) ? std::move(text) : UndeclaredToAnsi(text);
  };
  for (int32_t i = 0; i < count; ++i) {
    Progress(static_cast<uint64_t>(i), static_cast<uint64_t>(count));
    FReader->TakeMessageInfo(i, info);
    TMessageEntry& entry = rows.emplace_back();
    entry.Index = i;
    entry.State = FReader->GetRowState(i);
    if (entry.State != rsListed && info.InfoOffset == 0) {
      // Found without a record: its columns come from its own header.
      RecoveredHeader(i, entry.Header);
      entry.Header.Size = static_cast<int64_t>(info.TextSize);
      ShareWithRowBefore(rows);
      continue;
    }
    entry.Flags = info.Flags;
    // A database keeps its texts in the code page of the system that wrote it.
    TEMLHeader& h = entry.Header;
    h.From = ToAnsi(info.From);
    h.Sender = ToAnsi(info.Sender);
    h.Subject = ToAnsi(info.Subject);
    h.To = UndeclaredToAnsi(JoinRecipients(info.ToNames, info.ToAddresses));
    h.Priority = info.Priority;
    h.Date = info.Date != 0 ? info.Date : ScanMailDate(info.DateText);
    h.Size = static_cast<int64_t>(info.TextSize);
    ShareWithRowBefore(rows);
  }
}

void TDatabaseStore::RecoveredHeader(int32_t index, TEMLHeader& header) {
  std::vector<std::string> lines;
  try {
    SplitTextLines(FReader->GetMessageHeader(index), lines);
  } catch (const std::exception&) {
    // a message whose text cannot be read keeps empty columns
  }
  ScanHeader(lines, header);
}

void TDatabaseStore::CheckDatabase() {
  TFileStamp now;
  if (!GetFileStamp(FReader->FileName(), now) || now.size != FReader->FileSize()) NoteStoreChange();
}

std::string TDatabaseStore::StoredText(const TMessageEntry& entry) {
  std::string text = ViewText(entry);
  text.resize(std::strlen(text.c_str())); // a zero byte ends the text
  return text;
}

std::string TDatabaseStore::ViewText(const TMessageEntry& entry) {
  CheckDatabase();
  return FReader->GetMessageText(entry.Index);
}

void TDatabaseStore::VisitLines(const TMessageEntry& entry, const TLineVisitor& visit) {
  bool more = true;
  ForEachLine(StoredText(entry), [&](std::string_view line) {
    if (more) more = visit(line);
  });
}

void TDatabaseStore::ReadStored(const TMessageEntry& entry, const TByteSink& sink) {
  const std::string text = StoredText(entry);
  if (text.empty()) throw EOEReaderException(SNoText);
  sink(text);
}

bool TDatabaseStore::VisitPieces(const TMessageEntry& entry, const TTextPieceVisitor& piece) {
  CheckDatabase();
  FReader->VisitMessageText(entry.Index, piece);
  return true;
}

std::string TDatabaseStore::Name(const TMessageEntry&) const {
  return FReader->GetStoreName();
}

std::string TDatabaseStore::Origin(const TMessageEntry& entry) const {
  char hex[32];
  std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(entry.StartLine));
  return FormatText("%s: %s: 0x", {Utf8ToAnsi(FReader->FileName()), FReader->GetStoreName()}) + hex;
}

std::string TDatabaseStore::ExportName(const TMessageEntry&) const {
  return NameWithoutExtension(FReader->FileName());
}

TAuthor TDatabaseStore::Author(const TMessageEntry& entry) const {
  return {entry.Header.From, entry.Header.Sender};
}

bool TDatabaseStore::HasAttachment(const TMessageEntry& entry) const {
  return (EntryFlags(entry) & mfAttachment) != 0;
}

} // namespace pellora
