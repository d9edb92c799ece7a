#include "shell/about_dialog.h"

#include "i18n/format_text.h"
#include "i18n/localized_text.h"
#include "i18n/qt_language_controller.h"
#include "platform/codepage.h"
#include "platform/qt_locale.h"
#include "platform/system_info.h"
#include "window_kit/window_images.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>

namespace pellora {
namespace {
QString buildCommit;
}

void SetBuildCommit(const QString& commit) {
  buildCommit = commit;
}

void ShowAboutDialog(QWidget* owner) {
  QDialog dialog(owner);
  dialog.setObjectName("dlg_pl_About");
  dialog.setWindowTitle("About");
  auto* top = new QHBoxLayout;
  auto* icon = new QLabel;
  icon->setPixmap(ProgramIcon().pixmap(64, 64));
  icon->setAlignment(Qt::AlignTop);
  top->addWidget(icon);
  auto* text = new QVBoxLayout;
  auto* name = new QLabel(QString("<b>Pellora</b> %1 (commit %2)")
                              .arg(QApplication::applicationVersion(), buildCommit));
  name->setObjectName("lName");
  text->addWidget(name);
  auto* summary = new QLabel("A viewer for e-mail stored on disk.");
  summary->setObjectName("lSummary");
  text->addWidget(summary);
  auto* facts = new QFormLayout;
  auto* os = new QLabel(QString::fromStdString(OperatingSystemName()));
  os->setObjectName("lSystem");
  // The count of cores in the words of the language.
  auto* cpu = new QLabel(AnsiToQString(FormatText(GetLocalizedText("lc_ProcessorCores"),
                                                  {Utf8ToAnsi(ProcessorName()), ProcessorCount()})));
  cpu->setObjectName("lProcessor");
  auto* memory = new QLabel(QLocale().formattedDataSize(
      static_cast<qint64>(PhysicalMemoryBytes()), 1, QLocale::DataSizeTraditionalFormat));
  memory->setObjectName("lMemory");
  auto row = [facts](const char* name, const char* caption, QLabel* value) {
    auto* label = new QLabel(caption);
    label->setObjectName(name);
    facts->addRow(label, value);
  };
  row("lSystemLabel", "Operating system:", os);
  row("lProcessorLabel", "Processor:", cpu);
  row("lMemoryLabel", "Memory:", memory);
  text->addLayout(facts);
  top->addLayout(text);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(top);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  layout->addWidget(buttons);
  (new TQtLanguageController(&dialog, "dlg_pl_About"))->Attach();
  dialog.exec();
}

} // namespace pellora
