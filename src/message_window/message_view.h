#pragma once
// A message's bodies and attachments as the message window and the mailbox window's reading pane
// show them: the plain and HTML pages (remote content blocked until the reader allows it), the
// attachments below them with open and save, and words marked in both pages. The header block
// is each window's own.
#include <QByteArray>
#include <QString>
#include <QWidget>

#include <string>
#include <vector>

class QFrame;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTabWidget;

namespace pellora {

class THtmlView;
class TMailMessage;
class TMailPart;

// What the view shows of a message, made from the message alone: on any thread, so that a large
// message is prepared away from the interface.
struct TViewBodies {
  struct TAttachment {
    QString Name;
    QString MimeType;
    uint64_t Size = 0;
  };
  QString Plain;
  QByteArray Html; // UTF-8
  std::vector<TAttachment> Attachments;
  bool HtmlOnly = false; // no text body: the HTML page shows first
  size_t PlainLines = 0;
  size_t HtmlLines = 0;
};

// Finds the message's bodies and decodes its attachments.
TViewBodies PrepareBodies(TMailMessage& message);

// Its components carry the names of the message window's layout, after prefix: pcBody, tsPlain
// (the Memo), tsHTML (HTML and RemoteBar above it, lRemote, bLoadRemote), List, Splitter,
// PopupMenu2 with Open1, Save1, Saveall1, and sd (the save dialog's title).
class TMessageView : public QWidget {
  Q_OBJECT
public:
  explicit TMessageView(const QString& prefix = QString(), QWidget* parent = nullptr);

  // Shows message (kept by the caller while it is shown) with its prepared bodies; null clears.
  void ShowMessage(TMailMessage* message, TViewBodies bodies);
  void ShowMessage(TMailMessage* message) { ShowMessage(message, PrepareBodies(*message)); }
  TMailMessage* Message() const { return FMessage; }
  const TViewBodies& Bodies() const { return FBodies; }

  // Remote content of the HTML page; a change renders the page again, unless render is false
  // (a message to be shown next).
  void SetImagesAllowed(bool allowed, bool render = true);
  bool ImagesAllowed() const { return FImagesAllowed; }
  // Marks the words (ASCII case-insensitive) on both pages.
  void SetHighlightWords(const std::vector<std::string>& words);

  // The attachment chosen in the list: opened with the system's program after asking, saved as a
  // file the reader names; or every attachment into a folder.
  void OpenAttachment();
  void SaveAttachment();
  void SaveAllAttachments();

  // The page the reader chose; a message without a text body shows its HTML page meanwhile.
  int ReaderPage() const;
  void SetReaderPage(int index);
  bool PlainShown() const;
  bool HtmlShown() const;

  QTabWidget* Pages() const { return pcBody; }
  QPlainTextEdit* PlainEdit() const { return Memo; }
  THtmlView* Html() const { return HTML; }
  QListWidget* AttachmentList() const { return List; }
  // The attachment list's height, kept while the list is hidden (a message without attachments).
  int ListHeight() const;
  void SetListHeight(int height);

signals:
  // The reader allowed remote content with the bar's button.
  void ImagesAllowedChanged(bool allowed);
  // The mouse came onto an attachment.
  void AttachmentEntered(const QString& text);

private:
  void FillAttachments();
  void RenderHtml();
  void MarkPlain();
  TMailPart* SelectedAttachment() const;

  QTabWidget* pcBody = nullptr;
  QPlainTextEdit* Memo = nullptr;
  QWidget* tsHTML = nullptr;
  THtmlView* HTML = nullptr;
  QFrame* RemoteBar = nullptr;
  QSplitter* BodySplitter = nullptr;
  QListWidget* List = nullptr;
  QMenu* PopupMenu2 = nullptr;
  QObject* sd = nullptr;
  int FListHeight = 78;
  int FReaderPage = 0;
  bool FChoosing = false; // the view itself turns the page
  bool FImagesAllowed = false;
  TMailMessage* FMessage = nullptr;
  TViewBodies FBodies;
  std::vector<std::string> FWords;
};

} // namespace pellora
