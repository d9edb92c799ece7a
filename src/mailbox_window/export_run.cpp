#include "mailbox_window/export_run.h"

#include "i18n/format_text.h"
#include "i18n/localized_text.h"
#include "platform/codepage.h"
#include "platform/date_time.h"
#include "platform/qt_locale.h"
#include "platform/qt_platform.h"
#include "render/message_pdf.h"
#include "window_kit/message_boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QWidget>

#include <memory>

namespace pellora {
namespace {

// While messages are saved only the cancel button and Esc reach the program: the rows, the
// menus and the windows stay as they are until the export ends.
class TSavingInputFilter : public QObject {
public:
  TSavingInputFilter(QObject* cancel, bool& cancelled) : FCancel(cancel), FCancelled(cancelled) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
    case QEvent::KeyPress:
      if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) FCancelled = true;
      return true;
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
      return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::Close:
      // Window-system objects pass the event on to the widget, where it is decided.
      return watched->isWidgetType() && watched != FCancel;
    default:
      return false;
    }
  }

private:
  QObject* FCancel;
  bool& FCancelled;
};

class TWindowExportObserver : public TExportObserver {
public:
  TWindowExportObserver(QWidget* window, QObject* filter, const TMailbox& box,
                        std::function<void(uint64_t, uint64_t)> show, bool& cancelled)
      : FWindow(window), FFilter(filter), FBox(box), FShow(std::move(show)),
        FCancelled(cancelled) {}
  bool Progress(uint64_t done, uint64_t total) override {
    FShow(done, total);
    const uint64_t now = TickCount();
    if (done == 0 || now - FLastEvents >= 100) {
      FLastEvents = now;
      QApplication::processEvents(); // the cancel button's click gets through
    }
    return !FCancelled;
  }
  bool Overwrite(const std::string& path) override {
    TAnswering answering(FFilter);
    return ConfirmBox(FormatText(GetLocalizedText("lc_Overwrite"), {Utf8ToAnsi(path)}));
  }
  std::string NewName(const TMessageEntry& entry, const std::string& refused) override {
    TAnswering answering(FFilter);
    QString prompt = AnsiToQString(FormatText(GetLocalizedText("lc_SaveProblem"),
                                              {entry.Header.Subject, FBox.FromText(entry)}));
    return QFile::encodeName(AskText(FWindow, prompt, QFile::decodeName(QByteArray::fromStdString(refused))))
        .toStdString();
  }

private:
  // A question takes the user's input while it is open.
  struct TAnswering {
    explicit TAnswering(QObject* filter) : filter(filter) { qApp->removeEventFilter(filter); }
    ~TAnswering() { qApp->installEventFilter(filter); }
    QObject* filter;
  };

  QWidget* FWindow;
  QObject* FFilter;
  const TMailbox& FBox;
  std::function<void(uint64_t, uint64_t)> FShow;
  bool& FCancelled;
  uint64_t FLastEvents = 0;
};

} // namespace

TExportResult RunWindowExport(QWidget* window, QAbstractButton* cancel, TMailbox& box,
                              const std::vector<uint32_t>& rows, TExportFormat format,
                              const std::string& target,
                              const std::function<void(uint64_t done, uint64_t total)>& show) {
  bool cancelled = false;
  TSavingInputFilter filter(cancel, cancelled);
  auto cancelling = QObject::connect(cancel, &QAbstractButton::clicked, window,
                                     [&cancelled] { cancelled = true; });
  struct TRestore {
    TSavingInputFilter* filter;
    QAbstractButton* cancel;
    QMetaObject::Connection cancelling;
    ~TRestore() {
      qApp->removeEventFilter(filter);
      QObject::disconnect(cancelling);
      cancel->hide();
    }
  } restore{&filter, cancel, cancelling};
  qApp->installEventFilter(&filter);
  cancel->show();
  TWindowExportObserver observer(window, &filter, box, show, cancelled);
  std::unique_ptr<TExportPdfMaker> pdf;
  if (format == efPdf || format == efPdfOne)
    pdf = std::make_unique<TExportPdfMaker>(box.Store()->Caption(box.Path()));
  return ExportMessages(box, rows, format, target, &observer, pdf.get());
}

} // namespace pellora
