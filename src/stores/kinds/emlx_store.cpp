#include "stores/kinds/emlx_store.h"

#include "platform/ascii.h"

#include <algorithm>

namespace pellora {
namespace {

// Apple Mail's flag bits.
enum : uint64_t {
  efRead = 1u << 0,
  efAnswered = 1u << 2,
  efFlagged = 1u << 4,
  efForwarded = 1u << 8,
  efAttachments = 0x3Fu << 10, // the attachment count
};

// The value of the property list's integer entry named key; none when there is none.
std::optional<uint64_t> PlistInteger(std::string_view plist, std::string_view key) {
  const std::string wanted = "<key>" + std::string(key) + "</key>";
  const size_t at = plist.find(wanted);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view rest = TrimControls(plist.substr(at + wanted.size()));
  if (!rest.starts_with("<integer>")) return std::nullopt;
  rest.remove_prefix(9);
  uint64_t value = 0;
  size_t digits = 0;
  for (; digits < rest.size() && digits < 20 && IsDigit(rest[digits]); ++digits)
    value = value * 10 + static_cast<uint64_t>(rest[digits] - '0');
  if (digits == 0 || !rest.substr(digits).starts_with("</integer>")) return std::nullopt;
  return value;
}

} // namespace

TEmlxMessage ParseEmlx(std::string_view bytes) {
  TEmlxMessage message{0, bytes.size(), std::nullopt};
  // The count's line: blanks, digits, blanks, a line end.
  size_t at = 0;
  while (at < bytes.size() && at < 16 && IsBlank(bytes[at]))
    ++at;
  const size_t digitsStart = at;
  uint64_t count = 0;
  while (at < bytes.size() && at - digitsStart < 19 && IsDigit(bytes[at]))
    count = count * 10 + static_cast<uint64_t>(bytes[at++] - '0');
  if (at == digitsStart) return message;
  while (at < bytes.size() && at < 64 && IsBlank(bytes[at]))
    ++at;
  if (at < bytes.size() && bytes[at] == '\r') ++at;
  if (at >= bytes.size() || bytes[at] != '\n') return message;
  message.Begin = at + 1;
  message.Size = static_cast<size_t>(std::min<uint64_t>(count, bytes.size() - message.Begin));
  const std::optional<uint64_t> flags =
      PlistInteger(bytes.substr(message.Begin + message.Size), "flags");
  if (flags) {
    uint32_t mine = 0;
    if (*flags & efRead) mine |= mfRead;
    if (*flags & efAnswered) mine |= mfReplied;
    if (*flags & efFlagged) mine |= mfFlagged;
    if (*flags & efForwarded) mine |= mfForwarded;
    if (*flags & efAttachments) mine |= mfAttachment;
    message.Flags = mine;
  }
  return message;
}

bool TEmlxStore::IsEmlxName(std::string_view path) {
  return SameTextAscii(ExtractFileExt(path), ".emlx");
}

namespace {

// A mailbox folder of Apple Mail keeps its messages in folders deeper down (Data/.../Messages/).
bool IsMailboxBundle(const std::string& path) {
  return SameTextAscii(ExtractFileExt(ExcludeTrailingPathDelimiter(path)), ".mbox");
}

std::vector<std::string> EmlxFiles(const std::string& path) {
  std::vector<std::string> files;
  FindFiles(path, "*.emlx", faArchive, IsMailboxBundle(path), &files);
  return files;
}

} // namespace

bool TEmlxStore::HoldsMessages(const std::string& path) {
  return FolderHolds(path, "*.emlx", true, IsMailboxBundle(path));
}

std::vector<std::string> TEmlxStore::ListFiles(const std::string& path) {
  std::vector<std::string> files = EmlxFiles(path);
  // The system's listing order is arbitrary; by name the rows keep one order everywhere.
  std::sort(files.begin(), files.end());
  return files;
}

TMessageFilesStore::TFileMessage TEmlxStore::MessageOf(const std::string&,
                                                       std::string_view bytes) const {
  const TEmlxMessage message = ParseEmlx(bytes);
  return {message.Begin, message.Size, message.Flags};
}

void TEmlxStore::ReadStored(const TMessageEntry& entry, const TByteSink& sink) {
  const std::string message = ReadMessage(entry);
  if (!message.empty()) sink(message);
}

std::string TEmlxStore::Caption(const std::string& path) const {
  return FFolder ? ExtractFileName(ExcludeTrailingPathDelimiter(path)) : TStore::Caption(path);
}

std::string TEmlxStore::ExportName(const TMessageEntry&) const {
  return Caption(StorePath());
}

bool TEmlxStore::HasAttachment(const TMessageEntry& entry) const {
  return (EntryFlags(entry) & mfAttachment) != 0 || TMessageFilesStore::HasAttachment(entry);
}

} // namespace pellora
