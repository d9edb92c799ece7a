#include "shell/localized_text.h"

#include "platform/codepage.h"
#include "platform/ascii.h"

#include <cctype>
#include <cstdio>
#include <unordered_map>

namespace pellora {
namespace {

std::string Key(std::string_view name) { return UpperCaseAscii(name); }

// Current texts (UTF-8) by upper-cased name.
std::unordered_map<std::string, std::string>& CurrentTexts() {
  static std::unordered_map<std::string, std::string> texts = [] {
    std::unordered_map<std::string, std::string> t;
    for (const auto& c : LocalizedConstants()) t.emplace(Key(c.name), c.builtIn);
    return t;
  }();
  return texts;
}

} // namespace

const std::vector<TLocalizedConstant>& LocalizedConstants() {
  static const std::vector<TLocalizedConstant> constants = {
      {"lc_AttSaved", "%d attachments from %d messages saved to %s."},
      {"lc_Confirmation", "Confirmation"},
      {"lc_DownloadQuery", "Do you want to download it?"},
      {"lc_EA", "E-Mail Addresses"},
      {"lc_ElapsedTime", "Elapsed time: %1.2f s"},
      {"lc_Error", "Error"},
      {"lc_FileNotExists", "File %s does not exist."},
      {"lc_FileNotSupported", "File is not in supported format."},
      {"lc_FileProps", "File Properties"},
      {"lc_Filtering", "Filtering..."},
      {"lc_FolderNotExists", "Folder %s does not exist."},
      {"lc_Format", "Format"},
      {"lc_From", "From"},
      {"lc_IDFolder", "Identity/Folder"},
      {"lc_Information", "Information"},
      {"lc_Lines", "lines"},
      {"lc_LoadFailed", "Load failed"},
      {"lc_Loading", "Loading..."},
      {"lc_Message", "Message"},
      {"lc_MsgSaved", "%d messages saved to %s."},
      {"lc_NewVersionAvail", "New version %s is available."},
      {"lc_NoNewVersion", "No new version available."},
      {"lc_OpenAtt", "Do you want to open this attachment?"},
      {"lc_Overwrite", "Overwrite existing file %s?"},
      {"lc_Reading", "Reading..."},
      {"lc_Received", "Received"},
      {"lc_SaveProblem", "There is problem with file saving for e-mail with subject \"%s\" from "
                         "\"%s\". Enter please new filename."},
      {"lc_Saving", "Saving messages..."},
      {"lc_Selected", "Selected"},
      {"lc_SelectFolder", "Select folder"},
      {"lc_Size", "Size [B]"},
      {"lc_Subject", "Subject"},
      {"lc_TextNotFound", "Text not found."},
      {"lc_Timestamp", "Timestamp"},
      {"lc_To", "To"},
      {"lc_Total", "Total"},
      {"lc_Visible", "Visible"},
      {"lc_Warning", "Warning"},
  };
  return constants;
}

std::string GetLocalizedText(std::string_view name) {
  auto& texts = CurrentTexts();
  auto it = texts.find(Key(name));
  if (it == texts.end()) return {};
  std::string text = Utf8ToAnsi(it->second);
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '/' && i + 1 < text.size() && (text[i + 1] == 'n' || text[i + 1] == 'N')) {
      out += "\r\n";
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool SetLocalizedText(std::string_view name, std::string_view utf8Text) {
  auto& texts = CurrentTexts();
  auto it = texts.find(Key(name));
  if (it == texts.end()) return false;
  it->second = std::string(utf8Text);
  return true;
}

void ResetLocalizedTexts() {
  auto& texts = CurrentTexts();
  for (const auto& c : LocalizedConstants()) texts[Key(c.name)] = c.builtIn;
}

TMessageBoxCaptions& MessageBoxCaptions() {
  static TMessageBoxCaptions captions;
  return captions;
}

void UpdateMessageBoxCaptions() {
  auto& captions = MessageBoxCaptions();
  captions.confirmation = GetLocalizedText("lc_Confirmation");
  captions.information = GetLocalizedText("lc_Information");
  captions.error = GetLocalizedText("lc_Error");
}

namespace {
std::string thousandSeparator = ",";

std::string GroupThousands(const std::string& digits) {
  std::string out;
  size_t start = digits[0] == '-' ? 1 : 0;
  size_t dot = digits.find('.');
  size_t end = dot == std::string::npos ? digits.size() : dot;
  out.append(digits, 0, start);
  for (size_t i = start; i < end; ++i) {
    if (i > start && (end - i) % 3 == 0) out += thousandSeparator;
    out += digits[i];
  }
  out.append(digits, end, std::string::npos);
  return out;
}
} // namespace

void SetThousandSeparator(std::string separator) { thousandSeparator = std::move(separator); }

std::string FormatText(std::string_view format, std::initializer_list<TFormatArg> args) {
  std::string out;
  auto next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 >= format.size()) {
      out += format[i];
      continue;
    }
    if (format[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    size_t j = i + 1;
    int precision = -1;
    while (j < format.size() && std::isdigit(static_cast<unsigned char>(format[j]))) ++j;
    if (j < format.size() && format[j] == '.') {
      precision = 0;
      for (++j; j < format.size() && std::isdigit(static_cast<unsigned char>(format[j])); ++j)
        precision = precision * 10 + (format[j] - '0');
    }
    if (j >= format.size()) {
      out.append(format.substr(i));
      break;
    }
    char kind = static_cast<char>(format[j] | 0x20);
    i = j;
    if (next == args.end()) continue;
    const TFormatArg& arg = *next++;
    char buffer[64];
    switch (kind) {
    case 's':
      if (arg.isText) out += arg.text;
      else {
        std::snprintf(buffer, sizeof buffer, "%g", arg.number);
        out += buffer;
      }
      break;
    case 'd':
      std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(arg.number));
      out += buffer;
      break;
    case 'f':
      std::snprintf(buffer, sizeof buffer, "%.*f", precision < 0 ? 2 : precision, arg.number);
      out += buffer;
      break;
    case 'n':
      std::snprintf(buffer, sizeof buffer, "%.*f", precision < 0 ? 2 : precision, arg.number);
      out += GroupThousands(buffer);
      break;
    default:
      break;
    }
  }
  return out;
}

std::string ErrorReportText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

} // namespace pellora
