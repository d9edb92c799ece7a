#pragma once
// Qt side of the shell services: message boxes and the system's programs.
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class QWidget;

namespace pellora {

enum class TBoxKind { Question, Error, Information };

// A modal box owned by the application; true when the user chose Yes (or OK).
bool ShowMessageBox(TBoxKind kind, const QString& text, const QString& caption);

// Tests answer the boxes through this seam instead of a person; nullptr restores the real boxes.
using TMessageBoxHook = std::function<bool(TBoxKind, const QString& text, const QString& caption)>;
void SetMessageBoxHook(TMessageBoxHook hook);

// Opens a file with the program the desktop associates with its type.
bool OpenWithSystemProgram(const QString& path);
using TOpenFileHook = std::function<bool(const QString& path)>;
void SetOpenFileHook(TOpenFileHook hook);
// Hands a link (http, https, mailto) to the desktop's handler; tests see it through the open-file
// hook as its text. Other schemes are refused.
bool OpenLink(const QUrl& url);

// The folder picker: file-system folders only, no button for new folders; "" on Cancel.
QString PickFolder(QWidget* owner, const QString& title, const QString& start = {});
// The save dialog: asks before overwriting, needs an existing folder; "" on Cancel.
QString PickSaveFile(QWidget* owner, const QString& title, const QString& presetName);
// A save dialog offering file types as the user reads them ("Mailbox file (.mbox)", the first
// ".xyz" being the type's extension): the first type is on view at first, and each type proposes
// its preset name. A file type's name gets the type's extension when typed without. The types
// folderTypes name a folder instead: the name typed is taken as a folder, new or existing, and no
// name at all is the folder on view.
struct TSaveTarget {
  QString Path; // "" on Cancel
  int Type = 0; // the index of the type chosen
};
TSaveTarget PickSaveTarget(QWidget* owner, const QString& title, const QString& startFolder,
                           const QStringList& types, const QStringList& presets,
                           const QList<int>& folderTypes = {});
// The open dialog for one existing file, starting in the folder start; filter as the program's
// forms write it ("Email files|*.eml|All files|*.*"); "" on Cancel.
QString PickOpenFile(QWidget* owner, const QString& filter, const QString& start);
// "Name|*.a;*.b|All|*.*" as Qt's name filters "Name (*.a *.b)", "All (*)".
QStringList FileDialogFilters(const QString& filter);
// Tests answer the pickers through these seams.
using TPickHook = std::function<QString(const QString& title, const QString& preset)>;
void SetPickFolderHook(TPickHook hook);
void SetPickSaveFileHook(TPickHook hook);
using TPickTargetHook = std::function<TSaveTarget(const QString& title, const QStringList& types,
                                                  const QStringList& presets)>;
void SetPickSaveTargetHook(TPickTargetHook hook);
using TPickOpenHook = std::function<QString(const QString& filter, const QString& start)>;
void SetPickOpenFileHook(TPickOpenHook hook);
// A line of text the user types after a prompt; "" on Cancel. Tests answer through the hook,
// given the prompt and the preset.
QString AskText(QWidget* owner, const QString& prompt, const QString& preset);
void SetAskTextHook(TPickHook hook);

} // namespace pellora
