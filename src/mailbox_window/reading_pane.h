#pragma once
// The mailbox window's reading pane: the focused row's message with the message window's view of
// its bodies and attachments, under a compact header (From, To, CC, Date, Subject as lines). The
// message is read and parsed on a worker thread; a newer row cancels an older one, and a short
// pause lets a held arrow key pass rows without reading each.
#include "mime/mail_message.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QTimer;

namespace pellora {

class TMailbox;
class TMessageView;
class TPaneReader;
struct TPaneResult;

// Its components: PaneHeader with lFrom, lTo, lCC, lDate, lSubject (the lines' values) and
// lPaneError (a row that cannot be read), and the view PaneView (its parts named as the message
// window's after "pane": paneMemo, paneHTML, paneList, ...).
class TReadingPane : public QWidget {
  Q_OBJECT
public:
  explicit TReadingPane(TMailbox& mailbox, QWidget* parent = nullptr);
  ~TReadingPane() override;

  // Shows the row at position entry of the mailbox's entries after the pause; -1 shows none.
  void ShowEntry(int64_t entry);
  // The row shown now (-1: none), and the one asked for last.
  int64_t ShownEntry() const { return FShownEntry; }
  int64_t WantedEntry() const { return FWantedEntry; }
  // Forgets the rows and cancels what is being read: before a load replaces them.
  void Clear();
  // Marks the words (ASCII case-insensitive) in the shown text and HTML, in this message and the
  // next.
  void SetHighlightWords(const std::vector<std::string>& words);
  TMessageView* View() const { return FView; }

signals:
  // A row's message is on view (or its error).
  void EntryShown(qint64 entry);
  // Reading a row noted facts (a store changed on disk): the window shows its notes.
  void NotesAdded();

private:
  void Request();
  void ShowNone();
  void Shown(const std::shared_ptr<TPaneResult>& result);
  void ShowHeader(const TPaneResult* result);

  TMailbox& FMailbox;
  std::unique_ptr<TPaneReader> FReader;
  QTimer* FPause = nullptr;
  QWidget* PaneHeader = nullptr;
  QLabel* lFrom = nullptr;
  QLabel* lTo = nullptr;
  QLabel* lCC = nullptr;
  QLabel* lCCCaption = nullptr;
  QLabel* lDate = nullptr;
  QLabel* lSubject = nullptr;
  QLabel* lPaneError = nullptr;
  TMessageView* FView = nullptr;
  std::unique_ptr<TMailMessage> FMessage; // the message on view
  int64_t FWantedEntry = -1;
  int64_t FShownEntry = -1;
  uint64_t FShownLoad = 0;
  uint64_t FSerial = 0; // of the newest request
};

} // namespace pellora
