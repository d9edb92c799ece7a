#include "message_window/message_window.h"

#include "i18n/format_text.h"
#include "i18n/localized_text.h"
#include "i18n/qt_language_controller.h"
#include "export/message_export.h"
#include "platform/safe_files.h"
#include "message_window/find_dialog.h"
#include "message_window/html_view.h"
#include "message_window/message_view.h"
#include "message_window/printing.h"
#include "message_window/source_editor.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/qt_locale.h"
#include "platform/qt_platform.h"
#include "settings/qt_form_storage.h"
#include "stores/mailbox.h"
#include "window_kit/busy_cursor.h"
#include "window_kit/error_report.h"
#include "window_kit/message_boxes.h"

#include <QAction>
#include <QClipboard>
#include <QDate>
#include <QFile>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>

#include <memory>

namespace pellora {
namespace {

QFont MonospaceFont(int points) {
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPointSize(points);
  return font;
}

QLineEdit* ReadOnlyLine() {
  auto* edit = new QLineEdit;
  edit->setReadOnly(true);
  return edit;
}

// The recipients side by side, as many rows as they take: one line for one recipient, up to
// four lines before the box scrolls.
class TRecipientBox : public QListWidget {
public:
  TRecipientBox() {
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setSpacing(2);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    FitHeight();
  }
  void FitHeight() {
    doItemsLayout();
    const int line = fontMetrics().height() + 2 * spacing() + 2;
    const int content = count() == 0 ? line : std::min(contentsSize().height(), 4 * line);
    setFixedHeight(std::max(content, line) + 2 * frameWidth());
  }

protected:
  void resizeEvent(QResizeEvent* event) override {
    QListWidget::resizeEvent(event);
    FitHeight(); // the rows the recipients take at this width
  }
};

QLabel* Caption(const char* text, const char* name) {
  auto* label = new QLabel(text);
  label->setObjectName(name);
  return label;
}

} // namespace

Tmdi_pl_Msg::Tmdi_pl_Msg(QWidget* parent) : TMdiChild(parent) {
  setWindowTitle("Message");
  setMinimumSize(130, 50);
  pc = new QTabWidget;
  pc->setObjectName("pc");
  pc->setStyleSheet("QTabBar::tab:selected { font-weight: bold; }");
  tsBody = new QWidget;
  tsBody->setObjectName("tsBody");
  tsSource = new QWidget;
  tsSource->setObjectName("tsSource");
  pc->addTab(tsBody, " Body ");
  pc->addTab(tsSource, " Source ");
  BuildHeaderPanel();
  BuildBodyPanel();
  BuildSourcePanel();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(pc);

  fd = new TFindDialog(this);
  fd->setObjectName("fd");
  connect(fd, &TFindDialog::Find, this, Guarded([this] { fdFind(); }));
  CreateMenus();
  connect(pcBody, &QTabWidget::currentChanged, this, Guarded([this] { pcBodyChange(); }));
  FormCreate();
  FFormStorage = new TQtFormStorage(this, "mdi_pl_Msg\\", {.KeepPlacement = true});
  FFormStorage->AddBoolean(
      "FlipPanel.Expanded", [this] { return FlipButton->isChecked(); },
      [this](bool expanded) { FlipButton->setChecked(expanded); });
  FFormStorage->AddBoolean(
      "lvHops.Expanded", [this] { return RouteButton->isChecked(); },
      [this](bool expanded) { RouteButton->setChecked(expanded); });
  FFormStorage->AddInteger(
      "List.Height", [this] { return View->ListHeight(); },
      [this](int height) { View->SetListHeight(height); });
  // A page the window chose for its message is no choice of the reader's: the one before stays.
  FFormStorage->AddInteger(
      "pcBody.ActivePageIndex", [this] { return View->ReaderPage(); },
      [this](int index) { View->SetReaderPage(index); });
  (new TQtLanguageController(this, "mdi_pl_Msg"))->Attach();
}

// The header fields: subject and sender stay in the panel's strip when it is collapsed.
void Tmdi_pl_Msg::BuildHeaderPanel() {
  FlipPanel = new QWidget;
  FlipPanel->setObjectName("FlipPanel");
  eSubject = ReadOnlyLine();
  eSubject->setObjectName("eSubject");
  eFrom = ReadOnlyLine();
  eFrom->setObjectName("eFrom");
  eTo = new TRecipientBox;
  eTo->setObjectName("eTo");
  eCC = new TRecipientBox;
  eCC->setObjectName("eCC");
  eBC = new TRecipientBox;
  eBC->setObjectName("eBC");
  eSent = ReadOnlyLine();
  eSent->setObjectName("eSent");
  eSize = ReadOnlyLine();
  eSize->setObjectName("eSize");
  lvHops = new QTreeWidget;
  lvHops->setObjectName("lvHops");
  lvHops->setHeaderLabels({"Date", "From", "To", "Address"});
  lvHops->setRootIsDecorated(false);
  lvHops->setSelectionBehavior(QAbstractItemView::SelectRows);
  lvHops->setSortingEnabled(false);
  for (auto [column, width] : {std::pair{0, 120}, {1, 150}, {2, 150}, {3, 150}})
    lvHops->setColumnWidth(column, width);
  lvHops->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  // The route is folded away at first: the body gets the room.
  RouteButton = new QToolButton;
  RouteButton->setObjectName("RouteButton");
  RouteButton->setCheckable(true);
  RouteButton->setArrowType(Qt::RightArrow);
  RouteButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  RouteButton->setAutoRaise(true);
  connect(RouteButton, &QToolButton::toggled, this, [this](bool expanded) {
    lvHops->setVisible(expanded && lvHops->topLevelItemCount() > 0);
    RouteButton->setArrowType(expanded ? Qt::DownArrow : Qt::RightArrow);
  });
  lvHops->hide();

  FlipButton = new QToolButton;
  FlipButton->setObjectName("FlipButton");
  FlipButton->setCheckable(true);
  FlipButton->setChecked(true);
  FlipButton->setArrowType(Qt::UpArrow);
  FlipButton->setToolTip("Show or hide the header fields");
  auto* strip = new QGridLayout;
  strip->addWidget(Caption("Subject:", "Label1"), 0, 0);
  strip->addWidget(eSubject, 0, 1);
  strip->addWidget(FlipButton, 0, 2);
  strip->addWidget(Caption("From:", "Label2"), 1, 0);
  strip->addWidget(eFrom, 1, 1, 1, 2);
  auto* details = new QWidget;
  auto* grid = new QGridLayout(details);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setVerticalSpacing(2);
  grid->addWidget(Caption("To:", "Label8"), 0, 0, Qt::AlignTop);
  grid->addWidget(eTo, 0, 1, 1, 3);
  grid->addWidget(Caption("CC:", "Label9"), 1, 0, Qt::AlignTop);
  grid->addWidget(eCC, 1, 1, 1, 3);
  grid->addWidget(Label10 = Caption("BCC:", "Label10"), 2, 0, Qt::AlignTop);
  grid->addWidget(eBC, 2, 1, 1, 3);
  grid->addWidget(Caption("Timestamp:", "Label11"), 3, 0);
  grid->addWidget(eSent, 3, 1);
  grid->addWidget(Caption("Size:", "Label12"), 3, 2);
  grid->addWidget(eSize, 3, 3);
  grid->addWidget(Caption("Trace:", "Label13"), 4, 0);
  grid->addWidget(RouteButton, 4, 1, 1, 3, Qt::AlignLeft);
  grid->addWidget(lvHops, 5, 1, 1, 3);
  grid->setColumnStretch(1, 2);
  grid->setColumnStretch(3, 1);
  auto* flipLayout = new QVBoxLayout(FlipPanel);
  flipLayout->setContentsMargins(4, 4, 4, 4);
  flipLayout->addLayout(strip);
  flipLayout->addWidget(details);
  connect(FlipButton, &QToolButton::toggled, this, [this, details](bool expanded) {
    details->setVisible(expanded);
    FlipButton->setArrowType(expanded ? Qt::UpArrow : Qt::DownArrow);
  });
}

// The bodies on their pages and the attachments, the attachment under the mouse last.
void Tmdi_pl_Msg::BuildBodyPanel() {
  View = new TMessageView;
  View->setObjectName("View");
  pcBody = View->Pages();
  Memo = View->PlainEdit();
  HTML = View->Html();
  connect(HTML, &THtmlView::LinkHovered, this, [this](const QUrl& url) {
    FHoveredLink = url;
    if (url.isEmpty())
      pcBodyChange();
    else
      lInfo->setText(url.toDisplayString());
  });
  connect(View, &TMessageView::ImagesAllowedChanged, this, [this](bool allowed) { pmImg->setChecked(allowed); });
  connect(View, &TMessageView::AttachmentEntered, this, [this](const QString& text) { lInfo->setText(text); });

  lInfo = new QLabel;
  lInfo->setObjectName("lInfo");
  lInfo->setStyleSheet("color: navy;");

  auto* bodyLayout = new QVBoxLayout(tsBody);
  bodyLayout->setContentsMargins(2, 2, 2, 2);
  bodyLayout->addWidget(FlipPanel);
  bodyLayout->addWidget(View, 1);
  bodyLayout->addWidget(lInfo);
}

void Tmdi_pl_Msg::BuildSourcePanel() {
  SynMemo = new TSourceEditor;
  SynMemo->setObjectName("SynMemo");
  SynMemo->setFont(MonospaceFont(8));
  eSource = new QLineEdit("source");
  eSource->setObjectName("eSource");
  eSource->setReadOnly(true);
  eSource->setFrame(false);
  eSource->setStyleSheet("color: navy; background: transparent;");
  auto* sourceLayout = new QVBoxLayout(tsSource);
  sourceLayout->setContentsMargins(2, 2, 2, 2);
  sourceLayout->addWidget(SynMemo, 1);
  sourceLayout->addWidget(eSource);
}

Tmdi_pl_Msg::~Tmdi_pl_Msg() { FFormStorage->SaveUnlessSaved(); }

void Tmdi_pl_Msg::FormCreate() { pc->setCurrentWidget(tsBody); }

void Tmdi_pl_Msg::CreateMenus() {
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  Copy1 = PopupMenu1->addAction("Copy", this, Guarded([this] { CmCopy(); }));
  PopupMenu1->addSeparator();
  pmFind = PopupMenu1->addAction("Find...", this, Guarded([this] { pmFindClick(); }));
  pmFind->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  pmFindnext = PopupMenu1->addAction("Find next", this, Guarded([this] { pmFindnextClick(); }));
  pmFindnext->setShortcut(QKeySequence(Qt::Key_F3));
  PopupMenu1->addSeparator();
  SelectAll1 = PopupMenu1->addAction("Select All", this, Guarded([this] { cmSelectAll(); }));
  PopupMenu1->addSeparator();
  mmPrint = PopupMenu1->addAction("Print...", this, Guarded([this] { mmPrintClick(); }));
  mmPrint->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  mmPrintPreview = new QAction("Print Preview...", this);
  connect(mmPrintPreview, &QAction::triggered, this, Guarded([this] { mmPrintPreviewClick(); }));
  SavePdf1 = PopupMenu1->addAction("Save as PDF...", this, Guarded([this] { cmSaveAsPdf(); }));
  SaveAs1 = PopupMenu1->addAction("Save message as...", this, Guarded([this] { cmSaveMessageAs(); }));
  SaveAs1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  PopupMenu1->addSeparator();
  pmImg = PopupMenu1->addAction("Download images", this, Guarded([this] { pmImgClick(); }));
  pmImg->setCheckable(true);
  CopyLink = new QAction("Copy link address", this);
  CopyLink->setObjectName("CopyLink");
  PopupMenu1->insertAction(PopupMenu1->actions().value(1), CopyLink); // beside Copy
  connect(CopyLink, &QAction::triggered, this, [this] {
    if (!FMenuLink.isEmpty()) QGuiApplication::clipboard()->setText(FMenuLink.toString());
  });
  MainMenu = new QMenu("&Message", this);
  MainMenu->setObjectName("MainMenu");
  MainMenu->addAction(mmPrint);
  MainMenu->addAction(mmPrintPreview);
  MainMenu->addSeparator();
  MainMenu->addAction(SavePdf1);
  MainMenu->addAction(SaveAs1);
  for (QAction* action : {pmFind, pmFindnext, SaveAs1, mmPrint}) {
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(action);
  }
  Copy1->setObjectName("Copy1");
  pmFind->setObjectName("pmFind");
  pmFindnext->setObjectName("pmFindnext");
  SelectAll1->setObjectName("SelectAll1");
  mmPrint->setObjectName("mmPrint");
  SaveAs1->setObjectName("SaveAs1");
  mmPrintPreview->setObjectName("mmPrintPreview");
  SavePdf1->setObjectName("SavePdf1");
  pmImg->setObjectName("pmImg");

  for (QWidget* w : std::initializer_list<QWidget*>{Memo, HTML, SynMemo}) {
    w->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(w, &QWidget::customContextMenuRequested, this, Guarded([this, w](const QPoint& pos) {
              PopupMenu1Popup();
              PopupMenu1->exec(w->mapToGlobal(pos));
            }));
  }
}

bool Tmdi_pl_Msg::LoadMessageFile(const std::string& path, uint64_t size) {
  TBusyCursor busy;
  // Through the store of a message of its kind: an Apple Mail file holds more than its message.
  TMailbox box;
  const TLoadResult loaded = box.Load(path, okMessageFile);
  if (!loaded.Loaded) throw EPelloraError(loaded.ErrorText);
  const TMessageEntry& row = box.Entries().at(0);
  box.Store()->ParseMessage(row, FMessage);
  FRawText = box.StoredText(row);
  FSize = size;
  eSource->setText(QFile::decodeName(QByteArray::fromStdString(path)));
  DisplayMessage();
  return true;
}

void Tmdi_pl_Msg::LoadMessageText(const std::string& label, std::string_view text, uint64_t size) {
  TBusyCursor busy;
  FSize = size;
  FMessage.ResetMessage();
  FMessage.ReadFromText(text);
  FRawText = text;
  eSource->setText(AnsiToQString(label));
  DisplayMessage();
}

void Tmdi_pl_Msg::DisplayMessage() {
  if (FMessage.FromAddress().empty())
    eFrom->setText(AnsiToQString(FormatText("%s <%s>", {FMessage.ReplyToName(), FMessage.ReplyToAddress()})));
  else
    eFrom->setText(AnsiToQString(FormatText("%s <%s>", {FMessage.FromName(), FMessage.FromAddress()})));
  FillRecipients(eTo, FMessage.ToList());
  FillRecipients(eCC, FMessage.CcList());
  FillRecipients(eBC, FMessage.BccList());
  // Blind copies are rare: their row shows only when there are some.
  eBC->setVisible(eBC->count() > 0);
  Label10->setVisible(eBC->count() > 0);
  eSubject->setText(AnsiToQString(FMessage.SubjectText()));
  eSubject->setCursorPosition(0);
  eSent->setText(FormatMessageDate(FMessage.MessageDate()));
  eSize->setText(ByteSizeText(FSize));
  View->SetImagesAllowed(pmImg->isChecked());
  View->ShowMessage(&FMessage); // a message without a text body opens on its HTML page
  pcBodyChange();
  // The stored text declares no charset as a whole: each line is shown as it reads best.
  QString text = AnsiToQString(UndeclaredToAnsi(FMessage.SourceText()));
  text.replace("\r\n", "\n");
  text.replace(QChar(0), QChar(QChar::ReplacementCharacter)); // shown, not taken as an end
  SynMemo->setPlainText(text);
  FillHops();
}

void Tmdi_pl_Msg::FillRecipients(QListWidget* box, const TMailRecipients& list) {
  box->clear();
  try {
    for (int i = 0; i < list.Count(); ++i)
      box->addItem(AnsiToQString(FormatText("%s <%s>", {list.Name(i), list.Address(i)})));
  } catch (const std::exception&) {
    // The list stays as far as it got.
  }
  static_cast<TRecipientBox*>(box)->FitHeight();
}

void Tmdi_pl_Msg::FillHops() {
  lvHops->clear();
  try {
    const std::vector<TReceived> route = FMessage.Route();
    for (auto it = route.rbegin(); it != route.rend(); ++it) {
      const TReceived& hop = *it;
      auto* row = new QTreeWidgetItem({FormatMessageDate(hop.Date), AnsiToQString(hop.FromHost),
                                       AnsiToQString(hop.ByHost), AnsiToQString(hop.ForAddress)});
      lvHops->addTopLevelItem(row);
    }
  } catch (const std::exception&) {
    // The rows stop where the failure occurred.
  }
  // Whole rows, up to eight before the list scrolls.
  const int count = lvHops->topLevelItemCount();
  const int rowHeight = std::max(count ? lvHops->visualItemRect(lvHops->topLevelItem(0)).height() : 0,
                                 lvHops->fontMetrics().height() + 4);
  lvHops->setFixedHeight(lvHops->header()->sizeHint().height() + std::min(count, 8) * rowHeight +
                         2 * lvHops->frameWidth() + 2);
  RouteButton->setText(AnsiToQString(FormatText(GetLocalizedText("lc_HopCount"), {count})));
  RouteButton->setEnabled(count > 0);
  lvHops->setVisible(RouteButton->isChecked() && count > 0);
}

bool Tmdi_pl_Msg::PlainVisible() const {
  return pc->currentWidget() == tsBody && View->PlainShown();
}
bool Tmdi_pl_Msg::HtmlVisible() const {
  return pc->currentWidget() == tsBody && View->HtmlShown();
}
bool Tmdi_pl_Msg::SourceVisible() const { return pc->currentWidget() == tsSource; }

QPlainTextEdit* Tmdi_pl_Msg::ActiveEditor() const {
  return pc->currentWidget() == tsSource ? static_cast<QPlainTextEdit*>(SynMemo) : Memo;
}

void Tmdi_pl_Msg::pcBodyChange() {
  const size_t lines = View->PlainShown() ? View->Bodies().PlainLines : View->Bodies().HtmlLines;
  lInfo->setText(AnsiToQString(FormatText(GetLocalizedText("lc_LineCount"), {static_cast<long long>(lines)})));
}

void Tmdi_pl_Msg::PopupMenu1Popup() {
  pmImg->setVisible(HtmlVisible());
  CopyLink->setVisible(HtmlVisible());
  CopyLink->setEnabled(HtmlVisible() && !FHoveredLink.isEmpty());
  FMenuLink = FHoveredLink; // the link under the mouse as the menu opens
}

void Tmdi_pl_Msg::ListDblClick() { View->OpenAttachment(); }

void Tmdi_pl_Msg::cmSave() { View->SaveAttachment(); }

void Tmdi_pl_Msg::cmSaveall() { View->SaveAllAttachments(); }

TMessageEntry Tmdi_pl_Msg::NamingEntry() const {
  TMessageEntry entry;
  entry.Header.Date = FMessage.MessageDate();
  entry.Header.Subject = FMessage.SubjectText();
  return entry;
}

void Tmdi_pl_Msg::cmSaveMessageAs() {
  QString chosen = PickSaveFile(this, SaveAs1->text(),
                                QString::fromUtf8(QByteArray::fromStdString(MessageFileName(NamingEntry()))));
  if (chosen.isEmpty()) return;
  WriteWholeFile(QFile::encodeName(chosen).toStdString(), FRawText);
}

void Tmdi_pl_Msg::CmCopy() {
  if (PlainVisible()) Memo->copy();
  else if (HtmlVisible()) HTML->Copy();
  else if (SourceVisible()) SynMemo->copy();
}

void Tmdi_pl_Msg::cmSelectAll() {
  if (PlainVisible()) Memo->selectAll();
  else if (HtmlVisible()) HTML->SelectAll();
  else if (SourceVisible()) SynMemo->selectAll();
}

void Tmdi_pl_Msg::pmFindClick() {
  if (HtmlVisible()) {
    fd->SetFindText(HTML->selectedText());
  } else {
    QTextCursor cursor = ActiveEditor()->textCursor();
    if (!cursor.hasSelection()) cursor.select(QTextCursor::WordUnderCursor);
    fd->SetFindText(cursor.selectedText());
  }
  fd->show();
  fd->raise();
  fd->activateWindow();
}

void Tmdi_pl_Msg::ShowWrapped(bool down) {
  lInfo->setText(AnsiToQString(GetLocalizedText(down ? "lc_FindWrappedTop" : "lc_FindWrappedEnd")));
}

bool Tmdi_pl_Msg::fdFind() {
  const QString text = fd->FindText();
  if (text.isEmpty()) {
    InfoBox(GetLocalizedText("lc_TextNotFound"));
    return false;
  }
  if (HtmlVisible()) {
    if (text != FHtmlFindText) FHtmlMatch = 0; // a new search starts counting anew
    FHtmlFindText = text;
    // The view finds on its own time; the answer comes back to the window.
    QWebEnginePage::FindFlags flags;
    if (!fd->Down()) flags |= QWebEnginePage::FindBackward;
    if (fd->MatchCase()) flags |= QWebEnginePage::FindCaseSensitively;
    const bool down = fd->Down();
    QPointer<Tmdi_pl_Msg> self(this);
    HTML->findText(text, flags, [self, down](const QWebEngineFindTextResult& result) {
      if (!self) return;
      RunGuarded([&] { self->HtmlFound(result.numberOfMatches(), result.activeMatch(), down); });
    });
    return true;
  }
  QPlainTextEdit* editor = ActiveEditor();
  QTextDocument::FindFlags flags;
  if (!fd->Down()) flags |= QTextDocument::FindBackward;
  if (fd->MatchCase()) flags |= QTextDocument::FindCaseSensitively;
  if (fd->WholeWord()) flags |= QTextDocument::FindWholeWords;
  QTextCursor found = editor->document()->find(text, editor->textCursor(), flags);
  if (found.isNull()) {
    // Past the end (or the top), the search goes on from the other end, and says so.
    QTextCursor from(editor->document());
    if (!fd->Down()) from.movePosition(QTextCursor::End);
    found = editor->document()->find(text, from, flags);
    if (found.isNull()) {
      InfoBox(GetLocalizedText("lc_TextNotFound"));
      return false;
    }
    ShowWrapped(fd->Down());
  }
  editor->setTextCursor(found);
  return true;
}

void Tmdi_pl_Msg::HtmlFound(int matches, int active, bool down) {
  if (matches == 0) {
    FHtmlMatch = 0;
    InfoBox(GetLocalizedText("lc_TextNotFound"));
    return;
  }
  // The view goes round by itself: a step against the direction tells it did.
  if (FHtmlMatch > 0 && (down ? active <= FHtmlMatch : active >= FHtmlMatch)) ShowWrapped(down);
  FHtmlMatch = active;
}

void Tmdi_pl_Msg::pmFindnextClick() {
  fd->SetDown(true);
  fdFind();
}

void Tmdi_pl_Msg::pmImgClick() { View->SetImagesAllowed(pmImg->isChecked()); }

std::string Tmdi_pl_Msg::PrintJobTitle() const {
  return FMessage.SubjectText() + " - " + QApplication::applicationName().toStdString();
}

std::string Tmdi_pl_Msg::ShownPdf(const QPageLayout& layout) {
  TBusyCursor busy;
  if (!FRenderer) FRenderer = new TMessagePdfRenderer(this);
  TPdfOptions options;
  options.Layout = MessagePageLayout(layout.pageSize(), layout.orientation());
  options.Body = SourceVisible() ? pbSource : HtmlVisible() ? pbHtml : pbPlain;
  options.RemoteImages = pmImg->isChecked(); // remote content as the view has it
  options.FooterLeft = eSource->text();
  options.FooterRight = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
  return FRenderer->Render(FMessage, options);
}

void Tmdi_pl_Msg::mmPrintClick() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(AnsiToQString(PrintJobTitle()));
  if (!FPrintFile.isEmpty()) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(FPrintFile);
  } else {
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (dialog.exec() != QDialog::Accepted) return;
  }
  PrintPdf(printer, ShownPdf(printer.pageLayout()), AnsiToUtf8(PrintJobTitle()));
  emit PrintFinished();
}

void Tmdi_pl_Msg::mmPrintPreviewClick() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(AnsiToQString(PrintJobTitle()));
  QPrintPreviewDialog preview(&printer, this);
  // Drawn anew whenever the paper or its orientation changes in the preview.
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, Guarded([this](QPrinter* target) {
            PaintPdfPages(*target, ShownPdf(target->pageLayout()));
          }));
  preview.exec();
}

void Tmdi_pl_Msg::cmSaveAsPdf() {
  QString chosen = PickSaveFile(this, SavePdf1->text(),
                                QString::fromUtf8(QByteArray::fromStdString(MessageFileName(NamingEntry(), ".pdf"))));
  if (chosen.isEmpty()) return;
  WriteWholeFile(QFile::encodeName(chosen).toStdString(), ShownPdf(DefaultPageLayout()));
}

void OpenMessageFile(TFrame& frame, const std::string& path) {
  TFileStamp stamp;
  if (!FileExists(path) || !GetFileStamp(path, stamp)) {
    ErrorBox(FormatText(GetLocalizedText("lc_FileNotExists"), {Utf8ToAnsi(path)}));
    return;
  }
  auto* window = frame.CreateChild<Tmdi_pl_Msg>(
      QFile::decodeName(QByteArray::fromStdString(ExtractFileName(path))), 6,
      QFile::decodeName(QByteArray::fromStdString(path)));
  window->LoadMessageFile(path, stamp.size);
}

void RegisterMessageWindow() { RegisterOpener(okMessageFile, OpenMessageFile); }

} // namespace pellora
