#include "platform/qt_platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

namespace pellora {
namespace {
TMessageBoxHook messageBoxHook;
TOpenFileHook openFileHook;
} // namespace

void SetMessageBoxHook(TMessageBoxHook hook) { messageBoxHook = std::move(hook); }
void SetOpenFileHook(TOpenFileHook hook) { openFileHook = std::move(hook); }

bool ShowMessageBox(TBoxKind kind, const QString& text, const QString& caption) {
  if (messageBoxHook) return messageBoxHook(kind, text, caption);
  QWidget* owner = QApplication::activeWindow();
  switch (kind) {
  case TBoxKind::Question:
    return QMessageBox::question(owner, caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
  case TBoxKind::Error:
    QMessageBox::critical(owner, caption, text);
    return true;
  case TBoxKind::Information:
    QMessageBox::information(owner, caption, text);
    return true;
  }
  return false;
}

bool OpenWithSystemProgram(const QString& path) {
  if (openFileHook) return openFileHook(path);
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace pellora
