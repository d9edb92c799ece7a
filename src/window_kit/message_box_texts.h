#pragma once
#include <string>
#include <string_view>

namespace pellora {

// Captions of the question, information and error boxes.
struct TMessageBoxCaptions {
  std::string confirmation = "Confirmation";
  std::string information = "Information";
  std::string error = "Error";
};
TMessageBoxCaptions& MessageBoxCaptions();
// Takes the captions from the current texts of lc_Confirmation, lc_Information and lc_Error.
void UpdateMessageBoxCaptions();

// The text of the top-level error report: a full stop is added when the text is not empty and
// its last character sorts after "." (a letter, a digit, "?"), not after ".", ")" or "!".
std::string ErrorReportText(std::string_view message);

} // namespace pellora
