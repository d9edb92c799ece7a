#pragma once
class QWidget;

namespace pellora {
// The program's name and version and a summary of the computer.
void ShowAboutDialog(QWidget* owner);
} // namespace pellora
