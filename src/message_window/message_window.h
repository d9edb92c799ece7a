#pragma once
#include "mime/mail_message.h"
#include "render/message_pdf.h"
#include "window_kit/frame.h"

#include <QString>
#include <QUrl>

#include <cstdint>
#include <string>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPageLayout;
class QTabWidget;
class QToolButton;
class QTreeWidget;

namespace pellora {

class THtmlView;
class TMessageView;
class TSourceEditor;
class TFindDialog;

// The message window: one message, its fields, route, bodies, attachments and source. Its
// components carry the object names of the window's layout (pc, tsBody, tsSource, FlipPanel,
// eSubject, eFrom, eTo, eCC, eBC, eSent, eSize, lvHops, the bodies' view View (TMessageView: pcBody,
// tsPlain (the Memo), tsHTML (the HTML view and the bar RemoteBar above it), List, PopupMenu2 with
// Open1, Save1, Saveall1), lInfo, SynMemo, eSource, PopupMenu1, the menu items Copy1, CopyLink,
// pmFind, pmFindnext, SelectAll1, mmPrint, SaveAs1, pmImg, the route's RouteButton, and the find
// dialog fd).
class Tmdi_pl_Msg : public TMdiChild {
  Q_OBJECT
public:
  explicit Tmdi_pl_Msg(QWidget* parent = nullptr);
  ~Tmdi_pl_Msg() override;
  const char* ClassName() const override { return "Tmdi_pl_Msg"; }
  TQtFormStorage* FormStorage() const override { return FFormStorage; }
  QList<QAction*> FileActions() const override { return {mmPrint, mmPrintPreview, SavePdf1}; }
  QMenu* ChildMenu() const override { return MainMenu; }

  // Parses a message file and shows it; a failure reaches the caller.
  bool LoadMessageFile(const std::string& path, uint64_t size);
  // Shows a message's raw text (CR LF lines) read from a store; label names its origin.
  void LoadMessageText(const std::string& label, std::string_view text, uint64_t size);

  TMailMessage& MailMessage() { return FMessage; }
  // The message's text as its store holds it, which "Save message as..." writes; the loads set
  // the text they were given.
  void SetRawText(std::string text) { FRawText = std::move(text); }

  // Commands.
  void ListDblClick();
  void cmSave();
  void cmSaveall();
  void CmCopy();
  void cmSelectAll();
  void pmFindClick();
  void pmFindnextClick();
  // Prints the shown text under the message's header block: the print dialog, then the printer.
  void mmPrintClick();
  void mmPrintPreviewClick();
  // The shown text under the header block as a PDF file the user names.
  void cmSaveAsPdf();
  void cmSaveMessageAs();
  void pmImgClick();
  // Searches the active editor with the find dialog's settings; false when nothing was found.
  bool fdFind();
  // Prints to a PDF file without asking (tests).
  void SetPrintToFile(const QString& pdfPath) { FPrintFile = pdfPath; }
  // Prepares PopupMenu1 for the page on view, as before it opens.
  void PopupMenu1Popup();

signals:
  void PrintFinished();

private:
  void BuildHeaderPanel();
  void BuildBodyPanel();
  void BuildSourcePanel();
  void CreateMenus();
  void FormCreate();
  void DisplayMessage();
  void pcBodyChange();
  // In the information line: the search went on from the top (down) or from the end.
  void ShowWrapped(bool down);
  // The HTML view's answer to a search.
  void HtmlFound(int matches, int active, bool down);
  void FillRecipients(QListWidget* box, const TMailRecipients& list);
  void FillHops();
  bool PlainVisible() const;
  bool HtmlVisible() const;
  bool SourceVisible() const;
  QPlainTextEdit* ActiveEditor() const;
  // A row's fields that a saved message's file name is made of: its date and subject.
  TMessageEntry NamingEntry() const;
  std::string PrintJobTitle() const;
  // The message as the page on view shows it, as a PDF of that page layout.
  std::string ShownPdf(const QPageLayout& layout);

  QTabWidget* pc = nullptr;
  QWidget* tsBody = nullptr;
  QWidget* tsSource = nullptr;
  QWidget* FlipPanel = nullptr;
  QToolButton* FlipButton = nullptr;
  QLineEdit* eSubject = nullptr;
  QLineEdit* eFrom = nullptr;
  QListWidget* eTo = nullptr;
  QListWidget* eCC = nullptr;
  QListWidget* eBC = nullptr;
  QLineEdit* eSent = nullptr;
  QLineEdit* eSize = nullptr;
  QLabel* Label10 = nullptr; // "BCC:"
  QTreeWidget* lvHops = nullptr;
  QToolButton* RouteButton = nullptr; // folds the route in and out
  TMessageView* View = nullptr;
  QTabWidget* pcBody = nullptr;
  QPlainTextEdit* Memo = nullptr;
  THtmlView* HTML = nullptr;
  QLabel* lInfo = nullptr;
  TSourceEditor* SynMemo = nullptr;
  QLineEdit* eSource = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QMenu* MainMenu = nullptr; // "Message" in the frame's menu bar
  QAction* Copy1 = nullptr;
  QAction* pmFind = nullptr;
  QAction* pmFindnext = nullptr;
  QAction* SelectAll1 = nullptr;
  QAction* mmPrint = nullptr;
  QAction* SaveAs1 = nullptr;
  QAction* mmPrintPreview = nullptr;
  QAction* SavePdf1 = nullptr;
  QAction* pmImg = nullptr;
  QAction* CopyLink = nullptr;
  TFindDialog* fd = nullptr;
  TQtFormStorage* FFormStorage = nullptr;

  TMailMessage FMessage;
  std::string FRawText;
  uint64_t FSize = 0;
  QString FPrintFile;
  TMessagePdfRenderer* FRenderer = nullptr; // made at the first print
  QUrl FHoveredLink; // the link under the mouse in the HTML view
  QUrl FMenuLink;    // the one under it when the menu opened
  QString FHtmlFindText;
  int FHtmlMatch = 0; // the HTML view's active match of the last search, from 1
};

// The opener of single message files.
void OpenMessageFile(TFrame& frame, const std::string& path);
// Plugs the message window into the frame's open dispatch.
void RegisterMessageWindow();

} // namespace pellora
