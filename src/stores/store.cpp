#include "stores/store.h"

#include "i18n/localized_text.h"
#include "mime/mail_message.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/pellora_error.h"

namespace pellora {

void TStore::Load(const std::string& path, TStoreOwner& owner, TLoadOptions options) {
  FOwner = &owner;
  FPath = path;
  FOptions = options;
  FStoreChanged = false;
  FLoadNotes.clear();
  struct TLoading {
    bool& loading;
    ~TLoading() { loading = false; }
  } loading{FLoading = true};
  LoadRows(path);
}

void TStore::EndPass() {
  if (FPasses > 0 && --FPasses == 0) PassEnded();
}

std::string TStore::ViewText(const TMessageEntry& entry) {
  std::string text;
  ReadLinesText(entry, text);
  return text;
}

void TStore::ReadLinesText(const TMessageEntry& entry, std::string& text) {
  text.clear();
  VisitLines(entry, [&](std::string_view line) {
    text += line;
    text += "\r\n";
    return true;
  });
}

bool TStore::VisitPieces(const TMessageEntry&, const TTextPieceVisitor&) {
  return false;
}

void TStore::ParseMessage(const TMessageEntry& entry, TMailMessage& message) {
  message.ReadFromText(ViewText(entry));
}

std::string TStore::Caption(const std::string& path) const {
  return NameWithoutExtension(path);
}

std::string TStore::Name(const TMessageEntry& entry) const {
  return Utf8ToAnsi(NameWithoutExtension(entry.Path.str()));
}

std::string TStore::Origin(const TMessageEntry& entry) const {
  return Utf8ToAnsi(entry.Path);
}

TAuthor TStore::Author(const TMessageEntry& entry) const {
  // A message's Sender field names whoever sent it for the author: a list, a secretary.
  return {entry.Header.From.empty() ? entry.Header.Sender.view() : entry.Header.From.view(), {}};
}

bool TStore::HasAttachment(const TMessageEntry& entry) const {
  const std::string_view type = entry.Header.ContentType;
  return type == "MULTIPART/MIXED" || type == "MULTIPART/RELATED" ||
         entry.Header.ContentDisposition.view() == "ATTACHMENT";
}

void TStore::NoteStoreChange() {
  if (FStoreChanged) return;
  FStoreChanged = true;
  Note({nkStoreChanged});
}

void TStore::RaiseStoreChanged() {
  NoteStoreChange();
  throw EPelloraError(GetLocalizedText("lc_StoreChanged"));
}

bool FolderWithin(std::string_view folder, std::string_view path) {
  while (path.ends_with('/')) path.remove_suffix(1);
  return path.empty() ||
         (folder.starts_with(path) && (folder.size() == path.size() || folder[path.size()] == '/'));
}

void ShareWithRowBefore(std::vector<TMessageEntry>& rows) {
  if (rows.size() >= 2) ShareRepeatedTexts(rows.back().Header, rows[rows.size() - 2].Header);
}

std::string NameWithoutExtension(const std::string& path) {
  std::string name = ExtractFileName(path);
  std::string ext = ExtractFileExt(name);
  if (!ext.empty()) name = name.substr(0, name.find(ext));
  return name;
}

void SplitTextLines(std::string_view text, std::vector<std::string>& lines) {
  lines.clear();
  ForEachLine(text, [&](std::string_view line) { lines.emplace_back(line); });
}

} // namespace pellora
