#include "discovery/open_wizard.h"
#include "platform/qt_platform.h"
#include "shell/app_instances.h"
#include "shell/main_window.h"
#include "shell/message_boxes.h"
#include "support/qt_frame.h"
#include "support/settings_folder.h"
#include "support/temp_dir.h"

#include <QAction>
#include <QComboBox>
#include <QMdiArea>
#include <QMimeData>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <stdexcept>

using namespace pellora;

namespace {

class TTestChild : public TMdiChild {
public:
  const char* ClassName() const override { return "Tmdi_pl_Test"; }
};

struct TOpened {
  TOpenKind kind;
  std::string path;
};

} // namespace

class FrameTest : public QObject {
  Q_OBJECT

  std::vector<TOpened> opened;
  QList<QPair<QString, QString>> boxes; // caption, text

  // Chooses a radio button, types a path and confirms the wizard that File > Open shows next.
  static void AnswerWizard(const char* radio, const char* field, const QString& path) {
    test::WhenModal<Twiz_pl_Open>([=](Twiz_pl_Open* wizard) {
      test::Child<QRadioButton>(wizard, radio)->click();
      test::Child<QComboBox>(wizard, field)->setEditText(path);
      test::Child<QPushButton>(wizard, "Button2")->click();
    });
  }

private slots:
  void init() {
    opened.clear();
    boxes.clear();
    SetMessageBoxHook([this](TBoxKind, const QString& text, const QString& caption) {
      boxes << qMakePair(caption, text);
      return true;
    });
    for (TOpenKind kind : {okOEDatabase, okMessageFolder, okMailboxFile, okMessageFile})
      RegisterOpener(kind, [this, kind](Twnd_pl_Main& frame, const std::string& path) {
        opened.push_back({kind, path});
        frame.CreateChild<TTestChild>(QString::fromStdString(path), 6, "hint " + QString::fromStdString(path));
      });
  }

  void LaysOutCaptionMenusAndActions() {
    Twnd_pl_Main frame;
    QCOMPARE(frame.windowTitle(), QString("Pellora"));
    QCOMPARE(frame.size(), QSize(800, 600));
    QCOMPARE(frame.MdiArea()->background().color(), QColor(79, 82, 87));
    QStringList menus;
    for (QAction* a : frame.menuBar()->actions()) menus << a->text();
    QCOMPARE(menus, QStringList({"File", "&Windows"}));
    QStringList fileItems;
    for (QAction* a : frame.menuBar()->actions().first()->menu()->actions())
      fileItems << (a->isSeparator() ? "-" : a->text());
    QCOMPARE(fileItems, QStringList({"&Open...", "Close", "-", "Exit"}));

    QCOMPARE(frame.acOpen->shortcut(), QKeySequence("Ctrl+O"));
    QCOMPARE(frame.acOpen->toolTip(), QString("Open"));
    QCOMPARE(frame.acOpen->statusTip(), QString("Opens an existing file"));
    QCOMPARE(frame.acAbout->shortcut(), QKeySequence("F1"));
    QCOMPARE(frame.acWinTileHorizontal->text(), QString("Tile &Horizontally"));
    QCOMPARE(frame.acWinTileVertical->text(), QString("&Tile Vertically"));
    for (QAction* a : {frame.acCloseChild, frame.acWinCascade, frame.acWinTileHorizontal,
                       frame.acWinTileVertical})
      QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
  }

  void OpenPathDispatchesAndCreatesChildren() {
    Twnd_pl_Main frame;
    frame.show();
    frame.OpenPath("/m/a.eml", okMessageFile);
    frame.OpenPath("/m/a.eml", okMessageFile);
    frame.OpenPath("/m/x", okUnknown);
    QCOMPARE(opened.size(), size_t(2));
    auto children = frame.Children();
    QCOMPARE(children.size(), 2);
    QCOMPARE(children[0]->windowTitle(), children[1]->windowTitle()); // same path, two windows
    QVERIFY(children[0]->objectName().startsWith("mdi_pl_Test"));
    QVERIFY(children[0]->objectName().size() > QString("mdi_pl_Test").size());
    QCOMPARE(children[0]->Hint(), QString("hint /m/a.eml"));
    QCOMPARE(children[0]->ImageIndex(), 6);
    QVERIFY(frame.acCloseChild->isEnabled());
    QVERIFY(frame.acWinCascade->isEnabled());
    frame.acCloseChild->trigger();
    frame.acCloseChild->trigger();
    QTRY_VERIFY(frame.Children().isEmpty());
    QTRY_VERIFY(!frame.acWinTileVertical->isEnabled());
  }

  void CommandLineOpensExistingFilesByKind() {
    pellora::test::TTempDir dir;
    QStringList args = {
        QString::fromStdString(dir.Write("one.eml", "Subject: x\r\n\r\n")),
        QString::fromStdString(dir.Write("Inbox.dbx", "x")),
        QString::fromStdString(dir.Write("Inbox", "From - x\r\n")),
        QString::fromStdString(dir.MakeDir("folder")),
        QString::fromStdString(dir.Write("notes.txt", "x")),
        QString::fromStdString(dir / "missing.eml"),
    };
    Twnd_pl_Main frame(args);
    frame.show();
    QTRY_COMPARE(opened.size(), size_t(3));
    QCOMPARE(opened[0].kind, okMessageFile);
    QCOMPARE(opened[1].kind, okOEDatabase);
    QCOMPARE(opened[2].kind, okMailboxFile);
    QVERIFY(boxes.isEmpty()); // skipped arguments say nothing

    frame.AppInstancesCmdLineReceived({args[0]});
    QCOMPARE(opened.size(), size_t(4));
  }

  void DroppedFilesAndFoldersOpenByKind() {
    pellora::test::TTempDir dir;
    Twnd_pl_Main frame;
    frame.show();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.Write("a.eml", "x"))),
                  QUrl::fromLocalFile(QString::fromStdString(dir.MakeDir("Folder"))),
                  QUrl::fromLocalFile(QString::fromStdString(dir.Write("notes.txt", "x"))),
                  QUrl("https://example.org/x.eml")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &drop);
    QCOMPARE(opened.size(), size_t(2));
    QCOMPARE(opened[0].kind, okMessageFile);
    QCOMPARE(opened[1].kind, okMessageFolder);
  }

  // Each way in ends in an opener that fails: the report shows the failure and the event loop
  // goes on. The application object is a plain one, so nothing relies on its dispatch.
  void FailuresInHandlersAreReportedAndTheLoopGoesOn() {
    pellora::test::TTempDir dir;
    const QString first = QString::fromStdString(dir.Write("first.eml", "Subject: x\r\n\r\n"));
    const QString second = QString::fromStdString(dir.Write("second.eml", "Subject: y\r\n\r\n"));
    RegisterOpener(okMessageFile, [this](Twnd_pl_Main&, const std::string& path) {
      opened.push_back({okMessageFile, path});
      throw std::runtime_error("Disk full");
    });
    const QList<QPair<QString, QString>> report{{"Pellora", "Disk full."}};
    auto loopGoesOn = [] {
      bool after = false;
      QTimer::singleShot(0, [&after] { after = true; });
      QTRY_VERIFY(after);
    };

    // The command line: the failure stops the arguments after it.
    Twnd_pl_Main frame({first, second});
    frame.show();
    QTRY_COMPARE(boxes, report);
    loopGoesOn();
    QCOMPARE(opened.size(), size_t(1));

    boxes.clear();
    AnswerWizard("rb4", "feEML", first);
    frame.menuBar()->actions().first()->menu()->actions().first()->trigger(); // File > Open...
    QCOMPARE(boxes, report);
    loopGoesOn();

    boxes.clear();
    TAppInstances instances;
    frame.TakeHandOvers(instances);
    emit instances.CmdLineReceived({first});
    QCOMPARE(boxes, report);
    loopGoesOn();

    boxes.clear();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(first)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &drop);
    QCOMPARE(boxes, report);
    loopGoesOn();
  }

  // File > Open runs the wizard and opens what it confirms, under the kind chosen there: the
  // wizard checks nothing, the opener reports a path that does not exist.
  void OpenRunsTheWizardAndOpensItsChoice() {
    Twnd_pl_Main frame;
    frame.show();
    AnswerWizard("rb3", "feTB", "/mail/Local Folders/Inbox.txt");
    frame.acOpen->trigger();
    QCOMPARE(opened.size(), size_t(1));
    QCOMPARE(opened[0].kind, okMailboxFile);
    QCOMPARE(opened[0].path, std::string("/mail/Local Folders/Inbox.txt"));

    test::WhenModal<Twiz_pl_Open>([](Twiz_pl_Open* wizard) {
      test::Child<QComboBox>(wizard, "feOE")->setEditText("/mail/Inbox.dbx");
      test::Child<QPushButton>(wizard, "Button1")->click(); // Cancel
    });
    frame.acOpen->trigger();
    QCOMPARE(opened.size(), size_t(1));
  }

  void CaptionsOfTheBoxes() {
    ErrorBox("bad");
    InfoBox("fine", "Own");
    QVERIFY(ConfirmBox("sure?"));
    QCOMPARE(boxes[0], qMakePair(QString("Error"), QString("bad")));
    QCOMPARE(boxes[1], qMakePair(QString("Own"), QString("fine")));
    QCOMPARE(boxes[2], qMakePair(QString("Confirmation"), QString("sure?")));
  }

  void LaterStartHandsOverAndExits() {
    pellora::test::TTempDir dir;
    QString message = QString::fromStdString(dir.Write("handed.eml", "Subject: x\r\n\r\n"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("PELLORA_INSTANCE_NAME", QString("pellora-test-%1").arg(QCoreApplication::applicationPid()));
    env.insert("QT_LOGGING_RULES", "pellora.instances.debug=true");

    QProcess first;
    first.setProcessEnvironment(env);
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.start(PELLORA_VIEWER, {});
    QVERIFY(first.waitForStarted());
    QByteArray log;
    QTRY_VERIFY_WITH_TIMEOUT((log += first.readAll()).contains("listening"), 20000);

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(PELLORA_VIEWER, {message});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT((log += first.readAll()).contains("handed.eml"), 10000);
    QVERIFY(first.state() == QProcess::Running); // the first instance goes on
    first.terminate();
    first.waitForFinished(5000);
  }
};

int main(int argc, char** argv) {
  pellora::test::TSettingsFolder settings;
  QApplication app(argc, argv);
  QApplication::setApplicationName("Pellora");
  FrameTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "frame_test.moc"
