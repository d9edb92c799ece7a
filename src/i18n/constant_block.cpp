#include "i18n/constant_block.h"

#include "i18n/format_text.h"
#include "platform/unicode.h"
#include "platform/codepage.h"
#include "platform/pellora_error.h"

#include <array>

namespace pellora {
namespace {

struct TBuiltIn {
  std::string_view name;
  std::string_view text;
};

// The built-in English texts. They are ASCII, so each character is one UTF-16 unit.
constexpr TBuiltIn builtIns[] = {
    {"lc_AttSaved", "%d {attachment|attachments} from %d {message|messages} saved to %s."},
    {"lc_Attachments", "Attachments"},
    {"lc_ByteSize", "%s B"},
    {"lc_CC", "CC"},
    {"lc_Confirmation", "Confirmation"},
    {"lc_Date", "Date"},
    {"lc_Deleted", "Deleted"},
    {"lc_DownloadQuery", "Do you want to download it?"},
    {"lc_EA", "E-Mail Addresses"},
    {"lc_ElapsedTime", "Elapsed time: %1.2f s"},
    {"lc_Error", "Error"},
    {"lc_FileNotExists", "File %s does not exist."},
    {"lc_FileNotSupported", "File is not in supported format."},
    {"lc_FileProps", "File Properties"},
    {"lc_Filtering", "Filtering..."},
    {"lc_FindWrappedEnd", "Reached the top; continued from the end."},
    {"lc_FindWrappedTop", "Reached the end; continued from the top."},
    {"lc_FilterUnreadable", "Messages the filter could not read: %d"},
    {"lc_FolderNotExists", "Folder %s does not exist."},
    {"lc_Format", "Format"},
    {"lc_From", "From"},
    {"lc_HopCount", "%d {hop|hops}"},
    {"lc_IDFolder", "Identity/Folder"},
    {"lc_Information", "Information"},
    {"lc_LineCount", "%d {line|lines}"},
    {"lc_Lines", "lines"},
    {"lc_LoadFailed", "Load failed"},
    {"lc_Loading", "Loading..."},
    {"lc_Message", "Message"},
    {"lc_MsgSaved", "%d {message|messages} saved to %s."},
    {"lc_NewVersionAvail", "New version %s is available."},
    {"lc_NoMessagesInFolder", "No messages were found in:/n%s"},
    {"lc_NoNewVersion", "No new version available."},
    {"lc_NoProgram", "No program is set up to open %s (%s)."},
    {"lc_OpenAtt", "Do you want to open this attachment?"},
    {"lc_OpenHint", "Open a mail store (Ctrl+O)"},
    {"lc_Overwrite", "Overwrite existing file %s?"},
    {"lc_PageOf", "Page %d of %d"},
    {"lc_ProcessorCores", "%s (%d {core|cores})"},
    {"lc_Reading", "Reading..."},
    {"lc_Received", "Received"},
    {"lc_Recovered", "Recovered"},
    {"lc_SaveCsvFile", "CSV file (.csv)"},
    {"lc_SaveEmlFiles", "Messages (.eml files)"},
    {"lc_SaveMboxFile", "Mailbox file (.mbox)"},
    {"lc_SavePdfFile", "One PDF file (.pdf)"},
    {"lc_SavePdfFiles", "PDF files (.pdf, one per message)"},
    {"lc_SaveProblem", "There is problem with file saving for e-mail with subject \"%s\" from "
                       "\"%s\". Enter please new filename."},
    {"lc_SaveTextFile", "Text file (.txt)"},
    {"lc_Saving", "Saving messages..."},
    {"lc_Selected", "Selected"},
    {"lc_SelectFolder", "Select folder"},
    {"lc_SettingsNotSaved", "Settings could not be saved to %s."},
    {"lc_Size", "Size [B]"},
    {"lc_StoresFound", "Mail stores found on this computer:"},
    {"lc_StoreChanged", "the mailbox file changed on disk: reload it"},
    {"lc_Subject", "Subject"},
    {"lc_TextNotFound", "Text not found."},
    {"lc_Timestamp", "Timestamp"},
    {"lc_To", "To"},
    {"lc_Total", "Total"},
    {"lc_Visible", "Visible"},
    {"lc_Warning", "Warning"},
    {"lc_WindowsProfile", "Windows profile..."},
};

constexpr size_t BlockSize() {
  size_t size = 1 + 1 + 4;
  for (const auto& c : builtIns)
    size += 2 + c.name.size() + 2 + 2 * c.text.size();
  return size;
}

constexpr std::array<char, BlockSize()> BuildBlock() {
  std::array<char, BlockSize()> block{};
  size_t at = 0;
  auto put = [&](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
      block[at++] = static_cast<char>(value >> (8 * i) & 0xFF);
  };
  put(ConstantBlockVersion, 1);
  put(0, 1);
  put(std::size(builtIns), 4);
  for (const auto& c : builtIns) {
    put(static_cast<uint32_t>(c.name.size()), 2);
    for (char ch : c.name)
      block[at++] = ch;
    put(static_cast<uint32_t>(c.text.size()), 2);
    for (char ch : c.text)
      put(static_cast<unsigned char>(ch), 2);
  }
  return block;
}

constexpr bool AllAscii() {
  for (const auto& c : builtIns)
    for (char ch : c.text)
      if (static_cast<unsigned char>(ch) >= 0x80) return false;
  return true;
}
static_assert(AllAscii(), "the block builder writes one UTF-16 unit per character");

constexpr auto builtInBlock = BuildBlock();

class TBlockReader {
public:
  explicit TBlockReader(std::string_view block) : FBlock(block) {}
  uint32_t Number(int bytes) {
    Need(bytes);
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
      value |= static_cast<uint32_t>(static_cast<unsigned char>(FBlock[FAt + i])) << (8 * i);
    FAt += bytes;
    return value;
  }
  std::string_view Bytes(size_t count) {
    Need(count);
    std::string_view bytes = FBlock.substr(FAt, count);
    FAt += count;
    return bytes;
  }

private:
  void Need(size_t count) const {
    if (FBlock.size() - FAt < count) throw EPelloraError("Stream read error");
  }
  std::string_view FBlock;
  size_t FAt = 0;
};

} // namespace

std::vector<TConstantRecord> ReadConstantBlock(std::string_view block, int textCodePage) {
  TBlockReader reader(block);
  uint32_t version = reader.Number(1);
  if (version > ConstantBlockVersion)
    throw EPelloraError(FormatText("Stream version (%d) is greater than the current one (%d)",
                                   {static_cast<long long>(version), ConstantBlockVersion}));
  if (version >= 2) reader.Number(1); // flags: none are defined
  uint32_t count = reader.Number(4);
  std::vector<TConstantRecord> records;
  for (uint32_t i = 0; i < count; ++i) {
    TConstantRecord record;
    record.name = std::string(reader.Bytes(reader.Number(2)));
    uint32_t length = reader.Number(2);
    if (version >= 2)
      record.text = Utf16LeToUtf8(reader.Bytes(2 * size_t(length)));
    else
      record.text = AnsiToUtf8(reader.Bytes(length), textCodePage);
    records.push_back(std::move(record));
  }
  return records;
}

std::string WriteConstantBlock(const std::vector<TConstantRecord>& records) {
  std::string block;
  auto put = [&block](uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
      block += static_cast<char>(value >> (8 * i) & 0xFF);
  };
  put(ConstantBlockVersion, 1);
  put(0, 1);
  put(static_cast<uint32_t>(records.size()), 4);
  for (const auto& record : records) {
    put(static_cast<uint32_t>(record.name.size()), 2);
    block += record.name;
    std::string utf16 = Utf8ToUtf16Le(record.text);
    put(static_cast<uint32_t>(utf16.size() / 2), 2);
    block += utf16;
  }
  return block;
}

std::string_view BuiltInConstantBlock() {
  return {builtInBlock.data(), builtInBlock.size()};
}

} // namespace pellora
