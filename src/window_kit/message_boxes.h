#pragma once
// The program's question, error and information boxes; texts in the ANSI code page.
#include <string>

namespace pellora {

// An empty caption means the current "Confirmation" / "Error" / "Information" caption.
bool ConfirmBox(const std::string& text, const std::string& caption = {});
void ErrorBox(const std::string& text, const std::string& caption = {});
void InfoBox(const std::string& text, const std::string& caption = {});

// Shows a failure that no handler caught: an error box titled with the application title.
void ReportUncaughtError(const std::string& message);

} // namespace pellora
