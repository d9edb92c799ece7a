#include "message_window/message_view.h"

#include "i18n/format_text.h"
#include "i18n/localized_text.h"
#include "message_window/html_view.h"
#include "mime/mail_message.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/qt_locale.h"
#include "platform/qt_platform.h"
#include "platform/safe_files.h"
#include "render/message_print.h"
#include "search/word_marks.h"
#include "window_kit/error_report.h"
#include "window_kit/message_boxes.h"

#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMimeDatabase>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBlock>
#include <QVBoxLayout>

namespace pellora {
namespace {

QString JoinLines(const std::vector<std::string>& lines) {
  size_t total = 0;
  for (const auto& line : lines) total += line.size() + 1;
  std::string joined;
  joined.reserve(total);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) joined += '\n';
    joined += lines[i];
  }
  return AnsiToQString(joined);
}

// The icon of a file type, chosen by the file's name; a drawn page where the theme has none.
QIcon IconForFileName(const QString& name) {
  static QMimeDatabase mimeDatabase;
  QMimeType type = mimeDatabase.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
  QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
  if (!icon.isNull()) return icon;
  QPixmap pm(32, 32);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor(90, 90, 90));
  p.setBrush(QColor(250, 250, 250));
  p.drawRect(QRectF(5.5, 1.5, 21, 29));
  QString ext = QFileInfo(name).suffix().left(4).toUpper();
  QFont f = p.font();
  f.setPixelSize(8);
  f.setBold(true);
  p.setFont(f);
  p.setPen(QColor(40, 80, 150));
  p.drawText(QRectF(5, 12, 22, 12), Qt::AlignCenter, ext);
  return QIcon(pm);
}

const QColor markColor(255, 236, 120);

} // namespace

TViewBodies PrepareBodies(TMailMessage& message) {
  TViewBodies bodies;
  message.FindBodies();
  bodies.Plain = JoinLines(message.PlainViewLines());
  bodies.Html = QByteArray::fromStdString(AnsiToUtf8(message.HtmlViewDocument()));
  bodies.HtmlOnly = message.PlainFromHtml();
  bodies.PlainLines = message.PlainViewLines().size();
  // The HTML page renders the plain text of a message without an HTML body.
  bodies.HtmlLines = (message.HtmlLines().empty() ? message.TextLines() : message.HtmlLines()).size();
  const TMailPartList& attachments = message.Attachments();
  for (int i = 0; i < attachments.Count(); ++i) {
    TMailPart* part = attachments[i];
    part->DecodeBody();
    TViewBodies::TAttachment attachment;
    try {
      attachment.Name = AnsiToQString(part->AttachmentFileName());
    } catch (const std::exception&) {
      attachment.Name = "?";
    }
    attachment.MimeType = QString::fromStdString(part->MimeType());
    attachment.Size = part->DecodedBody().size();
    bodies.Attachments.push_back(std::move(attachment));
  }
  return bodies;
}

TMessageView::TMessageView(const QString& prefix, QWidget* parent) : QWidget(parent) {
  auto named = [&prefix](QObject* object, const char* name) {
    object->setObjectName(prefix + name);
    return object;
  };
  pcBody = new QTabWidget;
  named(pcBody, "pcBody");
  pcBody->setTabPosition(QTabWidget::South);
  pcBody->setDocumentMode(true);
  Memo = new QPlainTextEdit;
  named(Memo, "Memo");
  Memo->setReadOnly(true);
  Memo->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  mono.setPointSize(10);
  Memo->setFont(mono);
  Memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  HTML = new THtmlView;
  named(HTML, "HTML");
  HTML->SetCidResolver([this](const QString& id) -> std::optional<TInlineResource> {
    TMailPart* part = FMessage ? FMessage->ContentIdPart(QStringToAnsi(id)) : nullptr;
    if (!part) return std::nullopt;
    part->DecodeBody();
    return TInlineResource{QByteArray::fromStdString(part->MimeType()),
                           QByteArray::fromStdString(part->DecodedBody())};
  });
  connect(HTML, &THtmlView::LinkActivated, this, Guarded([](const QUrl& url) { OpenLink(url); }));
  connect(HTML, &THtmlView::RemoteContentBlocked, this, [this] { RemoteBar->show(); });
  RemoteBar = new QFrame;
  named(RemoteBar, "RemoteBar");
  RemoteBar->setStyleSheet(QString("#%1RemoteBar { background: rgb(255, 244, 206); "
                                   "border-bottom: 1px solid rgb(218, 196, 126); }")
                               .arg(prefix));
  auto* remoteText = new QLabel("Remote content was blocked.");
  named(remoteText, "lRemote");
  auto* load = new QPushButton("Load");
  named(load, "bLoadRemote");
  connect(load, &QPushButton::clicked, this, Guarded([this] {
            SetImagesAllowed(true);
            emit ImagesAllowedChanged(true);
          }));
  auto* barLayout = new QHBoxLayout(RemoteBar);
  barLayout->setContentsMargins(6, 2, 6, 2);
  barLayout->addWidget(remoteText, 1);
  barLayout->addWidget(load);
  RemoteBar->hide();
  tsHTML = new QWidget;
  named(tsHTML, "tsHTML");
  auto* htmlLayout = new QVBoxLayout(tsHTML);
  htmlLayout->setContentsMargins(0, 0, 0, 0);
  htmlLayout->setSpacing(0);
  htmlLayout->addWidget(RemoteBar);
  htmlLayout->addWidget(HTML, 1);
  Memo->setProperty("componentName", prefix + "tsPlain");
  tsHTML->setProperty("componentName", prefix + "tsHTML");
  pcBody->addTab(Memo, " Plain ");
  pcBody->addTab(tsHTML, " HTML ");
  // A page the view chose for its message is no choice of the reader's.
  connect(pcBody, &QTabWidget::currentChanged, this, [this](int index) {
    if (!FChoosing) FReaderPage = index;
  });

  List = new QListWidget;
  named(List, "List");
  List->setViewMode(QListView::IconMode);
  List->setIconSize(QSize(32, 32));
  List->setMovement(QListView::Static);
  List->setResizeMode(QListView::Adjust);
  List->setWordWrap(true);
  List->setMouseTracking(true);
  List->setCursor(Qt::PointingHandCursor);
  List->setSelectionMode(QAbstractItemView::SingleSelection);
  List->setEditTriggers(QAbstractItemView::NoEditTriggers);
  List->setMinimumHeight(60);
  BodySplitter = new QSplitter(Qt::Vertical);
  named(BodySplitter, "Splitter");
  BodySplitter->addWidget(pcBody);
  BodySplitter->addWidget(List);
  BodySplitter->setStretchFactor(0, 1);
  BodySplitter->setStretchFactor(1, 0);
  BodySplitter->setSizes({400, FListHeight});
  List->hide();
  connect(BodySplitter, &QSplitter::splitterMoved, this, [this] { FListHeight = ListHeight(); });
  connect(List, &QListWidget::itemDoubleClicked, this, Guarded([this] { OpenAttachment(); }));
  connect(List, &QListWidget::itemEntered, this, [this](QListWidgetItem* item) {
    emit AttachmentEntered(QString("%1: %2").arg(item->data(Qt::UserRole).toString(),
                                                 item->data(Qt::UserRole + 1).toString()));
  });

  // The save dialog is made when needed; its title is kept here, where a language can reach it.
  sd = new QObject(this);
  named(sd, "sd");
  sd->setProperty("Title", QString("Save attachment..."));
  PopupMenu2 = new QMenu(this);
  named(PopupMenu2, "PopupMenu2");
  named(PopupMenu2->addAction("Open...", this, Guarded([this] { OpenAttachment(); })), "Open1");
  PopupMenu2->addSeparator();
  named(PopupMenu2->addAction("Save...", this, Guarded([this] { SaveAttachment(); })), "Save1");
  PopupMenu2->addSeparator();
  named(PopupMenu2->addAction("Save all...", this, Guarded([this] { SaveAllAttachments(); })),
        "Saveall1");
  List->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(List, &QWidget::customContextMenuRequested, this,
          Guarded([this](const QPoint& pos) { PopupMenu2->exec(List->mapToGlobal(pos)); }));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(BodySplitter);
}

void TMessageView::ShowMessage(TMailMessage* message, TViewBodies bodies) {
  FMessage = message;
  FBodies = message ? std::move(bodies) : TViewBodies();
  List->setVisible(!FBodies.Attachments.empty());
  SetListHeight(FListHeight);
  FillAttachments();
  Memo->setPlainText(FBodies.Plain);
  MarkPlain();
  RenderHtml();
  FChoosing = true;
  pcBody->setCurrentIndex(FBodies.HtmlOnly ? pcBody->indexOf(tsHTML) : FReaderPage);
  FChoosing = false;
}

void TMessageView::FillAttachments() {
  List->clear();
  for (size_t i = 0; i < FBodies.Attachments.size(); ++i) {
    const TViewBodies::TAttachment& attachment = FBodies.Attachments[i];
    auto* item = new QListWidgetItem(IconForFileName(attachment.Name), attachment.Name);
    item->setData(Qt::UserRole, attachment.MimeType);
    item->setData(Qt::UserRole + 1, ByteSizeText(attachment.Size));
    item->setData(Qt::UserRole + 2, static_cast<int>(i));
    List->addItem(item);
  }
}

void TMessageView::RenderHtml() {
  RemoteBar->hide(); // until the new rendering meets remote content
  HTML->SetImagesAllowed(FImagesAllowed);
  if (FWords.empty()) {
    HTML->SetDocument(FBodies.Html);
    return;
  }
  HTML->SetDocument(QByteArray::fromStdString(
      MarkWordsInHtml(std::string_view(FBodies.Html.constData(), FBodies.Html.size()), FWords,
                      "<mark style=\"background: #ffec78; color: inherit\">", "</mark>")));
}

void TMessageView::SetImagesAllowed(bool allowed, bool render) {
  if (allowed == FImagesAllowed) return;
  FImagesAllowed = allowed;
  if (render) RenderHtml();
}

void TMessageView::SetHighlightWords(const std::vector<std::string>& words) {
  std::vector<std::string> utf8;
  for (const std::string& word : words)
    if (!word.empty()) utf8.push_back(AnsiToUtf8(word));
  if (utf8 == FWords) return;
  FWords = std::move(utf8);
  MarkPlain();
  RenderHtml();
}

void TMessageView::MarkPlain() {
  QList<QTextEdit::ExtraSelection> marks;
  if (!FWords.empty()) {
    std::vector<std::u16string> words;
    for (const std::string& word : FWords) words.push_back(QString::fromStdString(word).toStdU16String());
    const QString text = Memo->document()->toPlainText();
    const std::u16string_view view(reinterpret_cast<const char16_t*>(text.utf16()), text.size());
    QTextCharFormat format;
    format.setBackground(markColor);
    for (auto [at, length] : FindWordRanges(view, words)) {
      QTextEdit::ExtraSelection mark;
      mark.cursor = QTextCursor(Memo->document());
      mark.cursor.setPosition(static_cast<int>(at));
      mark.cursor.setPosition(static_cast<int>(at + length), QTextCursor::KeepAnchor);
      mark.format = format;
      marks.push_back(mark);
    }
  }
  Memo->setExtraSelections(marks);
}

int TMessageView::ReaderPage() const { return FReaderPage; }

void TMessageView::SetReaderPage(int index) {
  if (index < 0 || index >= pcBody->count()) return;
  FReaderPage = index;
  if (!FBodies.HtmlOnly) {
    FChoosing = true;
    pcBody->setCurrentIndex(index);
    FChoosing = false;
  }
}

bool TMessageView::PlainShown() const { return pcBody->currentWidget() == Memo; }
bool TMessageView::HtmlShown() const { return pcBody->currentWidget() == tsHTML; }

int TMessageView::ListHeight() const { return List->isHidden() ? FListHeight : List->height(); }

void TMessageView::SetListHeight(int height) {
  FListHeight = height;
  if (List->isHidden()) return;
  const int total = BodySplitter->sizes().value(0) + BodySplitter->sizes().value(1);
  BodySplitter->setSizes({std::max(total - height, 1), height});
}

TMailPart* TMessageView::SelectedAttachment() const {
  QListWidgetItem* item = List->currentItem();
  if (!FMessage || !item || !item->isSelected()) return nullptr;
  int index = item->data(Qt::UserRole + 2).toInt();
  if (index < 0 || index >= FMessage->Attachments().Count()) return nullptr;
  return FMessage->Attachments()[index];
}

void TMessageView::OpenAttachment() {
  TMailPart* part = SelectedAttachment();
  if (!part) return;
  if (!ConfirmBox(GetLocalizedText("lc_OpenAtt"))) return;
  part->DecodeBody();
  // A private folder: in a shared one another user could plant a link under the same name.
  std::string path = PrivateTempFolder() + SafeFileName(AnsiToUtf8(part->AttachmentFileName()));
  WriteFileNoFollow(path, part->DecodedBody());
  if (!OpenWithSystemProgram(QFile::decodeName(QByteArray::fromStdString(path))))
    ErrorBox(FormatText(GetLocalizedText("lc_NoProgram"),
                        {part->AttachmentFileName(), part->MimeType()}));
}

void TMessageView::SaveAttachment() {
  TMailPart* part = SelectedAttachment();
  if (!part) return;
  QString preset;
  try {
    preset = QFile::decodeName(QByteArray::fromStdString(SafeFileName(AnsiToUtf8(part->AttachmentFileName()))));
  } catch (const std::exception&) {
  }
  QString chosen = PickSaveFile(this, sd->property("Title").toString(), preset);
  if (chosen.isEmpty()) return;
  part->DecodeBody();
  WriteWholeFile(QFile::encodeName(chosen).toStdString(), part->DecodedBody());
}

void TMessageView::SaveAllAttachments() {
  if (!FMessage) return;
  QString folder = PickFolder(this, AnsiToQString(GetLocalizedText("lc_SelectFolder")));
  if (folder.isEmpty()) return;
  std::string base = IncludeTrailingPathDelimiter(QFile::encodeName(folder).toStdString());
  for (TMailPart* part : FMessage->Attachments()) {
    std::string name = SafeFileName(AnsiToUtf8(part->AttachmentFileName()));
    std::string target = base + name;
    if (EntryExists(target) &&
        !ConfirmBox(FormatText(GetLocalizedText("lc_Overwrite"), {Utf8ToAnsi(name)})))
      continue;
    part->DecodeBody();
    WriteWholeFile(target, part->DecodedBody());
  }
}

} // namespace pellora
