#include "mailbox_window/reading_pane.h"

#include "message_window/message_view.h"
#include "platform/codepage.h"
#include "platform/qt_locale.h"
#include "stores/mailbox.h"
#include "window_kit/error_report.h"

#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace pellora {

// What the worker made of a row, for the interface thread to show.
struct TPaneResult {
  uint64_t Serial = 0;
  uint64_t Load = 0;
  int64_t Entry = -1;
  std::unique_ptr<TMailMessage> Message;
  TViewBodies Bodies;
  QString From, To, CC, Date, Subject;
  QString Error; // the row could not be read
};

namespace {

// The pause after a focus change: a held arrow key (about 30 rows a second) reads no row until
// it stops.
constexpr int pauseMilliseconds = 70;

QString Person(const std::string& name, const std::string& address) {
  if (name.empty() || name == address) return AnsiToQString(address);
  if (address.empty()) return AnsiToQString(name);
  return AnsiToQString(name + " <" + address + ">");
}

QString Recipients(const TMailRecipients& list) {
  QStringList people;
  try {
    for (int i = 0; i < list.Count(); ++i) people << Person(list.Name(i), list.Address(i));
  } catch (const std::exception&) {
    // The list as far as it got.
  }
  return people.join(", ");
}

void Parse(const std::string& text, TPaneResult& result) {
  result.Message = std::make_unique<TMailMessage>();
  TMailMessage& message = *result.Message;
  message.ReadFromText(text);
  result.Bodies = PrepareBodies(message);
  result.From = message.FromAddress().empty() ? Person(message.ReplyToName(), message.ReplyToAddress())
                                              : Person(message.FromName(), message.FromAddress());
  result.To = Recipients(message.ToList());
  result.CC = Recipients(message.CcList());
  result.Date = FormatMessageDate(message.MessageDate());
  result.Subject = AnsiToQString(message.SubjectText());
}

} // namespace

// One thread that reads and parses the rows the pane asks for, the newest request only: an older
// one stops at its next step. Its store reads take turns with the window's (TMailbox's read turn).
class TPaneReader {
public:
  using TDone = std::function<void(std::shared_ptr<TPaneResult>)>;
  TPaneReader(TMailbox& mailbox, TDone done) : FMailbox(mailbox), FDone(std::move(done)) {
    FThread = std::thread([this] { Run(); });
  }
  ~TPaneReader() {
    {
      const std::lock_guard lock(FMutex);
      FStop = true;
    }
    FWanted = 0;
    FWake.notify_one();
    FThread.join();
  }
  void Request(uint64_t serial, uint64_t load, uint32_t entry) {
    {
      // Wanted before it is taken: the worker must not find its own request stale.
      const std::lock_guard lock(FMutex);
      FWanted = serial;
      FRequest = {serial, load, entry};
      FPending = true;
    }
    FWake.notify_one();
  }
  void Cancel() { FWanted = 0; }

private:
  struct TRequest {
    uint64_t Serial = 0, Load = 0;
    uint32_t Entry = 0;
  };
  void Run() {
    for (;;) {
      TRequest request;
      {
        std::unique_lock lock(FMutex);
        FWake.wait(lock, [this] { return FStop || FPending; });
        if (FStop) return;
        request = FRequest;
        FPending = false;
      }
      auto stale = [&] { return FWanted != request.Serial; };
      auto result = std::make_shared<TPaneResult>();
      result->Serial = request.Serial;
      result->Load = request.Load;
      result->Entry = request.Entry;
      std::string text;
      bool read = false;
      try {
        // A long pass of the window (a search, an export) holds the turn: wait, unless cancelled.
        TMailbox::TReadTurn turn;
        while (!stale() && !(turn = FMailbox.TryReadTurn(std::chrono::milliseconds(50))).owns_lock()) {
        }
        if (stale()) continue;
        read = FMailbox.ReadAside(request.Load, request.Entry, text);
      } catch (const std::exception& e) {
        result->Error = AnsiToQString(e.what());
      }
      if (stale()) continue;
      if (!read && result->Error.isEmpty()) continue; // another load came: the rows are gone
      if (read) {
        try {
          Parse(text, *result);
        } catch (const std::exception& e) {
          result->Error = AnsiToQString(e.what());
        }
      }
      if (!stale()) FDone(std::move(result));
    }
  }

  TMailbox& FMailbox;
  TDone FDone;
  std::mutex FMutex;
  std::condition_variable FWake;
  bool FStop = false;
  bool FPending = false;
  TRequest FRequest;
  std::atomic<uint64_t> FWanted{0};
  std::thread FThread;
};

TReadingPane::TReadingPane(TMailbox& mailbox, QWidget* parent) : QWidget(parent), FMailbox(mailbox) {
  setObjectName("ReadingPane");
  PaneHeader = new QWidget;
  PaneHeader->setObjectName("PaneHeader");
  auto* grid = new QGridLayout(PaneHeader);
  grid->setContentsMargins(6, 4, 6, 4);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(1);
  auto line = [&](int row, const char* caption, const char* name) {
    auto* label = new QLabel(caption);
    label->setObjectName(QString(name) + "Caption");
    label->setStyleSheet("color: palette(mid);");
    auto* value = new QLabel;
    value->setObjectName(name);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setTextFormat(Qt::PlainText);
    value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred); // long lines are cut
    grid->addWidget(label, row, 0, Qt::AlignTop);
    grid->addWidget(value, row, 1);
    return std::pair{label, value};
  };
  lSubject = line(0, "Subject:", "lSubject").second;
  QFont bold = lSubject->font();
  bold.setBold(true);
  lSubject->setFont(bold);
  lFrom = line(1, "From:", "lFrom").second;
  lTo = line(2, "To:", "lTo").second;
  std::tie(lCCCaption, lCC) = line(3, "CC:", "lCC");
  lDate = line(4, "Date:", "lDate").second;
  grid->setColumnStretch(1, 1);
  lPaneError = new QLabel;
  lPaneError->setObjectName("lPaneError");
  lPaneError->setWordWrap(true);
  lPaneError->setStyleSheet("color: rgb(160, 0, 0);");
  lPaneError->hide();
  grid->addWidget(lPaneError, 5, 0, 1, 2);

  FView = new TMessageView("pane");
  FView->setObjectName("PaneView");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(PaneHeader);
  layout->addWidget(FView, 1);
  ShowHeader(nullptr);

  FPause = new QTimer(this);
  FPause->setSingleShot(true);
  FPause->setInterval(pauseMilliseconds);
  connect(FPause, &QTimer::timeout, this, Guarded([this] { Request(); }));
  QPointer<TReadingPane> self(this);
  FReader = std::make_unique<TPaneReader>(mailbox, [self](std::shared_ptr<TPaneResult> result) {
    // To the interface thread; dropped when the pane is gone.
    QMetaObject::invokeMethod(self.data(), [self, result] {
      if (self) RunGuarded([&] { self->Shown(result); });
    }, Qt::QueuedConnection);
  });
}

TReadingPane::~TReadingPane() {
  FReader.reset(); // the worker stops before the pane it reports to goes
}

void TReadingPane::ShowEntry(int64_t entry) {
  if (entry == FWantedEntry) return;
  FWantedEntry = entry;
  ++FSerial;
  FReader->Cancel();
  // Each new row starts the pause again. No row (a list rebuilt by a sort or a filter) waits too:
  // the row that comes back focused stays on view.
  FPause->start();
}

void TReadingPane::Request() {
  if (FWantedEntry < 0) {
    ShowNone();
  } else if (FWantedEntry != FShownEntry || FShownLoad != FMailbox.LoadCount()) {
    FReader->Request(FSerial, FMailbox.LoadCount(), static_cast<uint32_t>(FWantedEntry));
  }
}

void TReadingPane::ShowNone() {
  FShownEntry = -1;
  FView->ShowMessage(nullptr, {});
  FMessage.reset();
  ShowHeader(nullptr);
}

void TReadingPane::Clear() {
  ++FSerial;
  FReader->Cancel();
  FPause->stop();
  FWantedEntry = -1;
  ShowNone();
}

void TReadingPane::Shown(const std::shared_ptr<TPaneResult>& result) {
  if (FMailbox.TakeWaitingNotes()) emit NotesAdded();
  if (result->Serial != FSerial) return; // a newer row was asked for meanwhile
  ShowHeader(result.get());
  // Remote content stays blocked for each message until the reader allows it.
  FView->SetImagesAllowed(false, false);
  FView->ShowMessage(result->Message.get(), std::move(result->Bodies));
  FMessage = std::move(result->Message);
  FShownEntry = result->Entry;
  FShownLoad = result->Load;
  emit EntryShown(FShownEntry);
}

void TReadingPane::ShowHeader(const TPaneResult* result) {
  const bool error = result && !result->Error.isEmpty();
  lPaneError->setVisible(error);
  lPaneError->setText(error ? result->Error : QString());
  const bool shown = result && !error;
  lSubject->setText(shown ? result->Subject : QString());
  lFrom->setText(shown ? result->From : QString());
  lTo->setText(shown ? result->To : QString());
  lCC->setText(shown ? result->CC : QString());
  lDate->setText(shown ? result->Date : QString());
  // Copies are rare: their line shows only when there are some.
  lCC->setVisible(!lCC->text().isEmpty());
  lCCCaption->setVisible(!lCC->text().isEmpty());
  for (QLabel* label : {lFrom, lTo, lCC, lSubject}) label->setToolTip(label->text());
}

void TReadingPane::SetHighlightWords(const std::vector<std::string>& words) {
  FView->SetHighlightWords(words);
}

} // namespace pellora
