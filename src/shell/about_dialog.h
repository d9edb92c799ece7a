#pragma once
class QString;
class QWidget;

namespace pellora {
// The program's name and version and a summary of the computer.
void ShowAboutDialog(QWidget* owner);
// The commit the program is built from, shown beside the version. Given by the program's main, so
// that a new commit rebuilds the programs alone.
void SetBuildCommit(const QString& commit);
} // namespace pellora
