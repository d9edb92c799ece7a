#include "window_kit/message_boxes.h"

#include "platform/qt_locale.h"
#include "platform/qt_platform.h"
#include "window_kit/message_box_texts.h"

#include <QApplication>

namespace pellora {
namespace {
QString Caption(const std::string& given, const std::string& fallback) {
  return AnsiToQString(given.empty() ? fallback : given);
}
} // namespace

bool ConfirmBox(const std::string& text, const std::string& caption) {
  return ShowMessageBox(TBoxKind::Question, AnsiToQString(text),
                        Caption(caption, MessageBoxCaptions().confirmation));
}

void ErrorBox(const std::string& text, const std::string& caption) {
  ShowMessageBox(TBoxKind::Error, AnsiToQString(text), Caption(caption, MessageBoxCaptions().error));
}

void InfoBox(const std::string& text, const std::string& caption) {
  ShowMessageBox(TBoxKind::Information, AnsiToQString(text),
                 Caption(caption, MessageBoxCaptions().information));
}

void ReportUncaughtError(const std::string& message) {
  ShowMessageBox(TBoxKind::Error, AnsiToQString(ErrorReportText(message)),
                 QApplication::applicationDisplayName());
}

} // namespace pellora
