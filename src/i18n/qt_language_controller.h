#pragma once
#include "i18n/language_manager.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

class QWidget;

namespace pellora {

// The language controller of one window: finds the window's translatable components by their
// object names and writes each text into the Qt property its path stands for (Caption: text,
// title or window title; Hint: tool tip and status tip; Text; Items: a combo box's items;
// Columns[i].Caption: header labels; Title; Filter: a file dialog's filters). A component that
// plays a part under another name (a tab page that is the editor itself) carries that name in
// its property "componentName". Lives as a child of its window and goes with it.
class TQtLanguageController : public QObject, public TLanguageController {
  Q_OBJECT
public:
  // Captures the built-in texts from the window as it is now; texts whose component the window
  // lacks are dropped.
  TQtLanguageController(QWidget* window, const std::string& section);
  // Registers with the process's language manager and applies its language when that is not
  // the built-in one (connect OnLanguageChanged first).
  void Attach();

signals:
  // After a language has been applied to the window.
  void OnLanguageChanged();

protected:
  bool WriteText(const TEntry& entry, const std::string& text) override;
  void LanguageChanged() override { emit OnLanguageChanged(); }

private:
  QObject* Component(const QString& name) const;

  QWidget* FWindow;
  std::vector<QPointer<QObject>> FComponents; // per entry
  std::vector<QString> FWritten;              // per entry: the text as last written or captured
};

// Loads Qt's own translations (the buttons of message boxes, the file dialogs) for a language
// from the Qt installation, replacing those of a language before; false when it has none.
bool InstallQtTranslations(TLanguageId language);

// The text of a property path of a component, and setting it; false when the component has no
// such text. root tells the window itself, whose Caption is its window title.
bool ReadTranslatableText(QObject* component, const QString& path, bool root, QString& text);
bool WriteTranslatableText(QObject* component, const QString& path, bool root, const QString& text);

} // namespace pellora
