#include "mailbox_window/mailbox_window.h"
#include "mailbox_window/match_highlight.h"
#include "message_window/html_view.h"
#include "message_window/message_window.h"
#include "platform/collation.h"
#include "platform/files.h"
#include "platform/qt_platform.h"
#include "stores/kinds/store_kinds.h"
#include "support/compress_builders.h"
#include "support/poppler.h"
#include "support/qt_frame.h"
#include "support/settings_folder.h"
#include "support/store_builders.h"
#include "support/temp_dir.h"
#include "window_kit/error_report.h"
#include "window_kit/window_images.h"

#include <QComboBox>
#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

using namespace pellora;
using pellora::test::Child;
using pellora::test::TTempDir;
using pellora::test::TTestFrame;

namespace {

std::string Message(const std::string& from, const std::string& subject, const std::string& date,
                    const std::string& body = "text") {
  return "From: " + from + "\r\nTo: team@example.org\r\nSubject: " + subject + "\r\nDate: " + date +
         "\r\nMessage-ID: <" + subject.substr(0, 3) + "@id.example>\r\n\r\n" + body + "\r\n";
}

// A folder of five messages: file names sort as written, dates and subjects chosen for sorting.
std::string FolderStore(const TTempDir& dir) {
  std::string folder = dir.MakeDir("Store");
  dir.Write("Store/m1.eml", Message("a@example.org", "Beta", "Mon, 02 Jan 2023 10:00:00 +0000"));
  dir.Write("Store/m2.eml", Message("b@example.org", "Alpha", "Tue, 03 Jan 2023 10:00:00 +0000"));
  dir.Write("Store/m3.eml", Message("c@example.org", "Beta", "Wed, 04 Jan 2023 10:00:00 +0000"));
  dir.Write("Store/m4.eml", Message("d@example.org", "Gamma", "Thu, 05 Jan 2023 10:00:00 +0000",
                                    "the invoice is in the body"));
  dir.Write("Store/m5.eml", Message("e@example.org", "Your INVOICE 42", "Fri, 06 Jan 2023 10:00:00 +0000"));
  return folder;
}

// A folder of n messages, one an hour; the subjects alternate "Even nn" and "Odd nn".
std::string LongFolder(const TTempDir& dir, int n) {
  std::string folder = dir.MakeDir("Long");
  for (int i = 1; i <= n; ++i) {
    char name[32], subject[32], date[64];
    std::snprintf(name, sizeof name, "Long/m%03d.eml", i);
    std::snprintf(subject, sizeof subject, "%s %02d", i % 2 ? "Odd" : "Even", i);
    std::snprintf(date, sizeof date, "Mon, 02 Jan 2023 %02d:%02d:00 +0000", i / 60, i % 60);
    dir.Write(name, Message("a@example.org", subject, date));
  }
  return folder;
}

// Holds keys equal that differ only in hyphens, as a collator that ignores punctuation.
int HyphenBlindCompare(std::string_view a, std::string_view b, bool) {
  std::string x, y;
  for (char c : a)
    if (c != '-') x += c;
  for (char c : b)
    if (c != '-') y += c;
  return x < y ? -1 : x > y ? 1 : 0;
}

QTreeView* Tree(Tmdi_pl_Viewer* w) { return Child<QTreeView>(w, "Tree"); }
QAbstractItemModel* Rows(Tmdi_pl_Viewer* w) { return Tree(w)->model(); }
QComboBox* Box(Tmdi_pl_Viewer* w, const char* name) { return Child<QComboBox>(w, name); }
QString Text(QObject* w, const char* name) {
  if (auto* label = w->findChild<QLabel*>(name)) return label->text();
  if (auto* memo = w->findChild<QPlainTextEdit*>(name)) return memo->toPlainText();
  return Child<QLineEdit>(w, name)->text();
}

QStringList Column(Tmdi_pl_Viewer* w, int column) {
  QStringList texts;
  for (int row = 0; row < Rows(w)->rowCount(); ++row)
    texts << Rows(w)->index(row, column).data().toString();
  return texts;
}

void Check(Tmdi_pl_Viewer* w, int row) {
  Rows(w)->setData(Rows(w)->index(row, lcIndex), Qt::Checked, Qt::CheckStateRole);
}

// The files of a folder by name, with their bytes.
std::map<std::string, std::string> Files(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    files[e.path().filename().string()] = ReadWholeFile(e.path().string());
  return files;
}

// Answers the folder picker with one folder while it lives.
struct TPickFolder {
  explicit TPickFolder(const std::string& folder) {
    SetPickFolderHook([folder](const QString&, const QString&) { return QString::fromStdString(folder); });
  }
  ~TPickFolder() { SetPickFolderHook(nullptr); }
};

// Answers the save dialog with a target and its file type while it lives; keeps what it offered.
struct TPickTarget {
  TPickTarget(const std::string& path, int type) {
    SetPickSaveTargetHook([this, path, type](const QString&, const QStringList& t, const QStringList& p) {
      types = t;
      presets = p;
      return TSaveTarget{QString::fromStdString(path), type};
    });
  }
  ~TPickTarget() { SetPickSaveTargetHook(nullptr); }
  QStringList types, presets;
};

} // namespace

class MailboxWindowTest : public QObject {
  Q_OBJECT
  std::unique_ptr<TTestFrame> frame;

  Tmdi_pl_Viewer* Open(const std::string& path, TOpenKind kind) {
    return frame->Open<Tmdi_pl_Viewer>(path, kind);
  }
  Tmdi_pl_Msg* LastMessage() { return frame->Last<Tmdi_pl_Msg>(); }

private slots:
  void SaveCheckedMessages() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    auto* save = Child<QAction>(w, "acSaveMessages");
    QVERIFY(Child<QMenu>(w, "Messages")->actions().contains(save));
    QVERIFY(Child<QMenu>(w, "PopupMenu1")->actions().contains(save));
    QVERIFY(Child<QMenu>(w, "PopupMenu1")->actions().contains(Child<QAction>(w, "acSaveAttachments")));
    QCOMPARE(save->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));

    // Two checked rows as .eml files into a folder named in the save dialog; the information
    // area keeps the addresses collected before.
    std::string out = dir / "out";
    w->cmGatherEmail();
    const QString addresses = Text(w, "Memo"), title = Text(w, "DetailPanel");
    Check(w, 0); // m5, "Your INVOICE 42"
    Check(w, 2); // m3, "Beta"
    {
      TPickTarget pick(out, 0);
      save->trigger();
      QCOMPARE(pick.types, QStringList({"Messages (.eml files)", "Mailbox file (.mbox)",
                                        "PDF files (.pdf, one per message)", "One PDF file (.pdf)"}));
      QCOMPARE(pick.presets, QStringList({"Store", "Store.mbox", "Store", "Store.pdf"}));
    }
    QCOMPARE(frame->Boxes, QStringList{QString::fromStdString("2 messages saved to " + out + ".")});
    auto files = Files(out);
    QCOMPARE(files.size(), size_t{2});
    QCOMPARE(files["2023-01-04 1100 - Beta.eml"], ReadWholeFile(dir / "Store/m3.eml"));
    QVERIFY(files.count("2023-01-06 1100 - Your INVOICE 42.eml"));
    QCOMPARE(Text(w, "Memo"), addresses);
    QCOMPARE(Text(w, "DetailPanel"), title);

    // Again into the same folder: each existing file is asked about; No keeps it, and the
    // message skipped is named in the information area.
    frame->ClearBoxes();
    frame->Answers = {false, true};
    {
      TPickTarget pick(out, 0);
      save->trigger();
    }
    QCOMPARE(frame->Boxes.size(), 3);
    QVERIFY(frame->Boxes[0].startsWith("Overwrite existing file "));
    QCOMPARE(frame->Boxes[2], QString::fromStdString("1 message saved to " + out + "."));
    QVERIFY(Text(w, "Memo").contains(": File already exists"));
    QCOMPARE(Text(w, "DetailPanel"), QString("  Information"));

    // One mailbox file, named in the dialog.
    frame->ClearBoxes();
    {
      TPickTarget pick(out + "/Two.mbox", 1);
      save->trigger();
    }
    TMailbox back;
    QVERIFY(back.Load(out + "/Two.mbox", okMailboxFile).Loaded);
    QCOMPARE(back.Entries().size(), size_t{2});
    QCOMPARE(frame->Boxes.last(), QString::fromStdString("2 messages saved to " + out + "/Two.mbox."));
  }

  // The save dialog's PDF types: a folder of PDF files named as the .eml files, or one PDF file
  // of the checked rows in list order with a bookmark each; then the rows on view as CSV.
  void SaveAsPdfAndListAsCsv() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    Check(w, 0); // m5, "Your INVOICE 42"
    Check(w, 2); // m3, "Beta"
    const std::string out = dir / "pdf";
    {
      TPickTarget pick(out, 2);
      Child<QAction>(w, "acSaveMessages")->trigger();
    }
    QCOMPARE(frame->Boxes.last(), QString::fromStdString("2 messages saved to " + out + "."));
    auto files = Files(out);
    QCOMPARE(files.size(), size_t{2});
    QVERIFY(files.count("2023-01-04 1100 - Beta.pdf"));
    QCOMPARE(test::PopplerPages(out + "/2023-01-06 1100 - Your INVOICE 42.pdf"), 1);

    const std::string one = dir / "one.pdf";
    {
      TPickTarget pick(one, 3);
      Child<QAction>(w, "acSaveMessages")->trigger();
    }
    QCOMPARE(frame->Boxes.last(), QString::fromStdString("2 messages saved to " + one + "."));
    QCOMPARE(test::PopplerPages(one), 2);
    QCOMPARE(test::PopplerOutline(one),
             (std::vector<std::string>{"1 2023-01-06 11:00, e@example.org, Your INVOICE 42",
                                       "2 2023-01-04 11:00, c@example.org, Beta"}));

    auto* saveList = Child<QAction>(w, "acSaveList");
    QVERIFY(Child<QMenu>(w, "Messages")->actions().contains(saveList));
    Box(w, "cbFilter")->setCurrentIndex(ffFromSubjectTo);
    Box(w, "cbValue")->setCurrentText("beta");
    w->acFilterExecute();
    const std::string csv = dir / "list.csv";
    {
      TPickTarget pick(csv, 0);
      saveList->trigger();
      QCOMPARE(pick.types, QStringList({"CSV file (.csv)"}));
      QCOMPARE(pick.presets, QStringList({"Store.csv"}));
    }
    const std::string text = ReadWholeFile(csv);
    QVERIFY2(text.starts_with("Number,From,Subject,To,Date,Size,Flags,Attachment\r\n3,c@example.org,Beta,"),
             text.c_str());
    QVERIFY2(text.find("\r\n1,a@example.org,Beta,") != std::string::npos, text.c_str());
    QCOMPARE(std::count(text.begin(), text.end(), '\n'), 3);
  }

  // A store of folders: choosing a folder shows its rows, and the counts, the filter and the
  // list saved as CSV are the folder's.
  void FolderTreeChoosesTheRows() {
    const std::string data = test::SharedDataDir();
    if (data.empty()) QSKIP("../shared/data is absent");
    Tmdi_pl_Viewer* w = Open(data + "/pst/test_sample.pst", okOEDatabase);
    QVERIFY(w);
    auto* folders = Child<QTreeWidget>(w, "FolderTree");
    QVERIFY(folders->isVisibleTo(w));
    QCOMPARE(w->StatusText(0), QString("Total: 13"));
    const auto inbox = folders->findItems("Caixa de Entrada", Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(inbox.size(), 1);
    folders->setCurrentItem(inbox[0]);
    QCOMPARE(Rows(w)->rowCount(), 3);
    QCOMPARE(w->StatusText(0), QString("Total: 3"));
    Box(w, "cbFilter")->setCurrentIndex(ffFromSubjectTo);
    Box(w, "cbValue")->setCurrentText("test message");
    w->acFilterExecute();
    QCOMPARE(w->StatusText(0), QString("Total: 3   Visible: %1").arg(Rows(w)->rowCount()));
    TTempDir dir;
    const std::string csv = dir / "list.csv";
    {
      TPickTarget pick(csv, 0);
      Child<QAction>(w, "acSaveList")->trigger();
    }
    const std::string text = ReadWholeFile(csv);
    QCOMPARE(std::count(text.begin(), text.end(), '\n'), 1 + Rows(w)->rowCount());
  }

  void SaveFocusedRowAndAttachments() {
    TTempDir dir;
    std::string folder = dir.MakeDir("Mail");
    dir.Write("Mail/a.eml",
              "Subject: with file\r\nDate: Mon, 02 Jan 2023 10:00:00 +0000\r\nMIME-Version: 1.0\r\n"
              "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\nContent-Type: "
              "text/plain\r\n\r\nsee file\r\n--b\r\nContent-Type: application/octet-stream\r\n"
              "Content-Disposition: attachment; filename=\"report.txt\"\r\n\r\nnumbers\r\n--b--\r\n");
    dir.Write("Mail/b.eml", "Subject: plain\r\nDate: Tue, 03 Jan 2023 10:00:00 +0000\r\n\r\nx\r\n");
    Tmdi_pl_Viewer* w = Open(folder, okMessageFolder);
    QVERIFY(w);
    std::string out = dir.MakeDir("out");
    TPickFolder pick(out);
    // Nothing checked: the focused row.
    Tree(w)->setCurrentIndex(Rows(w)->index(1, 0)); // a.eml, the older
    Child<QAction>(w, "acSaveAttachments")->trigger();
    QCOMPARE(frame->Boxes.last(),
             QString::fromStdString("1 attachment from 1 message saved to " + out + "."));
    QCOMPARE(Files(out), (std::map<std::string, std::string>{{"report.txt", "numbers"}}));

    // A message gone since the load is skipped and named in the information lines.
    std::filesystem::remove(dir / "Mail/a.eml");
    frame->ClearBoxes();
    TPickTarget target(out, 0);
    Child<QAction>(w, "acSaveMessages")->trigger();
    QCOMPARE(frame->Boxes.last(), QString::fromStdString("0 messages saved to " + out + "."));
    QVERIFY(Text(w, "Memo").contains("1: Cannot open file"));
  }

  void SavingShowsProgressAndCancels() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(LongFolder(dir, 40), okMessageFolder);
    QVERIFY(w);
    w->CheckAll1Click();
    std::string out = dir.MakeDir("out");
    TPickTarget pick(out, 0);
    auto* cancel = Child<QToolButton>(w, "sbCancel");
    QVERIFY(!cancel->isVisibleTo(w));
    QString during;
    bool shown = false;
    // Runs inside the export, when it lets events through.
    QTimer::singleShot(0, [&] {
      during = w->StatusText(1);
      shown = cancel->isVisibleTo(w);
      cancel->click();
    });
    Child<QAction>(w, "acSaveMessages")->trigger();
    QCOMPARE(during, QString("Saving messages... 0%"));
    QVERIFY(shown);
    QVERIFY(!cancel->isVisibleTo(w));
    QVERIFY(Files(out).size() < 40);
    QVERIFY(frame->Boxes.last().startsWith(QString::fromStdString(std::to_string(Files(out).size()) + " message")));
    QVERIFY(frame->Boxes.last().endsWith(QString::fromStdString(" saved to " + out + ".")));
    QVERIFY(w->StatusText(1).startsWith("Elapsed time: "));
  }

  void MessageWindowSavesTheRawMessage() {
    TTempDir dir;
    std::string path = dir.Write("Inbox", "From - Mon Jan 02 10:00:00 2023\nX-Mozilla-Status: 0001\n"
                                          "Subject: kept\nDate: Mon, 02 Jan 2023 10:00:00 +0000\n\nbody\n\n");
    Tmdi_pl_Viewer* w = Open(path, okMailboxFile);
    QVERIFY(w);
    Tree(w)->setCurrentIndex(Rows(w)->index(0, 0));
    w->cmMessageView();
    Tmdi_pl_Msg* m = LastMessage();
    QVERIFY(m);
    QString preset;
    SetPickSaveFileHook([&](const QString&, const QString& name) {
      preset = name;
      return QString::fromStdString(dir / "saved.eml");
    });
    Child<QAction>(m, "SaveAs1")->trigger();
    SetPickSaveFileHook(nullptr);
    QCOMPARE(preset, QString("2023-01-02 1100 - kept.eml"));
    QCOMPARE(ReadWholeFile(dir / "saved.eml"),
             std::string("X-Mozilla-Status: 0001\nSubject: kept\nDate: Mon, 02 Jan 2023 10:00:00 +0000\n\nbody\n"));
  }

  void initTestCase() {
    RegisterMessageWindow();
    RegisterMailboxWindow();
    frame = std::make_unique<TTestFrame>();
  }
  void init() { frame->ClearBoxes(); }
  void cleanupTestCase() { frame.reset(); }

  void SortCycleIsStableBothWays() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QString("Store"));
    QCOMPARE(Column(w, lcIndex), QStringList({"5", "4", "3", "2", "1"})); // newest first
    w->TreeHeaderClick(lcReceived);
    QCOMPARE(Column(w, lcIndex), QStringList({"1", "2", "3", "4", "5"}));
    w->TreeHeaderClick(lcSubject);
    QCOMPARE(Column(w, lcSubject), QStringList({"Alpha", "Beta", "Beta", "Gamma", "Your INVOICE 42"}));
    QCOMPARE(Column(w, lcIndex).mid(1, 2), QStringList({"1", "3"})); // equal subjects keep their order
    w->TreeHeaderClick(lcSubject);
    QCOMPARE(Column(w, lcSubject), QStringList({"Your INVOICE 42", "Gamma", "Beta", "Beta", "Alpha"}));
    QCOMPARE(Column(w, lcIndex).mid(2, 2), QStringList({"1", "3"})); // and in the other direction
    QCOMPARE(Tree(w)->header()->sortIndicatorSection(), int(lcSubject));
  }

  void FilterStatusAndCheckMarks() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    QCOMPARE(w->StatusText(0), QString("Total: 5"));
    Box(w, "cbFilter")->setCurrentIndex(ffFromSubjectTo);
    Box(w, "cbValue")->setCurrentText("invoice");
    Child<QAction>(w, "acFilter")->trigger();
    QVERIFY(w->FilterOn());
    QCOMPARE(Column(w, lcSubject), QStringList({"Your INVOICE 42"}));
    QCOMPARE(w->StatusText(0), QString("Total: 5   Visible: 1"));
    QVERIFY(w->StatusText(1).startsWith("Elapsed time: "));

    w->CheckAll1Click(); // only the shown row
    QCOMPARE(w->StatusText(0), QString("Total: 5   Visible: 1   Selected: 1"));

    // Enter in the value box applies its text: the filter stays on, with the new text.
    Box(w, "cbValue")->setCurrentText("beta");
    QTest::keyClick(Box(w, "cbValue"), Qt::Key_Return);
    QVERIFY(w->FilterOn());
    QCOMPARE(Column(w, lcSubject), QStringList({"Beta", "Beta"}));
    // The button (and Ctrl+F) switches it off.
    Child<QAction>(w, "acFilter")->trigger();
    QVERIFY(!w->FilterOn());
    QCOMPARE(Rows(w)->rowCount(), 5);
    QCOMPARE(w->StatusText(0), QString("Total: 5   Selected: 1"));
    w->InvertSelection1Click();
    QCOMPARE(w->StatusText(0), QString("Total: 5   Selected: 4"));

    // The body search, and one history entry for two spellings.
    Box(w, "cbFilter")->setCurrentIndex(ffFromSubjectToBody);
    Box(w, "cbValue")->setCurrentText("INVOICE");
    w->acFilterExecute();
    QCOMPARE(Rows(w)->rowCount(), 2);
    w->acFilterExecute();
    Box(w, "cbValue")->setCurrentText("invoice");
    w->acFilterExecute();
    QCOMPARE(Box(w, "cbValue")->count(), 2); // "invoice" and "beta"

    // An empty value hides nothing: the filter is off, whether switched or entered.
    w->acFilterExecute(); // off
    Box(w, "cbValue")->setCurrentText("");
    w->acFilterExecute();
    QVERIFY(!w->FilterOn());
    QCOMPARE(Rows(w)->rowCount(), 5);
    QCOMPARE(w->StatusText(0), QString("Total: 5   Selected: 4"));
    w->ApplyValue();
    QVERIFY(!w->FilterOn());
  }

  // The header fields filter as the user types, after a pause; Body and Source wait for Enter.
  void HeaderFieldsFilterAsTheUserTypes() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    QComboBox* value = Box(w, "cbValue");
    Box(w, "cbFilter")->setCurrentIndex(ffSubject);
    value->setEditText("Be");
    QVERIFY(!w->FilterOn()); // not at once
    QTRY_VERIFY(w->FilterOn());
    QCOMPARE(Column(w, lcSubject), QStringList({"Beta", "Beta"}));
    QCOMPARE(value->count(), 0); // what is typed is no history yet
    value->setEditText("");
    QTRY_VERIFY(!w->FilterOn());
    QCOMPARE(Rows(w)->rowCount(), 5);

    Box(w, "cbFilter")->setCurrentIndex(ffBody);
    value->setEditText("invoice");
    QTest::qWait(600);
    QVERIFY(!w->FilterOn());
    w->ApplyValue();
    QCOMPARE(Column(w, lcSubject), QStringList({"Gamma"}));
  }

  // A query in the value box: column terms filter as the user types and mark what they matched;
  // a body term waits for Enter; an error hides no rows and says what and where.
  void QueriesInTheFilterBox() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    QComboBox* value = Box(w, "cbValue");
    auto* marks = qobject_cast<TMatchHighlight*>(Tree(w)->itemDelegate());
    QVERIFY(marks);
    value->setEditText("from:c@ OR invoice");
    QTRY_VERIFY(w->FilterOn());
    QCOMPARE(Column(w, lcSubject), QStringList({"Your INVOICE 42", "Beta"}));
    QCOMPARE(marks->Texts(lcSubject), QStringList({"invoice"}));
    QCOMPARE(marks->Texts(lcFrom), QStringList({"invoice", "c@"}));
    // The marks are drawn: the highlight's colour is on the list.
    Tree(w)->resize(700, 300);
    // Marked pixels in the Subject column.
    auto markedSubject = [&] {
      const QImage list = Tree(w)->viewport()->grab().toImage();
      const QHeaderView* header = Tree(w)->header();
      const int left = header->sectionViewportPosition(lcSubject);
      int marked = 0;
      for (int y = 0; y < list.height(); ++y)
        for (int x = left; x < left + header->sectionSize(lcSubject) && x < list.width(); ++x)
          marked += list.pixelColor(x, y) == QColor(255, 224, 64);
      return marked;
    };
    QVERIFY(markedSubject() > 50);
    // With threads on the Subject is indented under its fold mark and still marked.
    w->SetThreads(true);
    QVERIFY(markedSubject() > 50);
    w->SetThreads(false);

    value->setEditText("body:invoice");
    QTest::qWait(600);
    QCOMPARE(Rows(w)->rowCount(), 2); // not yet
    w->ApplyValue();
    QCOMPARE(Column(w, lcSubject), QStringList({"Gamma"}));
    QCOMPARE(w->StatusText(0), QString("Total: 5   Visible: 1"));
    QVERIFY(marks->Texts(lcSubject).isEmpty());

    value->setEditText("beta subject:(x)");
    QTRY_VERIFY(!w->FilterOn());
    QCOMPARE(Rows(w)->rowCount(), 5);
    const QString error("Query: subject: needs a value (character 5)");
    QCOMPARE(w->StatusText(1), error);
    QCOMPARE(value->lineEdit()->toolTip(), error);
    QVERIFY(!value->lineEdit()->styleSheet().isEmpty());
    QCOMPARE(w->StatusText(0), QString("Total: 5"));

    value->setCurrentText("before:2023-01-04");
    w->ApplyValue();
    QCOMPARE(Column(w, lcSubject), QStringList({"Alpha", "Beta"}));
    QVERIFY(value->lineEdit()->toolTip().isEmpty());
    QVERIFY(value->lineEdit()->styleSheet().isEmpty());

    // Plain words with a chosen field are the field's filter, marked in its column alone.
    Box(w, "cbFilter")->setCurrentIndex(ffSubject);
    value->setCurrentText("BETA");
    w->ApplyValue();
    QCOMPARE(Column(w, lcSubject), QStringList({"Beta", "Beta"}));
    QCOMPARE(marks->Texts(lcSubject), QStringList({"BETA"}));
    QVERIFY(marks->Texts(lcFrom).isEmpty());
  }

  void OpeningRowsNamesTheirOrigin() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    w->TreeHeaderClick(lcIndex); // ascending by "#"
    Tree(w)->setCurrentIndex(Rows(w)->index(4, 0));
    w->cmMessageView();
    auto* message = LastMessage();
    QVERIFY(message);
    QCOMPARE(message->windowTitle(), QString("m5: 5")); // the row's number as the list shows it
    QCOMPARE(Text(message, "eSource"), QString::fromStdString(dir / "Store/m5.eml"));
    QCOMPARE(message->Hint(), QString("e@example.org\r\nYour INVOICE 42"));
    QCOMPARE(Text(message, "eSubject"), QString("Your INVOICE 42"));

    // A mailbox file: the separator's line number in hexadecimal.
    std::string mailbox = dir.Write(
        "Inbox", "From - Mon Jan 02 10:00:00 2023\r\nX-Mozilla-Status: 0001\r\n" +
                     Message("x@example.org", "First", "Mon, 02 Jan 2023 10:00:00 +0000") +
                     "From - Tue Jan 03 10:00:00 2023\r\nX-Mozilla-Status: 0001\r\n" +
                     Message("y@example.org", "Second", "Tue, 03 Jan 2023 10:00:00 +0000"));
    Tmdi_pl_Viewer* box = Open(mailbox, okMailboxFile);
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QString("Inbox"));
    Tree(box)->setCurrentIndex(Rows(box)->index(1, 0)); // the older, first message
    box->cmMessageView();
    message = LastMessage();
    QVERIFY(message);
    QCOMPARE(Text(message, "eSubject"), QString("First"));
    QCOMPARE(Text(message, "eSource"), QString::fromStdString(mailbox + ": 0x1"));
    // The source page shows the separator line as stored.
    QVERIFY(Text(message, "SynMemo")
                .startsWith("From - Mon Jan 02 10:00:00 2023\nX-Mozilla-Status: 0001\n"));
    Tree(box)->setCurrentIndex(Rows(box)->index(0, 0));
    box->cmMessageView();
    message = LastMessage();
    QCOMPARE(Text(message, "eSource"), QString::fromStdString(mailbox + ": 0xa"));
  }

  // Toggling the filter keeps the focused row, or the nearest one still shown, focused and at its
  // height in the view; "Message view..." opens it at once.
  void FilterToggleKeepsFocusAndScroll() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(LongFolder(dir, 80), okMessageFolder);
    QVERIFY(w);
    QTreeView* tree = Tree(w);
    auto subject = [&] {
      return tree->currentIndex().siblingAtColumn(lcSubject).data().toString();
    };
    auto height = [&] { return tree->visualRect(tree->currentIndex()).top(); };
    frame->Frame().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame->Frame()));
    tree->setFocus();
    QModelIndex start = Rows(w)->index(40, 0); // "Even 40"
    tree->setCurrentIndex(start);
    tree->scrollTo(start, QAbstractItemView::PositionAtCenter);
    QCOMPARE(subject(), QString("Even 40"));
    const int before = height();
    QVERIFY(before > 0);

    Box(w, "cbFilter")->setCurrentIndex(ffSubject);
    Box(w, "cbValue")->setCurrentText("Even");
    QTest::keyClick(tree, Qt::Key_F, Qt::ControlModifier); // the filter's shortcut
    QVERIFY(w->FilterOn());
    QCOMPARE(Rows(w)->rowCount(), 40);
    QCOMPARE(subject(), QString("Even 40"));
    QCOMPARE(height(), before);
    Child<QAction>(w, "acView")->trigger();
    QVERIFY(LastMessage());
    QCOMPARE(Text(LastMessage(), "eSubject"), QString("Even 40"));

    tree->setFocus();
    QTest::keyClick(tree, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(!w->FilterOn());
    QCOMPARE(Rows(w)->rowCount(), 80);
    QCOMPARE(subject(), QString("Even 40"));
    QCOMPARE(height(), before);

    // A focused row that the filter hides hands the focus to the next row shown.
    tree->setCurrentIndex(Rows(w)->index(41, 0));
    QCOMPARE(subject(), QString("Odd 39"));
    w->acFilterExecute();
    QCOMPARE(subject(), QString("Even 38"));
    w->acFilterExecute();
    QCOMPARE(subject(), QString("Even 38"));
    // Sorting keeps it too.
    w->TreeHeaderClick(lcSubject);
    QCOMPARE(subject(), QString("Even 38"));
  }

  // Holding Enter in the value box sends repeated key events: the filter switches once.
  void HeldEnterTogglesTheFilterOnce() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    frame->Frame().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame->Frame()));
    QComboBox* value = Box(w, "cbValue");
    value->setCurrentText("invoice");
    value->setFocus();
    QTRY_VERIFY(value->hasFocus());
    QWidget* focused = QApplication::focusWidget();
    QTest::simulateEvent(focused, true, Qt::Key_Return, Qt::NoModifier, "\r", false);
    for (int i = 0; i < 5; ++i) {
      QTest::simulateEvent(focused, false, Qt::Key_Return, Qt::NoModifier, "\r", true);
      QTest::simulateEvent(focused, true, Qt::Key_Return, Qt::NoModifier, "\r", true);
    }
    QTest::simulateEvent(focused, false, Qt::Key_Return, Qt::NoModifier, "\r", false);
    QVERIFY(w->FilterOn());
    QCOMPARE(Rows(w)->rowCount(), 1);
  }

  // Enter on the focused row opens it as a double-click does; held down, it opens one window.
  void EnterOpensTheFocusedRow() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    frame->Frame().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame->Frame()));
    QTreeView* tree = Tree(w);
    tree->setFocus();
    QTRY_VERIFY(tree->hasFocus());
    tree->setCurrentIndex(Rows(w)->index(1, 0));
    const int before = frame->Frame().Children().size();
    QTest::simulateEvent(tree, true, Qt::Key_Return, Qt::NoModifier, "\r", false);
    for (int i = 0; i < 3; ++i)
      QTest::simulateEvent(tree, true, Qt::Key_Return, Qt::NoModifier, "\r", true);
    QTest::simulateEvent(tree, false, Qt::Key_Return, Qt::NoModifier, "\r", false);
    QCOMPARE(frame->Frame().Children().size(), before + 1);
    QVERIFY(LastMessage());
    QCOMPARE(Text(LastMessage(), "eSubject"), QString("Gamma"));
  }

  // A row whose file is gone: the double-click's failure reaches the top-level report and the
  // event loop goes on (the application object is a plain one).
  void FailedDoubleClickIsReported() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    std::remove((dir / "Store/m4.eml").c_str());
    QTreeView* tree = Tree(w);
    const QModelIndex row = Rows(w)->index(1, lcSubject); // "Gamma", from m4.eml
    QCOMPARE(row.data().toString(), QString("Gamma"));
    const int before = frame->Frame().Children().size();
    const QPoint at = tree->visualRect(row).center();
    // As the system delivers a double-click: press, release, double-click, release.
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(frame->Boxes.size(), 1);
    QCOMPARE(frame->Captions, QStringList{"Pellora"});
    QVERIFY2(frame->Boxes[0].contains("m4.eml"), qPrintable(frame->Boxes[0]));
    QCOMPARE(frame->Frame().Children().size(), before);
    bool after = false;
    QTimer::singleShot(0, [&after] { after = true; });
    QTRY_VERIFY(after);
  }

  // A mailbox file that another program cuts while it is open: the row it no longer holds fails
  // with the note, which the information lines show once, and a filter counts it there; Reload
  // lists the file as it is now, the filter off. Mail appended afterwards shows after Reload.
  void ChangedStoreIsNotedAndReloads() {
    TTempDir dir;
    std::vector<test::TMboxTestMessage> messages(3);
    for (int i = 0; i < 3; ++i) {
      messages[i].Separator = "From - Mon Jan 0" + std::to_string(i + 1) + " 10:00:00 2010";
      messages[i].Lines = {"Subject: m" + std::to_string(i), "", "body", ""};
    }
    const std::string text = test::BuildMailbox(messages);
    const std::string path = dir.Write("Inbox", text);
    Tmdi_pl_Viewer* w = Open(path, okMailboxFile);
    QVERIFY(w);
    QCOMPARE(Rows(w)->rowCount(), 3);
    std::filesystem::resize_file(path, text.rfind("From - ")); // the last message goes
    w->TreeHeaderClick(lcIndex);
    Tree(w)->setCurrentIndex(Rows(w)->index(2, 0));
    RunGuarded([w] { w->cmMessageView(); });
    const QString changed = "the mailbox file changed on disk: reload it";
    QCOMPARE(frame->Boxes.size(), 1);
    QVERIFY2(frame->Boxes[0].startsWith(changed), qPrintable(frame->Boxes[0]));
    QCOMPARE(Text(w, "Memo"), changed);

    Box(w, "cbFilter")->setCurrentIndex(ffSource);
    Box(w, "cbValue")->setCurrentText("body");
    w->acFilterExecute();
    QCOMPARE(Column(w, lcSubject), QStringList({"m0", "m1"}));
    QCOMPARE(Text(w, "Memo"), changed + "\nMessages the filter could not read: 1");

    Child<QAction>(w, "acReload")->trigger();
    QVERIFY(!w->FilterOn());
    QCOMPARE(Column(w, lcSubject), QStringList({"m0", "m1"}));
    QCOMPARE(Text(w, "Memo"), QString());
    QCOMPARE(w->StatusText(0), QString("Total: 2"));
    std::ofstream(path, std::ios::app) << "From - Tue Jan 05 10:00:00 2010\nX-Mozilla-Status: 0001\n"
                                          "Subject: new\n\nx\n";
    w->acReloadExecute();
    QCOMPARE(Rows(w)->rowCount(), 3);
    QCOMPARE(frame->Boxes.size(), 1);

    // A filter that reads every row leaves collected addresses where they are.
    w->cmGatherEmail();
    const QString addresses = Text(w, "Memo");
    Box(w, "cbValue")->setCurrentText("Subject: ");
    w->acFilterExecute();
    QCOMPARE(Rows(w)->rowCount(), 3);
    QCOMPARE(Text(w, "Memo"), addresses);
  }

  // The collection walks the rows in the list's order: of two keys that the locale holds equal,
  // the one on the upper row is kept.
  void AddressCollectionFollowsTheListOrder() {
    TTempDir dir;
    std::string folder = dir.MakeDir("Quotes");
    dir.Write("Quotes/m1.eml",
              Message("Ann-Lee <a@example.org>", "Old", "Mon, 02 Jan 2023 10:00:00 +0000"));
    dir.Write("Quotes/m2.eml",
              Message("AnnLee <a@example.org>", "New", "Tue, 03 Jan 2023 10:00:00 +0000"));
    SetLocaleCompare(HyphenBlindCompare);
    struct TRestore {
      ~TRestore() { SetLocaleCompare(nullptr); }
    } restore;
    Tmdi_pl_Viewer* w = Open(folder, okMessageFolder);
    QVERIFY(w);
    QCOMPARE(Column(w, lcSubject), QStringList({"New", "Old"}));
    w->cmGatherEmail();
    QVERIFY2(Text(w, "Memo").startsWith("a@example.org = AnnLee\n"), qPrintable(Text(w, "Memo")));
    w->TreeHeaderClick(lcReceived);
    QCOMPARE(Column(w, lcSubject), QStringList({"Old", "New"}));
    Child<QAction>(w, "acCollect")->trigger();
    QVERIFY2(Text(w, "Memo").startsWith("a@example.org = Ann-Lee\n"), qPrintable(Text(w, "Memo")));
  }

  void DatabaseIconsAndBoldRows() {
    TTempDir dir;
    std::vector<pellora::test::TDbxTestMessage> messages(3);
    messages[0] = {"Subject: read\r\n\r\nx\r\n", "read", "a@example.org", "", "", "", mfRead, 1, 1672567200};
    messages[1] = {"Subject: unread\r\n\r\nx\r\n", "unread", "b@example.org", "", "", "", mfAttachment | mfFlagged, 5, 1672653600};
    messages[2] = {"Subject: plain\r\n\r\nx\r\n", "plain", "c@example.org", "", "", "", mfRead | mfAttachment, 3, 1672740000};
    std::string path = dir.Write("Inbox.dbx", pellora::test::BuildDbx(messages));
    Tmdi_pl_Viewer* w = Open(path, okOEDatabase);
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QString("Inbox"));
    QCOMPARE(Column(w, lcSubject), QStringList({"plain", "unread", "read"}));
    auto has = [&](int row, int column) { return !Rows(w)->index(row, column).data(Qt::DecorationRole).isNull(); };
    auto bold = [&](int row) { return Rows(w)->index(row, lcSubject).data(Qt::FontRole).value<QFont>().bold(); };
    QVERIFY(!bold(0) && bold(1) && !bold(2));
    QVERIFY(has(0, lcAttachment) && !has(0, lcFlag) && !has(0, lcPriority));
    QVERIFY(has(1, lcAttachment) && has(1, lcFlag) && has(1, lcPriority));
    QVERIFY(!has(2, lcAttachment) && has(2, lcPriority));
    QVERIFY(Text(w, "DetailPanel").contains("File Properties"));
    QVERIFY(Text(w, "Memo").contains("Format: Outlook Express 5/6"));
    // The window's menus stand between "File" and "&Windows" while it is active.
    QStringList menus;
    for (QAction* a : frame->Frame().menuBar()->actions()) menus << a->text();
    QCOMPARE(menus, QStringList({"&File", "&Messages", "&View", "&Windows"}));

    Tree(w)->setCurrentIndex(Rows(w)->index(2, 0));
    w->cmMessageView();
    auto* message = LastMessage();
    QVERIFY(message);
    QCOMPARE(message->windowTitle(), QString("Inbox: 1"));
    QCOMPARE(Text(message, "eSource"), QString::fromStdString(path + ": Inbox: 0x0"));
  }

  // Messages > Show Recovered Messages reloads with the messages outside the index: grey rows,
  // named so in the message window's caption; unchecked, the window lists the index alone again.
  void ShowRecoveredMessagesReloadsWithThem() {
    TTempDir dir;
    pellora::test::TDbxBuilder b;
    auto add = [&](const std::string& subject) {
      uint32_t text = b.AddText("Subject: " + subject + "\r\n\r\nx\r\n");
      return b.AddRecord({pellora::test::TDbxProperty::Text(0x08, subject),
                          pellora::test::TDbxProperty::Direct(0x84, text)});
    };
    uint32_t kept = add("kept");
    add("removed");
    std::string path = dir.Write("Inbox.dbx", b.Build(1, b.AddTree({kept})));
    Tmdi_pl_Viewer* w = Open(path, okOEDatabase);
    QVERIFY(w);
    QCOMPARE(Column(w, lcSubject), QStringList({"kept"}));
    auto* show = Child<QAction>(w, "acShowRecovered");
    QVERIFY(w->findChild<QMenu*>("Messages")->actions().contains(show));
    show->trigger();
    QVERIFY(show->isChecked());
    w->TreeHeaderClick(lcIndex); // ascending by "#"
    QCOMPARE(Column(w, lcSubject), QStringList({"kept", "removed"}));
    auto colour = [&](int row) { return Rows(w)->index(row, lcSubject).data(Qt::ForegroundRole).value<QColor>(); };
    QCOMPARE(colour(0), QColor(Qt::black));
    QCOMPARE(colour(1), QColor(Qt::gray));
    Tree(w)->setCurrentIndex(Rows(w)->index(1, 0));
    w->cmMessageView();
    auto* message = LastMessage();
    QVERIFY(message);
    QCOMPARE(message->windowTitle(), QString("Inbox: 2 (Recovered)"));
    QCOMPARE(Text(message, "eSubject"), QString("removed"));
    show->trigger();
    QCOMPARE(Column(w, lcSubject), QStringList({"kept"}));
  }

  // A mailbox file's X-Mozilla-Status tells read from unread, as a database's flags do; a
  // classic mailbox file keeps no flags.
  void MailboxFileRowsShowTheirReadFlag() {
    TTempDir dir;
    std::string path = dir.Write(
        "Inbox", "From - Mon Jan 02 10:00:00 2023\r\nX-Mozilla-Status: 0001\r\n" +
                     Message("x@example.org", "read", "Mon, 02 Jan 2023 10:00:00 +0000") +
                     "From - Tue Jan 03 10:00:00 2023\r\nX-Mozilla-Status: 0004\r\n" +
                     Message("y@example.org", "unread", "Tue, 03 Jan 2023 10:00:00 +0000"));
    Tmdi_pl_Viewer* w = Open(path, okMailboxFile);
    QVERIFY(w);
    QCOMPARE(Column(w, lcSubject), QStringList({"unread", "read"}));
    auto bold = [&](int row) { return Rows(w)->index(row, lcSubject).data(Qt::FontRole).value<QFont>().bold(); };
    auto icon = [&](int row, int column) { return Rows(w)->index(row, column).data(Qt::DecorationRole).value<QIcon>(); };
    QVERIFY(bold(0) && !bold(1));
    QCOMPARE(icon(0, lcFrom).cacheKey(), ListImage(5).cacheKey());
    QCOMPARE(icon(1, lcFrom).cacheKey(), ListImage(4).cacheKey());
    QVERIFY(!icon(0, lcFlag).isNull() && icon(1, lcFlag).isNull()); // "marked"

    std::string classic = dir.Write("list.mbox", "From a@example.org Mon Jan  2 10:00:00 2023\n" +
                                                     Message("a@example.org", "plain", "Mon, 02 Jan 2023 10:00:00 +0000"));
    Tmdi_pl_Viewer* plain = Open(classic, okMailboxFile);
    QVERIFY(plain);
    QVERIFY(!Rows(plain)->index(0, lcSubject).data(Qt::FontRole).value<QFont>().bold());
  }

  // A compressed mailbox file and Apple Mail's files open from the frame by their kinds: rows,
  // flags and messages as of the plain forms.
  void CompressedAndAppleMailStoresOpen() {
    TTempDir dir;
    const std::string text = "From - Mon Jan 02 10:00:00 2023\r\nX-Mozilla-Status: 0001\r\n" +
                             Message("x@example.org", "First", "Mon, 02 Jan 2023 10:00:00 +0000") +
                             "From - Tue Jan 03 10:00:00 2023\r\nX-Mozilla-Status: 0000\r\n" +
                             Message("y@example.org", "Second", "Tue, 03 Jan 2023 10:00:00 +0000");
    const std::string gz = dir.Write("Inbox.mbox.gz", test::Compress(text, czGzip));
    Tmdi_pl_Viewer* box = Open(gz, KindOfPath(gz));
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QString("Inbox.mbox"));
    QVERIFY(box->StatusText(1).startsWith("Elapsed time: "));
    QCOMPARE(Column(box, lcSubject), QStringList({"Second", "First"}));
    QVERIFY(Rows(box)->index(0, lcSubject).data(Qt::FontRole).value<QFont>().bold());
    Tree(box)->setCurrentIndex(Rows(box)->index(1, 0));
    box->cmMessageView();
    Tmdi_pl_Msg* message = LastMessage();
    QVERIFY(message);
    QCOMPARE(Text(message, "eSubject"), QString("First"));
    QCOMPARE(Text(message, "eSource"), QString::fromStdString(gz + ": 0x1"));

    const std::string mail = Message("z@example.org", "Apple", "Wed, 04 Jan 2023 10:00:00 +0000");
    const std::string emlx = dir.Write("Messages/7.emlx", test::BuildEmlx(mail, 16));
    dir.Write("Messages/8.emlx", test::BuildEmlx(mail, 1));
    Tmdi_pl_Viewer* folder = Open(dir / "Messages", KindOfPath(dir / "Messages"));
    QVERIFY(folder);
    QCOMPARE(folder->windowTitle(), QString("Messages"));
    QCOMPARE(Column(folder, lcSubject), QStringList({"Apple", "Apple"}));
    auto bold = [&](int row) { return Rows(folder)->index(row, lcSubject).data(Qt::FontRole).value<QFont>().bold(); };
    QVERIFY(bold(0) && !bold(1)); // 7.emlx flagged and not read, 8.emlx read
    QVERIFY(!Rows(folder)->index(0, lcFlag).data(Qt::DecorationRole).value<QIcon>().isNull());
    frame->Frame().OpenPath(emlx, KindOfPath(emlx));
    message = LastMessage();
    QVERIFY(message);
    QCOMPARE(Text(message, "eSubject"), QString("Apple"));
    QCOMPARE(Text(message, "eSource"), QString::fromStdString(emlx));
    // The message without the frame around it.
    QVERIFY(Text(message, "SynMemo").startsWith("From: "));
    QVERIFY(!Text(message, "SynMemo").contains("plist"));
  }

  // View > Threads: replies under their parents; Left and Right fold and unfold, "*" unfolds all;
  // sorting orders the threads; a filter shows the matching rows in their threads.
  void ThreadsGroupTheList() {
    TTempDir dir;
    const std::string folder = dir.MakeDir("Threads");
    auto write = [&](const char* file, const char* id, const char* subject, int day, const char* links) {
      dir.Write(std::string("Threads/") + file,
                "From: a@example.org\r\nSubject: " + std::string(subject) + "\r\nDate: " +
                    std::to_string(day) + " Jan 2023 10:00:00 +0000\r\nMessage-ID: <" + id +
                    "@x>\r\n" + links + "\r\nbody\r\n");
    };
    write("1.eml", "a", "Plan", 2, "");
    write("2.eml", "c", "Lunch", 3, "");
    write("3.eml", "b", "Re: Plan", 4, "In-Reply-To: <a@x>\r\n");
    write("4.eml", "d", "Re: Re: Plan", 5, "References: <a@x>\r\n <b@x>\r\n");
    write("5.eml", "e", "Re: Lunch", 7, "In-Reply-To: <c@x>\r\n");
    Tmdi_pl_Viewer* w = Open(folder, okMessageFolder);
    QVERIFY(w);
    auto depths = [&] {
      QList<int> out;
      for (int row = 0; row < Rows(w)->rowCount(); ++row)
        out << Rows(w)->index(row, lcSubject).data(ThreadDepthRole).toInt();
      return out;
    };
    auto mark = [&](int row) { return Rows(w)->index(row, lcSubject).data(ThreadMarkRole).toInt(); };
    QVERIFY(!Rows(w)->index(0, lcSubject).data(ThreadDepthRole).isValid()); // threads off

    auto* threads = Child<QAction>(w, "acThreads");
    QCOMPARE(w->ChildMenus().size(), 2);
    QVERIFY(w->ChildMenus()[1]->actions().contains(threads)); // View
    threads->trigger();
    QVERIFY(w->ThreadsOn());
    // The thread with the newest message first.
    QCOMPARE(Column(w, lcSubject), QStringList({"Lunch", "Re: Lunch", "Plan", "Re: Plan", "Re: Re: Plan"}));
    QCOMPARE(depths(), QList<int>({0, 1, 0, 1, 2}));
    QCOMPARE(mark(2), int(tmOpen));
    QCOMPARE(mark(4), int(tmNone));

    QTreeView* tree = Tree(w);
    tree->setCurrentIndex(Rows(w)->index(4, 0));
    QTest::keyClick(tree, Qt::Key_Left); // no replies: to its parent
    QCOMPARE(tree->currentIndex().row(), 3);
    QTest::keyClick(tree, Qt::Key_Left); // replies shown: folds them
    QCOMPARE(Column(w, lcSubject), QStringList({"Lunch", "Re: Lunch", "Plan", "Re: Plan"}));
    QCOMPARE(mark(3), int(tmClosed));
    QTest::keyClick(tree, Qt::Key_Left);
    QCOMPARE(tree->currentIndex().row(), 2);
    QTest::keyClick(tree, Qt::Key_Left);
    QCOMPARE(Column(w, lcSubject), QStringList({"Lunch", "Re: Lunch", "Plan"}));
    QTest::keyClick(tree, Qt::Key_Right);
    QCOMPARE(Rows(w)->rowCount(), 4); // its reply keeps its own fold
    QTest::keyClick(tree, Qt::Key_Right); // unfolded: to its first reply
    QCOMPARE(tree->currentIndex().row(), 3);
    QTest::keyClick(tree, Qt::Key_Right);
    QCOMPARE(Rows(w)->rowCount(), 5);
    // A click on the mark folds; the focus in the folded replies moves to their thread's message.
    const QRect plan = tree->visualRect(Rows(w)->index(2, lcSubject));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, QPoint(plan.left() + 7, plan.center().y()));
    QCOMPARE(Rows(w)->rowCount(), 3);
    QCOMPARE(tree->currentIndex().row(), 2);
    tree->setCurrentIndex(Rows(w)->index(0, 0));
    QTest::keyClick(tree, Qt::Key_Left);
    QCOMPARE(Rows(w)->rowCount(), 2);
    QTest::keyClick(tree, Qt::Key_Asterisk);
    QCOMPARE(Rows(w)->rowCount(), 5);

    // Sorted by subject: threads where their first message stands.
    w->TreeHeaderClick(lcSubject);
    QCOMPARE(Column(w, lcSubject), QStringList({"Lunch", "Re: Lunch", "Plan", "Re: Plan", "Re: Re: Plan"}));
    w->TreeHeaderClick(lcSubject);
    QCOMPARE(Column(w, lcSubject), QStringList({"Plan", "Re: Plan", "Re: Re: Plan", "Lunch", "Re: Lunch"}));
    // The list saved as CSV in the order it shows.
    const std::string csv = dir / "threads.csv";
    {
      TPickTarget pick(csv, 0);
      Child<QAction>(w, "acSaveList")->trigger();
    }
    QStringList saved;
    for (const QString& line : QString::fromStdString(ReadWholeFile(csv)).split("\r\n", Qt::SkipEmptyParts))
      saved << line.section(',', 2, 2);
    QCOMPARE(saved, QStringList({"Subject", "Plan", "Re: Plan", "Re: Re: Plan", "Lunch", "Re: Lunch"}));

    // A filter: the matching rows, each under the nearest matching message it answers.
    Box(w, "cbFilter")->setCurrentIndex(ffFromSubjectTo);
    Box(w, "cbValue")->setCurrentText("Re:");
    w->acFilterExecute();
    QCOMPARE(Column(w, lcSubject), QStringList({"Re: Plan", "Re: Re: Plan", "Re: Lunch"}));
    QCOMPARE(depths(), QList<int>({0, 1, 0}));
    w->acFilterExecute();

    threads->trigger();
    QVERIFY(!w->ThreadsOn());
    QCOMPARE(Column(w, lcSubject), QStringList({"Re: Re: Plan", "Re: Plan", "Re: Lunch", "Plan", "Lunch"}));
  }

  // Space checks the focused row; a sort shows the top of the list unless the focused row was in
  // view, which keeps its height.
  void SpaceChecksAndSortShowsTheTop() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(LongFolder(dir, 80), okMessageFolder);
    QVERIFY(w);
    QTreeView* tree = Tree(w);
    frame->Frame().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame->Frame()));
    tree->setFocus();
    QTRY_VERIFY(tree->hasFocus());
    tree->setCurrentIndex(Rows(w)->index(3, 0));
    QTest::keyClick(tree, Qt::Key_Space);
    QCOMPARE(w->StatusText(0), QString("Total: 80   Selected: 1"));
    QCOMPARE(Rows(w)->index(3, lcIndex).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QTest::keyClick(tree, Qt::Key_Space);
    QCOMPARE(w->StatusText(0), QString("Total: 80"));

    // The focused row scrolled out of view: after the sort the list shows its top.
    tree->scrollToBottom();
    QVERIFY(!tree->viewport()->rect().intersects(tree->visualRect(tree->currentIndex())));
    w->TreeHeaderClick(lcSubject);
    QCOMPARE(tree->verticalScrollBar()->value(), 0);
    // In view, it stays where it was.
    tree->setCurrentIndex(Rows(w)->index(60, 0));
    tree->scrollTo(tree->currentIndex(), QAbstractItemView::PositionAtCenter);
    const int top = tree->visualRect(tree->currentIndex()).top();
    w->TreeHeaderClick(lcSubject);
    QCOMPARE(tree->visualRect(tree->currentIndex()).top(), top);
  }

  // "Received" is wide enough for the dates it shows at first.
  void ReceivedColumnFitsTheDates() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    const int width = Tree(w)->header()->sectionSize(lcReceived);
    for (const QString& date : Column(w, lcReceived))
      QVERIFY2(Tree(w)->fontMetrics().horizontalAdvance(date) + 8 < width, qPrintable(date));
  }

  // Closing a message returns to the mailbox window it came from; Ctrl+F4 and Ctrl+W close the
  // active window.
  void ClosingAMessageReturnsToItsMailbox() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    Tmdi_pl_Viewer* other = Open(LongFolder(dir, 3), okMessageFolder);
    QVERIFY(other);
    Tree(w)->setCurrentIndex(Rows(w)->index(0, 0));
    w->cmMessageView();
    Tmdi_pl_Msg* m = LastMessage();
    QVERIFY(m);
    QCOMPARE(frame->Frame().ActiveChild(), m);
    frame->Frame().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&frame->Frame()));
    QTest::keyClick(m, Qt::Key_W, Qt::ControlModifier);
    QTRY_COMPARE(frame->Frame().ActiveChild(), static_cast<TMdiChild*>(w));
    QTest::keyClick(w, Qt::Key_F4, Qt::ControlModifier);
    QTRY_VERIFY(!frame->Frame().Children().contains(w));
  }

  void MaildirRowsShowTheirFlags() {
    TTempDir dir;
    dir.Write("Mail/cur/1672567200.M1P1.host:2,RS",
              Message("a@example.org", "read", "Sun, 01 Jan 2023 10:00:00 +0000"));
    dir.Write("Mail/cur/1672653600.M2P2.host:2,F",
              Message("b@example.org", "flagged", "Mon, 02 Jan 2023 10:00:00 +0000"));
    dir.Write("Mail/new/1672740000.M3P3.host",
              "Content-Type: multipart/mixed; boundary=b\r\n" +
                  Message("c@example.org", "new", "Tue, 03 Jan 2023 10:00:00 +0000"));
    Tmdi_pl_Viewer* w = Open(dir / "Mail", okMessageFolder);
    QVERIFY(w);
    QCOMPARE(Column(w, lcSubject), QStringList({"new", "flagged", "read"}));
    auto icon = [&](int row, int column) {
      return Rows(w)->index(row, column).data(Qt::DecorationRole).value<QIcon>();
    };
    auto bold = [&](int row) {
      return Rows(w)->index(row, lcSubject).data(Qt::FontRole).value<QFont>().bold();
    };
    QVERIFY(bold(0) && bold(1) && !bold(2));
    QVERIFY(icon(0, lcFlag).isNull() && !icon(1, lcFlag).isNull() && icon(2, lcFlag).isNull());
    // Their flags hold no attachment mark: the message's type tells.
    QVERIFY(!icon(0, lcAttachment).isNull() && icon(1, lcAttachment).isNull());
    QCOMPARE(icon(0, lcFrom).cacheKey(), ListImage(5).cacheKey());
    QCOMPARE(icon(2, lcFrom).cacheKey(), ListImage(4).cacheKey());
  }

  void AddressCollectionFillsTheInformationArea() {
    TTempDir dir;
    Tmdi_pl_Viewer* w = Open(FolderStore(dir), okMessageFolder);
    QVERIFY(w);
    auto* save = Child<QAction>(w, "acSaveAddresses");
    QVERIFY(!save->isEnabled()); // nothing collected yet
    w->cmGatherEmail();
    QCOMPARE(Text(w, "DetailPanel"), QString("  E-Mail Addresses (6)"));
    QCOMPARE(Text(w, "Memo"), QString("a@example.org\nb@example.org\nc@example.org\nd@example.org\n"
                                      "e@example.org\nteam@example.org"));
    // Saved as a text or a CSV file, as the save dialog's file type says.
    {
      TPickTarget pick(dir / "list.csv", 1);
      save->trigger();
      QCOMPARE(pick.types, QStringList({"Text file (.txt)", "CSV file (.csv)"}));
    }
    QVERIFY(ReadWholeFile(dir / "list.csv").starts_with("a@example.org,,1\r\n"));
    QVERIFY(ReadWholeFile(dir / "list.csv").ends_with("team@example.org,,5\r\n"));
    {
      TPickTarget pick(dir / "list.txt", 0);
      save->trigger();
    }
    QVERIFY(ReadWholeFile(dir / "list.txt").starts_with("a@example.org\t\t1\r\n"));
    // Another operation's lines replace the addresses: there is nothing to save then.
    w->LoadMailbox(FolderStore(dir), okMessageFolder);
    QVERIFY(!save->isEnabled());
  }

  void FailedOpensMakeNoWindow() {
    TTempDir dir;
    int before = frame->Frame().Children().size();
    frame->Frame().OpenPath(dir / "missing.dbx", okOEDatabase);
    QCOMPARE(frame->Boxes, QStringList{QString::fromStdString("File " + (dir / "missing.dbx") + " does not exist.")});
    frame->ClearBoxes();
    frame->Frame().OpenPath(dir.Write("text.dbx", "just some text\r\n"), okOEDatabase);
    QCOMPARE(frame->Boxes, QStringList{"File is not in supported format."});
    QTRY_COMPARE(frame->Frame().Children().size(), before);
  }

  // The load runs on a thread of its own: the list shows the first rows found, in the file's
  // order, while it does, then all of them in the list's order.
  void FirstRowsShowWhileLoading() {
    TTempDir dir;
    std::vector<pellora::test::TMboxTestMessage> messages(300);
    for (int i = 0; i < 300; ++i) {
      char date[64];
      std::snprintf(date, sizeof date, "Date: Mon, 02 Jan 2023 10:%02d:%02d +0000", i / 60, i % 60);
      messages[i].Lines = {"From: a@example.org", "Subject: m" + std::to_string(i), date, "", "text"};
    }
    Tmdi_pl_Viewer* w = Open(dir.Write("one", pellora::test::BuildMailbox({messages[0]})), okMailboxFile);
    QVERIFY(w);
    struct TShown {
      bool loading;
      int rows;
      QString first;
    };
    std::vector<TShown> shown;
    QAbstractItemModel* model = Rows(w);
    connect(model, &QAbstractItemModel::modelReset, this, [&] {
      shown.push_back({w->Loading(), model->rowCount(),
                       model->rowCount() ? model->index(0, lcSubject).data().toString() : QString()});
    });
    QVERIFY(w->LoadMailbox(dir.Write("Inbox", pellora::test::BuildMailbox(messages)), okMailboxFile));
    disconnect(model, nullptr, this, nullptr);
    QCOMPARE(shown.size(), 3u);
    QVERIFY(shown[0].loading && shown[0].rows == 0); // the last load's rows are gone at once
    QVERIFY(shown[1].loading && shown[1].rows == 100 && shown[1].first == "m0");
    QVERIFY(!shown[2].loading && shown[2].rows == 300 && shown[2].first == "m299");
    QVERIFY(!w->Loading());
    QCOMPARE(Rows(w)->index(0, lcIndex).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
  }
};

int main(int argc, char** argv) {
  pellora::test::TSettingsFolder settings;
  if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  THtmlView::RegisterSchemes();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setApplicationName("Pellora");
  QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  MailboxWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "mailbox_window_qt_test.moc"
