#include "stores/msg_reader.h"

#include "i18n/localized_text.h"
#include "platform/ascii.h"
#include "platform/codepage.h"
#include "platform/pellora_error.h"
#include "platform/unicode.h"

// Debian's libolecf-dev lacks the header of the file-access library its header names; what it
// declares with it is not used here.
#include <libolecf/features.h>
#undef LIBOLECF_HAVE_BFIO
#include <libolecf.h>

#include <cstdlib>
#include <memory>

namespace pellora {
namespace {

// Attached messages hold attachments that may be messages: deeper ones are left out.
constexpr int MaxDepth = 8;
// A stream larger than this is damage, not a message.
constexpr uint32_t MaxStream = 256u << 20;
constexpr size_t MaxNodes = 100000;

struct TItemDeleter {
  void operator()(libolecf_item_t* item) const { libolecf_item_free(&item, nullptr); }
};
using TItemPtr = std::unique_ptr<libolecf_item_t, TItemDeleter>;

void ReadNode(libolecf_item_t* item, TOleNode& node, size_t& nodes, int depth) {
  size_t size = 0;
  if (libolecf_item_get_utf8_name_size(item, &size, nullptr) == 1 && size > 0) {
    node.Name.assign(size, '\0');
    if (libolecf_item_get_utf8_name(item, reinterpret_cast<uint8_t*>(node.Name.data()), size, nullptr) != 1)
      node.Name.clear();
    while (!node.Name.empty() && node.Name.back() == '\0') node.Name.pop_back();
  }
  uint8_t type = 0;
  libolecf_item_get_type(item, &type, nullptr);
  node.Storage = type == LIBOLECF_ITEM_TYPE_STORAGE || type == LIBOLECF_ITEM_TYPE_ROOT_STORAGE;
  if (!node.Storage) {
    uint32_t length = 0;
    if (libolecf_item_get_size(item, &length, nullptr) == 1 && length > 0 && length <= MaxStream) {
      node.Data.resize(length);
      ssize_t read = libolecf_stream_read_buffer(item, reinterpret_cast<uint8_t*>(node.Data.data()),
                                                 length, nullptr);
      node.Data.resize(read > 0 ? static_cast<size_t>(read) : 0);
    }
    return;
  }
  int count = 0;
  if (depth > 3 * MaxDepth || libolecf_item_get_number_of_sub_items(item, &count, nullptr) != 1) return;
  for (int i = 0; i < count && nodes < MaxNodes; ++i) {
    libolecf_item_t* raw = nullptr;
    if (libolecf_item_get_sub_item(item, i, &raw, nullptr) != 1) continue;
    TItemPtr sub(raw);
    ++nodes;
    ReadNode(sub.get(), node.Children.emplace_back(), nodes, depth + 1);
  }
}

uint32_t HexValue(std::string_view hex) {
  uint32_t value = 0;
  for (char c : hex) {
    int digit = HexDigitValue(c);
    if (digit < 0) return UINT32_MAX;
    value = value << 4 | static_cast<uint32_t>(digit);
  }
  return value;
}

// The size of a fixed-size property's value in the property stream.
size_t FixedSize(uint16_t type) {
  switch (type) {
  case mpInt16: return 2;
  case mpInt32: return 4;
  case 0x0004: return 4; // float
  case mpBoolean: return 2;
  case 0x0005: case 0x0006: case 0x0007: case mpInt64: case mpTime: return 8;
  }
  return 0;
}

// The properties of a storage: the fixed ones from its property stream (after headerSize bytes),
// the others from their own streams.
TMapiProps PropsOf(const TOleNode& storage, size_t headerSize, int codePage) {
  TMapiProps props;
  std::vector<std::pair<uint16_t, const std::string*>> eightBit;
  for (const TOleNode& child : storage.Children) {
    if (child.Storage) continue;
    if (child.Name == "__properties_version1.0") {
      std::string_view data = child.Data;
      for (size_t at = headerSize; at + 16 <= data.size(); at += 16) {
        const uint16_t type = static_cast<uint16_t>(static_cast<unsigned char>(data[at]) |
                                                    static_cast<unsigned char>(data[at + 1]) << 8);
        const uint16_t id = static_cast<uint16_t>(static_cast<unsigned char>(data[at + 2]) |
                                                  static_cast<unsigned char>(data[at + 3]) << 8);
        if (size_t size = FixedSize(type)) props.Set(id, type, std::string(data.substr(at + 8, size)));
      }
      continue;
    }
    if (!child.Name.starts_with("__substg1.0_") || child.Name.size() != 20) continue;
    const uint32_t tag = HexValue(std::string_view(child.Name).substr(12));
    if (tag == UINT32_MAX) continue;
    const uint16_t id = static_cast<uint16_t>(tag >> 16), type = static_cast<uint16_t>(tag);
    if (type == mpUnicode)
      props.Set(id, mpUnicode, Utf16LeToUtf8(child.Data));
    else if (type == mpString8)
      eightBit.emplace_back(id, &child.Data);
    else if (type == mpBinary)
      props.Set(id, mpBinary, child.Data);
  }
  // 8-bit strings are in the message's code page, which is itself a property.
  int cp = static_cast<int>(props.Int(0x3FFD, props.Int(prInternetCodepage, codePage)));
  for (const auto& [id, data] : eightBit) {
    std::string_view text = *data;
    while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
    props.Set(id, mpUnicode, cp == CodePageUtf8 || cp <= 0 ? std::string(text) : AnsiToUtf8(text, cp));
  }
  return props;
}

TMapiMessage MessageOf(const TOleNode& storage, size_t headerSize, int depth) {
  TMapiMessage message;
  message.Props = PropsOf(storage, headerSize, 1252);
  const int codePage = static_cast<int>(message.Props.Int(0x3FFD, 1252));
  for (const TOleNode& child : storage.Children) {
    if (!child.Storage) continue;
    if (child.Name.starts_with("__recip_version1.0_")) {
      message.Recipients.push_back(PropsOf(child, 8, codePage));
    } else if (child.Name.starts_with("__attach_version1.0_")) {
      TMapiAttachment& a = message.Attachments.emplace_back();
      a.Props = PropsOf(child, 8, codePage);
      a.Data = a.Props.Bytes(prAttachData);
      a.Props.Set(prAttachData, mpBinary, {}); // kept once, as the data
      for (const TOleNode& sub : child.Children)
        if (sub.Storage && SameTextAscii(sub.Name, "__substg1.0_3701000D") && depth < MaxDepth)
          a.Embedded = std::make_unique<TMapiMessage>(MessageOf(sub, 24, depth + 1));
    }
  }
  return message;
}

} // namespace

TOleNode ReadOleFile(const std::string& path) {
  libolecf_file_t* file = nullptr;
  if (libolecf_file_initialize(&file, nullptr) != 1) throw EPelloraError(GetLocalizedText("lc_FileNotSupported"));
  struct TClose {
    libolecf_file_t* f;
    ~TClose() {
      libolecf_file_close(f, nullptr);
      libolecf_file_free(&f, nullptr);
    }
  } close{file};
  libolecf_item_t* raw = nullptr;
  if (libolecf_file_open(file, path.c_str(), LIBOLECF_OPEN_READ, nullptr) != 1 ||
      libolecf_file_get_root_item(file, &raw, nullptr) != 1)
    throw EPelloraError(GetLocalizedText("lc_FileNotSupported"));
  TItemPtr root(raw);
  TOleNode node;
  size_t nodes = 0;
  ReadNode(root.get(), node, nodes, 0);
  return node;
}

TMapiMessage MapiMessageOfStorage(const TOleNode& storage) {
  return MessageOf(storage, 32, 0);
}

TMapiMessage ReadMsgFile(const std::string& path) {
  return MapiMessageOfStorage(ReadOleFile(path));
}

bool IsMsgBytes(std::string_view sample) {
  static constexpr std::string_view Signature("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  static constexpr std::string_view Substg("_\0_\0s\0u\0b\0s\0t\0g\0", 16);
  return sample.starts_with(Signature) && sample.find(Substg) != std::string_view::npos;
}

} // namespace pellora
