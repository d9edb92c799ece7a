#include "i18n/localized_text.h"

#include "i18n/language_manager.h"
#include "platform/codepage.h"

namespace pellora {

std::string GetLocalizedText(std::string_view name) {
  std::string text;
  try {
    text = Utf8ToAnsi(TLanguageManager::Instance().ConstantText(name));
  } catch (...) {
    return {};
  }
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

} // namespace pellora
