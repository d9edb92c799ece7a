#include "platform/qt_platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace pellora {
namespace {
TMessageBoxHook messageBoxHook;
TOpenFileHook openFileHook;
TPickHook pickFolderHook;
TPickHook pickSaveFileHook;
TPickOpenHook pickOpenFileHook;
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

namespace pellora {

void SetPickFolderHook(TPickHook hook) { pickFolderHook = std::move(hook); }
void SetPickSaveFileHook(TPickHook hook) { pickSaveFileHook = std::move(hook); }
void SetPickOpenFileHook(TPickOpenHook hook) { pickOpenFileHook = std::move(hook); }

QString PickFolder(QWidget* owner, const QString& title, const QString& start) {
  if (pickFolderHook) return pickFolderHook(title, start);
  return QFileDialog::getExistingDirectory(owner, title, QDir(start).exists() ? start : QString(),
                                           QFileDialog::ShowDirsOnly);
}

QString PickSaveFile(QWidget* owner, const QString& title, const QString& presetName) {
  if (pickSaveFileHook) return pickSaveFileHook(title, presetName);
  // The dialog itself asks before overwriting and only offers existing folders.
  return QFileDialog::getSaveFileName(owner, title, presetName);
}

QString PickOpenFile(QWidget* owner, const QString& filter, const QString& start) {
  if (pickOpenFileHook) return pickOpenFileHook(filter, start);
  // One existing file; the dialog is resizable and has no read-only choice.
  return QFileDialog::getOpenFileName(owner, QString(), QDir(start).exists() ? start : QString(),
                                      FileDialogFilters(filter).join(";;"));
}

QStringList FileDialogFilters(const QString& filter) {
  QStringList parts = filter.split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QStringList masks = parts[i + 1].split(';', Qt::SkipEmptyParts);
    for (QString& mask : masks)
      if (mask == "*.*") mask = "*";
    filters << QString("%1 (%2)").arg(parts[i], masks.join(' '));
  }
  return filters;
}

} // namespace pellora
