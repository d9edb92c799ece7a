#include "stores/kinds/pst_store.h"

#include "i18n/localized_text.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/pellora_error.h"
#include "stores/header_scanner.h"
#include "stores/mapi_message.h"

// Debian's libpff-dev lacks the header of the file-access library its header names; what it
// declares with it is not used here.
#include <libpff/features.h>
#undef LIBPFF_HAVE_BFIO
#include <libpff.h>

#include <cstdint>
#include <fstream>
#include <memory>

namespace pellora {
namespace {

// An item's attachments may hold messages that hold attachments: deeper ones are left out.
constexpr int MaxDepth = 8;

// libpff's error, freed; the text when it is wanted.
class TPffError {
public:
  ~TPffError() {
    if (FError) libpff_error_free(&FError);
  }
  libpff_error_t** operator&() { return &FError; }
  std::string Text() {
    char text[512] = "";
    if (FError) libpff_error_sprint(FError, text, sizeof text);
    std::string out = text;
    if (size_t lf = out.find('\n'); lf != std::string::npos) out.resize(lf);
    return out;
  }

private:
  libpff_error_t* FError = nullptr;
};

struct TItemDeleter {
  void operator()(libpff_item_t* item) const { libpff_item_free(&item, nullptr); }
};
using TItemPtr = std::unique_ptr<libpff_item_t, TItemDeleter>;

struct TSetDeleter {
  void operator()(libpff_record_set_t* set) const { libpff_record_set_free(&set, nullptr); }
};
using TSetPtr = std::unique_ptr<libpff_record_set_t, TSetDeleter>;

struct TEntryDeleter {
  void operator()(libpff_record_entry_t* entry) const { libpff_record_entry_free(&entry, nullptr); }
};
using TEntryPtr = std::unique_ptr<libpff_record_entry_t, TEntryDeleter>;

// The properties a row needs: its header's, its kind, its flags and size.
constexpr uint16_t RowProps[] = {prMessageClass,       prSubject,
                                 prClientSubmitTime,   prDeliveryTime,
                                 prSentRepresentingName, prSentRepresentingEmail,
                                 prTransportHeaders,   prSenderName,
                                 prSenderAddressType,  prSenderEmail,
                                 prSenderSmtpAddress,  prSentRepresentingSmtpAddress,
                                 prInternetMessageId,  prImportance,
                                 prMessageFlags,       prMessageSize,
                                 prInReplyToId,        prInternetReferences};

// One property of a record entry into props; strings as UTF-8.
void ReadEntry(libpff_record_entry_t* entry, TMapiProps& props) {
  uint32_t id = 0, type = 0;
  if (libpff_record_entry_get_entry_type(entry, &id, nullptr) != 1 ||
      libpff_record_entry_get_value_type(entry, &type, nullptr) != 1)
    return;
  if (id == prAttachData) return; // read through the attachment, which knows where it lies
  if (type == mpUnicode || type == mpString8) {
    size_t size = 0;
    if (libpff_record_entry_get_data_as_utf8_string_size(entry, &size, nullptr) != 1) return;
    std::string text(size, '\0');
    if (size > 0 && libpff_record_entry_get_data_as_utf8_string(
                        entry, reinterpret_cast<uint8_t*>(text.data()), size, nullptr) != 1)
      return;
    while (!text.empty() && text.back() == '\0') text.pop_back();
    props.Set(static_cast<uint16_t>(id), mpUnicode, std::move(text));
    return;
  }
  size_t size = 0;
  if (libpff_record_entry_get_data_size(entry, &size, nullptr) != 1) return;
  std::string data(size, '\0');
  if (size > 0 &&
      libpff_record_entry_get_data(entry, reinterpret_cast<uint8_t*>(data.data()), size, nullptr) != 1)
    return;
  props.Set(static_cast<uint16_t>(id), static_cast<uint16_t>(type), std::move(data));
}

// The properties of a record set: all of them, or those of ids.
void ReadSet(libpff_record_set_t* set, TMapiProps& props, const uint16_t* ids = nullptr,
             size_t count = 0) {
  if (ids) {
    for (size_t i = 0; i < count; ++i) {
      libpff_record_entry_t* raw = nullptr;
      if (libpff_record_set_get_entry_by_type(set, ids[i], 0, &raw,
                                              LIBPFF_ENTRY_VALUE_FLAG_MATCH_ANY_VALUE_TYPE,
                                              nullptr) == 1) {
        TEntryPtr entry(raw);
        ReadEntry(entry.get(), props);
      }
    }
    return;
  }
  int entries = 0;
  if (libpff_record_set_get_number_of_entries(set, &entries, nullptr) != 1) return;
  for (int i = 0; i < entries; ++i) {
    libpff_record_entry_t* raw = nullptr;
    if (libpff_record_set_get_entry_by_index(set, i, &raw, nullptr) != 1) continue;
    TEntryPtr entry(raw);
    ReadEntry(entry.get(), props);
  }
}

void ReadItemProps(libpff_item_t* item, TMapiProps& props, const uint16_t* ids = nullptr,
                   size_t count = 0) {
  libpff_record_set_t* raw = nullptr;
  if (libpff_item_get_record_set_by_index(item, 0, &raw, nullptr) != 1) return;
  TSetPtr set(raw);
  ReadSet(set.get(), props, ids, count);
}

void ReadRecipients(libpff_item_t* item, std::vector<TMapiProps>& recipients) {
  libpff_item_t* raw = nullptr;
  if (libpff_message_get_recipients(item, &raw, nullptr) != 1) return;
  TItemPtr list(raw);
  int sets = 0;
  if (libpff_item_get_number_of_record_sets(list.get(), &sets, nullptr) != 1) return;
  for (int i = 0; i < sets; ++i) {
    libpff_record_set_t* rawSet = nullptr;
    if (libpff_item_get_record_set_by_index(list.get(), i, &rawSet, nullptr) != 1) continue;
    TSetPtr set(rawSet);
    ReadSet(set.get(), recipients.emplace_back());
  }
}

void ReadMessage(libpff_item_t* item, TMapiMessage& message, int depth);

void ReadAttachments(libpff_item_t* item, TMapiMessage& message, int depth) {
  int count = 0;
  if (libpff_message_get_number_of_attachments(item, &count, nullptr) != 1) return;
  for (int i = 0; i < count; ++i) {
    libpff_item_t* raw = nullptr;
    if (libpff_message_get_attachment(item, i, &raw, nullptr) != 1) continue;
    TItemPtr attachment(raw);
    TMapiAttachment& a = message.Attachments.emplace_back();
    ReadItemProps(attachment.get(), a.Props);
    int type = 0;
    if (libpff_attachment_get_type(attachment.get(), &type, nullptr) != 1) continue;
    if (type == LIBPFF_ATTACHMENT_TYPE_DATA) {
      size64_t size = 0;
      if (libpff_attachment_get_data_size(attachment.get(), &size, nullptr) != 1 || size == 0)
        continue;
      a.Data.resize(static_cast<size_t>(size));
      ssize_t read = libpff_attachment_data_read_buffer(
          attachment.get(), reinterpret_cast<uint8_t*>(a.Data.data()), a.Data.size(), nullptr);
      a.Data.resize(read > 0 ? static_cast<size_t>(read) : 0);
    } else if (type == LIBPFF_ATTACHMENT_TYPE_ITEM && depth < MaxDepth) {
      libpff_item_t* rawItem = nullptr;
      if (libpff_attachment_get_item(attachment.get(), &rawItem, nullptr) != 1) continue;
      TItemPtr embedded(rawItem);
      a.Embedded = std::make_unique<TMapiMessage>();
      ReadMessage(embedded.get(), *a.Embedded, depth + 1);
    }
  }
}

void ReadMessage(libpff_item_t* item, TMapiMessage& message, int depth) {
  ReadItemProps(item, message.Props);
  ReadRecipients(item, message.Recipients);
  ReadAttachments(item, message, depth);
}

std::string FolderName(libpff_item_t* folder) {
  size_t size = 0;
  if (libpff_folder_get_utf8_name_size(folder, &size, nullptr) != 1 || size == 0) return {};
  std::string name(size, '\0');
  if (libpff_folder_get_utf8_name(folder, reinterpret_cast<uint8_t*>(name.data()), size, nullptr) != 1)
    return {};
  while (!name.empty() && name.back() == '\0') name.pop_back();
  for (char& c : name)
    if (c == '/') c = '_'; // a name never parts the path
  return name;
}

std::string FormatName(libpff_file_t* file) {
  uint8_t type = 0, content = 0;
  libpff_file_get_type(file, &type, nullptr);
  libpff_file_get_content_type(file, &content, nullptr);
  std::string name = content == LIBPFF_FILE_CONTENT_TYPE_OST ? "Outlook offline folder file"
                                                               : "Outlook personal folder file";
  if (type == LIBPFF_FILE_TYPE_32BIT) name += " (ANSI)";
  if (type == LIBPFF_FILE_TYPE_64BIT || type == LIBPFF_FILE_TYPE_64BIT_4K_PAGE) name += " (Unicode)";
  return name;
}

// The last name of a folder path.
std::string_view FolderLeaf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

} // namespace

TPstStore::TPstStore() = default;

bool TPstStore::IsPstName(std::string_view path) {
  const std::string ext = ExtractFileExt(path);
  return SameTextAscii(ext, ".pst") || SameTextAscii(ext, ".ost");
}

bool TPstStore::ClaimsFile(const std::string& path) {
  if (IsPstName(path)) return true;
  char magic[4] = {};
  std::ifstream in(path, std::ios::binary);
  in.read(magic, sizeof magic);
  return in.gcount() == 4 && ClaimsBytes(std::string_view(magic, 4));
}

TPstStore::~TPstStore() {
  if (FFile) {
    auto* file = static_cast<libpff_file_t*>(FFile);
    libpff_file_close(file, nullptr);
    libpff_file_free(&file, nullptr);
  }
}

void TPstStore::LoadRows(const std::string& path) {
  libpff_file_t* file = nullptr;
  TPffError error;
  if (libpff_file_initialize(&file, &error) != 1) throw EPelloraError(error.Text());
  FFile = file;
  if (libpff_file_open(file, path.c_str(), LIBPFF_OPEN_READ, &error) != 1)
    throw EPelloraError(GetLocalizedText("lc_FileNotSupported"));
  Note({nkFormat, FormatName(file)});
  libpff_item_t* raw = nullptr;
  if (libpff_file_get_root_folder(file, &raw, &error) != 1)
    throw EPelloraError(GetLocalizedText("lc_FileNotSupported"));
  TItemPtr root(raw);
  LoadFolder(root.get(), {}, -1);
}

void TPstStore::LoadFolder(void* folderItem, const std::string& path, int depth) {
  auto* folder = static_cast<libpff_item_t*>(folderItem);
  // The root's own items, if any, belong to no folder.
  const uint32_t folderIndex = depth >= 0 ? static_cast<uint32_t>(FFolders.size()) : UINT32_MAX;
  if (depth >= 0) FFolders.push_back({path, std::string(FolderLeaf(path)), depth, 0, 0});
  int messages = 0;
  TPffError error;
  if (libpff_folder_get_number_of_sub_messages(folder, &messages, &error) != 1) {
    Note({nkUnreadableFile, Utf8ToAnsi(path.empty() ? "/" : path), error.Text()});
    messages = 0;
  }
  THeaderScanner scanner;
  for (int i = 0; i < messages; ++i) {
    libpff_item_t* raw = nullptr;
    TPffError itemError;
    if (libpff_folder_get_sub_message(folder, i, &raw, &itemError) != 1) {
      Note({nkUnreadableFile, Utf8ToAnsi(path + " #" + std::to_string(i + 1)), itemError.Text()});
      continue;
    }
    TItemPtr item(raw);
    TMapiMessage message;
    ReadItemProps(item.get(), message.Props, RowProps, std::size(RowProps));
    if (!message.Props.Has(prTransportHeaders)) ReadRecipients(item.get(), message.Recipients);
    TItem row;
    libpff_item_get_identifier(item.get(), &row.Id, nullptr);
    row.Folder = folderIndex;
    row.Kind = MapiItemKind(message.Props.Text(prMessageClass));
    const int64_t flags = message.Props.Int(prMessageFlags);
    row.Attachment = (flags & 0x10) != 0;

    std::vector<TMessageEntry>& rows = Rows();
    TMessageEntry& entry = rows.emplace_back();
    entry.Index = static_cast<int32_t>(FItems.size());
    scanner.Reset();
    const std::string header = MapiHeader(message);
    size_t at = 0;
    while (at < header.size()) {
      size_t end = header.find("\r\n", at);
      if (end == std::string::npos) end = header.size();
      scanner.Feed(std::string_view(header).substr(at, end - at));
      at = end + 2;
    }
    scanner.Finish(entry.Header);
    entry.Header.Size = message.Props.Int(prMessageSize);
    uint32_t rowFlags = 0;
    if (flags & 0x01) rowFlags |= mfRead;
    if (row.Attachment) rowFlags |= mfAttachment;
    entry.Flags = rowFlags;
    ShareWithRowBefore(rows);
    if (depth >= 0) {
      ++FFolders[folderIndex].Items;
      if (row.Kind == "mail") ++FFolders[folderIndex].Mails;
    }
    FItems.push_back(std::move(row));
  }
  Progress(FItems.size(), 0);

  int folders = 0;
  if (libpff_folder_get_number_of_sub_folders(folder, &folders, &error) != 1) {
    Note({nkUnreadableFile, Utf8ToAnsi(path.empty() ? "/" : path), error.Text()});
    return;
  }
  for (int i = 0; i < folders; ++i) {
    libpff_item_t* raw = nullptr;
    TPffError subError;
    if (libpff_folder_get_sub_folder(folder, i, &raw, &subError) != 1) {
      Note({nkUnreadableFile, Utf8ToAnsi(path + "/#" + std::to_string(i + 1)), subError.Text()});
      continue;
    }
    TItemPtr sub(raw);
    std::string name = FolderName(sub.get());
    LoadFolder(sub.get(), path.empty() ? name : path + "/" + name, depth + 1);
  }
}

const std::string& TPstStore::Message(const TMessageEntry& entry) {
  if (entry.Index == FBuiltIndex) return FBuilt;
  if (entry.Index < 0 || static_cast<size_t>(entry.Index) >= FItems.size() || !FFile)
    throw EPelloraError(GetLocalizedText("lc_FileNotSupported"));
  libpff_item_t* raw = nullptr;
  TPffError error;
  if (libpff_file_get_item_by_identifier(static_cast<libpff_file_t*>(FFile),
                                         FItems[entry.Index].Id, &raw, &error) != 1)
    throw EPelloraError(error.Text());
  TItemPtr item(raw);
  TMapiMessage message;
  ReadMessage(item.get(), message, 0);
  FBuiltIndex = -1;
  FBuilt = MapiToMime(message);
  FBuiltIndex = entry.Index;
  return FBuilt;
}

void TPstStore::VisitLines(const TMessageEntry& entry, const TLineVisitor& visit) {
  std::vector<std::string> lines;
  SplitTextLines(Message(entry), lines);
  for (const std::string& line : lines)
    if (!visit(line)) return;
}

void TPstStore::ReadStored(const TMessageEntry& entry, const TByteSink& sink) {
  sink(Message(entry));
}

bool TPstStore::VisitPieces(const TMessageEntry& entry, const TTextPieceVisitor& piece) {
  piece(Message(entry));
  return true;
}

std::string TPstStore::Name(const TMessageEntry& entry) const {
  return Utf8ToAnsi(FolderLeaf(Folder(entry)));
}

std::string TPstStore::Origin(const TMessageEntry& entry) const {
  return Utf8ToAnsi(StorePath() + ": " + std::string(Folder(entry)));
}

std::string TPstStore::ExportName(const TMessageEntry& first) const {
  const std::string name = NameWithoutExtension(StorePath());
  const std::string_view folder = FolderLeaf(Folder(first));
  return folder.empty() ? name : name + " - " + std::string(folder);
}

bool TPstStore::HasAttachment(const TMessageEntry& entry) const {
  return entry.Index >= 0 && static_cast<size_t>(entry.Index) < FItems.size() &&
         FItems[entry.Index].Attachment;
}

std::string_view TPstStore::Folder(const TMessageEntry& entry) const {
  if (entry.Index < 0 || static_cast<size_t>(entry.Index) >= FItems.size()) return {};
  const uint32_t folder = FItems[entry.Index].Folder;
  return folder < FFolders.size() ? std::string_view(FFolders[folder].Path) : std::string_view();
}

std::string_view TPstStore::ItemKind(const TMessageEntry& entry) const {
  if (entry.Index < 0 || static_cast<size_t>(entry.Index) >= FItems.size()) return {};
  return FItems[entry.Index].Kind;
}

} // namespace pellora
