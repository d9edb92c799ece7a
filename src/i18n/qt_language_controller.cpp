#include "i18n/qt_language_controller.h"

#include "platform/qt_platform.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeWidget>

#include <deque>
#include <memory>

namespace pellora {
namespace {

const char* const sectionProperty = "languageSection";
const char* const componentNameProperty = "componentName";

// The tab widget and index of a page, when the widget is one.
QTabWidget* TabOf(QObject* component, int& index) {
  auto* page = qobject_cast<QWidget*>(component);
  auto* stack = page ? qobject_cast<QStackedWidget*>(page->parentWidget()) : nullptr;
  auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
  index = tabs ? tabs->indexOf(page) : -1;
  return index >= 0 ? tabs : nullptr;
}

// Qt's name filters back as "Name|*.a;*.b|All|*.*".
QString WindowsFilter(const QStringList& filters) {
  static const QRegularExpression pattern(R"(^(.*) \(([^()]*)\)$)");
  QStringList parts;
  for (const QString& filter : filters) {
    auto match = pattern.match(filter);
    QString name = match.hasMatch() ? match.captured(1) : filter;
    QStringList masks =
        match.hasMatch() ? match.captured(2).split(' ', Qt::SkipEmptyParts) : QStringList{"*"};
    for (QString& mask : masks)
      if (mask == "*") mask = "*.*";
    parts << name << masks.join(';');
  }
  return parts.join('|');
}

QStringList Lines(const QString& text) {
  QString unified = text;
  unified.replace("\r\n", "\n");
  return unified.split('\n');
}

// Columns[i].Caption: the index, or -1 when the path is not one.
int ColumnOf(const QString& path) {
  static const QRegularExpression pattern(R"(^Columns\[(\d+)\]\.Caption$)");
  auto match = pattern.match(path);
  return match.hasMatch() ? match.captured(1).toInt() : -1;
}

bool Access(QObject* component, const QString& path, bool root, QString* read,
            const QString* write) {
  auto get = [&](const QString& value) {
    if (read) *read = value;
    return true;
  };
  int tab;
  if (path == "Caption") {
    if (auto* action = qobject_cast<QAction*>(component)) {
      if (write) action->setText(*write);
      return get(action->text());
    }
    if (auto* menu = qobject_cast<QMenu*>(component)) {
      if (write) menu->setTitle(*write);
      return get(menu->title());
    }
    if (QTabWidget* tabs = TabOf(component, tab); tabs && !root) {
      if (write) tabs->setTabText(tab, *write);
      return get(tabs->tabText(tab));
    }
    if (auto* label = qobject_cast<QLabel*>(component)) {
      if (write) label->setText(*write);
      return get(label->text());
    }
    if (auto* button = qobject_cast<QAbstractButton*>(component)) {
      if (write) button->setText(*write);
      return get(button->text());
    }
    if (auto* group = qobject_cast<QGroupBox*>(component)) {
      if (write) group->setTitle(*write);
      return get(group->title());
    }
    if (auto* widget = qobject_cast<QWidget*>(component); widget && (root || widget->isWindow())) {
      if (write) widget->setWindowTitle(*write);
      return get(widget->windowTitle());
    }
  } else if (path == "Hint") {
    // The short hint before "|" is the tool tip, the long one after it the status tip.
    auto split = [](const QString& hint, QString& tip, QString& status) {
      tip = hint.section('|', 0, 0);
      status = hint.contains('|') ? hint.section('|', 1) : hint;
    };
    auto join = [](const QString& tip, const QString& status) {
      return status.isEmpty() || status == tip ? tip : tip + "|" + status;
    };
    QString tip, status;
    if (auto* action = qobject_cast<QAction*>(component)) {
      if (write) {
        split(*write, tip, status);
        action->setToolTip(tip);
        action->setStatusTip(status);
      }
      return get(join(action->toolTip(), action->statusTip()));
    }
    if (auto* widget = qobject_cast<QWidget*>(component)) {
      if (write) {
        split(*write, tip, status);
        widget->setToolTip(tip);
        widget->setStatusTip(status);
      }
      return get(join(widget->toolTip(), widget->statusTip()));
    }
  } else if (path == "Text") {
    if (auto* edit = qobject_cast<QLineEdit*>(component)) {
      if (write) edit->setText(*write);
      return get(edit->text());
    }
    if (auto* combo = qobject_cast<QComboBox*>(component)) {
      if (write) {
        if (combo->isEditable())
          combo->setEditText(*write);
        else if (int index = combo->findText(*write); index >= 0)
          combo->setCurrentIndex(index);
      }
      return get(combo->currentText());
    }
  } else if (path == "Items") {
    if (auto* combo = qobject_cast<QComboBox*>(component)) {
      // Item by item, so that the selection and what each index means stay.
      if (write) {
        QStringList lines = Lines(*write);
        for (int i = 0; i < lines.size(); ++i) {
          if (i < combo->count())
            combo->setItemText(i, lines[i]);
          else
            combo->addItem(lines[i]);
        }
      }
      QStringList items;
      for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
      return get(items.join("\r\n"));
    }
  } else if (int column = ColumnOf(path); column >= 0) {
    if (auto* tree = qobject_cast<QTreeWidget*>(component)) {
      if (column >= tree->columnCount()) return false;
      if (write) tree->headerItem()->setText(column, *write);
      return get(tree->headerItem()->text(column));
    }
    if (auto* view = qobject_cast<QAbstractItemView*>(component); view && view->model()) {
      QAbstractItemModel* model = view->model();
      if (column >= model->columnCount()) return false;
      if (write) model->setHeaderData(column, Qt::Horizontal, *write);
      return get(model->headerData(column, Qt::Horizontal).toString());
    }
  } else if (path == "Title") {
    if (auto* widget = qobject_cast<QWidget*>(component)) {
      if (write) widget->setWindowTitle(*write);
      return get(widget->windowTitle());
    }
  } else if (path == "Filter") {
    if (auto* dialog = qobject_cast<QFileDialog*>(component)) {
      if (write) dialog->setNameFilters(FileDialogFilters(*write));
      return get(WindowsFilter(dialog->nameFilters()));
    }
  } else if (int dot = path.indexOf('.'); dot > 0) {
    // A property of a nested object: its child of that name.
    QObject* nested = component->findChild<QObject*>(path.left(dot), Qt::FindDirectChildrenOnly);
    return nested && Access(nested, path.mid(dot + 1), false, read, write);
  }
  // Components without a Qt counterpart keep their texts as properties of that name.
  QByteArray name = path.toLatin1();
  QVariant value = component->property(name.constData());
  if (value.typeId() != QMetaType::QString) return false;
  if (write) component->setProperty(name.constData(), *write);
  return get(component->property(name.constData()).toString());
}

} // namespace

bool InstallQtTranslations(TLanguageId language) {
  static QTranslator* installed = nullptr;
  if (installed) {
    QCoreApplication::removeTranslator(installed);
    delete installed;
    installed = nullptr;
  }
  const std::string_view code = LanguageCodeOf(language);
  if (code.empty() || code == "en") return false;
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QString("qtbase_") + QString::fromLatin1(code.data(), qsizetype(code.size())),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    return false;
  installed = translator.release();
  QCoreApplication::installTranslator(installed);
  return true;
}

bool ReadTranslatableText(QObject* component, const QString& path, bool root, QString& text) {
  return component && Access(component, path, root, &text, nullptr);
}

bool WriteTranslatableText(QObject* component, const QString& path, bool root,
                           const QString& text) {
  return component && Access(component, path, root, nullptr, &text);
}

TQtLanguageController::TQtLanguageController(QWidget* window, const std::string& section)
    : QObject(window), TLanguageController(section), FWindow(window) {
  window->setProperty(sectionProperty, QString::fromStdString(section));
  for (const TTranslatableText& text : TranslatableTexts(section)) {
    QObject* component =
        text.component.empty()
            ? window
            : Component(QString::fromUtf8(text.component.data(), text.component.size()));
    QString builtIn;
    QString path = QString::fromUtf8(text.property.data(), text.property.size());
    if (!ReadTranslatableText(component, path, text.component.empty(), builtIn)) continue;
    FEntries.push_back({text, builtIn.toStdString()});
    FComponents.emplace_back(component);
    FWritten.push_back(builtIn);
  }
}

void TQtLanguageController::Attach() {
  TLanguageController::Attach(TLanguageManager::Instance());
}

// The window's own components: its descendants, but not those of the windows inside it (the
// frame's child windows, which have their own controllers).
QObject* TQtLanguageController::Component(const QString& name) const {
  std::deque<QObject*> queue(FWindow->children().begin(), FWindow->children().end());
  while (!queue.empty()) {
    QObject* object = queue.front();
    queue.pop_front();
    if (object->objectName() == name || object->property(componentNameProperty).toString() == name)
      return object;
    if (qobject_cast<QMdiSubWindow*>(object) || object->property(sectionProperty).isValid())
      continue;
    for (QObject* child : object->children())
      queue.push_back(child);
  }
  return nullptr;
}

bool TQtLanguageController::WriteText(const TEntry& entry, const std::string& text) {
  size_t index = static_cast<size_t>(&entry - FEntries.data());
  QObject* component = FComponents[index];
  if (!component) return false;
  QString path = QString::fromUtf8(entry.text.property.data(), entry.text.property.size());
  bool root = entry.text.component.empty();
  // A text the window has put there since (a store's name for a caption, a path for a label)
  // is its data, not a translation: it stays.
  QString current;
  if (!ReadTranslatableText(component, path, root, current) || current != FWritten[index])
    return true;
  WriteTranslatableText(component, path, root, QString::fromStdString(text));
  ReadTranslatableText(component, path, root, FWritten[index]);
  return true;
}

} // namespace pellora
