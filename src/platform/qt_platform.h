#pragma once
// Qt side of the shell services: message boxes and the system's programs.
#include <QString>
#include <QStringList>
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

// The folder picker: file-system folders only, no button for new folders; "" on Cancel.
QString PickFolder(QWidget* owner, const QString& title, const QString& start = {});
// The save dialog: asks before overwriting, needs an existing folder; "" on Cancel.
QString PickSaveFile(QWidget* owner, const QString& title, const QString& presetName);
// The open dialog for one existing file, starting in the folder start; filter as the program's
// forms write it ("Email files|*.eml|All files|*.*"); "" on Cancel.
QString PickOpenFile(QWidget* owner, const QString& filter, const QString& start);
// "Name|*.a;*.b|All|*.*" as Qt's name filters "Name (*.a *.b)", "All (*)".
QStringList FileDialogFilters(const QString& filter);
// Tests answer the pickers through these seams.
using TPickHook = std::function<QString(const QString& title, const QString& preset)>;
void SetPickFolderHook(TPickHook hook);
void SetPickSaveFileHook(TPickHook hook);
using TPickOpenHook = std::function<QString(const QString& filter, const QString& start)>;
void SetPickOpenFileHook(TPickOpenHook hook);

} // namespace pellora
