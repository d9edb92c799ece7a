#include "platform/qt_platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QSpacerItem>
#include <QUrl>

namespace pellora {
namespace {
TMessageBoxHook messageBoxHook;
TOpenFileHook openFileHook;
TPickHook pickFolderHook;
TPickHook pickSaveFileHook;
TPickOpenHook pickOpenFileHook;
TPickTargetHook pickSaveTargetHook;

// A box as wide as its caption needs: a short text would cut the title bar's words.
bool RunMessageBox(QMessageBox::Icon icon, const QString& text, const QString& caption,
                   QMessageBox::StandardButtons buttons, QMessageBox::StandardButton answer) {
  QMessageBox box(icon, caption, text, buttons, QApplication::activeWindow());
  box.setDefaultButton(answer);
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    const int width = box.fontMetrics().horizontalAdvance(caption) + 160; // icon and title buttons
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  return box.exec() == answer;
}

// The save dialog of PickSaveTarget: a folder type's name is taken as the dialog shows it,
// without the dialog stepping into an existing folder of that name.
class TSaveTargetDialog : public QFileDialog {
public:
  TSaveTargetDialog(QWidget* owner, const QString& title, const QStringList& types,
                    const QStringList& presets, const QList<int>& folderTypes)
      : QFileDialog(owner, title), FTypes(types), FPresets(presets), FFolderTypes(folderTypes) {
    setOption(QFileDialog::DontUseNativeDialog); // the folder types need this dialog's accept
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setOption(QFileDialog::DontConfirmOverwrite); // the save itself asks, file by file
    setNameFilters(types);
    connect(this, &QFileDialog::filterSelected, this, [this](const QString& filter) { ShowType(filter); });
    ShowType(types.value(0));
  }
  int Type() const { return static_cast<int>(FTypes.indexOf(selectedNameFilter())); }
  QString Folder() const { return FFolder; }

  void accept() override {
    if (!FFolderTypes.contains(Type())) {
      QFileDialog::accept();
      return;
    }
    auto* edit = findChild<QLineEdit*>("fileNameEdit");
    const QString name = edit ? edit->text().trimmed() : QString();
    FFolder = name.isEmpty() ? directory().absolutePath() : directory().absoluteFilePath(name);
    QDialog::accept();
  }

private:
  // A type is written as the user reads it ("Mailbox file (.mbox)"): its extension, the first
  // ".xyz" in it, chooses the files listed and completes a name typed without one.
  void ShowType(const QString& filter) {
    const int type = static_cast<int>(FTypes.indexOf(filter));
    static const QRegularExpression extension(R"(\.(\w+))");
    const QString ext = extension.match(filter).captured(1);
    setDefaultSuffix(!FFolderTypes.contains(type) ? ext : QString());
    if (auto* model = findChild<QFileSystemModel*>(); model && !ext.isEmpty()) {
      model->setNameFilterDisables(false);
      model->setNameFilters({"*." + ext});
    }
    if (type >= 0 && type < FPresets.size()) selectFile(FPresets[type]);
  }

  QStringList FTypes, FPresets;
  QList<int> FFolderTypes;
  QString FFolder;
};
} // namespace

void SetMessageBoxHook(TMessageBoxHook hook) { messageBoxHook = std::move(hook); }
void SetOpenFileHook(TOpenFileHook hook) { openFileHook = std::move(hook); }

bool ShowMessageBox(TBoxKind kind, const QString& text, const QString& caption) {
  if (messageBoxHook) return messageBoxHook(kind, text, caption);
  switch (kind) {
  case TBoxKind::Question:
    return RunMessageBox(QMessageBox::Question, text, caption, QMessageBox::Yes | QMessageBox::No,
                         QMessageBox::Yes);
  case TBoxKind::Error:
    RunMessageBox(QMessageBox::Critical, text, caption, QMessageBox::Ok, QMessageBox::Ok);
    return true;
  case TBoxKind::Information:
    RunMessageBox(QMessageBox::Information, text, caption, QMessageBox::Ok, QMessageBox::Ok);
    return true;
  }
  return false;
}

bool OpenWithSystemProgram(const QString& path) {
  if (openFileHook) return openFileHook(path);
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool OpenLink(const QUrl& url) {
  const QString scheme = url.scheme().toLower();
  if (scheme != "http" && scheme != "https" && scheme != "mailto") return false;
  if (openFileHook) return openFileHook(url.toString());
  return QDesktopServices::openUrl(url);
}

} // namespace pellora

namespace pellora {

void SetPickFolderHook(TPickHook hook) { pickFolderHook = std::move(hook); }
void SetPickSaveFileHook(TPickHook hook) { pickSaveFileHook = std::move(hook); }
void SetPickOpenFileHook(TPickOpenHook hook) { pickOpenFileHook = std::move(hook); }
void SetPickSaveTargetHook(TPickTargetHook hook) { pickSaveTargetHook = std::move(hook); }

TSaveTarget PickSaveTarget(QWidget* owner, const QString& title, const QString& startFolder,
                           const QStringList& types, const QStringList& presets,
                           const QList<int>& folderTypes) {
  if (pickSaveTargetHook) return pickSaveTargetHook(title, types, presets);
  TSaveTargetDialog dialog(owner, title, types, presets, folderTypes);
  dialog.setDirectory(!startFolder.isEmpty() && QDir(startFolder).exists() ? startFolder : QDir::homePath());
  if (dialog.exec() != QDialog::Accepted) return {};
  const int type = dialog.Type();
  if (folderTypes.contains(type)) return {dialog.Folder(), type};
  return {dialog.selectedFiles().value(0), type};
}

QString PickFolder(QWidget* owner, const QString& title, const QString& start) {
  if (pickFolderHook) return pickFolderHook(title, start);
  return QFileDialog::getExistingDirectory(owner, title, QDir(start).exists() ? start : QString(),
                                           QFileDialog::ShowDirsOnly);
}

namespace {
TPickHook askTextHook;
} // namespace

void SetAskTextHook(TPickHook hook) { askTextHook = std::move(hook); }

QString AskText(QWidget* owner, const QString& prompt, const QString& preset) {
  if (askTextHook) return askTextHook(prompt, preset);
  bool ok = false;
  QString text = QInputDialog::getText(owner, QApplication::applicationDisplayName(), prompt,
                                       QLineEdit::Normal, preset, &ok);
  return ok ? text : QString();
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
