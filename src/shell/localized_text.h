#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace pellora {

struct TLocalizedConstant {
  const char* name;
  const char* builtIn;
};

// The constants with their built-in English texts, in the order the program stores them.
const std::vector<TLocalizedConstant>& LocalizedConstants();

// The current text of a constant (its name compared without ASCII case) in the ANSI code page,
// with every "/n" turned into CR LF; "" when there is no such constant.
std::string GetLocalizedText(std::string_view name);
// Language files replace current texts (given as UTF-8); false for an unknown name.
bool SetLocalizedText(std::string_view name, std::string_view utf8Text);
void ResetLocalizedTexts();

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
