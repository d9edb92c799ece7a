#include "window_kit/message_box_texts.h"

#include "i18n/localized_text.h"

namespace pellora {

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

std::string ErrorReportText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
  return text;
}

} // namespace pellora
