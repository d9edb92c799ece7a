#pragma once
// Qt side of the shell services: message boxes and the system's programs.
#include <QString>
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

} // namespace pellora
